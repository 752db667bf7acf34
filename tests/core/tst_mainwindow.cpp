// The main window and its menus, the splash, the picture and progress windows, the help texts.
#include "core/helptopics.h"
#include "core/modutarnxt.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/Frmjdys.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/frmLogin.h"
#include "core/ui/frmSplash.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "testsupport.h"

#include <QBuffer>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtTest>

using namespace qh;
using qh::ui::MDIFtarn;

namespace {
// A task window as the subsystems build them: its exit enables the menus and closes it.
class DummyTask : public QWidget {
public:
    DummyTask() { setObjectName(QStringLiteral("DummyTask")); resize(200, 100); }
    void exitCommand()
    {
        ui::EnableMainMenus();
        ui::closeTaskWindow(this);
    }
};

QByteArray png()
{
    QImage img(32, 16, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return out;
}

ui::frmLogin *visibleLogin()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *l = qobject_cast<ui::frmLogin *>(w); l && l->isVisible())
            return l;
    return nullptr;
}
} // namespace

class TstMainWindow : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ui::resetProgramEnded();
        ui::DisableMainMenus();
    }

    void menuBarHasEveryItemInOrder()
    {
        test::TempClinic clinic;
        MDIFtarn w;
        QStringList top;
        for (QAction *a : w.menuBar()->actions())
            top << a->objectName() + u'=' + a->text();
        QCOMPARE(top, (QStringList{QStringLiteral("ZymzZd=门诊处方管理&Z"), QStringLiteral("ycrk=药品入出库管理&R"),
                                   QStringLiteral("zycxll=数据资料查询&F"), QStringLiteral("xtwh=系统维护&W"),
                                   QStringLiteral("zyexit=退出系统&Q")}));
        auto items = [](QMenu *m) {
            QStringList l;
            for (QAction *a : m->actions())
                l << a->objectName() + u'=' + (a->isSeparator() ? QStringLiteral("-") : a->text());
            return l;
        };
        QCOMPARE(items(w.ZymzZd), QStringList{QStringLiteral("sad=门诊处方管理")});
        QCOMPARE(items(w.ycrk), (QStringList{QStringLiteral("ycrc=药品入/退库"), QStringLiteral("YcqkXs=门诊处方计价"),
                                             QStringLiteral("YcqkCk=药品其它出库"), QStringLiteral("Yline1=-"),
                                             QStringLiteral("YckcPd=药品库存盘点")}));
        QCOMPARE(items(w.zycxll), (QStringList{QStringLiteral("ZdblCx=门诊资料查询"), QStringLiteral("Fline2=-"),
                                               QStringLiteral("Yckc=药材库存查询"), QStringLiteral("Fline3=-"),
                                               QStringLiteral("Fzsf=复诊随访"), QStringLiteral("Jytj=经营统计")}));
        QCOMPARE(items(w.xtwh),
                 (QStringList{QStringLiteral("xtwh1=系统启动密码维护"), QStringLiteral("cc=系统数据备份/恢复"),
                              QStringLiteral("Xline1=-"), QStringLiteral("YcqkWh=药品名称编码"), QStringLiteral("FjWh=方剂维护"),
                              QStringLiteral("Xline2=-"),
                              QStringLiteral("Ypjz=药品结帐"), QStringLiteral("Xline3=-"),
                              QStringLiteral("Xpict=更换系统背景")}));
        for (QMenu *m : {w.ZymzZd, w.ycrk, w.zycxll, w.xtwh})
            for (QAction *a : m->actions())
                QVERIFY(a->shortcut().isEmpty());
        QCOMPARE(w.windowTitle(), QStringLiteral("欢迎使用青禾中医门诊系统"));
    }

    void menusSwitchTogetherAndMissingWindowsStayDisabled()
    {
        test::TempClinic clinic;
        MDIFtarn w;
        for (QAction *a : w.topMenuActions())
            QVERIFY(!a->isEnabled()); // the start leaves them disabled until a login
        int counted = 0;
        ui::registerMenuCommand(QStringLiteral("Ypjz"), [&counted] { ++counted; });
        ui::EnableMainMenus();
        for (QAction *a : w.topMenuActions())
            QVERIFY(a->isEnabled());
        QVERIFY(w.item(QStringLiteral("Xpict"))->isEnabled());
        QVERIFY(w.item(QStringLiteral("Ypjz"))->isEnabled());
        QVERIFY(!w.item(QStringLiteral("cc"))->isEnabled());     // not part of this program yet
        QVERIFY(!w.item(QStringLiteral("YckcPd"))->isEnabled());
        QVERIFY(w.item(QStringLiteral("cc"))->isVisible());

        // The period closing runs its own command and leaves the menus to it.
        w.item(QStringLiteral("Ypjz"))->trigger();
        QCOMPARE(counted, 1);
        QVERIFY(ui::mainMenusEnabled());

        ui::DisableMainMenus();
        for (QAction *a : w.topMenuActions())
            QVERIFY(!a->isEnabled());
        QVERIFY(!w.zyexit->isEnabled());
    }

    void taskWindowOpensOnceInTheAreaAndItsExitEnablesTheMenus()
    {
        test::TempClinic clinic;
        MDIFtarn w;
        w.show();
        int made = 0;
        ui::registerTaskWindow(QStringLiteral("sad"), [&made] {
            ++made;
            return static_cast<QWidget *>(ui::singleWindow<DummyTask>());
        });
        ui::EnableMainMenus();
        QVERIFY(w.item(QStringLiteral("sad"))->isEnabled());
        w.item(QStringLiteral("sad"))->trigger();
        QCOMPARE(made, 1);
        QVERIFY(!ui::mainMenusEnabled());
        for (QAction *a : w.topMenuActions())
            QVERIFY(!a->isEnabled());
        QCOMPARE(ui::mousePointer(), ui::PointerBusy);
        QCOMPARE(w.area()->subWindowList().size(), 1);
        QPointer<DummyTask> task = ui::singleWindow<DummyTask>();
        QCOMPARE(w.area()->subWindowList().first()->widget(), task.data());
        QVERIFY(task->isVisible());

        // Showing it again brings the same window back, no second frame.
        w.runItem(QStringLiteral("sad"));
        QCOMPARE(w.area()->subWindowList().size(), 1);

        task->exitCommand();
        QTRY_COMPARE(w.area()->subWindowList().size(), 0);
        QVERIFY(ui::mainMenusEnabled());
        for (QAction *a : w.topMenuActions())
            QVERIFY(a->isEnabled());
        ui::setMousePointer(ui::PointerArrow);
    }

    void frameCloseIsRefusedAndExitAsksFirst()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        MDIFtarn w;
        w.show();
        ui::EnableMainMenus();
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QVERIFY(!ui::programEnded());

        rec.answers = {false};
        w.zyexit->trigger();
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("退出青禾中医门诊系统吗?")});
        QCOMPARE(rec.shown[0].icon, MsgIcon::Question);
        QCOMPARE(rec.shown[0].buttons, MsgButtons::YesNo);
        QVERIFY(rec.shown[0].title.isEmpty());
        QVERIFY(!ui::programEnded());
        QVERIFY(ui::mainMenusEnabled());
        QVERIFY(w.isVisible());

        w.zyexit->trigger(); // Yes
        QVERIFY(ui::programEnded());
        QVERIFY(w.close()); // the program's own end may close it
    }

    void staysMaximised()
    {
        test::TempClinic clinic;
        MDIFtarn w;
        w.Form_Load();
        QVERIFY(w.isMaximized());
        w.showMinimized();
        QTRY_VERIFY(w.isMaximized() && !w.isMinimized());
        w.showNormal();
        QTRY_VERIFY(w.isMaximized());
    }

    void backgroundPictureComesFromTheStatusRow()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        test::RecordingMessages rec;
        {
            MDIFtarn w;
            w.Form_Load();
            QVERIFY(w.backgroundPicture().isNull()); // nothing stored
        }
        clinic.open().exec(QStringLiteral("update xtzlqk set xt007 = ?"), png());
        {
            MDIFtarn w;
            w.Form_Load();
            QCOMPARE(w.backgroundPicture().size(), QSize(32, 16));
            QVERIFY(w.isVisible());
            w.area()->viewport()->repaint(); // painting the picture must not fail
        }
        clinic.open().exec(QStringLiteral("update xtzlqk set xt007 = ?"), QByteArray("not a picture at all"));
        {
            MDIFtarn w;
            w.Form_Load();
            QVERIFY(w.backgroundPicture().isNull());
        }
        QVERIFY(rec.shown.empty());
    }

    void splashShowsTheClinicAndContinuesOnce()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("青禾诊所"));
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        test::RecordingMessages rec;
        ui::frmSplash s;
        QSignalSpy spy(&s, &ui::frmSplash::continued);
        QVERIFY(s.Form_Load());
        QCOMPARE(s.LblYhmc->text(), QStringLiteral("使用单位：青禾诊所"));
        QCOMPARE(s.lblProductName->text(), QStringLiteral("青禾中医门诊系统"));
        // Major version, ".", minor version and revision, one after the other, nothing else.
        QCOMPARE(s.lblVersion->text(), QString::number(QINGHE_VERSION_MAJOR) + u'.' + QString::number(QINGHE_VERSION_MINOR)
                                            + QString::number(QINGHE_VERSION_PATCH));
        QVERIFY(s.Timer1->isActive());
        QCOMPARE(s.Timer1->interval(), 0); // 6 s in the program, shortened by the test clock
        QTest::keyClick(&s, Qt::Key_Space);
        QCOMPARE(spy.count(), 1);
        QVERIFY(!s.isVisible());
        QTest::qWait(20); // the timer would have fired by now
        QTest::mouseClick(s.Frame1, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        ui::frmLogin *login = visibleLogin();
        QVERIFY(login);
        QCOMPARE(login->Cboyhmc->count(), 1);
        QVERIFY(!Modutarnxt::FirstUserMode);
        QVERIFY(rec.shown.empty());
        delete login;
    }

    void splashLeftAloneContinuesByTheTimerOrAClick()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("secret1"));
        {
            ui::frmSplash s;
            QSignalSpy spy(&s, &ui::frmSplash::continued);
            QVERIFY(s.Form_Load());
            QTRY_COMPARE(spy.count(), 1);
            QTest::qWait(20);
            QCOMPARE(spy.count(), 1);
            delete visibleLogin();
        }
        {
            ui::frmSplash s;
            QSignalSpy spy(&s, &ui::frmSplash::continued);
            QVERIFY(s.Form_Load());
            QTest::mouseClick(s.Frame1, Qt::LeftButton);
            QCOMPARE(spy.count(), 1);
            delete visibleLogin();
        }
    }

    void splashRefusesABrokenStatusTable_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("no row") << 0;
        QTest::newRow("two rows") << 2;
    }
    void splashRefusesABrokenStatusTable()
    {
        QFETCH(int, rows);
        test::TempClinic clinic;
        for (int i = 0; i < rows; ++i)
            clinic.addStatusRow();
        test::RecordingMessages rec;
        ui::frmSplash s;
        QSignalSpy spy(&s, &ui::frmSplash::continued);
        QVERIFY(!s.Form_Load());
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("系统发生错误")});
        QCOMPARE(rec.shown[0].icon, MsgIcon::Information);
        QVERIFY(ui::programEnded());
        QVERIFY(!s.isVisible());
        s.continueOnce();
        QCOMPARE(spy.count(), 0);
        QVERIFY(!visibleLogin());
    }

    void withoutUsersTheSplashOpensTheUserWindow()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        QPointer<QWidget> userWindow;
        ui::registerTaskWindow(QStringLiteral("xtwh1"), [&userWindow] {
            if (!userWindow)
                userWindow = new QWidget;
            return userWindow.data();
        });
        ui::frmSplash s;
        QVERIFY(s.Form_Load());
        s.continueOnce();
        QVERIFY(userWindow);
        QVERIFY(userWindow->isVisible());
        QVERIFY(Modutarnxt::FirstUserMode);
        QVERIFY(!visibleLogin());
        QVERIFY(!ui::mainMenusEnabled());
        delete userWindow;
    }

    void progressWindowStaysOnTopOverTheMainWindow()
    {
        test::TempClinic clinic;
        QWidget over;
        over.setGeometry(100, 50, 800, 600);
        ui::Frmjdys p(&over);
        p.Form_Load();
        QVERIFY(p.isVisible());
        QVERIFY(p.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!p.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(p.ProgBar->value(), 0);
        QCOMPARE(p.pos(), QPoint(100 + (800 - p.width()) / 2, 50 + (600 - p.height()) / 3));
        p.setProgress(60);
        p.setStepText(QStringLiteral("60%"));
        QCOMPARE(p.ProgBar->value(), 60);
        QCOMPARE(p.Labpre->text(), QStringLiteral("60%"));
        QCOMPARE(p.Labprg->text(), QStringLiteral("60%"));
        QVERIFY(p.close()); // the caller closes it
    }

    void helpTopicsAreWrittenInFull()
    {
        const QString mz = helpTopicText(QStringLiteral("MZ"));
        QVERIFY(mz.startsWith(QStringLiteral("    使用门诊处方管理前，您最好将日常处方用药在“系统维护－药品名称编码”中进行登录，")));
        QVERIFY(mz.contains(QStringLiteral("\n    进入到“门诊处方管理”，窗口上方有三个窗口标签：门诊病案、门诊诊断、病案诊断心得。")));
        QVERIFY(mz.contains(QStringLiteral("\n\n门诊病案：\n    窗口左上方为门诊病案号码查询区，")));
        QVERIFY(mz.contains(QStringLiteral("\n\n门诊诊断：\n    注意：处方中的内容，既可手工录入也可用鼠标选录。")));
        QVERIFY(mz.endsWith(QStringLiteral("\n    在输入完毕诊断内容后，请按保存键对诊断内容进行保存，点击打印处方或打印病历键对诊断内容进行打印。"
                                           "\n    如果患者就诊后，需要复诊，用鼠标点击“复诊”的复选框，并标明复诊时间。")));
        // The register's commands are described in the window's order: each is first named
        // after the one before it.
        const QStringList commands{QStringLiteral("资料保存/修改"), QStringLiteral("“门诊诊断”键"),
                                   QStringLiteral("编辑诊断心得"), QStringLiteral("保存/修改诊断心得"),
                                   QStringLiteral("打印诊断心得"), QStringLiteral("清空登录窗口"),
                                   QStringLiteral("退出门诊诊断")};
        qsizetype at = mz.indexOf(QStringLiteral("门诊病案："));
        for (const QString &c : commands) {
            const qsizetype first = mz.indexOf(c);
            QVERIFY2(first > at, qPrintable(c));
            at = first;
        }

        const QString fd = helpTopicText(QStringLiteral("F-D"));
        QVERIFY(fd.startsWith(QStringLiteral("查询条件输入\n    窗口上方为查询条件输入区，要查询复诊内容，用鼠标点击窗口左上方“复诊”，")));
        QVERIFY(fd.contains(QStringLiteral("\n    查询“病历”的操作与上述内容相同（似）。\n")));
        QVERIFY(fd.endsWith(QStringLiteral("\n    在输入查询条件时，查询内容可以任意选择，但查询时间和患者年龄为必输项目。")));

        const QString kc = helpTopicText(QStringLiteral("YCKC"));
        QVERIFY(kc.startsWith(QStringLiteral("    此功能是查询系统药品购进入库、出库、药品入库出库明细、药品结余等数据，")));
        QVERIFY(kc.contains(QStringLiteral("\n    当查询药品结余时，未结帐前结余数量反映的是药品实际结余数量，")));
        QVERIFY(kc.endsWith(QStringLiteral("内容覆盖。切记！")));

        const QString bm = helpTopicText(QStringLiteral("BM"));
        QVERIFY(bm.startsWith(QStringLiteral("保存：\n    此功能是登录新的编码、名称、计量单位、单价等内容。")));
        qsizetype pos = 0;
        for (const char *h : {"\n\n修改编码：\n", "\n\n修改名称：\n", "\n\n修改其它：\n", "\n\n删除：\n"}) {
            const qsizetype next = bm.indexOf(QString::fromUtf8(h), pos);
            QVERIFY2(next > pos, h);
            pos = next;
        }
        QVERIFY(bm.endsWith(QStringLiteral("\n\n    退出此窗口时，请按窗口右上角关闭键。")));

        QCOMPARE(helpTopicText(QStringLiteral("MM")),
                 QStringLiteral("保存：登录新的用户姓名及密码；\n"
                                "修改：修改系统中已有用户的密码，修改时必须输入正确旧密码后才能对新密码进行保存；\n"
                                "删除：删除系统中的用户和更改用户名称，使用此键，删除时同样要求输入旧密码。\n\n"
                                "    切记，在删除或修改用户密码时，用户无法对其他用户密码和用户名称进行删除或修改。"));
        // The worklist's topic says what "this week" is.
        QVERIFY(helpTopicText(QStringLiteral("FZSF")).contains(QStringLiteral("本周是指本日所在的一周，从星期一到星期日。")));
        QVERIFY(helpTopicText(QStringLiteral("XX")).isEmpty());
        QVERIFY(helpTopicText(QString()).isEmpty());
    }

    void helpDisablesItsWindowUntilItCloses()
    {
        QWidget task;
        task.show();
        ui::showHelp(&task, QStringLiteral("YCKC"));
        QVERIFY(!task.isEnabled());
        QCOMPARE(Modutarnxt::HelpTopic, QStringLiteral("YCKC"));
        QPointer<ui::FrmHelp> help = ui::singleWindow<ui::FrmHelp>();
        QVERIFY(help->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral("帮助向导"));
        QCOMPARE(help->TxtHelp->toPlainText(), helpTopicText(QStringLiteral("YCKC")));
        QVERIFY(help->TxtHelp->isReadOnly());
        help->close();
        QVERIFY(task.isEnabled());
        QVERIFY(Modutarnxt::HelpTopic.isEmpty());
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
