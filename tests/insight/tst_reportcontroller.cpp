#include "InsightRows.h"
#include "TestDatabase.h"
#include "core/LedgerPosting.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "finance/CurrencyModel.h"
#include "finance/ExpenseModel.h"
#include "finance/InstallmentModel.h"
#include "insight/ReportController.h"
#include "rental/InvoiceModel.h"
#include "rental/PaymentModel.h"
#include "rental/UnitModel.h"

#include <QSignalSpy>
#include <QTest>

using namespace InsightRows;

namespace {

QVariantList serviceLine(double total)
{
    return {QVariantMap{{"description", QStringLiteral("إيجار شهري")},
                        {"type", "service"},
                        {"quantity", 1},
                        {"unit_price", total},
                        {"total", total}}};
}

// One posted event: `amount` from `creditCode` to `debitCode` on `date`.
void posted(Database* db, const QString& date, const char* debitCode, const char* creditCode,
            double amount, int currencyId = 1)
{
    LedgerPosting posting(db);
    LedgerPosting::Entry entry;
    entry.date = date;
    entry.description = QStringLiteral("قيد اختبار");
    entry.referenceType = QStringLiteral("test");
    entry.currencyId = currencyId;
    entry.lines = {{QLatin1String(debitCode), 0, amount, 0, {}},
                   {QLatin1String(creditCode), 0, 0, amount, {}}};
    QVERIFY2(posting.post(entry) > 0, qPrintable(posting.reason()));
}

qint64 cents(const QVariant& value)
{
    return Money::toCents(value.toDouble());
}

} // namespace

