// The data file's page layout: new files have 4 KB pages; a file of the first layout (1 KB
// pages) still opens and is rewritten once at the start, with everything in it, and a start
// that cannot rewrite it leaves it exactly as it was.
#include "db/session.h"
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "query/recordquery.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QtTest>
#include <algorithm>
#include <sys/stat.h>

using namespace qh;

namespace {

QByteArray firstBytes(const QString &path, int n)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

// The schema and every row of every table, in a form two files can be compared by.
QStringList everything(db::Session &s)
{
    QStringList out;
    QStringList tables;
    db::Statement st = s.query(QStringLiteral("select type, name, ifnull(sql, '') from sqlite_master order by type, name"));
    while (st.next()) {
        out << st.text(0) + u' ' + st.text(1) + u' ' + st.text(2);
        if (st.text(0) == QLatin1String("table") && !st.text(1).startsWith(QLatin1String("zdcx")))
            tables << st.text(1);
    }
    for (const QString &t : tables) {
        db::Statement rows = s.query(QStringLiteral("select * from \"%1\" order by rowid").arg(t));
        while (rows.next()) {
            QString line = t;
            for (int c = 0; c < rows.columnCount(); ++c)
                line += u'|' + (rows.isNull(c) ? QStringLiteral("<null>") : rows.text(c));
            out << line;
        }
    }
    return out;
}

int pageSize(db::Session &s) { return int(s.scalarInt(QStringLiteral("pragma page_size"))); }

#ifdef QINGHE_DEMODATA
query::SearchInput searchFor(const QString &rx)
{
    query::SearchInput in;
    in.rxA = rx;
    in.ageFrom = QStringLiteral("0");
    in.ageTo = QStringLiteral("150");
    in.start = QStringLiteral("2000-01-01");
    in.end = QStringLiteral("2099-12-31");
    return in;
}
#endif

} // namespace

