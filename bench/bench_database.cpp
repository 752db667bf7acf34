// Cost of the database layer: what every user action pays to open its own session, a keyed
// lookup, and bulk inserts in one transaction.
#include "db/session.h"
#include "core/modutarnxt.h"
#include "testsupport.h"

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
        for (int i = 0; i < 800; ++i)
            s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, '克', '补益药')"),
                   QStringLiteral("C%1").arg(i, 4, 10, QChar(u'0')), QStringLiteral("药材%1").arg(i), Money::fromCents(100 + i));
        t.commit();
        filled = true;
    }
    return c;
}

// One user action's overhead: open, key, prove the key by a first query, close.
void BM_SessionPerAction(benchmark::State &state)
{
    clinic();
    for (auto _ : state) {
        auto s = Modutarnxt::clinicStore().open();
        benchmark::DoNotOptimize(s.scalarInt(QStringLiteral("select count(*) from xtzlqk")));
    }
}
BENCHMARK(BM_SessionPerAction)->Unit(benchmark::kMillisecond);

// A drug looked up by its code on an open session.
void BM_KeyedLookup(benchmark::State &state)
{
    auto s = clinic().open();
    int i = 0;
    for (auto _ : state) {
        auto st = s.query(QStringLiteral("select ycmc, ycdj from ycjg where ycbm = ?"),
                          QStringLiteral("C%1").arg(i++ % 800, 4, 10, QChar(u'0')));
        benchmark::DoNotOptimize(st.next());
    }
}
BENCHMARK(BM_KeyedLookup)->Unit(benchmark::kMicrosecond);

// 10,000 movement rows in one transaction.
void BM_TenThousandInserts(benchmark::State &state)
{
    auto s = clinic().open();
    const QDateTime when(QDate(2024, 5, 1), QTime(10, 0));
    for (auto _ : state) {
        db::Transaction t(s);
        auto st = s.prepare(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, rksl, rkje, cksl, ckje, xsje, bgxm) "
                                           "values(?, ?, '购进', ?, ?, 0, 0, 0, '测试员')"));
        for (int i = 0; i < 10000; ++i) {
            st.reset();
            st.bindAll(when, QStringLiteral("药材%1").arg(i % 800), Money::fromInt(10), Money::fromCents(2550));
            st.run();
        }
        t.commit();
        state.PauseTiming();
        s.exec(QStringLiteral("delete from yccrtb"));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TenThousandInserts)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
