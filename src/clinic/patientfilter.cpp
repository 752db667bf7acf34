#include "clinic/patientfilter.h"
#include "base/textutil.h"

namespace qh::clinic {

void PatientFilter::load(db::Session &s)
{
    m_matcher = pinyin::Matcher(pinyin::NameKind::Person);
    m_numbers.clear();
    auto q = s.query(QStringLiteral("select blbm, blxm, blte from hzblzl"));
    while (q.next()) {
        const QString number = trimSpaces(q.text(0));
        QStringList keys{number};
        if (const QString tel = trimSpaces(q.text(2)); !tel.isEmpty())
            keys << tel;
        m_matcher.add(trimSpaces(q.text(1)), 0, keys);
        m_numbers << number;
    }
    m_loaded = true;
}

QStringList PatientFilter::matches(const QString &typed) const
{
    QStringList out;
    for (const pinyin::Candidate &c : m_matcher.find(typed, m_matcher.size()))
        out << m_numbers.value(c.id);
    return out;
}

} // namespace qh::clinic
