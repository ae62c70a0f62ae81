// A cheque's whole life against the stored rows and the ledger: received
// with a sale or a tenant payment, cashed, bounced, replaced.
#include "LedgerOffice.h"

#include "../finance/SalesFixture.h"

#include "core/Reasons.h"
#include "finance/ContractorModel.h"
#include "finance/LedgerReports.h"
#include "insight/NotificationController.h"

#include <QtTest>

using namespace LedgerOffice;

namespace {

// What the reconciliation finds, one line per finding; empty when clean.
QString findings(TestDatabase& t)
{
    QStringList out;
    for (const QVariant& f : LedgerReports(t.db()).reconcile()) {
        const QVariantMap m = f.toMap();
        out << m.value("check").toString() + ": " + m.value("ledger").toString() + " / " +
                   m.value("records").toString();
    }
    return out.join('\n');
}

int chequeByNumber(TestDatabase& t, const QString& number)
{
    return t.value("SELECT id FROM cheques WHERE cheque_number=?", {number}).toInt();
}

int alertsOfType(NotificationController& n, const QString& type)
{
    int count = 0;
    for (const QVariant& a : n.getActiveAlerts())
        count += a.toMap().value("type").toString() == type;
    return count;
}

} // namespace

class TestChequeFlow : public QObject
{
    Q_OBJECT

    // Twelve post-dated cheques 5001-5012 of 7,500 after a down payment.
    static void sellWithCheques(Office& o)
    {
        QCOMPARE(o.installments.sellUnit(o.buyer, o.saleUnit, 100000, 10000, 12, "2026-01-15", 1,
                                         "5001", "بنك فلسطين"),
                 1);
    }

private slots:
    void saleWritesOneRegisterRowPerInstalment()
    {
        Office o;
        sellWithCheques(o);
        const QVariantList rows = o.t.db()->execQuery(
            "SELECT c.cheque_number, c.bank_name, c.due_date, c.amount, c.status, c.type, "
            "c.payer_name, c.buyer_id, i.due_date AS inst_due, i.status AS inst_status, "
            "p.payment_method, p.amount AS paid FROM cheques c JOIN installments i ON "
            "i.id=c.installment_id JOIN payments p ON p.id=c.payment_id ORDER BY c.id");
        QCOMPARE(rows.size(), 12);
        for (int n = 0; n < 12; ++n) {
            const QVariantMap r = rows[n].toMap();
            QCOMPARE(r["cheque_number"].toString(), QString::number(5001 + n));
            QCOMPARE(r["bank_name"].toString(), QStringLiteral("بنك فلسطين"));
            QCOMPARE(r["due_date"].toString(), r["inst_due"].toString());
            QCOMPARE(r["amount"].toDouble(), 7500.0);
            QCOMPARE(r["paid"].toDouble(), 7500.0);
            QCOMPARE(r["status"].toString(), QStringLiteral("pending"));
            QCOMPARE(r["type"].toString(), QStringLiteral("received"));
            QCOMPARE(r["payer_name"].toString(), QStringLiteral("مازن الخطيب"));
            QCOMPARE(r["buyer_id"].toInt(), o.buyer);
            QCOMPARE(r["inst_status"].toString(), QStringLiteral("paid"));
            QCOMPARE(r["payment_method"].toString(), QStringLiteral("cheque"));
        }
        QCOMPARE(rows[1].toMap()["due_date"].toString(), QStringLiteral("2026-02-15"));
        // The cheques hold the whole remainder under collection; the buyer
        // owes nothing in the meantime.
        QCOMPARE(o.balance("1300"), 90000.0);
        QCOMPARE(o.balance("1200"), 0.0);
        QCOMPARE(o.t.value("SELECT balance FROM buyers WHERE id=?", {o.buyer}).toDouble(), 0.0);
        QCOMPARE(findings(o.t), QString());
    }

    void saleWithoutChequesWritesNoRegisterRow()
    {
        Office o;
        QCOMPARE(o.installments.sellUnit(o.buyer, o.saleUnit, 30000, 0, 3, "2026-01-15", 1), 1);
        QCOMPARE(o.t.count("cheques"), 0);
        QCOMPARE(o.t.value("SELECT balance FROM buyers WHERE id=?", {o.buyer}).toDouble(), 30000.0);
        QCOMPARE(findings(o.t), QString());
    }

