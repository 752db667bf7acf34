#pragma once
// The server's side of the one SQL the program writes: the statement in the server's dialect,
// and the server's failures in the numbers and words of the file engine's.
#include "db/error.h"

#include <QByteArray>
#include <QString>

namespace qh::db {

// The caller's SQL in the server's dialect. "?" becomes "$n" outside quotes, identifiers and
// comments; the file engine's "indexed by <index>" hint goes (the server plans by itself),
// ifnull() is coalesce(), "cross join <table> on" (the file's join in the written order) is
// a plain join, "update or fail" (the file's update without a statement journal; the server's
// update fails the same way) a plain update, and "date(<field>)" of a date text becomes its day part. Two statements in one text are refused.
QByteArray serverSql(const QString &sql, int &params);

// The SQLSTATE as a number, for DbError::engineCode (base 36 of its five characters).
int sqlstateCode(const QByteArray &state);

} // namespace qh::db
