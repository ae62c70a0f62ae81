#include "insight/ProfitabilityReports.h"

#include "core/ConvertedTotal.h"
#include "core/CurrencyRates.h"
#include "core/Database.h"
#include "core/Money.h"
#include "core/MoneyTotals.h"
#include "core/OfficeFigures.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "insight/DateRange.h"
#include "insight/InsightDates.h"
#include "insight/ProjectFinancials.h"

#include <algorithm>

namespace {

// A unit without an area (or below 1 m²) counts as 1 m², both for its own
// share and in its property's total, so the shares add up to the whole.
const QString kArea = QStringLiteral("CASE WHEN area IS NULL OR area < 1 THEN 1 ELSE area END");
} // namespace

ProfitabilityReports::ProfitabilityReports(Database* db)
    : m_db(db)
{}

ConvertedTotal ProfitabilityReports::converted(const CurrencyRates& rates, const QString& sql,
                                               const QVariantList& params)
{
    ConvertedTotal sum(&rates);
    sum.addRows(m_db->execQuery(sql + QStringLiteral(" GROUP BY c, d"), params));
    return sum;
}

QVariantMap ProfitabilityReports::propertyProfitability(int propertyId, const DateRange& range)
{
    // The property is the selective condition; the date (kept off SQLite's
    // date index) only filters what it found. Each
    // figure is converted at the rate of its rows' days.
    const CurrencyRates rates(m_db);
    const QString paid = ProjectFinancials::perCurrencyAndDay(QStringLiteral("p.amount"),
                                                              QStringLiteral("p.currency_id"),
                                                              QStringLiteral("p.payment_date")) +
                         QStringLiteral(" FROM payments p WHERE ");
    QVariantList params = {propertyId};
    const QString payments = range.clause(
        SqlDialect::unindexed(m_db->engine(), QStringLiteral("p.payment_date")), params);
    ConvertedTotal income =
        converted(rates,
                  paid +
                      QStringLiteral("p.invoice_id IN (SELECT i.id FROM invoices i JOIN units u ON "
                                     "i.unit_id=u.id WHERE u.property_id=?)") +
                      payments,
                  params);
    // Sale income is what buyers actually paid in the range: down payments
    // (cash sales included) and collected installments alike.
    income.merge(
        converted(rates,
                  paid +
                      QStringLiteral("p.unit_id IN (SELECT id FROM units WHERE property_id=?) AND "
                                     "p.buyer_id IS NOT NULL AND p.invoice_id IS NULL") +
                      payments,
                  params));
    QVariantList expenseParams = {propertyId};
    const ConvertedTotal expenses = converted(
        rates,
        ProjectFinancials::perCurrencyAndDay(QStringLiteral("amount"),
                                             QStringLiteral("currency_id"),
                                             QStringLiteral("expense_date")) +
            QStringLiteral(" FROM expenses WHERE property_id=?") +
            range.clause(SqlDialect::unindexed(m_db->engine(), QStringLiteral("expense_date")),
                         expenseParams),
        expenseParams);
    ConvertedTotal profit = income;
    profit.subtract(expenses);

    const double incomeTotal = income.primary();
    QVariantMap map = {
        {QStringLiteral("margin"), incomeTotal > 0 ? profit.primary() / incomeTotal * 100.0 : 0.0},
        {QStringLiteral("complete"), profit.complete()}};
    putConverted(map, QStringLiteral("income"), income);
    putConverted(map, QStringLiteral("expenses"), expenses);
    putConverted(map, QStringLiteral("profit"), profit);
    return map;
}

void ProfitabilityReports::putConverted(QVariantMap& map, const QString& key,
                                        const ConvertedTotal& figure)
{
    map.insert(key, figure.primary());
    map.insert(key + QStringLiteral("_detail"), figure.toMap());
}

