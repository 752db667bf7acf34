#include "stock/stockin.h"

#include "core/modutarnxt.h"
#include "core/textutil.h"

namespace qh::stock {

namespace {

StepResult stay(const QString &message = {}, Selection select = Selection::All, MsgIcon icon = MsgIcon::Information)
{
    StepResult r;
    r.ok = false;
    r.message = message;
    r.icon = icon;
    r.select = select;
    return r;
}

StepResult moveTo(const QString &box, Selection select)
{
    StepResult r;
    r.focus = box;
    r.select = select;
    return r;
}

StepResult fail(const QString &message, const QString &box, Selection select)
{
    StepResult r;
    r.ok = false;
    r.message = message;
    r.focus = box;
    r.select = select;
    return r;
}

std::optional<DrugRow> findDrug(db::Session &s, const char *field, const QString &value)
{
    auto st = s.query(QStringLiteral("select ycbm, ycmc, ycdj from ycjg where %1 = ?").arg(QLatin1String(field)), value);
    if (!st.next() || st.isNull(0))
        return std::nullopt;
    return DrugRow{st.text(0), st.text(1), st.money(2)};
}

} // namespace

BoxNumber readBoxNumber(const QString &text)
{
    BoxNumber n;
    if (trimSpaces(text).isEmpty())
        return n;
    if (!isNumeric(text)) {
        n.state = BoxNumber::NotNumeric;
        return n;
    }
    const std::optional<Money> v = Money::parse(text);
    if (!v) {
        n.state = BoxNumber::TooLarge;
        return n;
    }
    try {
        n.value = v->roundedHalfUp(2);
    } catch (const MoneyOverflow &) {
        n.state = BoxNumber::TooLarge;
        return n;
    }
    n.state = (n.value > EntryMaximum || n.value < -EntryMaximum) ? BoxNumber::TooLarge : BoxNumber::Ok;
    return n;
}

QString formatBoxNumber(Money value) { return value.toDisplay(2, true); }

QString tooLargeMessage(const QString &label)
{
    return QStringLiteral("%1超出允许范围，最大为%2").arg(label, formatBoxNumber(EntryMaximum));
}

bool dateTextComplete(const QString &text)
{
    QString t = trimSpaces(text);
    t.remove(MaskBlank);
    t.remove(u' ');
    return t.size() == 10;
}

std::optional<DrugRow> findDrugByCode(db::Session &s, const QString &code) { return findDrug(s, "ycbm", code); }
std::optional<DrugRow> findDrugByName(db::Session &s, const QString &name) { return findDrug(s, "ycmc", name); }

StockInEntry StockIn::Qpcls(const QDate &today)
{
    StockInEntry e;
    e.TxtGjsj = dateText(today);
    e.TxtYsqx = dateText(today.addDays(720));
    return e;
}

StepResult StockIn::onEnter(const QString &box, StockInEntry &e, const QDate &today)
{
    if (box == u"Txtycbm") {
        if (e.Txtycbm.isEmpty())
            return stay({}, Selection::None);
        e.Txtycbm = e.Txtycbm.toUpper();
        try {
            auto s = Modutarnxt::openClinic();
            const auto row = findDrugByCode(s, trimSpaces(e.Txtycbm));
            if (!row)
                return stay(QStringLiteral("药材编码输入错误"));
            e.Txtycmc = row->ycmc;
        } catch (const DbError &err) {
            return stay(shortReport(err));
        }
        return moveTo(QStringLiteral("TxtYcph"), Selection::All);
    }
    if (box == u"Txtycmc") {
        if (e.Txtycmc.isEmpty())
            return stay({}, Selection::None);
        try {
            auto s = Modutarnxt::openClinic();
            const auto row = findDrugByName(s, trimSpaces(e.Txtycmc));
            if (!row)
                return stay(QStringLiteral("此药材编码没有登记，请先登记药材编码名称销价"));
            e.Txtycbm = row->ycbm;
        } catch (const DbError &err) {
            return stay(shortReport(err));
        }
        return moveTo(QStringLiteral("TxtGjsj"), Selection::FirstTen);
    }
    if (box == u"TxtYcph") {
        if (trimSpaces(e.TxtYcph).isEmpty())
            return stay(QStringLiteral("请输入药品批号，没有批号用其它内容代替"), Selection::None);
        return moveTo(QStringLiteral("TxtYsqx"), Selection::FirstTen);
    }
    if (box == u"TxtYsqx") {
        if (!dateTextComplete(e.TxtYsqx))
            return stay(QStringLiteral("请输入10位日期时间"), Selection::FirstTen);
        if (!parseDateText(e.TxtYsqx))
            return stay(QStringLiteral("有效期限输入错误"), Selection::FirstTen);
        return moveTo(QStringLiteral("Txthwcd"), Selection::End);
    }
    if (box == u"Txthwcd") {
        if (e.Txthwcd.isEmpty())
            return stay({}, Selection::None);
        return moveTo(QStringLiteral("TxtPjhm"), Selection::End);
    }
    if (box == u"TxtPjhm") {
        if (e.TxtPjhm.isEmpty())
            return stay(QStringLiteral("请输入药品入库票据号码，没有可用其它内容代替"), Selection::None, MsgIcon::Question);
        return moveTo(QStringLiteral("TxtYcsl"), Selection::All);
    }
    if (box == u"TxtYcsl" || box == u"TxtYcje") {
        const bool quantity = box == u"TxtYcsl";
        QString &text = quantity ? e.TxtYcsl : e.TxtYcje;
        const BoxNumber n = readBoxNumber(text);
        switch (n.state) {
        case BoxNumber::Empty:
            return stay({}, Selection::None);
        case BoxNumber::NotNumeric:
            return stay(quantity ? QStringLiteral("输入药材数量错误") : QStringLiteral("药材输入金额错误"));
        case BoxNumber::TooLarge:
            return stay(tooLargeMessage(quantity ? QStringLiteral("进货数量") : QStringLiteral("进货金额")));
        case BoxNumber::Ok:
            break;
        }
        text = formatBoxNumber(n.value);
        return moveTo(quantity ? QStringLiteral("TxtYcje") : QStringLiteral("Txthwll"), Selection::All);
    }
    if (box == u"Txthwll") {
        if (e.Txthwll.isEmpty())
            return stay({}, Selection::None);
        return moveTo(QStringLiteral("TxtGjsj"), Selection::FirstTen);
    }
    if (box == u"TxtGjsj") {
        if (!dateTextComplete(e.TxtGjsj))
            return stay(QStringLiteral("请输入10位日期时间"), Selection::FirstTen);
        const auto d = parseDateText(e.TxtGjsj);
        if (!d)
            return stay(QStringLiteral("输入时间错误"), Selection::FirstTen);
        if (*d > today)
            return stay(QStringLiteral("输入时间不能大于目前时间"), Selection::FirstTen);
        return moveTo(QStringLiteral("Txtjbxm"), Selection::All);
    }
    if (box == u"Txtjbxm") {
        if (e.Txtjbxm.isEmpty())
            return stay({}, Selection::None);
        return moveTo(QStringLiteral("CmdSave"), Selection::None);
    }
    return stay({}, Selection::None);
}

StepResult StockIn::jyYpjg(StockInEntry &e)
{
    jybl = 1;
    std::optional<DrugRow> row;
    try {
        auto s = Modutarnxt::openClinic();
        row = findDrugByCode(s, trimSpaces(e.Txtycbm));
    } catch (const DbError &err) {
        return stay(shortReport(err), Selection::None);
    }
    if (!row)
        return fail(QStringLiteral("药品编码登录错误，重来"), QStringLiteral("Txtycbm"), Selection::All);

    const auto quantity = Money::parse(e.TxtYcsl);
    const auto amount = Money::parse(e.TxtYcje);
    if (!quantity || !amount)
        return stay(QStringLiteral("类型不匹配"), Selection::None);
    if (quantity->isZero())
        return stay(QStringLiteral("除数为零"), Selection::None);
    Money unit;
    try {
        unit = *amount / *quantity;
    } catch (const MoneyOverflow &) {
        return stay(QStringLiteral("溢出"), Selection::None);
    }
    // Equal prices do not pass: a purchase must cost less than the drug sells for.
    if (row->ycdj <= unit)
        return stay({}, Selection::None);
    jybl = 0;
    return StepResult{};
}

StepResult StockIn::srnrJy(StockInEntry &e, const QDate &today)
{
    jybl = 1;
    for (QString *t : {&e.Txtycbm, &e.Txtycmc, &e.Txthwll, &e.Txthwcd, &e.TxtYcph, &e.TxtYsqx, &e.Txtjbxm, &e.TxtPjhm})
        *t = trimSpaces(*t);

    if (e.Txtycbm.isEmpty() || e.Txtycmc.isEmpty())
        return fail(QStringLiteral("请输入药材编码"), QStringLiteral("Txtycbm"), Selection::All);
    if (e.TxtPjhm.isEmpty())
        return fail(QStringLiteral("请输入票据号码"), QStringLiteral("TxtPjhm"), Selection::None);
    if (e.Txtjbxm.isEmpty())
        return fail(QStringLiteral("请输入经办者姓名"), QStringLiteral("Txtjbxm"), Selection::None);
    if (e.Txthwll.isEmpty())
        return fail(QStringLiteral("请输入药材来源"), QStringLiteral("Txthwll"), Selection::None);
    if (e.Txthwcd.isEmpty())
        return fail(QStringLiteral("请输入药材产地"), QStringLiteral("Txthwcd"), Selection::None);
    if (e.TxtYcph.isEmpty())
        return fail(QStringLiteral("请输入药材批号"), QStringLiteral("TxtYcph"), Selection::None);
    if (!dateTextComplete(e.TxtGjsj))
        return fail(QStringLiteral("请输入药材购进时间"), QStringLiteral("TxtGjsj"), Selection::FirstTen);
    const auto bought = parseDateText(e.TxtGjsj);
    if (!bought)
        return fail(QStringLiteral("药材购进时间输入错误"), QStringLiteral("TxtGjsj"), Selection::FirstTen);
    if (!dateTextComplete(e.TxtYsqx))
        return fail(QStringLiteral("请输入药材有效期限"), QStringLiteral("TxtYsqx"), Selection::FirstTen);
    const auto expiry = parseDateText(e.TxtYsqx);
    if (!expiry)
        return fail(QStringLiteral("药材有效期限输入错误"), QStringLiteral("TxtYsqx"), Selection::FirstTen);
    if (*bought > today)
        return fail(QStringLiteral("药材购进时间不能大于系统目前时间"), QStringLiteral("TxtGjsj"), Selection::FirstTen);
    if (*expiry < today)
        return fail(QStringLiteral("药材有效期限不能小于系统目前时间"), QStringLiteral("TxtYsqx"), Selection::FirstTen);
    const BoxNumber quantity = readBoxNumber(e.TxtYcsl);
    if (quantity.state == BoxNumber::Empty || quantity.state == BoxNumber::NotNumeric)
        return fail(QStringLiteral("药材输入数量错误"), QStringLiteral("TxtYcsl"), Selection::All);
    if (quantity.state == BoxNumber::TooLarge)
        return fail(tooLargeMessage(QStringLiteral("进货数量")), QStringLiteral("TxtYcsl"), Selection::All);
    const BoxNumber amount = readBoxNumber(e.TxtYcje);
    if (amount.state == BoxNumber::Empty || amount.state == BoxNumber::NotNumeric)
        return fail(QStringLiteral("药材输入金额错误"), QStringLiteral("TxtYcje"), Selection::All);
    if (amount.state == BoxNumber::TooLarge)
        return fail(tooLargeMessage(QStringLiteral("进货金额")), QStringLiteral("TxtYcje"), Selection::All);

    e.TxtYcsl = formatBoxNumber(quantity.value);
    e.TxtYcje = formatBoxNumber(amount.value);
    jybl = 0;
    return StepResult{};
}

Movement StockIn::movement(const StockInEntry &e)
{
    Movement m;
    m.crsj = QDateTime(parseDateText(e.TxtGjsj).value_or(QDate()), QTime(0, 0));
    m.ycbm = e.Txtycmc;
    m.ywzy = SummaryPurchase;
    m.yccd = e.Txthwcd;
    m.ycly = e.Txthwll;
    m.ywph = e.TxtYcph;
    if (const auto expiry = parseDateText(e.TxtYsqx))
        m.yxqx = QDateTime(*expiry, QTime(0, 0));
    m.blhm = QStringLiteral(" ");
    m.blks = QStringLiteral(" ");
    m.rksl = readBoxNumber(e.TxtYcsl).value;
    m.rkje = readBoxNumber(e.TxtYcje).value;
    m.jbxm = e.Txtjbxm;
    m.bgxm = Modutarnxt::CurrentUser;
    return m;
}

StepResult StockIn::post(const StockInEntry &e)
{
    try {
        auto s = Modutarnxt::openClinic();
        postMovement(s, movement(e), MovementKind::Receipt);
    } catch (const DbError &err) {
        return stay(shortReport(err), Selection::None);
    }
    return StepResult{};
}

} // namespace qh::stock
