// The record query window on a large practice: 100,000 patients with 1,000,000 visits made by
// the demo-data tool. Two searches as a doctor runs them, each from the press of "查询" until
// the first screen of the grid is drawn:
//   - symptom "咳嗽" over one year (about one visit in sixteen);
//   - a department over one year (about 100,000 visits), with the memory the window grew by.
// The anchor is the naive statement run in the same program: the search as written first, the
// planner left to itself and every column of every found row read, as a grid filled with all of
// them would need.
//
// QINGHE_BENCH_ROOT names a data folder to keep the practice in: the first run fills it with
// qinghe-demodata (--patients 100000 --visits 1000000, a few minutes) and makes the search index,
// later runs find both there. Without it the tool fills a temporary folder each run.
#include "db/session.h"
#include "core/modutarnxt.h"
#include "base/textutil.h"
#include "query/recordquery.h"
#include "query/ui/FrmMzfd.h"
#include "query/ui/visitmodel.h"
#include "largepractice.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <unistd.h>

using namespace qh;

namespace {

bool prepareData()
{
    if (bench::largePractice().isEmpty())
        return false;
    // The full-text index is made by the first search on a file without one; made here, once,
    // and its time reported, so the searches below measure searching.
    QElapsedTimer t;
    t.start();
    auto s = Modutarnxt::clinicStore().open();
    const bool made = !query::RecordQuery::hasSearchIndex(s);
    query::RecordQuery::ensureSearchIndex(s);
    if (made)
        fprintf(stderr, "search index made in %.1f s\n", double(t.elapsed()) / 1000.0);
    const double page = double(s.scalarInt(QStringLiteral("pragma page_size"))) / (1024.0 * 1024.0);
    fprintf(stderr, "file %.1f MB, of which %.1f MB free pages\n", double(s.scalarInt(QStringLiteral("pragma page_count"))) * page,
            double(s.scalarInt(QStringLiteral("pragma freelist_count"))) * page);
    return true;
}

double residentMb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

const QDate YearEnd = QDate::currentDate();
const QDate YearStart = YearEnd.addYears(-1).addDays(1);

// The naive statement: the search as first written, every column of every found row read.
qsizetype naiveSearch(const QString &symptom, const QString &dept)
{
    auto s = Modutarnxt::clinicStore().open();
    auto st = s.prepare(QStringLiteral(
        "select h.* from hzzdzl h, hzblzl b where h.blbm = b.blbm and h.blbm like ? and h.blkb like ? and h.bzqk like ? "
        "and h.zdys like ? and h.blfa like ? and h.blfa like ? and h.blcf like ? and h.blcf like ? and b.blxm like ? "
        "and b.blhf like ? and b.blxb like ? and b.blnl between 0 and 99 and h.blsj between ? and ? "
        "order by h.blbm, h.blsj, h.blkb"));
    const QString any = QStringLiteral("%");
    st.bindAll(any, likeContains(dept), likeContains(symptom), any, any, any, any, any, any, any, any, dbDate(YearStart),
               dbDate(YearEnd.addDays(1)));
    qsizetype n = 0;
    while (st.next()) {
        for (int c = 0; c < 12; ++c)
            benchmark::DoNotOptimize(st.text(c));
        ++n;
    }
    return n;
}

void BM_NaiveSymptomYear(benchmark::State &state)
{
    qsizetype n = 0;
    for (auto _ : state)
        n = naiveSearch(QStringLiteral("咳嗽"), QString());
    state.counters["rows"] = double(n);
}

void BM_NaiveDepartmentYear(benchmark::State &state)
{
    qsizetype n = 0;
    for (auto _ : state)
        n = naiveSearch(QString(), QStringLiteral("针灸科"));
    state.counters["rows"] = double(n);
}

// The window: fields typed, "查询" pressed, the first screen of the grid drawn.
void windowSearch(benchmark::State &state, const QString &symptom, const QString &dept)
{
    query::ui::FrmMzfd w;
    w.resize(1100, 700);
    w.show();
    QCoreApplication::processEvents();
    w.MasQssj->setText(dateText(YearStart));
    w.MasJssj->setText(dateText(YearEnd));
    w.TxtBzmc->setText(symptom);
    w.TxtZlcs->setText(dept);
    double grown = 0;
    for (auto _ : state) {
        const double before = residentMb();
        w.CmdSeek->click();
        w.MSFGridMzjl->repaint();
        QCoreApplication::processEvents();
        grown = std::max(grown, residentMb() - before);
        state.PauseTiming();
        benchmark::DoNotOptimize(w.model()->index(0, 0).data());
        state.ResumeTiming();
    }
    state.counters["rows"] = double(w.model()->rowCount());
    state.counters["grown_mb"] = grown;
    if (w.model()->rowCount() == 0)
        state.SkipWithError("nothing found");
}

void BM_WindowSymptomYear(benchmark::State &state) { windowSearch(state, QStringLiteral("咳嗽"), QString()); }
void BM_WindowDepartmentYear(benchmark::State &state) { windowSearch(state, QString(), QStringLiteral("针灸科")); }

BENCHMARK(BM_NaiveSymptomYear)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WindowSymptomYear)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_NaiveDepartmentYear)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WindowDepartmentYear)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!prepareData()) {
        fprintf(stderr, "no demo data\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
