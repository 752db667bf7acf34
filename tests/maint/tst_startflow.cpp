// The way through the program's windows: start, splash, login, menus, the user window in the
// main area, and the first start without users.
#include "core/modutarnxt.h"
#include "core/ui/FrmJczl.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/frmLogin.h"
#include "core/ui/frmSplash.h"
#include "core/ui/startup.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "maint/ui/Frmmmwh.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QtTest>

using namespace qh;
using qh::ui::MDIFtarn;

namespace {
template <class T> T *visible()
{
    for (QWidget *w : QApplication::allWidgets())
        if (auto *t = qobject_cast<T *>(w); t && t->isVisible())
            return t;
    return nullptr;
}
} // namespace

class TstStartFlow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { maint::ui::registerUserWindow(); }

    void init()
    {
        ui::resetProgramEnded();
        ui::DisableMainMenus();
    }

    void cleanup()
    {
        delete MDIFtarn::instance();
        ui::releaseInstanceLock();
    }

    void firstStartOpensOnlyTheSetupWindow()
    {
        test::TempClinic clinic(false);
        ui::setStartWindows({ui::showFirstRunSetup, ui::showMainWindowAndSplash});
        QVERIFY(ui::Main());
        QVERIFY(QFileInfo::exists(clinic.dbPath()));
        QPointer<ui::FrmJczl> setup = visible<ui::FrmJczl>();
        QVERIFY(setup);
        QVERIFY(setup->TxtYhxm->isEnabled());
        QVERIFY(!MDIFtarn::exists());
        delete setup.data();
    }

    void laterStartsGoThroughSplashAndLoginToTheMenus()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("青禾诊所"));
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        Modutarnxt::CurrentUser.clear();
        test::RecordingMessages rec;
        ui::setStartWindows({ui::showFirstRunSetup, ui::showMainWindowAndSplash});
        QVERIFY(ui::Main());
        MDIFtarn *main = MDIFtarn::instance();
        QVERIFY(main->isVisible());
        QVERIFY(main->isMaximized());
        QVERIFY(!ui::mainMenusEnabled());

        // The splash (pause shortened) leads to the login.
        QTRY_VERIFY(visible<ui::frmLogin>());
        ui::frmLogin *login = visible<ui::frmLogin>();
        QCOMPARE(login->Cboyhmc->currentText(), QStringLiteral("张三"));
        login->Txtpass->setText(QStringLiteral("Secret1"));
        QTest::mouseClick(login->cmdOK, Qt::LeftButton);
        QVERIFY(rec.shown.empty());
        QCOMPARE(Modutarnxt::CurrentUser, QStringLiteral("张三"));
        for (QAction *a : main->topMenuActions())
            QVERIFY(a->isEnabled());
        QVERIFY(main->item(QStringLiteral("xtwh1"))->isEnabled());

        // The user window opens in the main area with the menus disabled ...
        main->item(QStringLiteral("xtwh1"))->trigger();
        QVERIFY(!ui::mainMenusEnabled());
        QCOMPARE(main->area()->subWindowList().size(), 1);
        QPointer<maint::ui::Frmmmwh> users =
            qobject_cast<maint::ui::Frmmmwh *>(main->area()->subWindowList().first()->widget());
        QVERIFY(users);
        QCOMPARE(ui::mousePointer(), ui::PointerArrow); // the window sets the arrow when it shows
        // ... and its exit enables them again.
        QTest::mouseClick(users->CmdExit, Qt::LeftButton);
        QTRY_COMPARE(main->area()->subWindowList().size(), 0);
        QVERIFY(ui::mainMenusEnabled());
        QVERIFY(!ui::programEnded());

        // "更换系统背景": the setup window in the area, without a close box, back to the menus.
        main->item(QStringLiteral("Xpict"))->trigger();
        QVERIFY(!ui::mainMenusEnabled());
        QCOMPARE(main->area()->subWindowList().size(), 1);
        QMdiSubWindow *frame = main->area()->subWindowList().first();
        QVERIFY(!frame->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QPointer<ui::FrmJczl> setup = qobject_cast<ui::FrmJczl *>(frame->widget());
        QVERIFY(setup);
        QVERIFY(!setup->TxtYhxm->isEnabled());
        QVERIFY(!setup->close());
        setup->TxtYhdw->setText(QStringLiteral("新诊所"));
        QTest::mouseClick(setup->CmdOext, Qt::LeftButton);
        QVERIFY(rec.shown.empty());
        QTRY_COMPARE(main->area()->subWindowList().size(), 0);
        QVERIFY(ui::mainMenusEnabled());
        QVERIFY(main->isVisible());
        QCOMPARE(clinic.open().scalarText(QStringLiteral("select xt001 from xtzlqk")).value_or(QString()),
                 QStringLiteral("新诊所"));
    }

    void withoutUsersTheUserWindowOpensInFirstUserMode()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("青禾诊所"));
        Modutarnxt::CurrentUser.clear();
        test::RecordingMessages rec;
        ui::showMainWindowAndSplash();
        MDIFtarn *main = MDIFtarn::instance();
        QTRY_COMPARE(main->area()->subWindowList().size(), 1);
        QVERIFY(Modutarnxt::FirstUserMode);
        QVERIFY(!visible<ui::frmLogin>());
        auto *users = qobject_cast<maint::ui::Frmmmwh *>(main->area()->subWindowList().first()->widget());
        QVERIFY(users);
        QVERIFY(!ui::mainMenusEnabled());
        QTest::mouseClick(users->CmdExit, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("请以新的用户名称和密码重新登录系统"));
        QVERIFY(ui::programEnded());
        QVERIFY(!ui::mainMenusEnabled());
        Modutarnxt::FirstUserMode = false;
    }
};

QTEST_MAIN(TstStartFlow)
#include "tst_startflow.moc"
