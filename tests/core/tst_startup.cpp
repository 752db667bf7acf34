#include "base/clock.h"
#include "core/modutarnxt.h"
#include "core/ui/Frmjdys.h"
#include "core/ui/startup.h"
#include "core/ui/uikit.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QProgressBar>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace qh;

class TstStartup : public QObject {
    Q_OBJECT

    int firstRuns = 0;
    int mainWindows = 0;

    void installRecorders()
    {
        firstRuns = mainWindows = 0;
        ui::setStartWindows({[this] { ++firstRuns; }, [this] { ++mainWindows; }});
        ui::resetProgramEnded();
    }

private slots:
    void cleanup() { ui::releaseInstanceLock(); }

    void firstStartCreatesFileAndStatusRowThenSetup()
    {
        test::TempClinic clinic(false);
        test::RecordingMessages rec;
        installRecorders();
        QVERIFY(!QFile::exists(clinic.dbPath()));
        QVERIFY(ui::Main());
        QVERIFY(QFile::exists(clinic.dbPath()));
        QCOMPARE(firstRuns, 1);
        QCOMPARE(mainWindows, 0);
        QVERIFY(rec.shown.empty());
        auto s = clinic.open();
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from xtzlqk")), 1);
        QCOMPARE(*s.scalarText(QStringLiteral("select xt001 from xtzlqk")), QStringLiteral("  "));
        QVERIFY(s.scalarText(QStringLiteral("select xt006 from xtzlqk")) == std::nullopt);
    }

