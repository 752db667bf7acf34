#include "core/ui/startup.h"
#include "core/ui/uikit.h"

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

    if (!qh::ui::Main())
        return 0;
    const int rc = app.exec();
    qh::ui::releaseInstanceLock();
    return rc;
}
