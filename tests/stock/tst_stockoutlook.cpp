#include "db/session.h"
#include "stock/closing.h"
#include "stock/posting.h"
#include "stock/stockoutlook.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <algorithm>
#include <QtTest>

using namespace qh;
using namespace qh::stock;

namespace {
Money m(const char *t) { return *Money::parse(QString::fromUtf8(t)); }

Movement move(const QDate &day, const QString &name, const char *in, const char *out, const QDate &expiry = {})
{
    Movement mv;
    mv.crsj = QDateTime(day, QTime(9, 0));
    mv.ycbm = name;
    mv.ywzy = QString::fromUtf8(*in != '0' ? "购进" : "出库");
    mv.yxqx = QDateTime(expiry.isValid() ? expiry : QDate(2050, 1, 1), QTime(0, 0));
    mv.rksl = m(in);
    mv.rkje = m(in);
    mv.cksl = m(out);
    mv.jbxm = QStringLiteral("李四");
    mv.bgxm = QStringLiteral("测试员");
    return mv;
}

// The outlook's statement order, and the statement it ran before it stated the whole order.
const QString ReplayOrder = QStringLiteral("select ycbm, rksl, cksl, yxqx from yccrtb order by crsj, ycbm, xsje, ckje, rowid");
const QString EarlierStatement = QStringLiteral("select ycbm, rksl, cksl, yxqx from yccrtb order by crsj");

// The outlook by a computation of its own, without lots: for an expiry day e, the stock the
// replay holds of purchases expiring on or before e follows W = max(0, W + purchases of the row
// expiring by e - its issue) row by row (an issue takes those first); the outlook's expiry is the
// first day e a purchase expires on whose W ends above 0.
QHash<QString, herbs::StockState> summedOutlook(db::Session &s, const QDate &today)
{
    QHash<QString, QList<JournalRow>> journal;
    auto rows = s.query(ReplayOrder);
    while (rows.next())
        journal[rows.text(0)] << JournalRow{rows.money(1), rows.money(2), storedDay(rows.text(3))};
    QHash<QString, herbs::StockState> out;
    auto balances = s.query(QStringLiteral("select ycbm, ycyl from ycyltb"));
    while (balances.next()) {
        herbs::StockState st;
        st.known = true;
        st.onHand = balances.money(1);
        const QList<JournalRow> mine = journal.value(balances.text(0));
        QList<QDate> days;
        for (const JournalRow &r : mine)
            if (r.received > Money() && r.expiry.isValid())
                days << r.expiry;
        std::sort(days.begin(), days.end());
        for (const QDate &e : days) {
            if (st.onHand <= Money())
                break;
            Money w;
            for (const JournalRow &r : mine) {
                if (r.received > Money() && r.expiry.isValid() && r.expiry <= e)
                    w += r.received;
                if (r.issued > Money())
                    w = std::max(Money(), w - r.issued);
            }
            if (w > Money()) {
                st.expiry = e;
                st.expired = e < today;
                break;
            }
        }
        out.insert(balances.text(0), st);
    }
    return out;
}

QString describe(const herbs::StockState &st)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(st.known ? QStringLiteral("known") : QStringLiteral("unknown"), st.onHand.toPlain(),
             st.expiry ? st.expiry->toString(Qt::ISODate) : QStringLiteral("-"),
             st.expired ? QStringLiteral("expired") : QStringLiteral("good"));
}

// An outlook, one line per herb in name order, for a readable failure.
QStringList lines(const QHash<QString, herbs::StockState> &outlook)
{
    QStringList out;
    for (auto it = outlook.cbegin(); it != outlook.cend(); ++it)
        out << it.key() + u' ' + describe(*it);
    out.sort();
    return out;
}

// The rows of a statement, one text each.
QStringList rowsOf(db::Session &s, const QString &sql)
{
    QStringList out;
    auto q = s.query(sql);
    while (q.next())
        out << q.text(0) + u'|' + q.money(1).toPlain() + u'|' + q.money(2).toPlain() + u'|' + q.text(3);
    return out;
}

