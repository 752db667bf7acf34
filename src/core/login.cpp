#include "core/login.h"
#include "core/modutarnxt.h"
#include "core/passwords.h"
#include "base/textutil.h"

namespace qh::login {

QStringList seekusename(db::Session &s)
{
    QStringList names;
    auto st = s.query(QStringLiteral("select passuser from yckpass order by rowid"));
    while (st.next()) {
        if (!st.isNull(0))
            names << st.text(0);
    }
    return names;
}

bool hasUsers(db::Session &s)
{
    auto st = s.query(QStringLiteral("select passuser from yckpass order by rowid limit 1"));
    return st.next() && !st.isNull(0);
}

bool tooShort(const QString &password) { return charCount(trimSpaces(password)) <= 3; }

LoginVerdict userOnEnter(const QString &user)
{
    if (user.isEmpty())
        return refusal(QString(), LoginField::Cboyhmc, Select::none());
    return std::nullopt;
}

LoginVerdict passwordOnEnter(const QString &password)
{
    if (tooShort(password))
        return refusal(TooShortOnEnter, LoginField::Txtpass, Select::head(3));
    return std::nullopt;
}

Refusal<LoginField> refusalOf(Outcome outcome)
{
    if (outcome == Outcome::TryAgain) {
        Refusal<LoginField> r = refusal(TryAgain, LoginField::Txtpass).withIcon(MsgIcon::None);
        r.title = Title;
        return r;
    }
    // Too short: the focus stays on the button that was pressed.
    return refusal(TooShortOnOk, LoginField::cmdOK, Select::none());
}

std::optional<QString> seekpassword(db::Session &s, const QString &user, const QString &password)
{
    std::optional<QString> flag;
    const QString name = trimSpaces(user);
    const QString pass = trimSpaces(password);
    QString matchedHash;
    {
        auto st = s.query(QStringLiteral("select passwods, passpids from yckpass where passuser = ?"), name);
        while (st.next()) {
            if (passwords::verify(st.text(0), pass)) {
                matchedHash = st.text(0);
                flag = trimSpaces(st.text(1));
                break;
            }
        }
    }
    if (flag && passwords::needsRehash(matchedHash)) {
        // Only this row and only if nobody changed it meanwhile; a failure here must not
        // refuse a correct login, the old hash simply stays until the next one.
        try {
            s.exec(QStringLiteral("update yckpass set passwods = ? where passuser = ? and passwods = ?"),
                   passwords::hash(pass), name, matchedHash);
        } catch (const DbError &) {
        }
    }
    return flag;
}

Outcome LoginAttempts::press(const db::Store &store, const QString &user, const QString &password)
{
    if (tooShort(password))
        return Outcome::TooShort;
    Modutarnxt::CurrentUser.clear();
    ++m_count;
    {
        db::Session s = store.open();
        lastFlag = seekpassword(s, user, password);
    }
    const bool found = lastFlag.has_value();
    if (m_count >= 4)
        return Outcome::Refused; // from the fourth counted press even a correct password is refused
    if (found) {
        LoginSucceeded = true;
        return Outcome::Succeeded;
    }
    return Outcome::TryAgain;
}

} // namespace qh::login
