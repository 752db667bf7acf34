#pragma once
// What the stock-in and the other stock-out logic have in common: the enum of the entry
// windows' controls, the Enter chains as tables, the reading of quantity, amount and date
// boxes, the drug lookups, the exact unit price comparison, and the steps both entries take
// the same way (lookups on Enter, the common validations and the fields every movement of a
// single entry carries). EntryLogic is what the entry window (stock/ui/movementwindow.h)
// works with.
#include "db/session.h"
#include "base/money.h"
#include "core/refusal.h"
#include "db/store.h"
#include "stock/posting.h"

#include <QDate>
#include <QString>

#include <compare>
#include <initializer_list>
#include <optional>
#include <span>

namespace qh::stock {

// The controls of the stock-in and the other stock-out window (the stock-out window has no
// batch, expiry or origin box).
enum class StockField { Txtycbm, Txtycmc, TxtYcph, TxtYsqx, Txthwcd, TxtPjhm, TxtYcsl, TxtYcje, Txthwll, TxtGjsj, Txtjbxm, CmdSave };
inline constexpr StockField AllStockFields[] = {
    StockField::Txtycbm, StockField::Txtycmc, StockField::TxtYcph, StockField::TxtYsqx, StockField::Txthwcd, StockField::TxtPjhm,
    StockField::TxtYcsl, StockField::TxtYcje, StockField::Txthwll, StockField::TxtGjsj, StockField::Txtjbxm, StockField::CmdSave};
using StockRefusal = Refusal<StockField>;
using StockVerdict = Verdict<StockField>;

// One row of an Enter chain: Enter in box runs the logic's check of that box; when it passes,
// the focus moves to next with its text selected as given.
struct EnterMove {
    StockField box;
    StockField next;
    Select select;
};
// The row of box, nothing when Enter in box does nothing.
std::optional<EnterMove> enterMoveOf(std::span<const EnterMove> chain, StockField box);

// What the entry window works with: the texts of its boxes by control, and the steps.
class EntryLogic {
public:
    virtual ~EntryLogic() = default;
    // The text of a box (date boxes as shown); nullptr for a control this entry does not have.
    virtual QString *text(StockField box) = 0;
    // A fresh entry: the defaults of the cleared window.
    virtual void clear(const QDate &today) = 0;
    virtual std::span<const EnterMove> enterChain() const = 0;
    // Enter in box: lookups, checks and rewrites of the texts; a refusal keeps the focus.
    virtual StockVerdict onEnter(StockField box, const QDate &today) = 0;
    // The price check: a refusal (possibly without a message) asks whether to go on.
    virtual StockVerdict jyYpjg() = 0;
    // The validation in its fixed order.
    virtual StockVerdict srnrJy(const QDate &today) = 0;
    // Posts the validated entry; a refusal carries the short report, nothing was written then.
    virtual StockVerdict post() = 0;
    // Whether pending events run once the checked texts are back in the boxes.
    virtual bool settlesAfterCheck() const { return false; }
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

// How the list price compares with the unit price amount / quantity (quantity not 0), exactly:
// by cross-multiplication in 128-bit integers, so 0.6667 is above 2 / 3.
std::strong_ordering compareWithUnitPrice(Money listPrice, Money amount, Money quantity);

// The steps the stock-in and stock-out logic share.
namespace entrystep {

// The focus stays in box, with an optional message.
StockRefusal stay(StockField box, const QString &message = {}, Select select = Select::all(),
                  MsgIcon icon = MsgIcon::Information);

// Enter in the code box: upper-cases the code and fills the name from the drug list; an
// unknown code stays with unknownMessage. The lookups and the price check open a session of the
// store themselves: a failed open comes back as their refusal, like any failure of the lookup.
StockVerdict lookupCode(const db::Store &store, QString &code, QString &name, const QString &unknownMessage);
// Enter in the name box: fills the code of the named drug; an unregistered name stays with
// unregisteredMessage.
StockVerdict lookupName(const db::Store &store, const QString &name, QString &code, const QString &unregisteredMessage);
// Enter in a box that must not be empty: an empty one stays (caret kept) with the message, if any.
StockVerdict filled(StockField box, const QString &text, const QString &emptyMessage = {},
                    MsgIcon icon = MsgIcon::Information);
// Enter in the date box TxtGjsj: a complete, valid day not after today passes.
StockVerdict enterDay(const QString &text, const QDate &today);
// Enter in a quantity or amount box: wrongMessage for text that is no number, the range
// message naming label for one too large, zeroMessage (when given) for zero; a good number
// is formatted.
StockVerdict enterNumber(StockField box, QString &text, const QString &wrongMessage, const QString &label,
                         const QString &zeroMessage = {});

// The price check of an entry: the drug of code, the unit price amount / quantity, and
// whether passes(how the list price compares with the unit price). A failed lookup or
// calculation does not pass; a failure of the check itself comes back as message (short form).
StockVerdict checkUnitPrice(const db::Store &store, const QString &code, const QString &quantity, const QString &amount,
                            bool (*passes)(std::strong_ordering listAgainstUnit));

// A box the validation requires, with its refusal.
struct RequiredBox {
    bool missing;
    QString message;
    StockField box;
    Select select = Select::none();
};
// The refusal of the first missing box, in the order given.
StockVerdict firstMissing(std::initializer_list<RequiredBox> boxes);
// A date box in the validation: missingMessage for an incomplete one, wrongMessage for no
// valid day; otherwise day is set.
StockVerdict refuseDay(const QString &text, StockField box, const QString &missingMessage, const QString &wrongMessage,
                       QDate &day);
// A quantity or amount read by the validation: wrongMessage for an empty box or text, the
// range message naming label for one too large.
StockVerdict refuseNumber(const BoxNumber &n, StockField box, const QString &wrongMessage, const QString &label);

// The fields every single-entry movement carries: the day of the masked date text, the drug
// name, no case number or department, the handler and the current user as keeper.
Movement entryMovement(const QString &dayText, const QString &name, const QString &handler);

} // namespace entrystep

} // namespace qh::stock
