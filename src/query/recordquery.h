#pragma once
// The follow-up and case-record query "门诊资料查询" as plain logic: the checks of the search
// fields, the search itself (a statement with bound values, never the typed text spliced into
// SQL), the visit and patient looked up for a result row, and the texts of the particulars and
// notes prints. No widgets, no messages: the window shows what this returns.
//
//   auto in = SearchInput{...};                       // the boxes, trimmed by the window
//   if (auto r = RecordQuery::validateSearch(in)) { /* show r, focus r->field */ }
//   auto s = store.open();                          // the window's session for this action
//   const SearchResult found = RecordQuery::runSearch(s, in);    // row ids in grid order
//   const auto rows = RecordQuery::fetchRows(s, found.rows, 0, 100);
#include "db/session.h"
#include "core/refusal.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace qh::query {

// The controls a check of this window can send the focus to.
enum class QueryField {
    MasQssj, MasJssj, TxtHznl, TxtHzln, CmdQcls,
    TxtBlhm, TxtZlcs, TxtZlys, TxtBzmc, TxtHzxm, TxtZlfa, TxtZlaf, TxtZlcf, TxtZlfc, CboHyqk, CboHzxb,
};

// What the search boxes hold (texts as typed; the window trims them in place first).
struct SearchInput {
    bool followUps = false; // OptFzqk "复诊": the range applies to the follow-up date
    QString blbm;           // TxtBlhm
    QString blkb;           // TxtZlcs
    QString zdys;           // TxtZlys
    QString bzqk;           // TxtBzmc
    QString blxm;           // TxtHzxm
    QString ageFrom;        // TxtHznl
    QString ageTo;          // TxtHzln
    QString planA, planB;   // TxtZlfa, TxtZlaf: both must occur in the plan
    QString rxA, rxB;       // TxtZlcf, TxtZlfc: both must occur in the prescription
    QString marital;        // CboHyqk
    QString sex;            // CboHzxb
    QString start;          // MasQssj "yyyy-mm-dd"
    QString end;            // MasJssj
};

// A statement and the values bound to its "?" in order.
struct SearchSql {
    QString text;
    std::vector<std::variant<QString, qint64>> values;
};

// The matching visits in the grid's order, by row id of hzzdzl; in mode 复诊 a visit comes
// once for every follow-up row that matches it.
struct SearchResult {
    std::vector<qint64> rows;
    qsizetype count() const { return qsizetype(rows.size()); }
};

// One line of the result grid: the ten columns and the visit's exact key.
inline constexpr int GridColumns = 10;
struct GridRow {
    std::array<QString, GridColumns> cells; // blbm, blkb, blsj (yyyy-mm-dd), bzxy, bzmb, bzhx, bzqk, blfa, blcf, zdys
    QString blbm, blkb;
    QDateTime blsj;                         // as stored, time included
    bool missing = false;                   // the visit was removed after the search
};

// The fields of one visit as the detail tab shows them (Null as "").
struct VisitDetail {
    QString blbm, blkb, blsj; // visit date "yyyy-mm-dd"
    QString bzxy, bzmb, bzhx; // blood pressure (trimmed), pulse, respiration
    QString bzqk, blfa, blcf, blsx;
    QString fzsj;             // follow-up date "yyyy-mm-dd" or ""
    QString zdys;
};

// The fields of one patient as the particulars tab shows them (Null as "").
struct PatientDetail {
    QString blbm, blxm, blxb, blnl, blzy, bldw, blhf, bldz, blte, mail;
    QString blsj, bljz; // first and last visit "yyyy-mm-dd"
    QString blxd;
};

// What the particulars and notes prints are made of: the boxes of the two detail tabs.
struct ParticularsBoxes {
    QString visitCaseNumber; // TxtBlbh (tab 1), required
    QString caseNumber;      // TxtBlxm
    QString name;            // TxtHzmx
    QString sex;             // TxtHzbx
    QString age;             // TxtHzag
    QString occupation;      // TxtHzzy
    QString workUnit;        // TxtHzdw
    QString marital;         // TxtHyqk
    QString address;         // TxtHzdz
    QString telephone;       // TxtTele
    QString mail;            // TxtMail
    QString firstVisit;      // MasCzsj
    QString lastVisit;       // MasJzsj
    QString notes;           // TxtZlxd
};

class RecordQuery {
public:
    // Enter in MasQssj with all ten places typed: not a date -> "查询起始时间输入错误", after
    // today -> "查询时间不能超过系统目前时间" (the box reselected).
    static Verdict<QueryField> checkStartEnter(const QString &text, const QDate &today);
    // Enter in MasJssj with all ten places typed: not a date -> "查询起截止间输入错误".
    static Verdict<QueryField> checkEndEnter(const QString &text);
    // Enter in TxtHzln: empty -> "请输入年龄时间段"; below TxtHznl ->
    // "年龄截止时间不能大于年龄起始时间" (the focus stays).
    static Verdict<QueryField> checkAgeToEnter(const QString &ageFrom, const QString &ageTo);

