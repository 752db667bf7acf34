// The stock queries, their reports and the count sheet, without widgets.
#include "../core/tst_spreadsheet.h"
#include "core/modutarnxt.h"
#include "core/spreadsheet.h"
#include "base/textutil.h"
#include "stock/countsheet.h"
#include "stock/stockquery.h"
#include "stockfixtures.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qh;
using namespace qh::stock;
using stockfixtures::m;

Q_DECLARE_METATYPE(qh::stock::StockQueryType)

namespace {

// One movement row; texts not given stay Null.
void move(db::Session &s, const char *when, const QString &drug, const QString &summary, const char *in, const char *inAmount,
          const char *out, const char *sales, const QString &caseNo = QString(), const QString &dept = QString())
{
    s.exec(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, cksl, ckje, "
                          "xsje, jbxm, bgxm) values(?, ?, ?, '甘肃', '药材公司', 'P1', '2026-01-31 00:00:00', ?, ?, ?, ?, ?, "
                          "0, ?, '张三', '李四')"),
           QString::fromLatin1(when), drug, summary, caseNo.isEmpty() ? std::optional<QString>() : caseNo,
           dept.isEmpty() ? std::optional<QString>() : dept, m(in), m(inAmount), m(out), m(sales));
}

// The journal every test reads: two drugs and one whose name needs quoting, over the days
// around the range 2024-03-01 .. 2024-03-31.
void journal(test::TempClinic &clinic)
{
    clinic.addDrug(QStringLiteral("GC"), QStringLiteral("甘草"), QStringLiteral("5.00"));
    clinic.addDrug(QStringLiteral("HQ"), QStringLiteral("黄芪"), QStringLiteral("3.00"));
    clinic.addDrug(QStringLiteral("A'%_"), QStringLiteral("奇'名%_"), QStringLiteral("1.00"));
    auto s = clinic.open();
    const QString gc = QStringLiteral("甘草"), hq = QStringLiteral("黄芪"), odd = QStringLiteral("奇'名%_");
    const QString buy = QStringLiteral("购进");
    move(s, "2024-02-29 23:59:59", gc, buy, "1", "1", "0", "0");                      // the day before
    move(s, "2024-03-01 00:00:00", gc, buy, "100", "300", "0", "0");                  // first second
    move(s, "2024-03-31 23:59:59", gc, buy, "50", "150", "0", "0");                   // last second
    move(s, "2024-04-01 00:00:00", gc, buy, "7", "7", "0", "0");                      // the day after
    move(s, "2024-03-10 09:30:00", gc, QStringLiteral("处方收款出库"), "0", "0", "12", "60", QStringLiteral("B001"),
         QStringLiteral("中医内科"));
    move(s, "2024-03-15 00:00:00", gc, QStringLiteral("出库"), "0", "0", "8", "40");
    move(s, "2024-03-05 00:00:00", hq, buy, "200", "1234567.891", "0", "0");
    move(s, "2024-03-06 00:00:00", hq, QStringLiteral("购进 "), "0", "0", "1", "3"); // not exactly "购进": a stock-out
    move(s, "2024-03-20 12:00:00", odd, buy, "5", "5", "0", "0");
    s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values('黄芪', 200, 2000000, 1990000), "
                          "('甘草', 150, 4500000, 1300000), ('奇''名%_', 5, 50000, 0)"));
}

// The rows a statement yields, the given columns joined by "|".
QStringList rowsOf(const StockQueryStatement &q, const QList<int> &cols)
{
    auto s = Modutarnxt::clinicStore().open();
    db::Statement st = s.prepare(q.sql);
    for (int i = 0; i < q.values.size(); ++i)
        st.bind(i + 1, q.values[i]);
    QStringList rows;
    while (st.next()) {
        QStringList cells;
        for (int c : cols)
            cells << st.text(c);
        rows << cells.join(u'|');
    }
    return rows;
}

