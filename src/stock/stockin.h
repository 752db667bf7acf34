#pragma once
// Logic of the stock-in window (purchases and returns into stock), without widgets: the
// Enter chain with its lookups and checks, the price check jyYpjg, the validation srnrJy, the
// defaults of Qpcls and the posting of one entry. The window only moves texts between its
// boxes and the entry. What it shares with the stock-out logic lives in stock/movemententry.h.
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

class StockIn : public EntryLogic {
public:
    // The lookups, the price check and the posting open their sessions of store.
    explicit StockIn(db::Store store) : m_store(std::move(store)) {}
    // 1 while a check runs or after it failed; 0 only after success.
    int jybl = 0;
    // The entry the window shows.
    StockInEntry entry;

    // The cleared window: every box empty, purchase date today, expiry today + 720 days.
    static StockInEntry Qpcls(const QDate &today);

    // Enter: the box, where the focus goes when the box's check passes, and how it selects.
    static constexpr EnterMove EnterChain[] = {
        {StockField::Txtycbm, StockField::TxtYcph, Select::all()},
        {StockField::Txtycmc, StockField::TxtGjsj, Select::head(10)},
        {StockField::TxtYcph, StockField::TxtYsqx, Select::head(10)},
        {StockField::TxtYsqx, StockField::Txthwcd, Select::end()},
        {StockField::Txthwcd, StockField::TxtPjhm, Select::end()},
        {StockField::TxtPjhm, StockField::TxtYcsl, Select::all()},
        {StockField::TxtYcsl, StockField::TxtYcje, Select::all()},
        {StockField::TxtYcje, StockField::Txthwll, Select::all()},
        {StockField::Txthwll, StockField::TxtGjsj, Select::head(10)},
        {StockField::TxtGjsj, StockField::Txtjbxm, Select::all()},
        {StockField::Txtjbxm, StockField::CmdSave, Select::none()},
    };

    // The check of Enter in box over e: lookups (opening the clinic database), checks and rewrites.
    StockVerdict onEnter(StockField box, StockInEntry &e, const QDate &today);

    // Price check: passes when the drug's selling price is above the unit purchase price
    // (amount / quantity, compared exactly). A failure of the check itself comes back as
    // message (short form).
    StockVerdict jyYpjg(StockInEntry &e);

    // Validation in the fixed order; trims and rewrites the boxes it names, and formats
    // quantity and amount when everything passed.
    StockVerdict srnrJy(StockInEntry &e, const QDate &today);

    // The movement row of a validated entry (keeper = current user).
    static Movement movement(const StockInEntry &e);

    // Posts a validated entry as a receipt in one transaction. A refusal with the short
    // report of the failure; nothing is written then.
    StockVerdict post(const StockInEntry &e);

    // EntryLogic over entry.
    QString *text(StockField box) override;
    void clear(const QDate &today) override { entry = Qpcls(today); }
    std::span<const EnterMove> enterChain() const override { return EnterChain; }
    StockVerdict onEnter(StockField box, const QDate &today) override { return onEnter(box, entry, today); }
    StockVerdict jyYpjg() override { return jyYpjg(entry); }
    StockVerdict srnrJy(const QDate &today) override { return srnrJy(entry, today); }
    StockVerdict post() override { return post(entry); }
    bool settlesAfterCheck() const override { return true; }

private:
    db::Store m_store;
};

} // namespace qh::stock
