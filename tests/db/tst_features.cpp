// What the storage layer answers for each engine: the named lock workstations see of each
// other, the catalogue, the integrity checks, the page cache and the full-text index. Runs on the file, and on the
// server when QINGHE_TEST_PG names one.
#include "core/schema.h"
#include "db/features.h"
#include "testsupport.h"

#include <QFile>
#include <QtTest>

using namespace qh;

Q_DECLARE_METATYPE(qh::db::IntegrityDepth)

namespace {

bool onServer() { return test::TempClinic::onServer(); }

} // namespace

class TstFeatures : public QObject {
    Q_OBJECT

private slots:
    void namedLockKeepsOthersOut_data()
    {
        QTest::addColumn<qint64>("key");
        QTest::newRow("low half only") << qint64(0x51484A5A);
        QTest::newRow("both halves") << qint64(0x0000123487654321);
        QTest::newRow("negative") << qint64(-2);
    }
    // On the server a second session is refused the lock while the first holds it and sees it
    // held; the file's writer lock keeps writers apart, so there it is granted and never held.
    void namedLockKeepsOthersOut()
    {
        QFETCH(qint64, key);
        test::TempClinic clinic;
        auto first = clinic.open();
        auto second = clinic.open();
        {
            const auto held = db::tryNamedLock(first, key);
            QVERIFY(held);
            QCOMPARE(db::tryNamedLock(second, key).has_value(), !onServer());
            QCOMPARE(db::namedLockHeld(second, key), onServer());
            QVERIFY(!db::namedLockHeld(second, key + 1));
            const auto other = db::tryNamedLock(second, key + 1); // another number is another lock
            QVERIFY(other);
        }
        QVERIFY(!db::namedLockHeld(second, key));
        QVERIFY(db::tryNamedLock(second, key));
    }

    void catalogue()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        QVERIFY(db::hasTable(s, QStringLiteral("xtzlqk")));
        QVERIFY(!db::hasTable(s, QStringLiteral("nosuch")));
        QVERIFY(db::hasIndex(s, QStringLiteral("ycrci")));
        QVERIFY(db::hasIndex(s, QStringLiteral("YcCrBmi")));
        QVERIFY(!db::hasIndex(s, QStringLiteral("yccrtb")));
        QCOMPARE(db::hasDataFile(clinic.store()), !onServer());
        QStringList columns = db::columnsOf(s, QStringLiteral("ycjg"));
        QCOMPARE(columns.removeAll(QStringLiteral("rowid")), onServer() ? 1 : 0); // the server's row key
        QCOMPARE(columns, (QStringList{"ycbm", "ycmc", "ycdj", "jldw", "yplb"}));
        QCOMPARE(db::columnsOf(s, QStringLiteral("nosuch")), QStringList());
    }

    // The file's catalogue in the order its objects were made, statements as given.
    void storedObjects()
    {
        if (onServer())
            QSKIP("the server keeps no statements of its objects");
        test::TempClinic clinic;
        auto s = clinic.open();
        const QString view = QStringLiteral("CREATE VIEW names AS SELECT ycmc FROM ycjg");
        s.execScript(view);
        const QList<db::StoredObject> objects = db::storedObjects(s);
        QCOMPARE(objects.size(), 23 + 27 + 1);
        QCOMPARE(objects.first().type, QStringLiteral("table"));
        QCOMPARE(objects.first().name, QStringLiteral("ycgy"));
        QCOMPARE(objects.at(1).type, QStringLiteral("index"));
        QCOMPARE(objects.at(1).table, QStringLiteral("ycgy"));
        QCOMPARE(objects.last().name, QStringLiteral("names"));
        QCOMPARE(objects.last().table, QStringLiteral("names"));
        QCOMPARE(objects.last().sql, std::optional<QString>(view));
    }

    void integrityFaults_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<db::IntegrityDepth>("depth");
        QTest::newRow("sound, quick") << false << db::IntegrityDepth::Quick;
        QTest::newRow("sound, full") << false << db::IntegrityDepth::Full;
        // (The full check stops at the first page of the wrong kind: the engine's error.)
        QTest::newRow("an index over its table's pages") << true << db::IntegrityDepth::Quick;
    }
    void integrityFaults()
    {
        QFETCH(bool, damaged);
        QFETCH(db::IntegrityDepth, depth);
        test::TempClinic clinic;
        if (damaged && !onServer())
            clinic.open().execScript(QStringLiteral(
                "with recursive n(i) as (select 1 union all select i + 1 from n where i < 3000) "
                "insert into hzzdzl(blbm, blkb, blsj, blcf) select printf('%06d', i), '内科', '2024-03-08 09:30:00', "
                "printf('%0200d', i) from n; "
                "pragma writable_schema = on; "
                "update sqlite_master set rootpage = (select rootpage from sqlite_master where name = 'hzzdzl') "
                "where name = 'zdbmi'; pragma writable_schema = off"));
        auto s = clinic.open(); // reads the changed schema
        const bool faults = damaged && !onServer();
        const QStringList found = db::integrityFaults(s, depth);
        QCOMPARE(!found.isEmpty(), faults);
        for (const QString &f : found) // one fault a line, without the engine's heading lines
            QVERIFY2(!f.startsWith(QLatin1String("***")) && !f.contains(u'\n') && f == f.trimmed(), qPrintable(f));
        QCOMPARE(db::authenticationFaults(s), QStringList()); // every page as the engine wrote it
    }

    void pageCache()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        db::setPageCache(s, 3000); // nothing on the server, whose cache is its own
        if (!onServer())
            QCOMPARE(s.scalarInt(QStringLiteral("pragma cache_size")), -3000);
    }

    void fullTextIndexOnTheFileOnly()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        QCOMPARE(db::supports(s, db::Feature::FullTextIndex), !onServer());
        const DbError made = test::failureOf([&] { s.execScript(QStringLiteral("create virtual table t using fts4(a)")); });
        QCOMPARE(made.number() == 0, db::supports(s, db::Feature::FullTextIndex));
    }
};

QTEST_GUILESS_MAIN(TstFeatures)
#include "tst_features.moc"