QHash<int, ProfitabilityReports::UnitFigures>
ProfitabilityReports::unitFigures(const QString& unitIds, const QVariantList& idParams,
                                  const DateRange& range)
{
    // Every amount converted at its own day's rate: a sold unit's price at
    // its sale date, an unsold one's at today's, each expense at its day.
    const CurrencyRates rates(m_db);
    QHash<int, UnitFigures> figures;
    QHash<int, int> propertyOf;
    QHash<int, double> areaOf;
    QHash<int, ConvertedTotal> prices;
    QVariantList unitParams = {InsightDates::isoDay()};
    unitParams << idParams;
    const QVariantList units = m_db->execQuery(
        QStringLiteral("SELECT id, property_id, ") + ProjectFinancials::effectivePrice() +
            QStringLiteral(" as price, ") + kArea +
            QStringLiteral(" as area, currency_id, COALESCE(CASE WHEN status='sold' THEN "
                           "sale_date END, ?) as day FROM units WHERE id IN (") +
            unitIds + QStringLiteral(")"),
        unitParams);
    if (units.isEmpty())
        return figures;
    for (const QVariant& value : units) {
        const QVariantMap row = value.toMap();
        const int id = row.value(QStringLiteral("id")).toInt();
        ConvertedTotal price(&rates);
        price.add(row.value(QStringLiteral("currency_id")).toInt(),
                  row.value(QStringLiteral("day")).toString(),
                  row.value(QStringLiteral("price")).toDouble());
        prices.insert(id, price);
        propertyOf.insert(id, row.value(QStringLiteral("property_id")).toInt());
        areaOf.insert(id, row.value(QStringLiteral("area")).toDouble());
    }

    QVariantList directParams = idParams;
    const QHash<qlonglong, ConvertedTotal> direct = ConvertedTotal::perOwner(
        m_db->execQuery(
            ProjectFinancials::perCurrencyAndDay(QStringLiteral("amount"),
                                                 QStringLiteral("currency_id"),
                                                 QStringLiteral("expense_date")) +
                QStringLiteral(", unit_id FROM expenses WHERE unit_id IN (") + unitIds +
                QStringLiteral(")") +
                range.clause(SqlDialect::unindexed(m_db->engine(), QStringLiteral("expense_date")),
                             directParams) +
                QStringLiteral(" GROUP BY unit_id, c, d"),
            directParams),
        QStringLiteral("unit_id"), &rates);

    // Common expenses (no unit) and total area of each property concerned.
    const QString properties = QStringLiteral("SELECT property_id FROM units WHERE id IN (") +
                               unitIds + QStringLiteral(")");
    QVariantList commonParams = idParams;
    const QHash<qlonglong, ConvertedTotal> common = ConvertedTotal::perOwner(
        m_db->execQuery(
            ProjectFinancials::perCurrencyAndDay(QStringLiteral("amount"),
                                                 QStringLiteral("currency_id"),
                                                 QStringLiteral("expense_date")) +
                QStringLiteral(", property_id FROM expenses WHERE unit_id IS NULL "
                               "AND property_id IN (") +
                properties + QStringLiteral(")") +
                range.clause(SqlDialect::unindexed(m_db->engine(), QStringLiteral("expense_date")),
                             commonParams) +
                QStringLiteral(" GROUP BY property_id, c, d"),
            commonParams),
        QStringLiteral("property_id"), &rates);
    const QVariantList areas =
        m_db->execQuery(QStringLiteral("SELECT property_id, SUM(") + kArea +
                            QStringLiteral(") as t FROM units WHERE property_id IN (") +
                            properties + QStringLiteral(") GROUP BY property_id"),
                        idParams);
    QHash<int, double> totalAreaOf;
    for (const QVariant& value : areas) {
        const QVariantMap row = value.toMap();
        totalAreaOf.insert(row.value(QStringLiteral("property_id")).toInt(),
                           row.value(QStringLiteral("t")).toDouble());
    }

    for (auto it = prices.cbegin(); it != prices.cend(); ++it) {
        const int property = propertyOf.value(it.key());
        const double share = areaOf.value(it.key()) / std::max(1.0, totalAreaOf.value(property));
        const auto commonIt = common.constFind(property);
        const ConvertedTotal allocated =
            commonIt == common.cend() ? ConvertedTotal(&rates) : commonIt->scaled(share);
        const auto directIt = direct.constFind(it.key());
        const ConvertedTotal directCost =
            directIt == direct.cend() ? ConvertedTotal(&rates) : directIt.value();
        ConvertedTotal cost = directCost;
        cost.merge(allocated);
        ConvertedTotal profit = it.value();
        profit.subtract(cost);
        UnitFigures& unit = figures[it.key()];
        putConverted(unit, QStringLiteral("sale_price"), it.value());
        putConverted(unit, QStringLiteral("direct_expenses"), directCost);
        putConverted(unit, QStringLiteral("allocated_expenses"), allocated);
        putConverted(unit, QStringLiteral("total_cost"), cost);
        putConverted(unit, QStringLiteral("profit"), profit);
        unit.insert(QStringLiteral("complete"), profit.complete());
    }
    return figures;
}

