#include "insight/ReportReader.h"

#include "core/Database.h"
#include "core/PgReader.h"
#include "insight/ReportCalls.h"

#include <QMetaObject>
#include <QSqlDriver>

#include <libpq-fe.h>

// Lives on the reader's thread with the connection it reads through; the
// connection is opened, used and closed there only.
class ReportReaderSide : public QObject
{
public:
    ~ReportReaderSide() override
    {
        if (cancel)
            PQfreeCancel(cancel);
    }
    std::unique_ptr<Database> db;
    // How a server read in hand is stopped; set once on opening, used under
    // the reader's mutex.
    pg_cancel* cancel = nullptr;
};

ReportReader::ReportReader(Database* windowDb, QObject* parent)
    : QObject(parent)
    , m_windowDb(windowDb)
{
    m_thread.setObjectName(QStringLiteral("report reader"));
    m_thread.start();
    reopen();
}

ReportReader::~ReportReader()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_newest.clear(); // nothing still queued is run any more
    }
    closeSide();
    m_thread.quit();
    m_thread.wait();
}

void ReportReader::closeSide()
{
    if (!m_side)
        return;
    ReportReaderSide* side = m_side;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_side = nullptr;
        m_running.reset();
    }
    m_ownConnection = false;
    // Waits for the read in hand, if any; the connection closes on its thread.
    QMetaObject::invokeMethod(
        side, [side] { delete side; }, Qt::BlockingQueuedConnection);
}

void ReportReader::reopen()
{
    closeSide();
    if (!m_windowDb || (m_windowDb->path().isEmpty() && !m_windowDb->isPostgres()))
        return;
    auto* side = new ReportReaderSide;
    side->moveToThread(&m_thread);
    const bool server = m_windowDb->isPostgres();
    const DatabaseSettings settings = m_windowDb->settings();
    const QString path = m_windowDb->path();
    const QString name = QStringLiteral("report reader %1.%2").arg(quintptr(this)).arg(++m_opened);
    bool opened = false;
    QMetaObject::invokeMethod(
        side,
        [side, server, settings, path, name, &opened] {
            side->db = std::make_unique<Database>();
            // On a server, a session of its own beside the window's.
            opened = server ? side->db->openServerReadOnly(settings)
                            : side->db->openReadOnly(path, name);
            if (!opened) {
                qWarning("Report reader could not open the database: %s",
                         qPrintable(side->db->initErrorText()));
            } else if (server) {
                if (PGconn* handle = PgReader::connectionOf(side->db->connection()))
                    side->cancel = PQgetCancel(handle);
            }
        },
        Qt::BlockingQueuedConnection);
    m_side = side;
    m_ownConnection = opened;
}

bool ReportReader::current(const Channel& channel, quint64 generation) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_newest.find(channel);
    return it != m_newest.end() && it->second == generation;
}

quint64 ReportReader::superseded() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_superseded;
}

void ReportReader::cancel(QObject* asker, const QString& call)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_newest[{asker, call}] = ++m_generation;
    stopRunning({asker, call});
}

void ReportReader::stopRunning(const Channel& channel)
{
    if (!m_running || *m_running != channel || !m_side || !m_side->cancel)
        return;
    // The server is asked to stop the statement in hand; the call then
    // fails, and a superseded call's answer is never handed over.
    char error[256];
    PQcancel(m_side->cancel, error, sizeof error);
}

void ReportReader::read(QObject* asker, const QString& call, const QVariantList& args)
{
    if (!asker)
        return;
    const Channel channel{asker, call};
    quint64 generation = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        generation = ++m_generation;
        m_newest[channel] = generation;
        stopRunning(channel);
    }
    const QPointer<QObject> guard(asker);
    if (!m_ownConnection) {
        // Without a connection of its own the read runs here; the answer
        // still comes through the event loop, as the pages expect.
        QString error;
        const QVariant result = ReportCalls::run(m_windowDb, call, args, &error);
        QMetaObject::invokeMethod(
            this, [=] { deliver(guard, call, generation, result, error); }, Qt::QueuedConnection);
        return;
    }
    ReportReaderSide* side = m_side;
    QMetaObject::invokeMethod(
        side,
        [this, side, guard, channel, call, args, generation] {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                // Superseded while it waited: not worth reading.
                const auto newest = m_newest.find(channel);
                if (newest == m_newest.end() || newest->second != generation) {
                    ++m_superseded;
                    return;
                }
                m_running = channel;
            }
            QString error;
            const QVariant result = ReportCalls::run(side->db.get(), call, args, &error);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_running.reset();
            }
            QMetaObject::invokeMethod(
                this, [=] { deliver(guard, call, generation, result, error); },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void ReportReader::deliver(QPointer<QObject> asker, const QString& call, quint64 generation,
                           const QVariant& result, const QString& error)
{
    // The channel is keyed by the asker's address, which a new object may
    // reuse once it is gone: the guard says whether it is still the one.
    if (!asker || !current({asker.data(), call}, generation)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_superseded;
        return;
    }
    ++m_delivered;
    emit ready(asker.data(), call, result, error);
}
