#pragma once

#include "core/DatabaseSettings.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

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
        QString day;                  // the row's day (or month), written with the row as "R"
        QString dayColumn;            // the column the day is worked out from
        QString currency;             // currency column, or empty
        QStringList sums;             // summed columns (at most three), in kept order
        QString condition;            // a row counts only when this holds ("R" the row), or empty
        QStringList conditionColumns; // the columns the condition and `split` read
        // Kept apart per value of this expression ("R" the row), or empty:
        // the rows of value V are kept under the key "list:V" (NULL as ""),
        // so a list filtered on that one value reads its own few rows.
        QString split;
        QString splitFilter; // the list's filter key that compares the same value
        QString serverDay;   // `day` as a PostgreSQL server writes it, when it differs
    };

    static const QString kInvoices;
    static const QString kPayments;
    static const QString kJournal;
    // Received cheques still pending for a payment or an instalment, all on
    // one day (''): the money under collection the books are checked against.
    static const QString kPendingCheques;
    // Every cheque, per status, for the cheque list's count and footer.
    static const QString kCheques;
    // Pending cheques with a due day, per type, by due day: what is to be
    // cashed or paid up to a day, for the alerts, insights and cash calendar.
    static const QString kChequesDue;
    // Invoices still owing (OpenInvoices::owing), by due day: the invoice
    // part of the overdue receivables and of the cash calendar.
    static const QString kOpenInvoices;
    static const QString kExpenses;
    // Every cheque per type and status, for the register's boxes.
    static const QString kChequeRegister;
    // The audit log's rows, all on one day (''): the log's count.
    static const QString kAudit;

    // Every kept list (ListTotalsKept.cpp).
    static const QList<Kept>& all();
    // The kept list named `list`, or null.
    static const Kept* find(const QString& list);
    // The condition on list_totals.list selecting `k`'s rows: all of them,
    // or only those kept for one value of its split; its bound values.
    static QString listCondition(const Kept& k, bool oneValue);
    static QVariantList listValues(const Kept& k, const QVariant& value = {});

    // Creates the table and its triggers where any is missing or written
    // otherwise, and then counts the totals afresh from the stored rows, in
    // one transaction; a file that has them as they should be is untouched.
    static bool ensure(QSqlDatabase& db, QSqlError* error = nullptr);
    // Empties the totals and counts them again from the stored rows, in the
    // engine's own SQL.
    static QStringList
    recountStatements(DatabaseSettings::Engine engine = DatabaseSettings::Engine::SQLite);
    static const QStringList& triggerNames();
    // The same on a PostgreSQL server, for its migrations: the table, the
    // PL/pgSQL functions and triggers that keep it, written from the same
    // definitions as the file's triggers, and a first count. The lists kept
    // since a later migration are left out here and made by
    // serverStatements(list), which counts that one list's rows.
    static const QStringList& serverStatements();
    static QStringList serverStatements(const QString& list);
    // The same for a list a server kept otherwise before: its functions,
    // triggers and rows go first, then it is kept and counted anew.
    static QStringList serverStatementsAnew(const QString& list);
    // A server's triggers that count the rows a statement adds or removes,
    // once per statement (they ran once per row before): its functions and
    // triggers made anew, the totals as they are.
    static QStringList serverStatementTriggers();
};
