#pragma once
// Inside the storage layer only: what a session and its statements hold of either engine, and
// the failures both engines word alike. Code outside src/db uses db/session.h.
#include "db/dialect.h"
#include "db/error.h"

#include <QList>
#include <QString>
#include <memory>
#include <utility>

namespace qh::db {

struct StatementImpl;


// What both engines provide. A connection is shared by its session and the statements it
// prepared; the engine's handle goes when the last of them goes.
struct Connection {
    QString path;          // the file, or the server's settings without the password
    int txDepth = 0;       // open Transaction objects (the outermost one began it)
    bool txFailed = false; // a statement inside the open transaction failed
    virtual ~Connection() = default;

    virtual Engine engine() const = 0;
    virtual bool isOpen() const = 0;
    virtual std::unique_ptr<StatementImpl> prepare(const QString &sql) = 0;
    virtual void execScript(const QString &sql) = 0;
    virtual int changes() const = 0;
    virtual qint64 lastInsertRowId() = 0;
    virtual bool inTransaction() const = 0;
    // The open transaction can no longer be committed: the engine rolled it back by itself (the
    // file: a full disk, an I/O error; the server: a lost connection) or, on the server, a
    // statement in it failed.
    virtual bool transactionLost() const = 0;
    virtual void setBusyTimeout(int milliseconds) = 0;
    virtual void begin() = 0;
    // Commits the open transaction; throws when it is not stored (or, on the server, when
    // whether it was stored cannot be found out: CommitUnknown).
    virtual void commitNow() { execScript(QStringLiteral("COMMIT")); }
    virtual void rollbackNow() = 0; // throws when the engine refuses
    virtual void closeNow() = 0;    // throws when the engine refuses; the handle stays then

    // A statement failed: inside a transaction that makes its commit refuse.
    void noteFailure()
    {
        if (txDepth > 0 || (isOpen() && inTransaction()))
            txFailed = true;
    }
    // A Transaction is open but the engine has already rolled it back: nothing more may run,
    // or it would be stored outside the transaction.
    void refuseAfterEngineRollback()
    {
        if (txDepth > 0 && isOpen() && transactionLost()) {
            txFailed = true;
            throw DbError(err::Misuse, QStringLiteral("事务已被数据库撤销，其中的修改都没有保存，请重新操作。"));
        }
    }
};

// A prepared statement of either engine. Parameters are numbered from 1.
struct StatementImpl {
    virtual ~StatementImpl() = default;
    virtual void bindText(int index, const QByteArray &utf8) = 0;
    virtual void bindInt64(int index, qint64 value) = 0;
    virtual void bindBlob(int index, const QByteArray &blob) = 0;
    virtual void bindNull(int index) = 0;
    virtual bool next() = 0;
    virtual void reset() = 0;
    virtual int columnCount() = 0;
    virtual QString columnName(int col) = 0;
    virtual bool isNull(int col) const = 0;
    virtual QString text(int col) const = 0;
    virtual QByteArrayView utf8(int col) const = 0; // valid until the next row or reset
    virtual qint64 int64(int col) const = 0;
    virtual QByteArray blob(int col) const = 0;
};

namespace detail {

DbError emptyStatement();
DbError nulInStatement();
DbError twoStatements(const QString &rest);
DbError failedTransaction();
DbError duplicateError(const QString &what, int code);
DbError nullError(const QString &field, int code);
// A failed check named "<field>:<kind>" (found in text), in the stable form.
DbError checkError(const QString &text, const QString &engineMessage, int code);
// "table.field" pairs named in a message of a NOT NULL or UNIQUE failure.
QList<std::pair<QString, QString>> columnsIn(const QString &msg);

} // namespace detail
} // namespace qh::db
