#include "TableSnapshot.h"
#include "TestDatabase.h"

#include "admin/SettingsManager.h"
#include "core/PgSchema.h"
#include "finance/AccountModel.h"
#include "finance/BuyerModel.h"
#include "finance/ChequeModel.h"
#include "finance/CurrencyModel.h"
#include "finance/ExpenseModel.h"
#include "finance/InstallmentModel.h"
#include "rental/ContractModel.h"
#include "rental/InvoiceModel.h"
#include "rental/MaintenanceModel.h"
#include "rental/PaymentModel.h"
#include "rental/PropertyModel.h"
#include "rental/TenantModel.h"
#include "rental/UnitModel.h"

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <climits>
#include <functional>
#include <memory>

// Every public write call, given what a careless page or a hostile script
// could send: each is refused, writes nothing anywhere and says why.
namespace {

struct World
{
    TestDatabase t;
    PropertyModel properties{t.db()};
    UnitModel units{t.db()};
    TenantModel tenants{t.db()};
    ContractModel contracts{t.db()};
    InvoiceModel invoices{t.db()};
    PaymentModel payments{t.db()};
    MaintenanceModel maintenance{t.db()};
    BuyerModel buyers{t.db()};
    InstallmentModel installments{t.db()};
    ChequeModel cheques{t.db()};
    ExpenseModel expenses{t.db()};
    AccountModel accounts{t.db()};
    CurrencyModel currencies{t.db()};
    SettingsManager settings{t.db()};

    int property = 0, rentedUnit = 0, freeUnit = 0, soldUnit = 0;
    int tenant = 0, invoice = 0, voidInvoice = 0, buyer = 0, installment = 0;
    int request = 0, doneRequest = 0, cheque = 0, contractor = 0;

    World()
    {
        property = properties.add("برج النخيل", "residential", "شارع القدس", "رام الله", "");
        rentedUnit = units.add(property, "A1", 1, 120, 3, 1000, 12000, 0, 1);
        freeUnit = units.add(property, "A2", 2, 90, 2, 800, 9600, 150000, 1);
        soldUnit = units.add(property, "A3", 3, 140, 4, 0, 0, 250000, 1);
        tenant = tenants.add("خالد يوسف", "401", "0599", "", "");
        contracts.add(rentedUnit, tenant, "2025-01-01", "2025-12-31", 1000, "monthly", 0, 1);
        invoice = invoices.createInvoice(tenant, rentedUnit, "2025-01",
                                         {QVariantMap{{"description", "إيجار"},
                                                      {"type", "rent"},
                                                      {"quantity", 1},
                                                      {"unit_price", 500},
                                                      {"total", 500}}},
                                         1);
        voidInvoice =
            invoices.createInvoice(tenant, rentedUnit, "2025-02",
                                   {QVariantMap{{"description", "خدمة"}, {"total", 80}}}, 1);
        invoices.voidInvoice(voidInvoice);
        buyer = buyers.add("ريم سعادة", "808", "", "", "");
        installments.sellUnit(buyer, soldUnit, 250000, 50000, 10, "2025-01-05", 1);
        installment = t.value("SELECT MIN(id) FROM installments").toInt();
        request = maintenance.add(rentedUnit, property, "تسريب مياه", "", "high");
        doneRequest = maintenance.add(rentedUnit, property, "دهان", "", "low");
        maintenance.complete(doneRequest, 300);
        cheque = cheques.add("5501", "received", 2500, "بنك القدس", "2025-09-01", "ريم", 1, 1);
        contractor = expenses.addContractor("أبو سامي", "", "سباكة");
    }

