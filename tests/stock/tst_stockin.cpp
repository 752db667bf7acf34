#include "db/session.h"
#include "core/modutarnxt.h"
#include "base/textutil.h"
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

// Where the focus goes when Enter in box passes.
EnterMove moveOf(StockField box) { return *enterMoveOf(StockIn::EnterChain, box); }

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
        StockIn in(Modutarnxt::clinicStore());
        StockInEntry e = StockIn::Qpcls(Today);

        e.Txtycbm = QStringLiteral("mh");
        StockVerdict r = in.onEnter(StockField::Txtycbm, e, Today);
        QVERIFY(!r);
        QCOMPARE(e.Txtycbm, QStringLiteral("MH"));
        QCOMPARE(e.Txtycmc, QStringLiteral("麻黄"));
        QCOMPARE(moveOf(StockField::Txtycbm).next, StockField::TxtYcph);
        QCOMPARE(moveOf(StockField::Txtycbm).select, Select::all());

        e.Txtycbm = QStringLiteral("ZZ");
        e.Txtycmc.clear();
        r = in.onEnter(StockField::Txtycbm, e, Today);
        QVERIFY(r);
        QCOMPARE(r->message, QStringLiteral("药材编码输入错误"));
        QCOMPARE(r->select, Select::all());
        QVERIFY(e.Txtycmc.isEmpty());

        // Apostrophes are looked up literally.
        e.Txtycbm = QStringLiteral("o'k");
        r = in.onEnter(StockField::Txtycbm, e, Today);
        QVERIFY2(!r, qPrintable(r ? r->message : QString()));
        QCOMPARE(e.Txtycmc, QStringLiteral("D'Arcy 草"));
        e.Txtycbm = QStringLiteral("x' or '1'='1");
        r = in.onEnter(StockField::Txtycbm, e, Today);
        QCOMPARE(r->message, QStringLiteral("药材编码输入错误"));

        e.Txtycbm.clear();
        e.Txtycmc = QStringLiteral(" d'arcy 草 ");
        r = in.onEnter(StockField::Txtycmc, e, Today);
        QVERIFY(!r);
        QCOMPARE(e.Txtycbm, QStringLiteral("O'K"));
        QCOMPARE(moveOf(StockField::Txtycmc).next, StockField::TxtGjsj);
        QCOMPARE(moveOf(StockField::Txtycmc).select, Select::head(10));
        e.Txtycmc = QStringLiteral("没有的药");
        r = in.onEnter(StockField::Txtycmc, e, Today);
        QCOMPARE(r->message, QStringLiteral("此药材编码没有登记，请先登记药材编码名称销价"));

        // Empty code: Enter does nothing.
        e.Txtycbm.clear();
        r = in.onEnter(StockField::Txtycbm, e, Today);
        QVERIFY(r);
        QVERIFY(r->message.isEmpty());

        // A database that cannot be opened is reported and keeps the focus.
        db::DatabaseSettings gone;
        gone.engine = db::Engine::Server;
        gone.conninfo = "host=/nonexistent-folder dbname=gone user=nobody";
        StockIn broken(test::TempClinic::onServer() ? db::Store(gone, clinic.dbPath()) : Modutarnxt::clinicStore());
        if (!test::TempClinic::onServer())
            QFile::remove(clinic.dbPath());
        e.Txtycbm = QStringLiteral("MH");
        r = broken.onEnter(StockField::Txtycbm, e, Today);
        QVERIFY(r);
        QVERIFY(!r->message.isEmpty());
    }

    void enterChecksOfTheOtherBoxes()
    {
        StockIn in(Modutarnxt::clinicStore());
        StockInEntry e = StockIn::Qpcls(Today);
        auto enter = [&](StockField box) { return in.onEnter(box, e, Today); };

        e.TxtYcph = QStringLiteral("  ");
        QCOMPARE(enter(StockField::TxtYcph)->message, QStringLiteral("请输入药品批号，没有批号用其它内容代替"));
        e.TxtYcph = QStringLiteral("B1");
        QVERIFY(!enter(StockField::TxtYcph));
        QCOMPARE(moveOf(StockField::TxtYcph).next, StockField::TxtYsqx);

        e.TxtYsqx = QStringLiteral("2025-1_-__");
        QCOMPARE(enter(StockField::TxtYsqx)->message, QStringLiteral("请输入10位日期时间"));
        e.TxtYsqx = QStringLiteral("2025-02-30");
        StockVerdict r = enter(StockField::TxtYsqx);
        QCOMPARE(r->message, QStringLiteral("有效期限输入错误"));
        QCOMPARE(r->select, Select::head(10));
        e.TxtYsqx = QStringLiteral("2020-01-01"); // an old expiry only fails at validation
        r = enter(StockField::TxtYsqx);
        QVERIFY(!r);
        QCOMPARE(moveOf(StockField::TxtYsqx).next, StockField::Txthwcd);
        QCOMPARE(moveOf(StockField::TxtYsqx).select, Select::end());

        e.Txthwcd.clear();
        r = enter(StockField::Txthwcd);
        QVERIFY(r && r->message.isEmpty());

        e.TxtPjhm.clear();
        r = enter(StockField::TxtPjhm);
        QCOMPARE(r->message, QStringLiteral("请输入药品入库票据号码，没有可用其它内容代替"));
        QCOMPARE(r->icon, MsgIcon::Question);

        e.TxtYcsl = QStringLiteral("1234");
        QVERIFY(!enter(StockField::TxtYcsl));
        QCOMPARE(e.TxtYcsl, QStringLiteral("1,234.00"));
        QCOMPARE(moveOf(StockField::TxtYcsl).next, StockField::TxtYcje);
        e.TxtYcsl = QStringLiteral("12a");
        QCOMPARE(enter(StockField::TxtYcsl)->message, QStringLiteral("输入药材数量错误"));
        QCOMPARE(e.TxtYcsl, QStringLiteral("12a"));
        e.TxtYcsl = QStringLiteral("-3.456");
        QVERIFY(!enter(StockField::TxtYcsl));
        QCOMPARE(e.TxtYcsl, QStringLiteral("-3.46"));
        // Near the Currency limit: refused with the limit named, the text kept as typed.
        e.TxtYcsl = QStringLiteral("922337203685477.58");
        r = enter(StockField::TxtYcsl);
        QVERIFY(r);
        QVERIFY2(r->message.contains(QStringLiteral("999,999,999.99")), qPrintable(r->message));
        QCOMPARE(e.TxtYcsl, QStringLiteral("922337203685477.58"));
        e.TxtYcsl = QStringLiteral("99999999999999999999999");
        QVERIFY(enter(StockField::TxtYcsl)->message.contains(QStringLiteral("超出允许范围")));

        e.TxtYcje = QStringLiteral("1,234.5");
        QVERIFY(!enter(StockField::TxtYcje));
        QCOMPARE(e.TxtYcje, QStringLiteral("1,234.50"));
        QCOMPARE(moveOf(StockField::TxtYcje).next, StockField::Txthwll);
        e.TxtYcje = QStringLiteral("abc");
        QCOMPARE(enter(StockField::TxtYcje)->message, QStringLiteral("药材输入金额错误"));

        e.TxtGjsj = QStringLiteral("2024-06-16");
        QCOMPARE(enter(StockField::TxtGjsj)->message, QStringLiteral("输入时间不能大于目前时间"));
        e.TxtGjsj = QStringLiteral("2024-13-01");
        QCOMPARE(enter(StockField::TxtGjsj)->message, QStringLiteral("输入时间错误"));
        e.TxtGjsj = QStringLiteral("____-__-__");
        QCOMPARE(enter(StockField::TxtGjsj)->message, QStringLiteral("请输入10位日期时间"));
        e.TxtGjsj = QStringLiteral("2024-06-15");
        QVERIFY(!enter(StockField::TxtGjsj));
        QCOMPARE(moveOf(StockField::TxtGjsj).next, StockField::Txtjbxm);

        e.Txtjbxm = QStringLiteral("李四");
        QVERIFY(!enter(StockField::Txtjbxm));
        QCOMPARE(moveOf(StockField::Txtjbxm).next, StockField::CmdSave);
    }

    void priceCheckBoundaries()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("5.00"));
        clinic.addDrug(QStringLiteral("GZ"), QStringLiteral("桂枝"), QStringLiteral("0.6667"));
        StockIn in(Modutarnxt::clinicStore());
        StockInEntry e = goodEntry();
        e.TxtYcsl = QStringLiteral("20");
        e.TxtYcje = QStringLiteral("100");

        // Unit purchase price 5.00 equals the selling price 5.00: not passed, no message, the
        // focus stays on the save command.
        StockVerdict r = in.jyYpjg(e);
        QVERIFY(r);
        QVERIFY(r->message.isEmpty());
        QCOMPARE(r->field, StockField::CmdSave);
        QCOMPARE(in.jybl, 1);

        // 0.6667 sells above 2 / 3: passes (a unit cost rounded to 0.6667 would not).
        e.Txtycbm = QStringLiteral("GZ");
        e.TxtYcsl = QStringLiteral("3");
        e.TxtYcje = QStringLiteral("2");
        QVERIFY(!in.jyYpjg(e));
        QCOMPARE(in.jybl, 0);

        e.Txtycbm = QStringLiteral("ZZ");
        r = in.jyYpjg(e);
        QVERIFY(r);
        QCOMPARE(r->message, QStringLiteral("药品编码登录错误，重来"));
        QCOMPARE(r->field, StockField::Txtycbm);

        e.Txtycbm = QStringLiteral("MH");
        e.TxtYcsl = QStringLiteral("0");
        r = in.jyYpjg(e);
        QVERIFY(r);
        QCOMPARE(r->message, QStringLiteral("除数为零"));
        e.TxtYcsl.clear();
        QCOMPARE(in.jyYpjg(e)->message, QStringLiteral("类型不匹配"));
        QCOMPARE(in.jybl, 1);
    }

    // The exact comparison both price checks use: stock-in passes when the list price is above
    // the unit price, stock-out when it is not.
    void unitPriceComparedExactly_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<int>("order"); // list price against amount / quantity: -1, 0, 1
        QTest::newRow("0.6667 above 2/3") << "0.6667" << "2" << "3" << 1;
        QTest::newRow("0.6666 below 2/3") << "0.6666" << "2" << "3" << -1;
        QTest::newRow("0.3333 below 1/3") << "0.3333" << "1" << "3" << -1;
        QTest::newRow("equal 100/20") << "5" << "100" << "20" << 0;
        QTest::newRow("5.01 above 100.19/20") << "5.01" << "100.19" << "20" << 1;
        QTest::newRow("5.01 equal 100.20/20") << "5.01" << "100.20" << "20" << 0;
        QTest::newRow("0.0001 above 1/10001") << "0.0001" << "1" << "10001" << 1;
        QTest::newRow("return equal -100/-20") << "5" << "-100" << "-20" << 0;
        QTest::newRow("return above -90/-20") << "5" << "-90" << "-20" << 1;
        QTest::newRow("return below -110/-20") << "5" << "-110" << "-20" << -1;
        QTest::newRow("negative unit price") << "5" << "100" << "-20" << 1;
        QTest::newRow("largest entry") << "9999999.99" << "999999999.99" << "0.01" << -1;
    }

    void unitPriceComparedExactly()
    {
        QFETCH(QString, list);
        QFETCH(QString, amount);
        QFETCH(QString, quantity);
        QFETCH(int, order);
        const std::strong_ordering o = compareWithUnitPrice(*Money::parse(list), *Money::parse(amount), *Money::parse(quantity));
        QCOMPARE(o < 0 ? -1 : o > 0 ? 1 : 0, order);
    }

    // Each row breaks two adjacent checks of the validation and expects the earlier one's
    // refusal; a check moved later makes its rows fail. The last check has no later neighbour
    // and is broken alone.
    void validationOrder_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("firstValue");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("secondValue");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("code, ticket") << "Txtycbm" << " " << "TxtPjhm" << "" << "请输入药材编码" << "Txtycbm";
        QTest::newRow("name, ticket") << "Txtycmc" << "" << "TxtPjhm" << " " << "请输入药材编码" << "Txtycbm";
        QTest::newRow("ticket, handler") << "TxtPjhm" << "  " << "Txtjbxm" << "" << "请输入票据号码" << "TxtPjhm";
        QTest::newRow("handler, source") << "Txtjbxm" << "" << "Txthwll" << " " << "请输入经办者姓名" << "Txtjbxm";
        QTest::newRow("source, origin") << "Txthwll" << " " << "Txthwcd" << "" << "请输入药材来源" << "Txthwll";
        QTest::newRow("origin, batch") << "Txthwcd" << "" << "TxtYcph" << "" << "请输入药材产地" << "Txthwcd";
        QTest::newRow("batch, purchase") << "TxtYcph" << "" << "TxtGjsj" << "2024-06-1_" << "请输入药材批号" << "TxtYcph";
        QTest::newRow("purchase incomplete, expiry") << "TxtGjsj" << "2024-06-1_" << "TxtYsqx" << "____-__-__"
                                                     << "请输入药材购进时间" << "TxtGjsj";
        QTest::newRow("purchase invalid, expiry") << "TxtGjsj" << "2023-02-29" << "TxtYsqx" << "2025-04-31"
                                                  << "药材购进时间输入错误" << "TxtGjsj";
        QTest::newRow("expiry incomplete, purchase tomorrow") << "TxtYsqx" << "____-__-__" << "TxtGjsj" << "2024-06-16"
                                                              << "请输入药材有效期限" << "TxtYsqx";
        QTest::newRow("expiry invalid, purchase tomorrow") << "TxtYsqx" << "2025-04-31" << "TxtGjsj" << "2024-06-16"
                                                           << "药材有效期限输入错误" << "TxtYsqx";
        QTest::newRow("purchase tomorrow, expiry yesterday") << "TxtGjsj" << "2024-06-16" << "TxtYsqx" << "2024-06-14"
                                                             << "药材购进时间不能大于系统目前时间" << "TxtGjsj";
        QTest::newRow("expiry yesterday, quantity") << "TxtYsqx" << "2024-06-14" << "TxtYcsl" << "x"
                                                    << "药材有效期限不能小于系统目前时间" << "TxtYsqx";
        QTest::newRow("quantity text, amount") << "TxtYcsl" << "x" << "TxtYcje" << "1..2" << "药材输入数量错误" << "TxtYcsl";
        QTest::newRow("quantity empty, amount") << "TxtYcsl" << " " << "TxtYcje" << "" << "药材输入数量错误" << "TxtYcsl";
        QTest::newRow("quantity huge, amount") << "TxtYcsl" << "1000000000" << "TxtYcje" << "x"
                                               << "进货数量超出允许范围，最大为999,999,999.99" << "TxtYcsl";
        QTest::newRow("amount text") << "TxtYcje" << "1..2" << "" << "" << "药材输入金额错误" << "TxtYcje";
        QTest::newRow("amount huge") << "TxtYcje" << "-922337203685477" << "" << ""
                                     << "进货金额超出允许范围，最大为999,999,999.99" << "TxtYcje";
    }

    void validationOrder()
    {
        QFETCH(QString, first);
        QFETCH(QString, firstValue);
        QFETCH(QString, second);
        QFETCH(QString, secondValue);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        StockIn in(Modutarnxt::clinicStore());
        in.entry = goodEntry();
        const auto set = [&](const QString &box, const QString &value) {
            for (StockField f : AllStockFields)
                if (box == fieldName(f))
                    *in.text(f) = value;
        };
        set(first, firstValue);
        set(second, secondValue);
        const StockVerdict r = in.srnrJy(Today);
        QVERIFY(r);
        QCOMPARE(r->message, message);
        QCOMPARE(fieldName(r->field), focus);
        QCOMPARE(in.jybl, 1);
    }

    void validationPassesAtTheDayBoundariesAndFormats()
    {
        StockIn in(Modutarnxt::clinicStore());
        StockInEntry e = goodEntry();
        e.Txtycbm = QStringLiteral(" MH ");
        e.Txthwll = QStringLiteral("  公司 ");
        e.TxtYsqx = QStringLiteral("2024-06-15"); // expiry today passes
        e.TxtGjsj = QStringLiteral("2024-06-15"); // purchase today passes
        e.TxtYcsl = QStringLiteral("1234");
        e.TxtYcje = QStringLiteral("-0.005");
        const StockVerdict r = in.srnrJy(e, Today);
        QVERIFY2(!r, qPrintable(r ? r->message : QString()));
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
        StockIn in(Modutarnxt::clinicStore());
        StockInEntry e = goodEntry();
        e.TxtYcsl = QStringLiteral("1,234.00");
        e.TxtYcje = QStringLiteral("2,468.50");
        e.TxtYcph = QStringLiteral("B'7");
        QVERIFY(!in.srnrJy(e, Today));
        QVERIFY(!in.post(e));

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
        QVERIFY(!in.srnrJy(e, Today));
        { const StockVerdict p = in.post(e); QVERIFY2(!p, qPrintable(p ? p->message : QString())); }
        auto b = balanceOf(s, QStringLiteral("麻黄"));
        QCOMPARE(b->rksl, m("1240"));
        QCOMPARE(b->rkje, m("2470"));
        QCOMPARE(b->ycyl, m("1240"));
        e.TxtYcsl = QStringLiteral("-40");
        e.TxtYcje = QStringLiteral("-70");
        QVERIFY(!in.srnrJy(e, Today));
        QVERIFY(!in.post(e));
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
        StockIn in(Modutarnxt::clinicStore());
        StockInEntry e = goodEntry();
        e.Txtycbm = QStringLiteral("LONG");
        e.Txtycmc = longName;
        QVERIFY(!in.srnrJy(e, Today));
        const StockVerdict r = in.post(e);
        QVERIFY(r);
        QVERIFY2(r->message.contains(QStringLiteral("20个字符")), qPrintable(r->message));
        QCOMPARE(rows(clinic, "yccrtb"), 0);
        QCOMPARE(rows(clinic, "ycyltb"), 0);

        // A balance that would leave the Currency range is refused and leaves the rows as they were.
        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("5.00"));
        clinic.open().exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values('麻黄', ?, ?, ?)"),
                           m("922337203685000"), m("1"), m("922337203685000"));
        StockInEntry big = goodEntry();
        big.TxtYcsl = QStringLiteral("999,999,999.99");
        QVERIFY(!in.srnrJy(big, Today));
        const StockVerdict r2 = in.post(big);
        QVERIFY(r2);
        QVERIFY(r2->message.contains(QStringLiteral("超出允许范围")));
        QCOMPARE(rows(clinic, "yccrtb"), 0);
        auto s = clinic.open();
        QCOMPARE(balanceOf(s, QStringLiteral("麻黄"))->ycyl, m("922337203685000"));
    }
};

QTEST_GUILESS_MAIN(TstStockIn)
#include "tst_stockin.moc"
