#include "db/link.h"
#include "db/session.h"
#include "base/textutil.h"

#include <QRegularExpression>

namespace qh::db {

namespace {

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

} // namespace

namespace detail {

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

DbError duplicateError(const QString &what, int code)
{
    return DbError(err::Duplicate, QStringLiteral("由于将在索引中创建重复的值（%1），请求对表的改变没有成功。").arg(what), code);
}

DbError nullError(const QString &field, int code)
{
    return DbError(err::NullInIndex, QStringLiteral("索引字段 '%1' 不能包含 Null 值。").arg(field), code);
}

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


} // namespace detail

namespace {

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
} // namespace

using namespace detail;

// ---------------------------------------------------------------- Session

Session::Session(std::shared_ptr<Connection> conn) : m_conn(std::move(conn)) {}
Session::Session(Session &&) noexcept = default;
Session &Session::operator=(Session &&) noexcept = default;
Session::~Session() = default;

Engine Session::engine() const { return m_conn->engine(); }

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
QByteArrayView Statement::utf8(int col) const { return m_impl->utf8(col); }

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

