#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

class ChangeFeed;
class Database;
struct DatabaseSettings;

// Keeps the window's connection to a shared server alive. Now and then it
// asks the server a trivial question on a throw-away connection of a worker
// thread, so a network that stops answering never holds the window; when
// the server does not answer (or any statement finds the connection broken)
// the window says so and every write is refused with a reason (see
// Database), and the connection is opened again after a pause that doubles
// up to a limit.
// Once it is back the change feed listens again and every page reloads.
// On a SQLite file the link is always up and does nothing.
class ServerLink : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool reachable READ reachable NOTIFY reachableChanged)
    // What the window shows while the server is out of reach; empty otherwise.
    Q_PROPERTY(QString message READ message NOTIFY reachableChanged)
    // Another desk is restoring a backup (see ChangeFeed::restoreElsewhere).
    Q_PROPERTY(bool restoreElsewhere READ restoreElsewhere NOTIFY restoreElsewhereChanged)

public:
    static constexpr int kCheckMs = 5000;
    static constexpr int kFirstRetryMs = 500;
    static constexpr int kLongestRetryMs = 30000;

    ServerLink(Database* db, ChangeFeed* feed, QObject* parent = nullptr);
    ~ServerLink() override;

    bool reachable() const { return m_reachable; }
    QString message() const;
    bool restoreElsewhere() const;
    // The pause before the next attempt, while out of reach.
    int retryDelayMs() const { return m_retryMs; }

    // Shorter pauses, for tests.
    void setTimings(int checkMs, int firstRetryMs, int longestRetryMs);

    // Opens a throw-away connection to `server` on a thread of its own and
    // returns at once; `answered` is called on `receiver`'s thread with
    // whether the server took the connection and answered a trivial
    // question. The thread is handed back to be waited for.
    static std::unique_ptr<QThread> probe(const DatabaseSettings& server, QObject* receiver,
                                          std::function<void(bool)> answered);

signals:
    void reachableChanged();
    void restoreElsewhereChanged();
    // The connection is back and the pages have been told to reload.
    void reconnected();

private:
    void check();
    void lost();
    void retry();
    // Starts a trial connection unless one is under way.
    void startProbe();
    // Its answer: while reachable, the idle check's; while out of reach, the
    // attempt's.
    void probeAnswered(bool answered);
    void probed(bool answered);

    Database* m_db;
    ChangeFeed* m_feed;
    QTimer m_check;
    QTimer m_retry;
    // The idle check and each attempt first open a throw-away connection
    // here, so that a server that does not answer at all never holds the
    // window.
    std::unique_ptr<QThread> m_probe;
    int m_firstRetryMs = kFirstRetryMs;
    int m_longestRetryMs = kLongestRetryMs;
    int m_retryMs = kFirstRetryMs;
    bool m_reachable = true;
};
