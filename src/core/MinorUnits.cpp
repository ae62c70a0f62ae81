#include "core/MinorUnits.h"

#include "core/Database.h"
#include "core/Money.h"

#include <QVariantMap>

MinorUnits::MinorUnits(Database* db)
{
    const QVariantList rows = db->execQuery(QStringLiteral(
        "SELECT id, decimals, is_primary FROM currencies ORDER BY is_primary DESC, id"));
    bool first = true;
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const int places = Money::clampDecimals(row.value(QStringLiteral("decimals")).toInt());
        m_decimals.insert(row.value(QStringLiteral("id")).toInt(), places);
        if (first)
            m_primaryDecimals = places;
        first = false;
    }
}

int MinorUnits::decimals(const QVariant& currencyId) const
{
    return m_decimals.value(currencyId.toInt(), m_primaryDecimals);
}

double MinorUnits::round(const QVariant& currencyId, double amount) const
{
    return Money::roundTo(amount, decimals(currencyId));
}

double MinorUnits::roundFor(Database* db, const QVariant& currencyId, double amount)
{
    return MinorUnits(db).round(currencyId, amount);
}
