#include "core/modutarnxt.h"
#include "core/spreadsheet.h"
#include "tst_spreadsheet.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qh;

class TstSpreadsheet : public QObject {
    Q_OBJECT

private:
    static int errorOf(const std::function<void()> &f)
    {
        try {
            f();
        } catch (const DbError &e) {
            return e.number();
        }
        return 0;
    }

private slots:
    void addressesAndRanges()
    {
        QCOMPARE(parseCellAddress(QStringLiteral("a2")), (CellRef{2, 1}));
        QCOMPARE(parseCellAddress(QStringLiteral("D3000")), (CellRef{3000, 4}));
        QCOMPARE(parseCellAddress(QStringLiteral("$AA$10")), (CellRef{10, 27}));
        QCOMPARE(parseCellAddress(QStringLiteral("XFD1048576")), (CellRef{1048576, 16384}));
        for (const char *bad : {"", "2a", "A0", "A", "12", "XFE1", "A1048577", "A1:B2", "A-1"})
            QVERIFY2(!parseCellAddress(QString::fromLatin1(bad)), bad);

        const auto r = parseCellRange(QStringLiteral("d3000:b2"));
        QVERIFY(r);
        QCOMPARE(r->first, (CellRef{2, 2}));
        QCOMPARE(r->second, (CellRef{3000, 4}));
        QCOMPARE(parseCellRange(QStringLiteral("c7"))->second, (CellRef{7, 3}));
        QVERIFY(!parseCellRange(QStringLiteral("a1:b2:c3")));

        for (int col : {1, 26, 27, 52, 53, 702, 703, 16384})
            QCOMPARE(parseCellAddress(columnLetters(col) + QStringLiteral("1"))->col, col);
        QCOMPARE(columnLetters(28), QStringLiteral("AB"));

        Spreadsheet s;
        QCOMPARE(errorOf([&] { s.setText(QStringLiteral("1a"), QStringLiteral("x")); }), err::Misuse);
        QCOMPARE(errorOf([&] { s.setNumber(0, 1, 1); }), err::Misuse);
        QCOMPARE(errorOf([&] { s.clear(QStringLiteral("b2:")); }), err::Misuse);
        QCOMPARE(errorOf([&] { s.setColumnWidth(1, 300); }), err::Misuse);
    }

    void valuesClearAndWidthsInMemory()
    {
        Spreadsheet s;
        s.setText(QStringLiteral("b2"), QStringLiteral("药品名称"));
        s.setNumber(3, 2, 12.5);
        s.setMoney(4, 2, Money::fromCents(123450));
        s.setNumberFormat(4, 2, QStringLiteral("#,##0.00_ "));
        s.setText(4, 1, QStringLiteral("keep"));
        QCOMPARE(s.text(2, 2), QStringLiteral("药品名称"));
        QCOMPARE(*s.number(3, 2), 12.5);
        QCOMPARE(*s.number(4, 2), 1234.5);
        QVERIFY(!s.number(2, 2));
        QCOMPARE(s.lastRow(), 4);
        QCOMPARE(s.lastCol(), 2);

        // Clearing empties values inside the range only; formats stay.
        s.clear(QStringLiteral("b2:d3000"));
        QVERIFY(std::holds_alternative<std::monostate>(s.value(2, 2)));
        QVERIFY(!s.number(4, 2));
        QCOMPARE(s.numberFormat(4, 2), QStringLiteral("#,##0.00_ "));
        QCOMPARE(s.text(4, 1), QStringLiteral("keep"));
        QCOMPARE(s.lastRow(), 4);
        QCOMPARE(s.lastCol(), 1);

        // Auto-fit follows the content; East Asian text takes two places a character.
        s.setText(5, 3, QStringLiteral("abcd"));
        s.setText(5, 4, QStringLiteral("药品药品"));
        s.autoFitColumn(3);
        s.autoFitColumn(4);
        QVERIFY(s.columnWidth(3));
        QVERIFY(*s.columnWidth(4) > *s.columnWidth(3) * 1.5);
        s.setFont(QStringLiteral("宋体 "), 22);
        QVERIFY(*s.columnWidth(4) > 8 * 1.9); // a larger font makes a wider column
        QCOMPARE(s.fontName(), QStringLiteral("宋体"));
        // A width set afterwards overrides the fit; an empty column keeps the default.
        s.setColumnWidth(4, 9);
        QCOMPARE(*s.columnWidth(4), 9.0);
        s.autoFitColumn(7);
        QVERIFY(!s.columnWidth(7));
        QVERIFY(!s.columnWidth(8));

        // Dates are day numbers with a date format of their own.
        s.setDate(6, 1, QDateTime(QDate(2002, 8, 19), QTime(0, 0)));
        QCOMPARE(*s.number(6, 1), 37487.0);
        QCOMPARE(s.numberFormat(6, 1), QStringLiteral("yyyy-mm-dd"));
        s.setDate(7, 1, QDateTime(QDate(1900, 3, 1), QTime(12, 0)));
        QCOMPARE(*s.number(7, 1), 61.5);
    }

