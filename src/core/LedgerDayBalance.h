#pragma once

#include <QSqlDatabase>
#include <QStringList>

class Database;
class QSqlError;

// Whether the journal balances day by day: per currency and day, what the
// ledger's day totals (LedgerTotals) add up to over every account, kept by
// triggers on those totals whoever writes them. `net` is debit - credit and
// `weighted` the entry-weighted sum (0 while each entry of the day balances),
// so the days out of balance are a look-up in an index of the few that are,
// instead of a grouped pass over every account's day.
//
// Every line posted on a day changes that day's one row. A server keeps each
// change as a new version of the row until the transaction ends and walks
// all of them at the next change, so the batch postings (a rent run's
// thousands of lines on one day) count their day totals in one statement
// (LedgerHistory), which changes each day's row once per account.
class LedgerDayBalance
{
public:
    // How far a day's debits and credits may differ before it is out.
    static constexpr double kTolerance = 0.005;

    // Creates the table, its index and triggers where missing or written
    // otherwise, and counts it afresh from the day totals, in one
    // transaction. Runs after LedgerTotals::ensure.
    static bool ensure(QSqlDatabase& db, QSqlError* error = nullptr);
    static const QStringList& triggerNames();
    // The same on a PostgreSQL server, for its migrations; also what an
    // office moved there counts its balance with.
    static const QStringList& serverStatements();
    // Empties the balance and counts it again from the day totals.
    static QStringList recountStatements();

    // The first `limit` days (yyyy-MM-dd) on which some currency is out of
    // balance, oldest first, from the kept rows; daysScanned reads the same
    // from the day totals themselves.
    static QStringList outOfBalanceDays(Database* db, int limit);
    static QStringList outOfBalanceDaysScanned(Database* db, int limit);
};
