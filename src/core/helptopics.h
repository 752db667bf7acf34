#pragma once
// The fixed texts of the help window, by topic code.
#include <QString>

namespace qh {

<<<<<<< HEAD
// "MZ", "F-D", "YCKC", "BM", "FJ", "MM", "JYTJ"; an unknown code gives "".
=======
// "MZ", "F-D", "YCKC", "FZSF", "BM", "MM"; an unknown code gives "".
>>>>>>> h-worklist
QString helpTopicText(const QString &code);

} // namespace qh
