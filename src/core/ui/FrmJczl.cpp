#include "core/ui/FrmJczl.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/passwords.h"
#include "core/setup.h"
#include "base/textutil.h"
#include "core/ui/background.h"
#include "core/ui/frmLogin.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

namespace qh::ui {

namespace {

QLineEdit *box(QWidget *parent, const char *name, int maxLength, const QString &tip)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(maxLength);
    e->setToolTip(tip);
    return e;
}

} // namespace

FrmJczl::FrmJczl(QWidget *parent) : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FrmJczl"));
    setWindowTitle(QStringLiteral("系统资料登录"));
    TxtYhdw = box(this, "TxtYhdw", 6, QStringLiteral(" 输入用户医疗门诊简称"));
    TxtYhxm = box(this, "TxtYhxm", 5, QStringLiteral("输入系统管理员姓名"));
    TxtPass = box(this, "TxtPass", 30, QStringLiteral("输入系统管理员密码，不要超过30位字符"));
    showAsStars(TxtPass);
    ImageXt = new QLabel(this);
    ImageXt->setObjectName(QStringLiteral("ImageXt"));
    ImageXt->setScaledContents(true);
    ImageXt->setFrameShape(QFrame::Box);
    ImageXt->setFixedSize(280, 190);
    CmdLoad = new QPushButton(QStringLiteral("选择图片(&L)"), this);
    CmdLoad->setObjectName(QStringLiteral("CmdLoad"));
    CmdOext = new QPushButton(QStringLiteral("确定退出(&O)"), this);
    CmdOext->setObjectName(QStringLiteral("CmdOext"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("单位简称"), this), 0, 0);
    grid->addWidget(TxtYhdw, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("用户姓名"), this), 1, 0);
    grid->addWidget(TxtYhxm, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("系统密码"), this), 2, 0);
    grid->addWidget(TxtPass, 2, 1);
    grid->addWidget(CmdLoad, 3, 0);
    grid->addWidget(CmdOext, 3, 1);
    grid->addWidget(ImageXt, 0, 2, 5, 1);
    grid->setRowStretch(4, 1);
    setTabOrder(TxtYhdw, TxtYhxm);
    setTabOrder(TxtYhxm, TxtPass);
    setTabOrder(TxtPass, CmdLoad);
    setTabOrder(CmdLoad, CmdOext);

    // Enter: the box, where the focus goes when its check passes.
    m_enter[0] = {TxtYhdw, TxtYhxm, setup::unitOnEnter};
    m_enter[1] = {TxtYhxm, TxtPass, setup::userOnEnter};
    m_enter[2] = {TxtPass, nullptr, setup::passwordOnEnter};
    for (QLineEdit *e : {TxtYhdw, TxtYhxm, TxtPass}) {
        e->installEventFilter(this);
        fitWidth(e);
    }
    connect(CmdLoad, &QPushButton::clicked, this, &FrmJczl::CmdLoad_Click);
    connect(CmdOext, &QPushButton::clicked, this, &FrmJczl::CmdOext_Click);
    adjustSize();
    Form_Load();
}

QString FrmJczl::pictureFolder()
{
    // The user's Pictures folder; the home folder where there is none.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return folder.isEmpty() || !QDir(folder).exists() ? QDir::homePath() : folder;
}

QString FrmJczl::pictureFilter() { return QStringLiteral("图片文件 (*.jpg *.jpeg *.bmp *.png)"); }

void FrmJczl::showPicture(const QPixmap &picture)
{
    m_picture = picture;
    if (picture.isNull())
        ImageXt->clear();
    else
        ImageXt->setPixmap(picture);
}

void FrmJczl::Form_Load()
{
    placeWindow(this, 3);
    TxtYhdw->clear();
    TxtYhxm->clear();
    TxtPass->clear();
    try {
        auto s = Modutarnxt::clinicStore().open();
        const setup::Status status = setup::loadStatus(s);
        QPixmap picture;
        if (!status.picture.isEmpty() && !picture.loadFromData(status.picture))
            picture = QPixmap();
        showPicture(picture);
        if (status.hasRow) {
            TxtYhdw->setMaxLength(qMax(TxtYhdw->maxLength(), int(status.unit.size())));
            TxtYhxm->setMaxLength(qMax(TxtYhxm->maxLength(), int(status.firstUser.size())));
            TxtYhdw->setText(status.unit);
            TxtYhxm->setText(status.firstUser);
        }
    } catch (const DbError &e) {
        msg::info(numberedReport(e));
    }
    setMousePointer(PointerArrow);
}