// What a generated journal holds besides plain purchases and dispensings.
enum Flavour {
    SameDay = 1,        // several purchases of a herb on one day, rows at midnight and at other times
    EarlierExpiry = 2,  // purchases that expire before stock already held
    Undated = 4,        // purchases without an expiry
    OtherIssues = 8,    // stock-outs that are no dispensing, some of them negative
    Returns = 16,       // returns entered as negative stock-in
    Closing = 32,       // the period closing runs twice
    Unexplained = 64,   // journal rows of names without a balance row, a balance raised by hand
    OtherCase = 128,    // a name posted in another letter case
    OldLot = 256,       // a large first purchase that keeps long after the others
    ManyHerbs = 512,    // more herbs than the statement names
};

// What a generated journal did, to show the flavour was there.
struct Happened {
    int sameDay = 0, earlier = 0, undated = 0, otherIssues = 0, negativeIssues = 0, returns = 0, closings = 0;
    int unexplained = 0, otherCase = 0, soldOut = 0, expiredShown = 0, compared = 0;
};

class Journal {
public:
    Journal(db::Session &s, quint32 seed, int herbs, int flags) : m_s(s), m_rng(seed), m_flags(flags)
    {
        for (int i = 0; i < herbs; ++i)
            m_names << QStringLiteral("药材%1").arg(i, 3, 10, QChar(u'0'));
        if (flags & OtherCase)
            m_names << QStringLiteral("Huangqi");
    }

    // One day of the clinic, inside the caller's transaction.
    void day(const QDate &d)
    {
        for (int h = 0; h < m_names.size(); ++h) {
            const QString &name = m_names.at(h);
            const int speed = h % 3; // fast, medium, slow
            if (d == m_first && (m_flags & OldLot) && h % 2 == 0)
                receipt(d, name, 600 + int(m_rng.bounded(400)), d.addDays(2000));
            const double dispensings[] = {0.9, 0.4, 0.06};
            if (chance(dispensings[speed]))
                issue(d, otherCase(name) ? name.toLower() : name, 3 + int(m_rng.bounded(18)));
            const auto b = balanceOf(m_s, name);
            const Money held = b ? b->ycyl : Money();
            const int reorder[] = {60, 30, 8};
            if (held < Money::fromInt(reorder[speed]) || chance(0.01)) {
                purchase(d, otherCase(name) ? name.toUpper() : name, speed);
                if ((m_flags & SameDay) && chance(0.3)) {
                    purchase(d, name, speed);
                    ++happened.sameDay;
                }
            }
            if ((m_flags & OtherIssues) && chance(0.05))
                otherIssue(d, name);
            if ((m_flags & Returns) && chance(0.02) && held > Money::fromInt(20)) {
                receipt(d, name, -int(1 + m_rng.bounded(quint32(held.units() / 10000 / 2))), d.addDays(300));
                ++happened.returns;
            }
        }
        if ((m_flags & Unexplained) && chance(0.05)) {
            // A name that never had a balance row: a purchase written by hand and an issue posted.
            insertRow(d, QStringLiteral("无余量药材"), Money::fromInt(50), Money(), d.addDays(100));
            postMovementInTransaction(m_s, movement(d, QStringLiteral("未入库药材"), Money(), Money::fromInt(5), d), MovementKind::Issue);
            if (chance(0.2))
                m_s.exec(QStringLiteral("update ycyltb set ycyl = ycyl + ? where ycbm = ?"), Money::fromInt(40), m_names.first());
            ++happened.unexplained;
        }
    }

    void closing()
    {
        applyClosing(m_s, planClosing(m_s));
        ++happened.closings;
    }

    void setFirst(const QDate &d) { m_first = d; }
    Happened happened;

private:
    bool chance(double p) { return m_rng.generateDouble() < p; }
    // Half the rows of the Latin name are posted in another letter case.
    bool otherCase(const QString &name) { return name.at(0).isUpper() && chance(0.5); }

