#pragma once

#include <QSqlDatabase>
#include <QStringList>

class QSqlError;

// The database format: tables, the statements that bring an older file up to
// date, indexes and the rows of a new database. Every step is safe to repeat.
class Schema
{
public:
    // Each step returns false at its first failed statement (a full disk, a
    // read-only file) and stores that statement's error in `error`.
    static bool createTables(QSqlDatabase& db, QSqlError* error = nullptr);
    static bool migrateUsersTable(QSqlDatabase& db, QSqlError* error = nullptr);
    static bool createIndexes(QSqlDatabase& db, QSqlError* error = nullptr);
    static bool seedDefaultData(QSqlDatabase& db, QSqlError* error = nullptr);

    static const QStringList& tableStatements();
    static const QStringList& indexStatements();

    // The first administrator's password on a new database.
    static QString defaultAdminPassword();
};
