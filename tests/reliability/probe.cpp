// Reliability probes of the stock postings and of the first start, on a real encrypted file:
//
//   reliability_probe crash [--kills N] [--start-kills N] [--broken]
//       A child process posts receipts, issues and prescription dispensings in a loop through
//       the real logic classes; the parent kills it with SIGKILL at random moments and after
//       every kill checks the file. Then the same for kills during the very first start, and
//       during the start's rewrite of a file of the first layout (1 KB pages).
//   reliability_probe iofaults [--postings N] [--probability P] [--broken]
//       The child posts under fiu-run with random failures of pwrite, pread and fdatasync.
//   reliability_probe diskfull [--broken]
//       Postings on a small file system (tmpfs, needs root) that fills up.
//
// After every kill or run: integrity check "ok"; every balance equals its movements (received
// quantity and amount, quantity on hand = in - out); no movement without its balance change;
// every acknowledged posting present, whole, and nothing present that was reported failed.
// --broken runs the same probe against a deliberately broken variant (postings without their
// transaction, failures reported as success, a first start that creates the file in place, a
// rewrite that replaces the file by copying over it)
// and succeeds only when the probe catches it: it shows that the probe can fail.
//
// Exit status: 0 passed, 1 a fault found (or, with --broken, not found), 77 skipped.
// QH_RELIABILITY_KILLS overrides the number of kills (the sanitizer run uses fewer).
#include "db/session.h"
#include "core/modutarnxt.h"
#include "core/schema.h"
#include "stock/charging.h"
#include "stock/posting.h"
#include "stock/stockin.h"
#include "stock/stockout.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <sqlite3.h>

#include <csignal>
#include <functional>
#include <cstdio>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace qh;

