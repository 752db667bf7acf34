// The formulas of the outpatient window: the formula box of the diagnosis tab, the 加减 line and
// its key, "存为协定方", and "引用此方" on the register tab; and, with none of them used, the
// described tab chains and save as they were.
#include "core/modutarnxt.h"
#include "clinic/caseregister.h"
#include "clinic/formulas.h"
#include "clinic/punctuation.h"
#include "clinic/visitentry.h"
#include "clinic/ui/FrmZymz.h"
#include "clinic/ui/entryboxes.h"
#include "clinic/ui/formulabox.h"
#include "clinic/ui/herbquickbox.h"
#include "query/recordquery.h"
#include "checkorder.h"
#include "printfixtures.h"
#include "testsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace qh;
using namespace qh::clinic;
using qh::clinic::ui::FormulaPanel;
using qh::clinic::ui::FrmZymz;
using qh::clinic::ui::HerbQuickBox;

namespace {

const QString Case = QStringLiteral("A0001");
const QString Guizhi = QStringLiteral("桂枝9克，芍药9克，炙甘草6克，生姜9克，大枣4枚");

QString focusName() { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(); }

struct Row {
    QString name, composition, source, user;
};
std::optional<Row> formulaRow(const QString &name)
{
    auto q = test::OneAction().s().query(QStringLiteral("select fjmc, fjgc, fjly, dlxm from zyfj where fjmc = ?"), name);
    if (!q.next())
        return std::nullopt;
    return Row{q.text(0), q.text(1), q.text(2), q.text(3)};
}

QStringList prescriptionsOf(const QString &caseNumber)
{
    QStringList out;
    auto q = test::OneAction().s().query(QStringLiteral("select blcf from hzzdzl where blbm = ? order by blsj, rowid"), caseNumber);
    while (q.next())
        out << q.text(0);
    return out;
}

// The words of a PDF without blanks and line breaks ("" when pdftotext is missing).
QString pdfText(const QString &pdf)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return {};
    QProcess p;
    p.start(tool, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).remove(QRegularExpression(QStringLiteral("\\s")));
}

} // namespace

class TstFormulaBox : public QObject {
    Q_OBJECT

    // The clinic's drugs, its 桂枝汤 and 葛根汤 and one registered case.
    void fill(test::TempClinic &clinic)
    {
        const char *drugs[][3] = {{"GZ", "桂枝", "克"}, {"SY", "芍药", "克"}, {"ZGC", "炙甘草", "克"}, {"SJ", "生姜", "克"},
                                  {"DZ", "大枣", "枚"}, {"GG", "葛根", "克"},  {"MH", "麻黄", "克"},    {"GC", "甘草", "克"},
                                  {"GS", "甘遂", "克"}};
        for (const auto &d : drugs)
            clinic.addDrug(QString::fromUtf8(d[0]), QString::fromUtf8(d[1]), QStringLiteral("1.00"), QString::fromUtf8(d[2]));
        auto session = clinic.open();
        Formulas formulas(session);
        QVERIFY(formulas.add({QStringLiteral("桂枝汤"), QStringLiteral("伤寒论"), Guizhi, {}, {}, {}, {}, {}}, QStringLiteral("管理员")).ok());
        QVERIFY(formulas.add({QStringLiteral("葛根汤"), QStringLiteral("伤寒论"), QStringLiteral("葛根12克，麻黄9克"), {}, {}, {}, {}, {}},
                             QStringLiteral("管理员"))
                    .ok());
        QVERIFY(formulas.add({QStringLiteral("甘遂半夏汤"), QStringLiteral("金匮要略"), QStringLiteral("甘遂3克，甘草6克"), {}, {}, {}, {}, {}},
                             QStringLiteral("管理员"))
                    .ok());
        CaseRecord r = checkorder::goodCase();
        r.blbm = Case;
        saveCase(session, r, QStringLiteral("管理员"));
    }

