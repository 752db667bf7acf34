#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "stock/posting.h"
#include "stock/ui/FrmYcck.h"
#include "stock/ui/Frmycrk.h"
#include "stockfixtures.h"
#include "testsupport.h"

#include <QApplication>
#include <QtTest>

using namespace qh;
using namespace qh::stock;
using namespace stockfixtures;
using qh::stock::ui::FrmYcck;

class TstStockOutWindow : public QObject {
    Q_OBJECT

private slots:
    void typesAWholeIssueWithEnterAndSavesIt()
    {
        test::TempClinic clinic;
        stockUp(clinic);
        test::RecordingMessages rec;
        FrmYcck w;
        activate(&w);
        QCOMPARE(w.windowTitle(), QStringLiteral("药材出库"));
        QCOMPARE(w.TxtYcsl->text(), QStringLiteral("0.00"));
        QCOMPARE(w.TxtGjsj->displayText(), dateText(QDate::currentDate()));

        w.Txtycbm->setFocus();
        QTest::keyClicks(w.Txtycbm, QStringLiteral("g c"));
        enter(w.Txtycbm);
        QCOMPARE(w.Txtycmc->text(), QStringLiteral("甘草"));
        QCOMPARE(QApplication::focusWidget(), w.TxtPjhm);
        QTest::keyClicks(w.TxtPjhm, QStringLiteral("C-1"));
        enter(w.TxtPjhm);
        QCOMPARE(QApplication::focusWidget(), w.TxtGjsj);
        QCOMPARE(w.TxtGjsj->selectedText().size(), 10);
        enter(w.TxtGjsj);
        QCOMPARE(QApplication::focusWidget(), w.Txthwll);
        typeChinese(w.Txthwll, QStringLiteral("赠送"));
        enter(w.Txthwll);
        QCOMPARE(QApplication::focusWidget(), w.TxtYcsl);
        QCOMPARE(w.TxtYcsl->selectedText(), QStringLiteral("0.00"));

        // Only digits reach the quantity: minus, point, letters, space and backspace do nothing.
        QTest::keyClicks(w.TxtYcsl, QStringLiteral("-1a5.0 0"));
        QTest::keyClick(w.TxtYcsl, Qt::Key_Backspace);
        QCOMPARE(w.TxtYcsl->text(), QStringLiteral("1500"));
        enter(w.TxtYcsl);
        QCOMPARE(w.TxtYcsl->text(), QStringLiteral("1,500.00"));
        QCOMPARE(QApplication::focusWidget(), w.TxtYcje);
        QTest::keyClicks(w.TxtYcje, QStringLiteral("7500"));
        enter(w.TxtYcje);
        QCOMPARE(w.TxtYcje->text(), QStringLiteral("7,500.00"));
        QCOMPARE(QApplication::focusWidget(), w.Txtjbxm);
        typeChinese(w.Txtjbxm, QStringLiteral("王五"));
        enter(w.Txtjbxm);
        QCOMPARE(QApplication::focusWidget(), w.CmdSave);

        rec.clear();
        enter(w.CmdSave);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("保存后，输入资料不能修改,保存吗？")});
        auto s = clinic.open();
        QCOMPARE(balanceOf(s, QStringLiteral("甘草"))->ycyl, m("500"));
        QCOMPARE(s.scalarText(QStringLiteral("select ywzy || '|' || ycly || '|' || jbxm from yccrtb where cksl = ?"), m("1500")),
                 std::optional<QString>(QStringLiteral("出库|赠送|王五")));
        QCOMPARE(w.TxtYcsl->text(), QStringLiteral("0.00"));
        QVERIFY(w.Txtycbm->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);
    }

    void balanceCheckAndQuestions()
    {
        test::TempClinic clinic;
        stockUp(clinic);
        test::RecordingMessages rec;
        FrmYcck w;
        activate(&w);

        w.Txtycbm->setText(QStringLiteral("GC"));
        w.Txtycmc->setText(QStringLiteral("甘草"));
        w.TxtPjhm->setText(QStringLiteral("C-2"));
        w.Txthwll->setText(QStringLiteral("调拨"));
        w.Txtjbxm->setText(QStringLiteral("王五"));
        w.TxtYcsl->setText(QStringLiteral("2001"));
        w.TxtYcje->setText(QStringLiteral("10005"));
        w.CmdSave->click();
        QCOMPARE(rec.last(), QStringLiteral("库存中此药材余量不足"));
        QCOMPARE(clinic.open().scalarInt(QStringLiteral("select count(*) from yccrtb")), 0);
        QCOMPARE(w.TxtYcsl->text(), QStringLiteral("2,001.00")); // the entry stays for correction

        // Revenue under the list price: the price question; No returns to the quantity.
        w.TxtYcsl->setText(QStringLiteral("1"));
        w.TxtYcje->setText(QStringLiteral("4.00"));
        rec.clear();
        rec.answers = {false};
        w.CmdSave->click();
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("药品购进价格大于销售价格，继续吗？")});
        QCOMPARE(QApplication::focusWidget(), w.TxtYcsl);

        // A date typed as tomorrow is refused on Enter.
        w.TxtGjsj->setFocus();
        w.TxtGjsj->setText(dateText(QDate::currentDate().addDays(1)));
        enter(w.TxtGjsj);
        QCOMPARE(rec.last(), QStringLiteral("输入时间不能大于目前时间"));
        QCOMPARE(QApplication::focusWidget(), w.TxtGjsj);

        // The quantity takes digits only, but Tab and Shift+Tab still leave it.
        w.TxtYcsl->setFocus();
        QTest::keyClick(w.TxtYcsl, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.TxtYcje);
        w.TxtYcsl->setFocus();
        QTest::keyClick(w.TxtYcsl, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), w.Txthwll);

        { // as the main window opens it
            qh::ui::MenusOff menus;
            menus.attachTo(&w);
        }
        w.CmdExit->click();
        QVERIFY(qh::ui::mainMenusEnabled());
        QVERIFY(!w.isVisible());
    }

    void registrationOpensOneWindowPerMenuItem()
    {
        qh::stock::ui::registerStockMovementWindows();
        auto in = qh::ui::taskWindowFactory(QStringLiteral("ycrc"));
        auto out = qh::ui::taskWindowFactory(QStringLiteral("YcqkCk"));
        QVERIFY(in && out);
        QWidget *a = in();
        QCOMPARE(a->objectName(), QStringLiteral("Frmycrk"));
        QCOMPARE(in(), a);
        QWidget *b = out();
        QCOMPARE(b->objectName(), QStringLiteral("FrmYcck"));
        QCOMPARE(out(), b);
        delete a;
        delete b;
    }
};

QTEST_MAIN(TstStockOutWindow)
#include "tst_stockout_window.moc"
