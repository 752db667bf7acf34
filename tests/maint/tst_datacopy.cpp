// Backup and restore without the window: what is refused, what is kept, what a failure leaves.
#include "db/session.h"
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "maint/datacopy.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtTest>

#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

using namespace qh;
using maint::DataCopy;

namespace {

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A database of the engine under some key (none: plain text) with one foreign table.
void foreignDatabase(const QString &path, const QByteArray &key)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    if (!key.isEmpty())
        sqlite3_key(db, key.constData(), int(key.size()));
    QCOMPARE(sqlite3_exec(db, "create table ledger(a, b); insert into ledger values(1, 2);", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// Every table's rows, every value as bytes, in stored order.
QList<QStringList> everyRow(const QString &path)
{
    QList<QStringList> all;
    auto s = db::Session::open(path);
    for (const TableDef &t : clinicSchema()) {
        auto st = s.prepare(QStringLiteral("select * from \"%1\" order by rowid").arg(QString::fromLatin1(t.name)));
        while (st.next()) {
            QStringList row{QString::fromLatin1(t.name)};
            for (int c = 0; c < st.columnCount(); ++c)
                row << (st.isNull(c) ? QStringLiteral("<null>") : QString::fromLatin1(st.blob(c).toHex()));
            all << row;
        }
    }
    return all;
}

// Work files a copy may leave beside its target (".x.part", "-journal").
QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.part"), QStringLiteral("*.part-journal"), QStringLiteral("*-journal")},
                                  QDir::Files | QDir::Hidden);
}

// A tmpfs for the test's life: root only, else the test is skipped.
struct TmpFs {
    QString dir;
    bool mounted = false;
    QString why;
    TmpFs(const QString &folder, const QByteArray &options, unsigned long flags = 0) : dir(folder)
    {
        QDir().mkpath(dir);
        if (::geteuid() != 0) {
            why = QStringLiteral("mounting a small file system needs root");
            return;
        }
        mounted = ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", flags, options.constData()) == 0;
        if (!mounted)
            why = QStringLiteral("tmpfs could not be mounted here: %1").arg(QString::fromLocal8Bit(strerror(errno)));
    }
    ~TmpFs()
    {
        if (mounted)
            ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
    }
};

void fillClinic(test::TempClinic &c)
{
    c.addStatusRow();
    c.addUser(QStringLiteral("张医生"), QStringLiteral("pw1234"));
    c.addDrug(QStringLiteral("A01"), QStringLiteral("麻黄"), QStringLiteral("0.35"));
    c.addDrug(QStringLiteral("A02"), QStringLiteral("桂枝"), QStringLiteral("0.20"));
    auto s = c.open();
    s.exec(QStringLiteral("insert into hzblzl(blbm, blxm, blxb, blnl, blsj, bljz, zldl) values('000001', '王芳', '女', 35, ?, ?, '张医生')"),
           QDate(2024, 3, 1), QDate(2024, 3, 8));
    s.exec(QStringLiteral("insert into hzzdzl(blbm, blkb, blsj, bzxy, bzmb, bzhx, blcf, zdys) values('000001', '中医内科', ?, '120/80', 72, 18, '麻黄9克，', '李明德')"),
           QDateTime(QDate(2024, 3, 8), QTime(9, 30)));
    s.exec(QStringLiteral("insert into fzzl(blbm, blkb, blsj, blfz, zdys) values('000001', '中医内科', ?, ?, '李明德')"),
           QDateTime(QDate(2024, 3, 8), QTime(9, 30)), QDate(2024, 3, 15));
    s.exec(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, rksl, rkje, cksl, ckje, xsje, bgxm) values(?, '麻黄', '购进', ?, ?, 0, 0, 0, '张医生')"),
           QDateTime(QDate(2024, 3, 1), QTime(8, 0)), Money::fromCents(100000), Money::fromCents(2000));
    s.exec(QStringLiteral("insert into ycyltb(ycbm, rksl, rkje, ycyl) values('麻黄', ?, ?, ?)"), Money::fromCents(100000),
           Money::fromCents(2000), Money::fromCents(100000));
    s.exec(QStringLiteral("update xtzlqk set xt007 = ?"), QByteArray("\x89PNG\r\n\x1a\n\0\1\2", 11));
}

} // namespace

class TstDataCopy : public QObject {
    Q_OBJECT

private slots:
    void init() { m_out.emplace(); }
    void cleanup() { m_out.reset(); }

