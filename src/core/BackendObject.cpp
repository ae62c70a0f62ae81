#include "core/BackendObject.h"

BackendObject::BackendObject(QObject* parent)
    : QObject(parent)
{}

void BackendObject::clearError()
{
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
