#pragma once
// What differs between the engines beyond the statements the session layer translates: the
// engine's catalogue, its integrity checks, its page cache, the locks workstations see of each
// other, and what each engine has at all. The callers ask here and never name an engine; a
// question that means nothing on an engine has the answer that changes nothing there.
//
//   if (db::supports(s, db::Feature::FullTextIndex)) ...
//   const auto lock = db::tryNamedLock(s, Key);   // nothing when another workstation holds it
#include "db/session.h"
#include "db/store.h"
#include "db/dialect.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace qh::db {

// The dialect of the session's engine (the statements that make tables and indexes).
const Dialect &dialectOf(const Session &session);

enum class Feature {
    FullTextIndex, // virtual full-text tables, their triggers kept in the file (the file only)
};
bool supports(const Session &session, Feature feature);

// True when the store keeps its data in the file at store.filePath() (the file engine); false
// when the data is on a server, where that file is only what a move to the server reads.
bool hasDataFile(const Store &store);

// True when the database holds a table of that name (the name as stored, letter case and all).
bool hasTable(Session &session, const QString &table);

// True when the database holds an index of that name, whatever its letter case (index names are
// one per database, the server's in lower case).
bool hasIndex(Session &session, const QString &index);

// The names of the table's columns in their order (the row key the server adds included); empty
// when there is no such table.
QStringList columnsOf(Session &session, const QString &table);

// One object of the file's catalogue as the engine keeps it.
struct StoredObject {
    QString type;               // "table", "index", "trigger", "view"
    QString name;
    QString table;              // the table it belongs to (a table's own name)
    std::optional<QString> sql; // the statement that made it; nothing for the engine's own indexes
};
// Every object of the file's catalogue in the order it keeps them (the order they were made).
// Empty on the server, which keeps no statements of its objects.
QList<StoredObject> storedObjects(Session &session);

// How deep the engine's integrity check looks. Both read every page of every table and index
// and check the structure of each tree; Full also matches every index entry against its row,
// which takes about three times as long.
enum class IntegrityDepth { Quick, Full };
// The faults the engine's integrity check finds, one text each ("ok" is none: empty). The server
// keeps its own pages: none there.
QStringList integrityFaults(Session &session, IntegrityDepth depth);
// The pages of the encrypted file whose authentication code does not match, one text each;
// none on an engine without it.
QStringList authenticationFaults(Session &session);

// How many KiB of pages the session keeps in its cache (the file engine; nothing on the server,
// whose cache is the server's).
void setPageCache(Session &session, qint64 kib);

// A lock that workstations see of each other by its number (on the server a session lock of the
// connection, released by the server when the connection ends). On the file engine the file's
// writer lock already keeps writers apart: the lock is always granted there and never seen held.
class NamedLock {
public:
    NamedLock(NamedLock &&other) noexcept;
    NamedLock &operator=(NamedLock &&) = delete;
    NamedLock(const NamedLock &) = delete;
    NamedLock &operator=(const NamedLock &) = delete;
    ~NamedLock(); // releases it (a failure only logged: the server releases it with the connection)

private:
    friend std::optional<NamedLock> tryNamedLock(Session &, qint64);
    NamedLock(Session *session, qint64 key) : m_session(session), m_key(key) {}
    Session *m_session; // null when nothing is held
    qint64 m_key;
};
// Takes the lock without waiting; nothing when another session holds it. The session must
// outlive the lock. Throws DbError.
std::optional<NamedLock> tryNamedLock(Session &session, qint64 key);
// True when some session of the database (another workstation's, or this one) holds the lock.
bool namedLockHeld(Session &session, qint64 key);

} // namespace qh::db
