#pragma once
// Tab 1 of the outpatient window, "门诊诊断": one visit of one patient - department, date,
// doctor, vital signs, history, plan, the prescription composed by typing or picking herbs,
// directions for use and the follow-up - with its checks and its save.
#include "clinic/herbquick.h"
#include "clinic/prescriptionsafety.h"
#include "clinic/visitentry.h"

#include <QWidget>
#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace qh::clinic::ui {

class FormulaPanel;
class HerbQuickBox;
class MaskBox;
class MemoBox;
template <class Field> class EnterChain;

// One of the indexed text boxes TxtStb1(0) to TxtStb1(5): a line box or a memo box behind one face.
class TextField {
public:
    TextField() = default;
    explicit TextField(QLineEdit *line) : m_line(line) {}
    explicit TextField(MemoBox *memo) : m_memo(memo) {}
    QString text() const;
    void setText(const QString &text);
    QWidget *widget() const;

private:
    QLineEdit *m_line = nullptr;
    MemoBox *m_memo = nullptr;
};

class DiagnosisTab : public QWidget {
    Q_OBJECT
public:
    // caseNumberBox: the register's TxtBlbh, which a missing case number sends the focus to.
    explicit DiagnosisTab(QWidget *caseNumberBox, QWidget *parent = nullptr);
    ~DiagnosisTab() override;

    // TxtStb1(0) and (1) are line boxes, (2) to (5) memo boxes; object names "TxtStb1(n)".
    std::array<TextField, 6> TxtStb1;
    QLineEdit *TxtStb1_0;
    QLineEdit *TxtStb1_1;
    std::array<MemoBox *, 4> memo{}; // TxtStb1(2) to (5) as memo boxes
    std::array<MaskBox *, 5> MasZdsj{};
    std::array<QLabel *, 12> Lab1{};
    QComboBox *CboZdks;
    QComboBox *CboYpfl;
    QListWidget *LisYpfl;
    QListWidget *LisYpsl;
    QCheckBox *CheFzbz;
    // Beside the pick list: the stock of the herb under the cursor (not a described control).
    QLabel *LabYckc;
    // Above the pick lists: the quick herb box (pinyin initials, then the dose); under the
    // prescription: the incompatible pairs it holds, shown as soon as they are there (not
    // described controls; unused, they change nothing).
    HerbQuickBox *quick;
    QLabel *LabCfjj;
    // The formula box above the quick herb box, the 加减 line and its key under the
    // prescription, "存为协定方" among the commands (clinic/ui/formulabox.h; not described
    // controls, unused they change nothing).
    FormulaPanel *formulas;
    QPushButton *CmdZdzl;
    QPushButton *CmdZdde;
    QPushButton *CmdPrbl;
    QPushButton *CmdCkba;

    // Result of the last SrnrJyzd: 1 failed, 0 passed.
    qint16 jybl = 0;

    void QpZdzl();
    void TclBnr();
    void SrnrJyzd();
    // A new visit of the case number, dated today, or a stored one, shown on the open tab.
    void openNew(const QString &caseNumber);
    void openStored(const VisitRecord &v);
    VisitRecord visitFromBoxes() const;
    void visitToBoxes(const VisitRecord &v);
    QWidget *widgetOf(VisitField f) const;

signals:
    // The visit was saved: the window moves the focus to the register's case number.
    void saved();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layOut();
    void setEntriesVisible(bool visible);
    void CboYpfl_Click();
    void LisYpfl_DblClick();
    void LisYpsl_DblClick();
    void CheFzbz_Click();
    void CmdZdzl_Click();

    // Stock and expiry of every herb, read when a visit is opened; marks the pick list.
    void loadStockOutlook();
    void markHerbs();
    void showStockOf(const QListWidgetItem *item);
    // Appends what a picked herb and dose add to the prescription (the pick lists and the quick box).
    void appendPick(const QString &herb, const QString &dose);
    void showPairs();
    QString quickMark(const QString &herb) const;

    PrescriptionSafety m_safety;
    HerbQuick m_quick;
    QWidget *m_caseNumberBox;
    std::unique_ptr<EnterChain<VisitField>> m_enter;
};

} // namespace qh::clinic::ui