    void badCandidateIsRefused_data();
    void badCandidateIsRefused();
    void roundTripKeepsEveryRow();
    void backupStaysEncrypted();
    void restoreWhenTheLiveFileIsLost();
    void interruptedRestoreLeavesLiveIntact();
    void backupHoldsTheWriteLock();
    void failedBackupLeavesNoTarget();
    void badBackupTarget_data();
    void badBackupTarget();
    void fullFileSystem();
    void safetyCopiesAreBounded();
    void commandLine();

private:
    std::optional<QTemporaryDir> m_out; // where backups and candidates go
    QString out(const QString &name) const { return m_out->filePath(name); }
    QString goodBackup(test::TempClinic &c)
    {
        const QString b = out(QStringLiteral("good.mdb"));
        if (!QFileInfo::exists(b)) {
            fillClinic(c);
            DataCopy().backup(Modutarnxt::clinicStore(), b);
        }
        return b;
    }
};

using Maker = std::function<QString(TstDataCopy *, test::TempClinic &, const QString &good, const QString &folder)>;
Q_DECLARE_METATYPE(Maker)

void TstDataCopy::badCandidateIsRefused_data()
{
    QTest::addColumn<Maker>("make");
    QTest::addColumn<QString>("message");
    auto file = [](const QString &folder, const QByteArray &bytes) {
        const QString p = folder + QStringLiteral("/candidate.mdb");
        writeBytes(p, bytes);
        return p;
    };
    const QString notOurs = QStringLiteral("不能用本系统的密码打开");
    QTest::newRow("empty file") << Maker([=](auto, auto &, auto &, auto &d) { return file(d, {}); })
                                << QStringLiteral("所选的文件不能用来恢复数据：文件是空的。\n系统数据没有改变。");
    QTest::newRow("truncated copy") << Maker([=](auto, auto &, const QString &good, auto &d) {
        QFile g(good);
        g.open(QIODevice::ReadOnly);
        return file(d, g.read(g.size() / 2));
    }) << QStringLiteral("文件已损坏");
    QTest::newRow("one byte flipped") << Maker([=](auto, auto &, const QString &good, auto &d) {
        QFile g(good);
        g.open(QIODevice::ReadOnly);
        QByteArray b = g.readAll();
        b[b.size() / 2 + 100] = char(b[b.size() / 2 + 100] ^ 0x10);
        return file(d, b);
    }) << QStringLiteral("文件已损坏");
    // An index pointed at its table's pages (the program's key is in the program: anyone can
    // make such a file): the engine finds a fault in every page of both trees; the refusal
    // names three and counts the rest, so its box fits on the screen.
    QTest::newRow("many faults") << Maker([](auto, auto &, auto &, auto &d) {
        const QString p = d + QStringLiteral("/manyfaults.mdb");
        CreateClinicDatabase(p, true);
        db::Session::open(p).execScript(QStringLiteral(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 3000) "
            "insert into hzzdzl(blbm, blkb, blsj, blcf) select printf('%06d', i), '内科', '2024-03-08 09:30:00', "
            "printf('%0200d', i) from n; "
            "pragma writable_schema = on; "
            "update sqlite_master set rootpage = (select rootpage from sqlite_master where name = 'hzzdzl') "
            "where name = 'zdbmi'; pragma writable_schema = off"));
        return p;
    }) << QStringLiteral("处问题）。\n系统数据没有改变。");
    QTest::newRow("plaintext database") << Maker([](auto, auto &, auto &, auto &d) {
        const QString p = d + QStringLiteral("/plain.mdb");
        foreignDatabase(p, {});
        return p;
    }) << notOurs;
    QTest::newRow("random bytes") << Maker([=](auto, auto &, auto &, auto &d) {
        QByteArray b(64 * 1024, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(b.data()), b.size() / 4);
        return file(d, b);
    }) << notOurs;
    QTest::newRow("another key") << Maker([](auto, auto &, auto &, auto &d) {
        const QString p = d + QStringLiteral("/otherkey.mdb");
        foreignDatabase(p, "another-clinic-key");
        return p;
    }) << notOurs;
    QTest::newRow("foreign tables, our key") << Maker([](auto, auto &, auto &, auto &d) {
        const QString p = d + QStringLiteral("/foreign.mdb");
        db::Session::create(p).execScript(QStringLiteral("create table ledger(a, b); insert into ledger values(1, 2);"));
        return p;
    }) << QStringLiteral("不是本系统的数据库（缺少数据表 ycgy、yczz、fjgy、fjzz、bzzz 等 23 个）");
    QTest::newRow("no status row") << Maker([](auto, auto &, auto &, auto &d) {
        const QString p = d + QStringLiteral("/nostatus.mdb");
        CreateClinicDatabase(p);
        return p;
    }) << QStringLiteral("系统状态记录应有一条，实有 0 条");
    QTest::newRow("directory") << Maker([](auto, auto &, auto &, auto &d) { return d; })
                               << QStringLiteral("所选的是文件夹，不是数据库文件");
    QTest::newRow("missing path") << Maker([](auto, auto &, auto &, auto &d) { return d + QStringLiteral("/none/x.mdb"); })
                                  << QStringLiteral("找不到所选的文件");
    QTest::newRow("the live file, by another path") << Maker([](auto, test::TempClinic &c, auto &, auto &d) {
        const QString link = d + QStringLiteral("/live-link.mdb");
        QFile::link(c.dbPath(), link);
        return link;
    }) << QStringLiteral("所选的文件就是系统正在使用的数据库文件，不能用它自己恢复数据。");
}

