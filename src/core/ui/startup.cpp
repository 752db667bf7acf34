#include "core/ui/startup.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "base/owneronly.h"
#include "core/ui/Frmjdys.h"
#include "core/ui/uikit.h"

#include <QDir>
#include <QLockFile>
#include <memory>

namespace qh::ui {

namespace {
StartWindows g_windows;
std::function<void(const Frmjdys &)> g_upgradeWatcher;
std::unique_ptr<QLockFile> g_lock;
int g_exitStatus = 0;

// True when this is the only running copy for the data folder; keeps the lock until the end.
bool takeInstanceLock()
{
    if (g_lock)
        return true;
    makeOwnerOnlyFolder(Modutarnxt::SystemRoot);
    auto lock = std::make_unique<QLockFile>(Modutarnxt::SystemRoot + QStringLiteral("/qinghe.lock"));
    lock->setStaleLockTime(0); // a lock left by a crashed copy is recognised by its process id
    if (!lock->tryLock(0))
        return false;
    g_lock = std::move(lock);
    return true;
}

void startErrorReport(const DbError &e)
{
    g_exitStatus = StartFailed;
    msg::plain(numberedReport(e));
    setMousePointer(PointerArrow);
    endProgram();
}

} // namespace

void setStartWindows(StartWindows windows) { g_windows = std::move(windows); }

void setUpgradeProgressWatcher(std::function<void(const Frmjdys &)> watcher) { g_upgradeWatcher = std::move(watcher); }

void releaseInstanceLock() { g_lock.reset(); }

int startExitStatus() { return g_exitStatus; }

bool Main()
{
    using namespace Modutarnxt;
    g_exitStatus = 0;
    if (SystemRoot.isEmpty())
        SystemRoot = defaultSystemRoot();
    if (!takeInstanceLock()) {
        g_exitStatus = AlreadyRunning;
        msg::info(QStringLiteral("程序已经开始运行"));
        endProgram();
        return false;
    }
    setMousePointer(PointerBusy);
    StartRoute route;
    QString notice;
    // A file of the first layout is rewritten before anything else (16 s for a 1 GB file):
    // the progress window shows how far it is and takes no input meanwhile.
    std::unique_ptr<Frmjdys> upgrading;
    const auto upgradeStep = [&upgrading](int percent) {
        if (!upgrading) {
            upgrading = std::make_unique<Frmjdys>();
            upgrading->setWindowModality(Qt::ApplicationModal);
            upgrading->Form_Load();
            upgrading->setStepText(upgradeProgressText());
        }
        upgrading->setProgress(percent);
        if (g_upgradeWatcher)
            g_upgradeWatcher(*upgrading);
        doEvents();
    };
    const auto upgradeDone = [&upgrading] {
        if (upgrading)
            upgrading->close();
        upgrading.reset();
    };
    try {
        route = prepareClinicDatabase(clinicStore(), notice, upgradeStep);
        upgradeDone();
    } catch (const DbError &e) {
        upgradeDone();
        startErrorReport(e);
        return false;
    } catch (const std::exception &e) {
        upgradeDone();
        startErrorReport(DbError(err::General, QString::fromUtf8(e.what())));
        return false;
    }
    if (!notice.isEmpty())
        msg::info(notice);
    switch (route) {
    case StartRoute::NoStatusRow:
        g_exitStatus = StartFailed;
        msg::info(QStringLiteral("系统发生错误"));
        setMousePointer(PointerArrow);
        endProgram();
        return false;
    case StartRoute::FirstRun:
        if (g_windows.firstRunSetup)
            g_windows.firstRunSetup();
        return true;
    case StartRoute::MainWindow:
        if (g_windows.mainWindowAndSplash)
            g_windows.mainWindowAndSplash();
        doEvents();
        setMousePointer(PointerArrow);
        return true;
    }
    return false;
}

} // namespace qh::ui
