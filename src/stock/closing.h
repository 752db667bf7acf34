#pragma once
// The period closing at weighted-average cost ("药品结帐").
//
// For every drug with stock on hand (ycyltb.ycyl <> 0) the unit cost is rkje / rksl. Every
// movement of that drug that issued a quantity and has no cost yet (cksl <> 0 and ckje = 0)
// gets ckje = cksl x unit cost; the drug's amount loses the cost of what left since the last
// closing, rkje -= (rksl - ycyl) x unit cost; then rksl = ycyl, the base of the next period.
// Balance rows with nothing on hand are dropped before and after.
//
// The unit cost is never rounded: each stored product is the exact value
// quantity x rkje / rksl, computed in 128 bits and rounded once to ten-thousandths, ties to
// even. No floating point touches a stored amount.
//
// The closing is computed once into a ClosingPlan (reads only), which the preview shows and
// which apply() writes, in ONE transaction: all drugs or none.
//
//   auto s = store.open();                                      // the window's session
//   qh::stock::ClosingPlan plan = qh::stock::planClosing(s);   // may throw ClosingRefused
//   qh::stock::applyClosing(s, plan, observer);                 // throws DbError, then nothing changed
#include "db/session.h"
#include "db/error.h"
#include "base/money.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace qh::stock {

// Number of the refusal of a drug whose unit cost is undefined (stock on hand, nothing received
// into the cost base): the earlier engine's "division by zero".
inline constexpr int NoUnitCostError = 11;
// Number of the refusal when the stock changed between the plan and its writing.
inline constexpr int ClosingStaleError = 3197;

// a x b / c rounded to an integer, ties to even, without intermediate overflow.
// Throws MoneyOverflow when the result leaves 64 bits, std::domain_error when c is 0.
std::int64_t mulDivEven(__int128 a, std::int64_t b, std::int64_t c);

// The cost of a quantity at the unit cost rkje / rksl, rounded once to ten-thousandths.
Money costAt(__int128 quantityUnits, Money rkje, Money rksl);
inline Money costAt(Money quantity, Money rkje, Money rksl) { return costAt(quantity.units(), rkje, rksl); }

// The closing refused before anything was written; herb names the drug concerned.
class ClosingRefused : public DbError {
public:
    ClosingRefused(int number, const QString &description, QString drug)
        : DbError(number, description), herb(std::move(drug))
    {
    }
    QString herb;
};

// One pending issue and the cost it gets.
struct IssueCost {
    qint64 row;  // rowid in yccrtb
    Money cksl;
    Money ckje;
};

// One balance row with stock on hand, before and after the closing.
struct DrugClosing {
    qint64 row = 0; // rowid in ycyltb
    QString ycbm;   // drug name
    Money rksl, rkje, ycyl;
    int issues = 0;         // pending issues that get a cost
    int leftUncosted = 0;   // pending issues whose cost is 0 (unit cost 0): they stay pending
    Money issueCost;        // total cost given to the issues
    Money outflow;          // (rksl - ycyl) x unit cost, taken off rkje
    Money newRkje;          // rkje - outflow
    std::size_t firstIssue = 0, endIssue = 0; // range in ClosingPlan::issues

    // The unit cost shown to the clerk, rounded to four decimals (the stored products use the
    // exact quotient).
    Money unitCost() const;
};

struct ClosingPlan {
    int emptyRows = 0;              // balance rows with ycyl = 0, dropped first
    std::vector<DrugClosing> drugs; // in name order
    std::vector<IssueCost> issues;  // grouped by drug, in the order of drugs

    int issueCount() const;
    Money totalIssueCost() const;
    Money totalBefore() const; // sum of rkje before
    Money totalAfter() const;  // sum of rkje after
};

// Reads the balances and the pending issues (one pass over the journal) and computes every
// value the closing will store. Writes nothing. Throws ClosingRefused for a drug with stock
// on hand and rksl = 0, or whose amounts leave the Currency range; DbError on engine failures.
ClosingPlan planClosing(db::Session &session);

// The progress phases of the menu command.
enum class ClosingPhase { CostIssues, Revalue };

// Called back while the plan is written so the caller can show progress and let window events
// run. i counts the drugs done (1..n) of the phase, each once and in order; the costing phase
// writes the issues in journal order, so there drug i is done when i/n of the issues are.
struct ClosingObserver {
    std::function<void(ClosingPhase phase, int n)> phaseStarted;
    std::function<void(ClosingPhase phase, int i, int n)> drugDone;
    std::function<void()> batchDone; // every ClosingBatch issues written
};
inline constexpr int ClosingBatch = 4096;

// Writes the plan in one transaction: drop the empty rows, cost the issues (in journal order),
// revalue the balances and carry the base quantity, drop empty rows again. Every write checks
// that it meets the row the plan read (else ClosingRefused with ClosingStaleError). Any failure
// throws and leaves the database as it was.
void applyClosing(db::Session &session, const ClosingPlan &plan, const ClosingObserver &observer = {});

// The progress arithmetic of the command: the step is span / n rounded to ten-thousandths
// (ties to even); after drug i the bar shows base + step x i. For n = 7 the costing phase
// shows 8.5714 first and ends at 59.9998.
Money progressStep(int span, int n);
Money progressAfter(int base, int span, int i, int n);
// "8.5714%", "60%".
QString progressText(Money value);
inline constexpr int CostingSpan = 60;
inline constexpr int RevalueBase = 60;
inline constexpr int RevalueSpan = 39;

// The preview as text: one line per drug and the totals.
QString previewText(const ClosingPlan &plan);

} // namespace qh::stock
