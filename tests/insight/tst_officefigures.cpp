#include "RentalRows.h"
#include "TestDatabase.h"

#include "core/ConvertedTotal.h"
#include "core/CurrencyRates.h"
#include "core/Money.h"
#include "core/OfficeFigures.h"
#include "core/OpenInvoices.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "finance/BuyerModel.h"
#include "finance/CurrencyModel.h"
#include "finance/ExpenseModel.h"
#include "finance/InstallmentModel.h"
#include "insight/CashCalendar.h"
#include "insight/DashboardController.h"
#include "insight/DateRange.h"
#include "insight/InsightDates.h"
#include "insight/NotificationController.h"
#include "insight/PaperPrints.h"
#include "insight/PrintHtml.h"
#include "insight/ReportController.h"
#include "insight/ReportPrints.h"
#include "rental/InvoiceModel.h"
#include "rental/PaymentModel.h"
#include "rental/PropertyModel.h"
#include "rental/TenantModel.h"

#include <QTest>

#include <tuple>

namespace {

constexpr int kShekel = 1;
constexpr int kDollar = 2;
constexpr int kDinar = 3;

QString iso(const QDate& date)
{
    return date.toString(Qt::ISODate);
}

QVariantMap rentItem(double amount)
{
    return {{"description", QStringLiteral("إيجار شهري")},
            {"type", "rent"},
            {"quantity", 1},
            {"unit_price", amount},
            {"total", amount}};
}

} // namespace

// An office keeping money in shekels, dollars and dinars, with rates on
// several days: every figure must read the same from every place that shows
// it, and be the amount each row gives at its own day's rate.
class TestOfficeFigures : public QObject
{
    Q_OBJECT

