#include "maint/datacopy.h"
#include "db/session.h"
#include "base/owneronly.h"
#include "core/schema.h"
#include "base/textutil.h"
#include "core/workfile.h"
#include "maint/serverdump.h"

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

// A failure of the file system while copying or renaming, in the program's error form.
[[noreturn]] void fileFailure(int e, const QString &what, const QString &path)
{
    const int number = (e == ENOSPC || e == EDQUOT) ? err::DiskFull
                       : e == EROFS                  ? err::ReadOnly
                       : e == EACCES || e == EPERM   ? err::CannotOpen
                                                     : err::FileIo;
    throw DbError(number, QStringLiteral("%1 '%2' 失败：%3").arg(what, path, errnoText(e)));
}

// Makes a rename in folder durable.
void syncFolder(const QString &folder)
{
    const int fd = ::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return; // some file systems cannot open folders; the rename itself is still atomic
    ::fsync(fd);
    ::close(fd);
}

void renameOver(const QString &from, const QString &to)
{
    if (::rename(nativePath(from).constData(), nativePath(to).constData()) != 0)
        fileFailure(errno, QStringLiteral("替换文件"), to);
}

// Flushes a finished file to the disk.
void flushFile(const QString &path)
{
    const int fd = ::open(nativePath(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        fileFailure(errno, QStringLiteral("打开文件"), path);
    if (::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        fileFailure(e, QStringLiteral("写入磁盘"), path);
    }
    if (::close(fd) != 0)
        fileFailure(errno, QStringLiteral("写入文件"), path);
}

// Removes a file the work made and its engine journal, quietly.
void removeQuietly(const QString &path)
{
    if (path.isEmpty())
        return;
    ::unlink(nativePath(path).constData());
    ::unlink(nativePath(path + QStringLiteral("-journal")).constData());
}

// Copies the bytes of source into dest and flushes it to disk: into a new owner-only file, or
// into the empty work file made for it (never through a link).
enum class Dest { New, WorkFile };
void copyBytes(const QString &source, const QString &dest, const DataCopy::Progress &progress, Dest kind = Dest::New)
{
    const int in = ::open(nativePath(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        fileFailure(errno, QStringLiteral("读取文件"), source);
    const int out = ::open(nativePath(dest).constData(),
                           (kind == Dest::New ? O_CREAT | O_EXCL : O_TRUNC | O_NOFOLLOW) | O_WRONLY | O_CLOEXEC, 0600);
    if (out < 0) {
        const int e = errno;
        ::close(in);
        fileFailure(e, QStringLiteral("创建文件"), dest);
    }
    struct stat st {};
    ::fstat(in, &st);
    const qint64 total = st.st_size;
    qint64 done = 0;
    QByteArray buf(1 << 20, Qt::Uninitialized);
    auto fail = [&](int e, const QString &what, const QString &path) {
        ::close(in);
        ::close(out);
        fileFailure(e, what, path);
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
        fileFailure(errno, QStringLiteral("写入文件"), dest);
}

std::optional<QString> checkSchema(db::Session &s)
{
    QSet<QString> tables;
    {
        auto st = s.query(QStringLiteral("select name from sqlite_master where type = 'table'"));
        while (st.next())
            tables.insert(st.text(0).toLower());
    }
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
        // The table names are the program's own constants, never text from outside.
        auto st = s.prepare(QStringLiteral("pragma table_info(\"%1\")").arg(QString::fromLatin1(t.name)));
        while (st.next())
            columns.insert(st.text(1).toLower());
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

// The faults an integrity pragma reports ("ok" is none), one per line: the engine answers
// the faults of a tree in one row, a line each, under a heading line.
QStringList faultsOf(db::Session &s, const QString &pragma)
{
    QStringList faults;
    auto st = s.prepare(pragma);
    while (st.next()) {
        const QString row = st.text(0);
        if (row.compare(QStringLiteral("ok"), Qt::CaseInsensitive) == 0)
            continue;
        for (const QString &line : row.split(u'\n', Qt::SkipEmptyParts))
            if (!line.startsWith(QStringLiteral("*** ")))
                faults << line.trimmed();
    }
    return faults;
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
    copyBytes(live, name, {});
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
            s->execScript(QStringLiteral("pragma cache_size = -%1").arg(kib));
        }
        if (auto wrong = checkSchema(*s))
            return wrong;
        const qint64 rows = s->scalarInt(QStringLiteral("select count(*) from xtzlqk"));
        if (rows != 1)
            return QStringLiteral("不是完整的本系统数据库（系统状态记录应有一条，实有 %1 条）").arg(rows);
        QStringList faults = faultsOf(*s, depth == CheckDepth::Full ? QStringLiteral("pragma integrity_check")
                                                                    : QStringLiteral("pragma quick_check"));
        // Checks every page's authentication code where the engine has it; an engine without it
        // answers no row.
        faults += faultsOf(*s, QStringLiteral("pragma cipher_integrity_check"));
        if (!faults.isEmpty())
            return QStringLiteral("文件已损坏（完整性检查：%1）").arg(faultSummary(faults));
    } catch (const DbError &e) {
        return QStringLiteral("文件已损坏（%1）").arg(e.description());
    }
    return std::nullopt;
}

QString DataCopy::fileFilter(const db::Store &store)
{
    // The server's archive (pg_dump, custom format) is not a data file of the program.
    return store.engine() == db::Engine::Server ? QStringLiteral("服务器数据备份(*.dump)")
                                                                      : QStringLiteral("数据库文件(*.mdb)");
}

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
    const db::DatabaseSettings &settings = store.settings();
    const bool server = settings.engine == db::Engine::Server;
    const QString live = store.filePath();
    const QFileInfo liveInfo(live);
    if (!server && !liveInfo.isFile())
        return refused(QStringLiteral("系统数据丢失，不能备份。"), CopyField::Txtpath);
    const QFileInfo t(target.trimmed());
    if (t.isDir())
        return refused(QStringLiteral("所选的是文件夹，请在其中输入备份文件的名称：%1").arg(t.filePath()), CopyField::Txtpath);
    const QString folder = t.absolutePath();
    if (!QFileInfo(folder).isDir())
        return refused(QStringLiteral("备份文件所在的文件夹不存在：%1").arg(folder), CopyField::Txtpath);
    if (!server && t.exists() && sameFile(t.absoluteFilePath(), live))
        return refused(QStringLiteral("不能把数据备份到系统正在使用的数据库文件上，请另选备份文件。"), CopyField::Txtpath);
    if (::access(nativePath(folder).constData(), W_OK | X_OK) != 0)
        return refused(QStringLiteral("备份文件所在的文件夹不能写入（%1）：%2").arg(errnoText(errno), folder), CopyField::Txtpath);
    const auto room = freeBytes(folder);
    // On the server the compressed archive is smaller than the tables it holds: their size is
    // the room it may need at most.
    const std::optional<quint64> needed = server ? serverDataBytes(settings) : std::optional<quint64>(liveInfo.size());
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
    if (store.engine() == db::Engine::Server)
        return backupServer(store.settings(), target, temp);
    try {
        {
            // The write lock of the live file: no other action commits while its bytes are read,
            // so the copy is one consistent state (with the rollback journal, changes reach the
            // file only at a commit). The bytes stay encrypted exactly as they are.
            db::Session source = store.open();
            db::Transaction writeLock(source);
            copyBytes(store.filePath(), temp, m_progress, Dest::WorkFile);
        }
        if (auto wrong = whatIsWrong(temp))
            throw DbError(err::General, QStringLiteral("备份文件校验未通过：%1。").arg(*wrong));
        at(Stage::BeforeRename);
        renameOver(temp, target);
    } catch (...) {
        removeQuietly(temp);
        throw;
    }
    syncFolder(folder);
}

void DataCopy::backupServer(const db::DatabaseSettings &settings, const QString &target, const QString &temp)
{
    const QString folder = QFileInfo(target).absolutePath();
    try {
        {
            // pg_dump writes into this owner-only file (its own files are owner-only as well).
            const OwnerOnlyFiles ownerOnly;
            dumpServer(settings, temp, [this](qint64 bytes) {
                if (m_progress)
                    m_progress(bytes, 0);
            });
        }
        if (auto wrong = whatIsWrongWithDump(temp))
            throw DbError(err::General, QStringLiteral("备份文件校验未通过：%1。").arg(*wrong));
        flushFile(temp);
        restrictToOwner(temp);
        at(Stage::BeforeRename);
        renameOver(temp, target);
    } catch (...) {
        removeQuietly(temp);
        throw;
    }
    syncFolder(folder);
}

Verdict<CopyField> DataCopy::checkRestoreAllowed(const db::Store &store)
{
    const db::DatabaseSettings &settings = store.settings();
    if (settings.engine != db::Engine::Server)
        return {};
    return refused(QStringLiteral("本系统的数据保存在诊所的数据库服务器上（%1），由各工作站共用，不能在工作站上恢复。\n"
                                  "恢复服务器上的数据须由服务器管理员在所有工作站都关闭本系统后进行，"
                                  "方法见部署说明 docs/DEPLOYMENT.md 的“恢复”一节（安装后为 /usr/share/doc/qinghe/DEPLOYMENT.md）。\n"
                                  "系统数据没有改变。")
                       .arg(settings.display()),
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
    try {
        copyBytes(source, temp, m_progress, Dest::WorkFile);
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
        renameOver(temp, live);
    } catch (...) {
        removeQuietly(temp);
        if (!safety.isEmpty())
            ::unlink(nativePath(safety).constData());
        throw;
    }
    syncFolder(folder);
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
