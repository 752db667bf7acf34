#include "core/database.h"
#include "core/modutarnxt.h"
#include "core/textutil.h"
#include "stock/posting.h"
#include "stock/stockin.h"
#include "stockfixtures.h"
#include "testsupport.h"

#include <QtTest>

using namespace qh;
using namespace qh::stock;
using namespace stockfixtures;

namespace {

// A complete, valid entry for the drug 麻黄 (code MH).
StockInEntry goodEntry()
{
    StockInEntry e = StockIn::Qpcls(Today);
    e.Txtycbm = QStringLiteral("MH");
    e.Txtycmc = QStringLiteral("麻黄");
    e.TxtYcph = QStringLiteral("B001");
    e.Txthwcd = QStringLiteral("甘肃");
    e.TxtPjhm = QStringLiteral("P-1");
    e.TxtYcsl = QStringLiteral("20");
    e.TxtYcje = QStringLiteral("80");
    e.Txthwll = QStringLiteral("药材公司");
    e.Txtjbxm = QStringLiteral("李四");
    return e;
}

qint64 rows(const test::TempClinic &c, const char *table)
{
    return c.open().scalarInt(QStringLiteral("select count(*) from %1").arg(QLatin1String(table)));
}

} // namespace

class TstStockIn : public QObject {
    Q_OBJECT

private slots:
    void clearingSetsTodayAndExpiryIn720Days()
    {
        const StockInEntry e = StockIn::Qpcls(Today);
        QCOMPARE(e.TxtGjsj, QStringLiteral("2024-06-15"));
        QCOMPARE(e.TxtYsqx, QStringLiteral("2026-06-05"));
        QVERIFY(e.Txtycbm.isEmpty() && e.Txtycmc.isEmpty() && e.TxtYcsl.isEmpty() && e.TxtYcje.isEmpty()
                && e.TxtPjhm.isEmpty() && e.Txtjbxm.isEmpty());
    }

