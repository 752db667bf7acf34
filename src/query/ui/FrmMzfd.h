#pragma once
// The follow-up and case-record query window "门诊资料查询": search fields and result grid on
// the first tab, the chosen visit on the second, the patient's particulars on the third, and
// the print menu. The checks and the database work are in query/recordquery.h.
#include "query/recordquery.h"

#include <QWidget>
#include <functional>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableView;

namespace qh::ui {
class Frmjdys;
}

namespace qh::query::ui {

class VisitTableModel;

class FrmMzfd : public QWidget {
    Q_OBJECT
public:
    explicit FrmMzfd(QWidget *parent = nullptr);

    // Empties every box and the grid, presets the ages and the date range, shows tab 0.
    void Qpcls();

    QTabWidget *SSTab1;
    // Tab 0 "查询条件输入"
    QRadioButton *OptBlqk;
    QRadioButton *OptFzqk;
    QLineEdit *MasQssj;
    QLineEdit *MasJssj;
    QLineEdit *TxtBlhm;
    QLineEdit *TxtZlcs;
    QLineEdit *TxtZlys;
    QLineEdit *TxtBzmc;
    QLineEdit *TxtHzxm;
    QLineEdit *TxtHznl;
    QLineEdit *TxtHzln;
    QLineEdit *TxtZlfa;
    QLineEdit *TxtZlaf;
    QLineEdit *TxtZlcf;
    QLineEdit *TxtZlfc;
    QComboBox *CboHyqk;
    QComboBox *CboHzxb;
    QTableView *MSFGridMzjl;
    QLabel *LabJlsl;
    QPushButton *CmdSeek;
    QPushButton *CmdQcls;
    QPushButton *CmdHelp;
    QPushButton *CmdExit;
    // Tab 1 "查询内容显示"
    QLineEdit *TxtBlbh;
    QLineEdit *TxtZdks;
    QLineEdit *MasZdsj;
    QLabel *LabXy;
    QLabel *LabMb;
    QLabel *LabHx;
    QPlainTextEdit *TxtBscs;
    QPlainTextEdit *TxtZdfa;
    QPlainTextEdit *TxtZdcf;
    QPlainTextEdit *TxtZysx;
    QLineEdit *MasFzsj;
    QLineEdit *TxtZdys;
    QPushButton *CmdBack;
    QPushButton *CmdPrin;
    // Tab 2 "基本情况"
    QLineEdit *TxtBlxm;
    QLineEdit *TxtHzmx;
    QLineEdit *TxtHzbx;
    QLineEdit *TxtHzag;
    QLineEdit *TxtHzzy;
    QLineEdit *TxtHzdw;
    QLineEdit *TxtHyqk;
    QLineEdit *TxtHzdz;
    QLineEdit *TxtTele;
    QLineEdit *TxtMail;
    QLineEdit *MasCzsj;
    QLineEdit *MasJzsj;
    QPlainTextEdit *TxtZlxd;
    QPushButton *CmdForw;
    // The print menu opened by CmdPrin.
    QMenu *prin;
    QAction *PhzQk;
    QAction *PhzBl;
    QAction *PhzCf;
    QAction *PbzXd;

    VisitTableModel *model() const { return m_model; }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    // One step of the Enter chain of tab 0: the box, the box that follows, and the check that
    // must pass first (none: always on).
    struct EnterStep {
        QWidget *box;
        QWidget *next;
        std::function<Verdict<QueryField>()> check;
    };

    QWidget *widgetOf(QueryField f) const;
    void refuse(const Refusal<QueryField> &r);
    bool enterPressed(QObject *box);
    void moveTo(QWidget *next);

    SearchInput searchInput() const;
    ParticularsBoxes particulars() const;
    void clearDetails();
    void showVisit(const VisitDetail &v);
    void showPatient(const PatientDetail &p);

    void CmdSeek_Click();
    // The search index made with the progress window on screen.
    void makeSearchIndex(db::Session &s);
    void CmdQcls_Click();
    void CmdHelp_Click();
    void CmdExit_Click();
    void CmdPrin_Click();
    void MSFGridMzjl_Click(int row);
    void PhzQk_Click();
    void PbzXd_Click();
    void PhzBl_Click();
    void PhzCf_Click();
    // The clinic's name for the two printer documents; nothing after the message that stops.
    std::optional<QString> unitForPrint();

    VisitTableModel *m_model;
    std::vector<EnterStep> m_enter;
};

// Registers the window for the menu item "门诊资料查询" (object name "ZdblCx").
void registerRecordQueryWindow();

// Tests: called with the progress window after every block of the search index made by a search.
void setIndexProgressWatcher(std::function<void(const qh::ui::Frmjdys &)> watcher);

} // namespace qh::query::ui
