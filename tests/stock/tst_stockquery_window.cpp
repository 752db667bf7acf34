// The stock query window driven offscreen, and the count sheet menu command.
#include "../core/tst_spreadsheet.h"
#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "stock/ui/Frmyckc.h"
#include "stockfixtures.h"
#include "testsupport.h"
#include "widths.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

using namespace qh;
using namespace stockfixtures;
using qh::stock::ui::Frmyckc;

namespace {

void journal(test::TempClinic &clinic)
{
    clinic.addDrug(QStringLiteral("GC"), QStringLiteral("甘草"), QStringLiteral("5.00"));
    clinic.addDrug(QStringLiteral("HQ"), QStringLiteral("黄芪"), QStringLiteral("3.00"));
    auto s = clinic.open();
    for (const auto &[when, drug, summary] :
         {std::tuple{"2024-03-01 08:00:00", "甘草", "购进"}, std::tuple{"2024-03-02 00:00:00", "黄芪", "购进"},
          std::tuple{"2024-03-31 18:00:00", "甘草", "出库"}, std::tuple{"2024-04-01 00:00:00", "甘草", "购进"}})
        s.exec(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, rksl, rkje, cksl, ckje, xsje) values(?, ?, ?, 10, 30, 0, 0, 0)"),
               QString::fromLatin1(when), QString::fromUtf8(drug), QString::fromUtf8(summary));
    s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values('甘草', 10, 30, 10), ('黄芪', 10, 30, 10)"));
}

// Records, with every message, whether the menus were on and the pointer busy at that moment.
class StateAtMessages : public test::RecordingMessages {
public:
    bool present(const Message &m) override
    {
        menusOn << qh::ui::mainMenusEnabled();
        busy << (qh::ui::mousePointer() == qh::ui::PointerBusy);
        return RecordingMessages::present(m);
    }
    QList<bool> menusOn, busy;
};

void typeDate(QLineEdit *box, const char *digits)
{
    box->selectAll();
    QTest::keyClicks(box, QString::fromLatin1(digits));
}

} // namespace

