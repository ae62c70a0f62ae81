#pragma once

#include "core/DatabaseSettings.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QSqlError;

// Running totals of the money the reports add up over the whole history:
// every payment, every expense, and both of them per property (payments
// reach their property through the invoice's unit, as the property
// comparison counts them), payments per day and per property and day. Triggers keep them in step
// with every insert, delete and change of payments, expenses, invoices and units, whoever writes,
// so a report reads a few rows instead of every payment.
//
// Each total is kept per currency as whole cents (an exact integer, so the
// figure does not depend on the order rows were added in) plus the
// remainder below a cent of amounts that are not whole cents (0 for the
// usual amounts). A total is cents / 100.0 + rest.
class MoneyTotals
{
public:
    // Kinds of total; the whole-table kinds use owner 0, the per-property
    // kinds the property id.
    static const QString kPayments;
    static const QString kExpenses;
    static const QString kPropertyPayments;
    static const QString kPropertyExpenses;
    // Payments per day, owner yyyymmdd (20240305 for 5 March 2024): a
    // month's total converts each day at its own rate.
    static const QString kDayPayments;
    // Payments per property and day, owner property id * kDayStride +
    // yyyymmdd: the comparison of properties converts each of its days in
    // another currency at that day's rate without visiting the payments.
    static const QString kPropertyDayPayments;
    static constexpr qint64 kDayStride = 100000000;

    // Creates the table and its triggers where any is missing or written
    // otherwise and then (a file from an older version) counts the totals
    // afresh from the stored rows, all in one transaction. A file that has
    // them all as they should be is left untouched.
    static bool ensure(QSqlDatabase& db, QSqlError* error = nullptr);

    // Empties the totals and counts them again from the stored rows, in the
    // engine's own SQL (a server's totals are kept by its own functions, see
    // PgSchema::totalsStatements, and counted afresh with the same rules).
    static QStringList
    recountStatements(DatabaseSettings::Engine engine = DatabaseSettings::Engine::SQLite);
    static const QStringList& triggerNames();

    // An amount column's whole cents, and what is left below a cent, as the
    // totals count them: a read that adds up rows itself uses the same. The
    // server's INTEGER holds 32 bits, so its cents are cast to BIGINT.
    static QString centsOf(const QString& amount,
                           DatabaseSettings::Engine engine = DatabaseSettings::Engine::SQLite);
    static QString restOf(const QString& amount,
                          DatabaseSettings::Engine engine = DatabaseSettings::Engine::SQLite);
    // The yyyymmdd day a payment date counts in for the monthly report, or
    // NULL for a date that is in none.
    static QString dayOf(const QString& date);
};