    QDateTime when(const QDate &d)
    {
        if ((m_flags & SameDay) && chance(0.2))
            return QDateTime(d, QTime(8 + int(m_rng.bounded(10)), 0));
        return QDateTime(d, QTime(0, 0)); // as the windows write them
    }

    Movement movement(const QDate &d, const QString &name, Money in, Money out, const std::optional<QDate> &expiry)
    {
        Movement mv;
        mv.crsj = when(d);
        mv.ycbm = name;
        mv.ywzy = in.isZero() ? SummaryDispensing : SummaryPurchase;
        if (expiry)
            mv.yxqx = QDateTime(*expiry, QTime(0, 0));
        mv.rksl = in;
        mv.rkje = in;
        mv.cksl = out;
        mv.xsje = out;
        mv.jbxm = QStringLiteral("李四");
        mv.bgxm = QStringLiteral("测试员");
        return mv;
    }

    void receipt(const QDate &d, const QString &name, int qty, const std::optional<QDate> &expiry)
    {
        postMovementInTransaction(m_s, movement(d, name, Money::fromInt(qty), Money(), expiry), MovementKind::Receipt);
    }

    void purchase(const QDate &d, const QString &name, int speed)
    {
        const int sizes[] = {300, 150, 40};
        std::optional<QDate> expiry = d.addDays(200 + int(m_rng.bounded(500)));
        if ((m_flags & EarlierExpiry) && chance(0.25)) {
            expiry = d.addDays(10 + int(m_rng.bounded(120)));
            ++happened.earlier;
        }
        if ((m_flags & Undated) && chance(0.1)) {
            expiry.reset();
            ++happened.undated;
        }
        if (!m_names.contains(name))
            ++happened.otherCase;
        receipt(d, name, sizes[speed] / 2 + int(m_rng.bounded(quint32(sizes[speed]))), expiry);
    }

    void issue(const QDate &d, const QString &name, int qty)
    {
        const auto b = balanceOf(m_s, name);
        if (!b || b->ycyl < Money::fromInt(qty))
            return; // refused, as the charging window refuses it
        if (!m_names.contains(name))
            ++happened.otherCase;
        postMovementInTransaction(m_s, movement(d, name, Money(), Money::fromInt(qty), QDate(2050, 1, 1)), MovementKind::Issue);
    }

    void otherIssue(const QDate &d, const QString &name)
    {
        const auto b = balanceOf(m_s, name);
        if (!b)
            return;
        // Some take all that is left, some are negative.
        const double kind = m_rng.generateDouble();
        const Money qty = kind < 0.2 ? b->ycyl : Money::fromInt(kind < 0.5 ? -int(1 + m_rng.bounded(5)) : 1 + int(m_rng.bounded(10)));
        if (qty.isZero() || b->ycyl < qty)
            return;
        Movement mv = movement(d, name, Money(), qty, d);
        mv.ywzy = SummaryIssue;
        mv.xsje = chance(0.5) ? Money() : qty;
        postMovementInTransaction(m_s, mv, MovementKind::Issue);
        ++happened.otherIssues;
        if (qty < Money())
            ++happened.negativeIssues;
        if (qty == b->ycyl)
            ++happened.soldOut;
    }

    void insertRow(const QDate &d, const QString &name, Money in, Money out, const QDate &expiry)
    {
        m_s.exec(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, yccd, ycly, ywph, yxqx, blhm, blks, rksl, rkje, cksl, "
                                "ckje, xsje, jbxm, bgxm) values(?, ?, '购进', ' ', ' ', ' ', ?, ' ', ' ', ?, ?, ?, 0, 0, '李四', '测试员')"),
                 when(d), name, QDateTime(expiry, QTime(0, 0)), in, in, out);
    }

    db::Session &m_s;
    QRandomGenerator m_rng;
    int m_flags;
    QStringList m_names;
    QDate m_first;
};

