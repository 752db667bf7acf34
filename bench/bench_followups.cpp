// The follow-up worklist on a large practice: 100,000 patients with 1,000,000 visits made by the
// demo-data tool, about a third of the patients with a follow-up. The follow-ups are then
// written again in a shuffled order, as the program writes them (one with each saved visit,
// in no order of case number), and the month with the most due days is listed:
//   - the logic: the month's rows, what "查询" reads for a range;
//   - the window: the range typed, "查询" pressed, the first screen of the grid drawn;
//   - the counts of today, this week and the overdue (read with the groups and on return);
//   - the overdue list alone (every follow-up due before today probed for a later visit).
// The anchors are the naive statements run in the same program: a plain join in the follow-ups'
// stored order with the later visits counted by a correlated subquery on the days of both texts,
// and one count statement per group.
//
// QINGHE_BENCH_ROOT names a data folder to keep the practice in: the first run fills it with
// qinghe-demodata (--patients 100000 --visits 1000000, a few minutes) and shuffles the
// follow-ups, later runs find both there. Without it the tool fills a temporary folder each run.
#include "base/clock.h"
#include "base/textutil.h"
#include "core/modutarnxt.h"
#include "db/session.h"
#include "query/followups.h"
#include "query/ui/FrmFzsf.h"
#include "largepractice.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>

using namespace qh;
using namespace qh::query;

