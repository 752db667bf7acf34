#pragma once
// The follow-up worklist "复诊随访" as plain logic: the follow-ups (table fzzl) due today, this
// week or in a chosen range, and the overdue ones, each with its patient (hzblzl) and the visit
// that set it (hzzdzl); the counts of the groups, the checks of the range boxes, the printed
// list and the workbook. No widgets, no messages: the window shows what this returns.
//
//   const QDate today = clock::today();
//   auto s = store.open();                                     // the window's session
//   const Worklist w = FollowUps::read(s, today, FollowUpGroup::Week);
//   label = FollowUps::countsText(w.counts);                   // "今日 3　本周 12　逾期 5"
//
// The days: "today" is the day given (the window takes clock::today()); "this week" is Monday
// to Sunday of today's week; a follow-up is overdue when its due day lies before today and its
// case has no visit on or after the due day (any department, any time of that day).
#include "clinic/printing.h"
#include "core/refusal.h"
#include "db/session.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

class QPainter;

namespace qh::query {

// The controls a check of this window can send the focus to.
enum class FollowUpField { MasQssj, MasJssj };

enum class FollowUpGroup { Today, Week, Overdue, Range };

// Whole days, both ends included.
struct DaySpan {
    QDate first, last;
    bool contains(const QDate &d) const { return d >= first && d <= last; }
    friend bool operator==(const DaySpan &, const DaySpan &) = default;
};

// Monday to Sunday of the day's week.
DaySpan weekOf(const QDate &day);
// The first to the last day of the day's month.
DaySpan monthOf(const QDate &day);

// One follow-up as the worklist shows it.
struct FollowUpRow {
    QDate due;                   // blfz
    QString blbm;                // case number
    QString name, sex, age, telephone; // of the patient; "" when the case has no patient record
    QString dept;                // the visit that set the follow-up: department, doctor, time
    QString doctor;
    QString visitTime;           // as stored, "yyyy-MM-dd HH:mm:ss" (its key in hzzdzl)
    QDate visitDay;
    QString plan;                // the first line of that visit's plan
    bool returned = false;       // due today or before, and the case has a visit on or after the due day
};

// The rows of each group as of a day.
struct FollowUpCounts {
    qsizetype today = 0;
    qsizetype week = 0;
    qsizetype overdue = 0;
    friend bool operator==(const FollowUpCounts &, const FollowUpCounts &) = default;
};

// What the window shows: the counts and the rows of one group, by due day, then case number
// and the visit's time.
struct Worklist {
    FollowUpCounts counts;
    std::vector<FollowUpRow> rows;
};

// The printed list: what it holds and where it comes from.
struct WorklistPrint {
    QString unit;   // the clinic's name ("" without a status row)
    QString period; // periodText
    QDate printed;  // the day of the print
    std::vector<FollowUpRow> rows;
};

class FollowUps {
public:
    // Enter in MasQssj, all ten places typed: not a date -> "查询起始时间输入错误".
    static Verdict<FollowUpField> checkStartEnter(const QString &start);
    // Enter in MasJssj: not a date -> "查询截止时间输入错误"; before the start ->
    // "截止时间不能小于起始时间". An invalid start is the start box's refusal.
    static Verdict<FollowUpField> checkRange(const QString &start, const QString &end);
    // The range of the two boxes; requires checkRange to have passed.
    static DaySpan rangeOf(const QString &start, const QString &end);

    // The days a group takes as of today (Overdue: the days before today, first invalid).
    static DaySpan spanOf(FollowUpGroup group, const QDate &today, const DaySpan &range = {});

    // The rows of a group as of today (Range: the due days of range). Throws DbError.
    static std::vector<FollowUpRow> list(db::Session &s, const QDate &today, FollowUpGroup group,
                                         const DaySpan &range = {});
    // The counts of today, this week and the overdue. Throws DbError.
    static FollowUpCounts counts(db::Session &s, const QDate &today);
    // Both. Throws DbError.
    static Worklist read(db::Session &s, const QDate &today, FollowUpGroup group, const DaySpan &range = {});

    // "今日 3　本周 12　逾期 5" (ideographic spaces between the groups).
    static QString countsText(const FollowUpCounts &c);
    // What the state column shows: "逾期", "已复诊" or "".
    static QString stateText(const FollowUpRow &r, const QDate &today);
    // The days of a group in words: "今日 2024-05-06", "本周 2024-05-06 至 2024-05-12",
    // "逾期（2024-05-06 以前）", "2024-05-01 至 2024-05-31".
    static QString periodText(FollowUpGroup group, const QDate &today, const DaySpan &range = {});

    // The first line of a text with something in it, trimmed ("" when there is none).
    static QString firstLine(const QString &text);

    // The grid's and the workbook's columns (due day, case number, name, sex, age, telephone,
    // department, doctor, visit day, state, plan), and a row's cells in that order.
    static QStringList columnHeaders();
    static QStringList cells(const FollowUpRow &r, const QDate &today);

    // The printed list: A4 portrait, case number, name, telephone and due day, title and period
    // on every page, "第 n 页 共 m 页" at the foot. Draws every page on the painter (further
    // pages through the device's newPage()).
    static QPageSize printPageSize();
    static int rowsPerPage();
    static void drawList(QPainter &painter, const WorklistPrint &doc);
    // The PDF written when there is no printer: "<documents>/复诊随访表-<period>.pdf".
    static QString pdfPath(const WorklistPrint &doc);
    // What the print is called in the notice and the print job.
    static QString printTitle() { return QStringLiteral("复诊随访表"); }

    // The workbook "复诊随访表-<period>.xlsx" in the documents folder: a title row, the column
    // headers, one row a follow-up. Returns its path. Throws DbError(err::FileIo).
    static QString writeWorkbook(const std::vector<FollowUpRow> &rows, const QString &period, const QDate &today);

    // Messages of the window.
    static QString noRowsMessage() { return QStringLiteral("没有符合查询条件的复诊资料"); }
    static QString nothingToPrintMessage() { return QStringLiteral("列表中没有复诊资料，不能打印"); }
    static QString workbookWrittenMessage() { return QStringLiteral("生成图表已经存放在我的文档中，请查收"); }
};

} // namespace qh::query
