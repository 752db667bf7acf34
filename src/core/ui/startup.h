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

// Releases the single-copy lock (the program's end does it too).
void releaseInstanceLock();

} // namespace qh::ui
