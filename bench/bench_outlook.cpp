// The stock outlook of the diagnosis tab (stock/stockoutlook.h) over a generated clinic journal
// of 800 herbs at about 730 movement rows a day: the journals of 200,000 and 2,000,000 rows differ
// only in how many years they hold. Each herb is dispensed daily at its own rate (fast, medium,
// slow) and bought for about 45 days of use when it runs low, a purchase expiring 690 to 750
// days after it is bought (one in seven 120 to 300 days), all rows at midnight as the windows
// write them; the balances are what the postings leave. No herb runs out, as in a clinic that
// reorders in time.
//
// Each iteration opens its own session, as the tab does when a visit is opened. In the same run
// two anchors, run first: the raw read of the whole journal in its order ("select ycbm, rksl,
// cksl, yxqx from yccrtb order by crsj, ycbm, xsje, ckje, rowid", nothing done per row) and the
// outlook as it was before, which replayed those rows (its loop kept here); the outlook reports
// its ratio to both. Before the timings the outlook is compared with its rule applied to every
// purchase of the journal read in one pass; the program stops when they differ. With
// QINGHE_TEST_PG set the clinic is a database on that server.
#include "db/session.h"
#include "db/features.h"
#include "core/herbs.h"
#include "stock/stockoutlook.h"
#include "testsupport.h"

#include <benchmark/benchmark.h>

#include <QHash>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>

using namespace qh;

namespace {

constexpr int Herbs = 800;

QString herbName(int i) { return QStringLiteral("药材%1").arg(i, 4, 10, QChar(u'0')); }

// The outlook as it was before it read the receipts still in stock: the whole journal replayed
// oldest first (a purchase a lot, issues taking the earliest expiry first), its loop unchanged.
namespace replay {
struct Lot {
    Money left;
    QDate expiry;
};
struct Lots {
    QList<Lot> lots;
    void receive(Money qty, const QDate &expiry)
    {
        if (qty <= Money())
            return;
        const auto later = [](const QDate &a, const QDate &b) {
            if (!a.isValid())
                return false;
            return !b.isValid() || a < b;
        };
        auto at = std::upper_bound(lots.begin(), lots.end(), expiry,
                                   [&](const QDate &e, const Lot &l) { return later(e, l.expiry); });
        lots.insert(at, Lot{qty, expiry});
    }
    void issue(Money qty)
    {
        while (qty > Money() && !lots.isEmpty()) {
            Lot &first = lots.first();
            if (first.left > qty) {
                first.left -= qty;
                return;
            }
            qty -= first.left;
            lots.removeFirst();
        }
    }
};

QHash<QString, herbs::StockState> stockOutlook(db::Session &s, const QDate &today)
{
    QHash<QString, Lots> lots;
    auto journal = s.query(QStringLiteral("select ycbm, rksl, cksl, yxqx from yccrtb order by crsj, ycbm, xsje, ckje, rowid"));
    QString name;
    Lots *l = nullptr;
    while (journal.next()) {
        const QString rowName = journal.text(0);
        if (!l || rowName != name) {
            name = rowName;
            l = &lots[name];
        }
        const Money received = journal.money(1);
        if (received > Money())
            l->receive(received, stock::storedDay(journal.text(3)));
        l->issue(journal.money(2));
    }
    QHash<QString, herbs::StockState> out;
    auto balances = s.query(QStringLiteral("select ycbm, ycyl from ycyltb"));
    while (balances.next()) {
        herbs::StockState st;
        st.known = true;
        st.onHand = balances.money(1);
        const auto it = lots.constFind(balances.text(0));
        if (st.onHand > Money() && it != lots.constEnd()) {
            for (const Lot &lot : it->lots)
                if (lot.expiry.isValid()) {
                    st.expiry = lot.expiry;
                    break;
                }
            st.expired = st.expiry && *st.expiry < today;
        }
        out.insert(balances.text(0), st);
    }
    return out;
}
} // namespace replay

// The outlook's rule over the whole journal read in one pass, to check the outlook on the data.
QHash<QString, herbs::StockState> ruleOverWholeJournal(db::Session &s, const QDate &today)
{
    QHash<QString, QList<stock::Receipt>> bought;
    auto rows = s.query(QStringLiteral("select ycbm, rksl, yxqx from yccrtb where rksl > 0 order by crsj desc, ycbm desc, "
                                       "xsje desc, ckje desc, rowid desc"));
    while (rows.next())
        bought[rows.text(0)] << stock::Receipt{rows.money(1), stock::storedDay(rows.text(2))};
    QHash<QString, herbs::StockState> out;
    auto balances = s.query(QStringLiteral("select ycbm, ycyl from ycyltb"));
    while (balances.next()) {
        herbs::StockState st;
        st.known = true;
        st.onHand = balances.money(1);
        st.expiry = stock::shelfExpiry(st.onHand, bought.value(balances.text(0)));
        st.expired = st.expiry && *st.expiry < today;
        out.insert(balances.text(0), st);
    }
    return out;
}

struct Clinic {
    test::TempClinic clinic;
    QDate today;
    int rows = 0;
    int days = 0;
};

std::unique_ptr<Clinic> fill(int rows)
{
    auto c = std::make_unique<Clinic>();
    std::mt19937 rng(20240501u + unsigned(rows));
    const auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };

