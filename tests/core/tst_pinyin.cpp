#include "core/pinyin.h"

#include <QFile>
#include <QtTest>
#include <optional>

using namespace qh::pinyin;

namespace {

// "甘草:30" -> name 甘草 with weight 30; "张三|C2024001|13812345678" -> name with extra keys.
Matcher matcherOf(NameKind kind, const QStringList &specs)
{
    Matcher m(kind);
    for (const QString &spec : specs) {
        QStringList parts = spec.split(u'|');
        const QStringList nameWeight = parts.takeFirst().split(u':');
        m.add(nameWeight.at(0), nameWeight.size() > 1 ? nameWeight.at(1).toLongLong() : 0, parts);
    }
    return m;
}

std::optional<Candidate> candidateFor(const Matcher &m, const QString &typed, const QString &name)
{
    for (const Candidate &c : m.find(typed, -1)) {
        if (m.name(c.id) == name)
            return c;
    }
    return std::nullopt;
}

QStringList namesFound(const Matcher &m, const QString &typed, int limit = -1)
{
    QStringList out;
    for (const Candidate &c : m.find(typed, limit))
        out << m.name(c.id);
    return out;
}

// The demonstration list's herbs with their textbook spelling ("人参 ren shen").
QList<QStringList> textbookHerbs()
{
    QFile f(QStringLiteral(QINGHE_TEST_DATA "/herb-pinyin.txt"));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("herb-pinyin.txt missing");
    QList<QStringList> out;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        if (!line.startsWith(u'#') && !line.trimmed().isEmpty())
            out << line.split(u' ', Qt::SkipEmptyParts);
    }
    return out;
}

QString initialsOf(const QStringList &syllables)
{
    QString out;
    for (const QString &s : syllables)
        out += s.at(0);
    return out;
}

const Matcher &demoHerbs()
{
    static const Matcher m = [] {
        Matcher h(NameKind::Herb);
        for (const QStringList &herb : textbookHerbs())
            h.add(herb.first());
        return h;
    }();
    return m;
}

} // namespace

Q_DECLARE_METATYPE(qh::pinyin::NameKind)
Q_DECLARE_METATYPE(qh::pinyin::Match)

