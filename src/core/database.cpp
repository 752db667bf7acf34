#include "core/database.h"
#include "core/clock.h"
#include "core/owneronly.h"
#include "core/schema.h"
#include "core/searchtokenizer.h"
#include "core/textutil.h"

#include <libpq-fe.h>
#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qh::db {

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
    virtual qint64 int64(int col) const = 0;
    virtual QByteArray blob(int col) const = 0;
};

namespace {

constexpr int SaltBytes = 16;
// The salt of a file with 4 KB pages begins with these bytes (the rest is random); any other
// salt is a file of the first layout, with the engine's 1 KB pages. The salt is stored in the
// clear as the file's first bytes.
constexpr char LayoutMark[] = "QH4KPAGE";
constexpr int LayoutMarkBytes = 8;
constexpr int PageBytes4K = 4096;
constexpr int PageBytes1K = 1024;
constexpr int KeyBytes = 32;
constexpr int KdfIterations = 64000; // the engine's default for this file format

QMutex g_keyMutex;
QHash<QByteArray, QByteArray> g_keyBySalt; // salt -> "x'<key><salt>'"

QByteArray rawKeySpec(const QByteArray &salt)
{
    QMutexLocker lock(&g_keyMutex);
    auto it = g_keyBySalt.constFind(salt);
    if (it != g_keyBySalt.constEnd())
        return *it;
    const QByteArray pass = clinicPassphrase();
    unsigned char key[KeyBytes];
    if (PKCS5_PBKDF2_HMAC_SHA1(pass.constData(), int(pass.size()),
                               reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()),
                               KdfIterations, KeyBytes, key) != 1)
        throw DbError(err::General, QStringLiteral("无法计算数据库密钥"));
    QByteArray spec = "x'" + QByteArray(reinterpret_cast<const char *>(key), KeyBytes).toHex() + salt.toHex() + "'";
    g_keyBySalt.insert(salt, spec);
    return spec;
}

FileLayout layoutOfSalt(const QByteArray &salt)
{
    return salt.startsWith(QByteArray::fromRawData(LayoutMark, LayoutMarkBytes)) ? FileLayout::Pages4K
                                                                                : FileLayout::Pages1K;
}

QByteArray newSalt(FileLayout layout)
{
    for (;;) {
        QByteArray salt(SaltBytes, '\0');
        if (RAND_bytes(reinterpret_cast<unsigned char *>(salt.data()), SaltBytes) != 1)
            throw DbError(err::General, QStringLiteral("无法生成数据库密钥"));
        if (layout == FileLayout::Pages4K)
            salt.replace(0, LayoutMarkBytes, QByteArray::fromRawData(LayoutMark, LayoutMarkBytes));
        if (layoutOfSalt(salt) == layout) // a random salt may begin with the mark: draw again
            return salt;
    }
}

int pageBytesOf(FileLayout layout) { return layout == FileLayout::Pages4K ? PageBytes4K : PageBytes1K; }

// The name of a failed CHECK constraint: "<field>:<kind>" as the schema names them. Found by
// its form anywhere in the engine's message, so the wording around it does not matter.
struct CheckName {
    QString field;
    QString kind; // empty, long, nul, range, type; "" when the constraint has no such name
};
CheckName checkNameIn(const QString &msg)
{
    static const QRegularExpression re(QStringLiteral(R"(([A-Za-z_][A-Za-z0-9_]*):(empty|long|nul|range|type)\b)"));
    const auto m = re.match(msg);
    if (!m.hasMatch())
        return {};
    return {m.captured(1), m.captured(2)};
}

// "table.field" pairs named in a message of a NOT NULL or UNIQUE failure.
QList<std::pair<QString, QString>> columnsIn(const QString &msg)
{
    static const QRegularExpression re(QStringLiteral(R"(([A-Za-z_][A-Za-z0-9_]*)\.([A-Za-z_][A-Za-z0-9_]*))"));
    QList<std::pair<QString, QString>> out;
    for (auto it = re.globalMatch(msg); it.hasNext();) {
        const auto m = it.next();
        out.append({m.captured(1), m.captured(2)});
    }
    return out;
}

// The schema's name of the unique index on exactly these fields of the table, if any.
QString uniqueIndexName(const QList<std::pair<QString, QString>> &cols)
{
    if (cols.isEmpty())
        return {};
    for (const auto &t : clinicSchema()) {
        if (QLatin1String(t.name).compare(cols.first().first, Qt::CaseInsensitive) != 0)
            continue;
        for (const auto &ix : t.indexes) {
            if (!ix.unique || qsizetype(ix.fields.size()) != cols.size())
                continue;
            bool same = true;
            for (qsizetype i = 0; i < cols.size(); ++i)
                same = same && QLatin1String(ix.fields[size_t(i)]).compare(cols[i].second, Qt::CaseInsensitive) == 0;
            if (same)
                return QString::fromLatin1(ix.name);
        }
    }
    return {};
}

// The schema's name of the index stored under this name (the server names its unique
// violations by the stored name).
QString indexNameOfStored(const QString &stored)
{
    for (const auto &t : clinicSchema())
        for (const auto &ix : t.indexes)
            if (QLatin1String(ix.storedName).compare(stored, Qt::CaseInsensitive) == 0)
                return QString::fromLatin1(ix.name);
    return stored;
}

DbError duplicateError(const QString &what, int code)
{
    return DbError(err::Duplicate, QStringLiteral("由于将在索引中创建重复的值（%1），请求对表的改变没有成功。").arg(what), code);
}

DbError nullError(const QString &field, int code)
{
    return DbError(err::NullInIndex, QStringLiteral("索引字段 '%1' 不能包含 Null 值。").arg(field), code);
}

// A failed check named "<field>:<kind>" (found in text), in the stable form.
DbError checkError(const QString &text, const QString &engineMessage, int code)
{
    const CheckName name = checkNameIn(text);
    const QString &field = name.field;
    if (name.kind == u"empty")
        return DbError(err::ZeroLength, QStringLiteral("字段 '%1' 不能是零长度的字符串。").arg(field), code);
    if (name.kind == u"long")
        return DbError(err::TooLong, QStringLiteral("字段 '%1' 太小，不能接受所要添加的数据的数量。").arg(field), code);
    if (name.kind == u"nul")
        return DbError(err::NulCharacter, QStringLiteral("字段 '%1' 的内容含有空字符（NUL），不能保存。").arg(field), code);
    if (name.kind == u"range")
        return DbError(err::OutOfRange, QStringLiteral("字段 '%1' 的数值超出允许范围。").arg(field), code);
    if (name.kind == u"type")
        return DbError(err::WrongType, QStringLiteral("字段 '%1' 的数据类型不正确。").arg(field), code);
    return DbError(err::General, QStringLiteral("数据不符合表的约束：%1").arg(engineMessage), code);
}

