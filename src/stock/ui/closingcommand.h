#pragma once
// The menu command "药品结帐" (item Ypjz): computes the closing, asks with the preview under
// the question, then writes it with the progress window Frmjdys on screen and the main window
// closed to input, and reports the end.
#include <functional>

namespace qh::ui {
class Frmjdys;
}

namespace qh::stock::ui {

void Ypjz_Click();

// Registers the command for its menu item.
void registerClosingCommand();

// Tests watch the progress window after each change of its values (null: nobody watches).
void setClosingProgressWatcher(std::function<void(const qh::ui::Frmjdys &)> watcher);

} // namespace qh::stock::ui