    std::vector<double> rate(Herbs);      // dispensings a day
    std::vector<qint64> held(Herbs, 0);   // grams
    std::vector<qint64> received(Herbs, 0);
    for (int h = 0; h < Herbs; ++h)
        rate[size_t(h)] = h % 3 == 0 ? 2.0 : h % 3 == 1 ? 0.55 : 0.1;

    auto s = c->clinic.open();
    db::setPageCache(s, 262144);
    db::Transaction t(s);
    auto ins = s.prepare(QStringLiteral(
        "insert into yccrtb(crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, cksl, ckje, xsje, jbxm, bgxm) "
        "values(?, ?, ?, ' ', ' ', ' ', ?, ?, ' ', ?, ?, ?, 0, ?, '李四', '测试员')"));
    const QDate first(2015, 1, 1);
    QDate day = first;
    int written = 0;
    while (written < rows) {
        const QString crsj = day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
        for (int h = 0; h < Herbs && written < rows; ++h) {
            const double use = rate[size_t(h)] * 17; // grams a day
            if (held[size_t(h)] < qint64(use * 10)) {
                const qint64 qty = std::max<qint64>(100, qint64(use * 45));
                const QDate expiry = chance(1.0 / 7) ? day.addDays(uniform(120, 300)) : day.addDays(uniform(690, 750));
                ins.reset();
                ins.bindAll(crsj, herbName(h), QStringLiteral("购进"),
                            expiry.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00"), QStringLiteral(" "),
                            Money::fromInt(qty), Money::fromInt(qty / 2), Money(), Money());
                ins.run();
                held[size_t(h)] += qty;
                received[size_t(h)] += qty;
                ++written;
            }
            int n = int(rate[size_t(h)]) + (chance(rate[size_t(h)] - int(rate[size_t(h)])) ? 1 : 0);
            for (; n > 0 && written < rows; --n) {
                const qint64 dose = uniform(5, 30);
                if (held[size_t(h)] < dose)
                    break; // refused, as the charging window refuses it
                const bool other = chance(0.01);
                ins.reset();
                ins.bindAll(crsj, herbName(h), other ? QStringLiteral("出库") : QStringLiteral("处方收款出库"),
                            other ? crsj : QStringLiteral("2050-01-01 00:00:00"),
                            other ? QStringLiteral(" ") : QStringLiteral("%1").arg(written % 100000), Money(), Money(),
                            Money::fromInt(dose), other ? Money() : Money::fromInt(dose * 2));
                ins.run();
                held[size_t(h)] -= dose;
                ++written;
            }
        }
        day = day.addDays(1);
    }
    for (int h = 0; h < Herbs; ++h)
        s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"), herbName(h),
               Money::fromInt(received[size_t(h)]), Money::fromInt(received[size_t(h)] / 2), Money::fromInt(held[size_t(h)]));
    t.commit();
    c->rows = written;
    c->days = int(first.daysTo(day));
    c->today = day;
    return c;
}

