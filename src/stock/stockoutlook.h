#pragma once
// What the dispensary holds of each herb, as a doctor composing a prescription wants to see it:
// the quantity on hand (the balance row) and the earliest expiry date of what is left. The
// journal does not say which purchase an issue took from, so the estimate lets every issue
// consume the purchases made before it in order of expiry, the oldest first.
#include "db/session.h"
#include "core/herbs.h"

#include <QDate>
#include <QHash>

namespace qh::stock {

// One pass over the journal and one over the balances, for every herb at once.
QHash<QString, herbs::StockState> stockOutlook(db::Session &s, const QDate &today);

// The same estimate over given movements (in time order), for one herb: what is left of the
// purchases and its earliest expiry. Exposed for tests and for callers with rows in hand.
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

} // namespace qh::stock
