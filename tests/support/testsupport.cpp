#include "testsupport.h"

#include "base/clock.h"
#include "core/modutarnxt.h"
#include "base/money.h"
#include "core/passwords.h"
#include "core/schema.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <atomic>
#include <stdexcept>

#include <csignal>
#include <sys/resource.h>

namespace qh::test {

RecordingMessages::RecordingMessages() : m_previous(messagePresenter()) { setMessagePresenter(this); }
RecordingMessages::~RecordingMessages() { setMessagePresenter(m_previous); }

bool RecordingMessages::present(const Message &m)
{
    shown.push_back(m);
    if (m.buttons != MsgButtons::YesNo)
        return true;
    if (answers.empty())
        return true;
    bool a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<QString> RecordingMessages::askText(const TextQuestion &q)
{
    asked.push_back(q);
    if (textAnswers.empty())
        return std::nullopt;
    const bool given = textAnswers.front().has_value();
    const QString text = textAnswers.front().value_or(QString());
    textAnswers.pop_front();
    if (!given)
        return std::nullopt;
    return text;
}

QStringList RecordingMessages::texts() const
{
    QStringList l;
    for (const auto &m : shown)
        l << m.text;
    return l;
}

QString RecordingMessages::last() const { return shown.empty() ? QString() : shown.back().text; }

RecordingFileDialogs::RecordingFileDialogs() : m_previous(fileDialogPresenter()) { setFileDialogPresenter(this); }
RecordingFileDialogs::~RecordingFileDialogs() { setFileDialogPresenter(m_previous); }

QString RecordingFileDialogs::openFileName(QWidget *, const QString &, const QString &folder, const QString &filter)
{
    forms << QStringLiteral("open");
    folders << folder;
    filters << filter;
    if (answers.empty())
        return {};
    QString a = answers.front();
    answers.pop_front();
    return a;
}

QString RecordingFileDialogs::saveFileName(QWidget *w, const QString &c, const QString &folder, const QString &filter)
{
    const QString a = openFileName(w, c, folder, filter);
    forms.last() = QStringLiteral("save");
    return a;
}

namespace {

QByteArray serverBase() { return qgetenv("QINGHE_TEST_PG"); }

db::DatabaseSettings serverAt(const QByteArray &database)
{
    db::DatabaseSettings d;
    d.engine = db::Engine::Server;
    d.conninfo = serverBase() + (database.isEmpty() ? QByteArray() : " dbname=" + database);
    return d;
}

// The template's name follows the schema, so a cluster kept between builds never hands out an
// old one.
QByteArray templateName()
{
    QCryptographicHash h(QCryptographicHash::Sha1);
    for (const auto &t : clinicSchema()) {
        h.addData(QByteArray(t.name));
        for (const auto &f : t.fields)
            h.addData(QByteArray(f.name) + QByteArray::number(int(f.type)) + QByteArray::number(f.size));
        for (const auto &ix : t.indexes)
            h.addData(QByteArray(ix.storedName) + QByteArray::number(ix.unique) + QByteArray(ix.aboveZero ? ix.aboveZero : ""));
    }
    return "qinghe_template_" + h.result().toHex().left(12);
}

// Makes the template database once per server: under a session lock on the server, so test
// programs running at the same time make it once; built under another name and renamed when
// whole.
QByteArray serverTemplate()
{
    static const QByteArray name = [] {
        const QByteArray tpl = templateName();
        db::Session admin = db::Session::connect(serverAt({}));
        admin.scalarInt(QStringLiteral("select pg_advisory_lock(7412001)"));
        if (admin.scalarInt(QStringLiteral("select count(*) from pg_database where datname = ?"), QString::fromLatin1(tpl)) == 0) {
            const QByteArray building = tpl + "_building";
            admin.execScript(QString::fromLatin1("DROP DATABASE IF EXISTS " + building + " WITH (FORCE)"));
            admin.execScript(QString::fromLatin1("CREATE DATABASE " + building));
            {
                db::Session s = db::Session::connect(serverAt(building));
                createSchema(s);
                s.close();
            }
            db::closePooledConnections();
            admin.execScript(QString::fromLatin1("ALTER DATABASE " + building + " RENAME TO " + tpl));
        }
        admin.scalarInt(QStringLiteral("select pg_advisory_unlock(7412001)"));
        return tpl;
    }();
    return name;
}

std::atomic<int> g_serverClinics{0};

} // namespace

bool TempClinic::onServer() { return !serverBase().isEmpty(); }

db::DatabaseSettings TempClinic::serverSettings() const { return serverAt(m_serverDb); }

TempClinic::TempClinic(bool create)
{
    Modutarnxt::SystemRoot = m_dir.path();
    Modutarnxt::CurrentUser = QStringLiteral("测试员");
    Modutarnxt::HelpTopic.clear();
    Modutarnxt::FirstUserMode = false;
    clock::setScale(0);
    m_previousStore = Modutarnxt::installedClinicStore();
    const QString file = Modutarnxt::databasePath();
    if (onServer()) {
        m_serverDb = "qh_test_" + QByteArray::number(QCoreApplication::applicationPid()) + '_'
            + QByteArray::number(++g_serverClinics);
        db::Session admin = db::Session::connect(serverAt({}));
        admin.execScript(QString::fromLatin1("DROP DATABASE IF EXISTS " + m_serverDb + " WITH (FORCE)"));
        admin.execScript(QString::fromLatin1("CREATE DATABASE " + m_serverDb
                                             + (create ? " TEMPLATE " + serverTemplate() : QByteArray())));
        qputenv("QINGHE_DATABASE", serverAt(m_serverDb).conninfo);
        m_store = db::Store::fromSettings(file);
        Modutarnxt::setClinicStore(m_store);
        return;
    }
    m_store = db::Store::fromSettings(file);
    Modutarnxt::setClinicStore(m_store);
    if (create) {
        QDir().mkpath(m_dir.path() + QStringLiteral("/system"));
        CreateClinicDatabase(dbPath());
    }
}

TempClinic::~TempClinic()
{
    Modutarnxt::setClinicStore(m_previousStore);
    Modutarnxt::SystemRoot.clear();
    if (m_serverDb.isEmpty())
        return;
    qunsetenv("QINGHE_DATABASE");
    try {
        db::closePooledConnections();
        db::Session admin = db::Session::connect(serverAt({}));
        admin.execScript(QString::fromLatin1("DROP DATABASE IF EXISTS " + m_serverDb + " WITH (FORCE)"));
    } catch (const DbError &e) {
        qWarning("test database %s was not dropped: %s", m_serverDb.constData(), e.what());
    }
}

QString TempClinic::dbPath() const { return m_store ? m_store->filePath() : Modutarnxt::databasePath(); }

db::Session TempClinic::open() const { return m_serverDb.isEmpty() ? db::Session::open(dbPath()) : m_store->open(); }

OneAction::OneAction() : m_session(Modutarnxt::clinicStore().open()) {}

StoreInstalled::StoreInstalled(db::Store store) : m_previous(Modutarnxt::installedClinicStore())
{
    Modutarnxt::setClinicStore(std::move(store));
}

StoreInstalled::~StoreInstalled() { Modutarnxt::setClinicStore(m_previous); }

void TempClinic::addStatusRow(const QString &unit)
{
    open().exec(QStringLiteral("insert into xtzlqk(xt001, xt006) values(?, ?)"), unit, QStringLiteral("管理员"));
}

void TempClinic::addUser(const QString &name, const QString &password)
{
    // Stored as the program stores it: a salted hash. Salted hashes never collide in the unique
    // index, so the rule "no two users share a password" is checked here as the program does.
    db::Session s = open();
    if (passwords::inUse(s, password))
        throw DbError(err::Duplicate, QStringLiteral("另一个用户已经使用这个密码。"));
    s.exec(QStringLiteral("insert into yckpass(passuser, passwods, passpids) values(?, ?, 1)"), name,
           passwords::hash(password));
}

void TempClinic::addDrug(const QString &code, const QString &name, const QString &price, const QString &unit,
                         const QString &category)
{
    open().exec(QStringLiteral("insert into ycjg(ycbm, ycmc, ycdj, jldw, yplb) values(?, ?, ?, ?, ?)"), code, name,
                *Money::parse(price), unit, category);
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result();
}

void makeFirstLayout(const QString &path)
{
    const QString old = path + QStringLiteral(".first");
    QFile::remove(old);
    {
        db::Session s = db::Session::open(path);
        s.copyInto(old, db::FileLayout::Pages1K);
    }
    if (!QFile::remove(path) || !QFile::rename(old, path))
        throw std::runtime_error("the first-layout copy could not replace the data file");
}

void addFailingTrigger(db::Session &s, const QString &name, const QString &timing, const QString &table, const QString &when)
{
    if (s.engine() == db::Engine::File) {
        s.execScript(QStringLiteral("create trigger %1 %2 on %3 %4 begin select raise(abort, '%1'); end")
                         .arg(name, timing, table, when.isEmpty() ? QString() : QStringLiteral("when ") + when));
        return;
    }
    s.execScript(QStringLiteral("create function %1() returns trigger language plpgsql as "
                                "$$ begin raise exception '%1'; end $$; "
                                "create trigger %1 %2 on %3 for each row %4 execute function %1()")
                     .arg(name, timing, table, when.isEmpty() ? QString() : QStringLiteral("when (%1)").arg(when)));
}

void dropFailingTrigger(db::Session &s, const QString &name, const QString &table)
{
    if (s.engine() == db::Engine::File)
        s.execScript(QStringLiteral("drop trigger %1").arg(name));
    else
        s.execScript(QStringLiteral("drop trigger %1 on %2").arg(name, table));
}

QString makeDemoClinic(const QString &tool, const QString &root, const QStringList &arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QINGHE_DATABASE"));
    p.setProcessEnvironment(env);
    p.start(tool, QStringList{QStringLiteral("--root"), root} + arguments);
    if (!p.waitForFinished(-1))
        return QStringLiteral("%1: %2").arg(tool, p.errorString());
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("%1 failed: %2").arg(tool, QString::fromUtf8(p.readAllStandardError()));
    return {};
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit r {};
    ::getrlimit(RLIMIT_FSIZE, &r);
    m_previous = qint64(r.rlim_cur);
    r.rlim_cur = rlim_t(bytes);
    ::setrlimit(RLIMIT_FSIZE, &r);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit r {};
    ::getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = rlim_t(m_previous);
    ::setrlimit(RLIMIT_FSIZE, &r);
    std::signal(SIGXFSZ, m_handler);
}

DbError failureOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const DbError &e) {
        return e;
    }
    return DbError(0, QStringLiteral("no failure"));
}

} // namespace qh::test
