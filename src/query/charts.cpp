#include "query/charts.h"

#include "base/money.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

namespace qh::query::charts {

int Axis::steps() const { return int(std::lround(max / step)); }

Axis niceAxis(double largest, int maxSteps)
{
    maxSteps = std::max(1, maxSteps);
    if (!(largest > 0))
        return {1, 1};
    const double raw = largest / maxSteps;
    double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (;;) {
        for (double m : {1.0, 2.0, 5.0}) {
            const double step = std::max(1.0, m * magnitude);
            const double steps = std::ceil(largest / step - 1e-9);
            if (steps <= maxSteps)
                return {step, std::max(1.0, steps) * step};
        }
        magnitude *= 10;
    }
}

const Layout::Mark *Layout::markAt(const QPointF &point) const
{
    for (const Mark &m : marks)
        if (m.box.contains(point))
            return &m;
    return nullptr;
}

QString countText(double value) { return Money::fromInt(std::llround(value)).toDisplay(0); }

QString amountText(double value)
{
    if (std::fabs(value) < 10000)
        return Money::fromInt(std::llround(value)).toDisplay(0);
    // 万 with at most three significant decimals, trailing zeros dropped.
    const double w = value / 10000;
    const int decimals = std::fabs(w) < 10 ? 2 : std::fabs(w) < 100 ? 1 : 0;
    QString t = QString::number(w, 'f', decimals);
    if (t.contains(u'.')) {
        while (t.endsWith(u'0'))
            t.chop(1);
        if (t.endsWith(u'.'))
            t.chop(1);
    }
    if (decimals == 0)
        t = Money::fromInt(std::llround(w)).toDisplay(0);
    return t + QStringLiteral("万");
}

QString emptyText() { return QStringLiteral("没有数据"); }

namespace {

const QColor GridColour(0xDD, 0xDD, 0xDD);
const QColor AxisColour(0x80, 0x80, 0x80);

// What every drawing shares: the device's millimetre, the faces and their metrics, the texts.
class Canvas {
public:
    Canvas(QPainter &p, const Face &face)
        : m_p(p), m_font(face.family), m_bold(face.family), m_fm(font(m_font, face.pointSize, false), p.device()),
          m_boldFm(font(m_bold, face.pointSize + 1, true), p.device())
    {
        const QPaintDevice *d = p.device();
        mm = (d ? d->logicalDpiX() : 96) / 25.4;
        m_p.setFont(m_font);
    }

    double mm;
    Layout out;

    double height() const { return m_fm.height(); }
    double width(const QString &t) const { return m_fm.horizontalAdvance(t); }
    double boldHeight() const { return m_boldFm.height(); }
    double boldWidth(const QString &t) const { return m_boldFm.horizontalAdvance(t); }

    void text(const QRectF &box, int align, const QString &t, const QColor &colour = Qt::black)
    {
        m_p.setPen(colour);
        m_p.drawText(box, align | Qt::AlignVCenter | Qt::TextSingleLine, t);
        out.labels.push_back(box);
    }
    void title(const QRectF &box, const QString &t)
    {
        m_p.setFont(m_bold);
        text(box, Qt::AlignLeft, t);
        m_p.setFont(m_font);
    }
    void line(const QPointF &a, const QPointF &b, const QColor &colour, double widthMm = 0.2)
    {
        m_p.setPen(QPen(colour, widthMm * mm));
        m_p.drawLine(a, b);
    }
    void fill(const QRectF &r, const QColor &colour) { m_p.fillRect(r, colour); }
    QPainter &painter() { return m_p; }

private:
    static const QFont &font(QFont &f, double points, bool bold)
    {
        f.setPointSizeF(points);
        f.setBold(bold);
        f.setKerning(false);
        return f;
    }

