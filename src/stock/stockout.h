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

class StockOut : public EntryLogic {
public:
    // The lookups, the price check and the posting open their sessions of store.
    explicit StockOut(db::Store store) : m_store(std::move(store)) {}
    int jybl = 0;
    // The entry the window shows.
    StockOutEntry entry;

    // Code, name, summary, handler and ticket empty; quantity and revenue "0.00"; date today.
    static StockOutEntry Qpcls(const QDate &today);

    // Keys the quantity box takes: the digits 0 to 9 (Enter is handled apart).
    static bool quantityKeyAccepted(const QString &typed);

    // Enter: the box, where the focus goes when the box's check passes, and how it selects.
    static constexpr EnterMove EnterChain[] = {
        {StockField::Txtycbm, StockField::TxtPjhm, Select::all()},
        {StockField::Txtycmc, StockField::TxtGjsj, Select::head(10)},
        {StockField::TxtPjhm, StockField::TxtGjsj, Select::head(10)},
        {StockField::TxtGjsj, StockField::Txthwll, Select::all()},
        {StockField::Txthwll, StockField::TxtYcsl, Select::all()},
        {StockField::TxtYcsl, StockField::TxtYcje, Select::all()},
        {StockField::TxtYcje, StockField::Txtjbxm, Select::all()},
        {StockField::Txtjbxm, StockField::CmdSave, Select::none()},
    };

    StockVerdict onEnter(StockField box, StockOutEntry &e, const QDate &today);

    // Price check: does not pass when the drug's selling price is above the unit revenue
    // (revenue / quantity, compared exactly); an equal value passes.
    StockVerdict jyYpjg(StockOutEntry &e);

    StockVerdict srnrJy(StockOutEntry &e, const QDate &today);

    static Movement movement(const StockOutEntry &e);

    // In one transaction: checks that the balance covers the quantity ("库存中此药材余量不足"
    // otherwise, nothing written) and posts the issue.
    StockVerdict post(const StockOutEntry &e);

    // EntryLogic over entry.
    QString *text(StockField box) override;
    void clear(const QDate &today) override { entry = Qpcls(today); }
    std::span<const EnterMove> enterChain() const override { return EnterChain; }
    StockVerdict onEnter(StockField box, const QDate &today) override { return onEnter(box, entry, today); }
    StockVerdict jyYpjg() override { return jyYpjg(entry); }
    StockVerdict srnrJy(const QDate &today) override { return srnrJy(entry, today); }
    StockVerdict post() override { return post(entry); }

private:
    db::Store m_store;
};

} // namespace qh::stock
