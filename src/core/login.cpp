#include "core/login.h"
#include "core/modutarnxt.h"
#include "core/passwords.h"
#include "core/textutil.h"

namespace qh::login {

QStringList seekusename()
{
    QStringList names;
    db::Session s = Modutarnxt::openClinic();
    auto st = s.query(QStringLiteral("select passuser from yckpass order by rowid"));
    while (st.next()) {
        if (!st.isNull(0))
            names << st.text(0);
    }
    return names;
}

bool hasUsers()
{
    db::Session s = Modutarnxt::openClinic();
    auto st = s.query(QStringLiteral("select passuser from yckpass order by rowid limit 1"));
    return st.next() && !st.isNull(0);
}

bool tooShort(const QString &password) { return trimSpaces(password).size() <= 3; }

PasswordCheck seekpassword(const QString &user, const QString &password)
{
    PasswordCheck r;
    const QString name = trimSpaces(user);
    const QString pass = trimSpaces(password);
    db::Session s = Modutarnxt::openClinic();
    QString matchedHash;
    {
        auto st = s.query(QStringLiteral("select passwods, passpids from yckpass where passuser = ?"), name);
        while (st.next()) {
            if (passwords::verify(st.text(0), pass)) {
                matchedHash = st.text(0);
                r.flagText = trimSpaces(st.text(1));
                r.passjy = 0;
                break;
            }
        }
    }
    if (r.passjy == 0 && passwords::needsRehash(matchedHash)) {
        // Only this row and only if nobody changed it meanwhile; a failure here must not
        // refuse a correct login, the old hash simply stays until the next one.
        try {
            s.exec(QStringLiteral("update yckpass set passwods = ? where passuser = ? and passwods = ?"),
                   passwords::hash(pass), name, matchedHash);
        } catch (const DbError &) {
        }
    }
    return r;
}

Outcome LoginAttempts::press(const QString &user, const QString &password)
{
    if (tooShort(password))
        return Outcome::TooShort;
    Modutarnxt::CurrentUser.clear();
    ++m_count;
    lastCheck = seekpassword(user, password);
    const bool found = lastCheck.passjy == 0;
    if (m_count >= 4)
        return Outcome::Refused; // from the fourth counted press even a correct password is refused
    if (found) {
        LoginSucceeded = true;
        return Outcome::Succeeded;
    }
    return Outcome::TryAgain;
}

} // namespace qh::login
