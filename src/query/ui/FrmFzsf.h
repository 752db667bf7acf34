#pragma once
// The follow-up worklist "复诊随访" (menu "数据资料查询 - 复诊随访"): the follow-ups due today,
// this week, overdue or in a chosen range, with the counts of the first three at the top. Enter
// or a double click on a row shows the patient in the outpatient window; the list is read again
// whenever the window comes back from another task window, so a follow-up whose patient has
// been seen leaves it by itself. Its logic is query/followups.h.
#include "query/followups.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QMdiSubWindow;
class QPushButton;
class QRadioButton;
class QTableView;

namespace qh::query::ui {

class FollowUpTableModel;

class FrmFzsf : public QWidget {
    Q_OBJECT
public:
    explicit FrmFzsf(QWidget *parent = nullptr);
    ~FrmFzsf() override;
    QSize sizeHint() const override;

    QLabel *LabTjsl;       // the counts
    QRadioButton *OptJrfz; // 今日
    QRadioButton *OptBzfz; // 本周
    QRadioButton *OptYqfz; // 逾期
    QRadioButton *OptSjfz; // 时间段
    QLineEdit *MasQssj;
    QLineEdit *MasJssj;
    QPushButton *CmdSeek;
    QTableView *MSFGridFzsf;
    QLabel *LabJlsl;       // the rows of the list
    QPushButton *CmdPrin;
    QPushButton *CmdBgsc;
    QPushButton *CmdHelp;
    QPushButton *CmdExit;

    // The list shown and the day it was read for.
    const std::vector<FollowUpRow> &rows() const;
    FollowUpGroup group() const { return m_group; }
    // How often the list has been read (tests: a return from another window reads it again).
    int reads() const { return m_reads; }

    // The range boxes back to today's month, the list of today.
    void Qpcls();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *widgetOf(FollowUpField field) const;
    void refuse(const Refusal<FollowUpField> &r);

    // Reads the group's rows and, when asked, the counts; false after the message of a
    // database failure.
    bool load(FollowUpGroup group, const DaySpan &range, bool withCounts = true);
    // The list of the range boxes (refused, or "nothing found" told, when asked by the user).
    void seekRange();
    // Reads the list shown again, quietly.
    void reread();
    void onOption(QRadioButton *option);
    void openRow(int row);
    void watchArea();

    void CmdSeek_Click();
    void CmdPrin_Click();
    void CmdBgsc_Click();
    void CmdHelp_Click();
    void CmdExit_Click();

    FollowUpTableModel *m_model;
    FollowUpGroup m_group = FollowUpGroup::Today;
    DaySpan m_range;
    QDate m_today;
    int m_reads = 0;
    bool m_left = false; // another window of the program came forward since the list was read
    bool m_placed = false;
    QPointer<QMdiSubWindow> m_watched;
    QPointer<QWidget> m_outpatient; // the outpatient window this one opened
};

// Registers the window for the menu item "复诊随访" (object name "Fzsf").
void registerFollowUpWindow();

} // namespace qh::query::ui
