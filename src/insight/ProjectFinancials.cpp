#include "insight/ProjectFinancials.h"

#include "core/ConvertedTotal.h"
#include "core/CurrencyRates.h"
#include "core/Database.h"
#include "core/MoneyTotals.h"
#include "core/SqlDialect.h"
#include "insight/DateRange.h"
#include "insight/InsightDates.h"

namespace {

// Down payments are the buyer payments a sale writes, recognised by this note.
const QString kDownPaymentNote = QStringLiteral("'دفعة مقدمة / بيع وحدة:%'");

// Figures that describe the current state of a project and so never follow
// a date range.
QStringList projectLifetimeFigures()
{
    return {QStringLiteral("unsold_value"), QStringLiteral("total_units"),
            QStringLiteral("sold_units")};
}

using Totals = QHash<qlonglong, ConvertedTotal>;

} // namespace

ProjectFinancials::ProjectFinancials(Database* db)
    : m_db(db)
{}

QString ProjectFinancials::perCurrencyAndDay(const QString& amount, const QString& currency,
                                             const QString& day)
{
    const QString c = QStringLiteral("COALESCE(") + currency + QLatin1Char(',') +
                      ConvertedTotal::primaryIdSql() + QLatin1Char(')');
    return QStringLiteral("SELECT ") + c + QStringLiteral(" as c, CASE WHEN ") + c +
           QLatin1Char('=') + ConvertedTotal::primaryIdSql() + QStringLiteral(" THEN '' ELSE ") +
           day + QStringLiteral(" END as d, COALESCE(SUM(") + amount + QStringLiteral("),0) as t");
}

const QString& ProjectFinancials::effectivePrice()
{
    static const QString price = QStringLiteral(
        "CASE WHEN sale_price_actual > 0 THEN sale_price_actual ELSE sale_price END");
    return price;
}

QHash<qlonglong, ConvertedTotal>
ProjectFinancials::keptPerProperty(Database* db, const CurrencyRates* rates, const QString& kind)
{
    return ConvertedTotal::perOwner(
        db->execQuery(QStringLiteral("SELECT owner_id as o, NULLIF(currency_id,-1) as c, '' as d, "
                                     "cents/100.0+rest as t FROM money_totals WHERE kind=? AND "
                                     "row_count>0 AND (currency_id=-1 OR currency_id=") +
                          ConvertedTotal::primaryIdSql() + QStringLiteral(")"),
                      {kind}),
        QStringLiteral("o"), rates);
}

QHash<qlonglong, ConvertedTotal> ProjectFinancials::expensesPerProperty(Database* db,
                                                                        const CurrencyRates* rates)
{
    QHash<qlonglong, ConvertedTotal> expenses =
        keptPerProperty(db, rates, MoneyTotals::kPropertyExpenses);
    // Column by column, without a map per row: an office may hold thousands
    // of such days.
    for (const QVariant& other :
         db->execQuery(QStringLiteral("SELECT id FROM currencies WHERE is_primary=0"))) {
        db->forEachRow(
            QStringLiteral("SELECT property_id, currency_id, expense_date, SUM(amount) FROM "
                           "expenses WHERE currency_id=? AND property_id IS NOT NULL GROUP BY 1, "
                           "2, 3"),
            {other.toMap().value(QStringLiteral("id"))}, [&](QVector<QVariant>& row) {
                auto it = expenses.find(row.at(0).toLongLong());
                if (it == expenses.end())
                    it = expenses.insert(row.at(0).toLongLong(), ConvertedTotal(rates));
                it->add(row.at(1).toInt(), row.at(2).toString(), row.at(3).toDouble());
            });
    }
    return expenses;
}

QVariantMap ProjectFinancials::of(int propertyId, const DateRange& range)
{
    return read(QStringLiteral("SELECT CAST(? AS INTEGER)"), {propertyId}, range, false)
        .value(propertyId);
}

QHash<int, QVariantMap> ProjectFinancials::every(const DateRange& range)
{
    return read(QStringLiteral("SELECT id FROM properties"), {}, range, true);
}