void TstDataCopy::badCandidateIsRefused()
{
    QFETCH(Maker, make);
    QFETCH(QString, message);
    // One clinic and its good backup for every row (each refusal leaves them as they were).
    static std::optional<test::TempClinic> shared;
    static std::optional<QTemporaryDir> backups;
    if (!shared) {
        shared.emplace();
        backups.emplace();
        fillClinic(*shared);
        DataCopy().backup(Modutarnxt::clinicStore(), backups->filePath(QStringLiteral("good.mdb")));
    }
    test::TempClinic &c = *shared;
    Modutarnxt::SystemRoot = c.root();
    const test::StoreInstalled sharedStore(c.store());
    const QString good = backups->filePath(QStringLiteral("good.mdb"));
    const QString candidate = make(this, c, good, m_out->path());
    const QByteArray before = test::fileHash(c.dbPath());
    DataCopy copy;
    const auto r = copy.restore(Modutarnxt::clinicStore(), candidate);
    QVERIFY(r);
    QVERIFY2(r->message.contains(message), qPrintable(r->message));
    QVERIFY2(r->message.count(u'\n') <= 1 && r->message.size() < 600, qPrintable(r->message));
    QCOMPARE(r->field, maint::CopyField::Txtpath);
    QCOMPARE(test::fileHash(c.dbPath()), before);
    QCOMPARE(leftovers(c.root() + QStringLiteral("/system")), QStringList());
    QCOMPARE(DataCopy::safetyCopies(Modutarnxt::clinicStore()), QStringList());
}

void TstDataCopy::roundTripKeepsEveryRow()
{
    test::TempClinic c;
    const QString b = goodBackup(c);
    const QList<QStringList> saved = everyRow(c.dbPath());
    QVERIFY(saved.size() >= 9);
    QCOMPARE(QFileInfo(b).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther), QFile::Permissions());
    // The clerk damages the data after the backup.
    c.open().exec(QStringLiteral("delete from hzblzl"));
    c.addDrug(QStringLiteral("A03"), QStringLiteral("紫苏"), QStringLiteral("0.10"));
    const QByteArray damaged = test::fileHash(c.dbPath());

    DataCopy copy;
    QVERIFY(!copy.restore(Modutarnxt::clinicStore(), b));
    QCOMPARE(everyRow(c.dbPath()), saved);
    QVERIFY(!maint::whatIsWrong(c.dbPath()));
    QCOMPARE(QFileInfo(c.dbPath()).permissions() & (QFile::ReadOther | QFile::WriteOther), QFile::Permissions());
    // The data that was replaced is kept, as it was.
    QCOMPARE(DataCopy::safetyCopies(Modutarnxt::clinicStore()), QStringList{copy.lastSafetyCopy()});
    QCOMPARE(test::fileHash(copy.lastSafetyCopy()), damaged);
    QCOMPARE(leftovers(c.root() + QStringLiteral("/system")), QStringList());
}

