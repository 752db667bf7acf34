#pragma once
// Finding a drug of the drug list (table ycjg) by what is typed into a drug code box: the
// pinyin initials or syllables of its name ("hq" -> 黄芪), Chinese characters of its name, or the
// start of its code. The completion list of the stock windows and the drug list window's
// filter are this lookup; no widgets here.
//
// The rule between a typed code and a typed name: a text that is a code of the list (blanks
// around it left out, ASCII letter case ignored, as the database compares codes) is a code, and
// the box's own Enter handles it exactly as without the lookup; so is a text of digits alone (a
// numeric code typed in part is never turned into a drug). Only other texts are offered drugs.
// Letter codes such as "MH" therefore win over the initials of another drug that read the same.
#include "base/money.h"
#include "core/pinyin.h"
#include "db/session.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace qh::stock {

// One drug as the lookup shows it.
struct LookupDrug {
    QString code;
    QString name;
    QString unit;
    Money price;
};

class DrugLookup {
public:
    DrugLookup();

    // All drugs of the list, in the order of their codes.
    static std::vector<LookupDrug> read(db::Session &s);
    // Whether the store has a drug with the code as typed (blanks trimmed; the database ignores
    // the letter case of codes): what the windows' Enter in a code box finds.
    static bool storeHasCode(db::Session &s, const QString &typed);

    // Replaces the drugs looked up; any preference set before is kept for the new list.
    void setDrugs(std::vector<LookupDrug> drugs);
    int size() const { return int(m_drugs.size()); }
    const LookupDrug &drug(int index) const { return m_drugs[size_t(index)]; }

    // Whether typed is the code of a drug of the list (blanks trimmed, ASCII case ignored).
    bool isCode(const QString &typed) const;
    // Whether the completion list offers drugs for typed: it holds something to match, is no
    // code of the list and not only digits.
    bool offers(const QString &typed) const;

    // The drugs a prescription text names (herbs::NameFinder over the list's names) come
    // before all others in find(); an empty text takes the preference away.
    void preferPrescription(const QString &prescription);
    bool preferred(int index) const { return m_preferred[size_t(index)]; }

    // The drugs matching typed, best first: those of the prescription, then the others, each
    // in the matcher's order (initials, then syllables; within a class by spelling). limit < 0:
    // all of them.
    QList<int> find(const QString &typed, int limit = 50) const;

    // The code suggested for a new drug name: the initials of its usual readings in capitals
    // ("黄芪" -> "HQ"), with 2, 3, ... added when the list holds that code already ("HQ2");
    // at most maxLength characters. "" when the name is in the list already or gives no
    // initials (no letters or digits in them).
    QString suggestCode(const QString &name, int maxLength) const;

private:
    void applyPreference();

    std::vector<LookupDrug> m_drugs;
    pinyin::Matcher m_matcher;
    QHash<QString, int> m_byCode; // code trimmed, ASCII letters in lower case
    QHash<QString, int> m_byName;
    std::vector<bool> m_preferred;
    QString m_prescription;
};

// Blanks trimmed, ASCII letters in lower case: how the database compares two codes.
QString codeKey(const QString &code);

// The program's count of changes to the drug list: every command of the drug list window that
// writes raises it, so a window whose lookup was read before sees that it must read again.
quint64 drugListVersion();
void drugListChanged();

} // namespace qh::stock