    QPainter &m_p;
    QFont m_font, m_bold;
    QFontMetricsF m_fm, m_boldFm;
};

// The title row; returns the y below it.
double drawTitle(Canvas &c, const QRectF &area, const QString &title)
{
    if (title.isEmpty())
        return area.top();
    const QRectF box(area.left(), area.top(), std::min(c.boldWidth(title), area.width()), c.boldHeight());
    c.title(box, title);
    return box.bottom();
}

// The message of a chart without data, centred in the rest of the area.
void drawEmpty(Canvas &c, const QRectF &area, double top)
{
    const QString t = emptyText();
    const double w = c.width(t), h = c.height();
    const QRectF rest(area.left(), top, area.width(), std::max(h, area.bottom() - top));
    c.text(QRectF(rest.center().x() - w / 2, rest.center().y() - h / 2, w, h), Qt::AlignCenter, t, AxisColour);
}

// Moves a box horizontally into [left, right] (as far as it fits).
QRectF within(QRectF box, double left, double right)
{
    if (box.right() > right)
        box.moveRight(right);
    if (box.left() < left)
        box.moveLeft(left);
    return box;
}

} // namespace

Layout drawColumns(QPainter &p, const QRectF &area, const ColumnChart &chart, const Face &face)
{
    p.save();
    Canvas c(p, face);
    const double gap = 1.5 * c.mm, th = c.height();
    double top = drawTitle(c, area, chart.title);

    // The legend of stacked series: in the title row when it fits, else in its own row.
    if (chart.series.size() > 1) {
        const double square = th * 0.6;
        double legend = 0;
        for (const Series &s : chart.series)
            legend += square + gap / 2 + c.width(s.name) + 2 * gap;
        const double titleRight = chart.title.isEmpty() ? area.left() : area.left() + c.boldWidth(chart.title) + 2 * gap;
        const bool beside = titleRight + legend <= area.right();
        double x = beside ? area.right() - legend : area.left();
        const double y = beside ? area.top() + (c.boldHeight() - th) / 2 : top + gap / 2;
        for (const Series &s : chart.series) {
            c.fill(QRectF(x, y + (th - square) / 2, square, square), s.color);
            x += square + gap / 2;
            const double w = c.width(s.name);
            c.text(QRectF(x, y, w, th), Qt::AlignLeft, s.name);
            x += w + 2 * gap;
        }
        top = std::max(top, y + th);
    }
    top += gap;

    const int n = int(chart.categories.size());
    std::vector<double> totals(std::size_t(std::max(0, n)), 0.0);
    for (const Series &s : chart.series)
        for (int i = 0; i < n && i < int(s.values.size()); ++i)
            totals[std::size_t(i)] += std::max(0.0, s.values[std::size_t(i)]);
    if (n == 0 || chart.series.empty()) {
        drawEmpty(c, area, top);
        p.restore();
        return c.out;
    }

    // Rows: headroom for the values on top, the plot, the category labels.
    const double below = th / 2 + gap;
    const double plotTop = top + th;
    const double plotBottom = area.bottom() - below - th;
    const int maxSteps = std::clamp(int((plotBottom - plotTop) / (th * 1.8)), 1, 8);
    const Axis axis = niceAxis(*std::max_element(totals.begin(), totals.end()), maxSteps);
    QStringList ticks;
    double tickWidth = 0;
    for (int k = 0; k <= axis.steps(); ++k) {
        ticks << chart.valueText(k * axis.step);
        tickWidth = std::max(tickWidth, c.width(ticks.back()));
    }
    const QRectF plot(QPointF(area.left() + tickWidth + gap, plotTop), QPointF(area.right() - gap / 2, plotBottom));
    c.out.plot = plot;
    if (plot.width() <= 0 || plot.height() <= 0) {
        p.restore();
        return c.out;
    }

    const auto yOf = [&](double v) { return plot.bottom() - v / axis.max * plot.height(); };
    for (int k = 0; k <= axis.steps(); ++k) {
        const double y = yOf(k * axis.step);
        if (k > 0)
            c.line(QPointF(plot.left(), y), QPointF(plot.right(), y), GridColour, 0.15);
        c.text(QRectF(area.left(), y - th / 2, tickWidth, th), Qt::AlignRight, ticks[k]);
    }

    // The columns, stacked from the axis up.
    const double slot = plot.width() / n;
    const double width = slot * 0.7;
    std::vector<double> tops(static_cast<std::size_t>(n), 0.0);
    for (int i = 0; i < n; ++i) {
        const double x = plot.left() + i * slot + (slot - width) / 2;
        double base = plot.bottom();
        for (std::size_t s = 0; s < chart.series.size(); ++s) {
            const std::vector<double> &values = chart.series[s].values;
            const double v = i < int(values.size()) ? std::max(0.0, values[std::size_t(i)]) : 0.0;
            const double h = v / axis.max * plot.height();
            const QRectF bar(x, base - h, width, h);
            if (h > 0)
                c.fill(bar, chart.series[s].color);
            QString what = chart.categories[i];
            if (chart.series.size() > 1)
                what += u' ' + chart.series[s].name;
            // The hover box spans the slot's width and at least a few millimetres in height.
            QRectF hover(plot.left() + i * slot, bar.top(), slot, std::max(bar.height(), 0.0));
            if (s + 1 == chart.series.size() && hover.height() < 2 * c.mm)
                hover.setTop(hover.bottom() - 2 * c.mm);
            c.out.marks.push_back({hover, i, int(s), what + QStringLiteral("：") + chart.valueText(v)});
            base -= h;
        }
        tops[std::size_t(i)] = base;
    }
    c.line(plot.bottomLeft(), plot.bottomRight(), AxisColour);
    c.line(plot.bottomLeft(), plot.topLeft(), AxisColour);

    // The totals on top, each where it touches neither another value nor a taller column.
    std::vector<QRectF> values;
    for (int i = 0; i < n; ++i) {
        if (totals[std::size_t(i)] <= 0)
            continue;
        const QString t = chart.valueText(totals[std::size_t(i)]);
        const double w = c.width(t);
        const double cx = plot.left() + (i + 0.5) * slot;
        const QRectF box = within(QRectF(cx - w / 2, tops[std::size_t(i)] - th, w, th), plot.left(), area.right());
        if (!values.empty() && box.left() < values.back().right() + gap / 2)
            continue;
        bool clear = true;
        const int from = std::max(0, int((box.left() - plot.left()) / slot));
        const int to = std::min(n - 1, int((box.right() - plot.left()) / slot));
        for (int j = from; j <= to && clear; ++j)
            clear = tops[std::size_t(j)] >= box.bottom();
        if (!clear)
            continue;
        c.text(box, Qt::AlignCenter, t);
        values.push_back(box);
    }

    // The categories under every k-th column.
    double widest = 0;
    for (const QString &t : chart.categories)
        widest = std::max(widest, c.width(t));
    int k = 1;
    for (int step : {1, 2, 3, 4, 6, 12, 24, 36, 60, 120, 240, 480, 960}) {
        k = step;
        if (step * slot >= widest + gap)
            break;
    }
    double lastRight = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < n; i += k) {
        const double w = c.width(chart.categories[i]);
        const double cx = plot.left() + (i + 0.5) * slot;
        const QRectF box = within(QRectF(cx - w / 2, plot.bottom() + below, w, th), area.left(), area.right());
        if (box.left() < lastRight + gap / 2)
            continue;
        c.text(box, Qt::AlignCenter, chart.categories[i]);
        lastRight = box.right();
    }
    p.restore();
    return c.out;
}

