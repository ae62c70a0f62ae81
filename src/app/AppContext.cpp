#include "app/AppContext.h"

#include "admin/AuditList.h"
#include "admin/AuditManager.h"
#include "admin/AuthController.h"
#include "admin/BackupManager.h"
#include "admin/RestoreReadLimit.h"
#include "admin/ServerSetup.h"
#include "admin/SettingsManager.h"
#include "app/NativeDesktop.h"
#include "app/SessionMemory.h"
#include "core/BalanceListModel.h"
#include "core/ChangeFeed.h"
#include "core/Database.h"
#include "core/ListReader.h"
#include "core/PartyBalances.h"
#include "core/ServerLink.h"
#include "core/SqlListModel.h"
#include "finance/AccountModel.h"
#include "finance/BuyerModel.h"
#include "finance/ChequeModel.h"
#include "finance/ContractorModel.h"
#include "finance/CurrencyModel.h"
#include "finance/ExpenseModel.h"
#include "finance/FinanceLists.h"
#include "finance/InstallmentModel.h"
#include "insight/CashCalendar.h"
#include "insight/DashboardController.h"
#include "insight/ImportController.h"
#include "insight/NotificationController.h"
#include "insight/PrintController.h"
#include "insight/ReportController.h"
#include "insight/ReportReader.h"
#include "rental/ContractModel.h"
#include "rental/InvoiceModel.h"
#include "rental/MaintenanceModel.h"
#include "rental/MeterReadingModel.h"
#include "rental/PaymentModel.h"
#include "rental/PropertyModel.h"
#include "rental/RentalLists.h"
#include "rental/TenantModel.h"
#include "rental/UnitModel.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QTimer>

#include <type_traits>
#include <utility>

AppContext::AppContext(Database* db, QString dataDir, std::unique_ptr<Desktop> desktop)
    : m_db(db)
    , m_dataDir(std::move(dataDir))
    , m_desktop(desktop ? std::move(desktop) : std::make_unique<NativeDesktop>())
    , m_backupManager(std::make_unique<BackupManager>(m_dataDir, db, m_desktop.get()))
    , m_restoreReadLimit(std::make_unique<RestoreReadLimit>(db, m_backupManager.get()))
    , m_settingsManager(std::make_unique<SettingsManager>(db))
    , m_propertyModel(std::make_unique<PropertyModel>(db))
    , m_unitModel(std::make_unique<UnitModel>(db))
    , m_tenantModel(std::make_unique<TenantModel>(db))
    , m_contractModel(std::make_unique<ContractModel>(db))
    , m_invoiceModel(std::make_unique<InvoiceModel>(db))
    , m_paymentModel(std::make_unique<PaymentModel>(db))
    , m_maintenanceModel(std::make_unique<MaintenanceModel>(db))
    , m_meterReadingModel(std::make_unique<MeterReadingModel>(db))
    , m_expenseModel(std::make_unique<ExpenseModel>(db))
    , m_contractorModel(std::make_unique<ContractorModel>(db))
    , m_accountModel(std::make_unique<AccountModel>(db))
    , m_chequeModel(std::make_unique<ChequeModel>(db))
    , m_buyerModel(std::make_unique<BuyerModel>(db))
    , m_installmentModel(std::make_unique<InstallmentModel>(db))
    , m_currencyModel(std::make_unique<CurrencyModel>(db))
    , m_dashboardCtrl(std::make_unique<DashboardController>(db))
    , m_reportCtrl(std::make_unique<ReportController>(db))
    , m_authCtrl(std::make_unique<AuthController>(db))
    , m_printCtrl(std::make_unique<PrintController>(m_settingsManager.get(), m_desktop.get(), db))
    , m_notifyCtrl(std::make_unique<NotificationController>(db))
    , m_importCtrl(std::make_unique<ImportController>(db, m_unitModel.get()))
    , m_auditMgr(std::make_unique<AuditManager>(db))
    , m_cashCalendar(std::make_unique<CashCalendar>(db))
    , m_sessionMemory(std::make_unique<SessionMemory>())
    , m_serverSetup(std::make_unique<ServerSetup>(m_dataDir, db, m_desktop.get()))
{
    // Imported rows (and an undone import) show in the lists that reload on
    // their model's change.
    const auto importChanged = [this](const QString& table) {
        if (table == QLatin1String("tenants"))
            emit m_tenantModel->dataChanged();
        else if (table == QLatin1String("buyers"))
            emit m_buyerModel->dataChanged();
        else if (table == QLatin1String("units"))
            emit m_unitModel->dataChanged();
    };
    QObject::connect(m_importCtrl.get(), &ImportController::imported, m_importCtrl.get(),
                     importChanged);
    QObject::connect(m_importCtrl.get(), &ImportController::importUndone, m_importCtrl.get(),
                     importChanged);
    createLists();
    followOtherDesks();
    // A new session starts from an empty page cache and a fresh reader:
    // what the last one read is not kept for the login page.
    m_sessionMemory->setDropCaches([this] {
        m_db->execNonQuery(QStringLiteral("PRAGMA shrink_memory"));
        useListReader();
    });
}

