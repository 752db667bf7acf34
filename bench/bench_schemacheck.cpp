// Cost of the schema check every start runs on the live file (every row of the file's schema
// against what the program builds), beside its anchor, a plain count of the schema's rows on
// the same open session; and the one-time build of what the program makes, paid by the first
// check of a process. Target: the check under 2 ms.
#include "db/session.h"
#include "core/schema.h"
#include "query/recordquery.h"
#include "testsupport.h"

#include <benchmark/benchmark.h>

using namespace qh;

namespace {

// A clinic with a few visits and its search index (the most rows a file holds).
test::TempClinic &clinic()
{
    static test::TempClinic c;
    static bool filled = false;
    if (!filled) {
        c.addStatusRow();
        auto s = c.open();
        s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, blcf, zdys) values('000001', '内科', "
                              "'2024-03-08 09:30:00', '麻黄9克，', '李明德')"));
        query::RecordQuery::ensureSearchIndex(s);
        filled = true;
    }
    return c;
}

void BM_AnchorCountSchemaRows(benchmark::State &state)
{
    auto s = clinic().open();
    for (auto _ : state)
        benchmark::DoNotOptimize(s.scalarInt(QStringLiteral("select count(*) from sqlite_master")));
}
BENCHMARK(BM_AnchorCountSchemaRows)->Unit(benchmark::kMicrosecond);

void BM_SchemaCheck(benchmark::State &state)
{
    auto s = clinic().open();
    for (auto _ : state)
        if (!schemaFaults(s).isEmpty())
            state.SkipWithError("the genuine file was refused");
}
BENCHMARK(BM_SchemaCheck)->Unit(benchmark::kMicrosecond);

// What a start pays: open the file, check it, close it (the first check of the process also
// builds the reference once; it is made before the loop here and measured by itself below).
void BM_StartCheckOfTheLiveFile(benchmark::State &state)
{
    const QString path = clinic().dbPath();
    for (auto _ : state)
        checkClinicFile(path);
}
BENCHMARK(BM_StartCheckOfTheLiveFile)->Unit(benchmark::kMicrosecond);

// The build of what the check compares with, as the first check of a process pays it.
void BM_BuildReference(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(buildSchemaReference());
}
BENCHMARK(BM_BuildReference)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
