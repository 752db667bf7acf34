#pragma once
// The thin layer over the clinic's database: the encrypted file (the default) or a PostgreSQL
// server that several workstations share. A session per user action, prepared statements with
// bound parameters, and transactions that are all or nothing; callers write the same SQL for both
// engines (placeholders "?", rowid, LIKE ... escape '\\') and the layer translates where the
// server's dialect differs.
//
//   auto s = qh::db::Session::open(path);
//   qh::db::Transaction t(s);
//   s.exec("insert into ycjg(ycbm, ycmc) values(?, ?)", code, name);
//   t.commit();
//
// Every failure throws qh::DbError. No text is ever spliced into SQL: values are bound. A text
// with a NUL character is refused before it reaches the engine (the engine's length checks
// stop at the NUL). Transactions nest: an inner Transaction joins the outer one.
#include "db/error.h"
#include "db/settings.h"
#include "base/money.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace qh::db {

struct Connection;    // shared by a session and the statements it prepared
struct StatementImpl; // the engine's prepared statement

class Statement {
public:
    Statement(Statement &&) noexcept;
    Statement &operator=(Statement &&) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement();

    // Parameters are numbered from 1.
    Statement &bind(int index, const QString &value);
    Statement &bind(int index, const char *value);
    Statement &bind(int index, int value);
    Statement &bind(int index, qint64 value);
    Statement &bind(int index, Money value);
    Statement &bind(int index, const QDate &day);           // stored as midnight of the day
    Statement &bind(int index, const QDateTime &value);
    Statement &bind(int index, const QByteArray &blob);
    Statement &bind(int index, std::nullopt_t);
    template <class T> Statement &bind(int index, const std::optional<T> &value)
    {
        return value ? bind(index, *value) : bind(index, std::nullopt);
    }
    template <class... A> Statement &bindAll(const A &...args)
    {
        int i = 0;
        (bind(++i, args), ...);
        return *this;
    }

    // Advances to the next row; false when there is none. Throws on failure.
    bool next();
    // Runs a statement that returns no rows.
    void run();
    // Back to the start with no values bound. Throws when the engine reports a failure that
    // was not reported yet.
    void reset();

    int columnCount() const;
    QString columnName(int col) const;
    bool isNull(int col) const;
    QString text(int col) const;            // "" for Null
    // The text's UTF-8 bytes as the engine holds them, without a copy: valid until the next
    // row or reset (empty for Null). For reading many rows where a QString of each is the cost.
    QByteArrayView utf8(int col) const;
    std::optional<QString> optText(int col) const;
    int integer(int col) const;             // 0 for Null
    qint64 int64(int col) const;
    Money money(int col) const;             // 0 for Null
    std::optional<Money> optMoney(int col) const;
    std::optional<QDateTime> dateTime(int col) const;
    std::optional<QDate> date(int col) const;
    QByteArray blob(int col) const;

private:
    friend class Session;
    Statement(std::shared_ptr<Connection> conn, std::unique_ptr<StatementImpl> impl);
    std::shared_ptr<Connection> m_conn;
    std::unique_ptr<StatementImpl> m_impl;
};

// How a clinic file lays out its pages. Files are made with 4 KB pages; files made before
// (1 KB pages) open as they are and are rewritten once by the program's upgrade of its files.
// The layout is told by the file's first bytes (its salt), so it is known before anything of
// the file is read or a leftover journal is played back.
enum class FileLayout { Pages4K, Pages1K };
// True when the file at path is a clinic file of the first layout, told by its first bytes
// alone (nothing is opened as a database); false for a file with 4 KB pages or one that
// cannot be read.
bool hasFirstLayout(const QString &path);

class Session {
public:
    // Opens an existing clinic database for reading and writing and proves the key by
    // reading the schema. Throws FileMissing, NotADatabase, CannotOpen...
    static Session open(const QString &path);
    // Creates a new, empty encrypted file (refuses when something exists at the path). The
    // file is owner-only (0600) whatever the umask.
    static Session create(const QString &path);
    // A new, empty database in memory (not a file, no key) with the search tokenizer: where the
    // program builds its own schema to compare a file's with.
    static Session scratch();
    // Connects to the clinic's database on a PostgreSQL server (Engine::Server settings). A
    // connection closed without an open transaction goes back to a small pool of this process
    // and is reused by the next connect with the same settings. Throws CannotOpen with the
    // server's reason and settings.display() (never the password).
    static Session connect(const DatabaseSettings &settings);