QVariantMap ProfitabilityReports::unitProfitability(int unitId)
{
    return unitFigures(QStringLiteral("SELECT CAST(? AS INTEGER)"), {unitId}, DateRange())
        .value(unitId);
}

QVariantMap ProfitabilityReports::projectFinancials(int propertyId, const DateRange& range)
{
    return ProjectFinancials(m_db).of(propertyId, range);
}

QHash<int, QVariantMap> ProfitabilityReports::everyProjectFinancials(const DateRange& range)
{
    return ProjectFinancials(m_db).every(range);
}

QHash<qlonglong, QVariantMap> ProfitabilityReports::floorFigures(int propertyId,
                                                                 const DateRange& range)
{
    // The units under each floor centre of the project, each unit once per
    // floor even when two of its centres sit under the same floor.
    const QString floorUnits = QStringLiteral(
        "(SELECT DISTINCT parent_id, unit_id FROM cost_centers WHERE unit_id IS NOT NULL AND "
        "parent_id IN (SELECT id FROM cost_centers WHERE property_id=? AND type='floor')) x");
    // Each floor's figure converted to the primary currency at the rate of
    // each row's day (a sale at its sale date), its currencies beside it.
    const CurrencyRates rates(m_db);
    QHash<qlonglong, QVariantMap> figures;
    const auto collect = [&](const QVariantList& rows, const QString& key) {
        const QHash<qlonglong, ConvertedTotal> totals =
            ConvertedTotal::perOwner(rows, QStringLiteral("floor_id"), &rates);
        for (auto it = totals.cbegin(); it != totals.cend(); ++it)
            putConverted(figures[it.key()], key, it.value());
    };

    QVariantList saleParams = {InsightDates::isoDay(), propertyId};
    const QVariantList revenue = m_db->execQuery(
        ProjectFinancials::perCurrencyAndDay(
            QStringLiteral("CASE WHEN u.sale_price_actual > 0 THEN "
                           "u.sale_price_actual ELSE u.sale_price END"),
            QStringLiteral("u.currency_id"), QStringLiteral("COALESCE(u.sale_date, ?)")) +
            QStringLiteral(", x.parent_id as floor_id FROM ") + floorUnits +
            QStringLiteral(" JOIN units u ON u.id=x.unit_id WHERE u.status='sold'") +
            range.clause(QStringLiteral("u.sale_date"), saleParams) +
            QStringLiteral(" GROUP BY x.parent_id, c, d"),
        saleParams);
    collect(revenue, QStringLiteral("revenue"));

    QVariantList expenseParams = {propertyId};
    const QVariantList expenses = m_db->execQuery(
        ProjectFinancials::perCurrencyAndDay(QStringLiteral("e.amount"),
                                             QStringLiteral("e.currency_id"),
                                             QStringLiteral("e.expense_date")) +
            QStringLiteral(", x.parent_id as floor_id FROM ") + floorUnits +
            QStringLiteral(" JOIN expenses e ON e.unit_id=x.unit_id WHERE 1=1") +
            range.clause(SqlDialect::unindexed(m_db->engine(), QStringLiteral("e.expense_date")),
                         expenseParams) +
            QStringLiteral(" GROUP BY x.parent_id, c, d"),
        expenseParams);
    collect(expenses, QStringLiteral("expenses"));
    return figures;
}