    // Dollars: 3.50 long ago, 3.70 from the first of this month. Dinars:
    // 5.00 long ago, 5.20 from the last day of last month.
    void fillOffice()
    {
        Database* db = m_t->db();
        CurrencyModel rates(db);
        QVERIFY(rates.recordRate(kDollar, iso(m_today.addDays(-200)), 3.50));
        QVERIFY(rates.recordRate(kDollar, iso(m_monthStart), 3.70));
        QVERIFY(rates.recordRate(kDinar, iso(m_today.addDays(-200)), 5.00));
        QVERIFY(rates.recordRate(kDinar, iso(m_monthStart.addDays(-1)), 5.20));

        const int property = RentalRows::property(db, QStringLiteral("برج الياسمين"));
        const int shekelFlat = RentalRows::unit(db, property, QStringLiteral("A1"));
        const int dollarFlat = RentalRows::unit(db, property, QStringLiteral("A2"));
        const int emptyFlat = RentalRows::unit(db, property, QStringLiteral("A3"));
        const int soldFlat = RentalRows::unit(db, property, QStringLiteral("A4"));
        db->execNonQuery(QStringLiteral("UPDATE units SET status='available' WHERE id=?"),
                         {emptyFlat});
        const int rana = RentalRows::tenant(db, QStringLiteral("رنا حداد"));
        const int yousef = RentalRows::tenant(db, QStringLiteral("يوسف عودة"));
        RentalRows::contract(db, shekelFlat, rana, 2000, QStringLiteral("active"), kShekel);
        RentalRows::contract(db, dollarFlat, yousef, 500, QStringLiteral("active"), kDollar);

        // Two months back: a shekel invoice half paid and a dollar one open,
        // both past their due day.
        InvoiceModel invoices(db);
        const QString period = InsightDates::period(m_monthStart.addMonths(-2));
        const int shekelInvoice =
            invoices.createInvoice(rana, shekelFlat, period, {rentItem(2000)}, kShekel);
        QVERIFY2(shekelInvoice > 0, qPrintable(invoices.lastError()));
        QVERIFY(invoices.createInvoice(yousef, dollarFlat, period, {rentItem(300)}, kDollar) > 0);

        PaymentModel payments(db);
        const auto pay = [&](int invoice, int tenant, double amount, const QDate& day, int cur) {
            QVERIFY2(payments.add(invoice, tenant, amount, QStringLiteral("cash"), iso(day),
                                  QStringLiteral("سند"), cur) > 0,
                     qPrintable(payments.lastError()));
        };
        pay(shekelInvoice, rana, 1000, m_monthStart, kShekel);
        pay(0, yousef, 40, m_monthStart, kDollar);
        pay(0, yousef, 10, m_monthStart, kDinar);
        pay(0, yousef, 100, m_monthStart.addDays(-1), kDollar);

        ExpenseModel expenses(db);
        QVERIFY(expenses.add(property, 0, 0, QStringLiteral("maintenance"), QString(),
                             QStringLiteral("دهان الدرج"), 400, iso(m_monthStart), kShekel) > 0);
        QVERIFY(expenses.add(property, 0, 0, QStringLiteral("maintenance"), QString(),
                             QStringLiteral("قطع مصعد"), 50, iso(m_monthStart), kDollar) > 0);

        // A flat sold in dinars five months ago: all four instalments late.
        const int buyer =
            db->execInsert(QStringLiteral("INSERT INTO buyers (full_name) VALUES (?)"),
                           {QStringLiteral("سامر قاسم")});
        InstallmentModel sales(db);
        QVERIFY2(
            sales.sellUnit(buyer, soldFlat, 30000, 6000, 4, iso(m_today.addDays(-150)), kDinar) > 0,
            qPrintable(sales.lastError()));
    }

private slots:
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        m_today = InsightDates::today();
        m_monthStart = InsightDates::monthStart();
        fillOffice();
    }
    void cleanup() { m_t.reset(); }

    void everyPlaceShowsTheSameFigure()
    {
        Database* db = m_t->db();
        DashboardController dashboard(db);
        PropertyModel properties(db);
        ReportController reports(db);
        NotificationController alerts(db);
        ReportPrints prints(db);
        const QString monthEnd = iso(m_monthStart.addMonths(1).addDays(-1));

        // Occupancy: 2 rented of the 3 units not sold.
        const double occupancy = 200.0 / 3.0;
        QCOMPARE(dashboard.getOccupancyRate(), occupancy);
        const QVariantMap card = properties.getAll().first().toMap();
        QCOMPARE(card.value("occupancy").toDouble(), occupancy);
        QCOMPARE(reports.getSmartAIAnalysis().value("occupancy").toDouble(), occupancy);
        QVERIFY(prints.paper(ReportPrints::Analysis, DateRange()).body.contains("66.7%"));

        // Collected this month: 1,000 ₪ + 40 $ × 3.70 + 10 JOD × 5.20.
        const QVariantMap stats = dashboard.getStats();
        QCOMPARE(stats.value("monthlyRevenue").toDouble(), 1200.0);
        QCOMPARE(dashboard.getMonthlyRevenue(), 1200.0);
        QCOMPARE(dashboard.getMonthlyCollections(2).last().toMap().value("total").toDouble(),
                 1200.0);
        QCOMPARE(stats.value("collectedThisMonth").toMap().value("byCurrency").toList().size(), 3);

        // Contracted monthly rent: 2,000 ₪ + 500 $ at today's 3.70.
        QCOMPARE(stats.value("contractedMonthlyRent").toMap().value("total").toDouble(), 3850.0);
        QCOMPARE(card.value("monthly_revenue").toDouble(), 3850.0);

        // Overdue: 1,000 ₪ left of the shekel invoice, 300 $ at the due
        // day's 3.50, and 24,000 JOD of instalments at 5.00.
        const double overdue = 1000 + 1050 + 120000;
        QVariantMap overdueCard;
        for (const QVariant& value : reports.getAIInsights()) {
            if (value.toMap().value("title").toString() == QStringLiteral("المستحقات المتأخرة"))
                overdueCard = value.toMap();
        }
        QCOMPARE(overdueCard.value("amount").toDouble(), overdue);
        QVERIFY(overdueCard.value("description").toString().contains("122,050 ₪"));
        QVERIFY(reports.getSmartAIAnalysis().value("text").toString().contains("122,050 ₪"));
        // ...and the alerts list those very amounts, each at its due day.
        CurrencyRates rates(db);
        double alerted = 0;
        int alertedItems = 0;
        for (const QVariant& value : alerts.getActiveAlerts()) {
            const QVariantMap alert = value.toMap();
            if (!alert.contains("due_date") || alert.value("due_date").toString() >= iso(m_today))
                continue;
            double converted = 0;
            QVERIFY(rates.toPrimary(alert.value("amount").toDouble(),
                                    alert.value("currency_id").toInt(),
                                    alert.value("due_date").toString(), &converted));
            alerted += converted;
            ++alertedItems;
        }
        QCOMPARE(alertedItems, 6);
        QCOMPARE(alerted, overdue);

        // The month's results from the ledger: rent billed 2,000 ₪ + 300 $
        // at today's 3.70, less 400 ₪ + 50 $ × 3.70 spent.
        const QVariantMap month = reports.getProfitLoss(iso(m_monthStart), monthEnd);
        QCOMPARE(month.value("revenue").toDouble(), 3110.0);
        QCOMPARE(month.value("expenses").toDouble(), 585.0);
        QCOMPARE(month.value("net_profit").toDouble(), 2525.0);
        const Paper financial =
            prints.paper(ReportPrints::Financial, DateRange(iso(m_monthStart), monthEnd));
        QVERIFY(financial.body.contains(PrintHtml::money(2525, QStringLiteral("₪"))));
        QVERIFY(financial.body.contains(PrintHtml::money(3110, QStringLiteral("₪"))));

        // Cash from the cash account, not profit: the payments (1,200 this
        // month, 100 $ × 3.50 last month) and the 6,000 JOD down payment at
        // 5.00, less the 585 paid out.
        const double cash = 1200 + 350 + 30000 - 585;
        QCOMPARE(reports.getBalanceSheet().value("cash").toDouble(), cash);
        QVERIFY(financial.body.contains(PrintHtml::money(cash, QStringLiteral("₪"))));
    }

    // The property comparison, the property's own figures, the monthly
    // report and the cost centre of the sold flat add ₪, $ and JOD each at
    // its own day's rate, and agree with the figures the dashboard shows.
    void reportsConvertEachRowAtItsDay()
    {
        Database* db = m_t->db();
        const int property = db->scalar("SELECT id FROM properties").toInt();
        const int soldFlat = db->scalar("SELECT id FROM units WHERE unit_number='A4'").toInt();
        const int yousef = db->scalar("SELECT id FROM tenants WHERE full_name='يوسف عودة'").toInt();
        const int dollarInvoice =
            db->scalar("SELECT id FROM invoices WHERE currency_id=?", {kDollar}).toInt();
        PaymentModel payments(db);
        QVERIFY(payments.add(dollarInvoice, yousef, 120, QStringLiteral("cash"), iso(m_monthStart),
                             QStringLiteral("سند"), kDollar) > 0);
        ExpenseModel expenses(db);
        QVERIFY(expenses.add(property, 0, 0, QStringLiteral("maintenance"), QString(),
                             QStringLiteral("مضخة مياه"), 20, iso(m_monthStart), kDinar) > 0);
        QVERIFY(expenses.add(property, soldFlat, 0, QStringLiteral("maintenance"), QString(),
                             QStringLiteral("تشطيب الشقة"), 10, iso(m_monthStart.addDays(-1)),
                             kDollar) > 0);
        QVERIFY(RentalRows::unitCostCenter(db, property, soldFlat) > 0);
        ReportController reports(db);

        // Rent paid on the property's invoices: 1,000 ₪ + 120 $ × 3.70.
        // Spent: 400 ₪ + 50 $ × 3.70 + 20 JOD × 5.20 + 10 $ × 3.50 (a day
        // before the new dollar rate).
        const QVariantMap comparison = reports.getPropertyComparison().first().toMap();
        QCOMPARE(comparison.value("income").toDouble(), 1444.0);
        QCOMPARE(comparison.value("expenses").toDouble(), 724.0);
        QCOMPARE(comparison.value("expenses_detail").toMap().value("byCurrency").toList().size(),
                 3);
        // The property's own figures add the 6,000 JOD down payment at 5.00.
        const QVariantMap own = reports.getPropertyProfitability(property);
        QCOMPARE(own.value("income").toDouble(), 1444.0 + 30000.0);
        QCOMPARE(own.value("expenses").toDouble(), 724.0);
        QVERIFY(own.value("complete").toBool());

        // Each month of the report is what was collected in it.
        OfficeFigures figures(db, m_today);
        const auto month = [&](const QDate& day) {
            for (const QVariant& value : reports.getMonthlyReport(QString::number(day.year()))) {
                if (value.toMap().value("month").toString() == day.toString("MM"))
                    return value.toMap();
            }
            return QVariantMap();
        };
        const QVariantMap thisMonth = month(m_monthStart);
        const QDate lastStart = m_monthStart.addMonths(-1);
        QCOMPARE(thisMonth.value("revenue").toDouble(), 1644.0);
        QCOMPARE(thisMonth.value("revenue").toDouble(),
                 figures.collected(iso(m_monthStart), iso(m_monthStart.addMonths(1).addDays(-1)))
                     .value("total")
                     .toDouble());
        QCOMPARE(DashboardController(db).getMonthlyCollections(1).first().toMap().value("total"),
                 thisMonth.value("revenue"));
        QCOMPARE(month(lastStart).value("revenue").toDouble(),
                 figures.collected(iso(lastStart), iso(m_monthStart.addDays(-1)))
                     .value("total")
                     .toDouble());
        QCOMPARE(month(lastStart).value("revenue").toDouble(), 350.0);

        // The sold flat: 30,000 JOD at the sale day's 5.00; its own 10 $ and
        // a quarter of the common 689 ₪ (four flats without an area).
        QVariantMap centre;
        for (const QVariant& value : reports.getProjectCostCenters(property)) {
            if (value.toMap().value("unit_id").toInt() == soldFlat)
                centre = value.toMap();
        }
        QCOMPARE(centre.value("revenue").toDouble(), 150000.0);
        QCOMPARE(centre.value("expenses").toDouble(), 35.0 + 689.0 / 4);
        QCOMPARE(centre.value("profit").toDouble(), 150000.0 - 35.0 - 689.0 / 4);
        const QVariantMap unit = reports.getUnitProfitability(soldFlat);
        QCOMPARE(unit.value("total_cost"), centre.value("expenses"));
        const QVariantMap sale =
            centre.value("revenue_detail").toMap().value("byCurrency").toList().first().toMap();
        QCOMPARE(sale.value("currency_id").toInt(), kDinar);
        QCOMPARE(sale.value("total").toDouble(), 30000.0);
    }

    // A dinar amount keeps its fils wherever it is shown: the cash calendar
    // and the receipt's amount in words.
    void dinarKeepsItsThirdDecimal()
    {
        Database* db = m_t->db();
        const int yousef = db->scalar("SELECT id FROM tenants WHERE full_name='يوسف عودة'").toInt();
        const int flat = db->scalar("SELECT id FROM units WHERE unit_number='A2'").toInt();
        InvoiceModel invoices(db);
        const int invoice =
            invoices.createInvoice(yousef, flat, InsightDates::period(m_monthStart.addMonths(1)),
                                   {rentItem(12.345)}, kDinar);
        QVERIFY2(invoice > 0, qPrintable(invoices.lastError()));
        const auto dinarsDue = [db] {
            for (const QVariant& value :
                 CashCalendar(db).upcoming(7).value("currencies").toList()) {
                if (value.toMap().value("currency_id").toInt() == kDinar)
                    return value.toMap();
            }
            return QVariantMap();
        };
        QVERIFY(db->execNonQuery("UPDATE invoices SET due_date=? WHERE id=?",
                                 {iso(m_today.addDays(3)), invoice}));
        QCOMPARE(dinarsDue().value("in").toDouble(), 12.345);
        // Once late, the calendar's overdue line and the alert say the same.
        QVERIFY(db->execNonQuery("UPDATE invoices SET due_date=? WHERE id=?",
                                 {iso(m_today.addDays(-3)), invoice}));
        // (beside the 24,000 JOD of late instalments)
        QCOMPARE(dinarsDue().value("overdue").toMap().value("in").toDouble(), 24012.345);
        QVariantMap alert;
        for (const QVariant& value : NotificationController(db).getActiveAlerts()) {
            if (value.toMap().value("type").toString() == QLatin1String("overdue_invoice") &&
                value.toMap().value("currency_id").toInt() == kDinar)
                alert = value.toMap();
        }
        QCOMPARE(alert.value("amount").toDouble(), 12.345);
        QVERIFY(alert.value("detail").toString().contains(QStringLiteral("12.345")));

        PaymentModel payments(db);
        const int payment = payments.add(invoice, yousef, 12.345, QStringLiteral("cash"),
                                         iso(m_today), QStringLiteral("سند"), kDinar);
        QVERIFY2(payment > 0, qPrintable(payments.lastError()));
        const Paper receipt = PaperPrints(db).receipt(payment);
        QVERIFY2(receipt.body.contains(QStringLiteral("و345/1000 لا غير")),
                 qPrintable(receipt.body));
        QVERIFY(receipt.body.contains(QStringLiteral("12.345")));
    }

    // A late dinar invoice paid down to 4 fils still owes them: the overdue
    // receivables (kept and added up), the alert and the calendar's overdue
    // line all counted it from half a cent only, or not at all.
    void regressionFilsOwedWereLeftOutOfOverdueReceivables()
    {
        Database* db = m_t->db();
        const int yousef = db->scalar("SELECT id FROM tenants WHERE full_name='يوسف عودة'").toInt();
        const int flat = db->scalar("SELECT id FROM units WHERE unit_number='A2'").toInt();
        InvoiceModel invoices(db);
        const int invoice =
            invoices.createInvoice(yousef, flat, InsightDates::period(m_monthStart.addMonths(1)),
                                   {rentItem(12.345)}, kDinar);
        QVERIFY2(invoice > 0, qPrintable(invoices.lastError()));
        QVERIFY(db->execNonQuery("UPDATE invoices SET due_date=? WHERE id=?",
                                 {iso(m_today.addDays(-3)), invoice}));
        PaymentModel payments(db);
        const auto pay = [&](double amount) {
            QVERIFY2(payments.add(invoice, yousef, amount, QStringLiteral("cash"), iso(m_today),
                                  QStringLiteral("سند قبض"), kDinar) > 0,
                     qPrintable(payments.lastError()));
        };
        // What each place says the office is owed in dinars past due, beside
        // the 24,000 JOD of late instalments.
        const auto dinarsOwed = [&] {
            OfficeFigures figures(db, m_today);
            QStringList said;
            for (const QVariantMap& overdue :
                 {figures.overdueReceivables(), figures.overdueReceivables(true)}) {
                for (const QVariant& value : overdue.value("byCurrency").toList()) {
                    if (value.toMap().value("currency_id").toInt() == kDinar)
                        said << QString::number(value.toMap().value("total").toDouble(), 'f', 3)
                             << overdue.value("count").toString();
                }
            }
            for (const QVariant& value :
                 CashCalendar(db).upcoming(7).value("currencies").toList()) {
                if (value.toMap().value("currency_id").toInt() == kDinar)
                    said << QString::number(
                        value.toMap().value("overdue").toMap().value("in").toDouble(), 'f', 3);
            }
            for (const QVariant& value : NotificationController(db).getActiveAlerts()) {
                if (value.toMap().value("type").toString() == QLatin1String("overdue_invoice") &&
                    value.toMap().value("currency_id").toInt() == kDinar)
                    said << QString::number(value.toMap().value("amount").toDouble(), 'f', 3);
            }
            return said.join(QLatin1Char('|'));
        };
        const QString lateInvoicesBefore =
            OfficeFigures(db, m_today).overdueReceivables().value("count").toString();
        pay(12.341);
        const QString count = QString::number(lateInvoicesBefore.toInt());
        QCOMPARE(dinarsOwed(),
                 QStringLiteral("24000.004|%1|24000.004|%1|24000.004|0.004").arg(count));
        pay(0.004);
        const QString settled = QString::number(lateInvoicesBefore.toInt() - 1);
        QCOMPARE(dinarsOwed(), QStringLiteral("24000.000|%1|24000.000|%1|24000.000").arg(settled));
    }

    // The overdue figure read from the open invoices kept per due day, and
    // the receivables read from the invoices kept per status and day, are
    // what the invoices themselves add up to, as invoices are paid, voided,
    // redated, moved to another currency and removed.
    void keptInvoiceTotalsEqualTheScan_data()
    {
        QTest::addColumn<QStringList>("changes");
        QTest::newRow("as filled") << QStringList();
        // An open invoice per tenant, in dollars or in none, due `days` ago.
        const QDate today = InsightDates::today();
        const auto older = [today](const QString& prefix, int days) {
            return QStringLiteral(
                       "INSERT INTO invoices (invoice_number, tenant_id, total_amount, "
                       "paid_amount, balance, status, currency_id, due_date) SELECT '%1-'||id, "
                       "id, 120.35, 0, 120.35, 'pending', CASE WHEN id % 2=0 THEN 2 ELSE NULL END, "
                       "'%2' FROM tenants")
                .arg(prefix, iso(today.addDays(-days)));
        };
        QTest::newRow("more open invoices in dollars and in none") << QStringList{
            older(QStringLiteral("فاتورة-قديمة"), 40), older(QStringLiteral("فاتورة-ثانية"), 75)};
        QTest::newRow("paid in part and in full, voided, redated, removed")
            << QStringList{older(QStringLiteral("فاتورة-قديمة"), 40),
                           older(QStringLiteral("فاتورة-ثانية"), 210),
                           QStringLiteral("UPDATE invoices SET paid_amount=20, balance=100.35, "
                                          "status='partial' WHERE id%2=1"),
                           QStringLiteral("UPDATE invoices SET paid_amount=total_amount, "
                                          "balance=0.004, status='partial' WHERE id%3=0"),
                           QStringLiteral("UPDATE invoices SET status='void' WHERE id%5=0"),
                           QStringLiteral("UPDATE invoices SET due_date='%1' WHERE id%7=0")
                               .arg(iso(today.addDays(3))),
                           QStringLiteral("UPDATE invoices SET currency_id=3 WHERE id%4=0"),
                           QStringLiteral("DELETE FROM invoices WHERE id%6=0 AND id NOT IN "
                                          "(SELECT invoice_id FROM payments WHERE invoice_id IS "
                                          "NOT NULL) AND id NOT IN (SELECT invoice_id FROM "
                                          "invoice_items)")};
        // An empty status still owes; none at all does not. Both are kept
        // under the same key.
        QTest::newRow("empty status and none")
            << QStringList{older(QStringLiteral("فاتورة-قديمة"), 40),
                           QStringLiteral("UPDATE invoices SET status='' WHERE id%3=0"),
                           QStringLiteral("UPDATE invoices SET status=NULL WHERE id%3=1")};
    }
    void keptInvoiceTotalsEqualTheScan()
    {
        QFETCH(QStringList, changes);
        Database* db = m_t->db();
        for (const QString& change : changes)
            QVERIFY2(db->execNonQuery(change), qPrintable(change));
        OfficeFigures figures(db, m_today);
        const QVariantMap kept = figures.overdueReceivables();
        const QVariantMap scanned = figures.overdueReceivables(true);
        QVERIFY(scanned.value("count").toLongLong() > 0);
        QCOMPARE(kept.value("count"), scanned.value("count"));
        QCOMPARE(Money::toCents(kept.value("total").toDouble()),
                 Money::toCents(scanned.value("total").toDouble()));
        QCOMPARE(kept.value("byCurrency"), scanned.value("byCurrency"));
        QCOMPARE(kept.value("missing"), scanned.value("missing"));

        ConvertedTotal owed(&figures.rates());
        owed.addRows(db->execQuery(
            QStringLiteral("SELECT COALESCE(currency_id,") + ConvertedTotal::primaryIdSql() +
            QStringLiteral(") as c, CASE WHEN currency_id=") + ConvertedTotal::primaryIdSql() +
            QStringLiteral(" THEN '' ELSE ") +
            SqlDialect::localDay(db->engine(), QStringLiteral("created_at")) +
            QStringLiteral(" END as d, SUM(balance) as t FROM invoices WHERE ") +
            OpenInvoices::notSettled() + QStringLiteral(" GROUP BY c, d")));
        QVERIFY(owed.primary() > 0);
        QCOMPARE(figures.receivables().toMap(), owed.toMap());
    }

    void rateRecordedTodayLeavesLastMonthAsItWas()
    {
        ReportController reports(m_t->db());
        const QString lastStart = iso(m_monthStart.addMonths(-1));
        const QString lastEnd = iso(m_monthStart.addDays(-1));
        OfficeFigures before(m_t->db(), m_today);
        QCOMPARE(before.collected(lastStart, lastEnd).value("total").toDouble(), 350.0);
        const QVariantMap results = reports.getProfitLoss(lastStart, lastEnd);
        const double cash = reports.getBalanceSheet().value("cash").toDouble();

        CurrencyModel rates(m_t->db());
        QVERIFY(rates.recordRate(kDollar, iso(m_today), 4.10));
        QVERIFY(rates.recordRate(kDinar, iso(m_today), 5.60));
        OfficeFigures after(m_t->db(), m_today);
        QCOMPARE(after.collected(lastStart, lastEnd).value("total").toDouble(), 350.0);
        QCOMPARE(reports.getProfitLoss(lastStart, lastEnd), results);
        QCOMPARE(reports.getBalanceSheet().value("cash").toDouble(), cash);
    }

    void balancesAreKeptPerCurrency()
    {
        Database* db = m_t->db();
        TenantModel tenants(db);
        BuyerModel buyers(db);
        const auto balances = [](const QVariantList& rows) {
            QStringList out;
            for (const QVariant& value : rows)
                out << QStringLiteral("%1:%2")
                           .arg(value.toMap().value("currency_id").toInt())
                           .arg(value.toMap().value("total").toDouble(), 0, 'f', 2);
            return out.join(' ');
        };
        const int rana = db->scalar("SELECT id FROM tenants WHERE full_name='رنا حداد'").toInt();
        const int yousef = db->scalar("SELECT id FROM tenants WHERE full_name='يوسف عودة'").toInt();
        const int samer = db->scalar("SELECT id FROM buyers").toInt();
        QCOMPARE(balances(tenants.balances(rana)), QStringLiteral("1:1000.00"));
        // 300 $ billed, 140 $ paid; 10 JOD paid ahead of any dinar invoice.
        QCOMPARE(balances(tenants.balances(yousef)), QStringLiteral("2:160.00 3:-10.00"));
        QCOMPARE(balances(buyers.balances(samer)), QStringLiteral("3:24000.00"));
        // The stored single balance is still there for its readers.
        QCOMPARE(db->scalar("SELECT balance FROM tenants WHERE id=?", {rana}).toDouble(), 1000.0);
    }

    void figureWithoutARateSaysWhichIsMissing()
    {
        Database* db = m_t->db();
        PaymentModel payments(db);
        const QString early = iso(m_today.addDays(-400));
        const int tenant = RentalRows::tenant(db, QStringLiteral("هالة سمعان"));
        QVERIFY(payments.add(0, tenant, 75, QStringLiteral("cash"), early, QString(), kDollar) > 0);
        // Days later, still before the first dollar rate: the figure names
        // the earliest day once, not every day (an older office may have
        // thousands of them).
        const QString later = iso(m_today.addDays(-390));
        QVERIFY(payments.add(0, tenant, 25, QStringLiteral("cash"), later, QString(), kDollar) > 0);
        OfficeFigures figures(db, m_today);
        QCOMPARE(figures.collected(early, later).value("missing").toStringList(),
                 QStringList{Reasons::noRate(QStringLiteral("USD"), early)});
        const QVariantMap collected = figures.collected(early, early);
        QCOMPARE(collected.value("total").toDouble(), 0.0);
        QVERIFY(!collected.value("complete").toBool());
        QCOMPARE(collected.value("missing").toStringList(),
                 QStringList{Reasons::noRate(QStringLiteral("USD"), early)});
        // The dollars themselves stay in the breakdown.
        const QVariantMap dollars = collected.value("byCurrency").toList().first().toMap();
        QCOMPARE(dollars.value("currency_id").toInt(), kDollar);
        QCOMPARE(dollars.value("total").toDouble(), 75.0);
        const QVariantMap cash = figures.cash();
        QVERIFY(!cash.value("complete").toBool());
        QVERIFY(cash.value("missing").toStringList().first().contains(early));
    }

    // Revenue and expenses read together in one pass give, currency by
    // currency, what each side's journal lines add up to alone, over the
    // whole history and over a span; neither side takes the other's rows.
    void resultsPerCurrencyEqualTheLines()
    {
        Database* db = m_t->db();
        ExpenseModel expenses(db);
        const int property = db->scalar("SELECT id FROM properties").toInt();
        QVERIFY(expenses.add(property, 0, 0, QStringLiteral("maintenance"), QString(),
                             QStringLiteral("دهان الواجهة"), 37.5, iso(m_monthStart), kDollar) > 0);
        OfficeFigures figures(db, m_today);
        const QList<QPair<QString, QString>> spans = {
            {QString(), QString()}, {iso(m_monthStart.addMonths(-1)), iso(m_today)}};
        for (const auto& [from, to] : spans) {
            const QVariantMap results = figures.periodResults(from, to);
            for (const auto& [key, type, sign] : {std::make_tuple("revenue", "revenue", -1),
                                                  std::make_tuple("expenses", "expense", 1)}) {
                QMap<int, double> lines;
                for (const QVariant& row : db->execQuery(
                         "SELECT COALESCE(e.currency_id,(SELECT id FROM currencies WHERE "
                         "is_primary=1)) AS c, SUM(l.debit-l.credit) AS t FROM journal_lines l "
                         "JOIN journal_entries e ON e.id=l.entry_id JOIN accounts a ON "
                         "a.id=l.account_id WHERE a.type=? AND (COALESCE(?,'')='' OR "
                         "substr(e.entry_date,1,10) "
                         ">= ?) AND (COALESCE(?,'')='' OR substr(e.entry_date,1,10) <= ?) GROUP BY "
                         "1",
                         {type, from, from, to, to}))
                    lines[row.toMap().value("c").toInt()] =
                        Money::roundTo(sign * row.toMap().value("t").toDouble(), 3);
                QMap<int, double> shown;
                for (const QVariant& row : results.value(key).toMap().value("byCurrency").toList())
                    shown[row.toMap().value("currency_id").toInt()] =
                        row.toMap().value("total").toDouble();
                lines.removeIf([](const auto& it) { return it.value() == 0; });
                shown.removeIf([](const auto& it) { return it.value() == 0; });
                // The whole history holds both sides in more than one currency.
                if (from.isEmpty())
                    QVERIFY2(shown.size() >= 2, key);
                QCOMPARE(shown, lines);
            }
        }
    }

private:
    std::unique_ptr<TestDatabase> m_t;
    QDate m_today;
    QDate m_monthStart;
};

QTEST_GUILESS_MAIN(TestOfficeFigures)
#include "tst_officefigures.moc"
