#include "maint/datacopy.h"
#include "db/session.h"
#include "base/owneronly.h"
#include "core/schema.h"
#include "base/textutil.h"
#include "core/workfile.h"
#include "db/backup.h"
#include "db/durablefile.h"
#include "db/features.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace qh::maint {

namespace {

const QString TooSmall = QStringLiteral("目标磁盘太小，不能备份数据。");
const QString SafetyPrefix = QStringLiteral("zyqhmz-恢复前-");

// (qh::refusal's aggregate initialisation trips -Wmissing-field-initializers; this builds the same.)
Refusal<CopyField> refused(const QString &message, CopyField field, Select select = Select::all())
{
    Refusal<CopyField> r;
    r.message = message;
    r.field = field;
    r.select = select;
    return r;
}

QByteArray nativePath(const QString &path) { return QFile::encodeName(path); }

QString errnoText(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

// A rename that the next replacement in the same folder makes durable.
void renameOver(const QString &from, const QString &to)
{
    if (::rename(nativePath(from).constData(), nativePath(to).constData()) != 0)
        db::throwFileFailure(errno, QStringLiteral("替换文件"), to);
}

// The copy is in its place, but its folder could not be flushed (some file systems cannot open
// folders): the rename itself is atomic, only a power cut now may undo it.
void warnFolderNotFlushed(const QString &folder)
{
    qWarning("qinghe: the folder '%s' was not flushed to the disk", qPrintable(folder));
}

// The names of the clinic's tables, each of which a backup holds.
QStringList clinicTableNames()
{
    QStringList names;
    for (const TableDef &t : clinicSchema())
        names << QString::fromLatin1(t.name);
    return names;
}

// Removes a file the work made and its engine journal, quietly.
void removeQuietly(const QString &path)
{
    if (path.isEmpty())
        return;
    ::unlink(nativePath(path).constData());
    ::unlink(nativePath(path + QStringLiteral("-journal")).constData());
}

std::optional<QString> checkSchema(db::Session &s)
{
    QSet<QString> tables;
    for (const db::StoredObject &o : db::storedObjects(s))
        if (o.type == QLatin1String("table"))
            tables.insert(o.name.toLower());
    QStringList missing;
    for (const TableDef &t : clinicSchema())
        if (!tables.contains(QString::fromLatin1(t.name).toLower()))
            missing << QString::fromLatin1(t.name);
    if (!missing.isEmpty()) {
        const QString shown = missing.size() > 5 ? QStringList(missing.mid(0, 5)).join(u'、') + QStringLiteral(" 等 %1 个").arg(missing.size())
                                                 : missing.join(u'、');
        return QStringLiteral("不是本系统的数据库（缺少数据表 %1）").arg(shown);
    }
    for (const TableDef &t : clinicSchema()) {
        QSet<QString> columns;
        for (const QString &c : db::columnsOf(s, QString::fromLatin1(t.name)))
            columns.insert(c.toLower());
        for (const FieldDef &f : t.fields)
            if (!columns.contains(QString::fromLatin1(f.name).toLower()))
                return QStringLiteral("不是本系统的数据库（数据表 %1 缺少字段 %2）").arg(QString::fromLatin1(t.name), QString::fromLatin1(f.name));
    }
    // Every object exactly as this program makes it: a trigger, a view or a full-text table
    // of another's would run inside the program's own writes.
    if (const QStringList faults = schemaFaults(s); !faults.isEmpty())
        return QStringLiteral("数据库的结构与本系统建立的不同（%1）").arg(faultSummary(faults));
    return std::nullopt;
}

QString safetyName(const QString &folder)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString name = folder + u'/' + SafetyPrefix + stamp + QStringLiteral(".mdb");
    for (int i = 2; QFileInfo::exists(name); ++i)
        name = folder + u'/' + SafetyPrefix + stamp + u'-' + QString::number(i) + QStringLiteral(".mdb");
    return name;
}

// The previous live file kept under name: a second link to the same bytes when the file system
// allows it (instant, nothing rewritten), else a flushed copy.
void keepSafetyCopy(const QString &live, const QString &name)
{
    if (::link(nativePath(live).constData(), nativePath(name).constData()) == 0) {
        ::chmod(nativePath(name).constData(), 0600);
        return;
    }
    db::copyFileBytes(live, name, db::CopyInto::NewFile);
}

} // namespace

