#include "base/owneronly.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
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

int createBeside(const QString &target, const QString &prefix, const QString &suffix, QString &path)
{
    const QFileInfo t(target);
    for (;;) {
        const QString p = t.absolutePath() + u'/' + prefix + t.fileName() + u'.' +
                          QString::number(QRandomGenerator::global()->generate64(), 36) + suffix;
        const int fd = ::open(QFile::encodeName(p).constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            path = p;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
}

} // namespace qh
