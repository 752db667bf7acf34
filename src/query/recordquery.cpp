#include "query/recordquery.h"

#include "core/modutarnxt.h"
#include "core/searchindex.h"
#include "core/searchtokenizer.h"
#include "base/textutil.h"
#include "db/features.h"

#include <QHash>
#include <QStringList>
#include <unordered_map>
#include <unordered_set>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <tuple>

namespace qh::query {

namespace {

const QString AgeWrong = QStringLiteral("患者年龄输入错误");
const QString Eol = QStringLiteral("\r\n");

// A LIKE pattern that finds the text literally anywhere (wildcards typed by the user match
// themselves; "" matches any non-null value).
QString pattern(const QString &text) { return likeContains(text); }

// The numeric value of an age box ("12", or " 1,2 " pasted); NaN when not numeric.
double ageValue(const QString &text)
{
    if (!isNumeric(text))
        return std::nan("");
    QString t = toHalfWidth(text);
    t.remove(u',');
    return t.trimmed().toDouble();
}

// The whole ages from and to (an age box that is not a number finds nobody).
qint64 ageLow(double from) { return qint64(std::ceil(std::isnan(from) ? 0 : std::clamp(from, -1e9, 1e9))); }
qint64 ageHigh(double to) { return qint64(std::floor(std::isnan(to) ? -1 : std::clamp(to, -1e9, 1e9))); }

QString day(const std::optional<QDateTime> &d) { return d ? dateText(d->date()) : QString(); }

// The first search text longer than its box takes.
Verdict<QueryField> tooLongText(const SearchInput &in)
{
    const std::pair<QueryField, const QString *> texts[] = {
        {QueryField::TxtBlhm, &in.blbm},  {QueryField::TxtZlcs, &in.blkb},  {QueryField::TxtZlys, &in.zdys},
        {QueryField::TxtBzmc, &in.bzqk},  {QueryField::TxtHzxm, &in.blxm},  {QueryField::TxtZlfa, &in.planA},
        {QueryField::TxtZlaf, &in.planB}, {QueryField::TxtZlcf, &in.rxA},   {QueryField::TxtZlfc, &in.rxB},
        {QueryField::CboHyqk, &in.marital}, {QueryField::CboHzxb, &in.sex}};
    for (const auto &[box, text] : texts) {
        const int limit = RecordQuery::searchTextLimit(box);
        if (text->size() > limit)
            return refusal(QStringLiteral("查询内容不能超过%1个字").arg(limit), box);
    }
    return {};
}

} // namespace

Verdict<QueryField> RecordQuery::checkStartEnter(const QString &text, const QDate &today)
{
    const auto d = parseDateText(text);
    if (!d)
        return refusal(QStringLiteral("查询起始时间输入错误"), QueryField::MasQssj);
    if (*d > today)
        return refusal(QStringLiteral("查询时间不能超过系统目前时间"), QueryField::MasQssj);
    return {};
}

Verdict<QueryField> RecordQuery::checkEndEnter(const QString &text)
{
    if (!parseDateText(text))
        return refusal(QStringLiteral("查询起截止间输入错误"), QueryField::MasJssj);
    return {};
}

Verdict<QueryField> RecordQuery::checkAgeToEnter(const QString &ageFrom, const QString &ageTo)
{
    if (trimSpaces(ageTo).isEmpty())
        return refusal(QStringLiteral("请输入年龄时间段"), QueryField::TxtHzln);
    const double from = ageValue(ageFrom.isEmpty() ? QStringLiteral("0") : ageFrom);
    const double to = ageValue(ageTo);
    if (!std::isnan(from) && !std::isnan(to) && to < from)
        return refusal(QStringLiteral("年龄截止时间不能大于年龄起始时间"), QueryField::TxtHzln);
    return {};
}

Verdict<QueryField> RecordQuery::validateSearch(const SearchInput &in)
{
    const auto start = parseDateText(in.start);
    if (!start)
        return refusal(QStringLiteral("起时时间错误"), QueryField::MasQssj);
    const auto end = parseDateText(in.end);
    if (!end)
        return refusal(QStringLiteral("截止时间错误"), QueryField::MasJssj);
    if (*start > *end)
        return refusal(QStringLiteral("截止时间不能小于起始时间"), QueryField::MasJssj);
    if (!isNumeric(in.ageFrom))
        return refusal(AgeWrong, QueryField::TxtHznl, Select::head(2));
    if (!isNumeric(in.ageTo))
        return refusal(AgeWrong, QueryField::TxtHzln, Select::head(2));
    return tooLongText(in);
}

int RecordQuery::searchTextLimit(QueryField box)
{
    switch (box) {
    case QueryField::TxtBlhm:
    case QueryField::TxtHzxm: return 20;
    case QueryField::CboHyqk:
    case QueryField::CboHzxb: return 10;
    case QueryField::TxtHznl:
    case QueryField::TxtHzln: return 3;
    case QueryField::MasQssj:
    case QueryField::MasJssj: return 10;
    default: return 50;
    }
}

SearchSql RecordQuery::buildSearch(const SearchInput &in, bool fromCandidates)
{
    SearchSql q;
    auto like = [&q](const char *column, const QString &text) {
        q.text += QStringLiteral(" and %1 like ? escape '\\'").arg(QLatin1String(column));
        q.values.emplace_back(pattern(text));
    };
    const QDate start = parseDateText(in.start).value_or(QDate());
    const QDate end = parseDateText(in.end).value_or(QDate());
    const QString from = dbDate(start);
    const QString until = dbDate(end.addDays(1)); // the end day is included whatever the time
    const double ageFrom = ageValue(in.ageFrom);
    const double ageTo = ageValue(in.ageTo);

    // The loops are given in the order that reads the least: in mode 复诊 the follow-ups of the
    // range first, each visit found through its unique key; otherwise the candidate visits (or
    // all visits in stored order, the date tested first), each patient found by case number.
    if (in.followUps) {
        q.text = QStringLiteral("select h.rowid from fzzl f cross join hzzdzl h cross join hzblzl b"
                                " where f.blfz >= ? and f.blfz < ?"
                                " and h.blbm = f.blbm and h.blkb = f.blkb and h.blsj = f.blsj and h.blbm = b.blbm");
    } else if (fromCandidates) {
        q.text = QStringLiteral("select h.rowid from temp.zdcxhx c cross join hzzdzl h cross join hzblzl b"
                                " where h.rowid = c.rid and h.blsj >= ? and h.blsj < ? and h.blbm = b.blbm");
    } else {
        q.text = QStringLiteral("select h.rowid from hzzdzl h cross join hzblzl b"
                                " where h.blsj >= ? and h.blsj < ? and h.blbm = b.blbm");
    }
    q.values.emplace_back(from);
    q.values.emplace_back(until);
    like("h.blbm", in.blbm);
    like("h.blkb", in.blkb);
    like("h.bzqk", in.bzqk);
    like("h.zdys", in.zdys);
    like("h.blfa", in.planA);
    like("h.blfa", in.planB);
    like("h.blcf", in.rxA);
    like("h.blcf", in.rxB);
    like("b.blxm", in.blxm);
    like("b.blhf", in.marital);
    like("b.blxb", in.sex);
    q.text += QStringLiteral(" and b.blnl between ? and ?");
    q.values.emplace_back(ageLow(ageFrom));
    q.values.emplace_back(ageHigh(ageTo));
    q.text += QStringLiteral(" order by h.blbm, h.blsj, h.blkb");
    return q;
}

namespace {

void bindValues(db::Statement &st, const SearchSql &q)
{
    int i = 0;
    for (const auto &v : q.values) {
        ++i;
        if (const auto *t = std::get_if<QString>(&v))
            st.bind(i, *t);
        else
            st.bind(i, std::get<qint64>(v));
    }
}

SearchResult collect(db::Session &s, const SearchSql &q)
{
    db::Statement st = s.prepare(q.text);
    bindValues(st, q);
    SearchResult r;
    while (st.next())
        r.rows.push_back(st.int64(0));
    return r;
}

using searchindex::timeNumber;
using searchindex::flagsOf;
constexpr const auto &IndexColumns = searchindex::Columns;

// The characters the index leaves out (its query syntax).
QString indexable(const QString &keyword)
{
    QString k = keyword;
    k.remove(u'*').remove(u'"').remove(u'^');
    return k;
}

bool exactInIndex(const QString &keyword) { return indexable(keyword).size() == keyword.size(); }

qint64 dayNumber(const QDate &d) { return (qint64(d.year()) * 10000 + d.month() * 100 + d.day()) * 1000000; }

// The objects of the search index, each as the engine keeps its statement: a file whose
// objects differ (missing, or made by an earlier version) has its index made again.
const std::vector<searchindex::Object> &indexObjects() { return searchindex::objects(); }

// A text (its UTF-8 bytes) as the engine's NOCASE collation orders it: ASCII letters in lower
// case.
QByteArray foldedKey(QByteArray b)
{
    for (char &c : b)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return b;
}

// The engine's order of two such keys: byte by byte, unsigned, the shorter first.
int bytewise(const QByteArray &a, const QByteArray &b)
{
    const qsizetype n = std::min(a.size(), b.size());
    if (const int c = n ? std::memcmp(a.constData(), b.constData(), size_t(n)) : 0; c != 0)
        return c;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// A found visit and its place in the grid's order: case number, time, department.
struct Keyed {
    qsizetype patient; // place of the case number among the matching patients
    qint64 blsj;
    qint64 rid;
    QByteArray blkb; // read only for visits of a patient at the same time
};

} // namespace

bool RecordQuery::hasSearchIndex(db::Session &s)
{
    if (!db::supports(s, db::Feature::FullTextIndex))
        return true; // searched by the plain statement: nothing to make
    QHash<QString, QString> stored;
    for (const db::StoredObject &o : db::storedObjects(s))
        stored.insert(o.name, o.sql.value_or(QString()));
    for (const searchindex::Object &o : indexObjects()) {
        const auto it = stored.constFind(QLatin1String(o.name));
        if (it == stored.constEnd() || *it != o.sql)
            return false;
    }
    return true;
}

void RecordQuery::ensureSearchIndex(db::Session &s, const std::function<void(qint64, qint64)> &progress)
{
    if (hasSearchIndex(s))
        return;
    db::Transaction t(s);
    if (hasSearchIndex(s)) // another program made it while this one waited for the file
        return;
    for (const char *trigger : {"zdcx_ai", "zdcx_bu", "zdcx_au", "zdcx_bd"})
        s.exec(QStringLiteral("drop trigger if exists %1").arg(QLatin1String(trigger)));
    s.exec(QStringLiteral("drop table if exists zdcx"));
    s.exec(QStringLiteral("drop table if exists zdcxsj"));
    const auto &objects = indexObjects();
    s.exec(objects[0].sql);
    s.exec(objects[1].sql);
    // The full-text index from the visits a block of row ids at a time (what 'rebuild' does in
    // one statement), so the caller can show how far it is.
    const qint64 first = s.scalarInt(QStringLiteral("select coalesce(min(rowid), 1) - 1 from hzzdzl"));
    const qint64 last = s.scalarInt(QStringLiteral("select coalesce(max(rowid), 0) from hzzdzl"));
    const qint64 total = last - first + 1; // and one step for the date table
    auto fill = s.prepare(QStringLiteral("insert into zdcx(docid, blcf, bzqk, blfa, zdys) select rowid, blcf, bzqk, blfa, "
                                         "zdys from hzzdzl where rowid > ? and rowid <= ?"));
    for (qint64 from = first; from < last;) {
        const qint64 to = last - from > IndexBlockRows ? from + IndexBlockRows : last;
        fill.reset();
        fill.bind(1, from);
        fill.bind(2, to);
        fill.run();
        from = to;
        if (progress)
            progress(to - first, total);
    }
    // In key order, so the table is written page after page.
    s.exec(QStringLiteral("insert into zdcxsj(blsj, rid, blbm, blkb, flags) select %1, rowid, blbm, blkb, %2 from hzzdzl "
                          "order by 1, 2")
               .arg(timeNumber(QStringLiteral("blsj")), flagsOf(QString())));
    for (size_t i = 2; i < objects.size(); ++i)
        s.exec(objects[i].sql);
    t.commit();
    if (progress)
        progress(total, total);
}

std::vector<std::pair<QString, QString>> RecordQuery::indexTerms(const SearchInput &in)
{
    std::vector<std::pair<QString, QString>> terms;
    const std::pair<const char *, const QString *> keywords[] = {
        {"bzqk", &in.bzqk}, {"blfa", &in.planA}, {"blfa", &in.planB},
        {"blcf", &in.rxA},  {"blcf", &in.rxB},   {"zdys", &in.zdys}};
    for (const auto &[column, keyword] : keywords) {
        const QString k = indexable(*keyword);
        if (!k.isEmpty())
            terms.emplace_back(QLatin1String(column), u'"' + k + QStringLiteral("*\""));
    }
    return terms;
}

SearchResult RecordQuery::runSearch(db::Session &s, const SearchInput &in, Plan plan)
{
    // A pattern too long for the engine (LIKE takes at most 50,000 bytes) never reaches it.
    if (const auto r = tooLongText(in))
        throw DbError(err::TooLong, r->message);
    // An engine without full-text indexes (the server) searches by the plain statement.
    if (in.followUps || plan == Plan::Scan || !db::supports(s, db::Feature::FullTextIndex))
        return collect(s, buildSearch(in));

    ensureSearchIndex(s);
    SearchResult r;
    // The keywords through the full-text index: for a keyword without a character the index
    // leaves out, a visit without such a character in that column is found exactly when the
    // column has the keyword; the others are tested on their rows below.
    const std::pair<int, const QString *> keywords[] = {{1, &in.bzqk}, {2, &in.planA}, {2, &in.planB},
                                                        {0, &in.rxA},  {0, &in.rxB},   {3, &in.zdys}};
    qint64 needText = 0;  // flags a visit must have: a text in every column
    qint64 needCheck = 0; // flags that send a visit to the test on its row
    bool checkAll = false; // a keyword the index cannot decide: every candidate tested on its row
    std::vector<bool> candidate;
    bool narrowed = false;
    for (const auto &[column, keyword] : keywords) {
        needText |= qint64(1) << column;
        if (keyword->isEmpty())
            continue;
        needCheck |= qint64(1) << (4 + column);
        if (!exactInIndex(*keyword))
            checkAll = true;
        const QString k = indexable(*keyword);
        if (k.isEmpty())
            continue;
        // Column and phrase: the index's own names and a quoted phrase; the phrase is bound.
        auto st = s.query(QStringLiteral("select docid from zdcx where %1 match ?").arg(QLatin1String(IndexColumns[column])),
                          u'"' + k + QStringLiteral("*\""));
        std::vector<bool> found(narrowed ? candidate.size() : 0);
        while (st.next()) {
            const qint64 id = st.int64(0);
            if (narrowed) {
                if (id >= 0 && size_t(id) < candidate.size() && candidate[size_t(id)])
                    found[size_t(id)] = true;
            } else if (id >= 0) {
                if (size_t(id) >= found.size())
                    found.resize(size_t(id) + 1);
                found[size_t(id)] = true;
            }
        }
        candidate.swap(found);
        narrowed = true;
        if (std::find(candidate.begin(), candidate.end(), true) == candidate.end())
            return r;
    }

    // The patients whose particulars match, by case number in the engine's order.
    std::vector<QByteArray> patients;
    {
        auto st = s.query(QStringLiteral("select blbm from hzblzl where blxm like ? escape '\\' and blhf like ? escape '\\' "
                                         "and blxb like ? escape '\\' and blnl between ? and ?"),
                          pattern(in.blxm), pattern(in.marital), pattern(in.sex), ageLow(ageValue(in.ageFrom)),
                          ageHigh(ageValue(in.ageTo)));
        while (st.next())
            patients.push_back(foldedKey(st.blob(0)));
    }
    std::sort(patients.begin(), patients.end(), [](const QByteArray &a, const QByteArray &b) { return bytewise(a, b) < 0; });
    std::unordered_map<QByteArray, qsizetype> place; // case number -> place in that order
    place.reserve(patients.size());
    for (size_t i = 0; i < patients.size(); ++i)
        place.emplace(patients[i], qsizetype(i));

    // The visits of the date range from the index's date table, with case number and
    // department tested there; nothing of a visit row is read.
    const QDate start = parseDateText(in.start).value_or(QDate());
    const QDate end = parseDateText(in.end).value_or(QDate());
    QString sql = QStringLiteral("select rid, blsj, blbm, flags from zdcxsj where blsj >= ? and blsj < ?");
    if (!in.blbm.isEmpty())
        sql += QStringLiteral(" and blbm like ? escape '\\'");
    if (!in.blkb.isEmpty())
        sql += QStringLiteral(" and blkb like ? escape '\\'");
    db::Statement st = s.prepare(sql);
    int b = 0;
    st.bind(++b, dayNumber(start));
    st.bind(++b, dayNumber(end.addDays(1)));
    if (!in.blbm.isEmpty())
        st.bind(++b, pattern(in.blbm));
    if (!in.blkb.isEmpty())
        st.bind(++b, pattern(in.blkb));
    std::vector<Keyed> keyed;
    std::vector<size_t> toCheck; // places in keyed of the visits tested on their rows
    while (st.next()) {
        const qint64 rid = st.int64(0);
        if (narrowed && (rid < 0 || size_t(rid) >= candidate.size() || !candidate[size_t(rid)]))
            continue;
        const qint64 flags = st.int64(3);
        if ((flags & needText) != needText)
            continue;
        const auto p = place.find(foldedKey(st.blob(2)));
        if (p == place.end())
            continue;
        if (checkAll || (flags & needCheck) != 0)
            toCheck.push_back(keyed.size());
        keyed.push_back({p->second, st.int64(1), rid, {}});
    }

    // The visits the index cannot decide: every condition tested on their rows.
    if (!toCheck.empty()) {
        std::unordered_set<qint64> kept;
        s.execScript(QStringLiteral("create temp table if not exists zdcxhx(rid integer primary key); delete from temp.zdcxhx"));
        {
            db::Transaction t(s);
            auto ins = s.prepare(QStringLiteral("insert into temp.zdcxhx(rid) values(?)"));
            for (size_t i : toCheck) {
                ins.reset();
                ins.bind(1, keyed[i].rid);
                ins.run();
            }
            t.commit();
        }
        for (qint64 id : collect(s, buildSearch(in, true)).rows)
            kept.insert(id);
        s.execScript(QStringLiteral("delete from temp.zdcxhx"));
        std::vector<bool> dropped(keyed.size());
        for (size_t i : toCheck)
            dropped[i] = kept.count(keyed[i].rid) == 0;
        size_t n = 0;
        for (size_t i = 0; i < keyed.size(); ++i)
            if (!dropped[i])
                keyed[n++] = std::move(keyed[i]);
        keyed.resize(n);
    }

    // The grid's order: case number, time, department, each as the engine orders them. Two
    // visits of a patient at the same time are told apart by their departments, read for them
    // alone.
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        return std::tie(a.patient, a.blsj, a.rid) < std::tie(b.patient, b.blsj, b.rid);
    });
    auto dept = s.prepare(QStringLiteral("select blkb from zdcxsj where blsj = ? and rid = ?"));
    for (size_t i = 0; i < keyed.size();) {
        size_t j = i + 1;
        while (j < keyed.size() && keyed[j].patient == keyed[i].patient && keyed[j].blsj == keyed[i].blsj)
            ++j;
        if (j - i > 1) {
            for (size_t k = i; k < j; ++k) {
                dept.reset();
                dept.bind(1, keyed[k].blsj);
                dept.bind(2, keyed[k].rid);
                keyed[k].blkb = dept.next() ? foldedKey(dept.blob(0)) : QByteArray();
            }
            std::sort(keyed.begin() + qsizetype(i), keyed.begin() + qsizetype(j),
                      [](const Keyed &a, const Keyed &b) { return bytewise(a.blkb, b.blkb) < 0; });
        }
        i = j;
    }
    r.rows.reserve(keyed.size());
    for (const Keyed &k : keyed)
        r.rows.push_back(k.rid);
    return r;
}

