#include "../core/tst_spreadsheet.h"
#include "core/modutarnxt.h"
#include "core/spreadsheet.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "stock/ui/Frmyjwh.h"
#include "testsupport.h"
#include "windowdriving.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace qh;
using qh::stock::ui::Frmyjwh;

class TstDrugListWindow : public QObject {
    Q_OBJECT

private:
    QPointer<Frmyjwh> w;

    Frmyjwh *open()
    {
        w = new Frmyjwh;
        test::showActive(w);
        return w;
    }

    static QWidget *focus() { return QApplication::focusWidget(); }

    static void type(QWidget *target, const QString &text) { test::typeKeys(target, text); }

    static QStringList gridRow(Frmyjwh *f, int row)
    {
        QStringList l;
        for (int c = 0; c < f->MSFGridBmmc->columnCount(); ++c)
            l << f->MSFGridBmmc->item(row, c)->text();
        return l;
    }

    static void clickRow(Frmyjwh *f, int row)
    {
        const QRect r = f->MSFGridBmmc->visualRect(f->MSFGridBmmc->model()->index(row, 1));
        QTest::mouseClick(f->MSFGridBmmc->viewport(), Qt::LeftButton, {}, r.center());
    }

    static int drugCount(test::TempClinic &c) { return int(c.open().scalarInt(QStringLiteral("select count(*) from ycjg"))); }

private slots:
    void cleanup()
    {
        delete w.data();
        qh::Modutarnxt::setDocumentsPath(QString());
    }

    void typeADrugWithEnterMoves()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        auto *f = open();
        QCOMPARE(f->windowTitle(), QStringLiteral("药品价格维护"));
        QCOMPARE(f->MSFGridBmmc->rowCount(), 0);
        QCOMPARE(f->MSFGridBmmc->horizontalHeaderItem(1)->text(), QStringLiteral("药 材 名 称"));
        QCOMPARE(f->Txtycdj->text(), QStringLiteral("0.00"));

        f->CboYplb->setFocus();
        type(f->CboYplb, QStringLiteral("解表 药"));
        QTest::keyClick(f->CboYplb, Qt::Key_Return);
        QCOMPARE(f->CboYplb->currentText(), QStringLiteral("解表药"));
        QCOMPARE(focus(), f->Txtycbm);

        type(f->Txtycbm, QStringLiteral("ab 01"));
        QCOMPARE(f->Txtycbm->text(), QStringLiteral("ab01"));
        f->Txtycmc->setText(QStringLiteral("麻"));
        QTest::keyClick(f->Txtycbm, Qt::Key_Return);
        QCOMPARE(focus(), f->Txtycmc);
        QCOMPARE(f->Txtycmc->cursorPosition(), 1); // caret at the end, nothing selected
        QVERIFY(!f->Txtycmc->hasSelectedText());
        type(f->Txtycmc, QStringLiteral("黄"));
        QTest::keyClick(f->Txtycmc, Qt::Key_Enter);
        QCOMPARE(focus(), f->TxtJldw);

        type(f->TxtJldw, QStringLiteral("克"));
        QTest::keyClick(f->TxtJldw, Qt::Key_Return);
        QCOMPARE(focus(), f->Txtycdj);
        QCOMPARE(f->Txtycdj->selectedText(), QStringLiteral("0.00"));
        type(f->Txtycdj, QStringLiteral("1234.5"));
        QTest::keyClick(f->Txtycdj, Qt::Key_Return);
        QCOMPARE(f->Txtycdj->text(), QStringLiteral("1,234.50"));
        QCOMPARE(focus(), f->CmdSave);
        QTest::keyClick(f->CmdSave, Qt::Key_Return);

