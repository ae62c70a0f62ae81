#pragma once

#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantList>

class Database;

// Runs the money sums of one result and remembers which currencies they
// covered. Amounts are added as stored, without conversion, so a result
// whose sums took in more than one currency says so.
//
// A sum query returns its figure in column `t` and, in column `cur`, the
// lowest and highest currency id of the summed rows written "low,high"
// (MIN(currency_id)||','||MAX(currency_id)): one currency when they are the
// same. That costs far less than collecting every distinct id.
class MoneySums
{
public:
    explicit MoneySums(Database* db);

    // The query's `t` as a double; 0 when it returns no row (it failed).
    double sum(const QString& sql, const QVariantList& params = {});
    // A whole-history total the triggers keep (a MoneyTotals kind such as
    // every payment): exact in cents, read from a few rows.
    double stored(const QString& kind);
    // A grouped read of the per-owner totals of `kind` (bound first): one
    // row per owner with columns owner_id, t and cur.
    static const QString& storedByOwner();
    // Adds the ids of a `cur` column read elsewhere (grouped queries).
    void addCurrencies(const QVariant& ids);
    void merge(const MoneySums& other);
    bool mixedCurrencies() const { return m_currencies.size() > 1; }
    // The one currency every sum so far was kept in; null when they took in
    // several or none named any.
    QVariant currency() const;

    // True when a `cur` text names more than one currency.
    static bool mixed(const QVariant& ids);

private:
    Database* m_db;
    QSet<QString> m_currencies;
};
