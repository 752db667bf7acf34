#pragma once
// The start routine of the program.
#include <functional>

namespace qh::ui {

// The windows the start routine leads to; the program sets them, tests may set recorders.
struct StartWindows {
    std::function<void()> firstRunSetup;      // first-run setup window
    std::function<void()> mainWindowAndSplash; // main window (menus disabled), then the splash
};
void setStartWindows(StartWindows windows);

// Runs the start routine. True when the program goes on in its windows; false when it has
// ended (second copy, start error, broken status table).
bool Main();

class Frmjdys;
// Tests watch the progress window shown while a file of the first layout is rewritten: the
// watcher is called after each step the window shows.
void setUpgradeProgressWatcher(std::function<void(const Frmjdys &)> watcher);

// Releases the single-copy lock (the program's end does it too).
void releaseInstanceLock();

// The exit status of the program after Main() returned false: 0 when the start went as it
// should (it never failed), StartFailed after a start error or a broken status table,
// AlreadyRunning when another copy runs. Scripts that start the program can see it.
inline constexpr int StartFailed = 1;
inline constexpr int AlreadyRunning = 2;
int startExitStatus();

} // namespace qh::ui