class TestReportController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useLocalDayApartFromUtc()); }
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        m_ctrl = std::make_unique<ReportController>(m_t->db());
        m_property = InsightRows::property(db(), QStringLiteral("برج الياسمين"));
    }
    void cleanup()
    {
        m_ctrl.reset();
        m_t.reset();
    }

    // ---- statements ---------------------------------------------------------

    void tenantStatementClosesOnTheStoredBalance()
    {
        InvoiceModel invoices(db());
        PaymentModel payments(db());
        const int t = tenant(db(), QStringLiteral("خالد يوسف"));
        const int u = unit(db(), m_property, "أ-3", "rented");
        const int paid = invoices.createInvoice(t, u, period(3), serviceLine(1000), 1);
        const int voidedAfterPayment =
            invoices.createInvoice(t, u, period(2), serviceLine(500.5), 1);
        const int voidedUnpaid = invoices.createInvoice(t, u, period(1), serviceLine(300), 1);
        const int open = invoices.createInvoice(t, u, period(0), serviceLine(750), 1);
        QVERIFY(paid > 0 && voidedAfterPayment > 0 && voidedUnpaid > 0 && open > 0);
        QVERIFY(payments.add(paid, t, 1000, "cash", day(-2), "R-1", 1) > 0);
        QVERIFY(payments.add(voidedAfterPayment, t, 200.25, "bank", day(-1), "R-2", 1) > 0);
        QVERIFY(payments.add(open, t, 250.1, "cash", day(0), "R-3", 1) > 0);
        QVERIFY(invoices.voidInvoice(voidedAfterPayment));
        QVERIFY(invoices.voidInvoice(voidedUnpaid));

        const QVariantList rows = m_ctrl->getTenantStatement(t);
        double closing = 0;
        QStringList types;
        for (const QVariant& row : rows) {
            closing += row.toMap()["debit"].toDouble() - row.toMap()["credit"].toDouble();
            types << row.toMap()["type"].toString();
        }
        QCOMPARE(Money::toCents(closing),
                 cents(m_t->value("SELECT balance FROM tenants WHERE id=?", {t})));
        QCOMPARE(Money::toCents(closing), 49990);
        // The voided invoice stays with what was paid on it; the unpaid one is gone.
        QCOMPARE(types.count(QStringLiteral("فاتورة")), 2);
        QCOMPARE(types.count(QStringLiteral("فاتورة ملغاة")), 1);
        QCOMPARE(types.count(QStringLiteral("دفعة")), 3);
        for (const QVariant& row : rows)
            if (row.toMap()["type"] == QStringLiteral("فاتورة ملغاة"))
                QCOMPARE(row.toMap()["debit"].toDouble(), 200.25);
        // Invoices of today are dated today, and come before today's payment.
        QCOMPARE(rows.last().toMap()["ref"].toString(), QStringLiteral("R-3"));
        QCOMPARE(rows.last().toMap()["date"].toString(), day(0));
    }

    void regressionInvoiceOfTheRangesLastDayDropped()
    {
        // Creation stamps are UTC; the statement places an invoice on its local day.
        const int t = tenant(db(), QStringLiteral("خالد يوسف"));
        const int inv = invoice(db(), "INV-1", t, QVariant(), period(), 900, 0);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        db()->execNonQuery("UPDATE invoices SET created_at=? WHERE id=?",
                           {now.toString("yyyy-MM-dd HH:mm:ss"), inv});
        const QString local = now.toLocalTime().date().toString("yyyy-MM-dd");
        const QString utc = now.date().toString("yyyy-MM-dd");
        QVERIFY(local != utc);
        payment(db(), 100, local, 1, t);

        const QVariantList rows = m_ctrl->getTenantStatement(t, local, local);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].toMap()["type"].toString(), QStringLiteral("فاتورة"));
        QCOMPARE(rows[0].toMap()["date"].toString(), local);
        QCOMPARE(m_ctrl->getTenantStatement(t, utc, utc).size(), 0);
    }

    void rangeBounds_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("rows");
        QTest::newRow("apostrophe") << "2020-01-01' OR '1'='1" << day() << true << 0;
        QTest::newRow("no such day") << "2025-02-30"
                                     << "2025-03-31" << true << 0;
        QTest::newRow("not a date at all") << ""
                                           << "أمس" << true << 0;
        QTest::newRow("only from: full history") << day(-1) << "" << false << 2;
        QTest::newRow("no range") << ""
                                  << "" << false << 2;
        QTest::newRow("yesterday to today") << day(-1) << day() << false << 1;
    }
    void rangeBounds()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, refused);
        QFETCH(int, rows);
        const int t = tenant(db(), QStringLiteral("خالد"));
        payment(db(), 100, day(-10), 1, t);
        payment(db(), 100, day(), 1, t);
        QSignalSpy reasons(m_ctrl.get(), &ReportController::errorOccurred);

        QCOMPARE(m_ctrl->getTenantStatement(t, from, to).size(), rows);
        QCOMPARE(m_ctrl->lastError().isEmpty(), !refused);
        if (!refused)
            return;
        // Every report with a range refuses such bounds the same way.
        QVERIFY(m_ctrl->getBuyerStatement(1, from, to).isEmpty());
        QVERIFY(m_ctrl->getContractorStatement(1, from, to).isEmpty());
        QVERIFY(m_ctrl->getChequeReport("", from, to).isEmpty());
        QVERIFY(m_ctrl->getPropertyProfitability(m_property, from, to).isEmpty());
        QVERIFY(m_ctrl->getProjectDetailedFinancials(m_property, from, to).isEmpty());
        QVERIFY(m_ctrl->getProjectCostCenters(m_property, from, to).isEmpty());
        QVERIFY(m_ctrl->getProfitLoss(from, to).isEmpty());
        QCOMPARE(reasons.count(), 8);
        QVERIFY(!m_ctrl->lastError().isEmpty());
        QCOMPARE(m_ctrl->getTenantStatement(t).size(), 2);
        QVERIFY(m_ctrl->lastError().isEmpty());
    }

    void buyerStatementClosesOnTheStoredBalance()
    {
        InstallmentModel sales(db());
        const int b = buyer(db(), QStringLiteral("منى حداد"));
        const int flat = unit(db(), m_property, "ب-12");
        const int shop = unit(db(), m_property, "م-1");
        // Collected one by one (no post-dated cheques, which would settle
        // the schedule at once).
        QCOMPARE(sales.sellUnit(b, flat, 100000, 10000, 12, dayOfMonth(3, 15), 1), 1);
        // The dialog's cash sale: the remainder in one installment.
        QCOMPARE(sales.sellUnit(b, shop, 5000, 2000, 0, day(), 1), 1);
        const QVariantList schedule =
            db()->execQuery("SELECT id FROM installments ORDER BY due_date, id");
        QVERIFY(sales.payInstallment(schedule[0].toMap()["id"].toInt(), 7500));
        QVERIFY(sales.payInstallment(schedule[1].toMap()["id"].toInt(), 3000));
        QVERIFY(sales.add(b, flat, 0, 0, 1000, day(40), 1) > 0);

        const QVariantList rows = m_ctrl->getBuyerStatement(b);
        QCOMPARE(rows.size(), 14);
        double closing = 0;
        for (const QVariant& row : rows)
            closing += row.toMap()["remaining_amount"].toDouble();
        QCOMPARE(Money::toCents(closing),
                 cents(m_t->value("SELECT balance FROM buyers WHERE id=?", {b})));
        QCOMPARE(Money::toCents(closing), 8350000);
        QCOMPARE(rows[0].toMap()["remaining_amount"].toDouble(), 0.0);
        QCOMPARE(rows[1].toMap()["remaining_amount"].toDouble(), 4500.0);
        QCOMPARE(rows[0].toMap()["property_name"].toString(), QStringLiteral("برج الياسمين"));

        const QString first = rows[0].toMap()["due_date"].toString();
        QCOMPARE(m_ctrl->getBuyerStatement(b, first, first).size(), 1);
    }

    void contractorStatementClosesOnTheStoredBalance()
    {
        ExpenseModel expenses(db());
        const int c = expenses.addContractor(QStringLiteral("شركة البناء الحديث"), "0599", "بناء");
        const int u = unit(db(), m_property, "ب-12");
        QVERIFY(expenses.add(m_property, u, c, "بناء", "بلاط", "أرضيات", 500, day(-20), 1) > 0);
        QVERIFY(expenses.add(m_property, 0, c, "بناء", "دهان", "واجهة", 250.75, day(-5), 1) > 0);
        QVERIFY(expenses.add(m_property, 0, 0, "كهرباء", "", "", 99, day(-5), 1) > 0);

        const QVariantList rows = m_ctrl->getContractorStatement(c);
        QCOMPARE(rows.size(), 2);
        double closing = 0;
        for (const QVariant& row : rows)
            closing += row.toMap()["amount"].toDouble();
        QCOMPARE(Money::toCents(closing),
                 cents(m_t->value("SELECT balance FROM contractors WHERE id=?", {c})));
        QCOMPARE(rows[0].toMap()["amount"].toDouble(), 250.75);
        QVERIFY(rows[0].toMap()["unit_number"].isNull());
        QCOMPARE(rows[1].toMap()["unit_number"].toString(), QStringLiteral("ب-12"));
        QCOMPARE(rows[1].toMap()["property_name"].toString(), QStringLiteral("برج الياسمين"));
        QCOMPARE(m_ctrl->getContractorStatement(c, day(-30), day(-10)).size(), 1);
    }

    void chequeReportFilters()
    {
        cheque(db(), "3", 300, day(20), "paid");
        cheque(db(), "1", 100, day(-5));
        cheque(db(), "2", 200, day(5));
        db()->execNonQuery("UPDATE cheques SET currency_id=2 WHERE cheque_number='2'");

        const QVariantList all = m_ctrl->getChequeReport();
        QCOMPARE(all.size(), 3);
        QCOMPARE(all[0].toMap()["cheque_number"].toString(), QStringLiteral("1"));
        QCOMPARE(all[1].toMap()["currency_symbol"].toString(), QStringLiteral("$"));
        QCOMPARE(m_ctrl->getChequeReport("pending").size(), 2);
        QCOMPARE(m_ctrl->getChequeReport("", day(), day(30)).size(), 2);
        QCOMPARE(m_ctrl->getChequeReport("pending", day(), day(30)).size(), 1);
    }

    // The cheques tab shows the report's first rows and totals read apart:
    // per kind and stored currency, in the order the rows first show them,
    // they must add up to what every row of the report says, whatever the
    // filter, after changes, and when two currencies first fall due on one
    // day (the earlier cheque's currency first).
    void chequeTotalsAddUpTheReportsRows()
    {
        const int a = cheque(db(), "10", 1500.25, day(3));
        const int b = cheque(db(), "11", 200, day(3));
        const int c = cheque(db(), "12", 75.5, day(-2), "paid");
        const int d = cheque(db(), "13", 999.99, day(40));
        cheque(db(), "14", 12.75, day(3));
        const int f = cheque(db(), "15", 640, day(8));
        QVERIFY(db()->execNonQuery("UPDATE cheques SET currency_id=2 WHERE id IN (?,?)", {a, d}));
        QVERIFY(db()->execNonQuery("UPDATE cheques SET currency_id=NULL WHERE id=?", {f}));
        QVERIFY(db()->execNonQuery("UPDATE cheques SET type='issued' WHERE id IN (?,?)", {b, c}));

        const auto check = [this](const char* step) {
            for (const QStringList& filter :
                 {QStringList{QString(), QString(), QString()},
                  QStringList{QStringLiteral("pending"), QString(), QString()},
                  QStringList{QString(), day(), day(30)}}) {
                const QString where =
                    QString::fromUtf8(step) + QLatin1Char(' ') + filter.join(QLatin1Char('/'));
                const QVariantList rows = m_ctrl->getChequeReport(filter[0], filter[1], filter[2]);
                QStringList order;
                QHash<QString, qint64> counts;
                QHash<QString, qint64> totals;
                for (const QVariant& value : rows) {
                    const QVariantMap r = value.toMap();
                    const QString key =
                        (r["type"].toString() == QLatin1String("issued")
                             ? QStringLiteral("issued")
                             : QStringLiteral("received")) +
                        QLatin1Char('|') +
                        (r["currency_id"].isNull() ? QString() : r["currency_id"].toString());
                    if (!counts.contains(key))
                        order << key;
                    ++counts[key];
                    totals[key] += cents(r["amount"]);
                }
                const QVariantList groups =
                    m_ctrl->getChequeTotals(filter[0], filter[1], filter[2]);
                QCOMPARE(groups.size(), order.size());
                for (int i = 0; i < groups.size(); ++i) {
                    const QVariantMap g = groups[i].toMap();
                    const QString key =
                        g["kind"].toString() + QLatin1Char('|') +
                        (g["currency_id"].isNull() ? QString() : g["currency_id"].toString());
                    QVERIFY2(key == order[i], qPrintable(where + QStringLiteral(": ") + key));
                    QCOMPARE(g["count"].toLongLong(), counts[key]);
                    QCOMPARE(cents(g["total"]), totals[key]);
                }
                // The tab's rows are the report's first ones.
                const QVariantList first =
                    m_ctrl->getChequeReport(filter[0], filter[1], filter[2], 2);
                QCOMPARE(first, rows.mid(0, 2));
            }
        };
        check("first cheques");
        if (QTest::currentTestFailed())
            return;
        // The dollar cheque due with the shekel ones comes first among them.
        QVERIFY(db()->execNonQuery("UPDATE cheques SET amount=?, type='received' WHERE id=?",
                                   {333.33, c}));
        QVERIFY(db()->execNonQuery("DELETE FROM cheques WHERE id=?", {b}));
        QVERIFY(db()->execNonQuery("UPDATE cheques SET status='bounced' WHERE id=?", {d}));
        check("after changes");
        QVERIFY(m_ctrl->getChequeTotals(QString(), QStringLiteral("2025-13-01"), day()).isEmpty());
        QVERIFY(!m_ctrl->lastError().isEmpty());
    }

    void overdueInstallmentsBeforeToday()
    {
        const int b = buyer(db(), QStringLiteral("منى"));
        const int u = unit(db(), m_property, "1", "sold");
        installment(db(), b, u, 1000, day(0));
        installment(db(), b, u, 1000, day(-1), 400, "partial");
        installment(db(), b, u, 1000, day(-30));
        installment(db(), b, u, 1000, day(-40), 1000, "paid");
        const QVariantList rows = m_ctrl->getOverdueInstallments();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].toMap()["due_date"].toString(), day(-30));
        QCOMPARE(rows[1].toMap()["buyer_name"].toString(), QStringLiteral("منى"));
        QCOMPARE(rows[1].toMap()["property_name"].toString(), QStringLiteral("برج الياسمين"));
    }

    void monthlyReportListsMonthsWithPayments()
    {
        payment(db(), 100, "2024-03-05", 1);
        payment(db(), 50.5, "2024-03-20", 2);
        payment(db(), 200, "2024-05-01", 1);
        payment(db(), 999, "2023-04-01", 1);
        // SQLite's date functions read 30 February as a February day; a date
        // they cannot read is in no month; a time of day changes nothing.
        payment(db(), 0.25, "2024-02-30", 1);
        payment(db(), 40, "2024-5-1", 1);
        payment(db(), 12, "2024-12-31 23:59", 1);
        // The dollars of 20 March wait for a rate, and are named.
        const auto revenue = [this] {
            QStringList out;
            for (const QVariant& value : m_ctrl->getMonthlyReport("2024")) {
                const QVariantMap row = value.toMap();
                out << row["month"].toString() + ':' + QString::number(row["revenue"].toDouble()) +
                           ':' + row["revenue_detail"].toMap()["missing"].toStringList().join(';');
            }
            return out;
        };
        QCOMPARE(revenue(),
                 QStringList({"02:0.25:", "03:100:" + Reasons::noRate("USD", "2024-03-20"),
                              "05:200:", "12:12:"}));
        // Converted at the rate of the payment's own day, not a later one.
        CurrencyModel rates(db());
        QVERIFY(rates.recordRate(2, "2024-03-01", 3.5));
        QVERIFY(rates.recordRate(2, "2024-03-21", 4.0));
        QCOMPARE(revenue(), QStringList({"02:0.25:", "03:276.75:", "05:200:", "12:12:"}));
    }

    // ---- profitability -------------------------------------------------------

    void unitProfitabilityTakesItsShareOfCommonCosts()
    {
        const int u = unit(db(), m_property, "1", "sold", 300000, 100);
        unit(db(), m_property, "2", "available", 0, 300);
        expense(db(), m_property, u, 500, day());
        expense(db(), m_property, QVariant(), 8000, day());
        const QVariantMap figures = m_ctrl->getUnitProfitability(u);
        QStringList shown;
        for (const char* key :
             {"sale_price", "direct_expenses", "allocated_expenses", "total_cost", "profit"})
            shown << QString::number(figures[key].toDouble(), 'f', 2);
        QCOMPARE(shown.join(' '), QStringLiteral("300000.00 500.00 2000.00 2500.00 297500.00"));
        QVERIFY(figures["complete"].toBool());
        QVERIFY(m_ctrl->getUnitProfitability(9999).isEmpty());
    }

    void regressionUnitsWithoutAreaAllocatedMoreThanTheCosts()
    {
        const QList<int> units = {unit(db(), m_property, "1", "available", 0, QVariant()),
                                  unit(db(), m_property, "2", "available", 0, 0.5),
                                  unit(db(), m_property, "3", "available", 0, 98)};
        expense(db(), m_property, QVariant(), 1000, day());
        double allocated = 0;
        for (int u : units)
            allocated += m_ctrl->getUnitProfitability(u)["allocated_expenses"].toDouble();
        QCOMPARE(m_ctrl->getUnitProfitability(units[0])["allocated_expenses"].toDouble(), 10.0);
        QCOMPARE(Money::toCents(allocated), 100000);
    }

    void propertyProfitabilityWithoutIncome()
    {
        expense(db(), m_property, QVariant(), 1200, day());
        const QVariantMap map = m_ctrl->getPropertyProfitability(m_property);
        QCOMPARE(map["income"].toDouble(), 0.0);
        QCOMPARE(map["profit"].toDouble(), -1200.0);
        QCOMPARE(map["margin"].toDouble(), 0.0);
    }

    void regressionSaleIncomeLeftOutCashSalesAndIgnoredTheRange()
    {
        InstallmentModel sales(db());
        const int b = buyer(db(), QStringLiteral("منى"));
        // A cash sale this year and a sale on installments long before.
        QCOMPARE(sales.sellUnit(b, unit(db(), m_property, "1"), 80000, 80000, 0, day(-3), 1), 1);
        QCOMPARE(sales.sellUnit(b, unit(db(), m_property, "2"), 50000, 5000, 3, day(-400), 1), 1);
        const QVariant oldInstallment = m_t->value("SELECT MIN(id) FROM installments");
        QVERIFY(sales.payInstallment(oldInstallment.toInt(), 15000));
        const int t = tenant(db(), QStringLiteral("خالد"));
        const int rented = unit(db(), m_property, "3", "rented");
        const int inv = invoice(db(), "INV-1", t, rented, period(), 1000, 1000, "paid");
        payment(db(), 1000, day(-1), 1, t, QVariant(), QVariant(), inv);
        expense(db(), m_property, QVariant(), 3000, day(-2));
        expense(db(), m_property, QVariant(), 700, day(-500));

        // A collection is dated by the database's UTC day, which is a day
        // away from the local one here; the range reaches past both.
        const QVariantMap recent = m_ctrl->getPropertyProfitability(m_property, day(-30), day(1));
        // Collected now, so in the range; the down payment of the old sale is not.
        QCOMPARE(recent["income"].toDouble(), 80000.0 + 15000 + 1000);
        QCOMPARE(recent["expenses"].toDouble(), 3000.0);
        const QVariantMap all = m_ctrl->getPropertyProfitability(m_property);
        QCOMPARE(all["income"].toDouble(), 80000.0 + 5000 + 15000 + 1000);
        QCOMPARE(all["expenses"].toDouble(), 3700.0);
        QCOMPARE(all["margin"].toDouble(), (101000.0 - 3700) / 101000 * 100);
    }

    void projectFinancialsFigures()
    {
        const int a = unit(db(), m_property, "1", "sold", 600000);
        const int b = unit(db(), m_property, "2", "sold", 400000);
        unit(db(), m_property, "3", "available", 400000);
        unit(db(), m_property, "4", "rented", 999999);
        db()->execNonQuery("UPDATE units SET sale_price_actual=?, sale_date=? WHERE id=?",
                           {0, day(-5), b});
        db()->execNonQuery("UPDATE units SET sale_price_actual=?, sale_date=? WHERE id=?",
                           {600000, day(-400), a});
        expense(db(), m_property, a, 50000, day(-600));
        expense(db(), m_property, QVariant(), 200000, day(-10));
        const int buyerId = buyer(db(), QStringLiteral("منى"));
        payment(db(), 100000, day(-400), 1, QVariant(), buyerId, a, QVariant(),
                QStringLiteral("دفعة مقدمة / بيع وحدة: 1"));
        payment(db(), 20000, day(-4), 1, QVariant(), buyerId, a, QVariant(),
                QStringLiteral("تحصيل قسط - معرف: 1"));

        const QVariantMap all = m_ctrl->getProjectDetailedFinancials(m_property);
        QCOMPARE(all["total_sales_value"].toDouble(), 1000000.0);
        QCOMPARE(all["total_revenue"].toDouble(), 1000000.0);
        QCOMPARE(all["unsold_value"].toDouble(), 400000.0);
        QCOMPARE(all["total_expenses"].toDouble(), 250000.0);
        QCOMPARE(all["expected_profit"].toDouble(), 1150000.0);
        QCOMPARE(all["realized_profit"].toDouble(), 750000.0);
        QCOMPARE(all["cash_sales"].toDouble(), 100000.0);
        QCOMPARE(all["installment_collections"].toDouble(), 20000.0);
        QCOMPARE(all["total_collected"].toDouble(), 120000.0);
        QCOMPARE(all["net_cash_flow"].toDouble(), -130000.0);
        QCOMPARE(all["sold_direct_cost"].toDouble(), 50000.0);
        QCOMPARE(all["total_units"].toInt(), 4);
        QCOMPARE(all["sold_units"].toInt(), 2);
        QCOMPARE(all["range_applied"].toBool(), false);

        // The range restricts sales, collections and expenses; stock figures stay.
        const QVariantMap recent =
            m_ctrl->getProjectDetailedFinancials(m_property, day(-30), day());
        QCOMPARE(recent["total_sales_value"].toDouble(), 400000.0);
        QCOMPARE(recent["total_expenses"].toDouble(), 200000.0);
        QCOMPARE(recent["cash_sales"].toDouble(), 0.0);
        QCOMPARE(recent["total_collected"].toDouble(), 20000.0);
        QCOMPARE(recent["sold_direct_cost"].toDouble(), 0.0);
        QCOMPARE(recent["unsold_value"].toDouble(), 400000.0);
        QCOMPARE(recent["total_units"].toInt(), 4);
        QCOMPARE(recent["range_applied"].toBool(), true);
        QCOMPARE(recent["lifetime_figures"].toStringList(),
                 QStringList({"unsold_value", "total_units", "sold_units"}));
    }

    // A project priced in dollars with a bill in shekels: every figure is in
    // shekels, each row at the rate of its own day, with what each currency
    // came to beside it. Before a rate is recorded the figure says which one
    // it waits for, instead of counting dollars as shekels.
    void projectFiguresAreConvertedWithTheirBreakdown()
    {
        const int dollars = InsightRows::property(db(), QStringLiteral("أبراج الريحان"));
        const int sold = unit(db(), dollars, "1", "sold", 90000);
        unit(db(), dollars, "2", "available", 85000);
        QVERIFY(
            db()->execNonQuery("UPDATE units SET currency_id=2 WHERE property_id=?", {dollars}));
        QVERIFY(db()->execNonQuery("UPDATE units SET sale_date=? WHERE id=?", {day(-10), sold}));
        expense(db(), dollars, sold, 1200, day(-3), 2);

        const QVariantMap waiting = m_ctrl->getProjectDetailedFinancials(dollars);
        QCOMPARE(waiting["complete"].toBool(), false);
        QVERIFY(waiting["total_sales_value_detail"]
                    .toMap()["missing"]
                    .toStringList()
                    .join(QString())
                    .contains(QStringLiteral("USD")));

        CurrencyModel rates(db());
        QVERIFY(rates.recordRate(2, day(-30), 3.5));
        QVERIFY(rates.recordRate(2, day(-5), 3.7));
        expense(db(), dollars, QVariant(), 300, day(-2), 1);
        const QVariantMap f = m_ctrl->getProjectDetailedFinancials(dollars);
        QCOMPARE(f["complete"].toBool(), true);
        QCOMPARE(f["currency_id"].toInt(), 1);
        QCOMPARE(f["mixedCurrencies"].toBool(), false);
        // Sold ten days ago, at the rate of then; the unsold flat at today's.
        QCOMPARE(f["total_sales_value"].toDouble(), 315000.0);
        QCOMPARE(f["unsold_value"].toDouble(), 314500.0);
        QCOMPARE(f["total_expenses"].toDouble(), 4740.0);
        QCOMPARE(f["expected_profit"].toDouble(), 624760.0);
        const QVariantList spent = f["total_expenses_detail"].toMap()["byCurrency"].toList();
        QCOMPARE(spent.size(), 2);
        QCOMPARE(spent.at(0).toMap()["currency_id"].toInt(), 1);
        QCOMPARE(spent.at(0).toMap()["total"].toDouble(), 300.0);
        QCOMPARE(spent.at(1).toMap()["currency_id"].toInt(), 2);
        QCOMPARE(spent.at(1).toMap()["total"].toDouble(), 1200.0);
        // The profit's breakdown takes the bills away currency by currency.
        const QVariantList profit = f["expected_profit_detail"].toMap()["byCurrency"].toList();
        QCOMPARE(profit.at(0).toMap()["total"].toDouble(), -300.0);
        QCOMPARE(profit.at(1).toMap()["total"].toDouble(), 173800.0);
    }

    void costCentresByType()
    {
        auto centre = [this](const QString& name, const QString& type, const QVariant& parent,
                             const QVariant& unitId) {
            return db()->execInsert("INSERT INTO cost_centers (name, type, property_id, "
                                    "parent_id, unit_id) VALUES (?,?,?,?,?)",
                                    {name, type, m_property, parent, unitId});
        };
        const int sold = unit(db(), m_property, "1", "sold", 200000, 50);
        const int free = unit(db(), m_property, "2", "available", 150000, 50);
        db()->execNonQuery("UPDATE units SET sale_date=? WHERE id=?", {day(-2), sold});
        const int floor = centre("الطابق الأول", "floor", QVariant(), QVariant());
        centre("شقة 2", "unit", floor, free);
        centre("شقة 1", "unit", floor, sold);
        centre("بلا وحدة", "unit", floor, QVariant());
        centre("المشروع", "project", QVariant(), QVariant());
        expense(db(), m_property, sold, 1000, day(-2));
        expense(db(), m_property, free, 500, day(-100));
        expense(db(), m_property, QVariant(), 4000, day(-1));

        const QVariantList rows = m_ctrl->getProjectCostCenters(m_property);
        QCOMPARE(rows.size(), 5);
        QStringList order;
        for (const QVariant& row : rows)
            order << row.toMap()["name"].toString();
        QCOMPARE(order, QStringList({"المشروع", "الطابق الأول", "شقة 2", "شقة 1", "بلا وحدة"}));
        auto figures = [](const QVariant& row) {
            const QVariantMap map = row.toMap();
            return QStringLiteral("%1/%2/%3")
                .arg(map["revenue"].toDouble())
                .arg(map["expenses"].toDouble())
                .arg(map["profit"].toDouble());
        };
        QCOMPARE(figures(rows[0]), QStringLiteral("200000/5500/194500"));
        QCOMPARE(figures(rows[1]), QStringLiteral("200000/1500/198500"));
        QCOMPARE(figures(rows[2]), QStringLiteral("150000/2500/147500"));
        QCOMPARE(figures(rows[3]), QStringLiteral("200000/3000/197000"));
        QCOMPARE(figures(rows[4]), QStringLiteral("0/0/0"));
        QCOMPARE(rows[3].toMap()["unit_number"].toString(), QStringLiteral("1"));

        // With a range the project and floor follow it; a unit keeps its value.
        const QVariantList recent = m_ctrl->getProjectCostCenters(m_property, day(-10), day());
        QCOMPARE(figures(recent[0]), QStringLiteral("200000/5000/195000"));
        QCOMPARE(figures(recent[1]), QStringLiteral("200000/1000/199000"));
        QCOMPARE(figures(recent[2]), QStringLiteral("150000/2000/148000"));
        QCOMPARE(recent[2].toMap()["lifetime_figures"].toStringList(), QStringList({"revenue"}));
        QVERIFY(m_ctrl->getProjectCostCenters(9999).isEmpty());
    }

    void propertyComparisonHighestIncomeFirst()
    {
        const int other = InsightRows::property(db(), QStringLiteral("مجمع الزيتون"));
        const int t = tenant(db(), QStringLiteral("خالد"));
        const int rented = unit(db(), other, "1", "rented");
        unit(db(), other, "2", "sold");
        unit(db(), m_property, "1", "available");
        const int inv = invoice(db(), "INV-1", t, rented, period(), 900, 900, "paid");
        payment(db(), 900, day(), 2, t, QVariant(), QVariant(), inv);
        expense(db(), other, QVariant(), 100, day(), 1);

        CurrencyModel rates(db());
        QVERIFY(rates.recordRate(2, day(-1), 3.5));
        const QVariantList rows = m_ctrl->getPropertyComparison();
        QCOMPARE(rows.size(), 2);
        const QVariantMap first = rows[0].toMap();
        QCOMPARE(first["name"].toString(), QStringLiteral("مجمع الزيتون"));
        QCOMPARE(first["id"].toInt(), other);
        QCOMPARE(
            QList<int>({first["units"].toInt(), first["rented"].toInt(), first["sold"].toInt()}),
            QList<int>({2, 1, 1}));
        // 900 $ at 3.50, never 900 ₪; the dollars stay beside the total.
        QCOMPARE(first["income"].toDouble(), 3150.0);
        QCOMPARE(first["income_detail"]
                     .toMap()["byCurrency"]
                     .toList()
                     .value(0)
                     .toMap()["total"]
                     .toDouble(),
                 900.0);
        QCOMPARE(first["expenses"].toDouble(), 100.0);
        QCOMPARE(rows[1].toMap()["units"].toInt(), 1);
        QCOMPARE(rows[1].toMap()["income"].toDouble(), 0.0);
    }

    // The units tab's rows are the unit list's, in its order, with the
    // columns the tab shows.
    void unitsOverviewFollowsTheUnitList()
    {
        const int other = InsightRows::property(db(), QStringLiteral("أبراج الريحان"));
        unit(db(), other, "B2", "sold", 180000.5, 90);
        unit(db(), m_property, "A1", "rented");
        unit(db(), other, "B1", "available", 250000, 110);
        QVERIFY(db()->execNonQuery("UPDATE units SET currency_id=2, rent_monthly=1500 WHERE "
                                   "unit_number='A1'"));
        UnitModel units(db());
        const QVariantList all = units.getAll();
        const QVariantList overview = m_ctrl->getUnitsOverview();
        QCOMPARE(overview.size(), 3);
        const QStringList shown = {"id",           "property_name", "unit_number",
                                   "area",         "sale_price",    "sale_price_actual",
                                   "rent_monthly", "currency_id",   "status"};
        for (int i = 0; i < all.size(); ++i) {
            QVariantMap expected;
            for (const QString& key : shown)
                expected.insert(key, all[i].toMap().value(key));
            QCOMPARE(overview[i].toMap(), expected);
        }
        QCOMPARE(overview[0].toMap()["unit_number"].toString(), QStringLiteral("B1"));
    }

    // Revenue and expenses are what the ledger's revenue and expense
    // accounts hold, converted at each entry's day.
    void profitLossOverARange()
    {
        posted(db(), day(-100), "1200", "4100", 1000);
        posted(db(), day(-1), "1200", "4200", 500);
        posted(db(), day(-1), "5200", "1100", 200);
        QVariantMap all = m_ctrl->getProfitLoss();
        QCOMPARE(all["revenue"].toDouble(), 1500.0);
        QCOMPARE(all["expenses"].toDouble(), 200.0);
        QCOMPARE(all["net_profit"].toDouble(), 1300.0);
        QCOMPARE(all["complete"].toBool(), true);
        QCOMPARE(m_ctrl->getProfitLoss(day(-30), "")["revenue"].toDouble(), 1500.0);
        QCOMPARE(m_ctrl->getProfitLoss(day(-30), day())["net_profit"].toDouble(), 300.0);
        // Dollars without a rate are left out and named, never counted as shekels.
        posted(db(), day(), "1200", "4100", 10, 2);
        all = m_ctrl->getProfitLoss();
        QCOMPARE(all["revenue"].toDouble(), 1500.0);
        QCOMPARE(all["complete"].toBool(), false);
        QCOMPARE(all["revenue_detail"].toMap()["missing"].toStringList(),
                 QStringList{Reasons::noRate("USD", day())});
        QVERIFY(db()->execNonQuery("INSERT INTO exchange_rates (from_currency_id, "
                                   "to_currency_id, rate, date) VALUES (2, 1, 3.5, ?)",
                                   {day(-5)}));
        QCOMPARE(m_ctrl->getProfitLoss()["revenue"].toDouble(), 1535.0);
        QCOMPARE(m_ctrl->getProfitLoss()["mixedCurrencies"].toBool(), false);
    }

    // Cash is what the cash account holds: money received less money paid
    // out, never the profit.
    void regressionCashIgnoredExpenses()
    {
        const int t = tenant(db(), QStringLiteral("خالد"));
        invoice(db(), "INV-1", t, QVariant(), period(), 1000, 400, "partial");
        invoice(db(), "INV-2", t, QVariant(), period(), 500, 500, "paid");
        invoice(db(), "INV-3", t, QVariant(), period(), 700, 0, "void");
        const int b = buyer(db(), QStringLiteral("منى"));
        const int u = unit(db(), m_property, "1", "sold");
        installment(db(), b, u, 1000, day(10), 250, "partial");
        installment(db(), b, u, 1000, day(-10), 1000, "paid");
        posted(db(), day(), "1100", "1200", 2000);
        posted(db(), day(), "5200", "1100", 1500);
        posted(db(), day(), "1200", "4100", 900);
        const QVariantMap sheet = m_ctrl->getBalanceSheet();
        QCOMPARE(sheet["receivables"].toDouble(), 600.0);
        QCOMPARE(sheet["installment_receivables"].toDouble(), 750.0);
        QCOMPARE(sheet["cash"].toDouble(), 500.0);
        QCOMPARE(sheet["total_assets"].toDouble(), 1850.0);
        QVERIFY(sheet["cash"].toDouble() != m_ctrl->getProfitLoss()["net_profit"].toDouble());
    }

    // Money summed as doubles shows the order of the rows in its last digit:
    // 0.1 + 0.2 + 0.3 is 0.6000000000000001 one way round and 0.6 the other.
    // The whole-history figures add whole cents, so they are exactly 0.6
    // whichever index a read would take (here without the narrow one on the
    // id), and the P&L and the balance sheet agree to the last digit.
    void regressionAllTimeTotalsMovedWithTheReadOrder()
    {
        QVERIFY(db()->execNonQuery(QStringLiteral("DROP INDEX idx_payments_sums")));
        for (const auto& [amount, days] : {std::pair{0.1, -1}, {0.2, -2}, {0.3, -3}}) {
            payment(db(), amount, day(days), 1);
            posted(db(), day(days), "1100", "4100", amount);
        }
        // Exact comparisons: QCOMPARE would forgive the last digit.
        QVERIFY(m_ctrl->getProfitLoss()["revenue"].toDouble() == 0.6);
        QVERIFY(m_ctrl->getBalanceSheet()["cash"].toDouble() == 0.6);
        // A range still sums what it covers.
        QCOMPARE(m_ctrl->getProfitLoss(day(-2), day())["revenue"].toDouble(), 0.3);
        // The month adds cents too, in whatever order its days are read.
        payment(db(), 0.1, "2024-07-03", 1);
        payment(db(), 0.2, "2024-07-02", 1);
        payment(db(), 0.3, "2024-07-01", 1);
        QVERIFY(m_ctrl->getMonthlyReport("2024").value(0).toMap()["revenue"].toDouble() == 0.6);
    }

    // The whole-history figures read kept totals; after payments, expenses,
    // an invoice moved to another unit and a unit moved to another property
    // they still match the stored rows to the cent, and each other exactly.
    void wholeHistoryFiguresMatchTheRowsAfterChanges()
    {
        const int other = InsightRows::property(db(), QStringLiteral("مجمع الزيتون"));
        const int t = tenant(db(), QStringLiteral("خالد"));
        const int a = unit(db(), m_property, "1", "rented");
        const int b = unit(db(), other, "2", "rented");
        const int first = invoice(db(), "INV-1", t, a, period(1), 1000, 0);
        const int second = invoice(db(), "INV-2", t, b, period(), 800, 0);
        PaymentModel payments(db());
        QVERIFY(payments.add(first, t, 333.33, "cash", day(-1), "R-1", 1) > 0);
        QVERIFY(payments.add(first, t, 0.1, "cash", day(), "R-2", 1) > 0);
        QVERIFY(payments.add(second, t, 799.99, "bank", day(), "R-3", 1) > 0);
        payment(db(), 1250.5, day(-2), 2);
        expense(db(), m_property, QVariant(), 99.99, day(-1));
        expense(db(), other, b, 0.01, day(), 2);
        QVERIFY(db()->execNonQuery("UPDATE invoices SET unit_id=? WHERE id=?", {b, first}));
        QVERIFY(db()->execNonQuery("UPDATE units SET property_id=? WHERE id=?", {m_property, b}));

        const auto stored = [this](const QString& sql, const QVariantList& params = {}) {
            return cents(m_t->value(sql, params));
        };
        // Cash is what the payments made through the model put in the cash
        // account; the rows written around them post nothing.
        const QVariantMap sheet = m_ctrl->getBalanceSheet();
        QCOMPARE(cents(sheet["cash"]),
                 stored("SELECT SUM(amount) FROM payments WHERE reference LIKE 'R-%'"));
        QCOMPARE(cents(sheet["cash"]), qint64(113342));
        QCOMPARE(sheet["mixedCurrencies"].toBool(), false);

        // The other property's 0.01 $ waits for a rate, then counts at it.
        QVERIFY(!m_ctrl->getPropertyComparison()[1].toMap()["complete"].toBool());
        CurrencyModel rates(db());
        QVERIFY(rates.recordRate(2, day(-5), 2.0));
        const QVariantList rows = m_ctrl->getPropertyComparison();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].toMap()["id"].toInt(), m_property);
        QCOMPARE(cents(rows[0].toMap()["income"]), qint64(113342));
        QCOMPARE(cents(rows[0].toMap()["expenses"]), qint64(9999));
        QCOMPARE(cents(rows[1].toMap()["income"]), qint64(0));
        QCOMPARE(cents(rows[1].toMap()["expenses"]), qint64(2));
        QVERIFY(rows[1].toMap()["complete"].toBool());
        // The property's own figure, summed from its rows, says the same.
        QCOMPARE(cents(m_ctrl->getPropertyProfitability(m_property)["income"]), qint64(113342));
    }

    // Payments in other currencies count at the rate of their own day, read
    // from the totals kept per property and day: after a payment is re-dated,
    // changes currency, moves to another property's invoice or is deleted,
    // the comparison still says what the property's own figure (summed from
    // its payments) says, and a day before a currency's first rate leaves it
    // incomplete.
    void propertyComparisonConvertsEachPaymentDay()
    {
        const int other = InsightRows::property(db(), QStringLiteral("مجمع الزيتون"));
        const int t = tenant(db(), QStringLiteral("خالد"));
        const int mine =
            invoice(db(), "INV-1", t, unit(db(), m_property, "1", "rented"), period(), 5000, 0);
        const int theirs =
            invoice(db(), "INV-2", t, unit(db(), other, "2", "rented"), period(), 5000, 0);
        CurrencyModel rates(db());
        QVERIFY(rates.recordRate(2, day(-10), 2.0));
        QVERIFY(rates.recordRate(2, day(-3), 3.0));
        QVERIFY(rates.recordRate(3, day(-2), 4.0));
        payment(db(), 1000, day(-1), 1, t, QVariant(), QVariant(), mine);
        const int early = payment(db(), 100, day(-5), 2, t, QVariant(), QVariant(), mine);
        const int late = payment(db(), 50, day(-1), 2, t, QVariant(), QVariant(), mine);
        payment(db(), 10.25, day(-1), 2, t, QVariant(), QVariant(), mine);
        const int unrated = payment(db(), 5, day(-4), 3, t, QVariant(), QVariant(), mine);
        payment(db(), 1, day(), 3, t, QVariant(), QVariant(), mine);

        const auto check = [&](qint64 expected, bool complete) {
            const QVariantList rows = m_ctrl->getPropertyComparison();
            QVariantMap row;
            for (const QVariant& value : rows)
                if (value.toMap()["id"].toInt() == m_property)
                    row = value.toMap();
            QCOMPARE(cents(row["income"]), expected);
            QCOMPARE(row["complete"].toBool(), complete);
            QCOMPARE(cents(row["income"]),
                     cents(m_ctrl->getPropertyProfitability(m_property)["income"]));
        };
        // 1000 + 100 x 2 + (50 + 10.25) x 3 + 1 x 4, and 5 with no rate yet.
        check(138475, false);
        QVERIFY(rates.recordRate(3, day(-6), 0.5));
        check(138725, true);
        QVERIFY(
            db()->execNonQuery("UPDATE payments SET payment_date=? WHERE id=?", {day(-8), late}));
        check(133725, true);
        QVERIFY(db()->execNonQuery("UPDATE payments SET currency_id=3 WHERE id=?", {early}));
        check(118725, true);
        QVERIFY(db()->execNonQuery("UPDATE payments SET invoice_id=? WHERE id=?", {theirs, early}));
        check(113725, true);
        QVERIFY(db()->execNonQuery("DELETE FROM payments WHERE id=?", {unrated}));
        check(113475, true);
    }

    // ---- generated analysis --------------------------------------------------

    void occupancyCard_data()
    {
        QTest::addColumn<int>("rented");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("description");
        QTest::newRow("no units") << 0 << 0 << "🔴"
                                  << "نسبة الإشغال 0% (0/0 وحدة). يمكن تحسين الإشغال.";
        QTest::newRow("9 of 10") << 9 << 10 << "✅"
                                 << "نسبة الإشغال 90% (9/10 وحدة). أداء ممتاز!";
        QTest::newRow("6 of 10") << 6 << 10 << "⚠️"
                                 << "نسبة الإشغال 60% (6/10 وحدة). يمكن تحسين الإشغال.";
        QTest::newRow("exactly 80 of 100") << 80 << 100 << "⚠️"
                                           << "نسبة الإشغال 80% (80/100 وحدة). يمكن تحسين الإشغال.";
        QTest::newRow("2 of 3") << 2 << 3 << "⚠️"
                                << "نسبة الإشغال 67% (2/3 وحدة). يمكن تحسين الإشغال.";
    }
    void occupancyCard()
    {
        QFETCH(int, rented);
        QFETCH(int, total);
        QFETCH(QString, icon);
        QFETCH(QString, description);
        for (int i = 0; i < total; ++i)
            unit(db(), m_property, QString::number(i), i < rented ? "rented" : "available");
        const QVariantList cards = m_ctrl->getAIInsights();
        // Nothing overdue and no cheques: occupancy and overdue rent only.
        QCOMPARE(cards.size(), 2);
        QCOMPARE(cards[0].toMap(), QVariantMap({{"icon", icon},
                                                {"title", QStringLiteral("تحليل الإشغال")},
                                                {"description", description}}));
    }

    void overdueRentCard_data()
    {
        QTest::addColumn<double>("overdue");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("amount");
        QTest::newRow("nothing overdue") << 0.0 << "✅"
                                         << "0";
        QTest::newRow("999.6 written whole") << 999.6 << "✅"
                                             << "1,000";
        QTest::newRow("exactly 1000") << 1000.0 << "🔴"
                                      << "1,000";
        QTest::newRow("regression: 999.9999999999999 is not below 1000") << 999.9999999999999 << "🔴"
                                                                         << "1,000";
        // Grouped in thousands, as every figure on screen.
        QTest::newRow("regression: large sums never in exponent form") << 1234567.0 << "🔴"
                                                                       << "1,234,567";
    }
    void overdueRentCard()
    {
        QFETCH(double, overdue);
        QFETCH(QString, icon);
        QFETCH(QString, amount);
        const int t = tenant(db(), QStringLiteral("خالد"));
        if (overdue > 0)
            invoice(db(), "INV-1", t, QVariant(), period(1), overdue, 0, "pending", day(-1));
        invoice(db(), "INV-2", t, QVariant(), period(), 5000, 0, "pending", day(0));
        invoice(db(), "INV-3", t, QVariant(), period(2), 5000, 0, "void", day(-40));
        const QVariantMap card = m_ctrl->getAIInsights()[1].toMap();
        QCOMPARE(card["icon"].toString(), icon);
        QCOMPARE(card["title"].toString(), QStringLiteral("المستحقات المتأخرة"));
        QCOMPARE(card["description"].toString(),
                 QStringLiteral("إجمالي المتأخرات: %1 ₪").arg(amount));
    }

    void installmentAndChequeCards()
    {
        const int b = buyer(db(), QStringLiteral("منى"));
        const int u = unit(db(), m_property, "1", "sold");
        installment(db(), b, u, 1000, day(-1), 400.4, "partial");
        installment(db(), b, u, 2000, day(-20));
        installment(db(), b, u, 2000, day(0));
        cheque(db(), "1", 1500, day(7));
        cheque(db(), "2", 500, day(-3));
        cheque(db(), "3", 500, day(8));
        const QVariantList cards = m_ctrl->getAIInsights();
        QCOMPARE(cards.size(), 4);
        QCOMPARE(cards[2].toMap()["description"].toString(),
                 QStringLiteral("2 قسط متأخر بقيمة 2,600 ₪"));
        QCOMPARE(cards[2].toMap()["icon"].toString(), QStringLiteral("⚠️"));
        QCOMPARE(cards[3].toMap()["title"].toString(), QStringLiteral("شيكات مستحقة"));
        QCOMPARE(cards[3].toMap()["description"].toString(),
                 QStringLiteral("2 شيك مستحق خلال 7 أيام بقيمة 2,000 ₪"));
    }

    void smartAnalysisFinancialParagraph_data()
    {
        QTest::addColumn<QList<double>>("payments");
        QTest::addColumn<double>("expenses");
        QTest::addColumn<QString>("paragraph");
        const QString advice = "يُنصح بمراجعة المصاريف التشغيلية لزيادة هامش الربح.\n\n";
        QTest::newRow("margin of exactly 30")
            << QList<double>{1000} << 700.0
            << "**1,000 ₪**. بهامش ربح صافي يقدر بـ **30.0%**. " + advice;
        QTest::newRow("regression: 30.000000000000004 is not above 30")
            << QList<double>{100.1, 200.1} << 210.14
            << "**300 ₪**. بهامش ربح صافي يقدر بـ **30.0%**. " + advice;
        QTest::newRow("regression: revenue in whole form, grouped")
            << QList<double>{1234567} << 0.0
            << "**1,234,567 ₪**. بهامش ربح صافي يقدر بـ **100.0%**. هذا المؤشر ممتاز ويدل على "
               "كفاءة تشغيلية عالية.\n\n";
        QTest::newRow("no revenue, only expenses")
            << QList<double>{} << 500.0
            << "⚠️ لا توجد بيانات مالية كافية لتحليل "
               "الإيرادات حالياً.\n\n";
    }
    void smartAnalysisFinancialParagraph()
    {
        QFETCH(QList<double>, payments);
        QFETCH(double, expenses);
        QFETCH(QString, paragraph);
        for (double amount : payments)
            posted(db(), day(), "1100", "4100", amount);
        if (expenses > 0)
            posted(db(), day(), "5200", "1100", expenses);
        const QString text = m_ctrl->getSmartAIAnalysis()["text"].toString();
        QVERIFY2(text.startsWith("### تحليل ذكاء الأعمال (Sakanova AI)\n\n"), qPrintable(text));
        QVERIFY2(text.contains(paragraph), qPrintable(text));
        QVERIFY(!text.contains("e+"));
    }

    void smartAnalysisPortfolioAndRecommendations()
    {
        for (int i = 0; i < 10; ++i)
            unit(db(), m_property, QString::number(i), i < 7 ? "rented" : "sold");
        const int b = buyer(db(), QStringLiteral("منى"));
        installment(db(), b, 1, 1000, day(-1), 200, "partial");
        installment(db(), b, 1, 1000, day(-9));
        installment(db(), b, 1, 1000, day(0));
        cheque(db(), "1", 100, day(7));

        const QVariantMap analysis = m_ctrl->getSmartAIAnalysis();
        // Rented of the units not sold: 7 of 7; the analysis and the card agree.
        QCOMPARE(analysis["occupancy"].toDouble(), 100.0);
        const QString text = analysis["text"].toString();
        QVERIFY(text.contains("نسبة الإشغال الحالية هي **100.0%**. المحفظة في حالة صحية "
                              "جيدة جداً من حيث الإشغال.\n\n"));
        QVERIFY2(text.endsWith("💡 **توصيات ذكية:**\n- هناك **2** دفعات متأخرة بقيمة **1,800 ₪**. "
                               "يُفضل التواصل مع العملاء لتحصيلها لضمان تدفق نقدي مستقر.\n- "
                               "تنبيه: يوجد **1** شيكات تستحق خلال الأسبوع القادم. تأكد من توفر "
                               "السيولة أو متابعة التحصيل.\n"),
                 qPrintable(text));
        QVERIFY(m_ctrl->getAIInsights()[0].toMap()["description"].toString().startsWith(
            "نسبة الإشغال 100% (7/7 وحدة)"));
    }

    void smartAnalysisWithNothingRecorded()
    {
        const QVariantMap analysis = m_ctrl->getSmartAIAnalysis();
        QCOMPARE(analysis["occupancy"].toDouble(), 0.0);
        QVERIFY(analysis["text"].toString().endsWith(
            "**0.0%**. هناك مساحة كبيرة للنمو، يُنصح بتكثيف النشاط التسويقي للوحدات "
            "المتاحة.\n\n💡 **توصيات ذكية:**\n"));
    }

private:
    Database* db() const { return m_t->db(); }

    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<ReportController> m_ctrl;
    int m_property = 0;
};

QTEST_MAIN(TestReportController)
#include "tst_reportcontroller.moc"
