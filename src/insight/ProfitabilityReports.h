#pragma once

#include <QHash>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class ConvertedTotal;
class CurrencyRates;
class Database;
class DateRange;

// Money figures: property and unit profitability, project financials and
// their cost centres, the property comparison, profit and loss and the
// balance-sheet figures. Ranges arrive checked. Every call runs a fixed
// number of statements, however many units or cost centres there are.
class ProfitabilityReports
{
public:
    explicit ProfitabilityReports(Database* db);

    QVariantMap propertyProfitability(int propertyId, const DateRange& range);
    QVariantMap unitProfitability(int unitId);
    QVariantMap projectFinancials(int propertyId, const DateRange& range);
    // projectFinancials of every property, by property id, read together.
    QHash<int, QVariantMap> everyProjectFinancials(const DateRange& range);
    QVariantList projectCostCenters(int propertyId, const DateRange& range);
    QVariantList propertyComparison();
    QVariantList unitsOverview();
    QVariantMap profitLoss(const DateRange& range);
    QVariantMap balanceSheet();

private:
    // sale_price, direct_expenses, allocated_expenses, total_cost and
    // profit, each converted with its _detail beside it, and complete.
    using UnitFigures = QVariantMap;

    // The rows of a query grouped by " GROUP BY c, d" (added here) as one
    // converted total.
    ConvertedTotal converted(const CurrencyRates& rates, const QString& sql,
                             const QVariantList& params);
    // The figure in the primary currency under `key`, its breakdown under
    // key_detail.
    static void putConverted(QVariantMap& map, const QString& key, const ConvertedTotal& figure);

    // Profitability of every unit that `unitIds` (a SELECT of unit ids with
    // `idParams`) names, in four grouped statements.
    QHash<int, UnitFigures> unitFigures(const QString& unitIds, const QVariantList& idParams,
                                        const DateRange& range);
    QHash<qlonglong, QVariantMap> floorFigures(int propertyId, const DateRange& range);

    Database* m_db;
};
