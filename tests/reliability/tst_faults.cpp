// The faults of the session layer and of the start: atomic first creation, owner-only files,
// NUL and length limits, start errors, checked results, constraint names, nested transactions.
#include "clinic/printdoc.h"
#include "clinic/printing.h"
#include "db/session.h"
#include "core/modutarnxt.h"
#include "base/owneronly.h"
#include "core/schema.h"
#include "core/spreadsheet.h"
#include "core/ui/startup.h"
#include "core/ui/uikit.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>
#include <sys/stat.h>

using namespace qh;

namespace {

int errorOf(const std::function<void()> &f, QString *description = nullptr)
{
    try {
        f();
    } catch (const DbError &e) {
        if (description)
            *description = e.description();
        return e.number();
    }
    return 0;
}

int modeOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Gives the single-copy lock back before the temporary folder goes.
struct ReleaseLock {
    ~ReleaseLock() { ui::releaseInstanceLock(); }
};

struct Umask {
    mode_t previous;
    explicit Umask(mode_t m) : previous(::umask(m)) {}
    ~Umask() { ::umask(previous); }
};

} // namespace

class TstFaults : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ui::releaseInstanceLock(); }

    // What a start finds where the database file belongs, and what it does about it.
    void startRepairsOnlyWhatIsSafe_data()
    {
        QTest::addColumn<QString>("found");
        QTest::addColumn<int>("error");        // 0: the start goes on to the first-run setup
        QTest::addColumn<QString>("notice");   // part of the notice or of the error's description
        QTest::newRow("leftover of a stopped creation") << "creating" << 0 << "";
        QTest::newRow("zero-length file") << "empty" << 0 << "长度为零";
        QTest::newRow("file of another program") << "junk" << err::NotADatabase << "不是可识别的数据库文件";
        QTest::newRow("folder at the file's place") << "folder" << err::CannotOpen << "是一个文件夹";
    }
    void startRepairsOnlyWhatIsSafe()
    {
        QFETCH(QString, found);
        QFETCH(int, error);
        QFETCH(QString, notice);
        test::TempClinic clinic(false);
        const QString path = clinic.dbPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QByteArray junk(2048, 'z');
        if (found == u"creating") {
            writeFile(creatingPath(path), QByteArray(4096, 'h'));
            writeFile(creatingPath(path) + QStringLiteral("-journal"), QByteArray(512, 'j'));
        } else if (found == u"empty") {
            writeFile(path, {});
        } else if (found == u"junk") {
            writeFile(path, junk);
        } else {
            QDir().mkpath(path);
        }

        QString told;
        Modutarnxt::StartRoute route {};
        const int number = errorOf([&] { route = Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore(), told); }, &told);
        QCOMPARE(number, error);
        QVERIFY2(told.contains(notice), qPrintable(told));
        if (error == 0) {
            QCOMPARE(route, Modutarnxt::StartRoute::FirstRun);
            QVERIFY(!QFileInfo::exists(creatingPath(path)));
            QVERIFY(!QFileInfo::exists(creatingPath(path) + QStringLiteral("-journal")));
            auto s = clinic.open();
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from sqlite_master where type = 'table'")), 23);
            QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from xtzlqk")), 1);
        }
        const QStringList aside = QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("zyqhmz.mdb.empty-*")});
        QCOMPARE(aside.size(), found == u"empty" ? 1 : 0);
        if (found == u"empty")
            QCOMPARE(QFileInfo(QFileInfo(path).absolutePath() + u'/' + aside.first()).size(), 0);
        if (found == u"junk") { // never deleted nor changed
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), junk);
        }
    }

    // The start tells the user about the file it moved aside, and exits non-zero after a fatal error.
    void startTellsAndExitsNonZero_data()
    {
        QTest::addColumn<QString>("found");
        QTest::addColumn<bool>("goesOn");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing yet") << "" << true << 0 << "";
        QTest::newRow("zero-length file") << "empty" << true << 0 << "已重新建立一个新的数据库文件";
        QTest::newRow("foreign file") << "junk" << false << ui::StartFailed << "错误号码：3343";
        QTest::newRow("folder") << "folder" << false << ui::StartFailed << "是一个文件夹，不是数据库文件";
        QTest::newRow("second copy") << "locked" << false << ui::AlreadyRunning << "程序已经开始运行";
    }
    void startTellsAndExitsNonZero()
    {
        QFETCH(QString, found);
        QFETCH(bool, goesOn);
        QFETCH(int, status);
        QFETCH(QString, message);
        test::TempClinic clinic(false);
        ReleaseLock release;
        const QString path = clinic.dbPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (found == u"empty")
            writeFile(path, {});
        else if (found == u"junk")
            writeFile(path, QByteArray(2048, 'z'));
        else if (found == u"folder")
            QDir().mkpath(path);
        QLockFile other(clinic.root() + QStringLiteral("/qinghe.lock"));
        if (found == u"locked")
            QVERIFY(other.tryLock(0));
        test::RecordingMessages rec;
        int setups = 0;
        ui::setStartWindows({[&] { ++setups; }, [] {}});
        ui::resetProgramEnded();
        QCOMPARE(ui::Main(), goesOn);
        QCOMPARE(ui::startExitStatus(), status);
        QCOMPARE(setups, goesOn ? 1 : 0);
        if (message.isEmpty())
            QVERIFY(rec.shown.empty());
        else
            QVERIFY2(rec.last().contains(message), qPrintable(rec.last()));
    }

    // Owner-only folders and files whatever the umask; loose ones are tightened at start.
    void ownerOnlyWhateverTheUmask_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<bool>("loosenFirst");
        QTest::newRow("umask 022, new") << 022 << false;
        QTest::newRow("umask 002, new") << 002 << false;
        QTest::newRow("umask 000, new") << 000 << false;
        QTest::newRow("umask 022, existing files 0644") << 022 << true;
    }
    void ownerOnlyWhateverTheUmask()
    {
        QFETCH(int, mask);
        QFETCH(bool, loosenFirst);
        Umask guard{mode_t(mask)};
        test::TempClinic clinic(false);
        ReleaseLock release;
        const QString path = clinic.dbPath();
        const QString folder = QFileInfo(path).absolutePath();
        if (loosenFirst) {
            QVERIFY(Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore()) == Modutarnxt::StartRoute::FirstRun);
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
            QVERIFY(::chmod(QFile::encodeName(clinic.root()).constData(), 0755) == 0);
        }
        ui::setStartWindows({[] {}, [] {}});
        QVERIFY(ui::Main());
        QCOMPARE(modeOf(clinic.root()), 0700);
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(modeOf(path), 0600);

        // The journal of a transaction and a new database made elsewhere.
        auto s = clinic.open();
        {
            db::Transaction t(s);
            s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc) values('A', '甲')"));
            QCOMPARE(modeOf(path + QStringLiteral("-journal")), 0600);
            t.commit();
        }
        const QString copy = clinic.root() + QStringLiteral("/copy.mdb");
        CreateClinicDatabase(copy);
        QCOMPARE(modeOf(copy), 0600);

        // A spreadsheet for the user.
        Spreadsheet sheet;
        sheet.setText(1, 1, QStringLiteral("甘草"));
        const QString xlsx = clinic.root() + QStringLiteral("/report.xlsx");
        sheet.save(xlsx);
        QCOMPARE(modeOf(xlsx), 0600);

        // The guard gives the umask back.
        {
            OwnerOnlyFiles ownerOnly;
            QCOMPARE(int(::umask(077)), 077);
        }
        QCOMPARE(int(::umask(mode_t(mask))), mask);
    }

    // A document for the user never writes through a link planted in its folder (where the
    // temporary file was once named, or at the document's own name), and a documents folder the
    // program makes is the owner's only, whatever the umask.
    void documentsNeverWriteThroughALink_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("atTarget"); // the link at the document's name, else at the old temporary name
        for (const char *kind : {"pdf", "odt", "xlsx"}) {
            QTest::addRow("%s, link at the old temporary name", kind) << QString::fromLatin1(kind) << false;
            QTest::addRow("%s, link at the document's name", kind) << QString::fromLatin1(kind) << true;
        }
    }
    void documentsNeverWriteThroughALink()
    {
        QFETCH(QString, kind);
        QFETCH(bool, atTarget);
        QTemporaryDir home;
        const QString docs = home.path() + QStringLiteral("/文档/我的文档");
        Modutarnxt::setDocumentsPath(docs);
        {
            Umask open{000};
            QCOMPARE(Modutarnxt::documentsPath(), docs);
        }
        Modutarnxt::setDocumentsPath({});
        QCOMPARE(modeOf(docs), 0700);
        QCOMPARE(modeOf(QFileInfo(docs).absolutePath()), 0700);

        const QString notes = home.path() + QStringLiteral("/notes.txt");
        writeFile(notes, "the user's notes");
        const QString target = docs + (kind == u"pdf"    ? QStringLiteral("/门诊病案-A1-.pdf")
                                       : kind == u"odt" ? QStringLiteral("/病历-1.odt")
                                                        : QStringLiteral("/报表.xlsx"));
        const QString oldTemporary = kind == u"xlsx"
                                         ? docs + QStringLiteral("/.~报表.xlsx.%1.part").arg(QCoreApplication::applicationPid())
                                         : target + QStringLiteral(".part");
        const QString link = atTarget ? target : oldTemporary;
        QVERIFY(QFile::link(notes, link));

        Umask open{000};
        if (kind == u"pdf") {
            clinic::CaseRecordText t;
            t.caseNumber = QStringLiteral("A1");
            t.name = QStringLiteral("张三");
            QCOMPARE(clinic::writeCaseRecordPdf(t, target), QString());
        } else if (kind == u"odt") {
            QCOMPARE(clinic::writeOdt(target, QStringLiteral("病历")), QString());
        } else {
            Spreadsheet sheet;
            sheet.setText(1, 1, QStringLiteral("甘草"));
            sheet.save(target);
        }
        QFile kept(notes);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("the user's notes"));
        QVERIFY2(!QFileInfo(target).isSymLink(), "the document was written through the link");
        QCOMPARE(modeOf(target), 0600);
        QVERIFY(QFileInfo(target).size() > 0);
        // Nothing else is left in the folder but the planted link.
        QStringList left = QDir(docs).entryList(QDir::Files | QDir::Hidden | QDir::System);
        QStringList expected{QFileInfo(target).fileName()};
        if (!atTarget)
            expected << QFileInfo(oldTemporary).fileName();
        left.sort();
        expected.sort();
        QCOMPARE(left, expected);
    }

    // Texts with a NUL are refused at the session layer and by the schema; lengths count code points.
    void nulAndLengthLimits_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("error");
        const QString code = QStringLiteral("insert into ycjg(ycbm, ycmc) values(?, '甲')");
        const QString unit = QStringLiteral("insert into xtzlqk(xt001) values(?)");
        const QString notes = QStringLiteral("insert into hzblzl(blbm, blxd) values('1', ?)");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("bound text with a NUL") << code << QStringLiteral("A") + QChar(0) + QString(300, u'x') << err::NulCharacter;
        QTest::newRow("bound memo with a NUL") << notes << QStringLiteral("a") + QChar(0) << err::NulCharacter;
        QTest::newRow("NUL made in SQL, text field")
            << QStringLiteral("insert into ycjg(ycbm, ycmc) values('A' || char(0) || ?, '甲')") << QString(300, u'x') << err::NulCharacter;
        QTest::newRow("NUL made in SQL, memo field")
            << QStringLiteral("insert into hzblzl(blbm, blxd) values('1', 'a' || char(0) || ?)") << QStringLiteral("b") << err::NulCharacter;
        QTest::newRow("20 characters in Text(20)") << code << QString(20, u'芪') << 0;
        QTest::newRow("21 characters in Text(20)") << code << QString(21, u'芪') << err::TooLong;
        QTest::newRow("200 emoji in Text(200)") << unit << emoji.repeated(200) << 0;
        QTest::newRow("201 emoji in Text(200)") << unit << emoji.repeated(201) << err::TooLong;
    }
    void nulAndLengthLimits()
    {
        QFETCH(QString, sql);
        QFETCH(QString, value);
        QFETCH(int, error);
        test::TempClinic clinic;
        auto s = clinic.open();
        QString told;
        QCOMPARE(errorOf([&] { s.exec(sql, value); }, &told), error);
        if (error == err::NulCharacter)
            QVERIFY2(told.contains(QStringLiteral("空字符")), qPrintable(told));
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycjg")) + s.scalarInt(QStringLiteral("select count(*) from xtzlqk"))
                     + s.scalarInt(QStringLiteral("select count(*) from hzblzl")),
                 error ? 0 : 1);
    }

    // The constraint's name decides the number, whatever the engine's wording around it.
    void constraintNameDecidesTheNumber_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("named");
        QTest::newRow("check, usual wording") << SQLITE_CONSTRAINT_CHECK << "CHECK constraint failed: ycbm:long" << err::TooLong << "ycbm";
        QTest::newRow("check, other wording") << SQLITE_CONSTRAINT_CHECK << "constraint ycbm:empty violated" << err::ZeroLength << "ycbm";
        QTest::newRow("check, quoted name") << SQLITE_CONSTRAINT_CHECK << "CHECK failed (\"blnl:range\")" << err::OutOfRange << "blnl";
        QTest::newRow("check nul") << SQLITE_CONSTRAINT_CHECK << "CHECK constraint failed: blxd:nul" << err::NulCharacter << "blxd";
        QTest::newRow("check type") << SQLITE_CONSTRAINT_CHECK << "CHECK constraint failed: blsj:type" << err::WrongType << "blsj";
        QTest::newRow("check without a name") << SQLITE_CONSTRAINT_CHECK << "CHECK constraint failed: x > 0" << err::General << "x > 0";
        QTest::newRow("unique, index named") << SQLITE_CONSTRAINT_UNIQUE << "UNIQUE constraint failed: ycjg.ycmc" << err::Duplicate << "ycmci";
        QTest::newRow("unique, other wording") << SQLITE_CONSTRAINT_UNIQUE << "duplicate key in hzzdzl.blbm, hzzdzl.blkb, hzzdzl.blsj"
                                               << err::Duplicate << "zdbmi";
        QTest::newRow("not null") << SQLITE_CONSTRAINT_NOTNULL << "NOT NULL failed on yccrtb.xsje" << err::NullInIndex << "xsje";
        QTest::newRow("other constraint") << SQLITE_CONSTRAINT_TRIGGER << "raised" << err::General << "raised";
    }
    void constraintNameDecidesTheNumber()
    {
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(int, number);
        QFETCH(QString, named);
        const DbError e = db::engineError(code, message);
        QCOMPARE(e.number(), number);
        QVERIFY2(e.description().contains(named), qPrintable(e.description()));
    }

    // A statement that failed inside a transaction makes it fail, also when the engine has
    // already rolled it back; nothing after it is stored on its own.
    void failedStatementFailsTheTransaction_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::newRow("engine rolled back") << "insert or rollback into ycyltb(ycbm, ycyl) values('甲', 2)";
        QTest::newRow("engine kept the transaction") << "insert into ycyltb(ycbm, ycyl) values('甲', 2)";
        QTest::newRow("empty statement") << "  ";
        QTest::newRow("two statements at once") << "select 1; delete from ycyltb";
    }
    void failedStatementFailsTheTransaction()
    {
        QFETCH(QString, failing);
        test::TempClinic clinic;
        auto s = clinic.open();
        int commitError = 0;
        {
            db::Transaction t(s);
            s.exec(QStringLiteral("insert into ycyltb(ycbm, ycyl) values('甲', 1)"));
            QVERIFY(errorOf([&] { s.exec(failing); }) != 0);
            errorOf([&] { s.exec(QStringLiteral("insert into ycyltb(ycbm, ycyl) values('乙', 1)")); });
            commitError = errorOf([&] { t.commit(); });
        }
        QCOMPARE(commitError, err::Misuse);
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycyltb")), 0);
        QVERIFY(!s.inTransaction());
    }

    void emptyStatementIsAProgrammingError_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks") << " \n ";
        QTest::newRow("comment only") << "-- nothing";
        QTest::newRow("semicolon only") << ";";
    }
    void emptyStatementIsAProgrammingError()
    {
        QFETCH(QString, sql);
        test::TempClinic clinic;
        auto s = clinic.open();
        QString told;
        QCOMPARE(errorOf([&] { s.prepare(sql); }, &told), err::Misuse);
        QVERIFY2(told.startsWith(QStringLiteral("程序错误")), qPrintable(told));
    }

    // A Transaction inside another joins it: the outermost one decides.
    void nestedTransactionJoins_data()
    {
        QTest::addColumn<bool>("innerCommits");
        QTest::addColumn<int>("stored");
        QTest::newRow("inner committed") << true << 2;
        QTest::newRow("inner left uncommitted") << false << 0;
    }
    void nestedTransactionJoins()
    {
        QFETCH(bool, innerCommits);
        QFETCH(int, stored);
        test::TempClinic clinic;
        auto s = clinic.open();
        int commitError = 0;
        {
            db::Transaction outer(s);
            s.exec(QStringLiteral("insert into ycyltb(ycbm, ycyl) values('甲', 1)"));
            {
                db::Transaction inner(s);
                QVERIFY(inner.joined());
                s.exec(QStringLiteral("insert into ycyltb(ycbm, ycyl) values('乙', 1)"));
                if (innerCommits)
                    inner.commit();
            }
            QVERIFY(s.inTransaction());
            commitError = errorOf([&] { outer.commit(); });
        }
        QCOMPARE(commitError, innerCommits ? 0 : err::Misuse);
        QCOMPARE(s.scalarInt(QStringLiteral("select count(*) from ycyltb")), stored);
    }
};

QTEST_MAIN(TstFaults)
#include "tst_faults.moc"
