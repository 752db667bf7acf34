#include "clinic/formuladiff.h"
#include "base/textutil.h"

#include <QHash>
#include <QRegularExpression>

namespace qh::clinic {

namespace {

// One unit for the spellings of one unit: 克 and g, Latin letters in either case.
QString unitKey(const QString &unit)
{
    const QString u = unit.toLower();
    if (u == u"克")
        return QStringLiteral("g");
    if (u == u"毫克")
        return QStringLiteral("mg");
    if (u == u"千克")
        return QStringLiteral("kg");
    if (u == u"毫升")
        return QStringLiteral("ml");
    return u;
}

// A dose without a unit counts as the other side's unit.
bool sameUnit(const QString &a, const QString &b) { return a.isEmpty() || b.isEmpty() || unitKey(a) == unitKey(b); }

QString doseText(const HerbDose &h) { return h.dose ? h.dose->toPlain() + h.unit : QString(); }

// The name of every item written "药名+数量[+单位]".
QStringList itemNames(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[，,、；;。：:\\s]+"));
    static const QRegularExpression item([] {
        QStringList units;
        for (const QString &u : herbs::doseUnits())
            units << QRegularExpression::escape(u);
        return QRegularExpression(QStringLiteral("^([^\\d.()（）\\[\\]【】]+?)\\s*\\d+(?:\\.\\d+)?\\s*(?:%1)?$").arg(units.join(u'|')),
                                  QRegularExpression::CaseInsensitiveOption);
    }());
    QStringList names;
    for (const QString &it : toHalfWidth(text).split(separators, Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = item.match(it);
        if (m.hasMatch())
            names << m.captured(1);
    }
    return names;
}

// Merges a herb into a list that holds each herb once; merge(existing, next) decides the dose.
template <typename Merge>
void mergeInto(QList<HerbDose> &list, QHash<QString, qsizetype> &at, const HerbDose &h, Merge merge)
{
    const auto it = at.constFind(h.name);
    if (it == at.constEnd()) {
        at.insert(h.name, list.size());
        list << h;
        return;
    }
    HerbDose &e = list[*it];
    if (!h.dose)
        return;
    if (!e.dose) {
        e.dose = h.dose;
        e.unit = h.unit;
        return;
    }
    merge(e, h);
}

} // namespace

QString HerbDose::text() const { return name + doseText(*this); }

QString DoseChange::text() const { return name + doseText(before) + QStringLiteral("→") + doseText(after); }

FormulaDiffer::FormulaDiffer(const QStringList &knownNames) : m_known(knownNames) {}

QList<HerbDose> FormulaDiffer::herbsOf(const QString &text) const
{
    herbs::NameFinder finder = m_known;
    finder.add(itemNames(text));
    return herbsOf(finder, text);
}

QList<HerbDose> FormulaDiffer::herbsOf(const herbs::NameFinder &finder, const QString &text) const
{
    QList<HerbDose> out;
    QHash<QString, qsizetype> at;
    for (const herbs::Mention &m : finder.find(text)) {
        mergeInto(out, at, {m.name, m.dose, m.unit}, [](HerbDose &e, const HerbDose &h) {
            // Written twice: the doses add up in one unit; in another unit the later one stands.
            if (sameUnit(e.unit, h.unit)) {
                try {
                    e.dose = *e.dose + *h.dose;
                    if (e.unit.isEmpty())
                        e.unit = h.unit;
                    return;
                } catch (const MoneyOverflow &) {
                }
            }
            e.dose = h.dose;
            e.unit = h.unit;
        });
    }
    return out;
}

FormulaDiff FormulaDiffer::diff(const FormulaText &formula, const QString &prescription) const
{
    return diff(QList<FormulaText>{formula}, prescription);
}

FormulaDiff FormulaDiffer::diff(const QList<FormulaText> &formulas, const QString &prescription) const
{
    herbs::NameFinder finder = m_known;
    QStringList names;
    for (const FormulaText &f : formulas) {
        finder.add(itemNames(f.composition));
        names << trimSpaces(f.name);
    }
    finder.add(itemNames(prescription));

    // The formulas' union: a shared herb once, with the larger dose of one unit.
    QList<HerbDose> source;
    QHash<QString, qsizetype> inSource;
    for (const FormulaText &f : formulas)
        for (const HerbDose &h : herbsOf(finder, f.composition))
            mergeInto(source, inSource, h, [](HerbDose &e, const HerbDose &next) {
                if (sameUnit(e.unit, next.unit) && *next.dose > *e.dose) {
                    e.dose = next.dose;
                    if (!next.unit.isEmpty())
                        e.unit = next.unit;
                }
            });

    const QList<HerbDose> now = herbsOf(finder, prescription);
    QHash<QString, qsizetype> inNow;
    for (qsizetype i = 0; i < now.size(); ++i)
        inNow.insert(now[i].name, i);

    FormulaDiff d;
    for (const HerbDose &h : now)
        if (!inSource.contains(h.name))
            d.added << h;
    for (const HerbDose &h : source) {
        const auto it = inNow.constFind(h.name);
        if (it == inNow.constEnd()) {
            d.removed << h;
            continue;
        }
        const HerbDose &p = now[*it];
        if (h.dose && p.dose && (*h.dose != *p.dose || !sameUnit(h.unit, p.unit)))
            d.changed << DoseChange{h.name, h, p};
    }

    QStringList parts;
    auto part = [&parts](const QString &head, const QStringList &items) {
        if (!items.isEmpty())
            parts << head + items.join(u'、');
    };
    QStringList added, removed, changed;
    for (const HerbDose &h : d.added)
        added << h.text();
    for (const HerbDose &h : d.removed)
        removed << h.name;
    for (const DoseChange &c : d.changed)
        changed << c.text();
    part(QStringLiteral("加："), added);
    part(QStringLiteral("去："), removed);
    part(QStringLiteral("改："), changed);

    const QString title = names.join(u'合');
    const QString what = d.unchanged() ? QStringLiteral("原方") : parts.join(u'；');
    d.line = title.isEmpty() ? what : title + u' ' + what;
    return d;
}

} // namespace qh::clinic
