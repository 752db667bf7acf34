#include "query/statistics.h"

#include "base/textutil.h"
#include "stock/posting.h"

#include <QHash>
#include <algorithm>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace qh::query {

int MonthRange::count() const
{
    if (!first.isValid() || !last.isValid() || last < first)
        return 0;
    return (last.year() - first.year()) * 12 + last.month() - first.month() + 1;
}

bool Statistics::isEmpty() const
{
    return std::all_of(months.begin(), months.end(), [](const MonthFigures &m) { return m.visits == 0 && m.dispensings == 0; });
}

int Statistics::visits() const
{
    int n = 0;
    for (const MonthFigures &m : months)
        n += m.visits;
    return n;
}

Money Statistics::revenue() const
{
    Money t;
    for (const MonthFigures &m : months)
        t += m.revenue;
    return t;
}

int Statistics::closedMonths() const
{
    return int(std::count_if(months.begin(), months.end(), [](const MonthFigures &m) { return m.closed; }));
}

Money Statistics::closedRevenue() const
{
    Money t;
    for (const MonthFigures &m : months)
        if (m.closed)
            t += m.revenue;
    return t;
}

Money Statistics::cost() const
{
    Money t;
    for (const MonthFigures &m : months)
        if (m.closed)
            t += m.cost;
    return t;
}

std::vector<HerbFigures> Statistics::ranking(HerbOrder order, int top) const
{
    const auto measure = [order](const HerbFigures &h) {
        switch (order) {
        case HerbOrder::Quantity: return h.quantity;
        case HerbOrder::Revenue: return h.revenue;
        case HerbOrder::Cost: return h.cost;
        }
        return Money();
    };
    std::vector<const HerbFigures *> sorted;
    sorted.reserve(herbs.size());
    for (const HerbFigures &h : herbs)
        if (order != HerbOrder::Cost || !h.cost.isZero())
            sorted.push_back(&h);
    std::sort(sorted.begin(), sorted.end(), [&measure](const HerbFigures *a, const HerbFigures *b) {
        const Money ma = measure(*a), mb = measure(*b);
        return ma != mb ? ma > mb : a->name < b->name;
    });
    std::vector<HerbFigures> out;
    const std::size_t shown = std::min(sorted.size(), std::size_t(std::max(0, top)));
    for (std::size_t i = 0; i < shown; ++i)
        out.push_back(*sorted[i]);
    if (sorted.size() > shown) {
        HerbFigures rest;
        rest.name = statistics::OtherHerbs;
        rest.other = true;
        rest.herbs = 0;
        for (std::size_t i = shown; i < sorted.size(); ++i) {
            rest.quantity += sorted[i]->quantity;
            rest.revenue += sorted[i]->revenue;
            rest.cost += sorted[i]->cost;
            ++rest.herbs;
        }
        out.push_back(rest);
    }
    return out;
}

