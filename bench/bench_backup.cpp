// Backup and restore of a large practice's database (demo data: patients, visits, stock
// movements): the verified backup, the verification alone and the verified restore, against the
// plain copy of the same file with its flush to disk as the anchor.
//
//   QINGHE_BENCH_PATIENTS=100000 build/bench/bench_backup   (default 30,000 patients)
//   QINGHE_BENCH_SOURCE=path/zyqhmz.mdb build/bench/bench_backup (a demo database made before)
//
// Also the one-time rewrite of a file of the first layout (1 KB pages) with 4 KB pages at the
// start, against the same anchor.
#include "db/session.h"
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "maint/datacopy.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

using namespace qh;

namespace {

struct Practice {
    test::TempClinic clinic{false};
    QTemporaryDir out;
    qint64 bytes = 0;
    int patients = 0;
};

Practice &practice()
{
    static Practice p;
    static bool filled = false;
    if (filled)
        return p;
    filled = true;
    p.patients = qEnvironmentVariableIntValue("QINGHE_BENCH_PATIENTS");
    if (p.patients <= 0)
        p.patients = 30000;
    const QString ready = qEnvironmentVariable("QINGHE_BENCH_SOURCE"); // a demo database made before
    if (!ready.isEmpty()) {
        QDir().mkpath(p.clinic.root() + QStringLiteral("/system"));
        Modutarnxt::SystemRoot = p.clinic.root();
        if (!QFile::copy(ready, p.clinic.dbPath()))
            qFatal("cannot copy %s", qPrintable(ready));
        p.bytes = QFileInfo(p.clinic.dbPath()).size();
        p.patients = int(Modutarnxt::clinicStore().open().scalarInt(QStringLiteral("select count(*) from hzblzl")));
        return p;
    }
    const QString failed = test::makeDemoClinic(QStringLiteral(QINGHE_DEMODATA), p.clinic.root(),
                                                {QStringLiteral("--patients"), QString::number(p.patients)});
    if (!failed.isEmpty())
        qFatal("demo data failed: %s", qPrintable(failed));
    Modutarnxt::SystemRoot = p.clinic.root();
    p.bytes = QFileInfo(p.clinic.dbPath()).size();
    return p;
}

// The anchor: the bytes of the file copied and flushed, nothing checked.
void plainCopy(const QString &from, const QString &to)
{
    QFile in(from), out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot copy");
    QByteArray buf(1 << 20, Qt::Uninitialized);
    for (qint64 n; (n = in.read(buf.data(), buf.size())) > 0;)
        out.write(buf.constData(), n);
    out.flush();
    ::fsync(out.handle());
}

void counters(benchmark::State &state)
{
    state.counters["MB"] = double(practice().bytes) / 1e6;
    state.counters["patients"] = practice().patients;
}

void BM_PlainCopy(benchmark::State &state)
{
    Practice &p = practice();
    const QString target = p.out.filePath(QStringLiteral("plain.mdb"));
    for (auto _ : state)
        plainCopy(p.clinic.dbPath(), target);
    counters(state);
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->Iterations(3);

// Image of the live file, flush, verification, rename.
void BM_VerifiedBackup(benchmark::State &state)
{
    Practice &p = practice();
    const QString target = p.out.filePath(QStringLiteral("backup.mdb"));
    for (auto _ : state)
        maint::DataCopy().backup(Modutarnxt::clinicStore(), target);
    counters(state);
}
BENCHMARK(BM_VerifiedBackup)->Unit(benchmark::kMillisecond)->Iterations(3);

// The verification alone: key, schema, status row, the engine's check of every page.
void BM_VerifyOnly(benchmark::State &state)
{
    Practice &p = practice();
    const QString target = p.out.filePath(QStringLiteral("backup.mdb"));
    if (!QFileInfo::exists(target))
        maint::DataCopy().backup(Modutarnxt::clinicStore(), target);
    for (auto _ : state)
        if (maint::whatIsWrong(target))
            state.SkipWithError("the backup did not verify");
    counters(state);
}
BENCHMARK(BM_VerifyOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

// The deeper check that also matches every index entry against its row (not used by default).
void BM_VerifyFull(benchmark::State &state)
{
    Practice &p = practice();
    const QString target = p.out.filePath(QStringLiteral("backup.mdb"));
    if (!QFileInfo::exists(target))
        maint::DataCopy().backup(Modutarnxt::clinicStore(), target);
    for (auto _ : state)
        if (maint::whatIsWrong(target, maint::CheckDepth::Full))
            state.SkipWithError("the backup did not verify");
    counters(state);
}
BENCHMARK(BM_VerifyFull)->Unit(benchmark::kMillisecond)->Iterations(3);

// Copy beside the live file, flush, verification, safety copy, rename.
void BM_VerifiedRestore(benchmark::State &state)
{
    Practice &p = practice();
    const QString source = p.out.filePath(QStringLiteral("backup.mdb"));
    if (!QFileInfo::exists(source))
        maint::DataCopy().backup(Modutarnxt::clinicStore(), source);
    for (auto _ : state)
        if (maint::DataCopy().restore(Modutarnxt::clinicStore(), source))
            state.SkipWithError("the restore was refused");
    counters(state);
}
BENCHMARK(BM_VerifiedRestore)->Unit(benchmark::kMillisecond)->Iterations(3);

// The start's rewrite of a first-layout file: copy, comparison of schema and row counts, quick
// check of the copy, flush, rename. The first-layout file is made (untimed) from the practice.
void BM_FirstLayoutUpgrade(benchmark::State &state)
{
    Practice &p = practice();
    const QString path = p.out.filePath(QStringLiteral("first.mdb"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        Modutarnxt::clinicStore().open().copyInto(path, db::FileLayout::Pages1K);
        state.ResumeTiming();
        if (!upgradeClinicFile(path))
            state.SkipWithError("the file was not rewritten");
    }
    counters(state);
}
BENCHMARK(BM_FirstLayoutUpgrade)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