    void clearingSettlesTheCheque()
    {
        Office o;
        sellWithCheques(o);
        const int cheque = chequeByNumber(o.t, "5002");
        const QMap<QString, double> before = o.balances();
        QVERIFY2(o.cheques.clear(cheque), qPrintable(o.cheques.lastError()));
        QCOMPARE(o.t.value("SELECT status FROM cheques WHERE id=?", {cheque}).toString(),
                 QStringLiteral("paid"));
        QCOMPARE(moves(before, o.balances()), QStringLiteral("1100:+7500.00 1300:-7500.00"));
        QCOMPARE(o.t.value("SELECT i.status FROM installments i JOIN cheques c ON "
                           "c.installment_id=i.id WHERE c.id=?",
                           {cheque})
                     .toString(),
                 QStringLiteral("paid"));
        QCOMPARE(findings(o.t), QString());
        // Cashed once: the second action is refused and posts nothing.
        const int entries = o.t.count("journal_entries");
        QVERIFY(!o.cheques.clear(cheque));
        QCOMPARE(o.cheques.lastError(), Reasons::chequeNotPending());
        QVERIFY(!o.cheques.bounce(cheque));
        QCOMPARE(o.t.count("journal_entries"), entries);
    }

    void bouncingReopensTheInstalment()
    {
        Office o;
        sellWithCheques(o);
        NotificationController alerts(o.t.db());
        const int cheque = chequeByNumber(o.t, "5002");
        const int instalment =
            o.t.value("SELECT installment_id FROM cheques WHERE id=?", {cheque}).toInt();
        const QMap<QString, double> before = o.balances();
        QVERIFY2(o.cheques.bounce(cheque), qPrintable(o.cheques.lastError()));

        QCOMPARE(SalesFixture::row(o.t, "SELECT paid_amount, status FROM installments WHERE id=?",
                                   {instalment}),
                 QStringLiteral("0.00|pending"));
        QCOMPARE(o.t.value("SELECT balance FROM buyers WHERE id=?", {o.buyer}).toDouble(), 7500.0);
        QCOMPARE(moves(before, o.balances()), QStringLiteral("1200:+7500.00 1300:-7500.00"));
        QCOMPARE(o.cheques.payerBounces(cheque), 1);
        QCOMPARE(alertsOfType(alerts, "cheque_bounced"), 1);
        QCOMPARE(findings(o.t), QString());
    }

    void bouncingReopensTheTenantInvoice()
    {
        Office o;
        const int invoice = o.openInvoice(1000);
        const int payment = o.payments.addCheque(invoice, o.tenant, 1000, "2026-03-01", "77120",
                                                 "البنك العربي", "2026-04-01", 1);
        QVERIFY2(payment > 0, qPrintable(o.payments.lastError()));
        QCOMPARE(SalesFixture::row(o.t,
                                   "SELECT status, balance, paid_amount FROM invoices WHERE "
                                   "id=?",
                                   {invoice}),
                 QStringLiteral("paid|0.00|1000.00"));
        QCOMPARE(SalesFixture::row(o.t, "SELECT cheque_number, bank_name, due_date, amount, "
                                        "tenant_id, payment_id, payer_name FROM cheques"),
                 QStringLiteral("77120|البنك العربي|2026-04-01|1000.00|%1|%2|سارة خليل")
                     .arg(o.tenant)
                     .arg(payment));
        QCOMPARE(o.balance("1300"), 1000.0);
        const double tenantBefore =
            o.t.value("SELECT balance FROM tenants WHERE id=?", {o.tenant}).toDouble();
        QCOMPARE(findings(o.t), QString());

        QVERIFY2(o.cheques.bounce(chequeByNumber(o.t, "77120")), qPrintable(o.cheques.lastError()));
        QCOMPARE(SalesFixture::row(o.t,
                                   "SELECT status, balance, paid_amount FROM invoices WHERE "
                                   "id=?",
                                   {invoice}),
                 QStringLiteral("pending|1000.00|0.00"));
        QCOMPARE(o.t.value("SELECT balance FROM tenants WHERE id=?", {o.tenant}).toDouble(),
                 tenantBefore + 1000);
        QCOMPARE(o.balance("1300"), 0.0);
        QCOMPARE(findings(o.t), QString());
    }