namespace statistics {

namespace {

constexpr int MonthChars = 7; // "yyyy-mm"

// The month of a stored date text "yyyy-MM-dd HH:mm:ss" (its bytes) as months since year 0,
// or -1.
int monthNumber(QByteArrayView stored)
{
    if (stored.size() < MonthChars)
        return -1;
    const auto digit = [&stored](int i) { return stored[i] >= '0' && stored[i] <= '9' ? stored[i] - '0' : -1; };
    int year = 0;
    for (int i = 0; i < 4; ++i) {
        if (digit(i) < 0)
            return -1;
        year = year * 10 + digit(i);
    }
    if (stored[4] != '-' || digit(5) < 0 || digit(6) < 0)
        return -1;
    const int month = digit(5) * 10 + digit(6);
    return month >= 1 && month <= 12 ? year * 12 + month - 1 : -1;
}

int monthNumber(const QDate &d) { return d.year() * 12 + d.month() - 1; }

// The month number of a stored date field, computed by the engine (both dialects).
QString monthOf(const char *field)
{
    const QString f = QLatin1String(field);
    return QStringLiteral("cast(substr(%1, 1, 4) as integer) * 12 + cast(substr(%1, 6, 2) as integer) - 1").arg(f);
}

// The row keys of the rows whose date lies in the range, read from the index on the date
// alone; nothing when there is none. The program writes visits and movements as they happen,
// so a range's rows lie together in the table and reading the span of their keys reads little
// else; rows written out of order are still inside the span, and the month read with each row
// decides.
std::optional<std::pair<qint64, qint64>> rowSpan(db::Session &s, const QString &sql, const MonthRange &range)
{
    db::Statement q = s.query(sql, range.first, range.end());
    if (!q.next() || q.isNull(0))
        return std::nullopt;
    return std::pair{q.int64(0), q.int64(1)};
}

// Groups texts by their key, keeping the first spelling met as the name shown. Works on the
// texts' bytes as the engine hands them over: a row costs one lookup of its bytes, no QString.
class Groups {
public:
    int indexOf(QByteArrayView raw)
    {
        const std::string_view v(raw.data(), std::size_t(raw.size()));
        // Consecutive rows often repeat a name: the last one is compared first, then the
        // spellings met before; only a new spelling is trimmed and folded.
        if (m_lastIndex >= 0 && v == m_lastRaw)
            return m_lastIndex;
        auto it = m_raw.find(v);
        if (it == m_raw.end()) {
            const std::string key = keyOf(raw);
            auto k = m_index.find(key);
            if (k == m_index.end()) {
                k = m_index.emplace(key, int(m_first.size())).first;
                m_first.emplace_back(v);
            }
            it = m_raw.emplace(std::string(v), k->second).first;
        }
        m_lastRaw = it->first; // the map's nodes stay where they are
        m_lastIndex = it->second;
        return m_lastIndex;
    }
    // The names shown, by index: the first spelling trimmed, "（未填写）" for a blank one.
    QStringList names() const
    {
        QStringList out;
        out.reserve(qsizetype(m_first.size()));
        for (const std::string &raw : m_first) {
            const QString name = trimSpaces(QString::fromUtf8(raw.data(), qsizetype(raw.size())));
            out << (name.isEmpty() ? Unnamed : name);
        }
        return out;
    }
    int size() const { return int(m_first.size()); }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view v) const { return std::hash<std::string_view>{}(v); }
    };
    using Map = std::unordered_map<std::string, int, Hash, std::equal_to<>>;

    // groupKey of the text, as bytes; the text itself when it has nothing to trim or fold.
    static std::string keyOf(QByteArrayView raw)
    {
        const auto blankAt = [&raw](qsizetype i) {
            return raw[i] == ' ' || (i + 2 < raw.size() && raw[i] == '\xE3' && raw[i + 1] == '\x80' && raw[i + 2] == '\x80');
        };
        const auto blankEnds = [&raw](qsizetype n) {
            return raw[n - 1] == ' ' || (n >= 3 && raw[n - 3] == '\xE3' && raw[n - 2] == '\x80' && raw[n - 1] == '\x80');
        };
        bool plain = raw.isEmpty() || (!blankAt(0) && !blankEnds(raw.size()));
        for (qsizetype i = 0; plain && i < raw.size(); ++i)
            plain = raw[i] < 'A' || raw[i] > 'Z';
        if (plain)
            return std::string(raw.data(), std::size_t(raw.size()));
        const QByteArray key = groupKey(QString::fromUtf8(raw)).toUtf8();
        return std::string(key.constData(), std::size_t(key.size()));
    }

    Map m_index; // by key
    Map m_raw;   // by spelling
    std::vector<std::string> m_first; // the first spelling of each group
    std::string_view m_lastRaw;
    int m_lastIndex = -1;
};

