#include "core/BackendObject.h"

#include "core/Database.h"
#include "core/Reasons.h"

BackendObject::BackendObject(QObject* parent)
    : QObject(parent)
{}

void BackendObject::clearError()
{
    m_databaseError.clear();
    if (m_lastError.isEmpty())
        return;
    m_lastError.clear();
    emit lastErrorChanged();
}

bool BackendObject::refuse(const QString& reason)
{
    m_lastError = reason;
    emit lastErrorChanged();
    emit errorOccurred(reason);
    return false;
}

int BackendObject::refuseId(const QString& reason)
{
    refuse(reason);
    return -1;
}

void BackendObject::watchDatabase(Database* db)
{
    if (!db)
        return;
    connect(db, &Database::databaseError, this, [this](const QString& error) {
        // Reported even when the driver gives no text, so the failure is seen.
        m_databaseError = error.isEmpty() ? QStringLiteral("error") : error;
    });
}

bool BackendObject::refuseDatabase()
{
    return refuse(Reasons::database(m_databaseError));
}

int BackendObject::refuseDatabaseId()
{
    refuseDatabase();
    return -1;
}

bool BackendObject::refuseRemoval()
{
    return refuse(Reasons::removal(m_databaseError));
}

bool BackendObject::refuseMissing()
{
    return databaseFailed() ? refuseDatabase() : refuse(Reasons::notFound());
}

int BackendObject::refuseMissingId()
{
    refuseMissing();
    return -1;
}
