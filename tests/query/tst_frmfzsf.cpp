// The follow-up worklist driven as a user does: the counts and the groups, the range boxes with
// Enter, a row opened with Enter and with a double click in the outpatient window, the list read
// again after a visit was saved there, the print and the workbook.
#include "../clinic/printfixtures.h"
#include "../core/tst_spreadsheet.h"
#include "base/clock.h"
#include "base/textutil.h"
#include "clinic/ui/FrmZymz.h"
#include "clinic/ui/entryboxes.h"
#include "core/modutarnxt.h"
#include "core/spreadsheet.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "query/ui/FrmFzsf.h"
#include "testsupport.h"
#include "windowdriving.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "followupfixtures.h"

using namespace qh;
using namespace qh::query;
using qh::clinic::ui::FrmZymz;
using qh::query::ui::FrmFzsf;
namespace fx = qh::query::followup;

namespace {

QDate day(const char *text) { return *parseDateText(QString::fromLatin1(text)); }

QString focusName() { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(); }

QStringList caseNumbers(const FrmFzsf *w)
{
    QStringList l;
    for (const FollowUpRow &r : w->rows())
        l << r.blbm;
    return l;
}

// Today 2024-02-29 (a Thursday): due today 000001; this week also 000002 (Monday, not seen
// since) and 000003 (Sunday 03-03); overdue 000002 and 000004 (02-10); 000005 was due 02-20 and
// came back on 02-21; 000006 is due 03-12.
void fillClinic(db::Session &s)
{
    const char *names[] = {"张三", "李四", "王五", "赵六", "钱七", "孙八"};
    for (int i = 0; i < 6; ++i)
        fx::addPatient(s, QStringLiteral("00000%1").arg(i + 1), QString::fromUtf8(names[i]), QStringLiteral("男"), 30 + i,
                       QStringLiteral("1380000000%1").arg(i + 1));
    const QDateTime set(day("2024-02-05"), QTime(9, 0));
    fx::addFollowUp(s, QStringLiteral("000001"), QStringLiteral("内科"), set, day("2024-02-29"), QStringLiteral("疏风解表"));
    fx::addFollowUp(s, QStringLiteral("000002"), QStringLiteral("妇科"), set, day("2024-02-26"));
    fx::addFollowUp(s, QStringLiteral("000003"), QStringLiteral("内科"), set, day("2024-03-03"));
    fx::addFollowUp(s, QStringLiteral("000004"), QStringLiteral("儿科"), set, day("2024-02-10"));
    fx::addFollowUp(s, QStringLiteral("000005"), QStringLiteral("内科"), set, day("2024-02-20"));
    fx::addVisit(s, QStringLiteral("000005"), QStringLiteral("针灸科"), QDateTime(day("2024-02-21"), QTime(15, 0)));
    fx::addFollowUp(s, QStringLiteral("000006"), QStringLiteral("内科"), set, day("2024-03-12"));
}

// A masked date box emptied and typed as the keyboard does.
void typeDate(QLineEdit *box, const QString &digits)
{
    box->setFocus();
    box->setText(QString());
    box->setCursorPosition(0);
    QTest::keyClicks(box, digits);
}

void enter(QWidget *w) { QTest::keyClick(w, Qt::Key_Return); }

QPoint cellCentre(QTableView *grid, int row)
{
    return grid->visualRect(grid->model()->index(row, 1)).center();
}

} // namespace

class TstFrmFzsf : public QObject {
    Q_OBJECT

    FrmFzsf *open()
    {
        auto *w = new FrmFzsf;
        test::showActive(w);
        return w;
    }

