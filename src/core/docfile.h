#pragma once
// A file written for the user (a PDF, a word-processor document, a workbook) takes its place
// whole or not at all, and never writes through a link someone placed in the folder:
//
//   qh::DocumentFile f(path);          // a new file under a random name beside path
//   if (!f.isOpen()) -> f.reason()
//   f.device().write(...);             // or a library writes to f.openableName()
//   if (!f.commit()) -> f.reason()     // flushed, renamed over path, the folder flushed
//
// The temporary file is created exclusively (O_CREAT | O_EXCL: a link at its name is refused,
// not followed) and owner-only (0600). The rename replaces whatever the target's name holds,
// a link included, instead of writing into what the link points to. A file not committed is
// removed when the object ends.
#include <QFile>
#include <QString>

namespace qh {

class DocumentFile {
public:
    explicit DocumentFile(const QString &target);
    ~DocumentFile();
    DocumentFile(const DocumentFile &) = delete;
    DocumentFile &operator=(const DocumentFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    const QString &target() const { return m_target; }
    const QString &partialPath() const { return m_partial; }
    // A name by which a library that wants a file name opens this very file ("/proc/self/fd/n"),
    // whatever is later put at the temporary name.
    QString openableName() const;
    // The open file, for writers that take a QIODevice.
    QFile &device() { return m_device; }
    // Bytes in the file now.
    qint64 size() const;

    // Flushes the file to the disk, renames it over the target and flushes the folder. False
    // with reason() on a failure; the temporary file is gone then.
    bool commit();
    // Removes the temporary file now.
    void discard();
    // Why the last step failed, in the system's words; errorCode() its errno.
    QString reason() const;
    int errorCode() const { return m_errno; }

private:
    bool fail();

    QString m_target;
    QString m_partial;
    int m_fd = -1;
    int m_errno = 0;
    QFile m_device;
};

} // namespace qh
