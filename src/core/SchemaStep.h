#pragma once

#include <QList>
#include <QPair>
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

// A trigger's name and the CREATE statement that makes it.
using Triggers = QList<QPair<QString, QString>>;

// Whether each of `triggers` is stored in the file exactly as written here:
// one missing, or written otherwise by an older version, makes `asWritten`
// false. Returns false only when the file could not be read.
inline bool triggersAsWritten(QSqlDatabase& db, const Triggers& triggers, bool* asWritten,
                              QSqlError* error)
{
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral(
            "SELECT COUNT(*) FROM sqlite_master WHERE type='trigger' AND name=? AND sql=?")))
        return fail(query, error);
    *asWritten = true;
    for (const auto& [name, sql] : triggers) {
        query.addBindValue(name);
        query.addBindValue(sql);
        if (!query.exec() || !query.next())
            return fail(query, error);
        if (query.value(0).toInt() != 1) {
            *asWritten = false;
            break;
        }
    }
    return true;
}

// The statements that make each of `triggers` afresh.
inline QStringList triggersAnew(const Triggers& triggers)
{
    QStringList statements;
    for (const auto& [name, sql] : triggers)
        statements << QStringLiteral("DROP TRIGGER IF EXISTS ") + name << sql;
    return statements;
}

} // namespace SchemaStep
