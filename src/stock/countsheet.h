#pragma once
// The stock count sheet "药品盘点表": every drug of the balance table with its quantity on
// hand, and two empty columns for the counted quantity and the difference. The logic of the
// menu command "药品库存盘点"; the command itself (menus, pointer, pause, messages) is in
// stock/ui/countsheetcommand.h.
#include "db/session.h"

#include <QString>
#include <functional>
#include <optional>

namespace qh::stock::countsheet {

// "药品盘点表.xlsx" in the documents folder. Throws DbError(err::FileIo) when the folder
// cannot be made.
QString filePath();

// Writes the sheet and returns its path; nothing when the balance table is empty (or its first
// drug is blank): then an earlier sheet, which no longer tells the truth, is deleted. The new
// sheet replaces the earlier one only once it is complete, so a failure keeps the earlier one.
// afterRow runs after each row. Throws DbError.
std::optional<QString> write(db::Session &s, const std::function<void()> &afterRow = {});

// "尚未发生药品购销业务"
QString emptyTableMessage();

} // namespace qh::stock::countsheet
