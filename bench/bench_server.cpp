// A user action on the PostgreSQL server (a connection from the pool and one lookup) and one
// posting, against the same on the encrypted file as the anchor.
//
//   build/bench/bench_server                 starts a throwaway cluster (scripts/pg-cluster.sh)
//   QINGHE_TEST_PG="host=... port=... dbname=postgres user=..." build/bench/bench_server
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "stock/posting.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace qh;

namespace {

// The cluster the bench started, stopped at the end.
struct Cluster {
    QTemporaryDir dir{QStringLiteral("/tmp/qinghe-bench-pg-XXXXXX")};
    bool started = false;
    Cluster()
    {
        if (!qEnvironmentVariableIsEmpty("QINGHE_TEST_PG"))
            return;
        QFile::setPermissions(dir.path(), QFile::Permissions(0x7755));
        QProcess p;
        p.start(QStringLiteral(QINGHE_PGCLUSTER), {QStringLiteral("start"), dir.path() + QStringLiteral("/cluster")});
        p.waitForFinished(-1);
        if (p.exitCode() != 0)
            qFatal("cannot start a PostgreSQL cluster: %s", p.readAllStandardError().constData());
        qputenv("QINGHE_TEST_PG", p.readAllStandardOutput().trimmed());
        started = true;
    }
    ~Cluster()
    {
        if (started)
            QProcess::execute(QStringLiteral(QINGHE_PGCLUSTER), {QStringLiteral("stop"), dir.path() + QStringLiteral("/cluster")});
    }
};

struct Practice {
    Cluster cluster;
    QTemporaryDir fileDir;
    QString file;
    std::unique_ptr<test::TempClinic> server;
    db::DatabaseSettings settings;
    Practice()
    {
        file = fileDir.path() + QStringLiteral("/zyqhmz.mdb");
        CreateClinicDatabase(file);
        server = std::make_unique<test::TempClinic>();
        settings = server->serverSettings();
        for (int i = 0; i < 2; ++i) {
            db::Session s = i == 0 ? db::Session::open(file) : db::Session::connect(settings);
            for (int d = 0; d < 500; ++d)
                s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, '克', '解表药')"),
                       QStringLiteral("D%1").arg(d), QStringLiteral("药材%1").arg(d), Money::fromInt(d));
        }
    }
};

Practice &practice()
{
    static Practice p;
    return p;
}

db::Session sessionOf(bool server)
{
    return server ? db::Session::connect(practice().settings) : db::Session::open(practice().file);
}

void lookup(benchmark::State &state, bool server)
{
    practice();
    int d = 0;
    for (auto _ : state) {
        db::Session s = sessionOf(server);
        auto name = s.scalarText(QStringLiteral("select ycmc from ycjg where ycbm = ?"), QStringLiteral("D%1").arg(d++ % 500));
        benchmark::DoNotOptimize(name);
    }
}

void posting(benchmark::State &state, bool server)
{
    practice();
    db::Session s = sessionOf(server);
    stock::Movement m;
    m.crsj = QDateTime(QDate(2024, 6, 15), QTime(10, 0));
    m.ycbm = QStringLiteral("药材1");
    m.ywzy = stock::SummaryPurchase;
    m.yccd = m.ycly = m.ywph = m.blhm = m.blks = QStringLiteral(" ");
    m.rksl = Money::fromInt(1);
    m.rkje = Money::fromInt(3);
    m.jbxm = m.bgxm = QStringLiteral("测试员");
    for (auto _ : state)
        stock::postMovement(s, m, stock::MovementKind::Receipt);
}

} // namespace

BENCHMARK_CAPTURE(lookup, file_open_and_lookup, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(lookup, server_connect_and_lookup, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(posting, file_posting, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(posting, server_posting, true)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
