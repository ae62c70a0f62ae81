#pragma once

#include <QHash>
#include <QString>

#include <functional>

// Slows down password guessing: after five failed sign-ins for one user name
// that name must wait before it is tried again, twice as long after every
// further failure, up to a quarter of an hour. Kept in memory only; a
// successful sign-in clears the name's record.
class LoginThrottle
{
public:
    // Milliseconds on a clock that never goes backwards.
    using Clock = std::function<qint64()>;

    static constexpr int kFreeAttempts = 5;
    static constexpr qint64 kFirstWaitMs = 30 * 1000;
    static constexpr qint64 kLongestWaitMs = 15 * 60 * 1000;

    LoginThrottle();

    // Milliseconds until `name` may be tried again; 0 when it may be tried now.
    qint64 waitFor(const QString& name) const;
    void recordFailure(const QString& name);
    void recordSuccess(const QString& name);

    void setClock(Clock clock) { m_clock = std::move(clock); }

private:
    struct Entry
    {
        int failures = 0;
        qint64 blockedUntil = 0;
    };

    void forgetExpired();

    QHash<QString, Entry> m_entries;
    Clock m_clock;
};