std::optional<quint64> freeBytes(const QString &path)
{
    struct statvfs v {};
    if (::statvfs(nativePath(path).constData(), &v) != 0)
        return std::nullopt;
    quint64 bytes = 0;
    if (__builtin_mul_overflow(quint64(v.f_bavail), quint64(v.f_frsize ? v.f_frsize : v.f_bsize), &bytes))
        bytes = std::numeric_limits<quint64>::max();
    return bytes;
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa {}, sb {};
    if (::stat(nativePath(a).constData(), &sa) != 0 || ::stat(nativePath(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::optional<QString> whatIsWrong(const QString &file, CheckDepth depth)
{
    const QFileInfo info(file);
    if (!info.exists())
        return QStringLiteral("文件不存在");
    if (!info.isFile())
        return QStringLiteral("不是文件");
    if (info.size() == 0)
        return QStringLiteral("文件是空的");
    try {
        std::optional<db::Session> s;
        try {
            s.emplace(db::Session::open(file));
        } catch (const DbError &e) {
            if (e.number() == err::NotADatabase)
                return QStringLiteral("不能用本系统的密码打开（不是本系统的数据库、用别的密码加密，或已损坏）");
            throw;
        }
        if (depth == CheckDepth::Full) {
            // Every page is read once into the cache (at most 256 MiB) instead of decrypted
            // again for each lookup of the index checks.
            const qint64 kib = std::clamp<qint64>(info.size() / 1024 + 1024, 2048, 256 * 1024);
            db::setPageCache(*s, kib);
        }
        if (auto wrong = checkSchema(*s))
            return wrong;
        const qint64 rows = s->scalarInt(QStringLiteral("select count(*) from xtzlqk"));
        if (rows != 1)
            return QStringLiteral("不是完整的本系统数据库（系统状态记录应有一条，实有 %1 条）").arg(rows);
        QStringList faults = db::integrityFaults(*s, depth == CheckDepth::Full ? db::IntegrityDepth::Full
                                                                               : db::IntegrityDepth::Quick);
        // Checks every page's authentication code where the engine has it.
        faults += db::authenticationFaults(*s);
        if (!faults.isEmpty())
            return QStringLiteral("文件已损坏（完整性检查：%1）").arg(faultSummary(faults));
    } catch (const DbError &e) {
        return QStringLiteral("文件已损坏（%1）").arg(e.description());
    }
    return std::nullopt;
}

QString DataCopy::fileFilter(const db::Store &store) { return db::backupFileFilter(store); }

Verdict<CopyField> DataCopy::checkPath(const QString &path)
{
    if (path.trimmed().isEmpty())
        return refused(QStringLiteral("选择要备份或恢复的文件"), CopyField::CmdPath, Select::none()).withIcon(MsgIcon::None);
    return {};
}

Verdict<CopyField> DataCopy::checkBackup(const db::Store &store, const QString &target) const
{
    if (auto r = checkPath(target))
        return r;
    const bool inFile = db::hasDataFile(store);
    const QString live = store.filePath();
    if (inFile && !QFileInfo(live).isFile())
        return refused(QStringLiteral("系统数据丢失，不能备份。"), CopyField::Txtpath);
    const QFileInfo t(target.trimmed());
    if (t.isDir())
        return refused(QStringLiteral("所选的是文件夹，请在其中输入备份文件的名称：%1").arg(t.filePath()), CopyField::Txtpath);
    const QString folder = t.absolutePath();
    if (!QFileInfo(folder).isDir())
        return refused(QStringLiteral("备份文件所在的文件夹不存在：%1").arg(folder), CopyField::Txtpath);
    if (inFile && t.exists() && sameFile(t.absoluteFilePath(), live))
        return refused(QStringLiteral("不能把数据备份到系统正在使用的数据库文件上，请另选备份文件。"), CopyField::Txtpath);
    if (::access(nativePath(folder).constData(), W_OK | X_OK) != 0)
        return refused(QStringLiteral("备份文件所在的文件夹不能写入（%1）：%2").arg(errnoText(errno), folder), CopyField::Txtpath);
    const auto room = freeBytes(folder);
    const std::optional<quint64> needed = db::backupBytesNeeded(store);
    if (room && needed && *room < *needed)
        return refused(TooSmall, CopyField::Txtpath);
    return {};
}

void DataCopy::at(Stage s) const
{
    if (m_hook)
        m_hook(s);
}

void DataCopy::backup(const db::Store &store, const QString &targetText)
{
    const QString target = QFileInfo(targetText.trimmed()).absoluteFilePath();
    const QString folder = QFileInfo(target).absolutePath();
    // What interrupted backups to this target left beside it (only the program's own work files).
    removeWorkFileLeftovers(folder, QFileInfo(target).fileName());
    at(Stage::BeforeImage);
    const WorkFile work(target);
    const QString temp = work.path();
    bool folderFlushed = true;
    try {
        {
            // Whatever the backup makes meanwhile (the server's tools' own files too) is owner-only.
            const OwnerOnlyFiles ownerOnly;
            db::writeBackup(store, temp, m_progress);
        }
        const db::BackupCheck check{clinicTableNames(), [](const QString &file) { return whatIsWrong(file); }};
        if (auto wrong = db::whatIsWrongWithBackup(store, temp, check))
            throw DbError(err::General, QStringLiteral("备份文件校验未通过：%1。").arg(*wrong));
        restrictToOwner(temp);
        at(Stage::BeforeRename);
        folderFlushed = db::replaceFile(temp, target);
    } catch (...) {
        removeQuietly(temp);
        throw;
    }
    if (!folderFlushed)
        warnFolderNotFlushed(folder);
}

Verdict<CopyField> DataCopy::checkRestoreAllowed(const db::Store &store)
{
    if (db::restoresFromFile(store))
        return {};
    return refused(QStringLiteral("本系统的数据保存在诊所的数据库服务器上（%1），由各工作站共用，不能在工作站上恢复。\n"
                                  "恢复服务器上的数据须由服务器管理员在所有工作站都关闭本系统后进行，"
                                  "方法见部署说明 docs/DEPLOYMENT.md 的“恢复”一节（安装后为 /usr/share/doc/qinghe/DEPLOYMENT.md）。\n"
                                  "系统数据没有改变。")
                       .arg(store.settings().display()),
                   CopyField::Txtpath)
        .withIcon(MsgIcon::Warning);
}

Verdict<CopyField> DataCopy::checkRestore(const db::Store &store, const QString &sourceText) const
{
    if (auto r = checkRestoreAllowed(store))
        return r;
    if (auto r = checkPath(sourceText))
        return r;
    const QFileInfo s(sourceText.trimmed());
    if (!s.exists())
        return refused(QStringLiteral("找不到所选的文件：%1").arg(s.filePath()), CopyField::Txtpath);
    if (s.isDir())
        return refused(QStringLiteral("所选的是文件夹，不是数据库文件：%1").arg(s.filePath()), CopyField::Txtpath);
    if (!s.isFile() || !s.isReadable())
        return refused(QStringLiteral("所选的文件不能读取：%1").arg(s.filePath()), CopyField::Txtpath);
    const QString live = store.filePath();
    if (sameFile(s.absoluteFilePath(), live))
        return refused(QStringLiteral("所选的文件就是系统正在使用的数据库文件，不能用它自己恢复数据。"), CopyField::Txtpath);
    const auto room = freeBytes(QFileInfo(live).absolutePath());
    if (room && *room < quint64(s.size()))
        return refused(TooSmall, CopyField::Txtpath);
    return {};
}

Verdict<CopyField> DataCopy::restore(const db::Store &store, const QString &sourceText)
{
    m_safetyCopy.clear();
    if (auto r = checkRestore(store, sourceText))
        return r;
    const QString source = QFileInfo(sourceText.trimmed()).absoluteFilePath();
    const QString live = store.filePath();
    const QString folder = QFileInfo(live).absolutePath();
    QDir().mkpath(folder);
    const WorkFile work(live);
    const QString temp = work.path();
    QString safety;
    bool folderFlushed = true;
    try {
        db::copyFileBytes(source, temp, db::CopyInto::MadeFile, m_progress);
        // The copy, not the chosen file, is checked: exactly these bytes become the live file.
        if (auto wrong = whatIsWrong(temp)) {
            removeQuietly(temp);
            return refused(QStringLiteral("所选的文件不能用来恢复数据：%1。\n系统数据没有改变。").arg(*wrong), CopyField::Txtpath);
        }
        // No other action of the program writes while the file is replaced. A live file the
        // engine cannot open (damaged, lost) is replaced without its lock.
        std::optional<db::Session> liveSession;
        std::optional<db::Transaction> writeLock;
        if (QFileInfo(live).isFile()) {
            try {
                liveSession.emplace(db::Session::open(live));
            } catch (const DbError &e) {
                if (e.number() == err::Locked)
                    throw;
            }
            if (liveSession)
                writeLock.emplace(*liveSession);
            safety = safetyName(folder);
            keepSafetyCopy(live, safety);
            // A journal left by an interrupted write belongs to the old file, never to the new one.
            const QString journal = live + QStringLiteral("-journal");
            if (QFileInfo::exists(journal))
                renameOver(journal, safety + QStringLiteral("-journal"));
        }
        at(Stage::BeforeRename);
        folderFlushed = db::replaceFile(temp, live);
    } catch (...) {
        removeQuietly(temp);
        if (!safety.isEmpty())
            ::unlink(nativePath(safety).constData());
        throw;
    }
    if (!folderFlushed)
        warnFolderNotFlushed(folder);
    m_safetyCopy = safety;
    const QStringList kept = safetyCopies(store);
    for (qsizetype i = 0; i + SafetyCopiesKept < kept.size(); ++i) {
        QFile::remove(kept.at(i));
        QFile::remove(kept.at(i) + QStringLiteral("-journal"));
    }
    return {};
}

QStringList DataCopy::safetyCopies(const db::Store &store)
{
    const QDir dir(QFileInfo(store.filePath()).absolutePath());
    QStringList names = dir.entryList({SafetyPrefix + QStringLiteral("*.mdb")}, QDir::Files, QDir::Name);
    for (QString &n : names)
        n = dir.filePath(n);
    return names;
}

std::optional<QString> backupRequest(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--backup") == 0)
        return QFile::decodeName(argv[2]);
    if (argc == 2 && qstrncmp(argv[1], "--backup=", 9) == 0)
        return QFile::decodeName(argv[1] + 9);
    return std::nullopt;
}

int backupFromCommandLine(const db::Store &store, const QString &path)
{
    QTextStream out(stdout), errors(stderr);
    DataCopy copy;
    if (auto r = copy.checkBackup(store, path)) {
        errors << r->message << Qt::endl;
        return 2;
    }
    try {
        copy.backup(store, path);
    } catch (const DbError &e) {
        errors << numberedReport(e) << Qt::endl;
        return 1;
    }
    const QString target = QFileInfo(path.trimmed()).absoluteFilePath();
    out << QStringLiteral("数据已备份到 %1（%2 字节），校验通过。").arg(target).arg(QFileInfo(target).size()) << Qt::endl;
    return 0;
}

} // namespace qh::maint
