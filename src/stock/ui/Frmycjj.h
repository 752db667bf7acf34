#pragma once
// "病志处方药材计价": prices a saved prescription line by line and issues its herbs.
#include "stock/charging.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace qh::stock::ui {

class Frmycjj : public QWidget {
    Q_OBJECT
public:
    explicit Frmycjj(QWidget *parent = nullptr);

    QLineEdit *TxtBlhm;
    QComboBox *CboZdks;
    QLineEdit *MasZdsj;
    QTabWidget *SSTab1;
    QTableWidget *MSFGridyfjg;
    QPlainTextEdit *TxtCfnr;
    QLineEdit *Txtycbm;
    QLineEdit *Txtycmc;
    QLineEdit *TxtYcjl;
    QLineEdit *TxtYchj;
    QPushButton *Cmdcksf;
    QPushButton *CmdQcls;
    QPushButton *CmdExit;

    // Clears the entries; closes the window when no diagnosis exists. False when it closed.
    bool Qpcls();
    const QList<ChargeLine> &lines() const { return m_lines; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private:
    void onDateEnter();
    void onCodeEnter();
    void onNameEnter();
    void onDoseEnter();
    void onGridClicked(int row);
    void onCharge();
    void onExit();
    void refuse(const ChargeRefusal &r);
    void focusSelect(QWidget *w);
    void appendRow(const ChargeLine &l);
    void showTotal();

    QList<ChargeLine> m_lines;
    ChargeDiagnosis m_diagnosis;
    int ycjlhs = 0;
    bool m_closing = false;
    bool m_clearOnActivate = false;
};

// Registers the window for the menu item "门诊处方计价".
void registerChargingWindow();

} // namespace qh::stock::ui
