#pragma once
// The fixed texts of the help window, by topic code.
#include <QString>

namespace qh {

// "MZ", "F-D", "YCKC", "FZSF", "BM", "FJ", "MM", "JYTJ"; an unknown code gives "".
QString helpTopicText(const QString &code);

} // namespace qh
