#include "insight/ReportCalls.h"

#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "finance/LedgerReports.h"
#include "insight/CashCalendar.h"
#include "insight/DashboardController.h"
#include "insight/NotificationController.h"
#include "insight/ReportController.h"
#include "rental/PropertyModel.h"

#include <QHash>
#include <QVariantMap>

#include <functional>
#include <map>

namespace {

using Call = std::function<QVariant(Database*, const QVariantList&, QString*)>;

QString textArg(const QVariantList& args, int i)
{
    return i < args.size() ? args.at(i).toString() : QString();
}

int intArg(const QVariantList& args, int i, int fallback)
{
    bool ok = false;
    const int value = i < args.size() ? args.at(i).toInt(&ok) : fallback;
    return ok ? value : fallback;
}

// A report whose date bounds were refused says why and gives nothing.
QVariant refusedOr(const ReportController& reports, const QVariant& result, QString* error)
{
    if (reports.lastError().isEmpty())
        return result;
    *error = reports.lastError();
    return {};
}

const std::map<QString, Call>& calls()
{
    static const std::map<QString, Call> table = {
        {QStringLiteral("dashboard"),
         [](Database* db, const QVariantList& args, QString*) -> QVariant {
             DashboardController dashboard(db);
             NotificationController alerts(db);
             ReportController reports(db);
             QVariantMap page;
             page.insert(QStringLiteral("stats"), dashboard.getStats());
             page.insert(QStringLiteral("occupancy"), dashboard.getOccupancyRate());
             page.insert(QStringLiteral("collections"), dashboard.getMonthlyCollections(6));
             page.insert(QStringLiteral("recentPayments"), dashboard.getRecentPayments(5));
             page.insert(QStringLiteral("recentMaint"), dashboard.getRecentMaintenance(3));
             page.insert(QStringLiteral("insights"), reports.getAIInsights());
             page.insert(QStringLiteral("alerts"), alerts.getActiveAlerts(intArg(args, 0, -1)));
             page.insert(QStringLiteral("alertCount"), alerts.getAlertCount());
             return page;
         }},
        // The analysis page's cards, each asked for on its own so each shows
        // as soon as it is read.
        {QStringLiteral("analysisText"),
         [](Database* db, const QVariantList&, QString*) -> QVariant {
             return ReportController(db).getSmartAIAnalysis();
         }},
        {QStringLiteral("comparison"),
         [](Database* db, const QVariantList&, QString*) -> QVariant {
             return ReportController(db).getPropertyComparison();
         }},
        {QStringLiteral("financial"),
         [](Database* db, const QVariantList& args, QString* error) -> QVariant {
             ReportController reports(db);
             QVariantMap tab;
             tab.insert(QStringLiteral("summary"),
                        reports.getProfitLoss(textArg(args, 0), textArg(args, 1)));
             if (!reports.lastError().isEmpty())
                 return refusedOr(reports, tab, error);
             tab.insert(QStringLiteral("balance"), reports.getBalanceSheet());
             return tab;
         }},
        // One card per property with its figures for the period.
        {QStringLiteral("projects"),
         [](Database* db, const QVariantList& args, QString* error) -> QVariant {
             ReportController reports(db);
             const QHash<int, QVariantMap> figures =
                 reports.getEveryProjectFinancials(textArg(args, 0), textArg(args, 1));
             if (!reports.lastError().isEmpty())
                 return refusedOr(reports, QVariantList(), error);
             QVariantList cards;
             for (const QVariant& value : PropertyModel(db).getAll()) {
                 QVariantMap card = value.toMap();
                 card.insert(QStringLiteral("figures"),
                             figures.value(card.value(QStringLiteral("id")).toInt()));
                 cards.append(card);
             }
             return cards;
         }},
        // One project's cost centres (a card of the accounting page).
        {QStringLiteral("costCentres"),
         [](Database* db, const QVariantList& args, QString*) -> QVariant {
             return ReportController(db).getProjectCostCenters(intArg(args, 0, 0));
         }},
        {QStringLiteral("overdue"),
         [](Database* db, const QVariantList&, QString*) -> QVariant {
             return ReportController(db).getOverdueInstallments();
         }},
        {QStringLiteral("units"),
         [](Database* db, const QVariantList&, QString*) -> QVariant {
             return ReportController(db).getUnitsOverview();
         }},
        // The cheque report's first rows, and what all of its rows add up to.
        {QStringLiteral("cheques"),
         [](Database* db, const QVariantList& args, QString* error) -> QVariant {
             ReportController reports(db);
             const QVariantList totals =
                 reports.getChequeTotals(textArg(args, 0), textArg(args, 1), textArg(args, 2));
             if (!reports.lastError().isEmpty())
                 return refusedOr(reports, QVariantMap(), error);
             return QVariantMap{
                 {QStringLiteral("totals"), totals},
                 {QStringLiteral("rows"),
                  reports.getChequeReport(textArg(args, 0), textArg(args, 1), textArg(args, 2),
                                          ReportCalls::kChequeRows)}};
         }},
        {QStringLiteral("calendar"),
         [](Database* db, const QVariantList& args, QString*) -> QVariant {
             return CashCalendar(db).upcoming(intArg(args, 0, 30));
         }},
        {QStringLiteral("trialBalance"),
         [](Database* db, const QVariantList& args, QString* error) -> QVariant {
             const QString from = textArg(args, 0);
             const QString to = textArg(args, 1);
             if ((!from.isEmpty() && !SqlValue::isIsoDate(from)) ||
                 (!to.isEmpty() && !SqlValue::isIsoDate(to))) {
                 *error = Reasons::invalidDate();
                 return {};
             }
             return LedgerReports(db).trialBalance(from, to);
         }},
        {QStringLiteral("reconcile"),
         [](Database* db, const QVariantList&, QString*) -> QVariant {
             return LedgerReports(db).reconcile();
         }},
        {QStringLiteral("accountLedger"),
         [](Database* db, const QVariantList& args, QString* error) -> QVariant {
             const QVariantMap ledger = LedgerReports(db).accountLedger(
                 intArg(args, 0, 0), intArg(args, 1, 0), intArg(args, 2, 50));
             if (ledger.isEmpty()) {
                 *error = Reasons::notFound();
                 return {};
             }
             return ledger;
         }},
    };
    return table;
}

} // namespace

QStringList ReportCalls::names()
{
    QStringList list;
    for (const auto& entry : calls())
        list.append(entry.first);
    return list;
}

bool ReportCalls::known(const QString& call)
{
    return calls().count(call) > 0;
}

QVariant ReportCalls::run(Database* db, const QString& call, const QVariantList& args,
                          QString* error)
{
    const auto it = calls().find(call);
    if (it == calls().end()) {
        *error = QStringLiteral("unknown report: ") + call;
        return {};
    }
    return it->second(db, args, error);
}
