#include "core/PartyBalances.h"

#include "core/ConvertedTotal.h"
#include "core/Database.h"
#include "core/Money.h"

#include <QVariantMap>

QVariantList PartyBalances::owed(const QVariantList& rows)
{
    QVariantList out;
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        // To the mill, so a dinar balance keeps its third decimal.
        const double total = Money::roundTo(row.value(QStringLiteral("total")).toDouble(), 3);
        if (Money::toMinor(total, 3) == 0)
            continue;
        out.append(QVariantMap{{QStringLiteral("currency_id"), row.value(QStringLiteral("c"))},
                               {QStringLiteral("total"), total}});
    }
    return out;
}

QVariantList PartyBalances::tenant(Database* db, int tenantId)
{
    const QString currency =
        QStringLiteral("COALESCE(currency_id,") + ConvertedTotal::primaryIdSql() + QLatin1Char(')');
    return owed(db->execQuery(
        QStringLiteral("SELECT c, SUM(amount) as total FROM (SELECT ") + currency +
            QStringLiteral(" as c, CASE WHEN status='void' THEN paid_amount ELSE total_amount END "
                           "as amount FROM invoices WHERE tenant_id=? UNION ALL SELECT ") +
            currency +
            QStringLiteral(", -amount FROM payments WHERE tenant_id=?) owed GROUP BY c ORDER BY "
                           "c=") +
            ConvertedTotal::primaryIdSql() + QStringLiteral(" DESC, c"),
        {tenantId, tenantId}));
}

QVariantList PartyBalances::buyer(Database* db, int buyerId)
{
    const QString currency =
        QStringLiteral("COALESCE(currency_id,") + ConvertedTotal::primaryIdSql() + QLatin1Char(')');
    // Grouped in an outer query, whose ORDER BY may then compare the
    // currency: the server takes an output name there only on its own.
    return owed(db->execQuery(
        QStringLiteral("SELECT c, SUM(amount) as total FROM (SELECT ") + currency +
            QStringLiteral(" as c, installment_amount-paid_amount as amount FROM installments "
                           "WHERE buyer_id=?) owed GROUP BY c ORDER BY c=") +
            ConvertedTotal::primaryIdSql() + QStringLiteral(" DESC, c"),
        {buyerId}));
}

QString PartyBalances::tenantsSql()
{
    const QString currency =
        QStringLiteral("COALESCE(currency_id,") + ConvertedTotal::primaryIdSql() + QLatin1Char(')');
    return QStringLiteral("WITH owners(id) AS (VALUES %1) SELECT owner, c, SUM(amount) as total "
                          "FROM (SELECT tenant_id as owner, ") +
           currency +
           QStringLiteral(" as c, CASE WHEN status='void' THEN paid_amount ELSE total_amount END "
                          "as amount FROM invoices WHERE tenant_id IN (SELECT id FROM owners) "
                          "UNION ALL SELECT tenant_id, ") +
           currency +
           QStringLiteral(", -amount FROM payments WHERE tenant_id IN (SELECT id FROM owners)) "
                          "owed GROUP BY owner, c ORDER BY owner, c=") +
           ConvertedTotal::primaryIdSql() + QStringLiteral(" DESC, c");
}

QString PartyBalances::buyersSql()
{
    const QString currency =
        QStringLiteral("COALESCE(currency_id,") + ConvertedTotal::primaryIdSql() + QLatin1Char(')');
    return QStringLiteral("WITH owners(id) AS (VALUES %1) SELECT owner, c, SUM(amount) as total "
                          "FROM (SELECT buyer_id as owner, ") +
           currency +
           QStringLiteral(" as c, installment_amount-paid_amount as amount FROM installments "
                          "WHERE buyer_id IN (SELECT id FROM owners)) owed GROUP BY owner, c "
                          "ORDER BY owner, c=") +
           ConvertedTotal::primaryIdSql() + QStringLiteral(" DESC, c");
}
