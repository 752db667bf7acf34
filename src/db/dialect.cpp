#include "db/dialect.h"

namespace qh::db {

namespace {

QString quoted(const QString &ident) { return u'"' + ident + u'"'; }

QString check(const QString &field, const char *kind, const QString &condition)
{
    return QStringLiteral("CONSTRAINT \"%1:%2\" CHECK (%3)").arg(field, QLatin1String(kind), condition);
}

// The encrypted file. Texts compare ignoring letter case (NOCASE); the engine's length() counts
// characters (code points) but stops at a NUL, so a text with a NUL is refused first, after which
// length() is exact. The engine's columns take any value, so numbers and dates are checked for
// their type.
class FileDialect : public Dialect {
public:
    QString name(const QString &ident) const override { return quoted(ident); }
    QString rowKeyColumn() const override { return {}; }
    QString columnType(ColumnKind kind) const override
    {
        switch (kind) {
        case ColumnKind::Text:
        case ColumnKind::Memo: return QStringLiteral("TEXT COLLATE NOCASE");
        case ColumnKind::Integer:
        case ColumnKind::Currency: return QStringLiteral("INTEGER"); // Currency: ten-thousandths
        case ColumnKind::Date: return QStringLiteral("TEXT");        // "yyyy-MM-dd HH:mm:ss"
        case ColumnKind::LongBinary: return QStringLiteral("BLOB");
        }
        return {};
    }
    QStringList checks(const QString &field, ColumnKind kind, int size) const override
    {
        const QString n = name(field);
        const QString nul = check(field, "nul", QStringLiteral("%1 IS NULL OR instr(%1, char(0)) = 0").arg(n));
        const QString integer = check(field, "type", QStringLiteral("%1 IS NULL OR typeof(%1) = 'integer'").arg(n));
        switch (kind) {
        case ColumnKind::Text:
            return {nul, check(field, "empty", QStringLiteral("%1 IS NULL OR length(%1) > 0").arg(n)),
                    check(field, "long", QStringLiteral("%1 IS NULL OR length(%1) <= %2").arg(n).arg(size))};
        case ColumnKind::Integer:
            return {integer, check(field, "range", QStringLiteral("%1 IS NULL OR %1 BETWEEN -32768 AND 32767").arg(n))};
        case ColumnKind::Currency: return {integer};
        case ColumnKind::Date:
            return {check(field, "type",
                          QStringLiteral("%1 IS NULL OR (typeof(%1) = 'text' AND %1 GLOB "
                                         "'[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]')")
                              .arg(n))};
        case ColumnKind::Memo: return {nul};
        case ColumnKind::LongBinary: return {};
        }
        return {};
    }
    QStringList preamble() const override { return {}; }
};

// The server. Text and Memo are citext in the "C" collation: = and LIKE ignore the case of ASCII
// letters and order by code point, exactly as the file's NOCASE; the server refuses a NUL in any
// text by itself. Integer and Currency are typed columns (a text in them is refused as the wrong
// type), Date keeps its text form under a pattern check. Names are made in lower case (the
// server folds unquoted names), so statements name them in any case, as with the file; the file's
// implicit row key is an explicit "rowid" column, so the same statements use it unchanged.
class ServerDialect : public Dialect {
public:
    QString name(const QString &ident) const override { return quoted(ident.toLower()); }
    QString rowKeyColumn() const override { return QStringLiteral("rowid bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY"); }
    QString columnType(ColumnKind kind) const override
    {
        switch (kind) {
        case ColumnKind::Text:
        case ColumnKind::Memo: return QStringLiteral("citext COLLATE \"C\"");
        case ColumnKind::Integer: return QStringLiteral("integer");
        case ColumnKind::Currency: return QStringLiteral("bigint");
        case ColumnKind::Date: return QStringLiteral("text COLLATE \"C\"");
        case ColumnKind::LongBinary: return QStringLiteral("bytea");
        }
        return {};
    }
    QStringList checks(const QString &field, ColumnKind kind, int size) const override
    {
        const QString n = name(field);
        switch (kind) {
        case ColumnKind::Text:
            return {check(field, "empty", QStringLiteral("%1 IS NULL OR char_length(%1) > 0").arg(n)),
                    check(field, "long", QStringLiteral("%1 IS NULL OR char_length(%1) <= %2").arg(n).arg(size))};
        case ColumnKind::Integer:
            return {check(field, "range", QStringLiteral("%1 IS NULL OR %1 BETWEEN -32768 AND 32767").arg(n))};
        case ColumnKind::Date:
            return {check(field, "type",
                          QStringLiteral("%1 IS NULL OR %1 ~ "
                                         "'^[0-9]{4}-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]$'")
                              .arg(n))};
        case ColumnKind::Currency:
        case ColumnKind::Memo:
        case ColumnKind::LongBinary: return {};
        }
        return {};
    }
    QStringList preamble() const override { return {QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext")}; }
};

} // namespace

const Dialect &dialectOf(Engine engine)
{
    static const FileDialect file;
    static const ServerDialect server;
    return engine == Engine::Server ? static_cast<const Dialect &>(server) : file;
}

} // namespace qh::db
