#include "query/statisticsreport.h"

#include "core/modutarnxt.h"
#include "core/spreadsheet.h"
#include "base/textutil.h"

#include <QDir>
#include <QPaintDevice>
#include <QPainter>

namespace qh::query::statisticsreport {

namespace {

QColor colour(quint32 rgb) { return QColor::fromRgb(QRgb(rgb)); }

QStringList monthLabels(const Statistics &st)
{
    QStringList out;
    for (const MonthFigures &m : st.months)
        out << statistics::monthText(m.month);
    return out;
}

Money measure(const HerbFigures &h, HerbOrder order)
{
    switch (order) {
    case HerbOrder::Quantity: return h.quantity;
    case HerbOrder::Revenue: return h.revenue;
    case HerbOrder::Cost: return h.cost;
    }
    return Money();
}

} // namespace

QString rangeText(const MonthRange &range)
{
    return statistics::monthText(range.first) + QStringLiteral(" 至 ") + statistics::monthText(range.last);
}

charts::ColumnChart patientsChart(const Statistics &st)
{
    charts::ColumnChart c;
    c.title = QStringLiteral("每月就诊人数");
    c.categories = monthLabels(st);
    charts::Series fresh{QStringLiteral("初诊"), colour(NewColour), {}};
    charts::Series again{QStringLiteral("复诊"), colour(ReturningColour), {}};
    for (const MonthFigures &m : st.months) {
        fresh.values.push_back(m.newPatients);
        again.values.push_back(m.returningPatients);
    }
    c.series = {fresh, again};
    c.valueText = charts::countText;
    return c;
}

charts::ColumnChart revenueChart(const Statistics &st)
{
    charts::ColumnChart c;
    c.title = QStringLiteral("每月处方收入（元）");
    c.categories = monthLabels(st);
    charts::Series revenue{QStringLiteral("处方收入"), colour(RevenueColour), {}};
    for (const MonthFigures &m : st.months)
        revenue.values.push_back(m.revenue.toDouble());
    c.series = {revenue};
    c.valueText = charts::amountText;
    return c;
}

QString herbChartTitle(HerbOrder order)
{
    switch (order) {
    case HerbOrder::Quantity: return QStringLiteral("药材出库数量排行");
    case HerbOrder::Revenue: return QStringLiteral("药材处方收入排行（元）");
    case HerbOrder::Cost: return QStringLiteral("药材出库成本排行（元，已结帐月份）");
    }
    return {};
}

charts::BarChart herbChart(const Statistics &st, HerbOrder order)
{
    charts::BarChart c;
    c.title = herbChartTitle(order);
    c.color = colour(HerbColour);
    c.valueText = charts::amountText;
    const std::vector<HerbFigures> rows = st.ranking(order, statistics::TopHerbs);
    for (const HerbFigures &h : rows) {
        if (h.other)
            c.other = int(c.names.size());
        c.names << h.name;
        c.values.push_back(measure(h, order).toDouble());
    }
    return c;
}

QString summaryText(const Statistics &st)
{
    // A patient new in one month and back in a later one is new over the range: the months'
    // returning patients are in the monthly figures, not here.
    QString t = QStringLiteral("就诊%1人次，%2人，其中初诊%3人；处方收入%4元。")
                    .arg(charts::countText(st.visits()), charts::countText(st.patients), charts::countText(st.newPatients),
                         st.revenue().toDisplay());
    const int closed = st.closedMonths();
    if (closed == 0)
        return t + QStringLiteral("所选月份尚未结帐，出库成本在结帐后统计。");
    return t + QStringLiteral("已结帐%1个月：出库成本%2元，毛利%3元。")
                   .arg(closed)
                   .arg(st.cost().toDisplay(), (st.closedRevenue() - st.cost()).toDisplay());
}

// ---------------------------------------------------------------------------------------------
// The workbook

namespace {

const QString Font = QStringLiteral("宋体");
constexpr double FontSize = 10;
const QString Amount = QStringLiteral("#,##0.00_ ");
const QString Count = QStringLiteral("#,##0_ ");
constexpr int ChartRows = 16; // rows a chart of 288 pixels covers, with a margin

class Sheet {
public:
    explicit Sheet(Spreadsheet &s) : m_s(s) {}
    void text(int r, int c, const QString &t) { m_s.setText(r, c, t); }
    void count(int r, int c, int v)
    {
        m_s.setNumber(r, c, v);
        m_s.setNumberFormat(r, c, Count);
    }
    void amount(int r, int c, Money v)
    {
        m_s.setMoney(r, c, v);
        m_s.setNumberFormat(r, c, Amount);
    }
    void headers(int r, const QStringList &h)
    {
        for (int c = 0; c < h.size(); ++c)
            m_s.setText(r, c + 1, h[c]);
    }

private:
    Spreadsheet &m_s;
};

// The monthly table from row `top` with its two charts beside it; returns the next free row.
int writeMonths(Spreadsheet &sheet, const Statistics &st, int top)
{
    Sheet w(sheet);
    w.text(top, 1, QStringLiteral("月度统计"));
    w.headers(top + 1, {QStringLiteral("月份"), QStringLiteral("就诊人次"), QStringLiteral("就诊人数"), QStringLiteral("初诊人数"),
                        QStringLiteral("复诊人数"), QStringLiteral("处方收入"), QStringLiteral("结帐"), QStringLiteral("出库成本"),
                        QStringLiteral("毛利")});
    int r = top + 2;
    const int first = r;
    for (const MonthFigures &m : st.months) {
        w.text(r, 1, statistics::monthText(m.month));
        w.count(r, 2, m.visits);
        w.count(r, 3, m.patients);
        w.count(r, 4, m.newPatients);
        w.count(r, 5, m.returningPatients);
        w.amount(r, 6, m.revenue);
        if (m.closed) {
            w.text(r, 7, QStringLiteral("已结帐"));
            w.amount(r, 8, m.cost);
            w.amount(r, 9, m.margin());
        } else {
            w.text(r, 7, QStringLiteral("未结帐"));
        }
        ++r;
    }
    const int last = r - 1;
    w.text(r, 1, QStringLiteral("合计"));
    w.count(r, 2, st.visits());
    w.count(r, 3, st.patients);
    w.count(r, 4, st.newPatients);
    w.count(r, 5, st.returningPatients());
    w.amount(r, 6, st.revenue());
    w.text(r, 7, QStringLiteral("已结帐%1个月").arg(st.closedMonths()));
    w.amount(r, 8, st.cost());
    w.amount(r, 9, st.closedRevenue() - st.cost());

    SheetChart patients;
    patients.kind = SheetChart::Kind::StackedColumns;
    patients.title = QStringLiteral("每月就诊人数");
    patients.firstRow = first;
    patients.lastRow = last;
    patients.categoryCol = 1;
    patients.series = {{QStringLiteral("初诊"), 4, NewColour}, {QStringLiteral("复诊"), 5, ReturningColour}};
    patients.row = top;
    patients.col = 11;
    sheet.addChart(patients);
    SheetChart revenue = patients;
    revenue.kind = SheetChart::Kind::Columns;
    revenue.title = QStringLiteral("每月处方收入（元）");
    revenue.series = {{QStringLiteral("处方收入"), 6, RevenueColour}};
    revenue.fromZero = std::none_of(st.months.begin(), st.months.end(), [](const MonthFigures &m) { return m.revenue < Money(); });
    revenue.row = top + ChartRows;
    sheet.addChart(revenue);
    return std::max(r + 2, top + 2 * ChartRows + 1);
}

int writeHerbs(Spreadsheet &sheet, const Statistics &st, HerbOrder order, int top)
{
    Sheet w(sheet);
    const std::vector<HerbFigures> rows = st.ranking(order, statistics::TopHerbs);
    w.text(top, 1, herbChartTitle(order));
    w.headers(top + 1, {QStringLiteral("名次"), QStringLiteral("药材名称"), QStringLiteral("出库数量"), QStringLiteral("处方收入"),
                        QStringLiteral("出库成本（已结帐月份）")});
    int r = top + 2;
    int lastRanked = r - 1;
    for (const HerbFigures &h : rows) {
        if (h.other) {
            w.text(r, 2, QStringLiteral("%1（%2种）").arg(h.name).arg(h.herbs));
        } else {
            w.count(r, 1, r - top - 1);
            w.text(r, 2, h.name);
            lastRanked = r;
        }
        w.amount(r, 3, h.quantity);
        w.amount(r, 4, h.revenue);
        w.amount(r, 5, h.cost);
        ++r;
    }
    if (rows.empty())
        w.text(r++, 2, order == HerbOrder::Cost ? QStringLiteral("所选月份尚未结帐") : QStringLiteral("没有处方收款出库"));
    if (lastRanked >= top + 2) {
        SheetChart bars;
        bars.kind = SheetChart::Kind::Bars;
        bars.title = herbChartTitle(order);
        bars.firstRow = top + 2;
        bars.lastRow = lastRanked;
        bars.categoryCol = 2;
        const int col = order == HerbOrder::Quantity ? 3 : order == HerbOrder::Revenue ? 4 : 5;
        bars.series = {{herbChartTitle(order), col, HerbColour}};
        bars.row = top;
        bars.col = 11;
        bars.heightPx = 440;
        bars.fromZero = std::none_of(rows.begin(), rows.end(), [order](const HerbFigures &h) {
            return (order == HerbOrder::Quantity ? h.quantity : order == HerbOrder::Revenue ? h.revenue : h.cost) < Money();
        });
        sheet.addChart(bars);
    }
    return std::max(r + 2, top + 24);
}

// Visits of each doctor or department: one row each, the months across.
int writeGroups(Spreadsheet &sheet, const Statistics &st, const QString &title, const QString &what,
                const std::vector<GroupFigures> &groups, int top)
{
    Sheet w(sheet);
    w.text(top, 1, title);
    w.text(top + 1, 1, what);
    w.text(top + 1, 2, QStringLiteral("合计"));
    for (std::size_t m = 0; m < st.months.size(); ++m)
        w.text(top + 1, int(m) + 3, statistics::monthText(st.months[m].month));
    int r = top + 2;
    for (const GroupFigures &g : groups) {
        w.text(r, 1, g.name);
        w.count(r, 2, g.visits);
        for (std::size_t m = 0; m < g.perMonth.size(); ++m)
            w.count(r, int(m) + 3, g.perMonth[m]);
        ++r;
    }
    return r + 2;
}

} // namespace

QString workbookPath(const MonthRange &range) { return documentFilePath(rangeText(range) + QStringLiteral("经营统计表")); }

QString writeWorkbook(const Statistics &st, const QString &path)
{
    Spreadsheet sheet;
    sheet.setFont(Font, FontSize);
    sheet.setText(1, 1, QStringLiteral("经营统计表（%1）").arg(rangeText(st.range)));
    sheet.setText(2, 1, summaryText(st));
    int r = writeMonths(sheet, st, 4);
    for (HerbOrder order : {HerbOrder::Revenue, HerbOrder::Quantity, HerbOrder::Cost})
        r = writeHerbs(sheet, st, order, r);
    r = writeGroups(sheet, st, QStringLiteral("医师就诊人次"), QStringLiteral("诊断医师"), st.doctors, r);
    writeGroups(sheet, st, QStringLiteral("科室就诊人次"), QStringLiteral("诊断科室"), st.departments, r);
    sheet.setColumnWidth(1, 12);
    sheet.setColumnWidth(2, 14);
    for (int c = 3; c <= 9; ++c)
        sheet.setColumnWidth(c, 13);
    sheet.setColumnWidth(5, 20);
    sheet.save(path);
    return path;
}

// ---------------------------------------------------------------------------------------------
// The page

QPageSize pageSize() { return QPageSize(QPageSize::A4); }

void drawPage(QPainter &p, const Statistics &st, const QString &unit, const QDate &printed)
{
    clinic::installPrintFontSubstitution();
    const QString family = QString::fromUtf16(clinic::PrintFontFamily);
    const double mm = (p.device() ? p.device()->logicalDpiX() : 96) / 25.4;
    const auto box = [mm](double x, double y, double w, double h) { return QRectF(x * mm, y * mm, w * mm, h * mm); };
    const auto write = [&](const QRectF &r, int align, const QString &text, double points, bool bold) {
        QFont f(family);
        f.setPointSizeF(points);
        f.setBold(bold);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(r, align | Qt::TextWordWrap, text);
    };
    constexpr double Left = 18, Width = 174;
    write(box(Left, 14, Width, 10), Qt::AlignHCenter | Qt::AlignVCenter, trimSpaces(unit) + QStringLiteral("经营统计"), 16, true);
    write(box(Left, 25, Width, 6), Qt::AlignHCenter | Qt::AlignVCenter, rangeText(st.range), 10, false);
    write(box(Left, 33, Width, 12), Qt::AlignLeft | Qt::AlignTop, summaryText(st), 10, false);
    const charts::Face face{family, 8};
    charts::drawColumns(p, box(Left, 48, Width, 62), patientsChart(st), face);
    charts::drawColumns(p, box(Left, 116, Width, 62), revenueChart(st), face);
    charts::drawBars(p, box(Left, 184, Width, 92), herbChart(st, HerbOrder::Revenue), face);
    write(box(Left, 280, Width, 6), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("打印日期：") + dateText(printed), 9, false);
}

QString pdfPath(const MonthRange &range)
{
    return QDir(Modutarnxt::documentsPath())
        .filePath(DocumentName + u'-' + statistics::monthText(range.first) + QStringLiteral("至") +
                  statistics::monthText(range.last) + QStringLiteral(".pdf"));
}

clinic::PrintResult printPage(const Statistics &st, const QString &unit, const QDate &printed, PagePrinter *printer)
{
    return clinic::printDocument(DocumentName, pageSize(), pdfPath(st.range), printer,
                                 [&](QPainter &p) { drawPage(p, st, unit, printed); });
}

} // namespace qh::query::statisticsreport
