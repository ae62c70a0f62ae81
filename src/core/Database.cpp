#include "core/Database.h"

#include "core/AuditTrail.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"

#include <QMutexLocker>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <map>

bool Database::runLocked(QSqlQuery& query, const QString& sql, const QVariantList& params,
                         bool prepared)
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
    if (!prepared && !query.prepare(sql))
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

bool Database::runStatement(const QString& sql, const QVariantList& params,
                            const std::function<void(QSqlQuery&)>& take)
{
    if (!isPostgres() || params.isEmpty() || m_serverLost) {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!runLocked(query, sql, params))
            return false;
        if (take)
            take(query);
        return true;
    }
    // A page of statements (a payment's, a sale's) runs again and again; a
    // program that wrote more kinds than this starts its set anew.
    constexpr std::size_t kKeptStatements = 400;
    auto kept = m_keptStatements.find(sql);
    const bool prepared = kept != m_keptStatements.end();
    if (!prepared) {
        if (m_keptStatements.size() >= kKeptStatements)
            clearKeptStatements();
        kept = m_keptStatements.emplace(sql, std::make_unique<QSqlQuery>(m_db)).first;
    }
    QSqlQuery& query = *kept->second;
    const bool done = runLocked(query, sql, params, prepared);
    if (done && take)
        take(query);
    query.finish();
    // A statement that failed is prepared anew next time: the server may
    // have refused the statement itself, or its tables changed under it.
    if (!done)
        m_keptStatements.erase(kept);
    return done;
}

void Database::clearKeptStatements()
{
    m_keptStatements.clear();
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
    // The column names are read once per result, not once per row: building
    // a record for every row cost more than reading the rows themselves.
    // Each row's map is filled in key order, so every insert lands at its
    // end; of two columns with the same name the later one is kept.
    runStatement(sql, params, [&rows](QSqlQuery& query) {
        if (!query.next())
            return;
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
    });
    return rows;
}

bool Database::execNonQuery(const QString& sql, const QVariantList& params)
{
    QMutexLocker lock(&m_mutex);
    return runStatement(sql, params);
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
    int id = 0;
    if (!runStatement(insertStatement(sql), params, [&id](QSqlQuery& query) {
            if (query.isSelect() && query.next())
                id = query.value(0).toInt();
        }))
        return -1;
    return id;
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
    QVariant value;
    runStatement(sql, params, [&value](QSqlQuery& query) {
        if (query.next())
            value = query.value(0);
    });
    return value;
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
