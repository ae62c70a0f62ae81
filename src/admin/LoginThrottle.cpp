#include "admin/LoginThrottle.h"

#include "core/Database.h"
#include "core/SqlDialect.h"
#include "core/TransactionGuard.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {

const char* const kCreateTable = "CREATE TABLE IF NOT EXISTS login_failures ("
                                 "name TEXT PRIMARY KEY, "
                                 "failures INTEGER NOT NULL DEFAULT 0, "
                                 "blocked_until INTEGER NOT NULL DEFAULT 0, "
                                 "last_failure INTEGER NOT NULL DEFAULT 0)";

} // namespace

LoginThrottle::LoginThrottle(Database* db)
    : m_db(db)
    , m_clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    if (m_db && m_db->connection().isOpen()) {
        QSqlDatabase connection = m_db->connection();
        createTable(connection);
    }
}

bool LoginThrottle::createTable(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    if (query.exec(QLatin1String(kCreateTable)))
        return true;
    if (error)
        *error = query.lastError();
    return false;
}

qint64 LoginThrottle::waitFor(const QString& name) const
{
    const QVariant until = m_db->scalar(
        QStringLiteral("SELECT blocked_until FROM login_failures WHERE name = ?"), {name});
    if (!until.isValid() || until.isNull())
        return 0;
    // A clock set back must not turn a wait into hours.
    return std::clamp<qint64>(until.toLongLong() - m_clock(), 0, kLongestWaitMs);
}

bool LoginThrottle::makeRoom(qint64 now)
{
    m_db->execNonQuery(QStringLiteral("DELETE FROM login_failures WHERE last_failure < ? AND "
                                      "blocked_until <= ?"),
                       {now - kForgetAfterMs, now});
    if (m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM login_failures")).toInt() < kMaxNames)
        return true;
    // The least telling count goes: fewest failures, then the oldest.
    return m_db->execNonQuery(
               QStringLiteral("DELETE FROM login_failures WHERE name = (SELECT name FROM "
                              "login_failures WHERE blocked_until <= ? ORDER BY failures, "
                              "last_failure LIMIT 1)"),
               {now}) &&
           m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM login_failures")).toInt() < kMaxNames;
}

void LoginThrottle::recordFailure(const QString& name)
{
    const qint64 now = m_clock();
    TransactionGuard tx(m_db);
    const QVariant failures =
        m_db->scalar(QStringLiteral("SELECT failures FROM login_failures WHERE name = ?"), {name});
    int count = failures.isValid() && !failures.isNull() ? failures.toInt() : 0;
    if (count == 0 &&
        m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM login_failures")).toInt() >= kMaxNames &&
        !makeRoom(now)) {
        // Every place holds a name that is waiting: the new name is not
        // counted, but neither is anyone's count lost.
        qWarning("Sign-in failure not counted: the table of failures is full");
        return;
    }
    ++count;
    qint64 blockedUntil = 0;
    if (count >= kFreeAttempts) {
        const int doublings = std::min(count - kFreeAttempts, 10);
        blockedUntil = now + std::min(kFirstWaitMs << doublings, kLongestWaitMs);
    }
    m_db->execNonQuery(
        SqlDialect::upsert(m_db->engine(), QStringLiteral("login_failures"),
                           {QStringLiteral("name"), QStringLiteral("failures"),
                            QStringLiteral("blocked_until"), QStringLiteral("last_failure")},
                           {QStringLiteral("name")}),
        {name, count, blockedUntil, now});
    tx.commit();
}

void LoginThrottle::recordSuccess(const QString& name)
{
    m_db->execNonQuery(QStringLiteral("DELETE FROM login_failures WHERE name = ?"), {name});
}
