#pragma once
// How user passwords are kept: never as typed, but as a salted Argon2id hash string. A password
// is compared in its NFKC-normalised, case-folded form, so a password typed in another letter
// case or in full-width mode is the same password.
#include "db/session.h"

#include <QString>
#include <optional>

namespace qh::passwords {

// The form that is hashed: NFKC-normalised, then case-folded.
QString canonical(const QString &password);

// A new salted hash string of the password (interactive limits).
QString hash(const QString &password);

// True when the password matches the stored hash string. A stored value that is not a hash
// string matches nothing.
bool verify(const QString &storedHash, const QString &password);

// True when the stored hash was made with other limits than the current ones.
bool needsRehash(const QString &storedHash);

// What the setup window shows in place of a stored password.
QString maskedPlaceholder();

// True when any user of the table already has this password (every stored hash is checked).
bool inUse(db::Session &session, const QString &password);

} // namespace qh::passwords
