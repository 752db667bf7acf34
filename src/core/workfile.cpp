#include "core/workfile.h"
#include "db/error.h"
#include "base/owneronly.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qh {

namespace {

const QString Suffix = QStringLiteral(".part");

} // namespace

WorkFile::WorkFile(const QString &target)
{
    for (;;) {
        QString p;
        const int fd = createBeside(target, QStringLiteral("."), Suffix, p);
        if (fd < 0) {
            const int e = errno;
            throw DbError(e == ENOSPC || e == EDQUOT ? err::DiskFull : e == EROFS ? err::ReadOnly : err::CannotOpen,
                          QStringLiteral("创建文件 '%1' 失败：%2").arg(target, QString::fromLocal8Bit(std::strerror(e))));
        }
        if (QFileInfo::exists(p + QStringLiteral("-journal"))) { // a name whose journal is left over
            ::close(fd);
            ::unlink(QFile::encodeName(p).constData());
            continue;
        }
        // A fresh file nobody else knows yet: the lock is always granted.
        ::flock(fd, LOCK_EX | LOCK_NB);
        m_path = p;
        m_fd = fd;
        return;
    }
}

WorkFile::~WorkFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool isWorkFileName(const QString &fileName, const QString &targetName)
{
    static const QRegularExpression any(QStringLiteral("^\\..+\\.[0-9a-z]{1,13}\\.part(-journal)?$"));
    static const QRegularExpression random(QStringLiteral("^\\.[0-9a-z]{1,13}\\.part(-journal)?$"));
    if (targetName.isEmpty())
        return any.match(fileName).hasMatch();
    const QString head = u'.' + targetName;
    return fileName.startsWith(head) && random.match(fileName.mid(head.size())).hasMatch();
}

int removeWorkFileLeftovers(const QString &folder, const QString &targetName)
{
    const QByteArray dirName = QFile::encodeName(folder);
    const int dirFd = ::open(dirName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!isWorkFileName(name, targetName))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        // A work file in use is locked by its copy; its journal goes with it.
        const QByteArray main = name.endsWith(QStringLiteral("-journal"))
                                    ? QFile::encodeName(name.chopped(int(std::strlen("-journal"))))
                                    : QByteArray(entry->d_name);
        const int fd = ::openat(dirFd, main.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            struct stat held {};
            const bool inUse = ::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0;
            if (!inUse && ::unlinkat(dirFd, entry->d_name, 0) == 0)
                ++removed;
            ::close(fd); // the lock (when taken) goes with the descriptor
        } else if (errno == ENOENT && ::unlinkat(dirFd, entry->d_name, 0) == 0) {
            ++removed; // a journal whose work file is gone
        }
    }
    ::closedir(dir);
    return removed;
}

} // namespace qh
