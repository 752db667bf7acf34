#pragma once
// The temporary file a backup or a restore writes beside its target before it renames it over
// the target: ".<target's name>.<random>.part" in the target's folder, owner-only (0600). While
// the work runs, the file is held under an exclusive flock, so the removal of leftovers (files
// of that pattern that an interrupted copy left) never takes one that a running copy writes.
#include <QString>

namespace qh {

class WorkFile {
public:
    // Creates a new work file beside target (never an existing name, never through a link).
    // Throws DbError.
    explicit WorkFile(const QString &target);
    ~WorkFile(); // lets go of the lock; removes nothing
    WorkFile(const WorkFile &) = delete;
    WorkFile &operator=(const WorkFile &) = delete;
    const QString &path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};

// True for a name of a work file, of its engine journal, beside a target named targetName
// (beside any target when targetName is empty).
bool isWorkFileName(const QString &fileName, const QString &targetName = {});

// Removes what interrupted copies left in folder: regular files (a link is never followed nor
// removed) of this user whose names are work files' (beside targetName only, when given) and
// that no running copy holds. Nothing else is touched. Returns how many files were removed.
int removeWorkFileLeftovers(const QString &folder, const QString &targetName = {});

} // namespace qh