void AppContext::createLists()
{
    const auto make = [this](SqlListModel::Definition definition) {
        return std::make_unique<SqlListModel>(m_db, std::move(definition));
    };
    m_invoiceList = make(RentalLists::invoices());
    m_paymentList = make(RentalLists::payments());
    m_expenseList = make(FinanceLists::expenses());
    m_chequeList = make(FinanceLists::cheques());
    m_maintenanceList = make(RentalLists::maintenance());
    m_contractList = make(RentalLists::contracts());
    m_installmentList = make(FinanceLists::installments());
    m_journalList = make(FinanceLists::journal(m_db->engine()));
    m_auditList = make(AuditList::audit());
    m_tenantList = std::make_unique<BalanceListModel>(
        m_db, RentalLists::tenants(), PartyBalances::tenantsSql(), QStringLiteral("id"));
    m_buyerList = std::make_unique<BalanceListModel>(
        m_db, FinanceLists::buyers(), PartyBalances::buyersSql(), QStringLiteral("id"));

    const auto follow = [](auto* source, SqlListModel* list) {
        QObject::connect(source, &std::remove_pointer_t<decltype(source)>::dataChanged, list,
                         &SqlListModel::refresh);
    };
    // Payments settle invoices; sales and collections write payments,
    // instalments and cheques; completed maintenance books an expense.
    follow(m_invoiceModel.get(), m_invoiceList.get());
    follow(m_paymentModel.get(), m_invoiceList.get());
    follow(m_paymentModel.get(), m_paymentList.get());
    follow(m_installmentModel.get(), m_paymentList.get());
    follow(m_expenseModel.get(), m_expenseList.get());
    follow(m_maintenanceModel.get(), m_expenseList.get());
    follow(m_chequeModel.get(), m_chequeList.get());
    follow(m_installmentModel.get(), m_chequeList.get());
    // Tenant payments by cheque join the register; a bounce opens again
    // the invoice or instalment it paid.
    follow(m_paymentModel.get(), m_chequeList.get());
    follow(m_chequeModel.get(), m_invoiceList.get());
    follow(m_chequeModel.get(), m_installmentList.get());
    follow(m_maintenanceModel.get(), m_maintenanceList.get());
    follow(m_contractModel.get(), m_contractList.get());
    follow(m_tenantModel.get(), m_contractList.get());
    follow(m_installmentModel.get(), m_installmentList.get());
    follow(m_accountModel.get(), m_journalList.get());
    follow(m_expenseModel.get(), m_journalList.get());
    follow(m_contractorModel.get(), m_chequeList.get());
    follow(m_contractorModel.get(), m_journalList.get());
    // What a tenant owes moves with invoices, payments and bounced cheques;
    // the active contracts are counted on the row.
    follow(m_tenantModel.get(), m_tenantList.get());
    follow(m_contractModel.get(), m_tenantList.get());
    follow(m_invoiceModel.get(), m_tenantList.get());
    follow(m_paymentModel.get(), m_tenantList.get());
    follow(m_chequeModel.get(), m_tenantList.get());
    follow(m_buyerModel.get(), m_buyerList.get());
    follow(m_installmentModel.get(), m_buyerList.get());
    follow(m_chequeModel.get(), m_buyerList.get());

    useListReader();
    QObject::connect(m_backupManager.get(), &BackupManager::backupRestored, m_backupManager.get(),
                     [this] { useListReader(); });
}

