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
// A sum query returns its figure in column `t` and the distinct currency ids
// of the summed rows in column `cur` (GROUP_CONCAT(DISTINCT currency_id)).
class MoneySums
{
public:
    explicit MoneySums(Database* db);

    // The query's `t` as a double; 0 when it returns no row (it failed).
    double sum(const QString& sql, const QVariantList& params = {});
    // Adds the ids of a `cur` column read elsewhere (grouped queries).
    void addCurrencies(const QVariant& ids);
    void merge(const MoneySums& other);
    bool mixedCurrencies() const { return m_currencies.size() > 1; }

    // True when a `cur` text names more than one currency.
    static bool mixed(const QVariant& ids);

private:
    Database* m_db;
    QSet<QString> m_currencies;
};
