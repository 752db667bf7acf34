#include "db/features.h"

#include <utility>

namespace qh::db {

namespace {

bool onServer(const Session &session) { return session.engine() == Engine::Server; }

// The faults an integrity check reports ("ok" is none), one per line: the engine answers the
// faults of a tree in one row, a line each, under a heading line.
QStringList faultsOf(Session &s, const QString &check)
{
    QStringList faults;
    auto st = s.prepare(check);
    while (st.next()) {
        const QString row = st.text(0);
        if (row.compare(QStringLiteral("ok"), Qt::CaseInsensitive) == 0)
            continue;
        for (const QString &line : row.split(u'\n', Qt::SkipEmptyParts))
            if (!line.startsWith(QStringLiteral("*** ")))
                faults << line.trimmed();
    }
    return faults;
}

} // namespace

const Dialect &dialectOf(const Session &session) { return dialectOf(session.engine()); }

bool supports(const Session &session, Feature feature)
{
    switch (feature) {
    case Feature::FullTextIndex: return !onServer(session);
    }
    return false;
}

bool hasDataFile(const Store &store) { return store.engine() == Engine::File; }

bool hasTable(Session &session, const QString &table)
{
    if (onServer(session))
        return session.scalarInt(QStringLiteral("select count(*) from information_schema.tables "
                                                "where table_schema = current_schema() and table_name = ?"),
                                 table)
            > 0;
    return session.scalarInt(QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = ?"), table) > 0;
}

bool hasIndex(Session &session, const QString &index)
{
    if (onServer(session))
        return session.scalarInt(QStringLiteral("select count(*) from pg_indexes where schemaname = current_schema() "
                                                "and indexname = lower(?)"),
                                 index)
            > 0;
    return session.scalarInt(QStringLiteral("select count(*) from sqlite_master where type = 'index' and name = ? collate nocase"),
                             index)
        > 0;
}

QStringList columnsOf(Session &session, const QString &table)
{
    QStringList columns;
    if (onServer(session)) {
        auto st = session.query(QStringLiteral("select column_name from information_schema.columns "
                                               "where table_schema = current_schema() and table_name = ? "
                                               "order by ordinal_position"),
                                table);
        while (st.next())
            columns << st.text(0);
        return columns;
    }
    // The pragma takes no bound value: the name goes in quoted, as an identifier.
    QString quoted = table;
    quoted.replace(u'"', QStringLiteral("\"\""));
    auto st = session.prepare(QStringLiteral("pragma table_info(\"%1\")").arg(quoted));
    while (st.next())
        columns << st.text(1);
    return columns;
}

QList<StoredObject> storedObjects(Session &session)
{
    QList<StoredObject> objects;
    if (onServer(session))
        return objects;
    auto st = session.query(QStringLiteral("select type, name, tbl_name, sql from sqlite_master order by rowid"));
    while (st.next())
        objects.append({st.text(0), st.text(1), st.text(2), st.optText(3)});
    return objects;
}

QStringList integrityFaults(Session &session, IntegrityDepth depth)
{
    if (onServer(session))
        return {};
    return faultsOf(session, depth == IntegrityDepth::Full ? QStringLiteral("pragma integrity_check")
                                                           : QStringLiteral("pragma quick_check"));
}

QStringList authenticationFaults(Session &session)
{
    if (onServer(session))
        return {};
    // An engine without page authentication answers no row.
    return faultsOf(session, QStringLiteral("pragma cipher_integrity_check"));
}

void setPageCache(Session &session, qint64 kib)
{
    if (!onServer(session))
        session.execScript(QStringLiteral("pragma cache_size = -%1").arg(kib));
}

NamedLock::NamedLock(NamedLock &&other) noexcept
    : m_session(std::exchange(other.m_session, nullptr)), m_key(other.m_key)
{
}

NamedLock::~NamedLock()
{
    if (!m_session)
        return;
    try {
        m_session->scalarInt(QStringLiteral("select pg_advisory_unlock(?)"), m_key);
    } catch (const DbError &e) {
        // Only a broken connection refuses this; the server releases the lock when it ends.
        qWarning("qinghe: the lock %lld was not released: %s", static_cast<long long>(m_key), e.what());
    }
}

std::optional<NamedLock> tryNamedLock(Session &session, qint64 key)
{
    if (!onServer(session))
        return NamedLock(nullptr, key);
    if (session.scalarInt(QStringLiteral("select pg_try_advisory_lock(?)"), key) != 1)
        return std::nullopt;
    return NamedLock(&session, key);
}

bool namedLockHeld(Session &session, qint64 key)
{
    if (!onServer(session))
        return false;
    // A lock taken by one 64-bit number shows its high half as classid, its low half as objid.
    const qint64 high = qint64(quint64(key) >> 32);
    const qint64 low = qint64(quint64(key) & 0xffffffffu);
    return session.scalarInt(QStringLiteral("select count(*) from pg_locks where locktype = 'advisory' and granted "
                                            "and database = (select oid from pg_database where datname = current_database()) "
                                            "and classid = ? and objid = ? and objsubid = 1"),
                             high, low)
        > 0;
}

} // namespace qh::db
