#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QStringList>

class QSqlError;
class QSqlQuery;

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
    // Adds the missing text indexes and indexes the rows written since the
    // last start. A library built without FTS5 leaves them out: the lists
    // then search by scanning.
    static bool createSearchIndexes(QSqlDatabase& db, QSqlError* error = nullptr);
    // Adds the rows past each text index's mark to it and moves the mark,
    // all in one statement per index.
    static bool catchUpSearchIndexes(QSqlDatabase& db, QSqlError* error = nullptr);
    static bool seedDefaultData(QSqlDatabase& db, QSqlError* error = nullptr);
    // The rows themselves, in SQL both engines read, inside the caller's
    // transaction: the administrator (on the default password, which must
    // be replaced at the first sign-in), currencies, the first chart of
    // accounts, services and the first-run setup's mark. Rows already there
    // (by code, name or key) are kept as they are.
    static bool writeSeedRows(QSqlDatabase& db, QSqlError* error = nullptr);
    // The accounts the postings need beside the first chart, added where
    // their code is missing (SchemaLedger.cpp).
    static bool addPostingAccounts(QSqlQuery& query, QSqlError* error = nullptr);
    // Gives the currencies whose minor unit is a thousandth three decimals.
    static QString threeDecimalCurrenciesSql();
    // The ledger's additions: the entry currency, the accounts the postings
    // need and the mark of the history posting (SchemaLedger.cpp).
    static bool migrateLedger(QSqlDatabase& db, QSqlError* error = nullptr);
    // Marks the expenses owed to a contractor (SchemaExpenses.cpp).
    static bool migrateExpenses(QSqlDatabase& db, QSqlError* error = nullptr);
    // Rates that older versions wrote as a stand-in marked as no rate, and
    // the primary-currency amounts of journal lines (SchemaRates.cpp).
    static bool migrateRates(QSqlDatabase& db, QSqlError* error = nullptr);
    // The settings key whose value is "done" once past events are posted.
    static const QString& ledgerHistoryKey();

    static const QStringList& tableStatements();
    static const QStringList& indexStatements();

    // A trigram index over the text columns of one long table, so a search
    // for a piece of text reads the few rows holding its three-letter runs
    // instead of every row. It stores no text of its own (the table is its
    // content).
    //
    // It covers the rows up to its mark (search_index_marks.indexed_to);
    // rows added after it are found by scanning that short tail, and each
    // start adds them in one go. Writing every new row at once would cost
    // far more: the index writes its pending rows out at every statement of
    // a long transaction, so a rent run of 4,000 invoices would write 4,000
    // index segments. Triggers keep edited and deleted rows below the mark
    // in step (and a row inserted below it, which only an import can do).
    struct SearchIndex
    {
        QString name;        // the FTS5 table, e.g. "invoices_search"
        QString table;       // the indexed table; its "id" is the index's rowid
        QStringList columns; // the table's text columns it covers
    };
    static const QList<SearchIndex>& searchIndexes();
    // CREATE VIRTUAL TABLE and the insert, delete and update triggers.
    static QStringList searchIndexStatements(const SearchIndex& index);
    // "(SELECT indexed_to ...)": the last id the index covers.
    static QString searchIndexMark(const QString& indexName);

    // The first administrator's password on a new database.
    static QString defaultAdminPassword();
};
