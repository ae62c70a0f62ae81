// Opening the connection on either engine, bringing its schema up to date,
// and closing or opening it again.
#include "core/Database.h"

#include "core/LedgerDayBalance.h"
#include "core/LedgerTotals.h"
#include "core/ListTotals.h"
#include "core/MoneyTotals.h"
#include "core/PgSchema.h"
#include "core/Schema.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>

#include <sqlite3.h>

Database::Database(QObject* parent)
    : QObject(parent)
{}

Database::~Database()
{
    closeConnection();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool Database::initialize(const DatabaseSettings& settings)
{
    m_engine = settings.engine;
    if (m_engine == DatabaseSettings::Engine::SQLite)
        return initialize(settings.path);
    return openPostgres(settings);
}

bool Database::openPostgres(const DatabaseSettings& settings)
{
    m_initError = QSqlError();
    m_path.clear();
    m_settings = settings;
    // Each server connection has a name of its own, so that two of them
    // (two desks in one test, a reader beside the window's) do not meet.
    static QAtomicInt serial;
    m_connectionName = QStringLiteral("sakanova_pg_%1").arg(serial.fetchAndAddRelaxed(1) + 1);
    const auto failWith = [this](const QSqlError& error) {
        m_initError = error;
        emit databaseError(m_initError.text());
        closeConnection();
        return false;
    };
    QString password;
    QString passwordError;
    if (!settings.readPassword(&password, &passwordError))
        return failWith(QSqlError(passwordError, QString(), QSqlError::ConnectionError));

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    if (!m_db.isValid())
        return failWith(QSqlError(QStringLiteral("the PostgreSQL driver (QPSQL) is not installed"),
                                  QString(), QSqlError::ConnectionError));
    m_db.setHostName(settings.host);
    m_db.setPort(settings.port);
    m_db.setDatabaseName(settings.database);
    m_db.setUserName(settings.user);
    if (!password.isEmpty())
        m_db.setPassword(password);
    m_db.setConnectOptions(settings.connectOptions());
    if (!m_db.open())
        return failWith(m_db.lastError());
    DatabaseSettings::useLocalTimeZone(m_db);

    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SET client_min_messages TO warning")) ||
        !PgSchema::bringUpToDate(m_db, &m_initError))
        return failWith(m_initError.isValid() ? m_initError : query.lastError());
    if (!query.exec(QStringLiteral("SELECT table_name FROM information_schema.columns WHERE "
                                   "table_schema = current_schema() AND column_name = 'id'")))
        return failWith(query.lastError());
    m_tablesWithId.clear();
    while (query.next())
        m_tablesWithId.insert(query.value(0).toString());
    return true;
}

bool Database::initialize(const QString& path)
{
    m_path = path;
    m_initError = QSqlError();
    const QFileInfo before(path);
    // A file this start creates (or an empty one) holds nothing yet; if the
    // schema cannot be written it is removed again, so a later start on a
    // disk with room does not find an empty, unusable database.
    const bool fileIsNew = !before.exists() || before.size() == 0;

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    m_db.setDatabaseName(path);
    if (!m_db.open()) {
        m_initError = m_db.lastError();
        emit databaseError(m_initError.text());
        return false;
    }

    if (!applyPragmas() || !bringUpToDate(m_db, &m_initError)) {
        emit databaseError(m_initError.text());
        closeConnection();
        if (fileIsNew) {
            for (const char* suffix : {"", "-wal", "-shm", "-journal"})
                QFile::remove(path + QLatin1String(suffix));
        }
        return false;
    }
    return true;
}

bool Database::openReadOnly(const QString& path, const QString& connectionName)
{
    m_path = path;
    m_connectionName = connectionName;
    m_restartPending = false;
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
    if (!m_db.open()) {
        m_initError = m_db.lastError();
        return false;
    }
    // A small cache: the file's pages stay in the system's cache anyway, and
    // the reports it serves mostly scan.
    QSqlQuery pragma(m_db);
    pragma.exec(QStringLiteral("PRAGMA cache_size=-2048"));
    return true;
}

bool Database::openServerReadOnly(const DatabaseSettings& settings)
{
    m_initError = QSqlError();
    m_path.clear();
    m_restartPending = false;
    m_engine = DatabaseSettings::Engine::PostgreSQL;
    m_settings = settings;
    static QAtomicInt serial;
    m_connectionName =
        QStringLiteral("sakanova_pg_reader_%1").arg(serial.fetchAndAddRelaxed(1) + 1);
    QString error;
    const bool opened = settings.openConnection(m_connectionName, &error);
    m_db = QSqlDatabase::database(m_connectionName, false);
    if (!opened) {
        m_initError = QSqlError(error, QString(), QSqlError::ConnectionError);
        return false;
    }
    // It only reads: a write sent to it by mistake is refused.
    QSqlQuery setup(m_db);
    if (!setup.exec(QStringLiteral("SET client_min_messages TO warning")) ||
        !setup.exec(QStringLiteral("SET default_transaction_read_only = on"))) {
        m_initError = setup.lastError();
        closeConnection();
        return false;
    }
    return true;
}

