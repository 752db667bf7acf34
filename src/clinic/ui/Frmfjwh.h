#pragma once
// The formula window "方剂维护" (menu "系统维护－方剂维护"): the clinic's formulas on the left,
// the chosen one's fields on the right; new, save, delete, the import of the shipped classical
// formulas. The checks and the database work are in clinic/formulas.h.
#include "clinic/formulas.h"
#include "clinic/herbquick.h"
#include "clinic/ui/tabkit.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace qh::clinic::ui {

class HerbQuickBox;
class MemoBox;

class Frmfjwh : public QWidget {
    Q_OBJECT
public:
    explicit Frmfjwh(QWidget *parent = nullptr);
    ~Frmfjwh() override;

    // The list read again and the fields emptied for a new formula.
    void Qpcls();

    QTableWidget *MSFGridFjmc; // name, source
    QLineEdit *TxtFjmc;
    QLineEdit *TxtFjly;
    // Above the composition box: the quick herb box of the diagnosis tab (pinyin initials of the
    // drug list, then the dose), which appends to TxtFjgc what the pick lists append to a
    // prescription (not a described control; unused, it changes nothing).
    HerbQuickBox *quick;
    MemoBox *TxtFjgc;
    MemoBox *TxtFjgy;
    MemoBox *TxtFjzz;
    MemoBox *TxtFjyf;
    MemoBox *TxtFjxd;
    QLabel *LabDlxm;
    QPushButton *CmdNew;
    QPushButton *CmdSave;
    QPushButton *CmdDele;
    QPushButton *CmdImport;
    QPushButton *CmdHelp;
    QPushButton *CmdExit;

    // The stored name of the formula shown, "" while a new one is entered.
    const QString &shownName() const { return m_shown; }
    QWidget *widgetOf(FormulaField field) const;
    // The window's own size (the main area sizes its frame by this): the memo boxes' default
    // hints alone would make it taller than a 1024 x 768 screen.
    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void loadList(const QString &select);
    void pickRow(int row);
    void showFormula(const Formula &f);
    void clearFields();
    Formula entry() const;
    void refuse(const FormulaVerdict &r);
    // Shows a refusal or a failure; true when the command succeeded.
    bool succeeded(const FormulaAnswer &a);
    // The drug list for the quick box, read when the window is shown.
    void loadDrugList();
    // Appends what a herb and dose chosen in the quick box add to the composition.
    void appendPick(const QString &herb, const QString &dose);

    void CmdNew_Click();
    void CmdSave_Click();
    void CmdDele_Click();
    void CmdImport_Click();
    void CmdHelp_Click();
    void CmdExit_Click();

    std::unique_ptr<EnterChain<FormulaField>> m_enter;
    HerbQuick m_quick;
    QString m_shown;
    bool m_filling = false; // the list is being filled: row changes load nothing
    bool m_placed = false;
};

// Registers the window for the menu item "方剂维护" (object name "FjWh").
void registerFormulaWindow();

} // namespace qh::clinic::ui
