#include "core/TransactionGuard.h"

#include "core/Database.h"
#include "core/PgSchema.h"

#include <QSqlError>
#include <QSqlQuery>

bool TransactionGuard::runPlain(const QString& sql)
{
    // A connection to a server known to be gone is not used: the write is
    // refused before its first statement, with the reason the page shows.
    if (m_db->m_serverLost) {
        emit m_db->databaseError(m_db->lostText());
        return false;
    }
    QSqlQuery query(m_db->connection());
    if (query.exec(sql))
        return true;
    emit m_db->databaseError(m_db->noteIfServerLost() ? m_db->lostText()
                                                      : query.lastError().text());
    return false;
}

TransactionGuard::TransactionGuard(Database* db)
    : m_db(db)
{
    if (!m_db)
        return;
    if (m_db->m_transactionDepth == 0) {
        // IMMEDIATE takes the write lock before the first statement, so the
        // checks a write makes inside the guard still hold when it writes:
        // no other connection can change those rows in between. On a server
        // the same comes from one advisory lock that every desk's writing
        // transaction takes first and the server lets go at its end. A
        // desk waits for it as long as a file's busy timeout and then gives
        // up, rather than holding its window until the other desk is done.
        if (m_db->isPostgres()) {
            m_active = runPlain(QStringLiteral("BEGIN"));
            if (m_active &&
                !runPlain(QStringLiteral("SELECT set_config('lock_timeout', '%1ms', true), "
                                         "pg_advisory_xact_lock(%2)")
                              .arg(m_db->writeWaitMs())
                              .arg(PgSchema::kWriteLock))) {
                runPlain(QStringLiteral("ROLLBACK"));
                m_active = false;
            }
        } else {
            m_active = runPlain(QStringLiteral("BEGIN IMMEDIATE"));
        }
    } else {
        m_savepoint = QStringLiteral("sakanova_sp_%1").arg(m_db->m_transactionDepth);
        m_active = runPlain(QStringLiteral("SAVEPOINT ") + m_savepoint);
    }
    if (m_active)
        ++m_db->m_transactionDepth;
}

TransactionGuard::~TransactionGuard()
{
    rollback();
}

bool TransactionGuard::commit()
{
    if (!m_active || m_finished)
        return false;
    const bool ok = runPlain(m_savepoint.isEmpty() ? QStringLiteral("COMMIT")
                                                   : QStringLiteral("RELEASE ") + m_savepoint);
    if (!ok)
        return false; // still open: the destructor rolls it back
    m_finished = true;
    --m_db->m_transactionDepth;
    return true;
}

void TransactionGuard::rollback()
{
    if (!m_active || m_finished)
        return;
    m_finished = true;
    if (m_savepoint.isEmpty()) {
        runPlain(QStringLiteral("ROLLBACK"));
    } else {
        runPlain(QStringLiteral("ROLLBACK TO ") + m_savepoint);
        runPlain(QStringLiteral("RELEASE ") + m_savepoint);
    }
    --m_db->m_transactionDepth;
}