DbError emptyStatement() { return DbError(err::Misuse, QStringLiteral("程序错误：要执行的数据库语句是空的。")); }
DbError nulInStatement() { return DbError(err::Misuse, QStringLiteral("程序错误：数据库语句中含有空字符。")); }
DbError twoStatements(const QString &rest)
{
    return DbError(err::Misuse, QStringLiteral("程序错误：一次只能执行一条数据库语句（多余的部分：%1）。").arg(rest.trimmed()));
}
DbError failedTransaction() { return DbError(err::Misuse, QStringLiteral("事务中有语句执行失败，全部修改已撤销。")); }

// A text bound to a statement: a NUL character is refused (the engine's length() stops at it,
// so it would slip past every length check; the server refuses it in any text). So is half of
// a surrogate pair (a high one not followed by a low one, or a low one on its own): it has no
// UTF-8 form and would be stored as "?" without a word.
void refuseNul(const QString &value)
{
    if (value.contains(QChar(u'\0')))
        throw DbError(err::NulCharacter,
                      QStringLiteral("输入的内容中含有空字符（NUL，代码为 0 的字符），不能保存。请删除这个字符后再试。"));
    const QChar *c = value.constData();
    const QChar *const end = c + value.size();
    for (; c != end; ++c) {
        if (!c->isSurrogate())
            continue;
        if (c->isHighSurrogate() && c + 1 != end && (c + 1)->isLowSurrogate()) {
            ++c;
            continue;
        }
        throw DbError(err::LoneSurrogate,
                      QStringLiteral("输入的内容中含有无效的字符（不成对的 UTF-16 代理码元，代码为 %1），不能保存。请删除这个字符后再试。")
                          .arg(QStringLiteral("U+%1").arg(c->unicode(), 4, 16, QLatin1Char('0')).toUpper()));
    }
}

// ======================================================================== the encrypted file

struct SqliteConnection;

void throwIf(sqlite3 *db, int rc, const QString &path)
{
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return;
    QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    int ext = db ? sqlite3_extended_errcode(db) : rc;
    if ((ext & 0xff) != (rc & 0xff)) // the handle's last error is another one
        ext = rc;
    throw engineError(ext, msg, path);
}

int checkedEngineCall(sqlite3 *db, int rc, const QString &path)
{
    throwIf(db, rc, path);
    return rc;
}

struct SqliteStatement : StatementImpl {
    SqliteStatement(Connection &c, sqlite3 *db, sqlite3_stmt *st) : conn(c), db(db), stmt(st) {}
    ~SqliteStatement() override
    {
        if (stmt)
            sqlite3_finalize(stmt);
    }
    Connection &conn;
    sqlite3 *db;
    sqlite3_stmt *stmt;
    bool stepFailed = false; // the last step's failure was thrown already

    void check(int rc) const
    {
        if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
            return;
        conn.noteFailure();
        throwIf(db, rc, conn.path);
    }
    void bindText(int index, const QByteArray &utf8) override
    {
        check(sqlite3_bind_text(stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
    }
    void bindInt64(int index, qint64 value) override { check(sqlite3_bind_int64(stmt, index, value)); }
    void bindBlob(int index, const QByteArray &blob) override
    {
        check(sqlite3_bind_blob(stmt, index, blob.constData(), int(blob.size()), SQLITE_TRANSIENT));
    }
    void bindNull(int index) override { check(sqlite3_bind_null(stmt, index)); }
    bool next() override
    {
        int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        stepFailed = true;
        conn.noteFailure();
        const int ext = sqlite3_extended_errcode(db);
        const QString msg = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_reset(stmt); // repeats the failure just taken, reported below
        throw engineError((ext & 0xff) == (rc & 0xff) ? ext : rc, msg, conn.path);
    }
    void reset() override
    {
        const int rc = sqlite3_reset(stmt);
        const bool reported = stepFailed;
        stepFailed = false;
        if (!reported)
            check(rc);
        check(sqlite3_clear_bindings(stmt));
    }
    int columnCount() override { return sqlite3_column_count(stmt); }
    QString columnName(int col) override { return QString::fromUtf8(sqlite3_column_name(stmt, col)); }
    bool isNull(int col) const override { return sqlite3_column_type(stmt, col) == SQLITE_NULL; }
    QString text(int col) const override
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt, col));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt, col)) : QString();
    }
    qint64 int64(int col) const override { return sqlite3_column_int64(stmt, col); }
    QByteArray blob(int col) const override
    {
        const void *p = sqlite3_column_blob(stmt, col);
        return p ? QByteArray(static_cast<const char *>(p), sqlite3_column_bytes(stmt, col)) : QByteArray();
    }
};

struct SqliteConnection : Connection {
    sqlite3 *db = nullptr;
    FileLayout layout = FileLayout::Pages4K;
    ~SqliteConnection() override
    {
        if (db) {
            // Every statement holds this connection alive, so none is open here; a failure
            // can only be logged from a destructor (Session::close() reports it).
            const int rc = sqlite3_close(db);
            if (rc != SQLITE_OK)
                qWarning("qinghe: closing the database '%s' failed: %s", qPrintable(path), sqlite3_errstr(rc));
        }
    }
    Engine engine() const override { return Engine::File; }
    bool isOpen() const override { return db != nullptr; }

    std::unique_ptr<StatementImpl> prepare(const QString &sql) override
    {
        const QByteArray utf8 = sql.toUtf8();
        sqlite3_stmt *stmt = nullptr;
        const char *tail = nullptr;
        int rc = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &stmt, &tail);
        if (rc != SQLITE_OK) {
            noteFailure();
            throwIf(db, rc, path);
        }
        auto st = std::make_unique<SqliteStatement>(*this, db, stmt);
        if (!stmt) {
            noteFailure();
            throw emptyStatement();
        }
        if (tail && !QByteArray(tail).trimmed().isEmpty() && QByteArray(tail).trimmed() != ";") {
            noteFailure();
            throw twoStatements(QString::fromUtf8(tail));
        }
        return st;
    }
    void execScript(const QString &sql) override
    {
        char *errmsg = nullptr;
        int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &errmsg);
        if (errmsg)
            sqlite3_free(errmsg);
        if (rc != SQLITE_OK) {
            noteFailure();
            throwIf(db, rc, path);
        }
    }
    int changes() const override { return sqlite3_changes(db); }
    qint64 lastInsertRowId() override { return sqlite3_last_insert_rowid(db); }
    bool inTransaction() const override { return sqlite3_get_autocommit(db) == 0; }
    bool transactionLost() const override { return sqlite3_get_autocommit(db) != 0; }
    void setBusyTimeout(int milliseconds) override
    {
        checkedEngineCall(db, sqlite3_busy_timeout(db, milliseconds), path);
    }
    void begin() override { execScript(QStringLiteral("BEGIN IMMEDIATE")); }
    void rollbackNow() override
    {
        if (!db || sqlite3_get_autocommit(db) != 0)
            return; // the engine has rolled back already
        checkedEngineCall(db, sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr), path);
    }
    void closeNow() override
    {
        if (!db)
            return;
        const int rc = sqlite3_close(db);
        if (rc != SQLITE_OK)
            throwIf(db, rc, path); // the handle stays with the connection
        db = nullptr;
    }
};

