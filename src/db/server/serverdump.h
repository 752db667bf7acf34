#pragma once
// The backup of a database on the PostgreSQL server: the server's own tools (pg_dump in its
// custom format, pg_restore --list to verify the archive) run as child processes with the
// connection of the program's settings.
//
// The password never appears on a command line (other users of the machine can read those):
// the connection goes to the tools as a connection string without it, the password (when the
// settings hold one) only in the child's environment as PGPASSWORD; else libpq reads ~/.pgpass.
#include "db/settings.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace qh::db {

// How a server tool is started for the settings.
struct ToolConnection {
    QByteArray conninfo;              // the settings' connection without the password ("" when empty)
    QProcessEnvironment environment;  // the program's own, plus PGPASSWORD when the settings hold one
};

// Splits the settings' connection string (libpq's own parser, so quoting and URIs mean what
// they mean to libpq). Throws DbError when the settings' connection string is malformed.
ToolConnection toolConnection(const DatabaseSettings &settings);

// The arguments of pg_dump that write the whole database in the custom format to file.
QStringList dumpArguments(const ToolConnection &connection, const QString &file);

// Runs pg_dump into file (which exists, empty and owner-only). progress is called about every
// tenth of a second with the bytes written so far. Throws DbError when pg_dump cannot be started,
// crashes or reports a failure (its own words in the description).
void dumpServer(const DatabaseSettings &settings, const QString &file,
                const std::function<void(qint64 bytes)> &progress = {});

// Why file is not a sound archive of the server's database, or nothing when it is:
// pg_restore --list reads it, and it holds the data of every one of tables (any letter case).
std::optional<QString> whatIsWrongWithDump(const QString &file, const QStringList &tables);

// The bytes the tables of the database take on the server (without indexes), the room a backup
// may need at most; nothing when the server cannot be asked.
std::optional<quint64> serverDataBytes(const DatabaseSettings &settings);

} // namespace qh::db
