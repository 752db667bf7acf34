#include "clinic/printcommands.h"

#include "core/dberror.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/textutil.h"

#include <QStringList>

namespace qh::clinic {

namespace {

const QString NoUnitRow = QStringLiteral("系统发生错误，不能打印");
const QString PrintQuestion = QStringLiteral("打印吗？");

// The unit name, or nothing after the message that stops the command.
std::optional<QString> unitOrStop()
{
    try {
        if (auto unit = printUnitName())
            return unit;
        msg::show(MsgIcon::Question, MsgButtons::Ok, NoUnitRow);
    } catch (const DbError &e) {
        msg::show(MsgIcon::Question, MsgButtons::Ok, numberedReport(e));
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> printUnitName()
{
    auto session = Modutarnxt::openClinic();
    const auto status = Modutarnxt::readStatusRow(session);
    if (status.rows == 0)
        return std::nullopt;
    return trimSpaces(status.unitName);
}

QString vitalSignsText(const QString &bloodPressure, const QString &pulse, const QString &respiration)
{
    return QStringLiteral("血压：") + bloodPressure + QStringLiteral("，脉搏：") + pulse + QStringLiteral("，呼吸：") +
           respiration;
}

std::optional<CaseRecordText> caseRecordToPrint(const DiagnosisPrintBoxes &b)
{
    const auto unit = unitOrStop();
    if (!unit)
        return std::nullopt;
    if (trimSpaces(b.plan).isEmpty() || trimSpaces(b.prescription).isEmpty()) {
        msg::info(QStringLiteral("治疗处方或治疗方案没有输入，不能打印"));
        return std::nullopt;
    }
    const QString vital = vitalSignsText(b.bloodPressure, b.pulse, b.respiration);
    if (!msg::ask(PrintQuestion, QStringLiteral("打印患者诊断病历")))
        return std::nullopt;
    return CaseRecordText{*unit,
                          trimSpaces(b.registerCaseNumber),
                          trimSpaces(b.name),
                          trimSpaces(b.sex),
                          trimSpaces(b.age),
                          trimSpaces(b.date),
                          trimSpaces(b.doctor),
                          trimSpaces(b.history),
                          trimSpaces(b.plan),
                          trimSpaces(b.prescription),
                          trimSpaces(b.directions),
                          trimSpaces(b.department),
                          vital};
}

std::optional<PrescriptionText> prescriptionToPrint(const DiagnosisPrintBoxes &b)
{
    const auto unit = unitOrStop();
    if (!unit)
        return std::nullopt;
    if (!msg::ask(PrintQuestion, QStringLiteral("打印门诊处方")))
        return std::nullopt;
    return PrescriptionText{*unit,
                            trimSpaces(b.caseNumber),
                            trimSpaces(b.name),
                            trimSpaces(b.sex),
                            trimSpaces(b.age),
                            trimSpaces(b.date),
                            trimSpaces(b.doctor),
                            trimSpaces(b.prescription),
                            trimSpaces(b.directions),
                            trimSpaces(b.department)};
}

SummaryPrint summaryToPrint(const SummaryFields &f, const QDate &today)
{
    SummaryPrint out;
    const QString caseNumber = trimSpaces(f.caseNumber);
    const QString name = trimSpaces(f.name);
    const QString age = trimSpaces(f.age);
    const QString marital = trimSpaces(f.marital);
    const QString sex = trimSpaces(f.sex);
    const QString occupation = trimSpaces(f.occupation);
    const QString firstVisit = trimSpaces(f.firstVisit);
    const QString lastVisit = trimSpaces(f.lastVisit);
    const QString notes = trimSpaces(f.notes);
    for (const QString *required : {&caseNumber, &name, &age, &marital, &sex, &occupation, &firstVisit, &lastVisit}) {
        if (required->isEmpty()) {
            msg::plain(QStringLiteral("打印内容输入不完全，不能打印"));
            out.focus = QStringLiteral("CmdQcls");
            return out;
        }
    }
    const QStringList lines = {
        QStringLiteral("病历号码：") + caseNumber,
        QStringLiteral("患者姓名：") + name,
        QStringLiteral("患者年龄：") + age,
        QStringLiteral("患者性别：") + sex,
        QStringLiteral("婚姻状况：") + marital,
        QStringLiteral("职    业：") + occupation,
        QStringLiteral("工作单位：") + f.workUnit,
        QStringLiteral("联系电话：") + f.telephone,
        QStringLiteral("电子邮箱：") + f.mail,
        QStringLiteral("初诊时间：") + firstVisit,
        QStringLiteral("末诊时间：") + lastVisit,
        QStringLiteral("治疗心得："),
        notes,
        QString(),
        QStringLiteral("打印时间：") + dateText(today),
    };
    out.ok = true;
    out.text = trimSpaces(lines.join(QStringLiteral("\r\n")));
    out.documentName = QStringLiteral("诊断心得-") + caseNumber;
    return out;
}

} // namespace qh::clinic
