#pragma once
// The clinic database: 23 tables with their fields and 26 named indexes, in creation order.
#include <QString>
#include <vector>

namespace qh {

namespace db { class Session; }

enum class FieldType { Text, Integer, Currency, Date, Memo, LongBinary };

struct FieldDef {
    const char *name;
    FieldType type;
    int size = 0; // characters, for Text
};

struct IndexDef {
    const char *name;        // the index's name within its table
    std::vector<const char *> fields;
    bool required;
    bool unique;
    bool clustered;
    const char *storedName;  // name in the file, where index names are per file
};

struct TableDef {
    const char *name;
    std::vector<FieldDef> fields;
    std::vector<IndexDef> indexes;
};

const std::vector<TableDef> &clinicSchema();

// Creates the encrypted database file at the path with every table and index, no rows (with
// the status row "  " when withStatusRow). Atomic: the file is built under creatingPath(path),
// flushed to the disk and then renamed into place, owner-only (0600). The folder must exist.
// Throws DbError.
void CreateClinicDatabase(const QString &path, bool withStatusRow = false);

// The temporary name beside the database file under which a new one is built.
QString creatingPath(const QString &path);
// Removes what a creation that was stopped half way left under creatingPath(path).
void removeUnfinishedCreation(const QString &path);

// Writes the schema into an open, empty database (used by CreateClinicDatabase; on the server by
// the first start against an empty database).
void createSchema(db::Session &session);

// The server's database holds the clinic's tables (an empty database does not: the first start
// creates them).
bool hasClinicSchema(db::Session &session);

} // namespace qh
