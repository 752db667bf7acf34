#include "core/ui/frmLogin.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "core/ui/refuse.h"
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
    // Enter on a focused button presses it.
    cmdOK->setAutoDefault(true);
    cmdCancel->setAutoDefault(true);

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

    // Enter: the box, where the focus goes when the box's check passes.
    m_enter[0] = {Cboyhmc, Txtpass, login::userOnEnter, Select::all()};
    m_enter[1] = {Txtpass, cmdOK, login::passwordOnEnter, Select::none()};
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
        auto s = Modutarnxt::clinicStore().open();
        Cboyhmc->addItems(login::seekusename(s));
    } catch (const DbError &e) {
        msg::info(shortReport(e));
    }
}

QWidget *frmLogin::widgetOf(login::LoginField field) const
{
    switch (field) {
    case login::LoginField::Cboyhmc: return Cboyhmc;
    case login::LoginField::Txtpass: return Txtpass;
    case login::LoginField::cmdOK: return cmdOK;
    }
    unmappedControl("frmLogin", int(field));
}

bool frmLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *k = static_cast<QKeyEvent *>(event);
    if (watched == Txtpass && isSpaceKey(k))
        return true;
    if (!isEnterKey(k))
        return QWidget::eventFilter(watched, event);
    for (const EnterStep &step : m_enter) {
        if (step.box != watched)
            continue;
        const QString text = step.box == Cboyhmc ? Cboyhmc->currentText() : Txtpass->text();
        if (const login::LoginVerdict r = step.check(text))
            refuse(*r, widgetOf(r->field));
        else
            focusAndSelect(step.next, step.select);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmLogin::cmdOK_Click()
{
    login::Outcome outcome;
    try {
        outcome = m_attempts.press(Modutarnxt::clinicStore(), Cboyhmc->currentText(), Txtpass->text());
    } catch (const DbError &e) {
        msg::info(shortReport(e));
        return;
    }
    switch (outcome) {
    case login::Outcome::TooShort:
    case login::Outcome::TryAgain: {
        const auto r = login::refusalOf(outcome);
        refuse(r, widgetOf(r.field));
        return;
    }
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
