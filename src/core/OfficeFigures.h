#pragma once

#include "core/CurrencyRates.h"

#include <QDate>
#include <QHash>
#include <QMap>
#include <QString>
#include <QVariantMap>

class ConvertedTotal;
class Database;

// The office's headline figures, each computed here once for every screen,
// print and export that shows it:
//   occupancy                 rented units ÷ units not sold, in %
//   collected                 payments received in a span (this month by default)
//   contracted monthly rent   the monthly rent of active contracts
//   receivables               what open invoices still owe
//   overdue receivables       open invoices and unpaid instalments past their due day
//   cash                      the ledger's cash accounts (1100 and its sub-accounts)
//   revenue / expenses / net  the ledger's revenue and expense accounts over a span
// Money figures are in the primary currency, each row converted at its own
// day's rate (current figures at `today`'s), and come as ConvertedTotal maps:
// total, byCurrency, complete and missing.
class OfficeFigures
{
public:
    OfficeFigures(Database* db, const QDate& today);

    // {rented, notSold, percent}; one property when `propertyId` is above 0.
    QVariantMap occupancy(int propertyId = 0);
    // The occupancy percentage of counts read elsewhere (a grouped list).
    static double occupancyPercent(qint64 rented, qint64 notSold);
    // Payments dated from `from` up to and including `to` (yyyy-MM-dd).
    QVariantMap collected(const QString& from, const QString& to);
    QVariantMap collectedThisMonth();
    // Payments per calendar month (key yyyymm) from `from` up to and
    // including `to`; months without payments are left out.
    QMap<int, QVariantMap> collectedByMonth(const QDate& from, const QDate& to);
    QVariantMap contractedMonthlyRent(int propertyId = 0);
    // Per property id, for the property cards: one read for all of them.
    QHash<int, QVariantMap> contractedMonthlyRentByProperty();
    // Adds {count} (overdue invoices plus instalments) to the total. A file
    // reads the open invoices from the totals it keeps per due day; with
    // `fromRows` they are added up from the invoices themselves, the same
    // figure.
    QVariantMap overdueReceivables(bool fromRows = false);
    // What every open invoice still owes, whatever its due day.
    ConvertedTotal receivables();
    QVariantMap cash();
    // {revenue, expenses, net_profit} as totals; empty bounds take the
    // whole history.
    QVariantMap periodResults(const QString& from = QString(), const QString& to = QString());

    QString todayIso() const;
    const CurrencyRates& rates() const { return m_rates; }

private:
    // The payments of each day from `from` to `to` as the triggers keep
    // them (MoneyTotals): columns m (yyyymm), c, d and t, a few rows a day.
    QVariantList paymentDays(const QDate& from, const QDate& to);
    // The ledger lines of accounts of `accountWhere`, signed credit-debit
    // when `creditSide`, else debit-credit.
    ConvertedTotal ledger(const QString& accountWhere, bool creditSide, const QString& from,
                          const QString& to);
    // The same per owner: `owner` and `sign` (-1 for credit-debit, 1 for
    // debit-credit) are SQL on the account's columns (a.), each the same
    // for every account of one type.
    QHash<qlonglong, ConvertedTotal> ledgerPerOwner(const QString& owner, const QString& sign,
                                                    const QString& accountWhere,
                                                    const QString& from, const QString& to);

    Database* m_db;
    QDate m_today;
    CurrencyRates m_rates;
};
