// The encrypted file: its key and page layout, the engine's connection and statements, its
// error map, and the copy of a whole file.
#include "db/link.h"
#include "db/session.h"
#include "db/vocabulary.h"
#include "base/clock.h"
#include "base/owneronly.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <chrono>
#include <exception>
#include <functional>
#include <future>

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qh::db {

using namespace detail;

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
    QByteArrayView utf8(int col) const override
    {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt, col));
        return p ? QByteArrayView(p, sqlite3_column_bytes(stmt, col)) : QByteArrayView();
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

// What the program adds to every file connection (the functions its schema's triggers call).
void addProgramFunctions(SqliteConnection &c)
{
    if (const auto hook = vocabulary().onFileOpen; hook && !hook(c.db))
        throwIf(c.db, SQLITE_ERROR, c.path);
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

} // namespace

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
        QStringList fields;
        for (const auto &c : cols)
            fields << c.second;
        QString what = cols.isEmpty() ? QString() : uniqueIndexNamed(cols.first().first, fields);
        if (what.isEmpty())
            what = fields.join(u',');
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
    addProgramFunctions(*conn);
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
    addProgramFunctions(*conn);
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
    addProgramFunctions(*conn);
    return Session(conn);
}

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

} // namespace qh::db
