#pragma once
// The patient case register (table hzblzl): the plain case record the register tab fills,
// its check, saving, the patient lookups and the lists of the tab, and the case notes.
#include "db/session.h"
#include "core/refusal.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace qh::clinic {

// The controls of the register tab (and the commands a check may hand the focus to).
enum class CaseField {
    TxtBlbh, TxtHzxm, CboHzxb, CboHzag, CboHyqk, MaskCzsj, MaskJzsj, CboHzzy, TxtHzdz, TxtHzdw, TxtMail, TxtTele,
    CmdHzbc, CmdQcls, TreeView1,
};
using CaseRefusal = Refusal<CaseField>;
using CaseVerdict = Verdict<CaseField>;

// The values of the register boxes, as texts.
struct CaseRecord {
    QString blbm;  // TxtBlbh   case number
    QString blxm;  // TxtHzxm   name
    QString blxb;  // CboHzxb   sex
    QString blnl;  // CboHzag   age, as the list shows it
    QString blhf;  // CboHyqk   marital status
    QString blsj;  // MaskCzsj  first visit, the 10 characters of the date box
    QString bljz;  // MaskJzsj  last visit, the 10 characters of the date box
    QString blzy;  // CboHzzy   occupation
    QString bldz;  // TxtHzdz   address
    QString bldw;  // TxtHzdw   work unit
    QString mail;  // TxtMail   e-mail
    QString blte;  // TxtTele   telephone
    QString blxd;  // TxtZlxd   case notes
};

// srnrJyhz: trims the boxes, checks them in order and fills the optional ones with " ".
// The record is changed in place, as the window's boxes are.
CaseVerdict srnrJyhz(CaseRecord &r);

// True for a non-empty e-mail text containing "@" and ".".
bool isMailAddress(const QString &text);

// The Enter check of MaskCzsj: a complete real date not later than today.
CaseVerdict checkFirstVisitOnEnter(const QString &maskText, const QDate &today);

// The Enter check of a register box, on the box's text: nothing when the focus may move on.
// Boxes without a check (MaskJzsj, CboHzzy, TxtHzdw) always pass.
CaseVerdict registerEnterCheck(CaseField box, const QString &text, const QDate &today);

// CmdMzzd and CmdZdxd need a case number of more than 2 characters ("请指明病历号码", focus on
// the patient tree).
CaseVerdict needCaseNumber(const QString &caseNumber);

enum class SaveKind { Added, Updated };

// Saves a checked record for the given user. A new case number adds a record; a known one
// keeps its number and name and gets every other field. Stored notes are kept when the notes
// box is blank. Throws DbError (nothing is written then).
SaveKind saveCase(db::Session &s, const CaseRecord &r, const QString &user);

// The record of a case number with its dates as "yyyy-mm-dd"; nothing when it is not stored.
std::optional<CaseRecord> findCase(db::Session &s, const QString &caseNumber);

// One row of the visit grid.
struct VisitRow {
    QString date;    // "yyyy-mm-dd"
    QString dept;
    QString doctor;
    QString history;
};
std::vector<VisitRow> visitsOf(db::Session &s, const QString &caseNumber);

// The register's lists: every case number once, and every occupation once (blanks left out).
struct RegisterLists {
    QStringList caseNumbers;
    QStringList occupations;
};
RegisterLists registerLists(db::Session &s);

// The stored notes of a case; nothing when the case is not stored or has no notes.
std::optional<QString> notesOf(db::Session &s, const QString &caseNumber);
// Stores the notes of a stored case; false (nothing written) for an unknown case number.
bool saveNotes(db::Session &s, const QString &caseNumber, const QString &notes);

} // namespace qh::clinic
