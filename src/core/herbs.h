#pragma once
// Herb names in a prescription text, and the rules a prescription is checked against: the
// classical incompatibilities (十八反, 十九畏) and the herbs forbidden in pregnancy, read from a
// data file that ships with the program (a clinic can add its own lines in a file of the same
// form). No database and no widgets here.
#include "base/money.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace qh::herbs {

// Whether the prescription text names the herb: the trimmed name occurs in the trimmed text,
// exact characters. The charging window's "处方中无此药材" check is this test.
bool prescriptionNames(const QString &prescription, const QString &herb);

// One herb named in a prescription text, with the dose written after it when there is one.
struct Mention {
    QString name;              // the name as found (a drug-list or rule name)
    qsizetype position = 0;    // where it starts in the text
    std::optional<Money> dose; // "黄芪15克", "黄芪 １５ g", "黄芪15.5克"
    QString unit;              // the unit written right after the dose, half-width as written
                               // ("克", "g", "枚", "mL"); "" when there is none or no dose
};

// The units known after a dose (none begins another): 克 g 毫克 mg 千克 kg 毫升 ml 升 枚 个 片 粒
// 只 条 支 钱 两 袋 包 丸.
const QStringList &doseUnits();

// Finds the known names in a text. At each place the longest known name wins and the scan
// goes on after it, so a name inside a longer one ("贝母" in "浙贝母", "附子" in "白附子") is not
// reported again. Full-width digits, points and units count as their ASCII forms. A unit is one
// of doseUnits() (Latin letters in either case, not followed by another Latin letter).
class NameFinder {
public:
    explicit NameFinder(const QStringList &names = {});
    void add(const QStringList &names);
    QList<Mention> find(const QString &text) const;

private:
    QHash<QChar, QList<QString>> m_byFirst; // names by first character, longest first
};

enum class RuleKind { Opposes, Fears }; // 十八反, 十九畏

struct Rule {
    RuleKind kind;
    QStringList left;  // names or group names
    QStringList right;
};

// The rule table: groups, incompatible pairs, herbs forbidden in pregnancy.
class RuleBook {
public:
    // Reads one rule file into the book. Returns an error text ("" when read): the line number
    // and what is wrong. A book with an error must not be used.
    QString read(const QString &text);
    // The rule file that ships with the program, with the clinic's own file added when present.
    // Error text "" when both were read.
    static RuleBook standard(const QString &localFile, QString *error);

    // Every name the book knows (groups, members, rule names, distinct herbs).
    QStringList names() const;
    // The group names a herb belongs to, itself included.
    QSet<QString> groupsOf(const QString &herb) const;
    bool forbiddenInPregnancy(const QString &herb) const;
    const QList<Rule> &rules() const { return m_rules; }
    bool isEmpty() const { return m_rules.isEmpty() && m_pregnancy.isEmpty(); }

private:
    QHash<QString, QSet<QString>> m_groupsOf; // member -> groups
    QSet<QString> m_groupNames;
    QList<Rule> m_rules;
    QSet<QString> m_pregnancy;
    QSet<QString> m_distinct;
};

// The rule table of the program: the shipped file with the clinic's own
// "<data folder>/herb-rules-local.txt" added. Read once per run; when a file is broken the
// check is off (nullptr) and *error (only on the call that read it) says why.
const RuleBook *programRules(QString *error = nullptr);
// Forgets the table read, so the next call reads the files again (tests).
void resetProgramRules();
QString localRulesFile();

// What the dispensary holds of a herb (see stock/stockoutlook.h).
struct StockState {
    Money onHand;                 // balance row's quantity; 0 without a row
    bool known = false;           // the herb has a balance row
    std::optional<QDate> expiry;  // earliest expiry of what is left
    bool expired = false;         // what is left has passed its expiry
};

struct CheckInput {
    QString prescription;
    bool female = false;
    QDate today;
    QStringList drugNames;                 // the drug list's names (ycmc)
    QHash<QString, StockState> stock;      // by drug name; herbs missing here are not checked for stock
    bool checkStock = true;
};

// The findings of a prescription, one line each, in the order: incompatibilities,
// pregnancy, stock. Empty when there is nothing to say.
QStringList check(const RuleBook &book, const CheckInput &in);
// Only the incompatible pairs (the charging window shows these).
QStringList incompatibilities(const RuleBook &book, const QString &prescription, const QStringList &drugNames);

} // namespace qh::herbs
