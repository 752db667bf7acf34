#pragma once
// Text, number and date helpers shared by every window's logic.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace qh {

// Full-width ASCII forms (as typed in a Chinese input method's full-width mode) and the
// ideographic space become their ASCII forms; everything else is kept.
QString toHalfWidth(const QString &text);

// Length as the database counts it: Unicode code points (a character outside the basic plane,
// such as an emoji, counts once). Every length limit of the program is checked with this.
int charCount(const QString &text);

// Removes spaces (ASCII and ideographic) from both ends; other characters are kept.
QString trimSpaces(const QString &text);

// True for digits with an optional sign, "," group separators and one decimal point,
// blanks around allowed; full-width digits and signs count as ASCII.
bool isNumeric(const QString &text);

// Masked date boxes: "yyyy-mm-dd", unfilled places shown as "_".
inline constexpr char16_t MaskBlank = u'_';
QString emptyDateMask();                      // "____-__-__"
QString dateText(const QDate &date);          // "2024-03-05"
// A complete, real calendar date typed in a masked box; nothing for "2024-02-30" or "2024-1_-__".
std::optional<QDate> parseDateText(const QString &text);
bool isDateText(const QString &text);

// The stored form of Date fields: "yyyy-MM-dd HH:mm:ss", sortable as text.
QString dbDateTime(const QDateTime &value);
QString dbDate(const QDate &day);             // midnight of the day
std::optional<QDateTime> fromDbDateTime(const QString &stored);

// A list of faults as a refusal shows it: the first `shown` joined by "；" and, when there
// are more, "……另有 N 处问题" for the rest, so a long list never makes a box taller than the screen.
QString faultSummary(const QStringList &faults, int shown = 3);

// A LIKE pattern that matches texts containing the given text literally (escape character "\").
QString likeContains(const QString &text);

} // namespace qh
