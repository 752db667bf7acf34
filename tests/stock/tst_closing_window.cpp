// The menu command "药品结帐" driven from the main window's menu item, offscreen, with the
// message recorder answering the question.
#include "closingfixtures.h"
#include "core/ui/Frmjdys.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "stock/closing.h"
#include "stock/ui/closingcommand.h"
#include "testsupport.h"
#include "widths.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QtTest>

using namespace qh;
using namespace closingfixtures;

namespace {

const QString Question = QStringLiteral("开始进行结帐处理吗？");
const QString Done = QStringLiteral("当期结帐已经完成");

// What the progress window showed at one step, and the state around it.
struct Seen {
    int bar;
    QString pre, prg;
    bool menusOff, busy, modal, visible;
    QStringList narrow;
};

// Seven drugs with stock and a pending issue each, one without stock.
void sevenDrugs(test::TempClinic &c)
{
    auto s = c.open();
    const QStringList names{QStringLiteral("当归"), QStringLiteral("川贝'母"), QStringLiteral("黄芪"), QStringLiteral("白术"),
                            QStringLiteral("甘草"), QStringLiteral("陈皮"), QStringLiteral("茯苓")};
    for (const QString &n : names) {
        receive(s, n, "10", "25");
        issue(s, n, "4");
    }
    receive(s, QStringLiteral("大枣"), "2", "5");
    issue(s, QStringLiteral("大枣"), "2");
}

} // namespace

class TstClosingWindow : public QObject {
    Q_OBJECT

    std::vector<Seen> seen;

    void runFromMenu()
    {
        ui::MDIFtarn *w = ui::MDIFtarn::instance();
        ui::EnableMainMenus();
        QVERIFY(w->item(QStringLiteral("Ypjz"))->isEnabled());
        w->item(QStringLiteral("Ypjz"))->trigger();
        QVERIFY(ui::mainMenusEnabled());
        QCOMPARE(ui::mousePointer(), ui::PointerArrow);
        for (QWidget *top : QApplication::topLevelWidgets())
            QVERIFY(top->objectName() != QLatin1String("Frmjdys") || !top->isVisible());
    }

private slots:
    void initTestCase()
    {
        stock::ui::registerClosingCommand();
        stock::ui::setClosingProgressWatcher([this](const ui::Frmjdys &p) {
            seen.push_back({p.ProgBar->value(), p.Labpre->text(), p.Labprg->text(), !ui::mainMenusEnabled(),
                            ui::mousePointer() == ui::PointerBusy, QApplication::activeModalWidget() == &p,
                            p.isVisible(), test::narrowControls(&p)});
        });
    }
    void init() { seen.clear(); }

    void answerNoChangesNothing()
    {
        test::TempClinic c;
        sevenDrugs(c);
        auto s = c.open();
        const QStringList before = dump(s);
        test::RecordingMessages rec;
        rec.answers = {false};
        runFromMenu();
        QCOMPARE(rec.texts(), QStringList{Question});
        QCOMPARE(rec.shown[0].icon, MsgIcon::Question);
        // The preview under the question: every drug with stock, its cost, and the totals.
        QVERIFY(rec.shown[0].details.contains(QStringLiteral("川贝'母\t2.5000\t1\t10.00\t25.00\t15.00")));
        QVERIFY(rec.shown[0].details.contains(QStringLiteral("合计\t\t7\t70.00\t175.00\t105.00")));
        QVERIFY(!rec.shown[0].details.contains(QStringLiteral("大枣\t")));
        QCOMPARE(dump(s), before);
        QVERIFY(seen.empty());
        QVERIFY(rec.answers.empty());
    }

