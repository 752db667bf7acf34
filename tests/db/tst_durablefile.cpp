// The one way files take their place: the new file over the target, a link at the target replaced
// (never written through), and a failure that leaves the target untouched and the new file
// where it was.
#include "db/error.h"
#include "db/durablefile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using namespace qh;

namespace {

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

} // namespace

class TstDurableFile : public QObject {
    Q_OBJECT

private slots:
    void replace_data()
    {
        QTest::addColumn<QString>("at");           // what the target's name holds: "", "file", "link"
        QTest::addColumn<bool>("withDescriptor");   // the caller hands its open descriptor
        QTest::newRow("no target") << "" << false;
        QTest::newRow("over an older file") << "file" << false;
        QTest::newRow("over a link: the link replaced") << "link" << false;
        QTest::newRow("the caller's descriptor") << "file" << true;
    }
    void replace()
    {
        QFETCH(QString, at);
        QFETCH(bool, withDescriptor);
        QTemporaryDir dir;
        const QString part = dir.filePath(QStringLiteral(".new.part"));
        const QString target = dir.filePath(QStringLiteral("诊所.pdf"));
        const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
        writeBytes(part, "new");
        writeBytes(elsewhere, "kept");
        if (at == QLatin1String("file"))
            writeBytes(target, "old");
        if (at == QLatin1String("link"))
            QVERIFY(QFile::link(elsewhere, target));
        const int fd = withDescriptor ? ::open(QFile::encodeName(part).constData(), O_RDWR) : -1;
        const db::DurableResult r = db::replaceDurably(part, target, fd);
        QVERIFY(r.ok());
        QCOMPARE(bytesOf(target), QByteArray("new"));
        QVERIFY(!QFileInfo(target).isSymLink());
        QCOMPARE(bytesOf(elsewhere), QByteArray("kept"));
        QVERIFY(!QFileInfo::exists(part));
        if (withDescriptor)
            QCOMPARE(::fcntl(fd, F_GETFD), -1); // closed
    }

    void failureLeavesBoth_data()
    {
        QTest::addColumn<QString>("missing");     // "part" or "folder" (the target's)
        QTest::addColumn<int>("step");
        QTest::newRow("no new file") << "part" << int(db::DurableStep::OpenFile);
        QTest::newRow("no target folder") << "folder" << int(db::DurableStep::Rename);
    }
    void failureLeavesBoth()
    {
        QFETCH(QString, missing);
        QFETCH(int, step);
        QTemporaryDir dir;
        const QString part = dir.filePath(QStringLiteral(".new.part"));
        const QString target = missing == QLatin1String("folder") ? dir.filePath(QStringLiteral("none/target"))
                                                                   : dir.filePath(QStringLiteral("target"));
        if (missing != QLatin1String("part"))
            writeBytes(part, "new");
        const db::DurableResult r = db::replaceDurably(part, target);
        QCOMPARE(int(r.failed), step);
        QCOMPARE(r.error, ENOENT);
        QVERIFY(!r.inPlace());
        QCOMPARE(QFileInfo::exists(part), missing != QLatin1String("part"));
        QVERIFY(!QFileInfo::exists(target));
        // The throwing form names the step and the file.
        const DbError e = test::failureOf([&] { db::replaceFile(part, target); });
        QCOMPARE(e.number(), int(err::FileIo));
        QVERIFY2(e.description().contains(missing == QLatin1String("part") ? part : target), qPrintable(e.description()));
    }
};

QTEST_GUILESS_MAIN(TstDurableFile)
#include "tst_durablefile.moc"
