#include "stock/ui/closingcommand.h"
#include "base/clock.h"
#include "core/messages.h"
#include "core/modutarnxt.h"
#include "core/ui/Frmjdys.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "stock/closing.h"

#include <QLabel>
#include <QProgressBar>

namespace qh::stock::ui {

namespace {

std::function<void(const qh::ui::Frmjdys &)> g_watcher;

const QString Question = QStringLiteral("开始进行结帐处理吗？");
const QString Done = QStringLiteral("当期结帐已经完成");

// The failure in the plain form (number, line break, description), whatever raised it.
QString failureText(const std::exception &e)
{
    if (const auto *db = dynamic_cast<const DbError *>(&e))
        return plainReport(*db);
    if (dynamic_cast<const MoneyOverflow *>(&e))
        return plainReport(DbError(err::Overflow, QString::fromUtf8(e.what())));
    return plainReport(DbError(err::General, QString::fromUtf8(e.what())));
}

void showValue(qh::ui::Frmjdys &w, Money value)
{
    // The bar takes whole percents; the label shows the exact value.
    w.ProgBar->setValue(int(value.units() / Money::Scale));
    w.Labpre->setText(progressText(value));
}

void watch(const qh::ui::Frmjdys &w)
{
    if (g_watcher)
        g_watcher(w);
}

} // namespace

void setClosingProgressWatcher(std::function<void(const qh::ui::Frmjdys &)> watcher) { g_watcher = std::move(watcher); }

void Ypjz_Click()
{
    using namespace qh::ui;
    doEvents();
    // The closing is computed once, before the question, so the clerk can open it under the
    // question; the same plan is written after Yes. Computing it writes nothing.
    ClosingPlan plan;
    try {
        BusyPointer busy;
        db::Session s = Modutarnxt::clinicStore().open();
        plan = planClosing(s);
    } catch (const std::exception &e) {
        msg::plain(failureText(e));
        return;
    }
    if (!msg::askWithDetails(Question, previewText(plan)))
        return;

    doEvents();
    BusyPointer busy;
    MenusOff menus;
    QString failure;
    {
        Frmjdys progress;
        // The progress window repaints while the closing lets events run; the main window
        // takes no input until it is gone.
        progress.setWindowModality(Qt::ApplicationModal);
        ClosingObserver observer;
        observer.phaseStarted = [&progress](ClosingPhase phase, int) {
            if (phase == ClosingPhase::CostIssues) {
                progress.Form_Load();
                progress.Labpre->clear();
                progress.Labprg->clear();
                doEvents();
                progress.ProgBar->setValue(0);
            } else {
                progress.show();
                progress.Labpre->clear();
                progress.Labprg->setText(progressText(Money::fromInt(RevalueBase)));
                doEvents();
                progress.ProgBar->setValue(RevalueBase);
            }
            watch(progress);
            doEvents();
        };
        observer.drugDone = [&progress](ClosingPhase phase, int i, int n) {
            showValue(progress, phase == ClosingPhase::CostIssues ? progressAfter(0, CostingSpan, i, n)
                                                                  : progressAfter(RevalueBase, RevalueSpan, i, n));
            watch(progress);
            doEvents();
        };
        observer.batchDone = [] { doEvents(); };
        try {
            db::Session s = Modutarnxt::clinicStore().open();
            applyClosing(s, plan, observer);
        } catch (const std::exception &e) {
            failure = failureText(e);
        }
        progress.close();
    }
    doEvents();
    if (!failure.isEmpty()) {
        msg::plain(failure);
        return; // busy pointer and menus come back as the guards leave the scope
    }
    doEvents();
    qh::clock::pause(3000);
    msg::info(Done);
}

void registerClosingCommand() { qh::ui::registerMenuCommand(QStringLiteral("Ypjz"), &Ypjz_Click); }

} // namespace qh::stock::ui
