#include "db/settings.h"

#include <QSettings>
#include <QStringList>

namespace qh::db {

namespace {

// libpq's quoting: single quotes around the value, backslash before ' and \.
QByteArray quoted(const QString &value)
{
    QByteArray out = "'";
    for (const char c : value.toUtf8()) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '\'';
}

QSettings settingsFile()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("qinghe"), QStringLiteral("qinghe"));
}

} // namespace

QByteArray DatabaseSettings::connectionString() const
{
    if (!conninfo.isEmpty())
        return conninfo;
    QByteArray s;
    auto add = [&s](const char *key, const QString &value) {
        if (value.isEmpty())
            return;
        if (!s.isEmpty())
            s += ' ';
        s += key;
        s += '=';
        s += quoted(value);
    };
    add("host", host);
    add("port", port > 0 ? QString::number(port) : QString());
    add("dbname", database);
    add("user", user);
    add("sslmode", sslmode);
    add("password", password);
    add("application_name", QStringLiteral("qinghe"));
    return s;
}

QString DatabaseSettings::display() const
{
    if (engine == Engine::File)
        return QStringLiteral("本机数据文件");
    if (!conninfo.isEmpty()) {
        // Show the connection string without its password.
        QStringList kept;
        for (const QString &part : QString::fromUtf8(conninfo).split(u' ', Qt::SkipEmptyParts))
            if (!part.startsWith(QStringLiteral("password"), Qt::CaseInsensitive))
                kept << part;
        return kept.join(u' ');
    }
    return QStringLiteral("%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

DatabaseSettings DatabaseSettings::load()
{
    DatabaseSettings d;
    const QByteArray env = qgetenv("QINGHE_DATABASE");
    if (!env.isEmpty()) {
        if (env.trimmed() != "file") {
            d.engine = Engine::Server;
            d.conninfo = env;
        }
        return d;
    }
    QSettings s = settingsFile();
    s.beginGroup(QStringLiteral("database"));
    const QString engine = s.value(QStringLiteral("engine"), QStringLiteral("file")).toString().trimmed().toLower();
    if (engine != QLatin1String("postgresql"))
        return d;
    d.engine = Engine::Server;
    d.host = s.value(QStringLiteral("host")).toString();
    d.port = s.value(QStringLiteral("port"), 5432).toInt();
    d.database = s.value(QStringLiteral("database")).toString();
    d.user = s.value(QStringLiteral("user")).toString();
    d.sslmode = s.value(QStringLiteral("sslmode"), QStringLiteral("require")).toString();
    d.password = s.value(QStringLiteral("password")).toString();
    return d;
}

QString DatabaseSettings::settingsFilePath() { return settingsFile().fileName(); }

} // namespace qh::db