void TstDataCopy::backupStaysEncrypted()
{
    test::TempClinic c;
    const QString b = goodBackup(c);
    QFile f(b);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(16);
    QVERIFY(!head.startsWith("SQLite format 3"));
    QVERIFY(!f.readAll().contains(QStringLiteral("王芳").toUtf8()));
    // Without the key the engine sees no database.
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(b).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QVERIFY(sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK);
    sqlite3_close(db);
    QVERIFY(!maint::whatIsWrong(b));
    QVERIFY(!maint::whatIsWrong(b, maint::CheckDepth::Full));
}

void TstDataCopy::restoreWhenTheLiveFileIsLost()
{
    test::TempClinic c;
    const QString b = goodBackup(c);
    const QList<QStringList> saved = everyRow(c.dbPath());
    QVERIFY(QFile::remove(c.dbPath()));
    DataCopy copy;
    QVERIFY(!copy.restore(Modutarnxt::clinicStore(), b));
    QCOMPARE(everyRow(c.dbPath()), saved);
    QCOMPARE(copy.lastSafetyCopy(), QString());
}

void TstDataCopy::interruptedRestoreLeavesLiveIntact()
{
    test::TempClinic c;
    const QString b = goodBackup(c);
    c.open().exec(QStringLiteral("delete from ycjg"));
    const QByteArray before = test::fileHash(c.dbPath());
    DataCopy copy;
    copy.setStageHook([](DataCopy::Stage s) {
        if (s == DataCopy::Stage::BeforeRename)
            throw DbError(err::DiskIo, QStringLiteral("断电"));
    });
    QVERIFY_THROWS_EXCEPTION(DbError, copy.restore(Modutarnxt::clinicStore(), b));
    QCOMPARE(test::fileHash(c.dbPath()), before);
    QCOMPARE(leftovers(c.root() + QStringLiteral("/system")), QStringList());
    QCOMPARE(DataCopy::safetyCopies(Modutarnxt::clinicStore()), QStringList());
    QCOMPARE(c.open().scalarInt(QStringLiteral("select count(*) from ycjg")), 0);
}

void TstDataCopy::backupHoldsTheWriteLock()
{
    test::TempClinic c;
    fillClinic(c);
    DataCopy copy;
    int steps = 0, refused = 0;
    copy.setProgress([&](qint64, qint64) {
        ++steps;
        auto s = c.open();
        s.setBusyTimeout(0);
        try {
            s.exec(QStringLiteral("insert into ycjg(ycbm, ycmc) values('Z9', '另一个动作')"));
        } catch (const DbError &e) {
            refused += e.number() == err::Locked;
        }
    });
    const QString target = out(QStringLiteral("locked.mdb"));
    copy.backup(Modutarnxt::clinicStore(), target);
    QVERIFY(steps > 0);
    QCOMPARE(refused, steps);
    QCOMPARE(everyRow(target), everyRow(c.dbPath()));
}

void TstDataCopy::failedBackupLeavesNoTarget()
{
    test::TempClinic c;
    fillClinic(c);
    const QString target = out(QStringLiteral("usb.mdb"));
    writeBytes(target, "an older backup");
    DataCopy copy;
    copy.setStageHook([](DataCopy::Stage s) {
        if (s == DataCopy::Stage::BeforeRename)
            throw DbError(err::DiskIo, QStringLiteral("U盘被拔出"));
    });
    QVERIFY_THROWS_EXCEPTION(DbError, copy.backup(Modutarnxt::clinicStore(), target));
    QCOMPARE(test::fileHash(target), QCryptographicHash::hash("an older backup", QCryptographicHash::Sha256));
    QCOMPARE(leftovers(m_out->path()), QStringList());
}

void TstDataCopy::badBackupTarget_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("read-only folder") << "readonly" << QStringLiteral("备份文件所在的文件夹不能写入");
    QTest::newRow("missing folder") << "missing" << QStringLiteral("备份文件所在的文件夹不存在");
    QTest::newRow("a folder") << "folder" << QStringLiteral("所选的是文件夹");
    QTest::newRow("the live file") << "live" << QStringLiteral("不能把数据备份到系统正在使用的数据库文件上");
}

