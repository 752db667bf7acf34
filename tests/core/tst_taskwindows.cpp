#include "core/modutarnxt.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/taskwindows.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

using namespace qh::ui;

namespace {
class CountingWindow : public QWidget {
public:
    int activations = 0;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::WindowActivate)
            ++activations;
        return QWidget::event(e);
    }
};
} // namespace

class TstTaskWindows : public QObject {
    Q_OBJECT

private slots:
    void menusSwitchThroughTheInstalledSwitch()
    {
        QList<bool> calls;
        setMainMenuSwitch([&](bool on) { calls << on; });
        DisableMainMenus();
        QVERIFY(!mainMenusEnabled());
        EnableMainMenus();
        QVERIFY(mainMenusEnabled());
        QCOMPARE(calls, (QList<bool>{false, true}));
        setMainMenuSwitch({});
    }

    void registeredFactoriesAreFoundByMenuItem()
    {
        QVERIFY(!taskWindowFactory(QStringLiteral("nothing")));
        int made = 0;
        registerTaskWindow(QStringLiteral("sad"), [&]() -> QWidget * { ++made; return nullptr; });
        taskWindowFactory(QStringLiteral("sad"))();
        QCOMPARE(made, 1);
    }

    // A task window in the main area counts only the activation of its opening, not the main
    // window's re-activation after a message box or another window had the focus.
    void taskWindowIsActivatedOnlyWhenOpened()
    {
        QMainWindow main;
        auto *area = new QMdiArea(&main);
        main.setCentralWidget(area);
        setTaskWindowHost([area](QWidget *w) {
            QMdiSubWindow *sub = area->addSubWindow(w);
            sub->show();
        });
        main.show();
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));

        auto *task = new CountingWindow;
        showTaskWindow(task);
        QCOMPARE(task->activations, 1);

        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QCOMPARE(task->activations, 1);

        // Help disables the whole frame of the task window, and closing help gives it back.
        QMdiSubWindow *frame = area->subWindowList().first();
        showHelp(task, QStringLiteral("BM"));
        QVERIFY(!frame->isEnabled());
        QVERIFY(!task->isEnabled());
        QCOMPARE(qh::Modutarnxt::HelpTopic, QStringLiteral("BM"));
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("FrmHelp") && w->isVisible())
                w->close();
        QVERIFY(frame->isEnabled());
        QVERIFY(task->isEnabled());
        QVERIFY(qh::Modutarnxt::HelpTopic.isEmpty());

        closeTaskWindow(task);
        QTRY_VERIFY(area->subWindowList().isEmpty() || !area->subWindowList().first()->isVisible());
        setTaskWindowHost({});
    }
};

QTEST_MAIN(TstTaskWindows)
#include "tst_taskwindows.moc"
