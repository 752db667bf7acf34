#pragma once
// The print commands of the outpatient window as plain logic: their checks, questions, titles
// and texts. Each returns what the command does next - a refusal to show, or the question to
// ask and the document to print - and shows nothing; the window's flow (clinic/ui/printflow.h)
// shows the messages, asks, prints and pauses the button.
#include "clinic/caseregister.h"
#include "clinic/printing.h"

#include <QDate>
#include <QString>
#include <optional>

namespace qh::clinic {

// The boxes of the diagnosis tab and the register the two printer commands read, as texts
// (masked boxes with their full text).
struct DiagnosisPrintBoxes {
    QString registerCaseNumber; // TxtBlbh
    QString name;               // TxtHzxm
    QString sex;                // CboHzxb
    QString age;                // CboHzag
    QString caseNumber;         // TxtStb1(0)
    QString date;               // MasZdsj(0)
    QString bloodPressure;      // MasZdsj(1)
    QString pulse;              // MasZdsj(2)
    QString respiration;        // MasZdsj(3)
    QString doctor;             // TxtStb1(1)
    QString history;            // TxtStb1(2)
    QString plan;               // TxtStb1(3)
    QString prescription;       // TxtStb1(4)
    QString directions;         // TxtStb1(5)
    QString department;         // CboZdks
};

// What a printer command does next: stop with a refusal, or ask the question and print doc.
template <class Doc>
struct PrintPlan {
    std::optional<Doc> doc;                // nothing: refused
    QString refusal;                       // the message that stops the command
    MsgIcon icon = MsgIcon::Information;
    QString question = QStringLiteral("打印吗？");
    QString title;                         // of the question
};

// The heading of the printed documents: the clinic's name (xt001 of the status row), trimmed;
// nothing when the status table has no row. Throws DbError.
std::optional<QString> printUnitName(db::Session &s);

// "血压：" + blood pressure + "，脉搏：" + pulse + "，呼吸：" + respiration.
QString vitalSignsText(const QString &bloodPressure, const QString &pulse, const QString &respiration);

// CmdPrbl, given the clinic's name (nothing: the status table has no row): no status row ->
// "系统发生错误，不能打印" (question icon); plan or prescription empty ->
// "治疗处方或治疗方案没有输入，不能打印"; then the question "打印吗？" (title "打印患者诊断病历").
PrintPlan<CaseRecordText> caseRecordPlan(const DiagnosisPrintBoxes &b, const std::optional<QString> &unit);

// CmdZdde: no status row -> "系统发生错误，不能打印"; then "打印吗？" (title "打印门诊处方").
// Prints with an empty prescription as well.
PrintPlan<PrescriptionText> prescriptionPlan(const DiagnosisPrintBoxes &b, const std::optional<QString> &unit);

// The register's and notes tab's values the patient summary is made of.
struct SummaryFields {
    QString caseNumber;    // TxtBlbh
    QString name;          // TxtHzxm
    QString age;           // CboHzag
    QString marital;       // CboHyqk
    QString sex;           // CboHzxb
    QString occupation;    // CboHzzy
    QString workUnit;      // TxtHzdw
    QString telephone;     // TxtTele
    QString mail;          // TxtMail
    QString firstVisit;    // MaskCzsj
    QString lastVisit;     // MaskJzsj
    QString notes;         // TxtZlxd
};

struct SummaryPrint {
    bool ok = false;
    CaseVerdict refusal;  // when refused: the message (no icon) and CmdQcls to focus
    QString text;         // the summary, CR LF between lines, trimmed
    QString documentName; // the name the document is saved under
};

// CmdPrxd: any of case number, name, age, marital status, sex, occupation, first and last visit
// empty -> refused with "打印内容输入不完全，不能打印" (no icon), focus CmdQcls; otherwise the text.
SummaryPrint summaryToPrint(const SummaryFields &f, const QDate &today);

} // namespace qh::clinic
