#pragma once
// The drug code and price window "药品价格维护": enter, change, delete and export the drugs of
// the clinic's drug list. The checks and the database work are in stock/druglist.h.
//
// Besides: a filter box over the grid (TxtYpsx, reached by a click or Alt+F, not by Tab) narrows
// the grid to the drugs the typed pinyin, characters or code find (stock/druglookup.h); empty, it
// shows all; Enter in it takes the first row shown as a click would. A new drug's name typed
// while the code box is empty shows the code its initials make as the code box's placeholder;
// the Right arrow key in the empty code box takes it. Nothing else changes: the grid is cleared
// of the filter whenever the window clears, and the export writes the whole list.
#include "stock/druglist.h"
#include "stock/druglookup.h"

#include <QWidget>

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace qh::stock::ui {

class Frmyjwh : public QWidget {
    Q_OBJECT
public:
    explicit Frmyjwh(QWidget *parent = nullptr);

    // Clears the entries and reloads the category list and the grid.
    void Qpcls();
    // Validation of the five entries: shows the first failure and moves the focus; jybl is 0
    // only when all passed.
    void srnrJy();
    int jybl = 1;

    QComboBox *CboYplb;
    QLineEdit *Txtycbm;
    QLineEdit *Txtycmc;
    QLineEdit *TxtJldw;
    QLineEdit *Txtycdj;
    QTableWidget *MSFGridBmmc;
    QPushButton *CmdSave;
    QPushButton *Cmdedit;
    QPushButton *CmdMcxg;
    QPushButton *CmdBmxg;
    QPushButton *Cmddele;
    QPushButton *CmdQcls;
    QPushButton *CmdExit;
    QPushButton *Command1;
    QLineEdit *TxtYpsx; // the grid's filter
    QLabel *LabYpsx;    // how many drugs it shows

    // The code suggested for the name in the name box ("" when none): what the code box's
    // placeholder shows.
    QString suggestedCode() const { return m_suggestion; }

    QWidget *widgetOf(DrugField field) const;

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    DrugEntry entry() const;
    void showEntry(const DrugEntry &e);
    // One row of the Enter table: Enter in box runs check; when it passes the focus moves to
    // next with its text selected as given.
    struct EnterStep {
        QObject *box;
        QWidget *next;
        std::function<DrugVerdict()> check;
        Select select;
    };
    // Shows a refusal and moves the focus.
    void refuse(const DrugVerdict &r);
    bool enterPressed(QObject *box);
    void YplbAdd();
    void GridBmmcAdd();
    void pickRow(int row);
    void filterGrid();
    void suggestCode();
    void runCommand(DrugAnswer (*command)(const db::Store &, DrugEntry &));

    void CmdSave_Click();
    void Cmdedit_Click();
    void CmdMcxg_Click();
    void CmdBmxg_Click();
    void Cmddele_Click();
    void CmdQcls_Click();
    void CmdExit_Click();
    void Command1_Click();

    std::vector<EnterStep> m_enter;
    DrugLookup m_lookup; // the grid's rows, in their order
    QString m_suggestion;
    bool m_placed = false;
    bool m_skipActivation = false;
};

// Registers the window for the menu item "药品名称编码" (object name "YcqkWh").
void registerDrugListWindow();

} // namespace qh::stock::ui
