#pragma once

#include "core/DatabaseSettings.h"
#include "core/PgReader.h"
#include "core/SqlReader.h"

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <unordered_map>

// The application's single SQLite connection. Every model runs its SQL
// through the four query operations below. It is not published to QML: a
// page that could run SQL could read password hashes or make itself admin.
class Database : public QObject
{
    Q_OBJECT

public:
    // SQLite's page cache for the connection, in kilobytes. The file's pages
    // stay in the system's file cache anyway, so a larger one mostly adds to
    // the program's resident size: the long lists are read by key a screenful
    // at a time, and scans of the big tables pass through any cache of a
    // sensible size.
    static constexpr int kPageCacheKb = 8 * 1024;

    explicit Database(QObject* parent = nullptr);
    ~Database() override;

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens (or creates) the file, sets the connection pragmas and brings the
    // schema up to date. False when the file cannot be opened or any step
    // cannot be written (a full disk, a read-only folder); a file created by
    // the failed call is removed again.
    bool initialize(const QString& path);
    // A second connection to a file the window's connection has already
    // brought up to date, for reads on another thread: read-only, under its
    // own connection name, with no schema steps. It is to be opened, used
    // and destroyed on that thread. With write-ahead logging it reads the
    // last committed rows while the window's connection writes.
    bool openReadOnly(const QString& path, const QString& connectionName);
    // The same beside a server's connection: a second session with the same
    // settings, read-only, in this desk's time zone, with no schema steps.
    bool openServerReadOnly(const DatabaseSettings& settings);
    // Opens the records where `settings` says: the SQLite file (as above) or
    // a PostgreSQL server, whose schema is then brought up to date.
    bool initialize(const DatabaseSettings& settings);
    DatabaseSettings::Engine engine() const { return m_engine; }
    // The server settings the connection was opened with (PostgreSQL only).
    const DatabaseSettings& settings() const { return m_settings; }
    bool isPostgres() const { return m_engine == DatabaseSettings::Engine::PostgreSQL; }
    // Why the last initialize() failed; empty after a success.
    QString initErrorText() const { return m_initError.text(); }
    bool initFailedOnFullDisk() const;
    // The native SQLite result code of the failed initialize(), 0 when none.
    int initErrorCode() const { return m_initError.nativeErrorCode().toInt(); }

    // The schema steps a file goes through at every start, on any open
    // connection: tables, migrations, indexes, totals, search indexes and the
    // rows of a new database. False at the first failed step.
    static bool bringUpToDate(QSqlDatabase& db, QSqlError* error);

    Q_INVOKABLE QVariantList execQuery(const QString& sql,
                                       const QVariantList& params = QVariantList());
    Q_INVOKABLE bool execNonQuery(const QString& sql, const QVariantList& params = QVariantList());
    Q_INVOKABLE int execInsert(const QString& sql, const QVariantList& params = QVariantList());
    Q_INVOKABLE QVariantMap getById(const QString& table, int id);
    // A write through a statement kept prepared on the connection, for the
    // writes made over and over (postings, payments, a run's invoices): the
    // connection's last inserted rowid (0 when it has none), or -1 on
    // failure, announced like the others. Closing or reopening the
    // connection drops the kept statements.
    int execKept(const QString& sql, const QVariantList& params = QVariantList());

    Q_INVOKABLE bool beginTransaction();
    Q_INVOKABLE bool commitTransaction();
    Q_INVOKABLE bool rollbackTransaction();

    // Convenience for C++ callers: the first column of the first row, or an
    // invalid variant when the query fails or returns nothing.
    QVariant scalar(const QString& sql, const QVariantList& params = QVariantList());

    // A read for callers that keep rows by column (the list models): values
    // in column order, the names once. A failure is not announced through
    // databaseError; `error` (when given) says why and `rows` stays empty.
    bool readRows(const QString& sql, const QVariantList& params, SqlReader::Rows& rows,
                  QString* error = nullptr);
    // The same, handing each row to `onRow` instead of keeping them all (see
    // SqlReader::forEachRow); rows already handed over are to be dropped
    // when it returns false.
    bool forEachRow(const QString& sql, const QVariantList& params,
                    const std::function<void(QVector<QVariant>&)>& onRow, QString* error = nullptr);

    // Folds the write-ahead log into the file and closes the connection, so
    // the file can be moved or replaced. Refused inside a transaction.
    bool checkpointAndClose();
    // Opens the same file again. A read-only connection still reads but
    // refuses every write, which is how the program runs after its file has
    // been replaced underneath it.
    bool reopen(bool readOnly);

    // True while the connection is read-only after its file was replaced;
    // every failed write then reports restartPendingMarker() first.
    bool restartPending() const { return m_restartPending; }
    static QString restartPendingMarker();

    // Who the writes from now on are audited for (see AuditTrail): the
    // signed-in user's id, or 0 for nobody. While `passwordChangePending`,
    // every write but the password change itself is refused.
    bool setActingUser(int userId, bool passwordChangePending = false);
    int actingUserId() const { return m_actingUserId; }

    QString path() const { return m_path; }
    QSqlDatabase connection() const { return m_db; }

