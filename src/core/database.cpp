#include "core/database.h"
#include "core/searchtokenizer.h"
#include "core/textutil.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <openssl/evp.h>
#include <openssl/rand.h>

namespace qh::db {

struct Connection {
    sqlite3 *db = nullptr;
    QString path;
    bool txFailed = false;
    ~Connection()
    {
        if (db) {
            // Every statement holds this connection alive, so none is open here.
            sqlite3_close(db);
        }
    }
};

namespace {

constexpr int SaltBytes = 16;
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

QString fieldOf(const QString &constraint)
{
    // "ycjg.ycbm" -> "ycbm"; "ycbm:empty" -> "ycbm"
    QString f = constraint;
    int colon = f.indexOf(u':');
    if (colon >= 0)
        f = f.left(colon);
    int dot = f.lastIndexOf(u'.');
    if (dot >= 0)
        f = f.mid(dot + 1);
    return f;
}

QString afterColon(const QString &msg)
{
    int p = msg.indexOf(QStringLiteral("failed: "));
    return p >= 0 ? msg.mid(p + 8).trimmed() : QString();
}

void throwIf(sqlite3 *db, int rc, const QString &path)
{
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return;
    QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    int ext = db ? sqlite3_extended_errcode(db) : rc;
    throw engineError(ext, msg, path);
}

std::shared_ptr<Connection> openHandle(const QString &path, int flags)
{
    auto conn = std::make_shared<Connection>();
    conn->path = path;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &conn->db, flags, nullptr);
    if (rc != SQLITE_OK) {
        DbError e = engineError(rc, QString::fromUtf8(sqlite3_errstr(rc)), path);
        throw e;
    }
    sqlite3_extended_result_codes(conn->db, 1);
    sqlite3_busy_timeout(conn->db, 5000);
    return conn;
}

void applyKey(Connection &c, const QByteArray &keySpec)
{
    int rc = sqlite3_key(c.db, keySpec.constData(), int(keySpec.size()));
    throwIf(c.db, rc, c.path);
}

} // namespace

QByteArray clinicPassphrase() { return QByteArrayLiteral("Qm7Tr42Lx8Vn05Kd3Wz"); }

DbError engineError(int code, const QString &engineMessage, const QString &path)
{
    const int primary = code & 0xff;
    switch (code) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return DbError(err::Duplicate,
                       QStringLiteral("由于将在索引中创建重复的值（%1），请求对表的改变没有成功。")
                           .arg(afterColon(engineMessage)),
                       code);
    case SQLITE_CONSTRAINT_NOTNULL:
        return DbError(err::NullInIndex,
                       QStringLiteral("索引字段 '%1' 不能包含 Null 值。").arg(fieldOf(afterColon(engineMessage))), code);
    case SQLITE_CONSTRAINT_CHECK: {
        const QString name = afterColon(engineMessage);
        const QString field = fieldOf(name);
        if (name.endsWith(QStringLiteral(":empty")))
            return DbError(err::ZeroLength, QStringLiteral("字段 '%1' 不能是零长度的字符串。").arg(field), code);
        if (name.endsWith(QStringLiteral(":long")))
            return DbError(err::TooLong, QStringLiteral("字段 '%1' 太小，不能接受所要添加的数据的数量。").arg(field), code);
        if (name.endsWith(QStringLiteral(":range")))
            return DbError(err::OutOfRange, QStringLiteral("字段 '%1' 的数值超出允许范围。").arg(field), code);
        return DbError(err::WrongType, QStringLiteral("字段 '%1' 的数据类型不正确。").arg(field), code);
    }
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
        return DbError(err::Duplicate, QStringLiteral("数据不符合表的约束：%1").arg(engineMessage), code);
    default:
        return DbError(err::General, QStringLiteral("数据库引擎错误：%1").arg(engineMessage), code);
    }
}

// ---------------------------------------------------------------- Session

Session::Session(std::shared_ptr<Connection> conn) : m_conn(std::move(conn)) {}
Session::Session(Session &&) noexcept = default;
Session &Session::operator=(Session &&) noexcept = default;
Session::~Session() = default;

Session Session::open(const QString &path)
{
    QFileInfo info(path);
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
    applyKey(*conn, rawKeySpec(salt));
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
    QByteArray salt(SaltBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(salt.data()), SaltBytes) != 1)
        throw DbError(err::General, QStringLiteral("无法生成数据库密钥"));
    const QByteArray spec = rawKeySpec(salt);
    auto conn = openHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    applyKey(*conn, spec);
    if (!registerSearchTokenizer(conn->db))
        throwIf(conn->db, SQLITE_ERROR, path);
    return Session(conn);
}

Statement Session::prepare(const QString &sql)
{
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_conn->db, utf8.constData(), int(utf8.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        if (m_conn->db && sqlite3_get_autocommit(m_conn->db) == 0)
            m_conn->txFailed = true;
        throwIf(m_conn->db, rc, m_conn->path);
    }
    return Statement(m_conn, stmt);
}

