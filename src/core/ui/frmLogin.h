#pragma once
// The login window "系统用户登录": a user from the list, a password, three counted tries.
#include "core/login.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qh::ui {

class frmLogin : public QWidget {
    Q_OBJECT
public:
    explicit frmLogin(QWidget *parent = nullptr);
    // Places the window, empties the password, fills the user list and shows the window.
    void Form_Load();
    void seekusename();
    void cmdOK_Click();
    void cmdCancel_Click();

    bool LoginSucceeded() const { return m_attempts.LoginSucceeded; }
    int countedPresses() const { return m_attempts.count(); }

    QComboBox *Cboyhmc;
    QLineEdit *Txtpass;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
    QLabel *lblLabels[2];

    QWidget *widgetOf(login::LoginField field) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // One row of the Enter table: Enter in box runs check; when it passes the focus moves to
    // next with its text selected as given.
    struct EnterStep {
        QWidget *box;
        QWidget *next;
        login::LoginVerdict (*check)(const QString &);
        Select select;
    };
    void leave();
    EnterStep m_enter[2];
    login::LoginAttempts m_attempts;
    bool m_leaving = false;
};

} // namespace qh::ui
