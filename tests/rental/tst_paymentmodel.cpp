#include "RentalRows.h"
#include "TestDatabase.h"

#include "rental/PaymentModel.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <limits>

class TestPaymentModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_model = std::make_unique<PaymentModel>(db());
        const int property = RentalRows::property(db(), QStringLiteral("عمارة الزيتون"));
        m_unit = RentalRows::unit(db(), property, QStringLiteral("3B"));
        m_tenant = RentalRows::tenant(db(), QStringLiteral("سارة خليل"));
        // An invoice of 500, already raising the tenant's balance.
        m_invoice = db()->execInsert(
            "INSERT INTO invoices (invoice_number, tenant_id, unit_id, period, total_amount, "
            "balance, status, currency_id) VALUES ('INV-202405-0001', ?, ?, '2024-05', 500, 500, "
            "'pending', 1)",
            {m_tenant, m_unit});
        QVERIFY(db()->execNonQuery("UPDATE tenants SET balance=500 WHERE id=?", {m_tenant}));
        QVERIFY(m_unit > 0 && m_tenant > 0 && m_invoice > 0);
    }
    void cleanup()
    {
        m_model.reset();
        m_fixture.reset();
    }

    void partialThenPaidThenRefused()
    {
        QSignalSpy changed(m_model.get(), &PaymentModel::dataChanged);

        const int first = pay(200);
        QVERIFY(first > 0);
        QCOMPARE(invoiceState(), QStringLiteral("partial 200 300"));
        QCOMPARE(tenantBalance(), 300.0);

        // Exactly the open balance is accepted and settles the invoice.
        QVERIFY(pay(300) > first);
        QCOMPARE(invoiceState(), QStringLiteral("paid 500 0"));
        QCOMPARE(tenantBalance(), 0.0);

        QCOMPARE(pay(1), -1);
        QCOMPARE(invoiceState(), QStringLiteral("paid 500 0"));
        QCOMPARE(tenantBalance(), 0.0);
        QCOMPARE(changed.count(), 2);

        const QVariantMap stored = db()->getById(QStringLiteral("payments"), first);
        QCOMPARE(stored.value("invoice_id").toInt(), m_invoice);
        QCOMPARE(stored.value("tenant_id").toInt(), m_tenant);
        QCOMPARE(stored.value("amount").toDouble(), 200.0);
        QCOMPARE(stored.value("payment_method").toString(), QStringLiteral("bank"));
        QCOMPARE(stored.value("payment_date").toString(), QStringLiteral("2024-05-03"));
        QCOMPARE(stored.value("reference").toString(), QStringLiteral("حوالة 7781"));
        QCOMPARE(stored.value("currency_id").toInt(), 1);
        QVERIFY(stored.value("buyer_id").isNull());
        QVERIFY(stored.value("unit_id").isNull());
    }

    // 1234.56 - 66.67 is 1167.8899999999999 in binary: paying the open
    // balance as shown must be accepted and must settle the invoice.
    void exactBalanceSettlesDespiteBinaryNoise()
    {
        QVERIFY(db()->execNonQuery("UPDATE invoices SET total_amount=1234.56, balance=1234.56 "
                                   "WHERE id=?",
                                   {m_invoice}));
        QVERIFY(db()->execNonQuery("UPDATE tenants SET balance=1234.56 WHERE id=?", {m_tenant}));
        QVERIFY(pay(66.67) > 0);
        QVERIFY(pay(1167.89) > 0);
        QCOMPARE(m_fixture->value("SELECT status FROM invoices WHERE id=?", {m_invoice}).toString(),
                 QStringLiteral("paid"));
        QCOMPARE(
            m_fixture->value("SELECT balance FROM invoices WHERE id=?", {m_invoice}).toDouble(),
            0.0);
        QCOMPARE(
            m_fixture->value("SELECT paid_amount FROM invoices WHERE id=?", {m_invoice}).toDouble(),
            1234.56);
        QCOMPARE(tenantBalance(), 0.0);
        QCOMPARE(pay(0.01), -1);
    }

    void refusedPaymentWritesNothing_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("invoiceStatus");
        QTest::addColumn<bool>("otherTenant");
        QTest::newRow("above the open balance") << 600.0 << "pending" << false;
        QTest::newRow("zero") << 0.0 << "pending" << false;
        QTest::newRow("negative") << -50.0 << "pending" << false;
        QTest::newRow("not a number")
            << std::numeric_limits<double>::quiet_NaN() << "pending" << false;
        QTest::newRow("void invoice") << 100.0 << "void" << false;
        QTest::newRow("tenant is not the invoice's") << 100.0 << "pending" << true;
    }

    void refusedPaymentWritesNothing()
    {
        QFETCH(double, amount);
        QFETCH(QString, invoiceStatus);
        QFETCH(bool, otherTenant);
        QVERIFY(db()->execNonQuery("UPDATE invoices SET status=? WHERE id=?",
                                   {invoiceStatus, m_invoice}));
        const int tenant =
            otherTenant ? RentalRows::tenant(db(), QStringLiteral("محمود عودة")) : m_tenant;
        const QString before = invoiceState();
        QSignalSpy changed(m_model.get(), &PaymentModel::dataChanged);

        QCOMPARE(m_model->add(m_invoice, tenant, amount, QStringLiteral("cash"),
                              QStringLiteral("2024-05-03"), QString(), 1),
                 -1);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_fixture->count("payments"), 0);
        QCOMPARE(invoiceState(), before);
        QCOMPARE(tenantBalance(), 500.0);
        QCOMPARE(m_fixture->value("SELECT balance FROM tenants WHERE id=?", {tenant}).toDouble(),
                 otherTenant ? 0.0 : 500.0);
    }

    void paymentWithoutInvoiceStoresNull()
    {
        QSignalSpy changed(m_model.get(), &PaymentModel::dataChanged);
        const int id = m_model->add(0, m_tenant, 120, QStringLiteral("cash"),
                                    QStringLiteral("2024-05-04"), QStringLiteral("إيصال 12"), 1);
        QVERIFY(id > 0);
        QCOMPARE(changed.count(), 1);
        QVERIFY(db()->getById(QStringLiteral("payments"), id).value("invoice_id").isNull());
        QCOMPARE(invoiceState(), QStringLiteral("pending 0 500"));
        QCOMPARE(tenantBalance(), 500.0);
    }

    void unknownInvoiceIsRefused()
    {
        QVERIFY(m_model->add(9999, m_tenant, 10, QStringLiteral("cash"),
                             QStringLiteral("2024-05-04"), QString(), 1) < 1);
        QCOMPARE(m_fixture->count("payments"), 0);
        QCOMPARE(db()->transactionDepth(), 0);
    }

    void failedUpdateRollsBackPayment_data()
    {
        QTest::addColumn<QString>("table");
        QTest::newRow("invoice update fails") << "invoices";
        QTest::newRow("tenant balance update fails") << "tenants";
    }

    void failedUpdateRollsBackPayment()
    {
        QFETCH(QString, table);
        QVERIFY(RentalRows::failOn(db(), "UPDATE", table));
        QSignalSpy changed(m_model.get(), &PaymentModel::dataChanged);

        QVERIFY(pay(200) < 1);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_fixture->count("payments"), 0);
        QCOMPARE(invoiceState(), QStringLiteral("pending 0 500"));
        QCOMPARE(tenantBalance(), 500.0);
        QCOMPARE(db()->transactionDepth(), 0);
    }

    void listsShowTenantAndBuyerPayments()
    {
        QVERIFY(pay(100) > 0);
        // A buyer payment carries its own unit, in another property.
        const int otherProperty = RentalRows::property(db(), QStringLiteral("مشروع الريحان"));
        const int soldUnit = RentalRows::unit(db(), otherProperty, QStringLiteral("V7"));
        const int buyer = db()->execInsert("INSERT INTO buyers (full_name) VALUES (?)",
                                           {QStringLiteral("خالد منصور")});
        QVERIFY(db()->execInsert("INSERT INTO payments (buyer_id, unit_id, amount, payment_date) "
                                 "VALUES (?, ?, 20000, '2024-06-01')",
                                 {buyer, soldUnit}) > 0);

        const QVariantList all = m_model->getAll();
        QCOMPARE(all.size(), 2);
        const QVariantMap buyerRow = all.at(0).toMap(); // latest payment date first
        QCOMPARE(buyerRow.value("buyer_name").toString(), QStringLiteral("خالد منصور"));
        QCOMPARE(buyerRow.value("unit_number").toString(), QStringLiteral("V7"));
        QCOMPARE(buyerRow.value("property_name").toString(), QStringLiteral("مشروع الريحان"));
        QVERIFY(buyerRow.value("tenant_name").isNull());
        const QVariantMap tenantRow = all.at(1).toMap();
        QCOMPARE(tenantRow.value("tenant_name").toString(), QStringLiteral("سارة خليل"));
        QCOMPARE(tenantRow.value("invoice_number").toString(), QStringLiteral("INV-202405-0001"));
        QCOMPARE(tenantRow.value("unit_number").toString(), QStringLiteral("3B"));
        QCOMPARE(tenantRow.value("property_name").toString(), QStringLiteral("عمارة الزيتون"));

        QCOMPARE(m_model->getByTenant(m_tenant).size(), 1);
        QCOMPARE(m_model->getRecent(1).first().toMap().value("buyer_name").toString(),
                 QStringLiteral("خالد منصور"));
    }

    void recentIsLimited()
    {
        for (int day = 1; day <= 12; ++day)
            QVERIFY(m_model->add(0, m_tenant, 10, QStringLiteral("cash"),
                                 QStringLiteral("2024-07-%1").arg(day, 2, 10, QLatin1Char('0')),
                                 QString(), 1) > 0);
        QCOMPARE(m_model->getRecent().size(), 10);
        const QVariantList three = m_model->getRecent(3);
        QCOMPARE(three.size(), 3);
        QCOMPARE(three.first().toMap().value("payment_date").toString(),
                 QStringLiteral("2024-07-12"));
        QCOMPARE(three.last().toMap().value("payment_date").toString(),
                 QStringLiteral("2024-07-10"));
        QCOMPARE(m_model->getByTenant(m_tenant).size(), 12);
    }

    // The recent payments are picked before their names are looked up; they
    // must be what the whole list shows first, row for row, the later
    // entered first within a day.
    void recentAreTheFirstOfTheWholeList()
    {
        QVERIFY(pay(100) > 0);
        const int otherProperty = RentalRows::property(db(), QStringLiteral("مشروع الريحان"));
        const int soldUnit = RentalRows::unit(db(), otherProperty, QStringLiteral("V7"));
        const int buyer = db()->execInsert("INSERT INTO buyers (full_name) VALUES (?)",
                                           {QStringLiteral("خالد منصور")});
        for (const char* date : {"2024-06-01", "2024-06-01", "2024-05-20", "2024-06-02"})
            QVERIFY(db()->execInsert("INSERT INTO payments (buyer_id, unit_id, amount, "
                                     "payment_date) VALUES (?, ?, 20000, ?)",
                                     {buyer, soldUnit, QLatin1String(date)}) > 0);
        QVERIFY(m_model->add(0, m_tenant, 75, QStringLiteral("cash"), QStringLiteral("2024-06-01"),
                             QStringLiteral("إيصال 12"), 1) > 0);

        QVariantList all = m_model->getAll();
        QCOMPARE(all.size(), 6);
        std::stable_sort(all.begin(), all.end(), [](const QVariant& a, const QVariant& b) {
            const QVariantMap x = a.toMap();
            const QVariantMap y = b.toMap();
            const QString dx = x.value("payment_date").toString();
            const QString dy = y.value("payment_date").toString();
            return dx != dy ? dx > dy : x.value("id").toInt() > y.value("id").toInt();
        });
        for (int limit : {1, 2, 4, 6, 10}) {
            const QVariantList recent = m_model->getRecent(limit);
            QCOMPARE(recent.size(), qMin(limit, 6));
            for (int row = 0; row < recent.size(); ++row) {
                const QVariantMap got = recent.at(row).toMap();
                const QVariantMap whole = all.at(row).toMap();
                for (auto it = got.cbegin(); it != got.cend(); ++it)
                    QVERIFY2(it.value() == whole.value(it.key()),
                             qPrintable(QStringLiteral("limit %1, row %2, %3")
                                            .arg(limit)
                                            .arg(row)
                                            .arg(it.key())));
            }
        }
        // Of the two payments of 2024-06-01 by the buyer, the later entered
        // is shown first; the first of all is the one dated 2024-06-02.
        const QVariantList three = m_model->getRecent(3);
        QCOMPARE(three.at(0).toMap().value("payment_date").toString(),
                 QStringLiteral("2024-06-02"));
        QVERIFY(three.at(1).toMap().value("id").toInt() > three.at(2).toMap().value("id").toInt());
        QCOMPARE(three.at(1).toMap().value("tenant_name").toString(), QStringLiteral("سارة خليل"));
        QCOMPARE(three.at(2).toMap().value("unit_number").toString(), QStringLiteral("V7"));
    }

private:
    Database* db() const { return m_fixture->db(); }
    int pay(double amount)
    {
        return m_model->add(m_invoice, m_tenant, amount, QStringLiteral("bank"),
                            QStringLiteral("2024-05-03"), QStringLiteral("حوالة 7781"), 1);
    }
    double tenantBalance() const
    {
        return m_fixture->value("SELECT balance FROM tenants WHERE id=?", {m_tenant}).toDouble();
    }
    QString invoiceState() const
    {
        const QVariantMap row = db()->getById(QStringLiteral("invoices"), m_invoice);
        return QStringLiteral("%1 %2 %3")
            .arg(row.value("status").toString())
            .arg(row.value("paid_amount").toDouble())
            .arg(row.value("balance").toDouble());
    }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<PaymentModel> m_model;
    int m_unit = 0;
    int m_tenant = 0;
    int m_invoice = 0;
};

QTEST_GUILESS_MAIN(TestPaymentModel)
#include "tst_paymentmodel.moc"
