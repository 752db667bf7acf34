#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "stock/posting.h"
#include "stock/ui/Frmycrk.h"
#include "stockfixtures.h"
#include "testsupport.h"

#include <QApplication>
#include <QtTest>

using namespace qh;
using namespace qh::stock;
using namespace stockfixtures;
using qh::stock::ui::Frmycrk;

class TstStockInWindow : public QObject {
    Q_OBJECT

private slots:
    void typesAWholePurchaseWithEnterAndSavesIt()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("5.00"));
        test::RecordingMessages rec;
        Frmycrk w;
        activate(&w);
        QCOMPARE(w.windowTitle(), QStringLiteral("中药材入库、退库"));
        const QString today = dateText(QDate::currentDate());
        QCOMPARE(w.TxtGjsj->displayText(), today);
        QCOMPARE(w.TxtYsqx->displayText(), dateText(QDate::currentDate().addDays(720)));

        w.Txtycbm->setFocus();
        QTest::keyClicks(w.Txtycbm, QStringLiteral("m h")); // the space is discarded
        QCOMPARE(w.Txtycbm->text(), QStringLiteral("mh"));
        enter(w.Txtycbm);
        QCOMPARE(w.Txtycbm->text(), QStringLiteral("MH"));
        QCOMPARE(w.Txtycmc->text(), QStringLiteral("麻黄"));
        QCOMPARE(QApplication::focusWidget(), w.TxtYcph);

        QTest::keyClicks(w.TxtYcph, QStringLiteral("B'01"));
        enter(w.TxtYcph);
        QCOMPARE(QApplication::focusWidget(), w.TxtYsqx);
        QCOMPARE(w.TxtYsqx->selectedText().size(), 10);
        QTest::keyClicks(w.TxtYsqx, QStringLiteral("20991231"));
        QCOMPARE(w.TxtYsqx->displayText(), QStringLiteral("2099-12-31"));
        enter(w.TxtYsqx);
        QCOMPARE(QApplication::focusWidget(), w.Txthwcd);

        typeChinese(w.Txthwcd, QStringLiteral("甘肃"));
        enter(w.Txthwcd);
        QCOMPARE(QApplication::focusWidget(), w.TxtPjhm);
        enter(w.TxtPjhm); // empty ticket: asked for, focus stays
        QCOMPARE(rec.last(), QStringLiteral("请输入药品入库票据号码，没有可用其它内容代替"));
        QCOMPARE(rec.shown.back().icon, MsgIcon::Question);
        QCOMPARE(QApplication::focusWidget(), w.TxtPjhm);
        QTest::keyClicks(w.TxtPjhm, QStringLiteral("P1"));
        enter(w.TxtPjhm);
        QCOMPARE(QApplication::focusWidget(), w.TxtYcsl);

        QTest::keyClicks(w.TxtYcsl, QStringLiteral("1234"));
        enter(w.TxtYcsl);
        QCOMPARE(w.TxtYcsl->text(), QStringLiteral("1,234.00"));
        QCOMPARE(QApplication::focusWidget(), w.TxtYcje);
        QTest::keyClicks(w.TxtYcje, QStringLiteral("4936"));
        enter(w.TxtYcje);
        QCOMPARE(w.TxtYcje->text(), QStringLiteral("4,936.00"));
        QCOMPARE(QApplication::focusWidget(), w.Txthwll);
        typeChinese(w.Txthwll, QStringLiteral("药材公司"));
        enter(w.Txthwll);
        QCOMPARE(QApplication::focusWidget(), w.TxtGjsj);
        enter(w.TxtGjsj);
        QCOMPARE(QApplication::focusWidget(), w.Txtjbxm);
        typeChinese(w.Txtjbxm, QStringLiteral("李四"));
        enter(w.Txtjbxm);
        QCOMPARE(QApplication::focusWidget(), w.CmdSave);

        rec.clear();
        enter(w.CmdSave); // 4.00 a unit under a price of 5.00: only the save question
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("保存后，输入资料不能修改,保存吗？")});
        QCOMPARE(rec.shown.front().icon, MsgIcon::Question);

        auto s = clinic.open();
        const auto b = balanceOf(s, QStringLiteral("麻黄"));
        QVERIFY(b);
        QCOMPARE(b->ycyl, m("1234"));
        QCOMPARE(b->rkje, m("4936"));
        QCOMPARE(s.scalarText(QStringLiteral("select ywph || '|' || yccd || '|' || ycly || '|' || jbxm || '|' || yxqx from yccrtb")),
                 std::optional<QString>(QStringLiteral("B'01|甘肃|药材公司|李四|2099-12-31 00:00:00")));

        // Cleared for the next entry, focus back on the code.
        QVERIFY(w.Txtycbm->text().isEmpty());
        QVERIFY(w.TxtYcsl->text().isEmpty());
        QCOMPARE(w.TxtGjsj->displayText(), today);
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);
    }

    void keysQuestionsAndExit()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("5.00"));
        test::RecordingMessages rec;
        Frmycrk w;
        activate(&w);

        // A key typed into the code empties the name; so does an unknown code's Enter.
        w.Txtycbm->setFocus();
        QTest::keyClicks(w.Txtycbm, QStringLiteral("MH"));
        enter(w.Txtycbm);
        QCOMPARE(w.Txtycmc->text(), QStringLiteral("麻黄"));
        w.Txtycbm->setFocus();
        QTest::keyClick(w.Txtycbm, Qt::Key_Space);
        QCOMPARE(w.Txtycmc->text(), QStringLiteral("麻黄"));
        QTest::keyClick(w.Txtycbm, Qt::Key_Backspace);
        QVERIFY(w.Txtycmc->text().isEmpty());
        QTest::keyClicks(w.Txtycbm, QStringLiteral("X"));
        enter(w.Txtycbm);
        QCOMPARE(rec.last(), QStringLiteral("药材编码输入错误"));
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);
        QCOMPARE(w.Txtycbm->selectedText(), QStringLiteral("MX"));
        QVERIFY(w.Txtycmc->text().isEmpty());

        // Saving now: code message, price question (Yes), save question (Yes), validation.
        rec.clear();
        w.CmdSave->click();
        QCOMPARE(rec.texts(), (QStringList{QStringLiteral("药品编码登录错误，重来"), QStringLiteral("药品购进价格大于销售价格，继续吗？"),
                                           QStringLiteral("保存后，输入资料不能修改,保存吗？"), QStringLiteral("请输入药材编码")}));
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);

        // A purchase price equal to the selling price asks; No goes back to the quantity.
        w.Txtycbm->setText(QStringLiteral("MH"));
        w.Txtycmc->setText(QStringLiteral("麻黄"));
        w.TxtYcsl->setText(QStringLiteral("20"));
        w.TxtYcje->setText(QStringLiteral("100"));
        rec.clear();
        rec.answers = {false};
        w.CmdSave->click();
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("药品购进价格大于销售价格，继续吗？")});
        QCOMPARE(QApplication::focusWidget(), w.TxtYcsl);
        QCOMPARE(w.TxtYcsl->selectedText(), QStringLiteral("20"));

        // The save question answered No writes nothing.
        rec.clear();
        rec.answers = {true, false};
        w.CmdSave->click();
        QCOMPARE(rec.shown.size(), size_t(2));
        QCOMPARE(clinic.open().scalarInt(QStringLiteral("select count(*) from yccrtb")), 0);

        // The expiry box alone takes the space key.
        w.TxtPjhm->setFocus();
        QTest::keyClicks(w.TxtPjhm, QStringLiteral("A B"));
        QCOMPARE(w.TxtPjhm->text(), QStringLiteral("AB"));

        // Clear button and exit.
        w.CmdQcls->click();
        QVERIFY(w.TxtPjhm->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);
        { // as the main window opens it
            qh::ui::MenusOff menus;
            menus.attachTo(&w);
        }
        w.CmdExit->click();
        QVERIFY(qh::ui::mainMenusEnabled());
        QVERIFY(!w.isVisible());
    }

    void clearsWhenActivatedFromAnotherWindowButNotAfterItsMessages()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        Frmycrk w;
        activate(&w);
        w.TxtPjhm->setText(QStringLiteral("P7"));

        // Another window of the program takes the activation and gives it back: cleared.
        QWidget other;
        activate(&other);
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.TxtPjhm->text().isEmpty());

        // The program losing the activation altogether keeps the entry.
        w.TxtPjhm->setText(QStringLiteral("P8"));
        QApplication::setActiveWindow(nullptr);
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.TxtPjhm->text(), QStringLiteral("P8"));
    }
};

QTEST_MAIN(TstStockInWindow)
#include "tst_stockin_window.moc"
