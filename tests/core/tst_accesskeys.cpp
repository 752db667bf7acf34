// Every access key of every task window presses its own button while the window is open in the
// main area: the main window's menus, which are off then, take none of them.
#include "clinic/ui/FrmZymz.h"
#include "clinic/ui/Frmfjwh.h"
#include "core/modutarnxt.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/taskwindows.h"
#include "maint/ui/Frmcopy.h"
#include "maint/ui/Frmmmwh.h"
#include "query/ui/FrmJytj.h"
#include "query/ui/FrmFzsf.h"
#include "query/ui/FrmMzfd.h"
#include "stock/ui/Frmycjj.h"
#include "stock/ui/Frmyckc.h"
#include "stock/ui/Frmycrk.h"
#include "stock/ui/Frmyjwh.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QStackedWidget>
#include <QTabWidget>
#include <QtTest>

using namespace qh;

namespace {

// The task window the main area shows, nullptr when none.
QWidget *shownTaskWindow(ui::MDIFtarn &main)
{
    QMdiSubWindow *sub = main.area()->activeSubWindow();
    return sub ? sub->widget() : nullptr;
}

// Closes every window but the main one (help, a window a button opened) and the task window.
void closeAllBut(ui::MDIFtarn &main)
{
    if (QWidget *task = shownTaskWindow(main))
        ui::closeTaskWindow(task);
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != &main && w->isVisible())
            w->close();
    QCoreApplication::processEvents();
    ui::EnableMainMenus();
}

// Brings forward the tab pages that hold w, so its access key can reach it.
void showPagesOf(QWidget *w)
{
    for (QWidget *p = w; p; p = p->parentWidget())
        if (auto *stack = qobject_cast<QStackedWidget *>(p->parentWidget()))
            if (auto *tabs = qobject_cast<QTabWidget *>(stack->parentWidget()))
                tabs->setCurrentWidget(p);
}

} // namespace

class TstAccessKeys : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        maint::ui::registerUserWindow();
        maint::ui::registerCopyWindow();
        clinic::ui::registerOutpatientWindow();
        stock::ui::registerDrugListWindow();
        clinic::ui::registerFormulaWindow();
        stock::ui::registerStockMovementWindows();
        stock::ui::registerChargingWindow();
        stock::ui::registerStockQueryWindow();
        query::ui::registerRecordQueryWindow();
        query::ui::registerStatisticsWindow();
        query::ui::registerFollowUpWindow();
    }

    void everyAccessKeyPressesItsButton_data()
    {
        QTest::addColumn<QString>("item");
        for (const char *item : {"sad", "ycrc", "YcqkXs", "YcqkCk", "ZdblCx", "Yckc", "Fzsf", "Jytj", "xtwh1", "cc", "YcqkWh", "FjWh", "Xpict"})
            QTest::newRow(item) << QString::fromLatin1(item);
    }

    // For each button with an access key: open the window from its menu item, press Alt and the
    // key on the shown, active window, and see the button clicked, no other button clicked, the
    // menu bar neither opened nor focused. The window is opened fresh for each key.
    void everyAccessKeyPressesItsButton()
    {
        QFETCH(QString, item);
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("青禾中医诊所"));
        clinic.addUser(QStringLiteral("王医生"), QStringLiteral("secret1"));
        Modutarnxt::CurrentUser = QStringLiteral("王医生");
        test::RecordingMessages rec;
        test::RecordingFileDialogs files;
        ui::MDIFtarn main;
        main.show();
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        ui::EnableMainMenus();

        int keys = 0, withKeys = 0;
        for (int index = 0;; ++index) {
            main.runItem(item);
            QPointer<QWidget> window = shownTaskWindow(main);
            QVERIFY2(window, qPrintable(item));
            const QList<QAbstractButton *> buttons = window->findChildren<QAbstractButton *>();
            if (index >= buttons.size()) {
                closeAllBut(main);
                break;
            }
            QAbstractButton *button = buttons[index];
            const QKeySequence key = QKeySequence::mnemonic(button->text());
            showPagesOf(button);
            withKeys += key.isEmpty() ? 0 : 1;
            if (key.isEmpty() || !button->isVisible() || !button->isEnabled()) {
                closeAllBut(main);
                continue;
            }
            QApplication::setActiveWindow(&main);
            QVERIFY(QTest::qWaitForWindowActive(&main));
            // Counted at released, which a click emits right before clicked: an exit button's own
            // clicked handler closes the window and its buttons, so later handlers never run.
            int mine = 0, others = 0;
            for (QAbstractButton *b : buttons)
                connect(b, &QAbstractButton::released, this, [&, b] { ++(b == button ? mine : others); });
            int twins = 0;
            for (QAbstractButton *b : buttons)
                if (b != button && b->isVisible() && b->isEnabled() && QKeySequence::mnemonic(b->text()) == key)
                    ++twins;
            const QString what = QStringLiteral("%1 %2 \"%3\"").arg(item, button->objectName(), button->text());

            QTest::keyClick(window, Qt::Key(key[0].key()), Qt::AltModifier);
            QVERIFY2(!main.menuBar()->activeAction(), qPrintable(what));
            QVERIFY2(QApplication::focusWidget() != main.menuBar(), qPrintable(what));
            QVERIFY2(!QApplication::activePopupWidget(), qPrintable(what));
            if (twins > 0) {
                // Two buttons with one access key (the user window's "修改&E" and "退出&E"): Qt
                // presses neither and moves the focus to one of them, so Space presses it.
                QVERIFY2(!button->isDown() && mine == 0, qPrintable(what));
                QVERIFY2(qobject_cast<QAbstractButton *>(QApplication::focusWidget()), qPrintable(what));
            } else {
                // Down at once: the key reached this button alone (a key that matched twice only
                // moves the focus), then its click follows unless the press itself ended the window.
                QVERIFY2(button->isDown(), qPrintable(what));
                QPointer<QAbstractButton> alive(button);
                QTRY_VERIFY2_WITH_TIMEOUT(mine == 1 || !alive || !alive->isVisible() || !alive->isEnabled(), qPrintable(what), 1000);
            }
            QVERIFY2(others == 0, qPrintable(what));
            ++keys;
            closeAllBut(main);
        }
        QVERIFY2(withKeys == 0 || keys > 0, qPrintable(item)); // some windows have no access keys

        // Alt alone does not move the focus into the menu bar while a task window is open.
        main.runItem(item);
        QApplication::setActiveWindow(&main);
        QTest::keyClick(shownTaskWindow(main), Qt::Key_Alt, Qt::AltModifier);
        QVERIFY(QApplication::focusWidget() != main.menuBar());
        QVERIFY(!QApplication::activePopupWidget());
        closeAllBut(main);
    }
};

QTEST_MAIN(TstAccessKeys)
#include "tst_accesskeys.moc"
