#include "stock/druglookup.h"

#include "base/textutil.h"
#include "core/herbs.h"

#include <algorithm>
#include <atomic>

namespace qh::stock {

namespace {

std::atomic<quint64> g_drugListVersion{0};

// The weight of a prescribed drug: above every other, earlier mentions first.
constexpr qint64 PreferredWeight = qint64(1) << 40;

} // namespace

quint64 drugListVersion() { return g_drugListVersion.load(); }
void drugListChanged() { ++g_drugListVersion; }

QString codeKey(const QString &code)
{
    QString key = trimSpaces(code);
    for (QChar &c : key)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return key;
}

DrugLookup::DrugLookup() : m_matcher(pinyin::NameKind::Herb) {}

std::vector<LookupDrug> DrugLookup::read(db::Session &s)
{
    std::vector<LookupDrug> out;
    auto q = s.query(QStringLiteral("select ycbm, ycmc, jldw, ycdj from ycjg where ycbm is not null order by ycbm"));
    while (q.next())
        out.push_back({q.text(0), q.text(1), q.text(2), q.money(3)});
    return out;
}

bool DrugLookup::storeHasCode(db::Session &s, const QString &typed)
{
    const QString code = trimSpaces(typed);
    if (code.isEmpty())
        return false;
    return s.scalarInt(QStringLiteral("select count(*) from ycjg where ycbm = ?"), code) > 0;
}

void DrugLookup::setDrugs(std::vector<LookupDrug> drugs)
{
    m_drugs = std::move(drugs);
    m_matcher = pinyin::Matcher(pinyin::NameKind::Herb);
    m_matcher.reserve(size());
    m_byCode.clear();
    m_byName.clear();
    m_byCode.reserve(size());
    m_byName.reserve(size());
    for (int i = 0; i < size(); ++i) {
        const LookupDrug &d = m_drugs[size_t(i)];
        // The code is matched as typed text: "MH" and "mh" find it, so does its start.
        m_matcher.add(d.name, 0, {d.code});
        m_byCode.insert(codeKey(d.code), i);
        m_byName.insert(trimSpaces(d.name), i);
    }
    applyPreference();
}

bool DrugLookup::isCode(const QString &typed) const
{
    const QString key = codeKey(typed);
    return !key.isEmpty() && m_byCode.contains(key);
}

bool DrugLookup::offers(const QString &typed) const
{
    const QString q = pinyin::normalize(typed);
    if (q.isEmpty() || isCode(typed))
        return false;
    return std::any_of(q.begin(), q.end(), [](QChar c) { return c < u'0' || c > u'9'; });
}

void DrugLookup::preferPrescription(const QString &prescription)
{
    m_prescription = prescription;
    applyPreference();
}

void DrugLookup::applyPreference()
{
    m_preferred.assign(m_drugs.size(), false);
    for (int i = 0; i < size(); ++i)
        m_matcher.setWeight(i, 0);
    if (m_prescription.isEmpty() || m_drugs.empty())
        return;
    QStringList names;
    names.reserve(size());
    for (const LookupDrug &d : m_drugs)
        names << trimSpaces(d.name);
    const herbs::NameFinder finder(names);
    qint64 weight = PreferredWeight;
    for (const herbs::Mention &m : finder.find(m_prescription)) {
        const auto it = m_byName.constFind(m.name);
        if (it == m_byName.constEnd() || m_preferred[size_t(*it)])
            continue;
        m_preferred[size_t(*it)] = true;
        m_matcher.setWeight(*it, weight--);
    }
}

QList<int> DrugLookup::find(const QString &typed, int limit) const
{
    const QList<pinyin::Candidate> found = m_matcher.find(typed, -1);
    QList<int> out;
    out.reserve(limit < 0 ? found.size() : std::min<qsizetype>(found.size(), limit));
    // The prescribed drugs first, in the matcher's order, then the others.
    for (const bool prescribed : {true, false})
        for (const pinyin::Candidate &c : found) {
            if (limit >= 0 && out.size() >= limit)
                return out;
            if (m_preferred[size_t(c.id)] == prescribed)
                out << c.id;
        }
    return out;
}

QString DrugLookup::suggestCode(const QString &name, int maxLength) const
{
    const QString n = trimSpaces(name);
    if (n.isEmpty() || m_byName.contains(n) || maxLength <= 0)
        return {};
    QString initials;
    for (const pinyin::Unit &u : pinyin::unitsOf(n, pinyin::NameKind::Herb)) {
        if (u.readings.isEmpty())
            continue; // a character without a reading gives no letter
        const QChar first = u.readings.first().at(0);
        if (first.unicode() < 0x80)
            initials += first.toUpper();
    }
    if (initials.isEmpty())
        return {};
    initials.truncate(maxLength);
    if (!isCode(initials))
        return initials;
    for (int k = 2;; ++k) {
        const QString suffix = QString::number(k);
        if (suffix.size() >= maxLength)
            return {};
        const QString candidate = initials.left(maxLength - int(suffix.size())) + suffix;
        if (!isCode(candidate))
            return candidate;
    }
}

} // namespace qh::stock
