#pragma once
// The logic of the login window: the user list, the password check and the three counted
// tries. No widgets; the window only moves values and shows what this decides.
#include "core/refusal.h"
#include "db/store.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace qh::login {

inline const QString TooShortOnEnter = QStringLiteral("请输入四位字符以上密码");
inline const QString TooShortOnOk = QStringLiteral("请输入四位以上密码");
inline const QString TryAgain = QStringLiteral("无效的密码，再试一次！");
inline const QString Refused = QStringLiteral("非法用户，你无权使用本系统！");
inline const QString Title = QStringLiteral("登录");

// Every user name, in the table's order. Throws DbError.
QStringList seekusename(db::Session &s);

// True when at least one user may log in. Throws DbError.
bool hasUsers(db::Session &s);

// A password that is too short to be tried (3 characters or fewer after trimming).
bool tooShort(const QString &password);

// The controls of the login window the checks name.
enum class LoginField { Cboyhmc, Txtpass, cmdOK };
using LoginVerdict = Verdict<LoginField>;

// Enter in the user list: moves on only when a user is shown.
LoginVerdict userOnEnter(const QString &user);
// Enter in the password box: a too short password is refused, its first three characters selected.
LoginVerdict passwordOnEnter(const QString &password);

// Checks the user and the password (both trimmed): the passpids flag of the user found
// (trimmed), nothing when none matches. A hash made with older limits is made again with the
// current ones. Throws DbError.
std::optional<QString> seekpassword(db::Session &s, const QString &user, const QString &password);

enum class Outcome {
    TooShort,  // not counted, nothing looked up
    Succeeded, // CurrentUser may be set and the menus enabled
    TryAgain,  // wrong password, another try is allowed
    Refused,   // fourth counted press or later: the program ends
};

// What the window shows for an outcome that keeps the login window open (TooShort, TryAgain).
Refusal<LoginField> refusalOf(Outcome outcome);

// The presses of the OK button for as long as the login window lives.
class LoginAttempts {
public:
    // One press of OK; a counted press opens one session of the store. Throws DbError (the
    // press stays counted).
    Outcome press(const db::Store &store, const QString &user, const QString &password);
    int count() const { return m_count; }
    bool LoginSucceeded = false;
    std::optional<QString> lastFlag; // the flag of the user found by the last counted press

private:
    int m_count = 0;
};

} // namespace qh::login
