#pragma once
// How every file of the program takes its place: written whole beside its target, flushed to the
// disk, renamed over the target, and the folder flushed, so that a crash or a power cut at any
// moment leaves the old file or the new one, whole, never half of one. The rename replaces
// whatever the target's name holds (a link included) instead of writing through it.
//
//   const auto r = db::replaceDurably(partial, target);   // or with the open descriptor
//   if (!r.inPlace()) -> the new file is still at partial, the target untouched (r.error: errno)
//   else if (!r.ok()) -> the target is the new file, but the folder's flush failed
#include <QString>

#include <functional>

namespace qh::db {

// The step of a replacement that failed.
enum class DurableStep { None, OpenFile, FlushFile, CloseFile, Rename, FlushFolder };

struct DurableResult {
    DurableStep failed = DurableStep::None;
    int error = 0; // the errno of the failed step
    bool ok() const { return failed == DurableStep::None; }
    // The new file is at the target: everything done, or all but the folder's flush (the rename
    // may then be lost in a power cut).
    bool inPlace() const { return failed == DurableStep::None || failed == DurableStep::FlushFolder; }
};

// Flushes the finished file at from (fd: its open descriptor, flushed and closed here whatever
// happens; -1 opens the file at from), renames it over to and flushes to's folder. Never throws,
// removes nothing: a file not in place stays at from for the caller to remove.
DurableResult replaceDurably(const QString &from, const QString &to, int fd = -1);

// replaceDurably with a failure until the rename thrown as DbError (DiskFull, ReadOnly,
// CannotOpen or FileIo after the errno, the system's words in the description); then nothing was
// replaced. False when only the folder's flush failed: the file is in place.
bool replaceFile(const QString &from, const QString &to);

// Throws the failure of the file system (errno e) in the program's error form: "<what> '<path>'
// 失败：<the system's words>".
[[noreturn]] void throwFileFailure(int e, const QString &what, const QString &path);

// Copies the bytes of source into dest and flushes them to the disk: into a new owner-only file
// (refused when dest exists), or into the empty file that was made for it (never through a link).
// progress(done, total) after each block. Throws DbError (throwFileFailure).
enum class CopyInto { NewFile, MadeFile };
void copyFileBytes(const QString &source, const QString &dest, CopyInto into,
                   const std::function<void(qint64 done, qint64 total)> &progress = {});

} // namespace qh::db
