// The outpatient window as a whole: the mail link, help and exit, the menus given back on
// closing, every tab wide enough, its registration as a task window.
#include "clinic/caseregister.h"
#include "clinic/ui/entryboxes.h"
#include "core/modutarnxt.h"
#include "frmzymzfixture.h"
#include "checkorder.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "widths.h"

#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

using namespace qh;
using namespace qh::clinic;
using namespace qh::clinic::zymztest;
namespace cui = qh::clinic::ui;

class TstFrmZymzWindow : public QObject {
    Q_OBJECT

private slots:
    void mailLinkHelpAndExit()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QList<QUrl> opened;
        cui::setMailOpener([&opened](const QUrl &url) {
            opened << url;
            return true;
        });
        QPointer<FrmZymz> w = open();
        // Hovering shows a valid address as a link; leaving the box shows it plainly again.
        w->TxtMail->setText(QStringLiteral(" zs@example.com "));
        QTest::mouseMove(w->TxtMail);
        QVERIFY(w->TxtMail->font().italic() && w->TxtMail->font().underline());
        QCOMPARE(w->TxtMail->palette().color(QPalette::Text), QColor(255, 0, 0));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(w->TxtMail, &leave);
        QVERIFY(!w->TxtMail->font().italic() && !w->TxtMail->font().underline());
        QVERIFY(rec.shown.empty());
        QTest::mouseClick(w->TxtMail, Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("mailto:zs@example.com"))});
        // An invalid address is pointed out when the mouse comes over it, once, not at every move.
        w->TxtMail->setText(QStringLiteral("zs@example"));
        QTest::mouseMove(w->TxtMail, QPoint(5, 5));
        QTest::mouseMove(w->TxtMail, QPoint(8, 6));
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("电子信箱输入错误")});
        QVERIFY(!w->TxtMail->font().italic());
        rec.clear();
        QTest::mouseClick(w->TxtMail, Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(rec.last(), QStringLiteral("电子信箱输入错误"));
        cui::setMailOpener({});

        QTest::mouseClick(w->CmdHelp, Qt::LeftButton);
        QCOMPARE(Modutarnxt::HelpTopic, QStringLiteral("MZ"));
        QVERIFY(!w->isEnabled());
        w->setEnabled(true);

        delete w;
    }

    // However the window is closed, the guard the main window attached gives the menus back,
    // exactly once.
    void closingGivesTheMenusBackOnce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("exit command") << "CmdMztc";
        QTest::newRow("frame's close box") << "close";
    }

    void closingGivesTheMenusBackOnce()
    {
        QFETCH(QString, how);
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QList<bool> switched;
        qh::ui::setMainMenuSwitch([&switched](bool enabled) { switched << enabled; });
        QPointer<FrmZymz> w;
        {
            qh::ui::MenusOff menus; // as the main window's runItem opens a task window
            w = new FrmZymz;
            menus.attachTo(w);
        }
        w->show();
        QCOMPARE(switched, QList<bool>{false});
        if (how == u"CmdMztc")
            QTest::mouseClick(w->CmdMztc, Qt::LeftButton);
        else
            w->close();
        QTRY_VERIFY(w.isNull());
        QCoreApplication::processEvents();
        QCOMPARE(switched, (QList<bool>{false, true}));
        QVERIFY(qh::ui::mainMenusEnabled());
        qh::ui::setMainMenuSwitch({});
    }

    // Every box and grid column of each tab is wide enough for what it holds at the default font.
    void everyTabWideEnough()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("HQ"), QStringLiteral("黄芪"), QStringLiteral("2.00"), QStringLiteral("钱"), QStringLiteral("补益药"));
        CaseRecord r = checkorder::goodCase();
        r.blbm = QStringLiteral("A0001");
        QVERIFY(!srnrJyhz(r));
        saveCase(test::OneAction().s(), r, QStringLiteral("管理员"));
        VisitRecord v = checkorder::goodVisit(QDate(2026, 12, 7), r.blbm);
        v.blkb = QStringLiteral("中医妇科");
        v.zdys = QStringLiteral("王医生");
        v.bzqk = QStringLiteral("咳嗽三日。");
        QVERIFY(!SrnrJyzd(v));
        saveVisit(test::OneAction().s(), v, QDate(2026, 12, 7));
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = open();
        clickNode(w, node(w, QStringLiteral("A0001")));
        QCOMPARE(w->MSFGrid->rowCount(), 1);
        QCOMPARE(test::narrowControls(w), QStringList());
        QCOMPARE(w->MSFGrid->horizontalScrollBar()->maximum(), 0);

        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        w->TxtStb1_1->setText(QStringLiteral("王医生"));
        QCOMPARE(w->SSTab1->currentIndex(), 1);
        QCOMPARE(test::narrowControls(w), QStringList());
        QTest::mouseClick(w->CmdCkba, Qt::LeftButton);

        QTest::mouseClick(w->CmdZdxd, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 2);
        QCOMPARE(test::narrowControls(w), QStringList());
        delete w;
    }

    void registration()
    {
        test::TempClinic clinic;
        cui::registerOutpatientWindow();
        auto factory = qh::ui::taskWindowFactory(QStringLiteral("sad"));
        QVERIFY(factory);
        QWidget *first = factory();
        QCOMPARE(factory(), first);
        QCOMPARE(first->objectName(), QStringLiteral("FrmZymz"));
        delete first;
    }
};

QTEST_MAIN(TstFrmZymzWindow)
#include "tst_frmzymz_window.moc"
