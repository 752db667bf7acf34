#include "clinic/herbquick.h"
#include "clinic/caseregister.h"
#include "clinic/visitentry.h"
#include "clinic/ui/FrmZymz.h"
#include "clinic/ui/herbquickbox.h"
#include "clinic/ui/entryboxes.h"
#include "testsupport.h"
#include "checkorder.h"
#include "frmzymzfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

using namespace qh;
using namespace qh::clinic;
using qh::clinic::ui::FrmZymz;
using qh::clinic::ui::HerbQuickBox;

namespace {

// The twelve herbs of one prescription, their initials and doses, plus the herbs that share
// initials or are incompatible with them.
struct Herb {
    const char *code, *name, *unit, *initials, *dose;
};
const Herb Twelve[] = {
    {"MH", "麻黄", "克", "mh", "10"}, {"GZ", "桂枝", "克", "gz", "12"}, {"BS", "白芍", "克", "bs", "15"},
    {"SJ", "生姜", "片", "sj", "3"},  {"DZ", "大枣", "枚", "dz", "4"},  {"HQ", "黄芪", "克", "hq", "30"},
    {"DG", "当归", "克", "dg", "10"}, {"CX", "川芎", "克", "cx", "6"},  {"FL", "茯苓", "克", "fl", "15"},
    {"BZ", "白术", "克", "bz", "12"}, {"CP", "陈皮", "克", "cp", "6"},  {"BX", "半夏", "克", "bx", "9"},
};

QString focusName() { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(); }

} // namespace

class TstHerbQuick : public QObject {
    Q_OBJECT

    static HerbQuick quickOf(const QStringList &names, const QHash<QString, qint64> &weights = {})
    {
        HerbQuick q;
        QHash<QString, QString> units;
        for (const QString &n : names)
            units.insert(n, QStringLiteral("克"));
        q.setDrugs(names, units, weights);
        return q;
    }