QVariantList ProfitabilityReports::projectCostCenters(int propertyId, const DateRange& range)
{
    const QVariantList centres = m_db->execQuery(
        QStringLiteral("SELECT cc.*, p.name as property_name, u.unit_number, u.floor FROM "
                       "cost_centers cc LEFT JOIN properties p ON cc.property_id=p.id LEFT JOIN "
                       "units u ON cc.unit_id=u.id WHERE cc.property_id=? ORDER BY CASE cc.type "
                       "WHEN 'project' THEN 0 WHEN 'floor' THEN 1 ELSE 2 END, cc.parent_id, "
                       "cc.id"),
        {propertyId});
    if (centres.isEmpty())
        return {};

    bool hasProject = false;
    bool hasFloor = false;
    for (const QVariant& value : centres) {
        const QString type = value.toMap().value(QStringLiteral("type")).toString();
        hasProject = hasProject || type == QLatin1String("project");
        hasFloor = hasFloor || type == QLatin1String("floor");
    }
    const QVariantMap project = hasProject ? projectFinancials(propertyId, range) : QVariantMap();
    const QHash<qlonglong, QVariantMap> floors =
        hasFloor ? floorFigures(propertyId, range) : QHash<qlonglong, QVariantMap>();
    const QHash<int, UnitFigures> units =
        unitFigures(QStringLiteral("SELECT unit_id FROM cost_centers WHERE property_id=? AND "
                                   "unit_id IS NOT NULL"),
                    {propertyId}, range);

    QVariantList result;
    for (const QVariant& value : centres) {
        QVariantMap row = value.toMap();
        const QString type = row.value(QStringLiteral("type")).toString();
        double revenue = 0;
        double expenses = 0;
        // Figures that stay as they stand today whatever the range.
        QStringList lifetime;
        if (type == QLatin1String("project")) {
            revenue = project.value(QStringLiteral("total_sales_value")).toDouble();
            expenses = project.value(QStringLiteral("total_expenses")).toDouble();
            row.insert(QStringLiteral("revenue_detail"),
                       project.value(QStringLiteral("total_sales_value_detail")));
            row.insert(QStringLiteral("expenses_detail"),
                       project.value(QStringLiteral("total_expenses_detail")));
        } else if (type == QLatin1String("floor")) {
            const QVariantMap floor = floors.value(row.value(QStringLiteral("id")).toLongLong());
            revenue = floor.value(QStringLiteral("revenue")).toDouble();
            expenses = floor.value(QStringLiteral("expenses")).toDouble();
            row.insert(QStringLiteral("revenue_detail"),
                       floor.value(QStringLiteral("revenue_detail")));
            row.insert(QStringLiteral("expenses_detail"),
                       floor.value(QStringLiteral("expenses_detail")));
        } else {
            // A unit centre is valued at the unit's price, sold or not.
            const UnitFigures unit = units.value(row.value(QStringLiteral("unit_id")).toInt());
            revenue = unit.value(QStringLiteral("sale_price")).toDouble();
            expenses = unit.value(QStringLiteral("total_cost")).toDouble();
            row.insert(QStringLiteral("revenue_detail"),
                       unit.value(QStringLiteral("sale_price_detail")));
            row.insert(QStringLiteral("expenses_detail"),
                       unit.value(QStringLiteral("total_cost_detail")));
            lifetime << QStringLiteral("revenue");
        }
        row.insert(QStringLiteral("revenue"), revenue);
        row.insert(QStringLiteral("expenses"), expenses);
        // Both sides are in the primary currency's unit, three decimals at most.
        row.insert(QStringLiteral("profit"), Money::roundTo(revenue - expenses, 3));
        row.insert(QStringLiteral("range_applied"), range.applies());
        row.insert(QStringLiteral("lifetime_figures"), lifetime);
        result.append(row);
    }
    return result;
}

