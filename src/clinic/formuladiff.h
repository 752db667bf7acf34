#pragma once
// The 加减 of a prescription against the formula (or formulas, 合方) it was started from: the
// herbs added, the herbs removed and the doses changed, and the line that says so:
//   "桂枝汤 加：葛根15克；去：大枣；改：桂枝9克→12克"        (empty parts left out)
//   "桂枝汤 原方"                                          (nothing differs)
//   "桂枝汤合小柴胡汤 加：……"                                (two formulas loaded)
// Pure logic over texts: the herbs are found by the prescription parser of the safety checks
// (herbs::NameFinder: the longest known name wins, a dose and its unit right after it).
//
// The rules:
//  - Known names: the names the caller gives (the drug list, the rule table) and the name of
//    every item written in the prescription form "药名+数量[+单位]" (items separated by "，" "、"
//    "；" "。" blanks or line breaks) of the formulas and of the prescription, so a herb the drug
//    list lacks is still found, and "白附子3克" is 白附子 even where only 附子 is listed.
//  - A herb written more than once in one text (the prescription or one formula) counts once,
//    at its first place, with its doses added up (the dispensary weighs every line); when the
//    units differ (克 and 枚) the later dose replaces the earlier. A mention without a dose adds
//    nothing to the dose.
//  - Two or more formulas (合方) are their union: a herb in several counts once, with the larger
//    dose (the usual rule of 合方: of a shared herb the larger amount); when their units differ
//    the earlier formula's dose stands. Herbs are in the order the formulas name them.
//  - Units: 克 and g are one unit (and 毫克/mg, 千克/kg, 毫升/ml, Latin letters in either case);
//    a dose written without a unit counts as the other side's unit. A unit is written as the
//    text had it, full-width letters as their ASCII forms ("ｇ" -> "g").
//  - A dose changed is reported when both sides have a dose and they differ in value or unit;
//    a herb whose dose one side does not state is not a change.
//  - Added herbs come in the prescription's order, removed and changed herbs in the formula's.
#include "core/herbs.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace qh::clinic {

struct HerbDose {
    QString name;
    std::optional<Money> dose;
    QString unit; // as written, half-width; "" when none
    // "葛根15克", "大枣" without a dose.
    QString text() const;
};

struct DoseChange {
    QString name;
    HerbDose before; // the formula's
    HerbDose after;  // the prescription's
    // "桂枝9克→12克"
    QString text() const;
};

// A formula as loaded into a prescription: its name and composition.
struct FormulaText {
    QString name;
    QString composition;
};

struct FormulaDiff {
    QList<HerbDose> added;
    QList<HerbDose> removed;
    QList<DoseChange> changed;
    QString line;
    bool unchanged() const { return added.isEmpty() && removed.isEmpty() && changed.isEmpty(); }
};

class FormulaDiffer {
public:
    // knownNames: the drug list's names (and the rule table's), read once by the caller.
    explicit FormulaDiffer(const QStringList &knownNames = {});

    FormulaDiff diff(const FormulaText &formula, const QString &prescription) const;
    // 合方: the union of the formulas, named "甲合乙".
    FormulaDiff diff(const QList<FormulaText> &formulas, const QString &prescription) const;

    // The herbs of one text, each once (the rules above), in the order written.
    QList<HerbDose> herbsOf(const QString &text) const;

private:
    QList<HerbDose> herbsOf(const herbs::NameFinder &finder, const QString &text) const;
    herbs::NameFinder m_known;
};

} // namespace qh::clinic
