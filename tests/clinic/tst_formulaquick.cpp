// The formula box's logic: the lookup by pinyin, what a loaded formula adds to the prescription
// within its 240 characters, the 加减 line and the one written into the box; and the latest
// prescription of a case, which 引用此方 starts from.
#include "clinic/formulaquick.h"
#include "clinic/visitentry.h"
#include "testsupport.h"

#include <QtTest>

using namespace qh;
using namespace qh::clinic;

namespace {

const FormulaText Guizhi{QStringLiteral("桂枝汤"), QStringLiteral("桂枝9克，芍药9克，炙甘草6克，生姜9克，大枣4枚")};
const FormulaText Gegen{QStringLiteral("葛根汤"), QStringLiteral("葛根12克，麻黄9克，桂枝6克，")};

const QStringList Drugs{QStringLiteral("桂枝"), QStringLiteral("芍药"), QStringLiteral("炙甘草"), QStringLiteral("甘草"),
                        QStringLiteral("生姜"),  QStringLiteral("大枣"), QStringLiteral("葛根"),   QStringLiteral("麻黄")};

} // namespace

class TstFormulaQuick : public QObject {
    Q_OBJECT

private slots:
    void lookup_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("first");
        QTest::newRow("initials") << "gzt" << QStringList{QStringLiteral("桂枝汤")};
        QTest::newRow("initials, then the longer name") << "gz" << QStringList{QStringLiteral("桂枝汤"), QStringLiteral("桂枝加葛根汤")};
        QTest::newRow("syllables") << "guizhi" << QStringList{QStringLiteral("桂枝汤"), QStringLiteral("桂枝加葛根汤")};
        QTest::newRow("参 is shen") << "slbzs" << QStringList{QStringLiteral("参苓白术散")};
        QTest::newRow("characters") << "葛根" << QStringList{QStringLiteral("葛根汤"), QStringLiteral("桂枝加葛根汤")};
        QTest::newRow("nothing typed") << "" << QStringList{};
        QTest::newRow("nothing matches") << "qqq" << QStringList{};
    }
    void lookup()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, first);
        FormulaQuick q;
        q.setFormulas({{QStringLiteral("葛根汤"), QStringLiteral("伤寒论")},
                       {QStringLiteral("桂枝加葛根汤"), QStringLiteral("伤寒论")},
                       {QStringLiteral("参苓白术散"), QStringLiteral("太平惠民和剂局方")},
                       {QStringLiteral("桂枝汤"), QStringLiteral("伤寒论")},
                       {QStringLiteral("  "), QString()}});
        QCOMPARE(q.size(), 4); // a blank name is no formula
        QStringList got;
        for (const QuickFormula &f : q.candidates(typed).mid(0, first.size()))
            got << f.name;
        QCOMPARE(got, first);
        if (!first.isEmpty())
            QCOMPARE(q.candidates(typed).first().source, first.first() == QStringLiteral("参苓白术散")
                                                             ? QStringLiteral("太平惠民和剂局方")
                                                             : QStringLiteral("伤寒论"));
    }

    // What loading adds: a separator before it when the box ends in a herb, "，" after it, and
    // nothing at all when the result would not fit.
    void appended_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("composition");
        QTest::addColumn<QString>("result"); // "" refused
        QTest::newRow("empty box") << "" << "桂枝9克，大枣4枚" << "桂枝9克，大枣4枚，";
        QTest::newRow("after a pick") << "黄芪30克，" << "桂枝9克，" << "黄芪30克，桂枝9克，";
        QTest::newRow("after typed text without a comma") << "黄芪30克" << "桂枝9克" << "黄芪30克，桂枝9克，";
        QTest::newRow("after a line break") << "黄芪30克\r\n" << "桂枝9克" << "黄芪30克\r\n桂枝9克，";
        QTest::newRow("exactly 240") << QString(234, u'甲') << "桂枝9克" << QString(234, u'甲') + "，桂枝9克，";
        QTest::newRow("241 refused") << QString(235, u'甲') << "桂枝9克" << "";
    }
    void appended()
    {
        QFETCH(QString, box);
        QFETCH(QString, composition);
        QFETCH(QString, result);
        const LoadedFormulas::Result r = LoadedFormulas::appended(box, {QStringLiteral("桂枝汤"), composition});
        QCOMPARE(r.text.value_or(QString()), result);
        if (result.isEmpty())
            QCOMPARE(r.refusal, QStringLiteral("处方内容不能超过240个字，加入方剂“桂枝汤”后为%1个字，未加入。").arg(box.size() + 6));
        else
            QVERIFY(r.refusal.isEmpty());
    }

    // The line follows the box; the key writes it on a line of its own at the end, replacing the
    // one written before, and the line written is no part of what the next line compares.
    void lineAndWrittenLine()
    {
        const FormulaDiffer differ(Drugs);
        LoadedFormulas loaded;
        QVERIFY(loaded.line(differ, QStringLiteral("桂枝9克，")).isEmpty());
        QVERIFY(!loaded.written(differ, QStringLiteral("桂枝9克，")).text);

        loaded.add(Guizhi);
        const QString edited = QStringLiteral("桂枝12克，芍药9克，炙甘草6克，生姜9克，葛根15克，");
        const QString line = QStringLiteral("桂枝汤 加：葛根15克；去：大枣；改：桂枝9克→12克");
        QCOMPARE(loaded.line(differ, edited), line);
        const auto w = loaded.written(differ, edited + QStringLiteral("\r\n"));
        QCOMPARE(w.text.value_or(QString()), edited + QStringLiteral("\r\n") + line);
        QCOMPARE(loaded.line(differ, *w.text), line);
        QCOMPARE(loaded.withoutLine(*w.text), edited);

        // Edited again and written again: one line, the new one.
        const QString again = *w.text + QStringLiteral("大枣4枚，");
        QCOMPARE(loaded.line(differ, again), QStringLiteral("桂枝汤 加：葛根15克；改：桂枝9克→12克"));
        QCOMPARE(loaded.written(differ, again).text.value_or(QString()),
                 edited + QStringLiteral("大枣4枚，\r\n桂枝汤 加：葛根15克；改：桂枝9克→12克"));

        // 合方: the union.
        loaded.clear();
        QVERIFY(loaded.isEmpty());
        loaded.add(Guizhi);
        loaded.add(Gegen);
        QCOMPARE(loaded.line(differ, Guizhi.composition + QStringLiteral("，葛根12克，麻黄9克，")),
                 QStringLiteral("桂枝汤合葛根汤 原方"));

        // A line that does not fit is not written, and nothing is kept of it.
        loaded.clear();
        loaded.add(Guizhi);
        const QString full = Guizhi.composition + QStringLiteral("，") + QString(210, u'甲');
        const auto refused = loaded.written(differ, full);
        QVERIFY(!refused.text);
        QVERIFY2(refused.refusal.startsWith(QStringLiteral("处方内容不能超过240个字，写入加减后为")), qPrintable(refused.refusal));
        QCOMPARE(loaded.withoutLine(full), full);
    }

    // 引用此方 reads the latest visit's prescription: the latest day, of one day the visit written
    // last; another case's visits and a case without visits give nothing of theirs.
    void lastPrescriptionOfACase()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        const QString v = QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, blcf) values(?, ?, ?, ?)");
        const auto day = [](int d) { return QDateTime(QDate(2026, 3, d), QTime(0, 0)); };
        s.exec(v, QStringLiteral("A1"), QStringLiteral("内科"), day(2), QStringLiteral("第二天"));
        s.exec(v, QStringLiteral("A1"), QStringLiteral("内科"), day(5), QStringLiteral("第五天内科"));
        s.exec(v, QStringLiteral("A1"), QStringLiteral("妇科"), day(5), QStringLiteral("第五天妇科"));
        s.exec(v, QStringLiteral("A1"), QStringLiteral("儿科"), day(3), QStringLiteral("第三天"));
        s.exec(v, QStringLiteral("B2"), QStringLiteral("内科"), day(9), QStringLiteral("别人的"));
        QCOMPARE(lastPrescription(s, QStringLiteral(" A1 ")).value_or(QString()), QStringLiteral("第五天妇科"));
        QCOMPARE(lastPrescription(s, QStringLiteral("B2")).value_or(QString()), QStringLiteral("别人的"));
        QVERIFY(!lastPrescription(s, QStringLiteral("C3")));
    }
};

QTEST_MAIN(TstFormulaQuick)
#include "tst_formulaquick.moc"
