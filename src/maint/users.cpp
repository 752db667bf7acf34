#include "maint/users.h"
#include "core/passwords.h"
#include "base/textutil.h"

#include <optional>

namespace qh::maint {

namespace {

UserAnswer fail(const QString &message, UserField focus, bool selectAll, bool plain = false)
{
    UserAnswer a;
    a.refusal = refusal(message, focus, selectAll ? Select::all() : Select::none())
                    .withIcon(plain ? MsgIcon::None : MsgIcon::Information);
    return a;
}

UserAnswer accepted() { return {}; }

// The stored hash of a user, nothing when the user does not exist.
std::optional<QString> storedHash(db::Session &s, const QString &name)
{
    auto st = s.query(QStringLiteral("select passwods from yckpass where passuser = ?"), name);
    if (!st.next())
        return std::nullopt;
    return st.text(0);
}

UserAnswer checked(UserAnswer r)
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

QStringList userNames(db::Session &s)
{
    QStringList names;
    auto st = s.query(QStringLiteral("select passuser from yckpass order by rowid"));
    while (st.next())
        names << st.text(0);
    return names;
}

bool isKnown(db::Session &s, const QString &name)
{
    return storedHash(s, trimSpaces(name)).has_value();
}

std::optional<UserField> nextAfterName(db::Session &s, const QString &name)
{
    if (trimSpaces(name).isEmpty())
        return std::nullopt;
    return isKnown(s, name) ? UserField::Txtoldpass : UserField::Txtnewpass;
}

UserVerdict filledOnEnter(UserField box, const QString &text)
{
    if (box != UserField::Txtpassnew && text.isEmpty())
        return refusal(QString(), box, Select::none());
    return std::nullopt;
}

UserAnswer srqkjy(db::Session &s, const UserInput &raw)
{
    const UserInput in = trimmed(raw);
    if (charCount(in.name) <= 1)
        return fail(QStringLiteral("请输二位字符以上的用户名称"), UserField::Cboyhmc, true);
    if (charCount(in.name) > MaxNameLength)
        return fail(QStringLiteral("用户名称不能超过%1位字符").arg(MaxNameLength), UserField::Cboyhmc, true);
    if (charCount(in.newPassword) <= 3)
        return fail(QStringLiteral("请输入4位以上字符的密码"), UserField::Txtnewpass, true);
    if (charCount(in.repeated) <= 3)
        return fail(QStringLiteral("请输入4位以上字符的密码"), UserField::Txtpassnew, true);
    if (in.newPassword != in.repeated) {
        UserAnswer r = fail(QStringLiteral("新密码两次输入有误，重新输入。"), UserField::Txtnewpass, false, true);
        r.refusal->clearing();
        return r;
    }
    if (const auto stored = storedHash(s, in.name); stored && !passwords::verify(*stored, in.oldPassword))
        return fail(QStringLiteral("旧密码输入有误，不能存盘。"), UserField::Txtoldpass, true, true);
    return checked(accepted());
}

UserAnswer addUser(db::Session &s, const UserInput &raw)
{
    const UserInput in = trimmed(raw);
    if (UserAnswer r = srqkjy(s, in); !r.ok())
        return r;
    if (storedHash(s, in.name))
        return checked(fail(QStringLiteral("用户名称输入错误。"), UserField::Cboyhmc, true));
    if (passwords::inUse(s, in.newPassword))
        return checked(fail(QStringLiteral("密码输入错误。"), UserField::Txtnewpass, true));
    const QString hashed = passwords::hash(in.newPassword);
    db::Transaction t(s);
    // Checked again under the write lock, so two copies cannot add the same name at once.
    if (!storedHash(s, in.name))
        s.exec(QStringLiteral("insert into yckpass(passuser, passwods, passpids) values(?, ?, 1)"), in.name, hashed);
    t.commit();
    return checked(accepted());
}

UserAnswer changePassword(db::Session &s, const QString &currentUser, const UserInput &raw)
{
    const UserInput in = trimmed(raw);
    if (UserAnswer r = srqkjy(s, in); !r.ok())
        return r;
    const QString current = trimSpaces(currentUser);
    if (current.isEmpty() || !sameUser(in.name, current))
        return checked(fail(current + QStringLiteral("：你不能修改与你无关人的密码"), UserField::Cmdedit, false));
    if (passwords::inUse(s, in.newPassword))
        return checked(fail(QStringLiteral("密码输入错误。"), UserField::Txtnewpass, true));
    const QString hashed = passwords::hash(in.newPassword);
    s.exec(QStringLiteral("update yckpass set passwods = ? where passuser = ?"), hashed, in.name);
    return checked(accepted());
}

UserAnswer removeUser(db::Session &s, const QString &currentUser, const UserInput &raw)
{
    const UserInput in = trimmed(raw);
    if (in.name.isEmpty())
        return fail(QStringLiteral("请指定用户"), UserField::Cboyhmc, false);
    const QString current = trimSpaces(currentUser);
    if (current.isEmpty() || !sameUser(in.name, current))
        return fail(current + QStringLiteral("：你不能剥夺他人的使用权利。"), UserField::Cmddele, false);
    if (in.oldPassword.isEmpty())
        return fail(QStringLiteral("请输入用户密码"), UserField::Txtoldpass, false);
    const auto stored = storedHash(s, in.name);
    if (!stored)
        return fail(QStringLiteral("用户名称错误"), UserField::Cboyhmc, true);
    if (!passwords::verify(*stored, in.oldPassword))
        return fail(QStringLiteral("用户密码错误"), UserField::Txtoldpass, true);
    s.exec(QStringLiteral("delete from yckpass where passuser = ? and passwods = ?"), in.name, *stored);
    return accepted();
}

} // namespace qh::maint
