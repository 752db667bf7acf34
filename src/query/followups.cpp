#include "query/followups.h"

#include "base/textutil.h"
#include "core/modutarnxt.h"
#include "core/spreadsheet.h"

#include <QDir>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <iterator>
#include <limits>

namespace qh::query {

namespace {

constexpr int Ten = 10; // the places of a date box

// The follow-ups a statement reads (alias f, fday the due day's date): taken from the table in
// one pass (the due day has no index) and sorted in the order of their unique index (case
// number, department, visit time), so that the lookups of patient and visit and the probes for
// a later visit walk the patients' and the visits' indexes in their own order, each page once,
// instead of once for every follow-up that needs it. The case numbers are sorted as lower()
// folds them, which is how the index compares them (ASCII letters ignoring case) but keeps the
// engine from walking that index with a lookup of every row instead of one pass and a sort.
// The limit (bound to NoLimit) keeps the sorted rows a query of their own: the engine would
// otherwise merge them into the join and drop their order.
QString sortedFollowUps(const QString &condition)
{
    return QStringLiteral("(select blbm, blkb, blsj, blfz, zdys, date(blfz) as fday from fzzl where %1 "
                          "order by lower(blbm), blkb, blsj limit ?) f")
        .arg(condition);
}
constexpr qint64 NoLimit = std::numeric_limits<qint64>::max();

// The case has a visit on or after the due day (any time of that day).
const QString Returned = QStringLiteral("exists (select 1 from hzzdzl v where v.blbm = f.blbm and v.blsj >= f.fday)");

// The day of a stored date text "yyyy-MM-dd HH:mm:ss", read without the parser and the time
// zone that a date-time takes.
QDate dayOf(const QString &stored)
{
    if (stored.size() < 10)
        return {};
    return QDate(QStringView(stored).left(4).toInt(), QStringView(stored).mid(5, 2).toInt(),
                 QStringView(stored).mid(8, 2).toInt());
}

bool rowBefore(const FollowUpRow &a, const FollowUpRow &b)
{
    if (a.due != b.due)
        return a.due < b.due;
    if (const int c = a.blbm.compare(b.blbm, Qt::CaseInsensitive); c != 0)
        return c < 0;
    if (a.visitTime != b.visitTime)
        return a.visitTime < b.visitTime;
    return a.dept.compare(b.dept, Qt::CaseInsensitive) < 0;
}

} // namespace

DaySpan weekOf(const QDate &day)
{
    const QDate monday = day.addDays(1 - day.dayOfWeek()); // Qt: Monday 1 ... Sunday 7
    return {monday, monday.addDays(6)};
}

DaySpan monthOf(const QDate &day)
{
    const QDate first(day.year(), day.month(), 1);
    return {first, first.addDays(day.daysInMonth() - 1)};
}

Verdict<FollowUpField> FollowUps::checkStartEnter(const QString &start)
{
    if (!parseDateText(start))
        return refusal(QStringLiteral("查询起始时间输入错误"), FollowUpField::MasQssj, Select::head(Ten));
    return {};
}

Verdict<FollowUpField> FollowUps::checkRange(const QString &start, const QString &end)
{
    if (auto r = checkStartEnter(start))
        return r;
    const auto last = parseDateText(end);
    if (!last)
        return refusal(QStringLiteral("查询截止时间输入错误"), FollowUpField::MasJssj, Select::head(Ten));
    if (*last < *parseDateText(start))
        return refusal(QStringLiteral("截止时间不能小于起始时间"), FollowUpField::MasJssj, Select::head(Ten));
    return {};
}

DaySpan FollowUps::rangeOf(const QString &start, const QString &end)
{
    return {parseDateText(start).value_or(QDate()), parseDateText(end).value_or(QDate())};
}

DaySpan FollowUps::spanOf(FollowUpGroup group, const QDate &today, const DaySpan &range)
{
    switch (group) {
    case FollowUpGroup::Today: return {today, today};
    case FollowUpGroup::Week: return weekOf(today);
    case FollowUpGroup::Overdue: return {QDate(), today.addDays(-1)};
    case FollowUpGroup::Range: return range;
    }
    return range;
}

FollowUpCounts FollowUps::counts(db::Session &s, const QDate &today)
{
    const DaySpan week = weekOf(today);
    const QDate tomorrow = today.addDays(1);
    // One pass over the follow-ups due up to the end of the week; the probe for a later visit
    // runs only for those due before today.
    auto st = s.query(QStringLiteral("select coalesce(sum(case when f.blfz >= ? and f.blfz < ? then 1 else 0 end), 0), "
                                     "coalesce(sum(case when f.blfz >= ? then 1 else 0 end), 0), "
                                     "coalesce(sum(case when f.blfz >= ? then 0 when %1 then 0 else 1 end), 0) from %2")
                          .arg(Returned, sortedFollowUps(QStringLiteral("blfz < ?"))),
                      dbDate(today), dbDate(tomorrow), dbDate(week.first), dbDate(today), dbDate(week.last.addDays(1)),
                      NoLimit);
    FollowUpCounts c;
    if (st.next()) {
        c.today = st.int64(0);
        c.week = st.int64(1);
        c.overdue = st.int64(2);
    }
    return c;
}

std::vector<FollowUpRow> FollowUps::list(db::Session &s, const QDate &today, FollowUpGroup group, const DaySpan &range)
{
    const DaySpan span = spanOf(group, today, range);
    const bool overdue = group == FollowUpGroup::Overdue;
    // An overdue follow-up has no later visit by its condition; any other is probed only when
    // due today or before.
    const QString returned =
        overdue ? QStringLiteral("0") : QStringLiteral("case when f.blfz >= ? then 0 when %1 then 1 else 0 end").arg(Returned);
    auto st = s.prepare(QStringLiteral("select f.blfz, f.blbm, f.blkb, f.blsj, coalesce(h.zdys, f.zdys), b.blxm, b.blxb, "
                                       "b.blnl, b.blte, h.blfa, %1 from %2 "
                                       "left join hzblzl b on b.blbm = f.blbm "
                                       "left join hzzdzl h on h.blbm = f.blbm and h.blkb = f.blkb and h.blsj = f.blsj%3")
                            .arg(returned,
                                 sortedFollowUps(overdue ? QStringLiteral("blfz < ?") : QStringLiteral("blfz >= ? and blfz < ?")),
                                 overdue ? QStringLiteral(" where not ") + Returned : QString()));
    if (overdue)
        st.bindAll(dbDate(today), NoLimit);
    else
        st.bindAll(dbDate(today.addDays(1)), dbDate(span.first), dbDate(span.last.addDays(1)), NoLimit);
    std::vector<FollowUpRow> rows;
    while (st.next()) {
        FollowUpRow r;
        r.due = dayOf(st.text(0));
        r.blbm = st.text(1);
        r.dept = st.text(2);
        r.visitTime = st.text(3);
        r.visitDay = dayOf(r.visitTime);
        r.doctor = st.text(4);
        r.name = st.text(5);
        r.sex = st.text(6);
        r.age = st.isNull(7) ? QString() : QString::number(st.integer(7));
        r.telephone = trimSpaces(st.text(8));
        r.plan = firstLine(st.text(9));
        r.returned = st.integer(10) != 0;
        rows.push_back(std::move(r));
    }
    std::sort(rows.begin(), rows.end(), rowBefore);
    return rows;
}

Worklist FollowUps::read(db::Session &s, const QDate &today, FollowUpGroup group, const DaySpan &range)
{
    return {counts(s, today), list(s, today, group, range)};
}

QString FollowUps::countsText(const FollowUpCounts &c)
{
    return QStringLiteral("今日 %1\u3000本周 %2\u3000逾期 %3").arg(c.today).arg(c.week).arg(c.overdue);
}

QString FollowUps::stateText(const FollowUpRow &r, const QDate &today)
{
    if (r.returned)
        return QStringLiteral("已复诊");
    if (r.due < today)
        return QStringLiteral("逾期");
    return {};
}

QString FollowUps::periodText(FollowUpGroup group, const QDate &today, const DaySpan &range)
{
    const QString to = QStringLiteral(" 至 ");
    switch (group) {
    case FollowUpGroup::Today: return QStringLiteral("今日 ") + dateText(today);
    case FollowUpGroup::Week: {
        const DaySpan w = weekOf(today);
        return QStringLiteral("本周 ") + dateText(w.first) + to + dateText(w.last);
    }
    case FollowUpGroup::Overdue: return QStringLiteral("逾期（") + dateText(today) + QStringLiteral(" 以前）");
    case FollowUpGroup::Range: return dateText(range.first) + to + dateText(range.last);
    }
    return {};
}

QString FollowUps::firstLine(const QString &text)
{
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype end = from;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        if (const QString t = trimSpaces(text.mid(from, end - from)); !t.isEmpty())
            return t;
        from = end + 1;
    }
    return {};
}