class TstPinyin : public QObject {
    Q_OBJECT

private slots:
    // Every herb of the demonstration list is found by its textbook initials as an exact match
    // through its shown readings, by its whole syllables, and shows its textbook spelling.
    void demoHerbsByTextbookPinyin_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("syllables");
        for (const QStringList &herb : textbookHerbs())
            QTest::newRow(qPrintable(herb.first())) << herb.first() << herb.mid(1);
    }
    void demoHerbsByTextbookPinyin()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, syllables);
        const Matcher &m = demoHerbs();
        const auto byInitials = candidateFor(m, initialsOf(syllables), name);
        QVERIFY2(byInitials, "not found by its initials");
        QCOMPARE(byInitials->match, Match::Exact);
        QVERIFY2(byInitials->usual, "found only through a reading other than the shown one");
        const auto bySyllables = candidateFor(m, syllables.join(QString()), name);
        QVERIFY2(bySyllables, "not found by its syllables");
        QCOMPARE(bySyllables->match, Match::SyllablesWhole);
        QCOMPARE(spelling(name, NameKind::Herb), syllables.join(u' '));
    }

    // The herbs a transliterator gets wrong and the polyphonic characters of herb names.
    void herbTraps_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("initials");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *name, const char *initials, const char *shown) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(initials) << QString::fromUtf8(shown);
        };
        row("人参", "rs", "ren shen");
        row("党参", "ds", "dang shen");
        row("丹参", "ds", "dan shen");
        row("玄参", "xs", "xuan shen");
        row("苦参", "ks", "ku shen");
        row("北沙参", "bss", "bei sha shen");
        row("南沙参", "nss", "nan sha shen");
        row("太子参", "tzs", "tai zi shen");
        row("白术", "bz", "bai zhu");
        row("苍术", "cz", "cang zhu");
        row("莪术", "ez", "e zhu");
        row("炒白术", "cbz", "chao bai zhu");
        row("川芎", "cx", "chuan xiong");
        row("蛤蚧", "gj", "ge jie");
        row("蛤蟆油", "hmy", "ha ma you");
        row("海蛤壳", "hgq", "hai ge qiao");
        row("桑螵蛸", "spx", "sang piao xiao");
        row("重楼", "cl", "chong lou");
        row("薄荷", "bh", "bo he");
        row("桔梗", "jg", "jie geng");
        row("淡豆豉", "ddc", "dan dou chi");
        row("阿胶", "ej", "e jiao");
        row("阿魏", "aw", "a wei");
        row("葛根", "gg", "ge gen");
        row("黄柏", "hb", "huang bo");
        row("关黄柏", "ghb", "guan huang bo");
        row("柏子仁", "bzr", "bai zi ren");
        row("厚朴", "hp", "hou po");
        row("没药", "my", "mo yao");
        row("佛手", "fs", "fo shou");
        row("槟榔", "bl", "bing lang");
        row("枳壳", "zq", "zhi qiao");
        row("生地黄", "sdh", "sheng di huang");
        row("炙甘草", "zgc", "zhi gan cao");
        row("黄芪", "hq", "huang qi");
    }
    void herbTraps()
    {
        QFETCH(QString, name);
        QFETCH(QString, initials);
        QFETCH(QString, shown);
        const Matcher m = matcherOf(NameKind::Herb, {name, QStringLiteral("麻黄"), QStringLiteral("甘草")});
        const auto c = candidateFor(m, initials, name);
        QVERIFY(c);
        QCOMPARE(c->match, Match::Exact);
        QVERIFY(c->usual);
        QCOMPARE(spelling(name, NameKind::Herb), shown);
        QCOMPARE(keysOf(name, NameKind::Herb).initials.value(0), initials);
    }

    // A reading other than the shown one still finds the name, ranked after those found through
    // their shown readings: a wrong guess of the reader never hides a name.
    void otherReadingsStillFind_data()
    {
        QTest::addColumn<NameKind>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::newRow("人参 as ren can") << NameKind::Herb << QStringLiteral("人参") << QStringLiteral("rc");
        QTest::newRow("白术 as bai shu") << NameKind::Herb << QStringLiteral("白术") << QStringLiteral("bs");
        QTest::newRow("白术 spelt bai shu") << NameKind::Herb << QStringLiteral("白术") << QStringLiteral("baishu");
        QTest::newRow("枳壳 as zhi ke") << NameKind::Herb << QStringLiteral("枳壳") << QStringLiteral("zk");
        QTest::newRow("蛤蚧 as ha jie") << NameKind::Herb << QStringLiteral("蛤蚧") << QStringLiteral("hj");
        QTest::newRow("川芎 as chuan qiong") << NameKind::Herb << QStringLiteral("川芎") << QStringLiteral("cq");
        QTest::newRow("单 as dan at the start") << NameKind::Person << QStringLiteral("单雄信") << QStringLiteral("dxx");
        QTest::newRow("曾 as ceng at the start") << NameKind::Person << QStringLiteral("曾国藩") << QStringLiteral("cgf");
        QTest::newRow("解 as jie at the start") << NameKind::Person << QStringLiteral("解缙") << QStringLiteral("jj");
    }
    void otherReadingsStillFind()
    {
        QFETCH(NameKind, kind);
        QFETCH(QString, name);
        QFETCH(QString, typed);
        const Matcher m = matcherOf(kind, {name});
        const auto c = candidateFor(m, typed, name);
        QVERIFY(c);
        QVERIFY(!c->usual);
    }

    // Polyphonic surnames: the surname's reading at the start of a person's name is the shown one.
    void surnames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("initials");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *name, const char *initials, const char *shown) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(initials) << QString::fromUtf8(shown);
        };
        row("单雄信", "sxx", "shan xiong xin");
        row("曾国藩", "zgf", "zeng guo fan");
        row("解缙", "xj", "xie jin");
        row("区志强", "ozq", "ou zhi qiang");
        row("仇英", "qy", "qiu ying");
        row("查良镛", "zly", "zha liang yong");
        row("翟志刚", "zzg", "zhai zhi gang");
        row("乐嘉", "yj", "yue jia");
        row("覃海燕", "qhy", "qin hai yan");
        row("种师道", "csd", "chong shi dao");
        row("朴志勇", "pzy", "piao zhi yong");
        row("缪斯", "ms", "miao si");
        row("尉迟恭", "ycg", "yu chi gong");
        row("长孙无忌", "zswj", "zhang sun wu ji");
        row("万俟卨", "mqx", "mo qi xie");
        row("张三", "zs", "zhang san");
    }
    void surnames()
    {
        QFETCH(QString, name);
        QFETCH(QString, initials);
        QFETCH(QString, shown);
        const Matcher m = matcherOf(NameKind::Person, {name, QStringLiteral("王芳")});
        const auto c = candidateFor(m, initials, name);
        QVERIFY(c);
        QCOMPARE(c->match, Match::Exact);
        QVERIFY(c->usual);
        QCOMPARE(spelling(name, NameKind::Person), shown);
    }

    // Surname readings apply at the start of a person's name only, and to persons only.
    void surnameReadingsAtTheStartOnly_data()
    {
        QTest::addColumn<NameKind>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("单 in the given name") << NameKind::Person << QStringLiteral("王单") << QStringLiteral("wang dan");
        QTest::newRow("曾 in the given name") << NameKind::Person << QStringLiteral("李曾") << QStringLiteral("li ceng");
        QTest::newRow("乐 in the given name") << NameKind::Person << QStringLiteral("张乐乐") << QStringLiteral("zhang le le");
        QTest::newRow("单 starting a herb name") << NameKind::Herb << QStringLiteral("单叶") << QStringLiteral("dan ye");
        QTest::newRow("herb readings not for persons") << NameKind::Person << QStringLiteral("白术") << QStringLiteral("bai shu");
        QTest::newRow("no curated readings") << NameKind::Plain << QStringLiteral("人参") << QStringLiteral("ren can");
    }
    void surnameReadingsAtTheStartOnly()
    {
        QFETCH(NameKind, kind);
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QCOMPARE(spelling(name, kind), shown);
    }

    // What is typed: full-width letters, upper case, spaces, separators and tone marks.
    void normalizesTyping_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *typed, const char *expected) {
            QTest::newRow(name) << QString::fromUtf8(typed) << QString::fromUtf8(expected);
        };
        row("full-width", "ｈｑ", "hq");
        row("full-width upper case", "ＨＱ", "hq");
        row("upper case", "HuangQi", "huangqi");
        row("spaces", " h q ", "hq");
        row("ideographic spaces", "\u3000hq\u3000", "hq");
        row("syllable separator", "xi'an", "xian");
        row("tone marks", "huáng qí", "huangqi");
        row("u with diaeresis", "lǜ Nü", "lvnv");
        row("Chinese kept, spaces dropped", "黄 芪", "黄芪");
        row("case number punctuation", "Ｃ-2024/001", "c2024001");
    }
    void normalizesTyping()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QCOMPARE(normalize(typed), expected);
        const Matcher m = matcherOf(NameKind::Herb, {QStringLiteral("黄芪")});
        QCOMPARE(namesFound(m, typed).isEmpty(), namesFound(m, expected).isEmpty());
    }

    // Candidates in order: exact initials, initials prefix, initials inside, then syllables;
    // shown readings before other readings; weight, then spelling among equals.
    void ordersCandidates_data()
    {
        QTest::addColumn<NameKind>("kind");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        const QStringList gancao = {QStringLiteral("炙甘草"), QStringLiteral("甘草梢"), QStringLiteral("甘草"), QStringLiteral("干姜")};
        QTest::newRow("exact, prefix, inside") << NameKind::Herb << gancao << QStringLiteral("gc")
                                               << QStringList{QStringLiteral("甘草"), QStringLiteral("甘草梢"), QStringLiteral("炙甘草")};
        QTest::newRow("characters typed") << NameKind::Herb << gancao << QStringLiteral("甘草")
                                          << QStringList{QStringLiteral("甘草"), QStringLiteral("甘草梢"), QStringLiteral("炙甘草")};
        QTest::newRow("weight among equals")
            << NameKind::Herb << QStringList{QStringLiteral("党参:5"), QStringLiteral("丹参:50"), QStringLiteral("独活:20")}
            << QStringLiteral("ds") << QStringList{QStringLiteral("丹参"), QStringLiteral("党参")};
        QTest::newRow("class before weight")
            << NameKind::Herb << QStringList{QStringLiteral("炙甘草:900"), QStringLiteral("甘草:1")} << QStringLiteral("gc")
            << QStringList{QStringLiteral("甘草"), QStringLiteral("炙甘草")};
        QTest::newRow("spelling among equal weights")
            << NameKind::Herb << QStringList{QStringLiteral("党参"), QStringLiteral("丹参"), QStringLiteral("大蒜")}
            << QStringLiteral("ds") << QStringList{QStringLiteral("大蒜"), QStringLiteral("丹参"), QStringLiteral("党参")};
        QTest::newRow("initials before syllables")
            << NameKind::Herb << QStringList{QStringLiteral("安息香:90"), QStringLiteral("艾纳香"), QStringLiteral("当归")}
            << QStringLiteral("an") << QStringList{QStringLiteral("艾纳香"), QStringLiteral("安息香")};
        QTest::newRow("syllables: start before inside")
            << NameKind::Herb << QStringList{QStringLiteral("熟地黄"), QStringLiteral("地榆"), QStringLiteral("生地黄"), QStringLiteral("地骨皮")}
            << QStringLiteral("di")
            << QStringList{QStringLiteral("地骨皮"), QStringLiteral("地榆"), QStringLiteral("生地黄"), QStringLiteral("熟地黄")};
        QTest::newRow("whole syllables before their start")
            << NameKind::Herb << QStringList{QStringLiteral("黄芪精"), QStringLiteral("黄芪")} << QStringLiteral("huangqi")
            << QStringList{QStringLiteral("黄芪"), QStringLiteral("黄芪精")};
        QTest::newRow("shown reading before another, whatever the weight")
            << NameKind::Person << QStringList{QStringLiteral("单三:99"), QStringLiteral("邓松")} << QStringLiteral("ds")
            << QStringList{QStringLiteral("邓松"), QStringLiteral("单三")};
    }
    void ordersCandidates()
    {
        QFETCH(NameKind, kind);
        QFETCH(QStringList, names);
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        QCOMPARE(namesFound(matcherOf(kind, names), typed), expected);
    }

    // Whole syllables and their starts, and Chinese characters mixed in.
    void matchesSyllables_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<Match>("match");
        const auto row = [](const char *typed, const char *name, Match match) {
            QTest::newRow(typed) << QString::fromUtf8(typed) << QString::fromUtf8(name) << match;
        };
        row("huangqi", "黄芪", Match::SyllablesWhole);
        row("huangq", "黄芪", Match::SyllablesWhole);
        row("hqi", "黄芪", Match::SyllablesWhole);
        row("huang", "黄芪", Match::SyllablesStart);
        row("gancao", "炙甘草", Match::SyllablesInside);
        row("zhigc", "炙甘草", Match::SyllablesWhole);
        row("renshen", "人参", Match::SyllablesWhole);
        row("h芪", "黄芪", Match::Exact);
        row("芪", "黄芪", Match::Inside);
        row("b1", "维生素B1", Match::Inside);
    }
    void matchesSyllables()
    {
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(Match, match);
        const Matcher m = matcherOf(NameKind::Herb, {name, QStringLiteral("当归")});
        const auto c = candidateFor(m, typed, name);
        QVERIFY(c);
        QCOMPARE(c->match, match);
    }

    // What must not match: characters out of order, a syllable that is not the character's.
    void rejects_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::newRow("initials reversed") << QStringLiteral("qh") << QStringLiteral("黄芪");
        QTest::newRow("a letter too many") << QStringLiteral("hqq") << QStringLiteral("黄芪");
        QTest::newRow("characters skipped") << QStringLiteral("zc") << QStringLiteral("炙甘草");
        QTest::newRow("wrong syllable") << QStringLiteral("huangqu") << QStringLiteral("黄芪");
        QTest::newRow("character not in the name") << QStringLiteral("芪黄") << QStringLiteral("黄芪");
        QTest::newRow("nothing typed") << QStringLiteral(" ' ") << QStringLiteral("黄芪");
    }
    void rejects()
    {
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QVERIFY(!candidateFor(matcherOf(NameKind::Herb, {name}), typed, name));
    }

    // Extra keys of a patient: case number and telephone, matched as typed.
    void extraKeys_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Match>("match");
        QTest::newRow("case number") << QStringLiteral("C2024001") << Match::Exact;
        QTest::newRow("case number full-width") << QStringLiteral("ｃ２０２４００１") << Match::Exact;
        QTest::newRow("telephone start") << QStringLiteral("138") << Match::Prefix;
        QTest::newRow("telephone end") << QStringLiteral("5678") << Match::Inside;
        QTest::newRow("name still") << QStringLiteral("zs") << Match::Exact;
    }
    void extraKeys()
    {
        QFETCH(QString, typed);
        QFETCH(Match, match);
        const Matcher m = matcherOf(NameKind::Person, {QStringLiteral("张三|C2024001|13812345678"), QStringLiteral("李四|C2024002")});
        const auto c = candidateFor(m, typed, QStringLiteral("张三"));
        QVERIFY(c);
        QCOMPARE(c->match, match);
        QVERIFY(!candidateFor(m, QStringLiteral("5678"), QStringLiteral("李四")));
    }

    // The keys of a name: every initials string, the shown one first, cut at the cap.
    void keys_data()
    {
        QTest::addColumn<NameKind>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("cap");
        QTest::addColumn<QStringList>("initials");
        QTest::addColumn<bool>("capped");
        QTest::newRow("人参") << NameKind::Herb << QStringLiteral("人参") << 64 << QStringList{"rs", "rc"} << false;
        QTest::newRow("白术") << NameKind::Herb << QStringLiteral("白术") << 64 << QStringList{"bz", "bs"} << false;
        QTest::newRow("单雄信") << NameKind::Person << QStringLiteral("单雄信") << 64 << QStringList{"sxx", "dxx", "cxx"} << false;
        QTest::newRow("one reading") << NameKind::Herb << QStringLiteral("黄芪") << 64 << QStringList{"hq"} << false;
        QTest::newRow("cut at the cap") << NameKind::Plain << QStringLiteral("参参参") << 4 << QStringList{"ccc", "ccs", "csc", "css"} << true;
    }
    void keys()
    {
        QFETCH(NameKind, kind);
        QFETCH(QString, name);
        QFETCH(int, cap);
        QFETCH(QStringList, initials);
        QFETCH(bool, capped);
        const Keys k = keysOf(name, kind, cap);
        QCOMPARE(k.initials, initials);
        QCOMPARE(k.capped, capped);
        QCOMPARE(k.syllables.size(), name.size());
    }

    // The table holds every reading of a character, the usual one first.
    void readings_data()
    {
        QTest::addColumn<QString>("ch");
        QTest::addColumn<QString>("usual");
        QTest::addColumn<QStringList>("all");
        QTest::newRow("参") << QStringLiteral("参") << QStringLiteral("can") << QStringList{"can", "cen", "shen"};
        QTest::newRow("untoned de gives way to di") << QStringLiteral("地") << QStringLiteral("di") << QStringList{"de", "di"};
        QTest::newRow("豉 of the dictionaries and shi") << QStringLiteral("豉") << QStringLiteral("shi") << QStringList{"chi", "shi"};
        QTest::newRow("女: v for u with diaeresis") << QStringLiteral("女") << QStringLiteral("nv") << QStringList{"nv"};
        QTest::newRow("beyond the basic plane") << QStringLiteral("𠀀") << QStringLiteral("he") << QStringList{"he"};
        QTest::newRow("not a Chinese character") << QStringLiteral("☆") << QString() << QStringList{};
    }
    void readings()
    {
        QFETCH(QString, ch);
        QFETCH(QString, usual);
        QFETCH(QStringList, all);
        const QStringList r = readingsOf(ch.toUcs4().at(0));
        QCOMPARE(r.value(0), usual);
        QStringList sorted = r;
        sorted.sort();
        QCOMPARE(sorted, all);
    }

    // A name added to a built list is found at once; a new weight reorders at once.
    void addsAndReweighs()
    {
        Matcher m = matcherOf(NameKind::Herb, {QStringLiteral("黄芪"), QStringLiteral("黄芩"), QStringLiteral("黄连")});
        QVERIFY(namesFound(m, QStringLiteral("hb")).isEmpty());
        const int id = m.add(QStringLiteral("黄柏"), 7);
        QCOMPARE(namesFound(m, QStringLiteral("hb")), QStringList{QStringLiteral("黄柏")});
        QCOMPARE(m.find(QStringLiteral("hb")).value(0).id, id);
        QCOMPARE(namesFound(m, QStringLiteral("hq")), (QStringList{QStringLiteral("黄芪"), QStringLiteral("黄芩")}));
        m.setWeight(1, 100);
        QCOMPARE(namesFound(m, QStringLiteral("hq")), (QStringList{QStringLiteral("黄芩"), QStringLiteral("黄芪")}));
        int total = 0;
        QCOMPARE(namesFound(m, QStringLiteral("h"), 2).size(), 2);
        m.find(QStringLiteral("h"), 2, &total);
        QCOMPARE(total, 4);
    }
};

QTEST_GUILESS_MAIN(TstPinyin)
#include "tst_pinyin.moc"