void AppContext::followOtherDesks()
{
    m_changeFeed = std::make_unique<ChangeFeed>(m_db);
    m_serverLink = std::make_unique<ServerLink>(m_db, m_changeFeed.get());
    m_restoreReadLimit->followFeed(m_changeFeed.get());
    // Another desk's write reaches this one as if a model here had made it:
    // the model announces its change, and the lists and pages that follow
    // it reload as they do after a local write.
    const auto announce = [this](const QStringList& tables, auto* model) {
        m_changeFeed->follow(tables, model, [model] { emit model->dataChanged(); });
    };
    announce({QStringLiteral("properties")}, m_propertyModel.get());
    announce({QStringLiteral("units")}, m_unitModel.get());
    announce({QStringLiteral("tenants")}, m_tenantModel.get());
    announce({QStringLiteral("contracts")}, m_contractModel.get());
    announce({QStringLiteral("invoices"), QStringLiteral("invoice_items")}, m_invoiceModel.get());
    announce({QStringLiteral("payments")}, m_paymentModel.get());
    announce({QStringLiteral("maintenance_requests")}, m_maintenanceModel.get());
    announce({QStringLiteral("services"), QStringLiteral("usage_records")},
             m_meterReadingModel.get());
    announce({QStringLiteral("expenses"), QStringLiteral("cost_centers")}, m_expenseModel.get());
    announce({QStringLiteral("contractors"), QStringLiteral("contractor_payments")},
             m_contractorModel.get());
    announce({QStringLiteral("accounts"), QStringLiteral("journal_entries"),
              QStringLiteral("journal_lines")},
             m_accountModel.get());
    announce({QStringLiteral("cheques")}, m_chequeModel.get());
    announce({QStringLiteral("buyers")}, m_buyerModel.get());
    announce({QStringLiteral("installments")}, m_installmentModel.get());
    announce({QStringLiteral("currencies"), QStringLiteral("exchange_rates")},
             m_currencyModel.get());
    // The audit list follows no model: every write adds to it.
    SqlListModel* audit = m_auditList.get();
    m_changeFeed->follow({QStringLiteral("audit_logs")}, audit, [audit] { audit->refresh(); });
    m_changeFeed->subscribe();
}

void AppContext::useListReader()
{
    const std::initializer_list<SqlListModel*> lists{
        m_invoiceList.get(),     m_paymentList.get(),  m_expenseList.get(),     m_chequeList.get(),
        m_maintenanceList.get(), m_contractList.get(), m_installmentList.get(), m_journalList.get(),
        m_auditList.get(),       m_tenantList.get(),   m_buyerList.get()};
    for (SqlListModel* list : lists)
        list->setReader(nullptr);
    // The reports read through a connection of their own too, opened again
    // whenever the lists' is.
    if (m_reportReader)
        m_reportReader->reopen();
    else
        m_reportReader = std::make_unique<ReportReader>(m_db);
    m_listReader = std::make_unique<ListReader>(*m_db);
    if (!m_listReader->isOpen())
        return; // the lists count on the window's connection, as they can
    for (SqlListModel* list : lists)
        list->setReader(m_listReader.get());
}

AppContext::~AppContext() = default;

