#include "core/pinyin.h"
#include "core/pinyindata.h"
#include "base/textutil.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <string_view>

namespace qh::pinyin {

namespace {

// Letters and digits as matched: a..z are 0..25, 0..9 are 26..35; -1 for anything else.
constexpr int SymbolCount = 36;
inline int symbolOf(char32_t c)
{
    if (c >= U'a' && c <= U'z')
        return int(c - U'a');
    if (c >= U'0' && c <= U'9')
        return 26 + int(c - U'0');
    return -1;
}

constexpr int MaxLength = 8; // a syllable's letters, with room for the mask table's index 0
constexpr int MaxReadings = 8;

// The syllables of the generated table, followed by one pseudo-syllable per letter and digit
// (how an ASCII character of a name reads).
struct Table {
    int count = 0;
    std::vector<QByteArray> text;
    std::vector<quint8> length;
    std::vector<quint8> first; // symbol of the first letter
    std::array<std::vector<quint16>, SymbolCount> bySymbol; // syllables starting with the symbol
    QHash<char32_t, std::vector<const data::Word *>> herbWords, surnameWords; // longest first

    Table()
    {
        for (int i = 0; i < data::SyllableCount; ++i)
            text.emplace_back(data::Syllables[i]);
        for (int s = 0; s < SymbolCount; ++s)
            text.emplace_back(1, s < 26 ? char('a' + s) : char('0' + s - 26));
        count = int(text.size());
        for (int i = 0; i < count; ++i) {
            length.push_back(quint8(text[size_t(i)].size()));
            const int sym = symbolOf(char32_t(text[size_t(i)].at(0)));
            first.push_back(quint8(sym));
            bySymbol[size_t(sym)].push_back(quint16(i));
        }
        for (int i = 0; i < data::WordCount; ++i) {
            const data::Word &w = data::Words[i];
            auto &list = (w.kind == data::WordKind::Herb ? herbWords : surnameWords)[w.chars[0]];
            list.push_back(&w);
            std::stable_sort(list.begin(), list.end(), [](const data::Word *a, const data::Word *b) { return a->length > b->length; });
        }
    }
    int pseudo(int symbol) const { return data::SyllableCount + symbol; }
};

const Table &table()
{
    static const Table t;
    return t;
}

// A character of a name with its syllable numbers, the shown reading first.
struct RawUnit {
    char32_t ch = 0;
    int count = 0;
    std::array<quint16, MaxReadings> r{};

