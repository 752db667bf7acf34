#pragma once
// Every timed pause of the program goes through here, so tests can shorten them all; and the
// calendar day the program takes for today, so tests can set it.
#include <QDate>

namespace qh::clock {

// 1.0 in the program; tests set 0 so pauses only let pending events run.
void setScale(double scale);
double scale();
// The interval to give a timer for a nominal number of milliseconds.
int scaled(int milliseconds);
// Lets the given elapsed time pass while window events keep running. Elapsed time is
// measured on a monotonic clock, so changing the wall clock or midnight do not lengthen it.
void pause(int milliseconds);

// Today: the system's date, or the day a test set.
QDate today();
// Tests: the day today() gives from now on; an invalid date gives the system's date again.
void setToday(const QDate &day);

} // namespace qh::clock
