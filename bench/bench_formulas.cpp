// The 加减 line while a doctor edits a prescription started from a formula: the formula loaded by
// name from 2,000 stored formulas and the difference computed against 800 known drug names,
// against the anchor of the same load and a naive scan of every drug name through both texts
// (substring tests only: no doses, no units, no longest-name rule).
#include "clinic/formuladiff.h"
#include "clinic/formulas.h"
#include "db/session.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <benchmark/benchmark.h>

using namespace qh;

namespace {

constexpr int Drugs = 800;
constexpr int FormulaCount = 2000;

// Distinct names of two or three characters from a pool, so first characters vary as in a drug
// list and no name begins another.
QString drugName(int i)
{
    static const QString pool = [] {
        QString unique;
        for (QChar c : QStringLiteral("黄芪当归人参白术茯苓甘草柴胡黄芩半夏生姜大枣桂枝芍药麻杏仁石膏知母川芎地熟丹皮泽泻山药"
                                      "附子干姜细辛五味麦冬天花粉葛根防风荆芥薄荷连翘金银"))
            if (!unique.contains(c))
                unique += c;
        return unique;
    }();
    const int n = int(pool.size());
    QString name = QString(pool.at(i % n)) + pool.at((i / n + 7) % n);
    if (i % 3 == 0)
        name += pool.at((i * 7 + 3) % n);
    return name;
}

QString composition(int formula)
{
    QStringList items;
    for (int k = 0; k < 10; ++k)
        items << drugName((formula * 13 + k * 71) % Drugs) + QStringLiteral("%1克").arg(3 + (formula + k) % 12);
    return items.join(QStringLiteral("，"));
}

QString formulaName(int i) { return QStringLiteral("方剂%1").arg(i, 4, 10, QChar(u'0')); }

test::TempClinic &clinic()
{
    static test::TempClinic c;
    static bool filled = false;
    if (!filled) {
        auto s = c.open();
        db::Transaction t(s);
        for (int i = 0; i < Drugs; ++i)
            s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, '克', '补益药')"),
                   QStringLiteral("C%1").arg(i), drugName(i), Money::fromInt(1));
        for (int i = 0; i < FormulaCount; ++i)
            s.exec(QStringLiteral("insert into zyfj(fjmc, fjgc, fjly) values(?, ?, '协定方')"), formulaName(i), composition(i));
        t.commit();
        filled = true;
    }
    return c;
}

QStringList drugNames(db::Session &s)
{
    QStringList names;
    auto q = s.query(QStringLiteral("select ycmc from ycjg"));
    while (q.next())
        names << q.text(0);
    return names;
}

// The formula edited: the first herb's dose changed, the last removed, two added.
QString prescriptionFrom(const QString &composition)
{
    QStringList items = composition.split(QStringLiteral("，"));
    items.first() = items.first().section(QRegularExpression(QStringLiteral("\\d")), 0, 0) + QStringLiteral("15克");
    items.removeLast();
    items << drugName(5) + QStringLiteral("10克") << drugName(611) + QStringLiteral("6克");
    return items.join(QStringLiteral("，")) + QStringLiteral("。水煎服，日1剂");
}

const int Picked = 1234;

void BM_LoadAndDiff(benchmark::State &state)
{
    auto s = clinic().open();
    const clinic::FormulaDiffer differ(drugNames(s));
    const QString rx = prescriptionFrom(composition(Picked));
    clinic::Formulas formulas(s);
    for (auto _ : state) {
        const auto f = formulas.find(formulaName(Picked));
        const clinic::FormulaDiff d = differ.diff({f->name, f->composition}, rx);
        benchmark::DoNotOptimize(d.line);
    }
    const auto f = formulas.find(formulaName(Picked));
    state.SetLabel(differ.diff({f->name, f->composition}, rx).line.toStdString());
}
BENCHMARK(BM_LoadAndDiff)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Anchor: the same load, then every drug name tested as a substring of both texts.
void BM_LoadAndNaiveScan(benchmark::State &state)
{
    auto s = clinic().open();
    const QStringList names = drugNames(s);
    const QString rx = prescriptionFrom(composition(Picked));
    clinic::Formulas formulas(s);
    for (auto _ : state) {
        const auto f = formulas.find(formulaName(Picked));
        QStringList added, removed;
        for (const QString &n : names) {
            const bool before = f->composition.contains(n), after = rx.contains(n);
            if (after && !before)
                added << n;
            else if (before && !after)
                removed << n;
        }
        benchmark::DoNotOptimize(added);
        benchmark::DoNotOptimize(removed);
    }
}
BENCHMARK(BM_LoadAndNaiveScan)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Once per visit opened: the drug names read and the differ made.
void BM_DifferFromDrugList(benchmark::State &state)
{
    auto s = clinic().open();
    for (auto _ : state) {
        const clinic::FormulaDiffer differ(drugNames(s));
        benchmark::DoNotOptimize(&differ);
    }
}
BENCHMARK(BM_DifferFromDrugList)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
