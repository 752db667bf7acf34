#pragma once
// What the dispensary holds of each herb, as a doctor composing a prescription wants to see it
// beside the herb pick list of the diagnosis tab ("黄芪：库存 120 克" and "最早有效期 2026-10-31
// （已过期）", the marks "（缺货）" and "（过期）", the stock findings before a visit is saved).
//
// What the outlook is, per balance row of ycyltb (herbs without a row are not in it):
//   onHand  = the row's ycyl, as stored; known = true.
//   expiry  = only when ycyl > 0: the earliest expiry among the purchases the journal still
//             holds of that name, where the journal (yccrtb, rows of exactly the balance row's
//             name) is replayed oldest first: a row's positive rksl is a purchase that expires on
//             the day of its yxqx (no or unreadable date: expires after every date), then its
//             positive cksl is taken from the purchases earliest expiry first; what cannot be
//             taken is dropped. Negative quantities (a return entered as a negative stock-in, a
//             negative stock-out) take and add nothing. Nothing when no dated purchase is left.
//   expired = expiry is before today.
// The replay order is the order of the journal's index ycrci: time (crsj), then sales revenue
// (xsje), then cost (ckje, which the period closing fills in), then the row's key; rows of one
// day are all written at midnight, so this order decides among the same day's rows.
//
// How it is computed without replaying the whole journal: a dated expiry e is still held at
// the end exactly when some run of the newest rows has more purchases expiring on or before e
// than issues (the replay's stock of such purchases is the largest such excess, or 0). The
// journal is read newest first, in windows of days that double; for each herb the candidate is
// the earliest e that a run read so far shows still held. Rows older than a run cannot change
// the result once the purchases of that run expiring on or after the candidate add up to at
// least what the replay can hold at the end. That holds whenever the replay holds no more
// than the balance, bound = ycyl plus every return and every issue posted under the name in
// another letter case that the read has met: true for every journal this program's postings
// write (each issue checks the balance first). Otherwise (a return or an other-case issue
// older than the rows read for that herb, an issue larger than the balance from a journal made
// elsewhere) the replay can hold lots the balance does not explain: exactly the same result
// then needs all of the herb's history, which no existing index gives short of reading the
// whole journal (the only one, ycrci, starts with the time): that would need an index on the
// returns (rksl) or on (ycbm, crsj).
//
// Cost: the rows read are those since the oldest purchase any herb still needs; a herb whose
// balance its purchases in the journal never explain makes the read go to the journal's start.
// Later windows ask only for the herbs still open, which the engine checks in the index before
// it reads a row.
#include "db/session.h"
#include "core/herbs.h"

#include <QDate>
#include <QHash>

namespace qh::stock {

// The outlook of every herb with a balance row. Throws DbError.
QHash<QString, herbs::StockState> stockOutlook(db::Session &s, const QDate &today);

// The replay above over given movements (in replay order), for one herb: what is left of the
// purchases, in expiry order (no date last). For callers with rows in hand and for tests.
struct Lot {
    Money left;
    QDate expiry; // invalid: none given
};
struct JournalRow {
    Money received; // rksl
    Money issued;   // cksl
    QDate expiry;   // yxqx of a purchase
};
QList<Lot> remainingLots(const QList<JournalRow> &rows);

// The day of a stored date text "yyyy-MM-dd HH:mm:ss" (invalid for anything else), as the
// replay reads yxqx.
QDate storedDay(const QString &text);

} // namespace qh::stock
