// The worklist's logic: the days of "today", "this week" and the month across month and year
// ends and 29 February, when a follow-up is overdue, what a row holds and in which order, the
// checks of the range boxes, the printed list (its text read back from the PDF) and the
// workbook.
#include "../core/tst_spreadsheet.h"
#include "base/textutil.h"
#include "clinic/printing.h"
#include "core/modutarnxt.h"
#include "core/spreadsheet.h"
#include "query/followups.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>
#include <QtTest>

#include "followupfixtures.h"

using namespace qh;
using namespace qh::query;
namespace fx = qh::query::followup;

namespace {

QDate day(const char *text) { return *parseDateText(QString::fromLatin1(text)); }
QDateTime at(const char *text) { return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm")); }

QStringList caseNumbers(const std::vector<FollowUpRow> &rows)
{
    QStringList l;
    for (const FollowUpRow &r : rows)
        l << r.blbm;
    return l;
}

QString run(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable(tool), args);
    if (!p.waitForFinished(30000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TstFollowUps : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_documents; // where the PDFs and workbooks go

private slots:
    void init()
    {
        m_documents = std::make_unique<QTemporaryDir>();
        Modutarnxt::setDocumentsPath(m_documents->path());
    }
    void cleanup()
    {
        Modutarnxt::setDocumentsPath(QString());
        m_documents.reset();
    }

    void weekRunsMondayToSunday_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("monday");
        QTest::addColumn<QDate>("sunday");
        QTest::newRow("leap day, a Thursday") << day("2024-02-29") << day("2024-02-26") << day("2024-03-03");
        QTest::newRow("the day after the leap day") << day("2024-03-01") << day("2024-02-26") << day("2024-03-03");
        QTest::newRow("a Monday starts its week") << day("2024-03-04") << day("2024-03-04") << day("2024-03-10");
        QTest::newRow("year end, a Tuesday") << day("2024-12-31") << day("2024-12-30") << day("2025-01-05");
        QTest::newRow("new year's day") << day("2025-01-01") << day("2024-12-30") << day("2025-01-05");
        QTest::newRow("a Sunday ends its week") << day("2023-01-01") << day("2022-12-26") << day("2023-01-01");
        QTest::newRow("no leap day in 2100") << day("2100-02-28") << day("2100-02-22") << day("2100-02-28");
    }
    void weekRunsMondayToSunday()
    {
        QFETCH(QDate, today);
        QFETCH(QDate, monday);
        QFETCH(QDate, sunday);
        QCOMPARE(weekOf(today), (DaySpan{monday, sunday}));
        QCOMPARE(FollowUps::spanOf(FollowUpGroup::Week, today), (DaySpan{monday, sunday}));
    }

    void monthOfADay_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QDate>("last");
        QTest::newRow("February of a leap year") << day("2024-02-10") << day("2024-02-29");
        QTest::newRow("February of another year") << day("2023-02-28") << day("2023-02-28");
        QTest::newRow("2000 is a leap year") << day("2000-02-01") << day("2000-02-29");
        QTest::newRow("2100 is not") << day("2100-02-15") << day("2100-02-28");
        QTest::newRow("December") << day("2024-12-31") << day("2024-12-31");
        QTest::newRow("a month of 30 days") << day("2024-04-30") << day("2024-04-30");
    }
    void monthOfADay()
    {
        QFETCH(QDate, day);
        QFETCH(QDate, last);
        QCOMPARE(monthOf(day), (DaySpan{QDate(day.year(), day.month(), 1), last}));
    }

    // Which groups a follow-up due on a day falls into, as of a day.
    void groupsOfADueDay_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("due");
        QTest::addColumn<bool>("isToday");
        QTest::addColumn<bool>("inWeek");
        QTest::addColumn<bool>("overdue");
        QTest::newRow("due today") << day("2024-02-29") << day("2024-02-29") << true << true << false;
        QTest::newRow("Monday of the week, past") << day("2024-02-29") << day("2024-02-26") << false << true << true;
        QTest::newRow("Sunday of the week, across the month end") << day("2024-02-29") << day("2024-03-03") << false << true << false;
        QTest::newRow("next Monday") << day("2024-02-29") << day("2024-03-04") << false << false << false;
        QTest::newRow("Sunday before") << day("2024-02-29") << day("2024-02-25") << false << false << true;
        QTest::newRow("leap day, seen the day after") << day("2024-03-01") << day("2024-02-29") << false << true << true;
        QTest::newRow("week across the year end") << day("2024-12-31") << day("2025-01-05") << false << true << false;
        QTest::newRow("after it") << day("2024-12-31") << day("2025-01-06") << false << false << false;
        QTest::newRow("year end, seen on new year's day") << day("2025-01-01") << day("2024-12-31") << false << true << true;
        QTest::newRow("a year ago") << day("2025-01-01") << day("2024-01-01") << false << false << true;
    }
    void groupsOfADueDay()
    {
        QFETCH(QDate, today);
        QFETCH(QDate, due);
        QFETCH(bool, isToday);
        QFETCH(bool, inWeek);
        QFETCH(bool, overdue);
        test::TempClinic clinic;
        auto s = clinic.open();
        fx::addPatient(s, QStringLiteral("000001"), QStringLiteral("张三"));
        // Set at a visit in the evening a week before.
        fx::addFollowUp(s, QStringLiteral("000001"), QStringLiteral("内科"), QDateTime(due.addDays(-7), QTime(18, 30)), due);
        const FollowUpCounts c = FollowUps::counts(s, today);
        QCOMPARE(c, (FollowUpCounts{isToday ? 1 : 0, inWeek ? 1 : 0, overdue ? 1 : 0}));
        QCOMPARE(FollowUps::read(s, today, FollowUpGroup::Today).rows.size(), size_t(isToday));
        QCOMPARE(FollowUps::read(s, today, FollowUpGroup::Week).rows.size(), size_t(inWeek));
        QCOMPARE(FollowUps::read(s, today, FollowUpGroup::Overdue).rows.size(), size_t(overdue));
        QCOMPARE(FollowUps::read(s, today, FollowUpGroup::Week).counts, c);
    }

