#include "db/backup.h"
#include "db/durablefile.h"
#include "db/server/serverdump.h"

#include <QFileInfo>

namespace qh::db {

namespace {

bool onServer(const Store &store) { return store.engine() == Engine::Server; }

} // namespace

QString backupFileFilter(const Store &store)
{
    // The server's archive (pg_dump, custom format) is not a data file of the program.
    return onServer(store) ? QStringLiteral("服务器数据备份(*.dump)") : QStringLiteral("数据库文件(*.mdb)");
}

std::optional<quint64> backupBytesNeeded(const Store &store)
{
    if (onServer(store))
        return serverDataBytes(store.settings());
    return quint64(QFileInfo(store.filePath()).size());
}

void writeBackup(const Store &store, const QString &file, const std::function<void(qint64, qint64)> &progress)
{
    if (onServer(store)) {
        dumpServer(store.settings(), file, [&progress](qint64 bytes) {
            if (progress)
                progress(bytes, 0);
        });
        return;
    }
    // No other action commits while the bytes are read.
    Session source = store.open();
    Transaction writeLock(source);
    copyFileBytes(store.filePath(), file, CopyInto::MadeFile, progress);
}

std::optional<QString> whatIsWrongWithBackup(const Store &store, const QString &file, const BackupCheck &check)
{
    if (onServer(store))
        return whatIsWrongWithDump(file, check.tables);
    return check.dataFile(file);
}

bool restoresFromFile(const Store &store) { return !onServer(store); }

} // namespace qh::db
