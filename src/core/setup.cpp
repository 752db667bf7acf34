#include "core/setup.h"
#include "core/passwords.h"
#include "base/textutil.h"

#include <QFile>
#include <QImage>

namespace qh::setup {

std::optional<QByteArray> StorePictureFile(QIODevice &device)
{
    if (!device.isOpen() && !device.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (!device.isSequential())
        device.seek(0);
    const qint64 length = device.size();
    if (length <= 0)
        return std::nullopt;
    QByteArray field;
    field.reserve(length);
    const qint64 fullChunks = length / PictureChunk;
    const qint64 rest = length % PictureChunk;
    for (qint64 i = 0; i < fullChunks; ++i) {
        const QByteArray chunk = device.read(PictureChunk);
        if (chunk.size() != PictureChunk)
            return std::nullopt; // the file shrank while it was read
        field.append(chunk);
    }
    if (rest > 0) {
        const QByteArray chunk = device.read(rest);
        if (chunk.size() != rest)
            return std::nullopt;
        field.append(chunk);
    }
    return field;
}

std::optional<QByteArray> StorePictureFile(const QString &fileName)
{
    if (fileName.isEmpty())
        return std::nullopt;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return StorePictureFile(file);
}

QString emptyFileMessage(const QString &fileName) { return fileName + QStringLiteral("无 内 容 或 不 存 在 !"); }

bool isPicture(const QByteArray &bytes) { return !bytes.isEmpty() && !QImage::fromData(bytes).isNull(); }

Status loadStatus(db::Session &s)
{
    Status r;
    auto st = s.query(QStringLiteral("select xt001, xt006, xt007 from xtzlqk order by rowid limit 1"));
    if (st.next()) {
        r.hasRow = true;
        r.unit = trimSpaces(st.text(0));
        r.firstUser = trimSpaces(st.text(1));
        r.picture = st.blob(2);
    }
    return r;
}

QByteArray storedBackground(db::Session &s)
{
    auto st = s.query(QStringLiteral("select xt007 from xtzlqk order by rowid limit 1"));
    return st.next() ? st.blob(0) : QByteArray();
}

std::optional<QString> firstUser(db::Session &s)
{
    auto st = s.query(QStringLiteral("select passuser from yckpass order by rowid limit 1"));
    if (!st.next())
        return std::nullopt;
    return st.text(0);
}

SetupVerdict checkEntries(const QString &unit, const QString &user, const QString &password, bool newUser)
{
    if (charCount(unit) <= 1)
        return refusal(QString(), SetupField::TxtYhdw, Select::end());
    if (charCount(user) <= 1)
        return refusal(ShortUserName, SetupField::TxtYhxm, Select::end());
    if (newUser && charCount(password) <= 3)
        return refusal(ShortPassword, SetupField::TxtPass, Select::end());
    return std::nullopt;
}

SetupVerdict unitOnEnter(const QString &unit)
{
    if (charCount(unit) < 2)
        return refusal(QString(), SetupField::TxtYhdw, Select::none());
    return std::nullopt;
}

SetupVerdict userOnEnter(const QString &user)
{
    if (charCount(user) < 2)
        return refusal(QString(), SetupField::TxtYhxm, Select::none());
    return std::nullopt;
}

SetupVerdict passwordOnEnter(const QString &password)
{
    if (charCount(password) < 4)
        return refusal(ShortPasswordOnEnter, SetupField::TxtPass, Select::end());
    return std::nullopt;
}

void save(db::Session &s, const SaveInput &in)
{
    // Hashing takes a moment; do it before the write lock is taken.
    const QString hashed = in.newUser ? passwords::hash(in.password) : QString();
    db::Transaction t(s);
    std::optional<qint64> row;
    {
        auto st = s.query(QStringLiteral("select rowid from xtzlqk order by rowid limit 1"));
        if (st.next())
            row = st.int64(0);
    }
    if (!row) {
        s.exec(QStringLiteral("insert into xtzlqk(xt001, xt006, xt007) values(?, ?, ?)"), in.unit, in.user,
               in.picture);
    } else if (in.picture) {
        s.exec(QStringLiteral("update xtzlqk set xt001 = ?, xt006 = ?, xt007 = ? where rowid = ?"), in.unit, in.user,
               *in.picture, *row);
    } else {
        s.exec(QStringLiteral("update xtzlqk set xt001 = ?, xt006 = ? where rowid = ?"), in.unit, in.user, *row);
    }
    if (in.newUser
        && s.scalarInt(QStringLiteral("select count(*) from yckpass where passuser = ?"), in.user) == 0) {
        s.exec(QStringLiteral("insert into yckpass(passuser, passwods, passpids) values(?, ?, 1)"), in.user, hashed);
    }
    t.commit();
}

} // namespace qh::setup
