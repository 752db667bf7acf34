#include "core/database.h"
#include "core/owneronly.h"
#include "core/schema.h"
#include "core/searchtokenizer.h"
#include "core/textutil.h"

#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>

#include <openssl/evp.h>
#include <openssl/rand.h>

namespace qh::db {

struct Connection {
    sqlite3 *db = nullptr;
    QString path;
    int txDepth = 0;       // open Transaction objects (the outermost one began it)
    bool txFailed = false; // a statement inside the open transaction failed
    ~Connection()
    {
        if (db) {
            // Every statement holds this connection alive, so none is open here; a failure
            // can only be logged from a destructor (Session::close() reports it).
            const int rc = sqlite3_close(db);
            if (rc != SQLITE_OK)
                qWarning("qinghe: closing the database '%s' failed: %s", qPrintable(path), sqlite3_errstr(rc));
        }
    }
    // A statement failed: inside a transaction that makes its commit refuse.
    void noteFailure()
    {
        if (txDepth > 0 || (db && sqlite3_get_autocommit(db) == 0))
            txFailed = true;
    }
    // A Transaction is open but the engine has already rolled it back (a full disk, an I/O
    // error): nothing more may run, or it would be stored outside the transaction.
    void refuseAfterEngineRollback()
    {
        if (txDepth > 0 && db && sqlite3_get_autocommit(db) != 0) {
            txFailed = true;
            throw DbError(err::Misuse, QStringLiteral("事务已被数据库撤销，其中的修改都没有保存，请重新操作。"));
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

int checkedEngineCall(sqlite3 *db, int rc, const QString &path);

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

// ROLLBACK of the open transaction. Throws when the engine refuses it.
void rollbackNow(Connection &c)
{
    if (!c.db || sqlite3_get_autocommit(c.db) != 0)
        return; // the engine has rolled back already
    checkedEngineCall(c.db, sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr), c.path);
}

// A text bound to a statement: a NUL character is refused (the engine's length() stops at it,
// so it would slip past every length check).
void refuseNul(const QString &value)
{
    if (value.contains(QChar(u'\0')))
        throw DbError(err::NulCharacter,
                      QStringLiteral("输入的内容中含有空字符（NUL，代码为 0 的字符），不能保存。请删除这个字符后再试。"));
}

std::shared_ptr<Connection> openHandle(const QString &path, int flags)
{
    auto conn = std::make_shared<Connection>();
    conn->path = path;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &conn->db, flags, nullptr);
    if (rc != SQLITE_OK)
        throw engineError(rc, QString::fromUtf8(sqlite3_errstr(rc)), path);
    checkedEngineCall(conn->db, sqlite3_extended_result_codes(conn->db, 1), path);
    checkedEngineCall(conn->db, sqlite3_busy_timeout(conn->db, 5000), path);
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
        return DbError(err::Duplicate,
                       QStringLiteral("由于将在索引中创建重复的值（%1），请求对表的改变没有成功。").arg(what), code);
    }
    case SQLITE_CONSTRAINT_NOTNULL: {
        const auto cols = columnsIn(engineMessage);
        return DbError(err::NullInIndex,
                       QStringLiteral("索引字段 '%1' 不能包含 Null 值。").arg(cols.isEmpty() ? QString() : cols.first().second),
                       code);
    }
    case SQLITE_CONSTRAINT_CHECK: {
        const CheckName name = checkNameIn(engineMessage);
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
    OwnerOnlyFiles ownerOnly; // the file and its journal: 0600
    auto conn = openHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    applyKey(*conn, spec);
    if (!registerSearchTokenizer(conn->db))
        throwIf(conn->db, SQLITE_ERROR, path);
    Session s(conn);
    // The engine writes the file on the first change; make it exist owner-only now.
    s.scalarInt(QStringLiteral("select count(*) from sqlite_master"));
    restrictToOwner(path);
    return s;
}

Session Session::connect(const DatabaseSettings &settings)
{
    throw DbError(err::CannotOpen, QStringLiteral("本程序版本不能连接数据库服务器（%1）。").arg(settings.display()));
}

Engine Session::engine() const { return Engine::File; }

Statement Session::prepare(const QString &sql)
{
    m_conn->refuseAfterEngineRollback();
    if (sql.contains(QChar(u'\0')))
        throw DbError(err::Misuse, QStringLiteral("程序错误：数据库语句中含有空字符。"));
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    int rc = sqlite3_prepare_v2(m_conn->db, utf8.constData(), int(utf8.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        m_conn->noteFailure();
        throwIf(m_conn->db, rc, m_conn->path);
    }
    Statement st(m_conn, stmt);
    if (!stmt) {
        m_conn->noteFailure();
        throw DbError(err::Misuse, QStringLiteral("程序错误：要执行的数据库语句是空的。"));
    }
    if (tail && !QByteArray(tail).trimmed().isEmpty() && QByteArray(tail).trimmed() != ";") {
        m_conn->noteFailure();
        throw DbError(err::Misuse, QStringLiteral("程序错误：一次只能执行一条数据库语句（多余的部分：%1）。")
                                       .arg(QString::fromUtf8(tail).trimmed()));
    }
    return st;
}

void Session::execScript(const QString &sql)
{
    m_conn->refuseAfterEngineRollback();
    if (sql.trimmed().isEmpty())
        throw DbError(err::Misuse, QStringLiteral("程序错误：要执行的数据库语句是空的。"));
    if (sql.contains(QChar(u'\0')))
        throw DbError(err::Misuse, QStringLiteral("程序错误：数据库语句中含有空字符。"));
    char *errmsg = nullptr;
    int rc = sqlite3_exec(m_conn->db, sql.toUtf8().constData(), nullptr, nullptr, &errmsg);
    if (errmsg)
        sqlite3_free(errmsg);
    if (rc != SQLITE_OK) {
        m_conn->noteFailure();
        throwIf(m_conn->db, rc, m_conn->path);
    }
}

void Session::setBusyTimeout(int milliseconds)
{
    checkedEngineCall(m_conn->db, sqlite3_busy_timeout(m_conn->db, milliseconds), m_conn->path);
}

void Session::close()
{
    if (!m_conn)
        return;
    if (m_conn.use_count() == 1 && m_conn->db) {
        sqlite3 *db = m_conn->db;
        const int rc = sqlite3_close(db);
        if (rc != SQLITE_OK)
            throwIf(db, rc, m_conn->path); // the handle stays with the connection
        m_conn->db = nullptr;
    }
    m_conn.reset();
}

int Session::changes() const { return sqlite3_changes(m_conn->db); }
qint64 Session::lastInsertRowId() const { return sqlite3_last_insert_rowid(m_conn->db); }
bool Session::inTransaction() const { return sqlite3_get_autocommit(m_conn->db) == 0; }
sqlite3 *Session::handle() const { return m_conn->db; }
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
    m_session.execScript(QStringLiteral("BEGIN IMMEDIATE"));
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
        rollbackNow(c);
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
        if (c.txDepth > 0 && sqlite3_get_autocommit(c.db) != 0)
            c.txFailed = true;
        return; // the outermost transaction commits
    }
    const bool engineRolledBack = sqlite3_get_autocommit(c.db) != 0;
    if (c.txFailed || engineRolledBack) {
        c.txFailed = false;
        rollbackNow(c);
        throw DbError(err::Misuse, QStringLiteral("事务中有语句执行失败，全部修改已撤销。"));
    }
    try {
        m_session.execScript(QStringLiteral("COMMIT"));
    } catch (...) {
        c.txFailed = false;
        try {
            rollbackNow(c);
        } catch (const DbError &e) {
            qWarning("qinghe: rollback of '%s' after a failed commit failed: %s", qPrintable(c.path), e.what());
        }
        throw;
    }
}

// ---------------------------------------------------------------- Statement

Statement::Statement(std::shared_ptr<Connection> conn, sqlite3_stmt *stmt) : m_conn(std::move(conn)), m_stmt(stmt) {}

Statement::Statement(Statement &&o) noexcept
    : m_conn(std::move(o.m_conn)), m_stmt(o.m_stmt), m_stepFailed(o.m_stepFailed)
{
    o.m_stmt = nullptr;
}

Statement &Statement::operator=(Statement &&o) noexcept
{
    if (this != &o) {
        if (m_stmt)
            sqlite3_finalize(m_stmt);
        m_stmt = o.m_stmt;
        m_stepFailed = o.m_stepFailed;
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
    m_conn->noteFailure();
    throwIf(m_conn->db, rc, m_conn->path);
}

Statement &Statement::bind(int index, const QString &value)
{
    try {
        refuseNul(value);
    } catch (const DbError &) {
        m_conn->noteFailure();
        throw;
    }
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
    m_conn->refuseAfterEngineRollback();
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_stepFailed = true;
    m_conn->noteFailure();
    const int ext = sqlite3_extended_errcode(m_conn->db);
    const QString msg = QString::fromUtf8(sqlite3_errmsg(m_conn->db));
    sqlite3_reset(m_stmt); // repeats the failure just taken, reported below
    throw engineError((ext & 0xff) == (rc & 0xff) ? ext : rc, msg, m_conn->path);
}

void Statement::run()
{
    while (next()) {
    }
}

void Statement::reset()
{
    const int rc = sqlite3_reset(m_stmt);
    const bool reported = m_stepFailed;
    m_stepFailed = false;
    if (!reported)
        check(rc);
    check(sqlite3_clear_bindings(m_stmt));
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
