#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QVariant>
#include <QVariantList>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

class Database;
class ReportReaderSide;

// The pages' long reads (the dashboard, the report tabs, the cash calendar,
// the trial balance and an account's ledger; see ReportCalls) on a thread of
// their own, through a read-only connection of their own: to the window's
// file, or a second session on the window's server, in this desk's time
// zone. Writes stay on the window's connection.
//
// A page asks with itself as `asker`; the answer comes back through ready()
// in the event loop. A newer request from the same asker for the same call
// supersedes the older one: a queued one is never run, and the result of
// one already running is never handed over (on a server it is stopped
// there). Nothing reaches an asker that
// has gone. When the reader's own connection cannot be opened, the calls
// run on the window's connection, still answered through ready().
class ReportReader : public QObject
{
    Q_OBJECT

public:
    explicit ReportReader(Database* windowDb, QObject* parent = nullptr);
    ~ReportReader() override;

    // Opens the reader's connection again, to the window's file as it is
    // now: after the file was replaced, or to start a session afresh.
    void reopen();
    bool ownConnection() const { return m_ownConnection; }

    Q_INVOKABLE void read(QObject* asker, const QString& call,
                          const QVariantList& args = QVariantList());
    // Forgets what `asker` asked of `call` and was not answered yet.
    Q_INVOKABLE void cancel(QObject* asker, const QString& call);

    // Answers handed over, and requests superseded before theirs was.
    quint64 delivered() const { return m_delivered; }
    quint64 superseded() const;

signals:
    // `error` is empty unless the call was refused; `result` is then invalid.
    void ready(QObject* asker, const QString& call, const QVariant& result, const QString& error);

private:
    using Channel = std::pair<const QObject*, QString>;

    bool current(const Channel& channel, quint64 generation) const;
    // Stops the server read in hand when it is `channel`'s; the caller
    // holds the mutex.
    void stopRunning(const Channel& channel);
    void deliver(QPointer<QObject> asker, const QString& call, quint64 generation,
                 const QVariant& result, const QString& error);
    void closeSide();

    Database* m_windowDb;
    QThread m_thread;
    ReportReaderSide* m_side = nullptr;
    bool m_ownConnection = false;
    int m_opened = 0;

    // Shared with the reader's thread, which skips a request superseded
    // while it waited.
    mutable std::mutex m_mutex;
    std::map<Channel, quint64> m_newest;
    // The channel whose call the reader's thread is running, if any.
    std::optional<Channel> m_running;
    quint64 m_generation = 0;
    quint64 m_superseded = 0;
    quint64 m_delivered = 0;
};
