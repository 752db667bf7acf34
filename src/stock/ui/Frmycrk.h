#pragma once
// The stock-in window "中药材入库、退库" (menu "药品入/退库"): one purchase or return per
// save, posted as a receipt. Its logic lives in stock/stockin.h; what it shares with the
// other stock-out window in stock/ui/movementwindow.h.
#include "stock/stockin.h"
#include "stock/ui/movementwindow.h"

namespace qh::stock::ui {

// Registers the stock-in ("ycrc") and other stock-out ("YcqkCk") windows with the main menu.
void registerStockMovementWindows();

class Frmycrk : public MovementWindow {
    Q_OBJECT

public:
    explicit Frmycrk(QWidget *parent = nullptr);

    QLineEdit *Txtycbm;
    QLineEdit *Txtycmc;
    QLineEdit *TxtYcph;
    QLineEdit *TxtYsqx;
    QLineEdit *Txthwcd;
    QLineEdit *TxtPjhm;
    QLineEdit *TxtYcsl;
    QLineEdit *TxtYcje;
    QLineEdit *Txthwll;
    QLineEdit *TxtGjsj;
    QLineEdit *Txtjbxm;

    StockIn &logic() const { return static_cast<StockIn &>(entryLogic()); }
    QWidget *widgetOf(StockField field) const override;

protected:
    // The expiry box alone takes the space key.
    bool takesSpace(const QLineEdit *box) const override;
};

} // namespace qh::stock::ui
