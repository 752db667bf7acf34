#pragma once
// Finding a name by the pinyin of its characters, as a doctor types it: a herb by its initials
// ("hq" -> 黄芪, "zgc" -> 炙甘草, "bz" -> 白术) or by whole syllables ("huangq" -> 黄芪), a patient by
// the initials of the name ("zs" -> 张三); Chinese characters typed find the names holding them.
//
// Every reading of a character counts (the program's table holds all readings of each character
// from the Unicode Han database): a polyphonic character is found by any of its readings, so a
// name is never hidden by a reading the program did not expect, and an extra reading only adds a
// candidate. A short curated table (src/core/data/pinyin-readings.txt) names the one reading that
// is right in herb names (参 shēn, 术 zhú, ...) and for surnames at the start of a person's name
// (单 Shàn, 曾 Zēng, ...): that reading is the one shown, and a name found through it ranks before
// one found only through another reading. No database and no widgets here.
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace qh::pinyin {

// Which curated readings apply to a name: none, those of herb names (anywhere in the name), or
// those of surnames (at the start of the name only).
enum class NameKind { Plain, Herb, Person };

// What is typed, as it is matched: full-width forms as ASCII, ASCII letters in lower case, Latin
// letters with tone marks or accents as plain letters (ü as v); only letters and digits are kept,
// so spaces, the syllable separator "'" and punctuation are left out.
QString normalize(const QString &typed);

// Every reading of one character without tones ("shen", "can", "cen" for 参), the character's
// usual reading first; empty for a character the table does not know.
QStringList readingsOf(char32_t ch);

// One character of a name as it is matched, with its readings: the curated reading first when
// one applies, then the usual one, then the rest. An ASCII letter or digit reads as itself; a
// character the table does not know has no readings and is found only as itself.
struct Unit {
    char32_t ch = 0;
    QStringList readings;
};
// The characters of a name, spaces and punctuation left out.
QList<Unit> unitsOf(const QString &name, NameKind kind);

// The keys a name is found by.
struct Keys {
    QStringList initials;         // every initials string over all reading combinations, the usual first
    QList<QStringList> syllables; // the readings of each character, for matching by syllables
    bool capped = false;          // more combinations than the cap: the list is cut short
};
Keys keysOf(const QString &name, NameKind kind, int cap = 64);

// The name spelt in its usual readings, syllables separated by spaces: "ren shen", "shan xiao ming".
QString spelling(const QString &name, NameKind kind);

// How a name matched, best first. The initials classes take one letter per character ("hq" for
// 黄芪); the syllable classes take each character's whole syllable or the start of it
// ("huangqi", "huangq", "hqi"). A Chinese character typed matches itself in either.
enum class Match : quint8 {
    Exact,           // the typed text is the name's initials (or the name itself, or an extra key)
    Prefix,          // the start of the name's initials (or of an extra key)
    Inside,          // inside the name's initials ("gc" in 炙甘草; or inside an extra key)
    SyllablesWhole,  // syllables or their starts for every character of the name
    SyllablesStart,  // syllables or their starts for the first characters of the name
    SyllablesInside, // syllables or their starts for characters inside the name
};

struct Candidate {
    int id = -1;      // as Matcher::add returned it
    Match match = Match::Exact;
    bool usual = true; // found through the names' shown readings (false: only through another reading)
};

// A list of names built once (a drug list of some hundred, the patients of a clinic), asked again
// at every keystroke. Each name's keys are worked out when it is added; a name added later is
// found at once. Candidates come best first: by match class, names found through their shown
// readings before those found only through another reading, then by the caller's weight (higher
// first, e.g. how often the clinic prescribed the herb), then by spelling and name.
class Matcher {
public:
    explicit Matcher(NameKind kind = NameKind::Plain);

    void reserve(int names);
    // Adds a name; extra keys (a case number, a telephone number) are matched as typed text, in
    // the initials classes. Returns the name's id, counted from 0 in the order of adding.
    int add(const QString &name, qint64 weight = 0, const QStringList &extraKeys = {});
    void setWeight(int id, qint64 weight);

    int size() const { return int(m_entries.size()); }
    QString name(int id) const { return m_cold[size_t(id)].name; }
    qint64 weight(int id) const { return m_entries[size_t(id)].weight; }
    NameKind kind() const { return m_kind; }

    // The best `limit` candidates for what is typed (nothing for an empty text); `total` receives
    // how many names matched in all.
    QList<Candidate> find(const QString &typed, int limit = 50, int *total = nullptr) const;

private:
    struct Entry {             // what every keystroke reads
        quint64 letters = 0;    // the letters and digits in any reading of any character
        quint64 initials = 0;   // the first letters of the readings
        quint64 keyLetters = 0; // the letters and digits of the extra keys
        qint64 weight = 0;
        quint32 unitBegin = 0;
        quint32 keyBegin = 0;
        quint16 unitCount = 0;
        quint8 keyCount = 0;
        bool keysOther = false; // an extra key holds characters other than letters and digits
    };
    struct UnitRec {
        char32_t ch = 0;
        quint32 readingBegin = 0;
        quint32 readingCount = 0;
    };
    struct Key {
        quint32 offset = 0; // in m_keyText: normalized, UTF-8
        quint32 size = 0;
    };
    struct Cold {
        QString name;
        QByteArray spelling;
    };

    NameKind m_kind;
    std::vector<Entry> m_entries;
    std::vector<UnitRec> m_units;
    std::vector<quint16> m_readings; // syllable numbers, each unit's shown reading first
    std::vector<Key> m_keys;
    std::vector<char> m_keyText;
    std::vector<Cold> m_cold;

    struct Query; // one typed text, prepared for the scan
};

} // namespace qh::pinyin