// Visits per group and month, sorted into the shown order.
std::vector<GroupFigures> groupFigures(const Groups &groups, const std::vector<int> &counts, int months)
{
    std::vector<GroupFigures> out(std::size_t(groups.size()));
    const QStringList names = groups.names();
    for (int g = 0; g < groups.size(); ++g) {
        GroupFigures &f = out[std::size_t(g)];
        f.name = names[g];
        f.perMonth.assign(counts.begin() + std::ptrdiff_t(g) * months, counts.begin() + std::ptrdiff_t(g + 1) * months);
        for (int v : f.perMonth)
            f.visits += v;
    }
    std::sort(out.begin(), out.end(), [](const GroupFigures &a, const GroupFigures &b) {
        return a.visits != b.visits ? a.visits > b.visits : a.name < b.name;
    });
    return out;
}

void countVisits(db::Session &s, const MonthRange &range, Statistics &st)
{
    const int months = range.count();
    const int first = monthNumber(range.first);

    // Each case's first visit, over every visit before the range's end. The index on (case,
    // department, time) holds both fields, so the engine reads it instead of the visits.
    // The engine groups along the index, so one row per case comes back, with the row keys of
    // its visits in the range (see rowSpan); spellings the engine keeps apart and the program
    // joins (blanks around) are merged here.
    Groups cases;
    std::vector<int> firstVisit; // per case: month number of its first visit
    std::optional<std::pair<qint64, qint64>> span;
    {
        db::Statement q = s.query(QStringLiteral("select blbm, min(blsj), min(case when blsj >= ? then rowid end), "
                                                 "max(case when blsj >= ? then rowid end) "
                                                 "from hzzdzl indexed by zdbmi where blsj < ? group by blbm"),
                                  range.first, range.first, range.end());
        while (q.next()) {
            if (!q.isNull(2))
                span = span ? std::pair{std::min(span->first, q.int64(2)), std::max(span->second, q.int64(3))}
                            : std::pair{q.int64(2), q.int64(3)};
            const int m = monthNumber(q.utf8(1));
            if (m < 0)
                continue;
            const int c = cases.indexOf(q.utf8(0));
            if (c == int(firstVisit.size()))
                firstVisit.push_back(m);
            else if (m < firstVisit[std::size_t(c)])
                firstVisit[std::size_t(c)] = m;
        }
    }

    Groups doctors, departments;
    std::vector<int> byDoctor, byDepartment;
    std::vector<qint64> seen; // case x months + month, one per visit of the range
    if (!span)
        return;
    db::Statement q = s.query(QStringLiteral("select blbm, %1, blkb, zdys from hzzdzl where rowid >= ? and rowid <= ?").arg(monthOf("blsj")),
                              span->first, span->second);
    const auto add = [months](std::vector<int> &counts, int group, int month) {
        if (counts.size() < std::size_t(group + 1) * std::size_t(months))
            counts.resize(std::size_t(group + 1) * std::size_t(months), 0);
        ++counts[std::size_t(group) * std::size_t(months) + std::size_t(month)];
    };
    while (q.next()) {
        const int m = q.integer(1) - first;
        if (m < 0 || m >= months)
            continue;
        ++st.months[std::size_t(m)].visits;
        add(byDepartment, departments.indexOf(q.utf8(2)), m);
        add(byDoctor, doctors.indexOf(q.utf8(3)), m);
        seen.push_back(qint64(cases.indexOf(q.utf8(0))) * months + m);
    }
    byDoctor.resize(std::size_t(doctors.size()) * std::size_t(months), 0);
    byDepartment.resize(std::size_t(departments.size()) * std::size_t(months), 0);
    st.doctors = groupFigures(doctors, byDoctor, months);
    st.departments = groupFigures(departments, byDepartment, months);

    // Distinct cases per month: a case is new in the month of its first visit.
    std::sort(seen.begin(), seen.end());
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    qint64 lastCase = -1;
    for (qint64 key : seen) {
        const qint64 c = key / months;
        const int m = int(key % months);
        MonthFigures &f = st.months[std::size_t(m)];
        ++f.patients;
        const bool fresh = std::size_t(c) < firstVisit.size() && firstVisit[std::size_t(c)] == first + m;
        if (fresh)
            ++f.newPatients;
        if (c != lastCase) {
            ++st.patients;
            if (std::size_t(c) < firstVisit.size() && firstVisit[std::size_t(c)] >= first)
                ++st.newPatients;
            lastCase = c;
        }
    }
    for (MonthFigures &f : st.months)
        f.returningPatients = f.patients - f.newPatients;
}

