#pragma once
// The filter of the register's patient tree: what is typed finds the cases by the pinyin
// initials or the characters of the patient's name (a polyphonic surname by its surname reading
// first: 单 Shàn), or by digits of the case number or the telephone. Read once, on the first
// keystroke after the register was (re)filled, so opening the window costs nothing more.
#include "db/session.h"
#include "core/pinyin.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace qh::clinic {

class PatientFilter {
public:
    // Reads the case numbers, names and telephones of every case. Throws DbError.
    void load(db::Session &s);
    bool loaded() const { return m_loaded; }
    void forget() { m_loaded = false; }
    // The case numbers matching what is typed, best match first; all of them for an empty text
    // is not asked (an empty filter shows the whole tree).
    QStringList matches(const QString &typed) const;

private:
    bool m_loaded = false;
    pinyin::Matcher m_matcher{pinyin::NameKind::Person};
    QStringList m_numbers; // by matcher id
};

} // namespace qh::clinic
