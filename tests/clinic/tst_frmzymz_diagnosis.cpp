// The outpatient window's diagnosis tab: a whole visit typed and picked, the visit check's order,
// the prescription check, the pick list's stock, the memo boxes.
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

class TstFrmZymzDiagnosis : public QObject {
    Q_OBJECT

private slots:
    void fullVisit()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("1.00"), QStringLiteral("克"), QStringLiteral("解表药"));
        clinic.addDrug(QStringLiteral("GZ"), QStringLiteral("桂枝"), QStringLiteral("1.00"), QStringLiteral("克"), QStringLiteral("解表药"));
        clinic.addDrug(QStringLiteral("HQ"), QStringLiteral("黄芪"), QStringLiteral("2.00"), QStringLiteral("钱"), QStringLiteral("补益药"));
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = open();

        // Register the patient.
        typeRegister(w, QStringLiteral("20240001"), rec);
        QTest::mouseClick(w->CmdHzbc, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("保存后病历编号和患者姓名不能进行修改或删除，继续吗？")});
        QTreeWidgetItem *patient = node(w, QStringLiteral("20240001"));
        QVERIFY(patient);
        QCOMPARE(patient->data(0, Qt::UserRole).toString(), QStringLiteral("1c"));
        QCOMPARE(w->CboHzzy->count(), 1);

        // Pick the patient: the record comes back, the grid is empty.
        rec.clear();
        clickNode(w, patient);
        QCOMPARE(rec.last(), QStringLiteral("没有 20240001 诊断资料"));
        QCOMPARE(w->TxtHzxm->text(), QStringLiteral("张三"));
        QCOMPARE(w->CboHyqk->currentText(), QStringLiteral("未婚"));
        QCOMPARE(w->MaskCzsj->displayText(), QStringLiteral("2024-03-01"));
        QCOMPARE(w->CboHzzy->currentText(), QStringLiteral("教师"));

        // New visit.
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 1);
        QCOMPARE(focusName(), QStringLiteral("CboZdks"));
        QCOMPARE(w->TxtStb1_0->text(), QStringLiteral("20240001"));
        QVERIFY(!w->TxtStb1_0->isEnabled());
        QVERIFY(!w->MasZdsj[0]->isEnabled());
        QCOMPARE(w->MasZdsj[0]->displayText(), today());
        QCOMPARE(w->MasZdsj[1]->displayText(), QStringLiteral("15/20"));
        QCOMPARE(w->MasZdsj[2]->displayText(), QStringLiteral("70"));
        QCOMPARE(w->CboYpfl->count(), 2);
        QCOMPARE(w->LisYpsl->count(), 200); // no department used yet: the dose list keeps 1 to 200
        QVERIFY(w->CboZdks->currentText().isEmpty());

        rec.clear();
        enter(w->CboZdks);
        QCOMPARE(rec.last(), QStringLiteral("输入诊断科室"));
        type(w->CboZdks, QStringLiteral("内 科"));
        QCOMPARE(w->CboZdks->currentText(), QStringLiteral("内科"));
        enter(w->CboZdks);
        QCOMPARE(focusName(), QStringLiteral("TxtStb1(1)"));
        type(w->TxtStb1_1, QStringLiteral("王医生"));
        enter(w->TxtStb1_1);
        QCOMPARE(focusName(), QStringLiteral("MasZdsj(1)"));
        QCOMPARE(w->MasZdsj[1]->selectedText(), QStringLiteral("15/20"));
        type(w->MasZdsj[1], QStringLiteral("12"));
        enter(w->MasZdsj[1]);
        QCOMPARE(rec.last(), QStringLiteral("请输入患者血压。"));
        // The box has no mask: its blanks count, as typed.
        w->MasZdsj[1]->setText(QStringLiteral("12 "));
        rec.clear();
        enter(w->MasZdsj[1]);
        QVERIFY(rec.shown.empty());
        QCOMPARE(focusName(), QStringLiteral("MasZdsj(2)"));
        w->MasZdsj[1]->setText(QStringLiteral(" 120/80 "));
        w->MasZdsj[1]->setFocus();
        enter(w->MasZdsj[1]);
        QCOMPARE(focusName(), QStringLiteral("MasZdsj(2)"));
        w->MasZdsj[2]->selectAll();
        type(w->MasZdsj[2], QStringLiteral("7"));
        QCOMPARE(w->MasZdsj[2]->displayText(), QStringLiteral("7_"));
        enter(w->MasZdsj[2]); // two characters shown: Enter moves on, the save check refuses later
        QCOMPARE(focusName(), QStringLiteral("MasZdsj(3)"));
        enter(w->MasZdsj[3]);
        QCOMPARE(focusName(), QStringLiteral("TxtStb1(2)"));
        enter(w->TxtStb1_2); // empty history: on to the plan
        QCOMPARE(focusName(), QStringLiteral("TxtStb1(3)"));
        rec.clear();
        enter(w->TxtStb1_3);
        QCOMPARE(rec.last(), QStringLiteral("输入诊断治疗内容。"));
        type(w->TxtStb1_3, QStringLiteral("疏风解表"));
        enter(w->TxtStb1_3);
        type(w->TxtStb1_3, QStringLiteral("宣肺"));
        // A typed line break is the CR LF pair the stored texts and the printed paragraphs use.
        QCOMPARE(w->TxtStb1_3->text(), QStringLiteral("疏风解表\r\n宣肺"));

        // Compose the prescription with the mouse.
        chooseByKeys(w->CboYpfl, QStringLiteral("解表药"));
        QCOMPARE(w->LisYpfl->count(), 2);
        QCOMPARE(focusName(), QStringLiteral("LisYpfl"));
        QListWidgetItem *mahuang = w->LisYpfl->findItems(QStringLiteral("麻黄"), Qt::MatchExactly).value(0);
        QVERIFY(mahuang);
        doubleClickItem(w->LisYpfl, mahuang);
        QCOMPARE(focusName(), QStringLiteral("LisYpsl"));
        QCOMPARE(w->LisYpsl->currentItem()->text(), QStringLiteral("1"));
        doubleClickItem(w->LisYpsl, w->LisYpsl->findItems(QStringLiteral("10"), Qt::MatchExactly).value(0));
        QCOMPARE(w->TxtStb1_4->text(), QStringLiteral("麻黄10克，"));
        chooseByKeys(w->CboYpfl, QStringLiteral("补益药"));
        doubleClickItem(w->LisYpfl, w->LisYpfl->item(0));
        doubleClickItem(w->LisYpsl, w->LisYpsl->findItems(QStringLiteral("3"), Qt::MatchExactly).value(0));
        QCOMPARE(w->TxtStb1_4->text(), QStringLiteral("麻黄10克，黄芪3钱，"));

        // Follow-up.
        QTest::mouseClick(w->CheFzbz, Qt::LeftButton);
        QVERIFY(w->MasZdsj[4]->isEnabled());
        QCOMPARE(w->MasZdsj[4]->displayText(), dateText(QDate::currentDate().addDays(10)));
        QCOMPARE(focusName(), QStringLiteral("MasZdsj(4)"));
        QCOMPARE(w->MasZdsj[4]->selectedText().size(), 10);

        // The one-digit pulse is refused at save.
        rec.clear();
        QTest::mouseClick(w->CmdZdzl, Qt::LeftButton);
        QCOMPARE(rec.texts(), (QStringList{QStringLiteral("保存后病历内容不能删除，继续吗？"), QStringLiteral("患者脉搏输入错误")}));
        QCOMPARE(focusName(), QStringLiteral("MasZdsj(2)"));
        QCOMPARE(w->jybl, qint16(1));
        {
            auto s = clinic.open();
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from hzzdzl")), 0);
        }
        w->MasZdsj[2]->setText(QStringLiteral("72"));
        rec.clear();
        QTest::mouseClick(w->CmdZdzl, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("资料内容保存完毕，点击打印键进行打印\r\n或按返回首页键，返回首页输入新的内容。"));
        QCOMPARE(w->jybl, qint16(0));
        QCOMPARE(w->MasZdsj[1]->text(), QStringLiteral("120/80"));
        QCOMPARE(w->SSTab1->currentIndex(), 1);
        {
            auto s = clinic.open();
            auto q = s.query(QStringLiteral("select blkb, bzxy, bzmb, blfa, blcf, zdys from hzzdzl where blbm = '20240001'"));
            QVERIFY(q.next());
            QCOMPARE(q.text(0), QStringLiteral("内科"));
            QCOMPARE(q.text(1), QStringLiteral("120/80")); // stored trimmed
            QCOMPARE(q.integer(2), 72);
            QCOMPARE(q.text(3), QStringLiteral("疏风解表\r\n宣肺")); // the typed line break is kept
            QCOMPARE(q.text(4), QStringLiteral("麻黄10克，黄芪3钱，"));
            QCOMPARE(q.text(5), QStringLiteral("王医生"));
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from fzzl where blbm = '20240001' and date(blfz) = ?"),
                                 dateText(QDate::currentDate().addDays(10))),
                     1);
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from hzblzl where date(bljz) = ?"),
                                 dateText(QDate::currentDate().addDays(10))),
                     1);
        }

        // Back to the register and find the visit again in the grid.
        QTest::mouseClick(w->CmdCkba, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        QVERIFY(!w->CmdZdzl->isVisible());
        rec.clear();
        clickNode(w, node(w, QStringLiteral("20240001")));
        QVERIFY(rec.shown.empty());
        QCOMPARE(w->MSFGrid->rowCount(), 1);
        QCOMPARE(w->MSFGrid->item(0, 0)->text(), today());
        QCOMPARE(w->MSFGrid->item(0, 1)->text(), QStringLiteral("内科"));
        QCOMPARE(w->MSFGrid->item(0, 2)->text(), QStringLiteral("王医生"));
        const QRect cell = w->MSFGrid->visualItemRect(w->MSFGrid->item(0, 3));
        QTest::mouseClick(w->MSFGrid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(w->SSTab1->currentIndex(), 1);
        QCOMPARE(w->CboZdks->currentText(), QStringLiteral("内科"));
        QCOMPARE(w->TxtStb1_4->text(), QStringLiteral("麻黄10克，黄芪3钱，"));
        QCOMPARE(w->MasZdsj[2]->displayText(), QStringLiteral("72"));
        QVERIFY(w->CheFzbz->isChecked());
        QVERIFY(w->MasZdsj[4]->isEnabled());
        QCOMPARE(w->MasZdsj[4]->displayText(), dateText(QDate::currentDate().addDays(10)));
        QCOMPARE(w->LisYpsl->count(), 101); // a department is known now: doses 0 to 100

        // Saving the reviewed visit again edits it.
        w->TxtStb1_5->setText(QStringLiteral("水煎服,日一剂."));
        rec.clear();
        QTest::mouseClick(w->CmdZdzl, Qt::LeftButton);
        auto s = clinic.open();
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from hzzdzl")), 1);
        QCOMPARE(*s.scalarText(QStringLiteral("select blsx from hzzdzl")), QStringLiteral("水煎服，日一剂。"));
        delete w;
    }

    void newVisitNeedsACaseNumber()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = open();
        // A long case number reaches the visit whole.
        w->TxtBlbh->setText(QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        QCOMPARE(w->TxtStb1_0->text(), QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
        QTest::mouseClick(w->CmdCkba, Qt::LeftButton);
        QVERIFY(!w->TxtStb1_0->isVisible());
        w->TxtBlbh->setText(QStringLiteral("12"));
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("请指明病历号码"));
        QCOMPARE(focusName(), QStringLiteral("TreeView1"));
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        rec.clear();
        QTest::mouseClick(w->CmdZdxd, Qt::LeftButton);
        QCOMPARE(rec.last(), QStringLiteral("请指明病历号码"));
        QVERIFY(!w->TxtZlxd->isVisible());
        delete w;
    }

    // After Enter from 血压, typed digits replace the presets of 脉搏 and 呼吸.
    void typingAfterEnterReplacesThePresets()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = open();
        w->caseToBoxes(checkorder::goodCase());
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        type(w->CboZdks, QStringLiteral("内科"));
        enter(w->CboZdks);
        type(focused(), QStringLiteral("王医生"));
        enter(focused());
        type(focused(), QStringLiteral("120/80"));
        enter(focused());
        QCOMPARE(focusName(), QStringLiteral("MasZdsj(2)"));
        type(focused(), QStringLiteral("88"));
        enter(focused());
        QCOMPARE(focusName(), QStringLiteral("MasZdsj(3)"));
        type(focused(), QStringLiteral("21"));
        enter(focused());
        QCOMPARE(focusName(), QStringLiteral("TxtStb1(2)"));
        w->TxtStb1_3->setText(QStringLiteral("疏风解表"));
        w->TxtStb1_4->setText(QStringLiteral("麻黄10克，"));
        QTest::mouseClick(w->CmdZdzl, Qt::LeftButton);
        QCOMPARE(rec.texts().size(), 2); // the question and the saved message
        auto s = clinic.open();
        auto q = s.query(QStringLiteral("select bzxy, bzmb, bzhx, zdys from hzzdzl"));
        QVERIFY(q.next());
        QCOMPARE(q.text(0), QStringLiteral("120/80"));
        QCOMPARE(q.integer(1), 88);
        QCOMPARE(q.integer(2), 21);
        QCOMPARE(q.text(3), QStringLiteral("王医生"));
        delete w;
    }

    // The prescription check: findings in one question before the save; No keeps nothing and goes
    // back to the prescription; Yes saves the text as written. A woman hears of pregnancy.
    void prescriptionCheckAsksBeforeSaving_data()
    {
        QTest::addColumn<QString>("sex");
        QTest::addColumn<bool>("saveAnyway");
        QTest::newRow("man, no") << QStringLiteral("男") << false;
        QTest::newRow("woman, yes") << QStringLiteral("女") << true;
    }
    void prescriptionCheckAsksBeforeSaving()
    {
        QFETCH(QString, sex);
        QFETCH(bool, saveAnyway);
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("GC"), QStringLiteral("甘草"), QStringLiteral("1.00"), QStringLiteral("克"), QStringLiteral("补益药"));
        clinic.addDrug(QStringLiteral("HZ"), QStringLiteral("海藻"), QStringLiteral("1.00"), QStringLiteral("克"), QStringLiteral("化痰药"));
        clinic.addDrug(QStringLiteral("SL"), QStringLiteral("三棱"), QStringLiteral("1.00"), QStringLiteral("克"), QStringLiteral("活血药"));
        clinic.addDrug(QStringLiteral("HQ"), QStringLiteral("黄芪"), QStringLiteral("1.00"), QStringLiteral("克"), QStringLiteral("补益药"));
        for (const char *herb : {"甘草", "海藻", "三棱"})
            clinic.open().exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"),
                               QString::fromUtf8(herb), Money::fromInt(100), Money::fromInt(100), Money::fromInt(100));
        CaseRecord patient = checkorder::goodCase();
        patient.blxb = sex;
        saveCase(test::OneAction().s(), patient, QStringLiteral("测试员"));
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = open();
        w->caseToBoxes(patient);
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        w->CboZdks->setEditText(QStringLiteral("内科"));
        w->TxtStb1_1->setText(QStringLiteral("王医生"));
        w->TxtStb1_3->setText(QStringLiteral("消瘿散结"));
        const QString prescription = QStringLiteral("甘草6克，海藻１０克，三棱6克，黄芪15克，");
        w->TxtStb1_4->setText(prescription);
        rec.clear();
        rec.answers = {true, saveAnyway};
        QTest::mouseClick(w->CmdZdzl, Qt::LeftButton);
        QStringList findings{QStringLiteral("甘草 与 海藻 相反（十八反），不宜同用")};
        if (sex == u"女")
            findings << QStringLiteral("三棱 为妊娠禁用药，请确认患者未怀孕");
        findings << QStringLiteral("黄芪 库存中没有余量");
        QCOMPARE(rec.texts().value(1), QStringLiteral("处方检查发现：\r\n") + findings.join(QStringLiteral("\r\n")) +
                                           QStringLiteral("\r\n\r\n仍然保存吗？"));
        QCOMPARE(rec.shown.at(1).buttons, MsgButtons::YesNo);
        QVERIFY(rec.answers.empty());
        auto s = clinic.open();
        if (saveAnyway) {
            QCOMPARE(rec.texts().size(), 3);
            QCOMPARE(*s.scalarText(QStringLiteral("select blcf from hzzdzl")), prescription);
        } else {
            QCOMPARE(rec.texts().size(), 2);
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from hzzdzl")), 0);
            QCOMPARE(focusName(), QStringLiteral("TxtStb1(4)"));
        }
        delete w;
    }

    // Nothing to say: the described save with its two boxes; the pick list shows the stock.
    void noFindingNoExtraBoxAndThePickListShowsStock()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("HQ"), QStringLiteral("黄芪"), QStringLiteral("1.00"), QStringLiteral("克"), QStringLiteral("补益药"));
        clinic.addDrug(QStringLiteral("DG"), QStringLiteral("当归"), QStringLiteral("1.00"), QStringLiteral("克"), QStringLiteral("补益药"));
        clinic.addDrug(QStringLiteral("RS"), QStringLiteral("人参"), QStringLiteral("1.00"), QStringLiteral("克"), QStringLiteral("补益药"));
        {
            auto s = clinic.open();
            const Money hundred = Money::fromInt(100), ten = Money::fromInt(10);
            s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values('黄芪', ?, ?, ?)"), hundred, hundred, hundred);
            s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values('当归', ?, ?, ?)"), ten, ten, ten);
            s.exec(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, "
                                  "cksl, ckje, xsje, jbxm, bgxm) values('2025-01-02 00:00:00', '当归', '购进', ' ', ' ', "
                                  "' ', '2025-06-30 00:00:00', ' ', ' ', ?, ?, 0, 0, 0, '李四', '测试员')"), ten, ten);
        }
        saveCase(test::OneAction().s(), checkorder::goodCase(), QStringLiteral("测试员"));
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = open();
        w->caseToBoxes(checkorder::goodCase());
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        chooseByKeys(w->CboYpfl, QStringLiteral("补益药"));
        QCOMPARE(w->LisYpfl->count(), 3);
        const auto item = [&](const char *herb) {
            return w->LisYpfl->findItems(QString::fromUtf8(herb), Qt::MatchExactly).value(0);
        };
        QVERIFY(item("黄芪") && item("当归") && item("人参")); // the items keep their own texts
        QCOMPARE(item("黄芪")->data(Qt::UserRole + 1).toString(), QString());
        QCOMPARE(item("当归")->data(Qt::UserRole + 1).toString(), QStringLiteral("（过期）"));
        QCOMPARE(item("人参")->data(Qt::UserRole + 1).toString(), QStringLiteral("（缺货）"));
        w->LisYpfl->setCurrentItem(item("当归"));
        QCOMPARE(w->LabYckc->text(), QStringLiteral("当归：库存 10 克\n最早有效期 2025-06-30（已过期）"));
        // QINGHE_SCREENSHOTS=<folder> keeps a picture of the tab with its marked list, to look at.
        if (const QString dir = qEnvironmentVariable("QINGHE_SCREENSHOTS"); !dir.isEmpty()) {
            QCoreApplication::processEvents(); // the label's new height reaches the layout
            w->grab().save(dir + QStringLiteral("/diagnosis-stock.png"));
        }
        w->LisYpfl->setCurrentItem(item("人参"));
        QCOMPARE(w->LabYckc->text(), QStringLiteral("人参：无库存"));

        w->CboZdks->setEditText(QStringLiteral("内科"));
        w->TxtStb1_1->setText(QStringLiteral("王医生"));
        w->TxtStb1_3->setText(QStringLiteral("补气"));
        w->TxtStb1_4->setText(QStringLiteral("黄芪15克，"));
        rec.clear();
        QTest::mouseClick(w->CmdZdzl, Qt::LeftButton);
        QCOMPARE(rec.texts(), (QStringList{QStringLiteral("保存后病历内容不能删除，继续吗？"),
                                           QStringLiteral("资料内容保存完毕，点击打印键进行打印\r\n或按返回首页键，返回首页输入新的内容。")}));
        delete w;
    }

    // The visit check's order table, through the diagnosis tab's boxes and save command.
    void visitCheckOrderInTheWindow_data() { checkorder::visitOrderRows(false); }
    void visitCheckOrderInTheWindow()
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
        w->caseToBoxes(checkorder::goodCase());
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        const VisitRecord v = checkorder::brokenVisit(QDate::currentDate(), f1, v1, f2, v2);
        w->visitToBoxes(v);
        if (v.followUp)
            w->MasZdsj[4]->setEnabled(true);
        QTest::mouseClick(w->CmdZdzl, Qt::LeftButton);
        QCOMPARE(rec.texts().value(1), message);
        QCOMPARE(focusName(), w->diag->widgetOf(VisitField(focus))->objectName());
        QCOMPARE(w->jybl, qint16(1));
        delete w;
    }

    void memoBoxLimitsWhatIsTyped()
    {
        cui::MemoBox box;
        box.setMaxLength(5);
        box.show();
        box.setFocus();
        QTest::keyClicks(&box, QStringLiteral("abcdefg"));
        QCOMPARE(box.text(), QStringLiteral("abcde"));
        // Text set by the program (picked herbs) is kept whole; typing beyond it is still cut.
        box.setText(QStringLiteral("1234567"));
        QCOMPARE(box.text(), QStringLiteral("1234567"));
        box.moveCursor(QTextCursor::End);
        QTest::keyClicks(&box, QStringLiteral("x"));
        QCOMPARE(box.text(), QStringLiteral("1234567"));
        QTest::keyClick(&box, Qt::Key_Backspace);
        QCOMPARE(box.text(), QStringLiteral("123456"));

        // Line breaks come and go as CR LF and count as two characters.
        box.setText(QStringLiteral("甲\r\n乙"));
        QCOMPARE(box.blockCount(), 2);
        QCOMPARE(box.toPlainText(), QStringLiteral("甲\n乙"));
        QCOMPARE(box.text(), QStringLiteral("甲\r\n乙"));
        box.moveCursor(QTextCursor::End);
        QTest::keyClick(&box, Qt::Key_Return); // 6 characters: refused
        QCOMPARE(box.text(), QStringLiteral("甲\r\n乙"));
        QTest::keyClicks(&box, QStringLiteral("x"));
        QCOMPARE(box.text(), QStringLiteral("甲\r\n乙x"));
        box.setText(QStringLiteral("a\nb"));
        QCOMPARE(box.text(), QStringLiteral("a\r\nb"));
    }
};

QTEST_MAIN(TstFrmZymzDiagnosis)
#include "tst_frmzymz_diagnosis.moc"
