#pragma once
// Where the clinic's data lives: the encrypted file in the data folder (the default, nothing to
// set up), or a PostgreSQL server that several workstations share.
//
// The program's settings file, ~/.config/qinghe/qinghe.conf, group [database]:
//   engine   = file | postgresql          (file when missing)
//   host     = the server's name or address, or a socket folder
//   port     = 5432
//   database = the clinic's database on the server
//   user     = the workstation's role
//   sslmode  = require (the default; verify-full with the server's certificate is better)
//   password = only when it is not kept in ~/.pgpass (the file libpq reads by itself)
// The environment variable QINGHE_DATABASE, when it is set, replaces the group: "file", or a
// libpq connection string ("host=... port=... dbname=... user=... sslmode=..."). Tests use it.
#include "db/dialect.h"

#include <QByteArray>
#include <QString>

namespace qh::db {

struct DatabaseSettings {
    Engine engine = Engine::File;
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString sslmode = QStringLiteral("require");
    QString password;    // empty: libpq looks in ~/.pgpass
    QByteArray conninfo; // a connection string given whole (from the environment); wins over the fields

    // The libpq connection string: keyword = 'value' pairs, values quoted and escaped.
    QByteArray connectionString() const;
    // For messages and logs: host, port, database and user, never the password.
    QString display() const;

    // The environment variable, else the settings file, else the data file.
    static DatabaseSettings load();
    // The settings file's path (for the documentation and messages).
    static QString settingsFilePath();
};

} // namespace qh::db
