#pragma once
// The stock-in window "中药材入库、退库" (menu "药品入/退库"): one purchase or return per
// save, posted as a receipt. Its logic lives in stock/stockin.h.
#include "stock/stockin.h"

#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace qh::stock::ui {

// Registers the stock-in ("ycrc") and other stock-out ("YcqkCk") windows with the main menu.
void registerStockMovementWindows();

namespace detail {
// Shows the step's message (if any) with its icon and an OK button.
void showStep(const StepResult &r);
// Puts the focus on the named child of the window and selects its text as asked.
void focusBox(QWidget *window, const QString &name, Selection select);
// Whether the window should clear itself when it becomes active again after losing the
// activation to newActive: yes for another window of the program, no for its own message
// boxes and dialogs or another program.
bool clearsAfterLosingTo(const QWidget *window, const QWidget *newActive);
} // namespace detail

class Frmycrk : public QWidget {
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
    QPushButton *CmdSave;
    QPushButton *CmdQcls;
    QPushButton *CmdExit;

    StockIn &logic() { return m_logic; }

    StockInEntry entry() const;
    void setEntry(const StockInEntry &e);
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

    StockIn m_logic;
    bool m_clearOnActivate = true;
    bool m_placed = false;
};

} // namespace qh::stock::ui
