#pragma once

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

class CurrencyRates;

// A total over rows kept in several currencies: each amount converted to the
// primary currency at the rate of its own day, and the amounts of each
// currency kept beside it. An amount whose day has no rate is left out of
// the converted total and named in missing(), so the figure says it is
// incomplete instead of counting dollars as shekels.
class ConvertedTotal
{
public:
    explicit ConvertedTotal(const CurrencyRates* rates);

    // `amount` kept in `currencyId` (0: the primary) on `date`. A valid
    // `primary` is the amount already converted when it was written.
    void add(int currencyId, const QString& date, double amount, const QVariant& primary = {});
    // The rows of a grouped query with the columns c (currency), d (day, or
    // empty when every row of the group is primary or converted), t (the
    // amount) and, optionally, p (the converted amount, used when d is
    // empty).
    void addRows(const QVariantList& rows);
    void merge(const ConvertedTotal& other);
    // Takes `other` away, currency by currency (a profit: income less
    // expenses); its missing rates are missing here too.
    void subtract(const ConvertedTotal& other);
    // The same total times `factor`, currency by currency (a share of a
    // common cost); the missing rates stay missing.
    ConvertedTotal scaled(double factor) const;

    // Rounded to the primary currency's own minor unit.
    double primary() const;
    bool complete() const { return m_missing.isEmpty(); }
    // Why the total is incomplete: per currency, its earliest day without a
    // rate.
    QStringList missing() const;
    // {total, byCurrency: [{currency_id, total}] (primary first, each to its
    // own currency's decimals, so a dinar keeps its third), complete,
    // missing: the reasons of the amounts left out}.
    QVariantMap toMap() const;

    // One total per owner from the rows of a query grouped by `ownerColumn`
    // as well as the columns addRows reads.
    static QHash<qlonglong, ConvertedTotal>
    perOwner(const QVariantList& rows, const QString& ownerColumn, const CurrencyRates* rates);

    // "(SELECT id FROM currencies WHERE is_primary=1 ...)", for queries that
    // group the primary currency's rows into one.
    static const QString& primaryIdSql();

private:
    const CurrencyRates* m_rates;
    double m_primary = 0;
    QMap<int, double> m_byCurrency;
    // Currency -> the earliest day of an amount left out for want of a rate.
    QMap<int, QString> m_missing;

    void mergeMissing(const ConvertedTotal& other);
};
