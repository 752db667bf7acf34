// The monthly statistics over a large practice: 1,000,000 visits of 100,000 patients and
// 2,000,000 stock movements (dispensings, purchases, other issues) over five years, 2020 to
// 2024, written in time order as the program writes them; the closings have costed every issue
// up to the end of 2023. Timed from opening the database to the figures:
//
//   BM_Statistics/12        the statistics of 2023 (statistics::compute)
//   BM_Statistics/60        the statistics of all five years
//   BM_PlainStatements/n    the anchor: the same sums as plain grouped statements, one per
//                           figure (visits per month, per doctor, per department, patients new and
//                           returning, revenue, herbs, pending issues, cost per herb and month)
//
// Both give the same sums (checked in every run); the ratio to the anchor is printed at the end.
//
// QINGHE_BENCH_ROOT names a data folder to keep the practice in: the first run fills it (a few
// minutes), later runs find it there. Without it each run fills a temporary folder.
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "db/session.h"
#include "query/statistics.h"
#include "stock/posting.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <map>

using namespace qh;
using namespace qh::query;

namespace {

constexpr int Visits = 1000000;
constexpr int Patients = 100000;
constexpr int Movements = 2000000;
constexpr int Herbs = 600;
const QDateTime First(QDate(2020, 1, 1), QTime(8, 0));
const QDate ClosedUntil(2024, 1, 1);

const QStringList Doctors = {QStringLiteral("李明德"), QStringLiteral("王淑华"), QStringLiteral("张国栋"), QStringLiteral("陈静"),
                             QStringLiteral("刘建华"), QStringLiteral("赵丽"), QStringLiteral("孙志强"), QStringLiteral("周敏")};
const QStringList Departments = {QStringLiteral("中医内科"), QStringLiteral("中医外科"), QStringLiteral("妇科"),
                                 QStringLiteral("儿科"), QStringLiteral("针灸科"), QStringLiteral("推拿科")};

// Fills the practice into the empty database of the installed store.
void fill(db::Session &s);

void clinic()
{
    static bool ready = false;
    if (ready)
        return;
    ready = true;
    const QString root = qEnvironmentVariable("QINGHE_BENCH_ROOT");
    if (root.isEmpty()) {
        static test::TempClinic c;
        auto s = c.open();
        fill(s);
        return;
    }
    Modutarnxt::SystemRoot = root;
    Modutarnxt::setClinicStore(std::nullopt);
    const QString marker = root + QStringLiteral("/statistics-filled");
    if (QFile::exists(marker))
        return;
    QFile::remove(Modutarnxt::databasePath());
    QDir().mkpath(root + QStringLiteral("/system"));
    CreateClinicDatabase(Modutarnxt::databasePath());
    {
        auto s = Modutarnxt::clinicStore().open();
        fill(s);
    }
    QFile f(marker);
    if (!f.open(QIODevice::WriteOnly))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(marker));
}

void fill(db::Session &s)
{
    QRandomGenerator rng(11);
    s.execScript(QStringLiteral("pragma cache_size = -262144"));
    db::Transaction t(s);
    const qint64 span = First.secsTo(QDateTime(QDate(2025, 1, 1), QTime(0, 0))) - 36000;
    {
        auto ins = s.prepare(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, blsx, zdys) "
                                            "values(?, ?, ?, '120/80', 72, 18, ?, ?, ?, '水煎服，日一剂，分两次温服。', ?)"));
        const QString rx = QStringLiteral("麻黄9克，桂枝6克，杏仁9克，甘草6克，生姜3片，大枣4枚，白芍9克，川芎6克。");
        for (int i = 0; i < Visits; ++i) {
            const QDateTime when = First.addSecs(qint64(i) * span / Visits);
            // Patients come back: a new number now and then, else one of those seen before.
            const int patient = i < Patients ? i : int(rng.bounded(Patients));
            ins.reset();
            ins.bindAll(QStringLiteral("%1").arg(patient, 6, 10, QChar(u'0')), Departments[int(rng.bounded(6))], when,
                        QStringLiteral("咳嗽三日，恶寒发热，无汗"), QStringLiteral("辛温解表，宣肺止咳"), rx, Doctors[int(rng.bounded(8))]);
            ins.run();
        }
    }
    {
        auto ins = s.prepare(QStringLiteral(
            "insert into yccrtb(crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, cksl, ckje, xsje, jbxm, bgxm) "
            "values(?, ?, ?, ' ', ' ', ' ', null, ?, '中医内科', ?, ?, ?, ?, ?, '李明德', '管理员')"));
        for (int i = 0; i < Movements; ++i) {
            const QDateTime when = First.addSecs(qint64(i) * span / Movements);
            const QString herb = QStringLiteral("药材%1").arg(int(rng.bounded(Herbs)), 3, 10, QChar(u'0'));
            const int kind = int(rng.bounded(100));
            const bool closed = when.date() < ClosedUntil;
            const Money q = Money::fromCents(300 + qint64(rng.bounded(3000)));
            ins.reset();
            if (kind < 5) {
                ins.bindAll(when, herb, stock::SummaryPurchase, QStringLiteral(" "), q * 100, Money::fromCents(qint64(rng.bounded(900000))),
                            Money(), Money(), Money());
            } else {
                const Money cost = closed ? Money::fromCents(100 + qint64(rng.bounded(900))) : Money();
                ins.bindAll(when, herb, kind < 8 ? stock::SummaryIssue : stock::SummaryDispensing,
                            QStringLiteral("%1").arg(int(rng.bounded(Patients)), 6, 10, QChar(u'0')), Money(), Money(), q, cost,
                            kind < 8 ? Money() : Money::fromCents(200 + qint64(rng.bounded(2000))));
            }
            ins.run();
        }
    }
    t.commit();
}

