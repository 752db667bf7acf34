#pragma once
// The posting rules shared by every stock event (stock-in, other issues, prescription
// dispensing): one movement row in yccrtb with all sixteen fields, then the change of the
// drug's balance row in ycyltb, both in one transaction, so a posting is all or nothing.
//
// Stock is kept per drug NAME: the field ycbm of both stock tables holds ycjg.ycmc.
//
//   qh::stock::Movement m;                      // fill the sixteen fields
//   qh::stock::postMovement(session, m, qh::stock::MovementKind::Receipt);   // own transaction
//
//   qh::db::Transaction t(session);             // several lines, all or nothing
//   for (...) {
//       auto b = qh::stock::balanceOf(session, name);
//       if (!b || b->ycyl < qty) ...            // refuse; t rolls back when it goes out of scope
//       qh::stock::postMovementInTransaction(session, line, qh::stock::MovementKind::Issue);
//   }
//   t.commit();
#include "db/session.h"
#include "db/error.h"
#include "base/money.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace qh::stock {

// Width of the balance key: a drug whose name is longer cannot be stocked.
inline constexpr int BalanceNameLimit = 20;

// The summaries (ywzy) of the movement kinds the program writes.
inline const QString SummaryPurchase = QStringLiteral("购进");
inline const QString SummaryIssue = QStringLiteral("出库");
inline const QString SummaryDispensing = QStringLiteral("处方收款出库");

// Receipt raises rksl, rkje and ycyl by the movement's rksl/rkje/rksl (creating the balance
// row when there is none). Issue lowers ycyl by the movement's cksl; without a balance row
// nothing is changed (the issuing command checks the balance first, see balanceOf).
enum class MovementKind { Receipt, Issue };

// One row of yccrtb, fields in table order. Empty texts (other than ycbm) are written as one
// blank " ", the stored form of "not applicable".
struct Movement {
    QDateTime crsj;                  // date (and time) of the movement
    QString ycbm;                    // drug NAME (ycjg.ycmc), at most 20 characters
    QString ywzy;                    // summary: SummaryPurchase, SummaryIssue, SummaryDispensing...
    QString yccd;                    // place of origin
    QString ycly;                    // source / summary of an issue
    QString ywph;                    // batch number
    std::optional<QDateTime> yxqx;   // expiry date
    QString blhm;                    // case number (dispensing)
    QString blks;                    // department (dispensing)
    Money rksl;                      // quantity received
    Money rkje;                      // amount paid
    Money cksl;                      // quantity issued
    Money ckje;                      // cost of the issue (0; filled by the period closing)
    Money xsje;                      // sales revenue
    QString jbxm;                    // person who handled it
    QString bgxm;                    // keeper: the logged-in user
};

// One row of ycyltb.
struct Balance {
    QString ycbm;
    Money rksl;
    Money rkje;
    Money ycyl;
};

// A posting refused before anything was written (name too long for the balance key, a
// balance that would leave the Currency range, an empty drug name). Reported like any
// other database failure: shortReport(e) is the message for the user.
class PostingRefused : public DbError {
public:
    using DbError::DbError;
};

// The balance row of a drug name, read through the given session (inside an open
// transaction it sees that transaction's own writes). Nothing when there is no row.
std::optional<Balance> balanceOf(db::Session &session, const QString &drugName);

// Checks a movement against the rules that need no database: drug name present and at most
// BalanceNameLimit characters. Throws PostingRefused.
void checkMovement(const Movement &m);

// Appends the movement row and changes the balance inside the caller's open transaction.
// Throws PostingRefused (before any write) or DbError; the caller's transaction then must
// not be committed (leaving its scope rolls everything back).
void postMovementInTransaction(db::Session &session, const Movement &m, MovementKind kind);

// Posts one movement in its own transaction: both writes or neither. Throws like above.
void postMovement(db::Session &session, const Movement &m, MovementKind kind);

} // namespace qh::stock
