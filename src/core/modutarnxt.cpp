#include "core/modutarnxt.h"
#include "core/schema.h"
#include "core/textutil.h"

#include <QDir>
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
    QDir().mkpath(folder);
    return QDir(folder).absolutePath();
}

void setDocumentsPath(const QString &folder) { g_documentsPath = folder; }

QString databasePath() { return SystemRoot + QStringLiteral("/system/zyqhmz.mdb"); }

db::Session openClinic() { return db::Session::open(databasePath()); }

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

StartRoute prepareClinicDatabase()
{
    const QString path = databasePath();
    if (!QFileInfo::exists(path)) {
        const QString folder = QFileInfo(path).absolutePath();
        if (!QDir().mkpath(folder))
            throw DbError(err::CannotOpen, QStringLiteral("无法创建数据文件夹 '%1'。").arg(folder));
        CreateClinicDatabase(path);
    }
    {
        db::Session s = openClinic();
        if (s.scalarInt(QStringLiteral("select count(*) from xtzlqk")) == 0)
            s.exec(QStringLiteral("insert into xtzlqk(xt001, xt006, xt007) values(?, null, null)"), QStringLiteral("  "));
    }
    db::Session s = openClinic();
    const StatusRow row = readStatusRow(s);
    if (row.rows == 0)
        return StartRoute::NoStatusRow;
    if (trimSpaces(row.unitName).isEmpty())
        return StartRoute::FirstRun;
    return StartRoute::MainWindow;
}

QString versionText()
{
    return QString::number(QINGHE_VERSION_MAJOR) + u'.' + QString::number(QINGHE_VERSION_MINOR)
        + QString::number(QINGHE_VERSION_PATCH);
}

} // namespace qh::Modutarnxt
