#pragma once
// The input of the lookup benchmarks: the demonstration herb names (QINGHE_HERB_LIST, set by the
// benchmark's target) and what a user types into a lookup box, one keystroke at a time.
#include <QFile>
#include <QStringList>

namespace qh::bench {

#ifdef QINGHE_HERB_LIST
// The names of the demonstration list, the first word of each line that is not a comment.
inline QStringList herbList()
{
    QFile f(QStringLiteral(QINGHE_HERB_LIST));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("herb list missing: %s", QINGHE_HERB_LIST);
    QStringList out;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n'))
        if (!line.startsWith(u'#') && !line.trimmed().isEmpty())
            out << line.section(u' ', 0, 0);
    return out;
}
#endif

// "hq" is typed as "h", then "hq".
inline QStringList keystrokes(const QStringList &words)
{
    QStringList out;
    for (const QString &w : words)
        for (int i = 1; i <= w.size(); ++i)
            out << w.left(i);
    return out;
}

} // namespace qh::bench
