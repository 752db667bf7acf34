#include "stock/stockin.h"

#include "base/textutil.h"

namespace qh::stock {

using namespace entrystep;

StockInEntry StockIn::Qpcls(const QDate &today)
{
    StockInEntry e;
    e.TxtGjsj = dateText(today);
    e.TxtYsqx = dateText(today.addDays(720));
    return e;
}

StockVerdict StockIn::onEnter(StockField box, StockInEntry &e, const QDate &today)
{
    switch (box) {
    case StockField::Txtycbm:
        return lookupCode(m_store, e.Txtycbm, e.Txtycmc, QStringLiteral("药材编码输入错误"));
    case StockField::Txtycmc:
        return lookupName(m_store, e.Txtycmc, e.Txtycbm, QStringLiteral("此药材编码没有登记，请先登记药材编码名称销价"));
    case StockField::TxtYcph:
        return filled(box, trimSpaces(e.TxtYcph), QStringLiteral("请输入药品批号，没有批号用其它内容代替"));
    case StockField::TxtYsqx:
        if (!dateTextComplete(e.TxtYsqx))
            return stay(box, QStringLiteral("请输入10位日期时间"), Select::head(10));
        if (!parseDateText(e.TxtYsqx))
            return stay(box, QStringLiteral("有效期限输入错误"), Select::head(10));
        return std::nullopt;
    case StockField::Txthwcd:
        return filled(box, e.Txthwcd);
    case StockField::TxtPjhm:
        return filled(box, e.TxtPjhm, QStringLiteral("请输入药品入库票据号码，没有可用其它内容代替"), MsgIcon::Question);
    case StockField::TxtYcsl:
        return enterNumber(box, e.TxtYcsl, QStringLiteral("输入药材数量错误"), QStringLiteral("进货数量"));
    case StockField::TxtYcje:
        return enterNumber(box, e.TxtYcje, QStringLiteral("药材输入金额错误"), QStringLiteral("进货金额"));
    case StockField::Txthwll:
        return filled(box, e.Txthwll);
    case StockField::TxtGjsj:
        return enterDay(e.TxtGjsj, today);
    case StockField::Txtjbxm:
        return filled(box, e.Txtjbxm);
    case StockField::CmdSave:
        break;
    }
    return stay(box, {}, Select::none());
}

StockVerdict StockIn::jyYpjg(StockInEntry &e)
{
    jybl = 1;
    // Equal prices do not pass: a purchase must cost less than the drug sells for.
    StockVerdict r = checkUnitPrice(m_store, e.Txtycbm, e.TxtYcsl, e.TxtYcje,
                                    [](std::strong_ordering listAgainstUnit) { return listAgainstUnit > 0; });
    if (!r)
        jybl = 0;
    return r;
}

StockVerdict StockIn::srnrJy(StockInEntry &e, const QDate &today)
{
    jybl = 1;
    for (QString *t : {&e.Txtycbm, &e.Txtycmc, &e.Txthwll, &e.Txthwcd, &e.TxtYcph, &e.TxtYsqx, &e.Txtjbxm, &e.TxtPjhm})
        *t = trimSpaces(*t);

    if (auto r = firstMissing({
            {e.Txtycbm.isEmpty() || e.Txtycmc.isEmpty(), QStringLiteral("请输入药材编码"), StockField::Txtycbm, Select::all()},
            {e.TxtPjhm.isEmpty(), QStringLiteral("请输入票据号码"), StockField::TxtPjhm},
            {e.Txtjbxm.isEmpty(), QStringLiteral("请输入经办者姓名"), StockField::Txtjbxm},
            {e.Txthwll.isEmpty(), QStringLiteral("请输入药材来源"), StockField::Txthwll},
            {e.Txthwcd.isEmpty(), QStringLiteral("请输入药材产地"), StockField::Txthwcd},
            {e.TxtYcph.isEmpty(), QStringLiteral("请输入药材批号"), StockField::TxtYcph},
        }))
        return r;
    QDate bought;
    if (auto r = refuseDay(e.TxtGjsj, StockField::TxtGjsj, QStringLiteral("请输入药材购进时间"),
                           QStringLiteral("药材购进时间输入错误"), bought))
        return r;
    QDate expiry;
    if (auto r = refuseDay(e.TxtYsqx, StockField::TxtYsqx, QStringLiteral("请输入药材有效期限"),
                           QStringLiteral("药材有效期限输入错误"), expiry))
        return r;
    if (bought > today)
        return stay(StockField::TxtGjsj, QStringLiteral("药材购进时间不能大于系统目前时间"), Select::head(10));
    if (expiry < today)
        return stay(StockField::TxtYsqx, QStringLiteral("药材有效期限不能小于系统目前时间"), Select::head(10));
    const BoxNumber quantity = readBoxNumber(e.TxtYcsl);
    if (auto r = refuseNumber(quantity, StockField::TxtYcsl, QStringLiteral("药材输入数量错误"), QStringLiteral("进货数量")))
        return r;
    const BoxNumber amount = readBoxNumber(e.TxtYcje);
    if (auto r = refuseNumber(amount, StockField::TxtYcje, QStringLiteral("药材输入金额错误"), QStringLiteral("进货金额")))
        return r;

    e.TxtYcsl = formatBoxNumber(quantity.value);
    e.TxtYcje = formatBoxNumber(amount.value);
    jybl = 0;
    return std::nullopt;
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

StockVerdict StockIn::post(const StockInEntry &e)
{
    try {
        auto s = m_store.open();
        postMovement(s, movement(e), MovementKind::Receipt);
    } catch (const DbError &err) {
        return stay(StockField::CmdSave, shortReport(err), Select::none());
    }
    return std::nullopt;
}

QString *StockIn::text(StockField box)
{
    switch (box) {
    case StockField::Txtycbm: return &entry.Txtycbm;
    case StockField::Txtycmc: return &entry.Txtycmc;
    case StockField::TxtYcph: return &entry.TxtYcph;
    case StockField::TxtYsqx: return &entry.TxtYsqx;
    case StockField::Txthwcd: return &entry.Txthwcd;
    case StockField::TxtPjhm: return &entry.TxtPjhm;
    case StockField::TxtYcsl: return &entry.TxtYcsl;
    case StockField::TxtYcje: return &entry.TxtYcje;
    case StockField::Txthwll: return &entry.Txthwll;
    case StockField::TxtGjsj: return &entry.TxtGjsj;
    case StockField::Txtjbxm: return &entry.Txtjbxm;
    case StockField::CmdSave: break;
    }
    return nullptr;
}

} // namespace qh::stock