    void savedFileCarriesCellsFormatsFontAndWidths()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("报表.xlsx"));
        Spreadsheet s;
        s.setText(QStringLiteral("a2"), QStringLiteral("药品编码"));
        s.setText(QStringLiteral("B2"), QStringLiteral("It's \"quoted\" & <tagged>"));
        s.setText(5, 1, QStringLiteral("0001"));
        s.setMoney(5, 3, Money::fromCents(123450));
        s.setNumberFormat(5, 3, QStringLiteral("#,##0.00_ "));
        s.setNumberFormat(6, 3, QStringLiteral("##,###,##0.00_ ")); // formatted but empty
        s.setDate(5, 4, QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
        s.setNumber(7, 2, -0.25);
        s.setFont(QStringLiteral("宋体 "), 9);
        s.setColumnWidth(1, 8.8);
        s.setColumnWidth(2, 20);
        s.save(path);

        const auto x = test::readXlsx(path);
        QVERIFY(x.ok);
        QCOMPARE(x.text(QStringLiteral("A2")), QStringLiteral("药品编码"));
        QCOMPARE(x.text(QStringLiteral("B2")), QStringLiteral("It's \"quoted\" & <tagged>"));
        QCOMPARE(x.text(QStringLiteral("A5")), QStringLiteral("0001"));
        QVERIFY(!x.isNumber(QStringLiteral("A5"))); // codes stay texts
        QVERIFY(x.isNumber(QStringLiteral("C5")));
        QCOMPARE(x.number(QStringLiteral("C5")), 1234.5);
        QCOMPARE(x.numberFormat(QStringLiteral("C5")), QStringLiteral("#,##0.00_ "));
        QVERIFY(x.has(QStringLiteral("C6")));
        QCOMPARE(x.numberFormat(QStringLiteral("C6")), QStringLiteral("##,###,##0.00_ "));
        QCOMPARE(x.number(QStringLiteral("D5")), double(QDate(1899, 12, 30).daysTo(QDate(2024, 3, 5))));
        QCOMPARE(x.numberFormat(QStringLiteral("D5")), QStringLiteral("yyyy-mm-dd"));
        QCOMPARE(x.number(QStringLiteral("B7")), -0.25);
        QCOMPARE(x.numberFormat(QStringLiteral("A2")), QStringLiteral("General"));
        for (const char *ref : {"A2", "B2", "A5", "C5", "C6", "D5"}) {
            QCOMPARE(x.font(QString::fromLatin1(ref)).first, QStringLiteral("宋体"));
            QCOMPARE(x.font(QString::fromLatin1(ref)).second, 9.0);
        }
        QCOMPARE(x.fonts.value(0).first, QStringLiteral("宋体")); // the normal style too
        // The file's widths carry the spreadsheet's padding: at least the width asked for, less than one more.
        QVERIFY(x.width(1) && *x.width(1) >= 8.8 && *x.width(1) < 9.8);
        QVERIFY(x.width(2) && *x.width(2) >= 20 && *x.width(2) < 21);
        QVERIFY(!x.width(3));
        QCOMPARE(x.lastRow(), 7);
    }

    void saveReplacesAnExistingFileAndLeavesNothingBehind()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("药品盘点表.xlsx"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("an older sheet");
        }
        Spreadsheet s;
        s.setText(1, 1, QStringLiteral("新"));
        s.save(path);
        QCOMPARE(test::readXlsx(path).text(QStringLiteral("A1")), QStringLiteral("新"));
        Spreadsheet t;
        t.setText(1, 1, QStringLiteral("再新"));
        t.save(path);
        QCOMPARE(test::readXlsx(path).text(QStringLiteral("A1")), QStringLiteral("再新"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("药品盘点表.xlsx")});
    }

    void writeFailuresAreFileErrorsAndKeepTheOldFile()
    {
        QTemporaryDir dir;
        Spreadsheet s;
        s.setText(1, 1, QStringLiteral("x"));
        try {
            s.save(dir.filePath(QStringLiteral("missing/报表.xlsx")));
            QFAIL("saved into a missing folder");
        } catch (const DbError &e) {
            QCOMPARE(e.number(), err::FileIo);
            QVERIFY(e.description().contains(QStringLiteral("missing")));
        }
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("a folder.xlsx"))));
        QCOMPARE(errorOf([&] { s.save(dir.filePath(QStringLiteral("a folder.xlsx"))); }), err::FileIo);
        QCOMPARE(errorOf([&] { s.save(QString()); }), err::FileIo);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});

        // A failure inside the writer keeps the previous file as it was.
        const QString path = dir.filePath(QStringLiteral("报表.xlsx"));
        s.save(path);
        Spreadsheet tooLong;
        tooLong.setText(1, 1, QString(32768, u'x'));
        try {
            tooLong.save(path);
            QFAIL("a cell beyond the format's limit was written");
        } catch (const DbError &e) {
            QCOMPARE(e.number(), err::FileIo);
            QVERIFY(e.description().contains(QStringLiteral("32767")));
        }
        QCOMPARE(test::readXlsx(path).text(QStringLiteral("A1")), QStringLiteral("x"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("报表.xlsx")});
    }

    void rowsWrittenInAnyOrderAreSavedInOrder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("乱序.xlsx"));
        Spreadsheet s;
        s.setText(5, 3, QStringLiteral("c5"));
        s.setText(2, 2, QStringLiteral("b2"));
        s.setText(5, 1, QStringLiteral("a5"));
        s.setNumber(3, 4, 3.5);
        s.setText(2, 1, QStringLiteral("a2"));
        s.setNumberFormat(4, 2, QStringLiteral("0.0"));
        s.setNumberFormat(4, 2, QString()); // back to General and empty: gone
        s.save(path);
        const auto x = test::readXlsx(path);
        QCOMPARE(x.cells.keys(), (QStringList{"A2", "A5", "B2", "C5", "D3"}));
        QCOMPARE(x.text(QStringLiteral("C5")), QStringLiteral("c5"));
        QCOMPARE(x.number(QStringLiteral("D3")), 3.5);
        const QByteArray xml = test::unzipPart(path, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY(xml.indexOf("r=\"A2\"") < xml.indexOf("r=\"B2\""));
        QVERIFY(xml.indexOf("r=\"D3\"") < xml.indexOf("r=\"A5\""));
        QVERIFY(xml.indexOf("r=\"A5\"") < xml.indexOf("r=\"C5\""));
    }

    void aStreamedSheetGoesIntoTheFileRowByRow()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("逐行.xlsx"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("older");
        }
        auto write = [](Spreadsheet &s) {
            s.setFont(QStringLiteral("宋体 "), 10);
            s.clear(QStringLiteral("b2:k3000"));
            s.setText(QStringLiteral("a2"), QStringLiteral("药品名称"));
            s.setFont(QStringLiteral("宋体 "), 9);
            for (int r = 4; r < 1004; ++r) {
                s.setText(r, 1, QStringLiteral("药%1").arg(r));
                s.autoFitColumn(1);
                s.setMoney(r, 2, Money::fromCents(r * 100000));
                s.autoFitColumn(2);
                s.setDate(r, 3, QDate(2024, 3, 1), 3600000);
                s.setNumberFormat(r, 2, QStringLiteral("##,###,##0.00_ "));
                s.setNumberFormat(r, 3, QStringLiteral("yyyy-mm-dd"));
                s.setColumnWidth(3, 10);
            }
        };
        auto s = Spreadsheet::streamingTo(path);
        QVERIFY(s.isStreaming());
        write(s);
        // Rows before the last one are in the file: they are neither changed nor held any more.
        QCOMPARE(errorOf([&] { s.setText(4, 1, QStringLiteral("x")); }), err::Misuse);
        QCOMPARE(errorOf([&] { s.clear(QStringLiteral("a1:a5")); }), err::Misuse);
        QCOMPARE(errorOf([&] { s.setFont(QStringLiteral("宋体"), 12); }), err::Misuse);
        QCOMPARE(errorOf([&] { s.save(path); }), err::Misuse);
        QVERIFY(!s.number(4, 2));
        QCOMPARE(*s.number(1003, 2), 1003000.0);
        QCOMPARE(s.lastRow(), 1003);
        QCOMPARE(*s.columnWidth(2), 13 * 9 / 11.0 + 0.75); // "1,003,000.00 " measured as it went
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("older")); // replaced only when complete
        }
        s.finish();
        QVERIFY(!s.isStreaming());
        const auto x = test::readXlsx(path);
        QCOMPARE(x.text(QStringLiteral("A2")), QStringLiteral("药品名称"));
        QCOMPARE(x.text(QStringLiteral("A1003")), QStringLiteral("药1003"));
        QCOMPARE(x.number(QStringLiteral("B1003")), 1003000.0);
        QCOMPARE(x.number(QStringLiteral("C4")), double(QDate(1899, 12, 30).daysTo(QDate(2024, 3, 1))) + 1 / 24.0);
        QCOMPARE(x.numberFormat(QStringLiteral("B4")), QStringLiteral("##,###,##0.00_ "));
        QCOMPARE(x.numberFormat(QStringLiteral("C1003")), QStringLiteral("yyyy-mm-dd"));
        QCOMPARE(x.font(QStringLiteral("C4")), qMakePair(QStringLiteral("宋体"), 9.0));
        QVERIFY(*x.width(1) > 8 * 9 / 11.0 && *x.width(1) < 9); // the header "药品名称" is the widest
        QVERIFY(*x.width(3) >= 10 && *x.width(3) < 11);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("逐行.xlsx")});

        // The same sheet built in memory and saved gives the same worksheet.
        Spreadsheet m;
        write(m);
        const QString other = dir.filePath(QStringLiteral("内存.xlsx"));
        m.save(other);
        QCOMPARE(test::unzipPart(other, QStringLiteral("xl/worksheets/sheet1.xml")),
                 test::unzipPart(path, QStringLiteral("xl/worksheets/sheet1.xml")));
    }

    void anUnfinishedOrFailedStreamKeepsThePreviousFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("报表.xlsx"));
        Spreadsheet first;
        first.setText(1, 1, QStringLiteral("前"));
        first.save(path);
        {
            auto s = Spreadsheet::streamingTo(path);
            s.setText(1, 1, QStringLiteral("x"));
            s.setText(2, 1, QStringLiteral("y"));
        } // given up
        {
            auto s = Spreadsheet::streamingTo(path);
            s.setText(1, 1, QStringLiteral("x"));
            s.setText(2, 1, QString(32768, u'x'));
            try {
                s.setText(3, 1, QStringLiteral("z")); // row 2 goes to the file and fails
                QFAIL("a cell beyond the format's limit was written");
            } catch (const DbError &e) {
                QCOMPARE(e.number(), err::FileIo);
                QVERIFY(e.description().contains(QStringLiteral("32767")));
            }
        }
        QCOMPARE(test::readXlsx(path).text(QStringLiteral("A1")), QStringLiteral("前"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("报表.xlsx")});
        QCOMPARE(errorOf([&] { Spreadsheet::streamingTo(dir.filePath(QStringLiteral("missing/a.xlsx"))); }), err::FileIo);
    }

    void documentsFolderAndReportNames()
    {
        QTemporaryDir dir;
        const QString docs = dir.filePath(QStringLiteral("home/文档"));
        qh::Modutarnxt::setDocumentsPath(docs);
        QVERIFY(!QDir(docs).exists());
        QCOMPARE(documentsFolder(), QDir(docs).absolutePath());
        QVERIFY(QDir(docs).exists()); // created when missing
        QCOMPARE(documentFilePath(QStringLiteral("药品盘点表.xls")), QDir(docs).filePath(QStringLiteral("药品盘点表.xlsx")));
        QCOMPARE(documentFilePath(QStringLiteral("2002-01-01 至 2002-08-19商品入库统计表.xls")),
                 QDir(docs).filePath(QStringLiteral("2002-01-01 至 2002-08-19商品入库统计表.xlsx")));
        QCOMPARE(documentFilePath(QStringLiteral("药品编码名称对照表")), QDir(docs).filePath(QStringLiteral("药品编码名称对照表.xlsx")));

        // A folder that cannot be made is a file error.
        QFile blocker(dir.filePath(QStringLiteral("plain-file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qh::Modutarnxt::setDocumentsPath(dir.filePath(QStringLiteral("plain-file/docs")));
        QCOMPARE(errorOf([] { documentsFolder(); }), err::FileIo);

        // removeExistingFile: absent is fine, present goes, a folder is refused.
        qh::Modutarnxt::setDocumentsPath(docs);
        const QString f = QDir(docs).filePath(QStringLiteral("a.xlsx"));
        removeExistingFile(f);
        QFile(f).open(QIODevice::WriteOnly);
        QVERIFY(QFile::exists(f));
        removeExistingFile(f);
        QVERIFY(!QFile::exists(f));
        QCOMPARE(errorOf([&] { removeExistingFile(docs); }), err::FileIo);
        qh::Modutarnxt::setDocumentsPath(QString());
    }
};

QTEST_GUILESS_MAIN(TstSpreadsheet)
#include "tst_spreadsheet.moc"
