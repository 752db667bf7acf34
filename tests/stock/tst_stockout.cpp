#include "core/database.h"
#include "core/modutarnxt.h"
#include "stock/posting.h"
#include "stock/stockout.h"
#include "stockfixtures.h"
#include "testsupport.h"

#include <QtTest>

using namespace qh;
using namespace qh::stock;
using namespace stockfixtures;

namespace {

StockOutEntry goodEntry()
{
    StockOutEntry e = StockOut::Qpcls(Today);
    e.Txtycbm = QStringLiteral("GC");
    e.Txtycmc = QStringLiteral("甘草");
    e.TxtPjhm = QStringLiteral("C-9");
    e.Txthwll = QStringLiteral("赠送邻诊所");
    e.TxtYcsl = QStringLiteral("1,500.00");
    e.TxtYcje = QStringLiteral("7,500.00");
    e.Txtjbxm = QStringLiteral("王五");
    return e;
}

Money onHand(const test::TempClinic &clinic, const QString &name = QStringLiteral("甘草"))
{
    auto s = clinic.open();
    return balanceOf(s, name).value_or(Balance{}).ycyl;
}

qint64 movements(const test::TempClinic &clinic)
{
    return clinic.open().scalarInt(QStringLiteral("select count(*) from yccrtb"));
}

} // namespace

class TstStockOut : public QObject {
    Q_OBJECT

private slots:
    void clearingAndTheQuantityKeys()
    {
        const StockOutEntry e = StockOut::Qpcls(Today);
        QCOMPARE(e.TxtYcsl, QStringLiteral("0.00"));
        QCOMPARE(e.TxtYcje, QStringLiteral("0.00"));
        QCOMPARE(e.TxtGjsj, QStringLiteral("2024-06-15"));
        QVERIFY(e.Txtycbm.isEmpty() && e.Txtycmc.isEmpty() && e.Txthwll.isEmpty() && e.Txtjbxm.isEmpty()
                && e.TxtPjhm.isEmpty());

        for (const char *k : {"0", "5", "9"})
            QVERIFY(StockOut::quantityKeyAccepted(QString::fromLatin1(k)));
        for (const char *k : {"-", ".", "a", ",", " ", "\b", "", "12"})
            QVERIFY2(!StockOut::quantityKeyAccepted(QString::fromLatin1(k)), k);
        QVERIFY(!StockOut::quantityKeyAccepted(QStringLiteral("５"))); // full-width digit
    }

    void enterChecks()
    {
        test::TempClinic clinic;
        stockUp(clinic);
        StockOut out;
        StockOutEntry e = StockOut::Qpcls(Today);
        auto enter = [&](const char *box) { return out.onEnter(QString::fromLatin1(box), e, Today); };

        e.Txtycbm = QStringLiteral("gc");
        StepResult r = enter("Txtycbm");
        QVERIFY(r.ok);
        QCOMPARE(e.Txtycmc, QStringLiteral("甘草"));
        QCOMPARE(r.focus, QStringLiteral("TxtPjhm"));
        e.Txtycbm = QStringLiteral("G'C");
        e.Txtycmc.clear();
        QCOMPARE(enter("Txtycbm").message, QStringLiteral("药品编码输入错误"));
        QVERIFY(e.Txtycmc.isEmpty());
        e.Txtycmc = QStringLiteral("甘'草");
        QCOMPARE(enter("Txtycmc").message, QStringLiteral("此药品编码没有登记，请先登记药品编码名称销价"));
        e.Txtycmc = QStringLiteral("甘草");
        r = enter("Txtycmc");
        QCOMPARE(e.Txtycbm, QStringLiteral("GC"));
        QCOMPARE(r.focus, QStringLiteral("TxtGjsj"));
        QCOMPARE(r.select, Selection::FirstTen);

        r = enter("TxtPjhm");
        QCOMPARE(r.message, QStringLiteral("请输入药品出库票据号码，没有可用其它内容代替"));
        QCOMPARE(r.icon, MsgIcon::Question);
        e.TxtPjhm = QStringLiteral("C-1");
        QCOMPARE(enter("TxtPjhm").focus, QStringLiteral("TxtGjsj"));

        e.TxtGjsj = QStringLiteral("2024-06-16");
        QCOMPARE(enter("TxtGjsj").message, QStringLiteral("输入时间不能大于目前时间"));
        e.TxtGjsj = QStringLiteral("2024-6-_1_");
        QCOMPARE(enter("TxtGjsj").message, QStringLiteral("请输入10位日期时间"));
        e.TxtGjsj = QStringLiteral("2024-00-10");
        QCOMPARE(enter("TxtGjsj").message, QStringLiteral("输入时间错误"));
        e.TxtGjsj = QStringLiteral("2024-06-15");
        QCOMPARE(enter("TxtGjsj").focus, QStringLiteral("Txthwll"));

        r = enter("Txthwll");
        QCOMPARE(r.message, QStringLiteral("请输入药品出库摘要"));
        QCOMPARE(r.icon, MsgIcon::Question);

        e.TxtYcsl = QStringLiteral("0");
        QCOMPARE(enter("TxtYcsl").message, QStringLiteral("药品出库数量不能为零"));
        e.TxtYcsl = QStringLiteral("0.00");
        QCOMPARE(enter("TxtYcsl").message, QStringLiteral("药品出库数量不能为零"));
        e.TxtYcsl = QStringLiteral("1,50000");
        QCOMPARE(enter("TxtYcsl").message, QStringLiteral("输入药品数量错误"));
        e.TxtYcsl = QStringLiteral("99999999999999999999");
        QVERIFY(enter("TxtYcsl").message.contains(QStringLiteral("出库数量超出允许范围")));
        e.TxtYcsl = QStringLiteral("1500");
        r = enter("TxtYcsl");
        QCOMPARE(e.TxtYcsl, QStringLiteral("1,500.00"));
        QCOMPARE(r.focus, QStringLiteral("TxtYcje"));

        e.TxtYcje = QStringLiteral("五元");
        QCOMPARE(enter("TxtYcje").message, QStringLiteral("药品输入金额错误"));
        e.TxtYcje = QStringLiteral("7500");
        r = enter("TxtYcje");
        QCOMPARE(e.TxtYcje, QStringLiteral("7,500.00"));
        QCOMPARE(r.focus, QStringLiteral("Txtjbxm"));

        e.Txtjbxm = QStringLiteral("王五");
        QCOMPARE(enter("Txtjbxm").focus, QStringLiteral("CmdSave"));
    }

