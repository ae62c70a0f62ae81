#pragma once

#include <QList>

#include <QSqlError>
#include <QString>
#include <QStringList>
#include <functional>

class QSqlDatabase;

// The schema on a PostgreSQL server, kept in numbered migrations. Each one
// runs once, whole or not at all, and is recorded in schema_migrations; the
// desks that start together wait for each other, so only one of them brings
// the server up to date.
class PgSchema
{
public:
    struct Migration
    {
        int version;
        QString description;
        QStringList statements;
        // Run after the statements, inside the same transaction, for what
        // plain statements cannot say (rows with computed values).
        std::function<bool(QSqlDatabase&, QSqlError*)> step;
    };

    // Every migration, in the order they run.
    static const QList<Migration>& migrations();
    // Runs the migrations the server has not had yet. False, with the
    // failing statement's error in `error`, at the first one that fails;
    // that migration then leaves nothing behind.
    static bool bringUpToDate(QSqlDatabase& db, QSqlError* error);
    // The highest version the server has had, 0 on an empty database and
    // -1 when it cannot be read.
    static int currentVersion(QSqlDatabase& db);

    // The CREATE TABLE statements of the first migration, with "%NOW%" and
    // "%TODAY%" where the current time and day go.
    static const QStringList& tableStatements();
    // The functions and triggers that keep money_totals.
    static const QStringList& totalsStatements();
    static const QStringList& propertyDayStatements();
    // The rows a new database starts with, the same as a new file's
    // (PgSchemaSeed.cpp).
    static bool seedRows(QSqlDatabase& db, QSqlError* error);

    // The key of the advisory lock every write transaction takes, so that one
    // desk writes at a time; the migrations take it as well.
    static constexpr qint64 kWriteLock = 0x53414b414e4f5641; // "SAKANOVA"
    // Held by the desk restoring a backup for as long as the restore runs:
    // one restore at a time, and the other desks can tell it is still on.
    static constexpr qint64 kRestoreLock = 0x53414b4152455354; // "SAKAREST"
};
