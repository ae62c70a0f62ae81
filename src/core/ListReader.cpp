#include "core/ListReader.h"

#include "core/Database.h"
#include "core/PgReader.h"

#include <QAtomicInt>
#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <future>
#include <utility>

ListReader::ListReader(const QString& databaseFile)
    : m_shared(std::make_shared<Shared>())
{
    openFile(databaseFile);
}

ListReader::ListReader(const Database& db)
    : m_shared(std::make_shared<Shared>())
{
    if (!db.isPostgres()) {
        openFile(db.path());
        return;
    }
    std::promise<bool> opened;
    std::future<bool> result = opened.get_future();
    // The promise goes with the thread, which may still be leaving
    // set_value() when the answer is read here.
    m_thread = std::thread([this, settings = db.settings(), opened = std::move(opened)]() mutable {
        runOnServer(settings, opened);
    });
    m_open = result.get();
}

void ListReader::openFile(const QString& databaseFile)
{
    const QByteArray path = QFile::encodeName(databaseFile);
    // Read-only, and its own: it never writes and never waits for the
    // window's connection, which keeps the write lock.
    if (sqlite3_open_v2(path.constData(), &m_handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(m_handle, 2000);
        // A small cache: the file's pages stay in the system's cache anyway.
        sqlite3_exec(m_handle, "PRAGMA cache_size=-4096", nullptr, nullptr, nullptr);
        m_reader.attach(m_handle);
        m_open = true;
    } else {
        qWarning("List reader could not open the database: %s", sqlite3_errmsg(m_handle));
    }
    m_thread = std::thread([this] { run(); });
}

void ListReader::runOnServer(const DatabaseSettings& settings, std::promise<bool>& opened)
{
    static QAtomicInt serial;
    const QString name =
        QStringLiteral("sakanova_list_reader_%1").arg(serial.fetchAndAddRelaxed(1) + 1);
    {
        QString error;
        bool open = settings.openConnection(name, &error);
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (open) {
            // It only reads: a write sent to it by mistake is refused.
            QSqlQuery setup(db);
            open = setup.exec(QStringLiteral("SET client_min_messages TO warning")) &&
                   setup.exec(QStringLiteral("SET default_transaction_read_only = on"));
            if (!open)
                error = setup.lastError().text();
        }
        PGconn* handle = open ? PgReader::connectionOf(db) : nullptr;
        if (open) {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            m_cancel = handle ? PQgetCancel(handle) : nullptr;
        } else {
            qWarning("List reader could not open the server connection: %s", qPrintable(error));
        }
        opened.set_value(open);
        // Each list's statements are prepared once on the session and kept.
        PgReader reader;
        reader.attach(handle);
        serve([&](const Request& next, SqlReader::Rows& rows, QString& failure) {
            if (!open || !handle) {
                failure = QStringLiteral("the list reader has no connection");
                return false;
            }
            switch (reader.readRows(next.sql, next.params, rows)) {
            case SqlReader::Status::Done:
                return true;
            case SqlReader::Status::NotARead:
                failure = QStringLiteral("not a read");
                return false;
            case SqlReader::Status::Failed:
                break;
            }
            failure = reader.errorText();
            return false;
        });
        reader.clear();
        {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            if (m_cancel)
                PQfreeCancel(m_cancel);
            m_cancel = nullptr;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

ListReader::~ListReader()
{
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_stop = true;
        m_queue.clear();
        // Nothing still on its way is handed over any more.
        m_shared->newest.clear();
        if (m_running)
            interruptRunning();
    }
    m_wake.notify_all();
    m_thread.join();
    m_reader.clear();
    sqlite3_close(m_handle);
}

void ListReader::supersede(quintptr channel)
{
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->channel == channel) {
            it = m_queue.erase(it);
            ++m_shared->superseded;
        } else {
            ++it;
        }
    }
    // The one running would only be thrown away.
    if (m_running && m_runningChannel == channel)
        interruptRunning();
}

void ListReader::interruptRunning()
{
    if (m_handle)
        sqlite3_interrupt(m_handle);
    if (m_cancel) {
        // The server is asked to stop the statement; its read then fails,
        // and a superseded read's failure is never handed over.
        char error[256];
        PQcancel(m_cancel, error, sizeof error);
    }
}

void ListReader::request(quintptr channel, QObject* context, const QString& sql,
                         const QVariantList& params, Done done)
{
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        const quint64 generation = ++m_generation;
        m_shared->newest[channel] = generation;
        supersede(channel);
        m_queue.push_back({channel, generation, context, sql, params, std::move(done)});
    }
    m_wake.notify_one();
}

void ListReader::cancel(quintptr channel)
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->newest[channel] = ++m_generation;
    supersede(channel);
}

quint64 ListReader::delivered() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->delivered;
}

quint64 ListReader::superseded() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->superseded;
}

void ListReader::run()
{
    serve([this](const Request& next, SqlReader::Rows& rows, QString& error) {
        if (!m_open) {
            error = QStringLiteral("the list reader has no connection");
            return false;
        }
        if (m_reader.readRows(next.sql, next.params, rows) == SqlReader::Status::Done)
            return true;
        error = m_reader.errorText();
        return false;
    });
}

void ListReader::serve(const std::function<bool(const Request&, SqlReader::Rows&, QString&)>& read)
{
    for (;;) {
        Request next;
        {
            std::unique_lock<std::mutex> lock(m_shared->mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            next = std::move(m_queue.front());
            m_queue.pop_front();
            m_running = true;
            m_runningChannel = next.channel;
        }

        SqlReader::Rows rows;
        QString error;
        const bool ok = read(next, rows, error);

        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_running = false;
        m_runningChannel = 0;
        if (m_stop)
            return;
        // A newer request came meanwhile: this result is stale (and an
        // interrupted read failed only because of it).
        if (!m_shared->current(next.channel, next.generation)) {
            ++m_shared->superseded;
            continue;
        }
        // Checked again on arrival: a request made after this result left
        // the reader supersedes it too.
        QMetaObject::invokeMethod(
            next.context,
            [shared = m_shared, context = QPointer<QObject>(next.context), channel = next.channel,
             generation = next.generation, ok, rows = std::move(rows), error = std::move(error),
             done = std::move(next.done)] {
                {
                    std::lock_guard<std::mutex> lock(shared->mutex);
                    if (!shared->current(channel, generation)) {
                        ++shared->superseded;
                        return;
                    }
                    ++shared->delivered;
                }
                if (context)
                    done(ok, rows, error);
            },
            Qt::QueuedConnection);
    }
}