    void priceCheckBoundaries()
    {
        test::TempClinic clinic;
        stockUp(clinic);
        StockOut out;
        StockOutEntry e = goodEntry();
        e.TxtYcsl = QStringLiteral("1");
        e.TxtYcje = QStringLiteral("4.00"); // below the selling price 5.00: questioned
        StepResult r = out.jyYpjg(e);
        QVERIFY(!r.ok);
        QVERIFY(r.message.isEmpty());
        QCOMPARE(out.jybl, 1);
        e.TxtYcje = QStringLiteral("5.00"); // equal passes
        QVERIFY(out.jyYpjg(e).ok);
        QCOMPARE(out.jybl, 0);
        e.TxtYcje = QStringLiteral("4.9999");
        QVERIFY(!out.jyYpjg(e).ok);

        e.TxtYcje.clear();
        QCOMPARE(out.jyYpjg(e).message, QStringLiteral("类型不匹配"));
        e.TxtYcje = QStringLiteral("5");
        e.TxtYcsl = QStringLiteral("0.00");
        QCOMPARE(out.jyYpjg(e).message, QStringLiteral("除数为零"));
        e.Txtycbm = QStringLiteral("NONE");
        r = out.jyYpjg(e);
        QCOMPARE(r.message, QStringLiteral("药品编码登录错误，重来"));
        QCOMPARE(r.focus, QStringLiteral("Txtycbm"));
    }