namespace {

const QDate Today = QDate::currentDate();
DaySpan g_month;
qsizetype g_monthRows = 0;

// The follow-ups again in a random order of case numbers (rows as the program leaves them: one
// a case, written when its visit is saved).
void shuffleFollowUps(db::Session &s)
{
    struct Row {
        QString blbm, blkb;
        QDateTime blsj;
        QDate blfz;
        QString zdys;
    };
    std::vector<Row> rows;
    {
        auto st = s.query(QStringLiteral("select blbm, blkb, blsj, blfz, zdys from fzzl"));
        while (st.next())
            rows.push_back({st.text(0), st.text(1), *st.dateTime(2), *st.date(3), st.text(4)});
    }
    QRandomGenerator rng(11);
    std::shuffle(rows.begin(), rows.end(), rng);
    db::Transaction t(s);
    s.exec(QStringLiteral("delete from fzzl"));
    auto ins = s.prepare(QStringLiteral("insert into fzzl(blbm, blkb, blsj, blfz, zdys) values(?, ?, ?, ?, ?)"));
    for (const Row &r : rows) {
        ins.reset();
        ins.bindAll(r.blbm, r.blkb, r.blsj, r.blfz, r.zdys);
        ins.run();
    }
    t.commit();
}

bool prepareData()
{
    const QString root = bench::largePractice();
    if (root.isEmpty())
        return false;
    const QString marker = root + QStringLiteral("/followups-shuffled");
    auto s = Modutarnxt::clinicStore().open();
    if (!QFile::exists(marker)) {
        shuffleFollowUps(s);
        QFile f(marker);
        if (!f.open(QIODevice::WriteOnly))
            return false;
    }
    // The month with the most due days.
    qint64 best = -1;
    for (int m = 0; m < 24; ++m) {
        const DaySpan month = monthOf(Today.addMonths(-m));
        const qint64 n = s.scalarInt(QStringLiteral("select count(*) from fzzl where blfz >= ? and blfz < ?"), dbDate(month.first),
                                     dbDate(month.last.addDays(1)));
        if (n > best) {
            best = n;
            g_month = month;
        }
    }
    fprintf(stderr, "%lld visits, %lld follow-ups; the month %s has %lld\n",
            s.scalarInt(QStringLiteral("select count(*) from hzzdzl")), s.scalarInt(QStringLiteral("select count(*) from fzzl")),
            qPrintable(dateText(g_month.first)), best);
    return best > 0;
}

// ---- the anchor: a plain join in the follow-ups' stored order, the later visits counted by a
// correlated subquery on the days of both texts, one count statement per group

const QString NaiveLater =
    QStringLiteral("(select count(*) from hzzdzl v where v.blbm = f.blbm and date(v.blsj) >= date(f.blfz))");

qsizetype naiveMonth()
{
    auto s = Modutarnxt::clinicStore().open();
    auto st = s.query(QStringLiteral("select f.blfz, f.blbm, b.blxm, b.blxb, b.blnl, b.blte, h.blkb, h.zdys, h.blsj, h.blfa, "
                                     "case when date(f.blfz) <= ? then %1 else 0 end "
                                     "from fzzl f left join hzblzl b on b.blbm = f.blbm "
                                     "left join hzzdzl h on h.blbm = f.blbm and h.blkb = f.blkb and h.blsj = f.blsj "
                                     "where date(f.blfz) between ? and ? order by f.blfz, f.blbm")
                          .arg(NaiveLater),
                      dateText(Today), dateText(g_month.first), dateText(g_month.last));
    qsizetype n = 0;
    while (st.next()) {
        for (int c = 0; c < 11; ++c)
            benchmark::DoNotOptimize(st.text(c));
        ++n;
    }
    return n;
}

FollowUpCounts naiveCounts()
{
    auto s = Modutarnxt::clinicStore().open();
    FollowUpCounts c;
    const DaySpan week = weekOf(Today);
    c.today = s.scalarInt(QStringLiteral("select count(*) from fzzl where date(blfz) = ?"), dateText(Today));
    c.week = s.scalarInt(QStringLiteral("select count(*) from fzzl where date(blfz) between ? and ?"), dateText(week.first),
                         dateText(week.last));
    c.overdue = s.scalarInt(QStringLiteral("select count(*) from fzzl f where date(f.blfz) < ? and %1 = 0").arg(NaiveLater),
                            dateText(Today));
    return c;
}

FollowUpCounts g_counts;

void BM_NaiveMonth(benchmark::State &state)
{
    qsizetype n = 0;
    for (auto _ : state)
        n = naiveMonth();
    state.counters["rows"] = double(n);
    if (n != g_monthRows)
        state.SkipWithError("the naive statement found other rows");
}

void BM_NaiveCounts(benchmark::State &state)
{
    FollowUpCounts c;
    for (auto _ : state)
        c = naiveCounts();
    state.counters["overdue"] = double(c.overdue);
    if (c != g_counts)
        state.SkipWithError("the naive statements counted otherwise");
}

// ---- the program

// What "查询" reads for a range: its rows (the counts are read with the groups and on return).
void BM_Month(benchmark::State &state)
{
    std::vector<FollowUpRow> rows;
    for (auto _ : state) {
        auto s = Modutarnxt::clinicStore().open();
        rows = FollowUps::list(s, Today, FollowUpGroup::Range, g_month);
    }
    state.counters["rows"] = double(rows.size());
}

void BM_Counts(benchmark::State &state)
{
    FollowUpCounts c;
    for (auto _ : state) {
        auto s = Modutarnxt::clinicStore().open();
        c = FollowUps::counts(s, Today);
    }
    state.counters["overdue"] = double(c.overdue);
}

void BM_WindowMonth(benchmark::State &state)
{
    ui::FrmFzsf w;
    w.resize(960, 560);
    w.show();
    QCoreApplication::processEvents();
    w.MasQssj->setText(dateText(g_month.first));
    w.MasJssj->setText(dateText(g_month.last));
    for (auto _ : state) {
        w.CmdSeek->click();
        w.MSFGridFzsf->repaint();
        QCoreApplication::processEvents();
    }
    state.counters["rows"] = double(w.rows().size());
    if (qsizetype(w.rows().size()) != g_monthRows)
        state.SkipWithError("the window listed other rows");
}

void BM_Overdue(benchmark::State &state)
{
    std::vector<FollowUpRow> rows;
    for (auto _ : state) {
        auto s = Modutarnxt::clinicStore().open();
        rows = FollowUps::list(s, Today, FollowUpGroup::Overdue);
    }
    state.counters["rows"] = double(rows.size());
}

BENCHMARK(BM_NaiveMonth)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Month)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_WindowMonth)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_NaiveCounts)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Counts)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Overdue)->Unit(benchmark::kMillisecond)->Iterations(5);

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
    {
        auto s = Modutarnxt::clinicStore().open();
        g_counts = FollowUps::counts(s, Today);
        g_monthRows = qsizetype(FollowUps::list(s, Today, FollowUpGroup::Range, g_month).size());
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
