#include "core/ui/frmSplash.h"
#include "base/clock.h"
#include "core/login.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/frmLogin.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace qh::ui {

namespace {
const QString SystemError = QStringLiteral("系统发生错误");
}

frmSplash::frmSplash(QWidget *over) : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_over(over)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(programTitle());
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setFrameShadow(QFrame::Raised);
    Frame1->setLineWidth(2);
    Frame1->installEventFilter(this);

    lblProductName = new QLabel(Frame1);
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    QFont big = lblProductName->font();
    big.setPointSize(26);
    big.setBold(true);
    lblProductName->setFont(big);
    lblProductName->setAlignment(Qt::AlignCenter);
    lblVersion = new QLabel(Frame1);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setAlignment(Qt::AlignRight);
    LblYhmc = new QLabel(Frame1);
    LblYhmc->setObjectName(QStringLiteral("LblYhmc"));
    LblYhmc->setAlignment(Qt::AlignCenter);
    for (QLabel *l : {lblProductName, lblVersion, LblYhmc})
        l->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto *inner = new QVBoxLayout(Frame1);
    inner->addStretch();
    inner->addWidget(lblProductName);
    inner->addWidget(lblVersion);
    inner->addStretch();
    inner->addWidget(LblYhmc);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(Frame1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::continueOnce);
    setFocusPolicy(Qt::StrongFocus);
    resize(520, 300);
}

bool frmSplash::Form_Load()
{
    placeWindow(this, 3, m_over);
    lblVersion->setText(Modutarnxt::versionText());
    lblProductName->setText(programTitle());
    doEvents();
    Modutarnxt::StatusRow row;
    try {
        db::Session s = Modutarnxt::clinicStore().open();
        row = Modutarnxt::readStatusRow(s);
    } catch (const DbError &) {
        row.rows = 0;
    }
    if (row.rows != 1) {
        msg::info(SystemError);
        m_continued = true; // nothing may follow any more
        endProgram();
        close();
        return false;
    }
    LblYhmc->setText(QStringLiteral("使用单位：") + row.unitName);
    show();
    raise();
    activateWindow();
    setFocus();
    Timer1->start(clock::scaled(6000));
    return true;
}

void frmSplash::continueOnce()
{
    if (m_continued)
        return;
    m_continued = true;
    Timer1->stop();
    close();
    doEvents();
    seekPass();
    emit continued();
}

void frmSplash::seekPass()
{
    bool users = false;
    try {
        auto s = Modutarnxt::clinicStore().open();
        users = login::hasUsers(s);
    } catch (const DbError &e) {
        msg::info(shortReport(e));
        endProgram();
        return;
    }
    if (!users) {
        const TaskWindowFactory userWindow = taskWindowFactory(QStringLiteral("xtwh1"));
        QWidget *w = userWindow ? userWindow() : nullptr;
        if (!w) {
            msg::info(SystemError);
            endProgram();
            return;
        }
        showTaskWindow(w);
        Modutarnxt::FirstUserMode = true;
    } else {
        singleWindow<frmLogin>()->Form_Load();
    }
    doEvents();
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    continueOnce();
}

bool frmSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Frame1 && event->type() == QEvent::MouseButtonPress) {
        continueOnce();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void showMainWindowAndSplash()
{
    MDIFtarn *main = MDIFtarn::instance();
    main->Form_Load();
    DisableMainMenus();
    doEvents();
    auto *splash = new frmSplash(main);
    QObject::connect(splash, &frmSplash::continued, splash, &QObject::deleteLater);
    if (!splash->Form_Load())
        splash->deleteLater();
}

} // namespace qh::ui
