#pragma once
// A chart on screen: the drawing of query/charts.h in the widget's face on a white ground,
// and the value under the mouse pointer as a tool tip.
#include "query/charts.h"

#include <QWidget>
#include <functional>

class QPainter;

namespace qh::query::ui {

class ChartView : public QWidget {
    Q_OBJECT
public:
    using Drawing = std::function<charts::Layout(QPainter &, const QRectF &, const charts::Face &)>;
    explicit ChartView(const char *name, QWidget *parent = nullptr);

    void setDrawing(Drawing drawing);
    void clear();
    // What the last paint laid out.
    const charts::Layout &layout() const { return m_layout; }
    // The text the pointer at pos shows ("" over no column or bar).
    QString hoverText(const QPoint &pos) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    Drawing m_drawing;
    charts::Layout m_layout;
};

} // namespace qh::query::ui
