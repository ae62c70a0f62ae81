#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSqlDriver>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class Database;

// What the other desks of a shared server change. Every statement that
// writes a table announces the table's name on one channel when its
// transaction commits (the server's triggers, see serverStatements()); the
// window's connection listens, leaves out what this desk wrote itself,
// gathers the names for a moment and then calls whoever follows one of
// them. The followers say what a table's change means for them; the feed
// knows only table names. On a SQLite file there are no other desks and
// nothing is announced.
class ChangeFeed : public QObject
{
    Q_OBJECT

public:
    // How long names are gathered after the first one arrives, so a burst of
    // commits refreshes each page once.
    static constexpr int kGatherMs = 200;

    explicit ChangeFeed(Database* db, QObject* parent = nullptr);

    static QString channel();
    // The functions and triggers that make every table announce its
    // changes. A later step that adds tables runs
    // "SELECT sakanova_announce_all_tables()" again.
    static QStringList serverStatements();

    // `refresh` runs (once per gathering) after other desks changed any of
    // `tables`, and after a lost connection came back; never after
    // `context` is gone.
    void follow(const QStringList& tables, QObject* context, std::function<void()> refresh);

    // Takes the restore's lock on `db`'s session, false when another desk
    // holds it (a restore of its own is under way), and tells the other
    // desks that a restore has begun: pg_restore will hold the tables it
    // replaces until it is done, so each desk's window stops waiting for a
    // table (see restoreElsewhere) until the restore ends.
    static bool announceRestoreStarted(Database* db);
    // Lets the lock go and tells the other desks that the whole books
    // changed at once: every one of their followers refreshes.
    static bool announceRestoreEnded(Database* db);
    // True from another desk's restore announcement (or, for a restore
    // begun before this desk listened, from subscribe() or refreshAll())
    // until everything is announced as changed or the restoring desk no
    // longer holds the restore's lock (it stopped without a word).
    bool restoreElsewhere() const { return m_restoreElsewhere; }
    // Whether a session other than `connection`'s holds the restore's lock:
    // 1 yes, 0 no, -1 when the server did not answer.
    static int restoreHeldElsewhere(const QSqlDatabase& connection);
    // How often a desk told of a restore asks whether the lock is still held.
    static constexpr int kRestoreCheckMs = 2000;

    // Listens on the window's connection, again after every reconnection.
    // True when listening (always false on SQLite).
    bool subscribe();
    bool isListening() const { return m_listening; }
    // Every follower refreshes once: what changed while the connection was
    // lost is not known.
    void refreshAll();

signals:
    // The tables other desks changed, after a gathering.
    void tablesChanged(const QStringList& tables);
    void restoreElsewhereChanged();

private:
    void received(const QString& name, QSqlDriver::NotificationSource source,
                  const QVariant& payload);
    void deliver();
    void setRestoreElsewhere(bool running);
    // Sets restoreElsewhere by whether another session holds the restore's
    // lock.
    void checkRestore();
    // Asks the driver to read what the server sent meanwhile: an
    // announcement that arrived while a statement of ours ran is otherwise
    // read only with the next one.
    void poll();

    struct Follower
    {
        QSet<QString> tables;
        QPointer<QObject> context;
        std::function<void()> refresh;
    };

    Database* m_db;
    QList<Follower> m_followers;
    QSet<QString> m_pending;
    QTimer m_gather;
    QTimer m_poll;
    QTimer m_restoreCheck;
    QPointer<QSqlDriver> m_driver;
    bool m_listening = false;
    bool m_everything = false;
    bool m_restoreElsewhere = false;
};
