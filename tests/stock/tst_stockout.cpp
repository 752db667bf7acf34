#include "db/session.h"
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

// Where the focus goes when Enter in box passes.
EnterMove moveOf(StockField box) { return *enterMoveOf(StockOut::EnterChain, box); }

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
        StockOut out(Modutarnxt::clinicStore());
        StockOutEntry e = StockOut::Qpcls(Today);
        auto enter = [&](StockField box) { return out.onEnter(box, e, Today); };

        e.Txtycbm = QStringLiteral("gc");
        StockVerdict r = enter(StockField::Txtycbm);
        QVERIFY(!r);
        QCOMPARE(e.Txtycmc, QStringLiteral("甘草"));
        QCOMPARE(moveOf(StockField::Txtycbm).next, StockField::TxtPjhm);
        e.Txtycbm = QStringLiteral("G'C");
        e.Txtycmc.clear();
        QCOMPARE(enter(StockField::Txtycbm)->message, QStringLiteral("药品编码输入错误"));
        QVERIFY(e.Txtycmc.isEmpty());
        e.Txtycmc = QStringLiteral("甘'草");
        QCOMPARE(enter(StockField::Txtycmc)->message, QStringLiteral("此药品编码没有登记，请先登记药品编码名称销价"));
        e.Txtycmc = QStringLiteral("甘草");
        QVERIFY(!enter(StockField::Txtycmc));
        QCOMPARE(e.Txtycbm, QStringLiteral("GC"));
        QCOMPARE(moveOf(StockField::Txtycmc).next, StockField::TxtGjsj);
        QCOMPARE(moveOf(StockField::Txtycmc).select, Select::head(10));

        r = enter(StockField::TxtPjhm);
        QCOMPARE(r->message, QStringLiteral("请输入药品出库票据号码，没有可用其它内容代替"));
        QCOMPARE(r->icon, MsgIcon::Question);
        e.TxtPjhm = QStringLiteral("C-1");
        QVERIFY(!enter(StockField::TxtPjhm));
        QCOMPARE(moveOf(StockField::TxtPjhm).next, StockField::TxtGjsj);

        e.TxtGjsj = QStringLiteral("2024-06-16");
        QCOMPARE(enter(StockField::TxtGjsj)->message, QStringLiteral("输入时间不能大于目前时间"));
        e.TxtGjsj = QStringLiteral("2024-6-_1_");
        QCOMPARE(enter(StockField::TxtGjsj)->message, QStringLiteral("请输入10位日期时间"));
        e.TxtGjsj = QStringLiteral("2024-00-10");
        QCOMPARE(enter(StockField::TxtGjsj)->message, QStringLiteral("输入时间错误"));
        e.TxtGjsj = QStringLiteral("2024-06-15");
        QVERIFY(!enter(StockField::TxtGjsj));
        QCOMPARE(moveOf(StockField::TxtGjsj).next, StockField::Txthwll);

        r = enter(StockField::Txthwll);
        QCOMPARE(r->message, QStringLiteral("请输入药品出库摘要"));
        QCOMPARE(r->icon, MsgIcon::Question);

        e.TxtYcsl = QStringLiteral("0");
        QCOMPARE(enter(StockField::TxtYcsl)->message, QStringLiteral("药品出库数量不能为零"));
        e.TxtYcsl = QStringLiteral("0.00");
        QCOMPARE(enter(StockField::TxtYcsl)->message, QStringLiteral("药品出库数量不能为零"));
        e.TxtYcsl = QStringLiteral("1,50000");
        QCOMPARE(enter(StockField::TxtYcsl)->message, QStringLiteral("输入药品数量错误"));
        e.TxtYcsl = QStringLiteral("99999999999999999999");
        QVERIFY(enter(StockField::TxtYcsl)->message.contains(QStringLiteral("出库数量超出允许范围")));
        e.TxtYcsl = QStringLiteral("1500");
        QVERIFY(!enter(StockField::TxtYcsl));
        QCOMPARE(e.TxtYcsl, QStringLiteral("1,500.00"));
        QCOMPARE(moveOf(StockField::TxtYcsl).next, StockField::TxtYcje);

        e.TxtYcje = QStringLiteral("五元");
        QCOMPARE(enter(StockField::TxtYcje)->message, QStringLiteral("药品输入金额错误"));
        e.TxtYcje = QStringLiteral("7500");
        QVERIFY(!enter(StockField::TxtYcje));
        QCOMPARE(e.TxtYcje, QStringLiteral("7,500.00"));
        QCOMPARE(moveOf(StockField::TxtYcje).next, StockField::Txtjbxm);

        e.Txtjbxm = QStringLiteral("王五");
        QVERIFY(!enter(StockField::Txtjbxm));
        QCOMPARE(moveOf(StockField::Txtjbxm).next, StockField::CmdSave);
    }

    void priceCheckBoundaries()
    {
        test::TempClinic clinic;
        stockUp(clinic);
        clinic.addDrug(QStringLiteral("GZ"), QStringLiteral("桂枝"), QStringLiteral("0.6667"));
        StockOut out(Modutarnxt::clinicStore());
        StockOutEntry e = goodEntry();
        e.TxtYcsl = QStringLiteral("1");
        e.TxtYcje = QStringLiteral("4.00"); // below the selling price 5.00: questioned
        StockVerdict r = out.jyYpjg(e);
        QVERIFY(r);
        QVERIFY(r->message.isEmpty());
        QCOMPARE(out.jybl, 1);
        e.TxtYcje = QStringLiteral("5.00"); // equal passes
        QVERIFY(!out.jyYpjg(e));
        QCOMPARE(out.jybl, 0);
        e.TxtYcje = QStringLiteral("4.9999");
        QVERIFY(out.jyYpjg(e));
        // 2 / 3 a unit is below the selling price 0.6667 (a unit revenue rounded to 0.6667 would pass).
        e.Txtycbm = QStringLiteral("GZ");
        e.TxtYcsl = QStringLiteral("3");
        e.TxtYcje = QStringLiteral("2");
        QVERIFY(out.jyYpjg(e));
        e.TxtYcje = QStringLiteral("2.0001"); // 0.66670 a unit: equal or above passes
        QVERIFY(!out.jyYpjg(e));
        e.Txtycbm = QStringLiteral("GC");

        e.TxtYcje.clear();
        QCOMPARE(out.jyYpjg(e)->message, QStringLiteral("类型不匹配"));
        e.TxtYcje = QStringLiteral("5");
        e.TxtYcsl = QStringLiteral("0.00");
        QCOMPARE(out.jyYpjg(e)->message, QStringLiteral("除数为零"));
        e.Txtycbm = QStringLiteral("NONE");
        r = out.jyYpjg(e);
        QCOMPARE(r->message, QStringLiteral("药品编码登录错误，重来"));
        QCOMPARE(r->field, StockField::Txtycbm);
    }

    // Each row breaks two adjacent checks of the validation and expects the earlier one's
    // refusal; the last check has no later neighbour and is broken alone.
    void validationOrder_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("firstValue");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("secondValue");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("code, ticket") << "Txtycbm" << "" << "TxtPjhm" << "" << "请输入药品编码" << "Txtycbm";
        QTest::newRow("name, ticket") << "Txtycmc" << " " << "TxtPjhm" << " " << "请输入药品编码" << "Txtycbm";
        QTest::newRow("ticket, handler") << "TxtPjhm" << "" << "Txtjbxm" << "  " << "请输入票据号码" << "TxtPjhm";
        QTest::newRow("handler, summary") << "Txtjbxm" << "  " << "Txthwll" << "" << "请输入经办者姓名" << "Txtjbxm";
        QTest::newRow("summary, date") << "Txthwll" << "" << "TxtGjsj" << "____-__-__" << "请输入药品来源" << "Txthwll";
        QTest::newRow("date incomplete, quantity") << "TxtGjsj" << "____-__-__" << "TxtYcsl" << "" << "请输入药品购进时间"
                                                   << "TxtGjsj";
        QTest::newRow("date invalid, quantity") << "TxtGjsj" << "2024-02-30" << "TxtYcsl" << "x" << "药品购进时间输入错误"
                                                << "TxtGjsj";
        QTest::newRow("date tomorrow, quantity") << "TxtGjsj" << "2024-06-16" << "TxtYcsl" << "0.00"
                                                 << "药品出库时间不能大于系统目前时间" << "TxtGjsj";
        QTest::newRow("quantity text, zero check") << "TxtYcsl" << "" << "TxtYcje" << "x1" << "药品输入数量错误" << "TxtYcsl";
        QTest::newRow("quantity huge, revenue") << "TxtYcsl" << "922337203685477" << "TxtYcje" << "x1"
                                                << "出库数量超出允许范围，最大为999,999,999.99" << "TxtYcsl";
        QTest::newRow("quantity zero, revenue") << "TxtYcsl" << "0.00" << "TxtYcje" << "x1" << "出库数量不能为零" << "TxtYcsl";
        QTest::newRow("revenue text") << "TxtYcje" << "x1" << "" << "" << "药品输入金额错误" << "TxtYcje";
    }

    void validationOrder()
    {
        QFETCH(QString, first);
        QFETCH(QString, firstValue);
        QFETCH(QString, second);
        QFETCH(QString, secondValue);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        StockOut out(Modutarnxt::clinicStore());
        out.entry = goodEntry();
        const auto set = [&](const QString &box, const QString &value) {
            for (StockField f : AllStockFields)
                if (box == fieldName(f))
                    *out.text(f) = value;
        };
        set(first, firstValue);
        set(second, secondValue);
        const StockVerdict r = out.srnrJy(Today);
        QVERIFY(r);
        QCOMPARE(r->message, message);
        QCOMPARE(fieldName(r->field), focus);
        QCOMPARE(out.jybl, 1);
    }

    void issuesLowerTheBalance()
    {
        test::TempClinic clinic;
        stockUp(clinic);
        StockOut out(Modutarnxt::clinicStore());
        StockOutEntry e = goodEntry();
        e.Txthwll = QStringLiteral("退'货");
        QVERIFY(!out.srnrJy(e, Today));
        QCOMPARE(out.jybl, 0);
        StockVerdict r = out.post(e);
        QVERIFY2(!r, qPrintable(r ? r->message : QString()));
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
        QVERIFY(!out.srnrJy(e, Today));
        QVERIFY(!out.post(e));
        QCOMPARE(onHand(clinic), Money());
        QCOMPARE(movements(clinic), 2);
    }

    void refusedIssuesWriteNothing()
    {
        test::TempClinic clinic;
        stockUp(clinic, "1499");
        clinic.addDrug(QStringLiteral("HQ"), QStringLiteral("黄芪"), QStringLiteral("3.00"));
        StockOut out(Modutarnxt::clinicStore());

        StockOutEntry e = goodEntry(); // 1,500 of 1,499
        QVERIFY(!out.srnrJy(e, Today));
        StockVerdict r = out.post(e);
        QVERIFY(r);
        QCOMPARE(r->message, QStringLiteral("库存中此药材余量不足"));
        QCOMPARE(onHand(clinic), m("1499"));

        e.Txtycbm = QStringLiteral("HQ"); // no balance row at all
        e.Txtycmc = QStringLiteral("黄芪");
        e.TxtYcsl = QStringLiteral("1");
        QVERIFY(!out.srnrJy(e, Today));
        QCOMPARE(out.post(e)->message, QStringLiteral("库存中此药材余量不足"));
        QCOMPARE(movements(clinic), 0);

        // A failing balance write after the movement row leaves neither.
        {
            auto s = clinic.open();
            test::addFailingTrigger(s, QStringLiteral("fail_update"), QStringLiteral("before update"), QStringLiteral("ycyltb"));
        }
        e = goodEntry();
        e.TxtYcsl = QStringLiteral("10");
        QVERIFY(!out.srnrJy(e, Today));
        r = out.post(e);
        QVERIFY(r);
        QVERIFY(!r->message.isEmpty());
        QCOMPARE(movements(clinic), 0);
        QCOMPARE(onHand(clinic), m("1499"));
    }
};

QTEST_GUILESS_MAIN(TstStockOut)
#include "tst_stockout.moc"