    // The window with the case shown as a click in the tree shows it.
    FrmZymz *openCase()
    {
        auto *w = new FrmZymz;
        w->show();
        QApplication::setActiveWindow(w);
        if (!QTest::qWaitForWindowActive(w))
            qWarning("window not active");
        QTreeWidgetItem *root = w->TreeView1->topLevelItem(0);
        for (int i = 0; i < root->childCount(); ++i)
            if (root->child(i)->text(0) == Case) {
                w->TreeView1->scrollToItem(root->child(i));
                QTest::mouseClick(w->TreeView1->viewport(), Qt::LeftButton, {}, w->TreeView1->visualItemRect(root->child(i)).center());
            }
        return w;
    }

    static FormulaPanel *panel(FrmZymz *w) { return w->diag->formulas; }

    static void typeFormula(FrmZymz *w, const QString &typed)
    {
        QLineEdit *box = panel(w)->box->TxtKsfj;
        box->setFocus();
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Return);
    }

    static void fillVisit(FrmZymz *w)
    {
        w->CboZdks->setEditText(QStringLiteral("内科"));
        w->TxtStb1_1->setText(QStringLiteral("李时珍"));
        w->TxtStb1_3->setText(QStringLiteral("解肌发表。"));
        w->TxtStb1_5->setText(QStringLiteral("水煎服，日一剂"));
    }

