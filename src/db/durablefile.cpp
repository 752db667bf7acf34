#include "db/durablefile.h"
#include "db/error.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qh::db {

namespace {

QByteArray nativePath(const QString &path) { return QFile::encodeName(path); }

DurableResult failedAt(DurableStep step, int e) { return {step, e ? e : EIO}; }

} // namespace

DurableResult replaceDurably(const QString &from, const QString &to, int fd)
{
    if (fd < 0) {
        fd = ::open(nativePath(from).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return failedAt(DurableStep::OpenFile, errno);
    }
    if (::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        return failedAt(DurableStep::FlushFile, e);
    }
    if (::close(fd) != 0)
        return failedAt(DurableStep::CloseFile, errno);
    if (::rename(nativePath(from).constData(), nativePath(to).constData()) != 0)
        return failedAt(DurableStep::Rename, errno);
    const int dir = ::open(nativePath(QFileInfo(to).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return failedAt(DurableStep::FlushFolder, errno);
    if (::fsync(dir) != 0) {
        const int e = errno;
        ::close(dir);
        return failedAt(DurableStep::FlushFolder, e);
    }
    if (::close(dir) != 0)
        return failedAt(DurableStep::FlushFolder, errno);
    return {};
}

bool replaceFile(const QString &from, const QString &to)
{
    const DurableResult r = replaceDurably(from, to);
    switch (r.failed) {
    case DurableStep::None: return true;
    case DurableStep::FlushFolder: return false;
    case DurableStep::OpenFile: throwFileFailure(r.error, QStringLiteral("打开文件"), from);
    case DurableStep::FlushFile: throwFileFailure(r.error, QStringLiteral("写入磁盘"), from);
    case DurableStep::CloseFile: throwFileFailure(r.error, QStringLiteral("写入文件"), from);
    case DurableStep::Rename: throwFileFailure(r.error, QStringLiteral("替换文件"), to);
    }
    return false;
}

void throwFileFailure(int e, const QString &what, const QString &path)
{
    const int number = (e == ENOSPC || e == EDQUOT) ? err::DiskFull
                       : e == EROFS                  ? err::ReadOnly
                       : e == EACCES || e == EPERM   ? err::CannotOpen
                                                     : err::FileIo;
    throw DbError(number, QStringLiteral("%1 '%2' 失败：%3").arg(what, path, QString::fromLocal8Bit(std::strerror(e))));
}

void copyFileBytes(const QString &source, const QString &dest, CopyInto into,
                   const std::function<void(qint64 done, qint64 total)> &progress)
{
    const int in = ::open(nativePath(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        throwFileFailure(errno, QStringLiteral("读取文件"), source);
    const int out = ::open(nativePath(dest).constData(),
                           (into == CopyInto::NewFile ? O_CREAT | O_EXCL : O_TRUNC | O_NOFOLLOW) | O_WRONLY | O_CLOEXEC, 0600);
    if (out < 0) {
        const int e = errno;
        ::close(in);
        throwFileFailure(e, QStringLiteral("创建文件"), dest);
    }
    struct stat st {};
    ::fstat(in, &st);
    const qint64 total = st.st_size;
    qint64 done = 0;
    QByteArray buf(1 << 20, Qt::Uninitialized);
    auto fail = [&](int e, const QString &what, const QString &path) {
        ::close(in);
        ::close(out);
        throwFileFailure(e, what, path);
    };
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), size_t(buf.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, QStringLiteral("读取文件"), source);
        }
        if (n == 0)
            break;
        for (ssize_t off = 0; off < n;) {
            const ssize_t w = ::write(out, buf.constData() + off, size_t(n - off));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                fail(errno, QStringLiteral("写入文件"), dest);
            }
            off += w;
        }
        done += n;
        if (progress)
            progress(done, total);
    }
    if (::fsync(out) != 0)
        fail(errno, QStringLiteral("写入磁盘"), dest);
    ::close(in);
    if (::close(out) != 0)
        throwFileFailure(errno, QStringLiteral("写入文件"), dest);
}

} // namespace qh::db