    void validationOrder_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("code") << "Txtycbm" << "" << "请输入药品编码" << "Txtycbm";
        QTest::newRow("name") << "Txtycmc" << " " << "请输入药品编码" << "Txtycbm";
        QTest::newRow("ticket") << "TxtPjhm" << "" << "请输入票据号码" << "TxtPjhm";
        QTest::newRow("handler") << "Txtjbxm" << "  " << "请输入经办者姓名" << "Txtjbxm";
        QTest::newRow("summary") << "Txthwll" << "" << "请输入药品来源" << "Txthwll";
        QTest::newRow("date incomplete") << "TxtGjsj" << "____-__-__" << "请输入药品购进时间" << "TxtGjsj";
        QTest::newRow("date invalid") << "TxtGjsj" << "2024-02-30" << "药品购进时间输入错误" << "TxtGjsj";
        QTest::newRow("date tomorrow") << "TxtGjsj" << "2024-06-16" << "药品出库时间不能大于系统目前时间" << "TxtGjsj";
        QTest::newRow("quantity text") << "TxtYcsl" << "" << "药品输入数量错误" << "TxtYcsl";
        QTest::newRow("quantity zero") << "TxtYcsl" << "0.00" << "出库数量不能为零" << "TxtYcsl";
        QTest::newRow("quantity huge") << "TxtYcsl" << "922337203685477" << "出库数量超出允许范围，最大为999,999,999.99" << "TxtYcsl";
        QTest::newRow("revenue text") << "TxtYcje" << "x1" << "药品输入金额错误" << "TxtYcje";
    }

    void validationOrder()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        StockOut out;
        StockOutEntry e = goodEntry();
        QString *target = nullptr;
        for (auto [n, p] : {std::pair{"Txtycbm", &e.Txtycbm}, {"Txtycmc", &e.Txtycmc}, {"TxtPjhm", &e.TxtPjhm},
                            {"Txtjbxm", &e.Txtjbxm}, {"Txthwll", &e.Txthwll}, {"TxtGjsj", &e.TxtGjsj},
                            {"TxtYcsl", &e.TxtYcsl}, {"TxtYcje", &e.TxtYcje}})
            if (field == QLatin1String(n))
                target = p;
        QVERIFY(target);
        *target = value;
        const StepResult r = out.srnrJy(e, Today);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, message);
        QCOMPARE(r.focus, focus);
        QCOMPARE(out.jybl, 1);
    }

    void issuesLowerTheBalance()
    {
        test::TempClinic clinic;
        stockUp(clinic);
        StockOut out;
        StockOutEntry e = goodEntry();
        e.Txthwll = QStringLiteral("退'货");
        QVERIFY(out.srnrJy(e, Today).ok);
        QCOMPARE(out.jybl, 0);
        StepResult r = out.post(e);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(onHand(clinic), m("500"));

        {
            auto s = clinic.open();
            auto st = s.query(QStringLiteral("select crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, cksl, "
                                             "ckje, xsje, jbxm, bgxm from yccrtb"));
            QVERIFY(st.next());
            QCOMPARE(st.text(0), QStringLiteral("2024-06-15 00:00:00"));
            QCOMPARE(st.text(1), QStringLiteral("甘草"));
            QCOMPARE(st.text(2), QStringLiteral("出库"));
            QCOMPARE(st.text(3), QStringLiteral(" "));
            QCOMPARE(st.text(4), QStringLiteral("退'货"));
            QCOMPARE(st.text(5), QStringLiteral(" "));
            QCOMPARE(st.text(6), QStringLiteral("2024-06-15 00:00:00"));
            QCOMPARE(st.text(7), QStringLiteral(" "));
            QCOMPARE(st.text(8), QStringLiteral(" "));
            QCOMPARE(st.money(9), Money());
            QCOMPARE(st.money(10), Money());
            QCOMPARE(st.money(11), m("1500"));
            QCOMPARE(st.money(12), Money());
            QCOMPARE(st.money(13), m("7500"));
            QCOMPARE(st.text(14), QStringLiteral("王五"));
            QCOMPARE(st.text(15), QStringLiteral("测试员"));
            QVERIFY(!st.next());
            QCOMPARE(balanceOf(s, QStringLiteral("甘草"))->rksl, m("2000")); // cost base untouched
        }

        // Exactly the balance passes and leaves 0.
        e.TxtYcsl = QStringLiteral("500");
        QVERIFY(out.srnrJy(e, Today).ok);
        QVERIFY(out.post(e).ok);
        QCOMPARE(onHand(clinic), Money());
        QCOMPARE(movements(clinic), 2);
    }

    void refusedIssuesWriteNothing()
    {
        test::TempClinic clinic;
        stockUp(clinic, "1499");
        clinic.addDrug(QStringLiteral("HQ"), QStringLiteral("黄芪"), QStringLiteral("3.00"));
        StockOut out;

        StockOutEntry e = goodEntry(); // 1,500 of 1,499
        QVERIFY(out.srnrJy(e, Today).ok);
        StepResult r = out.post(e);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("库存中此药材余量不足"));
        QCOMPARE(onHand(clinic), m("1499"));

        e.Txtycbm = QStringLiteral("HQ"); // no balance row at all
        e.Txtycmc = QStringLiteral("黄芪");
        e.TxtYcsl = QStringLiteral("1");
        QVERIFY(out.srnrJy(e, Today).ok);
        QCOMPARE(out.post(e).message, QStringLiteral("库存中此药材余量不足"));
        QCOMPARE(movements(clinic), 0);

        // A failing balance write after the movement row leaves neither.
        clinic.open().execScript(QStringLiteral(
            "create trigger fail_update before update on ycyltb begin select raise(abort, 'disk trouble'); end;"));
        e = goodEntry();
        e.TxtYcsl = QStringLiteral("10");
        QVERIFY(out.srnrJy(e, Today).ok);
        r = out.post(e);
        QVERIFY(!r.ok);
        QVERIFY(!r.message.isEmpty());
        QCOMPARE(movements(clinic), 0);
        QCOMPARE(onHand(clinic), m("1499"));
    }
};

QTEST_GUILESS_MAIN(TstStockOut)
#include "tst_stockout.moc"