std::shared_ptr<SqliteConnection> openHandle(const QString &path, int flags)
{
    auto conn = std::make_shared<SqliteConnection>();
    conn->path = path;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &conn->db, flags, nullptr);
    if (rc != SQLITE_OK)
        throw engineError(rc, QString::fromUtf8(sqlite3_errstr(rc)), path);
    checkedEngineCall(conn->db, sqlite3_extended_result_codes(conn->db, 1), path);
    checkedEngineCall(conn->db, sqlite3_busy_timeout(conn->db, 5000), path);
    return conn;
}

// The key and the page size, before anything of the file is read.
void applyKey(SqliteConnection &c, const QByteArray &keySpec, FileLayout layout)
{
    int rc = sqlite3_key(c.db, keySpec.constData(), int(keySpec.size()));
    throwIf(c.db, rc, c.path);
    c.layout = layout;
    const QByteArray pragma = "pragma cipher_page_size = " + QByteArray::number(pageBytesOf(layout));
    throwIf(c.db, sqlite3_exec(c.db, pragma.constData(), nullptr, nullptr, nullptr), c.path);
}

// ======================================================================== the server

constexpr int DefaultBusyMs = 5000;
constexpr Oid ByteaOid = 17;
constexpr Oid BoolOid = 16;
// The clinic's writer lock (a transaction-level advisory lock, per database): "QHMZ".
constexpr qint64 WriterLockKey = 0x51484D5A;

// One server connection with what lives as long as it: its prepared statements.
struct PgLink {
    PGconn *pg = nullptr;
    QHash<QByteArray, QByteArray> prepared; // server text -> statement name
    int busyMs = DefaultBusyMs;
    bool inserted = false; // lastval() has a value in this connection
    bool lost = false;     // a failure said the link is gone: it is never pooled again
    bool untried = false;  // taken from the pool, its first command not sent yet
    ~PgLink()
    {
        if (pg)
            PQfinish(pg);
    }
};

// Idle connections of this process, by connection string.
QMutex g_poolMutex;
std::map<QByteArray, std::vector<std::unique_ptr<PgLink>>> g_pool;
constexpr size_t PoolPerServer = 8;

// Statement names are unique in the process, so a statement made on a link that was replaced
// never runs another statement of the same name on the new one.
std::atomic<quint64> g_statementNames{0};

void poolLink(const QByteArray &key, std::unique_ptr<PgLink> l)
{
    QMutexLocker lock(&g_poolMutex);
    auto &idle = g_pool[key];
    if (idle.size() < PoolPerServer)
        idle.push_back(std::move(l));
}

// A failure that means the link itself is gone: no result, a broken connection, SQLSTATE class
// 08 (connection exception) or the server's shutdown (57P01 to 57P03). Any other failure is
// the statement's own.
bool linkLost(PGconn *pg, const PGresult *r)
{
    if (!pg || !r || PQstatus(pg) != CONNECTION_OK)
        return true;
    const QByteArray state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
    return state.isEmpty() || state.startsWith("08") || state == "57P01" || state == "57P02" || state == "57P03";
}

// The SQLSTATE as a number, for DbError::engineCode (base 36 of its five characters).
int sqlstateCode(const QByteArray &state)
{
    bool ok = false;
    const int n = state.toInt(&ok, 36);
    return ok ? n : 0;
}

DbError pgFailure(PGconn *pg, const PGresult *r, const QString &where)
{
    QByteArray state;
    QString constraint, column, message;
    if (r) {
        state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
        constraint = QString::fromUtf8(PQresultErrorField(r, PG_DIAG_CONSTRAINT_NAME));
        column = QString::fromUtf8(PQresultErrorField(r, PG_DIAG_COLUMN_NAME));
        message = QString::fromUtf8(PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY));
    }
    if (message.isEmpty())
        message = QString::fromUtf8(PQerrorMessage(pg)).trimmed();
    if (state.isEmpty() || PQstatus(pg) == CONNECTION_BAD)
        state = "08006"; // the connection is gone
    return serverError(state, constraint, column, message, where);
}

struct PgResult {
    PGresult *r = nullptr;
    explicit PgResult(PGresult *res = nullptr) : r(res) {}
    PgResult(const PgResult &) = delete;
    PgResult &operator=(const PgResult &) = delete;
    ~PgResult()
    {
        if (r)
            PQclear(r);
    }
    bool ok() const
    {
        const auto st = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
        return st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK;
    }
};

