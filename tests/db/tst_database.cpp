#include "db/session.h"
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "db/features.h"
#include "base/textutil.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace qh;

class TstDatabase : public QObject {
    Q_OBJECT

private:
    static int expectError(const std::function<void()> &f)
    {
        try {
            f();
        } catch (const DbError &e) {
            return e.number();
        }
        return 0;
    }

private slots:
    void freshDatabaseHasTheWholeSchemaAndNoRows()
    {
        if (test::TempClinic::onServer())
            QSKIP("the file's own catalogue; the server's schema is checked in tst_serverlayer");
        test::TempClinic clinic;
        auto s = clinic.open();
        QStringList tables;
        auto st = s.query(QStringLiteral("select name from sqlite_master where type='table' order by rowid"));
        while (st.next())
            tables << st.text(0);
        QCOMPARE(tables.size(), 23);
        QCOMPARE(tables.first(), QStringLiteral("ycgy"));
        QCOMPARE(tables.at(6), QStringLiteral("Cygx"));
        QCOMPARE(tables.last(), QStringLiteral("fzzl"));

        int fields = 0;
        for (const QString &t : tables) {
            auto info = s.prepare(QStringLiteral("pragma table_info(\"%1\")").arg(t));
            QStringList names;
            while (info.next())
                names << info.text(1);
            fields += names.size();
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from \"%1\"").arg(t)), 0);
        }
        QCOMPARE(fields, 126);
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from sqlite_master where type='index'")), 27);
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from sqlite_master where type='index' and name like 'sqlite_autoindex%'")), 0);

        // Field order of a table the windows rely on.
        auto info = s.prepare(QStringLiteral("pragma table_info(yccrtb)"));
        QStringList names;
        while (info.next())
            names << info.text(1);
        QCOMPARE(names.join(u','), QStringLiteral("crsj,ycbm,ywzy,yccd,ycly,ywph,yxqx,blhm,blks,rksl,rkje,cksl,ckje,xsje,jbxm,bgxm"));

        // Index flags: passwordi unique, bahmi not unique.
        QCOMPARE(s.scalarInt(QStringLiteral("select sql like 'CREATE UNIQUE%' from sqlite_master where name='passwordi'")), 1);
        QCOMPARE(s.scalarInt(QStringLiteral("select sql like 'CREATE UNIQUE%' from sqlite_master where name='bahmi'")), 0);
    }

    // Every clinic file made so far holds exactly these definitions: a change of the table
    // builder's text would make the program's own files look foreign to its schema checks.
    void fileSchemaTextIsTheOneEveryClinicFileHolds()
    {
        if (test::TempClinic::onServer())
            QSKIP("the file's own catalogue");
        QFile golden(QStringLiteral(QINGHE_TEST_DATA "/clinic-schema-file.txt"));
        QVERIFY(golden.open(QIODevice::ReadOnly));
        const QStringList expected = QString::fromUtf8(golden.readAll()).trimmed().split(u'\n');
        test::TempClinic clinic;
        auto s = clinic.open();
        auto st = s.query(QStringLiteral("select type || '|' || name || '|' || tbl_name || '|' || sql from sqlite_master "
                                         "order by rowid"));
        QStringList rows;
        while (st.next())
            rows << st.text(0).split(u'\n');
        QCOMPARE(rows.size(), expected.size());
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(rows.at(i), expected.at(i));
    }

    // A file or server database an earlier version made lacks the journal's index by name and
    // time: the checks take it as it is, the start adds the index, and then nothing is missing.
    void earlierDatabaseGetsTheJournalNameIndexAtStart()
    {
        test::TempClinic clinic;
        clinic.addStatusRow();
        {
            auto s = clinic.open();
            s.execScript(QStringLiteral("drop index yccrbmi"));
            QVERIFY(!db::hasIndex(s, QStringLiteral("yccrbmi")));
            if (!test::TempClinic::onServer())
                QCOMPARE(schemaFaults(s), QStringList());
        }
        QCOMPARE(Modutarnxt::prepareClinicDatabase(clinic.store()), Modutarnxt::StartRoute::MainWindow);
        auto s = clinic.open();
        QVERIFY(db::hasIndex(s, QStringLiteral("YCCRBMI")));
        QCOMPARE(addMissingIndexes(s), 0);
        if (!test::TempClinic::onServer()) {
            QCOMPARE(schemaFaults(s), QStringList());
            QCOMPARE(s.scalarText(QStringLiteral("select sql from sqlite_master where name = 'yccrbmi'")).value_or(QString()),
                     QStringLiteral("CREATE INDEX \"yccrbmi\" ON \"yccrtb\" (\"ycbm\" ASC, \"crsj\" ASC) WHERE \"rksl\" > 0"));
        }
    }

    void fileIsEncryptedAndKeyIsChecked()
    {
        if (test::TempClinic::onServer())
            QSKIP("the encryption of the data file");
        test::TempClinic clinic;
        QFile f(clinic.dbPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(!f.read(16).startsWith("SQLite format 3"));
        f.close();

        // A foreign file fails with a clear error, not silently.
        const QString foreign = clinic.root() + QStringLiteral("/foreign.mdb");
        QFile g(foreign);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(QByteArray(4096, 'x'));
        g.close();
        QCOMPARE(expectError([&] { db::Session::open(foreign); }), err::NotADatabase);
        QCOMPARE(expectError([&] { db::Session::open(clinic.root() + QStringLiteral("/none.mdb")); }), err::FileMissing);

        // The command-line tool opens it with the passphrase.
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
        if (tool.isEmpty())
            QSKIP("sqlcipher command-line tool not installed");
        QProcess p;
        p.start(tool, {clinic.dbPath()});
        QVERIFY(p.waitForStarted());
        p.write("PRAGMA key='" + db::clinicPassphrase() + "';\nPRAGMA cipher_page_size = 4096;\nselect count(*) from sqlite_master where type='table';\n");
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished());
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).trimmed(), QStringLiteral("23"));
    }

    void textFieldsRefuseEmptyAndOverlongText()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        const QString sql = QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, ?, ?)");
        QCOMPARE(expectError([&] { s.exec(sql, QString(""), QStringLiteral("甘草"), Money::fromInt(1), QStringLiteral("克"), QStringLiteral("补益")); }),
                 err::ZeroLength);
        s.exec(sql, QStringLiteral(" "), QStringLiteral("甘草"), Money::fromInt(1), QStringLiteral("  "), QStringLiteral("补益"));
        QCOMPARE(expectError([&] { s.exec(sql, QString(21, u'A'), QStringLiteral("黄芪"), Money::fromInt(1), QStringLiteral("克"), QStringLiteral("补益")); }),
                 err::TooLong);
        s.exec(sql, QString(20, u'B'), QString(100, u'芪'), Money::fromInt(1), QStringLiteral("克"), QStringLiteral("补益"));
        QCOMPARE(expectError([&] { s.exec(QStringLiteral("insert into hzblzl(blbm, blnl) values('1', ?)"), 40000); }), err::OutOfRange);
        QCOMPARE(expectError([&] { s.exec(QStringLiteral("insert into hzblzl(blbm, blsj) values('1', ?)"), QStringLiteral("2024-02-30")); }), err::WrongType);
    }

    // Half of a surrogate pair has no UTF-8 form: refused with its own number, nothing stored;
    // characters outside the basic plane are stored and read back exactly.
    void surrogatesMustBePaired_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("error");
        const QChar high(char16_t(0xD840)), low(char16_t(0xDC00));
        QTest::newRow("lone high surrogate") << QStringLiteral("黄") + high + QStringLiteral("芪") << err::LoneSurrogate;
        QTest::newRow("high surrogate at the end") << QStringLiteral("黄芪") + high << err::LoneSurrogate;
        QTest::newRow("lone low surrogate") << QStringLiteral("黄") + low + QStringLiteral("芪") << err::LoneSurrogate;
        QTest::newRow("reversed pair") << QString(low) + high << err::LoneSurrogate;
        QTest::newRow("pair then lone low") << QString(high) + low + low << err::LoneSurrogate;
        QTest::newRow("extension B character") << QStringLiteral("黄") + high + low + QStringLiteral("芪") << 0;
        QTest::newRow("emoji") << QString::fromUtf8("\xF0\x9F\x98\x80\xF0\x9F\x8C\xBF") << 0;
    }
    void surrogatesMustBePaired()
    {
        QFETCH(QString, text);
        QFETCH(int, error);
        test::TempClinic clinic;
        auto s = clinic.open();
        QString told;
        const int got = expectError([&] {
            try {
                s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc) values('A', ?)"), text);
            } catch (const DbError &e) {
                told = e.description();
                throw;
            }
        });
        QCOMPARE(got, error);
        if (error) {
            QVERIFY2(told.contains(QStringLiteral("代理")), qPrintable(told));
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycjg")), 0);
        } else {
            QCOMPARE(s.scalarText(QStringLiteral("select ycmc from ycjg where ycbm = 'A'")).value_or(QString()), text);
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycjg where ycmc = ?"), text), 1);
        }
    }

    void uniqueAndRequiredIndexes()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("MH"), QStringLiteral("麻黄"), QStringLiteral("1.00"));
        QCOMPARE(expectError([&] { clinic.addDrug(QStringLiteral("MH"), QStringLiteral("桂枝"), QStringLiteral("1")); }), err::Duplicate);
        QCOMPARE(expectError([&] { clinic.addDrug(QStringLiteral("mh"), QStringLiteral("桂枝"), QStringLiteral("1")); }), err::Duplicate);
        QCOMPARE(expectError([&] { clinic.addDrug(QStringLiteral("GZ"), QStringLiteral("麻黄"), QStringLiteral("1")); }), err::Duplicate);

        auto s = clinic.open();
        const QString user = QStringLiteral("insert into yckpass(passuser, passwods, passpids) values(?, ?, 1)");
        s.exec(user, QStringLiteral("张三"), QStringLiteral("secret1"));
        QCOMPARE(expectError([&] { s.exec(user, QStringLiteral("李四"), QStringLiteral("secret1")); }), err::Duplicate);
        QCOMPARE(expectError([&] { s.exec(user, QStringLiteral("张三"), QStringLiteral("secret2")); }), err::Duplicate);

        const QString mv = QStringLiteral("insert into yccrtb(crsj, ycbm, xsje, ckje) values(?, ?, ?, ?)");
        const QDateTime now(QDate(2024, 3, 1), QTime(9, 30));
        QCOMPARE(expectError([&] { s.exec(mv, now, QStringLiteral("麻黄"), std::nullopt, Money()); }), err::NullInIndex);
        QCOMPARE(expectError([&] { s.exec(mv, now, QStringLiteral("麻黄"), Money(), std::nullopt); }), err::NullInIndex);
        s.exec(mv, now, QStringLiteral("麻黄"), Money(), Money());
        s.exec(mv, now, QStringLiteral("麻黄"), Money(), Money()); // not unique

        const QString dx = QStringLiteral("insert into hzzdzl(blbm, blkb, blsj) values(?, ?, ?)");
        s.exec(dx, QStringLiteral("0001"), QStringLiteral("内科"), now);
        QCOMPARE(expectError([&] { s.exec(dx, QStringLiteral("0001"), QStringLiteral("内科"), now); }), err::Duplicate);
        s.exec(dx, QStringLiteral("0001"), QStringLiteral("外科"), now);
    }

    // A duplicate names the program's index on either engine: the file names the violated
    // columns, the server the index's stored name, and both are told back to the index.
    void duplicatesNameTheProgramsIndex_data()
    {
        QTest::addColumn<QString>("insert"); // %1: a text of the row outside the index
        QTest::addColumn<QString>("index");
        QTest::newRow("one field") << QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj) values('MH', '%1', 1)")
                                   << QStringLiteral("ycbmi");
        QTest::newRow("stored under another name") << QStringLiteral("insert into zyyc(ycmc, ycgj) values('甘草', '%1')")
                                                   << QStringLiteral("ycmci");
        QTest::newRow("three fields")
            << QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, zdys) values('0001', '内科', '2024-03-01 09:30:00', '%1')")
            << QStringLiteral("zdbmi");
        QTest::newRow("formula name") << QStringLiteral("insert into zyfj(fjmc, fjly) values('桂枝汤', '%1')") << QStringLiteral("fjmci");
    }
    void duplicatesNameTheProgramsIndex()
    {
        QFETCH(QString, insert);
        QFETCH(QString, index);
        test::TempClinic clinic;
        auto s = clinic.open();
        s.exec(insert.arg(QStringLiteral("甲")));
        try {
            s.exec(insert.arg(QStringLiteral("乙")));
            QFAIL("the second row was stored");
        } catch (const DbError &e) {
            QCOMPARE(e.number(), err::Duplicate);
            QCOMPARE(e.description(), QStringLiteral("由于将在索引中创建重复的值（%1），请求对表的改变没有成功。").arg(index));
        }
    }

    void lookupsIgnoreLetterCaseAndBindLiterally()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("DG'S"), QStringLiteral("当归'片"), QStringLiteral("2.5"));
        auto s = clinic.open();
        QCOMPARE(s.scalarText(QStringLiteral("select ycmc from ycjg where ycbm = ?"), QStringLiteral("dg's")).value_or(QString()),
                 QStringLiteral("当归'片"));
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycjg where ycmc like ? escape '\\'"), likeContains(QStringLiteral("'片"))), 1);
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycjg where ycmc like ? escape '\\'"), likeContains(QStringLiteral("%"))), 0);
        s.exec(QStringLiteral("insert into yckpass(passuser, passwods, passpids) values('Admin', 'x', 1)"));
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from yckpass where passuser = ?"), QStringLiteral("ADMIN")), 1);
    }

    void moneyAndDatesRoundTrip()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values(?, ?, ?, ?)"), QStringLiteral("麻黄"),
               *Money::parse(QStringLiteral("1,234.5678")), Money::fromUnits(-1), Money::fromUnits(std::numeric_limits<qint64>::max()));
        auto st = s.query(QStringLiteral("select rksl, rkje, ycyl from ycyltb"));
        QVERIFY(st.next());
        QCOMPARE(st.money(0).units(), 12345678);
        QCOMPARE(st.money(1).units(), -1);
        QCOMPARE(st.money(2).units(), std::numeric_limits<qint64>::max());

        s.exec(QStringLiteral("insert into fzzl(blbm, blkb, blsj, blfz) values('1', '内科', ?, ?)"),
               QDateTime(QDate(2024, 1, 31), QTime(23, 59, 59)), QDate(2024, 2, 1));
        // Day ranges with between behave on the stored text form.
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from fzzl where date(blsj) between ? and ?"), QStringLiteral("2024-01-31"), QStringLiteral("2024-01-31")), 1);
        auto d = s.query(QStringLiteral("select blsj, blfz from fzzl"));
        QVERIFY(d.next());
        QCOMPARE(d.dateTime(0)->time(), QTime(23, 59, 59));
        QCOMPARE(*d.date(1), QDate(2024, 2, 1));
    }

    void transactionsAreAllOrNothing()
    {
        test::TempClinic clinic;
        auto s = clinic.open();
        QCOMPARE(expectError([&] {
                     db::Transaction t(s);
                     s.exec(QStringLiteral("insert into ycyltb(ycbm, ycyl) values('甲', 1)"));
                     s.exec(QStringLiteral("insert into ycyltb(ycbm, ycyl) values('甲', 2)")); // duplicate
                     t.commit();
                 }),
                 err::Duplicate);
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycyltb")), 0);

        // A failure caught inside the transaction still prevents the commit.
        QCOMPARE(expectError([&] {
                     db::Transaction t(s);
                     s.exec(QStringLiteral("insert into ycyltb(ycbm, ycyl) values('乙', 1)"));
                     try {
                         s.exec(QStringLiteral("insert into ycyltb(ycbm, ycyl) values('乙', 2)"));
                     } catch (const DbError &) {
                     }
                     t.commit();
                 }),
                 err::Misuse);
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycyltb")), 0);
        QVERIFY(!s.inTransaction());

        {
            db::Transaction t(s);
            s.exec(QStringLiteral("insert into ycyltb(ycbm, ycyl) values('丙', 1)"));
            t.commit();
        }
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycyltb")), 1);
    }

    void statementKeepsItsConnection()
    {
        test::TempClinic clinic;
        clinic.addDrug(QStringLiteral("A"), QStringLiteral("甲"), QStringLiteral("1"));
        std::optional<db::Statement> st;
        {
            auto s = clinic.open();
            st.emplace(s.prepare(QStringLiteral("select ycmc from ycjg")));
        }
        QVERIFY(st->next());
        QCOMPARE(st->text(0), QStringLiteral("甲"));
    }

    void errorReportForms()
    {
        DbError e(3022, QStringLiteral("重复"));
        QCOMPARE(shortReport(e), QStringLiteral("重复"));
        QCOMPARE(numberedReport(e), QStringLiteral("错误号码：3022\r\n错误内容：重复"));
        QCOMPARE(plainReport(e), QStringLiteral("3022\r\n重复"));
    }
};

QTEST_GUILESS_MAIN(TstDatabase)
#include "tst_database.moc"
