// The outpatient window on a large practice: opening it (the case tree and the pick lists) with
// the patient count as the benchmark's argument, against the anchor of reading the same case
// numbers and occupations straight from the database; and clicking a patient with 50 visits.
//
//   bench_outpatient --benchmark_filter='Open|Read'
//
// The practice grows once per run: the smaller counts are measured first, then patients are
// added for the larger ones.
#include "clinic/ui/FrmZymz.h"
#include "db/session.h"
#include "core/modutarnxt.h"
#include "testsupport.h"

#include <QApplication>
#include <QTableWidget>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

using namespace qh;

namespace {

const QString Busy = QStringLiteral("000001"); // the patient with 50 visits

test::TempClinic &clinic()
{
    static test::TempClinic c;
    return c;
}

// The practice with at least n patients.
void practice(int n)
{
    static int patients = 0;
    if (patients >= n)
        return;
    const QStringList jobs = QString::fromUtf8("教师 工人 农民 干部 医生 护士 学生 退休 个体 职员").split(u' ');
    const QStringList depts = QString::fromUtf8("中医内科 中医妇科 中医儿科 针灸科").split(u' ');
    auto s = clinic().open();
    db::Transaction t(s);
    auto patient = s.prepare(QStringLiteral("insert into hzblzl(blbm, blxm, blxb, blnl, blzy, bldw, blhf, bldz, blte, mail, blsj, bljz, blxd, zldl) "
                                            "values(?, ?, ?, ?, ?, ' ', '已婚', '人民路1号', '13800000000', ' ', ?, ?, ' ', '管理员')"));
    for (int i = patients + 1; i <= n; ++i) {
        patient.reset();
        patient.bindAll(QStringLiteral("%1").arg(i, 6, 10, QChar(u'0')), QStringLiteral("患者%1").arg(i),
                        i % 2 ? QStringLiteral("男") : QStringLiteral("女"), 20 + i % 60, jobs.at(i % jobs.size()),
                        QDate(2020, 1, 1).addDays(i % 1500), QDate(2024, 1, 1));
        patient.run();
    }
    if (patients == 0) {
        auto visit = s.prepare(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, blsx, fzsj, zdys) "
                                              "values(?, ?, ?, '120/80', 72, 18, '咳嗽三日，咽痒。', '风寒束表。', '麻黄9克，桂枝6克，', '水煎服。', null, '李明德')"));
        for (int v = 0; v < 50; ++v) {
            visit.reset();
            visit.bindAll(Busy, depts.at(v % depts.size()), QDate(2023, 1, 1).addDays(v * 7));
            visit.run();
        }
        for (int i = 0; i < 400; ++i)
            s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, 1, '克', ?)"),
                   QStringLiteral("Y%1").arg(i), QStringLiteral("药材%1").arg(i), QStringLiteral("类别%1").arg(i % 16));
    }
    t.commit();
    patients = n;
}

// Anchor: the register's two queries read whole, with nothing shown.
void BM_ReadCaseNumbers(benchmark::State &state)
{
    practice(int(state.range(0)));
    for (auto _ : state) {
        auto s = Modutarnxt::clinicStore().open();
        QStringList numbers;
        auto q = s.query(QStringLiteral("select blbm from hzblzl order by blbm"));
        while (q.next())
            numbers << q.text(0);
        auto jobs = s.query(QStringLiteral("select distinct blzy from hzblzl order by blzy"));
        while (jobs.next())
            numbers << jobs.text(0);
        benchmark::DoNotOptimize(numbers.size());
    }
}

void BM_OpenOutpatientWindow(benchmark::State &state)
{
    practice(int(state.range(0)));
    for (auto _ : state) {
        auto *w = new clinic::ui::FrmZymz;
        w->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(w->TreeView1->topLevelItem(0)->childCount());
        state.PauseTiming();
        delete w;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
// Registered size by size, anchor first: the practice only grows during a run.
BENCHMARK(BM_ReadCaseNumbers)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenOutpatientWindow)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadCaseNumbers)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenOutpatientWindow)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ClickPatientWith50Visits(benchmark::State &state)
{
    practice(int(state.range(0)));
    clinic::ui::FrmZymz w;
    w.show();
    QCoreApplication::processEvents();
    const auto found = w.TreeView1->findItems(Busy, Qt::MatchExactly | Qt::MatchRecursive);
    if (found.isEmpty()) {
        state.SkipWithError("patient not in the tree");
        return;
    }
    for (auto _ : state) {
        emit w.TreeView1->itemClicked(found.first(), 0);
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(w.MSFGrid->rowCount());
    }
}
BENCHMARK(BM_ClickPatientWith50Visits)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
