// The shared writer's native charts: the kind, the series over the sheet's cells, the fonts,
// the place on the sheet, in a saved workbook and a streamed one.
#include "core/spreadsheet.h"
#include "tst_spreadsheet.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace qh;

namespace {

void fillTable(Spreadsheet &s)
{
    s.setFont(QStringLiteral("宋体"), 10);
    s.setText(3, 1, QStringLiteral("月份"));
    for (int r = 4; r <= 15; ++r) {
        s.setText(r, 1, QStringLiteral("2024-%1").arg(r - 3, 2, 10, QChar(u'0')));
        s.setNumber(r, 2, r * 10);
        s.setNumber(r, 3, r * 3);
    }
}

} // namespace

class TstSpreadsheetCharts : public QObject {
    Q_OBJECT

private slots:
    void chartsAreWrittenOverTheirCells_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("streamed");
        QTest::addColumn<QByteArray>("direction");
        QTest::addColumn<QByteArray>("grouping");
        QTest::addColumn<bool>("fromZero");
        QTest::newRow("columns") << int(SheetChart::Kind::Columns) << false << QByteArray("col") << QByteArray("clustered") << true;
        QTest::newRow("stacked") << int(SheetChart::Kind::StackedColumns) << false << QByteArray("col") << QByteArray("stacked") << true;
        QTest::newRow("bars") << int(SheetChart::Kind::Bars) << false << QByteArray("bar") << QByteArray("clustered") << true;
        QTest::newRow("streamed bars") << int(SheetChart::Kind::Bars) << true << QByteArray("bar") << QByteArray("clustered") << true;
        QTest::newRow("columns scaled") << int(SheetChart::Kind::Columns) << false << QByteArray("col") << QByteArray("clustered") << false;
    }
    void chartsAreWrittenOverTheirCells()
    {
        QFETCH(int, kind);
        QFETCH(bool, streamed);
        QFETCH(QByteArray, direction);
        QFETCH(QByteArray, grouping);
        QFETCH(bool, fromZero);
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath(QStringLiteral("图表.xlsx"));
        SheetChart c;
        c.kind = SheetChart::Kind(kind);
        c.title = QStringLiteral("每月就诊人数");
        c.firstRow = 4;
        c.lastRow = 15;
        c.categoryCol = 1;
        c.series = {{QStringLiteral("初诊"), 2, 0xED7D31}, {QStringLiteral("复诊"), 3, 0}};
        c.row = 3;
        c.col = 11;
        c.fromZero = fromZero;
        if (streamed) {
            Spreadsheet s = Spreadsheet::streamingTo(path);
            fillTable(s);
            s.addChart(c);
            s.finish();
        } else {
            Spreadsheet s;
            fillTable(s);
            s.addChart(c);
            QCOMPARE(int(s.charts().size()), 1);
            s.save(path);
        }
        QVERIFY(test::readXlsx(path).ok);
        const QByteArray xml = test::unzipPart(path, QStringLiteral("xl/charts/chart1.xml"));
        QVERIFY(xml.contains("<c:barDir val=\"" + direction + "\"/>"));
        QVERIFY(xml.contains("<c:grouping val=\"" + grouping + "\"/>"));
        QVERIFY(xml.contains("<c:f>Sheet1!$A$4:$A$15</c:f>"));
        QVERIFY(xml.contains("<c:f>Sheet1!$B$4:$B$15</c:f>"));
        QVERIFY(xml.contains("<c:f>Sheet1!$C$4:$C$15</c:f>"));
        QVERIFY(xml.contains("<c:v>初诊</c:v>") || xml.contains("初诊"));
        QVERIFY(xml.contains("每月就诊人数"));
        QVERIFY(xml.contains("typeface=\"宋体\""));
        QVERIFY(xml.contains("ED7D31"));
        QVERIFY(xml.contains("<c:legendPos val=\"b\"/>"));
        // The value axis from 0 unless asked otherwise (one axis of the two has a minimum).
        QCOMPARE(xml.count("<c:min val=\"0\"/>"), fromZero ? 1 : 0);
        // Bars list the first row on top: the category axis runs from its end.
        if (direction == "bar")
            QVERIFY(xml.contains("<c:orientation val=\"maxMin\"/>"));
        // Anchored on K3 (column 10, row 2 counted from 0).
        const QByteArray drawing = test::unzipPart(path, QStringLiteral("xl/drawings/drawing1.xml"));
        QVERIFY(drawing.contains("<xdr:from><xdr:col>10</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>2</xdr:row>"));
    }

    void aChartWithoutSeriesOrOutsideTheSheetIsRefused_data()
    {
        QTest::addColumn<int>("what");
        QTest::newRow("no series") << 0;
        QTest::newRow("rows reversed") << 1;
        QTest::newRow("column outside") << 2;
    }
    void aChartWithoutSeriesOrOutsideTheSheetIsRefused()
    {
        QFETCH(int, what);
        SheetChart c;
        c.firstRow = 2;
        c.lastRow = 5;
        c.categoryCol = 1;
        c.series = {{QStringLiteral("a"), 2, 0}};
        if (what == 0)
            c.series.clear();
        if (what == 1)
            c.lastRow = 1;
        if (what == 2)
            c.series[0].col = SheetMaxCols + 1;
        Spreadsheet s;
        try {
            s.addChart(c);
            QFAIL("not refused");
        } catch (const DbError &e) {
            QCOMPARE(e.number(), err::Misuse);
        }
        QVERIFY(s.charts().empty());
    }
};

QTEST_GUILESS_MAIN(TstSpreadsheetCharts)
#include "tst_spreadsheetcharts.moc"
