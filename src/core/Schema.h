#pragma once

#include <QSqlDatabase>
#include <QStringList>

// The database format: tables, the statements that bring an older file up to
// date, indexes and the rows of a new database. Every step is safe to repeat.
class Schema
{
public:
    static void createTables(QSqlDatabase& db);
    // Returns the error texts of the statements that failed.
    static QStringList migrateUsersTable(QSqlDatabase& db);
    static void createIndexes(QSqlDatabase& db);
    static void seedDefaultData(QSqlDatabase& db);

    static const QStringList& tableStatements();
    static const QStringList& indexStatements();

    // The first administrator's password on a new database.
    static QString defaultAdminPassword();
};
