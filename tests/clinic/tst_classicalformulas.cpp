#include "clinic/classicalformulas.h"
#include "core/herbs.h"

#include <QRegularExpression>
#include <QtTest>
#include <algorithm>

using namespace qh;
using qh::clinic::ClassicalFormula;

namespace {

const QList<ClassicalFormula> &shipped()
{
    static const QList<ClassicalFormula> all = [] {
        QString error;
        QList<ClassicalFormula> f = clinic::shippedClassicalFormulas(&error);
        if (!error.isEmpty())
            qFatal("%s", qPrintable(error));
        return f;
    }();
    return all;
}

// "桂枝9克" -> {"桂枝", "9"}: the herbs of a composition as a reader of the file sees them.
QList<QPair<QString, QString>> items(const QString &composition)
{
    static const QRegularExpression item(QStringLiteral("^(.*?)([0-9.]+)(克|枚)$"));
    QList<QPair<QString, QString>> out;
    for (const QString &it : composition.split(QStringLiteral("，"))) {
        const auto m = item.match(it);
        out << qMakePair(m.captured(1), m.captured(2));
    }
    return out;
}

// The conversion rule of the file's header, applied to an amount as the original text writes
// it ("三两", "一两六铢", "半升", "二合半", "七十个", "十二枚", "二把", "各等分").
// Works in milligrams so every figure is exact; returns "9克" or "4枚".
QString modernDose(const QString &herb, const QString &original)
{
    if (original == u"等分")
        return QStringLiteral("3克");
    static const QHash<QChar, int> digit = {{u'一', 1}, {u'二', 2}, {u'三', 3}, {u'四', 4}, {u'五', 5},
                                            {u'六', 6}, {u'七', 7}, {u'八', 8}, {u'九', 9}};
    static const QHash<QString, qint64> eachMg = {{QStringLiteral("附子"), 9000}, {QStringLiteral("枳实"), 3000},
                                                  {QStringLiteral("瓜蒌"), 24000}, {QStringLiteral("杏仁"), 150},
                                                  {QStringLiteral("桃仁"), 200}, {QStringLiteral("栀子"), 500},
                                                  {QStringLiteral("乌梅"), 1000}};
    const QHash<QChar, qint64> unitMg = {{u'斤', 48000}, {u'两', 3000}, {u'铢', 125}, {u'分', 750},
                                         {u'升', 18000}, {u'合', 1800}, {u'把', 3000}};
    qint64 mg = 0;
    qint64 count = 0;
    int i = 0;
    qint64 lastUnit = 0;
    while (i < original.size()) {
        if (original.at(i) == u'半') { // "半升" or the half after a unit, "一两半"
            ++i;
            if (i < original.size() && unitMg.contains(original.at(i)))
                mg += unitMg.value(original.at(i++)) / 2;
            else
                mg += lastUnit / 2;
            continue;
        }
        qint64 n = 0, part = 0;
        for (; i < original.size(); ++i) {
            const QChar c = original.at(i);
            if (digit.contains(c))
                part = digit.value(c);
            else if (c == u'十' || c == u'百') {
                n += (part ? part : 1) * (c == u'十' ? 10 : 100);
                part = 0;
            } else {
                break;
            }
        }
        n += part;
        if (i == original.size())
            qFatal("no unit in %s", qPrintable(original));
        const QChar unit = original.at(i++);
        if (unit == u'枚' || unit == u'个') {
            count = n;
        } else {
            lastUnit = unitMg.value(unit);
            mg += n * lastUnit;
        }
    }
    if (count && herb == u"大枣")
        return QStringLiteral("%1枚").arg(qRound(count / 3.0));
    if (count)
        mg += count * eachMg.value(herb);
    QString g = QString::number(mg / 1000) + u'.' + QStringLiteral("%1").arg(mg % 1000, 3, 10, QChar(u'0'));
    while (g.endsWith(u'0'))
        g.chop(1);
    if (g.endsWith(u'.'))
        g.chop(1);
    return g + u'克';
}

} // namespace

class TstClassicalFormulas : public QObject {
    Q_OBJECT

private slots:
    void shippedFileReads()
    {
        QString error = QStringLiteral("not set");
        const QList<ClassicalFormula> all = clinic::shippedClassicalFormulas(&error);
        QCOMPARE(error, QString());
        QVERIFY2(all.size() >= 55 && all.size() <= 65, qPrintable(QString::number(all.size())));
    }

    void namesUnique()
    {
        QHash<QString, int> seen;
        for (const ClassicalFormula &f : shipped())
            ++seen[f.name];
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            QVERIFY2(it.value() == 1, qPrintable(it.key()));
        QCOMPARE(seen.size(), shipped().size());
    }

