#pragma once

#include <QHash>
#include <QVariantList>

class Database;

// What the office owes each contractor, per currency: the bills marked owed
// minus what was paid to it (a payment by a cheque the bank returned counts
// for nothing). The one place that figure is computed; the
// contractors' stored `balance` (one number over every currency, for older
// readers) is brought in step from it after every change.
class ContractorBalance
{
public:
    explicit ContractorBalance(Database* db);

    // One row per currency the contractor ever billed or was paid in:
    // currency_id, currency_code, currency_symbol, owed, paid, balance.
    QVariantList perCurrency(int contractorId) const;
    // The contractor's open balance in one currency, to the cent.
    double balance(int contractorId, int currencyId) const;
    // True when, in some currency, more was paid to the contractor than its
    // bills come to.
    bool overpaid(int contractorId) const;
    // Every contractor's balance summed per currency (what account 2100
    // must hold).
    QHash<int, double> totals() const;
    // Writes the stored `balance` of the contractor from its rows.
    bool syncStored(int contractorId);

    // "(SELECT id ...)": the currency a row without one is kept in.
    static QString primaryCurrency();

private:
    Database* m_db;
};
