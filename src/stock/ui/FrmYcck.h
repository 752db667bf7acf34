#pragma once
// The other stock-out window "药材出库" (menu "药品其它出库"): one issue per save, checked
// against the balance and posted in the same transaction. Its logic lives in stock/stockout.h;
// what it shares with the stock-in window in stock/ui/movementwindow.h.
#include "stock/stockout.h"
#include "stock/ui/movementwindow.h"

namespace qh::stock::ui {

class FrmYcck : public MovementWindow {
    Q_OBJECT

public:
    explicit FrmYcck(QWidget *parent = nullptr);

    QLineEdit *Txtycbm;
    QLineEdit *Txtycmc;
    QLineEdit *TxtPjhm;
    QLineEdit *TxtGjsj;
    QLineEdit *Txthwll;
    QLineEdit *TxtYcsl;
    QLineEdit *TxtYcje;
    QLineEdit *Txtjbxm;

    StockOut &logic() const { return static_cast<StockOut &>(entryLogic()); }
    QWidget *widgetOf(StockField field) const override;

protected:
    // The quantity takes typed digits only.
    bool refusesKey(const QLineEdit *box, const QKeyEvent *key) const override;
};

} // namespace qh::stock::ui
