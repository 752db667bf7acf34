#include "core/herbs.h"
#include "core/modutarnxt.h"
#include "base/textutil.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <memory>

namespace qh::herbs {

bool prescriptionNames(const QString &prescription, const QString &herb)
{
    const QString name = trimSpaces(herb);
    return !name.isEmpty() && trimSpaces(prescription).contains(name);
}

const QStringList &doseUnits()
{
    static const QStringList units{QStringLiteral("毫克"), QStringLiteral("千克"), QStringLiteral("毫升"),
                                   QStringLiteral("克"),   QStringLiteral("升"),   QStringLiteral("枚"),
                                   QStringLiteral("个"),   QStringLiteral("片"),   QStringLiteral("粒"),
                                   QStringLiteral("只"),   QStringLiteral("条"),   QStringLiteral("支"),
                                   QStringLiteral("钱"),   QStringLiteral("两"),   QStringLiteral("袋"),
                                   QStringLiteral("包"),   QStringLiteral("丸"),   QStringLiteral("mg"),
                                   QStringLiteral("kg"),   QStringLiteral("ml"),   QStringLiteral("g")};
    return units;
}

NameFinder::NameFinder(const QStringList &names) { add(names); }

void NameFinder::add(const QStringList &names)
{
    for (const QString &raw : names) {
        const QString n = trimSpaces(raw);
        if (n.isEmpty())
            continue;
        auto &list = m_byFirst[n.at(0)];
        if (!list.contains(n))
            list << n;
    }
    for (auto &list : m_byFirst)
        std::stable_sort(list.begin(), list.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
}

namespace {

bool isLatinLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// The unit at from (blanks before it allowed), as written; "" when none.
QString unitAt(const QString &text, qsizetype from)
{
    qsizetype i = from;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    for (const QString &u : doseUnits()) {
        const QStringView written = QStringView(text).mid(i, u.size());
        if (written.compare(u, Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype end = i + u.size();
        if (isLatinLetter(u.at(0)) && end < text.size() && isLatinLetter(text.at(end)))
            continue;
        return written.toString();
    }
    return {};
}

// The dose written right after a name: blanks, a number, an optional unit.
void readDose(const QString &text, qsizetype from, Mention &m)
{
    qsizetype i = from;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    const qsizetype start = i;
    while (i < text.size() && (text.at(i).isDigit() || text.at(i) == u'.'))
        ++i;
    if (i == start)
        return;
    m.dose = Money::parse(text.mid(start, i - start));
    if (m.dose)
        m.unit = unitAt(text, i);
}

} // namespace

QList<Mention> NameFinder::find(const QString &original) const
{
    // Full-width forms become ASCII one for one, so positions stay those of the original.
    const QString text = toHalfWidth(original);
    QList<Mention> out;
    qsizetype i = 0;
    while (i < text.size()) {
        const auto it = m_byFirst.constFind(text.at(i));
        const QString *hit = nullptr;
        if (it != m_byFirst.constEnd()) {
            for (const QString &n : *it) {
                if (QStringView(text).mid(i, n.size()) == n) {
                    hit = &n;
                    break;
                }
            }
        }
        if (!hit) {
            ++i;
            continue;
        }
        Mention m{*hit, i, std::nullopt, {}};
        readDose(text, i + hit->size(), m);
        out.append(m);
        i += hit->size();
    }
    return out;
}

QString RuleBook::read(const QString &text)
{
    const QStringList lines = text.split(u'\n');
    static const QRegularExpression separators(QStringLiteral("[\\s、，,]+"));
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n);
        if (const qsizetype hash = line.indexOf(u'#'); hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const auto fail = [&](const QString &what) {
            return QStringLiteral("第 %1 行：%2").arg(n + 1).arg(what);
        };
        line.replace(u'：', u':');
        const qsizetype space = line.indexOf(separators);
        const QString keyword = space < 0 ? line : line.left(space);
        const QString rest = space < 0 ? QString() : line.mid(space).trimmed();
        const auto words = [&](const QString &s) { return s.split(separators, Qt::SkipEmptyParts); };
        if (keyword == u"组" || keyword == u"十八反" || keyword == u"十九畏") {
            const qsizetype colon = rest.indexOf(u':');
            if (colon < 0)
                return fail(QStringLiteral("缺少冒号“：”"));
            const QStringList left = words(rest.left(colon));
            const QStringList right = words(rest.mid(colon + 1));
            if (left.isEmpty() || (keyword != u"组" && right.isEmpty()))
                return fail(QStringLiteral("冒号前后须写药名"));
            if (keyword == u"组") {
                if (left.size() != 1)
                    return fail(QStringLiteral("组名只能有一个"));
                m_groupNames.insert(left.first());
                m_groupsOf[left.first()].insert(left.first());
                for (const QString &m : right)
                    m_groupsOf[m].insert(left.first());
            } else {
                m_rules.append({keyword == u"十八反" ? RuleKind::Opposes : RuleKind::Fears, left, right});
            }
        } else if (keyword == u"妊娠禁用") {
            const QStringList names = words(rest);
            if (names.isEmpty())
                return fail(QStringLiteral("未写药名"));
            for (const QString &m : names)
                m_pregnancy.insert(m);
        } else if (keyword == u"另药") {
            for (const QString &m : words(rest))
                m_distinct.insert(m);
        } else {
            return fail(QStringLiteral("不认识的项目“%1”").arg(keyword));
        }
    }
    return {};
}

RuleBook RuleBook::standard(const QString &localFile, QString *error)
{
    RuleBook book;
    QString e;
    QFile shipped(QStringLiteral(":/data/herb-rules.txt"));
    if (!shipped.open(QIODevice::ReadOnly))
        e = QStringLiteral("找不到程序自带的配伍禁忌数据文件。");
    else if (const QString r = book.read(QString::fromUtf8(shipped.readAll())); !r.isEmpty())
        e = QStringLiteral("程序自带的配伍禁忌数据文件有误，%1").arg(r);
    if (e.isEmpty() && !localFile.isEmpty() && QFile::exists(localFile)) {
        QFile local(localFile);
        if (!local.open(QIODevice::ReadOnly))
            e = QStringLiteral("不能读取配伍禁忌数据文件 %1。").arg(localFile);
        else if (const QString r = book.read(QString::fromUtf8(local.readAll())); !r.isEmpty())
            e = QStringLiteral("配伍禁忌数据文件 %1 有误，%2").arg(localFile, r);
    }
    if (error)
        *error = e;
    return book;
}

QStringList RuleBook::names() const
{
    QSet<QString> all = m_groupNames;
    for (auto it = m_groupsOf.cbegin(); it != m_groupsOf.cend(); ++it)
        all.insert(it.key());
    for (const Rule &r : m_rules) {
        for (const QString &n : r.left)
            all.insert(n);
        for (const QString &n : r.right)
            all.insert(n);
    }
    all.unite(m_pregnancy);
    all.unite(m_distinct);
    return QStringList(all.cbegin(), all.cend());
}

QSet<QString> RuleBook::groupsOf(const QString &herb) const
{
    if (m_distinct.contains(herb))
        return {herb};
    QSet<QString> g = m_groupsOf.value(herb);
    g.insert(herb);
    return g;
}

bool RuleBook::forbiddenInPregnancy(const QString &herb) const { return m_pregnancy.contains(herb); }

namespace {

QList<Mention> mentionsOf(const RuleBook &book, const QString &prescription, const QStringList &drugNames)
{
    NameFinder finder(book.names());
    finder.add(drugNames);
    QList<Mention> found = finder.find(prescription);
    // Each herb once, at its first place.
    QList<Mention> once;
    QSet<QString> seen;
    for (const Mention &m : found)
        if (!seen.contains(m.name)) {
            seen.insert(m.name);
            once << m;
        }
    return once;
}

bool matchesAny(const QSet<QString> &groups, const QStringList &names)
{
    for (const QString &n : names)
        if (groups.contains(n))
            return true;
    return false;
}

QStringList pairFindings(const RuleBook &book, const QList<Mention> &herbs)
{
    QStringList out;
    for (int a = 0; a < herbs.size(); ++a) {
        const QSet<QString> ga = book.groupsOf(herbs[a].name);
        for (int b = a + 1; b < herbs.size(); ++b) {
            const QSet<QString> gb = book.groupsOf(herbs[b].name);
            for (const Rule &r : book.rules()) {
                const bool hit = (matchesAny(ga, r.left) && matchesAny(gb, r.right)) ||
                                 (matchesAny(gb, r.left) && matchesAny(ga, r.right));
                if (!hit)
                    continue;
                out << (r.kind == RuleKind::Opposes
                            ? QStringLiteral("%1 与 %2 相反（十八反），不宜同用").arg(herbs[a].name, herbs[b].name)
                            : QStringLiteral("%1 与 %2 相畏（十九畏），不宜同用").arg(herbs[a].name, herbs[b].name));
                break;
            }
        }
    }
    return out;
}

} // namespace

QStringList incompatibilities(const RuleBook &book, const QString &prescription, const QStringList &drugNames)
{
    return pairFindings(book, mentionsOf(book, prescription, drugNames));
}

QStringList check(const RuleBook &book, const CheckInput &in)
{
    const QList<Mention> herbs = mentionsOf(book, in.prescription, in.drugNames);
    QStringList out = pairFindings(book, herbs);
    if (in.female)
        for (const Mention &m : herbs)
            if (book.forbiddenInPregnancy(m.name))
                out << QStringLiteral("%1 为妊娠禁用药，请确认患者未怀孕").arg(m.name);
    if (!in.checkStock)
        return out;
    const QSet<QString> listed(in.drugNames.cbegin(), in.drugNames.cend());
    for (const Mention &m : herbs) {
        if (!listed.contains(m.name))
            continue;
        const StockState s = in.stock.value(m.name);
        if (!s.known || s.onHand <= Money()) {
            out << QStringLiteral("%1 库存中没有余量").arg(m.name);
            continue;
        }
        if (m.dose && s.onHand < *m.dose)
            out << QStringLiteral("%1 库存余量 %2，少于处方用量 %3").arg(m.name, s.onHand.toPlain(), m.dose->toPlain());
        if (s.expired && s.expiry)
            out << QStringLiteral("%1 库存药材已过有效期（%2）").arg(m.name, qh::dateText(*s.expiry));
    }
    return out;
}

namespace {
struct RulesState {
    bool read = false;
    std::unique_ptr<RuleBook> book; // null when a file is broken
};
RulesState &rulesState()
{
    static RulesState s;
    return s;
}
} // namespace

QString localRulesFile()
{
    return QDir(Modutarnxt::SystemRoot).filePath(QStringLiteral("herb-rules-local.txt"));
}

const RuleBook *programRules(QString *error)
{
    RulesState &s = rulesState();
    if (!s.read) {
        s.read = true;
        QString e;
        auto book = std::make_unique<RuleBook>(RuleBook::standard(localRulesFile(), &e));
        if (e.isEmpty())
            s.book = std::move(book);
        else if (error)
            *error = e + QStringLiteral("\r\n处方检查暂停使用，请改正后重新启动程序。");
    }
    return s.book.get();
}

void resetProgramRules() { rulesState() = RulesState{}; }

} // namespace qh::herbs
