#include "base/clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>

namespace qh::clock {

namespace {
double g_scale = 1.0;
QDate g_today; // set by a test; invalid: the system's date
}

void setScale(double s) { g_scale = s < 0 ? 0 : s; }
double scale() { return g_scale; }
int scaled(int ms) { return int(ms * g_scale); }

void pause(int milliseconds)
{
    const int total = scaled(milliseconds);
    QElapsedTimer t;
    t.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (t.elapsed() < total)
            QThread::msleep(qMin<qint64>(10, total - t.elapsed()));
    } while (t.elapsed() < total);
}

QDate today() { return g_today.isValid() ? g_today : QDate::currentDate(); }
void setToday(const QDate &day) { g_today = day; }

} // namespace qh::clock
