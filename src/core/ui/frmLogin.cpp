#include "core/ui/frmLogin.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/textutil.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qh::ui {

frmLogin::frmLogin(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("系统用户登录"));
    lblLabels[0] = new QLabel(QStringLiteral("用户名"), this);
    lblLabels[0]->setObjectName(QStringLiteral("lblLabels_0"));
    lblLabels[1] = new QLabel(QStringLiteral("密码(&P):"), this);
    lblLabels[1]->setObjectName(QStringLiteral("lblLabels_1"));
    Cboyhmc = new QComboBox(this);
    Cboyhmc->setObjectName(QStringLiteral("Cboyhmc"));
    Cboyhmc->setEditable(false);
    Txtpass = new QLineEdit(this);
    Txtpass->setObjectName(QStringLiteral("Txtpass"));
    showAsStars(Txtpass);
    lblLabels[1]->setBuddy(Txtpass);
    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(lblLabels[0], 0, 0);
    grid->addWidget(Cboyhmc, 0, 1);
    grid->addWidget(lblLabels[1], 1, 0);
    grid->addWidget(Txtpass, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    setTabOrder(Cboyhmc, Txtpass);
    setTabOrder(Txtpass, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    Cboyhmc->installEventFilter(this);
    Txtpass->installEventFilter(this);
    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::cmdCancel_Click);
    setFixedSize(340, 140);
}

void frmLogin::Form_Load()
{
    placeWindow(this, 3);
    Txtpass->clear();
    doEvents();
    seekusename();
    show();
    raise();
    activateWindow();
    Cboyhmc->setFocus();
}

void frmLogin::seekusename()
{
    Cboyhmc->clear();
    try {
        Cboyhmc->addItems(login::seekusename());
    } catch (const DbError &e) {
        msg::info(shortReport(e));
    }
}

bool frmLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *k = static_cast<QKeyEvent *>(event);
    if (watched == Cboyhmc && isEnterKey(k)) {
        if (!Cboyhmc->currentText().isEmpty()) {
            Txtpass->selectAll();
            Txtpass->setFocus();
        }
        return true;
    }
    if (watched == Txtpass) {
        if (isSpaceKey(k))
            return true;
        if (isEnterKey(k)) {
            if (login::tooShort(Txtpass->text())) {
                msg::info(login::TooShortOnEnter);
                Txtpass->setSelection(0, 3);
                Txtpass->setFocus();
            } else {
                cmdOK->setFocus();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmLogin::cmdOK_Click()
{
    login::Outcome outcome;
    try {
        outcome = m_attempts.press(Cboyhmc->currentText(), Txtpass->text());
    } catch (const DbError &e) {
        msg::info(shortReport(e));
        return;
    }
    switch (outcome) {
    case login::Outcome::TooShort:
        msg::info(login::TooShortOnOk);
        return;
    case login::Outcome::Succeeded:
        doEvents();
        Modutarnxt::CurrentUser = trimSpaces(Cboyhmc->currentText());
        leave();
        EnableMainMenus();
        return;
    case login::Outcome::Refused:
        doEvents();
        msg::info(login::Refused, login::Title);
        leave();
        endProgram();
        return;
    case login::Outcome::TryAgain:
        msg::plain(login::TryAgain, login::Title);
        Txtpass->selectAll();
        Txtpass->setFocus();
        return;
    }
}

void frmLogin::cmdCancel_Click()
{
    leave();
    endProgram();
}

void frmLogin::leave()
{
    m_leaving = true;
    close();
    deleteLater();
}

void frmLogin::closeEvent(QCloseEvent *event)
{
    // Left only through 确定 or 取消.
    if (m_leaving || programEnded())
        event->accept();
    else
        event->ignore();
}

} // namespace qh::ui
