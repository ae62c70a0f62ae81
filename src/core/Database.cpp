#include "core/Database.h"

#include "core/Schema.h"

#include <QMutexLocker>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

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
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    m_db.setDatabaseName(path);
    if (!m_db.open()) {
        emit databaseError(m_db.lastError().text());
        return false;
    }

    applyPragmas();

    Schema::createTables(m_db);
    const QStringList migrationErrors = Schema::migrateUsersTable(m_db);
    for (const QString& error : migrationErrors)
        emit databaseError(error);
    Schema::createIndexes(m_db);
    Schema::seedDefaultData(m_db);
    return true;
}

void Database::applyPragmas()
{
    QSqlQuery pragma(m_db);
    pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    pragma.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    pragma.exec(QStringLiteral("PRAGMA cache_size=-64000"));
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
    if (!readOnly)
        applyPragmas();
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
    while (query.next())
        rows.append(recordMap(query));
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
