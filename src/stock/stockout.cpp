#include "stock/stockout.h"

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

} // namespace

StockOutEntry StockOut::Qpcls(const QDate &today)
{
    StockOutEntry e;
    e.TxtYcsl = QStringLiteral("0.00");
    e.TxtYcje = QStringLiteral("0.00");
    e.TxtGjsj = dateText(today);
    return e;
}

bool StockOut::quantityKeyAccepted(const QString &typed)
{
    return typed.size() == 1 && typed[0] >= u'0' && typed[0] <= u'9';
}

StepResult StockOut::onEnter(const QString &box, StockOutEntry &e, const QDate &today)
{
    if (box == u"Txtycbm") {
        if (e.Txtycbm.isEmpty())
            return stay({}, Selection::None);
        e.Txtycbm = e.Txtycbm.toUpper();
        try {
            auto s = Modutarnxt::openClinic();
            const auto row = findDrugByCode(s, trimSpaces(e.Txtycbm));
            if (!row)
                return stay(QStringLiteral("药品编码输入错误"));
            e.Txtycmc = row->ycmc;
        } catch (const DbError &err) {
            return stay(shortReport(err));
        }
        return moveTo(QStringLiteral("TxtPjhm"), Selection::All);
    }
    if (box == u"Txtycmc") {
        if (e.Txtycmc.isEmpty())
            return stay({}, Selection::None);
        try {
            auto s = Modutarnxt::openClinic();
            const auto row = findDrugByName(s, trimSpaces(e.Txtycmc));
            if (!row)
                return stay(QStringLiteral("此药品编码没有登记，请先登记药品编码名称销价"));
            e.Txtycbm = row->ycbm;
        } catch (const DbError &err) {
            return stay(shortReport(err));
        }
        return moveTo(QStringLiteral("TxtGjsj"), Selection::FirstTen);
    }
    if (box == u"TxtPjhm") {
        if (e.TxtPjhm.isEmpty())
            return stay(QStringLiteral("请输入药品出库票据号码，没有可用其它内容代替"), Selection::None, MsgIcon::Question);
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
        return moveTo(QStringLiteral("Txthwll"), Selection::All);
    }
    if (box == u"Txthwll") {
        if (e.Txthwll.isEmpty())
            return stay(QStringLiteral("请输入药品出库摘要"), Selection::None, MsgIcon::Question);
        return moveTo(QStringLiteral("TxtYcsl"), Selection::All);
    }
    if (box == u"TxtYcsl") {
        const BoxNumber n = readBoxNumber(e.TxtYcsl);
        switch (n.state) {
        case BoxNumber::Empty:
            return stay({}, Selection::None);
        case BoxNumber::NotNumeric:
            return stay(QStringLiteral("输入药品数量错误"));
        case BoxNumber::TooLarge:
            return stay(tooLargeMessage(QStringLiteral("出库数量")));
        case BoxNumber::Ok:
            break;
        }
        if (n.value.isZero())
            return stay(QStringLiteral("药品出库数量不能为零"));
        e.TxtYcsl = formatBoxNumber(n.value);
        return moveTo(QStringLiteral("TxtYcje"), Selection::All);
    }
    if (box == u"TxtYcje") {
        const BoxNumber n = readBoxNumber(e.TxtYcje);
        switch (n.state) {
        case BoxNumber::Empty:
            return stay({}, Selection::None);
        case BoxNumber::NotNumeric:
            return stay(QStringLiteral("药品输入金额错误"));
        case BoxNumber::TooLarge:
            return stay(tooLargeMessage(QStringLiteral("销售收入")));
        case BoxNumber::Ok:
            break;
        }
        e.TxtYcje = formatBoxNumber(n.value);
        return moveTo(QStringLiteral("Txtjbxm"), Selection::All);
    }
    if (box == u"Txtjbxm") {
        if (e.Txtjbxm.isEmpty())
            return stay({}, Selection::None);
        return moveTo(QStringLiteral("CmdSave"), Selection::None);
    }
    return stay({}, Selection::None);
}

StepResult StockOut::jyYpjg(StockOutEntry &e)
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
    const auto revenue = Money::parse(e.TxtYcje);
    if (!quantity || !revenue)
        return stay(QStringLiteral("类型不匹配"), Selection::None);
    if (quantity->isZero())
        return stay(QStringLiteral("除数为零"), Selection::None);
    Money unit;
    try {
        unit = *revenue / *quantity;
    } catch (const MoneyOverflow &) {
        return stay(QStringLiteral("溢出"), Selection::None);
    }
    // Selling below the list price is questioned; selling at it is not.
    if (row->ycdj > unit)
        return stay({}, Selection::None);
    jybl = 0;
    return StepResult{};
}