std::vector<GridRow> RecordQuery::fetchRows(db::Session &s, const std::vector<qint64> &rows, qsizetype from,
                                            qsizetype count)
{
    std::vector<GridRow> out;
    const qsizetype last = std::min<qsizetype>(qsizetype(rows.size()), from + std::max<qsizetype>(0, count));
    if (from < 0 || from >= last)
        return out;
    out.reserve(size_t(last - from));
    db::Statement st = s.prepare(QStringLiteral(
        "select blbm, blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, zdys from hzzdzl where rowid = ?"));
    for (qsizetype i = from; i < last; ++i) {
        st.reset();
        st.bind(1, rows[size_t(i)]);
        GridRow g;
        if (!st.next()) {
            g.missing = true;
            out.push_back(std::move(g));
            continue;
        }
        for (int c = 0; c < GridColumns; ++c)
            g.cells[size_t(c)] = c == 2 ? day(st.dateTime(2)) : st.text(c);
        g.blbm = st.text(0);
        g.blkb = st.text(1);
        g.blsj = st.dateTime(2).value_or(QDateTime());
        out.push_back(std::move(g));
    }
    return out;
}

std::optional<VisitDetail> RecordQuery::loadVisit(db::Session &s, const QString &blbm, const QString &blkb,
                                                  const QDateTime &blsj)
{
    auto st = s.query(QStringLiteral("select blbm, blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, blsx, fzsj, zdys "
                                     "from hzzdzl where blbm = ? and blkb = ? and blsj = ?"),
                      blbm, blkb, blsj);
    if (!st.next())
        return std::nullopt;
    VisitDetail v;
    v.blbm = st.text(0);
    v.blkb = st.text(1);
    v.blsj = day(st.dateTime(2));
    v.bzxy = trimSpaces(st.text(3));
    v.bzmb = st.text(4);
    v.bzhx = st.text(5);
    v.bzqk = st.text(6);
    v.blfa = st.text(7);
    v.blcf = st.text(8);
    v.blsx = st.text(9);
    v.fzsj = day(st.dateTime(10));
    v.zdys = st.text(11);
    return v;
}

