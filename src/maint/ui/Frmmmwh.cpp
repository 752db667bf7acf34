#include "maint/ui/Frmmmwh.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "core/ui/FrmHelp.h"
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
#include <QMdiSubWindow>
#include <QPushButton>

namespace qh::maint::ui {

using namespace qh::ui;

namespace {

QLineEdit *passwordBox(QWidget *parent, const char *name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    showAsStars(e);
    return e;
}

} // namespace

Frmmmwh::Frmmmwh(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frmmmwh"));
    setWindowTitle(QStringLiteral("系统密码维护"));
    setAttribute(Qt::WA_DeleteOnClose);
    Cboyhmc = new QComboBox(this);
    Cboyhmc->setObjectName(QStringLiteral("Cboyhmc"));
    Cboyhmc->setEditable(true);
    Cboyhmc->setInsertPolicy(QComboBox::NoInsert);
    Cboyhmc->lineEdit()->setMaxLength(MaxNameLength);
    Txtoldpass = passwordBox(this, "Txtoldpass");
    Txtnewpass = passwordBox(this, "Txtnewpass");
    Txtpassnew = passwordBox(this, "Txtpassnew");
    CmdSave = qh::ui::enterButton(this, "CmdSave", QStringLiteral("保存&B"));
    Cmdedit = qh::ui::enterButton(this, "Cmdedit", QStringLiteral("修改&E"));
    Cmddele = qh::ui::enterButton(this, "Cmddele", QStringLiteral("删除&D"));
    CmdQcls = qh::ui::enterButton(this, "CmdQcls", QStringLiteral("清屏&Q"));
    CmdHelp = qh::ui::enterButton(this, "CmdHelp", QStringLiteral("帮助&H"));
    CmdExit = qh::ui::enterButton(this, "CmdExit", QStringLiteral("退出&E"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("用户姓名："), this), 0, 0);
    grid->addWidget(Cboyhmc, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("用户旧密码"), this), 1, 0);
    grid->addWidget(Txtoldpass, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("输入新密码"), this), 2, 0);
    grid->addWidget(Txtnewpass, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("再输新密码"), this), 3, 0);
    grid->addWidget(Txtpassnew, 3, 1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {CmdSave, Cmdedit, Cmddele, CmdQcls, CmdHelp, CmdExit})
        buttons->addWidget(b);
    grid->addLayout(buttons, 4, 0, 1, 2);
    setTabOrder(Cboyhmc, Txtoldpass);
    setTabOrder(Txtoldpass, Txtnewpass);
    setTabOrder(Txtnewpass, Txtpassnew);
    setTabOrder(Txtpassnew, CmdSave);

    // Enter in the password boxes: the box, its check, where the focus goes when it passes.
    m_enter[0] = {Txtoldpass, UserField::Txtoldpass, Txtnewpass};
    m_enter[1] = {Txtnewpass, UserField::Txtnewpass, Txtpassnew};
    m_enter[2] = {Txtpassnew, UserField::Txtpassnew, CmdSave};
    Cboyhmc->installEventFilter(this);
    Cboyhmc->lineEdit()->installEventFilter(this);
    for (QLineEdit *e : {Txtoldpass, Txtnewpass, Txtpassnew})
        e->installEventFilter(this);
    connect(CmdSave, &QPushButton::clicked, this, &Frmmmwh::CmdSave_Click);
    connect(Cmdedit, &QPushButton::clicked, this, &Frmmmwh::Cmdedit_Click);
    connect(Cmddele, &QPushButton::clicked, this, &Frmmmwh::Cmddele_Click);
    connect(CmdQcls, &QPushButton::clicked, this, &Frmmmwh::CmdQcls_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &Frmmmwh::CmdHelp_Click);
    connect(CmdExit, &QPushButton::clicked, this, &Frmmmwh::CmdExit_Click);

    resize(520, 200);
    placeWindow(this, 3);
    Qpcls();
}

void Frmmmwh::Qpcls()
{
    Txtoldpass->clear();
    Txtnewpass->clear();
    Txtpassnew->clear();
    Cboyhmc->clear();
    try {
        auto s = Modutarnxt::clinicStore().open();
        Cboyhmc->addItems(userNames(s));
    } catch (const DbError &e) {
        msg::info(e.description());
    }
    Cboyhmc->setCurrentIndex(-1);
    Cboyhmc->setEditText(QString());
}

UserInput Frmmmwh::input()
{
    return {Cboyhmc->currentText(), Txtoldpass->text(), Txtnewpass->text(), Txtpassnew->text()};
}