Layout drawBars(QPainter &p, const QRectF &area, const BarChart &chart, const Face &face)
{
    p.save();
    Canvas c(p, face);
    const double gap = 1.5 * c.mm, th = c.height();
    const double top = drawTitle(c, area, chart.title) + gap;
    const int n = int(std::min(chart.names.size(), qsizetype(chart.values.size())));
    if (n == 0) {
        drawEmpty(c, area, top);
        p.restore();
        return c.out;
    }

    const auto shownName = [](const QString &name) {
        return name.size() > NameChars ? name.left(NameChars - 1) + QStringLiteral("…") : name;
    };
    double nameWidth = 0, valueWidth = 0, rest = 0, all = 0;
    for (int r = 0; r < n; ++r) {
        const double v = std::max(0.0, chart.values[std::size_t(r)]);
        nameWidth = std::max(nameWidth, c.width(shownName(chart.names[r])));
        valueWidth = std::max(valueWidth, c.width(chart.valueText(v)));
        all = std::max(all, v);
        if (r != chart.other)
            rest = std::max(rest, v);
    }
    const bool broken = chart.other >= 0 && chart.other < n && rest > 0 && chart.values[std::size_t(chart.other)] > 1.5 * rest;
    const double largest = broken ? rest : all;

    const double left = area.left() + nameWidth + gap;
    const double right = area.right() - valueWidth - gap;
    // Rows at most a few lines of text tall: a short ranking keeps its bars thin, the axis under them.
    const double plotBottom = std::min(area.bottom() - th - gap, top + n * th * 2.4);
    // As many steps as let the tick labels stand apart.
    Axis axis;
    QStringList ticks;
    double tickWidth = 0;
    for (int maxSteps = 10; maxSteps >= 1; --maxSteps) {
        axis = niceAxis(largest, maxSteps);
        ticks.clear();
        tickWidth = 0;
        for (int k = 0; k <= axis.steps(); ++k) {
            ticks << chart.valueText(k * axis.step);
            tickWidth = std::max(tickWidth, c.width(ticks.back()));
        }
        if ((right - left) / axis.steps() >= tickWidth + gap)
            break;
    }
    const QRectF plot(QPointF(left, top), QPointF(right, plotBottom));
    c.out.plot = plot;
    if (plot.width() <= 0 || plot.height() <= 0) {
        p.restore();
        return c.out;
    }

    double lastRight = -std::numeric_limits<double>::infinity();
    for (int k = 0; k <= axis.steps(); ++k) {
        const double x = plot.left() + k * axis.step / axis.max * plot.width();
        if (k > 0)
            c.line(QPointF(x, plot.top()), QPointF(x, plot.bottom()), GridColour, 0.15);
        const double w = c.width(ticks[k]);
        const QRectF box = within(QRectF(x - w / 2, plot.bottom() + gap, w, th), area.left(), area.right());
        if (box.left() < lastRight + gap / 2)
            continue;
        c.text(box, Qt::AlignCenter, ticks[k]);
        lastRight = box.right();
    }

    const double row = plot.height() / n;
    const double thickness = row * 0.7;
    double lastName = -std::numeric_limits<double>::infinity(), lastValue = lastName;
    for (int r = 0; r < n; ++r) {
        const double v = std::max(0.0, chart.values[std::size_t(r)]);
        const double y = plot.top() + r * row;
        const bool cut = broken && r == chart.other;
        const double length = cut ? plot.width() : v / axis.max * plot.width();
        const QRectF bar(plot.left(), y + (row - thickness) / 2, length, thickness);
        if (length > 0)
            c.fill(bar, chart.color);
        if (cut) {
            // The break: two white slants across the bar near its end.
            const double x = plot.left() + plot.width() * 0.85;
            for (double dx : {0.0, 1.2 * c.mm})
                c.line(QPointF(x + dx - c.mm, bar.bottom()), QPointF(x + dx + c.mm, bar.top()), Qt::white, 0.5);
        }
        const double middle = y + row / 2;
        const QRectF name(area.left(), middle - th / 2, nameWidth, th);
        // A row too thin for its text leaves it to the hover; nothing reaches the tick labels.
        const double lowest = plot.bottom() + gap / 2;
        if (name.top() >= lastName && name.bottom() <= lowest) {
            c.text(name, Qt::AlignRight, shownName(chart.names[r]));
            lastName = name.bottom();
        }
        const QString t = chart.valueText(v);
        const QRectF value(bar.right() + gap / 2, middle - th / 2, c.width(t), th);
        if (value.top() >= lastValue && value.bottom() <= lowest) {
            c.text(value, Qt::AlignLeft, t);
            lastValue = value.bottom();
        }
        c.out.marks.push_back({QRectF(plot.left(), y, plot.width(), row), r, 0,
                               chart.names[r] + QStringLiteral("：") + t});
    }
    c.line(plot.topLeft(), plot.bottomLeft(), AxisColour);
    c.line(plot.bottomLeft(), plot.bottomRight(), AxisColour);
    p.restore();
    return c.out;
}

} // namespace qh::query::charts