void FrmJczl::Form_Activate()
{
    std::optional<QString> first;
    try {
        auto s = Modutarnxt::clinicStore().open();
        first = setup::firstUser(s);
    } catch (const DbError &) {
        return; // the boxes stay as they are; "确定退出" reports a failing database
    }
    if (!first)
        return;
    // A user added later in the user window may have a longer name than the first-run box takes.
    TxtYhxm->setMaxLength(qMax(TxtYhxm->maxLength(), int(first->size())));
    TxtYhxm->setText(*first);
    // The stored value is a hash: the box only shows that a password exists.
    TxtPass->setText(passwords::maskedPlaceholder());
    TxtYhxm->setEnabled(false);
    TxtPass->setEnabled(false);
}

bool FrmJczl::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show)
        Form_Activate();
    return QWidget::event(event);
}

bool FrmJczl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *k = static_cast<QKeyEvent *>(event);
    if (isSpaceKey(k))
        return true;
    if (!isEnterKey(k))
        return QWidget::eventFilter(watched, event);
    for (const EnterStep &step : m_enter) {
        if (step.box != watched)
            continue;
        if (const setup::SetupVerdict r = step.check(step.box->text()))
            refuse(*r, widgetOf(r->field));
        else if (step.next && step.next->isEnabled())
            focusAndSelect(step.next, Select::end());
        else
            CmdLoad->setFocus();
        break;
    }
    return true;
}

QWidget *FrmJczl::widgetOf(setup::SetupField field) const
{
    switch (field) {
    case setup::SetupField::TxtYhdw: return TxtYhdw;
    case setup::SetupField::TxtYhxm: return TxtYhxm;
    case setup::SetupField::TxtPass: return TxtPass;
    }
    unmappedControl("FrmJczl", int(field));
}

void FrmJczl::CmdLoad_Click()
{
    m_fileName = fileDialogPresenter()->openFileName(this, QStringLiteral("选择背景图片"), pictureFolder(),
                                                     pictureFilter());
    QPixmap picture;
    if (!m_fileName.isEmpty() && !picture.load(m_fileName))
        picture = QPixmap();
    showPicture(picture);
}

void FrmJczl::CmdOext_Click()
{
    TxtPass->setText(trimSpaces(TxtPass->text()));
    TxtYhxm->setText(trimSpaces(TxtYhxm->text()));
    TxtYhdw->setText(trimSpaces(TxtYhdw->text()));
    const bool newUser = TxtYhxm->isEnabled();
    if (const auto r = setup::checkEntries(TxtYhdw->text(), TxtYhxm->text(), TxtPass->text(), newUser)) {
        refuse(*r, widgetOf(r->field));
        return;
    }

    setup::SaveInput in;
    in.unit = TxtYhdw->text();
    in.user = TxtYhxm->text();
    in.password = newUser ? TxtPass->text() : QString();
    in.newUser = newUser;
    if (!m_fileName.isEmpty()) {
        const std::optional<QByteArray> bytes = setup::StorePictureFile(m_fileName);
        if (!bytes)
            msg::plain(setup::emptyFileMessage(m_fileName), programTitle());
        else if (!setup::isPicture(*bytes))
            msg::info(m_fileName + QStringLiteral(" 不是可以显示的图片文件，背景图片没有更换。"));
        else
            in.picture = *bytes;
    }
    try {
        BusyPointer busy;
        auto s = Modutarnxt::clinicStore().open();
        setup::save(s, in);
    } catch (const DbError &e) {
        msg::info(numberedReport(e));
        return;
    }

    // The main window shows the new picture at once (painted in place, see FrmPict).
    showClinicBackground(m_picture);
    doEvents();
    doEvents();
    m_leaving = true;
    closeTaskWindow(this);
    doEvents();
    // From the menu: the menus come back with the window's close (the MenusOff the main
    // window attached). The very first run ends the program instead.
    if (!Modutarnxt::CurrentUser.isEmpty())
        return;
    msg::show(MsgIcon::Question, MsgButtons::Ok, setup::FirstRunNotice);
    msg::info(setup::RestartRequest);
    endProgram();
}

void FrmJczl::closeEvent(QCloseEvent *event)
{
    // Left only through "确定退出".
    if (m_leaving || programEnded()) {
        event->accept();
        deleteLater();
    } else {
        event->ignore();
    }
}

void showFirstRunSetup()
{
    FrmJczl *w = singleWindow<FrmJczl>();
    w->show();
    w->raise();
    w->activateWindow();
    w->TxtYhdw->setFocus();
}

} // namespace qh::ui