    void sourcesAreTheTwoBooks()
    {
        QSet<QString> sources;
        for (const ClassicalFormula &f : shipped())
            sources.insert(f.source);
        QCOMPARE(sources, (QSet<QString>{QStringLiteral("伤寒论"), QStringLiteral("金匮要略")}));
    }

    // The program's prescription check sees every herb of a formula, in order, each with its dose,
    // among the rule table's names and every herb name of the file.
    void herbsFoundWithDoses_data()
    {
        QTest::addColumn<QString>("composition");
        for (const ClassicalFormula &f : shipped())
            QTest::newRow(qPrintable(f.name)) << f.composition;
    }
    void herbsFoundWithDoses()
    {
        QFETCH(QString, composition);
        static const herbs::NameFinder finder = [] {
            QString error;
            herbs::NameFinder nf(herbs::RuleBook::standard({}, &error).names());
            QStringList names;
            for (const ClassicalFormula &f : shipped())
                for (const auto &item : items(f.composition))
                    names << item.first;
            nf.add(names);
            return nf;
        }();
        QStringList expected, found;
        for (const auto &[name, dose] : items(composition))
            expected << name + u'=' + dose;
        for (const herbs::Mention &m : finder.find(composition))
            found << (m.dose ? m.name + u'=' + m.dose->toPlain() : m.name + QStringLiteral("=无用量"));
        QCOMPARE(found, expected);
    }