// The caller's SQL in the server's dialect. "?" becomes "$n" outside quotes, identifiers and
// comments; the file engine's "indexed by <index>" hint goes (the server plans by itself),
// ifnull() is coalesce(), "cross join <table> on" (the file's join in the written order) is
// a plain join, "update or fail" (the file's update without a statement journal; the server's
// update fails the same way) a plain update, and "date(<field>)" of a date text becomes its day part. Two statements in one text are refused.
QByteArray serverSql(const QString &sql, int &params)
{
    static const QRegularExpression indexedBy(QStringLiteral(R"(\s+indexed\s+by\s+[A-Za-z_][A-Za-z0-9_]*)"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression crossJoinOn(
        QStringLiteral(R"(\bcross\s+join\s+([A-Za-z_][A-Za-z0-9_]*(?:\s+(?!on\b)[A-Za-z_][A-Za-z0-9_]*)?)\s+on\b)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression ifNull(QStringLiteral(R"(\bifnull\()"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression updateOr(QStringLiteral(R"(^(\s*update)\s+or\s+(?:fail|abort|rollback)\b)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression dateOf(QStringLiteral(R"(\bdate\(\s*([A-Za-z_][A-Za-z0-9_.]*)\s*\))"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString in = sql;
    in.replace(indexedBy, QString());
    in.replace(ifNull, QStringLiteral("coalesce("));
    in.replace(updateOr, QStringLiteral("\\1"));
    in.replace(crossJoinOn, QStringLiteral("join \\1 on"));
    in.replace(dateOf, QStringLiteral("substr(\\1, 1, 10)"));

    QString out;
    out.reserve(in.size() + 16);
    params = 0;
    enum { Plain, Quote, Ident, Line, Block } state = Plain;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const QChar c = in.at(i);
        const QChar n = i + 1 < in.size() ? in.at(i + 1) : QChar();
        switch (state) {
        case Plain:
            if (c == u'?') {
                out += u'$' + QString::number(++params);
                continue;
            }
            if (c == u'\'')
                state = Quote;
            else if (c == u'"')
                state = Ident;
            else if (c == u'-' && n == u'-')
                state = Line;
            else if (c == u'/' && n == u'*')
                state = Block;
            else if (c == u';') {
                const QString rest = in.mid(i + 1);
                if (!rest.trimmed().isEmpty())
                    throw twoStatements(rest);
                i = in.size();
                continue;
            }
            break;
        case Quote:
            if (c == u'\'')
                state = Plain; // '' inside a literal: leaves and enters again
            break;
        case Ident:
            if (c == u'"')
                state = Plain;
            break;
        case Line:
            if (c == u'\n')
                state = Plain;
            break;
        case Block:
            if (c == u'*' && n == u'/') {
                out += c;
                out += n;
                ++i;
                state = Plain;
                continue;
            }
            break;
        }
        out += c;
    }
    return out.toUtf8();
}

struct PgConnection;

struct PgStatement : StatementImpl {
    PgStatement(PgConnection &c, QByteArray text, int params) : conn(c), serverText(std::move(text)), values(size_t(params)) {}
    ~PgStatement() override
    {
        if (res)
            PQclear(res);
        if (shape)
            PQclear(shape);
    }
    PgConnection &conn;
    QByteArray serverText; // prepared again on a link that replaced the first
    struct Value {
        bool null = true;
        bool binary = false;
        QByteArray bytes;
    };
    std::vector<Value> values;
    PGresult *res = nullptr;
    PGresult *shape = nullptr; // the description, when columns are asked before running
    int row = -1;
    bool executed = false;

    Value &slot(int index);
    void bindText(int index, const QByteArray &utf8) override { slot(index) = {false, false, utf8}; }
    void bindInt64(int index, qint64 value) override { slot(index) = {false, false, QByteArray::number(value)}; }
    void bindBlob(int index, const QByteArray &blob) override
    {
        Value &v = slot(index);
        v = {false, true, blob};
        if (v.bytes.isNull())
            v.bytes = QByteArray(""); // an empty blob is not Null
    }
    void bindNull(int index) override { slot(index) = {}; }
    void execute();
    bool next() override
    {
        if (!executed)
            execute();
        if (!res)
            return false;
        if (row + 1 < PQntuples(res)) {
            ++row;
            return true;
        }
        row = PQntuples(res);
        return false;
    }
    void reset() override
    {
        if (res)
            PQclear(res);
        res = nullptr;
        row = -1;
        executed = false;
        for (auto &v : values)
            v = {};
    }
    const PGresult *described();
    int columnCount() override { return described() ? PQnfields(described()) : 0; }
    QString columnName(int col) override
    {
        return described() ? QString::fromUtf8(PQfname(described(), col)) : QString();
    }
    bool onRow(int col) const { return res && row >= 0 && row < PQntuples(res) && col >= 0 && col < PQnfields(res); }
    bool isNull(int col) const override { return !onRow(col) || PQgetisnull(res, row, col); }
    QString text(int col) const override
    {
        if (isNull(col))
            return {};
        const char *p = PQgetvalue(res, row, col);
        if (PQftype(res, col) == BoolOid)
            return QString::fromLatin1(*p == 't' ? "1" : "0");
        return QString::fromUtf8(p, PQgetlength(res, row, col));
    }
    qint64 int64(int col) const override
    {
        if (isNull(col))
            return 0;
        const QByteArray v = QByteArray::fromRawData(PQgetvalue(res, row, col), PQgetlength(res, row, col));
        if (PQftype(res, col) == BoolOid)
            return v == "t" ? 1 : 0;
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        if (ok)
            return n;
        return qint64(v.toDouble()); // a numeric with a fraction: its whole part, like the file engine
    }
    QByteArray blob(int col) const override
    {
        if (isNull(col))
            return {};
        const char *p = PQgetvalue(res, row, col);
        if (PQftype(res, col) != ByteaOid)
            return QByteArray(p, PQgetlength(res, row, col));
        size_t len = 0;
        unsigned char *raw = PQunescapeBytea(reinterpret_cast<const unsigned char *>(p), &len);
        if (!raw)
            throw DbError(err::General, QStringLiteral("数据库服务器送来的二进制数据无法读取。"));
        QByteArray out(reinterpret_cast<const char *>(raw), qsizetype(len));
        PQfreemem(raw);
        return out;
    }
};

void silentNotice(void *, const char *) {}

struct PgConnection : Connection {
    std::unique_ptr<PgLink> link;
    QByteArray key; // the connection string (the pool's key)
    int lastChanges = 0;

    ~PgConnection() override { giveBack(); }
    PGconn *pg() const { return link ? link->pg : nullptr; }
    Engine engine() const override { return Engine::Server; }
    bool isOpen() const override { return link != nullptr; }

    // Back to the pool when it is healthy and idle, else closed.
    void giveBack()
    {
        if (!link)
            return;
        std::unique_ptr<PgLink> l = std::move(link);
        if (l->lost || PQstatus(l->pg) != CONNECTION_OK || PQtransactionStatus(l->pg) != PQTRANS_IDLE)
            return;
        poolLink(key, std::move(l));
    }

    // One round trip: send() sends over pg() and returns the result. A failure that says the
    // link is gone marks it (it is never pooled again). When that was the first command of a
    // link taken from the pool and no transaction is open, the command goes once more over a
    // fresh connection: the server may have restarted while the link waited in the pool.
    // Inside a transaction nothing is sent again.
    PGresult *exchange(const std::function<PGresult *()> &send)
    {
        const bool first = link && std::exchange(link->untried, false);
        PGresult *r = send();
        if (r && (PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK))
            return r;
        if (!link || !linkLost(pg(), r))
            return r;
        link->lost = true;
        if (!first || txDepth > 0)
            return r;
        if (r)
            PQclear(r);
        replaceLink();
        return send();
    }
    void replaceLink();

    // Runs a statement without parameters; throws on failure.
    void command(const char *sql)
    {
        PgResult r(exchange([&] { return PQexec(pg(), sql); }));
        if (!r.ok()) {
            noteFailure();
            throw pgFailure(pg(), r.r, path);
        }
    }

    // The name of the server text's prepared statement on this link, prepared now if needed.
    QByteArray preparedName(const QByteArray &text)
    {
        auto it = link->prepared.constFind(text);
        if (it != link->prepared.constEnd())
            return *it;
        const QByteArray name = "qh" + QByteArray::number(++g_statementNames);
        PgResult r(exchange([&] { return PQprepare(pg(), name.constData(), text.constData(), 0, nullptr); }));
        if (!r.ok()) {
            noteFailure();
            throw pgFailure(pg(), r.r, path);
        }
        link->prepared.insert(text, name);
        return name;
    }

    std::unique_ptr<StatementImpl> prepare(const QString &sql) override
    {
        int params = 0;
        QByteArray text;
        try {
            text = serverSql(sql, params);
        } catch (const DbError &) {
            noteFailure();
            throw;
        }
        const QByteArray bare = text.trimmed();
        if (bare.isEmpty() || bare == ";") {
            noteFailure();
            throw emptyStatement();
        }
        preparedName(text);
        return std::make_unique<PgStatement>(*this, text, params);
    }
    void execScript(const QString &sql) override { command(sql.toUtf8().constData()); }
    int changes() const override { return lastChanges; }
    qint64 lastInsertRowId() override
    {
        if (!link->inserted || PQtransactionStatus(pg()) == PQTRANS_INERROR)
            return 0;
        PgResult r(exchange([&] { return PQexec(pg(), "select lastval()"); }));
        if (!r.ok() || PQntuples(r.r) != 1)
            return 0;
        return QByteArray(PQgetvalue(r.r, 0, 0)).toLongLong();
    }
    bool inTransaction() const override { return PQtransactionStatus(pg()) != PQTRANS_IDLE; }
    bool transactionLost() const override
    {
        const auto st = PQtransactionStatus(pg());
        return st != PQTRANS_INTRANS && st != PQTRANS_ACTIVE;
    }
    void setBusyTimeout(int milliseconds) override
    {
        const int ms = std::max(milliseconds, 1); // the file engine's 0: do not wait
        command(QByteArray("SET lock_timeout = " + QByteArray::number(ms)).constData());
        link->busyMs = milliseconds;
    }
    void begin() override
    {
        command("BEGIN");
        try {
            command(QByteArray("SELECT pg_advisory_xact_lock(" + QByteArray::number(WriterLockKey) + ")").constData());
        } catch (...) {
            if (!link->lost) {
                PgResult r(exchange([&] { return PQexec(pg(), "ROLLBACK"); })); // no transaction stays open when BEGIN fails
            }
            throw;
        }
    }
    void commitNow() override;
    void rollbackNow() override
    {
        // A lost link has nothing to roll back: the server rolls back what the link left open.
        if (!link || link->lost || PQtransactionStatus(pg()) == PQTRANS_IDLE)
            return;
        PgResult r(exchange([&] { return PQexec(pg(), "ROLLBACK"); }));
        if (!r.ok())
            throw pgFailure(pg(), r.r, path);
    }
    void closeNow() override { giveBack(); }
};

PgStatement::Value &PgStatement::slot(int index)
{
    if (index < 1 || size_t(index) > values.size()) {
        conn.noteFailure();
        throw DbError(err::Misuse, QStringLiteral("数据库语句使用错误：参数 %1 超出语句的参数个数（%2）").arg(index).arg(values.size()),
                      SQLITE_RANGE);
    }
    return values[size_t(index - 1)];
}

void PgStatement::execute()
{
    std::vector<const char *> ptrs(values.size());
    std::vector<int> lengths(values.size()), formats(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        ptrs[i] = values[i].null ? nullptr : values[i].bytes.constData();
        lengths[i] = int(values[i].bytes.size());
        formats[i] = values[i].binary ? 1 : 0;
    }
    if (res)
        PQclear(res);
    res = nullptr;
    res = conn.exchange([&] {
        const QByteArray name = conn.preparedName(serverText); // the same unless the link was replaced
        return PQexecPrepared(conn.pg(), name.constData(), int(values.size()), ptrs.data(), lengths.data(), formats.data(), 0);
    });
    executed = true;
    row = -1;
    const auto st = res ? PQresultStatus(res) : PGRES_FATAL_ERROR;
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) {
        const DbError e = pgFailure(conn.pg(), res, conn.path);
        if (res)
            PQclear(res);
        res = nullptr;
        conn.noteFailure();
        throw e;
    }
    const QByteArray status = PQcmdStatus(res);
    if (status.startsWith("INSERT") || status.startsWith("UPDATE") || status.startsWith("DELETE")) {
        conn.lastChanges = QByteArray(PQcmdTuples(res)).toInt();
        if (status.startsWith("INSERT") && conn.lastChanges > 0)
            conn.link->inserted = true;
    }
}

const PGresult *PgStatement::described()
{
    if (res)
        return res;
    if (!shape) {
        shape = conn.exchange([&] { return PQdescribePrepared(conn.pg(), conn.preparedName(serverText).constData()); });
        if (!shape || PQresultStatus(shape) != PGRES_COMMAND_OK) {
            const DbError e = pgFailure(conn.pg(), shape, conn.path);
            if (shape)
                PQclear(shape);
            shape = nullptr;
            conn.noteFailure();
            throw e;
        }
    }
    return shape;
}

// Adds a connection timeout when the settings name none, so an unreachable server is reported
// instead of waiting for the system's own timeout.
QByteArray withTimeout(const QByteArray &conninfo)
{
    if (conninfo.contains("connect_timeout") || conninfo.startsWith("postgres"))
        return conninfo;
    return conninfo + " connect_timeout=10";
}

std::unique_ptr<PgLink> takePooled(const QByteArray &key)
{
    QMutexLocker lock(&g_poolMutex);
    auto it = g_pool.find(key);
    while (it != g_pool.end() && !it->second.empty()) {
        std::unique_ptr<PgLink> l = std::move(it->second.back());
        it->second.pop_back();
        if (PQstatus(l->pg) == CONNECTION_OK) {
            l->untried = true;
            return l;
        }
    }
    return nullptr;
}

// A new connection to the server; throws CannotOpen with the server's reason. Its lock timeout
// is the server's own (busyMs -1) until it is set. connectSeconds, when given, bounds the wait
// for the server instead of the settings' timeout.
std::unique_ptr<PgLink> openLink(const QByteArray &key, const QString &display, int connectSeconds = 0)
{
    auto link = std::make_unique<PgLink>();
    if (connectSeconds > 0) {
        const QByteArray seconds = QByteArray::number(std::max(connectSeconds, 2));
        const char *keywords[] = {"dbname", "connect_timeout", nullptr};
        const char *values[] = {key.constData(), seconds.constData(), nullptr};
        link->pg = PQconnectdbParams(keywords, values, 1);
    } else {
        link->pg = PQconnectdb(withTimeout(key).constData());
    }
    if (!link->pg)
        throw DbError(err::CannotOpen, QStringLiteral("无法连接数据库服务器（%1）：内存不足。").arg(display));
    if (PQstatus(link->pg) != CONNECTION_OK)
        throw DbError(err::CannotOpen, QStringLiteral("无法连接数据库服务器（%1）：%2")
                                           .arg(display, QString::fromUtf8(PQerrorMessage(link->pg)).trimmed()));
    PQsetNoticeProcessor(link->pg, silentNotice, nullptr);
    if (PQsetClientEncoding(link->pg, "UTF8") != 0)
        throw DbError(err::CannotOpen, QStringLiteral("数据库服务器（%1）不接受 UTF-8 编码。").arg(display));
    link->busyMs = -1;
    return link;
}

void PgConnection::replaceLink()
{
    const int busyMs = link->busyMs;
    link = openLink(key, path);
    if (busyMs >= 0)
        setBusyTimeout(busyMs);
}

// What became of a transaction whose COMMIT was sent when the link broke, asked over fresh
// connections: its id's status, and while it is still running, a wait for the clinic's writer
// lock that it holds until it ends. Unknown when the server cannot be reached within waitMs.
enum class CommitOutcome { Committed, Aborted, Unknown };

CommitOutcome outcomeOf(const QByteArray &key, const QString &display, const QByteArray &xid, int waitMs)
{
    constexpr int StepMs = 100;
    QElapsedTimer since;
    since.start();
    for (int waited = 0;; waited += StepMs) {
        const int left = waitMs - int(std::max<qint64>(waited, since.elapsed()));
        std::unique_ptr<PgLink> asker;
        try {
            asker = openLink(key, display, (left + 999) / 1000);
        } catch (const DbError &) {
            // not reachable yet
        }
        if (asker) {
            auto status = [&] {
                const char *values[] = {xid.constData()};
                PgResult r(PQexecParams(asker->pg, "select txid_status($1::bigint)", 1, nullptr, values, nullptr, nullptr, 0));
                return r.ok() && PQntuples(r.r) == 1 && !PQgetisnull(r.r, 0, 0) ? QByteArray(PQgetvalue(r.r, 0, 0)) : QByteArray();
            };
            QByteArray now = status();
            if (now == "in progress") {
                const QByteArray wait = "SET lock_timeout = " + QByteArray::number(std::max(left, 1));
                const QByteArray lock = "select pg_advisory_xact_lock_shared(" + QByteArray::number(WriterLockKey) + ")";
                PgResult set(PQexec(asker->pg, wait.constData()));
                PgResult held(PQexec(asker->pg, lock.constData()));
                asker->busyMs = std::max(left, 1);
                now = held.ok() ? status() : QByteArray();
            }
            if (now == "committed" || now == "aborted") {
                const bool committed = now == "committed";
                if (PQtransactionStatus(asker->pg) == PQTRANS_IDLE)
                    poolLink(key, std::move(asker));
                return committed ? CommitOutcome::Committed : CommitOutcome::Aborted;
            }
            if (PQstatus(asker->pg) == CONNECTION_OK)
                return CommitOutcome::Unknown; // reached, and the transaction is still running
        }
        if (waited + StepMs > waitMs || since.elapsed() >= waitMs)
            return CommitOutcome::Unknown;
        std::this_thread::sleep_for(std::chrono::milliseconds(clock::scaled(StepMs)));
    }
}

void PgConnection::commitNow()
{
    // The transaction's id, taken before the commit (none when it wrote nothing).
    QByteArray xid;
    {
        PgResult r(exchange([&] { return PQexec(pg(), "select txid_current_if_assigned()"); }));
        if (!r.ok()) {
            noteFailure();
            throw pgFailure(pg(), r.r, path);
        }
        if (PQntuples(r.r) == 1 && !PQgetisnull(r.r, 0, 0))
            xid = PQgetvalue(r.r, 0, 0);
    }
    PgResult r(exchange([&] { return PQexec(pg(), "COMMIT"); }));
    if (r.ok())
        return;
    const DbError failure = pgFailure(pg(), r.r, path);
    if (!link->lost || xid.isEmpty())
        throw failure; // refused by the server, or nothing was written
    // The link broke after COMMIT was sent: the server may have stored it.
    switch (outcomeOf(key, path, xid, std::max(link->busyMs, DefaultBusyMs))) {
    case CommitOutcome::Committed:
        return;
    case CommitOutcome::Aborted:
        throw failure;
    case CommitOutcome::Unknown:
        break;
    }
    throw DbError(err::CommitUnknown,
                  QStringLiteral("无法确认数据是否已经保存：与数据库服务器（%1）的连接在提交时中断。请先查询核对，再决定是否重新录入。")
                      .arg(path),
                  failure.engineCode());
}

} // namespace

void closePooledConnections()
{
    std::map<QByteArray, std::vector<std::unique_ptr<PgLink>>> gone;
    {
        QMutexLocker lock(&g_poolMutex);
        gone.swap(g_pool);
    }
}

QByteArray clinicPassphrase() { return QByteArrayLiteral("Qm7Tr42Lx8Vn05Kd3Wz"); }

DbError engineError(int code, const QString &engineMessage, const QString &path)
{
    const int primary = code & 0xff;
    // Constraint failures are told apart by the extended code and by the constraint's name
    // (the schema names every check "<field>:<kind>"), never by the wording of the message.
    switch (code) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY: {
        const auto cols = columnsIn(engineMessage);
        QString what = uniqueIndexName(cols);
        if (what.isEmpty()) {
            QStringList names;
            for (const auto &c : cols)
                names << c.second;
            what = names.join(u',');
        }
        return duplicateError(what, code);
    }
    case SQLITE_CONSTRAINT_NOTNULL: {
        const auto cols = columnsIn(engineMessage);
        return nullError(cols.isEmpty() ? QString() : cols.first().second, code);
    }
    case SQLITE_CONSTRAINT_CHECK:
        return checkError(engineMessage, engineMessage, code);
    default:
        break;
    }
    switch (primary) {
    case SQLITE_NOTADB:
        return DbError(err::NotADatabase,
                       QStringLiteral("'%1' 不是可识别的数据库文件，或数据库密码不正确。").arg(path), code);
    case SQLITE_CANTOPEN:
        return DbError(err::CannotOpen, QStringLiteral("无法打开或创建数据库文件 '%1'。").arg(path), code);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbError(err::Locked, QStringLiteral("数据库文件正被其他程序使用，已被锁定，请稍后再试。"), code);
    case SQLITE_FULL:
        return DbError(err::DiskFull, QStringLiteral("磁盘空间不足，数据未能写入。"), code);
    case SQLITE_IOERR:
        return DbError(err::DiskIo, QStringLiteral("磁盘读写错误：%1").arg(engineMessage), code);
    case SQLITE_READONLY:
        return DbError(err::ReadOnly, QStringLiteral("数据库文件是只读的，不能写入。"), code);
    case SQLITE_MISUSE:
    case SQLITE_RANGE:
        return DbError(err::Misuse, QStringLiteral("数据库语句使用错误：%1").arg(engineMessage), code);
    case SQLITE_CONSTRAINT:
        return DbError(err::General, QStringLiteral("数据不符合表的约束：%1").arg(engineMessage), code);
    default:
        return DbError(err::General, QStringLiteral("数据库引擎错误：%1").arg(engineMessage), code);
    }
}

DbError serverError(const QByteArray &sqlstate, const QString &constraint, const QString &column,
                    const QString &serverMessage, const QString &where)
{
    const int code = sqlstateCode(sqlstate);
    const QByteArray cls = sqlstate.left(2);
    if (sqlstate == "23505")
        return duplicateError(indexNameOfStored(constraint), code);
    if (sqlstate == "23502")
        return nullError(column, code);
    if (sqlstate == "23514")
        return checkError(constraint, serverMessage, code);
    if (sqlstate == "22P02" || sqlstate == "22007" || sqlstate == "22008" || sqlstate == "42804"
        || sqlstate == "22P03")
        return DbError(err::WrongType, QStringLiteral("数据的类型不正确：%1").arg(serverMessage), code);
    if (sqlstate == "22003")
        return DbError(err::OutOfRange, QStringLiteral("数值超出允许范围：%1").arg(serverMessage), code);
    if (sqlstate == "22001")
        return DbError(err::TooLong, QStringLiteral("字段 '%1' 太小，不能接受所要添加的数据的数量。").arg(column), code);
    if (sqlstate == "22021" || sqlstate == "54000")
        return DbError(err::NulCharacter,
                       QStringLiteral("输入的内容中含有空字符（NUL，代码为 0 的字符），不能保存。请删除这个字符后再试。"), code);
    if (sqlstate == "55P03" || sqlstate == "40P01" || sqlstate == "40001" || sqlstate == "57014")
        return DbError(err::Locked, QStringLiteral("数据库服务器上的数据正被其他工作站修改，已被锁定，请稍后再试。"), code);
    if (sqlstate == "53100")
        return DbError(err::DiskFull, QStringLiteral("数据库服务器的磁盘空间不足，数据未能写入。"), code);
    if (sqlstate == "58030")
        return DbError(err::DiskIo, QStringLiteral("数据库服务器磁盘读写错误：%1").arg(serverMessage), code);
    if (sqlstate == "25006")
        return DbError(err::ReadOnly, QStringLiteral("数据库服务器上的数据库是只读的，不能写入。"), code);
    if (sqlstate == "25P02")
        return failedTransaction();
    if (cls == "08" || cls == "28" || sqlstate == "3D000" || cls == "57")
        return DbError(err::CannotOpen,
                       QStringLiteral("无法连接数据库服务器（%1）：%2").arg(where, serverMessage), code);
    if (sqlstate == "42501")
        return DbError(err::ReadOnly, QStringLiteral("数据库服务器拒绝了这个操作（权限不足）：%1").arg(serverMessage), code);
    if (cls == "23")
        return DbError(err::General, QStringLiteral("数据不符合表的约束：%1").arg(serverMessage), code);
    return DbError(err::General, QStringLiteral("数据库引擎错误：%1").arg(serverMessage), code);
}

// ---------------------------------------------------------------- Session

Session::Session(std::shared_ptr<Connection> conn) : m_conn(std::move(conn)) {}
Session::Session(Session &&) noexcept = default;
Session &Session::operator=(Session &&) noexcept = default;
Session::~Session() = default;

Session Session::open(const QString &path)
{
    QFileInfo info(path);
    if (info.isDir())
        throw DbError(err::CannotOpen,
                      QStringLiteral("数据库文件的位置 '%1' 上是一个文件夹，不是数据库文件。请把这个文件夹移走或改名后再试。")
                          .arg(path));
    if (!info.exists() || !info.isFile())
        throw DbError(err::FileMissing, QStringLiteral("找不到数据库文件 '%1'。").arg(path));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw DbError(err::CannotOpen, QStringLiteral("无法打开数据库文件 '%1'。").arg(path));
    const QByteArray salt = f.read(SaltBytes);
    f.close();
    if (salt.size() != SaltBytes)
        throw engineError(SQLITE_NOTADB, {}, path);

    auto conn = openHandle(path, SQLITE_OPEN_READWRITE);
    applyKey(*conn, rawKeySpec(salt), layoutOfSalt(salt));
    Session s(conn);
    // The engine accepts any key; reading the schema proves it.
    s.scalarInt(QStringLiteral("select count(*) from sqlite_master"));
    // The visit search index's triggers tokenize with it whenever a visit is written.
    if (!registerSearchTokenizer(conn->db))
        throwIf(conn->db, SQLITE_ERROR, path);
    return s;
}

Session Session::create(const QString &path)
{
    if (QFileInfo::exists(path))
        throw DbError(err::CannotOpen, QStringLiteral("数据库文件 '%1' 已经存在。").arg(path));
    const QByteArray salt = newSalt(FileLayout::Pages4K);
    const QByteArray spec = rawKeySpec(salt);
    OwnerOnlyFiles ownerOnly; // the file and its journal: 0600
    auto conn = openHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    applyKey(*conn, spec, FileLayout::Pages4K);
    if (!registerSearchTokenizer(conn->db))
        throwIf(conn->db, SQLITE_ERROR, path);
    Session s(conn);
    // The engine writes the file on the first change; make it exist owner-only now.
    s.scalarInt(QStringLiteral("select count(*) from sqlite_master"));
    restrictToOwner(path);
    return s;
}

Session Session::scratch()
{
    const QString name = QStringLiteral(":memory:");
    auto conn = openHandle(name, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY);
    if (!registerSearchTokenizer(conn->db))
        throwIf(conn->db, SQLITE_ERROR, name);
    return Session(conn);
}

Session Session::connect(const DatabaseSettings &settings)
{
    auto conn = std::make_shared<PgConnection>();
    conn->key = settings.connectionString();
    conn->path = settings.display();
    conn->link = takePooled(conn->key);
    if (!conn->link)
        conn->link = openLink(conn->key, conn->path); // its lock timeout is set below
    if (conn->link->busyMs != DefaultBusyMs)
        conn->setBusyTimeout(DefaultBusyMs);
    return Session(conn);
}

Engine Session::engine() const { return m_conn->engine(); }

bool hasFirstLayout(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray salt = f.read(SaltBytes);
    return salt.size() == SaltBytes && layoutOfSalt(salt) == FileLayout::Pages1K;
}

FileLayout Session::layout() const
{
    const auto *file = dynamic_cast<const SqliteConnection *>(m_conn.get());
    return file ? file->layout : FileLayout::Pages4K;
}

void Session::copyInto(const QString &target, FileLayout layout, const std::function<void(int percent)> &progress)
{
    auto *file = dynamic_cast<SqliteConnection *>(m_conn.get());
    if (!file)
        throw DbError(err::Misuse, QStringLiteral("只有数据文件可以这样复制。"));
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
        throw DbError(err::CannotOpen, QStringLiteral("数据库文件 '%1' 已经存在。").arg(target));
    const QByteArray spec = rawKeySpec(newSalt(layout));
    const auto removeTarget = [&target] {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
    };
    OwnerOnlyFiles ownerOnly; // the copy and its journal: 0600
    // The file is opened for reading and writing only, and so are the files it attaches: the
    // copy starts as an empty file, which the engine takes for a new database.
    const int fd = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw DbError(err::CannotOpen, QStringLiteral("无法创建数据库文件 '%1'：%2")
                                           .arg(target, QString::fromLocal8Bit(strerror(errno))));
    ::close(fd);
    try {
        exec(QStringLiteral("attach database ? as fresh key ?"), target, QString::fromLatin1(spec));
    } catch (...) {
        removeTarget();
        throw;
    }
    try {
        execScript(QStringLiteral("pragma fresh.cipher_page_size = %1").arg(pageBytesOf(layout)));
        // The copy needs no journal (on a failure it is removed, and it is flushed by its user
        // before it replaces anything), and it goes to the file as it is made: a small cache
        // writes its pages on, so its size tells how far the copy is.
        execScript(QStringLiteral("pragma fresh.journal_mode = off"));
        execScript(QStringLiteral("pragma fresh.synchronous = off"));
        execScript(QStringLiteral("pragma fresh.cache_size = 64"));
        const qint64 inUse = (scalarInt(QStringLiteral("pragma main.page_count"))
                              - scalarInt(QStringLiteral("pragma main.freelist_count")))
            * scalarInt(QStringLiteral("pragma main.page_size"));
        // The copy runs on its own thread while this one tells how far it is (the copy's size
        // against the pages this file uses) and keeps its windows painted; nothing else uses the session.
        std::exception_ptr failed;
        std::future<void> copying = std::async(std::launch::async, [this, &failed] {
            try {
                Transaction t(*this);
                scalarInt(QStringLiteral("select sqlcipher_export('fresh')"));
                t.commit();
            } catch (...) {
                failed = std::current_exception();
            }
        });
        if (progress) {
            // The pages in use: the copy leaves the free ones out.
            const double sourceBytes = double(qMax<qint64>(1, inUse));
            int shown = 0;
            progress(0);
            while (copying.wait_for(std::chrono::milliseconds(clock::scaled(100))) != std::future_status::ready) {
                const int percent = int(qBound(0.0, double(QFileInfo(target).size()) * 100.0 / sourceBytes, 99.0));
                if (percent > shown)
                    progress(shown = percent);
            }
        }
        copying.get();
        if (failed)
            std::rethrow_exception(failed);
        execScript(QStringLiteral("detach database fresh"));
    } catch (...) {
        try {
            execScript(QStringLiteral("detach database fresh"));
        } catch (const DbError &) {
            // not attached any more
        }
        removeTarget();
        throw;
    }
    restrictToOwner(target);
}

Statement Session::prepare(const QString &sql)
{
    m_conn->refuseAfterEngineRollback();
    if (sql.contains(QChar(u'\0')))
        throw nulInStatement();
    return Statement(m_conn, m_conn->prepare(sql));
}

void Session::execScript(const QString &sql)
{
    m_conn->refuseAfterEngineRollback();
    if (sql.trimmed().isEmpty())
        throw emptyStatement();
    if (sql.contains(QChar(u'\0')))
        throw nulInStatement();
    m_conn->execScript(sql);
}

void Session::setBusyTimeout(int milliseconds) { m_conn->setBusyTimeout(milliseconds); }

void Session::close()
{
    if (!m_conn)
        return;
    if (m_conn.use_count() == 1 && m_conn->isOpen())
        m_conn->closeNow();
    m_conn.reset();
}

int Session::changes() const { return m_conn->changes(); }
qint64 Session::lastInsertRowId() const { return m_conn->lastInsertRowId(); }
bool Session::inTransaction() const { return m_conn->inTransaction(); }
const QString &Session::path() const { return m_conn->path; }

// ---------------------------------------------------------------- Transaction

Transaction::Transaction(Session &session) : m_session(session)
{
    Connection &c = *m_session.m_conn;
    if (c.txDepth > 0) {
        // Inside another transaction of this session: join it.
        c.refuseAfterEngineRollback();
        m_joined = true;
        ++c.txDepth;
        return;
    }
    c.txFailed = false;
    c.refuseAfterEngineRollback();
    c.begin();
    c.txDepth = 1;
}

Transaction::~Transaction()
{
    if (!m_session.m_conn)
        return;
    Connection &c = *m_session.m_conn;
    if (m_done)
        return;
    --c.txDepth;
    if (m_joined) {
        c.txFailed = true; // left uncommitted: the outer commit must refuse
        return;
    }
    c.txFailed = false;
    try {
        c.rollbackNow();
    } catch (const DbError &e) {
        qWarning("qinghe: rollback of '%s' failed: %s", qPrintable(c.path), e.what());
    }
}

void Transaction::commit()
{
    if (m_done)
        return;
    m_done = true;
    Connection &c = *m_session.m_conn;
    --c.txDepth;
    if (m_joined) {
        if (c.txDepth > 0 && c.transactionLost())
            c.txFailed = true;
        return; // the outermost transaction commits
    }
    if (c.txFailed || c.transactionLost()) {
        c.txFailed = false;
        c.rollbackNow();
        throw failedTransaction();
    }
    try {
        c.commitNow();
    } catch (...) {
        c.txFailed = false;
        try {
            c.rollbackNow();
        } catch (const DbError &e) {
            qWarning("qinghe: rollback of '%s' after a failed commit failed: %s", qPrintable(c.path), e.what());
        }
        throw;
    }
}

// ---------------------------------------------------------------- Statement

Statement::Statement(std::shared_ptr<Connection> conn, std::unique_ptr<StatementImpl> impl)
    : m_conn(std::move(conn)), m_impl(std::move(impl))
{
}

Statement::Statement(Statement &&o) noexcept : m_conn(std::move(o.m_conn)), m_impl(std::move(o.m_impl)) {}

Statement &Statement::operator=(Statement &&o) noexcept
{
    if (this != &o) {
        m_impl.reset(); // the statement goes before the connection it holds
        m_impl = std::move(o.m_impl);
        m_conn = std::move(o.m_conn);
    }
    return *this;
}

Statement::~Statement() { m_impl.reset(); }

Statement &Statement::bind(int index, const QString &value)
{
    try {
        refuseNul(value);
    } catch (const DbError &) {
        m_conn->noteFailure();
        throw;
    }
    m_impl->bindText(index, value.toUtf8());
    return *this;
}

Statement &Statement::bind(int index, const char *value) { return bind(index, QString::fromUtf8(value)); }
Statement &Statement::bind(int index, int value) { m_impl->bindInt64(index, value); return *this; }
Statement &Statement::bind(int index, qint64 value) { m_impl->bindInt64(index, value); return *this; }
Statement &Statement::bind(int index, Money value) { m_impl->bindInt64(index, value.units()); return *this; }
Statement &Statement::bind(int index, const QDate &day) { return bind(index, dbDate(day)); }
Statement &Statement::bind(int index, const QDateTime &value) { return bind(index, dbDateTime(value)); }
Statement &Statement::bind(int index, const QByteArray &blob) { m_impl->bindBlob(index, blob); return *this; }
Statement &Statement::bind(int index, std::nullopt_t) { m_impl->bindNull(index); return *this; }

bool Statement::next()
{
    m_conn->refuseAfterEngineRollback();
    return m_impl->next();
}

void Statement::run()
{
    while (next()) {
    }
}

void Statement::reset() { m_impl->reset(); }

int Statement::columnCount() const { return m_impl->columnCount(); }
QString Statement::columnName(int col) const { return m_impl->columnName(col); }
bool Statement::isNull(int col) const { return m_impl->isNull(col); }
QString Statement::text(int col) const { return m_impl->text(col); }

std::optional<QString> Statement::optText(int col) const
{
    if (isNull(col))
        return std::nullopt;
    return text(col);
}

int Statement::integer(int col) const { return int(m_impl->int64(col)); }
qint64 Statement::int64(int col) const { return m_impl->int64(col); }
Money Statement::money(int col) const { return Money::fromUnits(m_impl->int64(col)); }

std::optional<Money> Statement::optMoney(int col) const
{
    if (isNull(col))
        return std::nullopt;
    return money(col);
}

std::optional<QDateTime> Statement::dateTime(int col) const
{
    if (isNull(col))
        return std::nullopt;
    return fromDbDateTime(text(col));
}

std::optional<QDate> Statement::date(int col) const
{
    auto v = dateTime(col);
    if (!v)
        return std::nullopt;
    return v->date();
}

QByteArray Statement::blob(int col) const { return m_impl->blob(col); }

} // namespace qh::db
