#pragma once

#include "core/Desktop.h"

#include <QString>

#include <memory>

class AccountModel;
class AuditManager;
class AuthController;
class BalanceListModel;
class BackupManager;
class RestoreReadLimit;
class BuyerModel;
class ChequeModel;
class ContractModel;
class CurrencyModel;
class DashboardController;
class Database;
class ExpenseModel;
class ContractorModel;
class ImportController;
class InstallmentModel;
class InvoiceModel;
class MeterReadingModel;
class MaintenanceModel;
class NotificationController;
class CashCalendar;
class ChangeFeed;
class PaymentModel;
class PrintController;
class PropertyModel;
class QQmlContext;
class ReportController;
class ServerSetup;
class SessionMemory;
class ServerLink;
class SettingsManager;
class SqlListModel;
class ListReader;
class ReportReader;
class TenantModel;
class UnitModel;

// Owns every back-end object for the whole run. They are created in a fixed
// order after the database has opened and destroyed in the reverse order
// (members are destroyed bottom-up). The entry routine and the QML test
// harness both publish them through publish(), so tests see exactly what the
// application sees.
//
// Creation order, which is also the order of the context properties after
// `database`: backupManager, settingsManager, propertyModel, unitModel,
// tenantModel, contractModel, invoiceModel, paymentModel, maintenanceModel,
// meterReadingModel,
// expenseModel, accountModel, chequeModel, buyerModel, installmentModel,
// currencyModel, dashboardCtrl, reportCtrl, authCtrl, printCtrl, notifyCtrl,
// importCtrl, auditMgr; then the paged lists invoiceList, paymentList,
// expenseList, chequeList, maintenanceList, contractList, installmentList,
// journalList, auditList, tenantList, buyerList (see SqlListModel.h for their filters and sorts);
// then sessionMemory, serverSetup and serverLink.
class AppContext
{
public:
    // `desktop` replaces the real pickers and viewer, for tests.
    AppContext(Database* db, QString dataDir, std::unique_ptr<Desktop> desktop = nullptr);
    ~AppContext();

    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    // Registers the context properties on `context`, in their fixed order.
    void publish(QQmlContext* context) const;

    // Work that waits until the window is up, so it never delays it: the
    // start-up backup when the newest one is more than a day old.
    void startDeferredWork();

private:
    Database* m_db;
    QString m_dataDir;

    // The desktop seam outlives every object that uses it.
    std::unique_ptr<Desktop> m_desktop;

    // In creation order.
    std::unique_ptr<BackupManager> m_backupManager;
    std::unique_ptr<RestoreReadLimit> m_restoreReadLimit;
    std::unique_ptr<SettingsManager> m_settingsManager;
    std::unique_ptr<PropertyModel> m_propertyModel;
    std::unique_ptr<UnitModel> m_unitModel;
    std::unique_ptr<TenantModel> m_tenantModel;
    std::unique_ptr<ContractModel> m_contractModel;
    std::unique_ptr<InvoiceModel> m_invoiceModel;
    std::unique_ptr<PaymentModel> m_paymentModel;
    std::unique_ptr<MaintenanceModel> m_maintenanceModel;
    std::unique_ptr<MeterReadingModel> m_meterReadingModel;
    std::unique_ptr<ExpenseModel> m_expenseModel;
    std::unique_ptr<ContractorModel> m_contractorModel;
    std::unique_ptr<AccountModel> m_accountModel;
    std::unique_ptr<ChequeModel> m_chequeModel;
    std::unique_ptr<BuyerModel> m_buyerModel;
    std::unique_ptr<InstallmentModel> m_installmentModel;
    std::unique_ptr<CurrencyModel> m_currencyModel;
    std::unique_ptr<DashboardController> m_dashboardCtrl;
    std::unique_ptr<ReportController> m_reportCtrl;
    std::unique_ptr<AuthController> m_authCtrl;
    std::unique_ptr<PrintController> m_printCtrl;
    std::unique_ptr<NotificationController> m_notifyCtrl;
    std::unique_ptr<ImportController> m_importCtrl;
    std::unique_ptr<AuditManager> m_auditMgr;
    std::unique_ptr<CashCalendar> m_cashCalendar;
    // Gives back what dropped pages and a finished session held.
    std::unique_ptr<SessionMemory> m_sessionMemory;
    // Where this computer opens the books, and the move to a server.
    std::unique_ptr<ServerSetup> m_serverSetup;

    // Counts and totals of the paged lists are read on this thread of its
    // own; made again on the restored file after a restore.
    std::unique_ptr<ListReader> m_listReader;
    std::unique_ptr<ReportReader> m_reportReader;
    void useListReader();

    // The paged lists, each refreshed when the models that write its rows
    // report a change.
    void createLists();
    std::unique_ptr<SqlListModel> m_invoiceList;
    std::unique_ptr<SqlListModel> m_paymentList;
    std::unique_ptr<SqlListModel> m_expenseList;
    std::unique_ptr<SqlListModel> m_chequeList;
    std::unique_ptr<SqlListModel> m_maintenanceList;
    std::unique_ptr<SqlListModel> m_contractList;
    std::unique_ptr<SqlListModel> m_installmentList;
    std::unique_ptr<SqlListModel> m_journalList;
    std::unique_ptr<SqlListModel> m_auditList;
    // Tenants and buyers, with what each owes read on the list reader.
    std::unique_ptr<BalanceListModel> m_tenantList;
    std::unique_ptr<BalanceListModel> m_buyerList;

    // On a shared server: other desks' writes refresh the models and lists
    // that show their tables, and a lost connection is told and mended.
    void followOtherDesks();
    std::unique_ptr<ChangeFeed> m_changeFeed;
    std::unique_ptr<ServerLink> m_serverLink;
};
