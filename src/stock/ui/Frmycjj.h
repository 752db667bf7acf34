#pragma once
// "病志处方药材计价": prices a saved prescription line by line and issues its herbs.
#include "stock/charging.h"
#include "stock/ui/movementwindow.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace qh::stock::ui {

class DrugCompleter;

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
    // The incompatible herbs of the visit's prescription, for the dispenser; hidden when there
    // are none (not a described control; posting is not blocked by it).
    QLabel *LabPwjj;

    // Clears the entries; closes the window when no diagnosis exists. False when it closed.
    bool Qpcls();
    const QList<ChargeLine> &lines() const { return m_lines; }
    // The visit the lines are posted against: the one the last lookup found, as long as its
    // case number, department and date were not edited since.
    const std::optional<ChargeDiagnosis> &visit() const { return m_diagnosis; }
    QWidget *widgetOf(ChargeField field) const;
    // The completion list of the code box: the herbs of the visit's prescription first.
    DrugCompleter *codeCompleter() const { return m_completer; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private:
    // One row of the Enter table: Enter in box runs check; when it passes the focus moves to
    // next (if any) with its text selected as given.
    struct EnterStep {
        QWidget *box;
        QWidget *next;
        std::function<ChargeVerdict()> check;
        Select select;
    };

    ChargeVerdict onDateEnter();
    ChargeVerdict onCodeEnter();
    ChargeVerdict onNameEnter();
    ChargeVerdict onDoseEnter();
    void runEnter(QObject *box);
    void onGridClicked(int row);
    void onCharge();
    void onExit();
    void refuse(const ChargeRefusal &r);
    // The case number, department or date was edited: the visit found before no longer holds.
    void forgetVisit();
    void appendRow(const ChargeLine &l);
    void showTotal();
    void showIncompatibilities(db::Session &s);

    std::vector<EnterStep> m_enter;
    QList<ChargeLine> m_lines;
    std::optional<ChargeDiagnosis> m_diagnosis;
    DrugCompleter *m_completer = nullptr;
    int ycjlhs = 0;
    bool m_closing = false;
    ClearOnReturn m_clearOnActivate{false};
};

// Registers the window for the menu item "门诊处方计价".
void registerChargingWindow();

} // namespace qh::stock::ui
