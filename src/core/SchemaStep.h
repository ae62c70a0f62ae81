#pragma once

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <sqlite3.h>

// What the schema steps share: keeping the first failure for the caller and
// telling whether the connection is inside a transaction.
namespace SchemaStep {

inline bool fail(const QSqlQuery& query, QSqlError* error)
{
    if (error)
        *error = query.lastError();
    return false;
}

inline bool insideTransaction(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    return connection && !sqlite3_get_autocommit(connection);
}

// Runs `statements` in a transaction of their own: all of them take effect or
// none, and the first failure is kept for the caller.
inline bool runTogether(QSqlDatabase& db, const QStringList& statements, QSqlError* error)
{
    if (!db.transaction()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    QSqlQuery query(db);
    for (const QString& statement : statements) {
        if (!query.exec(statement)) {
            fail(query, error);
            query.finish();
            db.rollback();
            return false;
        }
    }
    query.finish();
    if (!db.commit()) {
        if (error)
            *error = db.lastError();
        db.rollback();
        return false;
    }
    return true;
}

} // namespace SchemaStep