class TstStockQueryWindow : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_docs.reset(new QTemporaryDir);
        Modutarnxt::setDocumentsPath(m_docs->path());
        qh::ui::setMousePointer(qh::ui::PointerArrow);
    }
    void cleanup() { Modutarnxt::setDocumentsPath(QString()); }

    void aWholeQueryWithEnterMoves()
    {
        test::TempClinic clinic;
        journal(clinic);
        test::RecordingMessages rec;
        Frmyckc w;
        activate(&w);
        QCOMPARE(w.windowTitle(), QStringLiteral("药材库存查询"));
        QVERIFY(w.OptYcrk->isChecked());
        QCOMPARE(w.TxtQssj->displayText(), dateText(QDate::currentDate().addDays(-230)));
        QCOMPARE(w.TxtJssj->displayText(), dateText(QDate::currentDate()));
        const QStringList narrow = test::narrowControls(&w);
        QVERIFY2(narrow.isEmpty(), qPrintable(narrow.join(u'\n')));
        // QINGHE_SCREENSHOTS=<folder>: the window as the screen shows it (run under a window manager).
        if (const QString shots = qEnvironmentVariable("QINGHE_SCREENSHOTS"); !shots.isEmpty()) {
            QTest::qWait(300);
            if (QScreen *screen = w.screen())
                screen->grabWindow(0).save(QDir(shots).filePath(QStringLiteral("Frmyckc-screen.png")));
            w.grab().save(QDir(shots).filePath(QStringLiteral("Frmyckc.png")));
        }

        // The purchases of one herb.
        w.Txtycbm->setFocus();
        QTest::keyClicks(w.Txtycbm, QStringLiteral("g c"));
        QCOMPARE(w.Txtycbm->text(), QStringLiteral("gc")); // the space is discarded
        enter(w.Txtycbm);
        QCOMPARE(w.Txtycbm->text(), QStringLiteral("GC"));
        QCOMPARE(w.Txtycmc->text(), QStringLiteral("甘草"));
        QCOMPARE(QApplication::focusWidget(), w.TxtQssj);
        QCOMPARE(w.TxtQssj->selectedText(), w.TxtQssj->text());
        QTest::keyClicks(w.TxtQssj, QStringLiteral("20240301"));
        enter(w.TxtQssj);
        QCOMPARE(QApplication::focusWidget(), w.TxtJssj);
        QCOMPARE(w.TxtJssj->selectedText().size(), 10);
        QTest::keyClicks(w.TxtJssj, QStringLiteral("20240331"));
        enter(w.TxtJssj);
        QCOMPARE(QApplication::focusWidget(), w.CmdSeek);
        enter(w.CmdSeek);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("生成图表已经存放在我的文档中，请查收")});
        const QDir docs(m_docs->path());
        auto x = test::readXlsx(docs.filePath(QStringLiteral("2024-03-01 至 2024-03-31商品入库统计表.xlsx")));
        QCOMPARE(x.text(QStringLiteral("A4")), QStringLiteral("甘草"));
        QCOMPARE(x.lastRow(), 4);
        for (QPushButton *b : {w.CmdSeek, w.CmdQcls, w.CmdHelp, w.CmdExit})
            QVERIFY(b->isEnabled());

        // The balances, then the in-and-out detail of every drug.
        rec.clear();
        w.OptYcjy->click();
        QVERIFY(w.Txtycbm->text().isEmpty() && w.Txtycmc->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);
        w.CmdSeek->click();
        w.OptCkrk->click();
        w.CmdSeek->click();
        QCOMPARE(rec.texts(), QStringList(2, QStringLiteral("生成图表已经存放在我的文档中，请查收")));
        x = test::readXlsx(docs.filePath(QStringLiteral("2024-03-01 至 2024-03-31商品入库出库统计表.xlsx")));
        QCOMPARE((QStringList{x.text("B4"), x.text("B5"), x.text("C6")}), (QStringList{"甘草", "黄芪", "出库"}));
        QCOMPARE(x.lastRow(), 6);
        QCOMPARE(docs.entryList(QDir::Files | QDir::Hidden).size(), 3);
    }

    void refusalsMoveTheFocus()
    {
        test::TempClinic clinic;
        journal(clinic);
        test::RecordingMessages rec;
        Frmyckc w;
        activate(&w);

        typeDate(w.TxtQssj, "20240230");
        enter(w.TxtQssj);
        QCOMPARE(rec.last(), QStringLiteral("查询起始时间输入错误"));
        QCOMPARE(QApplication::focusWidget(), w.TxtQssj);
        QCOMPARE(w.TxtQssj->selectedText().size(), 10);
        typeDate(w.TxtQssj, "20240301");
        typeDate(w.TxtJssj, "202401");
        enter(w.TxtJssj);
        QCOMPARE(rec.last(), QStringLiteral("查询载止时间输入错误"));
        QCOMPARE(QApplication::focusWidget(), w.TxtJssj);
        w.CmdSeek->click();
        QCOMPARE(rec.last(), QStringLiteral("查询结束时间输入错误"));
        QCOMPARE(QApplication::focusWidget(), w.TxtJssj);
        QCOMPARE(w.srjybl, 1);
        typeDate(w.TxtJssj, "20240331");

        // A code not in the list.
        w.Txtycbm->setFocus();
        QTest::keyClicks(w.Txtycbm, QStringLiteral("xx"));
        enter(w.Txtycbm);
        QCOMPARE(rec.last(), QStringLiteral("药材编码输入错误"));
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);
        QCOMPARE(w.Txtycbm->selectedText(), QStringLiteral("XX"));

        // Any key after a lookup loses the name; a code without Enter finds nothing.
        w.Txtycbm->clear();
        QTest::keyClicks(w.Txtycbm, QStringLiteral("GC"));
        enter(w.Txtycbm);
        QCOMPARE(w.Txtycmc->text(), QStringLiteral("甘草"));
        w.Txtycbm->setFocus();
        QTest::keyClick(w.Txtycbm, Qt::Key_End);
        QTest::keyClick(w.Txtycbm, Qt::Key_Backspace);
        QVERIFY(w.Txtycmc->text().isEmpty());
        QTest::keyClicks(w.Txtycbm, QStringLiteral("C"));
        rec.clear();
        w.CmdSeek->click();
        QCOMPARE(w.srjybl, 0);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("没有符合查询条件的内容")});
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);
        QCOMPARE(w.Txtycbm->selectedText(), QStringLiteral("GC"));

        // End before start: the query runs and finds nothing.
        w.Txtycbm->clear();
        typeDate(w.TxtQssj, "20240401");
        typeDate(w.TxtJssj, "20240301");
        rec.clear();
        w.CmdSeek->click();
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("没有符合查询条件的内容")});
        QVERIFY(QDir(m_docs->path()).isEmpty());
        QVERIFY(rec.answers.empty());

        // Clearing: defaults back, the focus in the code.
        w.CmdQcls->click();
        QCOMPARE(w.TxtQssj->displayText(), dateText(QDate::currentDate().addDays(-230)));
        QCOMPARE(QApplication::focusWidget(), w.Txtycbm);
    }

    void anUnwritableFolderGivesTheButtonBack()
    {
        test::TempClinic clinic;
        journal(clinic);
        QFile plain(QDir(m_docs->path()).filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        Modutarnxt::setDocumentsPath(plain.fileName() + QStringLiteral("/我的文档"));
        test::RecordingMessages rec;
        Frmyckc w;
        activate(&w);
        w.OptYcjy->click();
        w.CmdSeek->click();
        QCOMPARE(rec.shown.size(), size_t(1));
        QVERIFY2(rec.last().contains(QStringLiteral("我的文档")), qPrintable(rec.last()));
        QVERIFY(w.CmdSeek->isEnabled());
        QCOMPARE(qh::ui::mousePointer(), qh::ui::PointerArrow);
    }

    void activationFromAnotherWindowResets()
    {
        test::TempClinic clinic;
        Frmyckc w;
        activate(&w);
        w.Txtycbm->setText(QStringLiteral("GC"));
        typeDate(w.TxtQssj, "20240101");
        QWidget other;
        activate(&other);
        activate(&w);
        QVERIFY(w.Txtycbm->text().isEmpty());
        QCOMPARE(w.TxtQssj->displayText(), dateText(QDate::currentDate().addDays(-230)));
    }

    void countSheetCommand()
    {
        test::TempClinic clinic;
        journal(clinic);
        stock::ui::registerStockQueryWindow();
        QVERIFY(qh::ui::taskWindowFactory(QStringLiteral("Yckc")));
        const auto command = qh::ui::menuCommand(QStringLiteral("YckcPd"));
        QVERIFY(command);
        qh::ui::EnableMainMenus();
        {
            StateAtMessages rec;
            command();
            QCOMPARE(rec.texts(), QStringList{QStringLiteral("生成图表已经存放在我的文档中，请查收")});
            QCOMPARE(rec.menusOn, QList<bool>{false});
            QCOMPARE(rec.busy, QList<bool>{true});
        }
        QVERIFY(qh::ui::mainMenusEnabled());
        QCOMPARE(qh::ui::mousePointer(), qh::ui::PointerArrow);
        const QString sheet = QDir(m_docs->path()).filePath(QStringLiteral("药品盘点表.xlsx"));
        QCOMPARE(test::readXlsx(sheet).text(QStringLiteral("A5")), QStringLiteral("黄芪"));

        // Failure: the message, then the arrow and the menus again; the sheet stays.
        {
            test::FileSizeLimit full(100); // as on a full disk
            StateAtMessages rec;
            command();
            QCOMPARE(rec.shown.size(), size_t(1));
            QVERIFY2(rec.last().contains(QStringLiteral("药品盘点表")), qPrintable(rec.last()));
            QCOMPARE(rec.menusOn, QList<bool>{false});
        }
        QVERIFY(qh::ui::mainMenusEnabled());
        QCOMPARE(qh::ui::mousePointer(), qh::ui::PointerArrow);
        QCOMPARE(test::readXlsx(sheet).text(QStringLiteral("A5")), QStringLiteral("黄芪"));

        // An empty balance table.
        clinic.open().exec(QStringLiteral("delete from ycyltb"));
        {
            StateAtMessages rec;
            command();
            QCOMPARE(rec.texts(), QStringList{QStringLiteral("尚未发生药品购销业务")});
        }
        QVERIFY(qh::ui::mainMenusEnabled());
        QVERIFY(!QFile::exists(sheet));
    }

private:
    std::unique_ptr<QTemporaryDir> m_docs;
};

QTEST_MAIN(TstStockQueryWindow)
#include "tst_stockquery_window.moc"
