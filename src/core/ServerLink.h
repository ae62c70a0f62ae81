#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <memory>

class ChangeFeed;
class Database;

// Keeps the window's connection to a shared server alive. While nothing
// runs it asks the server a trivial question now and then; when the server
// stops answering (or any statement finds the connection broken) the window
// says so and every write is refused with a reason (see Database), and the
// connection is opened again after a pause that doubles up to a limit.
// Once it is back the change feed listens again and every page reloads.
// On a SQLite file the link is always up and does nothing.
class ServerLink : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool reachable READ reachable NOTIFY reachableChanged)
    // What the window shows while the server is out of reach; empty otherwise.
    Q_PROPERTY(QString message READ message NOTIFY reachableChanged)

public:
    static constexpr int kCheckMs = 5000;
    static constexpr int kFirstRetryMs = 500;
    static constexpr int kLongestRetryMs = 30000;

    ServerLink(Database* db, ChangeFeed* feed, QObject* parent = nullptr);
    ~ServerLink() override;

    bool reachable() const { return m_reachable; }
    QString message() const;
    // The pause before the next attempt, while out of reach.
    int retryDelayMs() const { return m_retryMs; }

    // Shorter pauses, for tests.
    void setTimings(int checkMs, int firstRetryMs, int longestRetryMs);

signals:
    void reachableChanged();
    // The connection is back and the pages have been told to reload.
    void reconnected();

private:
    void check();
    void lost();
    void retry();
    // The answer of the attempt's trial connection.
    void probed(bool answered);

    Database* m_db;
    ChangeFeed* m_feed;
    QTimer m_check;
    QTimer m_retry;
    // Each attempt first opens a throw-away connection here, so that a
    // server that does not answer at all never holds the window.
    std::unique_ptr<QThread> m_probe;
    int m_firstRetryMs = kFirstRetryMs;
    int m_longestRetryMs = kLongestRetryMs;
    int m_retryMs = kFirstRetryMs;
    bool m_reachable = true;
};
