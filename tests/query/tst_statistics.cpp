// The monthly statistics as logic: each figure against a sum made here from the rows written,
// the month boundaries, and the revenue and cost against the stock query's own rows and the
// closing on the same data, to the fen.
#include "query/statistics.h"
#include "stock/closing.h"
#include "stock/posting.h"
#include "stock/stockquery.h"
#include "testsupport.h"

#include <QtTest>
#include <climits>
#include <map>

using namespace qh;
using namespace qh::query;

namespace {

Money money(const char *text) { return *Money::parse(QString::fromUtf8(text)); }

const MonthRange Year2024{QDate(2024, 1, 1), QDate(2024, 12, 1)};

void visit(db::Session &s, const QString &blbm, const QString &dept, const QString &when, const std::optional<QString> &doctor)
{
    s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, zdys) values(?, ?, ?, ?)"), blbm, dept, when, doctor);
}

void movement(db::Session &s, const QString &when, const QString &drug, const QString &summary, Money cksl, Money ckje,
              Money xsje)
{
    s.exec(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, blhm, blks, rksl, rkje, cksl, ckje, xsje) "
                          "values(?, ?, ?, 'B1', '内科', 0, 0, ?, ?, ?)"),
           when, drug, summary, cksl, ckje, xsje);
}

int monthIndex(const QString &when, const MonthRange &range)
{
    const QDate d = QDate::fromString(when.left(10), QStringLiteral("yyyy-MM-dd"));
    const int i = (d.year() - range.first.year()) * 12 + d.month() - range.first.month();
    return i >= 0 && i < range.count() ? i : -1;
}

// The stock query's "药品出库" rows of one month (its statement as the window runs it): the sums
// of xsje and ckje of the dispensings.
std::pair<Money, Money> stockQueryDispensing(db::Session &s, const QDate &month)
{
    const auto q = stock::stockquery::buildQuery(stock::StockQueryType::Ycck, month, month.addMonths(1).addDays(-1), std::nullopt);
    db::Statement st = s.prepare(q.sql);
    for (int i = 0; i < q.values.size(); ++i)
        st.bind(i + 1, q.values[i]);
    Money xsje, ckje;
    while (st.next())
        if (st.text(4) == stock::SummaryDispensing) {
            ckje += st.money(6);
            xsje += st.money(7);
        }
    return {xsje, ckje};
}

stock::Movement dispensing(const QDateTime &when, const QString &drug, const char *qty, const char *amount)
{
    stock::Movement m;
    m.crsj = when;
    m.ycbm = drug;
    m.ywzy = stock::SummaryDispensing;
    m.blhm = QStringLiteral("000001");
    m.blks = QStringLiteral("内科");
    m.cksl = money(qty);
    m.xsje = money(amount);
    m.bgxm = QStringLiteral("测试员");
    return m;
}

void purchase(db::Session &s, const QDateTime &when, const QString &drug, const char *qty, const char *amount)
{
    stock::Movement m;
    m.crsj = when;
    m.ycbm = drug;
    m.ywzy = stock::SummaryPurchase;
    m.rksl = money(qty);
    m.rkje = money(amount);
    m.bgxm = QStringLiteral("测试员");
    stock::postMovement(s, m, stock::MovementKind::Receipt);
}

} // namespace