// Posts a short script of movements: "d3 黄芪 in100 2026-06-30" (a purchase on the third day,
// with its expiry), "in-40" (a return), "out30" (a dispensing: revenue 30), "take30" (a stock-out
// without revenue), "close" (the period closing). Every row is written at midnight.
void postScript(db::Session &s, const QString &script)
{
    for (const QString &step : script.split(u';', Qt::SkipEmptyParts)) {
        const QStringList w = step.split(u' ', Qt::SkipEmptyParts);
        if (w.value(0) == u"close") {
            applyClosing(s, planClosing(s));
            continue;
        }
        const QDate day = QDate(2026, 1, 1).addDays(w.at(0).mid(1).toInt());
        Movement mv = move(day, w.at(1), "0", "0");
        mv.crsj = QDateTime(day, QTime(0, 0));
        const QString what = w.at(2);
        const bool in = what.startsWith(u"in");
        const Money qty = *Money::parse(what.mid(in || what.startsWith(u"out") ? (in ? 2 : 3) : 4));
        if (in) {
            mv.ywzy = SummaryPurchase;
            mv.rksl = mv.rkje = qty;
            if (w.size() > 3)
                mv.yxqx = QDateTime(QDate::fromString(w.at(3), Qt::ISODate), QTime(0, 0));
        } else {
            mv.ywzy = what.startsWith(u"out") ? SummaryDispensing : SummaryIssue;
            mv.cksl = qty;
            mv.xsje = what.startsWith(u"out") ? qty : Money();
        }
        postMovement(s, mv, in ? MovementKind::Receipt : MovementKind::Issue);
    }
}
} // namespace

class TstStockOutlook : public QObject {
    Q_OBJECT

private slots:
    // Two purchases with different expiry; issues take the older first; one lot runs out.
    void issuesConsumeTheEarliestExpiryFirst()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        const QString hq = QStringLiteral("黄芪"), dg = QStringLiteral("当归");
        postMovement(s, move(QDate(2026, 1, 5), hq, "100", "0", QDate(2027, 6, 30)), MovementKind::Receipt);
        postMovement(s, move(QDate(2026, 2, 5), hq, "50", "0", QDate(2026, 10, 31)), MovementKind::Receipt);
        postMovement(s, move(QDate(2026, 3, 1), hq, "0", "30"), MovementKind::Issue);   // from the October lot
        postMovement(s, move(QDate(2026, 4, 1), dg, "40", "0", QDate(2026, 11, 30)), MovementKind::Receipt);
        postMovement(s, move(QDate(2026, 5, 1), dg, "0", "10"), MovementKind::Issue);
        const auto before = stockOutlook(s, QDate(2026, 12, 8));
        QCOMPARE(before.value(hq).onHand, m("120"));
        QCOMPARE(before.value(hq).expiry, std::optional<QDate>(QDate(2026, 10, 31))); // 20 of the October lot left
        QVERIFY(before.value(hq).expired);
        QCOMPARE(before.value(dg).expiry, std::optional<QDate>(QDate(2026, 11, 30)));
        QVERIFY(before.value(dg).expired);

