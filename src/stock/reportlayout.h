#pragma once
// The sheet layouts of the stock reports and the count sheet: the opening font, the cleared
// range, the headers of row 2, what each result column holds, and the widths and number
// formats applied after each data row, in their order. Data rows start at row 4.
#include "stock/reporttype.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace qh {
class Spreadsheet;
namespace db {
class Statement;
}
} // namespace qh

namespace qh::stock::reportlayout {

// The font of every report: "宋体 " (the trailing blank is the spreadsheet's, dropped on save).
inline const QString FontName = QStringLiteral("宋体 ");
inline constexpr double FontSize = 9;
inline constexpr int FirstDataRow = 4;
// "##,###,##0.00_ " and "yyyy-mm-dd".
QString amountFormat();
QString dayFormat();

// What a result column holds.
enum class Kind { Text, Date, Amount };

// One step applied after each data row: a width for whole columns, or a number format for
// the row's cells in the columns.
struct Step {
    enum What { Width, Format } what;
    std::vector<int> cols; // 1-based
    double width = 0;
    QString format;
};

struct Layout {
    QString fileName;            // the name behind the date prefix ("商品入库统计表.xls")
    double openingFontSize = 0;  // the font of all cells before anything is written; 0: none
    QString clearedRange;        // "" for none
    QStringList headers;         // a2, b2, ...
    std::vector<Kind> columns;   // the result columns, in order
    bool autoFit = false;        // each written cell's column fitted right after it
    std::vector<Step> perRow;
};

const Layout &of(StockQueryType type);
const Layout &countSheet();

// Lays the sheet out and fills it with the statement's rows from row 4. Returns the number
// of data rows. afterRow runs after each row.
int write(Spreadsheet &sheet, const Layout &layout, db::Statement &rows, const std::function<void()> &afterRow);

} // namespace qh::stock::reportlayout
