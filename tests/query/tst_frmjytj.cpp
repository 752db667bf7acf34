// The statistics window driven offscreen: the months typed with Enter, the refusals and the
// focus, a run, the workbook with its charts, the printed page as a PDF, and its menu item.
#include "../clinic/printfixtures.h"
#include "../core/tst_spreadsheet.h"
#include "core/modutarnxt.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/taskwindows.h"
#include "query/statisticsreport.h"
#include "query/ui/FrmJytj.h"
#include "query/ui/chartview.h"
#include "stock/posting.h"
#include "testsupport.h"
#include "widths.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace qh;
using qh::query::ui::FrmJytj;

namespace {

void activate(QWidget *w)
{
    w->show();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
}

void enter(QWidget *w) { QTest::keyClick(w, Qt::Key_Return); }

void typeMonth(QLineEdit *box, const char *digits)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QString::fromLatin1(digits));
}

// Visits of three patients and dispensings of two herbs in March and April 2024.
void fill(test::TempClinic &clinic)
{
    clinic.addStatusRow(QStringLiteral("青禾中医诊所"));
    auto s = clinic.open();
    const auto visit = [&s](const char *blbm, const char *when, const char *doctor) {
        s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, zdys) values(?, '内科', ?, ?)"), QString::fromLatin1(blbm),
               QString::fromLatin1(when), QString::fromUtf8(doctor));
    };
    visit("000001", "2024-03-05 09:00:00", "李明德");
    visit("000002", "2024-03-06 09:00:00", "王淑华");
    visit("000001", "2024-04-02 09:00:00", "李明德");
    visit("000003", "2024-04-30 17:00:00", "李明德");
    const auto dispense = [&s](const char *when, const char *herb, const char *amount) {
        s.exec(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, blhm, blks, rksl, rkje, cksl, ckje, xsje) "
                              "values(?, ?, ?, '000001', '内科', 0, 0, ?, 0, ?)"),
               QString::fromLatin1(when), QString::fromUtf8(herb), stock::SummaryDispensing, Money::fromInt(9),
               *Money::parse(QString::fromLatin1(amount)));
    };
    dispense("2024-03-05 09:30:00", "甘草", "12.50");
    dispense("2024-03-06 09:30:00", "黄芪", "30.01");
    dispense("2024-04-02 09:30:00", "甘草", "7.49");
}

} // namespace

