#pragma once

#include <QList>
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
    // Adds the missing text indexes, each filled from its table's rows in
    // the same transaction as it is created. A library built without FTS5
    // leaves them out: the lists then search by scanning.
    static bool createSearchIndexes(QSqlDatabase& db, QSqlError* error = nullptr);
    // Reads every text index again from its table, for a writer that filled
    // the tables with the keeping-up triggers dropped.
    static bool rebuildSearchIndexes(QSqlDatabase& db, QSqlError* error = nullptr);
    static bool seedDefaultData(QSqlDatabase& db, QSqlError* error = nullptr);

    static const QStringList& tableStatements();
    static const QStringList& indexStatements();

    // A trigram index over the text columns of one long table, so a search
    // for a piece of text reads the few rows holding its three-letter runs
    // instead of every row. It stores no text of its own (the table is its
    // content) and triggers keep it in step with the table's writes.
    struct SearchIndex
    {
        QString name;        // the FTS5 table, e.g. "invoices_search"
        QString table;       // the indexed table; its "id" is the index's rowid
        QStringList columns; // the table's text columns it covers
    };
    static const QList<SearchIndex>& searchIndexes();
    // CREATE VIRTUAL TABLE and the insert, delete and update triggers.
    static QStringList searchIndexStatements(const SearchIndex& index);

    // The first administrator's password on a new database.
    static QString defaultAdminPassword();
};
