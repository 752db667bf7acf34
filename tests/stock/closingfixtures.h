#pragma once
// Stock movements posted by the real posting rules, and a dump of both stock tables, for the
// closing tests (logic and menu command).
#include "db/session.h"
#include "stock/posting.h"

#include <QStringList>

namespace closingfixtures {

inline qh::Money m(const char *text) { return *qh::Money::parse(QString::fromUtf8(text)); }

inline void receive(qh::db::Session &s, const QString &name, const char *qty, const char *amount)
{
    qh::stock::Movement mv;
    mv.crsj = QDateTime(QDate(2024, 3, 5), QTime(0, 0));
    mv.ycbm = name;
    mv.ywzy = qh::stock::SummaryPurchase;
    mv.yccd = QStringLiteral("甘肃");
    mv.ycly = QStringLiteral("药材公司");
    mv.ywph = QStringLiteral("B001");
    mv.yxqx = QDateTime(QDate(2026, 3, 5), QTime(0, 0));
    mv.rksl = m(qty);
    mv.rkje = m(amount);
    mv.jbxm = QStringLiteral("李四");
    mv.bgxm = QStringLiteral("测试员");
    qh::stock::postMovement(s, mv, qh::stock::MovementKind::Receipt);
}

inline void issue(qh::db::Session &s, const QString &name, const char *qty)
{
    qh::stock::Movement mv;
    mv.crsj = QDateTime(QDate(2024, 3, 6), QTime(9, 30));
    mv.ycbm = name;
    mv.ywzy = qh::stock::SummaryDispensing;
    mv.blhm = QStringLiteral("B-17");
    mv.blks = QStringLiteral("内科");
    mv.cksl = m(qty);
    mv.xsje = m("1");
    mv.jbxm = QStringLiteral("王五");
    mv.bgxm = QStringLiteral("测试员");
    qh::stock::postMovement(s, mv, qh::stock::MovementKind::Issue);
}

// Every balance row and every movement's drug, quantities and cost, in a stable order.
inline QStringList dump(qh::db::Session &s)
{
    QStringList out;
    auto b = s.query(QStringLiteral("select ycbm, rksl, rkje, ycyl from ycyltb order by ycbm"));
    while (b.next())
        out << QStringLiteral("B %1 %2 %3 %4").arg(b.text(0), b.money(1).toPlain(), b.money(2).toPlain(), b.money(3).toPlain());
    auto c = s.query(QStringLiteral("select rowid, ycbm, rksl, rkje, cksl, ckje from yccrtb order by rowid"));
    while (c.next())
        out << QStringLiteral("M %1 %2 %3 %4 %5 %6")
                   .arg(QString::number(c.int64(0)), c.text(1), c.money(2).toPlain(), c.money(3).toPlain(),
                        c.money(4).toPlain(), c.money(5).toPlain());
    return out;
}

inline qh::Money balanceField(qh::db::Session &s, const QString &name, const char *field)
{
    auto st = s.query(QStringLiteral("select %1 from ycyltb where ycbm = ?").arg(QLatin1String(field)), name);
    return st.next() ? st.money(0) : qh::Money::fromUnits(-1);
}

// Costs of the drug's issues in journal order.
inline QStringList costs(qh::db::Session &s, const QString &name)
{
    QStringList out;
    auto st = s.query(QStringLiteral("select ckje from yccrtb where ycbm = ? and cksl <> 0 order by rowid"), name);
    while (st.next())
        out << st.money(0).toPlain();
    return out;
}

} // namespace closingfixtures
