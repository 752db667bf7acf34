#pragma once
// What the statistics window hands out: the workbook of its tables with native charts beside
// them (through the shared spreadsheet writer), and the printed page of its charts (A4, drawn
// in millimetres in the printing face, to the printer or without one as a PDF). The charts of
// the window, the page and the workbook show the same series.
#include "clinic/printing.h"
#include "query/charts.h"
#include "query/statistics.h"

#include <QPageSize>
#include <QString>

class QPainter;

namespace qh::query::statisticsreport {

// The charts of the figures: the patients per month (new and returning stacked), the revenue
// per month, and a ranking of the herbs (the row "其他" included, marked as such).
charts::ColumnChart patientsChart(const Statistics &st);
charts::ColumnChart revenueChart(const Statistics &st);
charts::BarChart herbChart(const Statistics &st, HerbOrder order);
QString herbChartTitle(HerbOrder order);

// The colours of the series, shared by the window, the page and the workbook.
inline constexpr quint32 NewColour = 0xED7D31;
inline constexpr quint32 ReturningColour = 0x4472C4;
inline constexpr quint32 RevenueColour = 0x70AD47;
inline constexpr quint32 HerbColour = 0x5B9BD5;

// "2024-01 至 2024-12"
QString rangeText(const MonthRange &range);
// The lines of totals under the title of the page and the window.
QString summaryText(const Statistics &st);

// The workbook "<from> 至 <to>经营统计表.xlsx" in the documents folder. Throws DbError.
QString workbookPath(const MonthRange &range);
// Writes the workbook of the figures to path and returns it. Throws DbError.
QString writeWorkbook(const Statistics &st, const QString &path);

// The printed page: A4 portrait.
QPageSize pageSize();
// Draws the page on a painter whose device has the page's size (unit: the clinic's name).
void drawPage(QPainter &p, const Statistics &st, const QString &unit, const QDate &printed);
// The PDF written when there is no printer: "<documents>/经营统计-<from>至<to>.pdf".
QString pdfPath(const MonthRange &range);
// The page to the printer, or without one (nullptr) as the PDF.
clinic::PrintResult printPage(const Statistics &st, const QString &unit, const QDate &printed, PagePrinter *printer);
inline const QString DocumentName = QStringLiteral("经营统计");

} // namespace qh::query::statisticsreport
