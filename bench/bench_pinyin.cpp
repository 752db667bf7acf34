// The pinyin lookup as a doctor types: one keystroke over a drug list of 800 names and over
// 100,000 patient names (with case numbers and telephone numbers as extra keys, in lower case), against two
// anchors measured in the same run over the same names and keystrokes:
//   - a naive scan that works out each name's initials afresh at every keystroke (pinyin::keysOf,
//     as a lookup without a prepared index would) and tests them and the extra keys;
//   - a plain QString::contains scan over the names and extra keys, the least any scan costs.
// Each benchmark types the same words letter by letter; keystroke_us is the time of one
// keystroke, ratio_naive the naive scan's time over the matcher's, ratio_contains the matcher's
// time over the plain scan's. The anchors run first (registration order).
#include "core/pinyin.h"
#include "lookupinput.h"

#include <QFile>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <chrono>

using namespace qh;

namespace {

struct Name {
    QString name;
    QStringList keys;
    qint64 weight;
};

using qh::bench::herbList;
// 800 drug names: the demonstration herbs, then their prepared forms.
const std::vector<Name> &drugs()
{
    static const std::vector<Name> list = [] {
        std::vector<Name> out;
        QRandomGenerator rng(11);
        const QStringList herbs = herbList();
        for (const QString &prefix : {QString(), QStringLiteral("炙"), QStringLiteral("炒"), QStringLiteral("生"),
                                      QStringLiteral("制"), QStringLiteral("焦")}) {
            for (const QString &h : herbs) {
                if (out.size() == 800)
                    return out;
                out.push_back({prefix + h, {}, qint64(rng.bounded(500))});
            }
        }
        return out;
    }();
    return list;
}

// 100,000 patients: common and polyphonic surnames, one- and two-character given names.
const std::vector<Name> &patients()
{
    static const std::vector<Name> list = [] {
        const QStringList surnames = QString::fromUtf8(
            "王 李 张 刘 陈 杨 黄 赵 吴 周 徐 孙 马 朱 胡 郭 何 高 林 罗 郑 梁 谢 宋 唐 许 韩 冯 邓 曹 彭 曾 肖 田 董 袁 潘 于 蒋 蔡 "
            "余 杜 叶 程 苏 魏 吕 丁 任 沈 姚 卢 姜 崔 钟 谭 陆 汪 范 金 石 廖 贾 夏 韦 付 方 白 邹 孟 熊 秦 邱 江 尹 薛 闫 段 雷 侯 "
            "龙 史 陶 黎 贺 顾 毛 郝 龚 邵 万 钱 严 覃 武 戴 莫 孔 向 汤 单 解 区 仇 查 翟 乐 种 朴 缪 欧阳 司马 上官 诸葛")
                                         .split(u' ');
        const QStringList given = QString::fromUtf8(
            "伟 芳 娜 敏 静 丽 强 磊 军 洋 勇 艳 杰 娟 涛 明 超 秀 英 华 慧 建 国 桂 兰 志 海 燕 文 玉 小 红 春 梅 晓 东 平 刚 "
            "辉 霞 玲 宇 鹏 飞 浩 然 子 涵 欣 怡 梓 轩 雨 婷 博 文 俊 乐 长 重 行 和 朝 单 参 会 调 率 藏 降 还 传")
                                      .split(u' ');
        std::vector<Name> out;
        out.reserve(100000);
        QRandomGenerator rng(7);
        for (int i = 0; i < 100000; ++i) {
            QString n = surnames.at(int(rng.bounded(quint32(surnames.size()))));
            const int length = rng.bounded(10) < 3 ? 1 : 2;
            for (int k = 0; k < length; ++k)
                n += given.at(int(rng.bounded(quint32(given.size()))));
            out.push_back({n,
                           {QStringLiteral("c%1").arg(i, 7, 10, QChar(u'0')),
                            QStringLiteral("13%1").arg(rng.bounded(1000000000), 9, 10, QChar(u'0'))},
                           qint64(rng.bounded(50))});
        }
        return out;
    }();
    return list;
}

// The words typed, every prefix one keystroke.
using qh::bench::keystrokes;

const QStringList DrugTyping = keystrokes({QStringLiteral("zgc"), QStringLiteral("hq"), QStringLiteral("huangqi"),
                                           QStringLiteral("bz"), QStringLiteral("dangs"), QStringLiteral("甘草")});
const QStringList PatientTyping = keystrokes({QStringLiteral("zs"), QStringLiteral("zxm"), QStringLiteral("wangf"),
                                              QStringLiteral("lijg"), QStringLiteral("138"), QStringLiteral("张")});

pinyin::Matcher build(const std::vector<Name> &names, pinyin::NameKind kind)
{
    pinyin::Matcher m(kind);
    m.reserve(int(names.size()));
    for (const Name &n : names)
        m.add(n.name, n.weight, n.keys);
    return m;
}

// The naive lookup: every name's initials worked out at every keystroke.
int naiveScan(const std::vector<Name> &names, pinyin::NameKind kind, const QString &typed)
{
    const QString q = pinyin::normalize(typed);
    int hits = 0;
    for (const Name &n : names) {
        bool hit = n.name.contains(q);
        for (const QString &k : pinyin::keysOf(n.name, kind).initials)
            hit = hit || k.contains(q);
        for (const QString &k : n.keys)
            hit = hit || k.contains(q);
        hits += hit;
    }
    return hits;
}

int containsScan(const std::vector<Name> &names, const QString &typed)
{
    int hits = 0;
    for (const Name &n : names) {
        bool hit = n.name.contains(typed);
        for (const QString &k : n.keys)
            hit = hit || k.contains(typed);
        hits += hit;
    }
    return hits;
}

struct Anchors {
    double naive = 0, contains = 0; // seconds per keystroke
};
Anchors g_drugs, g_patients;

template <class F>
double perKeystroke(benchmark::State &state, const QStringList &typing, F &&f)
{
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (const QString &t : typing)
            benchmark::DoNotOptimize(f(t));
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double each = total / double(state.iterations()) / double(typing.size());
    state.counters["keystroke_us"] = each * 1e6;
    return each;
}

void report(benchmark::State &state, double matcher, const Anchors &a)
{
    if (a.naive > 0)
        state.counters["ratio_naive"] = a.naive / matcher;
    if (a.contains > 0)
        state.counters["ratio_contains"] = matcher / a.contains;
}

void BM_DrugsNaiveScan(benchmark::State &state)
{
    g_drugs.naive = perKeystroke(state, DrugTyping, [](const QString &t) { return naiveScan(drugs(), pinyin::NameKind::Herb, t); });
}
BENCHMARK(BM_DrugsNaiveScan)->Unit(benchmark::kMicrosecond);

void BM_DrugsContainsScan(benchmark::State &state)
{
    g_drugs.contains = perKeystroke(state, DrugTyping, [](const QString &t) { return containsScan(drugs(), t); });
}
BENCHMARK(BM_DrugsContainsScan)->Unit(benchmark::kMicrosecond);

void BM_DrugsMatcher(benchmark::State &state)
{
    static const pinyin::Matcher m = build(drugs(), pinyin::NameKind::Herb);
    const double each = perKeystroke(state, DrugTyping, [](const QString &t) { return m.find(t, 50).size(); });
    report(state, each, g_drugs);
}
BENCHMARK(BM_DrugsMatcher)->Unit(benchmark::kMicrosecond);

void BM_PatientsNaiveScan(benchmark::State &state)
{
    patients();
    g_patients.naive = perKeystroke(state, PatientTyping, [](const QString &t) { return naiveScan(patients(), pinyin::NameKind::Person, t); });
}
BENCHMARK(BM_PatientsNaiveScan)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PatientsContainsScan(benchmark::State &state)
{
    patients();
    g_patients.contains = perKeystroke(state, PatientTyping, [](const QString &t) { return containsScan(patients(), t); });
}
BENCHMARK(BM_PatientsContainsScan)->Unit(benchmark::kMillisecond);

const pinyin::Matcher &patientMatcher()
{
    static const pinyin::Matcher m = build(patients(), pinyin::NameKind::Person);
    return m;
}

void BM_PatientsBuild(benchmark::State &state)
{
    patients();
    for (auto _ : state)
        benchmark::DoNotOptimize(build(patients(), pinyin::NameKind::Person).size());
}
BENCHMARK(BM_PatientsBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PatientsMatcher(benchmark::State &state)
{
    const pinyin::Matcher &m = patientMatcher();
    const double each = perKeystroke(state, PatientTyping, [&m](const QString &t) { return m.find(t, 50).size(); });
    report(state, each, g_patients);
}
BENCHMARK(BM_PatientsMatcher)->Unit(benchmark::kMillisecond);

// The first letter typed over the patients: over a quarter of the names match.
void BM_PatientsFirstLetter(benchmark::State &state)
{
    const pinyin::Matcher &m = patientMatcher();
    int total = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(m.find(QStringLiteral("z"), 50, &total));
    state.counters["matched"] = total;
}
BENCHMARK(BM_PatientsFirstLetter)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