class TstFrmJytj : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_docs.reset(new QTemporaryDir);
        Modutarnxt::setDocumentsPath(m_docs->path());
    }
    void cleanup() { Modutarnxt::setDocumentsPath(QString()); }

    // Enter in each box checks it and moves on; a refusal keeps the focus with the month selected.
    void enterChecksEachBox_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message"); // "" none
        QTest::addColumn<QString>("focus");
        QTest::newRow("both good") << "202403" << "202404" << "" << "CmdSeek";
        QTest::newRow("from month 13") << "202413" << "202404" << "起始月份输入错误" << "MasQsyf";
        QTest::newRow("from unfilled") << "2024" << "202404" << "起始月份输入错误" << "MasQsyf";
        QTest::newRow("to month 0") << "202403" << "202400" << "截止月份输入错误" << "MasJsyf";
    }
    void enterChecksEachBox()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        test::TempClinic clinic;
        test::RecordingMessages rec;
        FrmJytj w;
        activate(&w);
        QCOMPARE(QApplication::focusWidget(), w.MasQsyf);
        typeMonth(w.MasQsyf, from.toLatin1().constData());
        enter(w.MasQsyf);
        if (QApplication::focusWidget() == w.MasJsyf) {
            QCOMPARE(w.MasJsyf->selectedText().size(), 7);
            typeMonth(w.MasJsyf, to.toLatin1().constData());
            enter(w.MasJsyf);
        }
        QCOMPARE(rec.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        if (focus != QLatin1String("CmdSeek"))
            QCOMPARE(static_cast<QLineEdit *>(QApplication::focusWidget())->selectedText().size(), 7);
    }

    // The run refuses before it reads anything: the order of the months, the span.
    void runRefusesTheRange_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("to before from") << "202405" << "202404" << "截止月份不能早于起始月份" << "MasJsyf";
        QTest::newRow("over 240 months") << "200001" << "202404" << "统计范围不能超过240个月" << "MasQsyf";
        QTest::newRow("bad to") << "202401" << "2024" << "截止月份输入错误" << "MasJsyf";
    }
    void runRefusesTheRange()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        FrmJytj w;
        activate(&w);
        typeMonth(w.MasQsyf, from.toLatin1().constData());
        typeMonth(w.MasJsyf, to.toLatin1().constData());
        w.CmdSeek->click();
        QCOMPARE(rec.texts(), QStringList{message});
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QVERIFY(!w.figures());
        QVERIFY(!w.CmdExpo->isEnabled() && !w.CmdPrin->isEnabled());
    }

    void runExportPrint()
    {
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        clinic::printtest::RecordingDesktop desktop;
        FrmJytj w;
        activate(&w);
        QCOMPARE(w.windowTitle(), QStringLiteral("经营统计"));
        const auto defaults = query::statistics::Qpcls(QDate::currentDate());
        QCOMPARE(w.MasQsyf->displayText(), defaults.from);
        QCOMPARE(w.MasJsyf->displayText(), defaults.to);
        QVERIFY(!w.CmdExpo->isEnabled() && !w.CmdPrin->isEnabled());

        typeMonth(w.MasQsyf, "202403");
        enter(w.MasQsyf);
        QTest::keyClicks(w.MasJsyf, QStringLiteral("202405"));
        enter(w.MasJsyf);
        QCOMPARE(QApplication::focusWidget(), w.CmdSeek);
        enter(w.CmdSeek);
        QVERIFY(rec.texts().isEmpty());
        QVERIFY(w.figures());
        QCOMPARE(w.figures()->visits(), 4);
        QVERIFY(w.LabTjjg->text().contains(QStringLiteral("处方收入50.00元")));

        // The monthly table: three months and the totals.
        QCOMPARE(w.MSFGridYdtj->rowCount(), 4);
        const auto cell = [](QTableWidget *g, int r, int c) { return g->item(r, c)->text(); };
        QCOMPARE((QStringList{cell(w.MSFGridYdtj, 0, 0), cell(w.MSFGridYdtj, 0, 1), cell(w.MSFGridYdtj, 0, 3), cell(w.MSFGridYdtj, 0, 5)}),
                 (QStringList{"2024-03", "2", "2", "42.51"}));
        QCOMPARE((QStringList{cell(w.MSFGridYdtj, 1, 2), cell(w.MSFGridYdtj, 1, 3), cell(w.MSFGridYdtj, 1, 4)}),
                 (QStringList{"2", "1", "1"}));
        QCOMPARE(cell(w.MSFGridYdtj, 3, 0), QStringLiteral("合计"));
        QCOMPARE(cell(w.MSFGridYdtj, 3, 5), QStringLiteral("50.00"));
        QCOMPARE(cell(w.MSFGridYdtj, 1, 6), QStringLiteral("未结帐"));
        // Doctors, departments, herbs.
        QCOMPARE(w.MSFGridYstj->rowCount(), 2);
        QCOMPARE(cell(w.MSFGridYstj, 0, 0), QStringLiteral("李明德"));
        QCOMPARE(cell(w.MSFGridYstj, 0, 2), QStringLiteral("75.0%"));
        QCOMPARE(cell(w.MSFGridYcph, 0, 1), QStringLiteral("黄芪"));
        w.OptCksl->click();
        QCOMPARE(cell(w.MSFGridYcph, 0, 1), QStringLiteral("甘草"));
        QCOMPARE(cell(w.MSFGridYcph, 0, 2), QStringLiteral("18.00"));
        w.OptCkcb->click();
        QCOMPARE(w.MSFGridYcph->rowCount(), 0); // nothing closed yet

        // The charts as shown: the value under the pointer.
        w.SSTab1->setCurrentIndex(0);
        QApplication::processEvents();
        w.ChtCfsr->repaint();
        const auto &marks = w.ChtCfsr->layout().marks;
        QCOMPARE(int(marks.size()), 3);
        QCOMPARE(w.ChtCfsr->hoverText(marks[0].box.center().toPoint()), QStringLiteral("2024-03：43"));
        QVERIFY(w.ChtCfsr->hoverText(QPoint(1, 1)).isEmpty());
        const QStringList narrow = test::narrowControls(&w);
        QVERIFY2(narrow.isEmpty(), qPrintable(narrow.join(u'\n')));
        // QINGHE_SCREENSHOTS=<folder>: the window's tabs as drawn.
        if (const QString shots = qEnvironmentVariable("QINGHE_SCREENSHOTS"); !shots.isEmpty())
            for (int t = 0; t < w.SSTab1->count(); ++t) {
                w.SSTab1->setCurrentIndex(t);
                w.grab().save(QDir(shots).filePath(QStringLiteral("FrmJytj-%1.png").arg(t)));
            }

        // The workbook: the tables, and a chart beside them.
        w.CmdExpo->click();
        const QString book = QDir(m_docs->path()).filePath(QStringLiteral("2024-03 至 2024-05经营统计表.xlsx"));
        QCOMPARE(rec.last(), QStringLiteral("经营统计表已经存放在我的文档中，请查收：\r\n2024-03 至 2024-05经营统计表.xlsx"));
        const test::XlsxSheet x = test::readXlsx(book);
        QVERIFY(x.ok);
        QCOMPARE(x.text(QStringLiteral("A6")), QStringLiteral("2024-03"));
        QCOMPARE(x.number(QStringLiteral("F6")), 42.51);
        QCOMPARE(x.text(QStringLiteral("A9")), QStringLiteral("合计"));
        QCOMPARE(x.number(QStringLiteral("F9")), 50.0);
        const QByteArray chart = test::unzipPart(book, QStringLiteral("xl/charts/chart1.xml"));
        QVERIFY(chart.contains("Sheet1!$D$6:$D$8"));
        QVERIFY(chart.contains("<c:grouping val=\"stacked\"/>"));

        // The page, without a printer: the PDF, opened, its place told.
        rec.clear();
        w.CmdPrin->click();
        const QString pdf = QDir(m_docs->path()).filePath(QStringLiteral("经营统计-2024-03至2024-05.pdf"));
        QVERIFY(QFileInfo(pdf).size() > 1000);
        QCOMPARE(desktop.opened, QStringList{pdf});
        QCOMPARE(rec.texts(), QStringList{clinic::pdfNotice(QStringLiteral("经营统计"), pdf, true)});
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5) == "%PDF-");

        // Clearing: the figures and the views emptied, the defaults back.
        w.CmdQcls->click();
        QVERIFY(!w.figures());
        QCOMPARE(w.MSFGridYdtj->rowCount(), 0);
        QCOMPARE(w.MasQsyf->displayText(), defaults.from);
        QCOMPARE(QApplication::focusWidget(), w.MasQsyf);
    }

    void emptyMonthsAreTold()
    {
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        FrmJytj w;
        activate(&w);
        typeMonth(w.MasQsyf, "201001");
        typeMonth(w.MasJsyf, "201012");
        w.CmdSeek->click();
        QCOMPARE(rec.texts(), QStringList{query::statistics::noDataMessage()});
        QCOMPARE(w.MSFGridYdtj->rowCount(), 13);
    }

    // The item is the last of "数据资料查询", after a separator, and opens this window.
    void theMenuItem()
    {
        test::TempClinic clinic;
        query::ui::registerStatisticsWindow();
        ui::MDIFtarn main;
        auto *menu = main.findChild<QMenu *>(QStringLiteral("zycxll"));
        QVERIFY(menu);
        const QList<QAction *> items = menu->actions();
        QVERIFY(items.size() >= 3);
        // The last two items after one separator: the follow-ups, then the statistics.
        QCOMPARE(items.back()->objectName(), QStringLiteral("Jytj"));
        QCOMPARE(items.back()->text(), QStringLiteral("经营统计"));
        QCOMPARE(items[items.size() - 2]->objectName(), QStringLiteral("Fzsf"));
        QVERIFY(items[items.size() - 3]->isSeparator());
        main.show();
        main.runItem(QStringLiteral("Jytj"));
        auto *w = main.findChild<FrmJytj *>();
        QVERIFY(w);
        QVERIFY(!ui::mainMenusEnabled());
        w->CmdExit->click();
        QTRY_VERIFY(ui::mainMenusEnabled());
    }

private:
    std::unique_ptr<QTemporaryDir> m_docs;
};

QTEST_MAIN(TstFrmJytj)
#include "tst_frmjytj.moc"
