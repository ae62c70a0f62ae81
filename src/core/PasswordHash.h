#pragma once

#include <QString>

// Argon2id password strings (libsodium's crypto_pwhash_str format). Used by
// the seed of a new database and by the sign-in code; nothing else ever sees
// a password in clear.
class PasswordHash
{
public:
    // The encoded hash string, or an empty string when hashing failed.
    static QString hash(const QString& password);
    static bool verify(const QString& storedHash, const QString& password);
    // True when `stored` is a hash string this class wrote (and not a
    // plain-text password left by an older database).
    static bool isHash(const QString& stored);
    static bool needsRehash(const QString& storedHash);
    // A hash made with the current parameters of a random secret that was
    // thrown away. Sign-in verifies against it when the name is unknown, so
    // the answer takes as long as for a known name with a wrong password;
    // being written out, it costs nothing at start-up.
    static const QString& dummyHash();
};
