// The drug list window's filter over the grid and the code it suggests for a new drug: the
// filter narrows the rows while typing and is out of the Tab chain; the suggestion is shown as
// the empty code box's placeholder and stored only when taken with the Right arrow key.
#include "core/modutarnxt.h"
#include "stock/ui/Frmyjwh.h"
#include "stockfixtures.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace qh;
using qh::stock::ui::Frmyjwh;
using stockfixtures::activate;
using stockfixtures::typeChinese;

namespace {

void fill(test::TempClinic &c)
{
    c.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("0.50"));
    c.addDrug(QStringLiteral("MHG"), QStringLiteral("麻黄根"), QStringLiteral("0.20"));
    c.addDrug(QStringLiteral("001"), QStringLiteral("黄芪"), QStringLiteral("1.50"));
    c.addDrug(QStringLiteral("002"), QStringLiteral("黄芩"), QStringLiteral("0.80"));
    c.addDrug(QStringLiteral("003"), QStringLiteral("甘草"), QStringLiteral("0.30"));
    c.addDrug(QStringLiteral("GZ"), QStringLiteral("桂枝"), QStringLiteral("0.30"));
}

QStringList shownCodes(const Frmyjwh &f)
{
    QStringList out;
    for (int r = 0; r < f.MSFGridBmmc->rowCount(); ++r)
        if (!f.MSFGridBmmc->isRowHidden(r))
            out << f.MSFGridBmmc->item(r, 0)->text();
    return out;
}

void typeInto(QLineEdit *box, const QString &text)
{
    if (!text.isEmpty() && text.at(0).unicode() >= 0x80)
        typeChinese(box, text);
    else
        QTest::keyClicks(box, text);
}

QString focusName() { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(); }

} // namespace

