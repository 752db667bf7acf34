#pragma once
// The clinic's formulas (方剂, table zyfj): the classical formulas (经方) it imported, its own
// formulas (协定方) and any other it entered. The logic of the formula window "方剂维护" and of
// "save as formula" in the diagnosis tab: list, find, add, change, delete, the import of the
// shipped classical formulas. No widgets.
//
//   db::Session &s = ...;                          // the window's session for this action
//   clinic::Formulas formulas(s);
//   const FormulaAnswer a = formulas.add(entry, Modutarnxt::CurrentUser);
//   if (a.refusal) ...                              // show it, focus a.refusal->field
//
// The composition is stored in the program's prescription form ("麻黄9克，桂枝6克，……") after
// NormalizePunctuation, as the diagnosis tab stores a prescription, so what reads a prescription
// (the safety checks, the 加减 difference) reads a formula the same way. The other long texts
// (actions, indications, usage, notes) are stored in the same form when they are not blank. A
// blank optional field is stored as Null. Every command that writes is one transaction.
#include "clinic/classicalformulas.h"
#include "core/refusal.h"
#include "db/session.h"

#include <QList>
#include <QString>
#include <optional>
#include <vector>

namespace qh::clinic {

// One formula as the window shows it and zyfj stores it.
struct Formula {
    QString name;        // fjmc, TxtFjmc
    QString source;      // fjly, TxtFjly: the book ("伤寒论"), "协定方", ...
    QString composition; // fjgc, TxtFjgc
    QString actions;     // fjgy, TxtFjgy
    QString indications; // fjzz, TxtFjzz
    QString usage;       // fjyf, TxtFjyf
    QString notes;       // fjxd, TxtFjxd
    QString enteredBy;   // dlxm: who saved it last (read only; the commands take the user)
};

// One line of the window's list.
struct FormulaRow {
    QString name;
    QString source;
};

// The controls a refusal of the formula window sends the focus to.
enum class FormulaField { TxtFjmc, TxtFjly, TxtFjgc, MSFGridFjmc };
using FormulaVerdict = Verdict<FormulaField>;

// The answer of a command: a refusal, or the short report of a database failure, or success.
struct FormulaAnswer {
    FormulaVerdict refusal;
    QString failure;
    bool ok() const { return !refusal && failure.isEmpty(); }
};

// What the import of the classical formulas did.
struct FormulaImport {
    int added = 0; // formulas the clinic did not have
    int kept = 0;  // formulas not imported because the clinic has one of that name
    QString failure; // the short report of a database failure: nothing was imported
    // "已导入经方 58 首；另有 2 首方剂表中已有同名方剂，保留原样，未导入。"
    QString message() const;
};

class Formulas {
public:
    // Longest texts of the fields (zyfj: fjmc Text(200), fjly Text(248), dlxm Text(20); the
    // memo fields have no limit).
    static constexpr int NameMax = 200;
    static constexpr int SourceMax = 248;
    static constexpr int UserMax = 20;
    // The source of a formula the clinic saved from a prescription.
    static QString ownSource() { return QStringLiteral("协定方"); }

    explicit Formulas(db::Session &s) : m_s(s) {}

    // Every formula's name and source, ordered by name (the field's order: code points, letter
    // case of ASCII ignored, the same on both engines). Throws DbError.
    std::vector<FormulaRow> list();
    // The formula of that name (trimmed), nothing when there is none. Throws DbError.
    std::optional<Formula> find(const QString &name);

    // Trims the name and the source, puts the long texts in their stored form, then checks in
    // order: name given, name length, composition given, source length. No database access.
    static FormulaVerdict check(Formula &f);

    // A new formula; its name must be new ("方剂名称“桂枝汤”已经存在，请换一个名称。").
    FormulaAnswer add(Formula f, const QString &user);
    // The formula stored under oldName gets the entry's fields, its name too (the new name must
    // not belong to another formula).
    FormulaAnswer change(const QString &oldName, Formula f, const QString &user);
    // Removes the formula of that name.
    FormulaAnswer remove(const QString &name);

    // Adds the given classical formulas the clinic has no formula of the same name for, with
    // the book as source and user as who entered them; a formula of that name is never
    // overwritten, whether the clinic changed it or not. One transaction: a failure imports none.
    FormulaImport importClassical(const QList<ClassicalFormula> &formulas, const QString &user);

    // "Save as formula" of the diagnosis tab: a new 协定方 named name whose composition is the
    // prescription, entered by user. The refusals name TxtFjmc (the name) and TxtFjgc (the
    // prescription), which the caller maps to its own controls.
    FormulaAnswer saveAsFormula(const QString &prescription, const QString &name, const QString &user);

    static QString duplicateMessage(const QString &name);

private:
    db::Session &m_s;
};

} // namespace qh::clinic
