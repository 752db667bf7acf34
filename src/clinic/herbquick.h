#pragma once
// The quick herb box of the diagnosis tab and the formula window: a herb of the drug list found by what the doctor types
// (pinyin initials from the start or inside the name, whole syllables, or characters: "hq" and
// "huangq" find 黄芪, "gc" finds 甘草 and 炙甘草), then a dose. Candidates come as the pinyin
// matcher orders them (exact initials, prefix, inside, syllables), and among equals the herbs this
// clinic prescribes most first. What a chosen herb and dose add to the prescription is exactly what
// the pick lists add (herbPickText). No widgets here.
#include "db/session.h"
#include "core/pinyin.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace qh::clinic {

struct QuickHerb {
    QString name;
    QString unit;
};

class HerbQuick {
public:
    // The drug list (names and units) and how often each herb was prescribed (missing: 0).
    void setDrugs(const QStringList &names, const QHash<QString, QString> &units,
                  const QHash<QString, qint64> &prescribed = {});
    // The same from the drug list (ycjg: names and units) and the latest visits' prescriptions,
    // as prescribedCounts reads them. Throws DbError.
    void loadDrugList(db::Session &s);
    // The best candidates for what is typed, at most limit; none for an empty text.
    QList<QuickHerb> candidates(const QString &typed, int limit = 9) const;
    int size() const { return m_matcher.size(); }

    // A dose as the quick box takes it: a positive number of at most four digits before and two
    // after a point, full-width digits allowed ("15", "1.5", "１５"); the form it is written in.
    static std::optional<QString> dose(const QString &typed);

    // How often each drug-list herb occurs in the prescriptions of the latest visits (at most
    // `visits` of them, the last written first): the order among equal matches. Throws DbError.
    static QHash<QString, qint64> prescribedCounts(db::Session &s, const QStringList &names, int visits = 3000);

private:
    pinyin::Matcher m_matcher{pinyin::NameKind::Herb};
    QStringList m_units; // by matcher id
};

} // namespace qh::clinic
