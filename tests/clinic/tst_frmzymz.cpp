// The outpatient window's register tab: Enter and the checks of each box, the save check's order,
// the case notes, a tree node whose record is gone.
#include "clinic/caseregister.h"
#include "clinic/ui/entryboxes.h"
#include "core/modutarnxt.h"
#include "frmzymzfixture.h"
#include "checkorder.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

using namespace qh;
using namespace qh::clinic;
using namespace qh::clinic::zymztest;
namespace cui = qh::clinic::ui;

class TstFrmZymz : public QObject {
    Q_OBJECT

private slots:
    void registerKeysAndChecks()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = open();
        QCOMPARE(w->windowTitle(), QStringLiteral("门诊疾病诊断"));
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        QCOMPARE(w->MaskCzsj->displayText(), today());
        QVERIFY(!w->TxtZlxd->isVisible());
        QVERIFY(!w->CmdZdzl->isVisible());
        QCOMPARE(w->CboHzag->count(), 100);
        QCOMPARE(w->CboHzxb->currentText(), QString());

        // Enter in an empty case number: message, focus stays; spaces are refused.
        w->TxtBlbh->setFocus();
        enter(w->TxtBlbh);
        QCOMPARE(rec.last(), QStringLiteral("请输入病历号码"));
        QCOMPARE(focusName(), QStringLiteral("TxtBlbh"));
        type(w->TxtBlbh, QStringLiteral("A 1 2"));
        QCOMPARE(w->TxtBlbh->text(), QStringLiteral("A12"));
        enter(w->TxtBlbh);
        QCOMPARE(focusName(), QStringLiteral("TxtHzxm"));
        type(w->TxtHzxm, QStringLiteral("张"));
        enter(w->TxtHzxm);
        QCOMPARE(rec.last(), QStringLiteral("请输入患者姓名，患者姓名至少应为2个汉字"));
        QCOMPARE(focusName(), QStringLiteral("TxtHzxm"));
        QCOMPARE(w->TxtHzxm->selectedText(), QStringLiteral("张"));
        // An input method commits its text without a space key; it is taken whole.
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("三"));
        QApplication::sendEvent(w->TxtHzxm, &commit);
        QCOMPARE(w->TxtHzxm->text(), QStringLiteral("三"));
        w->TxtHzxm->setText(QStringLiteral("张三"));
        enter(w->TxtHzxm);
        QCOMPARE(focusName(), QStringLiteral("CboHzxb"));
        enter(w->CboHzxb);
        QCOMPARE(rec.last(), QStringLiteral("输入患者性别"));
        QCOMPARE(focusName(), QStringLiteral("CboHzxb"));

        // The date box always holds 10 characters; impossible, incomplete and future dates.
        w->MaskCzsj->setFocus();
        w->MaskCzsj->selectAll();
        type(w->MaskCzsj, QStringLiteral("20240230"));
        QCOMPARE(w->MaskCzsj->displayText(), QStringLiteral("2024-02-30"));
        enter(w->MaskCzsj);
        QCOMPARE(rec.last(), QStringLiteral("初诊时间输入错误"));
        QCOMPARE(w->MaskCzsj->selectedText().size(), 10);
        w->MaskCzsj->selectAll();
        QTest::keyClick(w->MaskCzsj, Qt::Key_Backspace);
        type(w->MaskCzsj, QStringLiteral("20241"));
        QCOMPARE(w->MaskCzsj->displayText(), QStringLiteral("2024-1_-__"));
        QCOMPARE(w->MaskCzsj->displayText().size(), 10);
        enter(w->MaskCzsj);
        QCOMPARE(rec.last(), QStringLiteral("初诊时间输入错误"));
        w->MaskCzsj->setText(dateText(QDate::currentDate().addDays(1)));
        enter(w->MaskCzsj);
        QCOMPARE(rec.last(), QStringLiteral("初诊时间不能大于系统目前时间"));
        QCOMPARE(focusName(), QStringLiteral("MaskCzsj"));
        QTest::keyClick(w->MaskCzsj, Qt::Key_Space);
        QCOMPARE(w->MaskCzsj->displayText(), dateText(QDate::currentDate().addDays(1)));

        // Mail and telephone Enter checks.
        w->TxtMail->setFocus();
        type(w->TxtMail, QStringLiteral("zs@example"));
        enter(w->TxtMail);
        QCOMPARE(rec.last(), QStringLiteral("电子信箱输入错误"));
        QCOMPARE(w->TxtMail->selectedText(), QStringLiteral("zs@example"));
        w->TxtTele->setFocus();
        type(w->TxtTele, QStringLiteral("1"));
        enter(w->TxtTele);
        QCOMPARE(rec.last(), QStringLiteral("请输入患者联系电话"));
        QCOMPARE(focusName(), QStringLiteral("TxtTele"));

        // The save check: the first failure in its order, focus on the box, nothing written.
        rec.clear();
        QTest::mouseClick(w->CmdHzbc, Qt::LeftButton);
        QCOMPARE(rec.texts(), (QStringList{QStringLiteral("保存后病历编号和患者姓名不能进行修改或删除，继续吗？"),
                                           QStringLiteral("请选择患者婚姻情况")}));
        QCOMPARE(rec.shown.front().icon, MsgIcon::Question);
        QCOMPARE(focusName(), QStringLiteral("CboHyqk"));
        QCOMPARE(w->srjybl, qint16(1));
        w->CboHyqk->setCurrentIndex(0);
        w->CboHzag->setCurrentIndex(29);
        w->CboHzxb->setCurrentIndex(0);
        rec.clear();
        QTest::mouseClick(w->CmdHzbc, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("电子信箱地址输入错误"));
        QCOMPARE(focusName(), QStringLiteral("TxtMail"));
        QCOMPARE(w->TxtMail->selectedText(), QStringLiteral("zs@example"));
        // Declining the question writes nothing either.
        w->TxtMail->clear();
        w->TxtTele->clear();
        w->TxtHzdz->setText(QStringLiteral("青禾路"));
        rec.answers = {false};
        QTest::mouseClick(w->CmdHzbc, Qt::LeftButton);
        {
            auto s = clinic.open();
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from hzblzl")), 0);
        }
        // A future first-visit date passes the save check; the empty mail and phone become " ".
        rec.clear();
        QTest::mouseClick(w->CmdHzbc, Qt::LeftButton);
        QCOMPARE(rec.texts().size(), 1);
        QCOMPARE(w->srjybl, qint16(0));
        QCOMPARE(focusName(), QStringLiteral("TxtBlbh"));
        QCOMPARE(w->TxtBlbh->text(), QString());
        QVERIFY(node(w, QStringLiteral("A12")));
        auto s = clinic.open();
        auto q = s.query(QStringLiteral("select blxm, blnl, mail, blte, blsj from hzblzl where blbm = 'A12'"));
        QVERIFY(q.next());
        QCOMPARE(q.text(0), QStringLiteral("张三"));
        QCOMPARE(q.integer(1), 30);
        QCOMPARE(q.text(2), QStringLiteral(" "));
        QCOMPARE(q.text(3), QStringLiteral(" "));
        QCOMPARE(*q.date(4), QDate::currentDate().addDays(1));
        delete w;
    }

    void caseNotes()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = open();
        typeRegister(w, QStringLiteral("N0001"), rec);

        // Notes typed before the register is saved are not stored by the notes save.
        QTest::mouseClick(w->CmdZdxd, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 2);
        QVERIFY(w->TxtZlxd->isVisible());
        enter(w->TxtZlxd);
        QCOMPARE(focusName(), QStringLiteral("CmdBack"));
        type(w->TxtZlxd, QStringLiteral("舌红"));
        enter(w->TxtZlxd);
        type(w->TxtZlxd, QStringLiteral("脉数"));
        QTest::mouseClick(w->CmdXdbc, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 2);
        QVERIFY(rec.shown.empty());
        // ... but by the register save, since the tab was not closed with its back command.
        w->SSTab1->setCurrentIndex(0);
        QTest::mouseClick(w->CmdHzbc, Qt::LeftButton);
        QCOMPARE(*notesOf(test::OneAction().s(), QStringLiteral("N0001")), QStringLiteral("舌红\r\n脉数"));

        // Open, edit and save the notes of the stored case.
        clickNode(w, node(w, QStringLiteral("N0001")));
        QTest::mouseClick(w->CmdZdxd, Qt::LeftButton);
        QCOMPARE(w->TxtZlxd->text(), QStringLiteral("舌红\r\n脉数"));
        QCOMPARE(w->TxtZlxd->textCursor().selectedText().size(), 5);
        w->TxtZlxd->setText(QStringLiteral("舌淡苔白"));
        QTest::mouseClick(w->CmdXdbc, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        QVERIFY(!w->TxtZlxd->isVisible());
        QCOMPARE(focusName(), QStringLiteral("TreeView1"));
        QCOMPARE(*notesOf(test::OneAction().s(), QStringLiteral("N0001")), QStringLiteral("舌淡苔白"));

        // Closing the notes with the back command discards the box, not the stored notes.
        QTest::mouseClick(w->CmdZdxd, Qt::LeftButton);
        w->TxtZlxd->setText(QStringLiteral("未保存的修改"));
        QTest::mouseClick(w->CmdBack, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        QCOMPARE(w->TxtZlxd->text(), QString());
        rec.clear();
        QTest::mouseClick(w->CmdHzbc, Qt::LeftButton);
        QCOMPARE(rec.texts().size(), 1);
        QCOMPARE(*notesOf(test::OneAction().s(), QStringLiteral("N0001")), QStringLiteral("舌淡苔白"));
        // Saved three times: the tree holds the case number once.
        QCOMPARE(w->TreeView1->topLevelItem(0)->childCount(), 1);
        delete w;
    }

    void treeNodeWhoseRecordIsGone()
    {
        test::TempClinic clinic;
        {
            auto s = clinic.open();
            s.exec(QStringLiteral("insert into hzblzl(blbm, blxm, blsj, bljz) values('G01', '王五', ?, ?)"), QDate(2024, 1, 2),
                   QDate(2024, 1, 2));
        }
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = open();
        QTreeWidgetItem *gone = node(w, QStringLiteral("G01"));
        QVERIFY(gone);
        {
            auto s = clinic.open();
            s.exec(QStringLiteral("delete from hzblzl"));
        }
        w->TxtHzxm->setText(QStringLiteral("原来的"));
        clickNode(w, gone);
        QCOMPARE(rec.last(), QStringLiteral("病历号 G01 属于新的患者资料"));
        QCOMPARE(w->TxtHzxm->text(), QStringLiteral("原来的"));
        // Clicking the root shows nothing.
        rec.clear();
        clickNode(w, w->TreeView1->topLevelItem(0));
        QVERIFY(rec.shown.empty());
        delete w;
    }

    // The register check's order table, through the window's boxes and save command.
    void registerCheckOrderInTheWindow_data() { checkorder::caseOrderRows(); }
    void registerCheckOrderInTheWindow()
    {
        QFETCH(QString, f1);
        QFETCH(QString, v1);
        QFETCH(QString, f2);
        QFETCH(QString, v2);
        QFETCH(QString, message);
        QFETCH(int, focus);
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = open();
        w->caseToBoxes(checkorder::brokenCase(f1, v1, f2, v2));
        QTest::mouseClick(w->CmdHzbc, Qt::LeftButton);
        QCOMPARE(rec.texts().value(1), message);
        QCOMPARE(focusName(), w->reg->widgetOf(CaseField(focus))->objectName());
        QCOMPARE(w->srjybl, qint16(1));
        QVERIFY(rec.answers.empty());
        delete w;
    }
};

QTEST_MAIN(TstFrmZymz)
#include "tst_frmzymz.moc"
