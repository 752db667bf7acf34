// The drug list window with an 800-drug list: reading the list, filling the grid (clearing
// the window as it does each time it becomes active), and exporting the list to a workbook.
#include "core/modutarnxt.h"
#include "core/spreadsheet.h"
#include "stock/druglist.h"
#include "stock/ui/Frmyjwh.h"
#include "testsupport.h"

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace qh;

namespace {

test::TempClinic &clinic()
{
    static test::TempClinic c;
    static bool filled = false;
    if (!filled) {
        auto s = c.open();
        db::Transaction t(s);
        const QString categories[4] = {QStringLiteral("解表药"), QStringLiteral("清热药"), QStringLiteral("补虚药"),
                                       QStringLiteral("活血化瘀药")};
        for (int i = 0; i < 800; ++i)
            s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, '克', ?)"),
                   QStringLiteral("YC%1").arg(i, 4, 10, QChar(u'0')), QStringLiteral("药材名称%1").arg(i),
                   Money::fromCents(5 + i * 37), categories[i % 4]);
        t.commit();
        filled = true;
    }
    return c;
}

stock::ui::Frmyjwh *window()
{
    static stock::ui::Frmyjwh *w = nullptr;
    if (!w) {
        clinic();
        w = new stock::ui::Frmyjwh;
        w->show();
    }
    return w;
}

// The list read from the database in one query.
void BM_DrugListRead800(benchmark::State &state)
{
    clinic();
    for (auto _ : state)
        benchmark::DoNotOptimize(stock::druglist::GridBmmcAdd(test::OneAction().s()));
}
BENCHMARK(BM_DrugListRead800)->Unit(benchmark::kMillisecond);

// Clearing the window: category list and grid reloaded, all 800 rows in the grid.
void BM_DrugGridFill800(benchmark::State &state)
{
    auto *w = window();
    for (auto _ : state) {
        w->Qpcls();
        QCoreApplication::processEvents(); // the repaint the user waits for
    }
    if (w->MSFGridBmmc->rowCount() != 800)
        state.SkipWithError("grid not filled");
}
BENCHMARK(BM_DrugGridFill800)->Unit(benchmark::kMillisecond);

// The export command end to end (the pause shortened to nothing): sheet built from the grid,
// saved into the documents folder, replacing the previous file.
void BM_DrugExport800(benchmark::State &state)
{
    QTemporaryDir docs;
    qh::Modutarnxt::setDocumentsPath(docs.path());
    auto *w = window();
    w->Qpcls();
    test::RecordingMessages rec;
    for (auto _ : state) {
        rec.clear();
        w->CmdExit->click();
    }
    if (rec.last() != QStringLiteral("生成图表已经存放在我的文档中，请查收"))
        state.SkipWithError("export failed");
    qh::Modutarnxt::setDocumentsPath(QString());
}
BENCHMARK(BM_DrugExport800)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
