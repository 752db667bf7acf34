#include "stock/stockout.h"

#include "core/modutarnxt.h"
#include "core/textutil.h"

namespace qh::stock {

using namespace entrystep;

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
    if (box == u"Txtycbm")
        return lookupCode(e.Txtycbm, e.Txtycmc, QStringLiteral("药品编码输入错误"), QStringLiteral("TxtPjhm"));
    if (box == u"Txtycmc")
        return lookupName(e.Txtycmc, e.Txtycbm, QStringLiteral("此药品编码没有登记，请先登记药品编码名称销价"));
    if (box == u"TxtPjhm")
        return filledThen(e.TxtPjhm, QStringLiteral("TxtGjsj"), Selection::FirstTen,
                          QStringLiteral("请输入药品出库票据号码，没有可用其它内容代替"), MsgIcon::Question);
    if (box == u"TxtGjsj")
        return enterDay(e.TxtGjsj, today, QStringLiteral("Txthwll"));
    if (box == u"Txthwll")
        return filledThen(e.Txthwll, QStringLiteral("TxtYcsl"), Selection::All, QStringLiteral("请输入药品出库摘要"),
                          MsgIcon::Question);
    if (box == u"TxtYcsl")
        return enterNumber(e.TxtYcsl, QStringLiteral("输入药品数量错误"), QStringLiteral("出库数量"), QStringLiteral("TxtYcje"),
                           QStringLiteral("药品出库数量不能为零"));
    if (box == u"TxtYcje")
        return enterNumber(e.TxtYcje, QStringLiteral("药品输入金额错误"), QStringLiteral("销售收入"), QStringLiteral("Txtjbxm"));
    if (box == u"Txtjbxm")
        return filledThen(e.Txtjbxm, QStringLiteral("CmdSave"), Selection::None);
    return stay({}, Selection::None);
}

StepResult StockOut::jyYpjg(StockOutEntry &e)
{
    jybl = 1;
    // Selling below the list price is questioned; selling at it is not.
    const StepResult r = checkUnitPrice(e.Txtycbm, e.TxtYcsl, e.TxtYcje,
                                        [](Money listPrice, Money unitPrice) { return listPrice <= unitPrice; });
    if (r.ok)
        jybl = 0;
    return r;
}

StepResult StockOut::srnrJy(StockOutEntry &e, const QDate &today)
{
    jybl = 1;
    for (QString *t : {&e.Txtycbm, &e.Txtycmc, &e.Txthwll, &e.Txtjbxm, &e.TxtPjhm})
        *t = trimSpaces(*t);

    if (auto r = firstMissing({
            {e.Txtycbm.isEmpty() || e.Txtycmc.isEmpty(), QStringLiteral("请输入药品编码"), QStringLiteral("Txtycbm"), Selection::All},
            {e.TxtPjhm.isEmpty(), QStringLiteral("请输入票据号码"), QStringLiteral("TxtPjhm")},
            {e.Txtjbxm.isEmpty(), QStringLiteral("请输入经办者姓名"), QStringLiteral("Txtjbxm")},
            {e.Txthwll.isEmpty(), QStringLiteral("请输入药品来源"), QStringLiteral("Txthwll")},
        }))
        return *r;
    QDate day;
    if (auto r = refuseDay(e.TxtGjsj, QStringLiteral("TxtGjsj"), QStringLiteral("请输入药品购进时间"),
                           QStringLiteral("药品购进时间输入错误"), day))
        return *r;
    if (day > today)
        return fail(QStringLiteral("药品出库时间不能大于系统目前时间"), QStringLiteral("TxtGjsj"), Selection::FirstTen);
    const BoxNumber quantity = readBoxNumber(e.TxtYcsl);
    if (auto r = refuseNumber(quantity, QStringLiteral("TxtYcsl"), QStringLiteral("药品输入数量错误"), QStringLiteral("出库数量")))
        return *r;
    if (quantity.value.isZero())
        return fail(QStringLiteral("出库数量不能为零"), QStringLiteral("TxtYcsl"), Selection::All);
    const BoxNumber revenue = readBoxNumber(e.TxtYcje);
    if (auto r = refuseNumber(revenue, QStringLiteral("TxtYcje"), QStringLiteral("药品输入金额错误"), QStringLiteral("销售收入")))
        return *r;

    e.TxtYcsl = formatBoxNumber(quantity.value);
    e.TxtYcje = formatBoxNumber(revenue.value);
    jybl = 0;
    return StepResult{};
}

Movement StockOut::movement(const StockOutEntry &e)
{
    Movement m = entryMovement(e.TxtGjsj, e.Txtycmc, e.Txtjbxm);
    m.ywzy = SummaryIssue;
    m.yccd = QStringLiteral(" ");
    m.ycly = e.Txthwll;
    m.ywph = QStringLiteral(" ");
    m.yxqx = m.crsj;
    m.cksl = readBoxNumber(e.TxtYcsl).value;
    m.xsje = readBoxNumber(e.TxtYcje).value;
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
