#include "clinic/formulaquick.h"
#include "base/textutil.h"

namespace qh::clinic {

namespace {

bool endsInSeparator(const QString &text)
{
    if (text.isEmpty())
        return true;
    const QChar last = text.back();
    return last == u'，' || last == u',' || last == u'、' || last == u'；' || last == u';' || last == u'。'
           || last == u'\n' || last == u'\r' || last == u' ';
}

} // namespace

void FormulaQuick::setFormulas(const std::vector<FormulaRow> &rows)
{
    m_matcher = pinyin::Matcher(pinyin::NameKind::Herb);
    m_sources.clear();
    m_matcher.reserve(int(rows.size()));
    for (const FormulaRow &r : rows) {
        const QString name = trimSpaces(r.name);
        if (name.isEmpty())
            continue;
        m_matcher.add(name, -qint64(name.size())); // among equal matches the shorter name: 桂枝汤 before 桂枝加葛根汤
        m_sources << trimSpaces(r.source);
    }
}

QList<QuickFormula> FormulaQuick::candidates(const QString &typed, int limit) const
{
    QList<QuickFormula> out;
    for (const pinyin::Candidate &c : m_matcher.find(typed, limit))
        out.append({m_matcher.name(c.id), m_sources.value(c.id)});
    return out;
}

LoadedFormulas::Result LoadedFormulas::appended(const QString &box, const FormulaText &formula)
{
    QString composition = formula.composition.trimmed();
    if (!composition.isEmpty() && !endsInSeparator(composition))
        composition += u'，';
    QString text = box;
    if (!endsInSeparator(text))
        text += u'，';
    text += composition;
    if (text.size() > PrescriptionMax)
        return {std::nullopt, QStringLiteral("处方内容不能超过%1个字，加入方剂“%2”后为%3个字，未加入。")
                                  .arg(PrescriptionMax)
                                  .arg(formula.name)
                                  .arg(text.size())};
    return {text, {}};
}

void LoadedFormulas::clear()
{
    m_formulas.clear();
    m_written.clear();
}

QString LoadedFormulas::withoutLine(const QString &box) const
{
    if (m_written.isEmpty())
        return box;
    const qsizetype at = box.lastIndexOf(m_written);
    if (at < 0)
        return box;
    QString text = box;
    text.remove(at, m_written.size());
    return text;
}

QString LoadedFormulas::line(const FormulaDiffer &differ, const QString &box) const
{
    if (m_formulas.isEmpty())
        return {};
    return differ.diff(m_formulas, withoutLine(box)).line;
}

LoadedFormulas::Result LoadedFormulas::written(const FormulaDiffer &differ, const QString &box)
{
    if (m_formulas.isEmpty())
        return {std::nullopt, QStringLiteral("处方不是由方剂或上次处方开始的，没有加减可写入。")};
    QString text = withoutLine(box);
    while (text.endsWith(QStringLiteral("\r\n")))
        text.chop(2);
    const QString written = QStringLiteral("\r\n") + differ.diff(m_formulas, text).line;
    text += written;
    if (text.size() > PrescriptionMax)
        return {std::nullopt,
                QStringLiteral("处方内容不能超过%1个字，写入加减后为%2个字，未写入。").arg(PrescriptionMax).arg(text.size())};
    m_written = written;
    return {text, {}};
}

} // namespace qh::clinic
