#pragma once
// The stock query window "药材库存查询" (menu "药材库存查询"): one of four questions about the
// herb stock over a date range, optionally for one drug, answered with a workbook in the
// documents folder. Its logic is stock/stockquery.h.
#include "stock/stockquery.h"
#include "stock/ui/movementwindow.h"

#include <QWidget>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qh::stock::ui {

class Frmyckc : public QWidget {
    Q_OBJECT
public:
    explicit Frmyckc(QWidget *parent = nullptr);

    QRadioButton *OptYcrk;
    QRadioButton *OptYcck;
    QRadioButton *OptCkrk;
    QRadioButton *OptYcjy;
    QLineEdit *Txtycbm;
    QLineEdit *Txtycmc;
    QLineEdit *TxtQssj;
    QLineEdit *TxtJssj;
    QPushButton *CmdSeek;
    QPushButton *CmdQcls;
    QPushButton *CmdHelp;
    QPushButton *CmdExit;

    // Result of the last date check: 1 a date was refused, 0 both dates valid.
    int srjybl = 1;

    // The inputs back to their defaults (empty drug, the last 230 days), the arrow pointer.
    void Qpcls();
    void CmdSeek_Click();
    void CmdQcls_Click();
    void CmdHelp_Click();
    void CmdExit_Click();

    StockQueryType selectedType() const;
    StockQueryInput input() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QWidget *widgetOf(StockQueryField field) const;
    void refuse(const Refusal<StockQueryField> &r);
    void srnrJy();
    void onCodeEnter();
    void onOption(QRadioButton *option);
    // The five-second lock of the four buttons after a report.
    void waitment();

    ClearOnReturn m_clearOnActivate{true};
    bool m_placed = false;
};

// Registers the window for the menu item "药材库存查询" and the command "药品库存盘点".
void registerStockQueryWindow();

} // namespace qh::stock::ui