QVariantList ProfitabilityReports::propertyComparison()
{
    // Income (the payments of each property's invoices) and expenses per
    // property, converted at each day's rate. What is kept in the primary
    // currency comes from the totals the triggers keep per property, so the
    // comparison does not read every payment of the office; the amounts in
    // other currencies are read per property and day through their
    // currency's index.
    const CurrencyRates rates(m_db);
    QVariantList rows = m_db->execQuery(QStringLiteral(
        "SELECT p.name, p.id, COALESCE(uc.units,0) as units, COALESCE(uc.rented,0) as rented, "
        "COALESCE(uc.sold,0) as sold FROM properties p LEFT JOIN (SELECT property_id, COUNT(*) "
        "as units, SUM(CASE WHEN status='rented' THEN 1 ELSE 0 END) as rented, SUM(CASE WHEN "
        "status='sold' THEN 1 ELSE 0 END) as sold FROM units GROUP BY property_id) uc ON "
        "uc.property_id=p.id"));
    QHash<qlonglong, ConvertedTotal> income =
        ProjectFinancials::keptPerProperty(m_db, &rates, MoneyTotals::kPropertyPayments);
    const QHash<qlonglong, ConvertedTotal> expenses =
        ProjectFinancials::expensesPerProperty(m_db, &rates);
    // The other currencies' amounts per property and day, kept by the same
    // triggers (owner = property * stride + yyyymmdd), one currency at a
    // time through the kept rows' currency index.
    // The file is told the index: its statistics keep one average per kind,
    // and the property days far outnumber every other kind, so it would
    // walk all of them rather than the currency's few.
    const qint64 stride = MoneyTotals::kDayStride;
    const QString kept = m_db->isPostgres()
                             ? QStringLiteral("money_totals")
                             : QStringLiteral("money_totals INDEXED BY money_totals_currency");
    for (const QVariant& other :
         m_db->execQuery(QStringLiteral("SELECT id FROM currencies WHERE is_primary=0"))) {
        const QVariantList currency = {MoneyTotals::kPropertyDayPayments,
                                       other.toMap().value(QStringLiteral("id"))};
        m_db->forEachRow(QStringLiteral("SELECT owner_id, currency_id, cents/100.0+rest FROM ") +
                             kept +
                             QStringLiteral(" WHERE kind=? AND currency_id=? AND row_count>0"),
                         currency, [&](QVector<QVariant>& row) {
                             const qint64 owner = row.at(0).toLongLong();
                             const qint64 day = owner % stride;
                             const QString date = QStringLiteral("%1-%2-%3")
                                                      .arg(day / 10000, 4, 10, QLatin1Char('0'))
                                                      .arg(day / 100 % 100, 2, 10, QLatin1Char('0'))
                                                      .arg(day % 100, 2, 10, QLatin1Char('0'));
                             auto it = income.find(owner / stride);
                             if (it == income.end())
                                 it = income.insert(owner / stride, ConvertedTotal(&rates));
                             it->add(row.at(1).toInt(), date, row.at(2).toDouble());
                         });
    }

    const ConvertedTotal none(&rates);
    for (QVariant& value : rows) {
        QVariantMap row = value.toMap();
        const qlonglong id = row.value(QStringLiteral("id")).toLongLong();
        const auto incomeIt = income.constFind(id);
        const auto expensesIt = expenses.constFind(id);
        const ConvertedTotal& in = incomeIt == income.cend() ? none : incomeIt.value();
        const ConvertedTotal& out = expensesIt == expenses.cend() ? none : expensesIt.value();
        putConverted(row, QStringLiteral("income"), in);
        putConverted(row, QStringLiteral("expenses"), out);
        row.insert(QStringLiteral("complete"), in.complete() && out.complete());
        value = row;
    }
    // The highest income first.
    std::stable_sort(rows.begin(), rows.end(), [](const QVariant& a, const QVariant& b) {
        const QVariantMap left = a.toMap();
        const QVariantMap right = b.toMap();
        const double l = left.value(QStringLiteral("income")).toDouble();
        const double r = right.value(QStringLiteral("income")).toDouble();
        if (l != r)
            return l > r;
        return left.value(QStringLiteral("id")).toLongLong() <
               right.value(QStringLiteral("id")).toLongLong();
    });
    return rows;
}