namespace {

constexpr int Skipped = 77;
const QDate Today(2024, 6, 15);

// ------------------------------------------------------------------ output

void say(const QString &line)
{
    const QByteArray b = line.toUtf8() + '\n';
    fwrite(b.constData(), 1, size_t(b.size()), stdout);
    fflush(stdout);
}

// One line on stdout in one write, so a kill never leaves half of an acknowledgement.
void tell(const QByteArray &line)
{
    const QByteArray b = line + '\n';
    qsizetype done = 0;
    while (done < b.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, b.constData() + done, size_t(b.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

// ------------------------------------------------------------------ the postings

QString tagOf(int n) { return QStringLiteral("K%1").arg(n); }

// Movement rows a posting writes: receipts and issues one, dispensings one per herb.
int rowsOf(int n) { return n % 4 == 3 ? 2 : 1; }

stock::StockInEntry receipt(int n)
{
    stock::StockInEntry e;
    const bool first = n % 4 == 0;
    e.Txtycbm = first ? QStringLiteral("GC") : QStringLiteral("HQ");
    e.Txtycmc = first ? QStringLiteral("甘草") : QStringLiteral("黄芪");
    e.TxtYcph = QStringLiteral("B%1").arg(n);
    e.TxtYsqx = QStringLiteral("2026-06-15");
    e.Txthwcd = QStringLiteral("甘肃");
    e.TxtPjhm = QStringLiteral("P%1").arg(n);
    e.TxtYcsl = first ? QStringLiteral("10.00") : QStringLiteral("7.00");
    e.TxtYcje = first ? QStringLiteral("32.50") : QStringLiteral("21.70");
    e.Txthwll = QStringLiteral("药材公司");
    e.TxtGjsj = QStringLiteral("2024-06-15");
    e.Txtjbxm = tagOf(n);
    return e;
}

stock::StockOutEntry issue(int n)
{
    stock::StockOutEntry e;
    e.Txtycbm = QStringLiteral("GC");
    e.Txtycmc = QStringLiteral("甘草");
    e.TxtPjhm = QStringLiteral("P%1").arg(n);
    e.TxtGjsj = QStringLiteral("2024-06-15");
    e.Txthwll = QStringLiteral("科室领用");
    e.TxtYcsl = QStringLiteral("1");
    e.TxtYcje = QStringLiteral("6.00");
    e.Txtjbxm = tagOf(n);
    return e;
}

QList<stock::ChargeLine> dispensing()
{
    return {{QStringLiteral("GC"), QStringLiteral("甘草"), Money::fromInt(1), Money::fromInt(5), Money::fromInt(5)},
            {QStringLiteral("HQ"), QStringLiteral("黄芪"), *Money::parse(QStringLiteral("0.5")), Money::fromInt(8),
             Money::fromInt(4)}};
}

enum class Outcome { Acknowledged, Refused, Failed };
struct Result {
    Outcome outcome;
    int number = 0; // error number of a failure, when known
    QString text;
};

// The number of a failure that the window logic reported in the short form (its description).
int numberOfReport(const QString &text)
{
    for (int code : {SQLITE_IOERR, SQLITE_FULL, SQLITE_NOTADB, SQLITE_CANTOPEN, SQLITE_BUSY, SQLITE_READONLY}) {
        const DbError e = db::engineError(code, QString(), QString());
        if (text.startsWith(e.description().left(6)))
            return e.number();
    }
    if (text.startsWith(QStringLiteral("事务")))
        return err::Misuse;
    return 0;
}

// One posting through the window logic, as the windows do it.
Result postThroughLogic(int n)
{
    switch (n % 4) {
    case 0:
    case 1: {
        stock::StockIn logic(Modutarnxt::clinicStore());
        const auto r = logic.post(receipt(n));
        return !r ? Result{Outcome::Acknowledged, 0, {}} : Result{Outcome::Failed, numberOfReport(r->message), r->message};
    }
    case 2: {
        stock::StockOut logic(Modutarnxt::clinicStore());
        const auto r = logic.post(issue(n));
        if (!r)
            return {Outcome::Acknowledged, 0, {}};
        if (r->message == QStringLiteral("库存中此药材余量不足"))
            return {Outcome::Refused, 0, r->message};
        return {Outcome::Failed, numberOfReport(r->message), r->message};
    }
    default:
        try {
            auto s = Modutarnxt::clinicStore().open();
            stock::ChargeDiagnosis visit;
            visit.blbm = QStringLiteral("A0001");
            visit.blkb = QStringLiteral("内科");
            visit.day = Today;
            visit.doctor = tagOf(n);
            stock::Charging::post(s, dispensing(), visit, QStringLiteral("测试员"), Today);
            return {Outcome::Acknowledged, 0, {}};
        } catch (const stock::InsufficientStock &e) {
            return {Outcome::Refused, e.number(), e.description()};
        } catch (const DbError &e) {
            return {Outcome::Failed, e.number(), e.description()};
        }
    }
}

// The broken variant: the same rows, written without their transaction.
Result postWithoutTransaction(int n)
{
    try {
        auto s = Modutarnxt::clinicStore().open();
        switch (n % 4) {
        case 0:
        case 1:
            stock::postMovementInTransaction(s, stock::StockIn::movement(receipt(n)), stock::MovementKind::Receipt);
            break;
        case 2:
            stock::postMovementInTransaction(s, stock::StockOut::movement(issue(n)), stock::MovementKind::Issue);
            break;
        default:
            for (const auto &l : dispensing()) {
                stock::Movement m;
                m.crsj = QDateTime(Today, QTime(0, 0));
                m.ycbm = l.name;
                m.ywzy = stock::SummaryDispensing;
                m.cksl = l.dose;
                m.xsje = l.amount;
                m.jbxm = tagOf(n);
                stock::postMovementInTransaction(s, m, stock::MovementKind::Issue);
            }
        }
        return {Outcome::Acknowledged, 0, {}};
    } catch (const DbError &e) {
        return {Outcome::Failed, e.number(), e.description()};
    }
}

// Child: posts from number first on, count postings (forever when count is 0).
int childPost(const QString &root, int first, int count, bool broken)
{
    Modutarnxt::SystemRoot = root;
    Modutarnxt::CurrentUser = QStringLiteral("测试员");
    try {
        Modutarnxt::clinicStore().open(); // derives the key once, so the kills fall into postings
    } catch (const DbError &) {
    }
    tell("GO");
    for (int n = first; count == 0 || n < first + count; ++n) {
        Result r;
        if (broken && count == 0) {
            r = postWithoutTransaction(n);
        } else {
            r = postThroughLogic(n);
            if (broken && r.outcome == Outcome::Failed)
                r.outcome = Outcome::Acknowledged; // a failure reported as success
        }
        switch (r.outcome) {
        case Outcome::Acknowledged:
            tell("ACK " + QByteArray::number(n));
            break;
        case Outcome::Refused:
            tell("REF " + QByteArray::number(n));
            break;
        case Outcome::Failed:
            tell("ERR " + QByteArray::number(n) + ' ' + QByteArray::number(r.number) + ' ' + r.text.toUtf8().replace('\n', ' '));
            break;
        }
    }
    tell("END");
    return 0;
}

// The first start, broken: the file made in place, as a start that is not atomic would.
void startInPlace(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    db::Session s = db::Session::create(path);
    createSchema(s);
    s.exec(QStringLiteral("insert into xtzlqk(xt001) values('  ')"));
}

// The rewrite of a first-layout file, broken: the file moved aside and the new one made in its
// place, instead of a finished copy renamed into place.
void rewriteInPlace(const QString &path)
{
    const QString aside = path + QStringLiteral(".old");
    QFile::remove(aside);
    QFile::rename(path, aside);
    db::Session::open(aside).copyInto(path, db::FileLayout::Pages4K);
    QFile::remove(aside);
}

// A start in a child on the data folder root: the program's own start (which makes a missing
// file and rewrites a first-layout one), or with --broken the given broken variant of it.
int childStart(const QString &root, bool broken, const std::function<void(const QString &path)> &brokenStart)
{
    Modutarnxt::SystemRoot = root;
    tell("GO");
    try {
        if (broken)
            brokenStart(Modutarnxt::databasePath());
        else
            Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore());
    } catch (const DbError &e) {
        tell("ERR " + e.description().toUtf8());
        return 1;
    }
    tell("DONE");
    return 0;
}

// ------------------------------------------------------------------ the checks

struct Lines {
    QSet<int> acked, refused, failed;
    QList<int> failureNumbers;
    bool ended = false;
    bool go = false;
};

Lines readLines(const QByteArray &out)
{
    Lines l;
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> w = line.split(' ');
        if (line == "GO")
            l.go = true;
        else if (line == "END")
            l.ended = true;
        else if (w.size() >= 2 && w[0] == "ACK")
            l.acked.insert(w[1].toInt());
        else if (w.size() >= 2 && w[0] == "REF")
            l.refused.insert(w[1].toInt());
        else if (w.size() >= 3 && w[0] == "ERR") {
            l.failed.insert(w[1].toInt());
            l.failureNumbers << w[2].toInt();
        }
    }
    // The last line may be cut by the kill: it was not acknowledged.
    return l;
}

struct Ledger {
    QSet<int> acked;   // every posting acknowledged so far
    QSet<int> notDone; // reported failed or refused: must not be present
    int next = 0;      // number of the next posting
};

// Checks the file after a kill or a run. Empty result: everything holds.
QStringList checkFile(const QString &path, Ledger &ledger, bool inFlightAllowed)
{
    QStringList problems;
    try {
        auto s = db::Session::open(path);
        const QString integrity = s.scalarText(QStringLiteral("pragma integrity_check")).value_or(QString());
        if (integrity != u"ok")
            problems << QStringLiteral("integrity check: %1").arg(integrity);

        // Every balance equals its movements; no movement without a balance.
        auto st = s.query(QStringLiteral(
            "select coalesce(b.ycbm, m.ycbm), b.rksl, b.rkje, b.ycyl, m.rksl, m.rkje, m.cksl from "
            "(select ycbm, sum(rksl) rksl, sum(rkje) rkje, sum(cksl) cksl from yccrtb group by ycbm) m "
            "left join ycyltb b on b.ycbm = m.ycbm "
            "union all select b.ycbm, b.rksl, b.rkje, b.ycyl, null, null, null from ycyltb b "
            "where not exists (select 1 from yccrtb m where m.ycbm = b.ycbm)"));
        while (st.next()) {
            const QString drug = st.text(0);
            if (st.isNull(1) || st.isNull(4)) {
                problems << QStringLiteral("%1: balance row and movements do not go together").arg(drug);
                continue;
            }
            const Money inQty = st.money(4), inAmount = st.money(5), outQty = st.money(6);
            if (st.money(1) != inQty || st.money(2) != inAmount || st.money(3) != inQty - outQty)
                problems << QStringLiteral("%1: balance %2/%3/%4, movements in %5/%6 out %7")
                                .arg(drug, st.money(1).toPlain(), st.money(2).toPlain(), st.money(3).toPlain(),
                                     inQty.toPlain(), inAmount.toPlain(), outQty.toPlain());
        }

        // Postings: acknowledged ones whole, failed ones absent, nothing half.
        QHash<int, int> present;
        auto t = s.query(QStringLiteral("select jbxm, count(*) from yccrtb group by jbxm"));
        while (t.next())
            present.insert(t.text(0).mid(1).toInt(), t.integer(1));
        int highest = -1;
        for (auto it = present.cbegin(); it != present.cend(); ++it) {
            const int n = it.key();
            highest = std::max(highest, n);
            if (it.value() != rowsOf(n))
                problems << QStringLiteral("posting %1 is half there: %2 of %3 rows").arg(n).arg(it.value()).arg(rowsOf(n));
            if (ledger.notDone.contains(n))
                problems << QStringLiteral("posting %1 was reported failed but is stored").arg(n);
            else if (!ledger.acked.contains(n) && !(inFlightAllowed && n >= ledger.next))
                problems << QStringLiteral("posting %1 is stored but was never acknowledged").arg(n);
        }
        for (int n : std::as_const(ledger.acked))
            if (!present.contains(n))
                problems << QStringLiteral("acknowledged posting %1 is missing").arg(n);
        // A posting that went through just before the kill without its acknowledgement counts.
        for (auto it = present.cbegin(); it != present.cend(); ++it)
            ledger.acked.insert(it.key());
        ledger.next = std::max(ledger.next, highest + 1);
    } catch (const DbError &e) {
        problems << QStringLiteral("the file cannot be used: %1 %2").arg(e.number()).arg(e.description());
    }
    return problems;
}

// A fresh clinic with the two herbs in the drug list, made by the real start.
void prepareClinic(const QString &root)
{
    Modutarnxt::SystemRoot = root;
    Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore());
    auto s = Modutarnxt::clinicStore().open();
    const QString sql = QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, '克', '补益药')");
    s.exec(sql, QStringLiteral("GC"), QStringLiteral("甘草"), Money::fromInt(5));
    s.exec(sql, QStringLiteral("HQ"), QStringLiteral("黄芪"), Money::fromInt(8));
}

