#include "clinic/formulas.h"
#include "base/textutil.h"
#include "clinic/punctuation.h"

namespace qh::clinic {

namespace {

constexpr FormulaField kName = FormulaField::TxtFjmc;
constexpr FormulaField kSource = FormulaField::TxtFjly;
constexpr FormulaField kComposition = FormulaField::TxtFjgc;
constexpr FormulaField kList = FormulaField::MSFGridFjmc;

FormulaAnswer refused(FormulaVerdict r)
{
    FormulaAnswer a;
    a.refusal = std::move(r);
    return a;
}

FormulaAnswer failed(const DbError &e)
{
    FormulaAnswer a;
    a.failure = shortReport(e);
    return a;
}

// A blank optional text is stored as Null (the Text fields refuse "").
std::optional<QString> orNull(const QString &text)
{
    if (text.trimmed().isEmpty())
        return std::nullopt;
    return text;
}

// A long text in the stored form of the visits' texts; one of blanks and line breaks is empty
// (the stored form would make it two spaces).
QString storedLongText(const QString &text)
{
    const QString stored = NormalizePunctuation(text);
    return stored.trimmed().isEmpty() ? QString() : stored;
}

FormulaVerdict gone(const QString &name)
{
    return refusal(QStringLiteral("方剂“%1”已不在方剂表中（可能已被删除），请重新选择。").arg(name), kList,
                   Select::none());
}

} // namespace

QString Formulas::duplicateMessage(const QString &name)
{
    return QStringLiteral("方剂名称“%1”已经存在，请换一个名称。").arg(name);
}

QString FormulaImport::message() const
{
    if (!failure.isEmpty())
        return failure;
    QString text = QStringLiteral("已导入经方 %1 首。").arg(added);
    if (kept > 0)
        text = QStringLiteral("已导入经方 %1 首；另有 %2 首方剂表中已有同名方剂，保留原样，未导入。").arg(added).arg(kept);
    return text;
}

std::vector<FormulaRow> Formulas::list()
{
    std::vector<FormulaRow> rows;
    auto q = m_s.query(QStringLiteral("select fjmc, fjly from zyfj order by fjmc"));
    while (q.next())
        rows.push_back({q.text(0), q.text(1)});
    return rows;
}

std::optional<Formula> Formulas::find(const QString &name)
{
    auto q = m_s.query(QStringLiteral("select fjmc, fjly, fjgc, fjgy, fjzz, fjyf, fjxd, dlxm from zyfj where fjmc = ?"),
                       trimSpaces(name));
    if (!q.next())
        return std::nullopt;
    return Formula{q.text(0), q.text(1), q.text(2), q.text(3), q.text(4), q.text(5), q.text(6), q.text(7)};
}

FormulaVerdict Formulas::check(Formula &f)
{
    f.name = trimSpaces(f.name);
    f.source = trimSpaces(f.source);
    f.composition = storedLongText(f.composition);
    f.actions = storedLongText(f.actions);
    f.indications = storedLongText(f.indications);
    f.usage = storedLongText(f.usage);
    f.notes = storedLongText(f.notes);

    if (f.name.isEmpty())
        return refusal(QStringLiteral("输入方剂名称"), kName, Select::none());
    if (charCount(f.name) > NameMax)
        return refusal(QStringLiteral("方剂名称不能超过%1个字").arg(NameMax), kName);
    if (f.composition.isEmpty())
        return refusal(QStringLiteral("输入方剂组成"), kComposition, Select::none());
    if (charCount(f.source) > SourceMax)
        return refusal(QStringLiteral("方剂出处不能超过%1个字").arg(SourceMax), kSource);
    return std::nullopt;
}

namespace {

// Runs write in one transaction; a duplicate name is refused in the program's words.
template <typename Write>
FormulaAnswer written(db::Session &s, const QString &name, Write write)
{
    try {
        db::Transaction t(s);
        if (FormulaVerdict r = write())
            return refused(std::move(r));
        t.commit();
    } catch (const DbError &e) {
        if (e.number() == err::Duplicate)
            return refused(refusal(Formulas::duplicateMessage(name), kName));
        return failed(e);
    }
    return {};
}

void insert(db::Session &s, const Formula &f, const QString &user)
{
    s.exec(QStringLiteral("insert into zyfj(fjmc, fjgc, fjgy, fjzz, fjyf, fjly, fjxd, dlxm) values(?, ?, ?, ?, ?, ?, ?, ?)"),
           f.name, f.composition, orNull(f.actions), orNull(f.indications), orNull(f.usage), orNull(f.source),
           orNull(f.notes), orNull(trimSpaces(user)));
}

} // namespace

FormulaAnswer Formulas::add(Formula f, const QString &user)
{
    if (FormulaVerdict r = check(f))
        return refused(std::move(r));
    return written(m_s, f.name, [&]() -> FormulaVerdict {
        insert(m_s, f, user);
        return std::nullopt;
    });
}

FormulaAnswer Formulas::change(const QString &oldName, Formula f, const QString &user)
{
    if (FormulaVerdict r = check(f))
        return refused(std::move(r));
    const QString old = trimSpaces(oldName);
    return written(m_s, f.name, [&]() -> FormulaVerdict {
        const int n = m_s.exec(QStringLiteral("update zyfj set fjmc = ?, fjgc = ?, fjgy = ?, fjzz = ?, fjyf = ?, fjly = ?, "
                                              "fjxd = ?, dlxm = ? where fjmc = ?"),
                               f.name, f.composition, orNull(f.actions), orNull(f.indications), orNull(f.usage),
                               orNull(f.source), orNull(f.notes), orNull(trimSpaces(user)), old);
        if (n == 0)
            return gone(old);
        return std::nullopt;
    });
}

FormulaAnswer Formulas::remove(const QString &name)
{
    const QString n = trimSpaces(name);
    if (n.isEmpty())
        return refused(refusal(QStringLiteral("请先在方剂表中选择要删除的方剂。"), kList, Select::none()));
    return written(m_s, n, [&]() -> FormulaVerdict {
        if (m_s.exec(QStringLiteral("delete from zyfj where fjmc = ?"), n) == 0)
            return gone(n);
        return std::nullopt;
    });
}

FormulaImport Formulas::importClassical(const QList<ClassicalFormula> &formulas, const QString &user)
{
    FormulaImport result;
    try {
        db::Transaction t(m_s);
        for (const ClassicalFormula &c : formulas) {
            Formula f{c.name, c.source, c.composition, c.actions, c.indications, c.usage, {}, {}};
            // The stored forms; the reader has refused a formula without a name or composition,
            // and a name longer than its field fails the insert (nothing is imported then).
            (void)check(f);
            if (m_s.scalarInt(QStringLiteral("select count(*) from zyfj where fjmc = ?"), f.name) > 0) {
                ++result.kept;
                continue;
            }
            insert(m_s, f, user);
            ++result.added;
        }
        t.commit();
    } catch (const DbError &e) {
        return {0, 0, shortReport(e)};
    }
    return result;
}

FormulaAnswer Formulas::saveAsFormula(const QString &prescription, const QString &name, const QString &user)
{
    Formula f;
    f.name = name;
    f.composition = prescription;
    f.source = ownSource();
    return add(std::move(f), user);
}

} // namespace qh::clinic
