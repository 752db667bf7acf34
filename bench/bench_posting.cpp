// Stock posting throughput: postings through the real routine, each in its own transaction as a
// clerk makes them, and the cost of one save as the user sees it (validation, opening the
// database, balance check and posting, closing).
#include "db/session.h"
#include "core/modutarnxt.h"
#include "stock/posting.h"
#include "stock/stockin.h"
#include "stock/stockout.h"
#include "testsupport.h"

#include <benchmark/benchmark.h>

using namespace qh;
using namespace qh::stock;

namespace {

constexpr int Drugs = 400;

QString drugName(int i) { return QStringLiteral("药材%1").arg(i, 4, 10, QChar(u'0')); }
QString drugCode(int i) { return QStringLiteral("C%1").arg(i, 4, 10, QChar(u'0')); }

test::TempClinic &clinic()
{
    static test::TempClinic c;
    static bool filled = false;
    if (!filled) {
        auto s = c.open();
        db::Transaction t(s);
        for (int i = 0; i < Drugs; ++i)
            s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, '克', '补益药')"),
                   drugCode(i), drugName(i), Money::fromInt(9));
        for (int i = 0; i < Drugs; ++i)
            s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"), drugName(i),
                   Money::fromInt(1000000), Money::fromInt(5000000), Money::fromInt(1000000));
        t.commit();
        filled = true;
    }
    return c;
}

Movement purchase(int i)
{
    Movement m;
    m.crsj = QDateTime(QDate(2024, 5, 1), QTime(0, 0));
    m.ycbm = drugName(i % Drugs);
    m.ywzy = SummaryPurchase;
    m.yccd = QStringLiteral("甘肃");
    m.ycly = QStringLiteral("药材公司");
    m.ywph = QStringLiteral("B001");
    m.yxqx = QDateTime(QDate(2026, 5, 1), QTime(0, 0));
    m.rksl = Money::fromInt(20);
    m.rkje = Money::fromInt(100);
    m.jbxm = QStringLiteral("李四");
    m.bgxm = QStringLiteral("测试员");
    return m;
}

// Postings per second on one open session; every posting is its own transaction.
void BM_PostingOwnTransaction(benchmark::State &state)
{
    auto s = clinic().open();
    const auto kind = state.range(0) == 0 ? MovementKind::Receipt : MovementKind::Issue;
    int i = 0;
    for (auto _ : state) {
        Movement m = purchase(i++);
        if (kind == MovementKind::Issue) {
            m.ywzy = SummaryIssue;
            m.rksl = m.rkje = Money();
            m.cksl = Money::fromCents(1);
            m.xsje = Money::fromCents(9);
        }
        postMovement(s, m, kind);
    }
    state.counters["postings/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PostingOwnTransaction)->Arg(0)->Arg(1)->ArgNames({"issue"})->Unit(benchmark::kMillisecond)->UseRealTime();

// One stock-in save as the clerk sees it after the questions: validation, then opening the
// clinic database, posting and closing.
void BM_StockInSave(benchmark::State &state)
{
    clinic();
    StockIn in(Modutarnxt::clinicStore());
    int i = 0;
    const QDate today = QDate::currentDate();
    for (auto _ : state) {
        StockInEntry e = StockIn::Qpcls(today);
        e.Txtycbm = drugCode(i % Drugs);
        e.Txtycmc = drugName(i % Drugs);
        ++i;
        e.TxtYcph = QStringLiteral("B001");
        e.Txthwcd = QStringLiteral("甘肃");
        e.TxtPjhm = QStringLiteral("P1");
        e.TxtYcsl = QStringLiteral("1,234.00");
        e.TxtYcje = QStringLiteral("2,468.00");
        e.Txthwll = QStringLiteral("药材公司");
        e.Txtjbxm = QStringLiteral("李四");
        if (in.jyYpjg(e) || in.srnrJy(e, today) || in.post(e))
            state.SkipWithError("stock-in save failed");
    }
}
BENCHMARK(BM_StockInSave)->Unit(benchmark::kMillisecond)->UseRealTime();

// One other stock-out save: price check, validation, balance check and posting in one transaction.
void BM_StockOutSave(benchmark::State &state)
{
    clinic();
    StockOut out(Modutarnxt::clinicStore());
    int i = 0;
    const QDate today = QDate::currentDate();
    for (auto _ : state) {
        StockOutEntry e = StockOut::Qpcls(today);
        e.Txtycbm = drugCode(i % Drugs);
        e.Txtycmc = drugName(i % Drugs);
        ++i;
        e.TxtPjhm = QStringLiteral("C1");
        e.Txthwll = QStringLiteral("调拨");
        e.TxtYcsl = QStringLiteral("1");
        e.TxtYcje = QStringLiteral("9");
        e.Txtjbxm = QStringLiteral("王五");
        if (out.jyYpjg(e) || out.srnrJy(e, today) || out.post(e))
            state.SkipWithError("stock-out save failed");
    }
}
BENCHMARK(BM_StockOutSave)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
