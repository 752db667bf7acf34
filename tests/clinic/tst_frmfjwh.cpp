// The formula window "方剂维护" driven as a user does: typing, Enter, clicks; the messages
// through the test seam, the focus and the stored rows.
#include "clinic/classicalformulas.h"
#include "clinic/formulas.h"
#include "clinic/ui/Frmfjwh.h"
#include "clinic/ui/entryboxes.h"
#include "clinic/ui/herbquickbox.h"
#include "clinic/visitentry.h"
#include "core/helptopics.h"
#include "core/modutarnxt.h"
#include "core/ui/FrmHelp.h"
#include "core/ui/taskwindows.h"
#include "core/ui/uikit.h"
#include "testsupport.h"
#include "windowdriving.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace qh;
using qh::clinic::ui::Frmfjwh;

class TstFrmfjwh : public QObject {
    Q_OBJECT

private:
    QPointer<Frmfjwh> w;

    Frmfjwh *open()
    {
        Modutarnxt::CurrentUser = QStringLiteral("王医生"); // after the clinic, which resets it
        w = new Frmfjwh;
        test::showActive(w);
        return w;
    }

    static QWidget *focus() { return QApplication::focusWidget(); }

    static void type(QWidget *target, const QString &text) { test::typeKeys(target, text); }

    static void clickRow(Frmfjwh *f, int row)
    {
        const QRect r = f->MSFGridFjmc->visualRect(f->MSFGridFjmc->model()->index(row, 0));
        QTest::mouseClick(f->MSFGridFjmc->viewport(), Qt::LeftButton, {}, r.center());
    }

    static QStringList listed(Frmfjwh *f)
    {
        QStringList l;
        for (int r = 0; r < f->MSFGridFjmc->rowCount(); ++r)
            l << f->MSFGridFjmc->item(r, 0)->text() + u'/' + f->MSFGridFjmc->item(r, 1)->text();
        return l;
    }

    static QStringList stored(test::TempClinic &c)
    {
        auto s = c.open();
        auto q = s.query(QStringLiteral("select fjmc, fjly, fjgc, dlxm from zyfj order by fjmc"));
        QStringList l;
        while (q.next())
            l << QStringList{q.text(0), q.text(1), q.text(2), q.text(3)}.join(u'|');
        return l;
    }

    static void addFormula(test::TempClinic &c, const QString &name, const QString &composition)
    {
        auto s = c.open();
        clinic::Formula f;
        f.name = name;
        f.composition = composition;
        QVERIFY(clinic::Formulas(s).add(f, QStringLiteral("李医生")).ok());
    }

private slots:
    void cleanup() { delete w.data(); }