class TstFileLayout : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        if (test::TempClinic::onServer())
            QSKIP("the data file's layout");
    }

    void newFilesHaveFourKilobytePages()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        QCOMPARE(s.layout(), db::FileLayout::Pages4K);
        QCOMPARE(pageSize(s), 4096);
        QCOMPARE(firstBytes(clinic.dbPath(), 8), QByteArray("QH4KPAGE"));
    }

    // Either layout copies into either layout with everything in it, and the copy opens as
    // what it is. A copy never replaces something that is there.
    void copiesIntoEitherLayout_data()
    {
        QTest::addColumn<db::FileLayout>("from");
        QTest::addColumn<db::FileLayout>("to");
        QTest::addColumn<int>("pageBytes");
        QTest::newRow("4K to 1K") << db::FileLayout::Pages4K << db::FileLayout::Pages1K << 1024;
        QTest::newRow("1K to 4K") << db::FileLayout::Pages1K << db::FileLayout::Pages4K << 4096;
        QTest::newRow("4K to 4K") << db::FileLayout::Pages4K << db::FileLayout::Pages4K << 4096;
    }
    void copiesIntoEitherLayout()
    {
        QFETCH(db::FileLayout, from);
        QFETCH(db::FileLayout, to);
        QFETCH(int, pageBytes);
        test::TempClinic clinic;
        clinic.addStatusRow();
        clinic.addUser(QStringLiteral("张三"), QStringLiteral("mima"));
        clinic.addDrug(QStringLiteral("GC"), QStringLiteral("甘草'炙"), QStringLiteral("0.0600"));
        if (from == db::FileLayout::Pages1K)
            test::makeFirstLayout(clinic.dbPath());
        auto source = clinic.open();
        QCOMPARE(source.layout(), from);
        const QString target = clinic.root() + QStringLiteral("/copy.mdb");
        source.copyInto(target, to);
        QCOMPARE(QFile::permissions(target), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        auto copy = db::Session::open(target);
        QCOMPARE(copy.layout(), to);
        QCOMPARE(pageSize(copy), pageBytes);
        QCOMPARE(everything(copy), everything(source));
        QVERIFY(everything(copy).size() > 40);
        QVERIFY(firstBytes(target, 16) != firstBytes(clinic.dbPath(), 16)); // its own salt
        const QByteArray before = test::fileHash(target);
        QVERIFY_THROWS_EXCEPTION(DbError, source.copyInto(target, to));
        QCOMPARE(test::fileHash(target), before);
    }

    // A file of the first layout with the demonstration data and its search index: the start
    // rewrites it with 4 KB pages, the rows, the index and the searches are the same, and it
    // is written to afterwards like any other. The next start leaves it alone.
    void startRewritesFirstLayoutFile()
    {
#ifndef QINGHE_DEMODATA
        QSKIP("the demonstration data tool is not built (QINGHE_TOOLS=OFF)");
#else
        test::TempClinic clinic(false);
        const QString failed =
            test::makeDemoClinic(QStringLiteral(QINGHE_DEMODATA), clinic.root(), {QStringLiteral("--patients"), QStringLiteral("40")});
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        const QString path = clinic.dbPath();
        QString herb;
        {
            auto s = db::Session::open(path);
            query::RecordQuery::ensureSearchIndex(s);
            herb = s.scalarText(QStringLiteral("select substr(blcf, 1, 2) from hzzdzl order by rowid limit 1")).value_or(QString());
        }
        QVERIFY(!herb.trimmed().isEmpty());
        test::makeFirstLayout(path);
        QStringList before;
        std::vector<qint64> found;
        {
            auto s = db::Session::open(path);
            QCOMPARE(s.layout(), db::FileLayout::Pages1K);
            QVERIFY(query::RecordQuery::hasSearchIndex(s));
            before = everything(s);
            found = query::RecordQuery::runSearch(s, searchFor(herb)).rows;
        }
        QVERIFY2(found.size() > 1, qPrintable(herb + QString::number(found.size())));

        QString notice;
        std::vector<int> shown;
        QCOMPARE(Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore(), notice, [&shown](int percent) { shown.push_back(percent); }),
                 Modutarnxt::StartRoute::MainWindow);
        QCOMPARE(notice, QString());
        QCOMPARE(shown.front(), 0);
        QCOMPARE(shown.back(), 100);
        QVERIFY(std::is_sorted(shown.begin(), shown.end()));
        QVERIFY2(shown.size() > 2, qPrintable(QString::number(shown.size()))); // it moves while the copy grows
        QCOMPARE(firstBytes(path, 8), QByteArray("QH4KPAGE"));
        QVERIFY(!QFile::exists(upgradingPath(path)));
        QCOMPARE(QFile::permissions(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        {
            auto s = db::Session::open(path);
            QCOMPARE(pageSize(s), 4096);
            QCOMPARE(everything(s), before);
            QVERIFY(query::RecordQuery::hasSearchIndex(s));
            QCOMPARE(query::RecordQuery::runSearch(s, searchFor(herb)).rows, found);
            QCOMPARE(query::RecordQuery::runSearch(s, searchFor(herb), query::RecordQuery::Plan::Scan).rows, found);
            // The index's triggers still work: a new visit with the herb is found.
            db::Transaction t(s);
            s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzxy, bzmb, bzhx, bzqk, blfa, blcf, blsx, fzsj, zdys) "
                                  "select blbm, blkb, datetime(blsj, '+1 second'), bzxy, bzmb, bzhx, bzqk, blfa, blcf, blsx, "
                                  "fzsj, zdys from hzzdzl where rowid = ?"),
                   found.front());
            t.commit();
            QCOMPARE(query::RecordQuery::runSearch(s, searchFor(herb)).count(), qsizetype(found.size() + 1));
        }
        const QByteArray upgraded = test::fileHash(path);
        QVERIFY(!upgradeClinicFile(path));
        shown.clear();
        QCOMPARE(Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore(), notice, [&shown](int percent) { shown.push_back(percent); }),
                 Modutarnxt::StartRoute::MainWindow);
        QVERIFY(shown.empty());
        QCOMPARE(test::fileHash(path), upgraded);