    // A follow-up stops being overdue when the case has a visit on or after its due day.
    void overdueEndsWithALaterVisit_data()
    {
        QTest::addColumn<QString>("visitCase");
        QTest::addColumn<QDateTime>("visit"); // another visit, none when invalid
        QTest::addColumn<bool>("overdue");
        QTest::addColumn<QString>("state");
        // Due 2024-02-20, today 2024-02-29.
        QTest::newRow("no other visit") << "000001" << QDateTime() << true << "逾期";
        QTest::newRow("on the due day, early morning") << "000001" << at("2024-02-20 00:00") << false << "已复诊";
        QTest::newRow("on the due day, evening") << "000001" << at("2024-02-20 23:59") << false << "已复诊";
        QTest::newRow("the evening before") << "000001" << at("2024-02-19 23:59") << true << "逾期";
        QTest::newRow("later, another department") << "000001" << at("2024-02-25 09:00") << false << "已复诊";
        QTest::newRow("today") << "000001" << at("2024-02-29 08:00") << false << "已复诊";
        QTest::newRow("later, another case") << "000002" << at("2024-02-25 09:00") << true << "逾期";
    }
    void overdueEndsWithALaterVisit()
    {
        QFETCH(QString, visitCase);
        QFETCH(QDateTime, visit);
        QFETCH(bool, overdue);
        QFETCH(QString, state);
        const QDate today = day("2024-02-29");
        test::TempClinic clinic;
        auto s = clinic.open();
        fx::addPatient(s, QStringLiteral("000001"), QStringLiteral("张三"));
        fx::addPatient(s, QStringLiteral("000002"), QStringLiteral("李四"));
        fx::addFollowUp(s, QStringLiteral("000001"), QStringLiteral("内科"), at("2024-02-13 10:00"), day("2024-02-20"));
        if (visit.isValid())
            fx::addVisit(s, visitCase, QStringLiteral("针灸科"), visit);
        const Worklist w = FollowUps::read(s, today, FollowUpGroup::Overdue);
        QCOMPARE(w.counts.overdue, qsizetype(overdue));
        QCOMPARE(caseNumbers(w.rows), overdue ? QStringList{QStringLiteral("000001")} : QStringList{});
        // The week's and a range's lists show the same state.
        const Worklist range = FollowUps::read(s, today, FollowUpGroup::Range, {day("2024-02-20"), day("2024-02-20")});
        QCOMPARE(range.rows.size(), size_t(1));
        QCOMPARE(FollowUps::stateText(range.rows[0], today), state);
        QCOMPARE(FollowUps::read(s, today, FollowUpGroup::Week).rows.size(), size_t(0));
    }