StepResult StockOut::srnrJy(StockOutEntry &e, const QDate &today)
{
    jybl = 1;
    for (QString *t : {&e.Txtycbm, &e.Txtycmc, &e.Txthwll, &e.Txtjbxm, &e.TxtPjhm})
        *t = trimSpaces(*t);

    if (e.Txtycbm.isEmpty() || e.Txtycmc.isEmpty())
        return fail(QStringLiteral("请输入药品编码"), QStringLiteral("Txtycbm"), Selection::All);
    if (e.TxtPjhm.isEmpty())
        return fail(QStringLiteral("请输入票据号码"), QStringLiteral("TxtPjhm"), Selection::None);
    if (e.Txtjbxm.isEmpty())
        return fail(QStringLiteral("请输入经办者姓名"), QStringLiteral("Txtjbxm"), Selection::None);
    if (e.Txthwll.isEmpty())
        return fail(QStringLiteral("请输入药品来源"), QStringLiteral("Txthwll"), Selection::None);
    if (!dateTextComplete(e.TxtGjsj))
        return fail(QStringLiteral("请输入药品购进时间"), QStringLiteral("TxtGjsj"), Selection::FirstTen);
    const auto day = parseDateText(e.TxtGjsj);
    if (!day)
        return fail(QStringLiteral("药品购进时间输入错误"), QStringLiteral("TxtGjsj"), Selection::FirstTen);
    if (*day > today)
        return fail(QStringLiteral("药品出库时间不能大于系统目前时间"), QStringLiteral("TxtGjsj"), Selection::FirstTen);
    const BoxNumber quantity = readBoxNumber(e.TxtYcsl);
    if (quantity.state == BoxNumber::Empty || quantity.state == BoxNumber::NotNumeric)
        return fail(QStringLiteral("药品输入数量错误"), QStringLiteral("TxtYcsl"), Selection::All);
    if (quantity.state == BoxNumber::TooLarge)
        return fail(tooLargeMessage(QStringLiteral("出库数量")), QStringLiteral("TxtYcsl"), Selection::All);
    if (quantity.value.isZero())
        return fail(QStringLiteral("出库数量不能为零"), QStringLiteral("TxtYcsl"), Selection::All);
    const BoxNumber revenue = readBoxNumber(e.TxtYcje);
    if (revenue.state == BoxNumber::Empty || revenue.state == BoxNumber::NotNumeric)
        return fail(QStringLiteral("药品输入金额错误"), QStringLiteral("TxtYcje"), Selection::All);
    if (revenue.state == BoxNumber::TooLarge)
        return fail(tooLargeMessage(QStringLiteral("销售收入")), QStringLiteral("TxtYcje"), Selection::All);

    e.TxtYcsl = formatBoxNumber(quantity.value);
    e.TxtYcje = formatBoxNumber(revenue.value);
    jybl = 0;
    return StepResult{};
}

Movement StockOut::movement(const StockOutEntry &e)
{
    Movement m;
    const QDateTime day(parseDateText(e.TxtGjsj).value_or(QDate()), QTime(0, 0));
    m.crsj = day;
    m.ycbm = e.Txtycmc;
    m.ywzy = SummaryIssue;
    m.yccd = QStringLiteral(" ");
    m.ycly = e.Txthwll;
    m.ywph = QStringLiteral(" ");
    m.yxqx = day;
    m.blhm = QStringLiteral(" ");
    m.blks = QStringLiteral(" ");
    m.cksl = readBoxNumber(e.TxtYcsl).value;
    m.xsje = readBoxNumber(e.TxtYcje).value;
    m.jbxm = e.Txtjbxm;
    m.bgxm = Modutarnxt::CurrentUser;
    return m;
}

StepResult StockOut::post(const StockOutEntry &e)
{
    try {
        auto s = Modutarnxt::openClinic();
        const Movement m = movement(e);
        checkMovement(m);
        db::Transaction t(s);
        const auto balance = balanceOf(s, m.ycbm);
        if (!balance || balance->ycyl < m.cksl)
            return stay(QStringLiteral("库存中此药材余量不足"), Selection::None);
        postMovementInTransaction(s, m, MovementKind::Issue);
        t.commit();
    } catch (const DbError &err) {
        return stay(shortReport(err), Selection::None);
    }
    return StepResult{};
}

} // namespace qh::stock