QStringList FollowUps::columnHeaders()
{
    return {QStringLiteral("复诊时间"), QStringLiteral("病历编号"), QStringLiteral("患者姓名"), QStringLiteral("性别"),
            QStringLiteral("年龄"),     QStringLiteral("联系电话"), QStringLiteral("诊断科室"), QStringLiteral("诊断医师"),
            QStringLiteral("诊断时间"), QStringLiteral("状态"),     QStringLiteral("治疗方案")};
}

QStringList FollowUps::cells(const FollowUpRow &r, const QDate &today)
{
    return {dateText(r.due), r.blbm,   r.name, r.sex, r.age, r.telephone, r.dept, r.doctor,
            r.visitDay.isValid() ? dateText(r.visitDay) : QString(), stateText(r, today), r.plan};
}

// ---------------------------------------------------------------------------------------------
// The printed list

namespace {

constexpr double PageWidth = 210, PageHeight = 297;
constexpr double Left = 20, Right = 190;
constexpr double TableTop = 34, RowPitch = 7, TableBottom = 272;
constexpr double CellPad = 1.5; // from a rule to the text
// The four columns: left edges, then the right edge of the last.
constexpr double Columns[] = {Left, 60, 95, 150, Right};

// The text cut to the width (horizontal units) with "…" when it is wider.
QString fitted(const clinic::PrintPage &p, const QString &text, double width)
{
    if (p.textWidth(text) <= width)
        return text;
    QString t = text;
    while (!t.isEmpty() && p.textWidth(t + u'…') > width)
        t.chop(1);
    return t + u'…';
}

} // namespace

