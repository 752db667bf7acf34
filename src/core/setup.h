#pragma once
// The logic of the setup window "系统资料登录": the clinic's short name, the first user and the
// background picture. No widgets.
#include "db/session.h"
#include "core/refusal.h"

#include <QByteArray>
#include <QString>
#include <optional>

class QIODevice;

namespace qh::setup {

inline constexpr qint64 PictureChunk = 4096;

// Reads the whole device from its start in chunks of 4096 bytes: as many full chunks as the
// length holds, then the remaining bytes as one last chunk. Nothing when the length is 0.
std::optional<QByteArray> StorePictureFile(QIODevice &device);
// The same for a file; nothing when it is empty, missing or cannot be read.
std::optional<QByteArray> StorePictureFile(const QString &fileName);
// The message for a file that gave nothing.
QString emptyFileMessage(const QString &fileName);

// True when the bytes decode as a picture.
bool isPicture(const QByteArray &bytes);

// What the window shows when it opens.
struct Status {
    bool hasRow = false;
    QString unit;         // xt001 trimmed
    QString firstUser;    // xt006 trimmed
    QByteArray picture;   // xt007, empty when Null
};
Status loadStatus(db::Session &s); // throws DbError

// The stored background picture of the first status row (empty when none). Throws DbError.
QByteArray storedBackground(db::Session &s);

// The name of the first user of the user table, nothing when there is none. Throws DbError.
std::optional<QString> firstUser(db::Session &s);

// The controls of the setup window the checks name.
enum class SetupField { TxtYhdw, TxtYhxm, TxtPass };
using SetupVerdict = Verdict<SetupField>;

inline const QString ShortUserName = QStringLiteral("用户名称不能少于2位字符");
inline const QString ShortPassword = QStringLiteral("系统密码不能少于4位字符");
inline const QString ShortPasswordOnEnter = QStringLiteral("为了系统安全，请输入4位以上密码");
inline const QString FirstRunNotice = QStringLiteral("首次进入系统后，用户名称、密码将作为系统今后使用密码");
inline const QString RestartRequest = QStringLiteral("请重新启动系统");

// The entry check of "确定退出": unit, user and password already trimmed. The password is
// looked at only when a new first user is being set up. A refusal puts the caret at the end
// of the box (a message only for the user name and the password). Lengths count characters.
SetupVerdict checkEntries(const QString &unit, const QString &user, const QString &password, bool newUser);

// Enter in the boxes: the unit and the user move on from 2 characters, the password from 4
// ("为了系统安全，请输入4位以上密码" below that).
SetupVerdict unitOnEnter(const QString &unit);
SetupVerdict userOnEnter(const QString &user);
SetupVerdict passwordOnEnter(const QString &password);

struct SaveInput {
    QString unit;
    QString user;
    QString password;
    bool newUser = false;                 // no user existed: add one with this password
    std::optional<QByteArray> picture;    // a new background picture, when one was chosen
};

// Stores the status row (and the first user) in one transaction. Throws DbError.
void save(db::Session &s, const SaveInput &in);

} // namespace qh::setup
