#include "testsupport.h"

#include "core/clock.h"
#include "core/modutarnxt.h"
#include "core/money.h"
#include "core/passwords.h"
#include "core/schema.h"

#include <QDir>

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

TempClinic::TempClinic(bool create)
{
    Modutarnxt::SystemRoot = m_dir.path();
    Modutarnxt::CurrentUser = QStringLiteral("测试员");
    Modutarnxt::HelpTopic.clear();
    Modutarnxt::FirstUserMode = false;
    clock::setScale(0);
    if (create) {
        QDir().mkpath(m_dir.path() + QStringLiteral("/system"));
        CreateClinicDatabase(dbPath());
    }
}

TempClinic::~TempClinic() { Modutarnxt::SystemRoot.clear(); }

QString TempClinic::dbPath() const { return Modutarnxt::databasePath(); }

db::Session TempClinic::open() const { return db::Session::open(dbPath()); }

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

} // namespace qh::test