    void blankUnitNameMeansNotSetUp()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("    "));
        installRecorders();
        QVERIFY(ui::Main());
        QCOMPARE(firstRuns, 1);
    }

    void setUpClinicGoesToMainWindowAndSplash()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        installRecorders();
        QVERIFY(ui::Main());
        QCOMPARE(mainWindows, 1);
        QCOMPARE(firstRuns, 0);
        QCOMPARE(ui::mousePointer(), ui::PointerArrow);
    }

    // A file of the first layout is rewritten before the main window, with the progress window on
    // screen (modal, its text, 0 to 100) and no message; the next start shows no window.
    void firstLayoutFileIsRewrittenUnderTheProgressWindow()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        {
            auto s = clinic.open();
            db::Transaction t(s);
            for (int i = 0; i < 3000; ++i)
                s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, 1, 1, 1)"), QStringLiteral("药材%1").arg(i));
            t.commit();
        }
        test::makeFirstLayout(clinic.dbPath());
        struct Seen {
            int percent;
            QString text;
            bool shownModal;
        };
        std::vector<Seen> seen;
        ui::setUpgradeProgressWatcher([&seen](const ui::Frmjdys &w) {
            seen.push_back({w.ProgBar->value(), w.Labprg->text(), w.isVisible() && w.isModal()});
        });
        test::RecordingMessages rec;
        installRecorders();
        QVERIFY(ui::Main());
        QCOMPARE(mainWindows, 1);
        QVERIFY(rec.shown.empty());
        QVERIFY(seen.size() >= 2);
        QCOMPARE(seen.front().percent, 0);
        QCOMPARE(seen.back().percent, 100);
        for (const Seen &step : seen) {
            QCOMPARE(step.text, Modutarnxt::upgradeProgressText());
            QVERIFY(step.shownModal);
        }
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<ui::Frmjdys *>(w) || !w->isVisible());
        QCOMPARE(clinic.open().layout(), db::FileLayout::Pages4K);
        QCOMPARE(clinic.open().scalarInt(QStringLiteral("select count(*) from ycyltb")), 3000);

        seen.clear();
        ui::releaseInstanceLock();
        installRecorders();
        QVERIFY(ui::Main());
        QCOMPARE(mainWindows, 1);
        QVERIFY(seen.empty());
        ui::setUpgradeProgressWatcher({});
    }

    void deletedStatusRowIsAddedAgain()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        clinic.open().exec(QStringLiteral("delete from xtzlqk"));
        installRecorders();
        QVERIFY(ui::Main());
        QCOMPARE(firstRuns, 1);
        QCOMPARE(clinic.open().scalarInt(QStringLiteral("select count(*) from xtzlqk")), 1);
    }

    void secondCopyIsRefused()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        // Another running copy holds the lock.
        QLockFile other(clinic.root() + QStringLiteral("/qinghe.lock"));
        QVERIFY(other.tryLock(0));
        test::RecordingMessages rec;
        installRecorders();
        QVERIFY(!ui::Main());
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("程序已经开始运行")});
        QVERIFY(ui::programEnded());
        QCOMPARE(mainWindows + firstRuns, 0);
        other.unlock();
        installRecorders();
        QVERIFY(ui::Main());
        QCOMPARE(mainWindows, 1);
    }

    void engineFailureGivesNumberedReport()
    {
        test::TempClinic clinic(false);
        QDir().mkpath(clinic.root() + QStringLiteral("/system"));
        QFile junk(clinic.dbPath());
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(2048, 'z'));
        junk.close();
        test::RecordingMessages rec;
        installRecorders();
        QVERIFY(!ui::Main());
        QCOMPARE(rec.shown.size(), size_t(1));
        QVERIFY(rec.last().startsWith(QStringLiteral("错误号码：%1\r\n错误内容：").arg(err::NotADatabase)));
        QCOMPARE(rec.shown[0].icon, MsgIcon::None);
        QVERIFY(ui::programEnded());
        QCOMPARE(ui::mousePointer(), ui::PointerArrow);
        QCOMPARE(firstRuns + mainWindows, 0);
    }

    // A data file with an object the program never makes is refused before anything writes to
    // it: one numbered report naming the object, a non-zero exit, the file's bytes unchanged.
    void foreignObjectInTheFileIsRefused()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        clinic.open().execScript(QStringLiteral("create trigger qh_wipe after insert on xtzlqk begin delete from hzblzl; end"));
        const QByteArray before = test::fileHash(clinic.dbPath());
        test::RecordingMessages rec;
        installRecorders();
        QVERIFY(!ui::Main());
        QCOMPARE(rec.shown.size(), size_t(1));
        QVERIFY2(rec.last().startsWith(QStringLiteral("错误号码：%1\r\n错误内容：").arg(err::NotADatabase)), qPrintable(rec.last()));
        QVERIFY2(rec.last().contains(QStringLiteral("多出本系统不建立的触发器 qh_wipe（数据表 xtzlqk）")), qPrintable(rec.last()));
        QVERIFY(ui::startExitStatus() != 0);
        QVERIFY(ui::programEnded());
        QCOMPARE(firstRuns + mainWindows, 0);
        QCOMPARE(test::fileHash(clinic.dbPath()), before);
    }

    void standardButtonsSpeakChinese()
    {
        ui::installChineseTranslations(*qApp);
        QVERIFY(QCoreApplication::translate("QPlatformTheme", "&Yes").contains(QStringLiteral("是")));
        QVERIFY(QCoreApplication::translate("QPlatformTheme", "&No").contains(QStringLiteral("否")));
        QVERIFY(QCoreApplication::translate("QPlatformTheme", "OK").contains(QStringLiteral("确定")));
    }

    void pauseWithButtonDisablesForItsDuration()
    {
        clock::setScale(0.01); // 4 s become 40 ms
        QPushButton b;
        bool disabledDuring = false;
        QTimer::singleShot(5, [&] { disabledDuring = !b.isEnabled() && ui::mousePointer() == ui::PointerBusy; });
        QElapsedTimer t;
        t.start();
        ui::PauseWithButton(&b);
        QVERIFY(t.elapsed() >= 40);
        QVERIFY(disabledDuring);
        QVERIFY(b.isEnabled());
        QCOMPARE(ui::mousePointer(), ui::PointerArrow);
        clock::setScale(0);
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