    // A follow-up due today is not overdue; one seen today already shows as seen.
    void dueTodayIsNotOverdue()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        fx::addPatient(s, QStringLiteral("000001"), QStringLiteral("张三"));
        fx::addFollowUp(s, QStringLiteral("000001"), QStringLiteral("内科"), at("2024-02-22 10:00"), day("2024-02-29"));
        Worklist w = FollowUps::read(s, day("2024-02-29"), FollowUpGroup::Today);
        QCOMPARE(FollowUps::stateText(w.rows.at(0), day("2024-02-29")), QString());
        fx::addVisit(s, QStringLiteral("000001"), QStringLiteral("内科"), at("2024-02-29 09:15"));
        w = FollowUps::read(s, day("2024-02-29"), FollowUpGroup::Today);
        QCOMPARE(FollowUps::stateText(w.rows.at(0), day("2024-02-29")), QStringLiteral("已复诊"));
        QCOMPARE(w.counts, (FollowUpCounts{1, 1, 0}));
    }

    // The row: the patient, the visit that set the follow-up and its plan's first line; by due
    // day, then case number as the database orders it, then the visit's time. Both ends of a
    // range are included, whatever the stored time of day.
    void rowsHoldThePatientAndTheVisitInDueOrder()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        fx::addPatient(s, QStringLiteral("b2"), QStringLiteral("王五"), QStringLiteral("男"), 67, QStringLiteral(" 0571-8888 "));
        fx::addPatient(s, QStringLiteral("A1"), QStringLiteral("赵六"), QStringLiteral("女"), 8);
        fx::addFollowUp(s, QStringLiteral("b2"), QStringLiteral("内科"), at("2024-03-01 09:30"), day("2024-03-08"),
                        QStringLiteral("\r\n  平肝潜阳，\r\n天麻10克"), QStringLiteral("王淑华"));
        fx::addFollowUp(s, QStringLiteral("A1"), QStringLiteral("儿科"), at("2024-03-02 10:00"), day("2024-03-08"));
        fx::addFollowUp(s, QStringLiteral("A1"), QStringLiteral("内科"), at("2024-02-01 08:00"), day("2024-03-01"));
        fx::addFollowUp(s, QStringLiteral("A1"), QStringLiteral("外科"), at("2024-02-25 08:00"), day("2024-03-31"));
        // A case without its patient record still shows, with what the follow-up knows.
        fx::addFollowUp(s, QStringLiteral("c3"), QStringLiteral("外科"), at("2024-03-01 11:00"), day("2024-03-15"));
        // Outside the range by a day on either side.
        fx::addFollowUp(s, QStringLiteral("c3"), QStringLiteral("内科"), at("2024-02-20 11:00"), day("2024-02-29"));
        fx::addFollowUp(s, QStringLiteral("c3"), QStringLiteral("儿科"), at("2024-03-25 11:00"), day("2024-04-01"));

        const QDate today = day("2024-03-04");
        const Worklist w = FollowUps::read(s, today, FollowUpGroup::Range, monthOf(day("2024-03-20")));
        QCOMPARE(caseNumbers(w.rows), (QStringList{"A1", "A1", "b2", "c3", "A1"}));
        QCOMPARE(w.rows[0].due, day("2024-03-01"));
        const FollowUpRow &r = w.rows[2];
        QCOMPARE(FollowUps::cells(r, today),
                 (QStringList{"2024-03-08", "b2", "王五", "男", "67", "0571-8888", "内科", "王淑华", "2024-03-01", "",
                              "平肝潜阳，"}));
        QCOMPARE(r.visitTime, QStringLiteral("2024-03-01 09:30:00"));
        QCOMPARE(w.rows[1].dept, QStringLiteral("儿科"));
        const FollowUpRow &orphan = w.rows[3];
        QCOMPARE(FollowUps::cells(orphan, today),
                 (QStringList{"2024-03-15", "c3", "", "", "", "", "外科", "李明德", "2024-03-01", "", "辛温解表"}));
        // Both follow-ups due before today were followed by visits of their cases (03-02 and 03-01).
        QCOMPARE(FollowUps::stateText(w.rows[0], today), QStringLiteral("已复诊"));
        QCOMPARE(w.counts, (FollowUpCounts{0, 2, 0})); // the week 03-04 to 03-10
    }

    void firstLineOfAPlan_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("empty") << "" << "";
        QTest::newRow("one line") << "辛温解表" << "辛温解表";
        QTest::newRow("CR LF") << "辛温解表\r\n宣肺止咳" << "辛温解表";
        QTest::newRow("LF, blanks around") << "  辛温解表 \n宣肺" << "辛温解表";
        QTest::newRow("empty lines first") << "\r\n \r\n\r宣肺止咳\r\n" << "宣肺止咳";
        QTest::newRow("blanks only") << " \r\n  " << "";
    }
    void firstLineOfAPlan()
    {
        QFETCH(QString, text);
        QFETCH(QString, line);
        QCOMPARE(FollowUps::firstLine(text), line);
    }

    void rangeBoxes_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("field");
        QTest::newRow("both days") << "2024-02-01" << "2024-02-29" << "" << -1;
        QTest::newRow("one day") << "2024-02-29" << "2024-02-29" << "" << -1;
        QTest::newRow("no 29 February in 2023") << "2023-02-29" << "2023-03-31" << "查询起始时间输入错误" << 0;
        QTest::newRow("start partly typed") << "2024-02-2" << "2024-03-31" << "查询起始时间输入错误" << 0;
        QTest::newRow("end impossible") << "2024-02-01" << "2024-13-01" << "查询截止时间输入错误" << 1;
        QTest::newRow("end before start") << "2024-03-01" << "2024-02-29" << "截止时间不能小于起始时间" << 1;
    }
    void rangeBoxes()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, message);
        QFETCH(int, field);
        const auto r = FollowUps::checkRange(start, end);
        QCOMPARE(r ? r->message : QString(), message);
        if (r) {
            QCOMPARE(int(r->field), field);
            QCOMPARE(r->select, Select::head(10));
        } else {
            QCOMPARE(FollowUps::rangeOf(start, end), (DaySpan{*parseDateText(start), *parseDateText(end)}));
        }
    }

    void textsOfTheCountsAndPeriods()
    {
        QCOMPARE(FollowUps::countsText({3, 12, 5}), QStringLiteral("今日 3　本周 12　逾期 5"));
        const QDate today = day("2024-02-29");
        QCOMPARE(FollowUps::periodText(FollowUpGroup::Today, today), QStringLiteral("今日 2024-02-29"));
        QCOMPARE(FollowUps::periodText(FollowUpGroup::Week, today), QStringLiteral("本周 2024-02-26 至 2024-03-03"));
        QCOMPARE(FollowUps::periodText(FollowUpGroup::Overdue, today), QStringLiteral("逾期（2024-02-29 以前）"));
        QCOMPARE(FollowUps::periodText(FollowUpGroup::Range, today, monthOf(today)),
                 QStringLiteral("2024-02-01 至 2024-02-29"));
    }

    // The printed list as the PDF holds it: title and period on every page, the four columns of
    // each row, the page numbers; a long list goes on as many pages as it needs.
    void printedListGoesOverPages()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed (poppler-utils)");
        test::TempClinic clinic;
        WorklistPrint doc;
        doc.unit = QStringLiteral("青禾诊所");
        doc.period = QStringLiteral("本周 2024-02-26 至 2024-03-03");
        doc.printed = day("2024-02-29");
        const int n = FollowUps::rowsPerPage() + 2;
        for (int i = 0; i < n; ++i) {
            FollowUpRow r;
            r.blbm = QStringLiteral("2024%1").arg(i + 1, 4, 10, QChar(u'0'));
            r.name = QStringLiteral("患者%1").arg(i + 1);
            r.telephone = QStringLiteral("1390000%1").arg(i + 1, 4, 10, QChar(u'0'));
            r.due = day("2024-02-26").addDays(i % 7);
            doc.rows.push_back(r);
        }
        doc.rows.back().telephone = QStringLiteral("0571-88886666 转 1234 或 13900001111（白天）请先发短信说明");
        const QString pdf = FollowUps::pdfPath(doc);
        QVERIFY(pdf.endsWith(QStringLiteral("/复诊随访表-本周 2024-02-26 至 2024-03-03.pdf")));
        const clinic::PrintResult r = clinic::printDocument(FollowUps::printTitle(), FollowUps::printPageSize(), pdf, nullptr,
                                                            [&doc](QPainter &p) { FollowUps::drawList(p, doc); });
        QVERIFY2(r.ok, qPrintable(r.failure));
        QCOMPARE(r.pdfPath, pdf);
        QVERIFY(run(QStringLiteral("pdfinfo"), {pdf}).contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))));
        const QStringList pages = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
                                      .split(u'\f', Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), 2);
        for (int p = 0; p < 2; ++p) {
            QVERIFY(pages[p].contains(QStringLiteral("青禾诊所复诊随访表")));
            QVERIFY(pages[p].contains(doc.period));
            QVERIFY(pages[p].contains(QStringLiteral("打印时间：2024-02-29")));
            QVERIFY(pages[p].contains(QStringLiteral("病历编号")));
            QVERIFY(pages[p].contains(QStringLiteral("第 %1 页 共 2 页").arg(p + 1)));
        }
        // Every row once, on its page, its four columns on one line.
        for (int i = 0; i < n; ++i) {
            const FollowUpRow &row = doc.rows[size_t(i)];
            const QString &page = pages[i < FollowUps::rowsPerPage() ? 0 : 1];
            const QRegularExpression line(QRegularExpression::escape(row.blbm) + QStringLiteral("\\s+") +
                                          QRegularExpression::escape(row.name) + QStringLiteral("\\s+\\S.*\\s+") +
                                          QRegularExpression::escape(dateText(row.due)));
            QVERIFY2(page.contains(line), qPrintable(row.blbm));
            QCOMPARE(pages.join(QString()).count(row.blbm), 1);
        }
        // A telephone too wide for its column is cut with "…".
        QVERIFY(pages[1].contains(QStringLiteral("0571-88886666")));
        QVERIFY(pages[1].contains(QStringLiteral("…")));
        QVERIFY(!pages[1].contains(QStringLiteral("请先发短信说明")));
    }

    void workbookHoldsTheList()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        fx::addPatient(s, QStringLiteral("000001"), QStringLiteral("张三"), QStringLiteral("男"), 30);
        fx::addFollowUp(s, QStringLiteral("000001"), QStringLiteral("内科"), at("2024-02-22 10:00"), day("2024-02-29"),
                        QStringLiteral("辛温解表\r\n宣肺"));
        fx::addFollowUp(s, QStringLiteral("c2"), QStringLiteral("外科"), at("2024-02-01 10:00"), day("2024-02-08"));
        const QDate today = day("2024-02-29");
        const Worklist w = FollowUps::read(s, today, FollowUpGroup::Range, monthOf(today));
        const QString path = FollowUps::writeWorkbook(w.rows, FollowUps::periodText(FollowUpGroup::Range, today, monthOf(today)), today);
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("复诊随访表-2024-02-01 至 2024-02-29.xlsx"));
        const test::XlsxSheet x = test::readXlsx(path);
        QVERIFY(x.ok);
        QCOMPARE(x.text(QStringLiteral("A1")), QStringLiteral("复诊随访表  2024-02-01 至 2024-02-29"));
        const QStringList headers = FollowUps::columnHeaders();
        for (int c = 0; c < int(headers.size()); ++c)
            QCOMPARE(x.text(columnLetters(c + 1) + u'2'), headers[c]);
        // Dates as dates, the age as a number, texts as shown.
        QVERIFY(x.isNumber(QStringLiteral("A3")));
        QCOMPARE(x.number(QStringLiteral("A3")), double(QDate(1899, 12, 30).daysTo(day("2024-02-08"))));
        QCOMPARE(x.text(QStringLiteral("B3")), QStringLiteral("c2"));
        QVERIFY(!x.has(QStringLiteral("C3"))); // no patient record
        QCOMPARE(x.text(QStringLiteral("J3")), QStringLiteral("逾期"));
        QCOMPARE(x.text(QStringLiteral("B4")), QStringLiteral("000001"));
        QCOMPARE(x.number(QStringLiteral("E4")), 30.0);
        QCOMPARE(x.number(QStringLiteral("I4")), double(QDate(1899, 12, 30).daysTo(day("2024-02-22"))));
        QCOMPARE(x.text(QStringLiteral("K4")), QStringLiteral("辛温解表"));
        QVERIFY(!x.has(QStringLiteral("A5")));
    }
};

QTEST_MAIN(TstFollowUps)
#include "tst_followups.moc"