void countMovements(db::Session &s, const MonthRange &range, Statistics &st)
{
    const int months = range.count();
    const int first = monthNumber(range.first);
    Groups herbs;
    std::vector<Money> quantity, revenue, cost; // cost per herb and month
    std::vector<int> costed(std::size_t(months), 0);

    const auto span =
        rowSpan(s, QStringLiteral("select min(rowid), max(rowid) from yccrtb indexed by ycrci where crsj >= ? and crsj < ?"), range);
    db::Statement q = s.query(QStringLiteral("select %1, case when ywzy = ? then 1 else 0 end, ycbm, cksl, ckje, xsje from yccrtb "
                                             "where rowid >= ? and rowid <= ?")
                                  .arg(monthOf("crsj")),
                              stock::SummaryDispensing, span ? span->first : 0, span ? span->second : -1);
    while (q.next()) {
        const int m = q.integer(0) - first;
        if (m < 0 || m >= months)
            continue;
        MonthFigures &f = st.months[std::size_t(m)];
        const Money cksl = q.money(3), ckje = q.money(4);
        if (!cksl.isZero()) {
            if (ckje.isZero())
                ++f.pendingIssues;
            else
                ++costed[std::size_t(m)];
        }
        if (q.integer(1) == 0)
            continue;
        const Money xsje = q.money(5);
        ++f.dispensings;
        f.revenue += xsje;
        f.cost += ckje;
        const int h = herbs.indexOf(q.utf8(2));
        if (h == int(quantity.size())) {
            quantity.emplace_back();
            revenue.emplace_back();
            cost.resize(cost.size() + std::size_t(months));
        }
        quantity[std::size_t(h)] += cksl;
        revenue[std::size_t(h)] += xsje;
        cost[std::size_t(h) * std::size_t(months) + std::size_t(m)] += ckje;
    }

    // A month is closed when none of its issues is pending and some closing ran after it: a
    // costed issue in it or in a later month (asked of the months after the range only when
    // it decides).
    bool later = false;
    bool askedBeyond = false;
    for (int m = months - 1; m >= 0; --m) {
        MonthFigures &f = st.months[std::size_t(m)];
        later = later || costed[std::size_t(m)] > 0;
        if (!later && f.pendingIssues == 0 && !askedBeyond) {
            askedBeyond = true;
            later = s.scalarInt(QStringLiteral("select count(*) from (select 1 from yccrtb where crsj >= ? and cksl <> 0 "
                                               "and ckje <> 0 limit 1) t"),
                                range.end())
                > 0;
        }
        f.closed = f.pendingIssues == 0 && later;
    }

    st.herbs.resize(std::size_t(herbs.size()));
    const QStringList names = herbs.names();
    for (int h = 0; h < herbs.size(); ++h) {
        HerbFigures &f = st.herbs[std::size_t(h)];
        f.name = names[h];
        f.quantity = quantity[std::size_t(h)];
        f.revenue = revenue[std::size_t(h)];
        for (int m = 0; m < months; ++m)
            if (st.months[std::size_t(m)].closed)
                f.cost += cost[std::size_t(h) * std::size_t(months) + std::size_t(m)];
    }
    std::sort(st.herbs.begin(), st.herbs.end(), [](const HerbFigures &a, const HerbFigures &b) { return a.name < b.name; });
}

} // namespace

QString groupKey(const QString &name)
{
    QString key = trimSpaces(name);
    bool upper = false;
    for (QChar c : key)
        upper = upper || (c >= u'A' && c <= u'Z');
    if (!upper)
        return key;
    for (QChar &c : key)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    return key;
}