class TstStatistics : public QObject {
    Q_OBJECT

private slots:
    // ---- the month boxes
    void checkRangeRefusesInOrder_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message"); // "" passes
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("months");
        const int from = int(StatisticsField::MasQsyf), to = int(StatisticsField::MasJsyf);
        QTest::newRow("one year") << "2024-01" << "2024-12" << "" << 0 << 12;
        QTest::newRow("one month") << "2024-02" << "2024-02" << "" << 0 << 1;
        QTest::newRow("across a year") << "2023-11" << "2024-02" << "" << 0 << 4;
        QTest::newRow("full-width digits") << "２０２４-０３" << "2024-03" << "" << 0 << 1;
        QTest::newRow("240 months") << "2005-01" << "2024-12" << "" << 0 << 240;
        QTest::newRow("from unfilled") << "2024-1_" << "2024-12" << "起始月份输入错误" << from << 0;
        QTest::newRow("from month 13") << "2024-13" << "2024-12" << "起始月份输入错误" << from << 0;
        QTest::newRow("from month 0, to bad too") << "2024-00" << "20__-__" << "起始月份输入错误" << from << 0;
        QTest::newRow("to empty") << "2024-01" << "____-__" << "截止月份输入错误" << to << 0;
        QTest::newRow("to before from") << "2024-05" << "2024-04" << "截止月份不能早于起始月份" << to << 0;
        QTest::newRow("241 months") << "2005-01" << "2025-01" << "统计范围不能超过240个月" << from << 0;
    }
    void checkRangeRefusesInOrder()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        QFETCH(int, field);
        QFETCH(int, months);
        const auto r = statistics::checkRange(from, to);
        if (message.isEmpty()) {
            QVERIFY(std::holds_alternative<MonthRange>(r));
            QCOMPARE(std::get<MonthRange>(r).count(), months);
            QCOMPARE(std::get<MonthRange>(r).first.day(), 1);
            return;
        }
        QVERIFY(std::holds_alternative<Refusal<StatisticsField>>(r));
        const auto &refusal = std::get<Refusal<StatisticsField>>(r);
        QCOMPARE(refusal.message, message);
        QCOMPARE(int(refusal.field), field);
        QCOMPARE(refusal.select, Select::head(7));
    }

    // ---- a visit counts in the month of its time, also at the month's first and last second
    void visitCountsInItsMonth_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("first second of the year") << "2024-01-01 00:00:00";
        QTest::newRow("last second of January") << "2024-01-31 23:59:59";
        QTest::newRow("first second of February") << "2024-02-01 00:00:00";
        QTest::newRow("leap day") << "2024-02-29 12:00:00";
        QTest::newRow("last second of the year") << "2024-12-31 23:59:59";
        QTest::newRow("last second before the range") << "2023-12-31 23:59:59";
        QTest::newRow("first second after the range") << "2025-01-01 00:00:00";
    }
    void visitCountsInItsMonth()
    {
        QFETCH(QString, when);
        test::TempClinic clinic;
        {
            auto s = clinic.open();
            visit(s, QStringLiteral("000001"), QStringLiteral("内科"), when, QStringLiteral("李明德"));
            movement(s, when, QStringLiteral("甘草"), stock::SummaryDispensing, money("10"), Money(), money("3.5"));
        }
        const Statistics st = statistics::compute(test::OneAction().s(), Year2024);
        const int expected = monthIndex(when, Year2024);
        QCOMPARE(int(st.months.size()), 12);
        for (int m = 0; m < 12; ++m) {
            const MonthFigures &f = st.months[std::size_t(m)];
            QCOMPARE(f.month, QDate(2024, m + 1, 1));
            QCOMPARE(f.visits, m == expected ? 1 : 0);
            QCOMPARE(f.newPatients, m == expected ? 1 : 0);
            QCOMPARE(f.revenue, m == expected ? money("3.5") : Money());
            QCOMPARE(f.dispensings, m == expected ? 1 : 0);
        }
        QCOMPARE(st.isEmpty(), expected < 0);
    }

    // ---- a patient is new in the month of the case's first visit, returning afterwards
    void newAndReturningPatients_data()
    {
        QTest::addColumn<QStringList>("visits");   // "case dept yyyy-MM-dd hh:mm"
        QTest::addColumn<QStringList>("expected"); // "yyyy-MM visits/patients/new"
        QTest::addColumn<int>("patients");
        QTest::addColumn<int>("fresh");
        QTest::newRow("first visit in the range") << QStringList{"A 内科 2024-03-05 09:00"} << QStringList{"2024-03 1/1/1"} << 1 << 1;
        QTest::newRow("first visit before the range")
            << QStringList{"A 内科 2023-11-01 09:00", "A 内科 2024-03-05 09:00"} << QStringList{"2024-03 1/1/0"} << 1 << 0;
        QTest::newRow("two visits in a month count once")
            << QStringList{"A 内科 2024-03-05 09:00", "A 内科 2024-03-20 10:00"} << QStringList{"2024-03 2/1/1"} << 1 << 1;
        QTest::newRow("new, then returning")
            << QStringList{"A 内科 2024-03-31 23:59", "A 内科 2024-04-01 00:00"} << QStringList{"2024-03 1/1/1", "2024-04 1/1/0"}
            << 1 << 1;
        QTest::newRow("two departments the same minute")
            << QStringList{"A 内科 2024-06-05 09:00", "A 外科 2024-06-05 09:00"} << QStringList{"2024-06 2/1/1"} << 1 << 1;
        QTest::newRow("case numbers ignore letter case")
            << QStringList{"a01 内科 2024-03-01 09:00", "A01 内科 2024-04-01 09:00"} << QStringList{"2024-03 1/1/1", "2024-04 1/1/0"}
            << 1 << 1;
        QTest::newRow("visits after the range do not matter")
            << QStringList{"A 内科 2024-12-30 09:00", "B 内科 2025-01-02 09:00"} << QStringList{"2024-12 1/1/1"} << 1 << 1;
        QTest::newRow("two patients, one new")
            << QStringList{"A 内科 2022-05-05 09:00", "A 内科 2024-07-05 09:00", "B 儿科 2024-07-06 09:00"}
            << QStringList{"2024-07 2/2/1"} << 2 << 1;
    }
    void newAndReturningPatients()
    {
        QFETCH(QStringList, visits);
        QFETCH(QStringList, expected);
        QFETCH(int, patients);
        QFETCH(int, fresh);
        test::TempClinic clinic;
        {
            auto s = clinic.open();
            for (const QString &v : visits) {
                const QStringList p = v.split(u' ');
                visit(s, p[0], p[1], p[2] + u' ' + p[3] + QStringLiteral(":00"), QStringLiteral("李明德"));
            }
        }
        const Statistics st = statistics::compute(test::OneAction().s(), Year2024);
        QStringList got;
        for (const MonthFigures &f : st.months) {
            QCOMPARE(f.returningPatients, f.patients - f.newPatients);
            if (f.visits > 0)
                got << QStringLiteral("%1 %2/%3/%4").arg(statistics::monthText(f.month)).arg(f.visits).arg(f.patients).arg(f.newPatients);
        }
        QCOMPARE(got, expected);
        QCOMPARE(st.patients, patients);
        QCOMPARE(st.newPatients, fresh);
    }

    // ---- visits per doctor and per department: every visit once, names as the database compares them
    void visitsPerDoctorAndDepartment_data()
    {
        QTest::addColumn<QStringList>("rows"); // "doctor|department|time", doctor "-" for Null
        QTest::newRow("doctors and departments")
            << QStringList{"李明德|内科|2024-01-05", "李明德|内科|2024-01-06", "王淑华|妇科|2024-01-05", "李明德|儿科|2024-03-01",
                           "王淑华|内科|2024-12-31"};
        QTest::newRow("letter case and blanks")
            << QStringList{"Dr. Li|Internal|2024-02-01", "dr. li|internal|2024-02-02", " Dr. Li |INTERNAL|2024-05-02"};
        QTest::newRow("full-width blanks")
            << QStringList{"李明德|内科|2024-02-01", "\u3000李明德|内科\u3000|2024-02-02", "李明德\u3000\u3000|\u3000内科|2024-03-02"};
        QTest::newRow("no doctor") << QStringList{"-|内科|2024-04-01", " |内科|2024-04-02", "\u3000|内科|2024-04-02", "李明德|内科|2024-04-03"};
        QTest::newRow("outside the range left out") << QStringList{"李明德|内科|2023-12-31", "王淑华|外科|2025-01-01", "李明德|内科|2024-06-01"};
    }
    void visitsPerDoctorAndDepartment()
    {
        QFETCH(QStringList, rows);
        test::TempClinic clinic;
        std::map<QString, std::vector<int>> doctors, departments; // by key: the months' counts
        {
            auto s = clinic.open();
            int n = 0;
            for (const QString &row : rows) {
                const QStringList p = row.split(u'|');
                const std::optional<QString> doctor = p[0] == QLatin1String("-") ? std::nullopt : std::optional<QString>(p[0]);
                // One case per visit: the case does not matter here.
                visit(s, QStringLiteral("C%1").arg(++n), p[1], p[2] + QStringLiteral(" 10:00:00"), doctor);
                const int m = monthIndex(p[2], Year2024);
                if (m < 0)
                    continue;
                const QString dk = doctor ? p[0].trimmed().toLower() : QString();
                const QString kk = p[1].trimmed().toLower();
                for (auto [map, key] : {std::pair{&doctors, dk}, std::pair{&departments, kk}}) {
                    auto &v = (*map)[key];
                    v.resize(12, 0);
                    ++v[std::size_t(m)];
                }
            }
        }
        // One session, and the store's two sessions at once (what the window runs).
        for (const Statistics &st : {statistics::compute(test::OneAction().s(), Year2024), statistics::compute(clinic.store(), Year2024)})
        for (auto [groups, expected] : {std::pair{&st.doctors, &doctors}, std::pair{&st.departments, &departments}}) {
            QCOMPARE(groups->size(), expected->size());
            int previous = INT_MAX;
            for (const GroupFigures &g : *groups) {
                const QString key = g.name == statistics::Unnamed ? QString() : g.name.toLower();
                QVERIFY2(expected->count(key), qPrintable(g.name));
                QCOMPARE(g.perMonth, expected->at(key));
                QVERIFY(g.visits <= previous); // most visits first
                previous = g.visits;
            }
        }
    }

    // ---- revenue: the xsje of the dispensings of the month, as the stock query lists them
    void revenueReconcilesWithTheStockQuery_data()
    {
        QTest::addColumn<QStringList>("rows"); // "time|summary|xsje"
        QTest::newRow("dispensings in three months")
            << QStringList{"2024-01-31 23:59:59|处方收款出库|12.3456", "2024-02-01 00:00:00|处方收款出库|0.0001",
                           "2024-02-29 08:00:00|处方收款出库|9999.9999", "2024-03-15 10:00:00|处方收款出库|0.0049"};
        QTest::newRow("other movements are not revenue")
            << QStringList{"2024-05-01 08:00:00|购进|0", "2024-05-02 08:00:00|出库|45.5", "2024-05-03 08:00:00|处方收款出库|7.25",
                           "2024-05-04 08:00:00|其他出库|3"};
        QTest::newRow("outside the range") << QStringList{"2023-12-31 23:59:59|处方收款出库|1", "2025-01-01 00:00:00|处方收款出库|2",
                                                          "2024-06-30 23:59:59|处方收款出库|0.01"};
    }
    void revenueReconcilesWithTheStockQuery()
    {
        QFETCH(QStringList, rows);
        test::TempClinic clinic;
        std::vector<Money> expected(12);
        {
            auto s = clinic.open();
            for (const QString &row : rows) {
                const QStringList p = row.split(u'|');
                const Money xsje = *Money::parse(p[2]);
                movement(s, p[0], QStringLiteral("甘草"), p[1], money("6"), Money(), xsje);
                const int m = monthIndex(p[0], Year2024);
                if (m >= 0 && p[1] == stock::SummaryDispensing)
                    expected[std::size_t(m)] += xsje;
            }
        }
        auto s = clinic.open();
        for (const Statistics &st : {statistics::compute(s, Year2024), statistics::compute(clinic.store(), Year2024)}) {
        Money total;
        for (int m = 0; m < 12; ++m) {
            const MonthFigures &f = st.months[std::size_t(m)];
            QCOMPARE(f.revenue, expected[std::size_t(m)]);
            QCOMPARE(f.revenue, stockQueryDispensing(s, f.month).first);
            total += f.revenue;
        }
        QCOMPARE(st.revenue(), total);
        Money herbs;
        for (const HerbFigures &h : st.herbs)
            herbs += h.revenue;
        QCOMPARE(herbs, total);
        }
    }

    // ---- closed months: every issue costed and a closing after them; their cost is the ckje
    //      the closing wrote, equal to the stock query's and the closing's own totals
    void closedMonthsAndTheirCost_data()
    {
        QTest::addColumn<QString>("month");
        QTest::addColumn<bool>("closed");
        QTest::newRow("no movement, closed later") << "2024-01" << true;
        QTest::newRow("purchase only, closed later") << "2024-02" << true;
        QTest::newRow("dispensings costed") << "2024-03" << true;
        QTest::newRow("dispensings costed, to its last second") << "2024-04" << true;
        QTest::newRow("a dispensing after the closing") << "2024-05" << false;
        QTest::newRow("nothing, no closing after") << "2024-06" << false;
    }
    void closedMonthsAndTheirCost()
    {
        QFETCH(QString, month);
        QFETCH(bool, closed);
        test::TempClinic clinic;
        auto s = clinic.open();
        const auto at = [](int m, int d, int h, int min = 0, int sec = 0) { return QDateTime(QDate(2024, m, d), QTime(h, min, sec)); };
        purchase(s, at(2, 10, 9), QStringLiteral("甘草"), "300", "100");
        purchase(s, at(2, 11, 9), QStringLiteral("黄芪"), "70", "33.33");
        for (const auto &m : {dispensing(at(3, 1, 9), QStringLiteral("甘草"), "7", "14.1234"),
                              dispensing(at(3, 31, 23, 59, 59), QStringLiteral("黄芪"), "3", "4.5"),
                              dispensing(at(4, 1, 0), QStringLiteral("甘草"), "11", "22"),
                              dispensing(at(4, 30, 23, 59, 59), QStringLiteral("黄芪"), "9", "13.5")})
            stock::postMovement(s, m, stock::MovementKind::Issue);
        const stock::ClosingPlan plan = stock::planClosing(s);
        stock::applyClosing(s, plan);
        stock::postMovement(s, dispensing(at(5, 2, 9), QStringLiteral("甘草"), "2", "4"), stock::MovementKind::Issue);

        const Statistics st = statistics::compute(s, MonthRange{QDate(2024, 1, 1), QDate(2024, 6, 1)});
        const MonthFigures &f = st.months[std::size_t(statistics::parseMonthText(month)->month() - 1)];
        QCOMPARE(f.closed, closed);
        const auto [xsje, ckje] = stockQueryDispensing(s, f.month);
        QCOMPARE(f.revenue, xsje);
        QCOMPARE(f.cost, ckje);
        // Over the range: the closed months' cost is what the closing gave the issues.
        QCOMPARE(st.closedMonths(), 4);
        QCOMPARE(st.cost(), plan.totalIssueCost());
        QVERIFY(!st.cost().isZero());
        Money herbs;
        for (const HerbFigures &h : st.ranking(HerbOrder::Cost))
            herbs += h.cost;
        QCOMPARE(herbs, plan.totalIssueCost());
    }

    // ---- rankings: the top herbs by the measure, ties by name, the rest summed as "其他"
    void herbRankings_data()
    {
        QTest::addColumn<int>("herbs");
        QTest::addColumn<int>("order");
        QTest::addColumn<int>("top");
        QTest::newRow("25 herbs by revenue") << 25 << int(HerbOrder::Revenue) << 20;
        QTest::newRow("25 herbs by quantity") << 25 << int(HerbOrder::Quantity) << 20;
        QTest::newRow("25 herbs by cost, some without") << 25 << int(HerbOrder::Cost) << 20;
        QTest::newRow("20 herbs: no rest") << 20 << int(HerbOrder::Revenue) << 20;
        QTest::newRow("3 herbs, top 2") << 3 << int(HerbOrder::Quantity) << 2;
    }
    void herbRankings()
    {
        QFETCH(int, herbs);
        QFETCH(int, order);
        QFETCH(int, top);
        test::TempClinic clinic;
        struct Herb {
            QString name;
            Money quantity, revenue, cost;
        };
        std::vector<Herb> all;
        {
            auto s = clinic.open();
            for (int i = 0; i < herbs; ++i) {
                // Revenue and quantity run in opposite orders; pairs share a revenue (ties by name).
                // Two dispensings each: costed in January and March (closed months), but every
                // third herb's in April, still pending: those have no cost in the closed months.
                const bool open = i % 3 == 0;
                Herb h{QStringLiteral("药%1").arg(QChar(u'甲' + i)), Money::fromInt(100 + i), Money::fromCents(1000 + 100 * (i / 2)),
                       open ? Money() : Money::fromCents(77 * i + 1)};
                const QStringList when = open ? QStringList{"2024-04-10 10:00:00", "2024-04-20 10:00:00"}
                                              : QStringList{"2024-01-10 10:00:00", "2024-03-10 10:00:00"};
                for (const QString &w : when)
                    movement(s, w, h.name, stock::SummaryDispensing, h.quantity, h.cost, h.revenue);
                h.quantity = h.quantity * 2;
                h.revenue = h.revenue * 2;
                h.cost = h.cost * 2;
                all.push_back(h);
            }
        }
        const Statistics st = statistics::compute(test::OneAction().s(), MonthRange{QDate(2024, 1, 1), QDate(2024, 4, 1)});
        QCOMPARE(st.closedMonths(), 3);
        const auto by = [order](const Herb &h) {
            return order == int(HerbOrder::Quantity) ? h.quantity : order == int(HerbOrder::Revenue) ? h.revenue : h.cost;
        };
        std::vector<Herb> expected;
        for (const Herb &h : all)
            if (order != int(HerbOrder::Cost) || !h.cost.isZero())
                expected.push_back(h);
        std::sort(expected.begin(), expected.end(),
                  [&by](const Herb &a, const Herb &b) { return by(a) != by(b) ? by(a) > by(b) : a.name < b.name; });
        const std::vector<HerbFigures> got = st.ranking(HerbOrder(order), top);
        const std::size_t shown = std::min(expected.size(), std::size_t(top));
        QCOMPARE(got.size(), shown + (expected.size() > shown ? 1 : 0));
        for (std::size_t i = 0; i < shown; ++i) {
            QCOMPARE(got[i].name, expected[i].name);
            QCOMPARE(got[i].quantity, expected[i].quantity);
            QCOMPARE(got[i].revenue, expected[i].revenue);
            QCOMPARE(got[i].cost, expected[i].cost);
            QVERIFY(!got[i].other);
        }
        if (expected.size() > shown) {
            Herb rest;
            for (std::size_t i = shown; i < expected.size(); ++i) {
                rest.quantity += expected[i].quantity;
                rest.revenue += expected[i].revenue;
                rest.cost += expected[i].cost;
            }
            const HerbFigures &other = got.back();
            QVERIFY(other.other);
            QCOMPARE(other.name, statistics::OtherHerbs);
            QCOMPARE(other.herbs, int(expected.size() - shown));
            QCOMPARE(other.quantity, rest.quantity);
            QCOMPARE(other.revenue, rest.revenue);
            QCOMPARE(other.cost, rest.cost);
        }
    }
};

QTEST_GUILESS_MAIN(TstStatistics)
#include "tst_statistics.moc"