    // A dinar keeps three decimals: a bounce used to round the invoice and
    // the tenant to cents (10.001 came back as 10.00) and, with four mills
    // still paid, called the invoice pending; replacing then left it open.
    void regressionDinarChequeBounceKeepsItsMills()
    {
        Office o;
        const int jod = o.t.value("SELECT id FROM currencies WHERE code='JOD'").toInt();
        QVERIFY(jod > 0);
        const int invoice =
            o.invoices.createInvoice(o.tenant, o.unit, QStringLiteral("2026-03"),
                                     {item(QStringLiteral("إيجار آذار"), 10.005, "rent")}, jod);
        QVERIFY2(invoice > 0, qPrintable(o.invoices.lastError()));
        QVERIFY2(o.payments.add(invoice, o.tenant, 0.004, "cash", "2026-03-01", "", jod) > 0,
                 qPrintable(o.payments.lastError()));
        QVERIFY2(o.payments.addCheque(invoice, o.tenant, 10.001, "2026-03-02", "3301",
                                      "بنك الإسكان", "2026-04-02", jod) > 0,
                 qPrintable(o.payments.lastError()));
        const auto invoiceRow = [&] {
            const QVariantMap row = o.t.db()->getById(QStringLiteral("invoices"), invoice);
            return QStringLiteral("%1|%2|%3")
                .arg(row.value("status").toString())
                .arg(row.value("balance").toDouble(), 0, 'f', 3)
                .arg(row.value("paid_amount").toDouble(), 0, 'f', 3);
        };
        QCOMPARE(invoiceRow(), QStringLiteral("paid|0.000|10.005"));
        const double tenantBefore =
            o.t.value("SELECT balance FROM tenants WHERE id=?", {o.tenant}).toDouble();

        const int cheque = chequeByNumber(o.t, "3301");
        QVERIFY2(o.cheques.bounce(cheque), qPrintable(o.cheques.lastError()));
        QCOMPARE(invoiceRow(), QStringLiteral("partial|10.001|0.004"));
        QCOMPARE(o.t.value("SELECT balance FROM tenants WHERE id=?", {o.tenant}).toDouble(),
                 tenantBefore + 10.001);

        // Taking the bounce back settles it to the mill again.
        QVERIFY2(o.cheques.updateStatus(cheque, "pending"), qPrintable(o.cheques.lastError()));
        QCOMPARE(invoiceRow(), QStringLiteral("paid|0.000|10.005"));
        QCOMPARE(o.t.value("SELECT balance FROM tenants WHERE id=?", {o.tenant}).toDouble(),
                 tenantBefore);
    }

    void partlyPaidInvoiceBouncesBackToPartial()
    {
        Office o;
        const int invoice = o.openInvoice(1000);
        QVERIFY(o.payments.add(invoice, o.tenant, 300, "cash", "2026-03-01", "إيصال 4", 1) > 0);
        QVERIFY(o.payments.addCheque(invoice, o.tenant, 700, "2026-03-02", "88", "بنك القدس",
                                     "2026-05-01", 1) > 0);
        QVERIFY(o.cheques.bounce(chequeByNumber(o.t, "88")));
        QCOMPARE(SalesFixture::row(o.t,
                                   "SELECT status, balance, paid_amount FROM invoices WHERE "
                                   "id=?",
                                   {invoice}),
                 QStringLiteral("partial|700.00|300.00"));
        QCOMPARE(findings(o.t), QString());
    }

