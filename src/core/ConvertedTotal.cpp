#include "core/ConvertedTotal.h"

#include "core/CurrencyRates.h"
#include "core/Money.h"
#include "core/Reasons.h"

ConvertedTotal::ConvertedTotal(const CurrencyRates* rates)
    : m_rates(rates)
{}

const QString& ConvertedTotal::primaryIdSql()
{
    static const QString sql =
        QStringLiteral("(SELECT id FROM currencies WHERE is_primary=1 ORDER BY id LIMIT 1)");
    return sql;
}

void ConvertedTotal::add(int currencyId, const QString& date, double amount,
                         const QVariant& primary)
{
    const int currency = currencyId > 0 ? currencyId : m_rates->primaryId();
    m_byCurrency[currency] += amount;
    if (m_rates->isPrimary(currency)) {
        m_primary += amount;
        return;
    }
    if (primary.isValid() && !primary.isNull()) {
        m_primary += primary.toDouble();
        return;
    }
    const double rate = m_rates->rateOn(currency, date);
    if (rate > 0) {
        m_primary += amount * rate;
        return;
    }
    if (Money::toMinor(amount, 3) == 0)
        return;
    // A day without a rate lies before the currency's first rate, so the
    // earliest such day says all: a rate on or before it converts them all.
    const QString day = date.left(10);
    auto missing = m_missing.find(currency);
    if (missing == m_missing.end())
        m_missing.insert(currency, day);
    else if (day < missing.value())
        missing.value() = day;
}

void ConvertedTotal::mergeMissing(const ConvertedTotal& other)
{
    for (auto it = other.m_missing.cbegin(); it != other.m_missing.cend(); ++it) {
        auto mine = m_missing.find(it.key());
        if (mine == m_missing.end())
            m_missing.insert(it.key(), it.value());
        else if (it.value() < mine.value())
            mine.value() = it.value();
    }
}

QStringList ConvertedTotal::missing() const
{
    QStringList reasons;
    for (auto it = m_missing.cbegin(); it != m_missing.cend(); ++it) {
        const QString code = m_rates->code(it.key());
        reasons << Reasons::noRate(code.isEmpty() ? QString::number(it.key()) : code, it.value());
    }
    return reasons;
}

void ConvertedTotal::addRows(const QVariantList& rows)
{
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const QString day = row.value(QStringLiteral("d")).toString();
        add(row.value(QStringLiteral("c")).toInt(), day, row.value(QStringLiteral("t")).toDouble(),
            day.isEmpty() ? row.value(QStringLiteral("p")) : QVariant());
    }
}

void ConvertedTotal::merge(const ConvertedTotal& other)
{
    m_primary += other.m_primary;
    for (auto it = other.m_byCurrency.cbegin(); it != other.m_byCurrency.cend(); ++it)
        m_byCurrency[it.key()] += it.value();
    mergeMissing(other);
}

void ConvertedTotal::subtract(const ConvertedTotal& other)
{
    m_primary -= other.m_primary;
    for (auto it = other.m_byCurrency.cbegin(); it != other.m_byCurrency.cend(); ++it)
        m_byCurrency[it.key()] -= it.value();
    mergeMissing(other);
}

ConvertedTotal ConvertedTotal::scaled(double factor) const
{
    ConvertedTotal share(m_rates);
    share.m_primary = m_primary * factor;
    for (auto it = m_byCurrency.cbegin(); it != m_byCurrency.cend(); ++it)
        share.m_byCurrency.insert(it.key(), it.value() * factor);
    share.m_missing = m_missing;
    return share;
}

double ConvertedTotal::primary() const
{
    return Money::roundTo(m_primary, m_rates->decimals(m_rates->primaryId()));
}

QHash<qlonglong, ConvertedTotal> ConvertedTotal::perOwner(const QVariantList& rows,
                                                          const QString& ownerColumn,
                                                          const CurrencyRates* rates)
{
    QHash<qlonglong, ConvertedTotal> totals;
    for (const QVariant& value : rows) {
        const qlonglong owner = value.toMap().value(ownerColumn).toLongLong();
        auto it = totals.find(owner);
        if (it == totals.end())
            it = totals.insert(owner, ConvertedTotal(rates));
        it->addRows({value});
    }
    return totals;
}

QVariantMap ConvertedTotal::toMap() const
{
    QVariantList byCurrency;
    const int primaryId = m_rates->primaryId();
    const auto entry = [this](int currency, double amount) {
        return QVariantMap{
            {QStringLiteral("currency_id"), currency},
            {QStringLiteral("total"), Money::roundTo(amount, m_rates->decimals(currency))}};
    };
    if (m_byCurrency.contains(primaryId))
        byCurrency.append(entry(primaryId, m_byCurrency.value(primaryId)));
    for (auto it = m_byCurrency.cbegin(); it != m_byCurrency.cend(); ++it) {
        if (it.key() != primaryId)
            byCurrency.append(entry(it.key(), it.value()));
    }
    return {{QStringLiteral("total"), primary()},
            {QStringLiteral("byCurrency"), byCurrency},
            {QStringLiteral("complete"), complete()},
            {QStringLiteral("missing"), missing()}};
}
