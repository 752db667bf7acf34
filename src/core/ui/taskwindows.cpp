#include "core/ui/taskwindows.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QMdiSubWindow>
#include <QWidget>

namespace qh::ui {

namespace {
QHash<QString, TaskWindowFactory> &factories()
{
    static QHash<QString, TaskWindowFactory> f;
    return f;
}
QHash<QString, std::function<void()>> &commands()
{
    static QHash<QString, std::function<void()>> c;
    return c;
}
std::function<void(bool)> g_switch;
std::function<void(QWidget *)> g_host;
bool g_menusEnabled = false;
bool g_deliberate = false;

// A task window clears its entries when it becomes the active window. Inside the main area it
// would also receive the main window's activation each time a message box, the help window or
// another program hands the focus back, and lose what the user typed. Only the activation
// that showTaskWindow delivers when the window is opened counts for a task window.
class ActivationRule : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::WindowActivate || g_deliberate || !watched->isWidgetType())
            return false;
        auto *w = static_cast<QWidget *>(watched);
        return qobject_cast<QMdiSubWindow *>(w->parentWidget()) != nullptr;
    }
};

void installActivationRule()
{
    static ActivationRule *rule = nullptr;
    if (!rule && QCoreApplication::instance()) {
        rule = new ActivationRule;
        rule->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(rule);
    }
}
} // namespace

void registerTaskWindow(const QString &menuItem, TaskWindowFactory factory) { factories().insert(menuItem, std::move(factory)); }
TaskWindowFactory taskWindowFactory(const QString &menuItem) { return factories().value(menuItem); }
void registerMenuCommand(const QString &menuItem, std::function<void()> command) { commands().insert(menuItem, std::move(command)); }
std::function<void()> menuCommand(const QString &menuItem) { return commands().value(menuItem); }

void setMainMenuSwitch(std::function<void(bool)> sw) { g_switch = std::move(sw); }

void DisableMainMenus()
{
    g_menusEnabled = false;
    if (g_switch)
        g_switch(false);
}

void EnableMainMenus()
{
    g_menusEnabled = true;
    if (g_switch)
        g_switch(true);
}

bool mainMenusEnabled() { return g_menusEnabled; }

void setTaskWindowHost(std::function<void(QWidget *)> show)
{
    g_host = std::move(show);
    if (g_host)
        installActivationRule();
}

void showTaskWindow(QWidget *window)
{
    if (g_host) {
        g_host(window);
        if (window && qobject_cast<QMdiSubWindow *>(window->parentWidget())) {
            g_deliberate = true;
            QEvent activate(QEvent::WindowActivate);
            QCoreApplication::sendEvent(window, &activate);
            g_deliberate = false;
        }
        return;
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void closeTaskWindow(QWidget *window)
{
    if (!window)
        return;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
        sub->close();
    else
        window->close();
}

} // namespace qh::ui
