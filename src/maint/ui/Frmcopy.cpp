#include "maint/ui/Frmcopy.h"
#include "base/clock.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/ui/refuse.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>


namespace qh::maint::ui {

using namespace qh::ui;

namespace {


template <class W> W *named(W *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

} // namespace

Frmcopy::Frmcopy(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frmcopy"));
    setWindowTitle(QStringLiteral("数据备份及数据恢复"));
    setAttribute(Qt::WA_DeleteOnClose);
    Optsave = named(new QRadioButton(QStringLiteral("备份数据"), this), "Optsave");
    Optcove = named(new QRadioButton(QStringLiteral("恢复数据"), this), "Optcove");
    Lblpath = named(new QLabel(QStringLiteral("选择备份或恢复的文件"), this), "Lblpath");
    Txtpath = named(new QLineEdit(this), "Txtpath");
    Txtpath->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("/home/clinic/Documents/备份/")) +
                             fontMetrics().horizontalAdvance(QStringLiteral("zyqhmz-20260101.mdb")));
    CmdPath = named(new QPushButton(QStringLiteral("文件名称路径"), this), "CmdPath");
    Cmdcopy = named(new QPushButton(QStringLiteral("保存数据&B"), this), "Cmdcopy");
    CmdExit = named(new QPushButton(QStringLiteral("退出&T"), this), "CmdExit");
    Aniplay = named(new QProgressBar(this), "Aniplay");
    Aniplay->setTextVisible(false);
    Aniplay->setRange(0, 1);
    Aniplay->setValue(0);

    auto *grid = new QGridLayout(this);
    auto *modes = new QHBoxLayout;
    modes->addWidget(Optsave);
    modes->addWidget(Optcove);
    modes->addStretch();
    grid->addLayout(modes, 0, 0, 1, 2);
    grid->addWidget(Lblpath, 1, 0, 1, 2);
    grid->addWidget(Txtpath, 2, 0);
    grid->addWidget(CmdPath, 2, 1);
    grid->addWidget(Aniplay, 3, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Cmdcopy);
    buttons->addWidget(CmdExit);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setRowMinimumHeight(3, Aniplay->sizeHint().height()); // the place stays when it hides
    grid->setRowMinimumHeight(4, Cmdcopy->sizeHint().height());

    // Backup is the mode at load ("保存数据"); choosing a mode names it on the copy button.
    Optsave->setChecked(true);
    connect(Optsave, &QRadioButton::clicked, this, &Frmcopy::Optsave_Click);
    connect(Optcove, &QRadioButton::clicked, this, &Frmcopy::Optcove_Click);
    connect(CmdPath, &QPushButton::clicked, this, &Frmcopy::CmdPath_Click);
    connect(Cmdcopy, &QPushButton::clicked, this, &Frmcopy::Cmdcopy_Click);
    connect(CmdExit, &QPushButton::clicked, this, &Frmcopy::CmdExit_Click);
    // The busy indicator moves while the copy lets events run between its steps.
    m_copy.setProgress([](qint64, qint64) { doEvents(); });

    adjustSize();
    placeWindow(this, 3);
    Aniplay->hide();
    setMousePointer(PointerArrow);
    Txtpath->clear();
}

QWidget *Frmcopy::widgetOf(CopyField f) const
{
    switch (f) {
    case CopyField::Txtpath: return Txtpath;
    case CopyField::CmdPath: return CmdPath;
    }
    unmappedControl("Frmcopy", int(f));
}

bool Frmcopy::restoreMode() const { return Optcove->isChecked(); }

void Frmcopy::chooseMode(const QString &caption, const QString &label)
{
    Txtpath->clear();
    Cmdcopy->setText(caption);
    Lblpath->setText(label);
    focusAndSelect(Txtpath, Select::all());
}

void Frmcopy::Optsave_Click() { chooseMode(QStringLiteral("数据备份"), QStringLiteral("选择备份数据的盘符及路径")); }

void Frmcopy::Optcove_Click() { chooseMode(QStringLiteral("数据恢复"), QStringLiteral("选择用来恢复数据的备份文件")); }

