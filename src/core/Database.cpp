#include "core/Database.h"

#include "core/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>
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
    if (m_db.isOpen())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
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

    if (!applyPragmas() || !Schema::createTables(m_db, &m_initError) ||
        !Schema::migrateUsersTable(m_db, &m_initError) ||
        !Schema::createIndexes(m_db, &m_initError) ||
        !Schema::seedDefaultData(m_db, &m_initError)) {
        emit databaseError(m_initError.text());
        m_db.close();
        if (fileIsNew) {
            for (const char* suffix : {"", "-wal", "-shm", "-journal"})
                QFile::remove(path + QLatin1String(suffix));
        }
        return false;
    }
    return true;
}

bool Database::applyPragmas()
{
    // FULL makes every commit wait until the write-ahead log is on disk, so a
    // payment reported as saved survives a power cut. A write that meets
    // another connection's lock waits up to five seconds before failing.
    const QString statements[] = {
        QStringLiteral("PRAGMA journal_mode=WAL"),
        QStringLiteral("PRAGMA foreign_keys=ON"),
        QStringLiteral("PRAGMA synchronous=FULL"),
        QStringLiteral("PRAGMA busy_timeout=5000"),
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
    {
        QSqlQuery checkpoint(m_db);
        if (!checkpoint.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"))) {
            emit databaseError(checkpoint.lastError().text());
            return false;
        }
    }
    m_db.close();
    return true;
}

bool Database::reopen(bool readOnly)
{
    QMutexLocker lock(&m_mutex);
    if (m_db.isOpen())
        m_db.close();
    m_db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY") : QString());
    if (!m_db.open()) {
        emit databaseError(m_db.lastError().text());
        return false;
    }
    // A read-only connection cannot switch the journal mode; it reads the
    // file as it is until the program starts again.
    if (!readOnly && !applyPragmas()) {
        emit databaseError(m_initError.text());
        return false;
    }
    return true;
}

QVariantMap Database::recordMap(const QSqlQuery& query)
{
    QVariantMap row;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        row.insert(record.fieldName(i), query.value(i));
    return row;
}

bool Database::runLocked(QSqlQuery& query, const QString& sql, const QVariantList& params)
{
    if (!query.prepare(sql)) {
        emit databaseError(query.lastError().text());
        return false;
    }
    for (const QVariant& value : params)
        query.addBindValue(value);
    if (!query.exec()) {
        emit databaseError(query.lastError().text());
        return false;
    }
    return true;
}

QVariantList Database::execQuery(const QString& sql, const QVariantList& params)
{
    QMutexLocker lock(&m_mutex);
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    QVariantList rows;
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
    QSqlQuery query(m_db);
    if (!runLocked(query, sql, params))
        return -1;
    const QVariant id = query.lastInsertId();
    return id.isValid() ? id.toInt() : 0;
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

    QMutexLocker lock(&m_mutex);
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE id=?")))
        return {};
    query.addBindValue(id);
    if (query.exec() && query.next())
        return recordMap(query);
    return {};
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
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (runLocked(query, sql, params) && query.next())
        return query.value(0);
    return {};
}
