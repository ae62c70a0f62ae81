#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

class Database;
class QSqlError;

// What the journal holds per account, currency (the entry's) and day of
// the entry, kept by triggers on journal_lines and journal_entries:
// the number of lines, debit and credit, their primary-currency amounts,
// apart the lines not yet converted (no primary amount: their entry's
// day had no rate), and `weighted`: the lines' debit - credit in mills,
// each times its entry's id. Summed over a day and currency, `weighted` is
// exactly 0 while each of the day's entries balances, so two entries out of
// balance by opposite amounts still show on their day (the plain day sums
// cancel out). Whole-history figures, trial balances and the running
// balance before a page of an account's ledger read these few rows instead
// of every line.
class LedgerTotals
{
public:
    // Creates the table and its triggers where missing or written otherwise,
    // and then counts the totals afresh from the lines, in one transaction.
    static bool ensure(QSqlDatabase& db, QSqlError* error = nullptr);
    static const QStringList& triggerNames();
    // The same on a PostgreSQL server: PL/pgSQL functions, their triggers
    // and a first count, for the server's migrations.
    static const QStringList& serverStatements();

    // A bulk posting sets the triggers aside inside its transaction and
    // adds its lines itself, in grouped passes (a pause never outlives the
    // transaction: a rollback takes it back too).
    static bool pause(Database* db);
    static bool resume(Database* db);
    // Adds the lines of the entries with id above `entryMark` (only those in
    // a currency other than the primary one when `otherCurrenciesOnly`).
    static bool addEntriesAfter(Database* db, int entryMark, bool otherCurrenciesOnly);
    // A statement adding rows of `rows` (account_id, currency_id, day,
    // n lines, debit, credit, weighted: lines in the primary currency,
    // grouped here) to the totals; `with` is the WITH clause `rows` reads
    // from, if any.
    static QString addConvertedSql(const QString& with, const QString& rows);
    // The `weighted` value of a line of entry `entryId` moving `net`
    // (debit - credit), both SQL expressions.
    static QString weightedSql(const QString& entryId, const QString& net);

    // Per account and currency, lines dated from `from` to `to` (yyyy-MM-dd,
    // empty for no bound): account_id, currency_id, lines, debit, credit.
    // `accountWhere` filters accounts (a condition on columns of accounts).
    static QVariantList sums(Database* db, const QString& from, const QString& to,
                             const QString& accountWhere = {});
};