struct Options {
    int kills = 200;
    int startKills = 40;
    int postings = 400;
    double probability = 0.02;
    bool broken = false;
};

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

// ------------------------------------------------------------------ crash

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

// Checks a data folder after a kill during the first start; then starts again, unkilled.
QStringList checkFirstStart(const QString &root)
{
    QStringList problems;
    Modutarnxt::SystemRoot = root;
    const QString path = Modutarnxt::databasePath();
    if (QFileInfo::exists(path)) {
        try {
            auto s = db::Session::open(path);
            if (s.scalarText(QStringLiteral("pragma integrity_check")).value_or(QString()) != u"ok")
                problems << QStringLiteral("integrity check fails");
            if (s.scalarInt(QStringLiteral("select count(*) from sqlite_master where type = 'table'")) != 23)
                problems << QStringLiteral("the database file is there without all its tables");
            else if (s.scalarInt(QStringLiteral("select count(*) from xtzlqk")) != 1)
                problems << QStringLiteral("the database file is there without its status row");
        } catch (const DbError &e) {
            problems << QStringLiteral("the database file left behind cannot be opened: %1 %2").arg(e.number()).arg(e.description());
        }
    }
    try {
        QString notice;
        const auto route = Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore(), notice);
        if (route != Modutarnxt::StartRoute::FirstRun)
            problems << QStringLiteral("the next start does not lead to the first-run setup");
        if (!notice.isEmpty())
            problems << QStringLiteral("the next start had to repair: %1").arg(notice);
        if (QFileInfo::exists(creatingPath(path)))
            problems << QStringLiteral("the temporary file of the creation is still there");
    } catch (const DbError &e) {
        problems << QStringLiteral("the next start fails: %1 %2").arg(e.number()).arg(e.description());
    }
    return problems;
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

