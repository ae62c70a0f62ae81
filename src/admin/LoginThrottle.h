#pragma once

#include <QSqlDatabase>
#include <QString>

#include <functional>

class Database;
class QSqlError;

// Slows down password guessing: after five failed sign-ins for one user name
// that name must wait before it is tried again, twice as long after every
// further failure, up to a quarter of an hour. The counts live in the
// database (table login_failures), so closing and starting the program
// gives no fresh guesses; a successful sign-in clears the name's count.
//
// The table is bounded: when it is full, counts older than a day go first,
// then the smallest counts that are not waiting. A name that is waiting is
// never forgotten to make room, so guesses spread over many other names do
// not wipe out a victim's count.
class LoginThrottle
{
public:
    // Milliseconds of wall-clock time (since the epoch), kept across starts.
    using Clock = std::function<qint64()>;

    static constexpr int kFreeAttempts = 5;
    static constexpr qint64 kFirstWaitMs = 30 * 1000;
    static constexpr qint64 kLongestWaitMs = 15 * 60 * 1000;
    static constexpr int kMaxNames = 10000;
    static constexpr qint64 kForgetAfterMs = 24LL * 60 * 60 * 1000;

    explicit LoginThrottle(Database* db);

    // The table of counts; part of every file's layout.
    static bool createTable(QSqlDatabase& db, QSqlError* error = nullptr);

    // Milliseconds until `name` may be tried again; 0 when it may be tried now.
    qint64 waitFor(const QString& name) const;
    void recordFailure(const QString& name);
    void recordSuccess(const QString& name);

    void setClock(Clock clock) { m_clock = std::move(clock); }

private:
    // Frees one place for a new name; false when every kept count is one
    // that must not be forgotten yet.
    bool makeRoom(qint64 now);

    Database* m_db;
    Clock m_clock;
};
