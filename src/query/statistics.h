#pragma once
// The logic of the monthly statistics window "经营统计": for a range of whole months, the
// visits (per month, per doctor, per department), the patients new and returning, the revenue
// of the prescriptions dispensed and the herbs by quantity, revenue and cost.
//
// Every figure is a plain sum of stored rows, so it reconciles with the stock reports and the
// closing to the fen:
//   - a month's revenue is the sum of xsje of the movements "处方收款出库" whose crsj lies in
//     that month (the rows the stock query's "药品出库" report lists with that summary);
//   - a closed month's cost is the sum of ckje of those movements. The program keeps no date of
//     a closing: the closing gives every pending issue (cksl <> 0 and ckje = 0) its cost, so a
//     month is closed when none of its issues is pending and a costed issue exists in it or
//     later (some closing ran after it); otherwise its cost is not counted yet.
//   - a visit is a row of hzzdzl; a patient is a case number (blbm, letter case ignored as the
//     database compares it); a patient is new in the month of the first visit of that case
//     (over all visits, also those before the range), returning in every later month.
//
// Reads only, with bound values; amounts are exact (qh::Money).
//
//   auto in = statistics::Qpcls(QDate::currentDate());
//   const auto range = statistics::checkRange(in.from, in.to);   // or the refusal
//   auto s = store.open();
//   const Statistics st = statistics::compute(s, std::get<MonthRange>(range));
#include "db/session.h"
#include "db/store.h"
#include "base/money.h"
#include "core/refusal.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>
#include <vector>

namespace qh::query {

// The controls a refusal of this window can focus.
enum class StatisticsField { MasQsyf, MasJsyf };

// Whole months from the first to the last (both the first day of their month).
struct MonthRange {
    QDate first;
    QDate last;
    int count() const; // 0 when last is before first
    QDate month(int index) const { return first.addMonths(index); }
    // The first moment after the range: the first day of the month after the last.
    QDate end() const { return last.addMonths(1); }
};

struct MonthFigures {
    QDate month;                // the first day of the month
    int visits = 0;             // 就诊人次: rows of hzzdzl
    int patients = 0;           // 就诊人数: distinct cases
    int newPatients = 0;        // 初诊人数: cases whose first visit is in this month
    int returningPatients = 0;  // 复诊人数: patients - newPatients
    Money revenue;              // 处方收入: sum of xsje of the dispensings
    int dispensings = 0;        // movements "处方收款出库"
    int pendingIssues = 0;      // issues of the month without a cost yet
    bool closed = false;        // see above
    Money cost;                 // sum of ckje of the dispensings (counted when closed)
    Money margin() const { return revenue - cost; } // meaningful when closed
};

// Visits of a doctor or a department, per month of the range and in all.
struct GroupFigures {
    QString name;
    int visits = 0;
    std::vector<int> perMonth;
};

// One herb (or the rest, "其他") of a ranking. The cost covers the closed months only.
struct HerbFigures {
    QString name;
    Money quantity; // sum of cksl of its dispensings
    Money revenue;  // sum of xsje
    Money cost;     // sum of ckje in the closed months
    int herbs = 1;  // herbs the row stands for (the rest: more than one)
    bool other = false;
};

enum class HerbOrder { Quantity, Revenue, Cost };

struct Statistics {
    MonthRange range;
    std::vector<MonthFigures> months;
    std::vector<GroupFigures> doctors;     // most visits first, then by name
    std::vector<GroupFigures> departments;
    // Every herb dispensed in the range, by name; rankings are built from it.
    std::vector<HerbFigures> herbs;
    int patients = 0;     // distinct cases over the whole range
    int newPatients = 0;  // cases whose first visit lies in the range

    bool isEmpty() const; // no visit and no dispensing
    int visits() const;
    int returningPatients() const { return patients - newPatients; }
    Money revenue() const;
    int closedMonths() const;
    Money closedRevenue() const; // revenue of the closed months
    Money cost() const;          // cost of the closed months
    // The top herbs by the measure (ties by name) and, when more remain, one row "其他" with
    // their sums. Herbs whose measure is zero are left out of a ranking by cost (the herbs of
    // open months only) but are counted in "其他" for the other two.
    std::vector<HerbFigures> ranking(HerbOrder order, int top = 20) const;
};

namespace statistics {

inline constexpr int MaxMonths = 240; // the longest range: twenty years
inline constexpr int TopHerbs = 20;
inline const QString OtherHerbs = QStringLiteral("其他");
inline const QString Unnamed = QStringLiteral("（未填写）");

// The boxes of the window, "yyyy-mm".
struct MonthInput {
    QString from; // MasQsyf
    QString to;   // MasJsyf
};

// "2024-03"; and back: the first day of a complete, real month ("2024-13", "2024-1_" are not).
QString monthText(const QDate &month);
std::optional<QDate> parseMonthText(const QString &text);
inline constexpr auto MonthMask = "9999-99;_";

// Reset: the twelve months ending with today's.
MonthInput Qpcls(const QDate &today);

// Enter in the from box ("起始月份输入错误") and in the to box ("截止月份输入错误"); the
// seven characters of the month selected.
Verdict<StatisticsField> checkFromOnEnter(const QString &from);
Verdict<StatisticsField> checkToOnEnter(const QString &to);
// Before a run: both months in order, then the order ("截止月份不能早于起始月份", to the to
// box) and the span ("统计范围不能超过240个月", to the from box).
std::variant<MonthRange, Refusal<StatisticsField>> checkRange(const QString &from, const QString &to);

// Computes every figure of the range. Throws DbError; MoneyOverflow when a sum leaves the
// Currency range.
Statistics compute(db::Session &s, const MonthRange &range);
// The same, the visits and the movements read at once on two sessions of the store (what the
// window runs: a year's figures take two reads of about the same length).
Statistics compute(const db::Store &store, const MonthRange &range);

// The message of a range without any visit or dispensing.
QString noDataMessage(); // "统计月份内没有就诊和处方收款记录"

// Names as the database compares them: blanks around dropped, ASCII letters in one case.
QString groupKey(const QString &name);

} // namespace statistics
} // namespace qh::query
