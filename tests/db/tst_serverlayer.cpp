// The session layer on the PostgreSQL server: the translation of the program's statements, the
// refusals and error numbers (the same as the file's), transactions, the writer lock and the pool.
// Runs when QINGHE_TEST_PG names a server (scripts/test.sh starts a throwaway one).
#include "db/session.h"
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "testsupport.h"

#include <QtTest>
#include <limits>

using namespace qh;
using qh::test::failureOf;

class TstServerLayer : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        if (!test::TempClinic::onServer())
            QSKIP("no PostgreSQL server given (QINGHE_TEST_PG; scripts/test.sh starts one)");
    }

    void schemaOnTheServer()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        QCOMPARE(s.engine(), db::Engine::Server);
        QVERIFY(hasClinicSchema(s));
        const QString here = QStringLiteral("table_schema = current_schema()");
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from information_schema.tables where ") + here), 23);
        // The schema's fields and, in every table, the row key.
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from information_schema.columns where ") + here), 126 + 23);
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from pg_indexes where schemaname = current_schema() "
                                            "and indexname not like '%_pkey'")),
                 27);
        QCOMPARE(s.scalarText(QStringLiteral("select data_type from information_schema.columns where table_name = 'ycjg' "
                                             "and column_name = 'ycdj'")).value_or(QString()),
                 QStringLiteral("bigint"));
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from pg_indexes where indexname = 'passwordi' "
                                            "and indexdef like 'CREATE UNIQUE%'")),
                 1);
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from pg_indexes where indexname = 'bahmi' "
                                            "and indexdef like 'CREATE UNIQUE%'")),
                 0);
        // The program names its tables in any case, as with the file.
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from Cygx")), 0);
    }

    void placeholdersOutsideQuotes_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QStringLiteral("select ?") << QStringLiteral("值");
        QTest::newRow("in a literal") << QStringLiteral("select '?' || ?") << QStringLiteral("?值");
        QTest::newRow("doubled quote") << QStringLiteral("select 'it''s ?' || ?") << QStringLiteral("it's ?值");
        QTest::newRow("identifier") << QStringLiteral("select ? as \"why?\"") << QStringLiteral("值");
        QTest::newRow("line comment") << QStringLiteral("select ? -- is it?\n") << QStringLiteral("值");
        QTest::newRow("block comment") << QStringLiteral("select /* ? */ ?") << QStringLiteral("值");
        QTest::newRow("ifnull") << QStringLiteral("select ifnull(null, ?)") << QStringLiteral("值");
        QTest::newRow("trailing semicolon") << QStringLiteral("select ?;") << QStringLiteral("值");
    }
    void placeholdersOutsideQuotes()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        test::TempClinic clinic;
        auto s = clinic.open();
        QCOMPARE(s.scalarText(sql, QStringLiteral("值")).value_or(QString()), expected);
    }

    void misuseIsRefused_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("number");
        QTest::newRow("NUL in a value") << QStringLiteral("select ?") << QStringLiteral("a") + QChar(u'\0') + u'b'
                                        << err::NulCharacter;
        QTest::newRow("NUL in the statement") << QStringLiteral("select 1") + QChar(u'\0') << QString() << err::Misuse;
        QTest::newRow("two statements") << QStringLiteral("select ?; delete from ycjg") << QStringLiteral("x")
                                        << err::Misuse;
        QTest::newRow("empty statement") << QStringLiteral(" ; ") << QString() << err::Misuse;
        QTest::newRow("parameter beyond") << QStringLiteral("select 1") << QStringLiteral("x") << err::Misuse;
    }
    void misuseIsRefused()
    {
        QFETCH(QString, sql);
        QFETCH(QString, value);
        QFETCH(int, number);
        test::TempClinic clinic;
        auto s = clinic.open();
        const DbError e = failureOf([&] {
            auto st = s.prepare(sql);
            if (!value.isEmpty())
                st.bind(1, value);
            st.run();
        });
        QCOMPARE(e.number(), number);
    }

    void errorsMapLikeTheFile_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        const QString drug = QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj) values(%1, %2, 1)");
        QTest::newRow("empty text") << QString() << drug.arg(QStringLiteral("''"), QStringLiteral("'甘草'"))
                                    << err::ZeroLength << QStringLiteral("字段 'ycbm' 不能是零长度的字符串。");
        QTest::newRow("too long") << QString() << drug.arg(QStringLiteral("repeat('码', 21)"), QStringLiteral("'甘草'"))
                                  << err::TooLong << QStringLiteral("字段 'ycbm' 太小，不能接受所要添加的数据的数量。");
        QTest::newRow("duplicate in another case")
            << drug.arg(QStringLiteral("'GC'"), QStringLiteral("'甘草'")) << drug.arg(QStringLiteral("'gc'"), QStringLiteral("'黄芪'"))
            << err::Duplicate << QStringLiteral("由于将在索引中创建重复的值（ycbmi），请求对表的改变没有成功。");
        QTest::newRow("duplicate, index stored under another name")
            << QStringLiteral("insert into zyyc(ycmc) values('甘草')") << QStringLiteral("insert into zyyc(ycmc) values('甘草')")
            << err::Duplicate << QStringLiteral("由于将在索引中创建重复的值（ycmci），请求对表的改变没有成功。");
        QTest::newRow("null in a required index")
            << QString() << QStringLiteral("insert into yccrtb(crsj, ycbm, ckje) values('2024-03-01 09:30:00', '麻黄', 0)")
            << err::NullInIndex << QStringLiteral("索引字段 'xsje' 不能包含 Null 值。");
        QTest::newRow("integer range") << QString() << QStringLiteral("insert into hzblzl(blbm, blnl) values('1', 40000)")
                                       << err::OutOfRange << QStringLiteral("字段 'blnl' 的数值超出允许范围。");
        QTest::newRow("date form") << QString() << QStringLiteral("insert into hzblzl(blbm, blsj) values('1', '2024-02-30')")
                                   << err::WrongType << QStringLiteral("字段 'blsj' 的数据类型不正确。");
        QTest::newRow("text in a number") << QString() << QStringLiteral("insert into hzblzl(blbm, blnl) values('1', 'abc')")
                                          << err::WrongType << QString();
        QTest::newRow("beyond 64 bits") << QString()
                                        << QStringLiteral("insert into ycyltb(ycbm, ycyl) values('甲', 9223372036854775807 + 1)")
                                        << err::OutOfRange << QString();
    }
    void errorsMapLikeTheFile()
    {
        QFETCH(QString, first);
        QFETCH(QString, failing);
        QFETCH(int, number);
        QFETCH(QString, description);
        test::TempClinic clinic;
        auto s = clinic.open();
        if (!first.isEmpty())
            s.exec(first);
        const DbError e = failureOf([&] { s.exec(failing); });
        QCOMPARE(e.number(), number);
        if (!description.isEmpty())
            QCOMPARE(e.description(), description);
    }

    void connectionFailureNamesTheServerNotThePassword()
    {
        db::DatabaseSettings d;
        d.engine = db::Engine::Server;
        d.conninfo = "host=/nonexistent-folder port=1 dbname=clinic user=clerk password=S3cretWord";
        const DbError e = failureOf([&] { db::Session::connect(d); });
        QCOMPARE(e.number(), err::CannotOpen);
        QVERIFY2(e.description().contains(QStringLiteral("dbname=clinic")), qPrintable(e.description()));
        QVERIFY(!e.description().contains(QStringLiteral("S3cretWord")));
    }

    void caseInsensitiveLikeTheFile_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("rows");
        QTest::newRow("= other case") << QStringLiteral("ycmc = ?") << QStringLiteral("GANCAO甘草") << 1;
        QTest::newRow("= other text") << QStringLiteral("ycmc = ?") << QStringLiteral("Gancao甘") << 0;
        QTest::newRow("like inside") << QStringLiteral("ycmc like ? escape '\\'") << QStringLiteral("%CAO甘%") << 1;
        QTest::newRow("like start") << QStringLiteral("ycmc like ? escape '\\'") << QStringLiteral("gAN%") << 1;
        QTest::newRow("escaped percent") << QStringLiteral("ycmc like ? escape '\\'") << QStringLiteral("%\\%%") << 0;
        QTest::newRow("Chinese only") << QStringLiteral("ycmc like ?") << QStringLiteral("%甘草") << 1;
        QTest::newRow("Chinese differs") << QStringLiteral("ycmc = ?") << QStringLiteral("GANCAO甘") << 0;
    }
    void caseInsensitiveLikeTheFile()
    {
        QFETCH(QString, condition);
        QFETCH(QString, value);
        QFETCH(int, rows);
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("GC"), QStringLiteral("Gancao甘草"), QStringLiteral("1"));
        clinic.addDrug(QStringLiteral("GC2"), QStringLiteral("黄芪"), QStringLiteral("1"));
        auto s = clinic.open();
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycjg where ") + condition, value), rows);
    }

    void rowidsAndLastInsertRowId()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        QCOMPARE(s.lastInsertRowId(), 0);
        auto ins = s.prepare(QStringLiteral("insert into ycyltb(ycbm, ycyl) values(?, ?)"));
        qint64 last = 0;
        for (const QString &name : {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")}) {
            ins.reset();
            ins.bindAll(name, Money::fromInt(1));
            ins.run();
            QCOMPARE(s.changes(), 1);
            QVERIFY(s.lastInsertRowId() > last);
            last = s.lastInsertRowId();
        }
        QCOMPARE(s.scalarText(QStringLiteral("select ycbm from ycyltb where rowid = ?"), last).value_or(QString()),
                 QStringLiteral("丙"));
        QCOMPARE(s.exec(QStringLiteral("update ycyltb set ycyl = ycyl + 1 where rowid <> ?"), last), 2);
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycyltb order by 1 limit 1")), 3);
    }

    void moneyAtTheLimitsAndBlobs()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        const qint64 lo = std::numeric_limits<qint64>::min(), hi = std::numeric_limits<qint64>::max();
        s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, null)"), QStringLiteral("甲"),
               Money::fromUnits(lo), Money::fromUnits(hi));
        auto st = s.query(QStringLiteral("select rksl, rkje, ycyl, rksl = ? from ycyltb"), Money::fromUnits(lo));
        QVERIFY(st.next());
        QCOMPARE(st.money(0).units(), lo);
        QCOMPARE(st.money(1).units(), hi);
        QVERIFY(!st.optMoney(2));
        QCOMPARE(st.integer(3), 1); // a truth value reads as 1, as on the file
        QVERIFY(!st.next());

        const QByteArray picture("\x00\x01\xff'\\x", 6);
        s.exec(QStringLiteral("insert into xtzlqk(xt001, xt007) values(?, ?)"), QStringLiteral("诊所"), picture);
        QCOMPARE(s.query(QStringLiteral("select xt007 from xtzlqk")).next(), true);
        auto b = s.query(QStringLiteral("select xt007, length(xt007) from xtzlqk"));
        QVERIFY(b.next());
        QCOMPARE(b.blob(0), picture);
        QCOMPARE(b.int64(1), 6);
    }

    void nestedTransactionsAndRollback()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        const QString add = QStringLiteral("insert into ycyltb(ycbm, ycyl) values(?, 1)");
        // An inner part left uncommitted makes the outer commit refuse.
        const DbError e = failureOf([&] {
            db::Transaction outer(s);
            s.exec(add, QStringLiteral("甲"));
            {
                db::Transaction inner(s);
                QVERIFY(inner.joined());
                s.exec(add, QStringLiteral("乙"));
            }
            outer.commit();
        });
        QCOMPARE(e.number(), err::Misuse);
        QVERIFY(!s.inTransaction());
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycyltb")), 0);

        // A failure inside refuses the commit; the session is usable afterwards.
        const DbError dup = failureOf([&] {
            db::Transaction t(s);
            s.exec(add, QStringLiteral("丙"));
            try {
                s.exec(add, QStringLiteral("丙"));
            } catch (const DbError &) {
            }
            t.commit();
        });
        QCOMPARE(dup.number(), err::Misuse);
        QVERIFY(!s.inTransaction());
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycyltb")), 0);

        {
            db::Transaction outer(s);
            s.exec(add, QStringLiteral("丁"));
            db::Transaction inner(s);
            s.exec(add, QStringLiteral("戊"));
            inner.commit();
            outer.commit();
        }
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycyltb")), 2);
    }

    void oneWriterAtATimeReadersNeverWait()
    {
        test::TempClinic clinic;
        auto writer = clinic.open();
        auto other = clinic.open();
        db::Transaction t(writer);
        writer.exec(QStringLiteral("insert into ycyltb(ycbm, ycyl) values('甲', 1)"));
        // Reading goes on while the writer holds the lock, and sees only committed rows.
        QCOMPARE(other.scalarInt(QStringLiteral("select count(*) from ycyltb")), 0);
        other.setBusyTimeout(50);
        const DbError e = failureOf([&] { db::Transaction second(other); });
        QCOMPARE(e.number(), err::Locked);
        QVERIFY(!other.inTransaction());
        t.commit();
        db::Transaction second(other); // free now
        QCOMPARE(other.scalarInt(QStringLiteral("select count(*) from ycyltb")), 1);
        second.commit();
    }

    void connectionsArePooled()
    {
        test::TempClinic clinic;
        qint64 pid = 0;
        {
            auto s = clinic.open();
            pid = s.scalarInt(QStringLiteral("select pg_backend_pid()"));
            s.setBusyTimeout(10);
        }
        auto again = clinic.open();
        QCOMPARE(again.scalarInt(QStringLiteral("select pg_backend_pid()")), pid);
        // A setting of the previous user does not come along.
        QCOMPARE(again.scalarText(QStringLiteral("select current_setting('lock_timeout')")).value_or(QString()),
                 QStringLiteral("5s"));
    }

    void firstStartOnAnEmptyDatabase()
    {
        test::TempClinic clinic(false);
        QCOMPARE(Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore()), Modutarnxt::StartRoute::FirstRun);
        auto s = Modutarnxt::clinicStore().open();
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from xtzlqk")), 1);
        s.exec(QStringLiteral("update xtzlqk set xt001 = ?"), QStringLiteral("青禾诊所"));
        QCOMPARE(Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore()), Modutarnxt::StartRoute::MainWindow);
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from xtzlqk")), 1);
    }
};

QTEST_GUILESS_MAIN(TstServerLayer)
#include "tst_serverlayer.moc"
