#include "core/PasswordHash.h"

#include "core/FreeMemory.h"

#include <sodium.h>

#include <QByteArray>

namespace {

// Argon2id at 46 MiB and three passes, where libsodium's "interactive"
// limits are 64 MiB and two: a guesser pays more memory-time per guess than
// before (138 against 128 MiB-passes), and a sign-in stacks 18 MiB less on
// the window's working set. Hashes made at the old limits are made again at
// the next sign-in.
constexpr unsigned long long kOpsLimit = 3;
constexpr size_t kMemLimit = size_t(46) * 1024 * 1024;

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// Argon2 maps its memory for the length of one call and unmaps it after.
// Freed heap blocks still count as resident until given back, so they are
// given back first and the call's memory is not stacked on them.
void makeRoomForArgon2()
{
    FreeMemory::giveBackFreedHeap();
}

} // namespace

QString PasswordHash::hash(const QString& password)
{
    if (!sodiumReady())
        return {};
    const QByteArray utf8 = password.toUtf8();
    makeRoomForArgon2();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                          kOpsLimit, kMemLimit) != 0)
        return {};
    return QString::fromLatin1(out);
}

bool PasswordHash::verify(const QString& storedHash, const QString& password)
{
    if (!sodiumReady() || !isHash(storedHash))
        return false;
    const QByteArray encoded = storedHash.toLatin1();
    const QByteArray utf8 = password.toUtf8();
    makeRoomForArgon2();
    return crypto_pwhash_str_verify(encoded.constData(), utf8.constData(),
                                    static_cast<unsigned long long>(utf8.size())) == 0;
}

bool PasswordHash::isHash(const QString& stored)
{
    return stored.startsWith(QLatin1String("$argon2id$")) && stored.size() < crypto_pwhash_STRBYTES;
}

bool PasswordHash::needsRehash(const QString& storedHash)
{
    if (!sodiumReady())
        return false;
    const QByteArray encoded = storedHash.toLatin1();
    return crypto_pwhash_str_needs_rehash(encoded.constData(), kOpsLimit, kMemLimit) != 0;
}

const QString& PasswordHash::dummyHash()
{
    // Made once with crypto_pwhash_str at the limits above from 32
    // random bytes that were never kept; the same cost to verify as any
    // stored password. Made again should those limits ever change.
    static const QString dummy = [] {
        const QString written =
            QStringLiteral("$argon2id$v=19$m=47104,t=3,p=1$qftJfEi5Q37oO5nkzZjW4A$"
                           "dmbOY2pZMNLK89IDy3yn067FL4kPdfC6Bq1Ba5s5Mx4");
        if (!sodiumReady() || !needsRehash(written))
            return written;
        QByteArray secret(32, '\0');
        randombytes_buf(secret.data(), static_cast<size_t>(secret.size()));
        return hash(QString::fromLatin1(secret.toHex()));
    }();
    return dummy;
}