QVariantList ProfitabilityReports::unitsOverview()
{
    // Only the columns the tab shows: on a large office most of the time of
    // a full unit list goes into handing every column of thousands of rows
    // to the page.
    return m_db->execQuery(
        QStringLiteral("SELECT u.id, p.name as property_name, u.unit_number, u.area, u.sale_price, "
                       "u.sale_price_actual, u.rent_monthly, u.currency_id, u.status FROM units u "
                       "JOIN properties p ON u.property_id=p.id ORDER BY p.name, u.unit_number"));
}

QVariantMap ProfitabilityReports::profitLoss(const DateRange& range)
{
    // From the ledger's revenue and expense accounts, converted to the
    // primary currency; without a range, the whole history.
    OfficeFigures figures(m_db, InsightDates::today());
    const QVariantMap results =
        range.applies() ? figures.periodResults(range.from(), range.to()) : figures.periodResults();
    QVariantMap out;
    bool complete = true;
    for (const char* key : {"revenue", "expenses", "net_profit"}) {
        const QString name = QString::fromLatin1(key);
        const QVariantMap total = results.value(name).toMap();
        out.insert(name, total.value(QStringLiteral("total")).toDouble());
        out.insert(name + QStringLiteral("_detail"), total);
        complete = complete && total.value(QStringLiteral("complete")).toBool();
    }
    out.insert(QStringLiteral("complete"), complete);
    out.insert(QStringLiteral("mixedCurrencies"), false);
    return out;
}

QVariantMap ProfitabilityReports::balanceSheet()
{
    OfficeFigures figures(m_db, InsightDates::today());
    // What is still owed, each row at the rate of its own day.
    const ConvertedTotal receivables = figures.receivables();
    ConvertedTotal installments(&figures.rates());
    installments.addRows(m_db->execQuery(
        QStringLiteral("SELECT COALESCE(currency_id,") + ConvertedTotal::primaryIdSql() +
        QStringLiteral(") as c, CASE WHEN currency_id=") + ConvertedTotal::primaryIdSql() +
        QStringLiteral(" THEN '' ELSE due_date END as d, SUM(installment_amount-paid_amount) as "
                       "t FROM installments WHERE status!='paid' GROUP BY c, d")));
    // Cash is what the ledger's cash accounts hold, not profit.
    const QVariantMap cash = figures.cash();
    const double cashTotal = cash.value(QStringLiteral("total")).toDouble();
    return {{QStringLiteral("receivables"), receivables.primary()},
            {QStringLiteral("receivables_detail"), receivables.toMap()},
            {QStringLiteral("cash"), cashTotal},
            {QStringLiteral("cash_detail"), cash},
            {QStringLiteral("installment_receivables"), installments.primary()},
            {QStringLiteral("installment_receivables_detail"), installments.toMap()},
            {QStringLiteral("total_assets"),
             Money::roundToCents(receivables.primary() + cashTotal + installments.primary())},
            {QStringLiteral("complete"), receivables.complete() && installments.complete() &&
                                             cash.value(QStringLiteral("complete")).toBool()},
            {QStringLiteral("mixedCurrencies"), false}};
}
