#include "db/session.h"
#include "stock/posting.h"
#include "stock/stockoutlook.h"
#include "testsupport.h"

#include <QtTest>

using namespace qh;
using namespace qh::stock;

namespace {
Money m(const char *t) { return *Money::parse(QString::fromUtf8(t)); }

Movement move(const QDate &day, const QString &name, const char *in, const char *out, const QDate &expiry = {})
{
    Movement mv;
    mv.crsj = QDateTime(day, QTime(9, 0));
    mv.ycbm = name;
    mv.ywzy = QString::fromUtf8(*in != '0' ? "购进" : "出库");
    mv.yxqx = QDateTime(expiry.isValid() ? expiry : QDate(2050, 1, 1), QTime(0, 0));
    mv.rksl = m(in);
    mv.rkje = m(in);
    mv.cksl = m(out);
    mv.jbxm = QStringLiteral("李四");
    mv.bgxm = QStringLiteral("测试员");
    return mv;
}
} // namespace

class TstStockOutlook : public QObject {
    Q_OBJECT

private slots:
    // Two purchases with different expiry; issues take the older first; one lot runs out.
    void issuesConsumeTheEarliestExpiryFirst()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        const QString hq = QStringLiteral("黄芪"), dg = QStringLiteral("当归");
        postMovement(s, move(QDate(2026, 1, 5), hq, "100", "0", QDate(2027, 6, 30)), MovementKind::Receipt);
        postMovement(s, move(QDate(2026, 2, 5), hq, "50", "0", QDate(2026, 10, 31)), MovementKind::Receipt);
        postMovement(s, move(QDate(2026, 3, 1), hq, "0", "30"), MovementKind::Issue);   // from the October lot
        postMovement(s, move(QDate(2026, 4, 1), dg, "40", "0", QDate(2026, 11, 30)), MovementKind::Receipt);
        postMovement(s, move(QDate(2026, 5, 1), dg, "0", "10"), MovementKind::Issue);
        const auto before = stockOutlook(s, QDate(2026, 12, 8));
        QCOMPARE(before.value(hq).onHand, m("120"));
        QCOMPARE(before.value(hq).expiry, std::optional<QDate>(QDate(2026, 10, 31))); // 20 of the October lot left
        QVERIFY(before.value(hq).expired);
        QCOMPARE(before.value(dg).expiry, std::optional<QDate>(QDate(2026, 11, 30)));
        QVERIFY(before.value(dg).expired);

        postMovement(s, move(QDate(2026, 6, 1), hq, "0", "20"), MovementKind::Issue); // the October lot is used up
        const auto after = stockOutlook(s, QDate(2026, 12, 8));
        QCOMPARE(after.value(hq).onHand, m("100"));
        QCOMPARE(after.value(hq).expiry, std::optional<QDate>(QDate(2027, 6, 30)));
        QVERIFY(!after.value(hq).expired);
        QVERIFY(!after.contains(QStringLiteral("茯苓")));
    }

    void lotsWithoutDateComeLastAndIssuesBeyondThePurchasesAreDropped()
    {
        const QList<Lot> left = remainingLots({{m("10"), {}, QDate()},
                                               {m("5"), {}, QDate(2027, 1, 1)},
                                               {{}, m("7"), QDate()},
                                               {m("3"), {}, QDate(2026, 1, 1)},
                                               {{}, m("50"), QDate()},
                                               {m("4"), {}, QDate(2028, 1, 1)}});
        QCOMPARE(left.size(), 1);
        QCOMPARE(left.first().left, m("4"));
        const QList<Lot> two = remainingLots({{m("10"), {}, QDate()}, {m("5"), {}, QDate(2027, 1, 1)}, {{}, m("7"), QDate()}});
        QCOMPARE(two.size(), 1);
        QCOMPARE(two.first().left, m("8"));
        QVERIFY(!two.first().expiry.isValid());
    }
};

QTEST_GUILESS_MAIN(TstStockOutlook)
#include "tst_stockoutlook.moc"
