#include "finance/ContractorBalance.h"

#include "core/Database.h"
#include "core/Money.h"

namespace {

// A payment made by a cheque the bank returned paid nothing. (The list of
// returned cheques is read once; a correlated look-up per payment would scan
// the register for each one.)
const QString kNotReturned =
    QStringLiteral("contractor_payments.id NOT IN (SELECT contractor_payment_id FROM cheques WHERE "
                   "status='bounced' AND contractor_payment_id IS NOT NULL)");

// Bills owed and payments made, one signed movement per row, in the row's
// currency (an older row without one is in the primary currency, as its
// journal entry is).
QString movements(const QString& contractorCondition)
{
    const QString primary = ContractorBalance::primaryCurrency();
    return QStringLiteral("SELECT contractor_id AS who, COALESCE(currency_id,%1) AS cur, amount "
                          "AS owed, 0 AS paid FROM expenses WHERE is_owed=1 AND %2 UNION ALL "
                          "SELECT contractor_id, COALESCE(currency_id,%1), 0, amount FROM "
                          "contractor_payments WHERE %2 AND %3")
        .arg(primary, contractorCondition, kNotReturned);
}

} // namespace

ContractorBalance::ContractorBalance(Database* db)
    : m_db(db)
{}

QString ContractorBalance::primaryCurrency()
{
    return QStringLiteral("(SELECT id FROM currencies ORDER BY is_primary DESC, id LIMIT 1)");
}

QVariantList ContractorBalance::perCurrency(int contractorId) const
{
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT m.cur AS currency_id, c.code AS currency_code, c.symbol AS "
                       "currency_symbol, ROUND(SUM(m.owed),3) AS owed, ROUND(SUM(m.paid),3) AS "
                       "paid FROM (") +
            movements(QStringLiteral("contractor_id=?")) +
            QStringLiteral(") m LEFT JOIN currencies c ON c.id=m.cur GROUP BY m.cur, c.code, "
                           "c.symbol ORDER BY m.cur"),
        {contractorId, contractorId});
    QVariantList result;
    result.reserve(rows.size());
    for (const QVariant& value : rows) {
        QVariantMap row = value.toMap();
        // In mills, so a dinar balance keeps its third decimal.
        const qint64 mills = Money::toMinor(row.value(QStringLiteral("owed")).toDouble(), 3) -
                             Money::toMinor(row.value(QStringLiteral("paid")).toDouble(), 3);
        row.insert(QStringLiteral("balance"), static_cast<double>(mills) / 1000.0);
        result.append(row);
    }
    return result;
}

double ContractorBalance::balance(int contractorId, int currencyId) const
{
    for (const QVariant& value : perCurrency(contractorId)) {
        const QVariantMap row = value.toMap();
        if (row.value(QStringLiteral("currency_id")).toInt() == currencyId)
            return row.value(QStringLiteral("balance")).toDouble();
    }
    return 0.0;
}

bool ContractorBalance::overpaid(int contractorId) const
{
    for (const QVariant& value : perCurrency(contractorId)) {
        if (Money::toMinor(value.toMap().value(QStringLiteral("balance")).toDouble(), 3) < 0)
            return true;
    }
    return false;
}

QHash<int, double> ContractorBalance::totals() const
{
    QHash<int, double> result;
    const QVariantList rows =
        m_db->execQuery(QStringLiteral("SELECT cur, SUM(owed)-SUM(paid) AS t FROM (") +
                        movements(QStringLiteral("contractor_id IS NOT NULL")) +
                        QStringLiteral(") m GROUP BY cur"));
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        result.insert(row.value(QStringLiteral("cur")).toInt(),
                      Money::roundTo(row.value(QStringLiteral("t")).toDouble(), 3));
    }
    return result;
}

bool ContractorBalance::syncStored(int contractorId)
{
    if (contractorId <= 0)
        return true;
    return m_db->execNonQuery(
        QStringLiteral("UPDATE contractors SET balance=ROUND((SELECT COALESCE(SUM(amount),0) FROM "
                       "expenses WHERE contractor_id=contractors.id AND is_owed=1)-(SELECT "
                       "COALESCE(SUM(amount),0) FROM contractor_payments WHERE "
                       "contractor_id=contractors.id AND ") +
            kNotReturned + QStringLiteral("),3) WHERE id=?"),
        {contractorId});
}
