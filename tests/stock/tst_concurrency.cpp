// Several workstations posting the same herbs at once, each with its own connection: receipts
// and dispensings (checked against the balance first, as the stock-out and charging do) for a
// bounded time. Afterwards every balance equals its movements and the postings each workstation
// saw succeed, none is negative, and the refused dispensings are counted. Runs on the file and,
// in the server run of scripts/test.sh, on PostgreSQL.
#include "core/modutarnxt.h"
#include "stock/posting.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>
#include <atomic>
#include <thread>

using namespace qh;
using namespace qh::stock;

namespace {

const QStringList Herbs{QStringLiteral("甘草"), QStringLiteral("黄芪"), QStringLiteral("当归")};
constexpr int StartUnits = 20;

Movement movement(const QString &herb, MovementKind kind, int units)
{
    Movement m;
    m.crsj = QDateTime(QDate(2024, 6, 15), QTime(10, 0));
    m.ycbm = herb;
    m.ywzy = kind == MovementKind::Receipt ? SummaryPurchase : SummaryIssue;
    m.yccd = m.ycly = m.ywph = m.blhm = m.blks = QStringLiteral(" ");
    if (kind == MovementKind::Receipt) {
        m.rksl = Money::fromInt(units);
        m.rkje = Money::fromInt(units * 3);
    } else {
        m.cksl = Money::fromInt(units);
        m.xsje = Money::fromInt(units * 5);
    }
    m.jbxm = m.bgxm = QStringLiteral("测试员");
    return m;
}

struct Workstation {
    std::vector<qint64> received = std::vector<qint64>(size_t(Herbs.size()), 0);
    std::vector<qint64> issued = std::vector<qint64>(size_t(Herbs.size()), 0);
    int postings = 0;
    int refused = 0; // not enough on hand
    int locked = 0;  // the writer lock was not free within the busy timeout
    QString failure;
};

void work(Workstation &w, quint32 seed, qint64 milliseconds)
{
    QRandomGenerator random(seed);
    try {
        db::Session s = Modutarnxt::clinicStore().open();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < milliseconds) {
            const int h = int(random.bounded(Herbs.size()));
            try {
                if (random.bounded(10) < 4) {
                    const int units = 1 + int(random.bounded(5));
                    postMovement(s, movement(Herbs[h], MovementKind::Receipt, units), MovementKind::Receipt);
                    w.received[size_t(h)] += units;
                } else {
                    const int units = 1 + int(random.bounded(6));
                    db::Transaction t(s);
                    const auto b = balanceOf(s, Herbs[h]);
                    if (!b || b->ycyl < Money::fromInt(units)) {
                        ++w.refused;
                        continue; // nothing written; t rolls back
                    }
                    postMovementInTransaction(s, movement(Herbs[h], MovementKind::Issue, units), MovementKind::Issue);
                    t.commit();
                    w.issued[size_t(h)] += units;
                }
                ++w.postings;
            } catch (const DbError &e) {
                if (e.number() != err::Locked)
                    throw;
                ++w.locked;
            }
        }
    } catch (const std::exception &e) {
        w.failure = QString::fromUtf8(e.what());
    }
}

} // namespace

class TstConcurrency : public QObject {
    Q_OBJECT

private slots:
    void postingsFromSeveralWorkstations()
    {
        test::TempClinic clinic;
        {
            db::Session s = clinic.open();
            for (const QString &h : Herbs)
                postMovement(s, movement(h, MovementKind::Receipt, StartUnits), MovementKind::Receipt);
        }
        constexpr int Stations = 4;
        const qint64 ms = qEnvironmentVariableIntValue("QH_CONCURRENCY_MS") > 0
            ? qEnvironmentVariableIntValue("QH_CONCURRENCY_MS")
            : 1500;
        std::vector<Workstation> stations(Stations);
        std::vector<std::thread> threads;
        for (int i = 0; i < Stations; ++i)
            threads.emplace_back(work, std::ref(stations[size_t(i)]), quint32(1000 + i), ms);
        for (auto &t : threads)
            t.join();

        int postings = 0, refused = 0, locked = 0;
        for (const auto &w : stations) {
            QVERIFY2(w.failure.isEmpty(), qPrintable(w.failure));
            postings += w.postings;
            refused += w.refused;
            locked += w.locked;
        }
        qInfo("%d postings, %d dispensings refused for want of stock, %d refused while another held the lock", postings,
              refused, locked);
        QVERIFY(postings > 0);

        db::Session s = clinic.open();
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from yccrtb")), qint64(postings + Herbs.size()));
        for (qsizetype h = 0; h < Herbs.size(); ++h) {
            qint64 received = StartUnits, issued = 0;
            for (const auto &w : stations) {
                received += w.received[size_t(h)];
                issued += w.issued[size_t(h)];
            }
            const auto b = balanceOf(s, Herbs[h]);
            QVERIFY(b);
            auto sums = s.query(QStringLiteral("select sum(rksl), sum(cksl) from yccrtb where ycbm = ?"), Herbs[h]);
            QVERIFY(sums.next());
            QCOMPARE(sums.money(0), Money::fromInt(received));             // no receipt lost
            QCOMPARE(sums.money(1), Money::fromInt(issued));               // no dispensing lost
            QCOMPARE(b->ycyl, sums.money(0) - sums.money(1));              // the balance is its movements
            QVERIFY2(b->ycyl >= Money(), qPrintable(Herbs[h] + b->ycyl.toPlain())); // never oversold
        }
    }
};

QTEST_GUILESS_MAIN(TstConcurrency)
#include "tst_concurrency.moc"
