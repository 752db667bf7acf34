#pragma once
// Backup and restore of the clinic database ("数据备份及数据恢复"): the checks before a copy, the
// copies themselves, and the scheduled backup of the command line. No widgets.
//
// A backup copies the bytes of the live file, still encrypted, while holding its write lock (so the
// copy is one consistent state), into an owner-only temporary file beside the target, flushes it,
// verifies it as a clinic database and only then renames it over the target. A restore copies the chosen file beside
// the live one, verifies that copy (so what is checked is exactly what is installed), keeps the
// live file as a dated safety copy in the data folder and renames the copy over it. Whatever
// fails, no partial target and no changed live file are left behind.
//
// When the clinic is kept on a PostgreSQL server (the program's database settings), the backup
// is the server's own archive (db/backup.h) written the same way: into an owner-only temporary
// file beside the target, verified (the server's tools read it and it holds every table's data),
// flushed and renamed over the target. Restoring the shared database is the server
// administrator's work, never a workstation's: the restore is refused.
#include "db/error.h"
#include "db/settings.h"
#include "core/refusal.h"
#include "db/store.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace qh::maint {

// The controls of the window that a refusal can focus.
enum class CopyField { Txtpath, CmdPath };

// How many dated safety copies of the live file a restore keeps in the data folder.
inline constexpr int SafetyCopiesKept = 5;

// Free bytes an ordinary user may still write on the file system that holds path (a folder or a
// file); nothing when the file system cannot be asked.
std::optional<quint64> freeBytes(const QString &path);

// The same file on disk (device and inode), whatever the path texts, links or symlinks say.
bool sameFile(const QString &a, const QString &b);

// How deep the engine looks into a file. Both read and authenticate every page of every table
// and index (a changed, missing or foreign page fails) and check the structure of each tree;
// Full also matches every index entry against its row, which takes about three times as long.
enum class CheckDepth { Quick, Full };

// Why file is not a sound clinic database, or nothing when it is: it opens with the program's
// key, holds every table of the program, exactly one status row, and the engine's integrity
// check finds nothing. Never writes to the file. Backup and restore use Quick.
std::optional<QString> whatIsWrong(const QString &file, CheckDepth depth = CheckDepth::Quick);

class DataCopy {
public:
    // Points where a test may interrupt the work (a throw there acts as a crash or a failure).
    enum class Stage {
        BeforeImage,  // backup: checks passed, nothing written yet
        BeforeRename, // backup and restore: the verified copy lies beside the target
    };
    using StageHook = std::function<void(Stage)>;
    // Runs between the steps of a long copy (pages or bytes done, in all); may let events run.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    DataCopy() = default;
    void setStageHook(StageHook hook) { m_hook = std::move(hook); }
    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // The file dialog's filter: the program's data files, or the server's archives on the
    // server engine.
    static QString fileFilter(const db::Store &store);

    // The chosen path must not be empty: "选择要备份或恢复的文件", focus on CmdPath.
    static Verdict<CopyField> checkPath(const QString &path);

    // Backup: the clinic database exists; the target is a file in a writable folder, not the
    // live file itself; the file system of the target folder has room for the database file
    // (on the server engine: for the clinic's tables, when the server can be asked).
    Verdict<CopyField> checkBackup(const db::Store &store, const QString &target) const;
    // Writes the verified image to target. Throws DbError; then no target was written.
    void backup(const db::Store &store, const QString &target);

    // Restore is allowed only for the data file: on the server engine it is refused (the
    // administrator restores the shared database on the server).
    static Verdict<CopyField> checkRestoreAllowed(const db::Store &store);
    // Restore: allowed at all; the chosen file exists, is a file, is not the live file itself,
    // and the file system of the data folder has room for it.
    Verdict<CopyField> checkRestore(const db::Store &store, const QString &source) const;
    // Replaces the live file with a verified copy of source. A refusal names what is wrong with
    // the chosen file (the live file is untouched); DbError on a failure of the disk (the live
    // file is untouched as well).
    Verdict<CopyField> restore(const db::Store &store, const QString &source);
    // The safety copy the last restore made of the previous live file ("" when there was none).
    QString lastSafetyCopy() const { return m_safetyCopy; }

    // Safety copies of the data folder, oldest first.
    static QStringList safetyCopies(const db::Store &store);

private:
    void at(Stage s) const;
    QString m_safetyCopy;
    StageHook m_hook;
    Progress m_progress;
};

// "--backup PATH" or "--backup=PATH" as the only argument: the path; else nothing.
std::optional<QString> backupRequest(int argc, char **argv);

// The scheduled backup: runs the window's checks and the same verified backup into path, prints
// what happened, returns 0 on success and non-zero on any refusal or failure.
int backupFromCommandLine(const db::Store &store, const QString &path);

} // namespace qh::maint
