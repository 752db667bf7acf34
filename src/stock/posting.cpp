#include "stock/posting.h"
#include "base/textutil.h"

#include "base/textutil.h"

namespace qh::stock {

namespace {

QString orBlank(const QString &text) { return text.isEmpty() ? QStringLiteral(" ") : text; }

} // namespace

std::optional<Balance> balanceOf(db::Session &session, const QString &drugName)
{
    auto st = session.query(QStringLiteral("select ycbm, rksl, rkje, ycyl from ycyltb where ycbm = ?"), drugName);
    if (!st.next())
        return std::nullopt;
    return Balance{st.text(0), st.money(1), st.money(2), st.money(3)};
}

void checkMovement(const Movement &m)
{
    if (m.ycbm.isEmpty())
        throw PostingRefused(err::ZeroLength, QStringLiteral("药材名称为空，不能记帐"));
    if (charCount(m.ycbm) > BalanceNameLimit)
        throw PostingRefused(err::TooLong,
                             QStringLiteral("药材名称“%1”超过%2个字符，库存只能记录%2个字符以内的药材名称，未记帐")
                                 .arg(m.ycbm)
                                 .arg(BalanceNameLimit));
}

void postMovementInTransaction(db::Session &session, const Movement &m, MovementKind kind)
{
    checkMovement(m);

    // Work out the new balance before writing anything, so a sum that would leave the
    // Currency range is refused instead of being stored wrong.
    const std::optional<Balance> old = balanceOf(session, m.ycbm);
    Balance now = old.value_or(Balance{m.ycbm, Money(), Money(), Money()});
    try {
        if (kind == MovementKind::Receipt) {
            now.rksl += m.rksl;
            now.rkje += m.rkje;
            now.ycyl += m.rksl;
        } else if (old) {
            now.ycyl -= m.cksl;
        }
    } catch (const MoneyOverflow &) {
        throw PostingRefused(err::Overflow,
                             QStringLiteral("药材“%1”的库存数量或金额超出允许范围，未记帐").arg(m.ycbm));
    }

    session.exec(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, "
                                "cksl, ckje, xsje, jbxm, bgxm) values(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                 m.crsj, m.ycbm, orBlank(m.ywzy), orBlank(m.yccd), orBlank(m.ycly), orBlank(m.ywph), m.yxqx,
                 orBlank(m.blhm), orBlank(m.blks), m.rksl, m.rkje, m.cksl, m.ckje, m.xsje, orBlank(m.jbxm),
                 orBlank(m.bgxm));

    if (kind == MovementKind::Receipt && !old) {
        session.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"), m.ycbm, now.rksl,
                     now.rkje, now.ycyl);
    } else if (old) {
        session.exec(QStringLiteral("update ycyltb set rksl = ?, rkje = ?, ycyl = ? where ycbm = ?"), now.rksl, now.rkje,
                     now.ycyl, old->ycbm);
    }
}

void postMovement(db::Session &session, const Movement &m, MovementKind kind)
{
    db::Transaction t(session);
    postMovementInTransaction(session, m, kind);
    t.commit();
}

} // namespace qh::stock
