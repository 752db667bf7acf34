// Every window of the stock, login, setup, user and formula menus is wide enough, at the default font,
// for what its boxes may hold and for the headers and typical values of its grids.
#include "clinic/ui/Frmfjwh.h"
#include "core/modutarnxt.h"
#include "core/ui/FrmJczl.h"
#include "core/ui/MDIFtarn.h"
#include "core/ui/frmLogin.h"
#include "maint/ui/Frmmmwh.h"
#include "stock/ui/FrmYcck.h"
#include "stock/ui/Frmycjj.h"
#include "stock/ui/Frmycrk.h"
#include "stock/ui/Frmyjwh.h"
#include "testsupport.h"
#include "widths.h"

#include <QMenu>
#include <QTableWidget>
#include <QtTest>

#include <functional>
#include <memory>

using namespace qh;

namespace {

// Puts one row of typical values into a grid.
void typicalRow(QTableWidget *grid, const QStringList &cells)
{
    const int row = grid->rowCount();
    grid->insertRow(row);
    for (int c = 0; c < cells.size(); ++c)
        grid->setItem(row, c, new QTableWidgetItem(cells[c]));
}

} // namespace

class TstWindowWidths : public QObject {
    Q_OBJECT

private slots:
    // Every item of the main menus shows its whole caption with room to spare.
    void menuItemsAreNotCut()
    {
        ui::MDIFtarn main;
        for (QMenu *menu : {main.ZymzZd, main.ycrk, main.zycxll, main.xtwh}) {
            menu->popup(QPoint(0, 0));
            const QFontMetrics fm(menu->font());
            for (QAction *a : menu->actions())
                if (!a->isSeparator())
                    QVERIFY2(menu->actionGeometry(a).width() >= fm.horizontalAdvance(a->text()) + 2 * fm.horizontalAdvance(QChar(0x4E2D)),
                             qPrintable(a->text()));
            menu->hide();
        }
    }

    void everyBoxAndColumnIsWideEnough_data()
    {
        QTest::addColumn<std::function<QWidget *()>>("make");
        using Make = std::function<QWidget *()>;
        QTest::newRow("Frmycrk") << Make([] { return new stock::ui::Frmycrk; });
        QTest::newRow("FrmYcck") << Make([] { return new stock::ui::FrmYcck; });
        QTest::newRow("Frmycjj") << Make([] { return new stock::ui::Frmycjj; });
        QTest::newRow("Frmyjwh") << Make([] { return new stock::ui::Frmyjwh; });
        QTest::newRow("Frmmmwh") << Make([] { return new maint::ui::Frmmmwh; });
        QTest::newRow("frmLogin") << Make([] { return new ui::frmLogin; });
        QTest::newRow("FrmJczl") << Make([] { return new ui::FrmJczl; });
        QTest::newRow("Frmfjwh") << Make([] { return new clinic::ui::Frmfjwh; });
    }

    void everyBoxAndColumnIsWideEnough()
    {
        QFETCH(std::function<QWidget *()>, make);
        test::TempClinic clinic;
        clinic.addStatusRow(QStringLiteral("青禾中医诊所"));
        clinic.addUser(QStringLiteral("欧阳医生"), QStringLiteral("secret1"));
        clinic.addDrug(QStringLiteral("A0001"), QStringLiteral("炙黄芪片"), QStringLiteral("1234.56"),
                       QStringLiteral("克"), QStringLiteral("补虚药"));
        clinic.open().exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, blcf, zdys) values('A0001', '中医内科', "
                                          "'2024-05-06 00:00:00', '黄芪9克，', '王医生')"));
        test::RecordingMessages rec;
        std::unique_ptr<QWidget> w(make());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        // A dose line as the window shows one (the drug list grid shows the stored drug).
        if (auto *charging = qobject_cast<stock::ui::Frmycjj *>(w.get()))
            typicalRow(charging->MSFGridyfjg, {QStringLiteral("A0001"), QStringLiteral("炙黄芪片"), QStringLiteral("1,000.00"),
                                               QStringLiteral("1,234.56"), QStringLiteral("1,234,560.00")});
        const QStringList narrow = test::narrowControls(w.get());
        QVERIFY2(narrow.isEmpty(), qPrintable(narrow.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TstWindowWidths)
#include "tst_windowwidths.moc"
