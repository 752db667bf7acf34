#include "stock/stockout.h"

#include "base/textutil.h"

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

StockVerdict StockOut::onEnter(StockField box, StockOutEntry &e, const QDate &today)
{
    switch (box) {
    case StockField::Txtycbm:
        return lookupCode(m_store, e.Txtycbm, e.Txtycmc, QStringLiteral("药品编码输入错误"));
    case StockField::Txtycmc:
        return lookupName(m_store, e.Txtycmc, e.Txtycbm, QStringLiteral("此药品编码没有登记，请先登记药品编码名称销价"));
    case StockField::TxtPjhm:
        return filled(box, e.TxtPjhm, QStringLiteral("请输入药品出库票据号码，没有可用其它内容代替"), MsgIcon::Question);
    case StockField::TxtGjsj:
        return enterDay(e.TxtGjsj, today);
    case StockField::Txthwll:
        return filled(box, e.Txthwll, QStringLiteral("请输入药品出库摘要"), MsgIcon::Question);
    case StockField::TxtYcsl:
        return enterNumber(box, e.TxtYcsl, QStringLiteral("输入药品数量错误"), QStringLiteral("出库数量"),
                           QStringLiteral("药品出库数量不能为零"));
    case StockField::TxtYcje:
        return enterNumber(box, e.TxtYcje, QStringLiteral("药品输入金额错误"), QStringLiteral("销售收入"));
    case StockField::Txtjbxm:
        return filled(box, e.Txtjbxm);
    case StockField::TxtYcph:
    case StockField::TxtYsqx:
    case StockField::Txthwcd:
    case StockField::CmdSave:
        break;
    }
    return stay(box, {}, Select::none());
}

StockVerdict StockOut::jyYpjg(StockOutEntry &e)
{
    jybl = 1;
    // Selling below the list price is questioned; selling at it is not.
    StockVerdict r = checkUnitPrice(m_store, e.Txtycbm, e.TxtYcsl, e.TxtYcje,
                                    [](std::strong_ordering listAgainstUnit) { return listAgainstUnit <= 0; });
    if (!r)
        jybl = 0;
    return r;
}

StockVerdict StockOut::srnrJy(StockOutEntry &e, const QDate &today)
{
    jybl = 1;
    for (QString *t : {&e.Txtycbm, &e.Txtycmc, &e.Txthwll, &e.Txtjbxm, &e.TxtPjhm})
        *t = trimSpaces(*t);

    if (auto r = firstMissing({
            {e.Txtycbm.isEmpty() || e.Txtycmc.isEmpty(), QStringLiteral("请输入药品编码"), StockField::Txtycbm, Select::all()},
            {e.TxtPjhm.isEmpty(), QStringLiteral("请输入票据号码"), StockField::TxtPjhm},
            {e.Txtjbxm.isEmpty(), QStringLiteral("请输入经办者姓名"), StockField::Txtjbxm},
            {e.Txthwll.isEmpty(), QStringLiteral("请输入药品来源"), StockField::Txthwll},
        }))
        return r;
    QDate day;
    if (auto r = refuseDay(e.TxtGjsj, StockField::TxtGjsj, QStringLiteral("请输入药品购进时间"),
                           QStringLiteral("药品购进时间输入错误"), day))
        return r;
    if (day > today)
        return stay(StockField::TxtGjsj, QStringLiteral("药品出库时间不能大于系统目前时间"), Select::head(10));
    const BoxNumber quantity = readBoxNumber(e.TxtYcsl);
    if (auto r = refuseNumber(quantity, StockField::TxtYcsl, QStringLiteral("药品输入数量错误"), QStringLiteral("出库数量")))
        return r;
    if (quantity.value.isZero())
        return stay(StockField::TxtYcsl, QStringLiteral("出库数量不能为零"));
    const BoxNumber revenue = readBoxNumber(e.TxtYcje);
    if (auto r = refuseNumber(revenue, StockField::TxtYcje, QStringLiteral("药品输入金额错误"), QStringLiteral("销售收入")))
        return r;

    e.TxtYcsl = formatBoxNumber(quantity.value);
    e.TxtYcje = formatBoxNumber(revenue.value);
    jybl = 0;
    return std::nullopt;
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

StockVerdict StockOut::post(const StockOutEntry &e)
{
    const auto failed = [](const QString &message) { return stay(StockField::CmdSave, message, Select::none()); };
    try {
        auto s = m_store.open();
        const Movement m = movement(e);
        checkMovement(m);
        db::Transaction t(s);
        const auto balance = balanceOf(s, m.ycbm);
        if (!balance || balance->ycyl < m.cksl)
            return failed(QStringLiteral("库存中此药材余量不足"));
        postMovementInTransaction(s, m, MovementKind::Issue);
        t.commit();
    } catch (const DbError &err) {
        return failed(shortReport(err));
    }
    return std::nullopt;
}

QString *StockOut::text(StockField box)
{
    switch (box) {
    case StockField::Txtycbm: return &entry.Txtycbm;
    case StockField::Txtycmc: return &entry.Txtycmc;
    case StockField::TxtPjhm: return &entry.TxtPjhm;
    case StockField::TxtGjsj: return &entry.TxtGjsj;
    case StockField::Txthwll: return &entry.Txthwll;
    case StockField::TxtYcsl: return &entry.TxtYcsl;
    case StockField::TxtYcje: return &entry.TxtYcje;
    case StockField::Txtjbxm: return &entry.Txtjbxm;
    case StockField::TxtYcph:
    case StockField::TxtYsqx:
    case StockField::Txthwcd:
    case StockField::CmdSave: break;
    }
    return nullptr;
}

} // namespace qh::stock
