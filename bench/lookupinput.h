#pragma once
// What a user types into a lookup box, one keystroke at a time: "hq" is "h", then "hq".
#include <QStringList>

namespace qh::bench {

inline QStringList keystrokes(const QStringList &words)
{
    QStringList out;
    for (const QString &w : words)
        for (int i = 1; i <= w.size(); ++i)
            out << w.left(i);
    return out;
}

} // namespace qh::bench
