#pragma once
// Logic of the stock-in window (purchases and returns into stock), without widgets: the
// lookups on Enter, the price check jyYpjg, the validation srnrJy, the defaults of Qpcls and
// the posting of one entry. The window only moves texts between its boxes and an entry.
// What it shares with the stock-out logic lives in stock/movemententry.h.
#include "stock/movemententry.h"

namespace qh::stock {

// The texts of the stock-in window's boxes, named as the boxes.
struct StockInEntry {
    QString Txtycbm;
    QString Txtycmc;
    QString TxtYcph;
    QString TxtYsqx; // masked date text "yyyy-mm-dd"
    QString Txthwcd;
    QString TxtPjhm;
    QString TxtYcsl;
    QString TxtYcje;
    QString Txthwll;
    QString TxtGjsj; // masked date text "yyyy-mm-dd"
    QString Txtjbxm;
};

class StockIn {
public:
    // 1 while a check runs or after it failed; 0 only after success.
    int jybl = 0;

    // The cleared window: every box empty, purchase date today, expiry today + 720 days.
    static StockInEntry Qpcls(const QDate &today);

    // Enter in the named box: lookups (opening the clinic database), checks and rewrites.
    // ok tells whether the focus moves (to result.focus).
    StepResult onEnter(const QString &box, StockInEntry &e, const QDate &today);

    // Price check: passes when the drug's selling price is above the unit purchase price
    // (amount / quantity). A failure of the check itself comes back as message (short form).
    StepResult jyYpjg(StockInEntry &e);

    // Validation in the fixed order; trims and rewrites the boxes it names, and formats
    // quantity and amount when everything passed.
    StepResult srnrJy(StockInEntry &e, const QDate &today);

    // The movement row of a validated entry (keeper = current user).
    static Movement movement(const StockInEntry &e);

    // Posts a validated entry as a receipt in one transaction. ok false with the short
    // report of the failure; nothing is written then.
    StepResult post(const StockInEntry &e);
};

} // namespace qh::stock
