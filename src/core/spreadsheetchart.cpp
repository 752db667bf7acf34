// The native charts of qh::Spreadsheet: checked when added, written with the workbook through
// libxlsxwriter's chart API (columns, stacked columns, bars), their texts in the sheet's font.
#include "core/spreadsheetwriter_p.h"

namespace qh {

void Spreadsheet::addChart(const SheetChart &chart)
{
    checkCell(chart.row, chart.col);
    checkCell(chart.firstRow, chart.categoryCol);
    checkCell(chart.lastRow, chart.categoryCol);
    if (chart.series.empty() || chart.lastRow < chart.firstRow || chart.widthPx <= 0 || chart.heightPx <= 0)
        throw DbError(err::Misuse, QStringLiteral("图表“%1”无效。").arg(chart.title));
    for (const SheetChart::Series &s : chart.series)
        checkCell(chart.firstRow, s.col);
    m_charts.push_back(chart);
}

void Spreadsheet::Writer::insertChart(const SheetChart &c)
{
    const uint8_t type = c.kind == SheetChart::Kind::Bars             ? LXW_CHART_BAR
                         : c.kind == SheetChart::Kind::StackedColumns ? LXW_CHART_COLUMN_STACKED
                                                                      : LXW_CHART_COLUMN;
    lxw_chart *chart = workbook_add_chart(m_book, type);
    if (!chart)
        fail(LXW_ERROR_MEMORY_MALLOC_FAILED);
    const auto range = [&c](int col) {
        const QString letters = columnLetters(col);
        return QStringLiteral("=Sheet1!$%1$%2:$%1$%3").arg(letters).arg(c.firstRow).arg(c.lastRow).toUtf8();
    };
    const QByteArray categories = range(c.categoryCol);
    for (const SheetChart::Series &s : c.series) {
        const QByteArray values = range(s.col);
        lxw_chart_series *series = chart_add_series(chart, categories.constData(), values.constData());
        if (!series)
            fail(LXW_ERROR_MEMORY_MALLOC_FAILED);
        chart_series_set_name(series, s.name.toUtf8().constData());
        if (s.rgb != 0) {
            lxw_chart_fill fill{};
            fill.color = s.rgb;
            chart_series_set_fill(series, &fill);
        }
    }
    lxw_chart_font font{};
    font.name = m_fontName.data();
    font.size = m_fontSize;
    font.charset = m_eastAsian ? 134 : 0;
    lxw_chart_font bold = font;
    bold.size = m_fontSize + 2;
    bold.bold = LXW_TRUE;
    const QByteArray title = c.title.toUtf8();
    if (title.isEmpty()) {
        chart_title_off(chart);
    } else {
        chart_title_set_name(chart, title.constData());
        chart_title_set_name_font(chart, &bold);
    }
    for (lxw_chart_axis *axis : {chart->x_axis, chart->y_axis})
        chart_axis_set_num_font(axis, &font);
    // The value axis counts in whole numbers with groups; bars list the first row on top.
    lxw_chart_axis *values = c.kind == SheetChart::Kind::Bars ? chart->x_axis : chart->y_axis;
    chart_axis_set_num_format(values, "#,##0");
    if (c.fromZero)
        chart_axis_set_min(values, 0);
    if (c.kind == SheetChart::Kind::Bars)
        chart_axis_set_reverse(chart->y_axis);
    if (c.series.size() > 1) {
        chart_legend_set_position(chart, LXW_CHART_LEGEND_BOTTOM);
        chart_legend_set_font(chart, &font);
    } else {
        chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
    }
    lxw_chart_options options{};
    options.x_scale = c.widthPx / 480.0;
    options.y_scale = c.heightPx / 288.0;
    const lxw_error rc = worksheet_insert_chart_opt(m_sheet, lxw_row_t(c.row - 1), lxw_col_t(c.col - 1), chart, &options);
    if (rc != LXW_NO_ERROR)
        fail(rc);
}

} // namespace qh
