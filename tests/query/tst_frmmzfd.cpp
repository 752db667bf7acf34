// The record query window driven as a user does: Enter moves, the age and date boxes, a search,
// a click on a result, the two detail tabs and the four print commands.
#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/Frmjdys.h"
#include "core/ui/uikit.h"
#include "query/ui/FrmMzfd.h"
#include "query/ui/visitmodel.h"
#include "testsupport.h"
#include "windowdriving.h"
#include "widths.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "../clinic/printfixtures.h"
#include "queryfixtures.h"

using namespace qh;
using namespace qh::query;
using qh::query::ui::FrmMzfd;

class TstFrmMzfd : public QObject {
    Q_OBJECT

    FrmMzfd *open()
    {
        auto *w = new FrmMzfd;
        test::showActive(w);
        return w;
    }

    // Types as a keyboard or an input method does (one key event a character).
    static void keys(QWidget *box, const QString &text) { test::typeKeys(box, text); }
    static void type(QWidget *box, const QString &text)
    {
        box->setFocus();
        if (auto *e = qobject_cast<QLineEdit *>(box))
            e->selectAll();
        keys(box, text);
    }
    static void enter(QWidget *box) { QTest::keyClick(box, Qt::Key_Return); }
    static QPoint cellCentre(QTableView *grid, int row, int col)
    {
        return grid->visualRect(grid->model()->index(row, col)).center();
    }

private slots:
    void enterChain_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("next");
        const char *chain[][3] = {{"TxtBlhm", "0001", "TxtZlcs"}, {"TxtZlcs", "内科", "TxtZlys"},
                                  {"TxtZlys", "李", "TxtBzmc"},     {"TxtBzmc", "咳嗽", "TxtHzxm"},
                                  {"TxtHzxm", "张", "TxtHznl"},     {"TxtHznl", "1", "TxtHzln"},
                                  {"TxtHzln", "9", "TxtZlfa"},      {"TxtZlfa", "解表", "TxtZlaf"},
                                  {"TxtZlaf", "", "TxtZlcf"},       {"TxtZlcf", "麻黄", "TxtZlfc"},
                                  {"TxtZlfc", "", "CboHyqk"},       {"CboHyqk", "", "CmdSeek"},
                                  {"CboHzxb", "女", "TxtHznl"},     {"MasQssj", "20240301", "MasJssj"},
                                  {"MasJssj", "20240331", "TxtBlhm"}};
        for (const auto &c : chain)
            QTest::newRow(c[0]) << QString::fromLatin1(c[0]) << QString::fromUtf8(c[1]) << QString::fromLatin1(c[2]);
    }
    void enterChain()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, next);
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QPointer<FrmMzfd> w = open();
        auto *from = w->findChild<QWidget *>(box);
        QVERIFY(from);
        type(from, typed);
        enter(from);
        QVERIFY(rec.shown.empty());
        QCOMPARE(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(), next);
        // The next box's whole text is selected, so typing replaces it.
        if (auto *e = qobject_cast<QLineEdit *>(QApplication::focusWidget()); e && !e->text().isEmpty())
            QCOMPARE(e->selectedText(), e->text());
        delete w;
    }

    void ageBoxes()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QPointer<FrmMzfd> w = open();
        QCOMPARE(w->TxtHznl->text(), QStringLiteral("0"));
        QCOMPARE(w->TxtHzln->text(), QStringLiteral("99"));
        // Digits only; Backspace and letters are discarded.
        type(w->TxtHznl, QStringLiteral("1a2"));
        QCOMPARE(w->TxtHznl->text(), QStringLiteral("12"));
        QTest::keyClick(w->TxtHznl, Qt::Key_Backspace);
        QTest::keyClicks(w->TxtHznl, QStringLiteral("-x "));
        QCOMPARE(w->TxtHznl->text(), QStringLiteral("12"));
        // Enter in an empty TxtHznl puts "0" there.
        w->TxtHznl->clear();
        enter(w->TxtHznl);
        QCOMPARE(w->TxtHznl->text(), QStringLiteral("0"));
        QCOMPARE(QApplication::focusWidget(), w->TxtHzln);
        // TxtHzln: empty, then below the start; the focus stays.
        w->TxtHzln->clear();
        enter(w->TxtHzln);
        QCOMPARE(rec.last(), QStringLiteral("请输入年龄时间段"));
        QCOMPARE(rec.shown.back().title, QString());
        QCOMPARE(QApplication::focusWidget(), w->TxtHzln);
        w->TxtHznl->setText(QStringLiteral("50"));
        type(w->TxtHzln, QStringLiteral("40"));
        enter(w->TxtHzln);
        QCOMPARE(rec.last(), QStringLiteral("年龄截止时间不能大于年龄起始时间"));
        QCOMPARE(QApplication::focusWidget(), w->TxtHzln);
        QCOMPARE(rec.shown.size(), size_t(2));
        delete w;
    }

    void dateBoxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString tomorrow = QDate::currentDate().addDays(1).toString(QStringLiteral("yyyyMMdd"));
        QTest::newRow("start partial: nothing") << "MasQssj" << "2024031" << "" << "MasQssj";
        QTest::newRow("start impossible") << "MasQssj" << "20240230" << "查询起始时间输入错误" << "MasQssj";
        QTest::newRow("start after today") << "MasQssj" << tomorrow << "查询时间不能超过系统目前时间" << "MasQssj";
        QTest::newRow("end partial: nothing") << "MasJssj" << "2024" << "" << "MasJssj";
        QTest::newRow("end impossible") << "MasJssj" << "20241301" << "查询起截止间输入错误" << "MasJssj";
        QTest::newRow("end after today") << "MasJssj" << tomorrow << "" << "TxtBlhm";
    }
    void dateBoxes()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QPointer<FrmMzfd> w = open();
        auto *b = w->findChild<QLineEdit *>(box);
        b->setFocus();
        QApplication::processEvents(); // the queued selection of the ten places
        QCOMPARE(b->selectedText().size(), 10);
        b->setText(QString());
        b->setCursorPosition(0);
        QTest::keyClicks(b, typed);
        enter(b);
        QCOMPARE(rec.last(), message);
        QCOMPARE(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(), focus);
        if (!message.isEmpty())
            QCOMPARE(b->selectedText(), b->text()); // reselected for retyping
        delete w;
    }

    void searchOrderAndMessages_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("ageFrom");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("start") << "2024-02-30" << "2024-13-01" << "" << "起时时间错误" << "MasQssj";
        QTest::newRow("end") << "2024-02-01" << "2024-13-01" << "" << "截止时间错误" << "MasJssj";
        QTest::newRow("order") << "2024-03-02" << "2024-03-01" << "" << "截止时间不能小于起始时间" << "MasJssj";
        QTest::newRow("age") << "2024-03-01" << "2024-03-02" << "" << "患者年龄输入错误" << "TxtHznl";
        QTest::newRow("nothing found") << "2025-01-01" << "2025-01-31" << "0" << "没有符合查询条件的内容" << "CmdSeek";
    }
    void searchOrderAndMessages()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, ageFrom);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        test::TempClinic clinic;
        {
            auto s = clinic.open();
            query::fixture::fillClinic(s);
        }
        test::RecordingMessages rec;
        QPointer<FrmMzfd> w = open();
        w->MasQssj->setText(start);
        w->MasJssj->setText(end);
        w->TxtHznl->setText(ageFrom);
        w->CmdSeek->setFocus();
        QTest::keyClick(w->CmdSeek, Qt::Key_Space);
        QCOMPARE(rec.texts(), QStringList{message});
        QCOMPARE(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(), focus);
        QCOMPARE(w->model()->rowCount(), 0);
        QCOMPARE(w->LabJlsl->text(), QString());
        delete w;
    }

    // A doctor finds last month's visits with a symptom and a herb, opens one, checks both
    // tabs and prints all four documents.
    // The result grid shows the longest case numbers, departments, vital signs and doctors whole
    // ("BL2024…" was cut at 66 px): each column is at least as wide as its text and the margins.
    void gridColumnsFitTheirLongestValues_data()
    {
        QTest::addColumn<QString>("blbm");
        QTest::addColumn<QString>("dept");
        QTest::addColumn<QString>("pressure");
        QTest::addColumn<QString>("doctor");
        QTest::newRow("case number of 20") << "BL202405060012345678" << "内科" << "120/80" << "李明德";
        QTest::newRow("dated case number") << "BL20240506-0001" << "内科" << "120/80" << "李明德";
        QTest::newRow("long department") << "000001" << "中医针灸推拿康复科" << "120/80" << "李明德";
        QTest::newRow("pressure with unit") << "000001" << "内科" << "180/120mmHg" << "李明德";
        QTest::newRow("long doctor") << "000001" << "内科" << "120/80" << "欧阳慕容主任医师";
    }

    void gridColumnsFitTheirLongestValues()
    {
        QFETCH(QString, blbm);
        QFETCH(QString, dept);
        QFETCH(QString, pressure);
        QFETCH(QString, doctor);
        test::TempClinic clinic;
        {
            auto s = clinic.open();
            query::fixture::addPatient(s, blbm, QStringLiteral("张三"), QStringLiteral("男"), 30, QStringLiteral("已婚"));
            s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, zdys) "
                                  "values(?, ?, '2024-03-01 09:30:00', ?, 120, 30, '咳嗽', '宣肺', '杏仁9克', ?)"),
                   blbm, dept, pressure, doctor);
        }
        test::RecordingMessages rec;
        QPointer<FrmMzfd> w = open();
        w->MasQssj->setText(QStringLiteral("2024-01-01"));
        w->MasJssj->setText(QStringLiteral("2024-12-31"));
        QTest::mouseClick(w->CmdSeek, Qt::LeftButton);
        QVERIFY2(rec.shown.empty(), qPrintable(rec.texts().join(u'|')));
        QCOMPARE(w->model()->rowCount(), 1);
        QCOMPARE(w->model()->index(0, 0).data().toString(), blbm);
        QCOMPARE(test::narrowControls(w), QStringList());
        QVERIFY(w->MSFGridMzjl->columnWidth(0) >= 1000 / 15); // never narrower than its own width
        delete w;
    }

    void searchOpenAndPrint()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("青禾诊所"));
        {
            auto s = clinic.open();
            query::fixture::fillClinic(s);
        }
        QTemporaryDir out;
        Modutarnxt::setDocumentsPath(out.path());
        test::RecordingMessages rec;
        clinic::printtest::RecordingDesktop desktop;
        QPointer<FrmMzfd> w = open();

        type(w->MasQssj, QStringLiteral("20240301"));
        enter(w->MasQssj);
        QTest::keyClicks(w->MasJssj, QStringLiteral("20240331"));
        enter(w->MasJssj);
        QCOMPARE(QApplication::focusWidget(), w->TxtBlhm);
        for (QWidget *b : {w->TxtBlhm, w->TxtZlcs, w->TxtZlys})
            enter(b);
        keys(w->TxtBzmc, QStringLiteral("  咳嗽 "));
        for (QWidget *b : {static_cast<QWidget *>(w->TxtBzmc), static_cast<QWidget *>(w->TxtHzxm),
                           static_cast<QWidget *>(w->TxtHznl), static_cast<QWidget *>(w->TxtHzln),
                           static_cast<QWidget *>(w->TxtZlfa), static_cast<QWidget *>(w->TxtZlaf)})
            enter(b);
        QCOMPARE(QApplication::focusWidget(), w->TxtZlcf);
        keys(w->TxtZlcf, QStringLiteral("麻黄"));
        enter(w->TxtZlcf);
        enter(w->TxtZlfc);
        enter(w->CboHyqk);
        QCOMPARE(QApplication::focusWidget(), w->CmdSeek);
        QTest::keyClick(w->CmdSeek, Qt::Key_Space);
        QVERIFY2(rec.shown.empty(), qPrintable(rec.texts().join(u'|')));
        QCOMPARE(w->TxtBzmc->text(), QStringLiteral("咳嗽")); // trimmed in place
        QCOMPARE(w->LabJlsl->text(), QStringLiteral("符合查询条件的记录有 2 条"));
        QCOMPARE(w->model()->rowCount(), 2);
        QCOMPARE(w->model()->index(1, 2).data().toString(), QStringLiteral("2024-03-31"));
        QCOMPARE(w->model()->index(1, 9).data().toString(), QStringLiteral("李明德"));
        QCOMPARE(w->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("病历编号"));
        QCOMPARE(w->MSFGridMzjl->columnWidth(6), 2500 / 15);
        QCOMPARE(test::narrowControls(w), QStringList());

        // A click on the header row shows nothing.
        QTest::mouseClick(w->MSFGridMzjl->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(20, 5));
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        QTest::mouseClick(w->MSFGridMzjl->viewport(), Qt::LeftButton, {}, cellCentre(w->MSFGridMzjl, 1, 0));
        QCOMPARE(w->SSTab1->currentIndex(), 1);
        QCOMPARE(w->TxtBlbh->text(), QStringLiteral("000002"));
        QCOMPARE(w->TxtZdks->text(), QStringLiteral("妇科"));
        QCOMPARE(w->MasZdsj->text(), QStringLiteral("2024-03-31"));
        QCOMPARE(w->LabXy->text(), QStringLiteral("120/80"));
        QCOMPARE(w->LabMb->text(), QStringLiteral("72"));
        QCOMPARE(w->LabHx->text(), QStringLiteral("18"));
        QCOMPARE(w->TxtBscs->toPlainText(), QStringLiteral("咳嗽，痰多"));
        QCOMPARE(w->TxtZdcf->toPlainText(), QStringLiteral("桂枝6克，麻黄6克"));
        QCOMPARE(w->MasFzsj->text(), QStringLiteral("2024-05-20"));
        QCOMPARE(w->TxtZdys->text(), QStringLiteral("李明德"));
        QCOMPARE(w->TxtBlxm->text(), QStringLiteral("000002"));
        QCOMPARE(w->TxtHzmx->text(), QStringLiteral("李四"));
        QCOMPARE(w->TxtHzag->text(), QStringLiteral("20"));
        QCOMPARE(w->TxtHyqk->text(), QStringLiteral("未婚"));
        QCOMPARE(w->MasCzsj->text(), QStringLiteral("2023-05-06"));
        QCOMPARE(w->TxtZlxd->toPlainText(), QStringLiteral("药后汗出热退。\r\n宜避风寒。").replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QCOMPARE(test::narrowControls(w), QStringList());
        w->SSTab1->setCurrentIndex(2);
        QCOMPARE(test::narrowControls(w), QStringList());
        QTest::mouseClick(w->CmdForw, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        w->SSTab1->setCurrentIndex(1);
        QTest::mouseClick(w->CmdBack, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        w->SSTab1->setCurrentIndex(1);

        // The case record: asked, printed (as a PDF here), the button locked and given back.
        rec.clear();
        rec.answers = {true};
        w->PhzBl->trigger();
        QCOMPARE(rec.shown.size(), size_t(2));
        QCOMPARE(rec.shown[0].text, QStringLiteral("打印吗？"));
        QCOMPARE(rec.shown[0].title, QStringLiteral("打印患者诊断病历"));
        QCOMPARE(rec.shown[0].buttons, MsgButtons::YesNo);
        QCOMPARE(desktop.opened.size(), 1);
        QVERIFY(desktop.opened[0].contains(QStringLiteral("门诊病案-000002")));
        QVERIFY(w->CmdPrin->isEnabled());
        QCOMPARE(qh::ui::mousePointer(), qh::ui::PointerArrow);
        // Answered No: nothing printed.
        rec.clear();
        rec.answers = {false};
        w->PhzCf->trigger();
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("打印吗？")});
        QCOMPARE(rec.shown[0].title, QStringLiteral("打印门诊处方"));
        QCOMPARE(desktop.opened.size(), 1);
        rec.clear();
        rec.answers = {true};
        w->PhzCf->trigger();
        QCOMPARE(desktop.opened.size(), 2);
        QVERIFY(desktop.opened[1].contains(QStringLiteral("处方笺-000002")));

        // The particulars and the notes go to the word processor with their composed texts.
        rec.clear();
        w->PhzQk->trigger();
        QCOMPARE(desktop.opened.size(), 3);
        QVERIFY(desktop.opened[2].endsWith(QStringLiteral(".odt")));
        QVERIFY(desktop.clipboard.startsWith(QStringLiteral("        李四基本情况介绍\r\n")));
        QVERIFY(desktop.clipboard.contains(QStringLiteral("\r\n婚姻状况：未婚\r\n")));
        w->PbzXd->trigger();
        QCOMPARE(desktop.opened.size(), 4);
        QVERIFY(desktop.clipboard.contains(QStringLiteral("\r\n治疗心得：药后汗出热退。")));
        QVERIFY(rec.answers.empty());
        delete w;
    }

    void printRefusals_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("statusRow");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::newRow("particulars") << "PhzQk" << true << "打印内容输入不完全，不能打印" << int(MsgIcon::Information);
        QTest::newRow("notes") << "PbzXd" << true << "打印内容输入不完全，不能打印" << int(MsgIcon::None);
        QTest::newRow("case record") << "PhzBl" << true << "治疗处方或治疗方案没有输入，不能打印" << int(MsgIcon::Information);
        QTest::newRow("prescription") << "PhzCf" << true << "治疗处方没有输入，不能打印" << int(MsgIcon::Information);
        QTest::newRow("case record without status row") << "PhzBl" << false << "系统发生错误，不能打印" << int(MsgIcon::Question);
        QTest::newRow("prescription without status row") << "PhzCf" << false << "系统发生错误，不能打印" << int(MsgIcon::Question);
    }
    void printRefusals()
    {
        QFETCH(QString, command);
        QFETCH(bool, statusRow);
        QFETCH(QString, message);
        QFETCH(int, icon);
        test::TempClinic clinic;
        if (statusRow)
            clinic.addStatusRow();
        test::RecordingMessages rec;
        clinic::printtest::RecordingDesktop desktop;
        QPointer<FrmMzfd> w = open();
        w->SSTab1->setCurrentIndex(1);
        w->findChild<QAction *>(command)->trigger();
        QCOMPARE(rec.texts(), QStringList{message});
        QCOMPARE(int(rec.shown[0].icon), icon);
        QCOMPARE(rec.shown[0].buttons, MsgButtons::Ok);
        QVERIFY(desktop.opened.isEmpty());
        if (command == u"PhzQk" || command == u"PbzXd")
            QCOMPARE(QApplication::focusWidget(), w->CmdQcls);
        delete w;
    }

    // A visit whose patient record is gone: the visit shows, the patient tab stays empty.
    // The first search on a file without the search index shows the progress window while it
    // is made; the next search does not.
    void indexMadeWithProgress()
    {
        test::TempClinic clinic;
        {
            auto s = clinic.open();
            query::fixture::fillClinic(s);
            s.exec(QStringLiteral("insert into hzzdzl(rowid, blbm, blkb, blsj, bzqk, blfa, blcf, zdys) values(?, '000001', "
                                  "'外科', '2024-07-01 00:00:00', '咳嗽', '宣肺', '杏仁', '李明德')"),
                   qint64(2 * RecordQuery::IndexBlockRows + 10));
        }
        struct Seen {
            int value;
            QString step;
            bool shownModal;
            QStringList narrow;
        };
        std::vector<Seen> seen;
        query::ui::setIndexProgressWatcher([&seen](const qh::ui::Frmjdys &p) {
            seen.push_back({p.ProgBar->value(), p.Labprg->text(), p.isVisible() && QApplication::activeModalWidget() == &p,
                            test::narrowControls(&p)});
        });
        test::RecordingMessages rec;
        QPointer<FrmMzfd> w = open();
        w->MasQssj->setText(QStringLiteral("2024-01-01"));
        w->MasJssj->setText(QStringLiteral("2024-12-31"));
        w->TxtBzmc->setText(QStringLiteral("咳嗽"));
        QTest::mouseClick(w->CmdSeek, Qt::LeftButton);
        QCOMPARE(w->model()->rowCount(), 3);
        QCOMPARE(seen.size(), size_t(4)); // three blocks and the end
        QCOMPARE(seen.front().value, 49);
        QCOMPARE(seen.back().value, 100);
        for (const Seen &s : seen) {
            QCOMPARE(s.step, RecordQuery::indexProgressText());
            QVERIFY(s.shownModal);
            QCOMPARE(s.narrow, QStringList());
        }
        for (QWidget *top : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<qh::ui::Frmjdys *>(top) || !top->isVisible());
        seen.clear();
        QTest::mouseClick(w->CmdSeek, Qt::LeftButton);
        QCOMPARE(w->model()->rowCount(), 3);
        QVERIFY(seen.empty());
        QVERIFY(rec.shown.empty());
        query::ui::setIndexProgressWatcher({});
        delete w;
    }

    void patientGone()
    {
        test::TempClinic clinic;
        {
            auto s = clinic.open();
            query::fixture::fillClinic(s);
        }
        test::RecordingMessages rec;
        QPointer<FrmMzfd> w = open();
        w->MasQssj->setText(QStringLiteral("2024-01-01"));
        w->MasJssj->setText(QStringLiteral("2024-12-31"));
        QTest::mouseClick(w->CmdSeek, Qt::LeftButton);
        QCOMPARE(w->model()->rowCount(), 4);
        // The first patient is shown, then another visit whose patient was removed meanwhile.
        QTest::mouseClick(w->MSFGridMzjl->viewport(), Qt::LeftButton, {}, cellCentre(w->MSFGridMzjl, 0, 0));
        QCOMPARE(w->TxtHzmx->text(), QStringLiteral("张三"));
        clinic.open().exec(QStringLiteral("delete from hzblzl where blbm = '000003'"));
        w->SSTab1->setCurrentIndex(0);
        QTest::mouseClick(w->MSFGridMzjl->viewport(), Qt::LeftButton, {}, cellCentre(w->MSFGridMzjl, 3, 0));
        QCOMPARE(w->SSTab1->currentIndex(), 1);
        QCOMPARE(w->TxtBlbh->text(), QStringLiteral("000003"));
        QCOMPARE(w->TxtHzmx->text(), QString());
        QCOMPARE(w->MasCzsj->text(), QString());
        QVERIFY(rec.shown.empty());
        // Clear: everything back to the defaults, the focus on the start date.
        QTest::mouseClick(w->CmdQcls, Qt::LeftButton);
        QCOMPARE(w->model()->rowCount(), 0);
        QCOMPARE(w->TxtBlbh->text(), QString());
        QCOMPARE(w->MasQssj->text(), dateText(QDate::currentDate().addDays(-130)));
        QCOMPARE(w->MasJssj->text(), dateText(QDate::currentDate().addDays(60)));
        QCOMPARE(w->CboHzxb->count(), 2);
        QCOMPARE(w->CboHzxb->currentText(), QString());
        QCOMPARE(QApplication::focusWidget(), w->MasQssj);
        // A click on the empty grid does nothing.
        QTest::mouseClick(w->MSFGridMzjl->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        delete w;
    }

    void tabsEmptyClipboardAndFollowUpMode()
    {
        test::TempClinic clinic;
        {
            auto s = clinic.open();
            query::fixture::fillClinic(s);
        }
        test::RecordingMessages rec;
        QPointer<FrmMzfd> w = new FrmMzfd;
        // Placement: left = (W - w) / 5, top = (H - h) / 9 over the screen.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(w->pos(), QPoint(area.left() + (area.width() - w->width()) / 5, area.top() + (area.height() - w->height()) / 9));
        delete w;
        w = open();
        QGuiApplication::clipboard()->setText(QStringLiteral("病历"));
        QTest::mousePress(w->SSTab1->tabBar(), Qt::LeftButton, {}, w->SSTab1->tabBar()->tabRect(2).center());
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
        QTest::mouseRelease(w->SSTab1->tabBar(), Qt::LeftButton, {}, w->SSTab1->tabBar()->tabRect(2).center());
        w->SSTab1->setCurrentIndex(0);
        // Mode 复诊: the follow-ups due in the range.
        QTest::mouseClick(w->OptFzqk, Qt::LeftButton);
        w->MasQssj->setText(QStringLiteral("2024-05-01"));
        w->MasJssj->setText(QStringLiteral("2024-05-31"));
        QTest::mouseClick(w->CmdSeek, Qt::LeftButton);
        QCOMPARE(w->LabJlsl->text(), QStringLiteral("符合查询条件的记录有 1 条"));
        QCOMPARE(w->model()->index(0, 0).data().toString(), QStringLiteral("000002"));
        QVERIFY(rec.shown.empty());
        // Help: this window's topic, the window disabled until help closes.
        QTest::mouseClick(w->CmdHelp, Qt::LeftButton);
        QCOMPARE(Modutarnxt::HelpTopic, QStringLiteral("F-D"));
        QVERIFY(!w->isEnabled());
        qh::ui::singleWindow<qh::ui::FrmHelp>()->close();
        QVERIFY(w->isEnabled());
        // Exit closes the window.
        QTest::mouseClick(w->CmdExit, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
    }
};

QTEST_MAIN(TstFrmMzfd)
#include "tst_frmmzfd.moc"
