// Moving a practice onto another database (demo data: patients, visits, stock movements): the
// checked move of --export-to-server (inserts prepared once per table, every table read back and
// compared before the commit) against two anchors: the naive copy (the same rows in one
// transaction, each insert prepared anew, nothing checked) and the plain copy (each insert
// prepared once per table, nothing checked), whose difference to the move is the price of the
// check. Both sides are data files here.
//
//   QINGHE_BENCH_PATIENTS=20000 build/bench/bench_servermove   (default 5,000 patients)
#include "db/session.h"
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "maint/servermove.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace qh;

namespace {

struct Practice {
    test::TempClinic clinic{false};
    QTemporaryDir out;
    qint64 rows = 0;
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
        p.patients = 5000;
    const QString failed = test::makeDemoClinic(QStringLiteral(QINGHE_DEMODATA), p.clinic.root(),
                                                {QStringLiteral("--patients"), QString::number(p.patients)});
    if (!failed.isEmpty())
        qFatal("demo data failed: %s", qPrintable(failed));
    Modutarnxt::SystemRoot = p.clinic.root();
    auto s = db::Session::open(p.clinic.dbPath());
    for (const TableDef &t : clinicSchema())
        p.rows += s.scalarInt(QStringLiteral("select count(*) from \"%1\"").arg(QString::fromLatin1(t.name)));
    return p;
}

// A fresh empty target with the schema; the previous one removed.
db::Session freshTarget(const QString &path)
{
    QFile::remove(path);
    CreateClinicDatabase(path);
    return db::Session::open(path);
}

// The anchors: every row inserted in one transaction, no check; by a statement prepared for it
// alone (naive) or once per table (plain).
void uncheckedCopy(db::Session &source, db::Session &target, bool preparedOnce)
{
    db::Transaction lock(source); // as the move holds it: one consistent state, read in one go
    db::Transaction tx(target);
    for (const TableDef &t : clinicSchema()) {
        QStringList names, marks;
        for (const FieldDef &f : t.fields) {
            names << u'"' + QString::fromLatin1(f.name) + u'"';
            marks << QStringLiteral("?");
        }
        const QString insert = QStringLiteral("insert into \"%1\"(%2) values(%3)").arg(QString::fromLatin1(t.name), names.join(u','), marks.join(u','));
        auto read = source.prepare(QStringLiteral("select %1 from \"%2\"").arg(names.join(u','), QString::fromLatin1(t.name)));
        std::optional<db::Statement> once;
        if (preparedOnce)
            once.emplace(target.prepare(insert));
        while (read.next()) {
            std::optional<db::Statement> each;
            if (!preparedOnce)
                each.emplace(target.prepare(insert));
            db::Statement &write = preparedOnce ? *once : *each;
            for (int c = 0; c < int(t.fields.size()); ++c) {
                if (read.isNull(c)) {
                    write.bind(c + 1, std::nullopt);
                    continue;
                }
                switch (t.fields[std::size_t(c)].type) {
                case FieldType::Integer: write.bind(c + 1, read.int64(c)); break;
                case FieldType::Currency: write.bind(c + 1, read.money(c)); break;
                case FieldType::LongBinary: write.bind(c + 1, read.blob(c)); break;
                case FieldType::Text:
                case FieldType::Memo:
                case FieldType::Date: write.bind(c + 1, read.text(c)); break;
                }
            }
            write.run();
            write.reset();
        }
    }
    tx.commit();
    lock.commit();
}

void counters(benchmark::State &state)
{
    state.counters["patients"] = practice().patients;
    state.counters["rows"] = double(practice().rows);
    state.counters["rows/s"] = benchmark::Counter(double(practice().rows) * double(state.iterations()), benchmark::Counter::kIsRate);
}

enum class Copy { Naive, Plain, CheckedMove };

// One way of copying the practice onto a fresh target, timed without making the target.
void BM_Copy(benchmark::State &state, Copy how)
{
    Practice &p = practice();
    const QString path = p.out.filePath(QStringLiteral("target.mdb"));
    for (auto _ : state) {
        state.PauseTiming();
        auto target = freshTarget(path);
        auto source = db::Session::open(p.clinic.dbPath());
        state.ResumeTiming();
        if (how != Copy::CheckedMove)
            uncheckedCopy(source, target, how == Copy::Plain);
        else if (!maint::moveClinic(source, target).refused.isEmpty())
            state.SkipWithError("the move was refused");
    }
    counters(state);
}
BENCHMARK_CAPTURE(BM_Copy, NaiveCopy, Copy::Naive)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Copy, PlainCopy, Copy::Plain)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Copy, CheckedMove, Copy::CheckedMove)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
