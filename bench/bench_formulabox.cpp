// The formula box of the diagnosis tab over 2,000 formulas (the shipped classical formulas, then
// names made of two herbs and a form, "黄芪当归汤") and 800 drug names, in one run:
//   - BM_NaiveScan (the anchor of the keystroke, run first): each formula's initials worked out
//     afresh at every keystroke (pinyin::keysOf) and tested with its name, no ordering;
//   - BM_FormulaKeystroke: the box's lookup (clinic/formulaquick.h), the best nine kept;
//     ratio_naive is the anchor's time over it;
//   - BM_WindowKeystroke: a key typed into TxtKsfj of the open visit, the candidate list filled;
//   - BM_LoadAndNaiveScan (the anchor of the load): the formula read by name on a session of its
//     own, then every drug name tested as a substring of both texts;
//   - BM_WindowLoadAndRedraw: Enter in TxtKsfj (the formula read, appended to the prescription,
//     the pair line and the 加减 line computed), one edit of the prescription (a herb added, the
//     加减 line computed again) and the line drawn, load_ms its time (the typing of the name left
//     out); ratio_naive is that time over the anchor's. load_cpu_ms and ratio_naive_cpu are the
//     same in the process's CPU time, which a shared machine does not stretch.
#include "clinic/classicalformulas.h"
#include "clinic/formulaquick.h"
#include "clinic/caseregister.h"
#include "clinic/ui/FrmZymz.h"
#include "clinic/ui/entryboxes.h"
#include "clinic/ui/formulabox.h"
#include "core/modutarnxt.h"
#include "core/pinyin.h"
#include "testsupport.h"
#include "lookupinput.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>

using namespace qh;

namespace {

constexpr int FormulaCount = 2000;
constexpr int DrugCount = 800;

using qh::bench::herbList;
// 800 drugs: the demonstration herbs, then their prepared forms.
const QStringList &drugs()
{
    static const QStringList list = [] {
        QStringList out;
        const QStringList herbs = herbList();
        for (const QString &prefix : {QString(), QStringLiteral("炙"), QStringLiteral("炒"), QStringLiteral("生"),
                                      QStringLiteral("制"), QStringLiteral("焦")})
            for (const QString &h : herbs)
                if (out.size() < DrugCount)
                    out << prefix + h;
        return out;
    }();
    return list;
}

struct Named {
    QString name, composition;
};

// The classical formulas first (桂枝汤 among them), then made names up to 2,000.
const std::vector<Named> &formulas()
{
    static const std::vector<Named> list = [] {
        std::vector<Named> out;
        QSet<QString> seen;
        QString error;
        for (const clinic::ClassicalFormula &c : clinic::shippedClassicalFormulas(&error))
            if (!seen.contains(c.name)) {
                seen.insert(c.name);
                out.push_back({c.name, c.composition});
            }
        const QStringList herbs = herbList();
        const QString forms[] = {QStringLiteral("汤"), QStringLiteral("散"), QStringLiteral("丸"), QStringLiteral("饮")};
        for (int i = 0; int(out.size()) < FormulaCount; ++i) {
            const QString name = herbs[i % herbs.size()] + herbs[(i / herbs.size() * 7 + i + 3) % herbs.size()] + forms[i % 4];
            if (seen.contains(name))
                continue;
            seen.insert(name);
            QStringList items;
            for (int k = 0; k < 10; ++k)
                items << drugs()[(i * 13 + k * 71) % DrugCount] + QStringLiteral("%1克").arg(3 + (i + k) % 12);
            out.push_back({name, items.join(QStringLiteral("，"))});
        }
        return out;
    }();
    return list;
}

using qh::bench::keystrokes;

const QStringList Words{QStringLiteral("gzt"), QStringLiteral("xcht"), QStringLiteral("guizhi"), QStringLiteral("bzhqt"),
                        QStringLiteral("lwdhw"), QStringLiteral("hqdg")};
const QStringList Typing = keystrokes(Words);

int naiveScan(const QString &typed)
{
    const QString q = pinyin::normalize(typed);
    int hits = 0;
    for (const Named &f : formulas()) {
        bool hit = f.name.contains(q);
        for (const QString &k : pinyin::keysOf(f.name, pinyin::NameKind::Herb).initials)
            hit = hit || k.contains(q);
        hits += hit;
    }
    return hits;
}

// The process's CPU time in seconds (the machine may be shared: wall time then waits for others).
double cpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double g_naiveKey = 0;  // seconds per keystroke
double g_naiveLoad = 0; // seconds per load
double g_naiveLoadCpu = 0;

template <class F>
double perKeystroke(benchmark::State &state, F &&f)
{
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (const QString &t : Typing)
            benchmark::DoNotOptimize(f(t));
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double each = total / double(state.iterations()) / double(Typing.size());
    state.counters["keystroke_us"] = each * 1e6;
    return each;
}

void BM_NaiveScan(benchmark::State &state) { g_naiveKey = perKeystroke(state, naiveScan); }
BENCHMARK(BM_NaiveScan)->Unit(benchmark::kMillisecond);

void BM_FormulaKeystroke(benchmark::State &state)
{
    std::vector<clinic::FormulaRow> rows;
    for (const Named &f : formulas())
        rows.push_back({f.name, QStringLiteral("协定方")});
    clinic::FormulaQuick q;
    q.setFormulas(rows);
    const double each = perKeystroke(state, [&q](const QString &t) { return q.candidates(t).size(); });
    if (g_naiveKey > 0)
        state.counters["ratio_naive"] = g_naiveKey / each;
}
BENCHMARK(BM_FormulaKeystroke)->Unit(benchmark::kMicrosecond);

// The clinic with the drugs, the formulas and one case, and the outpatient window on a new visit.
test::TempClinic &clinicOf()
{
    static test::TempClinic clinic;
    static bool filled = false;
    if (!filled) {
        filled = true;
        auto s = clinic.open();
        db::Transaction t(s);
        for (int i = 0; i < DrugCount; ++i)
            s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, '克', '解表药')"),
                   QStringLiteral("YC%1").arg(i, 4, 10, QChar(u'0')), drugs()[i], Money::fromInt(1));
        for (const Named &f : formulas())
            s.exec(QStringLiteral("insert into zyfj(fjmc, fjgc, fjly) values(?, ?, '协定方')"), f.name, f.composition);
        s.exec(QStringLiteral("insert into hzblzl(blbm, blxm, blxb, blnl, blhf, bldz, blsj, bljz) "
                              "values('A0001', '张三', '男', 45, '已婚', '青禾路1号', ?, ?)"),
               QDateTime(QDate(2026, 1, 1), QTime(0, 0)), QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
        t.commit();
    }
    return clinic;
}

