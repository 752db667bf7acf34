#include "clinic/punctuation.h"

#include <QtTest>

using qh::clinic::NormalizePunctuation;

class TstPunctuation : public QObject {
    Q_OBJECT

private slots:
    void rules_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("stored");
        // Rule 1: only a CR LF at the very start goes.
        QTest::newRow("crlf at start") << QStringLiteral("\r\n头痛") << QStringLiteral("头痛");
        QTest::newRow("crlf inside kept") << QStringLiteral("头痛\r\n发热") << QStringLiteral("头痛\r\n发热");
        QTest::newRow("two crlf at start") << QStringLiteral("\r\n\r\n头痛") << QStringLiteral("\r\n头痛");
        QTest::newRow("spaces then crlf") << QStringLiteral("  \r\n头痛") << QStringLiteral("头痛");
        // Rule 2.
        QTest::newRow("backslash") << QStringLiteral("麻黄\\桂枝") << QStringLiteral("麻黄、桂枝");
        QTest::newRow("comma") << QStringLiteral("麻黄10克,桂枝") << QStringLiteral("麻黄10克，桂枝");
        QTest::newRow("comma between digits") << QStringLiteral("1,000") << QStringLiteral("1，000");
        QTest::newRow("semicolon") << QStringLiteral("早;晚") << QStringLiteral("早；晚");
        // Rule 3.
        QTest::newRow("point after text") << QStringLiteral("每日一剂.") << QStringLiteral("每日一剂。");
        QTest::newRow("point between letters") << QStringLiteral("a.b") << QStringLiteral("a。b");
        QTest::newRow("decimal point") << QStringLiteral("石膏30.5克") << QStringLiteral("石膏30.5克");
        QTest::newRow("typed full stop between digits") << QStringLiteral("3。5") << QStringLiteral("3.5");
        QTest::newRow("point before book title") << QStringLiteral("见.《伤寒论》") << QStringLiteral("见.《伤寒论》");
        QTest::newRow("full stop before book title") << QStringLiteral("见。《伤寒论》") << QStringLiteral("见.《伤寒论》");
        QTest::newRow("point first") << QStringLiteral(".5克") << QStringLiteral("。5克");
        QTest::newRow("point first before title") << QStringLiteral(".《内经》") << QStringLiteral("。《内经》");
        QTest::newRow("full stop first kept") << QStringLiteral("。5") << QStringLiteral("。5");
        QTest::newRow("digit then point at end") << QStringLiteral("3.") << QStringLiteral("3。");
        QTest::newRow("point then digit after text") << QStringLiteral("a.5") << QStringLiteral("a。5");
        QTest::newRow("full-width digits") << QStringLiteral("３.５") << QStringLiteral("３.５");
        // Rule 4.
        QTest::newRow("lone line feed") << QStringLiteral("头痛\n发热") << QStringLiteral("头痛发热");
        QTest::newRow("lone carriage return kept") << QStringLiteral("头痛\r发热") << QStringLiteral("头痛\r发热");
        QTest::newRow("line feed after dropped crlf") << QStringLiteral("\r\n\n头痛") << QStringLiteral("头痛");
        // Rule 5.
        QTest::newRow("apostrophe and others") << QStringLiteral("O'Neil %_\"") << QStringLiteral("O'Neil %_\"");
        QTest::newRow("trimmed input") << QStringLiteral("  头痛  ") << QStringLiteral("头痛");
        // Rule 6.
        QTest::newRow("empty") << QString() << QStringLiteral("  ");
        QTest::newRow("blanks only") << QStringLiteral("    ") << QStringLiteral("  ");
        QTest::newRow("ideographic blanks") << QStringLiteral("\u3000\u3000") << QStringLiteral("  ");
        QTest::newRow("only crlf") << QStringLiteral("\r\n") << QStringLiteral("  ");
        QTest::newRow("only line feed") << QStringLiteral("\n") << QStringLiteral("  ");
        QTest::newRow("crlf then blanks") << QStringLiteral("\r\n   ") << QStringLiteral("  ");
    }

    void rules()
    {
        QFETCH(QString, input);
        QFETCH(QString, stored);
        QCOMPARE(NormalizePunctuation(input), stored);
    }

    void prescriptionAsPicked()
    {
        // A prescription composed by picking keeps its full-width commas and gains none.
        const QString text = QStringLiteral("麻黄10克，桂枝6克，甘草3克，");
        QCOMPARE(NormalizePunctuation(text), text);
        QCOMPARE(NormalizePunctuation(NormalizePunctuation(QStringLiteral("a,b.c;1.5\\"))),
                 NormalizePunctuation(QStringLiteral("a,b.c;1.5\\")));
    }
};

QTEST_GUILESS_MAIN(TstPunctuation)
#include "tst_punctuation.moc"
