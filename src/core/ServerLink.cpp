#include "core/ServerLink.h"

#include "core/ChangeFeed.h"
#include "core/Database.h"
#include "core/Reasons.h"

#include <QSqlDatabase>
#include <QSqlQuery>

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
    if (m_feed)
        connect(m_feed, &ChangeFeed::restoreElsewhereChanged, this,
                &ServerLink::restoreElsewhereChanged);
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

bool ServerLink::restoreElsewhere() const
{
    return m_feed && m_feed->restoreElsewhere();
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
    if (!m_reachable)
        return;
    // A session the server has closed is seen without a round trip; an
    // answer that does not come is waited for on the probe's thread.
    if (m_db->noteIfConnectionBroken())
        return;
    startProbe();
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
    // connection is opened again on the window's thread. A trial still
    // under way answers for this attempt.
    startProbe();
}

std::unique_ptr<QThread> ServerLink::probe(const DatabaseSettings& server, QObject* receiver,
                                           std::function<void(bool)> answered)
{
    static QAtomicInt serial;
    const QString name = QStringLiteral("sakanova_probe_%1").arg(serial.fetchAndAddRelaxed(1) + 1);
    std::unique_ptr<QThread> thread(QThread::create([server, name, receiver, answered] {
        QString error;
        bool ok = server.openConnection(name, &error);
        if (ok) {
            QSqlQuery query(QSqlDatabase::database(name, false));
            ok = query.exec(QStringLiteral("SELECT 1")) && query.next();
        }
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
        QMetaObject::invokeMethod(
            receiver, [answered, ok] { answered(ok); }, Qt::QueuedConnection);
    }));
    thread->start();
    return thread;
}

void ServerLink::startProbe()
{
    if (m_probe && m_probe->isRunning())
        return;
    if (m_probe)
        m_probe->wait();
    m_probe = probe(m_db->settings(), this, [this](bool answered) { probeAnswered(answered); });
}

void ServerLink::probeAnswered(bool answered)
{
    if (!m_reachable) {
        probed(answered);
        return;
    }
    // The window's own session may still look open while the server is
    // gone: it is marked lost, which brings lost() and the attempts.
    if (!answered)
        m_db->noteServerUnreachable();
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
