#pragma once
// Tab 0 of the outpatient window, "门诊病案": the patient case register - the tree of case
// numbers, one patient's case record, the patient's visits, and the commands that lead to the
// other tabs (handled by the host window FrmZymz).
#include "clinic/patientfilter.h"
#include "clinic/caseregister.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace qh::clinic::ui {

class MailBox;
class MaskBox;
class MemoBox;
template <class Field> class EnterChain;

class RegisterTab : public QWidget {
    Q_OBJECT
public:
    // notes: the notes box of tab 2, which the register shows, checks and saves with the case.
    RegisterTab(MemoBox *notes, QWidget *parent = nullptr);
    ~RegisterTab() override;

    QLineEdit *TxtBlbh;
    QLineEdit *TxtHzxm;
    QComboBox *CboHzxb;
    QComboBox *CboHzag;
    QComboBox *CboHyqk;
    MaskBox *MaskCzsj;
    MaskBox *MaskJzsj;
    QComboBox *CboHzzy;
    QLineEdit *TxtHzdz;
    QLineEdit *TxtHzdw;
    MailBox *TxtMail;
    QLineEdit *TxtTele;
    // Above the tree (not a described control): narrows the tree to the cases whose name, case
    // number or telephone matches what is typed; Enter shows the one match as a click does.
    QLineEdit *TxtHzcz;
    QTreeWidget *TreeView1;
    QTableWidget *MSFGrid;
    // Beside the visit grid (not a described control): "引用此方", a new visit whose prescription
    // starts from the selected visit's (or the latest visit's); the host window runs it.
    QPushButton *CmdYycf;
    QPushButton *CmdHzbc;
    QPushButton *CmdMzzd;
    QPushButton *CmdZdxd;
    QPushButton *CmdQcls;
    QPushButton *CmdMztc;
    QPushButton *CmdHelp;

    // Result of the last srnrJyhz: 1 failed, 0 passed.
    qint16 srjybl = 0;

    void QpHzzl();
    void srnrJyhz();
    void clearGrid();
    CaseRecord caseFromBoxes() const;
    void caseToBoxes(const CaseRecord &r);
    QWidget *widgetOf(CaseField f) const;
    // The case as a click on its number in the tree shows it: its node selected and focused, its
    // record in the boxes, its visits in the grid (or the tree click's message).
    void openCase(const QString &caseNumber);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void TreeView1_Click(QTreeWidgetItem *item);
    void filterTree();
    void showFiltered();
    void showCase(const QString &number);
    void CmdHzbc_Click();
    void layOut();

    MemoBox *m_notes;
    PatientFilter m_filter;
    std::unique_ptr<EnterChain<CaseField>> m_enter;
    QList<QObject *> m_noSpace;
};

} // namespace qh::clinic::ui
