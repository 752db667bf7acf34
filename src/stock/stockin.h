#pragma once
// Logic of the stock-in window (purchases and returns into stock), without widgets: the
// lookups on Enter, the price check jyYpjg, the validation srnrJy, the defaults of Qpcls and
// the posting of one entry. The window only moves texts between its boxes and an entry.
//
// The small types at the top are shared with the stock-out logic.
#include "core/database.h"
#include "core/messages.h"
#include "core/money.h"
#include "stock/posting.h"

#include <QDate>
#include <QString>

namespace qh::stock {

// How the box that receives the focus shows its text.
enum class Selection {
    None,     // caret where it was
    All,      // whole text selected
    FirstTen, // the first 10 characters (date boxes)
    End,      // caret at the end
};

// What the window does after a key, a check or a command.
struct StepResult {
    bool ok = true;                     // the step passed (Enter moves on, the check passed...)
    QString message;                    // shown when not empty
    MsgIcon icon = MsgIcon::Information; // icon of the message (always with an OK button)
    QString focus;                      // control to focus, "" keeps the focus where it is
    Selection select = Selection::None;
};

// Quantities and amounts typed into one entry are limited to this size, far inside the
// Currency range, so balances, sums and costs of later steps cannot leave it.
inline constexpr Money EntryMaximum = Money::fromUnits(9'999'999'999'900); // 999,999,999.99

// A quantity or amount box read as the clinic shows it ("###,##0.00").
struct BoxNumber {
    enum State { Empty, NotNumeric, TooLarge, Ok } state = Empty;
    Money value; // rounded to two decimals, as the box shows it after formatting
};
BoxNumber readBoxNumber(const QString &text);
// "###,##0.00": "1,234.00", "-5.00", "0.00".
QString formatBoxNumber(Money value);
// The message that refuses a value beyond EntryMaximum, naming the box.
QString tooLargeMessage(const QString &label);

// A masked date box holds all ten characters "yyyy-mm-dd" (no blank places left).
bool dateTextComplete(const QString &text);

// The drug list row of a code or of a name (literal match, letter case ignored).
struct DrugRow {
    QString ycbm;
    QString ycmc;
    Money ycdj;
};
std::optional<DrugRow> findDrugByCode(db::Session &s, const QString &code);
std::optional<DrugRow> findDrugByName(db::Session &s, const QString &name);

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