private slots:
    // From the formula box to the stored visit, the slip and the record query, and the next
    // visit of the patient from the last prescription in one key.
    void formulaToSavedVisitAndBack()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("青禾诊所"));
        fill(clinic);
        QTemporaryDir out;
        Modutarnxt::setDocumentsPath(out.path());
        test::RecordingMessages rec;
        printtest::RecordingDesktop desktop;
        QPointer<FrmZymz> w = openCase();
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        rec.clear();

        QTest::keyClick(w, Qt::Key_F, Qt::AltModifier);
        QCOMPARE(focusName(), QStringLiteral("TxtKsfj"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("gzt"));
        QVERIFY(panel(w)->box->LisKsfj->item(0)->text().contains(QStringLiteral("桂枝汤  伤寒论")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(w->TxtStb1_4->text(), Guizhi + QStringLiteral("，"));
        QCOMPARE(focusName(), QStringLiteral("TxtStb1(4)"));
        QCOMPARE(w->TxtStb1_4->textCursor().position(), w->TxtStb1_4->toPlainText().size());
        QVERIFY(panel(w)->box->TxtKsfj->text().isEmpty());
        QVERIFY(panel(w)->LabFjjj->isVisible());
        QCOMPARE(panel(w)->LabFjjj->text(), QStringLiteral("桂枝汤 原方"));
        QVERIFY(w->TxtStb1_5->text().isEmpty()); // the directions are the doctor's

        // 葛根 from the quick herb box, 大枣 taken out by hand.
        HerbQuickBox *quick = w->diag->quick;
        quick->TxtKsyp->setFocus();
        QTest::keyClicks(quick->TxtKsyp, QStringLiteral("gg"));
        QTest::keyClick(quick->TxtKsyp, Qt::Key_Return);
        QTest::keyClicks(quick->TxtKsjl, QStringLiteral("15"));
        QTest::keyClick(quick->TxtKsjl, Qt::Key_Return);
        QCOMPARE(panel(w)->LabFjjj->text(), QStringLiteral("桂枝汤 加：葛根15克"));
        w->TxtStb1_4->setText(w->TxtStb1_4->text().remove(QStringLiteral("大枣4枚，")));
        const QString edited = QStringLiteral("桂枝9克，芍药9克，炙甘草6克，生姜9克，葛根15克，");
        QCOMPARE(w->TxtStb1_4->text(), edited);
        const QString line = QStringLiteral("桂枝汤 加：葛根15克；去：大枣");
        QCOMPARE(panel(w)->LabFjjj->text(), line);

        QVERIFY(panel(w)->CmdXrjj->isVisible() && panel(w)->CmdXrjj->isEnabled());
        // An access key presses its button as a click does, a moment later (the button is shown down).
        QTest::keyClick(w, Qt::Key_J, Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(w->TxtStb1_4->text(), edited + QStringLiteral("\r\n") + line, 1000);
        QCOMPARE(panel(w)->LabFjjj->text(), line); // the written line is no 加减 of its own
        QCOMPARE(focusName(), QStringLiteral("TxtStb1(4)"));
        // QINGHE_SCREENSHOTS=<folder>: the tab as drawn at the window's own size, to look at.
        const QString shots = qEnvironmentVariable("QINGHE_SCREENSHOTS");
        if (!shots.isEmpty())
            w->grab().save(shots + QStringLiteral("/formula-diagnosis.png"));

        fillVisit(w);
        QTest::mouseClick(w->CmdZdzl, Qt::LeftButton);
        QCOMPARE(rec.last(), visitSavedMessage());
        const QString stored = NormalizePunctuation(edited + QStringLiteral("\r\n") + line);
        QCOMPARE(prescriptionsOf(Case), QStringList{stored});
        QVERIFY(stored.endsWith(QStringLiteral("\r\n") + line));
        const auto formula = formulaRow(QStringLiteral("桂枝汤"));
        QVERIFY(formula);
        QCOMPARE(formula->composition, Guizhi);
        QCOMPARE(formula->source, QStringLiteral("伤寒论"));
        QCOMPARE(formula->user, QStringLiteral("管理员"));

        // The slip prints it.
        rec.clear();
        QTest::mouseClick(w->CmdZdde, Qt::LeftButton);
        QCOMPARE(desktop.opened.size(), 1);
        const QString slip = pdfText(desktop.opened.first());
        QVERIFY2(slip.contains(QStringLiteral("桂枝汤加：葛根15克；去：大枣")), qPrintable(slip));

        // The record query finds it and shows it.
        {
            auto s = clinic.open();
            query::SearchInput in;
            in.ageFrom = QStringLiteral("0");
            in.ageTo = QStringLiteral("99");
            in.start = in.end = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
            in.rxA = QStringLiteral("去：大枣");
            QVERIFY(!query::RecordQuery::validateSearch(in));
            const query::SearchResult found = query::RecordQuery::runSearch(s, in);
            QCOMPARE(found.count(), 1);
            const auto rows = query::RecordQuery::fetchRows(s, found.rows, 0, 1);
            QCOMPARE(rows.front().cells[8], stored);
        }

        // The next visit: back to the register, one key.
        QTest::mouseClick(w->CmdCkba, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        QVERIFY(!panel(w)->LabFjjj->isVisible());
        rec.clear();
        QTest::keyClick(w, Qt::Key_Y, Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(w->SSTab1->currentIndex(), 1, 1000);
        QCOMPARE(w->TxtStb1_4->text(), stored);
        QCOMPARE(focusName(), QStringLiteral("CboZdks"));
        QCOMPARE(w->MasZdsj[1]->text(), QStringLiteral("15/20")); // a new visit's presets
        QCOMPARE(panel(w)->LabFjjj->text(), QStringLiteral("上次处方 原方"));
        QVERIFY(rec.shown.empty());
        if (!shots.isEmpty()) {
            w->grab().save(shots + QStringLiteral("/formula-next-visit.png"));
            QTest::mouseClick(w->CmdCkba, Qt::LeftButton);
            w->reg->openCase(Case);
            w->grab().save(shots + QStringLiteral("/formula-register.png"));
        }
        Modutarnxt::setDocumentsPath(QString());
        delete w;
    }

    // A formula that does not fit leaves the box as it was; one that holds an incompatible pair
    // shows it as typed text does; a second formula makes a 合方.
    void loadingFitsAndChecks()
    {
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = openCase();
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        rec.clear();

        const QString full = QString(220, u'甲') + QStringLiteral("，");
        w->TxtStb1_4->setText(full);
        typeFormula(w, QStringLiteral("gzt"));
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("处方内容不能超过240个字，加入方剂“桂枝汤”后为%1个字，未加入。")
                                              .arg(full.size() + Guizhi.size() + 1)});
        QCOMPARE(w->TxtStb1_4->text(), full);
        QCOMPARE(focusName(), QStringLiteral("TxtKsfj"));
        QVERIFY(!panel(w)->LabFjjj->isVisible());
        QVERIFY(!panel(w)->CmdXrjj->isEnabled());

        rec.clear();
        w->TxtStb1_4->setText(QString());
        auto *pairs = w->findChild<QLabel *>(QStringLiteral("LabCfjj"));
        QVERIFY(!pairs->isVisible());
        panel(w)->box->TxtKsfj->clear();
        typeFormula(w, QStringLiteral("gsbxt"));
        QCOMPARE(w->TxtStb1_4->text(), QStringLiteral("甘遂3克，甘草6克，"));
        QVERIFY(pairs->isVisible());
        QVERIFY2(pairs->text().contains(QStringLiteral("甘遂")) && pairs->text().contains(QStringLiteral("甘草")), qPrintable(pairs->text()));

        w->TxtStb1_4->setText(QString());
        typeFormula(w, QStringLiteral("gzt"));
        typeFormula(w, QStringLiteral("ggt"));
        QCOMPARE(w->TxtStb1_4->text(), Guizhi + QStringLiteral("，葛根12克，麻黄9克，"));
        QVERIFY2(panel(w)->LabFjjj->text().startsWith(QStringLiteral("甘遂半夏汤合桂枝汤合葛根汤 去：甘遂")),
                 qPrintable(panel(w)->LabFjjj->text()));
        QVERIFY(rec.shown.empty());

        // Back to the register and a new visit: nothing loaded any more.
        QTest::mouseClick(w->CmdCkba, Qt::LeftButton);
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        QVERIFY(!panel(w)->LabFjjj->isVisible());
        QVERIFY(!panel(w)->CmdXrjj->isEnabled());
        delete w;
    }

    // The prescription as a new 协定方 under the name asked for; a name taken is refused, a
    // cancelled question does nothing.
    void saveAsFormula()
    {
        test::TempClinic clinic;
        fill(clinic);
        Modutarnxt::CurrentUser = QStringLiteral("王医生");
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = openCase();
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        rec.clear();
        typeFormula(w, QStringLiteral("gzt"));
        w->TxtStb1_4->setText(w->TxtStb1_4->text() + QStringLiteral("葛根15克，"));
        QTest::mouseClick(panel(w)->CmdXrjj, Qt::LeftButton);

        rec.textAnswers = {QStringLiteral(" 桂枝加葛根汤 ")};
        QTest::mouseClick(panel(w)->CmdCwfj, Qt::LeftButton);
        QCOMPARE(rec.asked.size(), size_t(1));
        QCOMPARE(rec.asked.front().text, QStringLiteral("请输入协定方名称："));
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("已存为协定方“桂枝加葛根汤”。")});
        const auto saved = formulaRow(QStringLiteral("桂枝加葛根汤"));
        QVERIFY(saved);
        QCOMPARE(saved->composition, NormalizePunctuation(Guizhi + QStringLiteral("，葛根15克，"))); // without the 加减 line
        QCOMPARE(saved->source, QStringLiteral("协定方"));
        QCOMPARE(saved->user, QStringLiteral("王医生"));
        // Found in the formula box at once.
        panel(w)->box->TxtKsfj->setFocus();
        QTest::keyClicks(panel(w)->box->TxtKsfj, QStringLiteral("gzjggt"));
        QVERIFY2(panel(w)->box->LisKsfj->item(0)->text().contains(QStringLiteral("桂枝加葛根汤  协定方")),
                 qPrintable(panel(w)->box->LisKsfj->item(0)->text()));
        QTest::keyClick(panel(w)->box->TxtKsfj, Qt::Key_Escape);

        rec.clear();
        rec.textAnswers = {QStringLiteral("桂枝汤")};
        QTest::mouseClick(panel(w)->CmdCwfj, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{Formulas::duplicateMessage(QStringLiteral("桂枝汤"))});
        QCOMPARE(formulaRow(QStringLiteral("桂枝汤"))->composition, Guizhi);

        rec.clear();
        QTest::mouseClick(panel(w)->CmdCwfj, Qt::LeftButton); // cancelled
        QCOMPARE(rec.asked.size(), size_t(3));
        QVERIFY(rec.shown.empty());

        w->TxtStb1_4->setText(QStringLiteral("  "));
        QTest::mouseClick(panel(w)->CmdCwfj, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("输入处方内容。")});
        QCOMPARE(rec.asked.size(), size_t(3)); // not asked
        QCOMPARE(focusName(), QStringLiteral("TxtStb1(4)"));
        delete w;
    }

    // 引用此方 starts from the selected visit's prescription, else the latest visit's; it refuses
    // as 门诊诊断 does, and a case without visits says so.
    void startFromAnEarlierVisit()
    {
        test::TempClinic clinic;
        fill(clinic);
        {
            auto s = clinic.open();
            const QString v = QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzxy, bzmb, bzhx, blcf, zdys) "
                                             "values(?, '内科', ?, '15/20', 70, 40, ?, '李时珍')");
            s.exec(v, Case, QDateTime(QDate(2026, 1, 5), QTime(0, 0)), QStringLiteral("麻黄9克，"));
            s.exec(v, Case, QDateTime(QDate(2026, 2, 5), QTime(0, 0)), QStringLiteral("桂枝9克，大枣4枚，"));
        }
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = openCase();
        QCOMPARE(w->MSFGrid->rowCount(), 2);

        w->MSFGrid->selectRow(0);
        QTest::mouseClick(w->reg->CmdYycf, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 1);
        QCOMPARE(w->TxtStb1_4->text(), QStringLiteral("麻黄9克，"));
        w->TxtStb1_4->setText(QStringLiteral("麻黄6克，"));
        QCOMPARE(panel(w)->LabFjjj->text(), QStringLiteral("上次处方 改：麻黄9克→6克"));

        QTest::mouseClick(w->CmdCkba, Qt::LeftButton);
        w->reg->openCase(Case); // the grid again, nothing selected
        QVERIFY(w->MSFGrid->selectionModel()->selectedRows().isEmpty());
        QTest::mouseClick(w->reg->CmdYycf, Qt::LeftButton);
        QCOMPARE(w->TxtStb1_4->text(), QStringLiteral("桂枝9克，大枣4枚，"));

        QTest::mouseClick(w->CmdCkba, Qt::LeftButton);
        rec.clear();
        w->TxtBlbh->setText(QStringLiteral("A9"));
        QTest::mouseClick(w->reg->CmdYycf, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("请指明病历号码")});
        QCOMPARE(focusName(), QStringLiteral("TreeView1"));
        rec.clear();
        w->TxtBlbh->setText(QStringLiteral("B0002"));
        QTest::mouseClick(w->reg->CmdYycf, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("没有 B0002 诊断资料")});
        QCOMPARE(w->SSTab1->currentIndex(), 0);
        delete w;
    }

    // None of the new controls used: the described Tab chains of both tabs, and the save stores
    // exactly what the box holds (after NormalizePunctuation, as always).
    void unusedTheyChangeNothing()
    {
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = openCase();

        const auto tabs = [](QWidget *from, int steps) {
            from->setFocus();
            QStringList seen{focusName()};
            for (int i = 0; i < steps; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                seen << focusName();
            }
            return seen;
        };
        QCOMPARE(tabs(w->TxtBlbh, 12), (QStringList{"TxtBlbh", "TxtHzxm", "CboHzxb", "CboHzag", "CboHyqk", "MaskCzsj", "MaskJzsj",
                                                     "CboHzzy", "TxtHzdz", "TxtHzdw", "TxtMail", "TxtTele", "CmdHzbc"}));
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        w->CheFzbz->setChecked(true);
        w->MasZdsj[4]->setEnabled(true);
        QCOMPARE(tabs(w->CboZdks, 10), (QStringList{"CboZdks", "TxtStb1(1)", "MasZdsj(1)", "MasZdsj(2)", "MasZdsj(3)", "TxtStb1(2)",
                                                     "TxtStb1(3)", "TxtStb1(4)", "TxtStb1(5)", "CheFzbz", "MasZdsj(4)"}));
        w->CheFzbz->setChecked(false);
        w->MasZdsj[4]->setEnabled(false);

        rec.clear();
        fillVisit(w);
        const QString typed = QStringLiteral("桂枝汤 加：葛根15克,桂枝9克\r\n芍药9克");
        w->TxtStb1_4->setText(typed);
        QVERIFY(!panel(w)->LabFjjj->isVisible());
        QVERIFY(!panel(w)->CmdXrjj->isEnabled());
        QTest::mouseClick(w->CmdZdzl, Qt::LeftButton);
        QCOMPARE(rec.last(), visitSavedMessage());
        QCOMPARE(prescriptionsOf(Case), QStringList{NormalizePunctuation(typed)});
        QVERIFY(rec.asked.empty());
        delete w;
    }
};

QTEST_MAIN(TstFormulaBox)
#include "tst_formulabox.moc"
