#pragma once
// Logic of the other stock-out window (issues other than prescription dispensing), without
// widgets: lookups on Enter, the price check jyYpjg (revenue against the selling price),
// the validation srnrJy, the defaults of Qpcls, and the balance check with the posting of
// one entry in a single transaction.
#include "stock/stockin.h"

namespace qh::stock {

// The texts of the stock-out window's boxes, named as the boxes.
struct StockOutEntry {
    QString Txtycbm;
    QString Txtycmc;
    QString TxtPjhm;
    QString TxtGjsj; // masked date text "yyyy-mm-dd": the stock-out date
    QString Txthwll; // summary of the stock-out
    QString TxtYcsl; // quantity (digits only when typed)
    QString TxtYcje; // sales revenue
    QString Txtjbxm;
};

class StockOut {
public:
    int jybl = 0;

    // Code, name, summary, handler and ticket empty; quantity and revenue "0.00"; date today.
    static StockOutEntry Qpcls(const QDate &today);

    // Keys the quantity box takes: the digits 0 to 9 (Enter is handled apart).
    static bool quantityKeyAccepted(const QString &typed);

    StepResult onEnter(const QString &box, StockOutEntry &e, const QDate &today);

    // Price check: does not pass when the drug's selling price is above the unit revenue
    // (revenue / quantity); an equal value passes.
    StepResult jyYpjg(StockOutEntry &e);

    StepResult srnrJy(StockOutEntry &e, const QDate &today);

    static Movement movement(const StockOutEntry &e);

    // In one transaction: checks that the balance covers the quantity ("库存中此药材余量不足"
    // otherwise, nothing written) and posts the issue.
    StepResult post(const StockOutEntry &e);
};

} // namespace qh::stock
