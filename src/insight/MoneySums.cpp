#include "insight/MoneySums.h"

#include "core/Database.h"
#include "core/SqlValue.h"

namespace {

QStringList currencyIds(const QVariant& ids)
{
    return ids.toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
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

void MoneySums::addCurrencies(const QVariant& ids)
{
    for (const QString& id : currencyIds(ids))
        m_currencies.insert(id.trimmed());
}

void MoneySums::merge(const MoneySums& other)
{
    m_currencies.unite(other.m_currencies);
}

bool MoneySums::mixed(const QVariant& ids)
{
    return currencyIds(ids).size() > 1;
}
