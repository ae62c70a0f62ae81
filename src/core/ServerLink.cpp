#include "core/ServerLink.h"

#include "core/ChangeFeed.h"
#include "core/Database.h"
#include "core/Reasons.h"

#include <QSqlDatabase>

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

ServerLink::~ServerLink()
{
    if (m_probe)
        m_probe->wait();
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
    // A host that does not answer would keep the window waiting for the
    // whole connect timeout; only a server that answered the trial
    // connection is opened again on the window's thread.
    if (m_probe && m_probe->isRunning())
        return;
    if (m_probe)
        m_probe->wait();
    const DatabaseSettings settings = m_db->settings();
    static QAtomicInt serial;
    const QString name = QStringLiteral("sakanova_probe_%1").arg(serial.fetchAndAddRelaxed(1) + 1);
    m_probe.reset(QThread::create([this, settings, name] {
        QString error;
        const bool answered = settings.openConnection(name, &error);
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
        QMetaObject::invokeMethod(
            this, [this, answered] { probed(answered); }, Qt::QueuedConnection);
    }));
    m_probe->start();
}

void ServerLink::probed(bool answered)
{
    if (!answered || !m_db->reconnect()) {
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
