#pragma once
// What the dispensary holds of each herb, as a doctor composing a prescription wants to see it
// beside the herb pick list of the diagnosis tab ("黄芪：库存 120 克" and "最早有效期 2026-10-31
// （已过期）", the marks "（缺货）" and "（过期）", the stock findings before a visit is saved).
//
// What the outlook is, per balance row of ycyltb (herbs without a row are not in it):
//   onHand  = the row's ycyl, as stored; known = true.
//   expiry  = only when ycyl > 0: the earliest expiry among the purchases the journal still
//             holds of exactly that name. The journal (yccrtb) does not say which purchase an
//             issue took from, so it is replayed oldest first: a row's positive rksl is a
//             purchase expiring on the day of its yxqx (none or unreadable: after every date),
//             then its positive cksl is taken from the purchases earliest expiry first; what
//             cannot be taken is dropped. Negative quantities (a return entered as a negative
//             stock-in, a negative stock-out) add and take nothing, and rows posted under the
//             name in another letter case belong to that other name. Nothing when no dated
//             purchase is left.
//   expired = expiry is before today.
// The replay order is the order of the journal's index ycrci: time (crsj), name, sales revenue
// (xsje), cost (ckje, which the period closing fills in), the row's key. The windows write all
// rows of a day at midnight, so among one day's rows of a herb a purchase comes before the
// dispensings (revenue above 0), and a stock-out without revenue keeps the place it was written
// in until a closing gives it a cost.
//
// It reads the whole journal, one pass. Less cannot give the same expiry: a lot bought long ago
// that expires late stays in the replay while newer lots that expire sooner are issued first, and
// as long as a herb never runs out the replay's state carries every earlier purchase with it, so
// the expiry can hang on the herb's first rows. A bounded read needs that state kept (the lots
// left per herb, written with each posting) or another rule for the estimate.
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