QHash<int, QVariantMap> ProjectFinancials::read(const QString& propertyIds,
                                                const QVariantList& idParams,
                                                const DateRange& range, bool all)
{
    // With a range, sales are the units sold in it, collections the buyer
    // payments dated in it and expenses those dated in it. The unsold value
    // and the unit counts describe the project as it stands today. Every
    // money figure is converted to the primary currency at the rate of its
    // row's day (a sale at its sale date, the unsold value at today's rate),
    // with the amounts of each currency beside it. Each statement reads all
    // the projects asked for at once, grouped by project.
    const CurrencyRates rates(m_db);
    const QString today = InsightDates::isoDay();
    const QString asked = QStringLiteral(" IN (") + propertyIds + QStringLiteral(")");
    const SqlDialect::Engine engine = m_db->engine();
    // One property: its index finds its rows and the dates only filter
    // them. Every property over a range: the date's index finds the rows.
    const auto dated = [&](const QString& column) {
        return all ? column : SqlDialect::unindexed(engine, column);
    };
    const auto owner = [&](const QString& column) {
        return all && range.applies() ? SqlDialect::unindexed(engine, column) : column;
    };
    const auto perProject = [&](const QString& sql, const QVariantList& params) {
        return ConvertedTotal::perOwner(m_db->execQuery(sql, params), QStringLiteral("o"), &rates);
    };

    QVariantList saleParams = {today};
    saleParams << idParams;
    const Totals sales = perProject(
        perCurrencyAndDay(effectivePrice(), QStringLiteral("currency_id"),
                          QStringLiteral("COALESCE(sale_date, ?)")) +
            QStringLiteral(", property_id as o FROM units WHERE status='sold' AND property_id") +
            asked + range.clause(QStringLiteral("sale_date"), saleParams) +
            QStringLiteral(" GROUP BY property_id, c, d"),
        saleParams);

    // Buyer payments, down payments (down=1) apart from collected
    // installments, in one reading.
    QVariantList paymentParams = idParams;
    const QString paidInRange = range.clause(
        SqlDialect::unindexed(engine, QStringLiteral("p.payment_date")), paymentParams);
    const QVariantList buyerRows = m_db->execQuery(
        perCurrencyAndDay(QStringLiteral("p.amount"), QStringLiteral("p.currency_id"),
                          QStringLiteral("p.payment_date")) +
            QStringLiteral(", u.property_id as o, CASE WHEN p.notes LIKE ") + kDownPaymentNote +
            QStringLiteral(" THEN 1 ELSE 0 END as down FROM payments p ") +
            // Every property's: from the few buyer payments, not through
            // every unit's rent.
            (all ? SqlDialect::leadingJoin(engine) : QStringLiteral("JOIN")) +
            QStringLiteral(" units u ON u.id=p.unit_id WHERE p.buyer_id IS NOT NULL AND "
                           "u.property_id") +
            asked + paidInRange + QStringLiteral(" GROUP BY u.property_id, down, c, d"),
        paymentParams);
    QVariantList downRows;
    QVariantList collectionRows;
    for (const QVariant& row : buyerRows)
        (row.toMap().value(QStringLiteral("down")).toInt() == 1 ? downRows : collectionRows)
            .append(row);
    const Totals downPayments = ConvertedTotal::perOwner(downRows, QStringLiteral("o"), &rates);
    const Totals collections =
        ConvertedTotal::perOwner(collectionRows, QStringLiteral("o"), &rates);

    // Every project over the whole history: a great many expenses, whose
    // totals the database keeps per property.
    QVariantList expenseParams = idParams;
    const Totals expenses =
        all && !range.applies()
            ? expensesPerProperty(m_db, &rates)
            : perProject(perCurrencyAndDay(QStringLiteral("amount"), QStringLiteral("currency_id"),
                                           QStringLiteral("expense_date")) +
                             QStringLiteral(", property_id as o FROM expenses WHERE ") +
                             owner(QStringLiteral("property_id")) + asked +
                             range.clause(dated(QStringLiteral("expense_date")), expenseParams) +
                             QStringLiteral(" GROUP BY property_id, c, d"),
                         expenseParams);

    QVariantList unsoldParams = {today};
    unsoldParams << idParams;
    const Totals unsold =
        perProject(perCurrencyAndDay(QStringLiteral("sale_price"), QStringLiteral("currency_id"),
                                     QStringLiteral("?")) +
                       QStringLiteral(", property_id as o FROM units WHERE status='available' AND "
                                      "property_id") +
                       asked + QStringLiteral(" GROUP BY property_id, c, d"),
                   unsoldParams);

    // What the units sold (in the range) cost directly, whenever it was spent.
    QVariantList directParams = idParams;
    const Totals soldDirectCost = perProject(
        perCurrencyAndDay(QStringLiteral("e.amount"), QStringLiteral("e.currency_id"),
                          QStringLiteral("e.expense_date")) +
            QStringLiteral(", u.property_id as o FROM expenses e JOIN units u ON e.unit_id=u.id "
                           "WHERE u.status='sold' AND u.property_id") +
            asked + range.clause(QStringLiteral("u.sale_date"), directParams) +
            QStringLiteral(" GROUP BY u.property_id, c, d"),
        directParams);

    // Every project asked for has its counts, zero when it has no unit.
    QHash<int, QVariantMap> figures;
    QHash<int, std::pair<QVariant, QVariant>> counts;
    for (const QVariant& value : m_db->execQuery(
             QStringLiteral("WITH x(id) AS (") + propertyIds +
                 QStringLiteral(") SELECT x.id as o, COUNT(u.id) as total, COALESCE(SUM(CASE "
                                "WHEN u.status='sold' THEN 1 ELSE 0 END),0) as sold FROM x LEFT "
                                "JOIN units u ON u.property_id=x.id GROUP BY x.id"),
             idParams)) {
        const QVariantMap row = value.toMap();
        counts.insert(row.value(QStringLiteral("o")).toInt(),
                      {row.value(QStringLiteral("total")), row.value(QStringLiteral("sold"))});
    }

    const ConvertedTotal none(&rates);
    const auto get = [&none](const Totals& totals, int id) -> const ConvertedTotal& {
        const auto it = totals.constFind(id);
        return it == totals.cend() ? none : it.value();
    };
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const int id = it.key();
        const ConvertedTotal& sold = get(sales, id);
        const ConvertedTotal& spent = get(expenses, id);
        ConvertedTotal collected = get(downPayments, id);
        collected.merge(get(collections, id));
        ConvertedTotal expectedProfit = get(unsold, id);
        expectedProfit.merge(sold);
        expectedProfit.subtract(spent);
        ConvertedTotal netCashFlow = collected;
        netCashFlow.subtract(spent);
        ConvertedTotal realizedProfit = sold;
        realizedProfit.subtract(spent);

        QVariantMap map = {{QStringLiteral("range_applied"), range.applies()},
                           {QStringLiteral("lifetime_figures"), projectLifetimeFigures()},
                           {QStringLiteral("mixedCurrencies"), false},
                           // Every money figure is in the primary currency.
                           {QStringLiteral("currency_id"), rates.primaryId()},
                           {QStringLiteral("total_units"), it.value().first},
                           {QStringLiteral("sold_units"), it.value().second}};
        bool complete = true;
        const auto put = [&](const QString& key, const ConvertedTotal& figure) {
            map.insert(key, figure.primary());
            map.insert(key + QStringLiteral("_detail"), figure.toMap());
            complete = complete && figure.complete();
        };
        put(QStringLiteral("total_sales_value"), sold);
        put(QStringLiteral("total_revenue"), sold);
        put(QStringLiteral("total_collected"), collected);
        put(QStringLiteral("total_expenses"), spent);
        put(QStringLiteral("unsold_value"), get(unsold, id));
        put(QStringLiteral("expected_profit"), expectedProfit);
        put(QStringLiteral("net_cash_flow"), netCashFlow);
        put(QStringLiteral("realized_profit"), realizedProfit);
        put(QStringLiteral("cash_sales"), get(downPayments, id));
        put(QStringLiteral("installment_collections"), get(collections, id));
        put(QStringLiteral("sold_direct_cost"), get(soldDirectCost, id));
        map.insert(QStringLiteral("complete"), complete);
        figures.insert(id, map);
    }
    return figures;
}
