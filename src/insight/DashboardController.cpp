#include "insight/DashboardController.h"

#include "core/ConvertedTotal.h"
#include "core/Database.h"
#include "core/OfficeFigures.h"
#include "core/SqlValue.h"
#include "insight/InsightDates.h"
#include "rental/PaymentModel.h"
#include "rental/RentalLists.h"

#include <QStringList>

namespace {

// The longest chart the page can ask for; a larger count is cut to it.
constexpr int kMaxChartMonths = 120;

const QStringList& arabicMonthNames()
{
    static const QStringList names = {
        QStringLiteral("يناير"),  QStringLiteral("فبراير"), QStringLiteral("مارس"),
        QStringLiteral("أبريل"),  QStringLiteral("مايو"),   QStringLiteral("يونيو"),
        QStringLiteral("يوليو"),  QStringLiteral("أغسطس"),  QStringLiteral("سبتمبر"),
        QStringLiteral("أكتوبر"), QStringLiteral("نوفمبر"), QStringLiteral("ديسمبر")};
    return names;
}

} // namespace

DashboardController::DashboardController(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{}

int DashboardController::count(const QString& sql)
{
    return m_db->scalar(sql).toInt();
}

QVariantMap DashboardController::getStats()
{
    QVariantMap stats;
    stats.insert(QStringLiteral("totalProperties"),
                 count(QStringLiteral("SELECT COUNT(*) as c FROM properties")));
    // A tenant with two active contracts is still one tenant.
    stats.insert(QStringLiteral("activeTenants"),
                 count(QStringLiteral("SELECT COUNT(DISTINCT c.tenant_id) as c FROM tenants t "
                                      "JOIN contracts c ON t.id=c.tenant_id WHERE "
                                      "c.status='active'")));
    OfficeFigures figures(m_db, InsightDates::today());
    const QVariantMap collected = figures.collectedThisMonth();
    const double current = collected.value(QStringLiteral("total")).toDouble();
    // Money received this month, converted: what the card shows.
    stats.insert(QStringLiteral("monthlyRevenue"), current);
    stats.insert(QStringLiteral("collectedThisMonth"), collected);
    stats.insert(QStringLiteral("contractedMonthlyRent"), figures.contractedMonthlyRent());
    stats.insert(QStringLiteral("pendingMaintenance"),
                 count(QStringLiteral("SELECT COUNT(*) as c FROM maintenance_requests WHERE "
                                      "status IN ('new','in_progress')")));

    const QDate previousStart = InsightDates::monthStart(1);
    const double previous =
        figures
            .collected(InsightDates::iso(previousStart),
                       InsightDates::iso(InsightDates::monthStart().addDays(-1)))
            .value(QStringLiteral("total"))
            .toDouble();
    stats.insert(QStringLiteral("revenueGrowth"),
                 previous > 0 ? (current - previous) / previous * 100.0 : 0.0);
    // Totals are converted, so none of them adds currencies raw any more.
    stats.insert(QStringLiteral("mixedCurrencies"), false);
    return stats;
}

QVariantList DashboardController::getRecentPayments(int limit)
{
    // The payments page's own latest rows; the payer is whoever paid.
    QVariantList rows = PaymentModel(m_db).getRecent(limit);
    for (QVariant& value : rows) {
        QVariantMap row = value.toMap();
        const QString tenant = row.value(QStringLiteral("tenant_name")).toString();
        row.insert(QStringLiteral("payer_name"),
                   tenant.isEmpty() ? row.value(QStringLiteral("buyer_name")) : QVariant(tenant));
        value = row;
    }
    return rows;
}

QVariantList DashboardController::getRecentMaintenance(int limit)
{
    // The maintenance page's own columns, names looked up per row.
    return m_db->execQuery(QStringLiteral("SELECT ") + RentalLists::maintenance().columns +
                               QStringLiteral(" FROM maintenance_requests m ORDER BY "
                                              "m.created_at DESC, m.id DESC LIMIT ?"),
                           {limit});
}

QVariantList DashboardController::getExpiringContracts(int days)
{
    // No lower bound: contracts already past their end but still active come first.
    return m_db->execQuery(
        QStringLiteral("SELECT c.*, t.full_name as tenant_name, u.unit_number, p.name as "
                       "property_name FROM contracts c JOIN tenants t ON c.tenant_id=t.id JOIN "
                       "units u ON c.unit_id=u.id JOIN properties p ON u.property_id=p.id WHERE "
                       "c.status='active' AND c.end_date <= ? ORDER BY c.end_date, c.id"),
        {InsightDates::isoDay(days)});
}

double DashboardController::getOccupancyRate()
{
    return OfficeFigures(m_db, InsightDates::today())
        .occupancy()
        .value(QStringLiteral("percent"))
        .toDouble();
}

double DashboardController::getCollectionRate()
{
    // Periods are "yyyy-MM" and compared with the current period as such:
    // the current month's invoices and any later ones. Void invoices owe
    // nothing and would only dilute the rate. Each currency's invoices are
    // weighed at today's rate.
    OfficeFigures figures(m_db, InsightDates::today());
    ConvertedTotal total(&figures.rates());
    ConvertedTotal paid(&figures.rates());
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT currency_id as c, COALESCE(SUM(total_amount),0) as total, "
                       "COALESCE(SUM(paid_amount),0) as paid FROM invoices WHERE period >= ? "
                       "AND status!='void' GROUP BY currency_id"),
        {InsightDates::period(InsightDates::today())});
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const int currency = row.value(QStringLiteral("c")).toInt();
        total.add(currency, figures.todayIso(), row.value(QStringLiteral("total")).toDouble());
        paid.add(currency, figures.todayIso(), row.value(QStringLiteral("paid")).toDouble());
    }
    return total.primary() > 0 ? paid.primary() / total.primary() * 100.0 : 0.0;
}

double DashboardController::getMonthlyRevenue()
{
    return OfficeFigures(m_db, InsightDates::today())
        .collectedThisMonth()
        .value(QStringLiteral("total"))
        .toDouble();
}

QVariantList DashboardController::getMonthlyCollections(int months)
{
    months = qMin(months, kMaxChartMonths);
    if (months < 1)
        return {};
    const QDate first = InsightDates::monthStart(months - 1);
    const QDate end = InsightDates::monthStart().addMonths(1);
    OfficeFigures figures(m_db, InsightDates::today());
    const QMap<int, QVariantMap> byMonth = figures.collectedByMonth(first, end.addDays(-1));

    QVariantList result;
    for (QDate month = first; month < end; month = month.addMonths(1)) {
        const QVariantMap total = byMonth.value(month.year() * 100 + month.month());
        QVariantMap entry;
        entry.insert(QStringLiteral("month"), InsightDates::period(month));
        entry.insert(QStringLiteral("label"), arabicMonthNames().at(month.month() - 1));
        entry.insert(QStringLiteral("total"), total.value(QStringLiteral("total"), 0.0));
        entry.insert(QStringLiteral("complete"), total.value(QStringLiteral("complete"), true));
        // Each currency's own amount and any missing rate, for the chart's hover.
        entry.insert(QStringLiteral("detail"), total);
        entry.insert(QStringLiteral("mixedCurrencies"), false);
        result.append(entry);
    }
    return result;
}