    void addThenChange()
    {
        test::TempClinic clinic;
        addFormula(clinic, QStringLiteral("麻黄汤"), QStringLiteral("麻黄9克"));
        test::RecordingMessages rec;
        auto *f = open();
        QCOMPARE(focus(), f->TxtFjmc);
        type(f->TxtFjmc, QStringLiteral("桂枝汤"));
        QTest::keyClick(f->TxtFjmc, Qt::Key_Return);
        QCOMPARE(focus(), f->TxtFjly);
        type(f->TxtFjly, QStringLiteral("伤寒论"));
        QTest::keyClick(f->TxtFjly, Qt::Key_Return);
        QCOMPARE(focus(), f->TxtFjgc);
        type(f->TxtFjgc, QStringLiteral("桂枝9克,白芍9克"));
        QTest::keyClick(f->TxtFjgc, Qt::Key_Return); // a line break in a box with text
        type(f->TxtFjgc, QStringLiteral("大枣4枚"));
        QCOMPARE(focus(), f->TxtFjgc);
        QTest::mouseClick(f->CmdSave, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList());
        QCOMPARE(stored(clinic), (QStringList{QStringLiteral("桂枝汤|伤寒论|桂枝9克，白芍9克\r\n大枣4枚|王医生"),
                                              QStringLiteral("麻黄汤||麻黄9克|李医生")}));
        QCOMPARE(listed(f), (QStringList{QStringLiteral("桂枝汤/伤寒论"), QStringLiteral("麻黄汤/")}));
        QCOMPARE(f->shownName(), QStringLiteral("桂枝汤"));
        QCOMPARE(f->TxtFjgc->text(), QStringLiteral("桂枝9克，白芍9克\r\n大枣4枚"));

        // The other one, changed and renamed.
        clickRow(f, 1);
        QCOMPARE(f->TxtFjmc->text(), QStringLiteral("麻黄汤"));
        QCOMPARE(f->TxtFjgc->text(), QStringLiteral("麻黄9克"));
        f->TxtFjgc->setFocus();
        f->TxtFjgc->selectAll();
        type(f->TxtFjgc, QStringLiteral("麻黄9克，白术12克"));
        f->TxtFjmc->setFocus();
        f->TxtFjmc->selectAll();
        type(f->TxtFjmc, QStringLiteral("麻黄加术汤"));
        QTest::mouseClick(f->CmdSave, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList());
        QCOMPARE(stored(clinic), (QStringList{QStringLiteral("桂枝汤|伤寒论|桂枝9克，白芍9克\r\n大枣4枚|王医生"),
                                              QStringLiteral("麻黄加术汤||麻黄9克，白术12克|王医生")}));
        QCOMPARE(f->MSFGridFjmc->currentRow(), 1);
        QCOMPARE(f->shownName(), QStringLiteral("麻黄加术汤"));
    }

