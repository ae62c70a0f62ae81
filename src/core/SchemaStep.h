#pragma once

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
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

} // namespace SchemaStep
