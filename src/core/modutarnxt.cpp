#include "core/modutarnxt.h"
#include "base/owneronly.h"
#include "core/schema.h"
#include "base/textutil.h"
#include "core/workfile.h"
#include "db/features.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace qh::Modutarnxt {

QString SystemRoot;
QString CurrentUser;
QString HelpTopic;
bool FirstUserMode = false;

QString defaultSystemRoot()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/qinghe");
}

namespace {
QString g_documentsPath;
}

QString documentsPath()
{
    QString folder = g_documentsPath;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::home().filePath(QStringLiteral("Documents"));
    makeMissingFolders(folder); // made 0700; a folder that exists keeps the user's permissions
    return QDir(folder).absolutePath();
}

void setDocumentsPath(const QString &folder) { g_documentsPath = folder; }

QString databasePath() { return SystemRoot + QStringLiteral("/system/zyqhmz.mdb"); }

namespace {
std::optional<db::Store> g_installedStore;
std::optional<db::Store> g_rootStore; // made from SystemRoot when none is installed
QString g_rootStoreRoot;              // the SystemRoot it was made for
} // namespace

db::Store clinicStore()
{
    if (g_installedStore)
        return *g_installedStore;
    if (!g_rootStore || g_rootStoreRoot != SystemRoot) {
        g_rootStore = db::Store::fromSettings(databasePath());
        g_rootStoreRoot = SystemRoot;
    }
    return *g_rootStore;
}

void setClinicStore(std::optional<db::Store> store)
{
    g_installedStore = std::move(store);
    g_rootStore.reset();
}

std::optional<db::Store> installedClinicStore() { return g_installedStore; }

StatusRow readStatusRow(db::Session &session)
{
    StatusRow r;
    auto st = session.query(QStringLiteral("select xt001 from xtzlqk order by rowid"));
    while (st.next()) {
        if (r.rows == 0)
            r.unitName = st.text(0);
        ++r.rows;
    }
    return r;
}

namespace {

// Moves a zero-length database file aside; returns its new name. Only an empty file is moved:
// a file with content is never touched here.
QString moveEmptyFileAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = path + QStringLiteral(".empty-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".empty-") + stamp + u'-' + QString::number(n);
    if (!QFile::rename(path, aside))
        throw DbError(err::CannotOpen, QStringLiteral("数据库文件 '%1' 长度为零，是一次未完成的创建留下的，但它不能改名移开。"
                                                      "请把它移走后再启动程序。")
                                           .arg(path));
    return aside;
}

} // namespace

StartRoute prepareClinicDatabase(const db::Store &store)
{
    QString notice;
    return prepareClinicDatabase(store, notice);
}

namespace {

// Where the status row tells the start to go.
StartRoute routeOf(db::Session &s)
{
    const StatusRow row = readStatusRow(s);
    if (row.rows == 0)
        return StartRoute::NoStatusRow;
    if (trimSpaces(row.unitName).isEmpty())
        return StartRoute::FirstRun;
    return StartRoute::MainWindow;
}

// The server's counterpart of making the file: an empty database (no clinic tables yet) gets
// the schema and the status row, under the writer lock, so two workstations starting at once
// make them once.
StartRoute prepareServerDatabase(const db::DatabaseSettings &settings)
{
    db::Session s = db::Session::connect(settings);
    {
        db::Transaction tx(s);
        if (!hasClinicSchema(s))
            createSchema(s);
        addMissingIndexes(s); // a database made by an earlier version
        if (s.scalarInt(QStringLiteral("select count(*) from xtzlqk")) == 0)
            s.exec(QStringLiteral("insert into xtzlqk(xt001, xt006, xt007) values(?, null, null)"), QStringLiteral("  "));
        tx.commit();
    }
    const StartRoute route = routeOf(s);
    s.close();
    return route;
}

} // namespace

StartRoute prepareClinicDatabase(const db::Store &store, QString &notice,
                                 const std::function<void(int percent)> &upgradeProgress)
{
    notice.clear();
    const QString path = store.filePath();
    const QString folder = QFileInfo(path).absolutePath();
    const QString root = QFileInfo(folder).absolutePath(); // SystemRoot for the program's store
    if (!db::hasDataFile(store)) {
        if (!makeOwnerOnlyFolder(root)) // documents and settings of this workstation
            throw DbError(err::CannotOpen, QStringLiteral("无法创建数据文件夹 '%1'。").arg(root));
        return prepareServerDatabase(store.settings());
    }
    for (const QString &f : {root, folder})
        if (!makeOwnerOnlyFolder(f))
            throw DbError(err::CannotOpen, QStringLiteral("无法创建数据文件夹 '%1'。").arg(f));
    removeUnfinishedCreation(path);
    // What restores (and backups into this folder) stopped half way left: only the program's
    // own work files, none that a running copy holds.
    removeWorkFileLeftovers(folder);

    const QFileInfo info(path);
    if (info.isFile() && info.size() == 0) {
        const QString aside = moveEmptyFileAside(path);
        notice = QStringLiteral("数据库文件 '%1' 长度为零，是上次程序在创建数据库时被中断留下的。"
                                "这个文件已改名为 '%2'，并已重新建立一个新的数据库文件。")
                     .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(aside));
    }
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        CreateClinicDatabase(path, true);
    if (QFileInfo(path).isFile()) {
        for (const QString &f : {path, path + QStringLiteral("-journal")})
            if (QFileInfo::exists(f))
                restrictToOwner(f);
        // Every object of the file exactly as this program makes it, before anything writes
        // to it: a trigger or a view of somebody else's would run inside the program's writes
        // (and the rewrite would copy it). A file that differs is refused as it is.
        if (db::hasFirstLayout(path))
            checkClinicFile(path);
        // A file of the first layout gets 4 KB pages once. A failure (a full disk, a damaged
        // file) leaves the file as it was and the program works on it as before; the open
        // below reports what is wrong with the file itself.
        try {
            upgradeClinicFile(path, upgradeProgress);
        } catch (const DbError &e) {
            qWarning("qinghe: the data file keeps its first layout: %s", e.what());
        }
    }
    {
        db::Session s = store.open();
        if (QFileInfo(path).isFile())
            checkClinicSchema(s, path); // on the session that writes next; the server has no file
        addMissingIndexes(s); // a file made by an earlier version: once, before anything reads it
        if (s.scalarInt(QStringLiteral("select count(*) from xtzlqk")) == 0)
            s.exec(QStringLiteral("insert into xtzlqk(xt001, xt006, xt007) values(?, null, null)"), QStringLiteral("  "));
        s.close();
    }
    db::Session s = store.open();
    const StartRoute route = routeOf(s);
    s.close();
    return route;
}

QString versionText()
{
    return QString::number(QINGHE_VERSION_MAJOR) + u'.' + QString::number(QINGHE_VERSION_MINOR)
        + QString::number(QINGHE_VERSION_PATCH);
}

} // namespace qh::Modutarnxt
