#pragma once
// How the main window finds the task windows of the other subsystems, and how task
// windows switch the main menus, without the core depending on them.
#include <QString>
#include <functional>

class QWidget;

namespace qh::ui {

// Returns the task window (one instance per class, see singleWindow) to show in the main area.
using TaskWindowFactory = std::function<QWidget *()>;

// Each subsystem registers the windows of its menu items by the item's object name
// ("sad", "ycrc", "YcqkXs", ...). An item without a registration stays disabled.
void registerTaskWindow(const QString &menuItem, TaskWindowFactory factory);
TaskWindowFactory taskWindowFactory(const QString &menuItem);

// Menu items that run a command without a window of their own ("YckcPd", "Ypjz").
void registerMenuCommand(const QString &menuItem, std::function<void()> command);
std::function<void()> menuCommand(const QString &menuItem);

// The main window installs the switch; without one (in tests) only the state is kept.
void setMainMenuSwitch(std::function<void(bool enabled)> sw);
void DisableMainMenus();
void EnableMainMenus();
bool mainMenusEnabled();

// The main window installs how a task window is shown in its multiple-document area.
void setTaskWindowHost(std::function<void(QWidget *)> show);
// Shows a task window: in the main area when there is one, else as a top-level window.
void showTaskWindow(QWidget *window);
// Closes a task window, and the main area's frame around it.
void closeTaskWindow(QWidget *window);

} // namespace qh::ui
