// The completion list under the drug code box of the charging, stock-in and stock-out windows:
// a drug chosen from it goes on exactly as its code typed; a code typed goes its own way as
// without the list; the charging window puts the visit's herbs first; the list reads the drug
// list again when it changed.
#include "core/modutarnxt.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/taskwindows.h"
#include "stock/druglist.h"
#include "stock/ui/FrmYcck.h"
#include "stock/ui/Frmycjj.h"
#include "stock/ui/Frmycrk.h"
#include "stock/ui/drugcompleter.h"
#include "stockfixtures.h"
#include "testsupport.h"

#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace qh;
using namespace qh::stock;
using namespace stockfixtures;
using stock::ui::DrugCompleter;

namespace {

enum Kind { StockInWindow, StockOutWindow, ChargingWindow };

const QString DefaultPrescription = QStringLiteral("黄芩9克，麻黄6克，");

void fill(test::TempClinic &c, const QString &prescription = DefaultPrescription)
{
    c.addDrug(QStringLiteral("001"), QStringLiteral("黄芪"), QStringLiteral("1.50"));
    c.addDrug(QStringLiteral("002"), QStringLiteral("黄芩"), QStringLiteral("0.80"));
    c.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("0.50"));
    c.addDrug(QStringLiteral("MHG"), QStringLiteral("麻黄根"), QStringLiteral("0.20"));
    c.addDrug(QStringLiteral("003"), QStringLiteral("甘草"), QStringLiteral("0.30"));
    auto s = c.open();
    for (const char *herb : {"黄芩", "麻黄", "黄芪"})
        s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"), QString::fromUtf8(herb), m("100"),
               m("100"), m("100"));
    s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, blcf, zdys) values('0007', '中医内科', ?, ?, '李明德')"),
           QDate::currentDate(), prescription);
}

// One of the three windows, shown and active, the focus in its code box.
struct Opened {
    std::unique_ptr<QWidget> window;
    QLineEdit *code = nullptr;
    QLineEdit *name = nullptr;
    DrugCompleter *list = nullptr;
    QString next; // where Enter on a known code moves the focus

    QStringList shownNames() const
    {
        QStringList out;
        for (int r = 0; list->isShown() && r < list->list()->rowCount(); ++r)
            out << list->list()->item(r, 0)->text();
        return out;
    }
};

Opened open(Kind kind)
{
    Opened o;
    if (kind == ChargingWindow) {
        auto *w = new stock::ui::Frmycjj;
        o.window.reset(w);
        activate(w);
        QTest::keyClicks(w->TxtBlhm, QStringLiteral("0007"));
        enter(w->TxtBlhm);
        w->CboZdks->setCurrentIndex(0);
        enter(w->CboZdks);
        enter(w->MasZdsj); // the visit found: its prescription shown
        o = {std::move(o.window), w->Txtycbm, w->Txtycmc, w->codeCompleter(), QStringLiteral("TxtYcjl")};
    } else {
        stock::ui::MovementWindow *w = kind == StockInWindow ? static_cast<stock::ui::MovementWindow *>(new stock::ui::Frmycrk)
                                                             : new stock::ui::FrmYcck;
        o.window.reset(w);
        activate(w);
        o.code = static_cast<QLineEdit *>(w->widgetOf(StockField::Txtycbm));
        o.name = static_cast<QLineEdit *>(w->widgetOf(StockField::Txtycmc));
        o.list = w->codeCompleter();
        o.next = kind == StockInWindow ? QStringLiteral("TxtYcph") : QStringLiteral("TxtPjhm");
        o.code->setFocus();
    }
    return o;
}

QString focusName() { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(); }

// What the window shows after an Enter in its code box.
QString outcome(const Opened &o, const test::RecordingMessages &rec)
{
    return QStringList{o.code->text(), o.name->text(), focusName(), rec.last()}.join(u'|');
}

void addKinds()
{
    QTest::addColumn<int>("kind");
}

} // namespace

