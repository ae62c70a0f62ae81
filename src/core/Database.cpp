#include "core/Database.h"
#include "core/LedgerTotals.h"

#include "core/AuditTrail.h"
#include "core/ListTotals.h"
#include "core/MoneyTotals.h"
#include "core/PgSchema.h"
#include "core/Schema.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"

#include <QAtomicInt>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStorageInfo>

#include <map>

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

bool Database::runLocked(QSqlQuery& query, const QString& sql, const QVariantList& params)
{
    // Nothing is sent on a connection known to be broken: the write is
    // refused whole, with the reason the page shows.
    if (m_serverLost) {
        emit databaseError(lostText());
        return false;
    }
    const auto failed = [&] {
        emit databaseError(noteIfServerLost() ? lostText() : query.lastError().text());
        return false;
    };
    // The server prepares only reads and row writes; a statement without
    // values (SET, LOCK, a DDL step) runs as it is.
    if (isPostgres() && params.isEmpty())
        return query.exec(sql) || failed();
    if (!query.prepare(sql))
        return failed();
    for (const QVariant& value : params)
        query.addBindValue(value);
    if (!query.exec()) {
        if (isPostgres())
            return failed();
        // Read-only because its file was replaced: the write waits for the
        // restart, which the message says in so many words.
        emit databaseError(m_restartPending ? restartPendingMarker() + query.lastError().text()
                                            : query.lastError().text());
        return false;
    }
    return true;
}

bool Database::setActingUser(int userId, bool passwordChangePending)
{
    QMutexLocker lock(&m_mutex);
    if (!m_db.isOpen())
        return false;
    // A connection that reads only (its file was replaced) writes nothing to audit.
    if (m_restartPending) {
        m_actingUserId = userId;
        return true;
    }
    QString error;
    if (!AuditTrail::setActingUser(m_db, userId, passwordChangePending, &error)) {
        emit databaseError(error);
        return false;
    }
    m_actingUserId = userId;
    m_passwordChangePending = passwordChangePending;
    return true;
}

QString Database::restartPendingMarker()
{
    return QStringLiteral("restart pending: ");
}

QVariantList Database::execQuery(const QString& sql, const QVariantList& params)
{
    QMutexLocker lock(&m_mutex);
    QVariantList rows;
    if (attachReader()) {
        switch (m_reader.readMaps(sql, params, rows)) {
        case SqlReader::Status::Done:
            return rows;
        case SqlReader::Status::Failed:
            emit databaseError(m_reader.errorText());
            return rows;
        case SqlReader::Status::NotARead:
            break; // a statement that writes runs through QtSql, as every write does
        }
    } else if (isPostgres() && PgReader::isRead(sql) && m_readTrace) {
        m_readTrace(sql, params);
    }
    if (!m_serverLost && attachServerReader()) {
        switch (m_pgReader.readMaps(sql, params, rows)) {
        case SqlReader::Status::Done:
            return rows;
        case SqlReader::Status::Failed:
            emit databaseError(noteIfServerLost() ? lostText() : m_pgReader.errorText());
            return rows;
        case SqlReader::Status::NotARead:
            break;
        }
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!runLocked(query, sql, params))
        return rows;
    // The column names are read once per result, not once per row: building
    // a record for every row cost more than reading the rows themselves.
    // Each row's map is filled in key order, so every insert lands at its
    // end; of two columns with the same name the later one is kept.
    if (query.next()) {
        const QSqlRecord record = query.record();
        std::map<QString, int> columns;
        for (int i = 0; i < record.count(); ++i)
            columns[record.fieldName(i)] = i;
        do {
            QVariantMap row;
            for (const auto& [name, index] : columns)
                row.insert(row.constEnd(), name, query.value(index));
            rows.append(row);
        } while (query.next());
    }
    return rows;
}

bool Database::execNonQuery(const QString& sql, const QVariantList& params)
{
    QMutexLocker lock(&m_mutex);
    QSqlQuery query(m_db);
    return runLocked(query, sql, params);
}

