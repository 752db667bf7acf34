#pragma once
// The objects of the record query's search index in the data file (the full-text table zdcx,
// the date table zdcxsj and the four triggers on hzzdzl that keep them), as the engine keeps
// their statements. The record query makes them (src/query/recordquery.h); the schema check
// of a file (src/core/schema.h) knows them, and those of the layout an earlier version made.
#include <QString>
#include <vector>

namespace qh::searchindex {

// The columns of the full-text index, the prescription first: the index marks every entry of
// a column other than the first with its number, and the prescription has the most entries.
inline constexpr const char *Columns[] = {"blcf", "bzqk", "blfa", "zdys"};

// A stored visit time "yyyy-MM-dd HH:mm:ss" as the number yyyyMMddHHmmss (same order); x is
// "new.blsj", "old.blsj" or "blsj".
QString timeNumber(const QString &x);

// The flags of a visit in zdcxsj: for each index column i, bit i when it holds a text and bit
// 4 + i when that text has a character the full-text index leaves out. p is "new." or "".
QString flagsOf(const QString &p);

struct Object {
    const char *name;
    QString sql;
};

// The objects of this version, in the order they are made: zdcx, zdcxsj, then the triggers.
const std::vector<Object> &objects();
// The objects the first version of the index made: zdcx (other columns' order, no matchinfo
// option) and four triggers that keep only it.
const std::vector<Object> &earlierObjects();

} // namespace qh::searchindex
