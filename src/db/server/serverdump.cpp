#include "db/server/serverdump.h"
#include "db/session.h"
#include "db/error.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <libpq-fe.h>
#include <memory>

namespace qh::db {

namespace {

// libpq's quoting of a value in a connection string: single quotes, backslash before ' and \.
QByteArray quotedValue(const QByteArray &value)
{
    QByteArray out = "'";
    for (const char c : value) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '\'';
}

// The server tool by name: on the search path (Debian's wrappers pick the version), else the
// newest installed version's own folder.
QString toolPath(const QString &name)
{
    QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty())
        return found;
    QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList dirs = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(dirs.begin(), dirs.end(), [](const QString &a, const QString &b) { return a.toInt() > b.toInt(); });
    for (const QString &v : dirs) {
        found = QStandardPaths::findExecutable(name, {versions.filePath(v + QStringLiteral("/bin"))});
        if (!found.isEmpty())
            return found;
    }
    throw DbError(err::FileMissing, QStringLiteral("找不到 PostgreSQL 的工具程序 %1（请安装 postgresql-client）。").arg(name));
}

// The last part of a tool's messages, enough to tell what went wrong.
QString lastWords(const QByteArray &errors)
{
    QString text = QString::fromLocal8Bit(errors).trimmed();
    if (text.size() > 1500)
        text = QStringLiteral("……") + text.right(1500);
    return text;
}

struct ToolResult {
    int exitCode = 0;
    QByteArray output;
    QByteArray errors;
};

// Runs a tool to its end; every_tick runs about ten times a second meanwhile. Throws DbError
// when the tool cannot be started or does not end normally; the exit code is the caller's.
ToolResult runTool(const QString &name, const QStringList &arguments, const QProcessEnvironment &environment,
                   const std::function<void()> &every_tick = {})
{
    QProcess p;
    p.setProcessEnvironment(environment);
    p.setStandardInputFile(QProcess::nullDevice()); // never waits for a typed password
    p.start(toolPath(name), arguments, QIODevice::ReadOnly);
    if (!p.waitForStarted(30000))
        throw DbError(err::General, QStringLiteral("不能启动 %1：%2").arg(name, p.errorString()));
    ToolResult r;
    while (!p.waitForFinished(100)) {
        if (p.state() == QProcess::NotRunning)
            break;
        r.output += p.readAllStandardOutput();
        r.errors += p.readAllStandardError();
        if (every_tick)
            every_tick();
    }
    r.output += p.readAllStandardOutput();
    r.errors += p.readAllStandardError();
    if (p.exitStatus() != QProcess::NormalExit)
        throw DbError(err::General, QStringLiteral("%1 意外中止：%2\n%3").arg(name, p.errorString(), lastWords(r.errors)));
    r.exitCode = p.exitCode();
    return r;
}

} // namespace

ToolConnection toolConnection(const DatabaseSettings &settings)
{
    ToolConnection c;
    c.environment = QProcessEnvironment::systemEnvironment();
    const QByteArray whole = settings.connectionString();
    char *error = nullptr;
    std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption *)> options(PQconninfoParse(whole.constData(), &error),
                                                                            PQconninfoFree);
    if (!options) {
        const QString why = error ? QString::fromUtf8(error).trimmed() : QStringLiteral("内存不足");
        PQfreemem(error);
        throw DbError(err::CannotOpen, QStringLiteral("数据库服务器的连接设置有误：%1").arg(why));
    }
    bool timeoutGiven = c.environment.contains(QStringLiteral("PGCONNECT_TIMEOUT"));
    for (const PQconninfoOption *o = options.get(); o->keyword; ++o) {
        if (!o->val || !*o->val)
            continue;
        const QByteArray keyword(o->keyword);
        if (keyword == "password") {
            c.environment.insert(QStringLiteral("PGPASSWORD"), QString::fromUtf8(o->val));
            continue;
        }
        if (keyword == "connect_timeout")
            timeoutGiven = true;
        if (!c.conninfo.isEmpty())
            c.conninfo += ' ';
        c.conninfo += keyword + '=' + quotedValue(QByteArray(o->val));
    }
    // A server that does not answer ends the backup instead of hanging it.
    if (!timeoutGiven)
        c.environment.insert(QStringLiteral("PGCONNECT_TIMEOUT"), QStringLiteral("30"));
    return c;
}

QStringList dumpArguments(const ToolConnection &connection, const QString &file)
{
    QStringList args{QStringLiteral("--format=custom"), QStringLiteral("--no-password"), QStringLiteral("--file"), file};
    if (!connection.conninfo.isEmpty())
        args << QStringLiteral("--dbname=") + QString::fromUtf8(connection.conninfo);
    return args;
}

void dumpServer(const DatabaseSettings &settings, const QString &file, const std::function<void(qint64)> &progress)
{
    const ToolConnection c = toolConnection(settings);
    const ToolResult r = runTool(QStringLiteral("pg_dump"), dumpArguments(c, file), c.environment, [&] {
        if (progress)
            progress(QFileInfo(file).size());
    });
    if (r.exitCode != 0)
        throw DbError(err::General, QStringLiteral("服务器数据库（%1）备份失败，pg_dump 报告（退出码 %2）：\n%3")
                                        .arg(settings.display())
                                        .arg(r.exitCode)
                                        .arg(lastWords(r.errors)));
}

std::optional<QString> whatIsWrongWithDump(const QString &file, const QStringList &tables)
{
    ToolResult r;
    try {
        r = runTool(QStringLiteral("pg_restore"), {QStringLiteral("--list"), file}, QProcessEnvironment::systemEnvironment());
    } catch (const DbError &e) {
        return e.description();
    }
    if (r.exitCode != 0)
        return QStringLiteral("pg_restore 不能读取备份文件（退出码 %1）：%2").arg(r.exitCode).arg(lastWords(r.errors));
    // "3345; 0 16390 TABLE DATA public hzblzl postgres": the data of one table.
    static const QRegularExpression tableData(QStringLiteral("^\\d+; \\d+ \\d+ TABLE DATA \\S+ (\\S+) "));
    QSet<QString> present;
    for (const QByteArray &line : r.output.split('\n')) {
        const auto m = tableData.match(QString::fromUtf8(line));
        if (m.hasMatch())
            present.insert(m.captured(1).toLower());
    }
    QStringList missing;
    for (const QString &t : tables)
        if (!present.contains(t.toLower()))
            missing << t;
    if (!missing.isEmpty())
        return QStringLiteral("备份文件中缺少 %1 个数据表的数据（%2）").arg(missing.size()).arg(missing.join(u'、'));
    return std::nullopt;
}

std::optional<quint64> serverDataBytes(const DatabaseSettings &settings)
{
    try {
        Session s = Session::connect(settings);
        const qint64 bytes = s.scalarInt(QStringLiteral(
            "select cast(coalesce(sum(pg_table_size(c.oid)), 0) as bigint) from pg_class c "
            "join pg_namespace n on n.oid = c.relnamespace where c.relkind = 'r' and n.nspname = current_schema()"));
        return bytes < 0 ? 0 : quint64(bytes);
    } catch (const DbError &) {
        return std::nullopt; // the backup itself reports why the server cannot be reached
    }
}

} // namespace qh::db
