#pragma once
// Tab 2 of the outpatient window, "门诊病案诊断心得": the doctor's notes on one case.
#include <QWidget>

class QPushButton;

namespace qh::clinic::ui {

class MemoBox;

class NotesTab : public QWidget {
    Q_OBJECT
public:
    explicit NotesTab(QWidget *parent = nullptr);

    MemoBox *TxtZlxd;
    QPushButton *CmdXdbc;
    QPushButton *CmdPrxd;
    QPushButton *CmdBack;

    // Hides the notes and their commands.
    void QpZdxd();
    // Shows the notes of the case (the stored ones when there are), all of the text selected.
    void openFor(const QString &caseNumber);
    // Saves the notes of a stored case: true when they were written (the tab is then closed).
    bool saveFor(const QString &caseNumber);
    // CmdBack: hides and empties the notes.
    void closeNotes();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace qh::clinic::ui
