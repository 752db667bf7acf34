#pragma once
// The outpatient window "门诊疾病诊断": tab 0 the patient case register, tab 1 the diagnosis and
// prescription of one visit, tab 2 the doctor's notes on the case.
#include "clinic/check.h"
#include "clinic/caseregister.h"
#include "clinic/visitentry.h"

#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace qh::clinic::ui {

class MemoBox;
class MaskBox;

// Registers the window under the menu item "sad" ("门诊处方管理").
void registerOutpatientWindow();

// How the e-mail box opens "mailto:" addresses; the program uses the desktop's default mail
// program, tests install a recorder. An empty opener restores the default. The opener returns
// false when the address could not be handed over.
using MailOpener = std::function<bool(const QUrl &)>;
void setMailOpener(MailOpener opener);

class FrmZymz : public QWidget {
    Q_OBJECT
public:
    explicit FrmZymz(QWidget *parent = nullptr);
    ~FrmZymz() override;

    QTabWidget *SSTab1;

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
    QLineEdit *TxtMail;
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
    std::array<MaskBox *, 5> MasZdsj{};
    std::array<QLabel *, 12> Lab1{};
    QComboBox *CboZdks;
    QComboBox *CboYpfl;
    QListWidget *LisYpfl;
    QListWidget *LisYpsl;
    QCheckBox *CheFzbz;
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
    qint16 srjybl = 0;
    qint16 jybl = 0;

    // Text of TxtStb1(i).
    QString stbText(int i) const;
    void setStbText(int i, const QString &text);

    // Window routines.
    void QpHzzl();
    void srnrJyhz();
    void QpZdzl();
    void TclBnr();
    void SrnrJyzd();
    void QpZdxd();

    // The values of the boxes as records, and back.
    CaseRecord caseFromBoxes() const;
    void caseToBoxes(const CaseRecord &r);
    VisitRecord visitFromBoxes() const;
    void visitToBoxes(const VisitRecord &v);

    // Printing of the case record, the prescription slip and the notes summary.
    void printCaseRecord();
    void printPrescription();
    void printNotesSummary();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void TreeView1_Click(QTreeWidgetItem *item);
    void MSFGrid_Click(int row);
    void CmdHzbc_Click();
    void CmdMzzd_Click();
    void CmdZdxd_Click();
    void CmdQcls_Click();
    void CmdMztc_Click();
    void CmdHelp_Click();
    void CboYpfl_Click();
    void LisYpfl_DblClick();
    void LisYpsl_DblClick();
    void CheFzbz_Click();
    void CmdZdzl_Click();
    void CmdCkba_Click();
    void CmdZdde_Click();
    void CmdPrbl_Click();
    void CmdXdbc_Click();
    void CmdPrxd_Click();
    void CmdBack_Click();

private:
    void buildRegisterTab(QWidget *page);
    void buildDiagnosisTab(QWidget *page);
    void buildNotesTab(QWidget *page);
    void Form_Load();
    // Shows a failed check and moves the focus (switching to the control's tab).
    void showCheck(const Check &c);
    void focusControl(const QString &name, Selection select = Selection::All);
    QWidget *control(const QString &name) const;
    bool handleEnter(const QString &name);
    void mailMouseMove();
    void mailMouseDown();
    void mailPlainStyle();
    void setDiagnosisVisible(bool visible);
    void clearGrid();
    void reportDbError(const std::exception &e, bool numbered);

    bool m_placed = false;
    QString m_mailWarned; // the invalid address already pointed out by a mouse move
};

} // namespace qh::clinic::ui