std::optional<PatientDetail> RecordQuery::loadPatient(db::Session &s, const QString &blbm)
{
    auto st = s.query(QStringLiteral("select blbm, blxm, blxb, blnl, blzy, bldw, blhf, bldz, blte, mail, blsj, bljz, blxd "
                                     "from hzblzl where blbm = ?"),
                      blbm);
    if (!st.next())
        return std::nullopt;
    PatientDetail p;
    p.blbm = st.text(0);
    p.blxm = st.text(1);
    p.blxb = st.text(2);
    p.blnl = st.text(3);
    p.blzy = st.text(4);
    p.bldw = st.text(5);
    p.blhf = st.text(6);
    p.bldz = st.text(7);
    p.blte = st.text(8);
    p.mail = st.text(9);
    p.blsj = day(st.dateTime(10));
    p.bljz = day(st.dateTime(11));
    p.blxd = st.text(12);
    return p;
}

std::optional<QString> RecordQuery::clinicName(db::Session &s)
{
    const auto status = Modutarnxt::readStatusRow(s);
    if (status.rows == 0)
        return std::nullopt;
    return trimSpaces(status.unitName);
}

Verdict<QueryField> RecordQuery::checkParticulars(const ParticularsBoxes &b)
{
    for (const QString *required : {&b.visitCaseNumber, &b.name, &b.age, &b.marital, &b.sex, &b.firstVisit})
        if (trimSpaces(*required).isEmpty())
            return refusal(QStringLiteral("打印内容输入不完全，不能打印"), QueryField::CmdQcls, Select::none());
    return {};
}