class TstDrugCompleter : public QObject {
    Q_OBJECT

private slots:
    // Letters typed show the drugs; Enter, Down and Enter, or a click choose one; the window then
    // shows what the drug's code typed and Enter show. The list sits inside the window, off the box.
    void choosingADrugIsTypingItsCode_data()
    {
        addKinds();
        QTest::addColumn<QString>("way");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("code");
        const QStringList byName{"黄芪", "黄芩"};
        const QStringList prescribedFirst{"黄芩", "黄芪"}; // the visit's prescription names 黄芩
        QTest::newRow("stock-in, Enter") << int(StockInWindow) << "enter" << byName << "001";
        QTest::newRow("stock-in, Down Enter") << int(StockInWindow) << "down" << byName << "002";
        QTest::newRow("stock-in, click") << int(StockInWindow) << "click" << byName << "002";
        QTest::newRow("stock-out, Enter") << int(StockOutWindow) << "enter" << byName << "001";
        // The arrows stop at the list's ends.
        QTest::newRow("stock-out, Down Down Up Enter") << int(StockOutWindow) << "downdownup" << byName << "001";
        QTest::newRow("stock-out, click") << int(StockOutWindow) << "click" << byName << "002";
        QTest::newRow("charging, Enter") << int(ChargingWindow) << "enter" << prescribedFirst << "002";
        QTest::newRow("charging, Down Enter") << int(ChargingWindow) << "down" << prescribedFirst << "001";
        QTest::newRow("charging, click") << int(ChargingWindow) << "click" << prescribedFirst << "001";
    }