    void answerYesClosesWithProgressAndTwiceChangesNothing()
    {
        test::TempClinic c;
        sevenDrugs(c);
        test::RecordingMessages rec;
        rec.answers = {true};
        runFromMenu();
        QCOMPARE(rec.texts(), (QStringList{Question, Done}));
        QCOMPARE(rec.shown[1].icon, MsgIcon::Information);
        QVERIFY(rec.answers.empty());

        // Costing: from 0 in steps of 8.5714 to 59.9998; revaluing: from 60 to 98.9998.
        QCOMPARE(int(seen.size()), 2 + 2 * 7);
        QCOMPARE(seen[0].bar, 0);
        QCOMPARE(seen[0].pre, QString());
        QCOMPARE(seen[0].prg, QString());
        QCOMPARE(seen[1].pre, QStringLiteral("8.5714%"));
        QCOMPARE(seen[1].bar, 8);
        QCOMPARE(seen[7].pre, QStringLiteral("59.9998%"));
        QCOMPARE(seen[7].bar, 59);
        QCOMPARE(seen[8].bar, 60);
        QCOMPARE(seen[8].pre, QString());
        QCOMPARE(seen[8].prg, QStringLiteral("60%"));
        QCOMPARE(seen[9].pre, QStringLiteral("65.5714%"));
        QCOMPARE(seen[15].pre, QStringLiteral("98.9998%"));
        QCOMPARE(seen[15].bar, 98);
        for (const Seen &v : seen) {
            QVERIFY(v.menusOff && v.busy && v.modal && v.visible);
            QVERIFY2(v.narrow.isEmpty(), qPrintable(v.narrow.join(u'\n')));
        }

        auto s = c.open();
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from yccrtb where cksl <> 0 and ckje = 100000")), 7);
        QCOMPARE(balanceField(s, QStringLiteral("川贝'母"), "rkje"), m("15"));
        QCOMPARE(balanceField(s, QStringLiteral("川贝'母"), "rksl"), m("6"));
        QCOMPARE(balanceField(s, QStringLiteral("大枣"), "rksl"), Money::fromUnits(-1)); // row gone
        QCOMPARE(costs(s, QStringLiteral("大枣")), QStringList{QStringLiteral("0")});

        // The second closing in a row changes nothing.
        const QStringList once = dump(s);
        rec.clear();
        rec.answers = {true};
        runFromMenu();
        QCOMPARE(rec.texts(), (QStringList{Question, Done}));
        QCOMPARE(dump(s), once);
    }

    void emptyBalanceTableStillShowsProgressAndEnd()
    {
        test::TempClinic c;
        test::RecordingMessages rec;
        runFromMenu();
        QCOMPARE(rec.texts(), (QStringList{Question, Done}));
        QCOMPARE(int(seen.size()), 2);
        QVERIFY(seen[0].visible && seen[1].visible);
        QCOMPARE(seen[1].prg, QStringLiteral("60%"));
        QCOMPARE(seen[1].bar, 60);
    }

    void failureInTheMiddleReportsAndChangesNothing()
    {
        test::TempClinic c;
        sevenDrugs(c);
        auto s = c.open();
        s.exec(QStringLiteral("create trigger disk_gone before update on ycyltb when new.ycbm = '白术' "
                              "begin select raise(abort, 'disk gone'); end"));
        const QStringList before = dump(s);
        test::RecordingMessages rec;
        rec.answers = {true};
        runFromMenu();
        QCOMPARE(rec.shown.size(), std::size_t(2));
        QCOMPARE(rec.shown[0].text, Question);
        QCOMPARE(rec.shown[1].icon, MsgIcon::None);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\r\n.+")).match(rec.shown[1].text).hasMatch(),
                 qPrintable(rec.shown[1].text));
        QCOMPARE(dump(s), before);
        QVERIFY(!seen.empty());
    }

    void undefinedUnitCostNamesTheHerbBeforeAnything()
    {
        test::TempClinic c;
        sevenDrugs(c);
        auto s = c.open();
        s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values('O''黄芪', 0, 50000, 30000)"));
        const QStringList before = dump(s);
        test::RecordingMessages rec;
        runFromMenu();
        QCOMPARE(rec.shown.size(), std::size_t(1));
        QCOMPARE(rec.shown[0].icon, MsgIcon::None);
        QVERIFY(rec.shown[0].text.startsWith(QStringLiteral("11\r\n")));
        QVERIFY(rec.shown[0].text.contains(QStringLiteral("O'黄芪")));
        QCOMPARE(dump(s), before);
        QVERIFY(seen.empty());
    }
};

QTEST_MAIN(TstClosingWindow)
#include "tst_closing_window.moc"
