#include "clinic/printcommands.h"

#include "core/modutarnxt.h"
#include "base/textutil.h"

#include <QStringList>

namespace qh::clinic {

namespace {

const QString NoUnitRow = QStringLiteral("系统发生错误，不能打印");

template <class Doc>
PrintPlan<Doc> refused(const QString &message, MsgIcon icon = MsgIcon::Information)
{
    PrintPlan<Doc> plan;
    plan.refusal = message;
    plan.icon = icon;
    return plan;
}

} // namespace

std::optional<QString> printUnitName(db::Session &s)
{
    const auto status = Modutarnxt::readStatusRow(s);
    if (status.rows == 0)
        return std::nullopt;
    return trimSpaces(status.unitName);
}

QString vitalSignsText(const QString &bloodPressure, const QString &pulse, const QString &respiration)
{
    return QStringLiteral("血压：") + bloodPressure + QStringLiteral("，脉搏：") + pulse + QStringLiteral("，呼吸：") +
           respiration;
}

PrintPlan<CaseRecordText> caseRecordPlan(const DiagnosisPrintBoxes &b, const std::optional<QString> &unit)
{
    if (!unit)
        return refused<CaseRecordText>(NoUnitRow, MsgIcon::Question);
    if (trimSpaces(b.plan).isEmpty() || trimSpaces(b.prescription).isEmpty())
        return refused<CaseRecordText>(QStringLiteral("治疗处方或治疗方案没有输入，不能打印"));
    PrintPlan<CaseRecordText> plan;
    plan.title = QStringLiteral("打印患者诊断病历");
    plan.doc = CaseRecordText{*unit,
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
                              vitalSignsText(b.bloodPressure, b.pulse, b.respiration)};
    return plan;
}

PrintPlan<PrescriptionText> prescriptionPlan(const DiagnosisPrintBoxes &b, const std::optional<QString> &unit)
{
    if (!unit)
        return refused<PrescriptionText>(NoUnitRow, MsgIcon::Question);
    PrintPlan<PrescriptionText> plan;
    plan.title = QStringLiteral("打印门诊处方");
    plan.doc = PrescriptionText{*unit,
                                trimSpaces(b.caseNumber),
                                trimSpaces(b.name),
                                trimSpaces(b.sex),
                                trimSpaces(b.age),
                                trimSpaces(b.date),
                                trimSpaces(b.doctor),
                                trimSpaces(b.prescription),
                                trimSpaces(b.directions),
                                trimSpaces(b.department)};
    return plan;
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
            out.refusal = refusal(QStringLiteral("打印内容输入不完全，不能打印"), CaseField::CmdQcls, Select::none())
                              .withIcon(MsgIcon::None);
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