    void choosingADrugIsTypingItsCode()
    {
        QFETCH(int, kind);
        QFETCH(QString, way);
        QFETCH(QStringList, shown);
        QFETCH(QString, code);
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;

        // The same window, the code typed.
        QString typed;
        {
            Opened t = open(Kind(kind));
            QTest::keyClicks(t.code, code);
            QVERIFY(!t.list->isShown());
            enter(t.code);
            typed = outcome(t, rec);
            QCOMPARE(focusName(), t.next);
        }
        rec.clear();

        Opened o = open(Kind(kind));
        QTest::keyClicks(o.code, QStringLiteral("huangq"));
        QCOMPARE(o.shownNames(), shown);
        QCOMPARE(o.code->text(), QStringLiteral("huangq"));
        QCOMPARE(QApplication::focusWidget(), o.code);
        const QRect list = o.list->list()->geometry();
        QVERIFY(o.window->rect().contains(list));
        QVERIFY(!list.intersects(QRect(o.code->mapTo(o.window.get(), QPoint()), o.code->size())));

        if (way == QLatin1String("click")) {
            QTableWidget *t = o.list->list();
            QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(t->item(1, 0)).center());
        } else {
            for (QChar step : way == QLatin1String("down") ? QStringLiteral("d") : way == QLatin1String("enter") ? QString() : QStringLiteral("ddu"))
                QTest::keyClick(o.code, step == u'd' ? Qt::Key_Down : Qt::Key_Up);
            QCOMPARE(QApplication::focusWidget(), o.code); // the arrows stay in the box
            enter(o.code);
        }
        QVERIFY(!o.list->isShown());
        QCOMPARE(outcome(o, rec), typed);
        QVERIFY(rec.shown.empty());
    }

    // A text that is a code (any letter case, blanks discarded as before) or only digits shows
    // no list at its last key, and Enter goes the box's own way.
    void typedCodesGoTheirOwnWay_data()
    {
        addKinds();
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected"); // code box | name box | focus | last message
        QTest::newRow("stock-in, letter code") << int(StockInWindow) << "mh" << "MH|麻黄|TxtYcph|";
        QTest::newRow("stock-in, blank discarded") << int(StockInWindow) << "m h" << "MH|麻黄|TxtYcph|";
        QTest::newRow("stock-in, longer code") << int(StockInWindow) << "MHG" << "MHG|麻黄根|TxtYcph|";
        QTest::newRow("stock-in, digit code") << int(StockInWindow) << "001" << "001|黄芪|TxtYcph|";
        QTest::newRow("stock-in, unknown digits") << int(StockInWindow) << "00" << "00||Txtycbm|药材编码输入错误";
        QTest::newRow("stock-out, letter code") << int(StockOutWindow) << "Mh" << "MH|麻黄|TxtPjhm|";
        QTest::newRow("stock-out, unknown digits") << int(StockOutWindow) << "0001" << "0001||Txtycbm|药品编码输入错误";
        QTest::newRow("charging, letter code") << int(ChargingWindow) << "mh" << "mh|麻黄|TxtYcjl|";
        QTest::newRow("charging, digit code") << int(ChargingWindow) << "002" << "002|黄芩|TxtYcjl|";
        QTest::newRow("charging, unknown digits") << int(ChargingWindow) << "01" << "01||Txtycbm|药材编码输入错误，重来！";
    }

    void typedCodesGoTheirOwnWay()
    {
        QFETCH(int, kind);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        Opened o = open(Kind(kind));
        bool everShown = false;
        for (QChar c : typed) {
            QTest::keyClick(o.code, c.toLatin1());
            everShown = everShown || o.list->isShown();
        }
        QVERIFY(!o.list->isShown());
        const bool digits = typed.toInt() > 0 || typed.startsWith(u'0');
        QVERIFY(!(digits && everShown)); // a numeric code typed in part is never offered drugs
        enter(o.code);
        QCOMPARE(outcome(o, rec), expected);
    }

    // Escape closes the list; Enter then goes the box's own way. Tab closes it and moves on
    // as it does without the list.
    void escapeAndTab_data()
    {
        addKinds();
        QTest::addColumn<QString>("refusal");
        QTest::newRow("stock-in") << int(StockInWindow) << "药材编码输入错误";
        QTest::newRow("stock-out") << int(StockOutWindow) << "药品编码输入错误";
        QTest::newRow("charging") << int(ChargingWindow) << "药材编码输入错误，重来！";
    }

    void escapeAndTab()
    {
        QFETCH(int, kind);
        QFETCH(QString, refusal);
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        Opened o = open(Kind(kind));
        QTest::keyClicks(o.code, QStringLiteral("hq"));
        QVERIFY(o.list->isShown());
        QTest::keyClick(o.code, Qt::Key_Escape);
        QVERIFY(!o.list->isShown());
        enter(o.code);
        QCOMPARE(rec.last(), refusal);
        QCOMPARE(QApplication::focusWidget(), o.code);

        // Tab with a code in the box (no list), then with the list shown: the same next box.
        o.code->setText(QStringLiteral("001"));
        QTest::keyClick(o.code, Qt::Key_Tab);
        const QString plain = focusName();
        QVERIFY(plain != o.code->objectName());
        o.code->setFocus();
        o.code->clear();
        QTest::keyClicks(o.code, QStringLiteral("hq"));
        QVERIFY(o.list->isShown());
        QTest::keyClick(o.code, Qt::Key_Tab);
        QVERIFY(!o.list->isShown());
        QCOMPARE(focusName(), plain);
        QCOMPARE(o.code->text(), QStringLiteral("hq"));
    }

    // The charging window: the herbs of the visit's prescription come first, the dose line is
    // priced as for a typed code; editing the visit's key takes the preference away.
    void chargingPutsThePrescriptionFirst_data()
    {
        QTest::addColumn<QString>("prescription");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("prescribed"); // the first rows, shown in bold
        QTest::newRow("none named") << "当归9克" << "h" << QStringList{"黄芪", "黄芩", "麻黄", "麻黄根"} << 0;
        QTest::newRow("initials") << "黄芩9克" << "h" << QStringList{"黄芩", "黄芪", "麻黄", "麻黄根"} << 1;
        // 麻黄 inside 麻黄根 is not named: the longest name wins.
        QTest::newRow("inside before prefix") << "麻黄根3克，黄芩9克" << "h" << QStringList{"黄芩", "麻黄根", "黄芪", "麻黄"} << 2;
        QTest::newRow("syllables") << "麻黄根3克" << "mah" << QStringList{"麻黄根", "麻黄"} << 1;
        QTest::newRow("characters") << "麻黄根3克" << "黄" << QStringList{"麻黄根", "黄芪", "黄芩", "麻黄"} << 1;
    }

    void chargingPutsThePrescriptionFirst()
    {
        QFETCH(QString, prescription);
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        QFETCH(int, prescribed);
        test::TempClinic clinic;
        fill(clinic, prescription);
        test::RecordingMessages rec;
        Opened o = open(ChargingWindow);
        QCOMPARE(static_cast<stock::ui::Frmycjj *>(o.window.get())->TxtCfnr->toPlainText(), prescription);
        if (typed.at(0).unicode() < 0x80)
            QTest::keyClicks(o.code, typed);
        else
            typeChinese(o.code, typed);
        QCOMPARE(o.shownNames(), shown);
        for (int r = 0; r < shown.size(); ++r)
            QCOMPARE(o.list->list()->item(r, 0)->font().bold(), r < prescribed);
    }

    void chargingPricesTheChosenHerb()
    {
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        Opened o = open(ChargingWindow);
        auto *w = static_cast<stock::ui::Frmycjj *>(o.window.get());
        QTest::keyClicks(o.code, QStringLiteral("hq"));
        QCOMPARE(o.shownNames(), (QStringList{"黄芩", "黄芪"}));
        QCOMPARE(o.list->list()->item(0, 3)->text(), QStringLiteral("0.80"));
        enter(o.code);
        QCOMPARE(w->Txtycmc->text(), QStringLiteral("黄芩"));
        QCOMPARE(QApplication::focusWidget(), w->TxtYcjl);
        QTest::keyClicks(w->TxtYcjl, QStringLiteral("9"));
        enter(w->TxtYcjl);
        QCOMPARE(w->MSFGridyfjg->rowCount(), 1);
        QStringList line;
        for (int c = 0; c < 5; ++c)
            line << w->MSFGridyfjg->item(0, c)->text();
        QCOMPARE(line, (QStringList{"002", "黄芩", "9.00", "0.80", "7.20"}));
        QCOMPARE(w->TxtYchj->text(), QStringLiteral("7.20"));
        QCOMPARE(QApplication::focusWidget(), w->Txtycbm);

        // The second herb by its syllables, then the same herb again: refused as when typed.
        QTest::keyClicks(o.code, QStringLiteral("mahuang"));
        QCOMPARE(o.shownNames().value(0), QStringLiteral("麻黄"));
        enter(o.code);
        QTest::keyClicks(w->TxtYcjl, QStringLiteral("6"));
        enter(w->TxtYcjl);
        QCOMPARE(w->TxtYchj->text(), QStringLiteral("10.20"));
        QTest::keyClicks(o.code, QStringLiteral("hq"));
        enter(o.code);
        QTest::keyClicks(w->TxtYcjl, QStringLiteral("1"));
        enter(w->TxtYcjl);
        QCOMPARE(rec.last(), QStringLiteral("黄芩 的用量已经输过。"));
        QCOMPARE(w->MSFGridyfjg->rowCount(), 2);

        // A new case number forgets the visit and its preference.
        w->TxtBlhm->setFocus();
        QTest::keyClick(w->TxtBlhm, Qt::Key_8);
        o.code->setFocus();
        o.code->clear();
        QTest::keyClicks(o.code, QStringLiteral("hq"));
        QCOMPARE(o.shownNames(), (QStringList{"黄芪", "黄芩"}));
    }

    // A code the store knows wins at Enter even when the list was read before it was added
    // (another workstation); a drug added in the drug list window is offered at once; one
    // written elsewhere after the window is activated again.
    void theListFollowsTheDrugList_data()
    {
        addKinds();
        QTest::newRow("stock-in") << int(StockInWindow);
        QTest::newRow("stock-out") << int(StockOutWindow);
        QTest::newRow("charging") << int(ChargingWindow);
    }

    void theListFollowsTheDrugList()
    {
        QFETCH(int, kind);
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        Opened o = open(Kind(kind));
        QTest::keyClicks(o.code, QStringLiteral("h"));
        QVERIFY(o.list->isShown());

        clinic.addDrug(QStringLiteral("HQ"), QStringLiteral("红芪"), QStringLiteral("2.00")); // not through this program
        o.code->clear();
        QTest::keyClicks(o.code, QStringLiteral("hq"));
        QCOMPARE(o.shownNames(), (kind == ChargingWindow ? QStringList{"黄芩", "黄芪"} : QStringList{"黄芪", "黄芩"}));
        enter(o.code);
        QCOMPARE(o.name->text(), QStringLiteral("红芪"));
        QCOMPARE(focusName(), o.next);

        DrugEntry e{QStringLiteral("清热药"), QStringLiteral("010"), QStringLiteral("青蒿"), QStringLiteral("克"), QStringLiteral("0.40")};
        QVERIFY(druglist::add(clinic.store(), e).ok());
        o.code->setFocus();
        o.code->clear();
        QTest::keyClicks(o.code, QStringLiteral("qh"));
        QCOMPARE(o.shownNames(), QStringList{"青蒿"});

        clinic.addDrug(QStringLiteral("011"), QStringLiteral("青黛"), QStringLiteral("0.40"));
        QWidget other;
        activate(&other);
        activate(o.window.get());
        o.code->setFocus();
        o.code->clear();
        QTest::keyClicks(o.code, QStringLiteral("qd"));
        QCOMPARE(o.shownNames(), QStringList{"青黛"});
    }

    // In the main area (a frame around the window), a click on the list keeps the focus in the
    // box and chooses the drug.
    void clickInTheMainArea()
    {
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        stock::ui::registerStockMovementWindows();
        qh::ui::MDIFtarn main;
        main.show();
        QApplication::setActiveWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&main));
        main.runItem(QStringLiteral("ycrc"));
        auto *w = qobject_cast<stock::ui::Frmycrk *>(main.area()->activeSubWindow()->widget());
        QVERIFY(w);
        w->Txtycbm->setFocus();
        QTest::keyClicks(w->Txtycbm, QStringLiteral("gc"));
        QTableWidget *t = w->codeCompleter()->list();
        QVERIFY(t->isVisible());
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(t->item(0, 0)).center());
        QCOMPARE(w->Txtycbm->text(), QStringLiteral("003"));
        QCOMPARE(w->Txtycmc->text(), QStringLiteral("甘草"));
        QCOMPARE(QApplication::focusWidget(), w->TxtYcph);
        qh::ui::closeTaskWindow(w);
    }
};

QTEST_MAIN(TstDrugCompleter)
#include "tst_drugcompleter.moc"
