#pragma once
// The engine's half of a backup of the store: what the backup is made of, how it is written as
// one consistent state and how the engine checks it. The caller makes the owner-only file it is
// written into, checks what the backup must hold for it (its tables, its own rows) and puts the
// file in its place (db/durablefile.h).
//
// The data file's backup is its bytes, still encrypted, copied while its write lock is held (with
// the rollback journal, changes reach the file only at a commit, so the copy is one state). The
// server's backup is its own archive (pg_dump, custom format; db/server/serverdump.h).
#include "db/store.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace qh::db {

// The file dialog's filter for the store's backups: the program's data files, or the server's
// archives.
QString backupFileFilter(const Store &store);

// The bytes a backup of the store may take at most: the data file's size, or the size of the
// server's tables (its compressed archive is smaller); nothing when the server cannot be asked.
std::optional<quint64> backupBytesNeeded(const Store &store);

// Writes the backup into file (which exists, empty and owner-only); putting it in its place
// (db::replaceFile) flushes it. progress(done, total) while it grows (total 0 when it is not
// known). Throws DbError.
void writeBackup(const Store &store, const QString &file, const std::function<void(qint64 done, qint64 total)> &progress = {});

// What the caller knows a sound backup holds.
struct BackupCheck {
    // Every one holds its data in a server's archive.
    QStringList tables;
    // What is wrong with a copy of the data file as the caller's data file, or nothing (the
    // caller's check opens it as a database: its tables, its rows, the engine's integrity).
    std::function<std::optional<QString>(const QString &file)> dataFile;
};
// Why the backup in file is not sound, or nothing when it is.
std::optional<QString> whatIsWrongWithBackup(const Store &store, const QString &file, const BackupCheck &check);

// True when a workstation may replace the store's data by a backup file: the data file, yes; a
// server's database, shared by the workstations, no (the server's administrator restores it).
bool restoresFromFile(const Store &store);

} // namespace qh::db
