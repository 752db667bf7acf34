// The reliability probe's kills: a child posting or starting, killed with SIGKILL at random
// moments, the file checked after every kill.
#include "probe.h"
#include "core/modutarnxt.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/types.h>

namespace probe {

namespace {

// Starts this program as a child; waits for its "GO".
bool startChild(QProcess &p, const QStringList &args)
{
    p.setProgram(QCoreApplication::applicationFilePath());
    p.setArguments(args);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start();
    if (!p.waitForStarted(10000))
        return false;
    QElapsedTimer t;
    t.start();
    while (!p.canReadLine() && t.elapsed() < 30000)
        p.waitForReadyRead(100);
    return p.canReadLine() && p.peek(3) == "GO\n";
}

void killChild(QProcess &p)
{
    ::kill(pid_t(p.processId()), SIGKILL);
    p.waitForFinished(30000);
}

// Starts the child in its mode on a data folder made by prepare, kills it at random moments over
// the span one unkilled run takes, and after each kill lists with check what is wrong with the
// folder. Returns 1 at the first fault (told with what), else 0.
struct KillCount {
    int killed = 0;
    int tooLate = 0;
    qint64 span = 0;
};
int killDuringStarts(const Options &o, const QString &mode, const QString &what,
                     const std::function<bool(const QString &root)> &prepare,
                     const std::function<QStringList(const QString &root)> &check, KillCount &count)
{
    const auto start = [&](QProcess &p, const QString &root) {
        return prepare(root)
            && startChild(p, {mode, root, o.broken ? QStringLiteral("--broken") : QString()});
    };
    {
        // Timed with the variant under test, so the kills spread over its own span.
        QTemporaryDir dir;
        QProcess p;
        QElapsedTimer t;
        if (!start(p, dir.path())) {
            say(QStringLiteral("FAIL: the child for %1 did not start").arg(what));
            return 1;
        }
        t.start();
        p.waitForFinished(60000);
        count.span = std::max<qint64>(t.elapsed(), 5);
    }
    auto *rng = QRandomGenerator::global();
    count.killed = count.tooLate = 0;
    for (int k = 0; k < o.startKills; ++k) {
        QTemporaryDir dir;
        QProcess p;
        if (!start(p, dir.path())) {
            say(QStringLiteral("FAIL: the child for %1 did not start").arg(what));
            return 1;
        }
        QThread::usleep(rng->bounded(quint32(count.span * 1000)));
        if (p.state() == QProcess::Running)
            ++count.killed;
        else
            ++count.tooLate;
        killChild(p);
        const QStringList problems = check(dir.path());
        if (!problems.isEmpty()) {
            say(QStringLiteral("FAULT after kill %1 during %2:").arg(k + 1).arg(what));
            for (const QString &pr : problems)
                say(QStringLiteral("  ") + pr);
            return 1;
        }
    }
    return 0;
}

} // namespace

int crashPostings(const Options &o, int &killsDone)
{
    QTemporaryDir dir;
    prepareClinic(dir.path());
    const QString path = Modutarnxt::databasePath();
    Ledger ledger;
    auto *rng = QRandomGenerator::global();
    for (killsDone = 0; killsDone < o.kills;) {
        QProcess p;
        if (!startChild(p, {QStringLiteral("--child-post"), dir.path(), QString::number(ledger.next),
                            o.broken ? QStringLiteral("--broken") : QString()})) {
            say(QStringLiteral("FAIL: the posting child did not start"));
            return 1;
        }
        QThread::usleep(rng->bounded(1000, 150000));
        killChild(p);
        ++killsDone;
        const Lines l = readLines(p.readAllStandardOutput());
        ledger.acked.unite(l.acked);
        ledger.notDone.unite(l.failed);
        if (!l.failed.isEmpty()) {
            say(QStringLiteral("FAIL: postings failed without a fault: %1").arg(l.failed.size()));
            return 1;
        }
        const QStringList problems = checkFile(path, ledger, true);
        if (!problems.isEmpty()) {
            say(QStringLiteral("FAULT after kill %1 (%2 postings acknowledged):").arg(killsDone).arg(ledger.acked.size()));
            for (const QString &pr : problems)
                say(QStringLiteral("  ") + pr);
            return 1;
        }
    }
    say(QStringLiteral("crash: %1 kills during postings, %2 postings acknowledged and present, 0 damaged files, "
                       "0 broken balances")
            .arg(killsDone)
            .arg(ledger.acked.size()));
    return 0;
}

int crashFirstStart(const Options &o, int &killed)
{
    KillCount count;
    const int rc = killDuringStarts(o, QStringLiteral("--child-start"), QStringLiteral("the first start"),
                                    [](const QString &) { return true; }, checkFirstStart, count);
    killed = count.killed;
    if (rc == 0)
        say(QStringLiteral("crash: %1 kills during the first start (%2 more came too late), every next start sound")
                .arg(count.killed)
                .arg(count.tooLate));
    return rc;
}

int crashUpgrade(const Options &o, int &killed)
{
    // A file of the first layout with a few months of movements, made once and copied for each kill.
    QTemporaryDir base;
    const QString model = base.filePath(QStringLiteral("first.mdb"));
    QByteArray expected;
    {
        QTemporaryDir dir;
        prepareClinic(dir.path());
        auto s = Modutarnxt::clinicStore().open();
        db::Transaction t(s);
        for (int i = 0; i < 20000; ++i)
            s.exec(QStringLiteral("insert into yccrtb(crsj, ycbm, ywzy, rksl, rkje, cksl, ckje, xsje) values(?, ?, ?, ?, ?, 0, 0, 0)"),
                   QDateTime(Today, QTime(8, 0)).addSecs(-i * 60), i % 2 ? QStringLiteral("甘草") : QStringLiteral("黄芪"),
                   QStringLiteral("购进"), Money::fromInt(1 + i % 7), Money::fromCents(100 + i));
        t.commit();
        s.copyInto(model, db::FileLayout::Pages1K);
        auto first = db::Session::open(model);
        expected = contentDigest(first);
    }
    KillCount count;
    const int rc = killDuringStarts(
        o, QStringLiteral("--child-upgrade"), QStringLiteral("the rewrite of a first-layout file"),
        [&model](const QString &root) {
            Modutarnxt::SystemRoot = root;
            QDir().mkpath(QFileInfo(Modutarnxt::databasePath()).absolutePath());
            return QFile::copy(model, Modutarnxt::databasePath());
        },
        [&expected](const QString &root) { return checkUpgrade(root, expected); }, count);
    killed = count.killed;
    if (rc == 0)
        say(QStringLiteral("crash: %1 kills during the rewrite of a first-layout file (%2 more came too late, a rewrite "
                           "takes %3 ms), every file whole and rewritten by the next start")
                .arg(count.killed)
                .arg(count.tooLate)
                .arg(count.span));
    return rc;
}

} // namespace probe
