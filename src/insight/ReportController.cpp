#include "insight/ReportController.h"

#include "insight/AnalysisReports.h"
#include "insight/DateRange.h"
#include "insight/ProfitabilityReports.h"
#include "insight/StatementReports.h"

ReportController::ReportController(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_statements(std::make_unique<StatementReports>(db))
    , m_profitability(std::make_unique<ProfitabilityReports>(db))
    , m_analysis(std::make_unique<AnalysisReports>(db))
{}

ReportController::~ReportController() = default;

bool ReportController::accept(const DateRange& range)
{
    clearError();
    if (!range.isValid())
        return refuse(DateRange::invalidReason());
    return true;
}

QVariantList ReportController::getTenantStatement(int tid, const QString& from, const QString& to)
{
    const DateRange range(from, to);
    return accept(range) ? m_statements->tenantStatement(tid, range) : QVariantList();
}

QVariantList ReportController::getBuyerStatement(int bid, const QString& from, const QString& to)
{
    const DateRange range(from, to);
    return accept(range) ? m_statements->buyerStatement(bid, range) : QVariantList();
}

QVariantList ReportController::getContractorStatement(int cid, const QString& from,
                                                      const QString& to)
{
    const DateRange range(from, to);
    return accept(range) ? m_statements->contractorStatement(cid, range) : QVariantList();
}

QVariantList ReportController::getChequeReport(const QString& status, const QString& from,
                                               const QString& to, int limit)
{
    const DateRange range(from, to);
    return accept(range) ? m_statements->chequeReport(status, range, limit) : QVariantList();
}

QVariantList ReportController::getChequeTotals(const QString& status, const QString& from,
                                               const QString& to)
{
    const DateRange range(from, to);
    return accept(range) ? m_statements->chequeTotals(status, range) : QVariantList();
}

QVariantList ReportController::getOverdueInstallments()
{
    clearError();
    return m_statements->overdueInstallments();
}

QVariantList ReportController::getMonthlyReport(const QString& year)
{
    clearError();
    return m_statements->monthlyReport(year);
}

QVariantMap ReportController::getPropertyProfitability(int pid, const QString& from,
                                                       const QString& to)
{
    const DateRange range(from, to);
    return accept(range) ? m_profitability->propertyProfitability(pid, range) : QVariantMap();
}

QVariantMap ReportController::getUnitProfitability(int uid)
{
    clearError();
    return m_profitability->unitProfitability(uid);
}

QVariantMap ReportController::getProjectDetailedFinancials(int pid, const QString& from,
                                                           const QString& to)
{
    const DateRange range(from, to);
    return accept(range) ? m_profitability->projectFinancials(pid, range) : QVariantMap();
}

QHash<int, QVariantMap> ReportController::getEveryProjectFinancials(const QString& from,
                                                                    const QString& to)
{
    const DateRange range(from, to);
    return accept(range) ? m_profitability->everyProjectFinancials(range)
                         : QHash<int, QVariantMap>();
}

QVariantList ReportController::getProjectCostCenters(int pid, const QString& from,
                                                     const QString& to)
{
    const DateRange range(from, to);
    return accept(range) ? m_profitability->projectCostCenters(pid, range) : QVariantList();
}

QVariantList ReportController::getPropertyComparison()
{
    clearError();
    return m_profitability->propertyComparison();
}

QVariantList ReportController::getUnitsOverview()
{
    clearError();
    return m_profitability->unitsOverview();
}

QVariantMap ReportController::getProfitLoss(const QString& from, const QString& to)
{
    const DateRange range(from, to);
    return accept(range) ? m_profitability->profitLoss(range) : QVariantMap();
}

QVariantMap ReportController::getBalanceSheet()
{
    clearError();
    return m_profitability->balanceSheet();
}

QVariantList ReportController::getAIInsights()
{
    clearError();
    return m_analysis->insightCards();
}

QVariantMap ReportController::getSmartAIAnalysis()
{
    clearError();
    return m_analysis->smartAnalysis();
}
