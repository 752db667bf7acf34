#pragma once
// The logic of the user and password window "系统密码维护": adding a user, changing the
// logged-in user's password and letting that user remove himself. No widgets.
#include "db/session.h"
#include "core/refusal.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace qh::maint {

// The four entries of the window; every operation trims them first.
struct UserInput {
    QString name;
    QString oldPassword;
    QString newPassword;
    QString repeated;
};
UserInput trimmed(const UserInput &in);

// The controls of the user window the checks name. A refusal of the command itself leaves the
// focus on its button (Cmdedit, Cmddele); one that clears others empties both new passwords.
enum class UserField { Cboyhmc, Txtoldpass, Txtnewpass, Txtpassnew, Cmdedit, Cmddele };
using UserVerdict = Verdict<UserField>;

// The answer of a check or a command: accepted, or the first rule that failed.
struct UserAnswer {
    UserVerdict refusal;
    bool inputAccepted = false; // the input check (srqkjy) passed
    bool ok() const { return !refusal; }
};

inline constexpr int MaxNameLength = 20;

// The user names, in the table's order. Throws DbError.
QStringList userNames(db::Session &s);

// Whether a user of that name exists (trimmed; letter case ignored). Throws DbError.
bool isKnown(db::Session &s, const QString &name);

// Enter in the name box: the old password of a known user (its text selected) or the new
// password of a new one; nothing for an empty name. Throws DbError.
std::optional<UserField> nextAfterName(db::Session &s, const QString &name);
// Enter in the password boxes: the old and the new password move on when not empty; the
// repeated password always moves on to 保存B.
UserVerdict filledOnEnter(UserField box, const QString &text);

// The input check shared by adding and changing (srqkjy); lengths count characters. Throws DbError.
UserAnswer srqkjy(db::Session &s, const UserInput &in);

// Adds a user. Throws DbError.
UserAnswer addUser(db::Session &s, const UserInput &in);
// Changes the logged-in user's password. Throws DbError.
UserAnswer changePassword(db::Session &s, const QString &currentUser, const UserInput &in);
// Removes the logged-in user. Throws DbError.
UserAnswer removeUser(db::Session &s, const QString &currentUser, const UserInput &in);

} // namespace qh::maint
