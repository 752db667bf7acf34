#pragma once
// The print commands of the outpatient window as plain logic: their checks, questions, titles
// and texts. Each shows its own messages through qh::msg and returns what is to be printed, or
// nothing when it stopped; the window then prints it and pauses the button:
//
//   // CmdPrbl "打印病历"
//   if (auto doc = qh::clinic::caseRecordToPrint(boxes)) {
//       qh::clinic::PrintCaseRecord(*doc);
//       qh::ui::PauseWithButton(CmdPrbl);
//   }
//   qh::ui::setMousePointer(qh::ui::PointerArrow);
//
//   // CmdZdde "打印处方"
//   if (auto doc = qh::clinic::prescriptionToPrint(boxes)) {
//       qh::clinic::PrintPrescription(*doc);
//       qh::ui::PauseWithButton(CmdZdde);
//   }
//
//   // CmdPrxd "打印诊断心得"
//   auto s = qh::clinic::summaryToPrint(fields, QDate::currentDate());
//   if (!s.ok) { CmdQcls->setFocus(); return; }
//   qh::ui::PauseWithButton(CmdPrxd);
//   qh::clinic::PrintTextInWord(s.text, s.documentName);
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

// The heading of the printed documents: the clinic's name (xt001 of the status row), trimmed;
// nothing when the status table has no row. Throws DbError.
std::optional<QString> printUnitName();

// "血压：" + blood pressure + "，脉搏：" + pulse + "，呼吸：" + respiration.
QString vitalSignsText(const QString &bloodPressure, const QString &pulse, const QString &respiration);

// CmdPrbl: no status row -> "系统发生错误，不能打印"; plan or prescription empty ->
// "治疗处方或治疗方案没有输入，不能打印"; then asks "打印吗？" (title "打印患者诊断病历").
std::optional<CaseRecordText> caseRecordToPrint(const DiagnosisPrintBoxes &b);

// CmdZdde: no status row -> "系统发生错误，不能打印"; then asks "打印吗？" (title "打印门诊处方").
// Prints with an empty prescription as well.
std::optional<PrescriptionText> prescriptionToPrint(const DiagnosisPrintBoxes &b);

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
    QString focus;        // control to focus when refused ("CmdQcls")
    QString text;         // the summary, CR LF between lines, trimmed
    QString documentName; // the name the document is saved under
};

// CmdPrxd: any of case number, name, age, marital status, sex, occupation, first and last visit
// empty -> "打印内容输入不完全，不能打印" (no icon), focus CmdQcls; otherwise the summary text.
SummaryPrint summaryToPrint(const SummaryFields &f, const QDate &today);

} // namespace qh::clinic
