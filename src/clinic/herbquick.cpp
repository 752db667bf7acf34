#include "clinic/herbquick.h"
#include "base/textutil.h"
#include "core/herbs.h"

#include <QRegularExpression>

namespace qh::clinic {

void HerbQuick::setDrugs(const QStringList &names, const QHash<QString, QString> &units,
                         const QHash<QString, qint64> &prescribed)
{
    m_matcher = pinyin::Matcher(pinyin::NameKind::Herb);
    m_units.clear();
    m_matcher.reserve(int(names.size()));
    for (const QString &n : names) {
        const QString name = trimSpaces(n);
        if (name.isEmpty())
            continue;
        m_matcher.add(name, prescribed.value(name));
        m_units << units.value(name);
    }
}

void HerbQuick::loadDrugList(db::Session &s)
{
    QStringList names;
    QHash<QString, QString> units;
    auto q = s.query(QStringLiteral("select ycmc, jldw from ycjg"));
    while (q.next()) {
        names << q.text(0);
        units.insert(q.text(0), trimSpaces(q.text(1)));
    }
    setDrugs(names, units, prescribedCounts(s, names));
}

QList<QuickHerb> HerbQuick::candidates(const QString &typed, int limit) const
{
    QList<QuickHerb> out;
    for (const pinyin::Candidate &c : m_matcher.find(typed, limit))
        out.append({m_matcher.name(c.id), m_units.value(c.id)});
    return out;
}

std::optional<QString> HerbQuick::dose(const QString &typed)
{
    static const QRegularExpression form(QStringLiteral(R"(^\d{1,4}(\.\d{1,2})?$)"));
    const QString text = toHalfWidth(typed).trimmed();
    if (!form.match(text).hasMatch() || text.toDouble() <= 0)
        return std::nullopt;
    return text;
}

QHash<QString, qint64> HerbQuick::prescribedCounts(db::Session &s, const QStringList &names, int visits)
{
    QHash<QString, qint64> counts;
    const herbs::NameFinder finder(names);
    auto q = s.query(QStringLiteral("select blcf from hzzdzl order by rowid desc limit ?"), visits);
    while (q.next())
        for (const herbs::Mention &m : finder.find(q.text(0)))
            ++counts[m.name];
    return counts;
}

} // namespace qh::clinic
