#include "query/ui/chartview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace qh::query::ui {

ChartView::ChartView(const char *name, QWidget *parent) : QWidget(parent)
{
    setObjectName(QLatin1String(name));
    setMouseTracking(true);
    setMinimumSize(320, 180);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ChartView::setDrawing(Drawing drawing)
{
    m_drawing = std::move(drawing);
    m_layout = {};
    update();
}

void ChartView::clear() { setDrawing({}); }

QString ChartView::hoverText(const QPoint &pos) const
{
    const charts::Layout::Mark *m = m_layout.markAt(QPointF(pos));
    return m ? m->text : QString();
}

void ChartView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!m_drawing) {
        m_layout = {};
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    const double margin = 8;
    m_layout = m_drawing(p, QRectF(rect()).adjusted(margin, margin, -margin, -margin), charts::Face{font().family(), font().pointSizeF()});
}

void ChartView::mouseMoveEvent(QMouseEvent *event)
{
    const QString text = hoverText(event->position().toPoint());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPosition().toPoint(), text, this);
    QWidget::mouseMoveEvent(event);
}

void ChartView::leaveEvent(QEvent *event)
{
    QToolTip::hideText();
    QWidget::leaveEvent(event);
}

} // namespace qh::query::ui
