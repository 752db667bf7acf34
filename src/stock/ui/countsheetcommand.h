#pragma once
// The menu command "药品库存盘点": writes the stock count sheet. It has no window of its own:
// it switches the main menus off and back on itself, also when it fails.
namespace qh::stock::ui {

void YckcPd_Click();

} // namespace qh::stock::ui
