// The print buttons of the outpatient window: what they read from the boxes and where the
// documents go on a machine without a printer.
#include "core/modutarnxt.h"
#include "clinic/caseregister.h"
#include "clinic/printing.h"
#include "clinic/ui/FrmZymz.h"
#include "clinic/ui/entryboxes.h"
#include "testsupport.h"
#include "windowdriving.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "printfixtures.h"

using namespace qh;
using namespace qh::clinic;
using qh::clinic::ui::FrmZymz;

namespace {

using qh::clinic::printtest::RecordingDesktop;

CaseRecord patient()
{
    CaseRecord r;
    r.blbm = QStringLiteral("20240001");
    r.blxm = QStringLiteral("张三");
    r.blxb = QStringLiteral("女");
    r.blnl = QStringLiteral("3");
    r.blhf = QStringLiteral("未婚");
    r.blsj = QStringLiteral("2024-03-01");
    r.bljz = QStringLiteral("2024-03-01");
    r.blzy = QStringLiteral("教师");
    r.blxd = QStringLiteral("药后汗出热退。");
    return r;
}

} // namespace

class TstPrintWindow : public QObject {
    Q_OBJECT

    FrmZymz *open()
    {
        auto *w = new FrmZymz;
        test::showActive(w);
        return w;
    }

private slots:
    void diagnosisTabPrintsCaseRecordAndSlip()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("青禾诊所"));
        QTemporaryDir out;
        qh::Modutarnxt::setDocumentsPath(out.path());
        test::RecordingMessages rec;
        RecordingDesktop desktop;
        QPointer<FrmZymz> w = open();
        w->caseToBoxes(patient());
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 1);
        w->CboZdks->setEditText(QStringLiteral("内科"));
        w->TxtStb1_1->setText(QStringLiteral("李时珍"));
        w->TxtStb1_3->setText(QStringLiteral("辛温解表。"));

        // No prescription yet: the case record refuses, the slip prints.
        rec.clear();
        QTest::mouseClick(w->CmdPrbl, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("治疗处方或治疗方案没有输入，不能打印")});
        QVERIFY(desktop.opened.isEmpty());

        w->TxtStb1_4->setText(QStringLiteral("麻黄10克，桂枝6克，"));
        rec.clear();
        rec.answers = {false};
        QTest::mouseClick(w->CmdPrbl, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("打印吗？")});
        QVERIFY(desktop.opened.isEmpty());
        QVERIFY(w->CmdPrbl->isEnabled());

        rec.clear();
        QTest::mouseClick(w->CmdPrbl, Qt::LeftButton);
        const QString day = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        QCOMPARE(desktop.opened,
                 QStringList{QDir(out.path()).filePath(QStringLiteral("门诊病案-20240001-%1.pdf").arg(day))});
        QCOMPARE(rec.shown.size(), size_t(2)); // the question, then where the PDF is
        QVERIFY(w->CmdPrbl->isEnabled());

        rec.clear();
        QTest::mouseClick(w->CmdZdde, Qt::LeftButton);
        QCOMPARE(rec.shown.front().title, QStringLiteral("打印门诊处方"));
        QCOMPARE(desktop.opened.size(), 2);
        QCOMPARE(QFileInfo(desktop.opened.last()).fileName(), QStringLiteral("处方笺-20240001-%1.pdf").arg(day));
        qh::Modutarnxt::setDocumentsPath(QString());
        delete w;
    }

    void notesTabHandsTheSummaryOver()
    {
        test::TempClinic clinic;
        QTemporaryDir out;
        qh::Modutarnxt::setDocumentsPath(out.path());
        test::RecordingMessages rec;
        RecordingDesktop desktop;
        QPointer<FrmZymz> w = open();

        CaseRecord incomplete = patient();
        incomplete.blzy.clear();
        w->caseToBoxes(incomplete);
        w->CmdPrxd->show();
        QTest::mouseClick(w->CmdPrxd, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("打印内容输入不完全，不能打印")});
        QCOMPARE(QApplication::focusWidget(), w->CmdQcls);
        QVERIFY(desktop.opened.isEmpty());

        rec.clear();
        w->caseToBoxes(patient());
        QTest::mouseClick(w->CmdPrxd, Qt::LeftButton);
        QVERIFY(rec.shown.empty());
        QCOMPARE(desktop.opened.size(), 1);
        QVERIFY(desktop.clipboard.startsWith(QStringLiteral("病历号码：20240001\r\n患者姓名：张三\r\n")));
        QVERIFY(desktop.clipboard.contains(QStringLiteral("治疗心得：\r\n药后汗出热退。\r\n\r\n打印时间：")));
        qh::Modutarnxt::setDocumentsPath(QString());
        delete w;
    }
};

QTEST_MAIN(TstPrintWindow)
#include "tst_printwindow.moc"