    void toFront(quint16 syllable)
    {
        const auto end = r.begin() + count;
        const auto it = std::find(r.begin(), end, syllable);
        if (it != end)
            std::rotate(r.begin(), it, it + 1);
    }
};

// The table's readings of a character, its usual reading first.
int lookup(char32_t ch, std::array<quint16, MaxReadings> &out)
{
    const quint32 key = quint32(ch) << 11;
    const quint32 *begin = data::Readings;
    const quint32 *end = data::Readings + data::ReadingCount;
    const quint32 *it = std::lower_bound(begin, end, key);
    int n = 0;
    for (; it != end && (*it >> 11) == ch && n < MaxReadings; ++it) {
        const auto syllable = quint16((*it >> 2) & 0x1FF);
        if (*it & 1u) {
            std::copy_backward(out.begin(), out.begin() + n, out.begin() + n + 1);
            out[0] = syllable;
        } else {
            out[size_t(n)] = syllable;
        }
        ++n;
    }
    return n;
}

// One character folded as it is matched; 0 when it is left out.
char32_t fold(char32_t c)
{
    if (c < 0x80) {
        if (c >= U'A' && c <= U'Z')
            return c + 32;
        return symbolOf(c) >= 0 ? c : 0;
    }
    switch (c) {
    case U'ü': case U'Ü': case U'ǖ': case U'ǘ': case U'ǚ': case U'ǜ': case U'Ǖ': case U'Ǘ': case U'Ǚ': case U'Ǜ':
        return U'v';
    default:
        break;
    }
    if (!QChar::isLetterOrNumber(c))
        return 0;
    if (QChar::script(c) == QChar::Script_Latin) {
        // "á", "ē", "ň": the plain letter.
        const QString d = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_D);
        if (!d.isEmpty() && d.at(0).unicode() < 0x80)
            return fold(d.at(0).unicode());
    }
    return c;
}

std::vector<char32_t> folded(const QString &text)
{
    std::vector<char32_t> out;
    const QString half = toHalfWidth(text);
    out.reserve(size_t(half.size()));
    for (const char32_t c : half.toUcs4()) {
        if (const char32_t f = fold(c))
            out.push_back(f);
    }
    return out;
}

std::vector<RawUnit> resolve(const QString &name, NameKind kind)
{
    const Table &t = table();
    std::vector<RawUnit> units;
    for (const char32_t c : folded(name)) {
        RawUnit u;
        u.ch = c;
        if (const int sym = symbolOf(c); sym >= 0) {
            u.r[0] = quint16(t.pseudo(sym));
            u.count = 1;
        } else {
            u.count = lookup(c, u.r);
        }
        units.push_back(u);
    }
    // The curated readings: a word at this place, the longest first.
    const auto wordAt = [&](const QHash<char32_t, std::vector<const data::Word *>> &words, size_t i) -> const data::Word * {
        const auto it = words.constFind(units[i].ch);
        if (it == words.constEnd())
            return nullptr;
        for (const data::Word *w : *it) {
            if (i + w->length > units.size())
                continue;
            bool same = true;
            for (int k = 1; k < w->length && same; ++k)
                same = units[i + size_t(k)].ch == w->chars[k];
            if (same)
                return w;
        }
        return nullptr;
    };
    const auto apply = [&](const data::Word *w, size_t i) {
        for (int k = 0; k < w->length; ++k)
            units[i + size_t(k)].toFront(w->syllables[k]);
    };
    if (kind == NameKind::Herb) {
        for (size_t i = 0; i < units.size();) {
            if (const data::Word *w = wordAt(t.herbWords, i)) {
                apply(w, i);
                i += w->length;
            } else {
                ++i;
            }
        }
    } else if (kind == NameKind::Person && !units.empty()) {
        if (const data::Word *w = wordAt(t.surnameWords, 0))
            apply(w, 0);
    }
    return units;
}

QString charText(char32_t c) { return QString::fromUcs4(&c, 1); }

} // namespace

QString normalize(const QString &typed)
{
    const std::vector<char32_t> f = folded(typed);
    return QString::fromUcs4(f.data(), qsizetype(f.size()));
}

QStringList readingsOf(char32_t ch)
{
    std::array<quint16, MaxReadings> r{};
    const int n = lookup(ch, r);
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << QString::fromLatin1(table().text[r[size_t(i)]]);
    return out;
}

QList<Unit> unitsOf(const QString &name, NameKind kind)
{
    QList<Unit> out;
    for (const RawUnit &u : resolve(name, kind)) {
        Unit unit{u.ch, {}};
        for (int i = 0; i < u.count; ++i)
            unit.readings << QString::fromLatin1(table().text[u.r[size_t(i)]]);
        out << unit;
    }
    return out;
}

Keys keysOf(const QString &name, NameKind kind, int cap)
{
    Keys keys;
    QStringList combos{QString()};
    for (const Unit &u : unitsOf(name, kind)) {
        QStringList initials;
        for (const QString &r : u.readings) {
            if (!initials.contains(r.left(1)))
                initials << r.left(1);
        }
        if (initials.isEmpty())
            initials << charText(u.ch);
        keys.syllables << (u.readings.isEmpty() ? QStringList{charText(u.ch)} : u.readings);
        QStringList next;
        for (const QString &c : combos) {
            for (const QString &i : initials) {
                if (next.size() == cap) {
                    keys.capped = true;
                    break;
                }
                next << c + i;
            }
        }
        combos = next;
    }
    if (!keys.syllables.isEmpty())
        keys.initials = combos;
    return keys;
}

