#include "core/passwords.h"

#include <sodium.h>

#include <stdexcept>

namespace qh::passwords {

namespace {

void ensureSodium()
{
    static const bool ready = [] { return sodium_init() >= 0; }();
    if (!ready)
        throw std::runtime_error("libsodium could not be initialised");
}

} // namespace

QString canonical(const QString &password)
{
    return password.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

QString hash(const QString &password)
{
    ensureSodium();
    const QByteArray bytes = canonical(password).toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, bytes.constData(), static_cast<unsigned long long>(bytes.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        throw DbError(err::General, QStringLiteral("内存不足，无法保存密码。"));
    return QString::fromLatin1(out);
}

bool verify(const QString &storedHash, const QString &password)
{
    ensureSodium();
    const QByteArray stored = storedHash.toLatin1();
    if (stored.isEmpty() || stored.size() >= crypto_pwhash_STRBYTES || !stored.startsWith("$argon2"))
        return false;
    const QByteArray bytes = canonical(password).toUtf8();
    return crypto_pwhash_str_verify(stored.constData(), bytes.constData(),
                                    static_cast<unsigned long long>(bytes.size()))
        == 0;
}

bool needsRehash(const QString &storedHash)
{
    ensureSodium();
    const QByteArray stored = storedHash.toLatin1();
    if (stored.size() >= crypto_pwhash_STRBYTES)
        return true;
    return crypto_pwhash_str_needs_rehash(stored.constData(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                          crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0;
}

QString maskedPlaceholder() { return QStringLiteral("********"); }

bool inUse(db::Session &session, const QString &password)
{
    auto st = session.query(QStringLiteral("select passwods from yckpass"));
    while (st.next()) {
        if (verify(st.text(0), password))
            return true;
    }
    return false;
}

} // namespace qh::passwords
