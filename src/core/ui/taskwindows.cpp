#include "core/ui/taskwindows.h"

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

void setTaskWindowHost(std::function<void(QWidget *)> show) { g_host = std::move(show); }

void showTaskWindow(QWidget *window)
{
    if (g_host) {
        g_host(window);
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