    // The server's connection. A statement that fails because the server
    // went away marks it lost: from then on every statement is refused at
    // once, with serverUnreachableMarker() before the reason, until
    // reconnect() succeeds. A SQLite file is never lost.
    bool serverLost() const { return m_serverLost; }
    static QString serverUnreachableMarker();
    // A cheap round trip while nothing else runs; false (and the connection
    // marked lost) when the server does not answer. True on SQLite.
    bool checkServer();
    // Without a round trip: true (and the connection marked lost) when the
    // server has already closed the session. True on a lost one; false on
    // SQLite and while a write is under way.
    bool noteIfConnectionBroken();
    // Marks the server's connection lost because a trial connection found
    // no server (see ServerLink); a write under way finds out on its own.
    void noteServerUnreachable();
    // Opens the server's connection again after it was lost; the acting
    // user is set again on it. False while the server stays out of reach.
    bool reconnect();

    // Hands every read on the server to `trace` before it runs (for timing
    // tools); an empty function stops it.
    using ReadTrace = std::function<void(const QString& sql, const QVariantList& params)>;
    void traceServerReads(const ReadTrace& trace) { m_readTrace = trace; }
    // False sends the server's reads through QtSql as its writes go, each
    // prepared and dropped again, to compare the two (true by default).
    void keepServerReads(bool kept) { m_keepServerReads = kept; }

    // Nesting depth of TransactionGuard scopes; the outermost one owns the
    // real transaction, inner ones use savepoints.
    int transactionDepth() const { return m_transactionDepth; }

    // On a server, how long a write waits for the desks' write lock and for
    // any table another session holds: as long as a file's busy timeout,
    // unless set shorter while a restore holds the tables (no write can
    // land before it ends, and the window would be held meanwhile).
    static constexpr int kWriteWaitMs = 5000;
    void setWriteWaitMs(int ms) { m_writeWaitMs = ms; }
    int writeWaitMs() const { return m_writeWaitMs; }

signals:
    void databaseError(const QString& error);
    // The server's connection broke (see serverLost()); announced once per loss.
    void connectionLost();

private:
    friend class TransactionGuard;

    // Prepares (unless `prepared`), binds and runs `sql`; emits
    // databaseError on failure. The caller holds the mutex.
    bool runLocked(QSqlQuery& query, const QString& sql, const QVariantList& params,
                   bool prepared = false);
    // Runs `sql` as runLocked() does and hands its query to `take` (for its
    // rows or new id). On the server a statement with values is kept
    // prepared on the connection. The caller holds the mutex.
    bool runStatement(const QString& sql, const QVariantList& params,
                      const std::function<void(QSqlQuery&)>& take = {});
    // Forgets the kept statements; the caller holds the mutex.
    void clearKeptStatements();
    bool applyPragmas();
    // Points the reader at the open connection's SQLite handle; false when
    // there is none. The caller holds the mutex.
    bool attachReader();
    // Runs `read` on the reader under the mutex; false (with the reason in
    // `error`) unless it succeeded. Not announced through databaseError.
    bool readLocked(const std::function<SqlReader::Status(SqlReader&)>& read, QString* error);
    // Drops the reader's statements; the connection cannot close while any
    // of them is alive.
    void closeConnection();
    // The server side of initialize(); the caller has set m_engine.
    bool openPostgres(const DatabaseSettings& settings);
    // Points the server reader at the open connection's libpq handle; false
    // when there is none, or while a QtSql statement still holds it. The
    // caller holds the mutex.
    bool attachServerReader();
    // A read on the server: through the kept statements of the server
    // reader, or through QtSql for a statement that writes. The caller holds
    // the mutex.
    bool readOnServer(const QString& sql, const QVariantList& params, SqlReader::Rows* rows,
                      const std::function<void(QVector<QVariant>&)>& onRow, QString* error);
    // A read through QtSql, for a connection without the SQLite reader: the
    // rows into `rows`, or each one to `onRow` when it is set. The caller
    // holds the mutex.
    bool readThroughQtSql(const QString& sql, const QVariantList& params, SqlReader::Rows* rows,
                          const std::function<void(QVector<QVariant>&)>& onRow, QString* error);
    // The INSERT to run for execInsert(): on the server it hands back the id.
    QString insertStatement(const QString& sql) const;
    // An INSERT (or other write) on the server, handing back the new id as
    // execInsert() does. The caller holds the mutex.
    int insertLocked(const QString& sql, const QVariantList& params);
    // After a failed statement on the server: true, with the connection
    // marked lost and connectionLost() announced, when the connection itself
    // is broken rather than the statement refused.
    bool noteIfServerLost();
    // The error text of a statement refused while the server is lost.
    QString lostText() const;

    QSqlDatabase m_db;
    // Reads run here, on m_db's own SQLite handle; writes go through QtSql.
    SqlReader m_reader;
    // Reads on the server run here, on m_db's own libpq connection.
    PgReader m_pgReader;
    bool m_keepServerReads = true;
    ReadTrace m_readTrace;
    int m_actingUserId = 0;
    QMutex m_mutex;
    QString m_path;
    QSqlError m_initError;
    int m_transactionDepth = 0;
    int m_writeWaitMs = kWriteWaitMs;
    bool m_restartPending = false;
    bool m_serverLost = false;
    bool m_passwordChangePending = false;
    DatabaseSettings::Engine m_engine = DatabaseSettings::Engine::SQLite;
    DatabaseSettings m_settings;
    // The QtSql connection's name: the default one for the SQLite file, one
    // of its own for a read-only second connection and for each server
    // connection.
    QString m_connectionName = QLatin1String(QSqlDatabase::defaultConnection);
    // Tables with an id column, whose INSERTs return it on the server.
    QSet<QString> m_tablesWithId;
    // The server's writes, each prepared once per connection: QtSql would
    // otherwise prepare, run and release every statement, three round
    // trips where one does. Keyed by their text.
    std::unordered_map<QString, std::unique_ptr<QSqlQuery>> m_keptStatements;
};
