#include "maint/users.h"
#include "core/modutarnxt.h"
#include "core/passwords.h"
#include "core/textutil.h"

#include <optional>

namespace qh::maint {

namespace {

UserResult fail(const QString &message, UserBox focus, bool selectAll, bool plain = false)
{
    UserResult r;
    r.ok = false;
    r.message = message;
    r.focus = focus;
    r.selectAll = selectAll;
    r.plain = plain;
    return r;
}

UserResult accepted(UserBox focus = UserBox::Cboyhmc)
{
    UserResult r;
    r.focus = focus;
    return r;
}

// The stored hash of a user, nothing when the user does not exist.
std::optional<QString> storedHash(db::Session &s, const QString &name)
{
    auto st = s.query(QStringLiteral("select passwods from yckpass where passuser = ?"), name);
    if (!st.next())
        return std::nullopt;
    return st.text(0);
}

UserResult checked(UserResult r)
{
    r.inputAccepted = true;
    return r;
}

bool sameUser(const QString &a, const QString &b) { return QString::compare(a, b, Qt::CaseInsensitive) == 0; }

} // namespace

UserInput trimmed(const UserInput &in)
{
    return {trimSpaces(in.name), trimSpaces(in.oldPassword), trimSpaces(in.newPassword), trimSpaces(in.repeated)};
}

QStringList userNames()
{
    QStringList names;
    db::Session s = Modutarnxt::openClinic();
    auto st = s.query(QStringLiteral("select passuser from yckpass order by rowid"));
    while (st.next())
        names << st.text(0);
    return names;
}

bool isKnown(const QString &name)
{
    db::Session s = Modutarnxt::openClinic();
    return storedHash(s, trimSpaces(name)).has_value();
}

UserResult srqkjy(const UserInput &raw)
{
    const UserInput in = trimmed(raw);
    if (in.name.size() <= 1)
        return fail(QStringLiteral("请输二位字符以上的用户名称"), UserBox::Cboyhmc, true);
    if (in.name.size() > MaxNameLength)
        return fail(QStringLiteral("用户名称不能超过%1位字符").arg(MaxNameLength), UserBox::Cboyhmc, true);
    if (in.newPassword.size() <= 3)
        return fail(QStringLiteral("请输入4位以上字符的密码"), UserBox::Txtnewpass, true);
    if (in.repeated.size() <= 3)
        return fail(QStringLiteral("请输入4位以上字符的密码"), UserBox::Txtpassnew, true);
    if (in.newPassword != in.repeated) {
        UserResult r = fail(QStringLiteral("新密码两次输入有误，重新输入。"), UserBox::Txtnewpass, false, true);
        r.clearNewPasswords = true;
        return r;
    }
    db::Session s = Modutarnxt::openClinic();
    if (const auto stored = storedHash(s, in.name); stored && !passwords::verify(*stored, in.oldPassword))
        return fail(QStringLiteral("旧密码输入有误，不能存盘。"), UserBox::Txtoldpass, true, true);
    UserResult r = accepted();
    r.inputAccepted = true;
    return r;
}

UserResult addUser(const UserInput &raw)
{
    const UserInput in = trimmed(raw);
    if (UserResult r = srqkjy(in); !r.ok)
        return r;
    db::Session s = Modutarnxt::openClinic();
    if (storedHash(s, in.name))
        return checked(fail(QStringLiteral("用户名称输入错误。"), UserBox::Cboyhmc, true));
    if (passwords::inUse(s, in.newPassword))
        return checked(fail(QStringLiteral("密码输入错误。"), UserBox::Txtnewpass, true));
    const QString hashed = passwords::hash(in.newPassword);
    db::Transaction t(s);
    // Checked again under the write lock, so two copies cannot add the same name at once.
    if (!storedHash(s, in.name))
        s.exec(QStringLiteral("insert into yckpass(passuser, passwods, passpids) values(?, ?, 1)"), in.name, hashed);
    t.commit();
    return checked(accepted());
}

UserResult changePassword(const QString &currentUser, const UserInput &raw)
{
    const UserInput in = trimmed(raw);
    if (UserResult r = srqkjy(in); !r.ok)
        return r;
    const QString current = trimSpaces(currentUser);
    if (current.isEmpty() || !sameUser(in.name, current))
        return checked(fail(current + QStringLiteral("：你不能修改与你无关人的密码"), UserBox::None, false));
    db::Session s = Modutarnxt::openClinic();
    if (passwords::inUse(s, in.newPassword))
        return checked(fail(QStringLiteral("密码输入错误。"), UserBox::Txtnewpass, true));
    const QString hashed = passwords::hash(in.newPassword);
    s.exec(QStringLiteral("update yckpass set passwods = ? where passuser = ?"), hashed, in.name);
    return checked(accepted());
}

UserResult removeUser(const QString &currentUser, const UserInput &raw)
{
    const UserInput in = trimmed(raw);
    if (in.name.isEmpty())
        return fail(QStringLiteral("请指定用户"), UserBox::Cboyhmc, false);
    const QString current = trimSpaces(currentUser);
    if (current.isEmpty() || !sameUser(in.name, current))
        return fail(current + QStringLiteral("：你不能剥夺他人的使用权利。"), UserBox::None, false);
    if (in.oldPassword.isEmpty())
        return fail(QStringLiteral("请输入用户密码"), UserBox::Txtoldpass, false);
    db::Session s = Modutarnxt::openClinic();
    const auto stored = storedHash(s, in.name);
    if (!stored)
        return fail(QStringLiteral("用户名称错误"), UserBox::Cboyhmc, true);
    if (!passwords::verify(*stored, in.oldPassword))
        return fail(QStringLiteral("用户密码错误"), UserBox::Txtoldpass, true);
    s.exec(QStringLiteral("delete from yckpass where passuser = ? and passwods = ?"), in.name, *stored);
    return accepted();
}

} // namespace qh::maint
