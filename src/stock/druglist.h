#pragma once
// The clinic's drug list (table ycjg): code, name, selling price, unit and category of each
// drug. This is the logic of the drug code and price window, over plain values and the
// database: reading the category list and the whole list, checking the five entries, the
// add / change / delete commands and the spreadsheet export.
//
// Every command takes the five entry values as typed, normalises them in place (trimmed, the
// code upper-cased) and answers with success and the control that gets the focus, or with the
// refusal of the first rule that failed, or with the short report of a database failure.
#include "db/session.h"
#include "base/money.h"
#include "db/store.h"
#include "core/refusal.h"
#include "core/spreadsheet.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace qh::stock {

// The five entries of the window.
struct DrugEntry {
    QString category; // CboYplb
    QString code;     // Txtycbm
    QString name;     // Txtycmc
    QString unit;     // TxtJldw
    QString price;    // Txtycdj
};

// One stored drug.
struct DrugListRow {
    QString code;
    QString name;
    Money price;
    QString unit;
    QString category;
};

// The controls of the drug code and price window the checks name.
enum class DrugField { CboYplb, Txtycbm, Txtycmc, TxtJldw, Txtycdj, CmdSave };
using DrugVerdict = Verdict<DrugField>;

// The answer of a command.
struct DrugAnswer {
    DrugVerdict refusal;               // the first rule that failed
    QString failure;                   // the short report of a database failure (focus unchanged)
    DrugField next = DrugField::CboYplb; // the control that gets the focus after success
    bool ok() const { return !refusal && failure.isEmpty(); }
};

namespace druglist {

// Longest entries the list keeps (the code and name boxes; the unit and category fields).
inline constexpr int CodeMax = 20;
inline constexpr int NameMax = 50;
inline constexpr int UnitMax = 100;
inline constexpr int CategoryMax = 40;
// Highest selling price per unit: prices are multiplied by quantities elsewhere and must stay
// far inside the range of an amount.
Money maxPrice();

// Price display "###,##0.00".
QString priceText(Money price);
// Enter in the price box: the formatted price, or nothing when the text is not a number.
std::optional<QString> priceOnEnter(const QString &text);

// The categories already stored, each once, in order.
QStringList YplbAdd(db::Session &s);
// All drugs ordered by code.
std::vector<DrugListRow> GridBmmcAdd(db::Session &s);

// Trims every entry, upper-cases the code, then checks in order: category, name, code, price
// (a number, greater than 0), unit. No database access. Lengths count characters.
DrugVerdict srnrJy(DrugEntry &entry);

// Enter in the boxes (the price box formats with priceOnEnter): the category must not be
// empty; the code, name and unit boxes move on only when not empty.
DrugVerdict categoryOnEnter(const QString &category);
DrugVerdict filledOnEnter(DrugField box, const QString &text);
// Enter in the price box: the price formatted in place, or "药品单价输入错误" with the text selected.
DrugVerdict formatPriceOnEnter(QString &text);

// CmdSave: a new drug; its code and its name must both be new.
DrugAnswer add(const db::Store &store, DrugEntry &entry);
// Cmdedit: price, unit and category of the drug with the entry's code.
DrugAnswer changeOthers(const db::Store &store, DrugEntry &entry);
// CmdMcxg: the name (and price, unit, category) of the drug with the entry's code; the new
// name must not be in the list.
DrugAnswer changeName(const db::Store &store, DrugEntry &entry);
// CmdBmxg: the code (and price, unit, category) of the drug with the entry's name; the new
// code must not be in the list.
DrugAnswer changeCode(const db::Store &store, DrugEntry &entry);
// Cmddele: removes the drug with the entry's code; the entries must be complete and valid.
DrugAnswer remove(const db::Store &store, DrugEntry &entry);

// The export file: "药品编码名称对照表.xlsx" in the user's documents folder.
QString exportFilePath();
// The export sheet from the grid's rows (cells: code, name, price as shown, unit, category).
// afterRow runs after each row is written.
Spreadsheet buildExport(const std::vector<QStringList> &gridRows, const std::function<void()> &afterRow = {});

} // namespace druglist
} // namespace qh::stock
