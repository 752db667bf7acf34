#pragma once
// The outpatient window "门诊疾病诊断": a thin host of three tabs - tab 0 the patient case
// register (RegisterTab), tab 1 the diagnosis and prescription of one visit (DiagnosisTab),
// tab 2 the doctor's notes on the case (NotesTab). Each tab has its own controls, Enter chain
// and clearing; the host keeps the tab control, placement, exit, help, printing and the
// commands that lead from one tab to another.
#include "clinic/caseregister.h"
#include "clinic/ui/diagnosistab.h"
#include "clinic/ui/mailbox.h"
#include "clinic/ui/notestab.h"
#include "clinic/ui/registertab.h"
#include "clinic/visitentry.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTreeWidget;

namespace qh::clinic::ui {

class MemoBox;
class MaskBox;

// Registers the window under the menu item "sad" ("门诊处方管理").
void registerOutpatientWindow();

class FrmZymz : public QWidget {
    Q_OBJECT
public:
    explicit FrmZymz(QWidget *parent = nullptr);
    ~FrmZymz() override;

    QTabWidget *SSTab1;
    NotesTab *notes;
    RegisterTab *reg;
    DiagnosisTab *diag;

    // The tabs' controls under their own names (the tabs own them).
    // Tab 0: case register.
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
    QTreeWidget *TreeView1;
    QTableWidget *MSFGrid;
    QPushButton *CmdHzbc;
    QPushButton *CmdMzzd;
    QPushButton *CmdZdxd;
    QPushButton *CmdQcls;
    QPushButton *CmdMztc;
    QPushButton *CmdHelp;

    // Tab 1: diagnosis. TxtStb1(0) and TxtStb1(1) are single-line, TxtStb1(2) to (5) multi-line;
    // each carries its array name, e.g. "TxtStb1(4)", as object name.
    QLineEdit *TxtStb1_0;
    QLineEdit *TxtStb1_1;
    MemoBox *TxtStb1_2;
    MemoBox *TxtStb1_3;
    MemoBox *TxtStb1_4;
    MemoBox *TxtStb1_5;
    std::array<MaskBox *, 5> &MasZdsj;
    std::array<QLabel *, 12> &Lab1;
    QComboBox *CboZdks;
    QComboBox *CboYpfl;
    QListWidget *LisYpfl;
    QListWidget *LisYpsl;
    QCheckBox *CheFzbz;
    QLabel *LabYckc;
    QPushButton *CmdZdzl;
    QPushButton *CmdZdde;
    QPushButton *CmdPrbl;
    QPushButton *CmdCkba;

    // Tab 2: case notes.
    MemoBox *TxtZlxd;
    QPushButton *CmdXdbc;
    QPushButton *CmdPrxd;
    QPushButton *CmdBack;

    // Results of the last checks: 1 failed, 0 passed.
    qint16 &srjybl;
    qint16 &jybl;

    // Window routines.
    void QpHzzl();
    void srnrJyhz() { reg->srnrJyhz(); }
    void QpZdzl();
    void TclBnr() { diag->TclBnr(); }
    void SrnrJyzd() { diag->SrnrJyzd(); }
    void QpZdxd() { notes->QpZdxd(); }

    // The values of the boxes as records, and back.
    CaseRecord caseFromBoxes() const { return reg->caseFromBoxes(); }
    void caseToBoxes(const CaseRecord &r) { reg->caseToBoxes(r); }
    VisitRecord visitFromBoxes() const { return diag->visitFromBoxes(); }
    void visitToBoxes(const VisitRecord &v) { diag->visitToBoxes(v); }

    // Another window's way to a patient: back on the register tab (as its 返回首页 buttons leave
    // the other two), then the case as a click on it in the tree shows it.
    void openCase(const QString &caseNumber);

    // Printing of the case record, the prescription slip and the notes summary.
    void printCaseRecord();
    void printPrescription();
    void printNotesSummary();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    void MSFGrid_Click(int row);
    // The stored visit a grid row shows; nothing when the row holds none. Throws DbError.
    std::optional<VisitRecord> visitOfRow(int row) const;
    void CmdMzzd_Click();
    void CmdYycf_Click();
    void CmdZdxd_Click();
    void CmdQcls_Click();
    void CmdMztc_Click();
    void CmdHelp_Click();
    void CmdCkba_Click();
    void CmdXdbc_Click();
    void CmdBack_Click();

    bool m_placed = false;
};

} // namespace qh::clinic::ui
