#pragma once
// Files that hold clinic data (the database, its journal, backups, safety copies, documents
// written for the user) are readable by their owner only, whatever the umask: the key to the
// database is in the program, so a copy readable by another local user gives the data away.
//
//   qh::OwnerOnlyFiles guard;             // files and folders created in this scope: 0600 / 0700
//   writeTheFile(path);
//   qh::restrictToOwner(path);            // and tighten what existed before
#include <QString>

#include <sys/types.h>

namespace qh {

// Files 0600, folders 0700 (other bits removed, the owner keeps read and write, folders keep
// search). True when the path exists and now has owner-only permissions.
bool restrictToOwner(const QString &path);

// Sets the process umask to 077 for the lifetime of the guard, so that files made meanwhile,
// also by libraries (the database engine's journal, the spreadsheet writer), are created
// owner-only. Guards nest; the previous umask comes back at the end of the scope.
class OwnerOnlyFiles {
public:
    OwnerOnlyFiles();
    ~OwnerOnlyFiles();
    OwnerOnlyFiles(const OwnerOnlyFiles &) = delete;
    OwnerOnlyFiles &operator=(const OwnerOnlyFiles &) = delete;

private:
    mode_t m_previous;
};

// Creates the folder and any missing parents; the folder itself is made or tightened to 0700.
bool makeOwnerOnlyFolder(const QString &folder);

// Creates the folders of the path that are missing, each 0700 whatever the umask; a folder that
// exists keeps its permissions (the user's own Documents folder). True when the folder exists.
bool makeMissingFolders(const QString &folder);

// Creates a new owner-only file beside target, named "<prefix><target's name>.<random><suffix>":
// exclusively (never an existing name, never through a link at that name). Returns its open
// descriptor (read and write) and sets path, or -1 with errno set.
int createBeside(const QString &target, const QString &prefix, const QString &suffix, QString &path);

} // namespace qh
