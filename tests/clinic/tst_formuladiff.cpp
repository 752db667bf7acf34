// The 加减 line of a prescription against the formulas it was started from.
#include "clinic/formuladiff.h"

#include <QtTest>

using namespace qh;
using namespace qh::clinic;

namespace {

const QString Guizhi = QStringLiteral("桂枝汤=桂枝9克，白芍9克，炙甘草6克，生姜9克，大枣4枚");
const QString Xiaochaihu = QStringLiteral("小柴胡汤=柴胡24克，黄芩9克，人参9克，半夏9克，炙甘草9克，生姜9克，大枣4枚");
const QString Sini = QStringLiteral("四逆汤=附子9克，干姜6克，炙甘草6克");

} // namespace

class TstFormulaDiff : public QObject {
    Q_OBJECT

private slots:
    void line_data()
    {
        QTest::addColumn<QStringList>("formulas"); // "name=composition", in the order loaded
        QTest::addColumn<QStringList>("known");    // the drug list's names
        QTest::addColumn<QString>("prescription");
        QTest::addColumn<QString>("line");

        const QStringList none;
        QTest::newRow("as the formula") << QStringList{Guizhi} << none
                                        << QStringLiteral("桂枝9克，白芍9克，炙甘草6克，生姜9克，大枣4枚") << QStringLiteral("桂枝汤 原方");
        QTest::newRow("added, removed, changed")
            << QStringList{Guizhi} << none << QStringLiteral("桂枝12克，白芍9克，炙甘草6克，生姜9克，葛根15克")
            << QStringLiteral("桂枝汤 加：葛根15克；去：大枣；改：桂枝9克→12克");
        QTest::newRow("several in a part, in their orders")
            << QStringList{Guizhi} << none << QStringLiteral("天花粉10克，白芍12克，炙甘草6克，葛根15克，桂枝6克")
            << QStringLiteral("桂枝汤 加：天花粉10克、葛根15克；去：生姜、大枣；改：桂枝9克→6克、白芍9克→12克");
        QTest::newRow("order, separators and line breaks do not matter")
            << QStringList{Guizhi} << none << QStringLiteral("大枣4枚 生姜9克\r\n炙甘草6克、白芍9克；桂枝9克。")
            << QStringLiteral("桂枝汤 原方");
        QTest::newRow("directions after the herbs are no herbs")
            << QStringList{Guizhi} << none
            << QStringLiteral("桂枝9克，白芍9克，炙甘草6克，生姜9克，大枣4枚。水煎服，日1剂，分2次温服，先煎30分钟")
            << QStringLiteral("桂枝汤 原方");
        QTest::newRow("full-width digits and units, g is 克")
            << QStringList{Guizhi} << none << QStringLiteral("桂枝９ｇ，白芍９克，炙甘草６Ｇ，生姜9g，大枣４枚")
            << QStringLiteral("桂枝汤 原方");
        QTest::newRow("a changed dose in full-width, its unit as written")
            << QStringList{Guizhi} << none << QStringLiteral("桂枝１２ｇ，白芍9克，炙甘草6克，生姜9克，大枣4枚")
            << QStringLiteral("桂枝汤 改：桂枝9克→12g");
        QTest::newRow("the same number in another unit")
            << QStringList{Guizhi} << none << QStringLiteral("桂枝9克，白芍9克，炙甘草6克，生姜9克，大枣4克")
            << QStringLiteral("桂枝汤 改：大枣4枚→4克");
        QTest::newRow("other spellings of one unit")
            << QStringList{QStringLiteral("蜜方=蜂蜜30毫升，人参500毫克")} << none << QStringLiteral("蜂蜜30mL，人参500MG")
            << QStringLiteral("蜜方 原方");
        QTest::newRow("a dose without a unit takes the formula's")
            << QStringList{Guizhi} << none << QStringLiteral("桂枝9，白芍9克，炙甘草6克，生姜9克，大枣5")
            << QStringLiteral("桂枝汤 改：大枣4枚→5");
        QTest::newRow("a herb without a dose is kept, not changed")
            << QStringList{Guizhi} << none << QStringLiteral("桂枝，白芍9克，炙甘草6克，生姜适量，大枣4枚")
            << QStringLiteral("桂枝汤 原方");
        QTest::newRow("written twice: the doses add up")
            << QStringList{Guizhi} << none << QStringLiteral("桂枝6克，白芍9克，炙甘草6克，生姜9克，大枣4枚，桂枝3克")
            << QStringLiteral("桂枝汤 原方");
        QTest::newRow("written twice: the sum is the new dose")
            << QStringList{Guizhi} << none << QStringLiteral("桂枝9克，白芍9克，炙甘草6克，生姜9克，大枣4枚，桂枝3克")
            << QStringLiteral("桂枝汤 改：桂枝9克→12克");
        QTest::newRow("written twice in another unit: the later stands")
            << QStringList{Guizhi} << none << QStringLiteral("桂枝9克，白芍9克，炙甘草6克，生姜9克，大枣4枚，大枣10克")
            << QStringLiteral("桂枝汤 改：大枣4枚→10克");
        QTest::newRow("written twice in the formula")
            << QStringList{QStringLiteral("甘桂方=甘草3克，桂枝9克，甘草3克")} << none << QStringLiteral("桂枝9克，甘草6克")
            << QStringLiteral("甘桂方 原方");
        QTest::newRow("白附子 is not 附子")
            << QStringList{Sini} << QStringList{QStringLiteral("附子"), QStringLiteral("白附子")}
            << QStringLiteral("白附子9克，干姜6克，炙甘草6克") << QStringLiteral("四逆汤 加：白附子9克；去：附子");
        QTest::newRow("白附子 is not 附子 where the drug list has only 附子")
            << QStringList{Sini} << QStringList{QStringLiteral("附子")} << QStringLiteral("白附子9克，干姜6克，炙甘草6克")
            << QStringLiteral("四逆汤 加：白附子9克；去：附子");
        QTest::newRow("浙贝母 is not 贝母, written without separators")
            << QStringList{QStringLiteral("贝母方=贝母9克，桔梗6克")}
            << QStringList{QStringLiteral("贝母"), QStringLiteral("浙贝母"), QStringLiteral("桔梗")}
            << QStringLiteral("桔梗6克浙贝母9克") << QStringLiteral("贝母方 加：浙贝母9克；去：贝母");
        QTest::newRow("empty prescription") << QStringList{Guizhi} << none << QString()
                                            << QStringLiteral("桂枝汤 去：桂枝、白芍、炙甘草、生姜、大枣");
        QTest::newRow("blank prescription as stored") << QStringList{Sini} << none << QStringLiteral("  ")
                                                      << QStringLiteral("四逆汤 去：附子、干姜、炙甘草");
        QTest::newRow("合方 with the shared herbs at the larger dose")
            << QStringList{Guizhi, Xiaochaihu} << none
            << QStringLiteral("桂枝9克，白芍9克，炙甘草9克，生姜9克，大枣4枚，柴胡24克，黄芩9克，人参9克，半夏9克")
            << QStringLiteral("桂枝汤合小柴胡汤 原方");
        QTest::newRow("合方 with a shared herb at the smaller dose")
            << QStringList{Guizhi, Xiaochaihu} << none
            << QStringLiteral("桂枝9克，白芍9克，炙甘草6克，生姜9克，大枣4枚，柴胡24克，黄芩9克，人参9克，半夏9克")
            << QStringLiteral("桂枝汤合小柴胡汤 改：炙甘草9克→6克");
        QTest::newRow("合方 whose shared herb is in two units: the first formula's")
            << QStringList{Guizhi, QStringLiteral("枣方=大枣10克，饴糖30克")} << none
            << QStringLiteral("桂枝9克，白芍9克，炙甘草6克，生姜9克，大枣4枚，饴糖30克")
            << QStringLiteral("桂枝汤合枣方 原方");
    }
    void line()
    {
        QFETCH(QStringList, formulas);
        QFETCH(QStringList, known);
        QFETCH(QString, prescription);
        QFETCH(QString, line);
        QList<FormulaText> loaded;
        for (const QString &f : formulas)
            loaded << FormulaText{f.section(u'=', 0, 0), f.section(u'=', 1)};
        const FormulaDiff d = FormulaDiffer(known).diff(loaded, prescription);
        QCOMPARE(d.line, line);
        QCOMPARE(d.unchanged(), line.endsWith(QStringLiteral(" 原方")));
    }
};

QTEST_APPLESS_MAIN(TstFormulaDiff)
#include "tst_formuladiff.moc"