    std::unique_ptr<QTemporaryDir> m_documents; // where the PDFs and workbooks go

private slots:
    void init()
    {
        clock::setToday(day("2024-02-29"));
        m_documents = std::make_unique<QTemporaryDir>();
        Modutarnxt::setDocumentsPath(m_documents->path());
    }
    void cleanup()
    {
        Modutarnxt::setDocumentsPath(QString());
        m_documents.reset();
        clock::setToday(QDate());
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible())
                w->close();
        QCoreApplication::processEvents();
    }

    void countsAndGroups_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QStringList>("cases");
        QTest::addColumn<QString>("listed");
        QTest::newRow("today") << "OptJrfz" << QStringList{"000001"} << "今日 2024-02-29：共 1 条";
        QTest::newRow("this week") << "OptBzfz" << QStringList{"000002", "000001", "000003"}
                                   << "本周 2024-02-26 至 2024-03-03：共 3 条";
        QTest::newRow("overdue") << "OptYqfz" << QStringList{"000004", "000002"} << "逾期（2024-02-29 以前）：共 2 条";
        QTest::newRow("the month of the range boxes") << "OptSjfz"
                                                      << QStringList{"000004", "000005", "000002", "000001"}
                                                      << "2024-02-01 至 2024-02-29：共 4 条";
    }
    void countsAndGroups()
    {
        QFETCH(QString, option);
        QFETCH(QStringList, cases);
        QFETCH(QString, listed);
        test::TempClinic clinic;
        test::RecordingMessages rec;
        {
            auto s = clinic.open();
            fillClinic(s);
        }
        QPointer<FrmFzsf> w = open();
        QCOMPARE(w->LabTjsl->text(), QStringLiteral("今日 1　本周 3　逾期 2"));
        QCOMPARE(w->MasQssj->text(), QStringLiteral("2024-02-01"));
        QCOMPARE(w->MasJssj->text(), QStringLiteral("2024-02-29"));
        QVERIFY(w->OptJrfz->isChecked());
        QCOMPARE(caseNumbers(w), QStringList{QStringLiteral("000001")});
        QTest::mouseClick(w->findChild<QRadioButton *>(option), Qt::LeftButton);
        QCOMPARE(caseNumbers(w), cases);
        QCOMPARE(w->LabJlsl->text(), listed);
        QCOMPARE(w->LabTjsl->text(), QStringLiteral("今日 1　本周 3　逾期 2"));
        QVERIFY(rec.shown.empty());
        // What the grid shows of a row: the cells of the logic, the state included.
        auto *model = w->MSFGridFzsf->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            const FollowUpRow &row = w->rows()[size_t(r)];
            QCOMPARE(model->index(r, 1).data().toString(), row.blbm);
            QCOMPARE(model->index(r, 9).data().toString(), FollowUps::stateText(row, day("2024-02-29")));
        }
        delete w;
    }

    void rangeBoxesWithEnter_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QStringList>("cases");
        QTest::newRow("across the month end") << "20240226" << "20240303" << "" << "MSFGridFzsf"
                                              << QStringList{"000002", "000001", "000003"};
        QTest::newRow("one day") << "20240312" << "20240312" << "" << "MSFGridFzsf" << QStringList{"000006"};
        QTest::newRow("no follow-up") << "20240101" << "20240131" << "没有符合查询条件的复诊资料" << "MasQssj" << QStringList{};
        QTest::newRow("no 30 February") << "20240230" << "" << "查询起始时间输入错误" << "MasQssj" << QStringList{"000001"};
        QTest::newRow("end before start") << "20240301" << "20240229" << "截止时间不能小于起始时间" << "MasJssj"
                                          << QStringList{"000001"};
        QTest::newRow("end impossible") << "20240301" << "20241301" << "查询截止时间输入错误" << "MasJssj"
                                        << QStringList{"000001"};
    }
    void rangeBoxesWithEnter()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(QStringList, cases);
        test::TempClinic clinic;
        test::RecordingMessages rec;
        {
            auto s = clinic.open();
            fillClinic(s);
        }
        QPointer<FrmFzsf> w = open();
        typeDate(w->MasQssj, start);
        enter(w->MasQssj);
        if (end.isEmpty()) {
            QCOMPARE(rec.last(), message);
        } else {
            QVERIFY(rec.shown.empty());
            QCOMPARE(focusName(), QStringLiteral("MasJssj"));
            typeDate(w->MasJssj, end);
            enter(w->MasJssj);
            QCOMPARE(rec.last(), message);
        }
        QCOMPARE(focusName(), focus);
        QCOMPARE(caseNumbers(w), cases);
        if (!message.isEmpty()) {
            QCOMPARE(rec.shown.size(), size_t(1));
            auto *box = static_cast<QLineEdit *>(QApplication::focusWidget());
            QCOMPARE(box->selectedText(), box->text()); // reselected for retyping
        } else {
            QVERIFY(w->OptSjfz->isChecked());
            QCOMPARE(w->MSFGridFzsf->currentIndex().row(), 0);
        }
        // A partly typed date does nothing on Enter.
        rec.clear();
        typeDate(w->MasQssj, QStringLiteral("2024"));
        enter(w->MasQssj);
        QVERIFY(rec.shown.empty());
        QCOMPARE(focusName(), QStringLiteral("MasQssj"));
        delete w;
    }

    // Enter on a row, and a double click on another, show the patient in the outpatient window as
    // a click on the case in its tree does: the node chosen and focused, the record and the
    // visits.
    void rowOpensThePatient()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        {
            auto s = clinic.open();
            fillClinic(s);
            fx::addVisit(s, QStringLiteral("000002"), QStringLiteral("内科"), QDateTime(day("2024-01-15"), QTime(10, 0)));
        }
        QPointer<FrmFzsf> w = open();
        QTest::mouseClick(w->OptYqfz, Qt::LeftButton);
        QCOMPARE(caseNumbers(w), (QStringList{"000004", "000002"}));
        w->MSFGridFzsf->setFocus();
        w->MSFGridFzsf->setCurrentIndex(w->MSFGridFzsf->model()->index(1, 0));
        enter(w->MSFGridFzsf);
        QPointer<FrmZymz> z = qh::ui::singleWindow<FrmZymz>();
        QVERIFY(z->isVisible());
        QVERIFY(rec.shown.empty());
        QCOMPARE(z->SSTab1->currentIndex(), 0);
        QCOMPARE(z->TxtBlbh->text(), QStringLiteral("000002"));
        QCOMPARE(z->TxtHzxm->text(), QStringLiteral("李四"));
        QCOMPARE(z->TxtTele->text(), QStringLiteral("13800000002"));
        QCOMPARE(z->MSFGrid->rowCount(), 2);
        QCOMPARE(z->MSFGrid->item(1, 1)->text(), QStringLiteral("妇科")); // the visit that set the follow-up
        QCOMPARE(z->TreeView1->currentItem()->text(0), QStringLiteral("000002"));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(z->TreeView1));

        // From the diagnosis tab a double click brings the register back with the other case.
        QTest::mouseClick(z->CmdMzzd, Qt::LeftButton);
        QCOMPARE(z->SSTab1->currentIndex(), 1);
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::mouseClick(w->MSFGridFzsf->viewport(), Qt::LeftButton, {}, cellCentre(w->MSFGridFzsf, 0));
        QCOMPARE(z->SSTab1->currentIndex(), 1); // one click only chooses the row
        QTest::mouseDClick(w->MSFGridFzsf->viewport(), Qt::LeftButton, {}, cellCentre(w->MSFGridFzsf, 0));
        QCOMPARE(z->SSTab1->currentIndex(), 0);
        QVERIFY(z->CmdZdzl->isHidden()); // the diagnosis left as its 返回首页 leaves it
        QCOMPARE(z->TxtBlbh->text(), QStringLiteral("000004"));
        QCOMPARE(z->TxtHzxm->text(), QStringLiteral("赵六"));
        QCOMPARE(z->MSFGrid->rowCount(), 1);
        QCOMPARE(z->TreeView1->currentItem()->text(0), QStringLiteral("000004"));
        QVERIFY(rec.shown.empty());

        // A case without a patient record: the tree click's own message.
        {
            auto s = clinic.open();
            s.exec(QStringLiteral("delete from hzblzl where blbm = '000004'"));
        }
        w->MSFGridFzsf->setFocus();
        enter(w->MSFGridFzsf);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("病历号 000004 属于新的患者资料")});
        delete z;
        delete w;
    }

    // In the main area: a visit saved in the outpatient window the worklist opened takes the
    // follow-up off the overdue list as soon as the worklist is back; the menus stay off until
    // the worklist is left too.
    void savedVisitLeavesTheOverdueList()
    {
        clock::setToday(QDate()); // the outpatient window dates its visit by the system's day
        const QDate today = clock::today();
        test::TempClinic clinic;
        test::RecordingMessages rec;
        {
            auto s = clinic.open();
            fx::addPatient(s, QStringLiteral("000001"), QStringLiteral("张三"));
            fx::addPatient(s, QStringLiteral("000002"), QStringLiteral("李四"));
            fx::addFollowUp(s, QStringLiteral("000001"), QStringLiteral("内科"), QDateTime(today.addDays(-20), QTime(9, 0)),
                            today.addDays(-13));
            fx::addFollowUp(s, QStringLiteral("000002"), QStringLiteral("内科"), QDateTime(today.addDays(-9), QTime(9, 0)),
                            today.addDays(-2));
        }
        clinic::ui::registerOutpatientWindow();
        query::ui::registerFollowUpWindow();
        qh::ui::MDIFtarn main;
        main.show();
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        qh::ui::EnableMainMenus();
        main.runItem(QStringLiteral("Fzsf"));
        QPointer<FrmFzsf> w = qobject_cast<FrmFzsf *>(main.area()->activeSubWindow()->widget());
        QVERIFY(w);
        QVERIFY(!qh::ui::mainMenusEnabled());
        QTest::mouseClick(w->OptYqfz, Qt::LeftButton);
        QCOMPARE(caseNumbers(w), (QStringList{"000001", "000002"}));
        QVERIFY(w->LabTjsl->text().endsWith(QStringLiteral("逾期 2")));

        w->MSFGridFzsf->setFocus();
        enter(w->MSFGridFzsf); // the first row
        QPointer<FrmZymz> z = qobject_cast<FrmZymz *>(main.area()->activeSubWindow()->widget());
        QVERIFY(z);
        QCOMPARE(z->TxtBlbh->text(), QStringLiteral("000001"));
        const int reads = w->reads();

        // A new visit of the case, entered and saved as the doctor does.
        QTest::mouseClick(z->CmdMzzd, Qt::LeftButton);
        z->CboZdks->setCurrentText(QStringLiteral("内科"));
        z->TxtStb1_1->setText(QStringLiteral("王医生"));
        z->TxtStb1_3->setText(QStringLiteral("疏风解表"));
        z->TxtStb1_4->setText(QStringLiteral("麻黄10克，"));
        rec.clear();
        QTest::mouseClick(z->CmdZdzl, Qt::LeftButton);
        QCOMPARE(rec.last(), clinic::visitSavedMessage());
        QCOMPARE(w->reads(), reads); // nothing read while the outpatient window is in front

        // Leaving the outpatient window brings the worklist back, read again.
        QTest::mouseClick(z->CmdMztc, Qt::LeftButton);
        QTRY_VERIFY(!z);
        QCOMPARE(main.area()->activeSubWindow()->widget(), static_cast<QWidget *>(w));
        QCOMPARE(w->reads(), reads + 1);
        QVERIFY(w->OptYqfz->isChecked());
        QCOMPARE(caseNumbers(w), QStringList{QStringLiteral("000002")});
        QVERIFY(w->LabTjsl->text().endsWith(QStringLiteral("逾期 1")));
        QVERIFY(!qh::ui::mainMenusEnabled()); // the worklist is still open

        // Leaving the worklist while the outpatient window it opened is open: the menus come
        // back only with the last of the two.
        w->MSFGridFzsf->setFocus();
        enter(w->MSFGridFzsf);
        z = qobject_cast<FrmZymz *>(main.area()->activeSubWindow()->widget());
        QVERIFY(z);
        main.area()->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(w->parentWidget()));
        QTest::mouseClick(w->CmdExit, Qt::LeftButton);
        QTRY_VERIFY(!w);
        QVERIFY(!qh::ui::mainMenusEnabled());
        QTest::mouseClick(z->CmdMztc, Qt::LeftButton);
        QTRY_VERIFY(!z);
        QVERIFY(qh::ui::mainMenusEnabled());
    }

    // An empty list is neither printed nor written.
    void emptyListIsNotPrinted()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        clinic::printtest::RecordingDesktop desktop;
        QPointer<FrmFzsf> w = open();
        QCOMPARE(w->LabTjsl->text(), QStringLiteral("今日 0　本周 0　逾期 0"));
        QTest::mouseClick(w->CmdPrin, Qt::LeftButton);
        QTest::mouseClick(w->CmdBgsc, Qt::LeftButton);
        QCOMPARE(rec.texts(), (QStringList{FollowUps::nothingToPrintMessage(), FollowUps::nothingToPrintMessage()}));
        QVERIFY(desktop.opened.isEmpty());
        QVERIFY(QDir(Modutarnxt::documentsPath()).entryList(QDir::Files).isEmpty());
        delete w;
    }

    // The list printed (no printer: the PDF, its place told) and written as a workbook.
    void printAndWorkbook()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("青禾诊所"));
        test::RecordingMessages rec;
        clinic::printtest::RecordingDesktop desktop;
        {
            auto s = clinic.open();
            fillClinic(s);
        }
        QPointer<FrmFzsf> w = open();
        QTest::mouseClick(w->OptBzfz, Qt::LeftButton);
        QTest::mouseClick(w->CmdPrin, Qt::LeftButton);
        const QString pdf = QDir(Modutarnxt::documentsPath()).filePath(QStringLiteral("复诊随访表-本周 2024-02-26 至 2024-03-03.pdf"));
        QCOMPARE(rec.texts(), QStringList{clinic::pdfNotice(FollowUps::printTitle(), pdf, true)});
        QCOMPARE(desktop.opened, QStringList{pdf});
        QProcess p;
        p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY(text.contains(QStringLiteral("青禾诊所复诊随访表")));
        for (const char *line : {"000002\\s+李四\\s+13800000002\\s+2024-02-26", "000001\\s+张三\\s+13800000001\\s+2024-02-29",
                                 "000003\\s+王五\\s+13800000003\\s+2024-03-03"})
            QVERIFY2(text.contains(QRegularExpression(QString::fromUtf8(line))), line);
        QVERIFY(text.indexOf(QStringLiteral("000002")) < text.indexOf(QStringLiteral("000001")));

        rec.clear();
        QTest::mouseClick(w->CmdBgsc, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{FollowUps::workbookWrittenMessage()});
        const test::XlsxSheet x =
            test::readXlsx(documentFilePath(QStringLiteral("复诊随访表-本周 2024-02-26 至 2024-03-03")));
        QVERIFY(x.ok);
        QCOMPARE(x.text(QStringLiteral("B3")), QStringLiteral("000002"));
        QCOMPARE(x.text(QStringLiteral("J3")), QStringLiteral("逾期"));
        QCOMPARE(x.text(QStringLiteral("B5")), QStringLiteral("000003"));
        QVERIFY(!x.has(QStringLiteral("B6")));
        delete w;
    }

    void helpShowsItsTopic()
    {
        test::TempClinic clinic;
        QPointer<FrmFzsf> w = open();
        QTest::mouseClick(w->CmdHelp, Qt::LeftButton);
        QCOMPARE(Modutarnxt::HelpTopic, QStringLiteral("FZSF"));
        QVERIFY(!w->isEnabled());
        delete w;
    }
};

QTEST_MAIN(TstFrmFzsf)
#include "tst_frmfzsf.moc"
