#include "app/identity.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QWidget>

#include <xcb/xcb.h>

namespace qh::app {

namespace {

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(qstrlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return a;
}

// On X11 Qt gives a window without a title the application's name ("qinghe") as its title, so a
// message box with an empty title would carry that word in its frame. For such a window the
// title the window manager reads (_NET_WM_NAME; WM_NAME is the window's own, empty, title) is
// made empty again each time Qt sets it: when the window is made, shown, or its title changes.
class EmptyTitles : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if ((event->type() == QEvent::Show || event->type() == QEvent::WindowTitleChange) && watched->isWidgetType()) {
            auto *w = static_cast<QWidget *>(watched);
            if (w->isWindow() && w->windowTitle().isEmpty() && w->windowHandle())
                clearTitle(w->winId());
        }
        return false;
    }

private:
    void clearTitle(WId window)
    {
        auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11)
            return;
        xcb_connection_t *c = x11->connection();
        if (m_name == XCB_ATOM_NONE) {
            m_name = atom(c, "_NET_WM_NAME");
            m_utf8 = atom(c, "UTF8_STRING");
        }
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(window), m_name, m_utf8, 8, 0, nullptr);
        xcb_flush(c);
    }

    xcb_atom_t m_name = XCB_ATOM_NONE;
    xcb_atom_t m_utf8 = XCB_ATOM_NONE;
};

} // namespace

void identifyApplication()
{
    QApplication::setApplicationName(QString::fromLatin1(WindowClass));
    // No display name: Qt would add it to every window title the window system shows ("系统用户登录 —
    // 青禾中医门诊系统", and to a message box without a title). The titles are shown as the windows set
    // them; the window system knows the program by WM_CLASS and the desktop entry.
    QApplication::setApplicationVersion(QStringLiteral(QT_STRINGIFY(QINGHE_VERSION_MAJOR) "." QT_STRINGIFY(
        QINGHE_VERSION_MINOR) "." QT_STRINGIFY(QINGHE_VERSION_PATCH)));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(DesktopId));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/qinghe-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
    static EmptyTitles *emptyTitles = nullptr;
    if (!emptyTitles && qApp->nativeInterface<QNativeInterface::QX11Application>()) {
        emptyTitles = new EmptyTitles;
        emptyTitles->setParent(qApp);
        qApp->installEventFilter(emptyTitles);
    }
}

} // namespace qh::app
