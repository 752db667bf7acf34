#include "base/money.h"
#include "base/textutil.h"

#include <QtTest>
#include <limits>

using qh::Money;

class TstMoney : public QObject {
    Q_OBJECT

    static qint64 units(const char *text)
    {
        auto m = Money::parse(QString::fromUtf8(text));
        return m ? m->units() : std::numeric_limits<qint64>::min();
    }

private slots:
    void parsesTypedAndDisplayedAmounts()
    {
        QCOMPARE(units("1,234.50"), 12345000);
        QCOMPARE(units("1234"), 12340000);
        QCOMPARE(units(" -0.5 "), -5000);
        QCOMPARE(units("+.25"), 2500);
        QCOMPARE(units("１２３．４"), 1234000);   // full-width input
        QCOMPARE(units("－３"), -30000);
        QCOMPARE(units("0.00005"), 0);           // five decimals: ties to even
        QCOMPARE(units("0.00015"), 2);
        QCOMPARE(units("922337203685477.5807"), std::numeric_limits<qint64>::max());
        for (const char *bad : {"", " ", "abc", "1,2,3", ",123", "123,", "1..2", "1.2.3", "--1", "1-",
                                "922337203685477.5808", "99999999999999999999", "1e5", "12 34"})
            QVERIFY2(!Money::parse(QString::fromUtf8(bad)), bad);
    }

    void displaysWithGroupingAndRounding()
    {
        QCOMPARE(Money::fromCents(100450).toDisplay(), QStringLiteral("1,004.50"));
        QCOMPARE(Money::fromUnits(1234567891).toDisplay(), QStringLiteral("123,456.79"));
        QCOMPARE(Money::fromUnits(1250).toDisplay(), QStringLiteral("0.13"));   // display rounds half up
        QCOMPARE(Money::fromUnits(-1250).toDisplay(), QStringLiteral("-0.13"));
        QCOMPARE(Money().toDisplay(), QStringLiteral("0.00"));
        QCOMPARE(Money::fromInt(1000000).toDisplay(2, false), QStringLiteral("1000000.00"));
        QCOMPARE(Money::fromUnits(12345678).toDisplay(4), QStringLiteral("1,234.5678"));
        QCOMPARE(Money::fromUnits(std::numeric_limits<qint64>::max()).toDisplay(4),
                 QStringLiteral("922,337,203,685,477.5807"));
        QCOMPARE(Money::fromUnits(12345000).toPlain(), QStringLiteral("1234.5"));
        QCOMPARE(Money::fromInt(12).toPlain(), QStringLiteral("12"));
    }

    void arithmeticIsExact()
    {
        const Money price = *Money::parse(QStringLiteral("0.125"));
        QCOMPARE((price * Money::fromInt(1)).roundedEven(2), *Money::parse(QStringLiteral("0.12")));
        QCOMPARE((price * Money::fromInt(3)).roundedEven(2), *Money::parse(QStringLiteral("0.38")));
        QCOMPARE(*Money::parse(QStringLiteral("999.50")) + *Money::parse(QStringLiteral("5.00")), Money::fromCents(100450));
        // 0.1 + 0.2 is exactly 0.3, unlike binary floating point.
        QCOMPARE(*Money::parse(QStringLiteral("0.1")) + *Money::parse(QStringLiteral("0.2")), *Money::parse(QStringLiteral("0.3")));
        QCOMPARE(Money::fromInt(10) / Money::fromInt(3), Money::fromUnits(33333));
        QCOMPARE(Money::fromInt(2) / Money::fromInt(3), Money::fromUnits(6667));
        QVERIFY_THROWS_EXCEPTION(std::domain_error, Money::fromInt(1) / Money());
        QCOMPARE(Money::fromUnits(25000).roundedEven(0), Money::fromInt(2));
        QCOMPARE(Money::fromUnits(35000).roundedEven(0), Money::fromInt(4));
        QCOMPARE(Money::fromUnits(-25000).roundedHalfUp(0), Money::fromInt(-3));
    }

    void overflowIsRefusedNeverWrapped()
    {
        const Money max = Money::fromUnits(std::numeric_limits<qint64>::max());
        QVERIFY_THROWS_EXCEPTION(qh::MoneyOverflow, max + Money::fromUnits(1));
        QVERIFY_THROWS_EXCEPTION(qh::MoneyOverflow, -max - Money::fromUnits(2));
        QVERIFY_THROWS_EXCEPTION(qh::MoneyOverflow, max * Money::fromInt(2));
        QVERIFY_THROWS_EXCEPTION(qh::MoneyOverflow, Money::fromInt(std::numeric_limits<qint64>::max() / 1000));
    }

    void numericTest()
    {
        for (const char *ok : {"1", "-1", "+1.5", "1,234.00", " 12 ", ".5", "5.", "１２", "1,234,567"})
            QVERIFY2(qh::isNumeric(QString::fromUtf8(ok)), ok);
        for (const char *bad : {"", " ", "-", ".", "a1", "1a", "1,23", "1.2.3", "１２x"})
            QVERIFY2(!qh::isNumeric(QString::fromUtf8(bad)), bad);
    }

    void datesInMaskedBoxes()
    {
        QCOMPARE(*qh::parseDateText(QStringLiteral("2024-02-29")), QDate(2024, 2, 29));
        QVERIFY(!qh::parseDateText(QStringLiteral("2024-02-30")));
        QVERIFY(!qh::parseDateText(QStringLiteral("2023-02-29")));
        QVERIFY(!qh::parseDateText(QStringLiteral("2024-1_-__")));
        QVERIFY(!qh::parseDateText(qh::emptyDateMask()));
        QCOMPARE(qh::emptyDateMask().size(), 10);
        QCOMPARE(qh::dateText(QDate(2024, 3, 5)), QStringLiteral("2024-03-05"));
        QCOMPARE(qh::dbDate(QDate(2024, 3, 5)), QStringLiteral("2024-03-05 00:00:00"));
        QCOMPARE(qh::trimSpaces(QStringLiteral("　 甘草 ")), QStringLiteral("甘草"));
        QCOMPARE(qh::likeContains(QStringLiteral("5%_\\")), QStringLiteral("%5\\%\\_\\\\%"));
    }
};

QTEST_GUILESS_MAIN(TstMoney)
#include "tst_money.moc"
