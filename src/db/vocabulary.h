#pragma once
// What the storage layer learns from the program above it, once at start: what every file
// connection registers when it opens (the functions the program's triggers call), and the
// program's names of its unique indexes, so that a duplicate is worded alike on both engines
// (the file names the columns of a violated index, the server its stored name).
#include <QList>
#include <QString>
#include <QStringList>

struct sqlite3;

namespace qh::db {

struct UniqueIndex {
    QString table;
    QStringList fields;
    QString storedName; // the index's name in the database
    QString name;       // the name a duplicate is reported with
};

struct Vocabulary {
    bool (*onFileOpen)(sqlite3 *db) = nullptr; // false when the engine refused
    QList<UniqueIndex> uniqueIndexes;
};

// Replaces what the layer knows; connections opened afterwards use it.
void setVocabulary(const Vocabulary &v);
const Vocabulary &vocabulary();

// The name of the unique index on exactly these fields of the table (any case); "" for none.
QString uniqueIndexNamed(const QString &table, const QStringList &fields);
// The name of the index stored under this name (any case); the stored name itself when unknown.
QString indexNameOfStored(const QString &stored);

} // namespace qh::db