QString spelling(const QString &name, NameKind kind)
{
    QStringList parts;
    for (const Unit &u : unitsOf(name, kind))
        parts << (u.readings.isEmpty() ? charText(u.ch) : u.readings.first());
    return parts.join(u' ');
}

// ---- the matcher ----

Matcher::Matcher(NameKind kind) : m_kind(kind) {}

void Matcher::reserve(int names)
{
    m_entries.reserve(size_t(names));
    m_cold.reserve(size_t(names));
    m_units.reserve(size_t(names) * 3);
    m_readings.reserve(size_t(names) * 4);
    m_keys.reserve(size_t(names) * 2);
    m_keyText.reserve(size_t(names) * 20);
}

int Matcher::add(const QString &name, qint64 weight, const QStringList &extraKeys)
{
    const Table &t = table();
    const std::vector<RawUnit> units = resolve(name, m_kind);
    Entry e;
    e.unitBegin = quint32(m_units.size());
    e.unitCount = quint16(std::min<size_t>(units.size(), 0xFFFF));
    Cold cold;
    cold.name = name;
    e.weight = weight;
    for (size_t i = 0; i < e.unitCount; ++i) {
        const RawUnit &u = units[i];
        m_units.push_back({u.ch, quint32(m_readings.size()), quint32(u.count)});
        for (int k = 0; k < u.count; ++k) {
            const quint16 s = u.r[size_t(k)];
            m_readings.push_back(s);
            e.initials |= quint64(1) << t.first[s];
            for (const char c : t.text[s])
                e.letters |= quint64(1) << symbolOf(char32_t(c));
        }
        if (!cold.spelling.isEmpty())
            cold.spelling += ' ';
        cold.spelling += u.count ? t.text[u.r[0]] : charText(u.ch).toUtf8();
    }
    e.keyBegin = quint32(m_keys.size());
    for (const QString &k : extraKeys) {
        const std::vector<char32_t> f = folded(k);
        if (f.empty() || e.keyCount == 0xFF)
            continue;
        for (const char32_t c : f) {
            if (const int sym = symbolOf(c); sym >= 0)
                e.keyLetters |= quint64(1) << sym;
            else
                e.keysOther = true;
        }
        const QByteArray utf8 = QString::fromUcs4(f.data(), qsizetype(f.size())).toUtf8();
        m_keys.push_back({quint32(m_keyText.size()), quint32(utf8.size())});
        m_keyText.insert(m_keyText.end(), utf8.begin(), utf8.end());
        ++e.keyCount;
    }
    m_entries.push_back(e);
    m_cold.push_back(std::move(cold));
    return int(m_entries.size()) - 1;
}

void Matcher::setWeight(int id, qint64 weight) { m_entries[size_t(id)].weight = weight; }

// The typed text as masks over its positions: bit j stands for "the first j characters are
// matched". For each syllable and length l, the positions where the typed text continues with
// the syllable's first l letters; a scan over a name's characters then carries the set of
// matched lengths from character to character (the name's readings, all at once).
struct Matcher::Query {
    static constexpr int MaxTyped = 63;

    QByteArray text; // UTF-8
    std::vector<char32_t> q;
    int n = 0;
    quint64 goal = 0;    // bit n
    quint64 symbols = 0; // letters and digits typed
    bool literal = false; // Chinese (or other) characters typed
    std::array<quint64, SymbolCount> at{}; // positions of each letter or digit
    std::vector<std::pair<char32_t, quint64>> literals;
    std::vector<quint64> prefix; // [syllable * MaxLength + l]