int Database::execInsert(const QString& sql, const QVariantList& params)
{
    QMutexLocker lock(&m_mutex);
    if (!isPostgres()) {
        QSqlQuery query(m_db);
        if (!runLocked(query, sql, params))
            return -1;
        const QVariant id = query.lastInsertId();
        return id.isValid() ? id.toInt() : 0;
    }
    return insertLocked(sql, params);
}

int Database::insertLocked(const QString& sql, const QVariantList& params)
{
    QSqlQuery query(m_db);
    if (!runLocked(query, insertStatement(sql), params))
        return -1;
    return query.isSelect() && query.next() ? query.value(0).toInt() : 0;
}

QString Database::insertStatement(const QString& sql) const
{
    // The server has no "last id" of the connection: an INSERT into a table
    // with ids hands the new one back itself.
    static const QRegularExpression insertInto(
        QStringLiteral("^\\s*INSERT\\s+INTO\\s+([A-Za-z0-9_]+)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression returning(QStringLiteral("\\bRETURNING\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = insertInto.match(sql);
    if (!match.hasMatch() || !m_tablesWithId.contains(match.captured(1).toLower()) ||
        returning.match(sql).hasMatch())
        return sql;
    return SqlDialect::returningId(m_engine, sql);
}

int Database::execKept(const QString& sql, const QVariantList& params)
{
    QMutexLocker lock(&m_mutex);
    // The server has no last id of the connection: its INSERTs hand the new
    // id back, as execInsert()'s do.
    if (isPostgres())
        return insertLocked(sql, params);
    if (!attachReader()) {
        QSqlQuery query(m_db);
        if (!runLocked(query, sql, params))
            return -1;
        const QVariant id = query.lastInsertId();
        return id.isValid() ? id.toInt() : 0;
    }
    qint64 id = 0;
    if (m_reader.write(sql, params, &id) != SqlReader::Status::Done) {
        emit databaseError(m_restartPending ? restartPendingMarker() + m_reader.errorText()
                                            : m_reader.errorText());
        return -1;
    }
    return int(id);
}

QVariantMap Database::getById(const QString& table, int id)
{
    // The table name cannot be bound, so only a plain identifier is accepted;
    // anything else never reaches the driver.
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (!identifier.match(table).hasMatch())
        return {};
    // Accounts carry password hashes; pages reach them only through the
    // sign-in controller, which never returns the hash.
    if (table.compare(QLatin1String("users"), Qt::CaseInsensitive) == 0)
        return {};

    // A missing table or row is an empty map, not an error worth announcing.
    QMutexLocker lock(&m_mutex);
    QVariantList rows;
    const QString sql = QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE id=?");
    if (attachReader()) {
        m_reader.readMaps(sql, {id}, rows);
    } else if (isPostgres()) {
        SqlReader::Rows found;
        if (readOnServer(sql, {id}, &found, {}, nullptr) && !found.rows.isEmpty()) {
            QVariantMap row;
            for (int i = 0; i < found.columns.size(); ++i)
                row.insert(found.columns.at(i), found.rows.first().value(i));
            rows.append(row);
        }
    }
    return SqlValue::firstRow(rows);
}

bool Database::beginTransaction()
{
    return m_db.transaction();
}

bool Database::commitTransaction()
{
    return m_db.commit();
}

bool Database::rollbackTransaction()
{
    return m_db.rollback();
}

QVariant Database::scalar(const QString& sql, const QVariantList& params)
{
    QMutexLocker lock(&m_mutex);
    if (attachReader()) {
        QVariant value;
        switch (m_reader.readValue(sql, params, value)) {
        case SqlReader::Status::Done:
            return value;
        case SqlReader::Status::Failed:
            emit databaseError(m_reader.errorText());
            return {};
        case SqlReader::Status::NotARead:
            break;
        }
    } else if (isPostgres() && PgReader::isRead(sql) && m_readTrace) {
        m_readTrace(sql, params);
    }
    if (!m_serverLost && attachServerReader()) {
        QVariant value;
        switch (m_pgReader.readValue(sql, params, value)) {
        case SqlReader::Status::Done:
            return value;
        case SqlReader::Status::Failed:
            emit databaseError(noteIfServerLost() ? lostText() : m_pgReader.errorText());
            return {};
        case SqlReader::Status::NotARead:
            break;
        }
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (runLocked(query, sql, params) && query.next())
        return query.value(0);
    return {};
}

bool Database::readRows(const QString& sql, const QVariantList& params, SqlReader::Rows& rows,
                        QString* error)
{
    rows = SqlReader::Rows();
    if (isPostgres()) {
        QMutexLocker lock(&m_mutex);
        return readOnServer(sql, params, &rows, {}, error);
    }
    return readLocked([&](SqlReader& reader) { return reader.readRows(sql, params, rows); }, error);
}

bool Database::forEachRow(const QString& sql, const QVariantList& params,
                          const std::function<void(QVector<QVariant>&)>& onRow, QString* error)
{
    if (isPostgres()) {
        QMutexLocker lock(&m_mutex);
        return readOnServer(sql, params, nullptr, onRow, error);
    }
    return readLocked([&](SqlReader& reader) { return reader.forEachRow(sql, params, onRow); },
                      error);
}

bool Database::readLocked(const std::function<SqlReader::Status(SqlReader&)>& read, QString* error)
{
    QMutexLocker lock(&m_mutex);
    SqlReader::Status status = SqlReader::Status::Failed;
    if (attachReader())
        status = read(m_reader);
    if (status == SqlReader::Status::Done)
        return true;
    if (error) {
        *error = status == SqlReader::Status::NotARead ? QStringLiteral("not a read")
                 : m_db.isOpen()                       ? m_reader.errorText()
                                                       : QStringLiteral("database not open");
    }
    return false;
}

bool Database::readOnServer(const QString& sql, const QVariantList& params, SqlReader::Rows* rows,
                            const std::function<void(QVector<QVariant>&)>& onRow, QString* error)
{
    if (m_readTrace && PgReader::isRead(sql))
        m_readTrace(sql, params);
    if (!m_serverLost && attachServerReader()) {
        const SqlReader::Status status = rows ? m_pgReader.readRows(sql, params, *rows)
                                              : m_pgReader.forEachRow(sql, params, onRow);
        if (status == SqlReader::Status::Done)
            return true;
        if (status == SqlReader::Status::Failed) {
            if (error)
                *error = noteIfServerLost() ? lostText() : m_pgReader.errorText();
            return false;
        }
    }
    return readThroughQtSql(sql, params, rows, onRow, error);
}

bool Database::readThroughQtSql(const QString& sql, const QVariantList& params,
                                SqlReader::Rows* rows,
                                const std::function<void(QVector<QVariant>&)>& onRow,
                                QString* error)
{
    const auto failed = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (m_serverLost)
        return failed(lostText());
    if (!m_db.isOpen())
        return failed(QStringLiteral("database not open"));
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return failed(noteIfServerLost() ? lostText() : query.lastError().text());
    for (const QVariant& value : params)
        query.addBindValue(value);
    if (!query.exec())
        return failed(noteIfServerLost() ? lostText() : query.lastError().text());
    if (!query.isSelect())
        return failed(QStringLiteral("not a read"));
    const QSqlRecord record = query.record();
    const int count = record.count();
    if (rows) {
        for (int i = 0; i < count; ++i)
            rows->columns << record.fieldName(i);
    }
    QVector<QVariant> values(count);
    while (query.next()) {
        // A row handed to `onRow` may have been moved out of.
        values.resize(count);
        for (int i = 0; i < count; ++i)
            values[i] = query.value(i);
        if (rows)
            rows->rows.append(values);
        else
            onRow(values);
    }
    return true;
}
