// A user action on the PostgreSQL server (a connection from the pool and one lookup) and one
// posting, against the same on the encrypted file as the anchor; then a clinic day: ten
// workstations at once registering patients, saving visits and dispensing the same herbs for
// a minute, with the throughput, the 99th percentile of a dispensing and the check that no
// posting was lost or oversold.
//
//   build/bench/bench_server                 starts a throwaway cluster (scripts/pg-cluster.sh)
//   QINGHE_TEST_PG="host=... port=... dbname=postgres user=..." build/bench/bench_server
//   QINGHE_BENCH_SECONDS=60                  the clinic day's length (60 s unless given)
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "stock/posting.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>

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

// One workstation's day: a patient registered now and then, a visit saved for a patient of its
// own, and mostly dispensings of the shared herbs (checked against the balance and posted in one
// transaction, as charging does) with a purchase when the stock runs low.
struct Station {
    std::vector<double> dispensingMs;
    std::vector<qint64> received, issued;
    int registrations = 0, visits = 0, refused = 0, locked = 0;
    QString failure;
};

constexpr int DayHerbs = 20;

stock::Movement dayMovement(int herb, stock::MovementKind kind, int units)
{
    stock::Movement m;
    m.crsj = QDateTime(QDate(2024, 6, 15), QTime(10, 0));
    m.ycbm = QStringLiteral("药材%1").arg(herb);
    m.ywzy = kind == stock::MovementKind::Receipt ? stock::SummaryPurchase : stock::SummaryIssue;
    m.yccd = m.ycly = m.ywph = m.blhm = m.blks = QStringLiteral(" ");
    if (kind == stock::MovementKind::Receipt) {
        m.rksl = Money::fromInt(units);
        m.rkje = Money::fromInt(units * 3);
    } else {
        m.cksl = Money::fromInt(units);
        m.xsje = Money::fromInt(units * 5);
    }
    m.jbxm = m.bgxm = QStringLiteral("工作站");
    return m;
}

void workDay(Station &w, bool server, int station, std::chrono::steady_clock::time_point end)
{
    using Clock = std::chrono::steady_clock;
    QRandomGenerator random(quint32(4000 + station));
    w.received.assign(DayHerbs, 0);
    w.issued.assign(DayHerbs, 0);
    try {
        int patient = 0;
        while (Clock::now() < end) {
            db::Session s = sessionOf(server); // one user action: a connection from the pool
            const int action = int(random.bounded(10));
            try {
                if (action == 0 || patient == 0) {
                    ++patient;
                    s.exec(QStringLiteral("insert into hzblzl(blbm, blxm, blxb, blnl, blsj, zldl) values(?, ?, '女', 40, ?, '医生')"),
                           QStringLiteral("%1%2").arg(station, 2, 10, QChar(u'0')).arg(patient, 6, 10, QChar(u'0')),
                           QStringLiteral("患者%1").arg(patient), QDateTime(QDate(2024, 6, 15), QTime(8, 0)));
                    ++w.registrations;
                } else if (action <= 2) {
                    s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzqk, blcf, zdys) values(?, '中医内科', ?, '咳嗽', '麻黄9克', '医生')"),
                           QStringLiteral("%1%2").arg(station, 2, 10, QChar(u'0')).arg(patient, 6, 10, QChar(u'0')),
                           QDateTime(QDate(2024, 6, 15), QTime(8, 0)).addSecs(w.visits));
                    ++w.visits;
                } else {
                    const int h = int(random.bounded(DayHerbs));
                    const int units = 1 + int(random.bounded(6));
                    const auto started = Clock::now();
                    db::Transaction t(s);
                    const auto b = stock::balanceOf(s, dayMovement(h, stock::MovementKind::Issue, 0).ycbm);
                    if (!b || b->ycyl < Money::fromInt(units)) {
                        t.commit();
                        ++w.refused;
                        stock::postMovement(s, dayMovement(h, stock::MovementKind::Receipt, 50), stock::MovementKind::Receipt);
                        w.received[size_t(h)] += 50;
                        continue;
                    }
                    stock::postMovementInTransaction(s, dayMovement(h, stock::MovementKind::Issue, units), stock::MovementKind::Issue);
                    t.commit();
                    w.dispensingMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - started).count());
                    w.issued[size_t(h)] += units;
                }
            } catch (const DbError &e) {
                if (e.number() != err::Locked)
                    throw;
                ++w.locked;
            }
        }
    } catch (const std::exception &e) {
        w.failure = QString::fromUtf8(e.what());
    }
}

