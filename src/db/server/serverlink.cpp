// The PostgreSQL server: its connections and their pool, the statements in the server's
// dialect, the outcome of a commit whose answer was lost, and its error map.
#include "db/link.h"
#include "db/session.h"
#include "db/server/serversql.h"
#include "base/clock.h"

#include <libpq-fe.h>

#include <QHash>
#include <QMutex>
#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <utility>
#include <vector>

namespace qh::db {

using namespace detail;

namespace {

constexpr int DefaultBusyMs = 5000;
// The file engine's code of a parameter number out of range (SQLITE_RANGE): both engines report it alike.
constexpr int ParameterOutOfRange = 25;
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
    QByteArrayView utf8(int col) const override
    {
        if (isNull(col))
            return {};
        const char *p = PQgetvalue(res, row, col);
        if (PQftype(res, col) == BoolOid)
            return *p == 't' ? QByteArrayView("1") : QByteArrayView("0");
        return QByteArrayView(p, PQgetlength(res, row, col));
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
                      ParameterOutOfRange);
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

} // namespace qh::db