MonthRange rangeOf(int months)
{
    return months == 12 ? MonthRange{QDate(2023, 1, 1), QDate(2023, 12, 1)} : MonthRange{QDate(2020, 1, 1), QDate(2024, 12, 1)};
}

// The figures the two ways compare: per month, then per doctor, department and herb.
using Sums = std::map<QString, qint64>;

Sums sumsOf(const Statistics &st)
{
    Sums out;
    for (const MonthFigures &m : st.months) {
        const QString k = statistics::monthText(m.month);
        out[k + QStringLiteral(" visits")] = m.visits;
        out[k + QStringLiteral(" patients")] = m.patients;
        out[k + QStringLiteral(" new")] = m.newPatients;
        out[k + QStringLiteral(" revenue")] = m.revenue.units();
        out[k + QStringLiteral(" closed")] = m.closed;
        out[k + QStringLiteral(" cost")] = m.closed ? m.cost.units() : 0;
    }
    for (const GroupFigures &g : st.doctors)
        out[QStringLiteral("doctor ") + g.name] = g.visits;
    for (const GroupFigures &g : st.departments)
        out[QStringLiteral("department ") + g.name] = g.visits;
    for (const HerbFigures &h : st.herbs) {
        out[QStringLiteral("herb ") + h.name + QStringLiteral(" quantity")] = h.quantity.units();
        out[QStringLiteral("herb ") + h.name + QStringLiteral(" revenue")] = h.revenue.units();
        out[QStringLiteral("herb ") + h.name + QStringLiteral(" cost")] = h.cost.units();
    }
    return out;
}

// The anchor: one plain grouped statement per figure.
Sums plainStatements(db::Session &s, const MonthRange &range)
{
    Sums out;
    const QDate from = range.first, to = range.end();
    const QString dispensing = stock::SummaryDispensing;
    {
        auto q = s.query(QStringLiteral("select substr(blsj, 1, 7), count(*) from hzzdzl where blsj >= ? and blsj < ? group by 1"), from, to);
        while (q.next())
            out[q.text(0) + QStringLiteral(" visits")] = q.int64(1);
    }
    for (auto [field, what] : {std::pair{"zdys", "doctor "}, std::pair{"blkb", "department "}}) {
        auto q = s.query(QStringLiteral("select %1, count(*) from hzzdzl where blsj >= ? and blsj < ? group by 1").arg(QLatin1String(field)),
                         from, to);
        while (q.next())
            out[QLatin1String(what) + q.text(0)] = q.int64(1);
    }
    {
        auto q = s.query(QStringLiteral("select substr(v.blsj, 1, 7), count(distinct v.blbm), "
                                        "count(distinct case when substr(f.first, 1, 7) = substr(v.blsj, 1, 7) then v.blbm end) "
                                        "from hzzdzl v join (select blbm, min(blsj) as first from hzzdzl group by blbm) f on f.blbm = v.blbm "
                                        "where v.blsj >= ? and v.blsj < ? group by 1"),
                         from, to);
        while (q.next()) {
            out[q.text(0) + QStringLiteral(" patients")] = q.int64(1);
            out[q.text(0) + QStringLiteral(" new")] = q.int64(2);
        }
    }
    {
        auto q = s.query(QStringLiteral("select substr(crsj, 1, 7), sum(xsje) from yccrtb where crsj >= ? and crsj < ? and ywzy = ? group by 1"),
                         from, to, dispensing);
        while (q.next())
            out[q.text(0) + QStringLiteral(" revenue")] = q.int64(1);
    }
    {
        auto q = s.query(QStringLiteral("select ycbm, sum(cksl), sum(xsje) from yccrtb where crsj >= ? and crsj < ? and ywzy = ? group by 1"),
                         from, to, dispensing);
        while (q.next()) {
            out[QStringLiteral("herb ") + q.text(0) + QStringLiteral(" quantity")] = q.int64(1);
            out[QStringLiteral("herb ") + q.text(0) + QStringLiteral(" revenue")] = q.int64(2);
        }
    }
    // A month is closed when it has no pending issue (and a closing after it: here every
    // closed month has costed issues).
    std::map<QString, bool> closed;
    {
        auto q = s.query(QStringLiteral("select substr(crsj, 1, 7), sum(case when ckje = 0 then 1 else 0 end), "
                                        "sum(case when ckje <> 0 then 1 else 0 end) from yccrtb "
                                        "where crsj >= ? and crsj < ? and cksl <> 0 group by 1"),
                         from, to);
        while (q.next()) {
            closed[q.text(0)] = q.int64(1) == 0 && q.int64(2) > 0;
            out[q.text(0) + QStringLiteral(" closed")] = closed[q.text(0)];
        }
    }
    {
        auto q = s.query(QStringLiteral("select ycbm, substr(crsj, 1, 7), sum(ckje) from yccrtb where crsj >= ? and crsj < ? and ywzy = ? "
                                        "group by 1, 2"),
                         from, to, dispensing);
        while (q.next()) {
            const qint64 cost = closed[q.text(1)] ? q.int64(2) : 0;
            out[QStringLiteral("herb ") + q.text(0) + QStringLiteral(" cost")] += cost;
            out[q.text(1) + QStringLiteral(" cost")] += cost;
        }
    }
    return out;
}

