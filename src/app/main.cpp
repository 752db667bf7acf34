#include "core/ui/FrmJczl.h"
#include "core/ui/frmSplash.h"
#include "core/ui/startup.h"
#include "core/ui/uikit.h"
#include "clinic/ui/FrmZymz.h"
#include "maint/ui/Frmmmwh.h"
#include "stock/ui/Frmycjj.h"
#include "stock/ui/Frmycrk.h"
#include "stock/ui/Frmyjwh.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("青禾中医门诊系统"));
    QApplication::setApplicationVersion(QStringLiteral(QT_STRINGIFY(QINGHE_VERSION_MAJOR) "." QT_STRINGIFY(
        QINGHE_VERSION_MINOR) "." QT_STRINGIFY(QINGHE_VERSION_PATCH)));
    qh::ui::installChineseTranslations(app);
    qh::ui::installDialogPresenters();
    app.setQuitOnLastWindowClosed(false);

    // Task windows of the subsystems: each registers the window of its menu item.
    qh::maint::ui::registerUserWindow();
    qh::clinic::ui::registerOutpatientWindow();
    qh::stock::ui::registerDrugListWindow();
    qh::stock::ui::registerStockMovementWindows();
    qh::stock::ui::registerChargingWindow();
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
