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

// The outlook by a computation of its own: every journal row in the journal's order, then per
// balance the purchases of exactly its name walked from the last one back until they cover it.
QHash<QString, herbs::StockState> expectedOutlook(db::Session &s, const QDate &today)
{
    QHash<QString, QList<std::pair<Money, QDate>>> bought;
    auto rows = s.query(QStringLiteral("select ycbm, rksl, yxqx from yccrtb order by crsj, ycbm, xsje, ckje, rowid"));
    while (rows.next())
        if (rows.money(1) > Money())
            bought[rows.text(0)] << std::pair{rows.money(1), QDate::fromString(rows.text(2).left(10), Qt::ISODate)};
    QHash<QString, herbs::StockState> out;
    auto balances = s.query(QStringLiteral("select ycbm, ycyl from ycyltb"));
    while (balances.next()) {
        herbs::StockState st;
        st.known = true;
        st.onHand = balances.money(1);
        const auto mine = bought.value(balances.text(0));
        Money sum;
        for (auto r = mine.crbegin(); r != mine.crend() && st.onHand > Money() && sum < st.onHand; ++r) {
            sum += r->first;
            if (r->second.isValid() && (!st.expiry || r->second < *st.expiry))
                st.expiry = r->second;
        }
        st.expired = st.expiry && *st.expiry < today;
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
// with its expiry; none without), "in-40" (a return), "out30" (a dispensing: revenue 30),
// "take30" (a stock-out without revenue), "close" (the period closing), "set 黄芪 -5" (the
// balance written by hand). Every row is written at midnight, in the script's order.
void postScript(db::Session &s, const QString &script)
{
    for (const QString &step : script.split(u';', Qt::SkipEmptyParts)) {
        const QStringList w = step.split(u' ', Qt::SkipEmptyParts);
        if (w.value(0) == u"close") {
            applyClosing(s, planClosing(s));
            continue;
        }
        if (w.value(0) == u"set") {
            s.exec(QStringLiteral("update ycyltb set ycyl = ? where ycbm = ?"), *Money::parse(w.at(2)), w.at(1));
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
            mv.yxqx.reset();
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
    // The rule's cases one at a time; "today" is 2026-07-01.
    void receiptsStillInStock_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("herb");
        QTest::addColumn<QString>("expected"); // "<onHand> <expiry or -> <expired or good>"; "" not listed
        QTest::newRow("covered by the newest receipt")
            << QStringLiteral("d1 黄芪 in100 2026-03-31; d2 黄芪 out60; d3 黄芪 in100 2027-06-30; d4 黄芪 out50")
            << QStringLiteral("黄芪") << QStringLiteral("90 2027-06-30 good");
        QTest::newRow("covered by several, the earliest not the last taken")
            << QStringLiteral("d1 当归 in100 2026-03-31; d2 当归 in50 2028-01-31; d3 当归 in50 2027-06-30; d4 当归 out110")
            << QStringLiteral("当归") << QStringLiteral("90 2027-06-30 good");
        QTest::newRow("partially by the oldest taken")
            << QStringLiteral("d1 当归 in100 2026-03-31; d2 当归 in50 2028-01-31; d3 当归 in50 2027-06-30; d4 当归 out20")
            << QStringLiteral("当归") << QStringLiteral("180 2026-03-31 expired");
        QTest::newRow("more than one page of purchases")
            << QStringLiteral("d1 茯苓 in10 2026-02-28; d2 茯苓 in10 2027-03-31; d3 茯苓 in10 2027-04-30; d4 茯苓 in10 2027-05-31; "
                              "d5 茯苓 in10 2027-06-30; d6 茯苓 in10 2027-07-31; d7 茯苓 in10 2027-08-31; d8 茯苓 out5")
            << QStringLiteral("茯苓") << QStringLiteral("65 2026-02-28 expired");
        QTest::newRow("purchases exhausted by a negative stock-out")
            << QStringLiteral("d1 川芎 in100 2026-09-30; d2 川芎 take-50") << QStringLiteral("川芎")
            << QStringLiteral("150 2026-09-30 good");
        QTest::newRow("purchases exhausted by a balance set by hand")
            << QStringLiteral("d1 川芎 in30 2027-09-30; d2 川芎 in30 2026-05-31; set 川芎 400") << QStringLiteral("川芎")
            << QStringLiteral("400 2026-05-31 expired");
        QTest::newRow("undated newest covers, the older dated not taken")
            << QStringLiteral("d1 甘草 in80 2026-01-31; d2 甘草 in50; d3 甘草 out80") << QStringLiteral("甘草")
            << QStringLiteral("50 - good");
        QTest::newRow("undated newest, dated older taken")
            << QStringLiteral("d1 甘草 in80 2027-01-31; d2 甘草 in50") << QStringLiteral("甘草")
            << QStringLiteral("130 2027-01-31 good");
        QTest::newRow("no dated purchase") << QStringLiteral("d1 甘草 in80; d2 甘草 out10") << QStringLiteral("甘草")
                                           << QStringLiteral("70 - good");
        QTest::newRow("a return is no purchase")
            << QStringLiteral("d1 黄精 in100 2026-03-31; d2 黄精 in100 2027-12-31; d3 黄精 in-60") << QStringLiteral("黄精")
            << QStringLiteral("140 2026-03-31 expired");
        QTest::newRow("same day: the row written later is newer")
            << QStringLiteral("d1 白芍 in50 2027-01-31; d1 白芍 in50 2026-05-31; d2 白芍 out60") << QStringLiteral("白芍")
            << QStringLiteral("40 2026-05-31 expired");
        QTest::newRow("purchase in another letter case belongs to that name")
            << QStringLiteral("d1 Renshen in100 2027-06-30; d2 renshen in100 2026-03-31; d3 Renshen out150")
            << QStringLiteral("Renshen") << QStringLiteral("50 2027-06-30 good");
        QTest::newRow("zero balance") << QStringLiteral("d1 白术 in40 2026-08-31; d2 白术 take40") << QStringLiteral("白术")
                                      << QStringLiteral("0 - good");
        QTest::newRow("negative balance") << QStringLiteral("d1 白术 in40 2026-03-31; set 白术 -5") << QStringLiteral("白术")
                                          << QStringLiteral("-5 - good");
        QTest::newRow("no balance row")
            << QStringLiteral("d1 白术 in40 2026-03-31; d2 白术 take40; close; d3 白术 take0.5") << QStringLiteral("白术") << QString();
    }
    void receiptsStillInStock()
    {
        QFETCH(QString, script);
        QFETCH(QString, herb);
        QFETCH(QString, expected);
        test::TempClinic clinic;
        auto s = clinic.open();
        postScript(s, script);
        const QDate today(2026, 7, 1);
        const auto outlook = stockOutlook(s, today);
        QCOMPARE(outlook.contains(herb), !expected.isEmpty());
        if (!expected.isEmpty())
            QCOMPARE(describe(outlook.value(herb)), QStringLiteral("known ") + expected);
        QCOMPARE(lines(outlook), lines(expectedOutlook(s, today)));
    }

    // The pure rule over purchases in hand, as the outlook applies it to the rows it reads.
    void shelfExpiryOfPurchasesInHand()
    {
        const QList<Receipt> newestFirst{{m("30"), QDate(2027, 6, 30)}, {m("-10"), QDate(2025, 1, 1)},
                                         {m("20"), QDate()}, {m("50"), QDate(2026, 3, 31)}, {m("10"), QDate(2025, 6, 30)}};
        QCOMPARE(shelfExpiry(m("30"), newestFirst), std::optional<QDate>(QDate(2027, 6, 30)));
        QCOMPARE(shelfExpiry(m("50"), newestFirst), std::optional<QDate>(QDate(2027, 6, 30)));
        QCOMPARE(shelfExpiry(m("50.01"), newestFirst), std::optional<QDate>(QDate(2026, 3, 31)));
        QCOMPARE(shelfExpiry(m("500"), newestFirst), std::optional<QDate>(QDate(2025, 6, 30)));
        QCOMPARE(shelfExpiry(m("0"), newestFirst), std::nullopt);
        QCOMPARE(shelfExpiry(m("5"), {{m("20"), QDate()}, {m("50"), QDate(2026, 3, 31)}}), std::nullopt);
        QCOMPARE(storedDay(QStringLiteral("2026-10-31 00:00:00")), QDate(2026, 10, 31));
        QVERIFY(!storedDay(QStringLiteral("31.10.2026")).isValid());
    }

    // The outlook against the computation of its own, every few weeks of a generated clinic's
    // journal and at its end.
    void generatedJournals_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("herbs");
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("flags");
        QTest::newRow("purchases and dispensings") << 1u << 9 << 420 << 0;
        QTest::newRow("same day") << 2u << 9 << 300 << int(SameDay);
        QTest::newRow("undated, earlier expiry") << 4u << 9 << 300 << int(Undated | EarlierExpiry);
        QTest::newRow("other issues") << 5u << 9 << 300 << int(OtherIssues | SameDay);
        QTest::newRow("returns") << 6u << 9 << 300 << int(Returns);
        QTest::newRow("closing") << 7u << 9 << 300 << int(Closing | SameDay | OtherIssues);
        QTest::newRow("unexplained") << 8u << 9 << 300 << int(Unexplained);
        QTest::newRow("other case") << 9u << 8 << 300 << int(OtherCase);
        QTest::newRow("old lot") << 10u << 9 << 300 << int(OldLot | EarlierExpiry);
        QTest::newRow("many herbs") << 11u << 420 << 45 << int(ManyHerbs | SameDay);
        QTest::newRow("everything") << 12u << 10 << 500
                                    << int(SameDay | EarlierExpiry | Undated | OtherIssues | Returns | Closing | Unexplained |
                                           OtherCase | OldLot);
    }
    void generatedJournals()
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
            const auto expected = expectedOutlook(s, today);
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
    }
};

QTEST_GUILESS_MAIN(TstStockOutlook)
#include "tst_stockoutlook.moc"
