#pragma once
// What the table definitions of an engine's dialect are made of: the column types and checks of
// each kind of field, how names are quoted, the row key and what must exist before the tables.
// The schema (which tables and fields) is the caller's; one builder asks the dialect for the rest.
#include <QString>
#include <QStringList>

namespace qh::db {

enum class Engine { File, Server };

// The kinds of field a clinic table is made of.
enum class ColumnKind { Text, Integer, Currency, Date, Memo, LongBinary };

class Dialect {
public:
    virtual ~Dialect() = default;
    // A table's, field's or index's name as the statements write it.
    virtual QString name(const QString &ident) const = 0;
    // The column that holds the row key, or "" when the engine has an implicit one.
    virtual QString rowKeyColumn() const = 0;
    virtual QString columnType(ColumnKind kind) const = 0;
    // The named checks of a field (each "CONSTRAINT "<field>:<kind>" CHECK (...)"); size is the
    // most characters of a Text field.
    virtual QStringList checks(const QString &field, ColumnKind kind, int size) const = 0;
    // Statements run before the first table is made.
    virtual QStringList preamble() const = 0;
};

const Dialect &dialectOf(Engine engine);

} // namespace qh::db
