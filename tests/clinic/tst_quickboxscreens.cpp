// The quick boxes as a 1024 x 768 screen shows them: the formula window and the outpatient
// window opened from the menu in the main area, candidates listed for what is typed. Every control
// lies whole inside its window and the main area, and no two controls overlap.
// QINGHE_SCREENSHOTS=<folder> keeps the pictures (run under Xvfb with a window manager to see
// the screen's own fonts and frames).
#include "clinic/caseregister.h"
#include "clinic/ui/FrmZymz.h"
#include "clinic/ui/Frmfjwh.h"
#include "clinic/ui/herbquickbox.h"
#include "core/modutarnxt.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/taskwindows.h"
#include "testsupport.h"
#include "checkorder.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

using namespace qh;

namespace {

// The controls a user reads or types into: line boxes, memo boxes, lists, grids, buttons, labels
// with text; not their inner parts.
bool isControl(const QWidget *w)
{
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<const QAbstractItemView *>(p) || qobject_cast<const QComboBox *>(p) ||
            qobject_cast<const QAbstractSpinBox *>(p) || qobject_cast<const QPlainTextEdit *>(p))
            return false;
    if (auto *l = qobject_cast<const QLabel *>(w))
        return !l->text().isEmpty();
    return qobject_cast<const QLineEdit *>(w) || qobject_cast<const QPlainTextEdit *>(w) ||
           qobject_cast<const QAbstractItemView *>(w) || qobject_cast<const QAbstractButton *>(w) ||
           qobject_cast<const QComboBox *>(w);
}

QRect globalRect(const QWidget *w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

// What is cut off or overlaps in a task window shown in the main area, one line each.
QStringList faults(const QWidget *window, const QWidget *area)
{
    QStringList out;
    const QRect inWindow = globalRect(window), inArea = globalRect(area);
    if (!inArea.contains(inWindow))
        out << QStringLiteral("%1 beyond the main area").arg(window->objectName());
    QList<const QWidget *> shown;
    for (const QWidget *w : window->findChildren<QWidget *>())
        if (w->isVisible() && isControl(w))
            shown << w;
    for (int i = 0; i < shown.size(); ++i) {
        const QRect r = globalRect(shown[i]);
        if (!inWindow.contains(r))
            out << QStringLiteral("%1 cut off").arg(shown[i]->objectName());
        for (int j = i + 1; j < shown.size(); ++j)
            if (!shown[i]->isAncestorOf(shown[j]) && !shown[j]->isAncestorOf(shown[i]) && r.intersects(globalRect(shown[j])))
                out << QStringLiteral("%1 over %2").arg(shown[i]->objectName(), shown[j]->objectName());
    }
    return out;
}

} // namespace

class TstQuickBoxScreens : public QObject {
    Q_OBJECT

    std::unique_ptr<ui::MDIFtarn> m_main;

    QWidget *openItem(const QString &item)
    {
        m_main = std::make_unique<ui::MDIFtarn>();
        // The main window as a maximised window of a 1024 x 768 screen leaves it.
        m_main->resize(1024, 740);
        m_main->show();
        QApplication::setActiveWindow(m_main.get());
        if (!QTest::qWaitForWindowActive(m_main.get()))
            qWarning("main window not active");
        m_main->runItem(item);
        QMdiSubWindow *sub = m_main->area()->activeSubWindow();
        return sub ? sub->widget() : nullptr;
    }

    void check(QWidget *window, const QString &picture)
    {
        QCoreApplication::processEvents();
        if (const QString dir = qEnvironmentVariable("QINGHE_SCREENSHOTS"); !dir.isEmpty()) {
            QTest::qWait(200); // the window manager's frame
            m_main->grab().save(QDir(dir).filePath(picture));
        }
        const QStringList found = faults(window, m_main->area());
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral("; "))));
    }

    static void addDrugs(test::TempClinic &clinic)
    {
        const char *herbs[][2] = {{"HQ", "黄芪"}, {"HQIN", "黄芩"}, {"HL", "黄连"}, {"HB", "黄柏"}, {"MH", "麻黄"},
                                  {"MHG", "麻黄根"}, {"GZ", "桂枝"}, {"DZ", "大枣"}, {"GC", "甘草"}};
        for (const auto &h : herbs)
            clinic.addDrug(QString::fromUtf8(h[0]), QString::fromUtf8(h[1]), QStringLiteral("1.00"));
    }

private slots:
    void initTestCase()
    {
        clinic::ui::registerFormulaWindow();
        clinic::ui::registerOutpatientWindow();
    }
    void cleanup() { m_main.reset(); }

    void formulaWindow()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("青禾中医诊所"));
        addDrugs(clinic);
        test::RecordingMessages rec;
        auto *f = qobject_cast<clinic::ui::Frmfjwh *>(openItem(QStringLiteral("FjWh")));
        QVERIFY(f);
        check(f, QStringLiteral("Frmfjwh.png"));
        f->quick->TxtKsyp->setFocus();
        QTest::keyClicks(f->quick->TxtKsyp, QStringLiteral("mh"));
        QVERIFY(f->quick->LisKsyp->isVisible());
        check(f, QStringLiteral("Frmfjwh-mh.png"));
        QVERIFY(rec.shown.empty());
    }

    void outpatientWindow()
    {
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("青禾中医诊所"));
        addDrugs(clinic);
        const struct {
            const char *number, *name;
        } cases[] = {{"A0001", "张三"}, {"A0002", "李四"}, {"A0003", "赵树"}};
        for (const auto &c : cases) {
            clinic::CaseRecord r = clinic::checkorder::goodCase();
            r.blbm = QString::fromUtf8(c.number);
            r.blxm = QString::fromUtf8(c.name);
            clinic::saveCase(test::OneAction().s(), r, QStringLiteral("管理员"));
        }
        test::RecordingMessages rec;
        auto *w = qobject_cast<clinic::ui::FrmZymz *>(openItem(QStringLiteral("sad")));
        QVERIFY(w);
        auto *filter = w->findChild<QLineEdit *>(QStringLiteral("TxtHzcz"));
        QVERIFY(filter);
        filter->setFocus();
        QTest::keyClicks(filter, QStringLiteral("zs"));
        check(w, QStringLiteral("FrmZymz-register-zs.png"));

        QTreeWidgetItem *root = w->TreeView1->topLevelItem(0);
        QTreeWidgetItem *first = nullptr;
        for (int i = 0; i < root->childCount() && !first; ++i)
            if (!root->child(i)->isHidden())
                first = root->child(i);
        QVERIFY(first);
        QTest::mouseClick(w->TreeView1->viewport(), Qt::LeftButton, {}, w->TreeView1->visualItemRect(first).center());
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
        QCOMPARE(w->SSTab1->currentIndex(), 1);
        auto *box = w->findChild<clinic::ui::HerbQuickBox *>();
        QVERIFY(box);
        box->TxtKsyp->setFocus();
        QTest::keyClicks(box->TxtKsyp, QStringLiteral("hq"));
        QVERIFY(box->LisKsyp->isVisible() && box->LisKsyp->count() >= 2);
        check(w, QStringLiteral("FrmZymz-diagnosis-hq.png"));
    }
};

QTEST_MAIN(TstQuickBoxScreens)
#include "tst_quickboxscreens.moc"