class TstDrugListFilter : public QObject {
    Q_OBJECT

private slots:
    void filterNarrowsTheGrid_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown"); // in the grid's order, by code
        QTest::addColumn<QString>("count");
        const QStringList all{"001", "002", "003", "GZ", "MH", "MHG"};
        QTest::newRow("empty") << "" << all << "共 6 种药品";
        QTest::newRow("blank only") << " " << all << "共 6 种药品";
        QTest::newRow("initials") << "hq" << QStringList{"001", "002"} << "找到 2 种，共 6 种药品";
        QTest::newRow("initials inside") << "h" << QStringList{"001", "002", "MH", "MHG"} << "找到 4 种，共 6 种药品";
        QTest::newRow("a letter code is found as typed") << "mhg" << QStringList{"MHG"} << "找到 1 种，共 6 种药品";
        QTest::newRow("start of digit codes") << "00" << QStringList{"001", "002", "003"} << "找到 3 种，共 6 种药品";
        QTest::newRow("syllables") << "gancao" << QStringList{"003"} << "找到 1 种，共 6 种药品";
        QTest::newRow("characters") << "黄" << QStringList{"001", "002", "MH", "MHG"} << "找到 4 种，共 6 种药品";
        QTest::newRow("nothing") << "xyz" << QStringList{} << "找到 0 种，共 6 种药品";
    }

    void filterNarrowsTheGrid()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        QFETCH(QString, count);
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        std::unique_ptr<Frmyjwh> f(new Frmyjwh);
        f->setAttribute(Qt::WA_DeleteOnClose, false);
        activate(f.get());
        QTest::mouseClick(f->TxtYpsx, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), f->TxtYpsx);
        typeInto(f->TxtYpsx, typed);
        QCOMPARE(shownCodes(*f), shown);
        QCOMPARE(f->LabYpsx->text(), count);
        QCOMPARE(f->MSFGridBmmc->rowCount(), 6); // narrowed, not removed

        // Enter takes the first drug shown as a click on it; the clear command shows all again.
        QTest::keyClick(f->TxtYpsx, Qt::Key_Return);
        QCOMPARE(f->Txtycbm->text(), shown.value(0));
        if (!shown.isEmpty())
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(f->CboYplb));
        QTest::mouseClick(f->CmdQcls, Qt::LeftButton);
        QVERIFY(f->TxtYpsx->text().isEmpty());
        QCOMPARE(shownCodes(*f), (QStringList{"001", "002", "003", "GZ", "MH", "MHG"}));
        QVERIFY(rec.shown.empty());
    }

    // Tab and Shift+Tab from every control move as before and never reach the filter; Alt+F does.
    void filterIsOutOfTheTabChain()
    {
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        std::unique_ptr<Frmyjwh> f(new Frmyjwh);
        f->setAttribute(Qt::WA_DeleteOnClose, false);
        activate(f.get());
        f->CboYplb->setFocus();
        QStringList chain;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            chain << focusName();
        }
        QCOMPARE(chain, (QStringList{"Txtycbm", "Txtycmc", "TxtJldw", "Txtycdj", "CmdSave"}));
        for (QWidget *from : f->findChildren<QWidget *>()) {
            if (!(from->focusPolicy() & Qt::TabFocus) || !from->isVisible() || from == f->MSFGridBmmc)
                continue; // the grid takes Tab itself, from cell to cell
            for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
                from->setFocus();
                QTest::keyClick(from, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
                QVERIFY2(QApplication::focusWidget() != f->TxtYpsx, qPrintable(from->objectName()));
            }
        }
        QTest::keyClick(f.get(), Qt::Key_F, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), f->TxtYpsx);
    }

    // The suggestion for a new name, shown only while the code box is empty.
    void suggestion_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("suggested");
        QTest::newRow("new drug") << "当归" << "DG";
        QTest::newRow("initials of a code in the list") << "麻花" << "MH2";
        QTest::newRow("drug in the list") << "麻黄" << "";
        QTest::newRow("no letters") << "。" << "";
    }

    void suggestion()
    {
        QFETCH(QString, name);
        QFETCH(QString, suggested);
        test::TempClinic clinic;
        fill(clinic);
        test::RecordingMessages rec;
        std::unique_ptr<Frmyjwh> f(new Frmyjwh);
        f->setAttribute(Qt::WA_DeleteOnClose, false);
        activate(f.get());
        f->Txtycmc->setFocus();
        typeChinese(f->Txtycmc, name);
        QCOMPARE(f->suggestedCode(), suggested);
        if (suggested.isEmpty())
            QVERIFY(f->Txtycbm->placeholderText().isEmpty());
        else
            QVERIFY(f->Txtycbm->placeholderText().startsWith(suggested));
        QVERIFY(f->Txtycbm->text().isEmpty());
    }

    // Not taken: nothing is stored that was not typed (the save asks for the code as before).
    // Taken with the Right arrow: the code box holds it like a typed code. A code typed wins.
    void suggestionStoredOnlyWhenTaken_data()
    {
        QTest::addColumn<QString>("keys"); // "right": the Right arrow in the empty code box
        QTest::addColumn<QString>("stored"); // "" when nothing is saved
        QTest::newRow("not taken") << "" << "";
        QTest::newRow("taken") << "right" << "DG";
        QTest::newRow("own code typed") << "x1" << "X1";
        QTest::newRow("own code typed, then Right") << "x1right" << "X1";
    }

    void suggestionStoredOnlyWhenTaken()
    {
        QFETCH(QString, keys);
        QFETCH(QString, stored);
        test::TempClinic clinic;
        test::RecordingMessages rec;
        std::unique_ptr<Frmyjwh> f(new Frmyjwh);
        f->setAttribute(Qt::WA_DeleteOnClose, false);
        activate(f.get());
        f->CboYplb->setEditText(QStringLiteral("补血药"));
        f->Txtycmc->setFocus();
        typeChinese(f->Txtycmc, QStringLiteral("当归"));
        f->TxtJldw->setText(QStringLiteral("克"));
        f->Txtycdj->setText(QStringLiteral("0.60"));
        f->Txtycbm->setFocus();
        QString typed = keys;
        typed.remove(QStringLiteral("right"));
        QTest::keyClicks(f->Txtycbm, typed);
        if (keys.endsWith(QLatin1String("right")))
            QTest::keyClick(f->Txtycbm, Qt::Key_Right);
        QCOMPARE(f->Txtycbm->text(), keys == QLatin1String("right") ? QStringLiteral("DG") : typed);
        QCOMPARE(focusName(), QStringLiteral("Txtycbm"));
        QTest::keyClick(f->Txtycbm, Qt::Key_Return); // the Enter chain as before
        QCOMPARE(focusName(), stored.isEmpty() ? QStringLiteral("Txtycbm") : QStringLiteral("Txtycmc"));

        QTest::mouseClick(f->CmdSave, Qt::LeftButton);
        auto s = clinic.open();
        if (stored.isEmpty()) {
            QCOMPARE(rec.last(), QStringLiteral("输入药品编码"));
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycjg")), 0);
            QVERIFY(f->Txtycbm->text().isEmpty());
        } else {
            QVERIFY(rec.shown.empty());
            QCOMPARE(s.scalarText(QStringLiteral("select ycbm from ycjg where ycmc = '当归'")), std::optional<QString>(stored));
        }
    }
};

QTEST_MAIN(TstDrugListFilter)
#include "tst_druglist_filter.moc"