        QCOMPARE(rec.texts(), QStringList{});
        QCOMPARE(f->jybl, 0);
        QCOMPARE(f->MSFGridBmmc->rowCount(), 1);
        QCOMPARE(gridRow(f, 0), (QStringList{QStringLiteral("AB01"), QStringLiteral("麻黄"), QStringLiteral("1,234.50"),
                                             QStringLiteral("克"), QStringLiteral("解表药")}));
        auto q = clinic.open().query(QStringLiteral("select ycbm, ycmc, ycdj, jldw, yplb from ycjg"));
        QVERIFY(q.next());
        QCOMPARE(q.text(0), QStringLiteral("AB01"));
        QCOMPARE(q.money(2), Money::fromCents(123450));
        // Cleared for the next drug, with the new category offered.
        QCOMPARE(f->Txtycbm->text(), QString());
        QCOMPARE(f->Txtycmc->text(), QString());
        QCOMPARE(f->Txtycdj->text(), QStringLiteral("0.00"));
        QCOMPARE(f->CboYplb->count(), 1);
        QCOMPARE(f->CboYplb->itemText(0), QStringLiteral("解表药"));
        QCOMPARE(focus(), f->CboYplb);
    }

    void enterRefusalsAndNoBlanks()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        auto *f = open();
        f->CboYplb->setFocus();
        type(f->CboYplb, QStringLiteral("  "));
        QTest::keyClick(f->CboYplb, Qt::Key_Return);
        QCOMPARE(rec.last(), QStringLiteral("输入药品类别，此项必须输入。"));
        QCOMPARE(rec.shown.back().icon, MsgIcon::Information);
        QCOMPARE(rec.shown.back().title, QString());
        QCOMPARE(focus(), f->CboYplb);

        rec.clear();
        for (QLineEdit *e : {f->Txtycbm, f->Txtycmc, f->TxtJldw}) {
            e->setFocus();
            QTest::keyClick(e, Qt::Key_Return); // empty: nothing happens
            QCOMPARE(focus(), e);
            type(e, QStringLiteral(" x y "));
            QCOMPARE(e->text(), QStringLiteral("xy"));
        }
        QCOMPARE(rec.texts(), QStringList{});

        f->Txtycdj->setFocus();
        f->Txtycdj->setText(QStringLiteral("abc"));
        QTest::keyClick(f->Txtycdj, Qt::Key_Return);
        QCOMPARE(rec.last(), QStringLiteral("药品单价输入错误"));
        QCOMPARE(focus(), f->Txtycdj);
        QCOMPARE(f->Txtycdj->selectedText(), QStringLiteral("abc"));
        f->Txtycdj->setText(QStringLiteral("99999999999999999999"));
        QTest::keyClick(f->Txtycdj, Qt::Key_Return);
        QCOMPARE(rec.shown.size(), size_t(2));
        QCOMPARE(focus(), f->Txtycdj);
    }

    void commandValidationFocusesTheBox()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        auto *f = open();
        f->CboYplb->setEditText(QStringLiteral(" 解表药 "));
        f->Txtycbm->setText(QStringLiteral(" mh01"));
        QTest::mouseClick(f->CmdSave, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("输入药品名称"));
        QCOMPARE(focus(), f->Txtycmc);
        QCOMPARE(f->jybl, 1);
        QCOMPARE(f->Txtycbm->text(), QStringLiteral("MH01")); // the boxes show the trimmed entries
        QCOMPARE(f->CboYplb->currentText(), QStringLiteral("解表药"));

        f->Txtycmc->setText(QStringLiteral("麻黄"));
        f->TxtJldw->setText(QStringLiteral("克"));
        f->Txtycdj->setText(QStringLiteral("99999999999999"));
        QTest::mouseClick(f->CmdSave, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("药品单价不能大于9,999,999.99"));
        QCOMPARE(focus(), f->Txtycdj);
        QCOMPARE(f->Txtycdj->selectedText(), QStringLiteral("99999999999999"));
        QCOMPARE(drugCount(clinic), 0);

        // A duplicate code keeps the entries and selects the code.
        clinic.addDrug(QStringLiteral("MH01"), QStringLiteral("别的"), QStringLiteral("1"));
        f->Txtycdj->setText(QStringLiteral("0.3"));
        QTest::mouseClick(f->CmdSave, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("药品编码重复"));
        QCOMPARE(focus(), f->Txtycbm);
        QCOMPARE(f->Txtycbm->selectedText(), QStringLiteral("MH01"));
        QCOMPARE(f->Txtycmc->text(), QStringLiteral("麻黄"));
        QCOMPARE(drugCount(clinic), 1);
    }

    void pickChangeAndDelete()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("GC01"), QStringLiteral("甘草"), QStringLiteral("0.2"), QStringLiteral("克"), QStringLiteral("补虚药"));
        clinic.addDrug(QStringLiteral("MH01"), QStringLiteral("麻黄"), QStringLiteral("0.3"), QStringLiteral("克"), QStringLiteral("解表药"));
        clinic.addDrug(QStringLiteral("BZ01"), QStringLiteral("白芷"), QStringLiteral("0.4"), QStringLiteral("两"), QStringLiteral("解表药"));
        test::RecordingMessages rec;
        auto *f = open();
        QCOMPARE(f->MSFGridBmmc->rowCount(), 3);
        QCOMPARE(f->CboYplb->count(), 2);

        // A click below the last row picks nothing.
        QTest::mouseClick(f->MSFGridBmmc->viewport(), Qt::LeftButton, {},
                          QPoint(10, f->MSFGridBmmc->viewport()->height() - 3));
        QCOMPARE(f->Txtycbm->text(), QString());

        clickRow(f, 1); // ordered by code: BZ01, GC01, MH01
        QCOMPARE(f->Txtycbm->text(), QStringLiteral("GC01"));
        QCOMPARE(f->Txtycmc->text(), QStringLiteral("甘草"));
        QCOMPARE(f->Txtycdj->text(), QStringLiteral("0.20"));
        QCOMPARE(f->TxtJldw->text(), QStringLiteral("克"));
        QCOMPARE(f->CboYplb->currentText(), QStringLiteral("补虚药"));
        QCOMPARE(focus(), f->CboYplb);
        QCOMPARE(f->CboYplb->lineEdit()->selectedText(), QStringLiteral("补虚药"));

        f->Txtycdj->setText(QStringLiteral("2.5"));
        f->TxtJldw->setText(QStringLiteral("两"));
        QTest::mouseClick(f->Cmdedit, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{});
        QCOMPARE(gridRow(f, 1), (QStringList{QStringLiteral("GC01"), QStringLiteral("甘草"), QStringLiteral("2.50"),
                                             QStringLiteral("两"), QStringLiteral("补虚药")}));
        QCOMPARE(focus(), f->CboYplb);

        clickRow(f, 2);
        f->Txtycmc->setText(QStringLiteral("生麻黄"));
        QTest::mouseClick(f->CmdMcxg, Qt::LeftButton);
        QCOMPARE(f->MSFGridBmmc->item(2, 1)->text(), QStringLiteral("生麻黄"));

        clickRow(f, 2);
        f->Txtycbm->setText(QStringLiteral("sm01"));
        QTest::mouseClick(f->CmdBmxg, Qt::LeftButton);
        QCOMPARE(f->MSFGridBmmc->item(2, 0)->text(), QStringLiteral("SM01"));

        // Change code of a name that is not in the list.
        clickRow(f, 0);
        f->Txtycmc->setText(QStringLiteral("不在表中"));
        f->Txtycbm->setText(QStringLiteral("NEW1"));
        QTest::mouseClick(f->CmdBmxg, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("此条记录尚未保存"));
        QCOMPARE(focus(), f->CmdSave);

        // Delete: No keeps the row; an incomplete entry is refused; then it goes.
        rec.clear();
        clickRow(f, 0);
        rec.answers = {false};
        QTest::mouseClick(f->Cmddele, Qt::LeftButton);
        QCOMPARE(rec.shown.size(), size_t(1));
        QCOMPARE(rec.shown[0].text, QStringLiteral("确实要删除此条信息吗？"));
        QCOMPARE(rec.shown[0].buttons, MsgButtons::YesNo);
        QCOMPARE(rec.shown[0].title, QString());
        QCOMPARE(drugCount(clinic), 3);
        f->TxtJldw->clear();
        QTest::mouseClick(f->Cmddele, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("输入药品计量单位"));
        QCOMPARE(focus(), f->TxtJldw);
        QCOMPARE(drugCount(clinic), 3);
        f->TxtJldw->setText(QStringLiteral("两"));
        QTest::mouseClick(f->Cmddele, Qt::LeftButton);
        QCOMPARE(drugCount(clinic), 2);
        QCOMPARE(f->MSFGridBmmc->rowCount(), 2);
        QCOMPARE(f->MSFGridBmmc->item(0, 0)->text(), QStringLiteral("GC01"));
        QCOMPARE(focus(), f->Txtycbm);
    }

    void becomingActiveClearsButMessagesDoNot()
    {
        test::TempClinic clinic;
        auto *f = open();
        clinic.addDrug(QStringLiteral("GC01"), QStringLiteral("甘草"), QStringLiteral("0.2"));
        f->Txtycbm->setText(QStringLiteral("X"));

        // Returning from a modal box (a message, a dialog) is no new visit.
        QDialog box;
        box.setModal(true);
        box.show();
        QApplication::setActiveWindow(&box);
        QVERIFY(QTest::qWaitForWindowActive(&box));
        box.hide();
        QApplication::setActiveWindow(f);
        QVERIFY(QTest::qWaitForWindowActive(f));
        QCOMPARE(f->Txtycbm->text(), QStringLiteral("X"));
        QCOMPARE(f->MSFGridBmmc->rowCount(), 0);

        // Returning from another window of the program is: entries cleared, list reloaded.
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QApplication::setActiveWindow(f);
        QVERIFY(QTest::qWaitForWindowActive(f));
        QCOMPARE(f->Txtycbm->text(), QString());
        QCOMPARE(f->MSFGridBmmc->rowCount(), 1);
        QCOMPARE(qh::ui::mousePointer(), qh::ui::PointerArrow);

        f->Txtycmc->setText(QStringLiteral("Y"));
        QTest::mouseClick(f->CmdQcls, Qt::LeftButton);
        QCOMPARE(f->Txtycmc->text(), QString());
        QCOMPARE(focus(), f->CboYplb);
    }

    void exportWritesTheListToDocuments()
    {
        test::TempClinic clinic;
        QTemporaryDir docs;
        qh::Modutarnxt::setDocumentsPath(docs.filePath(QStringLiteral("我的文档")));
        test::RecordingMessages rec;
        auto *f = open();
        QTest::mouseClick(f->CmdExit, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("没有要打印的内容"));

        clinic.addDrug(QStringLiteral("MH01"), QStringLiteral("麻黄"), QStringLiteral("1234.5"), QStringLiteral("克"));
        clinic.addDrug(QStringLiteral("GC01"), QStringLiteral("It's 甘草"), QStringLiteral("0.2"), QStringLiteral("两"));
        QTest::mouseClick(f->CmdQcls, Qt::LeftButton);
        const QString path = QDir(documentsFolder()).filePath(QStringLiteral("药品编码名称对照表.xlsx"));
        QCOMPARE(path, docs.filePath(QStringLiteral("我的文档/药品编码名称对照表.xlsx")));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("older export");
        }
        rec.clear();
        QTest::mouseClick(f->CmdExit, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("生成图表已经存放在我的文档中，请查收")});
        QVERIFY(f->CmdExit->isEnabled());
        QCOMPARE(qh::ui::mousePointer(), qh::ui::PointerArrow);

        const auto x = test::readXlsx(path);
        QVERIFY(x.ok);
        QCOMPARE(x.text(QStringLiteral("A2")), QStringLiteral("药品编码"));
        QCOMPARE(x.text(QStringLiteral("A5")), QStringLiteral("GC01"));
        QCOMPARE(x.text(QStringLiteral("B5")), QStringLiteral("It's 甘草"));
        QCOMPARE(x.number(QStringLiteral("C5")), 0.2);
        QCOMPARE(x.text(QStringLiteral("D5")), QStringLiteral("两"));
        QCOMPARE(x.text(QStringLiteral("A6")), QStringLiteral("MH01"));
        QCOMPARE(x.number(QStringLiteral("C6")), 1234.5);
        QCOMPARE(x.numberFormat(QStringLiteral("C6")), QStringLiteral("#,##0.00_ "));
        QVERIFY(!x.has(QStringLiteral("E5"))); // the category is not exported
        QCOMPARE(x.lastRow(), 6);
        QVERIFY(*x.width(2) >= 20 && *x.width(2) < 21);

        // A folder that cannot be made: the failure's description, the button comes back.
        QFile blocker(docs.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qh::Modutarnxt::setDocumentsPath(docs.filePath(QStringLiteral("file/我的文档")));
        rec.clear();
        QTest::mouseClick(f->CmdExit, Qt::LeftButton);
        QCOMPARE(rec.shown.size(), size_t(1));
        QVERIFY(rec.last().contains(QStringLiteral("我的文档")));
        QVERIFY(f->CmdExit->isEnabled());
        QCOMPARE(qh::ui::mousePointer(), qh::ui::PointerArrow);
    }

    void helpRegistrationAndClosing()
    {
        test::TempClinic clinic;
        auto *f = open();
        QCOMPARE(f->Command1->text(), QStringLiteral("操作说明&H"));
        QTest::mouseClick(f->Command1, Qt::LeftButton);
        QCOMPARE(Modutarnxt::HelpTopic, QStringLiteral("BM"));
        QVERIFY(!f->isEnabled());
        auto *help = qh::ui::singleWindow<qh::ui::FrmHelp>();
        help->close();
        QVERIFY(f->isEnabled());
        delete help;

        qh::stock::ui::registerDrugListWindow();
        const auto factory = qh::ui::taskWindowFactory(QStringLiteral("YcqkWh"));
        QVERIFY(factory);
        QWidget *a = factory();
        QVERIFY(qobject_cast<Frmyjwh *>(a));
        QCOMPARE(factory(), a);
        { // as the main window opens it
            qh::ui::MenusOff menus;
            menus.attachTo(a);
        }
        a->show();
        QVERIFY(a->close());
        QVERIFY(qh::ui::mainMenusEnabled());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QWidget *b = factory(); // unloaded: a new window next time
        QVERIFY(b);
        delete b;
    }
};

QTEST_MAIN(TstDrugListWindow)
#include "tst_druglist_window.moc"
