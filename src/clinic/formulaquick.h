#pragma once
// The formula box of the diagnosis tab: a formula of the clinic (table zyfj) found by what the
// doctor types, pinyin initials or syllables or characters of its name ("gzt" and "guizhi" find
// 桂枝汤), its composition appended to the prescription, and the 加减 line that says how the
// prescription now differs from what was loaded. No widgets, no database (the window reads the
// list and the composition through clinic::Formulas).
//
//   FormulaQuick quick;  quick.setFormulas(Formulas(s).list());
//   quick.candidates("gzt")                          -> 桂枝汤 (伤寒论), 桂枝加葛根汤 ...
//   LoadedFormulas loaded;
//   const auto a = LoadedFormulas::appended(box, {name, composition});
//   if (!a.text) show a.refusal; else { box = *a.text; loaded.add({name, composition}); }
//   loaded.line(differ, box)                          -> "桂枝汤 加：葛根15克；去：大枣"
//
// A loaded formula is a copy: the prescription is edited as typed text, the formula in zyfj is
// never changed by it.
#include "clinic/formuladiff.h"
#include "clinic/formulas.h"
#include "core/pinyin.h"

#include <QList>
#include <QString>
#include <optional>
#include <vector>

namespace qh::clinic {

struct QuickFormula {
    QString name;
    QString source;
};

class FormulaQuick {
public:
    void setFormulas(const std::vector<FormulaRow> &rows);
    // The best candidates for what is typed, at most limit, as the pinyin matcher orders them
    // (exact initials, prefix, inside, syllables), among equals the shorter name first (桂枝汤
    // before 桂枝加葛根汤, "gz" typed); none for an empty text.
    QList<QuickFormula> candidates(const QString &typed, int limit = 9) const;
    int size() const { return m_matcher.size(); }

private:
    pinyin::Matcher m_matcher{pinyin::NameKind::Herb};
    QStringList m_sources; // by matcher id
};

// What the prescription box was started from in this visit (the formulas loaded, or the earlier
// prescription 引用此方 took), and the 加减 line the doctor may write into it.
class LoadedFormulas {
public:
    // The prescription box's limit (TxtStb1(4), hzzdzl.blcf as the tab takes it).
    static constexpr int PrescriptionMax = 240;
    // The name the earlier prescription goes by in the 加减 line.
    static QString earlierPrescription() { return QStringLiteral("上次处方"); }

    struct Result {
        std::optional<QString> text; // the box's new text; nothing when refused
        QString refusal;             // the message then
    };
    // The box with the composition added at its end: after a "，" when the box holds text that
    // does not end in a separator, and ending in "，" so the next herb picked follows as after
    // a pick. Refused, with the box unchanged, when the result would be longer than the limit
    // ("处方内容不能超过240个字，加入方剂“桂枝汤”后为256个字，未加入。").
    static Result appended(const QString &box, const FormulaText &formula);

    void add(const FormulaText &formula) { m_formulas << formula; }
    // Forgets what was loaded and the line written (a cleared tab, a visit opened).
    void clear();
    bool isEmpty() const { return m_formulas.isEmpty(); }
    const QList<FormulaText> &formulas() const { return m_formulas; }

    // The box's text without the 加减 line this visit wrote into it (the text a diff reads and a
    // formula is saved from).
    QString withoutLine(const QString &box) const;
    // The 加减 line of the box's text against what was loaded ("" when nothing was loaded).
    QString line(const FormulaDiffer &differ, const QString &box) const;
    // The box with the current 加减 line at its end on a line of its own, replacing the one
    // written before. Refused when nothing was loaded, or when the text would be longer than
    // the limit ("处方内容不能超过240个字，写入加减后为251个字，未写入。").
    Result written(const FormulaDiffer &differ, const QString &box);

private:
    QList<FormulaText> m_formulas;
    QString m_written; // what written() put at the end of the box: CR LF and the line
};

} // namespace qh::clinic
