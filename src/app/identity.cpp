#include "app/identity.h"

#include <QApplication>
#include <QIcon>

namespace qh::app {

void identifyApplication()
{
    QApplication::setApplicationName(QString::fromLatin1(WindowClass));
    QApplication::setApplicationDisplayName(QStringLiteral("青禾中医门诊系统"));
    QApplication::setApplicationVersion(QStringLiteral(QT_STRINGIFY(QINGHE_VERSION_MAJOR) "." QT_STRINGIFY(
        QINGHE_VERSION_MINOR) "." QT_STRINGIFY(QINGHE_VERSION_PATCH)));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(DesktopId));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/qinghe-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
}

} // namespace qh::app