std::map<std::string, double> &seconds()
{
    static std::map<std::string, double> s;
    return s;
}

Sums &computed()
{
    static Sums s;
    return s;
}

// CPU time of the whole process (all its threads), in seconds.
double processSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// What the window runs: the visits and the movements on two sessions at once. The CPU column of
// the benchmark counts the main thread only; "cpu_ms" is the process's.
void BM_Statistics(benchmark::State &state)
{
    clinic();
    const MonthRange range = rangeOf(int(state.range(0)));
    double total = 0, cpu = 0;
    Statistics st;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = processSeconds();
        st = statistics::compute(Modutarnxt::clinicStore(), range);
        cpu += processSeconds() - c0;
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    seconds()["statistics/" + std::to_string(state.range(0))] = total / double(state.iterations());
    seconds()["statistics-cpu/" + std::to_string(state.range(0))] = cpu / double(state.iterations());
    state.counters["visits"] = st.visits();
    state.counters["herbs"] = double(st.herbs.size());
    state.counters["cpu_ms"] = cpu * 1000 / double(state.iterations());
    computed() = sumsOf(st);
}
BENCHMARK(BM_Statistics)->Arg(12)->Arg(60)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same reads one after the other on one session.
void BM_StatisticsOneSession(benchmark::State &state)
{
    clinic();
    const MonthRange range = rangeOf(int(state.range(0)));
    Statistics st;
    for (auto _ : state) {
        auto s = Modutarnxt::clinicStore().open();
        st = statistics::compute(s, range);
    }
    if (sumsOf(st) != sumsOf(statistics::compute(Modutarnxt::clinicStore(), range)))
        state.SkipWithError("one session gives other figures than two");
}
BENCHMARK(BM_StatisticsOneSession)->Arg(12)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainStatements(benchmark::State &state)
{
    clinic();
    const MonthRange range = rangeOf(int(state.range(0)));
    double total = 0, cpu = 0;
    Sums sums;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = processSeconds();
        auto s = Modutarnxt::clinicStore().open();
        sums = plainStatements(s, range);
        cpu += processSeconds() - c0;
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    seconds()["plain/" + std::to_string(state.range(0))] = total / double(state.iterations());
    seconds()["plain-cpu/" + std::to_string(state.range(0))] = cpu / double(state.iterations());
    // The same sums both ways (zero figures are left out by the grouped statements).
    Sums mine = sumsOf(statistics::compute(test::OneAction().s(), range));
    for (auto it = mine.begin(); it != mine.end();)
        it = it->second == 0 ? mine.erase(it) : std::next(it);
    for (auto it = sums.begin(); it != sums.end();)
        it = it->second == 0 ? sums.erase(it) : std::next(it);
    if (mine != sums) {
        for (const auto &[k, v] : sums)
            if (mine[k] != v)
                std::fprintf(stderr, "%s: statistics %lld, plain %lld\n", qPrintable(k), (long long)mine[k], (long long)v);
        state.SkipWithError("the figures differ from the plain statements");
    }
    state.counters["figures"] = double(sums.size());
}
BENCHMARK(BM_PlainStatements)->Arg(12)->Arg(60)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const char *n : {"12", "60"}) {
        const auto &s = seconds();
        const auto plain = s.find(std::string("plain/") + n), mine = s.find(std::string("statistics/") + n);
        const auto plainCpu = s.find(std::string("plain-cpu/") + n), mineCpu = s.find(std::string("statistics-cpu/") + n);
        if (plain != s.end() && mine != s.end())
            std::printf("%s months: statistics %.3f s wall, %.3f s CPU; plain grouped statements %.3f s wall, %.3f s CPU; "
                        "ratio %.2f wall, %.2f CPU\n",
                        n, mine->second, mineCpu->second, plain->second, plainCpu->second, mine->second / plain->second,
                        mineCpu->second / plainCpu->second);
    }
    return 0;
}
