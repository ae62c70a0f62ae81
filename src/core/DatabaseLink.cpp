// The server connection's health: noticing that it broke, refusing every
// statement while it stays broken, and opening it again.
#include "core/Database.h"

#include "core/AuditTrail.h"
#include "core/PgReader.h"

#include <QMutexLocker>
#include <QSqlDriver>
#include <QSqlQuery>

#include <libpq-fe.h>

bool Database::attachServerReader()
{
    PGconn* handle = isPostgres() && m_keepServerReads ? PgReader::connectionOf(m_db) : nullptr;
    // A QtSql statement still reading its rows keeps the connection busy.
    if (handle && PQtransactionStatus(handle) == PQTRANS_ACTIVE)
        handle = nullptr;
    if (handle)
        m_pgReader.attach(handle);
    return handle != nullptr;
}

QString Database::serverUnreachableMarker()
{
    return QStringLiteral("server unreachable: ");
}

QString Database::lostText() const
{
    return serverUnreachableMarker() + QStringLiteral("no connection to the server");
}

bool Database::noteIfServerLost()
{
    if (!isPostgres())
        return false;
    if (m_serverLost)
        return true;
    // A statement the server refused leaves the connection as it was; one
    // the server never answered leaves it broken.
    if (m_db.isOpen()) {
        PGconn* handle = PgReader::connectionOf(m_db);
        if (!handle || PQstatus(handle) == CONNECTION_OK)
            return false;
    }
    m_serverLost = true;
    emit connectionLost();
    return true;
}

bool Database::checkServer()
{
    QMutexLocker lock(&m_mutex);
    if (!isPostgres())
        return true;
    if (m_serverLost)
        return false;
    // A write under way finds out through its own statements.
    if (m_transactionDepth > 0)
        return true;
    QSqlQuery query(m_db);
    if (query.exec(QStringLiteral("SELECT 1")))
        return true;
    if (noteIfServerLost())
        return false;
    // Answered with an error, so the server is there.
    emit databaseError(query.lastError().text());
    return true;
}

bool Database::noteIfConnectionBroken()
{
    QMutexLocker lock(&m_mutex);
    if (!isPostgres())
        return false;
    if (m_serverLost)
        return true;
    if (m_transactionDepth > 0)
        return false;
    // What the driver has read for the change feed tells whether the
    // server closed the session; nothing is sent.
    PGconn* handle = PgReader::connectionOf(m_db);
    if (handle && PQstatus(handle) == CONNECTION_OK)
        return false;
    return noteIfServerLost();
}

void Database::noteServerUnreachable()
{
    QMutexLocker lock(&m_mutex);
    if (!isPostgres() || m_serverLost || m_transactionDepth > 0)
        return;
    m_serverLost = true;
    emit connectionLost();
}

bool Database::reconnect()
{
    QMutexLocker lock(&m_mutex);
    if (!isPostgres())
        return true;
    if (m_transactionDepth > 0)
        return false;
    closeConnection();
    if (!m_db.open())
        return false;
    DatabaseSettings::useLocalTimeZone(m_db);
    QSqlQuery query(m_db);
    bool ok = query.exec(QStringLiteral("SET client_min_messages TO warning"));
    if (ok && m_restartPending)
        ok = query.exec(QStringLiteral("SET default_transaction_read_only = on"));
    // The signed-in user is set on the new session as on the old one, so no
    // write after the loss is audited for nobody or slips past a pending
    // password change.
    QString error;
    if (ok && (m_actingUserId > 0 || m_passwordChangePending))
        ok = AuditTrail::setActingUser(m_db, m_actingUserId, m_passwordChangePending, &error);
    if (!ok) {
        closeConnection();
        return false;
    }
    m_serverLost = false;
    return true;
}
