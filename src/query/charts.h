#pragma once
// The charts of the statistics, drawn with a QPainter on whatever device it paints (the
// window, a printed page, a PDF, an image): columns for months, horizontal bars for herbs.
// Sizes are given in millimetres of the device and the texts in points of the face, so the
// same drawing prints at its size on paper and shows on screen. Each drawing returns what it
// laid out: the box of every text it drew (no two of them overlap) and the box of every column
// or bar with the text that names its value, for the window's hover.
//
//   QPainter p(&image);
//   const charts::Layout l = charts::drawColumns(p, QRectF(0, 0, 800, 300), chart, face);
#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QPainter;

namespace qh::query::charts {

// An axis from 0 to max in steps of 1, 2 or 5 times a power of ten, at most maxSteps steps,
// max the first step at or above the largest value (one step when it is 0).
struct Axis {
    double step = 1;
    double max = 1;
    int steps() const;
};
Axis niceAxis(double largest, int maxSteps);

// The text of the drawing: the face and its size in points.
struct Face {
    QString family;
    double pointSize = 9;
};

struct Layout {
    QRectF plot;                // the area inside the axes
    std::vector<QRectF> labels; // every text drawn, as its box
    struct Mark {
        QRectF box;             // a column (or its part of one series) or a bar
        int index = 0;          // category or row
        int series = 0;
        QString text;           // "2024-03 初诊：12"
    };
    std::vector<Mark> marks;
    const Mark *markAt(const QPointF &point) const;
};

// Texts of the values: counts "1,234", amounts "9,876" or "1.23万".
QString countText(double value);
QString amountText(double value);

struct Series {
    QString name;
    QColor color;
    std::vector<double> values; // one per category, never negative
};

// Columns, one per category (month); several series are stacked and get a legend. A column's
// total is written on top where it fits without touching another text; category labels are
// written under every k-th column, k as small as lets them stand apart.
struct ColumnChart {
    QString title;
    QStringList categories;
    std::vector<Series> series;
    std::function<QString(double)> valueText = countText;
};
Layout drawColumns(QPainter &p, const QRectF &area, const ColumnChart &chart, const Face &face);

// Horizontal bars, one row per name from the top; the names on the left (longer than
// NameChars characters cut with "…"), each value after its bar. The row `other` (the rest,
// -1: none) does not set the scale when it would dwarf the rest: it is drawn cut at the
// axis's end with a break and its value written in it.
struct BarChart {
    QString title;
    QStringList names;
    std::vector<double> values;
    int other = -1;
    QColor color;
    std::function<QString(double)> valueText = countText;
};
inline constexpr int NameChars = 8;
Layout drawBars(QPainter &p, const QRectF &area, const BarChart &chart, const Face &face);

// The text drawn when a chart has nothing to show.
QString emptyText(); // "没有数据"

} // namespace qh::query::charts
