#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QSqlError;

// Per-day totals of the long lists, kept by triggers whoever writes, so a
// list shown without search or filter reads its count and footer from a few
// thousand day rows instead of every invoice, payment or journal entry.
//
// Each kept list has one row per day and currency (-1: none named) in
// list_totals, with the number of rows and up to three summed columns, each
// as whole cents plus what is left below a cent (see MoneyTotals::centsOf),
// so a total is exact and does not depend on the order rows came in. The day
// is the one the list converts a row at, so a converted footer reads the
// same per-day amounts a scan would group.
class ListTotals
{
public:
    struct Kept
    {
        QString list;                 // key in list_totals, e.g. "invoices"
        QString table;                // the table whose rows are counted
        QString day;                  // the row's day, written with the row as "R"
        QString dayColumn;            // the column the day is worked out from
        QString currency;             // currency column, or empty
        QStringList sums;             // summed columns (at most three), in kept order
        QString condition;            // a row counts only when this holds ("R" the row), or empty
        QStringList conditionColumns; // the columns the condition reads
    };

    static const QString kInvoices;
    static const QString kPayments;
    static const QString kJournal;
    // Received cheques still pending for a payment or an instalment, all on
    // one day (''): the money under collection the books are checked against.
    static const QString kPendingCheques;

    // The kept list named `list`, or null.
    static const Kept* find(const QString& list);

    // Creates the table and its triggers where any is missing or written
    // otherwise, and then counts the totals afresh from the stored rows, in
    // one transaction; a file that has them as they should be is untouched.
    static bool ensure(QSqlDatabase& db, QSqlError* error = nullptr);
    static QStringList recountStatements();
    static const QStringList& triggerNames();
};
