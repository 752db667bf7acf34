#pragma once
// What the stock-in and the other stock-out logic have in common: the step results the
// windows act on, the reading of quantity, amount and date boxes, the drug lookups, and the
// steps both entries take the same way (lookups on Enter, the unit price check, the common
// validations and the fields every movement of a single entry carries).
#include "core/database.h"
#include "core/messages.h"
#include "core/money.h"
#include "stock/posting.h"

#include <QDate>
#include <QString>

#include <initializer_list>
#include <optional>

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

// The steps the stock-in and stock-out logic share. Box names are the windows' control names.
namespace entrystep {

// The focus stays in the box (ok false), with an optional message.
StepResult stay(const QString &message = {}, Selection select = Selection::All, MsgIcon icon = MsgIcon::Information);
// The step passed; the focus moves to box.
StepResult moveTo(const QString &box, Selection select);
// The step failed; the focus moves to box.
StepResult fail(const QString &message, const QString &box, Selection select);

// Enter in the code box: upper-cases the code and fills the name from the drug list, then
// moves to next; an unknown code stays with unknownMessage.
StepResult lookupCode(QString &code, QString &name, const QString &unknownMessage, const QString &next);
// Enter in the name box: fills the code of the named drug and moves to the date box
// TxtGjsj; an unregistered name stays with unregisteredMessage.
StepResult lookupName(const QString &name, QString &code, const QString &unregisteredMessage);
// Enter in a box that must not be empty: an empty one stays (caret kept) with the message,
// if any; a filled one moves to next.
StepResult filledThen(const QString &text, const QString &next, Selection select, const QString &emptyMessage = {},
                      MsgIcon icon = MsgIcon::Information);
// Enter in the date box TxtGjsj: a complete, valid day not after today moves to next.
StepResult enterDay(const QString &text, const QDate &today, const QString &next);
// Enter in a quantity or amount box: wrongMessage for text that is no number, the range
// message naming label for one too large, zeroMessage (when given) for zero; a good number
// is formatted and the focus moves to next.
StepResult enterNumber(QString &text, const QString &wrongMessage, const QString &label, const QString &next,
                       const QString &zeroMessage = {});

// The price check of an entry: the drug of code, the unit price amount / quantity, and
// whether passes(list price, unit price). A failed lookup or calculation does not pass; a
// failure of the check itself comes back as message (short form).
StepResult checkUnitPrice(const QString &code, const QString &quantity, const QString &amount,
                          bool (*passes)(Money listPrice, Money unitPrice));

// A box the validation requires, with its refusal.
struct RequiredBox {
    bool missing;
    QString message;
    QString box;
    Selection select = Selection::None;
};
// The refusal of the first missing box, in the order given.
std::optional<StepResult> firstMissing(std::initializer_list<RequiredBox> boxes);
// A date box in the validation: missingMessage for an incomplete one, wrongMessage for no
// valid day; otherwise day is set.
std::optional<StepResult> refuseDay(const QString &text, const QString &box, const QString &missingMessage,
                                    const QString &wrongMessage, QDate &day);
// A quantity or amount read by the validation: wrongMessage for an empty box or text, the
// range message naming label for one too large.
std::optional<StepResult> refuseNumber(const BoxNumber &n, const QString &box, const QString &wrongMessage,
                                       const QString &label);

// The fields every single-entry movement carries: the day of the masked date text, the drug
// name, no case number or department, the handler and the current user as keeper.
Movement entryMovement(const QString &dayText, const QString &name, const QString &handler);

} // namespace entrystep

} // namespace qh::stock
