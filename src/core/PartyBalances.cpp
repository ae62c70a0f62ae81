#include "core/PartyBalances.h"

#include "core/ConvertedTotal.h"
#include "core/Database.h"
#include "core/Money.h"

#include <QVariantMap>

namespace {

QVariantList nonZero(const QVariantList& rows)
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

} // namespace

QVariantList PartyBalances::tenant(Database* db, int tenantId)
{
    const QString currency =
        QStringLiteral("COALESCE(currency_id,") + ConvertedTotal::primaryIdSql() + QLatin1Char(')');
    return nonZero(db->execQuery(
        QStringLiteral("SELECT c, SUM(amount) as total FROM (SELECT ") + currency +
            QStringLiteral(" as c, CASE WHEN status='void' THEN paid_amount ELSE total_amount END "
                           "as amount FROM invoices WHERE tenant_id=? UNION ALL SELECT ") +
            currency +
            QStringLiteral(", -amount FROM payments WHERE tenant_id=?) GROUP BY c ORDER BY c=") +
            ConvertedTotal::primaryIdSql() + QStringLiteral(" DESC, c"),
        {tenantId, tenantId}));
}

QVariantList PartyBalances::buyer(Database* db, int buyerId)
{
    const QString currency =
        QStringLiteral("COALESCE(currency_id,") + ConvertedTotal::primaryIdSql() + QLatin1Char(')');
    return nonZero(db->execQuery(
        QStringLiteral("SELECT ") + currency +
            QStringLiteral(" as c, SUM(installment_amount-paid_amount) as total FROM installments "
                           "WHERE buyer_id=? GROUP BY c ORDER BY c=") +
            ConvertedTotal::primaryIdSql() + QStringLiteral(" DESC, c"),
        {buyerId}));
}
