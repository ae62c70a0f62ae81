#pragma once

#include <QHash>
#include <QVariant>

class Database;

// How many decimals each currency's money is kept in: two for most, three
// for the Jordanian dinar and its like (currencies.decimals). Every amount a
// clerk types is rounded to its currency's minor unit before it is stored,
// so a shekel amount never carries a third decimal and a dinar amount never
// loses one.
class MinorUnits
{
public:
    // Reads the few currency rows once.
    explicit MinorUnits(Database* db);

    // A missing or unknown currency is the primary one, as on screen.
    int decimals(const QVariant& currencyId) const;
    double round(const QVariant& currencyId, double amount) const;

    // For a write that rounds one amount.
    static double roundFor(Database* db, const QVariant& currencyId, double amount);

private:
    QHash<int, int> m_decimals;
    int m_primaryDecimals = 2;
};
