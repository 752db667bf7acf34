#pragma once
// One visit of a patient (table hzzdzl): the plain visit record the diagnosis tab fills, its
// check, saving with the case's last-visit date and follow-up, lookups and the pick lists.
#include "db/session.h"
#include "core/refusal.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace qh::clinic {

// The controls of the diagnosis tab; TxtBlbh is the register's case number box.
enum class VisitField {
    TxtBlbh, TxtStb1_0, TxtStb1_1, TxtStb1_2, TxtStb1_3, TxtStb1_4, TxtStb1_5, CboZdks,
    MasZdsj_0, MasZdsj_1, MasZdsj_2, MasZdsj_3, MasZdsj_4,
};
using VisitRefusal = Refusal<VisitField>;
using VisitVerdict = Verdict<VisitField>;

// The values of the diagnosis boxes, as texts; the masked boxes give their full text.
struct VisitRecord {
    QString blbm;       // TxtStb1(0)  case number
    QString blkb;       // CboZdks     department
    QString blsj;       // MasZdsj(0)  diagnosis date, 10 characters
    QString zdys;       // TxtStb1(1)  doctor
    QString bzxy;       // MasZdsj(1)  blood pressure
    QString bzmb;       // MasZdsj(2)  pulse, 2 characters
    QString bzhx;       // MasZdsj(3)  respiration, 2 characters
    QString bzqk;       // TxtStb1(2)  history
    QString blfa;       // TxtStb1(3)  diagnosis and treatment plan
    QString blcf;       // TxtStb1(4)  prescription
    QString blsx;       // TxtStb1(5)  directions for use
    QString fzsj;       // MasZdsj(4)  follow-up date, 10 characters
    bool followUp = false; // CheFzbz
};

// The presets of a new visit of a case dated the given day.
VisitRecord newVisit(const QString &caseNumber, const QDate &today);

// SrnrJyzd: trims the boxes and checks them in order.
VisitVerdict SrnrJyzd(VisitRecord &v);

// The Enter check of a diagnosis box on its text: nothing when the focus may move on. For the
// memo boxes TxtStb1(2) to (5) a passing check on a non-empty text means "type a line break".
VisitVerdict visitEnterCheck(VisitField box, const QString &text);

enum class VisitSaveKind { Added, Updated };

// Saves a checked visit in one transaction: the visit (added, or edited when the case already has
// a visit of that department on that day), the case's last-visit date, and the follow-up entries
// of the case (all removed; one added when a follow-up later than today is asked for).
// Throws DbError; then nothing is written.
VisitSaveKind saveVisit(db::Session &s, const VisitRecord &v, const QDate &today);

// A stored visit of a case, department and day, as the boxes show it; nothing when there is none.
std::optional<VisitRecord> findVisit(db::Session &s, const QString &caseNumber, const QString &dept, const QDate &day);

// The prescription of a case's latest visit (the latest diagnosis date; of one day, the visit
// written last), as stored; nothing when the case has no visit.
std::optional<QString> lastPrescription(db::Session &s, const QString &caseNumber);

// TclBnr: the category list, the department list and whether the dose list becomes 0 to 100.
// A list that comes back empty stops the fill: it and the lists after it keep their contents.
struct PickLists {
    std::optional<QStringList> categories;
    std::optional<QStringList> departments;
    bool resetDoses = false;
};
PickLists TclBnr(db::Session &s);

QStringList doseItems(int from, int to);

// The herbs of a category in name order; nothing when the category has none.
std::optional<QStringList> herbsOfCategory(db::Session &s, const QString &category);

// The text a picked herb and dose add to the prescription: name + dose + unit + "，";
// nothing when the herb is no longer in the drug list.
std::optional<QString> herbPickText(db::Session &s, const QString &herb, const QString &dose);

// The success message of a visit save.
QString visitSavedMessage();

} // namespace qh::clinic
