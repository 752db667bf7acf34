#include "stock/stockin.h"

#include "core/modutarnxt.h"
#include "core/textutil.h"

namespace qh::stock {

using namespace entrystep;

StockInEntry StockIn::Qpcls(const QDate &today)
{
    StockInEntry e;
    e.TxtGjsj = dateText(today);
    e.TxtYsqx = dateText(today.addDays(720));
    return e;
}

StepResult StockIn::onEnter(const QString &box, StockInEntry &e, const QDate &today)
{
    if (box == u"Txtycbm")
        return lookupCode(e.Txtycbm, e.Txtycmc, QStringLiteral("药材编码输入错误"), QStringLiteral("TxtYcph"));
    if (box == u"Txtycmc")
        return lookupName(e.Txtycmc, e.Txtycbm, QStringLiteral("此药材编码没有登记，请先登记药材编码名称销价"));
    if (box == u"TxtYcph")
        return filledThen(trimSpaces(e.TxtYcph), QStringLiteral("TxtYsqx"), Selection::FirstTen,
                          QStringLiteral("请输入药品批号，没有批号用其它内容代替"));
    if (box == u"TxtYsqx") {
        if (!dateTextComplete(e.TxtYsqx))
            return stay(QStringLiteral("请输入10位日期时间"), Selection::FirstTen);
        if (!parseDateText(e.TxtYsqx))
            return stay(QStringLiteral("有效期限输入错误"), Selection::FirstTen);
        return moveTo(QStringLiteral("Txthwcd"), Selection::End);
    }
    if (box == u"Txthwcd")
        return filledThen(e.Txthwcd, QStringLiteral("TxtPjhm"), Selection::End);
    if (box == u"TxtPjhm")
        return filledThen(e.TxtPjhm, QStringLiteral("TxtYcsl"), Selection::All,
                          QStringLiteral("请输入药品入库票据号码，没有可用其它内容代替"), MsgIcon::Question);
    if (box == u"TxtYcsl")
        return enterNumber(e.TxtYcsl, QStringLiteral("输入药材数量错误"), QStringLiteral("进货数量"), QStringLiteral("TxtYcje"));
    if (box == u"TxtYcje")
        return enterNumber(e.TxtYcje, QStringLiteral("药材输入金额错误"), QStringLiteral("进货金额"), QStringLiteral("Txthwll"));
    if (box == u"Txthwll")
        return filledThen(e.Txthwll, QStringLiteral("TxtGjsj"), Selection::FirstTen);
    if (box == u"TxtGjsj")
        return enterDay(e.TxtGjsj, today, QStringLiteral("Txtjbxm"));
    if (box == u"Txtjbxm")
        return filledThen(e.Txtjbxm, QStringLiteral("CmdSave"), Selection::None);
    return stay({}, Selection::None);
}

StepResult StockIn::jyYpjg(StockInEntry &e)
{
    jybl = 1;
    // Equal prices do not pass: a purchase must cost less than the drug sells for.
    const StepResult r = checkUnitPrice(e.Txtycbm, e.TxtYcsl, e.TxtYcje,
                                        [](Money listPrice, Money unitPrice) { return listPrice > unitPrice; });
    if (r.ok)
        jybl = 0;
    return r;
}

StepResult StockIn::srnrJy(StockInEntry &e, const QDate &today)
{
    jybl = 1;
    for (QString *t : {&e.Txtycbm, &e.Txtycmc, &e.Txthwll, &e.Txthwcd, &e.TxtYcph, &e.TxtYsqx, &e.Txtjbxm, &e.TxtPjhm})
        *t = trimSpaces(*t);

    if (auto r = firstMissing({
            {e.Txtycbm.isEmpty() || e.Txtycmc.isEmpty(), QStringLiteral("请输入药材编码"), QStringLiteral("Txtycbm"), Selection::All},
            {e.TxtPjhm.isEmpty(), QStringLiteral("请输入票据号码"), QStringLiteral("TxtPjhm")},
            {e.Txtjbxm.isEmpty(), QStringLiteral("请输入经办者姓名"), QStringLiteral("Txtjbxm")},
            {e.Txthwll.isEmpty(), QStringLiteral("请输入药材来源"), QStringLiteral("Txthwll")},
            {e.Txthwcd.isEmpty(), QStringLiteral("请输入药材产地"), QStringLiteral("Txthwcd")},
            {e.TxtYcph.isEmpty(), QStringLiteral("请输入药材批号"), QStringLiteral("TxtYcph")},
        }))
        return *r;
    QDate bought;
    if (auto r = refuseDay(e.TxtGjsj, QStringLiteral("TxtGjsj"), QStringLiteral("请输入药材购进时间"),
                           QStringLiteral("药材购进时间输入错误"), bought))
        return *r;
    QDate expiry;
    if (auto r = refuseDay(e.TxtYsqx, QStringLiteral("TxtYsqx"), QStringLiteral("请输入药材有效期限"),
                           QStringLiteral("药材有效期限输入错误"), expiry))
        return *r;
    if (bought > today)
        return fail(QStringLiteral("药材购进时间不能大于系统目前时间"), QStringLiteral("TxtGjsj"), Selection::FirstTen);
    if (expiry < today)
        return fail(QStringLiteral("药材有效期限不能小于系统目前时间"), QStringLiteral("TxtYsqx"), Selection::FirstTen);
    const BoxNumber quantity = readBoxNumber(e.TxtYcsl);
    if (auto r = refuseNumber(quantity, QStringLiteral("TxtYcsl"), QStringLiteral("药材输入数量错误"), QStringLiteral("进货数量")))
        return *r;
    const BoxNumber amount = readBoxNumber(e.TxtYcje);
    if (auto r = refuseNumber(amount, QStringLiteral("TxtYcje"), QStringLiteral("药材输入金额错误"), QStringLiteral("进货金额")))
        return *r;

    e.TxtYcsl = formatBoxNumber(quantity.value);
    e.TxtYcje = formatBoxNumber(amount.value);
    jybl = 0;
    return StepResult{};
}

Movement StockIn::movement(const StockInEntry &e)
{
    Movement m = entryMovement(e.TxtGjsj, e.Txtycmc, e.Txtjbxm);
    m.ywzy = SummaryPurchase;
    m.yccd = e.Txthwcd;
    m.ycly = e.Txthwll;
    m.ywph = e.TxtYcph;
    if (const auto expiry = parseDateText(e.TxtYsqx))
        m.yxqx = QDateTime(*expiry, QTime(0, 0));
    m.rksl = readBoxNumber(e.TxtYcsl).value;
    m.rkje = readBoxNumber(e.TxtYcje).value;
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
