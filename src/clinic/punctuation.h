#pragma once
#include <QString>

namespace qh::clinic {

// The stored form of the long texts of a visit (history, plan, prescription, directions):
//  1. a CR LF pair at the very start is dropped;
//  2. "\" -> "、", "," -> "，", ";" -> "；";
//  3. "." -> "。", except that a point (typed "." or "。") from the second character on stays or
//     becomes "." when it stands between two digits or right before "《"; a "." first is "。";
//  4. a line feed without a carriage return before it is dropped;
//  5. everything else is copied;
//  6. a result that is blank becomes two spaces "  ".
// The input is trimmed of spaces first.
QString NormalizePunctuation(const QString &text);

} // namespace qh::clinic