    explicit Query(const QString &typed)
    {
        q = folded(typed);
        text = QString::fromUcs4(q.data(), qsizetype(q.size())).toUtf8();
        n = int(q.size());
        if (n == 0 || n > MaxTyped)
            return;
        goal = quint64(1) << n;
        const Table &t = table();
        prefix.assign(size_t(t.count) * MaxLength, 0);
        for (int j = 0; j < n; ++j) {
            const int sym = symbolOf(q[size_t(j)]);
            if (sym < 0) {
                literal = true;
                auto it = std::find_if(literals.begin(), literals.end(), [&](const auto &p) { return p.first == q[size_t(j)]; });
                if (it == literals.end())
                    it = literals.insert(literals.end(), std::make_pair(q[size_t(j)], quint64(0)));
                it->second |= quint64(1) << j;
                continue;
            }
            symbols |= quint64(1) << sym;
            at[size_t(sym)] |= quint64(1) << j;
            for (const quint16 s : t.bySymbol[size_t(sym)]) {
                const QByteArray &syl = t.text[s];
                int l = 1;
                while (l < syl.size() && j + l < n && q[size_t(j + l)] == char32_t(syl.at(l)))
                    ++l;
                for (int k = 1; k <= l; ++k)
                    prefix[size_t(s) * MaxLength + size_t(k)] |= quint64(1) << j;
            }
        }
    }

    bool scansNames() const { return goal != 0; }

    // Whether every character typed (other than letters and digits) is one of the name's.
    bool holdsLiterals(const Matcher &m, const Entry &e) const
    {
        for (const auto &[c, mask] : literals) {
            bool found = false;
            for (quint32 i = 0; i < e.unitCount && !found; ++i)
                found = m.m_units[e.unitBegin + i].ch == c;
            if (!found)
                return false;
        }
        return true;
    }

    quint64 literalAt(char32_t ch) const
    {
        for (const auto &[c, mask] : literals) {
            if (c == ch)
                return mask;
        }
        return 0;
    }

    // One letter (or character) per character of the name: Exact, Prefix, Inside or -1.
    template <bool UsualOnly>
    int initials(const Matcher &m, const Entry &e) const
    {
        const Table &t = table();
        quint64 anchored = 1, floating = 1;
        bool start = false, inside = false;
        for (quint32 i = 0; i < e.unitCount; ++i) {
            const UnitRec &u = m.m_units[e.unitBegin + i];
            quint64 accept = 0;
            const quint32 count = UsualOnly ? std::min<quint32>(u.readingCount, 1) : u.readingCount;
            for (quint32 k = 0; k < count; ++k)
                accept |= at[t.first[m.m_readings[u.readingBegin + k]]];
            if (literal && u.ch >= 0x80)
                accept |= literalAt(u.ch);
            anchored = (anchored & accept) << 1;
            floating = ((floating | 1) & accept) << 1;
            start = start || (anchored & goal);
            inside = inside || (floating & goal);
            if (inside && !anchored)
                break;
        }
        if (start)
            return int(qsizetype(e.unitCount) == n ? Match::Exact : Match::Prefix);
        return inside ? int(Match::Inside) : -1;
    }

    // Whole syllables or their starts: SyllablesWhole, SyllablesStart, SyllablesInside or -1.
    template <bool UsualOnly>
    int syllables(const Matcher &m, const Entry &e) const
    {
        const Table &t = table();
        quint64 anchored = 1, floating = 1;
        bool whole = false, start = false, inside = false;
        for (quint32 i = 0; i < e.unitCount; ++i) {
            const UnitRec &u = m.m_units[e.unitBegin + i];
            const quint64 from = floating | 1;
            quint64 nextAnchored = 0, nextFloating = 0;
            const quint32 count = UsualOnly ? std::min<quint32>(u.readingCount, 1) : u.readingCount;
            for (quint32 k = 0; k < count; ++k) {
                const quint16 s = m.m_readings[u.readingBegin + k];
                const quint64 *p = &prefix[size_t(s) * MaxLength];
                for (int l = 1; l <= t.length[s]; ++l) {
                    const quint64 a = anchored & p[l], f = from & p[l];
                    if (!(a | f))
                        break;
                    nextAnchored |= a << l;
                    nextFloating |= f << l;
                }
            }
            if (literal && u.ch >= 0x80) {
                const quint64 lit = literalAt(u.ch);
                nextAnchored |= (anchored & lit) << 1;
                nextFloating |= (from & lit) << 1;
            }
            anchored = nextAnchored;
            floating = nextFloating;
            if (anchored & goal) {
                start = true;
                whole = whole || i + 1 == e.unitCount;
            }
            inside = inside || (floating & goal);
            if (inside && !anchored)
                break;
        }
        if (whole)
            return int(Match::SyllablesWhole);
        if (start)
            return int(Match::SyllablesStart);
        return inside ? int(Match::SyllablesInside) : -1;
    }