const QDate March1(2024, 3, 1), March31(2024, 3, 31);

} // namespace

class TstStockQuery : public QObject {
    Q_OBJECT

private slots:
    void init() { m_docs.reset(new QTemporaryDir); Modutarnxt::setDocumentsPath(m_docs->path()); }
    void cleanup() { Modutarnxt::setDocumentsPath(QString()); }

    void datesAreCheckedInOrder_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("enterMessage"); // Enter in the refused box
        QTest::newRow("both valid") << "2024-03-01" << "2024-03-31" << "" << "";
        QTest::newRow("end before start is a query") << "2024-03-31" << "2024-03-01" << "" << "";
        QTest::newRow("30 February") << "2024-02-30" << "2024-03-31" << "查询起始时间输入错误" << "查询起始时间输入错误";
        QTest::newRow("half typed") << "2024-1_-__" << "2024-03-31" << "查询起始时间输入错误" << "查询起始时间输入错误";
        QTest::newRow("zeros") << "0000-00-00" << "0000-00-00" << "查询起始时间输入错误" << "查询起始时间输入错误";
        QTest::newRow("bad end") << "2024-03-01" << "2023-02-29" << "查询结束时间输入错误" << "查询载止时间输入错误";
        QTest::newRow("empty end") << "2024-03-01" << "____-__-__" << "查询结束时间输入错误" << "查询载止时间输入错误";
    }
    void datesAreCheckedInOrder()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, message);
        QFETCH(QString, enterMessage);
        const auto r = stockquery::srnrJy(start, end);
        QCOMPARE(r ? r->message : QString(), message);
        if (!r)
            return;
        const bool startRefused = r->field == StockQueryField::TxtQssj;
        QCOMPARE(startRefused, message.contains(QStringLiteral("起始")));
        QCOMPARE(r->select, Select::head(10));
        const auto onEnter = startRefused ? stockquery::checkStartOnEnter(start) : stockquery::checkEndOnEnter(end);
        QCOMPARE(onEnter->message, enterMessage);
        QCOMPARE(onEnter->field, r->field);
    }

    void resetGivesTheLast230Days()
    {
        const auto in = stockquery::Qpcls(QDate(2024, 6, 15));
        QVERIFY(in.code.isEmpty() && in.name.isEmpty());
        QCOMPARE(in.start, QStringLiteral("2023-10-29"));
        QCOMPARE(in.end, QStringLiteral("2024-06-15"));
    }

    void drugCodesAreLookedUpLiterally()
    {
        test::TempClinic clinic;
        journal(clinic);
        QCOMPARE(stockquery::lookupDrug(test::OneAction().s(), QStringLiteral(" gc")), std::optional<QString>(QStringLiteral("甘草")));
        QCOMPARE(stockquery::lookupDrug(test::OneAction().s(), QStringLiteral("a'%_")), std::optional<QString>(QStringLiteral("奇'名%_")));
        for (const char *code : {"A%", "_C", "G'", "XX", "%"})
            QVERIFY2(!stockquery::lookupDrug(test::OneAction().s(), QString::fromLatin1(code)), code);
        const auto refused = stockquery::ycbmOnEnter(test::OneAction().s(), QStringLiteral("XX"));
        const auto *r = std::get_if<Refusal<StockQueryField>>(&refused);
        QVERIFY(r);
        QCOMPARE(r->message, QStringLiteral("药材编码输入错误"));
        QCOMPARE(r->field, StockQueryField::Txtycbm);
        QCOMPARE(r->select, Select::all());
    }

    void queriesFindTheirRowsInOrder_data()
    {
        QTest::addColumn<StockQueryType>("type");
        QTest::addColumn<QString>("drug"); // "-" for no filter
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("rows"); // drug and day of each row, in order
        using T = StockQueryType;
        QTest::newRow("purchases") << T::Ycrk << "-" << "ycrk"
                                   << QStringList{"奇'名%_|2024-03-20", "甘草|2024-03-01", "甘草|2024-03-31", "黄芪|2024-03-05"};
        QTest::newRow("purchases of one drug") << T::Ycrk << "甘草" << "ycrk" << QStringList{"甘草|2024-03-01", "甘草|2024-03-31"};
        QTest::newRow("purchases, name with quote and wildcards")
            << T::Ycrk << "奇'名%_" << "ycrk" << QStringList{"奇'名%_|2024-03-20"};
        QTest::newRow("a wildcard is no wildcard") << T::Ycrk << "%" << "ycrk" << QStringList{};
        QTest::newRow("code typed without Enter: empty name") << T::Ycrk << "" << "ycrk" << QStringList{};
        QTest::newRow("stock-outs: everything but 购进")
            << T::Ycck << "-" << "ycck" << QStringList{"甘草|2024-03-10", "甘草|2024-03-15", "黄芪|2024-03-06"};
        QTest::newRow("stock-outs of one drug") << T::Ycck << "黄芪" << "ycck" << QStringList{"黄芪|2024-03-06"};
        QTest::newRow("detail by time")
            << T::Ckrk << "-" << "ycck"
            << QStringList{"甘草|2024-03-01", "黄芪|2024-03-05", "黄芪|2024-03-06", "甘草|2024-03-10", "甘草|2024-03-15",
                           "奇'名%_|2024-03-20", "甘草|2024-03-31"};
        QTest::newRow("detail of one drug")
            << T::Ckrk << "甘草" << "ycck"
            << QStringList{"甘草|2024-03-01", "甘草|2024-03-10", "甘草|2024-03-15", "甘草|2024-03-31"};
        QTest::newRow("balances ignore dates and drug") << T::Ycjy << "甘草" << "ycjy" << QStringList{"奇'名%_", "甘草", "黄芪"};
    }
    void queriesFindTheirRowsInOrder()
    {
        QFETCH(StockQueryType, type);
        QFETCH(QString, drug);
        QFETCH(QString, name);
        QFETCH(QStringList, rows);
        test::TempClinic clinic;
        journal(clinic);
        const auto filter = drug == QLatin1String("-") ? std::nullopt : std::optional<QString>(drug);
        const auto q = stockquery::buildQuery(type, March1, March31, filter);
        QCOMPARE(q.name, name);
        QVERIFY(!q.sql.contains(u'\'') || !q.sql.contains(QStringLiteral("2024"))); // values are bound
        const int drugCol = type == StockQueryType::Ycck ? 3 : type == StockQueryType::Ckrk ? 1 : 0;
        const int dayCol = type == StockQueryType::Ycck ? 2 : type == StockQueryType::Ckrk ? 0 : 1;
        QStringList got;
        for (const QString &r : rowsOf(q, type == StockQueryType::Ycjy ? QList<int>{drugCol} : QList<int>{drugCol, dayCol}))
            got << r.left(r.indexOf(u' ') < 0 ? r.size() : r.indexOf(u' ')); // the day of the time
        QCOMPARE(got, rows);
        QCOMPARE(stockquery::runQuery(test::OneAction().s(), q), !rows.isEmpty());
        // The window's filter: a code makes one, the name box is its value.
        QCOMPARE(stockquery::drugFilter({QString(), QStringLiteral("甘草"), {}, {}}), std::nullopt);
        QCOMPARE(stockquery::drugFilter({QStringLiteral("GC"), QString(), {}, {}}), std::optional<QString>(QString()));
    }

    void endBeforeStartFindsNothing()
    {
        test::TempClinic clinic;
        journal(clinic);
        for (auto t : {StockQueryType::Ycrk, StockQueryType::Ycck, StockQueryType::Ckrk})
            QVERIFY(!stockquery::runQuery(test::OneAction().s(), stockquery::buildQuery(t, March31, March1, std::nullopt)));
        QVERIFY(stockquery::runQuery(test::OneAction().s(), stockquery::buildQuery(StockQueryType::Ycjy, March31, March1, std::nullopt)));
    }

    void anEmptyJournalFindsNothing()
    {
        test::TempClinic clinic;
        for (auto t : {StockQueryType::Ycrk, StockQueryType::Ycck, StockQueryType::Ckrk, StockQueryType::Ycjy})
            QVERIFY(!stockquery::runQuery(test::OneAction().s(), stockquery::buildQuery(t, March1, March31, std::nullopt)));
    }

    void reportsAreReadBack_data()
    {
        QTest::addColumn<StockQueryType>("type");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QStringList>("row4"); // values of the first data row as written ("" empty)
        QTest::addColumn<QStringList>("formats"); // number format of each column's cells in row 4
        QTest::addColumn<QList<double>>("widths"); // 0: fitted to the content
        const QString amount = QStringLiteral("##,###,##0.00_ "), day = QStringLiteral("yyyy-mm-dd");
        const QString general = QStringLiteral("General");
        const QString d0301 = QString::number(QDate(1899, 12, 30).daysTo(March1));
        using T = StockQueryType;
        QTest::newRow("药品入库") << T::Ycrk << "2024-03-01 至 2024-03-31商品入库统计表.xlsx"
                              << QStringList{"药品名称", "进货时间", "货物产地", "货物来源", "药品批号 ", "有效期限", "进货数量",
                                             "进货金额", "进货经办", "进货验收"}
                              << QStringList{"奇'名%_", QString::number(d0301.toDouble() + 19.5, 'g', 17), "甘肃", "药材公司", "P1",
                                             QString::number(QDate(1899, 12, 30).daysTo(QDate(2026, 1, 31))), "5", "5", "张三",
                                             "李四"}
                              << QStringList{general, day, general, general, general, day, amount, amount, general, general}
                              << QList<double>{10, 10, 10, 10, 10, 10, 10, 10, 10, 10};
        QTest::newRow("药品出库") << T::Ycck << "2024-03-01 至 2024-03-31商品出库统计表.xlsx"
                              << QStringList{"病案号码", "病案序号", "出库时间", "药品名称", "摘要", "出库数量", "出库成本", "收款金额"}
                              << QStringList{"B001", "中医内科", QString::number(d0301.toDouble() + 9 + 9.5 / 24, 'g', 17), "甘草",
                                             "处方收款出库", "12", "0", "60"}
                              << QStringList{general, general, day, general, general, amount, amount, amount}
                              << QList<double>{10, 10, 10, 10, 14, 10, 0, 0};
        QTest::newRow("库存明细表") << T::Ckrk << "2024-03-01 至 2024-03-31商品入库出库统计表.xlsx"
                               << QStringList{"时间", "药品名称", "摘要", "入库数量", "入库金额", "出库数量", "出库成本", "收款金额"}
                               << QStringList{d0301, "甘草", "购进", "100", "300", "0", "0", "0"}
                               << QStringList{day, general, general, amount, amount, amount, amount, amount}
                               << QList<double>{10, 10, 10, 10, 14, 14, 14, 14};
        QTest::newRow("药品结余") << T::Ycjy << "2024-03-01 至 2024-03-31商品结余统计表.xlsx"
                              << QStringList{"药品名称", "结余数量", "结余金额"} << QStringList{"奇'名%_", "0", "5"}
                              << QStringList{general, amount, amount} << QList<double>{10, 10, 10};
    }
    void reportsAreReadBack()
    {
        QFETCH(StockQueryType, type);
        QFETCH(QString, file);
        QFETCH(QStringList, headers);
        QFETCH(QStringList, row4);
        QFETCH(QStringList, formats);
        QFETCH(QList<double>, widths);
        test::TempClinic clinic;
        journal(clinic);
        const auto q = stockquery::buildQuery(type, March1, March31, std::nullopt);
        const QString path = stockquery::writeReport(test::OneAction().s(), q, QStringLiteral("2024-03-01"), QStringLiteral("2024-03-31"));
        QCOMPARE(path, QDir(m_docs->path()).filePath(file));
        const auto x = test::readXlsx(path);
        QVERIFY(x.ok);
        const int rows = rowsOf(q, {0}).size();
        QCOMPARE(x.lastRow(), 3 + rows); // data from row 4, row 3 empty
        for (int c = 0; c < 12; ++c) {
            const QString col = columnLetters(c + 1);
            QVERIFY(!x.has(col + u'1') && !x.has(col + u'3'));
            QCOMPARE(x.text(col + u'2'), headers.value(c));
            if (c >= headers.size())
                continue;
            const QString ref = col + u'4';
            QCOMPARE(x.font(ref), qMakePair(QStringLiteral("宋体"), 9.0));
            QCOMPARE(x.numberFormat(ref), formats[c]);
            if (row4[c].toDouble() != 0 || row4[c] == QLatin1String("0")) {
                QVERIFY2(x.isNumber(ref), qPrintable(ref));
                QCOMPARE(x.number(ref), row4[c].toDouble());
            } else {
                QCOMPARE(x.text(ref), row4[c]);
            }
            const auto w = x.width(c + 1);
            QVERIFY2(w, qPrintable(col));
            if (widths[c] > 0)
                QVERIFY2(*w >= widths[c] && *w < widths[c] + 1, qPrintable(col));
        }
        QCOMPARE(x.font(QStringLiteral("A2")), qMakePair(QStringLiteral("宋体"), 9.0));
        if (type == StockQueryType::Ycck) // fitted: the widest amount "1,234,567.89 " would not fit 10
            QVERIFY(*x.width(8) > 7 && *x.width(8) < 10);
        if (type == StockQueryType::Ckrk) {
            QCOMPARE(x.number(QStringLiteral("E5")), 1234567.891);
            QCOMPARE(x.text(QStringLiteral("C6")), QStringLiteral("购进 "));
        }
    }

    void aReportReplacesOnlyItsOwnFile()
    {
        test::TempClinic clinic;
        journal(clinic);
        const QString start = QStringLiteral("2024-03-01"), end = QStringLiteral("2024-03-31");
        for (auto t : {StockQueryType::Ycck, StockQueryType::Ckrk, StockQueryType::Ycjy}) {
            QFile f(stockquery::reportFilePath(t, start, end));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("the user's file");
        }
        QFile old(stockquery::reportFilePath(StockQueryType::Ycrk, start, end));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an earlier report");
        old.close();
        stockquery::writeReport(test::OneAction().s(), stockquery::buildQuery(StockQueryType::Ycrk, March1, March31, QStringLiteral("黄芪")), start, end);
        QCOMPARE(test::readXlsx(old.fileName()).text(QStringLiteral("A4")), QStringLiteral("黄芪"));
        QCOMPARE(QDir(m_docs->path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
        for (auto t : {StockQueryType::Ycck, StockQueryType::Ckrk, StockQueryType::Ycjy}) {
            QFile f(stockquery::reportFilePath(t, start, end));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("the user's file"));
        }
    }

    void aFailedWriteKeepsThePreviousFile()
    {
        test::TempClinic clinic;
        journal(clinic);
        const auto q = stockquery::buildQuery(StockQueryType::Ycjy, March1, March31, std::nullopt);
        const QString start = QStringLiteral("2024-03-01"), end = QStringLiteral("2024-03-31");
        const QString path = stockquery::writeReport(test::OneAction().s(), q, start, end);
        const QByteArray before = test::unzipPart(path, QStringLiteral("xl/worksheets/sheet1.xml"));
        // The disk takes no new file (files are limited to 100 bytes, as on a full disk).
        try {
            test::FileSizeLimit full(100);
            stockquery::writeReport(test::OneAction().s(), q, start, end);
            QFAIL("written onto a full disk");
        } catch (const DbError &e) {
            QCOMPARE(e.number(), err::FileIo);
            QVERIFY(e.description().contains(QFileInfo(path).fileName()));
        }
        QCOMPARE(test::unzipPart(path, QStringLiteral("xl/worksheets/sheet1.xml")), before);
        QCOMPARE(QDir(m_docs->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(path).fileName()});

        // A documents folder that cannot be made.
        QFile plain(QDir(m_docs->path()).filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        Modutarnxt::setDocumentsPath(plain.fileName() + QStringLiteral("/我的文档"));
        try {
            stockquery::writeReport(test::OneAction().s(), q, start, end);
            QFAIL("written without a documents folder");
        } catch (const DbError &e) {
            QCOMPARE(e.number(), err::FileIo);
        }
    }

    void countSheetListsEveryBalance()
    {
        test::TempClinic clinic;
        journal(clinic);
        const auto path = countsheet::write(test::OneAction().s());
        QVERIFY(path);
        QCOMPARE(*path, QDir(m_docs->path()).filePath(QStringLiteral("药品盘点表.xlsx")));
        const auto x = test::readXlsx(*path);
        QVERIFY(x.ok);
        QCOMPARE((QStringList{x.text("A2"), x.text("B2"), x.text("C2"), x.text("D2")}),
                 (QStringList{"药品名称", "结余数量", "实余数量", "差异数量"}));
        QCOMPARE((QStringList{x.text("A4"), x.text("A5"), x.text("A6")}), (QStringList{"奇'名%_", "甘草", "黄芪"}));
        QCOMPARE(x.number(QStringLiteral("B4")), 0.0); // a zero balance is listed too
        QCOMPARE(x.number(QStringLiteral("B6")), 199.0);
        QCOMPARE(x.lastRow(), 6);
        for (const char *ref : {"B4", "B6", "C4", "C6"})
            QCOMPARE(x.numberFormat(QString::fromLatin1(ref)), QStringLiteral("##,###,##0.00_ "));
        QVERIFY(!x.isNumber(QStringLiteral("C5")) && x.has(QStringLiteral("C5"))); // empty, formatted
        QVERIFY(!x.has(QStringLiteral("D5")));
        for (int c = 1; c <= 3; ++c)
            QVERIFY(*x.width(c) >= 10 && *x.width(c) < 11);
        QVERIFY(!x.width(4));
        QCOMPARE(x.font(QStringLiteral("C5")), qMakePair(QStringLiteral("宋体"), 9.0));
        QCOMPARE(countsheet::write(test::OneAction().s()), path); // twice: replaced
    }

    void countSheetOfAnEmptyTableRemovesTheOldSheet()
    {
        test::TempClinic clinic;
        QFile old(countsheet::filePath());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        QVERIFY(!countsheet::write(test::OneAction().s()));
        QVERIFY(!QFile::exists(old.fileName()));
        QCOMPARE(countsheet::emptyTableMessage(), QStringLiteral("尚未发生药品购销业务"));
    }

    void aFailedCountSheetKeepsThePreviousOne()
    {
        test::TempClinic clinic;
        journal(clinic);
        const QString path = *countsheet::write(test::OneAction().s());
        clinic.open().exec(QStringLiteral("delete from ycyltb where ycbm = '黄芪'"));
        {
            test::FileSizeLimit full(100); // as on a full disk
            QVERIFY_THROWS_EXCEPTION(DbError, countsheet::write(test::OneAction().s()));
        }
        QCOMPARE(test::readXlsx(path).text(QStringLiteral("A6")), QStringLiteral("黄芪"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_docs;
};

QTEST_GUILESS_MAIN(TstStockQuery)
#include "tst_stockquery.moc"