        postMovement(s, move(QDate(2026, 6, 1), hq, "0", "20"), MovementKind::Issue); // the October lot is used up
        const auto after = stockOutlook(s, QDate(2026, 12, 8));
        QCOMPARE(after.value(hq).onHand, m("100"));
        QCOMPARE(after.value(hq).expiry, std::optional<QDate>(QDate(2027, 6, 30)));
        QVERIFY(!after.value(hq).expired);
        QVERIFY(!after.contains(QStringLiteral("茯苓")));
    }

    void lotsWithoutDateComeLastAndIssuesBeyondThePurchasesAreDropped()
    {
        const QList<Lot> left = remainingLots({{m("10"), {}, QDate()},
                                               {m("5"), {}, QDate(2027, 1, 1)},
                                               {{}, m("7"), QDate()},
                                               {m("3"), {}, QDate(2026, 1, 1)},
                                               {{}, m("50"), QDate()},
                                               {m("4"), {}, QDate(2028, 1, 1)}});
        QCOMPARE(left.size(), 1);
        QCOMPARE(left.first().left, m("4"));
        const QList<Lot> two = remainingLots({{m("10"), {}, QDate()}, {m("5"), {}, QDate(2027, 1, 1)}, {{}, m("7"), QDate()}});
        QCOMPARE(two.size(), 1);
        QCOMPARE(two.first().left, m("8"));
        QVERIFY(!two.first().expiry.isValid());
    }

    // Journals that reach the rules one at a time, against the sums.
    void scriptedJournals_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("herb");
        QTest::addColumn<bool>("listed"); // the herb has a balance row
        // A return takes nothing: the returned lot stays in the replay.
        QTest::newRow("return") << QStringLiteral("d1 黄芪 in100 2026-03-31; d2 黄芪 in-100; d3 黄芪 in100 2027-06-30")
                                << QStringLiteral("黄芪") << true;
        // An issue posted under the name in lower case lowers the balance, not the name's replay.
        QTest::newRow("other-case issue")
            << QStringLiteral("d1 Renshen in100 2026-03-31; d2 renshen out100; d3 Renshen in100 2027-06-30")
            << QStringLiteral("Renshen") << true;
        // The same day's purchase written after a dispensing is replayed first (no revenue).
        QTest::newRow("purchase after a dispensing the same day")
            << QStringLiteral("d1 当归 in100 2027-06-30; d5 当归 out50; d5 当归 in50 2026-08-31") << QStringLiteral("当归") << true;
        // Before the closing a stock-out without revenue and a purchase of one day keep the
        // order they were written in; the closing gives the stock-out a cost, so after it the
        // purchase comes first.
        QTest::newRow("closing reorders a day")
            << QStringLiteral("d1 川芎 in100 2027-06-30; d5 川芎 take50; d5 川芎 in50 2026-08-31; close") << QStringLiteral("川芎") << true;
        QTest::newRow("closing drops the empty balance")
            << QStringLiteral("d1 白术 in40 2026-08-31; d2 白术 take40; close; d3 白术 take0.5") << QStringLiteral("白术") << false;
        QTest::newRow("purchases before what the balance needs")
            << QStringLiteral("d1 茯苓 in80 2028-01-31; d2 茯苓 in30 2026-09-30; d3 茯苓 in30 2026-10-31; d4 茯苓 out60; d5 茯苓 in20 2027-01-31")
            << QStringLiteral("茯苓") << true;
        QTest::newRow("no dated purchase") << QStringLiteral("d1 甘草 in80; d2 甘草 out10") << QStringLiteral("甘草") << true;
        // A return before the purchases that make up the balance: the issue takes the returned
        // lot, so the December lot is the earliest left.
        QTest::newRow("return before later purchases")
            << QStringLiteral("d1 黄精 in100 2026-03-31; d2 黄精 in-100; d100 黄精 in100 2027-12-31; d101 黄精 in100 2028-06-30; "
                              "d102 黄精 out100")
            << QStringLiteral("黄精") << true;
    }
    void scriptedJournals()
    {
        QFETCH(QString, script);
        QFETCH(QString, herb);
        QFETCH(bool, listed);
        test::TempClinic clinic;
        auto s = clinic.open();
        postScript(s, script);
        const QDate today(2026, 7, 1);
        const auto outlook = stockOutlook(s, today);
        QCOMPARE(lines(outlook), lines(summedOutlook(s, today)));
        QCOMPARE(outlook.contains(herb), listed);
        if (!test::TempClinic::onServer())
            QCOMPARE(rowsOf(s, EarlierStatement), rowsOf(s, ReplayOrder));
    }

    // The outlook against the sums, every few weeks of a generated clinic's journal and at its
    // end.
    void sameOutlookAsTheWholeReplay_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("herbs");
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("flags");
        QTest::newRow("purchases and dispensings") << 1u << 9 << 420 << 0;
        QTest::newRow("same day") << 2u << 9 << 300 << int(SameDay);
        QTest::newRow("earlier expiry") << 3u << 9 << 420 << int(EarlierExpiry);
        QTest::newRow("undated") << 4u << 9 << 300 << int(Undated | EarlierExpiry);
        QTest::newRow("other issues") << 5u << 9 << 300 << int(OtherIssues | SameDay);
        QTest::newRow("returns") << 6u << 9 << 300 << int(Returns);
        QTest::newRow("closing") << 7u << 9 << 300 << int(Closing | SameDay | OtherIssues);
        QTest::newRow("unexplained") << 8u << 9 << 300 << int(Unexplained);
        QTest::newRow("other case") << 9u << 8 << 300 << int(OtherCase);
        QTest::newRow("old lot") << 10u << 9 << 300 << int(OldLot | EarlierExpiry);
        QTest::newRow("many herbs") << 11u << 420 << 45 << int(ManyHerbs | SameDay);
        QTest::newRow("everything but returns") << 13u << 10 << 500
                                    << int(SameDay | EarlierExpiry | Undated | OtherIssues | Closing | Unexplained |
                                           OtherCase | OldLot);
        QTest::newRow("everything") << 12u << 10 << 500
                                    << int(SameDay | EarlierExpiry | Undated | OtherIssues | Returns | Closing | Unexplained |
                                           OtherCase | OldLot);
    }
    void sameOutlookAsTheWholeReplay()
    {
        QFETCH(quint32, seed);
        QFETCH(int, herbs);
        QFETCH(int, days);
        QFETCH(int, flags);
        test::TempClinic clinic;
        auto s = clinic.open();
        Journal journal(s, seed, herbs, flags);
        const QDate first(2024, 1, 1);
        journal.setFirst(first);
        Happened &h = journal.happened;
        std::optional<db::Transaction> t;
        for (int d = 0; d < days; ++d) {
            const QDate day = first.addDays(d);
            if (!t)
                t.emplace(s); // a few weeks a transaction: the test spends no time on syncs
            journal.day(day);
            if ((flags & Closing) && (d == days / 2 || d == days * 3 / 4))
                journal.closing();
            if (d % 37 != 36 && d != days - 1)
                continue;
            t->commit();
            t.reset();
            const QDate today = day.addDays(300); // some stock has expired by then
            const auto expected = summedOutlook(s, today);
            QCOMPARE(lines(stockOutlook(s, today)), lines(expected));
            h.compared += int(expected.size());
            for (const herbs::StockState &st : expected)
                h.expiredShown += st.expired;
        }
        QVERIFY(h.compared > 0);
        QVERIFY(h.expiredShown > 0);
        if (flags & SameDay)
            QVERIFY(h.sameDay > 0);
        if (flags & EarlierExpiry)
            QVERIFY(h.earlier > 0);
        if (flags & Undated)
            QVERIFY(h.undated > 0);
        if (flags & OtherIssues)
            QVERIFY(h.otherIssues > 0 && h.negativeIssues > 0 && h.soldOut > 0);
        if (flags & Returns)
            QVERIFY(h.returns > 0);
        if (flags & Closing)
            QCOMPARE(h.closings, 2);
        if (flags & Unexplained)
            QVERIFY(h.unexplained > 0);
        if (flags & OtherCase)
            QVERIFY(h.otherCase > 0);

        // On the file the statement of before gave the rows in the order now stated: the same
        // outlook as before there.
        if (!test::TempClinic::onServer())
            QCOMPARE(rowsOf(s, EarlierStatement), rowsOf(s, ReplayOrder));
    }
};

QTEST_GUILESS_MAIN(TstStockOutlook)
#include "tst_stockoutlook.moc"