    bool ready() const
    {
        return property > 0 && rentedUnit > 0 && freeUnit > 0 && soldUnit > 0 && tenant > 0 &&
               invoice > 0 && voidInvoice > 0 && buyer > 0 && installment > 0 && request > 0 &&
               doneRequest > 0 && cheque > 0 && contractor > 0;
    }
};

// What a call did: refused or not, and the reason its model gave.
struct Outcome
{
    bool refused;
    QString reason;
};

Outcome id(const BackendObject& model, int result)
{
    return {result < 1, model.lastError()};
}

Outcome ok(const BackendObject& model, bool result)
{
    return {!result, model.lastError()};
}

QVariantMap journalLine(int account, double debit, double credit)
{
    return {{"account_id", account}, {"debit", debit}, {"credit", credit}, {"description", ""}};
}

using Call = std::function<Outcome(World&)>;
using AmountCall = std::function<Outcome(World&, double)>;
using TextCall = std::function<Outcome(World&, const QString&)>;

struct AmountCase
{
    const char* name;
    bool zeroAllowed; // areas, deposits, costs and prices that may be nothing
    AmountCall call;
};

const QList<AmountCase>& amountCases()
{
    static const QList<AmountCase> cases = {
        {"payment", false,
         [](World& w, double x) {
             return id(w.payments,
                       w.payments.add(w.invoice, w.tenant, x, "cash", "2025-01-10", "", 1));
         }},
        {"invoice line", true,
         [](World& w, double x) {
             return id(w.invoices, w.invoices.createInvoice(
                                       w.tenant, w.rentedUnit, "2025-03",
                                       {QVariantMap{{"description", "صيانة"}, {"total", x}}}, 1));
         }},
        {"service invoice", false,
         [](World& w, double x) {
             return id(w.invoices,
                       w.invoices.generateServiceInvoice({w.tenant}, "حراسة", x, "2025-04", 1));
         }},
        {"paid amount", true,
         [](World& w, double x) {
             return ok(w.invoices, w.invoices.updatePaidAmount(w.invoice, x));
         }},
        {"contract rent", false,
         [](World& w, double x) {
             return id(w.contracts, w.contracts.add(w.freeUnit, w.tenant, "2026-01-01",
                                                    "2026-12-31", x, "monthly", 0, 1));
         }},
        {"contract deposit", true,
         [](World& w, double x) {
             return id(w.contracts, w.contracts.add(w.freeUnit, w.tenant, "2026-01-01",
                                                    "2026-12-31", 900, "monthly", x, 1));
         }},
        {"unit area", true,
         [](World& w, double x) {
             return id(w.units, w.units.add(w.property, "B1", 1, x, 3, 1000, 12000, 0, 1));
         }},
        {"unit rent", true,
         [](World& w, double x) {
             return id(w.units, w.units.add(w.property, "B1", 1, 100, 3, x, 12000, 0, 1));
         }},
        {"unit sale price update", true,
         [](World& w, double x) {
             return ok(w.units, w.units.update(w.freeUnit, "A2", 2, 90, 2, 800, 9600, x));
         }},
        {"markAsSold price", false,
         [](World& w, double x) {
             return ok(w.units, w.units.markAsSold(w.freeUnit, w.buyer, x, "2025-01-10"));
         }},
        {"maintenance cost", true,
         [](World& w, double x) {
             return ok(w.maintenance, w.maintenance.complete(w.request, x));
         }},
        {"sale price", false,
         [](World& w, double x) {
             return id(w.installments,
                       w.installments.sellUnit(w.buyer, w.freeUnit, x, 0, 12, "2025-01-10", 1));
         }},
        {"sale down payment", true,
         [](World& w, double x) {
             return id(w.installments, w.installments.sellUnit(w.buyer, w.freeUnit, 100000, x, 12,
                                                               "2025-01-10", 1));
         }},
        {"instalment collection", false,
         [](World& w, double x) {
             return ok(w.installments, w.installments.payInstallment(w.installment, x));
         }},
        {"instalment added by hand", false,
         [](World& w, double x) {
             return id(w.installments,
                       w.installments.add(w.buyer, w.soldUnit, 1000, 0, x, "2026-02-01", 1));
         }},
        {"cheque amount", false,
         [](World& w, double x) {
             return id(w.cheques,
                       w.cheques.add("77", "received", x, "بنك", "2025-05-01", "مها", 1, 1));
         }},
        {"cheque rate", false,
         [](World& w, double x) {
             return id(w.cheques,
                       w.cheques.add("77", "received", 100, "بنك", "2025-05-01", "مها", 1, x));
         }},
        {"expense", false,
         [](World& w, double x) {
             return id(w.expenses, w.expenses.add(w.property, 0, w.contractor, "صيانة", "", "", x,
                                                  "2025-01-10", 1));
         }},
        {"journal entry", false,
         [](World& w, double x) {
             return id(w.accounts,
                       w.accounts.createJournalEntry("2025-01-10", "قيد", "manual", 0,
                                                     {journalLine(2, x, 0), journalLine(8, 0, x)}));
         }},
        {"exchange rate", false,
         [](World& w, double x) { return ok(w.currencies, w.currencies.setRate(2, 1, x)); }},
        {"settings exchange rate", false,
         [](World& w, double x) { return ok(w.settings, w.settings.updateExchangeRate(2, 1, x)); }},
    };
    return cases;
}

const QList<QPair<const char*, TextCall>>& dateCalls()
{
    static const QList<QPair<const char*, TextCall>> calls = {
        {"payment",
         [](World& w, const QString& d) {
             return id(w.payments, w.payments.add(w.invoice, w.tenant, 10, "cash", d, "", 1));
         }},
        {"expense",
         [](World& w, const QString& d) {
             return id(w.expenses, w.expenses.add(w.property, 0, 0, "صيانة", "", "", 50, d, 1));
         }},
        {"journal entry",
         [](World& w, const QString& d) {
             return id(w.accounts,
                       w.accounts.createJournalEntry(d, "قيد", "manual", 0,
                                                     {journalLine(2, 5, 0), journalLine(8, 0, 5)}));
         }},
        {"cheque",
         [](World& w, const QString& d) {
             return id(w.cheques, w.cheques.add("78", "issued", 100, "بنك", d, "مقاول", 1, 1));
         }},
        {"instalment added by hand",
         [](World& w, const QString& d) {
             return id(w.installments, w.installments.add(w.buyer, w.soldUnit, 1000, 0, 100, d, 1));
         }},
        {"markAsSold",
         [](World& w, const QString& d) {
             return ok(w.units, w.units.markAsSold(w.freeUnit, w.buyer, 150000, d));
         }},
        {"sale",
         [](World& w, const QString& d) {
             return id(w.installments,
                       w.installments.sellUnit(w.buyer, w.freeUnit, 150000, 0, 12, d, 1));
         }},
        {"contract",
         [](World& w, const QString& d) {
             return id(w.contracts, w.contracts.add(w.freeUnit, w.tenant, d, "2030-12-31", 900,
                                                    "monthly", 0, 1));
         }},
    };
    return calls;
}

const QList<QPair<const char*, TextCall>>& periodCalls()
{
    static const QList<QPair<const char*, TextCall>> calls = {
        {"invoice",
         [](World& w, const QString& p) {
             return id(w.invoices, w.invoices.createInvoice(
                                       w.tenant, w.rentedUnit, p,
                                       {QVariantMap{{"description", "صيانة"}, {"total", 40}}}, 1));
         }},
        {"rent run",
         [](World& w, const QString& p) {
             const int made = w.invoices.generateAllRent(p);
             return Outcome{made < 0, w.invoices.lastError()};
         }},
        {"service invoice",
         [](World& w, const QString& p) {
             return id(w.invoices,
                       w.invoices.generateServiceInvoice({w.tenant}, "حراسة", 50, p, 1));
         }},
    };
    return calls;
}

// Blank names, unknown words, rows that do not exist and refusals of the books' own rules.
const QList<QPair<const char*, Call>>& otherCases()
{
    static const QList<QPair<const char*, Call>> cases = {
        {"blank property name",
         [](World& w) {
             return id(w.properties, w.properties.add("  ", "residential", "", "", ""));
         }},
        {"unknown property type",
         [](World& w) { return id(w.properties, w.properties.add("برج", "villa", "", "", "")); }},
        {"blank property name on update",
         [](World& w) {
             return ok(w.properties, w.properties.update(w.property, "", "mixed", "", "", ""));
         }},
        {"missing property update",
         [](World& w) {
             return ok(w.properties, w.properties.update(9999, "برج", "mixed", "", "", ""));
         }},
        {"missing property removal",
         [](World& w) { return ok(w.properties, w.properties.remove(9999)); }},
        {"property with rented or sold units",
         [](World& w) { return ok(w.properties, w.properties.remove(w.property)); }},
        {"blank unit number",
         [](World& w) {
             return id(w.units, w.units.add(w.property, " ", 1, 100, 3, 1000, 12000, 0, 1));
         }},
        {"negative room count",
         [](World& w) {
             return id(w.units, w.units.add(w.property, "B1", 1, 100, -2, 1000, 12000, 0, 1));
         }},
        {"duplicate unit number",
         [](World& w) {
             return id(w.units, w.units.add(w.property, "A1", 1, 100, 3, 1000, 12000, 0, 1));
         }},
        {"missing unit update",
         [](World& w) { return ok(w.units, w.units.update(9999, "Z", 1, 1, 1, 1, 1, 1)); }},
        {"missing unit removal", [](World& w) { return ok(w.units, w.units.remove(9999)); }},
        {"rented unit removal", [](World& w) { return ok(w.units, w.units.remove(w.rentedUnit)); }},
        {"unknown unit status",
         [](World& w) { return ok(w.units, w.units.updateStatus(w.freeUnit, "معروض")); }},
        {"missing unit status",
         [](World& w) { return ok(w.units, w.units.updateStatus(9999, "rented")); }},
        {"sold unit reopened",
         [](World& w) { return ok(w.units, w.units.updateStatus(w.soldUnit, "available")); }},
        {"sold unit marked sold again",
         [](World& w) {
             return ok(w.units, w.units.markAsSold(w.soldUnit, w.buyer, 1000, "2025-03-01"));
         }},
        {"sold unit sold again",
         [](World& w) {
             return id(w.installments,
                       w.installments.sellUnit(w.buyer, w.soldUnit, 1000, 0, 1, "2025-03-01", 1));
         }},
        {"601 instalments",
         [](World& w) {
             return id(w.installments, w.installments.sellUnit(w.buyer, w.freeUnit, 100000, 0, 601,
                                                               "2025-01-10", 1));
         }},
        {"INT_MAX instalments",
         [](World& w) {
             return id(w.installments, w.installments.sellUnit(w.buyer, w.freeUnit, 100000, 0,
                                                               INT_MAX, "2025-01-10", 1));
         }},
        {"down payment above price",
         [](World& w) {
             return id(w.installments, w.installments.sellUnit(w.buyer, w.freeUnit, 1000, 2000, 2,
                                                               "2025-01-10", 1));
         }},
        {"missing instalment",
         [](World& w) { return ok(w.installments, w.installments.payInstallment(9999, 10)); }},
        {"blank tenant name",
         [](World& w) { return id(w.tenants, w.tenants.add("", "9", "", "", "")); }},
        {"duplicate identity number",
         [](World& w) { return id(w.tenants, w.tenants.add("سامي", "401", "", "", "")); }},
        {"blank tenant name on update",
         [](World& w) {
             return ok(w.tenants, w.tenants.update(w.tenant, " ", "401", "", "", ""));
         }},
        {"missing tenant update",
         [](World& w) { return ok(w.tenants, w.tenants.update(9999, "سامي", "", "", "", "")); }},
        {"missing tenant removal", [](World& w) { return ok(w.tenants, w.tenants.remove(9999)); }},
        {"tenant with active contract",
         [](World& w) { return ok(w.tenants, w.tenants.remove(w.tenant)); }},
        {"overlapping contract",
         [](World& w) {
             return id(w.contracts, w.contracts.add(w.rentedUnit, w.tenant, "2025-06-01",
                                                    "2026-05-31", 1000, "monthly", 0, 1));
         }},
        {"contract ending before it starts",
         [](World& w) {
             return id(w.contracts, w.contracts.add(w.freeUnit, w.tenant, "2026-05-01",
                                                    "2026-01-01", 1000, "monthly", 0, 1));
         }},
        {"contract on a sold unit",
         [](World& w) {
             return id(w.contracts, w.contracts.add(w.soldUnit, w.tenant, "2026-01-01",
                                                    "2026-12-31", 1000, "monthly", 0, 1));
         }},
        {"missing contract termination",
         [](World& w) { return ok(w.contracts, w.contracts.terminate(9999)); }},
        // A second custom invoice for a period is an ordinary charge (water,
        // a repair) and goes through; one for a tenant who does not exist
        // does not.
        {"custom invoice for a missing tenant",
         [](World& w) {
             return id(w.invoices, w.invoices.createInvoice(
                                       9999, 0, "2025-01",
                                       {QVariantMap{{"description", "صيانة"}, {"total", 40}}}, 1));
         }},
        {"service invoice for an unknown tenant only",
         [](World& w) {
             return id(w.invoices,
                       w.invoices.generateServiceInvoice({9999}, "حراسة", 50, "2025-04", 1));
         }},
        {"missing invoice voided",
         [](World& w) { return ok(w.invoices, w.invoices.voidInvoice(9999)); }},
        {"void invoice voided again",
         [](World& w) { return ok(w.invoices, w.invoices.voidInvoice(w.voidInvoice)); }},
        {"paid amount above total",
         [](World& w) { return ok(w.invoices, w.invoices.updatePaidAmount(w.invoice, 500.01)); }},
        {"payment above the balance",
         [](World& w) {
             return id(w.payments,
                       w.payments.add(w.invoice, w.tenant, 500.01, "cash", "2025-01-10", "", 1));
         }},
        {"payment on a void invoice",
         [](World& w) {
             return id(w.payments,
                       w.payments.add(w.voidInvoice, w.tenant, 10, "cash", "2025-01-10", "", 1));
         }},
        {"payment on a missing invoice",
         [](World& w) {
             return id(w.payments, w.payments.add(9999, w.tenant, 10, "cash", "2025-01-10", "", 1));
         }},
        {"unknown payment method",
         [](World& w) {
             return id(w.payments,
                       w.payments.add(w.invoice, w.tenant, 10, "visa", "2025-01-10", "", 1));
         }},
        {"blank maintenance title",
         [](World& w) {
             return id(w.maintenance, w.maintenance.add(w.rentedUnit, w.property, "", "", "low"));
         }},
        {"unknown priority",
         [](World& w) {
             return id(w.maintenance,
                       w.maintenance.add(w.rentedUnit, w.property, "باب", "", "urgent"));
         }},
        {"unknown request status",
         [](World& w) { return ok(w.maintenance, w.maintenance.updateStatus(w.request, "done")); }},
        {"completed request reopened",
         [](World& w) {
             return ok(w.maintenance, w.maintenance.updateStatus(w.doneRequest, "new"));
         }},
        {"completed request completed again",
         [](World& w) { return ok(w.maintenance, w.maintenance.complete(w.doneRequest, 10)); }},
        {"blank buyer name",
         [](World& w) { return id(w.buyers, w.buyers.add(" ", "", "", "", "")); }},
        {"missing buyer update",
         [](World& w) { return ok(w.buyers, w.buyers.update(9999, "ريم", "", "", "", "")); }},
        {"blank cheque number",
         [](World& w) {
             return id(w.cheques,
                       w.cheques.add(" ", "issued", 100, "بنك", "2025-05-01", "مقاول", 1, 1));
         }},
        {"unknown cheque type",
         [](World& w) {
             return id(w.cheques,
                       w.cheques.add("79", "Received", 100, "بنك", "2025-05-01", "مقاول", 1, 1));
         }},
        {"unknown cheque status",
         [](World& w) { return ok(w.cheques, w.cheques.updateStatus(w.cheque, "cashed")); }},
        {"missing cheque status",
         [](World& w) { return ok(w.cheques, w.cheques.updateStatus(9999, "paid")); }},
        {"blank expense category",
         [](World& w) {
             return id(w.expenses,
                       w.expenses.add(w.property, 0, 0, " ", "", "", 50, "2025-01-10", 1));
         }},
        {"missing contractor",
         [](World& w) {
             return id(w.expenses,
                       w.expenses.add(w.property, 0, 9999, "صيانة", "", "", 50, "2025-01-10", 1));
         }},
        {"blank contractor name",
         [](World& w) { return id(w.expenses, w.expenses.addContractor("", "", "")); }},
        {"unknown account type",
         [](World& w) { return id(w.accounts, w.accounts.add("9100", "أخرى", "income", 0)); }},
        {"blank account name",
         [](World& w) { return id(w.accounts, w.accounts.add("9100", " ", "asset", 0)); }},
        {"duplicate account code",
         [](World& w) { return id(w.accounts, w.accounts.add("1000", "مكرر", "asset", 0)); }},
        {"journal entry without lines",
         [](World& w) {
             return id(w.accounts,
                       w.accounts.createJournalEntry("2025-01-10", "", "manual", 0, {}));
         }},
        {"one-sided journal entry",
         [](World& w) {
             return id(w.accounts, w.accounts.createJournalEntry(
                                       "2025-01-10", "", "manual", 0,
                                       {journalLine(2, 100, 0), journalLine(8, 0, 99)}));
         }},
        {"negative debit and credit",
         [](World& w) {
             return id(w.accounts, w.accounts.createJournalEntry("2025-01-10", "", "manual", 0,
                                                                 {journalLine(2, -100, 0),
                                                                  journalLine(8, -100, 0),
                                                                  journalLine(12, 0, -200)}));
         }},
    };
    return cases;
}

} // namespace