// Everything a file holds (schema and every row), as one digest.
QByteArray contentDigest(db::Session &s)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    QStringList tables;
    db::Statement st = s.query(QStringLiteral("select type, name, ifnull(sql, '') from sqlite_master order by type, name"));
    while (st.next()) {
        h.addData((st.text(0) + st.text(1) + st.text(2)).toUtf8());
        if (st.text(0) == u"table")
            tables << st.text(1);
    }
    for (const QString &t : tables) {
        db::Statement rows = s.query(QStringLiteral("select * from \"%1\" order by rowid").arg(t));
        while (rows.next())
            for (int c = 0; c < rows.columnCount(); ++c)
                h.addData((rows.isNull(c) ? QStringLiteral("\x01") : rows.text(c) + u'\x02').toUtf8());
    }
    return h.result();
}

// Checks a data folder after a kill during the rewrite of its first-layout file: the file opens
// (in either layout) with exactly what it held; the next start, unkilled, finishes the rewrite.
QStringList checkUpgrade(const QString &root, const QByteArray &expected)
{
    QStringList problems;
    Modutarnxt::SystemRoot = root;
    const QString path = Modutarnxt::databasePath();
    try {
        auto s = db::Session::open(path);
        if (s.scalarText(QStringLiteral("pragma integrity_check")).value_or(QString()) != u"ok")
            problems << QStringLiteral("integrity check fails");
        if (contentDigest(s) != expected)
            problems << QStringLiteral("the file does not hold what it held before the rewrite");
    } catch (const DbError &e) {
        problems << QStringLiteral("the file left behind cannot be opened: %1 %2").arg(e.number()).arg(e.description());
    }
    try {
        Modutarnxt::prepareClinicDatabase(Modutarnxt::clinicStore());
        auto s = db::Session::open(path);
        if (s.layout() != db::FileLayout::Pages4K)
            problems << QStringLiteral("the next start did not rewrite the file");
        if (contentDigest(s) != expected)
            problems << QStringLiteral("after the next start the file does not hold what it held");
        if (QFileInfo::exists(upgradingPath(path)))
            problems << QStringLiteral("the temporary copy of the rewrite is still there");
    } catch (const DbError &e) {
        problems << QStringLiteral("the next start fails: %1 %2").arg(e.number()).arg(e.description());
    }
    return problems;
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

// ------------------------------------------------------------------ I/O faults

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

// ------------------------------------------------------------------ full disk

struct Mount {
    QString dir;
    bool mounted = false;
    ~Mount()
    {
        if (mounted)
            ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
    }
};

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

int usage()
{
    say(QStringLiteral("usage: reliability_probe crash|iofaults|diskfull [--kills N] [--start-kills N] [--postings N] "
                       "[--probability P] [--broken]"));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    args.removeAll(QString());
    if (args.isEmpty())
        return usage();
    Options o;
    o.broken = args.removeAll(QStringLiteral("--broken")) > 0;
    auto option = [&](const QString &name, auto &value) {
        const int i = args.indexOf(name);
        if (i >= 0 && i + 1 < args.size()) {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, double>)
                value = args[i + 1].toDouble();
            else
                value = args[i + 1].toInt();
            args.remove(i, 2);
        }
    };
    option(QStringLiteral("--kills"), o.kills);
    option(QStringLiteral("--start-kills"), o.startKills);
    option(QStringLiteral("--postings"), o.postings);
    option(QStringLiteral("--probability"), o.probability);
    int count = 0;
    option(QStringLiteral("--count"), count);
    if (qEnvironmentVariableIsSet("QH_RELIABILITY_KILLS") && !o.broken) {
        o.kills = qEnvironmentVariableIntValue("QH_RELIABILITY_KILLS");
        o.startKills = std::max(1, o.kills / 5);
    }

    const QString mode = args.value(0);
    if (mode == u"--child-post")
        return childPost(args.value(1), args.value(2).toInt(), count, o.broken);
    if (mode == u"--child-start")
        return childStart(args.value(1), o.broken, startInPlace);
    if (mode == u"--child-upgrade")
        return childStart(args.value(1), o.broken, rewriteInPlace);

    int rc = 0;
    if (mode == u"crash" && o.broken) {
        // Each half against its broken variant must find the fault.
        int kills = 0, startKills = 0;
        const int postings = crashPostings(o, kills);
        say(QStringLiteral("broken postings: %1 after %2 kills").arg(postings == 1 ? "caught" : "NOT caught").arg(kills));
        // A start is short and only part of it is exposed: the kills of one round can all miss
        // that part, so the broken starts get a few rounds to be caught in.
        const auto caughtWithin = [](int rounds, const std::function<int()> &probe) {
            for (int r = 0; r < rounds; ++r)
                if (probe() == 1)
                    return 1;
            return 0;
        };
        const int start = caughtWithin(4, [&] { return crashFirstStart(o, startKills); });
        say(QStringLiteral("broken first start: %1").arg(start == 1 ? "caught" : "NOT caught"));
        int upgradeKills = 0;
        const int upgrade = caughtWithin(4, [&] { return crashUpgrade(o, upgradeKills); });
        say(QStringLiteral("broken rewrite: %1").arg(upgrade == 1 ? "caught" : "NOT caught"));
        rc = postings == 1 && start == 1 && upgrade == 1 ? 1 : 0;
    } else if (mode == u"crash") {
        int kills = 0, startKills = 0;
        rc = crashPostings(o, kills);
        if (rc == 0)
            rc = crashFirstStart(o, startKills);
        int upgradeKills = 0;
        if (rc == 0)
            rc = crashUpgrade(o, upgradeKills);
    } else if (mode == u"iofaults") {
        rc = ioFaults(o);
    } else if (mode == u"diskfull") {
        rc = diskFull(o);
    } else {
        return usage();
    }
    if (o.broken && rc != Skipped) {
        say(rc == 1 ? QStringLiteral("broken variant: the probe caught it, as it must")
                    : QStringLiteral("FAIL: the probe did not catch the broken variant"));
        return rc == 1 ? 0 : 1;
    }
    return rc;
}
