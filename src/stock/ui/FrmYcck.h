#pragma once
// The other stock-out window "药材出库" (menu "药品其它出库"): one issue per save, checked
// against the balance and posted in the same transaction. Its logic lives in stock/stockout.h.
#include "stock/stockout.h"

#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace qh::stock::ui {

class FrmYcck : public QWidget {
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
    QPushButton *CmdSave;
    QPushButton *CmdQcls;
    QPushButton *CmdExit;

    StockOut &logic() { return m_logic; }

    StockOutEntry entry() const;
    void setEntry(const StockOutEntry &e);
    void Qpcls();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void onEnter(QLineEdit *box);
    void CmdSave_Click();
    void CmdQcls_Click();
    void CmdExit_Click();

    StockOut m_logic;
    bool m_clearOnActivate = true;
    bool m_placed = false;
};

} // namespace qh::stock::ui