Q_DECLARE_METATYPE(Call)

class TestHostileInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_world = std::make_unique<World>(); }
    void cleanupTestCase() { m_world.reset(); }

    void refusedWithNothingWritten_data()
    {
        QTest::addColumn<Call>("call");
        const QList<QPair<const char*, double>> badAmounts = {
            {"NaN", qQNaN()}, {"+infinity", qInf()}, {"-infinity", -qInf()},
            {"1e17", 1e17},   {"1e12", 1e12},        {"negative", -1},
            {"zero", 0}};
        for (const AmountCase& c : amountCases()) {
            for (const auto& [label, value] : badAmounts) {
                if (value == 0 && c.zeroAllowed)
                    continue;
                const AmountCall call = c.call;
                const double x = value;
                QTest::addRow("%s: %s", c.name, label)
                    << Call([call, x](World& w) { return call(w, x); });
            }
        }
        for (const auto& [name, call] : dateCalls()) {
            for (const QString& date : {QStringLiteral("2025-02-30"), QStringLiteral("abc"),
                                        QString(), QStringLiteral("2025-1-5")}) {
                const TextCall c = call;
                QTest::addRow("%s date \"%s\"", name, qPrintable(date))
                    << Call([c, date](World& w) { return c(w, date); });
            }
        }
        for (const auto& [name, call] : periodCalls()) {
            for (const QString& period : {QStringLiteral("2025-13"), QStringLiteral("abc"),
                                          QString(), QStringLiteral("2025-02-30")}) {
                const TextCall c = call;
                QTest::addRow("%s period \"%s\"", name, qPrintable(period))
                    << Call([c, period](World& w) { return c(w, period); });
            }
        }
        for (const auto& [name, call] : otherCases())
            QTest::newRow(name) << call;
    }

    // One world serves every row: each refused call must leave it exactly as
    // it was, so the next row meets the same rows.
    void refusedWithNothingWritten()
    {
        QFETCH(Call, call);
        QVERIFY(m_world->ready());
        const QString before = tableSnapshot(m_world->t.db());

        const Outcome outcome = call(*m_world);
        QVERIFY(outcome.refused);
        QVERIFY2(!outcome.reason.isEmpty(), "a refusal without a reason");
        QCOMPARE(tableSnapshot(m_world->t.db()), before);
        QCOMPARE(m_world->t.db()->transactionDepth(), 0);
    }

    // The next call that succeeds leaves no stale reason behind.
    void successClearsTheReason()
    {
        m_world.reset(); // one database connection at a time
        World world;
        QVERIFY(world.payments.add(world.invoice, world.tenant, qQNaN(), "cash", "2025-01-10", "",
                                   1) < 1);
        QVERIFY(!world.payments.lastError().isEmpty());
        QVERIFY(world.payments.add(world.invoice, world.tenant, 100, "cash", "2025-01-10", "", 1) >
                0);
        QVERIFY(world.payments.lastError().isEmpty());
    }

    // Another program holding the write lock used to make the rent run
    // answer 0, the same as "nothing to bill".
    void regressionLockedRentRunIsAFailure()
    {
        m_world.reset(); // one database connection at a time
        World world;
        if (world.t.db()->isPostgres()) {
            // Another desk on the server holds the office's write lock.
            Database other;
            QVERIFY(other.initialize(world.t.db()->settings()));
            QVERIFY(other
                        .scalar(QStringLiteral("SELECT pg_try_advisory_lock(?)"),
                                {PgSchema::kWriteLock})
                        .toBool());
            QSignalSpy reasons(&world.invoices, &BackendObject::errorOccurred);
            QCOMPARE(world.invoices.generateAllRent(QStringLiteral("2025-03")), -1);
            QCOMPARE(reasons.count(), 1);
            QVERIFY(world.invoices.lastError().endsWith(QStringLiteral("لم يتم حفظ أي تغيير")));
            QVERIFY(world.invoices.lastError().contains(QStringLiteral("مشغولة")));
            QVERIFY(
                other.scalar(QStringLiteral("SELECT pg_advisory_unlock(?)"), {PgSchema::kWriteLock})
                    .toBool());
        }
        const QString name = QStringLiteral("other_writer");
        if (!world.t.db()->isPostgres()) {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            other.setDatabaseName(world.t.filePath());
            other.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            QVERIFY(other.open());
            QSqlQuery lock(other);
            QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));

            QSignalSpy reasons(&world.invoices, &BackendObject::errorOccurred);
            QCOMPARE(world.invoices.generateAllRent(QStringLiteral("2025-03")), -1);
            QCOMPARE(reasons.count(), 1);
            QVERIFY(world.invoices.lastError().endsWith(QStringLiteral("لم يتم حفظ أي تغيير")));
            QVERIFY(world.invoices.lastError().contains(QStringLiteral("مشغولة")));
            QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
            other.close();
        }
        QSqlDatabase::removeDatabase(name);

        QCOMPARE(world.invoices.generateAllRent(QStringLiteral("2025-03")), 1);
        QVERIFY(world.invoices.lastError().isEmpty());
        QCOMPARE(world.invoices.generateAllRent(QStringLiteral("2025-03")), 0);
        QVERIFY(world.invoices.lastError().isEmpty());
    }

private:
    std::unique_ptr<World> m_world;
};

QTEST_GUILESS_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"