    void refusalsFocusTheirBox_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("composition");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("selected");
        QTest::newRow("name exists") << QStringLiteral("桂枝汤") << QStringLiteral("桂枝6克")
                                     << QStringLiteral("方剂名称“桂枝汤”已经存在，请换一个名称。") << QStringLiteral("TxtFjmc")
                                     << QStringLiteral("桂枝汤");
        QTest::newRow("no name") << QString() << QStringLiteral("桂枝6克") << QStringLiteral("输入方剂名称")
                                 << QStringLiteral("TxtFjmc") << QString();
        QTest::newRow("no composition") << QStringLiteral("桂枝新方") << QString() << QStringLiteral("输入方剂组成")
                                        << QStringLiteral("TxtFjgc") << QString();
    }
    void refusalsFocusTheirBox()
    {
        QFETCH(QString, name);
        QFETCH(QString, composition);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(QString, selected);
        test::TempClinic clinic;
        addFormula(clinic, QStringLiteral("桂枝汤"), QStringLiteral("桂枝9克"));
        const QStringList before = stored(clinic);
        test::RecordingMessages rec;
        auto *f = open();
        clickRow(f, 0);
        QTest::mouseClick(f->CmdNew, Qt::LeftButton);
        QCOMPARE(f->TxtFjmc->text(), QString());
        QCOMPARE(f->TxtFjgc->text(), QString());
        type(f->TxtFjmc, name);
        f->TxtFjgc->setFocus();
        type(f->TxtFjgc, composition);
        QTest::mouseClick(f->CmdSave, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{message});
        QCOMPARE(TstFrmfjwh::focus()->objectName(), focus);
        if (auto *line = qobject_cast<QLineEdit *>(TstFrmfjwh::focus()))
            QCOMPARE(line->selectedText(), selected);
        QCOMPARE(stored(clinic), before);
    }

    void deleteAsksFirst()
    {
        test::TempClinic clinic;
        addFormula(clinic, QStringLiteral("桂枝汤"), QStringLiteral("桂枝9克"));
        addFormula(clinic, QStringLiteral("麻黄汤"), QStringLiteral("麻黄9克"));
        test::RecordingMessages rec;
        auto *f = open();

        QTest::mouseClick(f->CmdDele, Qt::LeftButton); // nothing chosen: nothing asked
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("请先在方剂表中选择要删除的方剂。")});
        QCOMPARE(focus(), f->MSFGridFjmc);

        clickRow(f, 1);
        rec.clear();
        rec.answers = {false};
        QTest::mouseClick(f->CmdDele, Qt::LeftButton);
        QCOMPARE(rec.shown.size(), size_t(1));
        QCOMPARE(rec.shown.front().text, QStringLiteral("确实要删除方剂“麻黄汤”吗？"));
        QCOMPARE(rec.shown.front().buttons, MsgButtons::YesNo);
        QCOMPARE(stored(clinic).size(), 2);
        QCOMPARE(f->TxtFjmc->text(), QStringLiteral("麻黄汤"));

        rec.clear();
        rec.answers = {true};
        QTest::mouseClick(f->CmdDele, Qt::LeftButton);
        QCOMPARE(rec.shown.size(), size_t(1));
        QCOMPARE(stored(clinic), QStringList{QStringLiteral("桂枝汤||桂枝9克|李医生")});
        QCOMPARE(listed(f), QStringList{QStringLiteral("桂枝汤/")});
        QCOMPARE(f->TxtFjmc->text(), QString());
        QCOMPARE(f->shownName(), QString());
    }

    void importShowsTheCount()
    {
        test::TempClinic clinic;
        const QList<clinic::ClassicalFormula> shipped = clinic::shippedClassicalFormulas(nullptr);
        QVERIFY(shipped.size() > 1);
        addFormula(clinic, shipped.at(0).name, QStringLiteral("桂枝10克"));
        test::RecordingMessages rec;
        auto *f = open();
        QTest::mouseClick(f->CmdImport, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("已导入经方 %1 首；另有 1 首方剂表中已有同名方剂，保留原样，未导入。")
                                              .arg(shipped.size() - 1)});
        QCOMPARE(f->MSFGridFjmc->rowCount(), int(shipped.size()));
        QCOMPARE(stored(clinic).size(), shipped.size());
        const int row = int(listed(f).indexOf(shipped.at(1).name + u'/' + shipped.at(1).source));
        QVERIFY(row >= 0);
        clickRow(f, row);
        QCOMPARE(f->TxtFjgc->text(), shipped.at(1).composition);
        QCOMPARE(f->LabDlxm->text(), QStringLiteral("登录：王医生"));

        rec.clear();
        QTest::mouseClick(f->CmdImport, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList{QStringLiteral("已导入经方 0 首；另有 %1 首方剂表中已有同名方剂，保留原样，未导入。")
                                              .arg(shipped.size())});
        QCOMPARE(f->shownName(), shipped.at(1).name); // the formula shown stays
    }

    // The quick herb box composes the composition as it composes a prescription on the diagnosis
    // tab: what it appends is what the pick path appends for that herb and dose, the focus comes
    // back to it for the next herb; Escape and Enter in an empty box change nothing.
    void quickBoxComposes()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("1.00"));
        clinic.addDrug(QStringLiteral("MHG"), QStringLiteral("麻黄根"), QStringLiteral("1.00"));
        clinic.addDrug(QStringLiteral("GZ"), QStringLiteral("桂枝"), QStringLiteral("1.00"));
        clinic.addDrug(QStringLiteral("DZ"), QStringLiteral("大枣"), QStringLiteral("1.00"), QStringLiteral("枚"));
        QString picked;
        {
            auto s = clinic.open();
            picked = clinic::herbPickText(s, QStringLiteral("麻黄"), QStringLiteral("9")).value_or(QString()) +
                     clinic::herbPickText(s, QStringLiteral("桂枝"), QStringLiteral("6")).value_or(QString()) +
                     clinic::herbPickText(s, QStringLiteral("大枣"), QStringLiteral("4")).value_or(QString());
        }
        QCOMPARE(picked, QStringLiteral("麻黄9克，桂枝6克，大枣4枚，"));
        test::RecordingMessages rec;
        auto *f = open();
        auto *box = f->quick;
        type(f->TxtFjmc, QStringLiteral("麻黄汤"));
        QTest::keyClick(f, Qt::Key_Q, Qt::AltModifier);
        QCOMPARE(focus(), box->TxtKsyp);
        for (const auto &[initials, dose] : {std::pair{"mh", "9"}, {"gz", "6"}, {"dz", "4"}}) {
            QTest::keyClicks(focus(), QString::fromLatin1(initials));
            QVERIFY(box->LisKsyp->isVisible());
            QTest::keyClick(focus(), Qt::Key_Return);
            QCOMPARE(focus(), box->TxtKsjl);
            QTest::keyClicks(focus(), QString::fromLatin1(dose));
            QTest::keyClick(focus(), Qt::Key_Return);
            QCOMPARE(focus(), box->TxtKsyp);
            QVERIFY(box->TxtKsyp->text().isEmpty() && !box->LisKsyp->isVisible());
        }
        QCOMPARE(f->TxtFjgc->text(), picked);

        // Escape with candidates, with the dose box, and Enter in the empty box add nothing.
        QTest::keyClicks(box->TxtKsyp, QStringLiteral("gz"));
        QTest::keyClick(box->TxtKsyp, Qt::Key_Escape);
        QTest::keyClicks(box->TxtKsyp, QStringLiteral("mh"));
        QTest::keyClick(box->TxtKsyp, Qt::Key_Return);
        QTest::keyClicks(box->TxtKsjl, QStringLiteral("9"));
        QTest::keyClick(box->TxtKsjl, Qt::Key_Escape);
        QCOMPARE(focus(), box->TxtKsyp);
        box->TxtKsyp->clear();
        QTest::keyClick(box->TxtKsyp, Qt::Key_Return);
        QCOMPARE(f->TxtFjgc->text(), picked);
        QCOMPARE(f->TxtFjmc->text(), QStringLiteral("麻黄汤"));

        QTest::mouseClick(f->CmdSave, Qt::LeftButton);
        QCOMPARE(rec.texts(), QStringList());
        QCOMPARE(stored(clinic), QStringList{QStringLiteral("麻黄汤||%1|王医生").arg(picked)});
    }

    // Tab goes round the fields, the buttons and then the quick box, as before it was there.
    void tabOrder()
    {
        test::TempClinic clinic;
        Frmfjwh *f = open(); // before focus() is read: the order of a call's arguments is the compiler's
        QCOMPARE(focus(), f->TxtFjmc);
        QStringList order;
        for (int i = 0; i < 16; ++i) {
            QTest::keyClick(focus(), Qt::Key_Tab);
            order << focus()->objectName();
        }
        QCOMPARE(order, (QStringList{"TxtFjly", "TxtFjgc", "TxtFjgy", "TxtFjzz", "TxtFjyf", "TxtFjxd", "CmdSave", "CmdNew",
                                     "CmdDele", "CmdImport", "CmdHelp", "CmdExit", "TxtKsyp", "TxtKsjl", "MSFGridFjmc", "TxtFjmc"}));
    }

    void helpAndRegistration()
    {
        test::TempClinic clinic;
        auto *f = open();
        QTest::mouseClick(f->CmdHelp, Qt::LeftButton);
        QCOMPARE(Modutarnxt::HelpTopic, QStringLiteral("FJ"));
        QVERIFY(helpTopicText(QStringLiteral("FJ")).contains(QStringLiteral("“快速选药”框")));
        auto *help = qh::ui::singleWindow<qh::ui::FrmHelp>();
        help->close();
        delete help;

        clinic::ui::registerFormulaWindow();
        const auto factory = qh::ui::taskWindowFactory(QStringLiteral("FjWh"));
        QVERIFY(factory);
        QWidget *a = factory();
        QVERIFY(qobject_cast<Frmfjwh *>(a));
        QCOMPARE(factory(), a);
        delete a;
    }
};

QTEST_MAIN(TstFrmfjwh)
#include "tst_frmfjwh.moc"