bool Database::bringUpToDate(QSqlDatabase& db, QSqlError* error)
{
    return Schema::createTables(db, error) && Schema::migrateUsersTable(db, error) &&
           Schema::createIndexes(db, error) && MoneyTotals::ensure(db, error) &&
           Schema::createSearchIndexes(db, error) && Schema::seedDefaultData(db, error) &&
           Schema::migrateLedger(db, error) && Schema::migrateExpenses(db, error) &&
           Schema::migrateRates(db, error) && LedgerTotals::ensure(db, error) &&
           LedgerDayBalance::ensure(db, error) &&
           // Last: its triggers read columns the steps before may add.
           ListTotals::ensure(db, error);
}

bool Database::applyPragmas()
{
    // FULL makes every commit wait until the write-ahead log is on disk, so a
    // payment reported as saved survives a power cut. A write that meets
    // another connection's lock waits up to five seconds before failing.
    // The wait is set first: switching the journal mode needs the file to
    // itself, and another program holding it gets the same five seconds.
    const QString statements[] = {
        QStringLiteral("PRAGMA busy_timeout=5000"),
        QStringLiteral("PRAGMA journal_mode=WAL"),
        QStringLiteral("PRAGMA foreign_keys=ON"),
        QStringLiteral("PRAGMA synchronous=FULL"),
        QStringLiteral("PRAGMA cache_size=-%1").arg(kPageCacheKb),
    };
    QSqlQuery pragma(m_db);
    for (const QString& statement : statements) {
        if (!pragma.exec(statement)) {
            m_initError = pragma.lastError();
            return false;
        }
    }
    return true;
}

bool Database::initFailedOnFullDisk() const
{
    if (!m_initError.isValid())
        return false;
    if (isPostgres())
        return m_initError.nativeErrorCode() == QLatin1String("53100"); // disk_full
    // SQLITE_FULL; a write that failed for want of room may also come back
    // as a plain I/O error, so the free space is looked at as well.
    if (m_initError.nativeErrorCode() == QLatin1String("13"))
        return true;
    const QStorageInfo volume(QFileInfo(m_path).absolutePath());
    return volume.isValid() && volume.bytesAvailable() >= 0 &&
           volume.bytesAvailable() < 1024 * 1024;
}

bool Database::checkpointAndClose()
{
    QMutexLocker lock(&m_mutex);
    if (!m_db.isOpen())
        return true;
    if (m_transactionDepth > 0)
        return false;
    // A server keeps its own log; there is nothing to fold in.
    if (!isPostgres()) {
        QSqlQuery checkpoint(m_db);
        if (!checkpoint.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"))) {
            emit databaseError(checkpoint.lastError().text());
            return false;
        }
    }
    closeConnection();
    return true;
}

bool Database::reopen(bool readOnly)
{
    QMutexLocker lock(&m_mutex);
    closeConnection();
    if (!isPostgres())
        m_db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY") : QString());
    m_restartPending = readOnly;
    if (!m_db.open()) {
        emit databaseError(m_db.lastError().text());
        return false;
    }
    if (isPostgres()) {
        QSqlQuery query(m_db);
        if (readOnly && !query.exec(QStringLiteral("SET default_transaction_read_only = on"))) {
            emit databaseError(query.lastError().text());
            return false;
        }
        return true;
    }
    // A read-only connection cannot switch the journal mode; it reads the
    // file as it is until the program starts again.
    if (!readOnly && !applyPragmas()) {
        emit databaseError(m_initError.text());
        return false;
    }
    return true;
}

void Database::closeConnection()
{
    m_reader.clear();
    m_pgReader.clear();
    clearKeptStatements();
    if (m_db.isOpen())
        m_db.close();
}

bool Database::attachReader()
{
    sqlite3* handle = nullptr;
    if (m_db.isOpen()) {
        const QVariant driverHandle = m_db.driver()->handle();
        if (driverHandle.isValid() && qstrcmp(driverHandle.typeName(), "sqlite3*") == 0)
            handle = *static_cast<sqlite3* const*>(driverHandle.constData());
    }
    m_reader.attach(handle);
    return handle != nullptr;
}
