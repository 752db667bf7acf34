#include "core/ui/MDIFtarn.h"
#include "core/messages.h"
#include "core/ui/FrmJczl.h"
#include "core/ui/FrmPict.h"
#include "core/ui/background.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyle>
#include <QPointer>
#include <QTimer>

namespace qh::ui {

namespace {
QPointer<MDIFtarn> g_main;

// Items that run a command of their own instead of opening a window.
bool isCommandItem(const QString &name)
{
    return name == QLatin1String("Ypjz") || name == QLatin1String("YckcPd");
}
} // namespace

MdiBackground::MdiBackground(QWidget *parent) : QMdiArea(parent)
{
    setObjectName(QStringLiteral("MDIArea"));
}

void MdiBackground::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    viewport()->update();
}

void MdiBackground::paintEvent(QPaintEvent *event)
{
    QMdiArea::paintEvent(event);
    if (m_picture.isNull())
        return;
    QPainter p(viewport());
    const QSize area = viewport()->size();
    // Fill the whole area, keeping the picture's aspect; what overhangs is cut off evenly.
    const QSize size = m_picture.size().scaled(area, Qt::KeepAspectRatioByExpanding);
    const QRect target((area.width() - size.width()) / 2, (area.height() - size.height()) / 2, size.width(),
                       size.height());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(target, m_picture);
}

MDIFtarn::MDIFtarn(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MDIFtarn"));
    setWindowTitle(QStringLiteral("欢迎使用青禾中医门诊系统"));
    m_area = new MdiBackground(this);
    setCentralWidget(m_area);

    ZymzZd = addTopMenu(QStringLiteral("ZymzZd"), QStringLiteral("门诊处方管理&Z"));
    addItem(ZymzZd, QStringLiteral("sad"), QStringLiteral("门诊处方管理"));

    ycrk = addTopMenu(QStringLiteral("ycrk"), QStringLiteral("药品入出库管理&R"));
    addItem(ycrk, QStringLiteral("ycrc"), QStringLiteral("药品入/退库"));
    addItem(ycrk, QStringLiteral("YcqkXs"), QStringLiteral("门诊处方计价"));
    addItem(ycrk, QStringLiteral("YcqkCk"), QStringLiteral("药品其它出库"));
    addSeparator(ycrk, QStringLiteral("Yline1"));
    addItem(ycrk, QStringLiteral("YckcPd"), QStringLiteral("药品库存盘点"));

    zycxll = addTopMenu(QStringLiteral("zycxll"), QStringLiteral("数据资料查询&F"));
    addItem(zycxll, QStringLiteral("ZdblCx"), QStringLiteral("门诊资料查询"));
    addSeparator(zycxll, QStringLiteral("Fline2"));
    addItem(zycxll, QStringLiteral("Yckc"), QStringLiteral("药材库存查询"));
    addSeparator(zycxll, QStringLiteral("Fline3"));
    addItem(zycxll, QStringLiteral("Fzsf"), QStringLiteral("复诊随访"));
    addItem(zycxll, QStringLiteral("Jytj"), QStringLiteral("经营统计"));

    xtwh = addTopMenu(QStringLiteral("xtwh"), QStringLiteral("系统维护&W"));
    addItem(xtwh, QStringLiteral("xtwh1"), QStringLiteral("系统启动密码维护"));
    addItem(xtwh, QStringLiteral("cc"), QStringLiteral("系统数据备份/恢复"));
    addSeparator(xtwh, QStringLiteral("Xline1"));
    addItem(xtwh, QStringLiteral("YcqkWh"), QStringLiteral("药品名称编码"));
    addItem(xtwh, QStringLiteral("FjWh"), QStringLiteral("方剂维护"));
    addSeparator(xtwh, QStringLiteral("Xline2"));
    addItem(xtwh, QStringLiteral("Ypjz"), QStringLiteral("药品结帐"));
    addSeparator(xtwh, QStringLiteral("Xline3"));
    addItem(xtwh, QStringLiteral("Xpict"), QStringLiteral("更换系统背景"));

    zyexit = menuBar()->addAction(QStringLiteral("退出系统&Q"));
    zyexit->setObjectName(QStringLiteral("zyexit"));
    connect(zyexit, &QAction::triggered, this, &MDIFtarn::zyexit_Click);

    // The setup window serves the item "更换系统背景".
    if (!taskWindowFactory(QStringLiteral("Xpict")))
        registerTaskWindow(QStringLiteral("Xpict"), [] { return static_cast<QWidget *>(singleWindow<FrmJczl>()); });

    g_main = this;
    QPointer<MDIFtarn> self(this);
    setMainMenuSwitch([self](bool enabled) {
        if (self)
            self->switchMenus(enabled);
    });
    setTaskWindowHost([self](QWidget *w) {
        if (self)
            self->showInArea(w);
        else
            w->show();
    });
    switchMenus(mainMenusEnabled());
    resize(1024, 720);
}

MDIFtarn::~MDIFtarn()
{
    if (g_main == this) {
        setMainMenuSwitch({});
        setTaskWindowHost({});
    }
}

MDIFtarn *MDIFtarn::instance()
{
    if (!g_main)
        new MDIFtarn;
    return g_main;
}

bool MDIFtarn::exists() { return !g_main.isNull(); }

