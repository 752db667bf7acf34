#pragma once
// The parts of the reliability probe (probe.cpp has the command line): the child's postings and
// starts (probe_child.cpp), the checks of a file after a kill or a run (probe_checks.cpp), the
// kills (probe_crash.cpp), injected I/O failures and a full disk (probe_faults.cpp).
#include "db/session.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace probe {

using namespace qh;

constexpr int Skipped = 77;
const QDate Today(2024, 6, 15);

// Output on stdout, flushed at once.
void say(const QString &line);
// One line on stdout in one write, so a kill never leaves half of an acknowledgement.
void tell(const QByteArray &line);

struct Options {
    int kills = 200;
    int startKills = 40;
    int postings = 400;
    double probability = 0.02;
    bool broken = false;
};

// ---- the postings and starts a child runs (probe_child.cpp)

// Movement rows a posting writes: receipts and issues one, dispensings one per herb.
int rowsOf(int n);

enum class Outcome { Acknowledged, Refused, Failed };
struct Result {
    Outcome outcome;
    int number = 0; // error number of a failure, when known
    QString text;
};

// One posting through the window logic, as the windows do it.
Result postThroughLogic(int n);
// Child: posts from number first on, count postings (forever when count is 0); with broken
// (and no count) without their transaction, else with failures reported as success.
int childPost(const QString &root, int first, int count, bool broken);
// The first start, broken: the file made in place, as a start that is not atomic would.
void startInPlace(const QString &path);
// The rewrite of a first-layout file, broken: the file moved aside and the new one made in its
// place, instead of a finished copy renamed into place.
void rewriteInPlace(const QString &path);
// A start in a child on the data folder root: the program's own start (which makes a missing
// file and rewrites a first-layout one), or with --broken the given broken variant of it.
int childStart(const QString &root, bool broken, const std::function<void(const QString &path)> &brokenStart);

// ---- the checks (probe_checks.cpp)

struct Lines {
    QSet<int> acked, refused, failed;
    QList<int> failureNumbers;
    bool ended = false;
    bool go = false;
};

// The child's lines on stdout; the last line may be cut by the kill: it was not acknowledged.
Lines readLines(const QByteArray &out);

struct Ledger {
    QSet<int> acked;   // every posting acknowledged so far
    QSet<int> notDone; // reported failed or refused: must not be present
    int next = 0;      // number of the next posting
};

// Checks the file after a kill or a run. Empty result: everything holds.
QStringList checkFile(const QString &path, Ledger &ledger, bool inFlightAllowed);
// A fresh clinic with the two herbs in the drug list, made by the real start.
void prepareClinic(const QString &root);
// Checks a data folder after a kill during the first start; then starts again, unkilled.
QStringList checkFirstStart(const QString &root);
// Everything a file holds (schema and every row), as one digest.
QByteArray contentDigest(db::Session &s);
// Checks a data folder after a kill during the rewrite of its first-layout file: the file opens
// (in either layout) with exactly what it held; the next start, unkilled, finishes the rewrite.
QStringList checkUpgrade(const QString &root, const QByteArray &expected);

// ---- the probes; each returns 0 passed, 1 a fault found, Skipped

// Kills during postings (probe_crash.cpp).
int crashPostings(const Options &o, int &killsDone);
// Kills during the very first start.
int crashFirstStart(const Options &o, int &killed);
// Kills during the start's rewrite of a file of the first layout.
int crashUpgrade(const Options &o, int &killed);
// Postings under random pwrite, pread and fdatasync failures (probe_faults.cpp).
int ioFaults(const Options &o);
// Postings on a small file system that fills up.
int diskFull(const Options &o);

} // namespace probe