namespace {

QStringList particularsItems(const ParticularsBoxes &b)
{
    return {
        QStringLiteral("病历号码：") + trimSpaces(b.caseNumber),
        QStringLiteral("患者姓名：") + trimSpaces(b.name),
        QStringLiteral("患者年龄：") + trimSpaces(b.age),
        QStringLiteral("患者性别：") + trimSpaces(b.sex),
        QStringLiteral("婚姻状况：") + trimSpaces(b.marital),
        QStringLiteral("职    业：") + trimSpaces(b.occupation),
        QStringLiteral("工作单位：") + trimSpaces(b.workUnit),
        QStringLiteral("家庭住址：") + trimSpaces(b.address),
        QStringLiteral("联系电话：") + trimSpaces(b.telephone),
        QStringLiteral("电子邮箱：") + trimSpaces(b.mail),
        QStringLiteral("初诊时间：") + trimSpaces(b.firstVisit),
        QStringLiteral("末诊时间：") + trimSpaces(b.lastVisit),
    };
}

const QString TitleIndent = QStringLiteral("        "); // eight blanks

} // namespace

QString RecordQuery::particularsText(const ParticularsBoxes &b, const QDate &today)
{
    QStringList lines{TitleIndent + trimSpaces(b.name) + QStringLiteral("基本情况介绍"), QString()};
    lines << particularsItems(b);
    lines << QString() << QStringLiteral("打印时间：") + dateText(today);
    return lines.join(Eol);
}

QString RecordQuery::notesText(const ParticularsBoxes &b, const QDate &today)
{
    QStringList lines{TitleIndent + QStringLiteral("病历诊断治疗心得"), QString()};
    lines << particularsItems(b);
    lines << QString() << QStringLiteral("治疗心得：") + trimSpaces(b.notes);
    lines << QString() << QStringLiteral("打印时间：") + dateText(today);
    return lines.join(Eol);
}

QString RecordQuery::countText(qsizetype count)
{
    return QStringLiteral("符合查询条件的记录有 %1 条").arg(count);
}

} // namespace qh::query
