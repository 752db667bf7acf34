// The completion list of the drug code boxes over an 800-drug list, one keystroke at a time:
//   - BM_NaiveScan (the anchor, run first): each drug's initials worked out afresh at every
//     keystroke (pinyin::keysOf) and tested with its name and code, as a lookup without a
//     prepared index would, no ordering;
//   - BM_LookupFind: the lookup the list asks (stock/druglookup.h): all matches ordered, the 13
//     herbs of a prescription first, the first 50 kept; ratio_naive is the anchor's time over it;
//   - BM_LookupBuild: the lookup made from the 800 drugs read, once per window activation;
//   - BM_PlainBoxKeystroke (a second anchor): the same keys typed into a box of the same window
//     that has no list, what Qt spends on a key;
//   - BM_WindowKeystroke: a key typed into the stock-out window's code box, the list filled,
//     placed and shown (the repaint excluded), the same words; list_us is its time over the
//     plain box's.
// keystroke_us is the time of one keystroke; the words are typed letter by letter.
#include "core/modutarnxt.h"
#include "core/pinyin.h"
#include "stock/druglookup.h"
#include "stock/ui/FrmYcck.h"
#include "stock/ui/drugcompleter.h"
#include "testsupport.h"
#include "lookupinput.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QtTest>
#include <benchmark/benchmark.h>
#include <chrono>
#include <functional>

using namespace qh;

namespace {

using qh::bench::herbList;
// 800 drugs: the demonstration herbs, then their prepared forms; codes "YC0001" on.
const std::vector<stock::LookupDrug> &drugs()
{
    static const std::vector<stock::LookupDrug> list = [] {
        std::vector<stock::LookupDrug> out;
        const QStringList herbs = herbList();
        for (const QString &prefix : {QString(), QStringLiteral("炙"), QStringLiteral("炒"), QStringLiteral("生"),
                                      QStringLiteral("制"), QStringLiteral("焦")})
            for (const QString &h : herbs) {
                if (out.size() == 800)
                    return out;
                out.push_back({QStringLiteral("YC%1").arg(out.size() + 1, 4, 10, QChar(u'0')), prefix + h,
                               QStringLiteral("克"), Money::fromCents(qint64(5 + out.size() * 7))});
            }
        return out;
    }();
    return list;
}

const QString Prescription = QStringLiteral("麻黄9克，桂枝6克，杏仁9克，炙甘草3克，黄芪15克，白术9克，防风6克，"
                                            "党参12克，当归9克，川芎6克，白芍9克，熟地黄12克，茯苓9克");

using qh::bench::keystrokes;

const QStringList Words{QStringLiteral("zgc"), QStringLiteral("hq"), QStringLiteral("huangqi"), QStringLiteral("bz"),
                        QStringLiteral("dangs"), QStringLiteral("fl")};
const QStringList Typing = keystrokes(Words);

int naiveScan(const QString &typed)
{
    const QString q = pinyin::normalize(typed);
    int hits = 0;
    for (const stock::LookupDrug &d : drugs()) {
        bool hit = d.name.contains(q) || d.code.contains(q, Qt::CaseInsensitive);
        for (const QString &k : pinyin::keysOf(d.name, pinyin::NameKind::Herb).initials)
            hit = hit || k.contains(q);
        hits += hit;
    }
    return hits;
}

double g_naive = 0; // seconds per keystroke

template <class F>
double perKeystroke(benchmark::State &state, F &&f, bool anchor = false)
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
    if (g_naive > 0 && !anchor)
        state.counters["ratio_naive"] = g_naive / each;
    return each;
}

void BM_NaiveScan(benchmark::State &state) { g_naive = perKeystroke(state, naiveScan, true); }
BENCHMARK(BM_NaiveScan)->Unit(benchmark::kMicrosecond);

void BM_LookupFind(benchmark::State &state)
{
    stock::DrugLookup l;
    l.setDrugs(drugs());
    l.preferPrescription(Prescription);
    perKeystroke(state, [&l](const QString &t) { return l.find(t, 50).size(); });
}
BENCHMARK(BM_LookupFind)->Unit(benchmark::kMicrosecond);

void BM_LookupBuild(benchmark::State &state)
{
    for (auto _ : state) {
        stock::DrugLookup l;
        l.setDrugs(drugs());
        l.preferPrescription(Prescription);
        benchmark::DoNotOptimize(l.size());
    }
}
BENCHMARK(BM_LookupBuild)->Unit(benchmark::kMillisecond);

// The window with the 800 drugs, made once for the two window benchmarks.
stock::ui::FrmYcck &stockOutWindow()
{
    static test::TempClinic clinic;
    static stock::ui::FrmYcck *w = nullptr;
    if (!w) {
        auto s = clinic.open();
        db::Transaction t(s);
        for (const stock::LookupDrug &d : drugs())
            s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, ?, '解表药')"), d.code, d.name,
                   d.price, d.unit);
        t.commit();
        w = new stock::ui::FrmYcck;
        w->show();
    }
    return *w;
}

double g_plainBox = 0;

// The words typed into box, each into the emptied box; the time per key.
double typeWords(benchmark::State &state, QLineEdit *box, const std::function<bool()> &listShown)
{
    box->setFocus();
    int shown = 0;
    double total = 0;
    for (auto _ : state) {
        for (const QString &word : Words) {
            box->clear();
            const auto start = std::chrono::steady_clock::now();
            for (QChar c : word)
                QTest::keyClick(box, c.toLatin1());
            total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            shown += listShown() ? 1 : 0;
        }
    }
    const double each = total / double(state.iterations()) / double(Typing.size());
    state.counters["keystroke_us"] = each * 1e6;
    return each;
}

// The second anchor: the same keys into a box of the same window without a list (what Qt
// itself spends on a key typed).
void BM_PlainBoxKeystroke(benchmark::State &state)
{
    stock::ui::FrmYcck &w = stockOutWindow();
    g_plainBox = typeWords(state, static_cast<QLineEdit *>(w.widgetOf(stock::StockField::TxtPjhm)), [] { return false; });
}
BENCHMARK(BM_PlainBoxKeystroke)->Unit(benchmark::kMicrosecond);

void BM_WindowKeystroke(benchmark::State &state)
{
    stock::ui::FrmYcck &w = stockOutWindow();
    auto *box = static_cast<QLineEdit *>(w.widgetOf(stock::StockField::Txtycbm));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A); // the list read once
    bool ever = false;
    const double each = typeWords(state, box, [&w, &ever] { return ever = ever || w.codeCompleter()->isShown(); });
    if (g_naive > 0)
        state.counters["ratio_naive"] = g_naive / each;
    if (g_plainBox > 0)
        state.counters["list_us"] = (each - g_plainBox) * 1e6;
    if (!ever)
        state.SkipWithError("the list was never shown");
}
BENCHMARK(BM_WindowKeystroke)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
