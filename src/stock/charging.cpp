#include "stock/charging.h"
#include "core/herbs.h"
#include "base/textutil.h"
#include "stock/posting.h"

namespace qh::stock {

InsufficientStock::InsufficientStock(const QString &name)
    : DbError(err::General, QStringLiteral("库存中药材“%1”余量不足，本处方未出库。").arg(name)), herb(name)
{
}

QStringList Charging::departments(db::Session &s)
{
    QStringList out;
    auto st = s.query(QStringLiteral("select distinct blkb from hzzdzl"));
    while (st.next())
        if (!st.isNull(0))
            out << st.text(0);
    return out;
}

ChargeVerdict Charging::caseNoEntered(const QString &caseNo)
{
    if (trimSpaces(caseNo).isEmpty())
        return refusal(QString(), ChargeField::TxtBlhm, Select::none());
    return std::nullopt;
}

ChargeVerdict Charging::departmentChosen(const QString &caseNo, const QString &department)
{
    if (trimSpaces(department).isEmpty())
        return refusal(QString(), ChargeField::CboZdks, Select::none());
    if (trimSpaces(caseNo).isEmpty())
        return refusal(QStringLiteral("请输入病历号码"), ChargeField::TxtBlhm, Select::none());
    return std::nullopt;
}

std::variant<ChargeRefusal, ChargeDiagnosis> Charging::findDiagnosis(db::Session &s, const QString &dateText,
                                                                     const QString &caseNo, const QString &department)
{
    if (dateText.size() < 10 || dateText.contains(QChar(MaskBlank)))
        return refusal(QStringLiteral("诊断时间输入内容错误"), ChargeField::MasZdsj);
    const auto day = parseDateText(dateText);
    if (!day)
        return refusal(QStringLiteral("诊断时间输入错误"), ChargeField::MasZdsj);
    const QString blbm = trimSpaces(caseNo);
    const QString blkb = trimSpaces(department);
    if (blbm.isEmpty())
        return refusal(QStringLiteral("请输入病历号码"), ChargeField::TxtBlhm);
    if (blkb.isEmpty())
        return refusal(QStringLiteral("诊断科室请输入诊断科室"), ChargeField::CboZdks);
    // The visit of that calendar day, whatever time of day its date carries.
    auto st = s.query(QStringLiteral("select blcf, zdys from hzzdzl where blbm = ? and blkb = ? and date(blsj) = ? "
                                     "order by blsj limit 1"),
                      blbm, blkb, qh::dateText(*day));
    if (!st.next())
        return refusal(QStringLiteral("病历号码、诊断科室及诊断时间输入错误"), ChargeField::TxtBlhm);
    return ChargeDiagnosis{blbm, blkb, *day, st.text(0), st.text(1)};
}

namespace {
std::optional<ChargeDrug> drugWhere(db::Session &s, const QString &where, const QString &value)
{
    auto st = s.query(QStringLiteral("select ycbm, ycmc, ycdj from ycjg where ") + where, value);
    if (!st.next())
        return std::nullopt;
    return ChargeDrug{st.text(0), st.text(1), st.money(2)};
}
} // namespace

std::optional<ChargeDrug> Charging::drugByCode(db::Session &s, const QString &code)
{
    return drugWhere(s, QStringLiteral("ycbm = ?"), trimSpaces(code));
}

std::optional<ChargeDrug> Charging::drugByName(db::Session &s, const QString &name)
{
    return drugWhere(s, QStringLiteral("ycmc = ?"), trimSpaces(name));
}

Money Charging::lineAmount(Money price, Money dose) { return (price * dose).roundedEven(2); }

Money Charging::total(const QList<ChargeLine> &lines)
{
    Money sum;
    for (const auto &l : lines)
        sum += l.amount;
    return sum;
}

std::variant<ChargeRefusal, ChargeLine> Charging::addLine(db::Session &s, const QString &code, const QString &name,
                                                          const QString &doseText, const QString &prescription,
                                                          const QList<ChargeLine> &lines)
{
    const auto dose = isNumeric(doseText) ? Money::parse(doseText) : std::nullopt;
    if (!dose)
        return refusal(QStringLiteral("药材用量输入错误。"), ChargeField::TxtYcjl);
    const QString c = trimSpaces(code);
    const QString n = trimSpaces(name);
    auto drug = s.query(QStringLiteral("select ycbm, ycdj from ycjg where ycbm = ? and ycmc = ?"), c, n);
    if (!drug.next())
        return refusal(QStringLiteral("药材编码与名称不符"), ChargeField::Txtycbm);
    // The line shows the drug's code as the list stores it, whatever letter case was typed.
    const QString storedCode = drug.text(0);
    const Money price = drug.money(1);
    auto stock = s.query(QStringLiteral("select 1 from ycyltb where ycbm = ? and ycyl >= ?"), n, *dose);
    if (!stock.next())
        return refusal(QStringLiteral("库存中此药材余量不足"), ChargeField::Txtycbm);
    if (!herbs::prescriptionNames(prescription, n))
        return refusal(QStringLiteral("处方中无此药材"), ChargeField::Txtycbm).clearing();
    for (const auto &l : lines)
        if (l.code.compare(c, Qt::CaseInsensitive) == 0)
            return refusal(n + QStringLiteral(" 的用量已经输过。"), ChargeField::Txtycbm);
    ChargeLine line{storedCode, n, *dose, price, lineAmount(price, *dose)};
    return line;
}

void Charging::post(db::Session &s, const QList<ChargeLine> &lines, const ChargeDiagnosis &visit, const QString &user,
                    const QDate &today)
{
    if (lines.isEmpty())
        return;
    db::Transaction t(s);
    for (const auto &l : lines) {
        const auto balance = balanceOf(s, l.name);
        if (!balance || balance->ycyl < l.dose)
            throw InsufficientStock(l.name);
        Movement m;
        m.crsj = QDateTime(today, QTime(0, 0));
        m.ycbm = l.name;
        m.ywzy = SummaryDispensing;
        m.yccd = QStringLiteral("  ");
        m.ycly = QStringLiteral("  ");
        m.ywph = QStringLiteral(" ");
        m.yxqx = QDateTime(QDate(2050, 1, 1), QTime(0, 0));
        m.blhm = visit.blbm;
        m.blks = visit.blkb;
        m.cksl = l.dose;
        m.xsje = l.amount;
        m.jbxm = visit.doctor;
        m.bgxm = user;
        postMovementInTransaction(s, m, MovementKind::Issue);
    }
    t.commit();
}

} // namespace qh::stock