    // The best class of one name, -1 when it does not match; `usual` whether its shown readings
    // alone reach that class.
    int match(const Matcher &m, int id, bool &usual) const
    {
        const Entry &e = m.m_entries[size_t(id)];
        int best = -1;
        usual = true;
        if (scansNames() && !(symbols & ~e.letters) && (!literal || holdsLiterals(m, e))) {
            if (!(symbols & ~e.initials)) {
                best = initials<false>(m, e);
                if (best >= 0)
                    usual = initials<true>(m, e) == best;
            }
            if (best < 0) {
                best = syllables<false>(m, e);
                if (best >= 0)
                    usual = syllables<true>(m, e) == best;
            }
        }
        if (e.keyCount && best != int(Match::Exact) && !(symbols & ~e.keyLetters) && (!literal || e.keysOther)) {
            const std::string_view typed(text.constData(), size_t(text.size()));
            for (quint32 i = 0; i < e.keyCount; ++i) {
                const Key &k = m.m_keys[e.keyBegin + i];
                const std::string_view key(m.m_keyText.data() + k.offset, k.size);
                const int c = key == typed                          ? int(Match::Exact)
                              : key.starts_with(typed)              ? int(Match::Prefix)
                              : key.find(typed) != std::string::npos ? int(Match::Inside)
                                                                     : -1;
                if (c >= 0 && (best < 0 || c < best || (c == best && !usual))) {
                    best = c;
                    usual = true;
                }
            }
        }
        return best;
    }
};

QList<Candidate> Matcher::find(const QString &typed, int limit, int *total) const
{
    const Query query(typed);
    struct Hit {
        quint8 match;
        bool other;
        int id;
        qint64 weight;
    };
    std::vector<Hit> hits;
    if (!query.text.isEmpty()) {
        for (int id = 0; id < size(); ++id) {
            bool usual = true;
            const int c = query.match(*this, id, usual);
            if (c >= 0)
                hits.push_back({quint8(c), !usual, id, m_entries[size_t(id)].weight});
        }
    }
    if (total)
        *total = int(hits.size());
    const auto before = [this](const Hit &a, const Hit &b) {
        if (a.match != b.match)
            return a.match < b.match;
        if (a.other != b.other)
            return b.other;
        if (a.weight != b.weight)
            return a.weight > b.weight;
        const Cold &x = m_cold[size_t(a.id)], &y = m_cold[size_t(b.id)];
        if (const int c = x.spelling.compare(y.spelling))
            return c < 0;
        if (const int c = x.name.compare(y.name))
            return c < 0;
        return a.id < b.id;
    };
    const size_t shown = limit < 0 ? hits.size() : std::min(hits.size(), size_t(limit));
    std::partial_sort(hits.begin(), hits.begin() + qsizetype(shown), hits.end(), before);
    QList<Candidate> out;
    out.reserve(qsizetype(shown));
    for (size_t i = 0; i < shown; ++i)
        out.append({hits[i].id, Match(hits[i].match), !hits[i].other});
    return out;
}

} // namespace qh::pinyin
