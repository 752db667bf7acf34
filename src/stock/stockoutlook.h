#pragma once
// What the dispensary holds of each herb, as a doctor composing a prescription wants to see it
// beside the herb pick list of the diagnosis tab ("黄芪：库存 120 克" and "最早有效期 2026-10-31
// （已过期）", the marks "（缺货）" and "（过期）", the stock findings before a visit is saved).
//
// What the outlook is, per balance row of ycyltb (herbs without a row are not in it):
//   onHand  = the row's ycyl, as stored; known = true.
//   expiry  = only when ycyl > 0: the earliest expiry among the receipts still in stock. A
//             dispensary issues its oldest stock first, so what is on the shelf is the herb's
//             latest purchases: the journal's (yccrtb) rows of exactly that name with rksl above
//             0, newest first, taken until their rksl add up to at least the balance (all of them
//             when the purchases run out before). The expiry is the earliest yxqx among those
//             taken that is a day; nothing when none of them has one.
//   expired = expiry is before today.
// Newest first is the journal's order (its index ycrci: time crsj, name, sales revenue xsje,
// cost ckje, the row's key) reversed: crsj, then xsje, ckje and the row key, each descending.
// Rows of the name in another letter case belong to that other name; a return entered as a
// negative stock-in and every stock-out are no purchase. A balance raised by hand beyond the
// purchases counts all of them.
//
// The outlook reads, for each herb with stock, its purchases through the index yccrbmi (name,
// time, of the rows with rksl above 0) from the newest back, a few at a time, until the balance
// is covered: the time grows with the herbs and with how many purchases their balances span, not
// with the journal.
#include "db/session.h"
#include "core/herbs.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <optional>

namespace qh::stock {

// The outlook of every herb with a balance row. Throws DbError.
QHash<QString, herbs::StockState> stockOutlook(db::Session &s, const QDate &today);

// One purchase of a herb: rksl and the day of its yxqx (invalid: none or unreadable).
struct Receipt {
    Money qty;
    QDate expiry;
};
// The rule above for one herb: the expiry of a balance of onHand given the herb's purchases
// newest first (rows with qty not above 0 are skipped). Nothing when onHand is not above 0.
std::optional<QDate> shelfExpiry(Money onHand, const QList<Receipt> &newestFirst);

// The day of a stored date text "yyyy-MM-dd HH:mm:ss" (invalid for anything else), as the
// outlook reads yxqx.
QDate storedDay(const QString &text);

} // namespace qh::stock
