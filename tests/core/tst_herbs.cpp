#include "core/herbs.h"

#include <QtTest>

using namespace qh;
using namespace qh::herbs;

namespace {

RuleBook shipped()
{
    QString error;
    RuleBook book = RuleBook::standard({}, &error);
    if (!error.isEmpty())
        qFatal("%s", qPrintable(error));
    return book;
}

const QStringList CommonHerbs = {QStringLiteral("麻黄"), QStringLiteral("桂枝"), QStringLiteral("杏仁"),
                                 QStringLiteral("甘草"), QStringLiteral("黄芪"), QStringLiteral("当归"),
                                 QStringLiteral("白芍"), QStringLiteral("川芎"), QStringLiteral("茯苓"),
                                 QStringLiteral("白术"), QStringLiteral("陈皮"), QStringLiteral("生姜")};

} // namespace

class TstHerbs : public QObject {
    Q_OBJECT

private slots:
    void findsNamesAndDoses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected"); // name=dose unit, or name
        QTest::newRow("appended lines") << QStringLiteral("黄芪15克，当归10克，") << QStringList{"黄芪=15克", "当归=10克"};
        QTest::newRow("full-width digits and unit") << QStringLiteral("黄芪１５ｇ 当归 ９．５ 克")
                                                    << QStringList{"黄芪=15g", "当归=9.5克"};
        QTest::newRow("no dose") << QStringLiteral("黄芪、当归各适量") << QStringList{"黄芪", "当归"};
        QTest::newRow("longer name wins") << QStringLiteral("浙贝母10克 白附子3克") << QStringList{"浙贝母=10克", "白附子=3克"};
        QTest::newRow("name inside another is not found twice") << QStringLiteral("人参叶6克") << QStringList{"人参叶=6克"};
        QTest::newRow("units as written") << QStringLiteral("黄芪3枚，当归1.5mL，人参200MG，附子6片，贝母500毫克")
                                          << QStringList{"黄芪=3枚", "当归=1.5mL", "人参=200MG", "附子=6片", "贝母=500毫克"};
        QTest::newRow("no unit, or a word that is none") << QStringLiteral("黄芪15，当归10gm，人参3剂")
                                                         << QStringList{"黄芪=15", "当归=10", "人参=3"};
    }
    void findsNamesAndDoses()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        NameFinder f({QStringLiteral("黄芪"), QStringLiteral("当归"), QStringLiteral("贝母"), QStringLiteral("浙贝母"),
                      QStringLiteral("附子"), QStringLiteral("白附子"), QStringLiteral("人参"), QStringLiteral("人参叶")});
        QStringList got;
        for (const Mention &m : f.find(text))
            got << (m.dose ? m.name + u'=' + m.dose->toPlain() + m.unit : m.name);
        QCOMPARE(got, expected);
    }

    // Every group of the classical lists, written as a clinic writes a prescription.
    void incompatibilitiesFound_data()
    {
        QTest::addColumn<QString>("prescription");
        QTest::addColumn<QString>("finding");
        const auto row = [](const char *name, const char *text, const char *finding) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(finding);
        };
        row("甘草-海藻", "海藻10克，昆布10克，甘草6克，", "海藻 与 甘草 相反（十八反），不宜同用");
        row("炙甘草-甘遂", "甘遂1克，炙甘草6克，", "甘遂 与 炙甘草 相反（十八反），不宜同用");
        row("甘草-京大戟", "京大戟2克，甘草3克，", "京大戟 与 甘草 相反（十八反），不宜同用");
        row("甘草-芫花", "芫花1克，甘草3克，", "芫花 与 甘草 相反（十八反），不宜同用");
        row("附子-半夏", "附子9克，法半夏9克，", "附子 与 法半夏 相反（十八反），不宜同用");
        row("川乌-瓜蒌皮", "制川乌3克，瓜蒌皮10克，", "制川乌 与 瓜蒌皮 相反（十八反），不宜同用");
        row("草乌-天花粉", "草乌3克，天花粉10克，", "草乌 与 天花粉 相反（十八反），不宜同用");
        row("附子-浙贝母", "附子6克，浙贝母10克，", "附子 与 浙贝母 相反（十八反），不宜同用");
        row("川乌-白及", "川乌3克，白及10克，", "川乌 与 白及 相反（十八反），不宜同用");
        row("川乌-白蔹", "川乌3克，白蔹10克，", "川乌 与 白蔹 相反（十八反），不宜同用");
        row("藜芦-人参", "人参6克，藜芦1克，", "人参 与 藜芦 相反（十八反），不宜同用");
        row("藜芦-南沙参", "南沙参10克，藜芦1克，", "南沙参 与 藜芦 相反（十八反），不宜同用");
        row("藜芦-丹参", "丹参10克，藜芦1克，", "丹参 与 藜芦 相反（十八反），不宜同用");
        row("藜芦-玄参", "玄参10克，藜芦1克，", "玄参 与 藜芦 相反（十八反），不宜同用");
        row("藜芦-苦参", "苦参10克，藜芦1克，", "苦参 与 藜芦 相反（十八反），不宜同用");
        row("藜芦-细辛", "细辛3克，藜芦1克，", "细辛 与 藜芦 相反（十八反），不宜同用");
        row("藜芦-赤芍", "赤芍10克，藜芦1克，", "赤芍 与 藜芦 相反（十八反），不宜同用");
        row("藜芦-党参", "党参10克，藜芦1克，", "党参 与 藜芦 相反（十八反），不宜同用");
        row("硫黄-芒硝", "芒硝9克，硫黄1克，", "芒硝 与 硫黄 相畏（十九畏），不宜同用");
        row("水银-砒霜", "水银0.1克，砒霜0.01克，", "水银 与 砒霜 相畏（十九畏），不宜同用");
        row("狼毒-密陀僧", "狼毒1克，密陀僧1克，", "狼毒 与 密陀僧 相畏（十九畏），不宜同用");
        row("巴豆霜-牵牛子", "巴豆霜0.1克，牵牛子3克，", "巴豆霜 与 牵牛子 相畏（十九畏），不宜同用");
        row("丁香-郁金", "丁香3克，郁金10克，", "丁香 与 郁金 相畏（十九畏），不宜同用");
        row("草乌-犀角", "草乌3克，犀角1克，", "草乌 与 犀角 相畏（十九畏），不宜同用");
        row("玄明粉-三棱", "玄明粉6克，三棱10克，", "玄明粉 与 三棱 相畏（十九畏），不宜同用");
        row("官桂-赤石脂", "官桂3克，赤石脂10克，", "官桂 与 赤石脂 相畏（十九畏），不宜同用");
        row("人参-五灵脂", "红参6克，五灵脂10克，", "红参 与 五灵脂 相畏（十九畏），不宜同用");
        row("人参叶 counts as 人参", "人参叶6克，藜芦1克，", "人参叶 与 藜芦 相反（十八反），不宜同用");
    }
    void incompatibilitiesFound()
    {
        QFETCH(QString, prescription);
        QFETCH(QString, finding);
        QCOMPARE(incompatibilities(shipped(), prescription, CommonHerbs), QStringList{finding});
    }

    void noFalseAlarms_data()
    {
        QTest::addColumn<QString>("prescription");
        QTest::newRow("ten common herbs") << QStringLiteral("麻黄9克，桂枝6克，杏仁9克，甘草3克，黄芪15克，当归10克，"
                                                            "白芍10克，川芎6克，茯苓12克，白术10克，");
        // 白附子 (禹白附) is another herb than 附子; 太子参 and 西洋参 are not 人参.
        QTest::newRow("白附子 with 半夏") << QStringLiteral("白附子3克，法半夏9克，");
        QTest::newRow("太子参 with 五灵脂") << QStringLiteral("太子参10克，五灵脂10克，");
        QTest::newRow("甘草 twice") << QStringLiteral("甘草3克，炙甘草6克，");
    }
    void noFalseAlarms()
    {
        QFETCH(QString, prescription);
        QCOMPARE(incompatibilities(shipped(), prescription, CommonHerbs), QStringList{});
    }

    void checkReportsPregnancyAndStock()
    {
        CheckInput in;
        in.prescription = QStringLiteral("黄芪１５克，当归10克，三棱6克，白术10克，茯苓9克，");
        in.drugNames = {QStringLiteral("黄芪"), QStringLiteral("当归"), QStringLiteral("三棱"), QStringLiteral("白术"),
                        QStringLiteral("茯苓")};
        in.today = QDate(2026, 12, 8);
        in.stock.insert(QStringLiteral("黄芪"), {*Money::parse("12"), true, QDate(2027, 1, 1), false});
        in.stock.insert(QStringLiteral("当归"), {*Money::parse("500"), true, QDate(2026, 11, 30), true});
        in.stock.insert(QStringLiteral("三棱"), {*Money::parse("100"), true, {}, false});
        in.stock.insert(QStringLiteral("白术"), {Money(), true, {}, false});
        // 茯苓 has no balance row.
        const QStringList male = {QStringLiteral("黄芪 库存余量 12，少于处方用量 15"),
                                  QStringLiteral("当归 库存药材已过有效期（2026-11-30）"),
                                  QStringLiteral("白术 库存中没有余量"), QStringLiteral("茯苓 库存中没有余量")};
        QCOMPARE(check(shipped(), in), male);
        in.female = true;
        QCOMPARE(check(shipped(), in), QStringList{QStringLiteral("三棱 为妊娠禁用药，请确认患者未怀孕")} + male);
        in.checkStock = false;
        QCOMPARE(check(shipped(), in), QStringList{QStringLiteral("三棱 为妊娠禁用药，请确认患者未怀孕")});
    }

    void ruleFiles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("clinic pair") << QStringLiteral("# 本诊所\n十九畏 黄芪：防风\n") << QString();
        QTest::newRow("unknown keyword") << QStringLiteral("十八反 甘草：海藻\n相克 甲：乙") << QStringLiteral("第 2 行：不认识的项目“相克”");
        QTest::newRow("missing colon") << QStringLiteral("十八反 甘草 海藻") << QStringLiteral("第 1 行：缺少冒号“：”");
        QTest::newRow("empty side") << QStringLiteral("\n\n十九畏 黄芪：") << QStringLiteral("第 3 行：冒号前后须写药名");
    }
    void ruleFiles()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        RuleBook book;
        QCOMPARE(book.read(text), error);
    }

    void clinicFileAddsPairsAndBrokenFileIsReported()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("herb-rules-local.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("十九畏 黄芪：防风\n");
        f.close();
        QString error;
        RuleBook book = RuleBook::standard(path, &error);
        QCOMPARE(error, QString());
        QCOMPARE(incompatibilities(book, QStringLiteral("黄芪10克，防风6克，甘草3克，海藻6克"), {}),
                 (QStringList{QStringLiteral("黄芪 与 防风 相畏（十九畏），不宜同用"),
                              QStringLiteral("甘草 与 海藻 相反（十八反），不宜同用")}));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("黄芪 防风\n");
        f.close();
        RuleBook::standard(path, &error);
        QCOMPARE(error, QStringLiteral("配伍禁忌数据文件 %1 有误，第 1 行：不认识的项目“黄芪”").arg(path));
        QVERIFY(RuleBook::standard(dir.filePath(QStringLiteral("missing.txt")), &error).rules().size() > 10);
        QCOMPARE(error, QString());
    }
};

QTEST_GUILESS_MAIN(TstHerbs)
#include "tst_herbs.moc"