    Engine engine() const;
    // The layout of this session's file (Pages4K on the server, where it has no meaning).
    FileLayout layout() const;
    // Writes the whole database as one moment (one transaction) into a new encrypted file at
    // target, laid out as given, owner-only (0600). Refuses when something exists at target; on
    // a failure nothing is left there. The file engine only. progress(percent) is called while
    // the copy grows (0 to 99, by its size against this file's), each value once.
    void copyInto(const QString &target, FileLayout layout, const std::function<void(int percent)> &progress = {});

    Session(Session &&) noexcept;
    Session &operator=(Session &&) noexcept;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;
    ~Session();

    Statement prepare(const QString &sql);
    template <class... A> Statement query(const QString &sql, const A &...args)
    {
        Statement s = prepare(sql);
        s.bindAll(args...);
        return s;
    }
    // Runs one statement with bound values; returns the number of rows it changed.
    template <class... A> int exec(const QString &sql, const A &...args)
    {
        Statement s = prepare(sql);
        s.bindAll(args...);
        s.run();
        return changes();
    }
    // Runs statements without parameters (schema creation, pragmas).
    void execScript(const QString &sql);
    // Closes the file now and reports a failure (the destructor can only log one). Statements
    // still alive keep the connection; the file closes when the last of them goes.
    void close();
    // First column of the first row, or nothing when there is no row or it is Null.
    template <class... A> std::optional<QString> scalarText(const QString &sql, const A &...args)
    {
        Statement s = query(sql, args...);
        if (!s.next() || s.isNull(0))
            return std::nullopt;
        return s.text(0);
    }
    template <class... A> qint64 scalarInt(const QString &sql, const A &...args)
    {
        Statement s = query(sql, args...);
        return s.next() ? s.int64(0) : 0;
    }

    int changes() const;
    qint64 lastInsertRowId() const;
    bool inTransaction() const;
    // The file's path, or the server's settings.display().
    const QString &path() const;
    // How long a statement waits for another connection's lock before it fails (5 s by default).
    void setBusyTimeout(int milliseconds);

private:
    friend class Transaction;
    explicit Session(std::shared_ptr<Connection> conn);
    std::shared_ptr<Connection> m_conn;
};

// BEGIN IMMEDIATE on construction (on the server: BEGIN and the clinic's writer lock, a
// transaction-level advisory lock, so one writer at a time as with the file; readers are never
// blocked; the wait is bounded by the busy timeout and reported as Locked); commit() makes it durable; leaving the scope without
// commit (an exception, an early return) rolls everything back. A statement that failed
// inside the transaction makes commit() refuse and roll back too, also when the engine had
// already rolled back by itself (a full disk, an I/O error): later statements are refused
// then instead of being stored one by one.
//
// A Transaction made while another is open on the same session joins it: no BEGIN, its
// commit() only marks its part done, and leaving it uncommitted makes the outer commit refuse.
class Transaction {
public:
    explicit Transaction(Session &session);
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    ~Transaction();
    void commit();
    bool joined() const { return m_joined; }

private:
    Session &m_session;
    bool m_done = false;
    bool m_joined = false;
};

// Passphrase of every clinic database file.
QByteArray clinicPassphrase();

// Maps an engine result code and message to the stable error form.
DbError engineError(int code, const QString &engineMessage, const QString &path = {});

// Maps a failure reported by the server (its SQLSTATE, the constraint and column it names, its
// message) to the same numbers and descriptions as the file engine's.
DbError serverError(const QByteArray &sqlstate, const QString &constraint, const QString &column,
                    const QString &serverMessage, const QString &where = {});

// Closes the pooled idle server connections of this process (before a database is dropped).
void closePooledConnections();

} // namespace qh::db
