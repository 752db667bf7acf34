// The window "数据备份及数据恢复" driven offscreen: modes, the file dialog, the copy and its stops.
#include "core/modutarnxt.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "maint/datacopy.h"
#include "maint/ui/Frmcopy.h"
#include "testsupport.h"
#include "widths.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QtTest>

using namespace qh;
using maint::DataCopy;
using maint::ui::Frmcopy;

class TstFrmcopy : public QObject {
    Q_OBJECT

private:
    std::optional<test::TempClinic> clinic;
    std::optional<test::RecordingMessages> messages;
    std::optional<test::RecordingFileDialogs> files;
    std::optional<QTemporaryDir> out;
    QPointer<Frmcopy> w;
    int menusBack = 0;

    static QWidget *focus() { return QApplication::focusWidget(); }
    bool buttonsShown() const { return w->Cmdcopy->isVisible() && w->CmdExit->isVisible(); }

private slots:
    void init()
    {
        clinic.emplace();
        clinic->addStatusRow();
        clinic->addUser(QStringLiteral("张医生"), QStringLiteral("pw1234"));
        messages.emplace();
        files.emplace();
        out.emplace();
        Modutarnxt::setDocumentsPath(out->path());
        ui::resetProgramEnded();
        menusBack = 0;
        ui::setMainMenuSwitch([this](bool on) { menusBack += on ? 1 : 0; });
        ui::DisableMainMenus();
        menusBack = 0;
        ui::MenusOff menus; // as the main window's runItem does
        w = new Frmcopy;
        menus.attachTo(w);
        w->show();
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    void cleanup()
    {
        if (w && !ui::programEnded())
            QCOMPARE(menusBack, 0); // only closing the window gives the menus back
        delete w;
        QVERIFY(messages->answers.empty());
        QVERIFY(files->answers.empty());
        messages.reset();
        files.reset();
        Modutarnxt::setDocumentsPath({});
        ui::setMainMenuSwitch({});
        clinic.reset();
        out.reset();
    }

    void atLoad()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("数据备份及数据恢复"));
        QCOMPARE(w->Optsave->text(), QStringLiteral("备份数据"));
        QCOMPARE(w->Optcove->text(), QStringLiteral("恢复数据"));
        QCOMPARE(w->CmdPath->text(), QStringLiteral("文件名称路径"));
        QCOMPARE(w->Cmdcopy->text(), QStringLiteral("保存数据&B"));
        QCOMPARE(w->CmdExit->text(), QStringLiteral("退出&T"));
        QVERIFY(w->Optsave->isChecked());
        QVERIFY(w->Txtpath->text().isEmpty());
        QVERIFY(!w->Aniplay->isVisible());
        QCOMPARE(test::narrowControls(w), QStringList());
    }

    void modeChoice_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("label");
        QTest::newRow("backup") << false << QStringLiteral("数据备份") << QStringLiteral("选择备份数据的盘符及路径");
        QTest::newRow("restore") << true << QStringLiteral("数据恢复") << QStringLiteral("选择用来恢复数据的备份文件");
    }
    void modeChoice()
    {
        QFETCH(bool, restore);
        QFETCH(QString, caption);
        QFETCH(QString, label);
        QTest::mouseClick(restore ? w->Optsave : w->Optcove, Qt::LeftButton); // the other mode first
        w->Txtpath->setText(QStringLiteral("/media/usb/old.mdb"));
        QTest::mouseClick(restore ? w->Optcove : w->Optsave, Qt::LeftButton);
        QCOMPARE(w->Cmdcopy->text(), caption);
        QCOMPARE(w->Lblpath->text(), label);
        QVERIFY(w->Txtpath->text().isEmpty());
        QCOMPARE(focus(), w->Txtpath);
        QCOMPARE(test::narrowControls(w), QStringList());
    }

    void fileDialog_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("path");
        QTest::newRow("backup: save form, trimmed") << false << QStringList{QStringLiteral(" /media/usb/a.mdb ")} << QStringLiteral("/media/usb/a.mdb");
        QTest::newRow("restore: open form") << true << QStringList{QStringLiteral("/media/usb/b.mdb")} << QStringLiteral("/media/usb/b.mdb");
        QTest::newRow("cancel keeps the choice") << false << QStringList{QStringLiteral("/media/usb/a.mdb"), QString()} << QStringLiteral("/media/usb/a.mdb");
        QTest::newRow("first cancel: empty") << true << QStringList{QString()} << QString();
    }
    void fileDialog()
    {
        QFETCH(bool, restore);
        QFETCH(QStringList, answers);
        QFETCH(QString, path);
        QTest::mouseClick(restore ? w->Optcove : w->Optsave, Qt::LeftButton);
        for (const QString &a : answers) {
            files->answers.push_back(a);
            QTest::mouseClick(w->CmdPath, Qt::LeftButton);
            QCOMPARE(focus(), w->Cmdcopy);
        }
        QCOMPARE(w->Txtpath->text(), path);
        QCOMPARE(files->forms, QStringList(answers.size(), restore ? QStringLiteral("open") : QStringLiteral("save")));
        QCOMPARE(files->filters, QStringList(answers.size(), QStringLiteral("数据库文件(*.mdb)")));
        QCOMPARE(files->folders, QStringList(answers.size(), out->path()));
    }

    void emptyPath()
    {
        QTest::keyClicks(w->Txtpath, QStringLiteral("   "));
        QTest::mouseClick(w->Cmdcopy, Qt::LeftButton);
        QCOMPARE(messages->texts(), QStringList{QStringLiteral("选择要备份或恢复的文件")});
        QCOMPARE(messages->shown.back().icon, MsgIcon::None);
        QCOMPARE(focus(), w->CmdPath);
        QVERIFY(buttonsShown());
    }

    void backup()
    {
        const QString target = out->filePath(QStringLiteral("usb.mdb"));
        QTest::mouseClick(w->Optsave, Qt::LeftButton);
        QTest::keyClicks(w->Txtpath, target);
        bool sawBusy = false;
        w->copier().setStageHook([&](DataCopy::Stage s) {
            if (s == DataCopy::Stage::BeforeRename)
                sawBusy = !w->Cmdcopy->isVisible() && !w->CmdExit->isVisible() && w->Aniplay->isVisible() &&
                          w->Aniplay->maximum() == 0;
        });
        QTest::mouseClick(w->Cmdcopy, Qt::LeftButton);
        QCOMPARE(messages->texts(), QStringList());
        QVERIFY(sawBusy);
        QVERIFY(!maint::whatIsWrong(target));
        QVERIFY(w->Txtpath->text().isEmpty());
        QVERIFY(buttonsShown());
        QVERIFY(w->Aniplay->isVisible());         // stays, stopped
        QCOMPARE(w->Aniplay->maximum(), 1);
    }

    void failedBackup()
    {
        const QString target = out->filePath(QStringLiteral("usb.mdb"));
        QTest::keyClicks(w->Txtpath, target);
        w->copier().setStageHook([](DataCopy::Stage s) {
            if (s == DataCopy::Stage::BeforeRename)
                throw DbError(err::DiskIo, QStringLiteral("U盘被拔出"));
        });
        QTest::mouseClick(w->Cmdcopy, Qt::LeftButton);
        QCOMPARE(messages->texts(), QStringList{QStringLiteral("错误号码：3043\r\n错误内容：U盘被拔出")});
        QCOMPARE(messages->shown.back().icon, MsgIcon::None);
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(!w->Aniplay->isVisible());
        QVERIFY(buttonsShown());
        QCOMPARE(w->Txtpath->text(), target);
    }

    void refusedRestore()
    {
        const QString candidate = out->filePath(QStringLiteral("photo.mdb"));
        QFile f(candidate);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'z'));
        f.close();
        const QByteArray live = test::fileHash(clinic->dbPath());
        QTest::mouseClick(w->Optcove, Qt::LeftButton);
        QTest::keyClicks(w->Txtpath, candidate);
        QTest::mouseClick(w->Cmdcopy, Qt::LeftButton);
        QCOMPARE(messages->texts().size(), 1);
        QVERIFY2(messages->last().startsWith(QStringLiteral("所选的文件不能用来恢复数据：不能用本系统的密码打开")), qPrintable(messages->last()));
        QCOMPARE(focus(), w->Txtpath);
        QCOMPARE(w->Txtpath->selectedText(), candidate);
        QVERIFY(buttonsShown());
        QVERIFY(!w->Aniplay->isVisible());
        QCOMPARE(test::fileHash(clinic->dbPath()), live);
        QVERIFY(!ui::programEnded());
    }

    // With the clinic on a shared server a workstation never restores: refused before anything
    // is read or written, with or without a chosen file.
    void serverRestoreRefused_data()
    {
        QTest::addColumn<bool>("chosen");
        QTest::newRow("a backup chosen") << true;
        QTest::newRow("nothing chosen yet") << false;
    }
    void serverRestoreRefused()
    {
        QFETCH(bool, chosen);
        const QString b = out->filePath(QStringLiteral("good.mdb"));
        DataCopy().backup(Modutarnxt::clinicStore(), b); // a sound backup of the data file, made before the clinic moved
        qputenv("QINGHE_DATABASE", "host=db.clinic port=5432 dbname=qinghe user=reception password=s3cret");
        const auto unset = qScopeGuard([] { qunsetenv("QINGHE_DATABASE"); });
        const test::StoreInstalled onServer(db::Store::fromSettings(clinic->dbPath())); // the settings just made
        const QByteArray live = test::fileHash(clinic->dbPath()), backup = test::fileHash(b);
        QTest::mouseClick(w->Optcove, Qt::LeftButton);
        files->answers.push_back(b);
        QTest::mouseClick(w->CmdPath, Qt::LeftButton);
        QCOMPARE(files->filters, QStringList{QStringLiteral("服务器数据备份(*.dump)")});
        if (!chosen)
            w->Txtpath->clear();
        QTest::mouseClick(w->Cmdcopy, Qt::LeftButton);
        QCOMPARE(messages->texts().size(), 1);
        const QString said = messages->last();
        QVERIFY2(said.startsWith(QStringLiteral("本系统的数据保存在诊所的数据库服务器上（host=db.clinic port=5432 dbname=qinghe user=reception）")),
                 qPrintable(said));
        QVERIFY(said.contains(QStringLiteral("须由服务器管理员")));
        QVERIFY(said.contains(QStringLiteral("docs/DEPLOYMENT.md")));
        QVERIFY(!said.contains(QStringLiteral("s3cret")));
        QCOMPARE(messages->shown.back().icon, MsgIcon::Warning);
        QCOMPARE(focus(), w->Txtpath);
        QVERIFY(buttonsShown());
        QCOMPARE(test::fileHash(clinic->dbPath()), live);
        QCOMPARE(test::fileHash(b), backup);
        QCOMPARE(DataCopy::safetyCopies(Modutarnxt::clinicStore()), QStringList());
        QVERIFY(!ui::programEnded());
        // The logic refuses as well, whoever calls it.
        QVERIFY(DataCopy().restore(Modutarnxt::clinicStore(), b));
        QCOMPARE(test::fileHash(clinic->dbPath()), live);
    }

    void restoreEndsTheProgram()
    {
        const QString b = out->filePath(QStringLiteral("good.mdb"));
        DataCopy().backup(Modutarnxt::clinicStore(), b);
        clinic->addDrug(QStringLiteral("A01"), QStringLiteral("麻黄"), QStringLiteral("0.35"));
        QTest::mouseClick(w->Optcove, Qt::LeftButton);
        QTest::keyClicks(w->Txtpath, b);
        QTest::mouseClick(w->Cmdcopy, Qt::LeftButton);
        QCOMPARE(messages->texts().size(), 1);
        QVERIFY(messages->last().startsWith(QStringLiteral("数据已经恢复。")));
        QVERIFY(messages->last().contains(QStringLiteral("保留最近 5 份")));
        QVERIFY(messages->last().endsWith(QStringLiteral("程序现在结束，请重新启动本系统并重新登录。")));
        QVERIFY(ui::programEnded());
        QCOMPARE(clinic->open().scalarInt(QStringLiteral("select count(*) from ycjg")), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!w);            // closed
        QCOMPARE(menusBack, 0); // the menus of the replaced data do not come back
    }

    void exitGivesMenusBackOnce()
    {
        QTest::mouseClick(w->CmdExit, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!w);
        QCOMPARE(menusBack, 1);
        menusBack = 0;
    }

    void registeredForItsMenu()
    {
        maint::ui::registerCopyWindow();
        const auto factory = ui::taskWindowFactory(QStringLiteral("cc"));
        QVERIFY(factory);
        QWidget *a = factory();
        QVERIFY(qobject_cast<Frmcopy *>(a));
        QCOMPARE(factory(), a);
        delete a;
    }
};

QTEST_MAIN(TstFrmcopy)
#include "tst_frmcopy.moc"
