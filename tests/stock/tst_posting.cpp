#include "db/session.h"
#include "core/modutarnxt.h"
#include "stock/posting.h"
#include "testsupport.h"

#include <QtTest>

using namespace qh;
using namespace qh::stock;

namespace {

Money m(const char *text) { return *Money::parse(QString::fromUtf8(text)); }

Movement receipt(const QString &name, const char *qty, const char *amount)
{
    Movement mv;
    mv.crsj = QDateTime(QDate(2024, 3, 5), QTime(0, 0));
    mv.ycbm = name;
    mv.ywzy = SummaryPurchase;
    mv.yccd = QStringLiteral("甘肃");
    mv.ycly = QStringLiteral("药材公司");
    mv.ywph = QStringLiteral("B001");
    mv.yxqx = QDateTime(QDate(2026, 3, 5), QTime(0, 0));
    mv.blhm = QStringLiteral(" ");
    mv.blks = QStringLiteral(" ");
    mv.rksl = m(qty);
    mv.rkje = m(amount);
    mv.jbxm = QStringLiteral("李四");
    mv.bgxm = QStringLiteral("测试员");
    return mv;
}

Movement issue(const QString &name, const char *qty, const char *revenue)
{
    Movement mv;
    mv.crsj = QDateTime(QDate(2024, 3, 6), QTime(9, 30));
    mv.ycbm = name;
    mv.ywzy = SummaryDispensing;
    mv.blhm = QStringLiteral("B-17");
    mv.blks = QStringLiteral("内科");
    mv.cksl = m(qty);
    mv.xsje = m(revenue);
    mv.jbxm = QStringLiteral("王五");
    mv.bgxm = QStringLiteral("测试员");
    return mv;
}

qint64 count(db::Session &s, const char *table)
{
    return s.scalarInt(QStringLiteral("select count(*) from %1").arg(QLatin1String(table)));
}

} // namespace

class TstPosting : public QObject {
    Q_OBJECT

private slots:
    void receiptsCreateThenRaiseTheBalance()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        QVERIFY(!balanceOf(s, QStringLiteral("麻黄")));

        postMovement(s, receipt(QStringLiteral("麻黄"), "20", "100"), MovementKind::Receipt);
        auto b = balanceOf(s, QStringLiteral("麻黄"));
        QVERIFY(b);
        QCOMPARE(b->rksl, m("20"));
        QCOMPARE(b->rkje, m("100"));
        QCOMPARE(b->ycyl, m("20"));

        postMovement(s, receipt(QStringLiteral("麻黄"), "1234.5", "0.0125"), MovementKind::Receipt);
        b = balanceOf(s, QStringLiteral("麻黄"));
        QCOMPARE(b->rksl, m("1254.5"));
        QCOMPARE(b->rkje, m("100.0125"));
        QCOMPARE(b->ycyl, m("1254.5"));
        QCOMPARE(count(s, "ycyltb"), 1);
        QCOMPARE(count(s, "yccrtb"), 2);

