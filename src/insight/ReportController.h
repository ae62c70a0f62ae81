#pragma once

#include "core/BackendObject.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <memory>

class AnalysisReports;
class Database;
class DateRange;
class ProfitabilityReports;
class StatementReports;

// The read-only reports published to QML: statements and ledgers,
// profitability and project financials, summaries and the generated
// analysis. A date range applies when both bounds are given; a bound that is
// not a real "yyyy-MM-dd" date is refused with an empty result and a reason
// in lastError, and nothing is run.
class ReportController : public BackendObject
{
    Q_OBJECT

public:
    explicit ReportController(Database* db, QObject* parent = nullptr);
    ~ReportController() override;

    // Statements and ledgers.
    Q_INVOKABLE QVariantList getTenantStatement(int tid, const QString& from = QString(),
                                                const QString& to = QString());
    Q_INVOKABLE QVariantList getBuyerStatement(int bid, const QString& from = QString(),
                                               const QString& to = QString());
    Q_INVOKABLE QVariantList getContractorStatement(int cid, const QString& from = QString(),
                                                    const QString& to = QString());
    // Due date first; the first `limit` rows only when it is not negative.
    Q_INVOKABLE QVariantList getChequeReport(const QString& status = QString(),
                                             const QString& from = QString(),
                                             const QString& to = QString(), int limit = -1);
    // What the cheque report's rows add up to, per kind and currency.
    Q_INVOKABLE QVariantList getChequeTotals(const QString& status = QString(),
                                             const QString& from = QString(),
                                             const QString& to = QString());
    Q_INVOKABLE QVariantList getOverdueInstallments();
    Q_INVOKABLE QVariantList getMonthlyReport(const QString& year);

    // Profitability and project financials.
    Q_INVOKABLE QVariantMap getPropertyProfitability(int pid, const QString& from = QString(),
                                                     const QString& to = QString());
    Q_INVOKABLE QVariantMap getUnitProfitability(int uid);
    Q_INVOKABLE QVariantMap getProjectDetailedFinancials(int pid, const QString& from = QString(),
                                                         const QString& to = QString());
    // Every property's project figures, by property id.
    QHash<int, QVariantMap> getEveryProjectFinancials(const QString& from = QString(),
                                                      const QString& to = QString());
    Q_INVOKABLE QVariantList getProjectCostCenters(int pid, const QString& from = QString(),
                                                   const QString& to = QString());
    Q_INVOKABLE QVariantList getPropertyComparison();
    // Every unit with what the units tab shows of it (property name, number,
    // area, prices, currency, status), in the order of UnitModel::getAll.
    Q_INVOKABLE QVariantList getUnitsOverview();
    Q_INVOKABLE QVariantMap getProfitLoss(const QString& from = QString(),
                                          const QString& to = QString());
    Q_INVOKABLE QVariantMap getBalanceSheet();

    // Generated summaries.
    Q_INVOKABLE QVariantList getAIInsights();
    Q_INVOKABLE QVariantMap getSmartAIAnalysis();

private:
    // Clears the last reason, then checks the bounds; false (with the
    // reason kept) when they must not be run.
    bool accept(const DateRange& range);

    std::unique_ptr<StatementReports> m_statements;
    std::unique_ptr<ProfitabilityReports> m_profitability;
    std::unique_ptr<AnalysisReports> m_analysis;
};
