// The task windows of the stock and maintenance menus, opened from the main window's menu:
// closing one by its frame (the close box or Ctrl+W of the main area) gives the menus back,
// and so does its exit command, exactly once each time.
#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "clinic/ui/Frmfjwh.h"
#include "core/ui/FrmJczl.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "maint/ui/Frmmmwh.h"
#include "query/ui/FrmJytj.h"
#include "stock/ui/FrmYcck.h"
#include "stock/ui/Frmycjj.h"
#include "stock/ui/Frmycrk.h"
#include "stock/ui/Frmyjwh.h"
#include "testsupport.h"

#include <QMdiArea>
#include <QMenu>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QtTest>

using namespace qh;

class TstWindowFrames : public QObject {
    Q_OBJECT

    struct Opened {
        QPointer<QMdiSubWindow> frame;
        QPointer<QWidget> window;
    };

    // Runs the menu item in the main window and returns the new window and its frame.
    static Opened open(ui::MDIFtarn &main, const QString &item)
    {
        main.runItem(item);
        QMdiSubWindow *sub = main.area()->activeSubWindow();
        return {sub, sub ? sub->widget() : nullptr};
    }

private slots:
    void initTestCase()
    {
        maint::ui::registerUserWindow();
        stock::ui::registerDrugListWindow();
        clinic::ui::registerFormulaWindow();
        stock::ui::registerStockMovementWindows();
        stock::ui::registerChargingWindow();
        query::ui::registerStatisticsWindow();
    }

    void closedByTheFrameOrTheExitCommand_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("exitButton"); // "" when the window has none
        QTest::newRow("stock-in") << "ycrc" << "CmdExit";
        QTest::newRow("other stock-out") << "YcqkCk" << "CmdExit";
        QTest::newRow("charging") << "YcqkXs" << "CmdExit";
        QTest::newRow("drug list") << "YcqkWh" << "";
        QTest::newRow("formulas") << "FjWh" << "CmdExit";
        QTest::newRow("users") << "xtwh1" << "CmdExit";
        QTest::newRow("statistics") << "Jytj" << "CmdExit";
        QTest::newRow("setup (no close box)") << "Xpict" << "CmdOext";
    }

    void closedByTheFrameOrTheExitCommand()
    {
        QFETCH(QString, item);
        QFETCH(QString, exitButton);
        test::TempClinic clinic;
        clinic.addStatusRow();
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        clinic.open().exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, blcf, zdys) values('0007', '中医内科', ?, '麻黄9克，', '李明德')"),
                           dbDate(QDate::currentDate()));
        Modutarnxt::CurrentUser = QStringLiteral("张三");
        test::RecordingMessages rec;
        ui::MDIFtarn main;
        main.show();
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        int on = 0, off = 0;
        ui::setMainMenuSwitch([&](bool enabled) {
            ++(enabled ? on : off);
            main.switchMenus(enabled);
        });
        ui::EnableMainMenus();
        on = 0;

        // By the frame: the frame's own close, as its close box and Ctrl+W do.
        Opened w = open(main, item);
        QVERIFY(w.window);
        QCOMPARE(off, 1);
        QVERIFY(!main.ycrk->menuAction()->isEnabled());
        const bool closeBox = w.frame->windowFlags().testFlag(Qt::WindowCloseButtonHint)
                              || !w.frame->windowFlags().testFlag(Qt::CustomizeWindowHint);
        w.frame->close();
        QTest::qWait(0);
        if (closeBox) {
            QTRY_VERIFY(!w.frame || !w.frame->isVisible());
            QCOMPARE(on, 1);
            QVERIFY(main.ycrk->menuAction()->isEnabled());
        } else {
            // A window without a close box stays open: its frame cannot close it.
            QVERIFY(w.window->isVisible());
            QCOMPARE(on, 0);
        }

        // By its exit command.
        if (!exitButton.isEmpty()) {
            if (closeBox) {
                w = open(main, item);
                QCOMPARE(off, 2);
            }
            auto *exit = w.window->findChild<QPushButton *>(exitButton);
            QVERIFY(exit);
            QTest::mouseClick(exit, Qt::LeftButton);
            QTRY_VERIFY(!w.frame || !w.frame->isVisible());
            QCOMPARE(on, closeBox ? 2 : 1);
            QVERIFY(main.ycrk->menuAction()->isEnabled());
        }
        QTest::qWait(0);
        QCOMPARE(on, (exitButton.isEmpty() || !closeBox) ? 1 : 2); // never twice for one window
        QVERIFY(!ui::programEnded());
        ui::setMainMenuSwitch({});
        Modutarnxt::CurrentUser.clear();
    }
};

QTEST_MAIN(TstWindowFrames)
#include "tst_windowframes.moc"
