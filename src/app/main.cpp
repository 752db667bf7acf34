#include "app/commandline.h"
#include "app/identity.h"
#include "core/ui/FrmJczl.h"
#include "core/ui/frmSplash.h"
#include "core/ui/startup.h"
#include "core/ui/uikit.h"
#include "clinic/ui/FrmZymz.h"
#include "clinic/ui/Frmfjwh.h"
#include "maint/datacopy.h"
#include "maint/servermove.h"
#include "maint/ui/Frmcopy.h"
#include "maint/ui/Frmmmwh.h"
#include "core/modutarnxt.h"
#include "query/ui/FrmJytj.h"
#include "query/ui/FrmFzsf.h"
#include "query/ui/FrmMzfd.h"
#include "stock/ui/Frmycjj.h"
#include "stock/ui/closingcommand.h"
#include "stock/ui/Frmycrk.h"
#include "stock/ui/Frmyckc.h"
#include "stock/ui/Frmyjwh.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // --help and --version are answered without a window system.
    const qh::app::CommandLine cl = qh::app::readCommandLine(argc, argv);
    if (cl.answered)
        return cl.exitCode;
    // Where the clinic's data lives is read once, here: every window opens its sessions from it.
    if (qh::Modutarnxt::SystemRoot.isEmpty())
        qh::Modutarnxt::SystemRoot = qh::Modutarnxt::defaultSystemRoot();
    qh::Modutarnxt::setClinicStore(qh::db::Store::fromSettings(qh::Modutarnxt::databasePath()));
    // Scheduled backup without windows (cron, systemd timer): qinghe --backup FILE
    if (!cl.backupPath.isEmpty())
        return qh::maint::backupFromCommandLine(qh::Modutarnxt::clinicStore(), cl.backupPath);
    // Moving the clinic's data file onto the shared server: qinghe --export-to-server
    if (cl.exportToServer)
        return qh::maint::exportToServerFromCommandLine(qh::Modutarnxt::clinicStore());

    QApplication app(argc, argv);
    qh::app::identifyApplication();
    qh::ui::installChineseTranslations(app);
    qh::ui::installDialogPresenters();
    app.setQuitOnLastWindowClosed(false);

    // Task windows of the subsystems: each registers the window of its menu item.
    qh::maint::ui::registerUserWindow();
    qh::maint::ui::registerCopyWindow();
    qh::clinic::ui::registerOutpatientWindow();
    qh::stock::ui::registerDrugListWindow();
    qh::clinic::ui::registerFormulaWindow();
    qh::stock::ui::registerStockMovementWindows();
    qh::stock::ui::registerChargingWindow();
    qh::stock::ui::registerStockQueryWindow();
    qh::query::ui::registerRecordQueryWindow();
    qh::query::ui::registerStatisticsWindow();
    qh::query::ui::registerFollowUpWindow();
    qh::stock::ui::registerClosingCommand();
    // (further registrations of the other subsystems go here)

    qh::ui::setStartWindows({qh::ui::showFirstRunSetup, qh::ui::showMainWindowAndSplash});

    if (!qh::ui::Main() || qh::ui::programEnded()) {
        qh::ui::releaseInstanceLock();
        return qh::ui::startExitStatus(); // non-zero when the program could not start
    }
    const int rc = app.exec();
    qh::ui::releaseInstanceLock();
    return rc;
}