void AppContext::publish(QQmlContext* context) const
{
    // The database itself is not published: pages go through the models,
    // which never hand out password hashes or run SQL a page writes.
    context->setContextProperty(QStringLiteral("backupManager"), m_backupManager.get());
    context->setContextProperty(QStringLiteral("settingsManager"), m_settingsManager.get());
    context->setContextProperty(QStringLiteral("propertyModel"), m_propertyModel.get());
    context->setContextProperty(QStringLiteral("unitModel"), m_unitModel.get());
    context->setContextProperty(QStringLiteral("tenantModel"), m_tenantModel.get());
    context->setContextProperty(QStringLiteral("contractModel"), m_contractModel.get());
    context->setContextProperty(QStringLiteral("invoiceModel"), m_invoiceModel.get());
    context->setContextProperty(QStringLiteral("paymentModel"), m_paymentModel.get());
    context->setContextProperty(QStringLiteral("maintenanceModel"), m_maintenanceModel.get());
    context->setContextProperty(QStringLiteral("meterReadingModel"), m_meterReadingModel.get());
    context->setContextProperty(QStringLiteral("expenseModel"), m_expenseModel.get());
    context->setContextProperty(QStringLiteral("contractorModel"), m_contractorModel.get());
    context->setContextProperty(QStringLiteral("accountModel"), m_accountModel.get());
    context->setContextProperty(QStringLiteral("chequeModel"), m_chequeModel.get());
    context->setContextProperty(QStringLiteral("buyerModel"), m_buyerModel.get());
    context->setContextProperty(QStringLiteral("installmentModel"), m_installmentModel.get());
    context->setContextProperty(QStringLiteral("currencyModel"), m_currencyModel.get());
    context->setContextProperty(QStringLiteral("dashboardCtrl"), m_dashboardCtrl.get());
    context->setContextProperty(QStringLiteral("reportCtrl"), m_reportCtrl.get());
    context->setContextProperty(QStringLiteral("authCtrl"), m_authCtrl.get());
    context->setContextProperty(QStringLiteral("printCtrl"), m_printCtrl.get());
    context->setContextProperty(QStringLiteral("notifyCtrl"), m_notifyCtrl.get());
    context->setContextProperty(QStringLiteral("cashCalendar"), m_cashCalendar.get());
    context->setContextProperty(QStringLiteral("reportReader"), m_reportReader.get());
    context->setContextProperty(QStringLiteral("importCtrl"), m_importCtrl.get());
    context->setContextProperty(QStringLiteral("auditMgr"), m_auditMgr.get());
    context->setContextProperty(QStringLiteral("invoiceList"), m_invoiceList.get());
    context->setContextProperty(QStringLiteral("paymentList"), m_paymentList.get());
    context->setContextProperty(QStringLiteral("expenseList"), m_expenseList.get());
    context->setContextProperty(QStringLiteral("chequeList"), m_chequeList.get());
    context->setContextProperty(QStringLiteral("maintenanceList"), m_maintenanceList.get());
    context->setContextProperty(QStringLiteral("contractList"), m_contractList.get());
    context->setContextProperty(QStringLiteral("installmentList"), m_installmentList.get());
    context->setContextProperty(QStringLiteral("journalList"), m_journalList.get());
    context->setContextProperty(QStringLiteral("auditList"), m_auditList.get());
    context->setContextProperty(QStringLiteral("tenantList"), m_tenantList.get());
    context->setContextProperty(QStringLiteral("buyerList"), m_buyerList.get());

    context->setContextProperty(QStringLiteral("sessionMemory"), m_sessionMemory.get());
    context->setContextProperty(QStringLiteral("serverSetup"), m_serverSetup.get());
    context->setContextProperty(QStringLiteral("serverLink"), m_serverLink.get());

    // What a dropped shell held (its script objects, compiled pages, freed
    // heap) is given back before a password check, and after a sign-out once
    // the shell is gone, with the page caches of both connections: from the
    // event loop the script heap is collected whole, which a collection
    // inside the sign-in call cannot do.
    SessionMemory* memory = m_sessionMemory.get();
    memory->setEngine(context->engine());
    m_authCtrl->setBeforePasswordCheck([memory] { memory->collect(); });
    AuthController* auth = m_authCtrl.get();
    QObject::connect(auth, &AuthController::authChanged, memory, [auth, memory] {
        // The shell leaves after its closing transition, a fraction of a second.
        if (!auth->isLoggedIn())
            QTimer::singleShot(1500, memory, [auth, memory] {
                if (!auth->isLoggedIn())
                    memory->release();
            });
    });
}

void AppContext::startDeferredWork()
{
    // A few seconds after the event loop starts the window has been shown.
    QTimer::singleShot(3000, m_backupManager.get(), &BackupManager::backupIfDue);
}