QString monthText(const QDate &month) { return month.toString(QStringLiteral("yyyy-MM")); }

std::optional<QDate> parseMonthText(const QString &text)
{
    const QString t = toHalfWidth(text);
    if (t.size() != MonthChars || t[4] != u'-')
        return std::nullopt;
    for (int i : {0, 1, 2, 3, 5, 6})
        if (t[i] < u'0' || t[i] > u'9')
            return std::nullopt;
    const int year = t.left(4).toInt(), month = t.mid(5, 2).toInt();
    if (year < 1753 || month < 1 || month > 12) // the dates the stored texts can hold
        return std::nullopt;
    return QDate(year, month, 1);
}

MonthInput Qpcls(const QDate &today)
{
    const QDate last(today.year(), today.month(), 1);
    return {monthText(last.addMonths(-11)), monthText(last)};
}

Verdict<StatisticsField> checkFromOnEnter(const QString &from)
{
    if (!parseMonthText(from))
        return refusal(QStringLiteral("起始月份输入错误"), StatisticsField::MasQsyf, Select::head(MonthChars));
    return {};
}

Verdict<StatisticsField> checkToOnEnter(const QString &to)
{
    if (!parseMonthText(to))
        return refusal(QStringLiteral("截止月份输入错误"), StatisticsField::MasJsyf, Select::head(MonthChars));
    return {};
}

std::variant<MonthRange, Refusal<StatisticsField>> checkRange(const QString &from, const QString &to)
{
    if (auto r = checkFromOnEnter(from))
        return *r;
    if (auto r = checkToOnEnter(to))
        return *r;
    const MonthRange range{*parseMonthText(from), *parseMonthText(to)};
    if (range.last < range.first)
        return refusal(QStringLiteral("截止月份不能早于起始月份"), StatisticsField::MasJsyf, Select::head(MonthChars));
    if (range.count() > MaxMonths)
        return refusal(QStringLiteral("统计范围不能超过%1个月").arg(MaxMonths), StatisticsField::MasQsyf,
                       Select::head(MonthChars));
    return range;
}

namespace {

Statistics emptyFigures(const MonthRange &range)
{
    Statistics st;
    st.range = range;
    const int months = range.count();
    st.months.resize(std::size_t(months));
    for (int m = 0; m < months; ++m)
        st.months[std::size_t(m)].month = range.month(m);
    return st;
}

} // namespace

Statistics compute(db::Session &s, const MonthRange &range)
{
    Statistics st = emptyFigures(range);
    if (st.months.empty())
        return st;
    countVisits(s, range, st);
    countMovements(s, range, st);
    return st;
}

Statistics compute(const db::Store &store, const MonthRange &range)
{
    Statistics st = emptyFigures(range);
    if (st.months.empty())
        return st;
    // The movements on a session of their own beside the visits: the two reads share nothing.
    Statistics moved = st;
    std::exception_ptr failed;
    std::thread movements([&store, &range, &moved, &failed] {
        try {
            db::Session s = store.open();
            countMovements(s, range, moved);
        } catch (...) {
            failed = std::current_exception();
        }
    });
    try {
        db::Session s = store.open();
        countVisits(s, range, st);
    } catch (...) {
        movements.join();
        throw;
    }
    movements.join();
    if (failed)
        std::rethrow_exception(failed);
    for (std::size_t m = 0; m < st.months.size(); ++m) {
        MonthFigures &f = st.months[m];
        const MonthFigures &g = moved.months[m];
        f.revenue = g.revenue;
        f.dispensings = g.dispensings;
        f.pendingIssues = g.pendingIssues;
        f.closed = g.closed;
        f.cost = g.cost;
    }
    st.herbs = std::move(moved.herbs);
    return st;
}

QString noDataMessage() { return QStringLiteral("统计月份内没有就诊和处方收款记录"); }

} // namespace statistics
} // namespace qh::query
