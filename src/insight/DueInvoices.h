#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>

class Database;

// What tenants still owe on their open invoices, by due day and currency:
// the cash calendar's money coming in from rent.
class DueInvoices
{
public:
    using RowHandler = std::function<void(QVector<QVariant>&)>;

    // Rows cur (currency id, NULL when the invoice names none), day and
    // amount (the day's open balance), in no set order, for the open
    // invoices due on `from` up to and including `to`. A server reads the
    // open balances it keeps per due day (ListTotals::kOpenInvoices); the
    // file adds up the invoices through its index of open ones. The rows
    // are those of forEachDayScanned either way.
    static bool forEachDay(Database* db, const QString& from, const QString& to,
                           const RowHandler& onRow);
    // How many invoices are open (OpenInvoices::owing) and fell due before
    // `day`, from the open invoices kept per due day.
    static qint64 countDueBefore(Database* db, const QString& day);
    // The same rows added up from the invoices themselves.
    static bool forEachDayScanned(Database* db, const QString& from, const QString& to,
                                  const RowHandler& onRow);
};