void TstDataCopy::badBackupTarget()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    test::TempClinic c;
    fillClinic(c);
    const QByteArray live = test::fileHash(c.dbPath());
    std::optional<TmpFs> ro;
    QString target = out(QStringLiteral("missing/b.mdb"));
    if (kind == u"readonly") {
        const QString folder = out(QStringLiteral("ro"));
        if (::geteuid() == 0) {
            ro.emplace(folder, "size=1m", MS_RDONLY);
            if (!ro->mounted)
                QSKIP(qPrintable(ro->why));
        } else {
            QDir().mkpath(folder);
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        }
        target = folder + QStringLiteral("/b.mdb");
    } else if (kind == u"folder") {
        target = m_out->path();
    } else if (kind == u"live") {
        target = c.root() + QStringLiteral("/system/../system/zyqhmz.mdb");
    }
    DataCopy copy;
    const auto r = copy.checkBackup(Modutarnxt::clinicStore(), target);
    QVERIFY(r);
    QVERIFY2(r->message.contains(message), qPrintable(r->message));
    QCOMPARE(test::fileHash(c.dbPath()), live);
    QVERIFY(kind == u"live" || kind == u"folder" || !QFileInfo::exists(target));
}

void TstDataCopy::fullFileSystem()
{
    test::TempClinic c;
    fillClinic(c);
    const qint64 size = QFileInfo(c.dbPath()).size();
    {
        TmpFs tiny(out(QStringLiteral("tiny")), "size=8k");
        if (!tiny.mounted)
            QSKIP(qPrintable(tiny.why));
        const auto r = DataCopy().checkBackup(Modutarnxt::clinicStore(), tiny.dir + QStringLiteral("/b.mdb"));
        QVERIFY(r);
        QCOMPARE(r->message, QStringLiteral("目标磁盘太小，不能备份数据。"));
    }
    // Room at the check, none left when the engine writes (another program filled the disk).
    TmpFs fs(out(QStringLiteral("usb")), QByteArray("size=") + QByteArray::number(size + 256 * 1024));
    QVERIFY(fs.mounted);
    const QString target = fs.dir + QStringLiteral("/b.mdb");
    QVERIFY(!DataCopy().checkBackup(Modutarnxt::clinicStore(), target));
    DataCopy copy;
    const QString filler = fs.dir + QStringLiteral("/filler");
    copy.setStageHook([&](DataCopy::Stage s) {
        if (s != DataCopy::Stage::BeforeImage)
            return;
        QFile f(filler);
        f.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'x');
        while (f.write(block) == block.size() && f.flush()) {
        }
    });
    try {
        copy.backup(Modutarnxt::clinicStore(), target);
        QFAIL("the backup did not notice the full disk");
    } catch (const DbError &e) {
        QCOMPARE(e.number(), err::DiskFull);
    }
    QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(QDir(fs.dir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("filler")});
}

void TstDataCopy::safetyCopiesAreBounded()
{
    test::TempClinic c;
    const QString b = goodBackup(c);
    QStringList made;
    for (int i = 0; i < maint::SafetyCopiesKept + 2; ++i) {
        DataCopy copy;
        QVERIFY(!copy.restore(Modutarnxt::clinicStore(), b));
        made << copy.lastSafetyCopy();
    }
    QCOMPARE(DataCopy::safetyCopies(Modutarnxt::clinicStore()), made.mid(2));
}

void TstDataCopy::commandLine()
{
    test::TempClinic c;
    fillClinic(c);
    char prog[] = "qinghe", opt[] = "--backup", path[] = "/tmp/x.mdb", joined[] = "--backup=/tmp/y.mdb";
    char *two[] = {prog, opt, path}, *one[] = {prog, joined}, *none[] = {prog};
    QCOMPARE(maint::backupRequest(3, two), std::optional<QString>(QStringLiteral("/tmp/x.mdb")));
    QCOMPARE(maint::backupRequest(2, one), std::optional<QString>(QStringLiteral("/tmp/y.mdb")));
    QCOMPARE(maint::backupRequest(1, none), std::nullopt);

    const QString target = out(QStringLiteral("nightly.mdb"));
    QCOMPARE(maint::backupFromCommandLine(Modutarnxt::clinicStore(), target), 0);
    QCOMPARE(everyRow(target), everyRow(c.dbPath()));
    QVERIFY(maint::backupFromCommandLine(Modutarnxt::clinicStore(), out(QStringLiteral("no/such/folder.mdb"))) != 0);
    QFile::remove(c.dbPath());
    QVERIFY(maint::backupFromCommandLine(Modutarnxt::clinicStore(), out(QStringLiteral("second.mdb"))) != 0);
    QVERIFY(!QFileInfo::exists(out(QStringLiteral("second.mdb"))));
}

QTEST_GUILESS_MAIN(TstDataCopy)
#include "tst_datacopy.moc"
