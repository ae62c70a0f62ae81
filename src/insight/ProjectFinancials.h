#pragma once

#include "core/ConvertedTotal.h"

#include <QHash>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class CurrencyRates;
class Database;
class DateRange;

// The financial figures of projects (properties): sales, collections,
// expenses, the unsold value, expected and realised profit and the unit
// counts. One project's card and the projects tab's every card come from
// the same grouped statements (but the tab's whole-history expenses, read
// from the totals kept per property, which add up to the same), so a card
// shows the same figures whether it was read alone or with all the others;
// the statements are as many however many projects are asked for.
class ProjectFinancials
{
public:
    explicit ProjectFinancials(Database* db);

    // The figures of every property, by property id; one without any
    // unit, payment or expense still has its (zero) figures.
    QHash<int, QVariantMap> every(const DateRange& range);
    QVariantMap of(int propertyId, const DateRange& range);

    // The select list of the rows a converted total reads: `amount` summed
    // per currency (c) and, for currencies other than the primary one, per
    // day (d). The caller adds FROM and WHERE, then GROUP BY ending in c, d.
    static QString perCurrencyAndDay(const QString& amount, const QString& currency,
                                     const QString& day);
    // What a unit sells, or sold, for: the actual price when one was agreed.
    static const QString& effectivePrice();

    // Every property's expenses over the whole history, by property id, each
    // converted at its day's rate. The primary currency's come from the
    // totals the database keeps per property and the other currencies' per
    // day through their currency's index, so the office's every expense is
    // not read. The projects' cards and the comparison of properties both
    // read it.
    static QHash<qlonglong, ConvertedTotal> expensesPerProperty(Database* db,
                                                                const CurrencyRates* rates);
    // The primary currency's total of `kind` (a per-property kind of
    // MoneyTotals) kept for each property.
    static QHash<qlonglong, ConvertedTotal>
    keptPerProperty(Database* db, const CurrencyRates* rates, const QString& kind);

private:
    // The figures of the properties `propertyIds` (a SELECT of property ids
    // with `idParams`) names. `all` says it names every property, so the
    // dates, not the property, are the selective condition.
    QHash<int, QVariantMap> read(const QString& propertyIds, const QVariantList& idParams,
                                 const DateRange& range, bool all);

    Database* m_db;
};