QPageSize FollowUps::printPageSize() { return QPageSize(QPageSize::A4); }

int FollowUps::rowsPerPage() { return int((TableBottom - TableTop - RowPitch) / RowPitch); }

void FollowUps::drawList(QPainter &painter, const WorklistPrint &doc)
{
    const int perPage = rowsPerPage();
    const int pages = std::max<int>(1, int((doc.rows.size() + size_t(perPage) - 1) / size_t(perPage)));
    const QString headers[] = {QStringLiteral("病历编号"), QStringLiteral("患者姓名"), QStringLiteral("联系电话"),
                               QStringLiteral("复诊时间")};
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            if (auto *paged = dynamic_cast<QPagedPaintDevice *>(painter.device()))
                paged->newPage();
        clinic::PrintPage p(painter, QSizeF(PageWidth, PageHeight), PageWidth, PageHeight);
        p.setFont(16, true);
        p.textCentred(0, PageWidth, 12, doc.unit + printTitle());
        p.setFont(10, false);
        p.text(Left, 25, doc.period);
        p.textRight(Right, 25, QStringLiteral("打印时间：") + dateText(doc.printed));

        const size_t from = size_t(page) * size_t(perPage);
        const size_t to = std::min(doc.rows.size(), from + size_t(perPage));
        const double bottom = TableTop + RowPitch * double(1 + to - from);
        p.rect(Left, TableTop, Right, bottom);
        for (int c = 1; c < 4; ++c)
            p.line(Columns[c], TableTop, Columns[c], bottom);
        p.setFont(11, false);
        for (int c = 0; c < 4; ++c)
            p.textCentred(Columns[c], Columns[c + 1], TableTop + CellPad, headers[c]);
        p.setFont(10, false);
        double y = TableTop + RowPitch;
        for (size_t i = from; i < to; ++i, y += RowPitch) {
            p.line(Left, y, Right, y);
            const FollowUpRow &r = doc.rows[i];
            const QString texts[] = {r.blbm, r.name, r.telephone, dateText(r.due)};
            for (int c = 0; c < 4; ++c)
                p.text(Columns[c] + CellPad, y + CellPad, fitted(p, texts[c], Columns[c + 1] - Columns[c] - 2 * CellPad));
        }
        p.textCentred(0, PageWidth, 282, QStringLiteral("第 %1 页 共 %2 页").arg(page + 1).arg(pages));
    }
}

QString FollowUps::pdfPath(const WorklistPrint &doc)
{
    return QDir(Modutarnxt::documentsPath()).filePath(printTitle() + u'-' + doc.period + QStringLiteral(".pdf"));
}

// ---------------------------------------------------------------------------------------------
// The workbook

QString FollowUps::writeWorkbook(const std::vector<FollowUpRow> &rows, const QString &period, const QDate &today)
{
    const QString path = documentFilePath(printTitle() + u'-' + period);
    const QStringList headers = columnHeaders();
    Spreadsheet sheet = Spreadsheet::streamingTo(path);
    sheet.setFont(QStringLiteral("宋体"), 10);
    sheet.setText(1, 1, printTitle() + QStringLiteral("  ") + period);
    for (int c = 0; c < int(headers.size()); ++c)
        sheet.setText(2, c + 1, headers.at(c));
    int row = 3;
    for (const FollowUpRow &r : rows) {
        const QStringList texts = cells(r, today);
        for (int c = 0; c < int(texts.size()); ++c) {
            if (c == 0 && r.due.isValid())
                sheet.setDate(row, 1, r.due);
            else if (c == 4 && !r.age.isEmpty())
                sheet.setNumber(row, 5, r.age.toDouble());
            else if (c == 8 && r.visitDay.isValid())
                sheet.setDate(row, 9, r.visitDay);
            else if (!texts.at(c).isEmpty())
                sheet.setText(row, c + 1, texts.at(c));
        }
        ++row;
    }
    // Widths in characters; the plan's first line is cut by the column, its cell holds it whole.
    const double widths[] = {12, 12, 10, 6, 6, 16, 10, 10, 12, 8, 40};
    for (int c = 0; c < int(std::size(widths)); ++c)
        sheet.setColumnWidth(c + 1, widths[c]);
    sheet.finish();
    return path;
}

} // namespace qh::query