QMenu *MDIFtarn::addTopMenu(const QString &name, const QString &caption)
{
    QMenu *m = menuBar()->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    return m;
}

QAction *MDIFtarn::addItem(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(name);
    m_items.insert(name, a);
    // The menu sizes an item by its text in the menu's own font, but Chinese characters are drawn
    // from a fallback font whose advances can be wider, so the last character of the longest
    // item ("系统数据备份/恢复", with its Latin "/") was cut off. The menu is made wide enough for
    // the text with two wide characters to spare.
    const QFontMetrics fm(menu->font());
    menu->setMinimumWidth(qMax(menu->minimumWidth(), fm.horizontalAdvance(caption) + 2 * fm.horizontalAdvance(QChar(0x4E2D))
                                                         + menu->style()->pixelMetric(QStyle::PM_MenuHMargin) * 2 + 24));
    connect(a, &QAction::triggered, this, [this, name] { runItem(name); });
    return a;
}

void MDIFtarn::addSeparator(QMenu *menu, const QString &name)
{
    QAction *a = menu->addSeparator();
    a->setObjectName(name);
    m_items.insert(name, a);
}

QList<QAction *> MDIFtarn::topMenuActions() const
{
    return {zycxll->menuAction(), zyexit, ZymzZd->menuAction(), ycrk->menuAction(), xtwh->menuAction()};
}

bool MDIFtarn::itemAvailable(const QString &name) const
{
    if (isCommandItem(name))
        return bool(menuCommand(name));
    return bool(taskWindowFactory(name));
}

void MDIFtarn::switchMenus(bool enabled)
{
    if (enabled) {
        for (auto it = m_items.cbegin(); it != m_items.cend(); ++it) {
            if (!it.value()->isSeparator())
                it.value()->setEnabled(itemAvailable(it.key()));
        }
    }
    for (QAction *top : topMenuActions())
        top->setEnabled(enabled);
    // The task windows live in the main area, so for Qt's shortcut map they are part of the main
    // window, where the menu bar grabs Alt+letter for every top menu, disabled or not. A task
    // window's access key that a top menu also has ("查询&F", "清屏(&Q)") then matched twice:
    // Qt pressed neither button but moved the focus to one of them or to the menu bar in turn.
    // With the bar itself disabled its shortcuts, and Alt alone, no longer match.
    menuBar()->setEnabled(enabled);
}

void MDIFtarn::runItem(const QString &name)
{
    if (isCommandItem(name)) {
        // The period closing and the stock count switch the menus themselves.
        if (const auto command = menuCommand(name))
            command();
        return;
    }
    const TaskWindowFactory factory = taskWindowFactory(name);
    if (!factory)
        return;
    doEvents();
    setMousePointer(PointerBusy);
    MenusOff menus;
    QWidget *window = factory();
    if (!window) {
        setMousePointer(PointerArrow);
        return;
    }
    menus.attachTo(window);
    showTaskWindow(window);
}

void MDIFtarn::zyexit_Click()
{
    doEvents();
    if (!msg::ask(QStringLiteral("退出青禾中医门诊系统吗?")))
        return;
    doEvents();
    endProgram();
}

void MDIFtarn::showInArea(QWidget *window)
{
    for (QMdiSubWindow *sub : m_area->subWindowList()) {
        if (sub->widget() == window) {
            sub->showNormal();
            m_area->setActiveSubWindow(sub);
            window->show();
            return;
        }
    }
    // A window that asks for a frame without a close box (the setup window) keeps it so inside
    // the area; the others get the usual frame and handle their own closing.
    const Qt::WindowFlags own = window->windowFlags();
    const bool noCloseBox = own.testFlag(Qt::CustomizeWindowHint) && !own.testFlag(Qt::WindowCloseButtonHint);
    QMdiSubWindow *sub = noCloseBox
        ? m_area->addSubWindow(window, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
        : m_area->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->adjustSize();
    // Centred in the area, a third of the free height above it.
    const QSize free = m_area->viewport()->size() - sub->size();
    sub->move(qMax(0, free.width() / 2), qMax(0, free.height() / 3));
    sub->show();
    window->show();
    m_area->setActiveSubWindow(sub);
}

void MDIFtarn::setBackgroundPicture(const QPixmap &picture) { m_area->setPicture(picture); }

QPixmap MDIFtarn::backgroundPicture() const { return m_area->picture(); }

void showClinicBackground(const QPixmap &picture)
{
    MDIFtarn *main = MDIFtarn::instance();
    main->setBackgroundPicture(picture);
    if (!main->isVisible())
        main->showMaximized();
}

void MDIFtarn::Form_Load()
{
    showMaximized();
    FrmPict pict([this](const QPixmap &picture) { setBackgroundPicture(picture); });
    pict.Form_Load();
    doEvents();
    pict.close();
    doEvents();
}

void MDIFtarn::closeEvent(QCloseEvent *event)
{
    // Only the program's own end closes the main window; the frame's close box does nothing.
    if (programEnded())
        event->accept();
    else
        event->ignore();
}

void MDIFtarn::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isVisible()
        && (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) != Qt::WindowMaximized) {
        QPointer<MDIFtarn> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self && self->isVisible())
                self->setWindowState(Qt::WindowMaximized);
        });
    }
}

} // namespace qh::ui