    void lookupsOnEnter()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("5.00"));
        clinic.addDrug(QStringLiteral("O'K"), QStringLiteral("D'Arcy 草"), QStringLiteral("1.00"));
        StockIn in;
        StockInEntry e = StockIn::Qpcls(Today);

        e.Txtycbm = QStringLiteral("mh");
        StepResult r = in.onEnter(QStringLiteral("Txtycbm"), e, Today);
        QVERIFY(r.ok);
        QCOMPARE(e.Txtycbm, QStringLiteral("MH"));
        QCOMPARE(e.Txtycmc, QStringLiteral("麻黄"));
        QCOMPARE(r.focus, QStringLiteral("TxtYcph"));
        QCOMPARE(r.select, Selection::All);

        e.Txtycbm = QStringLiteral("ZZ");
        e.Txtycmc.clear();
        r = in.onEnter(QStringLiteral("Txtycbm"), e, Today);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("药材编码输入错误"));
        QCOMPARE(r.select, Selection::All);
        QVERIFY(e.Txtycmc.isEmpty());

        // Apostrophes are looked up literally.
        e.Txtycbm = QStringLiteral("o'k");
        r = in.onEnter(QStringLiteral("Txtycbm"), e, Today);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(e.Txtycmc, QStringLiteral("D'Arcy 草"));
        e.Txtycbm = QStringLiteral("x' or '1'='1");
        r = in.onEnter(QStringLiteral("Txtycbm"), e, Today);
        QCOMPARE(r.message, QStringLiteral("药材编码输入错误"));

        e.Txtycbm.clear();
        e.Txtycmc = QStringLiteral(" d'arcy 草 ");
        r = in.onEnter(QStringLiteral("Txtycmc"), e, Today);
        QVERIFY(r.ok);
        QCOMPARE(e.Txtycbm, QStringLiteral("O'K"));
        QCOMPARE(r.focus, QStringLiteral("TxtGjsj"));
        QCOMPARE(r.select, Selection::FirstTen);
        e.Txtycmc = QStringLiteral("没有的药");
        r = in.onEnter(QStringLiteral("Txtycmc"), e, Today);
        QCOMPARE(r.message, QStringLiteral("此药材编码没有登记，请先登记药材编码名称销价"));

        // Empty code: Enter does nothing.
        e.Txtycbm.clear();
        r = in.onEnter(QStringLiteral("Txtycbm"), e, Today);
        QVERIFY(!r.ok);
        QVERIFY(r.message.isEmpty());

        // A database that cannot be opened is reported and keeps the focus.
        QFile::remove(clinic.dbPath());
        e.Txtycbm = QStringLiteral("MH");
        r = in.onEnter(QStringLiteral("Txtycbm"), e, Today);
        QVERIFY(!r.ok);
        QVERIFY(!r.message.isEmpty());
    }

    void enterChecksOfTheOtherBoxes()
    {
        StockIn in;
        StockInEntry e = StockIn::Qpcls(Today);
        auto enter = [&](const char *box) { return in.onEnter(QString::fromLatin1(box), e, Today); };

        e.TxtYcph = QStringLiteral("  ");
        QCOMPARE(enter("TxtYcph").message, QStringLiteral("请输入药品批号，没有批号用其它内容代替"));
        e.TxtYcph = QStringLiteral("B1");
        QCOMPARE(enter("TxtYcph").focus, QStringLiteral("TxtYsqx"));

        e.TxtYsqx = QStringLiteral("2025-1_-__");
        QCOMPARE(enter("TxtYsqx").message, QStringLiteral("请输入10位日期时间"));
        e.TxtYsqx = QStringLiteral("2025-02-30");
        StepResult r = enter("TxtYsqx");
        QCOMPARE(r.message, QStringLiteral("有效期限输入错误"));
        QCOMPARE(r.select, Selection::FirstTen);
        e.TxtYsqx = QStringLiteral("2020-01-01"); // an old expiry only fails at validation
        r = enter("TxtYsqx");
        QVERIFY(r.ok);
        QCOMPARE(r.focus, QStringLiteral("Txthwcd"));
        QCOMPARE(r.select, Selection::End);

        e.Txthwcd.clear();
        r = enter("Txthwcd");
        QVERIFY(!r.ok && r.message.isEmpty());

        e.TxtPjhm.clear();
        r = enter("TxtPjhm");
        QCOMPARE(r.message, QStringLiteral("请输入药品入库票据号码，没有可用其它内容代替"));
        QCOMPARE(r.icon, MsgIcon::Question);

        e.TxtYcsl = QStringLiteral("1234");
        r = enter("TxtYcsl");
        QCOMPARE(e.TxtYcsl, QStringLiteral("1,234.00"));
        QCOMPARE(r.focus, QStringLiteral("TxtYcje"));
        e.TxtYcsl = QStringLiteral("12a");
        QCOMPARE(enter("TxtYcsl").message, QStringLiteral("输入药材数量错误"));
        QCOMPARE(e.TxtYcsl, QStringLiteral("12a"));
        e.TxtYcsl = QStringLiteral("-3.456");
        QVERIFY(enter("TxtYcsl").ok);
        QCOMPARE(e.TxtYcsl, QStringLiteral("-3.46"));
        // Near the Currency limit: refused with the limit named, the text kept as typed.
        e.TxtYcsl = QStringLiteral("922337203685477.58");
        r = enter("TxtYcsl");
        QVERIFY(!r.ok);
        QVERIFY2(r.message.contains(QStringLiteral("999,999,999.99")), qPrintable(r.message));
        QCOMPARE(e.TxtYcsl, QStringLiteral("922337203685477.58"));
        e.TxtYcsl = QStringLiteral("99999999999999999999999");
        QVERIFY(enter("TxtYcsl").message.contains(QStringLiteral("超出允许范围")));

        e.TxtYcje = QStringLiteral("1,234.5");
        r = enter("TxtYcje");
        QCOMPARE(e.TxtYcje, QStringLiteral("1,234.50"));
        QCOMPARE(r.focus, QStringLiteral("Txthwll"));
        e.TxtYcje = QStringLiteral("abc");
        QCOMPARE(enter("TxtYcje").message, QStringLiteral("药材输入金额错误"));

        e.TxtGjsj = QStringLiteral("2024-06-16");
        QCOMPARE(enter("TxtGjsj").message, QStringLiteral("输入时间不能大于目前时间"));
        e.TxtGjsj = QStringLiteral("2024-13-01");
        QCOMPARE(enter("TxtGjsj").message, QStringLiteral("输入时间错误"));
        e.TxtGjsj = QStringLiteral("____-__-__");
        QCOMPARE(enter("TxtGjsj").message, QStringLiteral("请输入10位日期时间"));
        e.TxtGjsj = QStringLiteral("2024-06-15");
        QCOMPARE(enter("TxtGjsj").focus, QStringLiteral("Txtjbxm"));

        e.Txtjbxm = QStringLiteral("李四");
        QCOMPARE(enter("Txtjbxm").focus, QStringLiteral("CmdSave"));
    }

    void priceCheckBoundaries()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("5.00"));
        clinic.addDrug(QStringLiteral("GZ"), QStringLiteral("桂枝"), QStringLiteral("5.01"));
        StockIn in;
        StockInEntry e = goodEntry();
        e.TxtYcsl = QStringLiteral("20");
        e.TxtYcje = QStringLiteral("100");

        // Unit purchase price 5.00 equals the selling price 5.00: not passed.
        StepResult r = in.jyYpjg(e);
        QVERIFY(!r.ok);
        QVERIFY(r.message.isEmpty());
        QCOMPARE(in.jybl, 1);

        e.Txtycbm = QStringLiteral("GZ");
        r = in.jyYpjg(e);
        QVERIFY(r.ok);
        QCOMPARE(in.jybl, 0);

        e.TxtYcje = QStringLiteral("100.20"); // 5.01 each: equal again
        QVERIFY(!in.jyYpjg(e).ok);
        e.TxtYcje = QStringLiteral("100.19");
        QVERIFY(in.jyYpjg(e).ok);

        e.Txtycbm = QStringLiteral("ZZ");
        r = in.jyYpjg(e);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("药品编码登录错误，重来"));
        QCOMPARE(r.focus, QStringLiteral("Txtycbm"));

        e.Txtycbm = QStringLiteral("MH");
        e.TxtYcsl = QStringLiteral("0");
        r = in.jyYpjg(e);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("除数为零"));
        e.TxtYcsl.clear();
        QCOMPARE(in.jyYpjg(e).message, QStringLiteral("类型不匹配"));
        QCOMPARE(in.jybl, 1);
    }

    void validationOrder_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("code") << "Txtycbm" << " " << "请输入药材编码" << "Txtycbm";
        QTest::newRow("name") << "Txtycmc" << "" << "请输入药材编码" << "Txtycbm";
        QTest::newRow("ticket") << "TxtPjhm" << "  " << "请输入票据号码" << "TxtPjhm";
        QTest::newRow("handler") << "Txtjbxm" << "" << "请输入经办者姓名" << "Txtjbxm";
        QTest::newRow("source") << "Txthwll" << " " << "请输入药材来源" << "Txthwll";
        QTest::newRow("origin") << "Txthwcd" << "" << "请输入药材产地" << "Txthwcd";
        QTest::newRow("batch") << "TxtYcph" << "" << "请输入药材批号" << "TxtYcph";
        QTest::newRow("purchase incomplete") << "TxtGjsj" << "2024-06-1_" << "请输入药材购进时间" << "TxtGjsj";
        QTest::newRow("purchase invalid") << "TxtGjsj" << "2023-02-29" << "药材购进时间输入错误" << "TxtGjsj";
        QTest::newRow("expiry incomplete") << "TxtYsqx" << "____-__-__" << "请输入药材有效期限" << "TxtYsqx";
        QTest::newRow("expiry invalid") << "TxtYsqx" << "2025-04-31" << "药材有效期限输入错误" << "TxtYsqx";
        QTest::newRow("purchase tomorrow") << "TxtGjsj" << "2024-06-16" << "药材购进时间不能大于系统目前时间" << "TxtGjsj";
        QTest::newRow("expiry yesterday") << "TxtYsqx" << "2024-06-14" << "药材有效期限不能小于系统目前时间" << "TxtYsqx";
        QTest::newRow("quantity text") << "TxtYcsl" << "x" << "药材输入数量错误" << "TxtYcsl";
        QTest::newRow("quantity empty") << "TxtYcsl" << " " << "药材输入数量错误" << "TxtYcsl";
        QTest::newRow("quantity huge") << "TxtYcsl" << "1000000000" << "进货数量超出允许范围，最大为999,999,999.99" << "TxtYcsl";
        QTest::newRow("amount text") << "TxtYcje" << "1..2" << "药材输入金额错误" << "TxtYcje";
        QTest::newRow("amount huge") << "TxtYcje" << "-922337203685477" << "进货金额超出允许范围，最大为999,999,999.99" << "TxtYcje";
    }

    void validationOrder()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        StockIn in;
        StockInEntry e = goodEntry();
        QString *target = nullptr;
        for (auto [n, p] : {std::pair{"Txtycbm", &e.Txtycbm}, {"Txtycmc", &e.Txtycmc}, {"TxtPjhm", &e.TxtPjhm},
                            {"Txtjbxm", &e.Txtjbxm}, {"Txthwll", &e.Txthwll}, {"Txthwcd", &e.Txthwcd},
                            {"TxtYcph", &e.TxtYcph}, {"TxtGjsj", &e.TxtGjsj}, {"TxtYsqx", &e.TxtYsqx},
                            {"TxtYcsl", &e.TxtYcsl}, {"TxtYcje", &e.TxtYcje}})
            if (field == QLatin1String(n))
                target = p;
        QVERIFY(target);
        *target = value;
        const StepResult r = in.srnrJy(e, Today);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, message);
        QCOMPARE(r.focus, focus);
        QCOMPARE(in.jybl, 1);
    }

    void validationPassesAtTheDayBoundariesAndFormats()
    {
        StockIn in;
        StockInEntry e = goodEntry();
        e.Txtycbm = QStringLiteral(" MH ");
        e.Txthwll = QStringLiteral("  公司 ");
        e.TxtYsqx = QStringLiteral("2024-06-15"); // expiry today passes
        e.TxtGjsj = QStringLiteral("2024-06-15"); // purchase today passes
        e.TxtYcsl = QStringLiteral("1234");
        e.TxtYcje = QStringLiteral("-0.005");
        const StepResult r = in.srnrJy(e, Today);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(in.jybl, 0);
        QCOMPARE(e.Txtycbm, QStringLiteral("MH"));
        QCOMPARE(e.Txthwll, QStringLiteral("公司"));
        QCOMPARE(e.TxtYcsl, QStringLiteral("1,234.00"));
        QCOMPARE(e.TxtYcje, QStringLiteral("-0.01"));
    }

    void postingWritesTheMovementAndBalance()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("5.00"));
        StockIn in;
        StockInEntry e = goodEntry();
        e.TxtYcsl = QStringLiteral("1,234.00");
        e.TxtYcje = QStringLiteral("2,468.50");
        e.TxtYcph = QStringLiteral("B'7");
        QVERIFY(in.srnrJy(e, Today).ok);
        QVERIFY(in.post(e).ok);

        auto s = clinic.open();
        {
            auto st = s.query(QStringLiteral("select crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, cksl, "
                                             "ckje, xsje, jbxm, bgxm from yccrtb"));
            QVERIFY(st.next());
            QCOMPARE(st.text(0), QStringLiteral("2024-06-15 00:00:00"));
            QCOMPARE(st.text(1), QStringLiteral("麻黄"));
            QCOMPARE(st.text(2), QStringLiteral("购进"));
            QCOMPARE(st.text(3), QStringLiteral("甘肃"));
            QCOMPARE(st.text(4), QStringLiteral("药材公司"));
            QCOMPARE(st.text(5), QStringLiteral("B'7"));
            QCOMPARE(st.text(6), QStringLiteral("2026-06-05 00:00:00"));
            QCOMPARE(st.text(7), QStringLiteral(" "));
            QCOMPARE(st.text(8), QStringLiteral(" "));
            QCOMPARE(st.money(9), m("1234"));
            QCOMPARE(st.money(10), m("2468.5"));
            QCOMPARE(st.money(11), Money());
            QCOMPARE(st.money(12), Money());
            QCOMPARE(st.money(13), Money());
            QCOMPARE(st.text(14), QStringLiteral("李四"));
            QCOMPARE(st.text(15), QStringLiteral("测试员"));
            QVERIFY(!st.next());
        }

        // A second purchase adds to all three balance fields; a return (negative) lowers them.
        e.TxtYcsl = QStringLiteral("6");
        e.TxtYcje = QStringLiteral("1.5");
        QVERIFY(in.srnrJy(e, Today).ok);
        { const StepResult p = in.post(e); QVERIFY2(p.ok, qPrintable(p.message)); }
        auto b = balanceOf(s, QStringLiteral("麻黄"));
        QCOMPARE(b->rksl, m("1240"));
        QCOMPARE(b->rkje, m("2470"));
        QCOMPARE(b->ycyl, m("1240"));
        e.TxtYcsl = QStringLiteral("-40");
        e.TxtYcje = QStringLiteral("-70");
        QVERIFY(in.srnrJy(e, Today).ok);
        QVERIFY(in.post(e).ok);
        b = balanceOf(s, QStringLiteral("麻黄"));
        QCOMPARE(b->rksl, m("1200"));
        QCOMPARE(b->rkje, m("2400"));
        QCOMPARE(b->ycyl, m("1200"));
    }

    void refusedPostingsWriteNothing()
    {
        test::TempClinic clinic;
        const QString longName = QStringLiteral("一二三四五六七八九十一二三四五六七八九十一");
        clinic.addDrug(QStringLiteral("LONG"), longName, QStringLiteral("9.00"));
        StockIn in;
        StockInEntry e = goodEntry();
        e.Txtycbm = QStringLiteral("LONG");
        e.Txtycmc = longName;
        QVERIFY(in.srnrJy(e, Today).ok);
        const StepResult r = in.post(e);
        QVERIFY(!r.ok);
        QVERIFY2(r.message.contains(QStringLiteral("20个字符")), qPrintable(r.message));
        QCOMPARE(rows(clinic, "yccrtb"), 0);
        QCOMPARE(rows(clinic, "ycyltb"), 0);

        // A balance that would leave the Currency range is refused and leaves the rows as they were.
        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("5.00"));
        clinic.open().exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values('麻黄', ?, ?, ?)"),
                           m("922337203685000"), m("1"), m("922337203685000"));
        StockInEntry big = goodEntry();
        big.TxtYcsl = QStringLiteral("999,999,999.99");
        QVERIFY(in.srnrJy(big, Today).ok);
        const StepResult r2 = in.post(big);
        QVERIFY(!r2.ok);
        QVERIFY(r2.message.contains(QStringLiteral("超出允许范围")));
        QCOMPARE(rows(clinic, "yccrtb"), 0);
        auto s = clinic.open();
        QCOMPARE(balanceOf(s, QStringLiteral("麻黄"))->ycyl, m("922337203685000"));
    }
};

QTEST_GUILESS_MAIN(TstStockIn)
#include "tst_stockin.moc"
