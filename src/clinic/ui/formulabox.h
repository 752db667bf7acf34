#pragma once
// The formulas of the diagnosis tab (not described controls; unused, they change nothing):
//  - the formula box: letters typed in TxtKsfj list the clinic's matching formulas in LisKsfj
//    (best first, numbered 1 to 9); Enter takes the selected one (the arrows choose another), a
//    digit takes the one of that number, Escape empties the box. The formula's composition is
//    appended to the prescription box (a second formula after it: 合方), the focus goes to the
//    prescription's end.
//  - LabFjjj under the prescription: while the prescription was started from formulas (or from
//    the earlier prescription, 引用此方), its 加减 against them, redrawn at every edit.
//  - CmdXrjj "写入加减": writes that line at the end of the prescription text.
//  - CmdCwfj "存为协定方": the prescription becomes a new formula of the clinic (source 协定方),
//    under the name the doctor is asked for.
#include "clinic/formulaquick.h"

#include <QObject>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qh::clinic::ui {

class MemoBox;

class FormulaBox : public QWidget {
    Q_OBJECT
public:
    explicit FormulaBox(QWidget *parent = nullptr);

    QLabel *LabKsfj;
    QLineEdit *TxtKsfj;   // what is typed: initials, syllables or characters of the name
    QListWidget *LisKsfj; // the candidates

    // Where the candidates come from (owned by the caller, outliving the box).
    void setLogic(const FormulaQuick *logic) { m_logic = logic; }
    void clear();

signals:
    void chosen(const QString &formula);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void take(int row);

    const FormulaQuick *m_logic = nullptr;
    QList<QuickFormula> m_shown;
};

class FormulaPanel : public QObject {
    Q_OBJECT
public:
    // prescription: the tab's TxtStb1(4).
    FormulaPanel(MemoBox *prescription, QObject *parent = nullptr);

    FormulaBox *box;
    QLabel *LabFjjj;
    QPushButton *CmdXrjj;
    QPushButton *CmdCwfj;

    // The clinic's formulas read again on the session given (none: the box finds nothing) and the
    // drug names the 加减 line knows (a visit opened).
    void reload(db::Session *s, const QStringList &drugNames);
    // Nothing loaded, no line (the tab cleared, a visit opened).
    void clear();
    // The prescription box starts from an earlier visit's prescription (引用此方).
    void startFrom(const QString &prescription);
    void setEntriesVisible(bool visible);

private:
    void load(const QString &formula);
    void showLine();
    void write();
    void saveAsFormula();

    MemoBox *m_prescription;
    FormulaQuick m_quick;
    FormulaDiffer m_differ;
    LoadedFormulas m_loaded;
    bool m_visible = false;
};

} // namespace qh::clinic::ui
