#pragma once

#include "core/DatabaseSettings.h"
#include "core/SqlReader.h"

#include <QObject>
#include <QString>
#include <QVariantList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

struct sqlite3;
struct pg_cancel;
class Database;

// Long reads (a list's count and totals, and the like) on a thread of their
// own, through a read-only connection of its own to the database file. In
// write-ahead-log mode it reads the last committed rows while the window's
// connection goes on writing; every write stays on the window's connection.
// On a PostgreSQL server it is a second server session, read-only, that
// reads the last committed rows just as well.
//
// Each request names its channel (one per asker, e.g. one per list). A newer
// request on a channel supersedes the older one: a queued one is dropped,
// a running one is interrupted, and neither's result is delivered. Results
// come back on the thread of `context`, in the event loop, and only while
// `context` lives.
class ListReader
{
public:
    using Done = std::function<void(bool ok, const SqlReader::Rows& rows, const QString& error)>;

    explicit ListReader(const QString& databaseFile);
    // A second connection to wherever `db` reads: its file, or its server
    // with the same settings. Waits until the connection is open (or not).
    explicit ListReader(const Database& db);
    // Stops the thread; results not yet delivered are dropped.
    ~ListReader();
    ListReader(const ListReader&) = delete;
    ListReader& operator=(const ListReader&) = delete;

    // False when the file could not be opened; requests then fail at once.
    bool isOpen() const { return m_open; }

    // Reads `sql` with `params` and hands the rows to `done` on the
    // thread of `context`, unless a newer request on `channel` came first.
    void request(quintptr channel, QObject* context, const QString& sql, const QVariantList& params,
                 Done done);
    // Drops a queued request on `channel` and interrupts a running one.
    void cancel(quintptr channel);

    // Requests delivered, and those superseded before their result was
    // handed over (for tests and the run log).
    quint64 delivered() const;
    quint64 superseded() const;

private:
    struct Request
    {
        quintptr channel = 0;
        quint64 generation = 0;
        QObject* context = nullptr;
        QString sql;
        QVariantList params;
        Done done;
    };

    // What results on their way to their askers still check, so it lives
    // as long as the last of them.
    struct Shared
    {
        std::mutex mutex;
        // The newest generation asked for on each channel.
        std::map<quintptr, quint64> newest;
        quint64 delivered = 0;
        quint64 superseded = 0;
        bool current(quintptr channel, quint64 generation) const
        {
            const auto it = newest.find(channel);
            return it != newest.end() && it->second == generation;
        }
    };

    void run();
    // Opens the server session on the reader's thread and reads through it
    // until stopped; the session is closed there too.
    void runOnServer(const DatabaseSettings& settings, std::promise<bool>& opened);
    void openFile(const QString& databaseFile);
    // Takes queued requests and hands their results over; `read` runs one.
    void serve(const std::function<bool(const Request&, SqlReader::Rows&, QString&)>& read);
    // Stops the running read; the caller holds the mutex.
    void interruptRunning();
    // Drops queued requests on `channel` and interrupts a running one; the
    // caller holds the mutex.
    void supersede(quintptr channel);

    std::shared_ptr<Shared> m_shared;
    std::condition_variable m_wake;
    std::deque<Request> m_queue;
    quint64 m_generation = 0;
    quintptr m_runningChannel = 0;
    bool m_running = false;
    bool m_stop = false;

    sqlite3* m_handle = nullptr;
    pg_cancel* m_cancel = nullptr; // the server session's, under the mutex
    SqlReader m_reader;            // used on the reader's thread only
    bool m_open = false;
    std::thread m_thread;
};
