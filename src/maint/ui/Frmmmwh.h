#pragma once
// The user and password window "系统密码维护": add a user, change the logged-in user's
// password, let that user remove himself.
#include "maint/users.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace qh::maint::ui {

class Frmmmwh : public QWidget {
    Q_OBJECT
public:
    explicit Frmmmwh(QWidget *parent = nullptr);

    void Qpcls();
    void CmdSave_Click();
    void Cmdedit_Click();
    void Cmddele_Click();
    void CmdQcls_Click();
    void CmdHelp_Click();
    void CmdExit_Click();

    // Result of the last input check: 1 rejected, 0 accepted.
    int srjybl = 1;

    QComboBox *Cboyhmc;
    QLineEdit *Txtoldpass;
    QLineEdit *Txtnewpass;
    QLineEdit *Txtpassnew;
    QPushButton *CmdSave;
    QPushButton *Cmdedit;
    QPushButton *Cmddele;
    QPushButton *CmdQcls;
    QPushButton *CmdHelp;
    QPushButton *CmdExit;

    QWidget *widgetOf(UserField field) const;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    UserInput input();
    void trimInPlace();
    // One row of the Enter table of the password boxes: Enter in box runs the check; when it
    // passes the focus moves to next.
    struct EnterStep {
        QLineEdit *box;
        UserField field;
        QWidget *next;
    };
    // Shows a refusal and moves the focus; checked: the command ran the input check.
    void apply(const UserAnswer &r, bool checked);
    void focusName();
    EnterStep m_enter[3];
    bool m_left = false;
};

// Registers the window for the menu item "系统启动密码维护" (and the splash's first-user mode).
void registerUserWindow();

} // namespace qh::maint::ui
