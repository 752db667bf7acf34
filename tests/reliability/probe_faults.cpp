// The reliability probe under injected I/O failures (libfiu's fiu-run) and on a full disk (a
// small tmpfs, needs root).
#include "probe.h"
#include "core/modutarnxt.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace probe {

namespace {

struct Mount {
    QString dir;
    bool mounted = false;
    ~Mount()
    {
        if (mounted)
            ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
    }
};

} // namespace

int ioFaults(const Options &o)
{
    const QString fiuRun = QStandardPaths::findExecutable(QStringLiteral("fiu-run"));
    if (fiuRun.isEmpty()) {
        say(QStringLiteral("SKIP: fiu-run is not installed (Debian package fiu-utils)"));
        return Skipped;
    }
    QTemporaryDir dir;
    prepareClinic(dir.path());
    const QString path = Modutarnxt::databasePath();
    Ledger ledger;
    const QString p = QString::number(o.probability);
    QStringList args{QStringLiteral("-x")};
    for (const char *point : {"posix/io/rw/pwrite", "posix/io/rw/pread", "posix/io/sync/fdatasync"})
        args << QStringLiteral("-c") << QStringLiteral("enable_random name=%1,probability=%2").arg(QLatin1String(point), p);
    args << QCoreApplication::applicationFilePath() << QStringLiteral("--child-post") << dir.path()
         << QStringLiteral("0") << QStringLiteral("--count") << QString::number(o.postings);
    if (o.broken)
        args << QStringLiteral("--broken");

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The preloaded fault library comes before a sanitizer's runtime; that is wanted here.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(fiuRun, args);
    if (!child.waitForFinished(600000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        say(QStringLiteral("FAULT: the posting child under injected I/O failures crashed or hung (exit %1)")
                .arg(child.exitCode()));
        return 1;
    }
    const Lines l = readLines(child.readAllStandardOutput());
    QStringList problems;
    if (!l.ended)
        problems << QStringLiteral("the child did not finish its postings");
    for (int n = 0; n < o.postings; ++n)
        if (int(l.acked.contains(n)) + int(l.failed.contains(n)) + int(l.refused.contains(n)) != 1)
            problems << QStringLiteral("posting %1 has no single outcome").arg(n);
    QHash<int, int> numbers;
    for (int e : l.failureNumbers)
        ++numbers[e];
    if (l.failed.isEmpty())
        problems << QStringLiteral("no failure was injected: the fault injection does not reach the engine");
    ledger.acked = l.acked;
    ledger.notDone = l.failed + l.refused;
    ledger.next = o.postings;
    problems << checkFile(path, ledger, false);
    if (!problems.isEmpty()) {
        say(QStringLiteral("FAULT under injected I/O failures:"));
        for (const QString &pr : problems.mid(0, 20))
            say(QStringLiteral("  ") + pr);
        return 1;
    }
    QStringList byNumber;
    for (auto it = numbers.cbegin(); it != numbers.cend(); ++it)
        byNumber << QStringLiteral("%1×%2").arg(it.key()).arg(it.value());
    byNumber.sort();
    say(QStringLiteral("iofaults: %1 postings under random pwrite/pread/fdatasync failures (p=%2): %3 acknowledged and "
                       "present, %4 reported failed (%5) and absent, %6 refused, file intact")
            .arg(o.postings)
            .arg(p)
            .arg(l.acked.size())
            .arg(l.failed.size())
            .arg(byNumber.join(QStringLiteral(", ")))
            .arg(l.refused.size()));
    return 0;
}

int diskFull(const Options &o)
{
    if (::geteuid() != 0) {
        say(QStringLiteral("SKIP: the full-disk test mounts a small file system and needs root"));
        return Skipped;
    }
    QTemporaryDir base;
    Mount m;
    m.dir = base.path() + QStringLiteral("/small");
    QDir().mkpath(m.dir);
    if (::mount("tmpfs", QFile::encodeName(m.dir).constData(), "tmpfs", 0, "size=1m,mode=0700") != 0) {
        say(QStringLiteral("SKIP: a small file system cannot be mounted here (%1)").arg(QString::fromLocal8Bit(strerror(errno))));
        return Skipped;
    }
    m.mounted = true;
    prepareClinic(m.dir);
    const QString path = Modutarnxt::databasePath();
    Modutarnxt::CurrentUser = QStringLiteral("测试员");

    // Fill the file system up to a few pages.
    const QString fillerPath = m.dir + QStringLiteral("/filler");
    {
        struct statvfs vfs {};
        ::statvfs(QFile::encodeName(m.dir).constData(), &vfs);
        const qint64 free = qint64(vfs.f_bavail) * qint64(vfs.f_frsize);
        QFile filler(fillerPath);
        filler.open(QIODevice::WriteOnly);
        filler.write(QByteArray(std::max<qint64>(free - 24 * 1024, 0), 'f'));
        filler.close();
    }

    Ledger ledger;
    int refusedWith = 0, n = 0;
    QString refusal;
    for (; n < 2000 && refusedWith == 0; ++n) {
        Result r = postThroughLogic(n);
        if (o.broken && r.outcome == Outcome::Failed)
            r.outcome = Outcome::Acknowledged;
        if (r.outcome == Outcome::Acknowledged) {
            ledger.acked.insert(n);
            continue;
        }
        ledger.notDone.insert(n);
        refusal = r.text;
        // The number of the failure: the window logic reports the short form only.
        refusedWith = r.number ? r.number : (r.text == shortReport(DbError(err::DiskFull, {})) ? err::DiskFull : -1);
        if (r.text == QStringLiteral("磁盘空间不足，数据未能写入。"))
            refusedWith = err::DiskFull;
    }
    ledger.next = n;
    QStringList problems;
    if (refusedWith != err::DiskFull)
        problems << QStringLiteral("the full disk was not refused with %1 (got %2: %3)").arg(err::DiskFull).arg(refusedWith).arg(refusal);
    problems << checkFile(path, ledger, false);
    // With room again, the clinic goes on.
    QFile::remove(fillerPath);
    const Result after = postThroughLogic(n);
    if (after.outcome != Outcome::Acknowledged)
        problems << QStringLiteral("after room was made, a posting still fails: %1").arg(after.text);
    if (!problems.isEmpty()) {
        say(QStringLiteral("FAULT on a full disk:"));
        for (const QString &pr : problems)
            say(QStringLiteral("  ") + pr);
        return 1;
    }
    say(QStringLiteral("diskfull: %1 postings fitted, the next refused with %2 \"%3\", file intact, posting goes on "
                       "after room is made")
            .arg(ledger.acked.size())
            .arg(refusedWith)
            .arg(refusal));
    return 0;
}

} // namespace probe
