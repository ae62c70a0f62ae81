#include "core/ServerLink.h"

#include "core/ChangeFeed.h"
#include "core/Database.h"
#include "core/Reasons.h"

#include <algorithm>

ServerLink::ServerLink(Database* db, ChangeFeed* feed, QObject* parent)
    : QObject(parent)
    , m_db(db)
    , m_feed(feed)
{
    m_check.setInterval(kCheckMs);
    connect(&m_check, &QTimer::timeout, this, &ServerLink::check);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &ServerLink::retry);
    if (!m_db->isPostgres())
        return;
    // Queued: the loss is noticed inside a statement, under the database's
    // lock, and is acted on once that statement has returned.
    connect(m_db, &Database::connectionLost, this, &ServerLink::lost, Qt::QueuedConnection);
    m_check.start();
    if (m_db->serverLost())
        QMetaObject::invokeMethod(this, &ServerLink::lost, Qt::QueuedConnection);
}

QString ServerLink::message() const
{
    return m_reachable ? QString() : Reasons::serverReconnecting();
}

void ServerLink::setTimings(int checkMs, int firstRetryMs, int longestRetryMs)
{
    m_check.setInterval(checkMs);
    m_firstRetryMs = firstRetryMs;
    m_longestRetryMs = longestRetryMs;
    if (m_reachable)
        m_retryMs = firstRetryMs;
}

void ServerLink::check()
{
    if (m_reachable)
        m_db->checkServer(); // a loss comes back through connectionLost
}

void ServerLink::lost()
{
    if (!m_reachable || !m_db->serverLost())
        return;
    m_reachable = false;
    m_retryMs = m_firstRetryMs;
    m_check.stop();
    emit reachableChanged();
    m_retry.start(m_retryMs);
}

void ServerLink::retry()
{
    if (!m_db->reconnect()) {
        m_retryMs = std::min(m_retryMs * 2, m_longestRetryMs);
        m_retry.start(m_retryMs);
        return;
    }
    m_reachable = true;
    m_retryMs = m_firstRetryMs;
    m_check.start();
    m_feed->subscribe();
    emit reachableChanged();
    // What the other desks wrote meanwhile went unannounced.
    m_feed->refreshAll();
    emit reconnected();
}
