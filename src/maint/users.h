#pragma once
// The logic of the user and password window "系统密码维护": adding a user, changing the
// logged-in user's password and letting that user remove himself. No widgets.
#include <QString>
#include <QStringList>

namespace qh::maint {

// The four entries of the window; every operation trims them first.
struct UserInput {
    QString name;
    QString oldPassword;
    QString newPassword;
    QString repeated;
};
UserInput trimmed(const UserInput &in);

enum class UserBox { None, Cboyhmc, Txtoldpass, Txtnewpass, Txtpassnew };

// The answer of a check or a command: accepted, or the first rule that failed.
struct UserResult {
    bool ok = true;
    QString message;            // "" when accepted
    bool plain = false;         // box with OK only and no icon (else the information box)
    UserBox focus = UserBox::None;
    bool selectAll = false;     // select the whole text of the focused box
    bool clearNewPasswords = false;
    bool inputAccepted = false; // the input check (srqkjy) passed
};

inline constexpr int MaxNameLength = 20;

// The user names, in the table's order. Throws DbError.
QStringList userNames();

// Whether a user of that name exists (trimmed; letter case ignored). Throws DbError.
bool isKnown(const QString &name);

// The input check shared by adding and changing (srqkjy). Throws DbError.
UserResult srqkjy(const UserInput &in);

// Adds a user. Throws DbError.
UserResult addUser(const UserInput &in);
// Changes the logged-in user's password. Throws DbError.
UserResult changePassword(const QString &currentUser, const UserInput &in);
// Removes the logged-in user. Throws DbError.
UserResult removeUser(const QString &currentUser, const UserInput &in);

} // namespace qh::maint