    void replacingABouncedChequeSettlesAgain_data()
    {
        QTest::addColumn<bool>("instalment");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("account"); // where the replacement's money sits
        QTest::newRow("instalment, by a new cheque") << true << "cheque"
                                                     << "1300";
        QTest::newRow("instalment, in cash") << true << "cash"
                                             << "1100";
        QTest::newRow("tenant invoice, by a new cheque") << false << "cheque"
                                                         << "1300";
        QTest::newRow("tenant invoice, in cash") << false << "cash"
                                                 << "1100";
    }
    void replacingABouncedChequeSettlesAgain()
    {
        QFETCH(bool, instalment);
        QFETCH(QString, method);
        QFETCH(QString, account);
        Office o;
        NotificationController alerts(o.t.db());
        int invoice = 0;
        int bounced = 0;
        if (instalment) {
            sellWithCheques(o);
            bounced = chequeByNumber(o.t, "5003");
        } else {
            invoice = o.openInvoice(7500);
            QVERIFY(o.payments.addCheque(invoice, o.tenant, 7500, "2026-03-01", "5003",
                                         "بنك الأردن", "2026-03-20", 1) > 0);
            bounced = chequeByNumber(o.t, "5003");
        }
        QVERIFY(o.cheques.bounce(bounced));
        QCOMPARE(alertsOfType(alerts, "cheque_bounced"), 1);
        const QMap<QString, double> before = o.balances();

        const int payment = instalment
                                ? o.installments.replaceBounced(bounced, method, "6100",
                                                                "بنك القاهرة عمان", "2026-06-30")
                                : o.payments.replaceBounced(bounced, method, "2026-03-25", "6100",
                                                            "بنك القاهرة عمان", "2026-06-30");
        QVERIFY2(payment > 0,
                 qPrintable(instalment ? o.installments.lastError() : o.payments.lastError()));
        QCOMPARE(moves(before, o.balances()), account == "1100"
                                                  ? QStringLiteral("1100:+7500.00 1200:-7500.00")
                                                  : QStringLiteral("1200:-7500.00 1300:+7500.00"));
        QCOMPARE(
            o.t.value("SELECT replaced_by_payment_id FROM cheques WHERE id=?", {bounced}).toInt(),
            payment);
        // The bounced cheque keeps its status; it is no longer alerted.
        QCOMPARE(o.t.value("SELECT status FROM cheques WHERE id=?", {bounced}).toString(),
                 QStringLiteral("bounced"));
        QCOMPARE(alertsOfType(alerts, "cheque_bounced"), 0);
        const int newCheques = o.t.value("SELECT COUNT(*) FROM cheques WHERE cheque_number='6100' "
                                         "AND status='pending' AND due_date='2026-06-30'")
                                   .toInt();
        QCOMPARE(newCheques, method == "cheque" ? 1 : 0);
        if (instalment)
            QCOMPARE(o.t.value("SELECT status FROM installments WHERE id=(SELECT installment_id "
                               "FROM cheques WHERE id=?)",
                               {bounced})
                         .toString(),
                     QStringLiteral("paid"));
        else
            QCOMPARE(o.t.value("SELECT status FROM invoices WHERE id=?", {invoice}).toString(),
                     QStringLiteral("paid"));
        QCOMPARE(findings(o.t), QString());

        // Replaced once; a second replacement and a status change are refused.
        const int entries = o.t.count("journal_entries");
        QVERIFY(instalment
                    ? o.installments.replaceBounced(bounced, "cash", "", "", "") < 0
                    : o.payments.replaceBounced(bounced, "cash", "2026-03-26", "", "", "") < 0);
        QVERIFY(!o.cheques.updateStatus(bounced, "pending"));
        QCOMPARE(o.t.count("journal_entries"), entries);
    }

    void onlyABouncedChequeIsReplaced()
    {
        Office o;
        sellWithCheques(o);
        const int pending = chequeByNumber(o.t, "5004");
        QVERIFY(o.installments.replaceBounced(pending, "cash", "", "", "") < 0);
        QCOMPARE(o.installments.lastError(), Reasons::chequeNotBounced());
        QCOMPARE(o.t.count("payments"), 13);
    }

    // Taking a bounce back (a correction) settles the instalment again.
    void bounceCorrectedBackToPending()
    {
        Office o;
        sellWithCheques(o);
        const int cheque = chequeByNumber(o.t, "5005");
        const QMap<QString, double> before = o.balances();
        QVERIFY(o.cheques.bounce(cheque));
        QVERIFY(o.cheques.updateStatus(cheque, "pending"));
        QCOMPARE(moves(before, o.balances()), QString());
        QCOMPARE(o.t.value("SELECT balance FROM buyers WHERE id=?", {o.buyer}).toDouble(), 0.0);
        QCOMPARE(findings(o.t), QString());
    }

