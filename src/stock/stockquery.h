#pragma once
// The logic of the stock query window "药材库存查询": the four questions about the herb stock
// (purchases, stock-outs, the in-and-out detail, the balances) over a date range and
// optionally one drug, answered with a workbook in the documents folder, never on screen.
//
// One query: srnrJy (both dates), buildQuery, runQuery (at least one row), writeReport.
// The statements are prepared with bound values: dates and the drug's name are never part of
// the SQL text, and nothing is stored in the clinic file.
#include "db/session.h"
#include "core/refusal.h"
#include "stock/reporttype.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

namespace qh::stock {

// The controls a refusal of this window can focus.
enum class StockQueryField { Txtycbm, TxtQssj, TxtJssj };

// The boxes of the window.
struct StockQueryInput {
    QString code;  // Txtycbm
    QString name;  // Txtycmc
    QString start; // TxtQssj, "yyyy-mm-dd"
    QString end;   // TxtJssj
};

// A query ready to run: its SQL with "?" places, and the values bound to them in order.
struct StockQueryStatement {
    StockQueryType type = StockQueryType::Ycrk;
    QString name; // "ycrk", "ycck" (stock-out and detail), "ycjy"
    QString sql;
    QStringList values;
};

namespace stockquery {

// Days the default start date lies before today.
inline constexpr int DefaultDays = 230;

// Reset: empty code and name, start = today minus 230 days, end = today.
StockQueryInput Qpcls(const QDate &today);

// The check before a query: start date, then end date ("查询起始时间输入错误",
// "查询结束时间输入错误"; the ten characters of the date selected).
Verdict<StockQueryField> srnrJy(const QString &start, const QString &end);
// Enter in the start date box, and in the end date box ("查询载止时间输入错误").
Verdict<StockQueryField> checkStartOnEnter(const QString &start);
Verdict<StockQueryField> checkEndOnEnter(const QString &end);

// The drug's name for a code of the drug list (compared as stored: trimmed, upper case);
// nothing when the code is not in the list. Throws DbError.
std::optional<QString> lookupDrug(db::Session &s, const QString &code);
// Enter in the code box: the name, or the refusal "药材编码输入错误" (whole code selected).
// Throws DbError.
std::variant<QString, Refusal<StockQueryField>> ycbmOnEnter(db::Session &s, const QString &code);

// The statement of a query type. Both dates are whole calendar days: the end day includes
// every movement of that day, whatever its time. drugName: the filter (trimmed name), or
// nothing for every drug; the balances take neither dates nor drug. Dates must be valid.
StockQueryStatement buildQuery(StockQueryType type, const QDate &start, const QDate &end,
                               const std::optional<QString> &drugName);
// The window's filter: a drug when the code box is not empty, its value the name box (empty
// when the code was typed without Enter, which then finds nothing).
std::optional<QString> drugFilter(const StockQueryInput &input);

// Whether the query yields at least one row. Throws DbError.
bool runQuery(db::Session &s, const StockQueryStatement &query);

// The workbook of a type for the dates as typed: "<start> 至 <end>商品入库统计表.xlsx" and so
// on, in the documents folder. Throws DbError(err::FileIo) when the folder cannot be made.
QString reportFilePath(StockQueryType type, const QString &start, const QString &end);

// Writes the workbook of the query for the dates as typed and returns its path. The rows go
// into the file as they are read; the file replaces an earlier one of the same type and dates
// only once it is complete (a failure keeps the earlier file). The reports of the other types
// are left alone. afterRow runs after each row. Throws DbError.
QString writeReport(db::Session &s, const StockQueryStatement &query, const QString &start, const QString &end,
                    const std::function<void()> &afterRow = {});

// The message after a report, and the two refusals of a query.
QString reportWrittenMessage();  // "生成图表已经存放在我的文档中，请查收"
QString noRowsMessage();         // "没有符合查询条件的内容"

} // namespace stockquery
} // namespace qh::stock