QString describe(const QHash<QString, herbs::StockState> &o)
{
    QStringList lines;
    for (auto it = o.cbegin(); it != o.cend(); ++it)
        lines << it.key() + u' ' + it->onHand.toPlain() + u' '
                     + (it->expiry ? it->expiry->toString(Qt::ISODate) : QStringLiteral("-")) + (it->expired ? u'!' : u' ');
    lines.sort();
    return lines.join(u'\n');
}

Clinic &clinic(int rows)
{
    static std::map<int, std::unique_ptr<Clinic>> made;
    auto &c = made[rows];
    if (!c) {
        c = fill(rows);
        auto s = c->clinic.open();
        if (describe(stock::stockOutlook(s, c->today)) != describe(ruleOverWholeJournal(s, c->today))) {
            std::fprintf(stderr, "the outlook differs from its rule over the whole journal of %d rows\n", rows);
            std::exit(1);
        }
    }
    return *c;
}

// Seconds per call of each anchor, by journal size: the anchors run first.
std::map<int, double> g_rawRead, g_replay;

void counters(benchmark::State &state, const Clinic &c)
{
    state.counters["rows"] = c.rows;
    state.counters["days"] = c.days;
}

double secondsPerCall(const std::chrono::steady_clock::time_point &start, benchmark::State &state)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / double(state.iterations());
}

// Anchor: the rows the replay reads, read in the same order, nothing done with them.
void BM_JournalReadAnchor(benchmark::State &state)
{
    Clinic &c = clinic(int(state.range(0)));
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        auto s = c.clinic.open();
        auto st = s.query(QStringLiteral("select ycbm, rksl, cksl, yxqx from yccrtb order by crsj, ycbm, xsje, ckje, rowid"));
        qint64 n = 0;
        while (st.next())
            ++n;
        benchmark::DoNotOptimize(n);
    }
    g_rawRead[c.rows] = secondsPerCall(start, state);
    counters(state, c);
}

// Second anchor: the whole journal replayed, as the outlook did before.
void BM_WholeJournalReplay(benchmark::State &state)
{
    Clinic &c = clinic(int(state.range(0)));
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        auto s = c.clinic.open();
        auto outlook = replay::stockOutlook(s, c.today);
        benchmark::DoNotOptimize(outlook);
    }
    g_replay[c.rows] = secondsPerCall(start, state);
    counters(state, c);
    if (g_rawRead.count(c.rows))
        state.counters["ratio_to_raw_read"] = g_replay[c.rows] / g_rawRead[c.rows];
}

void BM_Outlook(benchmark::State &state)
{
    Clinic &c = clinic(int(state.range(0)));
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        auto s = c.clinic.open();
        auto outlook = stock::stockOutlook(s, c.today);
        benchmark::DoNotOptimize(outlook);
    }
    const double seconds = secondsPerCall(start, state);
    counters(state, c);
    if (g_rawRead.count(c.rows))
        state.counters["ratio_to_raw_read"] = seconds / g_rawRead[c.rows];
    if (g_replay.count(c.rows))
        state.counters["ratio_to_replay"] = seconds / g_replay[c.rows];
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->ArgName("rows")->Arg(200000)->Arg(2000000)->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_JournalReadAnchor)->Apply(sizes);
BENCHMARK(BM_WholeJournalReplay)->Apply(sizes);
BENCHMARK(BM_Outlook)->Apply(sizes);

} // namespace

BENCHMARK_MAIN();