    // The checks before a search, in this order: start date, end date, start after end, age
    // from, age to, then each text no longer than its box takes (searchTextLimit; refused with
    // "查询内容不能超过n个字", the box's text selected). A start date after today passes here
    // (only the Enter check refuses it).
    static Verdict<QueryField> validateSearch(const SearchInput &in);

    // The most characters (UTF-16 units, as the box counts them) a search box takes.
    static int searchTextLimit(QueryField box);

    // The search statement. Every text matches literally as a substring ignoring letter case
    // ("%", "_", "*", "?", "[" and apostrophes match themselves); an empty text matches any
    // non-null value. The date range takes whole calendar days, the end day included.
    // Requires validateSearch to have passed. With fromCandidates the visits are those of the
    // temporary candidate table (see runSearch), each still tested against every condition.
    static SearchSql buildSearch(const SearchInput &in, bool fromCandidates = false);

    // How a search reads the visits.
    enum class Plan {
        Indexed, // decided by the search index: the visits of the date range with their case number,
                 // department and flags from zdcxsj, the keywords from the full-text index, the
                 // patients' particulars from one pass over the patients; visit rows are read only
                 // where the index cannot decide (see ensureSearchIndex)
        Scan,    // one pass over all visits
    };
    // Runs the search (mode 复诊 starts from the follow-ups in the range either way). The
    // indexed plan makes the full-text index first when the file has none. Throws DbError; a
    // text longer than its box takes is refused with DbError(err::TooLong) before the engine
    // sees it.
    static SearchResult runSearch(db::Session &s, const SearchInput &in, Plan plan = Plan::Indexed);

    // The search index: the full-text table zdcx over the visits' prescriptions, symptoms, plans
    // and doctors (its content read from hzzdzl) and the table zdcxsj of each visit's time (as
    // the number yyyyMMddHHmmss), row id, case number, department and flags (bit i: the i-th of
    // those four texts is not Null; bit 4 + i: it holds '*', '"' or '^', which the full-text
    // index leaves out, so its keyword is tested on the row), kept by triggers in the
    // transaction that writes a visit. Made, or made again from all visits, when one of its
    // parts is missing or differs from what this version makes.
    // progress(done, total) is called after every block of IndexBlockRows visits and once at the
    // end with done == total; the index is committed only then. An engine without full-text
    // indexes (the server) searches without it: hasSearchIndex is true there, nothing is made.
    static bool hasSearchIndex(db::Session &s);
    static void ensureSearchIndex(db::Session &s, const std::function<void(qint64 done, qint64 total)> &progress = {});
    static constexpr qint64 IndexBlockRows = 20000;
    // What the progress window says while the index is made.
    static QString indexProgressText() { return QStringLiteral("正在建立查询索引，请稍候……"); }
    // The index queries for the keywords of a search: column and phrase ("咳嗽*": the last
    // character as a prefix, it may be followed by anything); none when no keyword can narrow it.
    static std::vector<std::pair<QString, QString>> indexTerms(const SearchInput &in);
    // The grid lines of rows[from, from + count). Throws DbError.
    static std::vector<GridRow> fetchRows(db::Session &s, const std::vector<qint64> &rows, qsizetype from,
                                          qsizetype count);

    // The visit of a grid line by its exact key; nothing when it is gone. Throws DbError.
    static std::optional<VisitDetail> loadVisit(db::Session &s, const QString &blbm, const QString &blkb,
                                                const QDateTime &blsj);
    // The patient of a case number; nothing when there is none. Throws DbError.
    static std::optional<PatientDetail> loadPatient(db::Session &s, const QString &blbm);

    // The clinic's name from the status row, trimmed; nothing when there is no status row.
    static std::optional<QString> clinicName(db::Session &s);

    // The particulars (PhzQk) and notes (PbzXd) prints need case number, name, age, marital
    // status, sex and first visit: otherwise "打印内容输入不完全，不能打印", focus CmdQcls.
    static Verdict<QueryField> checkParticulars(const ParticularsBoxes &b);
    // The two texts, one item a line, lines joined by CR LF.
    static QString particularsText(const ParticularsBoxes &b, const QDate &today);
    static QString notesText(const ParticularsBoxes &b, const QDate &today);

    // Messages of the print commands.
    static QString noSystemRecordMessage() { return QStringLiteral("系统发生错误，不能打印"); }
    static QString caseRecordMissingMessage() { return QStringLiteral("治疗处方或治疗方案没有输入，不能打印"); }
    static QString prescriptionMissingMessage() { return QStringLiteral("治疗处方没有输入，不能打印"); }
    static QString noResultMessage() { return QStringLiteral("没有符合查询条件的内容"); }
    // "符合查询条件的记录有 N 条"
    static QString countText(qsizetype count);
};

} // namespace qh::query