void Session::execScript(const QString &sql)
{
    char *errmsg = nullptr;
    int rc = sqlite3_exec(m_conn->db, sql.toUtf8().constData(), nullptr, nullptr, &errmsg);
    if (errmsg)
        sqlite3_free(errmsg);
    if (rc != SQLITE_OK) {
        if (sqlite3_get_autocommit(m_conn->db) == 0)
            m_conn->txFailed = true;
        throwIf(m_conn->db, rc, m_conn->path);
    }
}

int Session::changes() const { return sqlite3_changes(m_conn->db); }
qint64 Session::lastInsertRowId() const { return sqlite3_last_insert_rowid(m_conn->db); }
bool Session::inTransaction() const { return sqlite3_get_autocommit(m_conn->db) == 0; }
sqlite3 *Session::handle() const { return m_conn->db; }
const QString &Session::path() const { return m_conn->path; }

// ---------------------------------------------------------------- Transaction

Transaction::Transaction(Session &session) : m_session(session)
{
    m_session.m_conn->txFailed = false;
    m_session.execScript(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction()
{
    if (!m_done && m_session.m_conn && m_session.inTransaction())
        sqlite3_exec(m_session.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit()
{
    if (m_done)
        return;
    m_done = true;
    if (m_session.m_conn->txFailed) {
        sqlite3_exec(m_session.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        m_session.m_conn->txFailed = false;
        throw DbError(err::Misuse, QStringLiteral("事务中有语句执行失败，全部修改已撤销。"));
    }
    try {
        m_session.execScript(QStringLiteral("COMMIT"));
    } catch (...) {
        if (m_session.inTransaction())
            sqlite3_exec(m_session.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

// ---------------------------------------------------------------- Statement

Statement::Statement(std::shared_ptr<Connection> conn, sqlite3_stmt *stmt) : m_conn(std::move(conn)), m_stmt(stmt) {}

Statement::Statement(Statement &&o) noexcept : m_conn(std::move(o.m_conn)), m_stmt(o.m_stmt) { o.m_stmt = nullptr; }

Statement &Statement::operator=(Statement &&o) noexcept
{
    if (this != &o) {
        if (m_stmt)
            sqlite3_finalize(m_stmt);
        m_stmt = o.m_stmt;
        o.m_stmt = nullptr;
        m_conn = std::move(o.m_conn);
    }
    return *this;
}

Statement::~Statement()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

void Statement::check(int rc) const
{
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return;
    if (sqlite3_get_autocommit(m_conn->db) == 0)
        m_conn->txFailed = true;
    throwIf(m_conn->db, rc, m_conn->path);
}

Statement &Statement::bind(int index, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    check(sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement &Statement::bind(int index, const char *value) { return bind(index, QString::fromUtf8(value)); }
Statement &Statement::bind(int index, int value) { check(sqlite3_bind_int(m_stmt, index, value)); return *this; }
Statement &Statement::bind(int index, qint64 value) { check(sqlite3_bind_int64(m_stmt, index, value)); return *this; }
Statement &Statement::bind(int index, Money value) { check(sqlite3_bind_int64(m_stmt, index, value.units())); return *this; }
Statement &Statement::bind(int index, const QDate &day) { return bind(index, dbDate(day)); }
Statement &Statement::bind(int index, const QDateTime &value) { return bind(index, dbDateTime(value)); }

Statement &Statement::bind(int index, const QByteArray &blob)
{
    check(sqlite3_bind_blob(m_stmt, index, blob.constData(), int(blob.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement &Statement::bind(int index, std::nullopt_t) { check(sqlite3_bind_null(m_stmt, index)); return *this; }

bool Statement::next()
{
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    check(rc);
    return false;
}

void Statement::run()
{
    while (next()) {
    }
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::columnCount() const { return sqlite3_column_count(m_stmt); }
QString Statement::columnName(int col) const { return QString::fromUtf8(sqlite3_column_name(m_stmt, col)); }
bool Statement::isNull(int col) const { return sqlite3_column_type(m_stmt, col) == SQLITE_NULL; }

QString Statement::text(int col) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, col)) : QString();
}

std::optional<QString> Statement::optText(int col) const
{
    if (isNull(col))
        return std::nullopt;
    return text(col);
}

int Statement::integer(int col) const { return sqlite3_column_int(m_stmt, col); }
qint64 Statement::int64(int col) const { return sqlite3_column_int64(m_stmt, col); }
Money Statement::money(int col) const { return Money::fromUnits(sqlite3_column_int64(m_stmt, col)); }

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

QByteArray Statement::blob(int col) const
{
    const void *p = sqlite3_column_blob(m_stmt, col);
    return p ? QByteArray(static_cast<const char *>(p), sqlite3_column_bytes(m_stmt, col)) : QByteArray();
}

} // namespace qh::db