    // A contractor's bill of 450 paid by cheque 900: cashing it leaves
    // cash; the bank returning it makes the contractor owed again, and a
    // payment in cash then settles the bill.
    void issuedChequeClearsOrBouncesBackToTheContractor()
    {
        Office o;
        ContractorModel contractors(o.t.db());
        QVERIFY(o.expenses.add(o.property, o.unit, o.contractor, "صيانة", "سباكة", "تبديل خلاط",
                               450, "2026-03-01", 1) > 0);
        const int payment = contractors.pay(
            o.contractor, 450, 1, "2026-03-05", "cheque", "", "",
            {{"cheque_number", "900"}, {"bank_name", "بنك فلسطين"}, {"due_date", "2026-03-10"}});
        QVERIFY2(payment > 0, qPrintable(contractors.lastError()));
        const int cheque = chequeByNumber(o.t, "900");
        QCOMPARE(contractors.getBalances(o.contractor)[0].toMap()["balance"].toDouble(), 0.0);
        QMap<QString, double> before = o.balances();

        QVERIFY2(o.cheques.bounce(cheque), qPrintable(o.cheques.lastError()));
        QCOMPARE(moves(before, o.balances()), QStringLiteral("2100:-450.00 2200:+450.00"));
        QCOMPARE(contractors.getBalances(o.contractor)[0].toMap()["balance"].toDouble(), 450.0);
        QCOMPARE(o.t.value("SELECT balance FROM contractors WHERE id=?", {o.contractor}).toDouble(),
                 450.0);
        const QVariantList statement = contractors.getStatement(o.contractor);
        QCOMPARE(statement.size(), 3);
        QCOMPARE(statement[2].toMap()["kind"].toString(), QStringLiteral("returned"));
        QCOMPARE(statement[2].toMap()["balance"].toDouble(), 450.0);
        QCOMPARE(findings(o.t), QString());

        // Taken back (the bank's mistake): the cheque pays again.
        QVERIFY(o.cheques.updateStatus(cheque, "pending"));
        QCOMPARE(moves(before, o.balances()), QString());
        QCOMPARE(contractors.getBalances(o.contractor)[0].toMap()["balance"].toDouble(), 0.0);
        QVERIFY(o.cheques.clear(cheque));
        QCOMPARE(moves(before, o.balances()), QStringLiteral("1100:-450.00 2200:+450.00"));
        QCOMPARE(findings(o.t), QString());

        // A second cheque bounced, and the bill paid in cash instead.
        QVERIFY(o.expenses.add(o.property, o.unit, o.contractor, "صيانة", "دهان", "دهان الدرج", 300,
                               "2026-03-20", 1) > 0);
        QVERIFY(contractors.pay(o.contractor, 300, 1, "2026-03-21", "cheque", "", "",
                                {{"cheque_number", "901"}, {"due_date", "2026-03-30"}}) > 0);
        QVERIFY(o.cheques.bounce(chequeByNumber(o.t, "901")));
        QVERIFY2(contractors.pay(o.contractor, 300, 1, "2026-04-02", "cash", "إيصال 9", "") > 0,
                 qPrintable(contractors.lastError()));
        QCOMPARE(contractors.getBalances(o.contractor)[0].toMap()["balance"].toDouble(), 0.0);
        QCOMPARE(findings(o.t), QString());
        // Taking that bounce back now would pay the bill twice.
        const int entries = o.t.count("journal_entries");
        QVERIFY(!o.cheques.updateStatus(chequeByNumber(o.t, "901"), "pending"));
        QCOMPARE(o.cheques.lastError(), Reasons::amountAboveBalance());
        QCOMPARE(o.t.count("journal_entries"), entries);
        QCOMPARE(o.t.value("SELECT status FROM cheques WHERE cheque_number='901'").toString(),
                 QStringLiteral("bounced"));
    }

