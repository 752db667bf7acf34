#include "stock/countsheet.h"
#include "db/session.h"
#include "core/spreadsheet.h"
#include "base/textutil.h"
#include "stock/reportlayout.h"

namespace qh::stock::countsheet {

QString filePath() { return documentFilePath(reportlayout::countSheet().fileName); }

std::optional<QString> write(db::Session &s, const std::function<void()> &afterRow)
{
    const QString path = filePath();
    // The balance rows in the order of their drug names (the table's index).
    const auto first = s.scalarText(QStringLiteral("select ycbm from ycyltb order by ycbm limit 1"));
    if (!first || trimSpaces(*first).isEmpty()) {
        removeExistingFile(path);
        return std::nullopt;
    }
    db::Statement rows = s.prepare(QStringLiteral("select ycbm, ycyl from ycyltb order by ycbm"));
    Spreadsheet sheet = Spreadsheet::streamingTo(path);
    reportlayout::write(sheet, reportlayout::countSheet(), rows, afterRow);
    sheet.finish();
    return path;
}

QString emptyTableMessage() { return QStringLiteral("尚未发生药品购销业务"); }

} // namespace qh::stock::countsheet
