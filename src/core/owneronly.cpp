#include "core/owneronly.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace qh {

bool restrictToOwner(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return false;
    const mode_t wanted = S_ISDIR(st.st_mode) ? mode_t(S_IRWXU) : mode_t(S_IRUSR | S_IWUSR);
    if ((st.st_mode & 07777) == wanted)
        return true;
    return ::chmod(name.constData(), wanted) == 0;
}

OwnerOnlyFiles::OwnerOnlyFiles() : m_previous(::umask(077)) {}

OwnerOnlyFiles::~OwnerOnlyFiles() { ::umask(m_previous); }

bool makeOwnerOnlyFolder(const QString &folder)
{
    {
        OwnerOnlyFiles guard;
        if (!QDir().mkpath(folder))
            return false;
    }
    return restrictToOwner(folder);
}

bool makeMissingFolders(const QString &folder)
{
    OwnerOnlyFiles guard;
    return QDir().mkpath(folder);
}

} // namespace qh