    // Well-known formulas, herb by herb as the original text gives the amounts, converted by
    // the rule of the file's header.
    void compositionFollowsTheRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("original"); // herb amount；herb amount；…
        const auto row = [](const char *name, const char *original) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(original);
        };
        row("桂枝汤", "桂枝 三两；白芍 三两；炙甘草 二两；生姜 三两；大枣 十二枚");
        row("麻黄汤", "麻黄 三两；桂枝 二两；炙甘草 一两；杏仁 七十个");
        row("小柴胡汤", "柴胡 半斤；黄芩 三两；人参 三两；半夏 半升；炙甘草 三两；生姜 三两；大枣 十二枚");
        row("柴胡桂枝汤", "桂枝 一两半；黄芩 一两半；人参 一两半；炙甘草 一两；半夏 二合半；白芍 一两半；"
                          "大枣 六枚；生姜 一两半；柴胡 四两");
        row("四逆汤", "炙甘草 二两；干姜 一两半；附子 一枚");
        row("理中丸", "人参 三两；干姜 三两；炙甘草 三两；白术 三两");
        row("肾气丸", "生地黄 八两；山药 四两；山茱萸 四两；泽泻 三两；茯苓 三两；牡丹皮 三两；桂枝 一两；附子 一两");
        row("五苓散", "猪苓 十八铢；泽泻 一两六铢；白术 十八铢；茯苓 十八铢；桂枝 半两");
        row("四逆散", "炙甘草 十分；枳实 十分；柴胡 十分；白芍 十分");
        row("大承气汤", "大黄 四两；厚朴 半斤；枳实 五枚；芒硝 三合");
        row("竹叶石膏汤", "竹叶 二把；石膏 一斤；半夏 半升；麦冬 一升；人参 二两；炙甘草 二两；粳米 半升");
        row("当归四逆汤", "当归 三两；桂枝 三两；白芍 三两；细辛 三两；炙甘草 二两；通草 二两；大枣 二十五枚");
        row("乌梅丸", "乌梅 三百枚；细辛 六两；干姜 十两；黄连 十六两；当归 四两；附子 六两；花椒 四两；"
                      "桂枝 六两；人参 六两；黄柏 六两");
        row("小陷胸汤", "黄连 一两；半夏 半升；瓜蒌 一枚");
        row("栀子豉汤", "栀子 十四个；淡豆豉 四合");
        row("桂枝茯苓丸", "桂枝 等分；茯苓 等分；牡丹皮 等分；白芍 等分；桃仁 等分");
        row("麦门冬汤", "麦冬 七升；半夏 一升；人参 三两；甘草 二两；粳米 三合；大枣 十二枚");
        row("大黄附子汤", "大黄 三两；附子 三枚；细辛 二两");
    }
    void compositionFollowsTheRule()
    {
        QFETCH(QString, name);
        QFETCH(QString, original);
        QStringList expected;
        for (const QString &pair : original.split(QStringLiteral("；"))) {
            const QStringList hw = pair.split(u' ');
            expected << hw[0] + modernDose(hw[0], hw[1]);
        }
        const auto it = std::find_if(shipped().cbegin(), shipped().cend(),
                                     [&](const ClassicalFormula &f) { return f.name == name; });
        QVERIFY2(it != shipped().cend(), qPrintable(name));
        QCOMPARE(it->composition, expected.join(QStringLiteral("，")));
    }

    void wellFormedTextRead()
    {
        const QString text = QStringLiteral("# 注释\r\n\r\n"
                                            " 桂枝汤 ｜ 伤寒论 ｜桂枝9克，大枣4枚｜解肌发表｜表虚｜温服 \r\n"
                                            "甲方｜金匮要略｜人参0.75克｜｜｜\n");
        QString error = QStringLiteral("not set");
        const QList<ClassicalFormula> f = clinic::readClassicalFormulas(text, &error);
        QCOMPARE(error, QString());
        QCOMPARE(f.size(), 2);
        QCOMPARE(f[0].name, QStringLiteral("桂枝汤"));
        QCOMPARE(f[0].source, QStringLiteral("伤寒论"));
        QCOMPARE(f[0].composition, QStringLiteral("桂枝9克，大枣4枚"));
        QCOMPARE(f[0].actions, QStringLiteral("解肌发表"));
        QCOMPARE(f[0].indications, QStringLiteral("表虚"));
        QCOMPARE(f[0].usage, QStringLiteral("温服"));
        QCOMPARE(f[1].source, QStringLiteral("金匮要略"));
        QCOMPARE(f[1].composition, QStringLiteral("人参0.75克"));
        QVERIFY(f[1].actions.isEmpty() && f[1].indications.isEmpty() && f[1].usage.isEmpty());
    }

    void malformedLineRejected_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("fault"); // part of the message
        const auto row = [](const char *name, const char *line, const char *fault) {
            QTest::newRow(name) << QString::fromUtf8(line) << QString::fromUtf8(fault);
        };
        row("five fields", "乙方｜伤寒论｜桂枝9克｜解肌｜表虚", "此行有 5 项");
        row("seven fields", "乙方｜伤寒论｜桂枝9克｜解肌｜表虚｜温服｜多余", "此行有 7 项");
        row("tab instead of bar", "乙方\t伤寒论\t桂枝9克\t\t\t", "此行有 1 项");
        row("no name", " ｜伤寒论｜桂枝9克｜｜｜", "未写方名");
        row("other book", "乙方｜温病条辨｜桂枝9克｜｜｜", "出处“温病条辨”");
        row("no source", "乙方｜｜桂枝9克｜｜｜", "出处“”");
        row("no composition", "乙方｜伤寒论｜ ｜｜｜", "未写组成");
        row("herb without dose", "乙方｜伤寒论｜桂枝，白芍9克｜｜｜", "“桂枝”");
        row("dose without herb", "乙方｜伤寒论｜9克，白芍9克｜｜｜", "“9克”");
        row("old unit", "乙方｜伤寒论｜桂枝三两｜｜｜", "“桂枝三两”");
        row("unit missing", "乙方｜伤寒论｜桂枝9｜｜｜", "“桂枝9”");
        row("other unit", "乙方｜伤寒论｜桂枝9两｜｜｜", "“桂枝9两”");
        row("ascii comma", "乙方｜伤寒论｜桂枝9克,白芍9克｜｜｜", "“桂枝9克,白芍9克”");
        row("enumeration comma", "乙方｜伤寒论｜桂枝9克、白芍9克｜｜｜", "“桂枝9克、白芍9克”");
        row("full-width digits", "乙方｜伤寒论｜桂枝９克｜｜｜", "“桂枝９克”");
        row("trailing comma", "乙方｜伤寒论｜桂枝9克，｜｜｜", "空的一味");
        row("zero dose", "乙方｜伤寒论｜桂枝0克｜｜｜", "不能为 0");
        row("three decimals", "乙方｜伤寒论｜桂枝0.125克｜｜｜", "“桂枝0.125克”");
        row("name twice", "甲方｜伤寒论｜桂枝9克｜｜｜", "方名“甲方”与第 3 行重复");
    }
    void malformedLineRejected()
    {
        QFETCH(QString, line);
        QFETCH(QString, fault);
        // The bad line is the fifth: a comment, a blank line and two good lines come first.
        const QString text = QStringLiteral("# 注释\n\n甲方｜伤寒论｜桂枝9克｜｜｜\n丙方｜金匮要略｜人参6克｜｜｜\n") + line +
                             QStringLiteral("\n丁方｜伤寒论｜白芍9克｜｜｜\n");
        QString error;
        const QList<ClassicalFormula> f = clinic::readClassicalFormulas(text, &error);
        QVERIFY(f.isEmpty());
        QVERIFY2(error.startsWith(QStringLiteral("第 5 行：")), qPrintable(error));
        QVERIFY2(error.contains(fault), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TstClassicalFormulas)
#include "tst_classicalformulas.moc"
