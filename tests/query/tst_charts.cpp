// The charts drawn into images: round axis steps, no two texts overlapping whatever the number
// of months or the length of the names, every text inside the chart, and marks as tall or as
// long as their values.
#include "clinic/printing.h"
#include "query/charts.h"

#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QtTest>
#include <cmath>

using namespace qh::query;

namespace {

// Every pair of laid-out texts apart, and all of them inside the area.
QString overlapOf(const charts::Layout &l, const QRectF &area)
{
    for (std::size_t i = 0; i < l.labels.size(); ++i) {
        if (!area.adjusted(-0.5, -0.5, 0.5, 0.5).contains(l.labels[i]))
            return QStringLiteral("label %1 outside the area").arg(i);
        for (std::size_t j = i + 1; j < l.labels.size(); ++j)
            if (l.labels[i].intersects(l.labels[j]))
                return QStringLiteral("labels %1 and %2 overlap").arg(i).arg(j);
    }
    return {};
}

QImage page(const QSize &size, int dpi)
{
    QImage image(size, QImage::Format_ARGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    return image;
}

charts::Face printFace()
{
    qh::clinic::installPrintFontSubstitution();
    return {QString::fromUtf16(qh::clinic::PrintFontFamily), 8};
}

// Columns of months from 2005-01, values going up and down, some zero; or all the same.
charts::ColumnChart months(int n, int series, bool flat = false)
{
    charts::ColumnChart c;
    c.title = QStringLiteral("每月就诊人数");
    for (int i = 0; i < n; ++i)
        c.categories << QDate(2005, 1, 1).addMonths(i).toString(QStringLiteral("yyyy-MM"));
    for (int s = 0; s < series; ++s) {
        charts::Series x{s == 0 ? QStringLiteral("初诊") : QStringLiteral("复诊"), s == 0 ? Qt::red : Qt::blue, {}};
        for (int i = 0; i < n; ++i)
            x.values.push_back(flat ? 250 : i % 7 == 3 ? 0 : 40 + (i * 37 + s * 11) % 900);
        c.series.push_back(x);
    }
    return c;
}

} // namespace

class TstCharts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!QFontDatabase::families().isEmpty()); }

    void axisStepsAreRound_data()
    {
        QTest::addColumn<double>("largest");
        QTest::addColumn<int>("maxSteps");
        QTest::addColumn<double>("step");
        QTest::addColumn<double>("max");
        QTest::newRow("nothing") << 0.0 << 5 << 1.0 << 1.0;
        QTest::newRow("one") << 1.0 << 5 << 1.0 << 1.0;
        QTest::newRow("small counts take whole steps") << 3.0 << 8 << 1.0 << 3.0;
        QTest::newRow("seven in five") << 7.0 << 5 << 2.0 << 8.0;
        QTest::newRow("exact top") << 50.0 << 5 << 10.0 << 50.0;
        QTest::newRow("just over") << 50.5 << 5 << 20.0 << 60.0;
        QTest::newRow("amounts") << 1234.56 << 6 << 500.0 << 1500.0;
        QTest::newRow("large") << 987654.0 << 4 << 500000.0 << 1000000.0;
        QTest::newRow("one step only") << 37.0 << 1 << 50.0 << 50.0;
    }
    void axisStepsAreRound()
    {
        QFETCH(double, largest);
        QFETCH(int, maxSteps);
        QFETCH(double, step);
        QFETCH(double, max);
        const charts::Axis a = charts::niceAxis(largest, maxSteps);
        QCOMPARE(a.step, step);
        QCOMPARE(a.max, max);
        QVERIFY(a.steps() <= maxSteps);
        QVERIFY(a.max >= largest);
        const double mantissa = a.step / std::pow(10.0, std::floor(std::log10(a.step)));
        QVERIFY(qFuzzyCompare(mantissa, 1.0) || qFuzzyCompare(mantissa, 2.0) || qFuzzyCompare(mantissa, 5.0));
    }

    void valueTexts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("amount");
        QTest::newRow("zero") << 0.0 << "0" << "0";
        QTest::newRow("grouped") << 9876.4 << "9,876" << "9,876";
        QTest::newRow("ten thousand") << 10000.0 << "10,000" << "1万";
        QTest::newRow("wan with decimals") << 12345.0 << "12,345" << "1.23万";
        QTest::newRow("hundreds of wan") << 1234567.0 << "1,234,567" << "123万";
        QTest::newRow("thousands of wan") << 123456789.0 << "123,456,789" << "12,346万";
    }
    void valueTexts()
    {
        QFETCH(double, value);
        QFETCH(QString, count);
        QFETCH(QString, amount);
        QCOMPARE(charts::countText(value), count);
        QCOMPARE(charts::amountText(value), amount);
    }

    // Months 0, 1, 12 and 240, one series and two stacked, on screen and on a printed page.
    void columnTextsStandApart_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("series");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<bool>("flat");
        for (int n : {0, 1, 12, 240})
            for (int series : {1, 2})
                for (bool flat : {false, true}) {
                    const char *values = flat ? "equal" : "varied";
                    QTest::addRow("%d months, %d series, %s, screen", n, series, values) << n << series << QSize(800, 260) << 96 << flat;
                    QTest::addRow("%d months, %d series, %s, small", n, series, values) << n << series << QSize(330, 180) << 96 << flat;
                    // 174 x 62 mm at 300 dpi, as the printed page draws it.
                    QTest::addRow("%d months, %d series, %s, page", n, series, values) << n << series << QSize(2055, 732) << 300 << flat;
                }
    }
    void columnTextsStandApart()
    {
        QFETCH(int, n);
        QFETCH(int, series);
        QFETCH(QSize, size);
        QFETCH(int, dpi);
        QFETCH(bool, flat);
        QImage image = page(size, dpi);
        const charts::ColumnChart chart = months(n, series, flat);
        charts::Layout l;
        {
            QPainter p(&image);
            l = charts::drawColumns(p, QRectF(QPointF(0, 0), QSizeF(size)), chart, printFace());
        }
        const QString overlap = overlapOf(l, QRectF(QPointF(0, 0), QSizeF(size)));
        // QINGHE_SCREENSHOTS=<folder>: the drawings as images, to look at.
        if (const QString shots = qEnvironmentVariable("QINGHE_SCREENSHOTS"); !shots.isEmpty())
            image.save(QDir(shots).filePath(QStringLiteral("columns-%1.png").arg(QString::fromLatin1(QTest::currentDataTag()))));
        QVERIFY2(overlap.isEmpty(), qPrintable(overlap));
        QVERIFY(!l.labels.empty()); // the title at least
        if (n == 0) {
            QVERIFY(l.marks.empty());
            return;
        }
        QCOMPARE(int(l.marks.size()), n * series);
        QVERIFY(l.plot.width() > size.width() / 2);
        // Each column's height is its total over the axis's top.
        double largest = 0;
        std::vector<double> totals(std::size_t(n), 0.0);
        for (const charts::Series &s : chart.series)
            for (int i = 0; i < n; ++i)
                totals[std::size_t(i)] += s.values[std::size_t(i)];
        for (double t : totals)
            largest = std::max(largest, t);
        const charts::Axis axis = charts::niceAxis(largest, 8);
        QVERIFY(axis.max >= largest);
        for (int i = 0; i < n; ++i) {
            double height = 0, top = l.plot.bottom();
            for (const charts::Layout::Mark &m : l.marks)
                if (m.index == i && totals[std::size_t(i)] > 0) {
                    height += m.box.height();
                    top = std::min(top, m.box.top());
                }
            if (totals[std::size_t(i)] > 0) {
                const double expected = l.plot.bottom() - top;
                QVERIFY(std::fabs(height - expected) < 0.01);
                QVERIFY(expected <= l.plot.height() + 0.01);
            }
        }
        // The first category's label is written, under the first column.
        const double firstX = l.plot.left() + l.plot.width() / n / 2;
        QVERIFY(std::any_of(l.labels.begin(), l.labels.end(), [&](const QRectF &r) {
            return r.top() > l.plot.bottom() && r.left() <= firstX + 1 && r.right() >= firstX - 1 - r.width();
        }));
        // Something was painted inside the plot.
        int painted = 0;
        for (int y = int(l.plot.top()); y < int(l.plot.bottom()); y += 2)
            for (int x = int(l.plot.left()) + 1; x < int(l.plot.right()); x += 2)
                painted += image.pixel(x, y) != qRgb(255, 255, 255);
        QVERIFY(painted > 0);
    }

    // Herb names of one and of eight characters (and longer, cut), 21 rows with "其他".
    void barTextsStandApart_data()
    {
        QTest::addColumn<int>("nameLength");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("dpi");
        for (int length : {1, 8, 12})
            for (int rows : {0, 1, 21}) {
                QTest::addRow("%d characters, %d rows, screen", length, rows) << length << rows << QSize(560, 460) << 96;
                QTest::addRow("%d characters, %d rows, page", length, rows) << length << rows << QSize(2055, 1087) << 300;
                QTest::addRow("%d characters, %d rows, cramped", length, rows) << length << rows << QSize(400, 160) << 96;
            }
    }
    void barTextsStandApart()
    {
        QFETCH(int, nameLength);
        QFETCH(int, rows);
        QFETCH(QSize, size);
        QFETCH(int, dpi);
        charts::BarChart chart;
        chart.title = QStringLiteral("药材处方收入排行（元）");
        chart.color = Qt::darkGreen;
        chart.valueText = charts::amountText;
        for (int r = 0; r < rows; ++r) {
            chart.names << QString(nameLength, QChar(u'药' + r));
            chart.values.push_back(r + 1 == rows && rows > 1 ? 0 : 98765.43 / (r + 1));
        }
        QImage image = page(size, dpi);
        charts::Layout l;
        {
            QPainter p(&image);
            l = charts::drawBars(p, QRectF(QPointF(0, 0), QSizeF(size)), chart, printFace());
        }
        const QString overlap = overlapOf(l, QRectF(QPointF(0, 0), QSizeF(size)));
        if (const QString shots = qEnvironmentVariable("QINGHE_SCREENSHOTS"); !shots.isEmpty())
            image.save(QDir(shots).filePath(QStringLiteral("bars-%1.png").arg(QString::fromLatin1(QTest::currentDataTag()))));
        QVERIFY2(overlap.isEmpty(), qPrintable(overlap));
        QCOMPARE(int(l.marks.size()), rows);
        if (rows == 0)
            return;
        // Every row's name and value are written where the rows are tall enough for them:
        // title + names + values + ticks.
        if (size.height() > 400)
            QVERIFY(int(l.labels.size()) >= 1 + 2 * rows + 2);
        for (const charts::Layout::Mark &m : l.marks)
            QVERIFY(m.text.startsWith(chart.names[m.index]));
    }

    // The rest does not set the scale when it dwarfs the herbs: the largest herb's bar reaches
    // the axis's top region, the rest is cut at the axis's end.
    void aDwarfingRestIsDrawnCut()
    {
        charts::BarChart chart;
        chart.color = Qt::blue;
        chart.names = QStringList{QStringLiteral("甘草"), QStringLiteral("黄芪"), QStringLiteral("其他")};
        chart.values = {100, 80, 5000};
        chart.other = 2;
        QImage image = page(QSize(600, 300), 96);
        QPainter p(&image);
        const charts::Layout l = charts::drawBars(p, QRectF(0, 0, 600, 300), chart, printFace());
        const charts::Axis axis = charts::niceAxis(100, 10);
        QVERIFY(axis.max < 5000);
        const double plotRight = l.plot.right();
        // The largest herb fills value/axis.max of the plot, the rest all of it.
        const auto barEnd = [&](int row) {
            const int y = int(l.marks[std::size_t(row)].box.center().y());
            int x = int(l.plot.left()) + 1;
            while (x < image.width() && image.pixel(x + 1, y) == image.pixel(int(l.plot.left()) + 2, y))
                ++x;
            return double(x);
        };
        QVERIFY(barEnd(2) >= plotRight * 0.8);
        QVERIFY(barEnd(0) < plotRight);
        QVERIFY(barEnd(0) > l.plot.left() + l.plot.width() * 100 / axis.max * 0.8);
    }
};

QTEST_MAIN(TstCharts)
#include "tst_charts.moc"
