// The period closing over a large journal: 800 drugs with stock, 2,000,000 movement rows of
// which 200,000 are uncosted issues (the month's dispensing, interleaved with its purchases in
// the newest fifth of the journal; the older rows are purchases and issues costed by earlier
// closings). The closing (one pass over the journal, costs computed in C++, written back by
// row, one transaction) is timed from opening the database to the commit.
//
// The anchor in the same run: the naive per-drug statements ("update yccrtb set ckje=... where
// cksl<>0 and ckje=0 and ycbm=?" and the balance update, one pair per drug). The journal has
// no index on the drug, so each statement reads the whole journal; at full size that takes
// minutes, so the anchor runs the first NaiveDrugs drugs (argument) against the full journal
// and reports the time per drug and the estimate for all 800 beside the ratio to the closing.
#include "db/session.h"
#include "core/modutarnxt.h"
#include "stock/closing.h"
#include "stock/posting.h"
#include "testsupport.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <QFileInfo>
#include <cstdio>
#include <ctime>

using namespace qh;
using namespace qh::stock;

namespace {

constexpr int Drugs = 800;
constexpr int Rows = 2000000;
constexpr int Pending = 200000;

QString drugName(int i) { return QStringLiteral("药材%1").arg(i, 4, 10, QChar(u'0')); }

double g_closingSeconds = 0;

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

test::TempClinic &clinic()
{
    static test::TempClinic c;
    static bool filled = false;
    if (filled)
        return c;
    auto s = c.open();
    s.execScript(QStringLiteral("pragma cache_size = -262144"));
    db::Transaction t(s);
    auto ins = s.prepare(QStringLiteral(
        "insert into yccrtb(crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, cksl, ckje, xsje, jbxm, bgxm) "
        "values(?, ?, ?, ' ', ' ', ' ', null, ' ', ' ', ?, ?, ?, ?, ?, '李四', '测试员')"));
    const QDateTime day(QDate(2024, 5, 1), QTime(8, 0));
    const int newest = Rows - 2 * Pending; // the month: every other row an uncosted issue
    int pending = 0;
    for (int r = 0; r < Rows; ++r) {
        const int d = int((qint64(r) * 7919) % Drugs);
        const bool month = r >= newest;
        QString summary;
        Money rksl, rkje, cksl, ckje, xsje;
        if (month && (r - newest) % 2 == 0) {
            summary = SummaryDispensing; // uncosted
            cksl = Money::fromCents(300 + r % 700);
            xsje = Money::fromCents(900);
            ++pending;
        } else if (r % 3 == 0) {
            summary = SummaryPurchase;
            rksl = Money::fromInt(20);
            rkje = Money::fromCents(10000 + r % 997);
        } else {
            summary = SummaryIssue; // costed by an earlier closing
            cksl = Money::fromCents(300 + r % 700);
            ckje = Money::fromCents(700 + r % 300);
            xsje = Money::fromCents(900);
        }
        ins.reset();
        ins.bindAll(day.addSecs(r), drugName(d), summary, rksl, rkje, cksl, ckje, xsje);
        ins.run();
    }
    if (pending != Pending)
        throw std::logic_error("fixture");
    t.commit();
    fprintf(stderr, "file %lld\n", (long long)QFileInfo(c.dbPath()).size());
    filled = true;
    return c;
}

// Back to the state before any closing: the month's issues uncosted, the balances as posted.
void reset(db::Session &s)
{
    db::Transaction t(s);
    s.exec(QStringLiteral("update yccrtb set ckje = 0 where ywzy = ?"), SummaryDispensing);
    s.exec(QStringLiteral("delete from ycyltb"));
    for (int i = 0; i < Drugs; ++i)
        s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"), drugName(i),
               Money::fromInt(10000), Money::fromCents(3333333 + i), Money::fromInt(9000 - i));
    t.commit();
}

void BM_Closing(benchmark::State &state)
{
    clinic();
    double total = 0, planning = 0, planningCpu = 0, totalCpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            auto s = Modutarnxt::clinicStore().open();
            reset(s);
        }
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const double startCpu = threadCpuSeconds();
        auto s = Modutarnxt::clinicStore().open();
        const ClosingPlan plan = planClosing(s);
        planning += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        planningCpu += threadCpuSeconds() - startCpu;
        applyClosing(s, plan);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        totalCpu += threadCpuSeconds() - startCpu;
        if (plan.issueCount() != Pending)
            state.SkipWithError("not every pending issue was costed");
    }
    g_closingSeconds = total / double(state.iterations());
    state.counters["issues"] = Pending;
    state.counters["plan_s"] = planning / double(state.iterations());
    state.counters["write_commit_s"] = (total - planning) / double(state.iterations());
    state.counters["plan_cpu_s"] = planningCpu / double(state.iterations());
    state.counters["write_commit_cpu_s"] = (totalCpu - planningCpu) / double(state.iterations());
}
BENCHMARK(BM_Closing)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The naive statements for the first range(0) drugs, in one transaction, over the full journal.
void BM_NaivePerDrugStatements(benchmark::State &state)
{
    clinic();
    const int drugs = int(state.range(0));
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            auto s = Modutarnxt::clinicStore().open();
            reset(s);
        }
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        auto s = Modutarnxt::clinicStore().open();
        db::Transaction t(s);
        s.exec(QStringLiteral("delete from ycyltb where ycyl = 0"));
        auto rows = s.query(QStringLiteral("select ycbm, rkje, rksl from ycyltb where ycyl <> 0 order by ycbm"));
        int done = 0;
        while (done < drugs && rows.next()) {
            const QString name = rows.text(0);
            const Money rkje = rows.money(1), rksl = rows.money(2);
            s.exec(QStringLiteral("update yccrtb set ckje = cast(round(cksl * ? / ?) as integer) "
                                  "where cksl <> 0 and ckje = 0 and ycbm = ?"),
                   qint64(rkje.units()), qint64(rksl.units()), name);
            s.exec(QStringLiteral("update ycyltb set rkje = rkje - cast(round((rksl - ycyl) * ? / ?) as integer) where ycbm = ?"),
                   qint64(rkje.units()), qint64(rksl.units()), name);
            ++done;
        }
        s.exec(QStringLiteral("update ycyltb set rksl = ycyl"));
        t.commit();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double perDrug = total / double(state.iterations()) / drugs;
    state.counters["s_per_drug"] = perDrug;
    state.counters["est_800_drugs_s"] = perDrug * Drugs;
    if (g_closingSeconds > 0)
        state.counters["ratio_to_closing"] = perDrug * Drugs / g_closingSeconds;
}
BENCHMARK(BM_NaivePerDrugStatements)->Arg(16)->ArgNames({"drugs"})->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