    // A cheque typed into the register without what it pays (a tenant's
    // guarantee cheque) moves no money: no status posts an entry, and the
    // reconciliation stays clean.
    void chequeWithoutALinkStaysOutOfTheBooks_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("status");
        QTest::newRow("received, cashed") << "received"
                                          << "paid";
        QTest::newRow("received, returned") << "received"
                                            << "bounced";
        QTest::newRow("issued, cashed") << "issued"
                                        << "paid";
        QTest::newRow("issued, returned") << "issued"
                                          << "bounced";
    }
    void chequeWithoutALinkStaysOutOfTheBooks()
    {
        QFETCH(QString, type);
        QFETCH(QString, status);
        Office o;
        const int cheque =
            o.cheques.add("3310", type, 2000, "بنك الإسكان", "2026-05-01", "سارة خليل", 1, 1.0);
        QVERIFY(cheque > 0);
        QCOMPARE(findings(o.t), QString());
        QVERIFY2(status == "paid" ? o.cheques.clear(cheque) : o.cheques.bounce(cheque),
                 qPrintable(o.cheques.lastError()));
        QCOMPARE(o.t.count("journal_entries"), 0);
        QCOMPARE(o.t.value("SELECT status FROM cheques WHERE id=?", {cheque}).toString(), status);
        QVERIFY(o.cheques.updateStatus(cheque, "pending"));
        QCOMPARE(o.t.count("journal_entries"), 0);
        QCOMPARE(findings(o.t), QString());
    }

    void receivedAndIssuedTotalsStayApart()
    {
        Office o;
        QVERIFY(o.cheques.add("1", "received", 1000, "ب", "2026-03-10", "أ", 1, 1.0) > 0);
        QVERIFY(o.cheques.add("2", "received", 250, "ب", "2026-03-11", "أ", 2, 1.0) > 0);
        QVERIFY(o.cheques.add("3", "issued", 30000, "ب", "2026-03-12", "ج", 1, 1.0) > 0);
        const QVariantMap received = o.cheques.getTotals("received", "pending");
        QCOMPARE(received["count"].toInt(), 2);
        const QVariantList sums = received["sums"].toList();
        QCOMPARE(sums.size(), 2);
        QCOMPARE(sums[0].toMap()["total"].toDouble(), 1000.0);
        QCOMPARE(sums[1].toMap()["currency_id"].toInt(), 2);
        const QVariantMap issued = o.cheques.getTotals("issued", "pending");
        QCOMPARE(issued["count"].toInt(), 1);
        QCOMPARE(issued["sums"].toList()[0].toMap()["total"].toDouble(), 30000.0);
    }

    // The page's boxes in one read: each type and status apart, currencies
    // in the order of their earliest due date (not of their ids), a cheque
    // without a currency under 0, and a dinar sum kept to the mill (it was
    // rounded to cents).
    void registerTotalsInOneRead()
    {
        Office o;
        const int jod = o.t.value("SELECT id FROM currencies WHERE code='JOD'").toInt();
        QVERIFY(o.cheques.add("1", "received", 100.125, "ب", "2026-03-10", "أ", jod, 1.0) > 0);
        QVERIFY(o.cheques.add("2", "received", 200.25, "ب", "2026-03-11", "أ", jod, 1.0) > 0);
        QVERIFY(o.cheques.add("3", "received", 50, "ب", "2026-03-01", "أ", 1, 1.0) > 0);
        QVERIFY(o.cheques.add("4", "issued", 70, "ب", "2026-03-05", "ج", 1, 1.0) > 0);
        QVERIFY(o.cheques.add("5", "received", 30, "ب", "2026-02-01", "أ", 1, 1.0) > 0);
        // Dollars due first, though their currency's id is not the lowest.
        QVERIFY(o.cheques.add("6", "received", 12.5, "ب", "2026-02-20", "أ", 2, 3.6) > 0);
        QVERIFY(
            o.t.db()->execNonQuery("UPDATE cheques SET currency_id=NULL WHERE cheque_number='3'"));
        QVERIFY(o.cheques.bounce(chequeByNumber(o.t, "5")));

        const QVariantMap all = o.cheques.getRegisterTotals();
        const auto line = [&](const QString& type, const QString& status) {
            const QVariantMap totals = all.value(type).toMap().value(status).toMap();
            QStringList sums;
            for (const QVariant& sum : totals.value("sums").toList())
                sums << QStringLiteral("%1:%2")
                            .arg(sum.toMap().value("currency_id").toInt())
                            .arg(sum.toMap().value("total").toDouble(), 0, 'f', 3);
            return totals.value("count").toString() + " " + sums.join(' ');
        };
        QCOMPARE(line("received", "pending"),
                 QStringLiteral("4 2:12.500 0:50.000 %1:300.375").arg(jod));
        QCOMPARE(line("received", "bounced"), QStringLiteral("1 1:30.000"));
        QCOMPARE(line("issued", "pending"), QStringLiteral("1 1:70.000"));
        QCOMPARE(line("issued", "paid"), QStringLiteral("0 "));
        // Each box says the same as asking for it alone.
        QCOMPARE(o.cheques.getTotals("received", "pending"),
                 all.value("received").toMap().value("pending").toMap());
    }

    // Files from before: instalments that carry cheque numbers gain their
    // register rows at the first start, and only then.
    void listedSaleChequesJoinTheRegisterOnce()
    {
        Office o;
        Database* db = o.t.db();
        QCOMPARE(o.installments.sellUnit(o.buyer, o.saleUnit, 30000, 0, 3, "2026-01-10", 1), 1);
        const QVariantList ids = db->execQuery("SELECT id FROM installments ORDER BY id");
        const int first = ids[0].toMap()["id"].toInt();
        const int second = ids[1].toMap()["id"].toInt();
        // The first was collected in cash long ago; the other two still wait.
        QVERIFY(o.installments.payInstallment(first, 10000));
        QVERIFY(db->execNonQuery("UPDATE installments SET cheque_number=CAST(700+id AS TEXT), "
                                 "bank_name='بنك الإسكان' WHERE id IN (?,?)",
                                 {first, second}));
        QVERIFY(db->execNonQuery("DELETE FROM settings WHERE key='sale_cheques_registered'"));
        const QMap<QString, double> before = o.balances();

        QCOMPARE(o.installments.registerListedCheques(), 2);
        QCOMPARE(SalesFixture::row(o.t,
                                   "SELECT status, amount, bank_name FROM cheques WHERE "
                                   "installment_id=?",
                                   {first}),
                 QStringLiteral("paid|10000.00|بنك الإسكان"));
        QCOMPARE(
            SalesFixture::row(o.t,
                              "SELECT c.status, c.amount, CASE WHEN c.due_date=i.due_date THEN 1 "
                              "ELSE 0 END, "
                              "i.status FROM cheques c JOIN installments i ON "
                              "i.id=c.installment_id WHERE i.id=?",
                              {second}),
            QStringLiteral("pending|10000.00|1|paid"));
        QCOMPARE(moves(before, o.balances()), QStringLiteral("1200:-10000.00 1300:+10000.00"));
        QCOMPARE(findings(o.t), QString());

        // The second start writes nothing.
        const int entries = o.t.count("journal_entries");
        QCOMPARE(o.installments.registerListedCheques(), 0);
        QCOMPARE(o.t.count("cheques"), 2);
        QCOMPARE(o.t.count("journal_entries"), entries);

        // The cashed row bounced later still balances: money leaves cash.
        const int cashed =
            o.t.value("SELECT id FROM cheques WHERE installment_id=?", {first}).toInt();
        const QMap<QString, double> beforeBounce = o.balances();
        QVERIFY(o.cheques.updateStatus(cashed, "bounced"));
        QCOMPARE(moves(beforeBounce, o.balances()),
                 QStringLiteral("1100:-10000.00 1200:+10000.00"));
        QCOMPARE(findings(o.t), QString());
    }

    // The typed cheques are read once for the whole back-fill: one typed
    // cheque is still taken over by one payment only, the first.
    void regressionOneTypedChequeJoinsOnePaymentOnly()
    {
        Office o;
        Database* db = o.t.db();
        const int first = o.openInvoice(500);
        const int second = o.invoices.createInvoice(o.tenant, o.unit, "2026-04",
                                                    {item("إيجار نيسان", 500, "rent")}, 1);
        const int paidFirst = o.payments.addCheque(first, o.tenant, 500, "2026-03-02", "7700",
                                                   "بنك القدس", "2026-03-30", 1);
        const int paidSecond = o.payments.addCheque(second, o.tenant, 500, "2026-04-02", "7700",
                                                    "بنك القدس", "2026-04-30", 1);
        QVERIFY(paidFirst > 0 && paidSecond > 0);
        QVERIFY(db->execNonQuery("DELETE FROM cheques"));
        const int typed =
            o.cheques.add("7700", "received", 500, "بنك القدس", "2026-03-30", "سارة", 1, 1.0);
        QVERIFY(typed > 0);

        QCOMPARE(o.cheques.registerPaymentCheques(), 2);
        QCOMPARE(o.t.value("SELECT payment_id FROM cheques WHERE id=?", {typed}).toInt(),
                 paidFirst);
        QCOMPARE(o.t.count("cheques"), 2);
        QCOMPARE(o.t.value("SELECT COUNT(*) FROM cheques WHERE payment_id=?", {paidSecond}).toInt(),
                 1);
        QCOMPARE(findings(o.t), QString());
    }

    // Tenant payments by cheque from older versions had no register row:
    // at the first start each gains one, or takes over the same cheque a
    // clerk had typed in by hand; the second start writes nothing.
    void olderTenantChequePaymentsJoinTheRegisterOnce()
    {
        Office o;
        Database* db = o.t.db();
        const int first = o.openInvoice(1000);
        const int second = o.invoices.createInvoice(o.tenant, o.unit, "2026-04",
                                                    {item("إيجار نيسان", 800, "rent")}, 1);
        const int paidFirst = o.payments.addCheque(first, o.tenant, 1000, "2026-03-02", "4401",
                                                   "بنك فلسطين", "2026-03-30", 1);
        const int paidSecond = o.payments.addCheque(second, o.tenant, 800, "2026-04-02", "4402",
                                                    "بنك فلسطين", "2026-04-30", 1);
        QVERIFY(paidFirst > 0 && paidSecond > 0);
        // As an older version left it: no register rows; cheque 4402 typed
        // into the register by hand and cashed there.
        QVERIFY(db->execNonQuery("DELETE FROM cheques"));
        const int typed =
            o.cheques.add(" 4402", "received", 800, "بنك فلسطين", "2026-04-30", "سارة", 1, 1.0);
        QVERIFY(o.cheques.clear(typed));
        QVERIFY(!findings(o.t).isEmpty());
        const QMap<QString, double> before = o.balances();

        QCOMPARE(o.cheques.registerPaymentCheques(), 2);
        QCOMPARE(SalesFixture::row(o.t,
                                   "SELECT cheque_number, status, amount, due_date, tenant_id, "
                                   "payer_name FROM cheques WHERE payment_id=?",
                                   {paidFirst}),
                 QStringLiteral("4401|pending|1000.00|2026-03-02|%1|سارة خليل").arg(o.tenant));
        QCOMPARE(o.t.value("SELECT id FROM cheques WHERE payment_id=?", {paidSecond}).toInt(),
                 typed);
        QCOMPARE(o.t.count("cheques"), 2);
        QCOMPARE(moves(before, o.balances()), QStringLiteral("1100:+800.00 1300:-800.00"));
        QCOMPARE(findings(o.t), QString());

        const int entries = o.t.count("journal_entries");
        QCOMPARE(o.cheques.registerPaymentCheques(), 0);
        QCOMPARE(o.t.count("cheques"), 2);
        QCOMPARE(o.t.count("journal_entries"), entries);

        // The row now acts on its invoice like any other.
        QVERIFY(o.cheques.bounce(
            o.t.value("SELECT id FROM cheques WHERE payment_id=?", {paidFirst}).toInt()));
        QCOMPARE(o.t.value("SELECT status FROM invoices WHERE id=?", {first}).toString(),
                 QStringLiteral("pending"));
        QCOMPARE(findings(o.t), QString());
    }
};

QTEST_GUILESS_MAIN(TestChequeFlow)
#include "tst_chequeflow.moc"
