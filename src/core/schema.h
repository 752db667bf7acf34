#pragma once
// The clinic database: 23 tables with their fields and 27 named indexes, in creation order.
#include "db/dialect.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace qh {

namespace db { class Session; }

using FieldType = db::ColumnKind;

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
    const char *aboveZero = nullptr; // a partial index: only the rows where this field is above 0
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

// Rewrites a clinic file of the first layout (1 KB pages) with 4 KB pages, which the engine
// reads and writes several times faster in the long passes (the period closing, the record
// query). The copy is made under upgradingPath(path), compared with the file (the schema, the
// rows of every table, the engine's quick check), flushed and renamed into place; a failure
// or a stop at any moment leaves the file as it was. Only the program that holds the data
// folder may call it (nothing else may have the file open). Returns false when the file has
// 4 KB pages already. progress(percent) goes from 0 to 100 while the file is rewritten (not
// called when it needs nothing). Throws DbError.
bool upgradeClinicFile(const QString &path, const std::function<void(int percent)> &progress = {});
QString upgradingPath(const QString &path);

// Writes the schema into an open, empty database (used by CreateClinicDatabase; on the server by
// the first start against an empty database).
void createSchema(db::Session &session);

// What in a data file's schema differs from what this program makes, one text per object
// that names it: an object the program never makes (a trigger, a view, a table, an index, an
// engine table), one whose statement or table differs, a table or index of the clinic that is
// missing. Empty when the file holds exactly the clinic's tables and indexes and the search
// index's objects of this version, of the earlier version or none. Every row of the file's
// schema (type, name, table, statement) is compared with the rows the engine keeps when the
// program builds the same objects in an empty database (built once per process). The file
// engine only; reads only. Throws DbError.
QStringList schemaFaults(db::Session &session);

// Refuses the file of an open session (at path) when schemaFaults finds anything, as
// checkClinicFile does.
void checkClinicSchema(db::Session &session, const QString &path);
// Builds what schemaFaults compares with (once per process there; here for the benchmark);
// returns its number of rows.
int buildSchemaReference();

// Refuses the data file at path when schemaFaults finds anything: DbError NotADatabase naming
// at most three of the faults. Opens the file, reads its schema and closes it; never writes.
void checkClinicFile(const QString &path);

// Makes the indexes of the schema that a file or server database made by an earlier version
// lacks (yccrbmi, the journal's purchases by name and time); the schema checks accept their absence. Every
// start calls it once the schema is checked. Returns how many it made. Throws DbError.
int addMissingIndexes(db::Session &session);

// The server's database holds the clinic's tables (an empty database does not: the first start
// creates them).
bool hasClinicSchema(db::Session &session);

} // namespace qh