clinic::ui::FrmZymz &visitWindow()
{
    static clinic::ui::FrmZymz *w = nullptr;
    if (!w) {
        clinicOf();
        w = new clinic::ui::FrmZymz;
        w->show();
        w->TxtBlbh->setText(QStringLiteral("A0001"));
        QTest::mouseClick(w->CmdMzzd, Qt::LeftButton);
    }
    return *w;
}

void BM_WindowKeystroke(benchmark::State &state)
{
    clinic::ui::FrmZymz &w = visitWindow();
    QLineEdit *box = w.diag->formulas->box->TxtKsfj;
    box->setFocus();
    double total = 0;
    for (auto _ : state) {
        for (const QString &word : Words) {
            box->clear();
            const auto start = std::chrono::steady_clock::now();
            for (QChar c : word)
                QTest::keyClick(box, c.toLatin1());
            total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    }
    const double each = total / double(state.iterations()) / double(Typing.size());
    state.counters["keystroke_us"] = each * 1e6;
    if (g_naiveKey > 0)
        state.counters["ratio_naive"] = g_naiveKey / each;
}
BENCHMARK(BM_WindowKeystroke)->Unit(benchmark::kMicrosecond);

// The herb a doctor adds after loading: one the formula does not hold.
const QString Added = QStringLiteral("葛根15克，");

void BM_LoadAndNaiveScan(benchmark::State &state)
{
    clinicOf();
    const QStringList names = drugs();
    double total = 0, cpu = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuNow();
        auto s = Modutarnxt::clinicStore().open();
        const auto f = clinic::Formulas(s).find(QStringLiteral("桂枝汤"));
        const QString rx = f->composition + QStringLiteral("，") + Added;
        QStringList added, removed;
        for (const QString &n : names) {
            const bool before = f->composition.contains(n), after = rx.contains(n);
            if (after && !before)
                added << n;
            else if (before && !after)
                removed << n;
        }
        benchmark::DoNotOptimize(added.size() + removed.size());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += cpuNow() - cpuStart;
    }
    g_naiveLoad = total / double(state.iterations());
    g_naiveLoadCpu = cpu / double(state.iterations());
    state.counters["load_ms"] = g_naiveLoad * 1e3;
    state.counters["load_cpu_ms"] = g_naiveLoadCpu * 1e3;
}
BENCHMARK(BM_LoadAndNaiveScan)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WindowLoadAndRedraw(benchmark::State &state)
{
    clinic::ui::FrmZymz &w = visitWindow();
    clinic::ui::FormulaPanel *panel = w.diag->formulas;
    QLineEdit *box = panel->box->TxtKsfj;
    double total = 0, cpu = 0;
    for (auto _ : state) {
        panel->clear();
        w.TxtStb1_4->setText(QString());
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("gzt"));
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuNow();
        QTest::keyClick(box, Qt::Key_Return);
        w.TxtStb1_4->setText(w.TxtStb1_4->text() + Added);
        panel->LabFjjj->repaint();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += cpuNow() - cpuStart;
    }
    const double each = total / double(state.iterations()), eachCpu = cpu / double(state.iterations());
    state.counters["load_ms"] = each * 1e3;
    state.counters["load_cpu_ms"] = eachCpu * 1e3;
    if (g_naiveLoad > 0)
        state.counters["ratio_naive"] = each / g_naiveLoad;
    if (g_naiveLoadCpu > 0)
        state.counters["ratio_naive_cpu"] = eachCpu / g_naiveLoadCpu;
    state.SetLabel(panel->LabFjjj->text().toStdString());
    if (!panel->LabFjjj->text().startsWith(QStringLiteral("桂枝汤 加：葛根15克")))
        state.SkipWithError("the 加减 line is not the one expected");
}
BENCHMARK(BM_WindowLoadAndRedraw)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::RecordingMessages rec; // the window's messages go nowhere
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