#endif
    }

    // A change cut off by a crash in a file of the first layout is undone by its journal when the
    // file is opened with its own page size, before anything is copied.
    void crashedChangeIsUndoneBeforeTheRewrite()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        for (int i = 0; i < 50; ++i)
            clinic.addDrug(QStringLiteral("D%1").arg(i), QStringLiteral("药材%1").arg(i), QStringLiteral("0.0100"));
        const QString path = clinic.dbPath();
        test::makeFirstLayout(path);
        QStringList before;
        {
            auto s = db::Session::open(path);
            before = everything(s);
        }
        // The moment of the crash: the file holds part of a big change (the engine wrote pages
        // early, its cache being small) and its journal is beside it.
        const QString crashed = clinic.root() + QStringLiteral("/crashed");
        QVERIFY(QDir().mkpath(crashed));
        {
            auto s = db::Session::open(path);
            s.execScript(QStringLiteral("pragma cache_size = 10"));
            db::Transaction t(s);
            for (int i = 0; i < 3000; ++i)
                s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, 1, 1, 1)"),
                       QStringLiteral("未完成的改变%1").arg(i));
            QVERIFY(QFile::exists(path + QStringLiteral("-journal")));
            QVERIFY(QFile::copy(path, crashed + QStringLiteral("/f")));
            QVERIFY(QFile::copy(path + QStringLiteral("-journal"), crashed + QStringLiteral("/f-journal")));
        }
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(crashed + QStringLiteral("/f"), path));
        QVERIFY(QFile::rename(crashed + QStringLiteral("/f-journal"), path + QStringLiteral("-journal")));

        QCOMPARE(Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore()), Modutarnxt::StartRoute::MainWindow);
        QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
        auto s = db::Session::open(path);
        QCOMPARE(s.layout(), db::FileLayout::Pages4K);
        QCOMPARE(everything(s), before);
    }

    // The start cannot rewrite the file: it stays byte for byte as it was and the clinic works on
    // it. A leftover of a rewrite cut off by a stop is cleared and the rewrite made.
    void startThatCannotRewriteLeavesTheFile_data()
    {
        QTest::addColumn<bool>("blocked");
        QTest::newRow("leftover file cleared") << false;
        QTest::newRow("leftover folder in the way") << true;
    }
    void startThatCannotRewriteLeavesTheFile()
    {
        QFETCH(bool, blocked);
        test::TempClinic clinic;
        clinic.addStatusRow();
        clinic.addDrug(QStringLiteral("GC"), QStringLiteral("甘草"), QStringLiteral("0.0600"));
        const QString path = clinic.dbPath();
        test::makeFirstLayout(path);
        const QString part = upgradingPath(path);
        if (blocked) {
            QVERIFY(QDir().mkpath(part + QStringLiteral("/inside")));
        } else {
            QFile f(part);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("half a copy");
        }
        const QByteArray before = test::fileHash(path);

        QCOMPARE(Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore()), Modutarnxt::StartRoute::MainWindow);
        auto s = db::Session::open(path);
        QCOMPARE(s.layout(), blocked ? db::FileLayout::Pages1K : db::FileLayout::Pages4K);
        if (blocked)
            QCOMPARE(test::fileHash(path), before);
        else
            QVERIFY(!QFile::exists(part));
        QCOMPARE(*s.scalarText(QStringLiteral("select ycmc from ycjg where ycbm = 'GC'")), QStringLiteral("甘草"));
        db::Transaction t(s);
        s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, 1, 1, 1)"), QStringLiteral("甘草"));
        t.commit();
    }
};

QTEST_GUILESS_MAIN(TstFileLayout)
#include "tst_filelayout.moc"