void Frmcopy::CmdPath_Click()
{
    FileDialogPresenter *files = fileDialogPresenter();
    const QString folder = Modutarnxt::documentsPath();
    const QString filter = DataCopy::fileFilter(Modutarnxt::clinicStore());
    const QString chosen = restoreMode()
                               ? files->openFileName(this, QStringLiteral("数据恢复"), folder, filter)
                               : files->saveFileName(this, QStringLiteral("数据备份"), folder, filter);
    if (!chosen.trimmed().isEmpty())
        Txtpath->setText(chosen.trimmed());
    Cmdcopy->setFocus();
}

void Frmcopy::startAnimation()
{
    Aniplay->setRange(0, 0); // moves by itself while events run
    Aniplay->show();
    doEvents();
}

void Frmcopy::stopped()
{
    Aniplay->setRange(0, 1);
    Aniplay->setValue(0);
    Aniplay->hide();
    Cmdcopy->show();
    CmdExit->show();
}

void Frmcopy::waitment()
{
    Cmdcopy->hide();
    CmdExit->hide();
    clock::pause(5000);
    Aniplay->setRange(0, 1);
    Aniplay->setValue(0);
    doEvents();
    Cmdcopy->show();
    CmdExit->show();
}

void Frmcopy::Cmdcopy_Click()
{
    const QString path = Txtpath->text().trimmed();
    const db::Store store = Modutarnxt::clinicStore();
    // On the server engine a restore is refused before anything else is asked for.
    if (auto r = restoreMode() ? DataCopy::checkRestoreAllowed(store) : Verdict<CopyField>{})
        return refuse(*r, widgetOf(r->field));
    if (auto r = DataCopy::checkPath(path))
        return refuse(*r, widgetOf(r->field));
    Cmdcopy->hide();
    CmdExit->hide();
    const bool restoring = restoreMode();
    auto refused = [this](const Refusal<CopyField> &r) {
        stopped();
        refuse(r, widgetOf(r.field));
    };
    Verdict<CopyField> verdict = restoring ? m_copy.checkRestore(store, path) : m_copy.checkBackup(store, path);
    if (verdict) {
        Cmdcopy->show();
        CmdExit->show();
        return refuse(*verdict, widgetOf(verdict->field));
    }
    startAnimation();
    try {
        // Nothing else of this window runs while the copy lets events through.
        m_copying = true;
        const auto done = qScopeGuard([this] { m_copying = false; });
        DisabledWhile modes1(Optsave), modes2(Optcove), box(Txtpath), dialog(CmdPath);
        BusyPointer busy;
        if (restoring)
            verdict = m_copy.restore(store, path);
        else
            m_copy.backup(store, path);
    } catch (const DbError &e) {
        stopped();
        msg::plain(numberedReport(e));
        return;
    }
    if (verdict)
        return refused(*verdict);
    doEvents();
    waitment();
    Txtpath->clear();
    if (!restoring)
        return;
    // The open windows and the logged-in user belong to the data that was replaced.
    QString kept;
    if (!m_copy.lastSafetyCopy().isEmpty())
        kept = QStringLiteral("\n原来的数据已另存为 %1（数据文件夹中保留最近 %2 份）。").arg(m_copy.lastSafetyCopy()).arg(SafetyCopiesKept);
    msg::info(QStringLiteral("数据已经恢复。%1\n程序现在结束，请重新启动本系统并重新登录。").arg(kept));
    keepMenusOffAfter(this);
    closeTaskWindow(this);
    endProgram();
}

void Frmcopy::CmdExit_Click()
{
    // The menus come back through the guard the main window attached to this window.
    doEvents();
    closeTaskWindow(this);
    doEvents();
}

void Frmcopy::closeEvent(QCloseEvent *event)
{
    if (m_copying) {
        event->ignore(); // never leave a copy half done
        return;
    }
    QWidget::closeEvent(event);
}

void registerCopyWindow()
{
    registerTaskWindow(QStringLiteral("cc"), [] { return static_cast<QWidget *>(singleWindow<Frmcopy>()); });
}

} // namespace qh::maint::ui
