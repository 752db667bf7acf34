// Prescription safety: the stock and expiry outlook of every herb, read in one pass over a
// journal of 200,000 movements of 600 herbs, against the anchor of reading the same rows and
// columns with no work per row; and the check that runs when a visit is saved.
#include "db/session.h"
#include "core/herbs.h"
#include "stock/stockoutlook.h"
#include "testsupport.h"

#include <benchmark/benchmark.h>

using namespace qh;

namespace {

constexpr int Herbs = 600;
constexpr int Rows = 200000;

QString herbName(int i) { return QStringLiteral("药材%1").arg(i, 4, 10, QChar(u'0')); }

test::TempClinic &clinic()
{
    static test::TempClinic c;
    static bool filled = false;
    if (!filled) {
        auto s = c.open();
        db::Transaction t(s);
        for (int i = 0; i < Herbs; ++i) {
            s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, '克', '补益药')"),
                   QStringLiteral("C%1").arg(i), herbName(i), Money::fromInt(1));
            s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"), herbName(i),
                   Money::fromInt(1000), Money::fromInt(1000), Money::fromInt(500));
        }
        auto ins = s.prepare(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, "
                                            "rkje, cksl, ckje, xsje, jbxm, bgxm) values(?, ?, ?, ' ', ' ', ' ', ?, ' ', ' ', "
                                            "?, ?, ?, 0, 0, '李四', '测试员')"));
        const QDateTime start(QDate(2024, 1, 1), QTime(8, 0));
        for (int r = 0; r < Rows; ++r) {
            const bool purchase = r % 5 == 0;
            const QDateTime when = start.addSecs(qint64(r) * 300);
            ins.reset();
            ins.bind(1, when).bind(2, herbName(r % Herbs)).bind(3, purchase ? QStringLiteral("购进") : QStringLiteral("出库"));
            ins.bind(4, when.addDays(365 + r % 400));
            ins.bind(5, purchase ? Money::fromInt(50) : Money()).bind(6, purchase ? Money::fromInt(50) : Money());
            ins.bind(7, purchase ? Money() : Money::fromInt(10));
            ins.run();
        }
        t.commit();
        filled = true;
    }
    return c;
}

void BM_StockOutlook(benchmark::State &state)
{
    auto s = clinic().open();
    for (auto _ : state) {
        auto outlook = stock::stockOutlook(s, QDate(2026, 12, 8));
        benchmark::DoNotOptimize(outlook);
    }
}
BENCHMARK(BM_StockOutlook)->Unit(benchmark::kMillisecond)->UseRealTime();

// Anchor: the same rows and columns read in the same order, nothing done with them.
void BM_JournalReadAnchor(benchmark::State &state)
{
    auto s = clinic().open();
    for (auto _ : state) {
        auto st = s.query(QStringLiteral("select ycbm, rksl, cksl, yxqx from yccrtb order by crsj"));
        qint64 n = 0;
        while (st.next())
            ++n;
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_JournalReadAnchor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CheckOnSave(benchmark::State &state)
{
    auto s = clinic().open();
    static const herbs::RuleBook book = herbs::RuleBook::standard({}, nullptr);
    herbs::CheckInput in;
    for (int i = 0; i < Herbs; ++i)
        in.drugNames << herbName(i);
    in.stock = stock::stockOutlook(s, QDate(2026, 12, 8));
    in.today = QDate(2026, 12, 8);
    in.female = true;
    for (int i = 0; i < 12; ++i)
        in.prescription += herbName(i * 37) + QStringLiteral("%1克，").arg(10 + i);
    in.prescription += QStringLiteral("甘草6克，海藻10克，");
    for (auto _ : state) {
        auto findings = herbs::check(book, in);
        benchmark::DoNotOptimize(findings);
    }
}
BENCHMARK(BM_CheckOnSave)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