    // The outpatient window on a new visit of a registered case, the drug list given.
    FrmZymz *openVisit(test::TempClinic &clinic)
    {
        for (const Herb &h : Twelve)
            clinic.addDrug(QString::fromUtf8(h.code), QString::fromUtf8(h.name), QStringLiteral("1.00"), QString::fromUtf8(h.unit));
        clinic.addDrug(QStringLiteral("GC"), QStringLiteral("甘草"), QStringLiteral("1.00"));
        clinic.addDrug(QStringLiteral("ZGC"), QStringLiteral("炙甘草"), QStringLiteral("1.00"));
        clinic.addDrug(QStringLiteral("GS"), QStringLiteral("甘遂"), QStringLiteral("1.00"));
        CaseRecord r = checkorder::goodCase();
        r.blbm = QStringLiteral("A0001");
        saveCase(test::OneAction().s(), r, QStringLiteral("管理员"));
        FrmZymz *w = zymztest::open();
        if (QTreeWidgetItem *patient = zymztest::node(w, r.blbm))
            zymztest::clickNode(w, patient);
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        return w;
    }

private slots:
    void order_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("first");
        const QStringList none;
        QTest::newRow("exact initials") << "hq" << QStringList{QStringLiteral("黄芪")};
        QTest::newRow("whole syllables") << "huangqi" << QStringList{QStringLiteral("黄芪")};
        QTest::newRow("exact before inside") << "gc" << QStringList{QStringLiteral("甘草"), QStringLiteral("炙甘草")};
        QTest::newRow("upper case, full width") << "ＨＱ" << QStringList{QStringLiteral("黄芪")};
        QTest::newRow("参 is shen") << "rs" << QStringList{QStringLiteral("人参")};
        QTest::newRow("术 is zhu") << "bz" << QStringList{QStringLiteral("白术"), QStringLiteral("白芷")};
        QTest::newRow("characters") << "芪" << QStringList{QStringLiteral("黄芪")};
        QTest::newRow("nothing typed") << "" << none;
    }
    void order()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, first);
        // 白芷 is prescribed more than 白术 here, but 白术's initials are the ones typed exactly too:
        // among equal matches the weight decides, so 白术 (weight 5) before 白芷 (weight 1).
        const HerbQuick q = quickOf({QStringLiteral("白芷"), QStringLiteral("炙甘草"), QStringLiteral("甘草"), QStringLiteral("黄芪"),
                                     QStringLiteral("人参"), QStringLiteral("白术"), QStringLiteral("黄芩")},
                                    {{QStringLiteral("白术"), 5}, {QStringLiteral("白芷"), 1}});
        QStringList got;
        for (const QuickHerb &h : q.candidates(typed).mid(0, first.size()))
            got << h.name;
        QCOMPARE(got, first);
    }

    void doses_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("dose"); // "" refused
        QTest::newRow("whole") << "15" << "15";
        QTest::newRow("decimal") << "1.5" << "1.5";
        QTest::newRow("full width") << "１５" << "15";
        QTest::newRow("blanks around") << " 9 " << "9";
        QTest::newRow("zero") << "0" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("letters") << "15g" << "";
        QTest::newRow("three decimals") << "1.255" << "";
        QTest::newRow("five digits") << "10000" << "";
    }
    void doses()
    {
        QFETCH(QString, typed);
        QFETCH(QString, dose);
        QCOMPARE(HerbQuick::dose(typed).value_or(QString()), dose);
    }

    void prescribedMostComesFirst()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        const QString v = QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, blcf) values(?, '内科', ?, ?)");
        s.exec(v, QStringLiteral("1"), QDateTime(QDate(2026, 1, 1), QTime(9, 0)), QStringLiteral("白芷10克，白术10克，"));
        s.exec(v, QStringLiteral("2"), QDateTime(QDate(2026, 1, 2), QTime(9, 0)), QStringLiteral("白术10克，"));
        const QStringList names{QStringLiteral("白芷"), QStringLiteral("白术")};
        const auto counts = HerbQuick::prescribedCounts(s, names);
        QCOMPARE(counts.value(QStringLiteral("白术")), 2);
        QCOMPARE(counts.value(QStringLiteral("白芷")), 1);
        QCOMPARE(HerbQuick::prescribedCounts(s, names, 1).value(QStringLiteral("白芷")), 0); // only the last visit
    }

    // The quick box adds exactly what the pick lists add for the same herb and dose, and the
    // focus comes back to it; Escape and an empty box change nothing.
    void quickBoxAddsWhatThePickAdds()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = openVisit(clinic);
        rec.clear(); // what opening the case said
        auto *box = w->findChild<HerbQuickBox *>();
        QVERIFY(box && box->isVisible());

        // The pick path.
        w->CboYpfl->setFocus();
        w->CboYpfl->setCurrentIndex(w->CboYpfl->findText(QStringLiteral("解表药")));
        emit w->CboYpfl->activated(w->CboYpfl->currentIndex());
        w->LisYpfl->setCurrentItem(w->LisYpfl->findItems(QStringLiteral("生姜"), Qt::MatchExactly).value(0));
        emit w->LisYpfl->itemDoubleClicked(w->LisYpfl->currentItem());
        w->LisYpsl->setCurrentItem(w->LisYpsl->findItems(QStringLiteral("3"), Qt::MatchExactly).value(0));
        emit w->LisYpsl->itemDoubleClicked(w->LisYpsl->currentItem());
        const QString picked = w->TxtStb1_4->text();
        QCOMPARE(picked, QStringLiteral("生姜3片，"));

        // The keyboard path, same herb and dose.
        box->TxtKsyp->setFocus();
        QTest::keyClicks(box->TxtKsyp, QStringLiteral("sj"));
        QVERIFY(box->LisKsyp->item(0)->text().contains(QStringLiteral("生姜")));
        QTest::keyClick(box->TxtKsyp, Qt::Key_Return);
        QCOMPARE(focusName(), QStringLiteral("TxtKsjl"));
        QTest::keyClicks(box->TxtKsjl, QStringLiteral("3"));
        QTest::keyClick(box->TxtKsjl, Qt::Key_Return);
        QCOMPARE(w->TxtStb1_4->text(), picked + picked);
        QCOMPARE(focusName(), QStringLiteral("TxtKsyp"));
        QVERIFY(box->TxtKsyp->text().isEmpty());

        // A digit takes that candidate; Escape leaves everything as it was.
        QTest::keyClicks(box->TxtKsyp, QStringLiteral("gc"));
        QTest::keyClicks(box->TxtKsyp, QStringLiteral("2"));
        QCOMPARE(box->herb(), QStringLiteral("炙甘草"));
        QTest::keyClick(box->TxtKsjl, Qt::Key_Escape);
        QTest::keyClick(box->TxtKsyp, Qt::Key_Escape);
        QTest::keyClick(box->TxtKsyp, Qt::Key_Return);
        QCOMPARE(w->TxtStb1_4->text(), picked + picked);
        QVERIFY(rec.shown.empty());
        delete w;
    }

    // A prescription of twelve herbs from the keyboard alone: initials, Enter, dose, Enter.
    void twelveHerbsInSixKeysEach()
    {
        test::TempClinic clinic;
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = openVisit(clinic);
        rec.clear();
        auto *box = w->findChild<HerbQuickBox *>();
        box->TxtKsyp->setFocus();
        int keys = 0;
        QString expected;
        for (const Herb &h : Twelve) {
            const QString initials = QString::fromUtf8(h.initials), dose = QString::fromUtf8(h.dose);
            QTest::keyClicks(QApplication::focusWidget(), initials);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QTest::keyClicks(QApplication::focusWidget(), dose);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            keys += int(initials.size() + dose.size()) + 2;
            expected += QString::fromUtf8(h.name) + dose + QString::fromUtf8(h.unit) + QStringLiteral("，");
        }
        QCOMPARE(w->TxtStb1_4->text(), expected);
        QVERIFY2(keys <= 6 * 12, qPrintable(QString::number(keys)));
        QVERIFY(rec.shown.empty());
        delete w;
    }

    // An incompatible pair is named under the prescription as soon as it is there, and a
    // candidate that would make one is marked.
    void pairsShowWhileComposing()
    {
        test::TempClinic clinic;
        QPointer<FrmZymz> w = openVisit(clinic);
        auto *box = w->findChild<HerbQuickBox *>();
        auto *pairs = w->findChild<QLabel *>(QStringLiteral("LabCfjj"));
        QVERIFY(pairs && !pairs->isVisible());
        w->TxtStb1_4->setText(QStringLiteral("甘草6克，"));
        QVERIFY(!pairs->isVisible());
        box->TxtKsyp->setFocus();
        QTest::keyClicks(box->TxtKsyp, QStringLiteral("gs"));
        QVERIFY2(box->LisKsyp->item(0)->text().contains(QStringLiteral("⚠")), qPrintable(box->LisKsyp->item(0)->text()));
        QTest::keyClick(box->TxtKsyp, Qt::Key_Return);
        QTest::keyClicks(box->TxtKsjl, QStringLiteral("1"));
        QTest::keyClick(box->TxtKsjl, Qt::Key_Return);
        QVERIFY(pairs->isVisible());
        QVERIFY2(pairs->text().contains(QStringLiteral("甘遂")) && pairs->text().contains(QStringLiteral("甘草")), qPrintable(pairs->text()));
        w->TxtStb1_4->setText(QStringLiteral("甘草6克，"));
        QVERIFY(!pairs->isVisible());
        delete w;
    }

    // The register's filter narrows the tree while typing; Enter on the one case left shows it as
    // a click on the tree does; an empty filter is the whole tree again.
    void patientFilter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("initials") << "zs" << QStringList{QStringLiteral("A0001")};
        QTest::newRow("surname read as a surname") << "sm" << QStringList{QStringLiteral("A0003")};
        QTest::newRow("characters") << "李" << QStringList{QStringLiteral("A0002")};
        QTest::newRow("digits of the telephone") << "1111" << QStringList{QStringLiteral("A0001")};
        QTest::newRow("digits of the case number") << "0002" << QStringList{QStringLiteral("A0002")};
        QTest::newRow("nothing matches") << "qqq" << QStringList{};
        QTest::newRow("empty: the whole tree") << ""
                                               << QStringList{QStringLiteral("A0001"), QStringLiteral("A0002"), QStringLiteral("A0003")};
    }
    void patientFilter()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        test::TempClinic clinic;
        const struct {
            const char *number, *name, *tel;
        } cases[] = {{"A0001", "张三", "13800001111"}, {"A0002", "李四", "13900002222"}, {"A0003", "单明", "13700003333"}};
        for (const auto &c : cases) {
            CaseRecord r = checkorder::goodCase();
            r.blbm = QString::fromUtf8(c.number);
            r.blxm = QString::fromUtf8(c.name);
            r.blte = QString::fromUtf8(c.tel);
            saveCase(test::OneAction().s(), r, QStringLiteral("管理员"));
        }
        test::RecordingMessages rec;
        QPointer<FrmZymz> w = new FrmZymz;
        w->show();
        auto *filter = w->findChild<QLineEdit *>(QStringLiteral("TxtHzcz"));
        QVERIFY(filter);
        filter->setFocus();
        for (QChar c : typed) {
            if (c.unicode() < 128) {
                QTest::keyClicks(filter, QString(c));
            } else { // Chinese comes committed by the input method, without key presses
                QInputMethodEvent commit;
                commit.setCommitString(QString(c));
                QApplication::sendEvent(filter, &commit);
            }
        }
        QStringList visible;
        QTreeWidgetItem *root = w->TreeView1->topLevelItem(0);
        for (int i = 0; i < root->childCount(); ++i)
            if (!root->child(i)->isHidden())
                visible << root->child(i)->text(0);
        QCOMPARE(visible, shown);
        QTest::keyClick(filter, Qt::Key_Return);
        if (shown.size() == 1 && !typed.isEmpty()) {
            QCOMPARE(w->TxtBlbh->text(), shown.first());
            QCOMPARE(w->TreeView1->currentItem()->text(0), shown.first());
        } else {
            QVERIFY(w->TxtHzxm->text().isEmpty()); // no case shown
        }
        filter->clear();
        int all = 0;
        for (int i = 0; i < root->childCount(); ++i)
            all += root->child(i)->isHidden() ? 0 : 1;
        QCOMPARE(all, 3);
        delete w;
    }
};

QTEST_MAIN(TstHerbQuick)
#include "tst_herbquick.moc"
