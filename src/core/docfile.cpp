#include "core/docfile.h"
#include "base/owneronly.h"
#include "db/durablefile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qh {

DocumentFile::DocumentFile(const QString &target) : m_target(target)
{
    // ".~<name>.<random>" beside the target: the same file system, so the rename is atomic.
    m_fd = createBeside(target, QStringLiteral(".~"), {}, m_partial);
    if (m_fd < 0) {
        m_errno = errno;
        return;
    }
    if (::fchmod(m_fd, S_IRUSR | S_IWUSR) != 0 || !m_device.open(m_fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        m_errno = errno ? errno : EIO;
        discard();
    }
}

DocumentFile::~DocumentFile() { discard(); }

QString DocumentFile::openableName() const
{
    return QStringLiteral("/proc/self/fd/%1").arg(m_fd);
}

qint64 DocumentFile::size() const
{
    struct stat st {};
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 ? qint64(st.st_size) : -1;
}

bool DocumentFile::fail()
{
    m_errno = errno ? errno : EIO;
    discard();
    return false;
}

bool DocumentFile::commit()
{
    if (m_fd < 0)
        return false;
    errno = 0;
    if (!m_device.flush())
        return fail();
    m_device.close();
    const db::DurableResult r = db::replaceDurably(m_partial, m_target, std::exchange(m_fd, -1));
    if (!r.inPlace()) {
        errno = r.error;
        return fail();
    }
    m_partial.clear();
    m_errno = r.error;
    return r.ok();
}

void DocumentFile::discard()
{
    m_device.close();
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (!m_partial.isEmpty()) {
        ::unlink(QFile::encodeName(m_partial).constData());
        m_partial.clear();
    }
}

QString DocumentFile::reason() const { return QString::fromLocal8Bit(std::strerror(m_errno ? m_errno : EIO)); }

} // namespace qh