void Frmmmwh::trimInPlace()
{
    const UserInput t = trimmed(input());
    Cboyhmc->setEditText(t.name);
    Txtoldpass->setText(t.oldPassword);
    Txtnewpass->setText(t.newPassword);
    Txtpassnew->setText(t.repeated);
}

QWidget *Frmmmwh::widgetOf(UserField field) const
{
    switch (field) {
    case UserField::Cboyhmc: return Cboyhmc;
    case UserField::Txtoldpass: return Txtoldpass;
    case UserField::Txtnewpass: return Txtnewpass;
    case UserField::Txtpassnew: return Txtpassnew;
    case UserField::Cmdedit: return Cmdedit;
    case UserField::Cmddele: return Cmddele;
    }
    unmappedControl("Frmmmwh", int(field));
}

void Frmmmwh::focusName()
{
    Cboyhmc->setFocus();
}

void Frmmmwh::apply(const UserAnswer &r, bool checked)
{
    if (checked)
        srjybl = r.inputAccepted ? 0 : 1;
    if (r.ok()) {
        Qpcls();
        focusName();
        return;
    }
    if (r.refusal->clearOthers) {
        Txtnewpass->clear();
        Txtpassnew->clear();
    }
    refuse(*r.refusal, widgetOf(r.refusal->field));
}

void Frmmmwh::CmdSave_Click()
{
    trimInPlace();
    try {
        apply(
            [&] {
                auto s = Modutarnxt::clinicStore().open();
                return addUser(s, input());
            }(),
            true);
    } catch (const DbError &e) {
        msg::info(e.description());
        setMousePointer(PointerArrow);
    }
}

void Frmmmwh::Cmdedit_Click()
{
    trimInPlace();
    try {
        apply(
            [&] {
                auto s = Modutarnxt::clinicStore().open();
                return changePassword(s, Modutarnxt::CurrentUser, input());
            }(),
            true);
    } catch (const DbError &e) {
        msg::info(e.description());
        setMousePointer(PointerArrow);
    }
}

void Frmmmwh::Cmddele_Click()
{
    trimInPlace();
    try {
        apply(
            [&] {
                auto s = Modutarnxt::clinicStore().open();
                return removeUser(s, Modutarnxt::CurrentUser, input());
            }(),
            false);
    } catch (const DbError &e) {
        msg::info(e.description());
        setMousePointer(PointerArrow);
    }
}

void Frmmmwh::CmdQcls_Click()
{
    Qpcls();
    focusName();
}

void Frmmmwh::CmdHelp_Click() { showHelp(this, QStringLiteral("MM")); }

void Frmmmwh::CmdExit_Click()
{
    closeTaskWindow(this);
    doEvents();
}

void Frmmmwh::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_left)
        return;
    m_left = true;
    // The first user's window ends the program: the menus stay off. Otherwise they come back
    // once, through the MenusOff the main window attached to this window.
    if (Modutarnxt::FirstUserMode)
        keepMenusOffAfter(this);
    // Gone from the screen before anything else happens.
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->hide();
    else
        hide();
    if (Modutarnxt::FirstUserMode) {
        msg::info(QStringLiteral("请以新的用户名称和密码重新登录系统"));
        endProgram();
    }
}

bool Frmmmwh::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        setMousePointer(PointerArrow);
    return QWidget::event(event);
}

bool Frmmmwh::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *k = static_cast<QKeyEvent *>(event);
    const bool nameBox = watched == Cboyhmc || watched == Cboyhmc->lineEdit();
    if (!nameBox && qh::ui::isSpaceKey(k))
        return true;
    if (!qh::ui::isEnterKey(k))
        return QWidget::eventFilter(watched, event);
    if (nameBox) {
        std::optional<UserField> next;
        try {
            auto s = Modutarnxt::clinicStore().open();
            next = nextAfterName(s, Cboyhmc->currentText());
        } catch (const DbError &e) {
            msg::info(e.description());
            return true;
        }
        // A known user's old password is selected; a new user's new password is not.
        if (next)
            focusAndSelect(widgetOf(*next), next == UserField::Txtoldpass ? Select::all() : Select::none());
        return true;
    }
    for (const EnterStep &step : m_enter) {
        if (step.box != watched)
            continue;
        if (const UserVerdict r = filledOnEnter(step.field, step.box->text()))
            refuse(*r, widgetOf(r->field));
        else
            focusAndSelect(step.next, Select::none());
        break;
    }
    return true;
}

void registerUserWindow()
{
    registerTaskWindow(QStringLiteral("xtwh1"), [] { return static_cast<QWidget *>(singleWindow<Frmmmwh>()); });
}

} // namespace qh::maint::ui