void clinicDay(benchmark::State &state, bool server)
{
    practice();
    const int stations = int(state.range(0));
    const int seconds = qEnvironmentVariableIntValue("QINGHE_BENCH_SECONDS") > 0 ? qEnvironmentVariableIntValue("QINGHE_BENCH_SECONDS") : 60;
    for (auto _ : state) {
        {
            db::Session s = sessionOf(server);
            db::Transaction t(s);
            s.exec(QStringLiteral("delete from yccrtb"));
            s.exec(QStringLiteral("delete from ycyltb"));
            s.exec(QStringLiteral("delete from hzblzl"));
            s.exec(QStringLiteral("delete from hzzdzl"));
            t.commit();
        }
        std::vector<Station> day(static_cast<size_t>(stations));
        std::vector<std::thread> threads;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (int i = 0; i < stations; ++i)
            threads.emplace_back(workDay, std::ref(day[size_t(i)]), server, i, end);
        for (auto &t : threads)
            t.join();

        std::vector<double> all;
        std::vector<qint64> received(DayHerbs, 0), issued(DayHerbs, 0);
        int registrations = 0, visits = 0, refused = 0, locked = 0;
        for (const Station &w : day) {
            if (!w.failure.isEmpty()) {
                state.SkipWithError(qPrintable(w.failure));
                return;
            }
            all.insert(all.end(), w.dispensingMs.begin(), w.dispensingMs.end());
            for (int h = 0; h < DayHerbs; ++h) {
                received[size_t(h)] += w.received[size_t(h)];
                issued[size_t(h)] += w.issued[size_t(h)];
            }
            registrations += w.registrations;
            visits += w.visits;
            refused += w.refused;
            locked += w.locked;
        }
        // Nothing lost, nothing oversold: each balance is what the workstations saw committed.
        int lost = 0, oversold = 0;
        db::Session s = sessionOf(server);
        for (int h = 0; h < DayHerbs; ++h) {
            const QString herb = dayMovement(h, stock::MovementKind::Issue, 0).ycbm;
            auto sums = s.query(QStringLiteral("select sum(rksl), sum(cksl) from yccrtb where ycbm = ?"), herb);
            sums.next();
            const auto b = stock::balanceOf(s, herb);
            const Money onHand = b ? b->ycyl : Money();
            if (sums.money(0) != Money::fromInt(received[size_t(h)]) || sums.money(1) != Money::fromInt(issued[size_t(h)])
                || onHand != sums.money(0) - sums.money(1))
                ++lost;
            if (onHand < Money())
                ++oversold;
        }
        std::sort(all.begin(), all.end());
        const double p99 = all.empty() ? 0 : all[std::min(all.size() - 1, size_t(double(all.size()) * 0.99))];
        state.counters["dispensings_per_s"] = double(all.size()) / seconds;
        state.counters["actions_per_s"] = double(all.size() + size_t(registrations + visits + refused)) / seconds;
        state.counters["p99_ms"] = p99;
        state.counters["median_ms"] = all.empty() ? 0 : all[all.size() / 2];
        state.counters["registrations"] = registrations;
        state.counters["visits"] = visits;
        state.counters["refused_for_stock"] = refused;
        state.counters["refused_locked"] = locked;
        state.counters["lost_or_wrong_balances"] = lost;
        state.counters["oversold"] = oversold;
        if (lost || oversold)
            state.SkipWithError("a posting was lost or a herb oversold");
    }
}

} // namespace

BENCHMARK_CAPTURE(clinicDay, file_ten_workstations, false)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK_CAPTURE(clinicDay, server_ten_workstations, true)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
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
