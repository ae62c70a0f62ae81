#include "insight/MoneySums.h"

#include "core/Database.h"
#include "core/SqlValue.h"

namespace {

QSet<QString> currencyIds(const QVariant& ids)
{
    QSet<QString> set;
    for (const QString& id : ids.toString().split(QLatin1Char(','), Qt::SkipEmptyParts))
        set.insert(id.trimmed());
    return set;
}

} // namespace

MoneySums::MoneySums(Database* db)
    : m_db(db)
{}

double MoneySums::sum(const QString& sql, const QVariantList& params)
{
    const QVariantMap row = SqlValue::firstRow(m_db->execQuery(sql, params));
    addCurrencies(row.value(QStringLiteral("cur")));
    return row.value(QStringLiteral("t")).toDouble();
}

namespace {

// The figure and the currencies of a set of totals, as a direct sum would
// give them: cents and remainders of every currency added, currencies
// without rows left out, the -1 of "no currency" read as none.
const QString kStoredColumns = QStringLiteral(
    "COALESCE(SUM(cents),0)/100.0+COALESCE(SUM(rest),0) as t, "
    "MIN(NULLIF(currency_id,-1))||','||MAX(NULLIF(currency_id,-1)) as cur FROM money_totals "
    "WHERE kind=? AND row_count>0");

} // namespace

double MoneySums::stored(const QString& kind)
{
    return sum(QStringLiteral("SELECT ") + kStoredColumns + QStringLiteral(" AND owner_id=0"),
               {kind});
}

const QString& MoneySums::storedByOwner()
{
    static const QString sql =
        QStringLiteral("SELECT owner_id, ") + kStoredColumns + QStringLiteral(" GROUP BY owner_id");
    return sql;
}

void MoneySums::addCurrencies(const QVariant& ids)
{
    m_currencies.unite(currencyIds(ids));
}

void MoneySums::merge(const MoneySums& other)
{
    m_currencies.unite(other.m_currencies);
}

QVariant MoneySums::currency() const
{
    if (m_currencies.size() != 1)
        return QVariant();
    bool numeric = false;
    const qlonglong id = m_currencies.begin()->toLongLong(&numeric);
    return numeric ? QVariant(id) : QVariant();
}

bool MoneySums::mixed(const QVariant& ids)
{
    return currencyIds(ids).size() > 1;
}
