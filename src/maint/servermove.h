#pragma once
// Moving a clinic onto the shared server: every table of the clinic copied field by field from
// one session (the clinic's data file) to another (the server's database) in one transaction,
// then checked table by table before it is committed. No widgets, nothing shown.
//
// The target must hold no clinic data (two clinics are never mixed): an empty database gets
// the schema first; a database that has the schema may hold at most the blank status row the
// first start leaves, which the copied one replaces. Values are bound by their field's type,
// each table's insert prepared once and its rows streamed in the stored order. The check
// compares, per table, the number of rows, the non-empty values of every field, the sum of
// every money field and a checksum of every row's values, read back from the target inside the
// same transaction. Whatever fails, the transaction rolls back: the target keeps no copied row.
#include "db/session.h"
#include "db/store.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace qh::maint {

// What the check found for one table, the same on both sides.
struct TableMoved {
    QString table;
    qint64 rows = 0;
    QStringList moneySums; // "rkje 合计 1234.5000", one per money field
};

struct MoveOutcome {
    QString refused;                // why nothing was copied (the target holds data); "" when copied
    std::vector<TableMoved> tables; // in the schema's order, when copied
};

// Called after each table is copied and checked.
using MoveProgress = std::function<void(const TableMoved &)>;

// Copies the clinic from source to target. A refusal leaves the target untouched (except the
// schema made in an empty database); DbError on a failure of either side or when the check
// finds a difference: the copy is rolled back then.
MoveOutcome moveClinic(db::Session &source, db::Session &target, const MoveProgress &progress = {});

// "qinghe --export-to-server": the data folder's file onto the server of the settings. Prints
// the summary per table on standard output and returns 0; else the reason on standard error
// and 1.
int exportToServerFromCommandLine(const db::Store &store);

} // namespace qh::maint