        // A negative receipt (a return) lowers all three as it stands.
        postMovement(s, receipt(QStringLiteral("麻黄"), "-4.5", "-10"), MovementKind::Receipt);
        b = balanceOf(s, QStringLiteral("麻黄"));
        QCOMPARE(b->rksl, m("1250"));
        QCOMPARE(b->rkje, m("90.0125"));
        QCOMPARE(b->ycyl, m("1250"));
    }

    void issuesLowerOnlyTheQuantityOnHand()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        postMovement(s, receipt(QStringLiteral("甘草"), "2000", "500"), MovementKind::Receipt);
        postMovement(s, issue(QStringLiteral("甘草"), "1500", "30"), MovementKind::Issue);
        auto b = balanceOf(s, QStringLiteral("甘草"));
        QCOMPARE(b->ycyl, m("500"));
        QCOMPARE(b->rksl, m("2000"));
        QCOMPARE(b->rkje, m("500"));

        // Without a balance row an issue changes no balance (the movement is still recorded).
        postMovement(s, issue(QStringLiteral("桂枝"), "3", "1"), MovementKind::Issue);
        QVERIFY(!balanceOf(s, QStringLiteral("桂枝")));
        QCOMPARE(count(s, "ycyltb"), 1);
        QCOMPARE(count(s, "yccrtb"), 3);
    }

    void allSixteenFieldsAreStoredLiterally()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        Movement mv = receipt(QStringLiteral("O'Brien's 根"), "3", "4.5");
        mv.ywph = QStringLiteral("B'1");
        mv.ycly = QStringLiteral("x' or '1'='1");
        mv.jbxm = QStringLiteral("D'Arcy");
        mv.ckje = m("0");
        mv.xsje = m("0");
        postMovement(s, mv, MovementKind::Receipt);

        auto st = s.query(QStringLiteral("select crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, cksl, ckje, "
                                         "xsje, jbxm, bgxm from yccrtb"));
        QVERIFY(st.next());
        QCOMPARE(st.text(0), QStringLiteral("2024-03-05 00:00:00"));
        QCOMPARE(st.text(1), QStringLiteral("O'Brien's 根"));
        QCOMPARE(st.text(2), QStringLiteral("购进"));
        QCOMPARE(st.text(3), QStringLiteral("甘肃"));
        QCOMPARE(st.text(4), QStringLiteral("x' or '1'='1"));
        QCOMPARE(st.text(5), QStringLiteral("B'1"));
        QCOMPARE(st.text(6), QStringLiteral("2026-03-05 00:00:00"));
        QCOMPARE(st.text(7), QStringLiteral(" "));
        QCOMPARE(st.text(8), QStringLiteral(" "));
        QCOMPARE(st.money(9), m("3"));
        QCOMPARE(st.money(10), m("4.5"));
        QCOMPARE(st.money(11), m("0"));
        QCOMPARE(st.money(12), m("0"));
        QCOMPARE(st.money(13), m("0"));
        QCOMPARE(st.text(14), QStringLiteral("D'Arcy"));
        QCOMPARE(st.text(15), QStringLiteral("测试员"));
        QVERIFY(!st.next());
        QCOMPARE(balanceOf(s, QStringLiteral("o'brien's 根"))->ycyl, m("3")); // names match ignoring case

        // Blank texts become the one-blank "not applicable" form instead of failing.
        Movement bare = issue(QStringLiteral("O'Brien's 根"), "1", "2");
        bare.blhm.clear();
        bare.jbxm.clear();
        postMovement(s, bare, MovementKind::Issue);
        QCOMPARE(s.scalarText(QStringLiteral("select blhm || '|' || jbxm || '|' || ifnull(yxqx, 'null') from yccrtb where cksl > 0")),
                 std::optional<QString>(QStringLiteral(" | |null")));
    }

    void nameLongerThanTheBalanceKeyIsRefusedBeforeAnyWrite()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        const QString name21 = QString(21, u'参');
        try {
            postMovement(s, receipt(name21, "1", "1"), MovementKind::Receipt);
            QFAIL("a 21-character name was posted");
        } catch (const PostingRefused &e) {
            QCOMPARE(e.number(), err::TooLong);
            QVERIFY2(shortReport(e).contains(QStringLiteral("20个字符")), qPrintable(shortReport(e)));
        }
        QCOMPARE(count(s, "yccrtb"), 0);
        QCOMPARE(count(s, "ycyltb"), 0);

        // Exactly 20 characters is fine.
        postMovement(s, receipt(QString(20, u'参'), "1", "1"), MovementKind::Receipt);
        QCOMPARE(count(s, "ycyltb"), 1);
    }

    void failureBetweenTheTwoWritesLeavesNeither()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        // The balance table refuses every change: the movement row was already appended
        // when the balance write fails.
        test::addFailingTrigger(s, QStringLiteral("fail_insert"), QStringLiteral("before insert"), QStringLiteral("ycyltb"));
        test::addFailingTrigger(s, QStringLiteral("fail_update"), QStringLiteral("before update"), QStringLiteral("ycyltb"),
                                QStringLiteral("new.ycyl < 0"));
        try {
            postMovement(s, receipt(QStringLiteral("黄芪"), "10", "20"), MovementKind::Receipt);
            QFAIL("posting succeeded");
        } catch (const DbError &) {
        }
        QCOMPARE(count(s, "yccrtb"), 0);
        QCOMPARE(count(s, "ycyltb"), 0);

        // An update that fails rolls back the movement row too.
        test::dropFailingTrigger(s, QStringLiteral("fail_insert"), QStringLiteral("ycyltb"));
        postMovement(s, receipt(QStringLiteral("黄芪"), "10", "20"), MovementKind::Receipt);
        try {
            postMovement(s, issue(QStringLiteral("黄芪"), "11", "0"), MovementKind::Issue);
            QFAIL("posting succeeded");
        } catch (const DbError &) {
        }
        QCOMPARE(count(s, "yccrtb"), 1);
        QCOMPARE(balanceOf(s, QStringLiteral("黄芪"))->ycyl, m("10"));
    }

    void sumsBeyondTheCurrencyRangeAreRefusedNotWrapped()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        postMovement(s, receipt(QStringLiteral("当归"), "900000000000000", "1"), MovementKind::Receipt);
        try {
            postMovement(s, receipt(QStringLiteral("当归"), "100000000000000", "1"), MovementKind::Receipt);
            QFAIL("overflowing receipt was posted");
        } catch (const PostingRefused &e) {
            QCOMPARE(e.number(), err::Overflow);
            QVERIFY(!shortReport(e).isEmpty());
        }
        QCOMPARE(count(s, "yccrtb"), 1);
        QCOMPARE(balanceOf(s, QStringLiteral("当归"))->ycyl, m("900000000000000"));
    }

    void severalLinesInOneTransactionAreAllOrNothing()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        postMovement(s, receipt(QStringLiteral("陈皮"), "100", "50"), MovementKind::Receipt);
        postMovement(s, receipt(QStringLiteral("半夏"), "100", "50"), MovementKind::Receipt);

        try {
            db::Transaction t(s);
            postMovementInTransaction(s, issue(QStringLiteral("陈皮"), "30", "9"), MovementKind::Issue);
            // The lookup inside the transaction sees the line just posted.
            QCOMPARE(balanceOf(s, QStringLiteral("陈皮"))->ycyl, m("70"));
            postMovementInTransaction(s, issue(QStringLiteral("半夏"), "5", "2"), MovementKind::Issue);
            postMovementInTransaction(s, issue(QString(25, u'X'), "1", "1"), MovementKind::Issue);
            t.commit();
            QFAIL("the refused line was committed");
        } catch (const PostingRefused &) {
        }
        QCOMPARE(balanceOf(s, QStringLiteral("陈皮"))->ycyl, m("100"));
        QCOMPARE(balanceOf(s, QStringLiteral("半夏"))->ycyl, m("100"));
        QCOMPARE(count(s, "yccrtb"), 2);

        {
            db::Transaction t(s);
            postMovementInTransaction(s, issue(QStringLiteral("陈皮"), "30", "9"), MovementKind::Issue);
            postMovementInTransaction(s, issue(QStringLiteral("半夏"), "5", "2"), MovementKind::Issue);
            t.commit();
        }
        QCOMPARE(balanceOf(s, QStringLiteral("陈皮"))->ycyl, m("70"));
        QCOMPARE(balanceOf(s, QStringLiteral("半夏"))->ycyl, m("95"));
        QCOMPARE(count(s, "yccrtb"), 4);
    }
};

QTEST_GUILESS_MAIN(TstPosting)
#include "tst_posting.moc"
