#include "query/recordquery.h"

#include "core/modutarnxt.h"
#include "core/searchtokenizer.h"
#include "core/textutil.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <iterator>

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

QString day(const std::optional<QDateTime> &d) { return d ? dateText(d->date()) : QString(); }

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
    return {};
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
    q.values.emplace_back(qint64(std::ceil(std::isnan(ageFrom) ? 0 : std::clamp(ageFrom, -1e9, 1e9))));
    q.values.emplace_back(qint64(std::floor(std::isnan(ageTo) ? -1 : std::clamp(ageTo, -1e9, 1e9))));
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

const char *const IndexObjects[] = {"zdcx", "zdcx_ai", "zdcx_bu", "zdcx_au", "zdcx_bd"};

// The characters the index leaves out (its query syntax).
QString indexable(const QString &keyword)
{
    QString k = keyword;
    k.remove(u'*').remove(u'"').remove(u'^');
    return k;
}

} // namespace

bool RecordQuery::hasSearchIndex(db::Session &s)
{
    return s.scalarInt(QStringLiteral("select count(*) from sqlite_master where name in ('zdcx', 'zdcx_ai', 'zdcx_bu', "
                                      "'zdcx_au', 'zdcx_bd')")) == qint64(std::size(IndexObjects));
}

void RecordQuery::ensureSearchIndex(db::Session &s)
{
    if (hasSearchIndex(s))
        return;
    db::Transaction t(s);
    for (const char *trigger : {"zdcx_ai", "zdcx_bu", "zdcx_au", "zdcx_bd"})
        s.exec(QStringLiteral("drop trigger if exists %1").arg(QLatin1String(trigger)));
    s.exec(QStringLiteral("drop table if exists zdcx"));
    s.exec(QStringLiteral("create virtual table zdcx using fts4(content=\"hzzdzl\", bzqk, blfa, blcf, zdys, tokenize=%1)")
               .arg(QLatin1String(db::SearchTokenizerName)));
    s.exec(QStringLiteral("insert into zdcx(zdcx) values('rebuild')"));
    s.exec(QStringLiteral("create trigger zdcx_bu before update on hzzdzl begin "
                          "delete from zdcx where docid = old.rowid; end"));
    s.exec(QStringLiteral("create trigger zdcx_bd before delete on hzzdzl begin "
                          "delete from zdcx where docid = old.rowid; end"));
    s.exec(QStringLiteral("create trigger zdcx_au after update on hzzdzl begin "
                          "insert into zdcx(docid, bzqk, blfa, blcf, zdys) values(new.rowid, new.bzqk, new.blfa, new.blcf, "
                          "new.zdys); end"));
    s.exec(QStringLiteral("create trigger zdcx_ai after insert on hzzdzl begin "
                          "insert into zdcx(docid, bzqk, blfa, blcf, zdys) values(new.rowid, new.bzqk, new.blfa, new.blcf, "
                          "new.zdys); end"));
    t.commit();
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
    // The server has no full-text index of the visits: it searches by the plain statement.
    if (in.followUps || plan == Plan::Scan || s.engine() == db::Engine::Server)
        return collect(s, buildSearch(in));

    ensureSearchIndex(s);
    // Candidates: the visits of the date range whose case number and department match, read
    // from the case-number index alone...
    const QDate start = parseDateText(in.start).value_or(QDate());
    const QDate end = parseDateText(in.end).value_or(QDate());
    std::vector<qint64> candidates;
    {
        auto st = s.query(QStringLiteral("select rowid from hzzdzl indexed by zdbmi where blsj >= ? and blsj < ? "
                                         "and blbm like ? escape '\\' and blkb like ? escape '\\'"),
                          dbDate(start), dbDate(end.addDays(1)), pattern(in.blbm), pattern(in.blkb));
        while (st.next())
            candidates.push_back(st.int64(0));
    }
    std::sort(candidates.begin(), candidates.end());
    // ...narrowed to those the full-text index finds all keywords in.
    for (const auto &[column, phrase] : indexTerms(in)) {
        if (candidates.empty())
            break;
        std::vector<qint64> found;
        // Column and phrase are the index's own names and a quoted phrase; the phrase is bound.
        auto st = s.query(QStringLiteral("select docid from zdcx where %1 match ?").arg(column), phrase);
        while (st.next())
            found.push_back(st.int64(0));
        std::sort(found.begin(), found.end());
        std::vector<qint64> both;
        std::set_intersection(candidates.begin(), candidates.end(), found.begin(), found.end(), std::back_inserter(both));
        candidates.swap(both);
    }
    SearchResult r;
    if (candidates.empty())
        return r;
    // Testing a candidate costs a few times what one step of a pass over all visits costs: with
    // more than a quarter of them as candidates, the pass is quicker.
    if (candidates.size() > 20000 && qint64(candidates.size()) * 4 > s.scalarInt(QStringLiteral("select max(rowid) from hzzdzl")))
        return collect(s, buildSearch(in));
    // Every condition is tested on the candidates, in the grid's order.
    s.execScript(QStringLiteral("create temp table if not exists zdcxhx(rid integer primary key); delete from temp.zdcxhx"));
    {
        db::Transaction t(s);
        auto ins = s.prepare(QStringLiteral("insert into temp.zdcxhx(rid) values(?)"));
        for (qint64 id : candidates) {
            ins.reset();
            ins.bind(1, id);
            ins.run();
        }
        t.commit();
    }
    r = collect(s, buildSearch(in, true));
    s.execScript(QStringLiteral("delete from temp.zdcxhx"));
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
