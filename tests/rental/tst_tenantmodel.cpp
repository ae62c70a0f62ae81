#include "TableSnapshot.h"
#include "TestDatabase.h"

#include "rental/ContractModel.h"
#include "rental/PropertyModel.h"
#include "rental/TenantModel.h"
#include "rental/UnitModel.h"

#include <QSignalSpy>
#include <QTest>

class TestTenantModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_property = 0;
        m_tenants = std::make_unique<TenantModel>(db());
        m_contracts = std::make_unique<ContractModel>(db());
    }
    void cleanup()
    {
        m_contracts.reset();
        m_tenants.reset();
        m_fixture.reset();
    }

    // Identity numbers are unique, but many tenants have none on file.
    void tenantsWithoutIdentityNumberDoNotClash()
    {
        addTenant(QStringLiteral("منى حداد"), QString());
        addTenant(QStringLiteral("سامي عودة"), QStringLiteral("  "));
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT COUNT(*) FROM tenants WHERE id_number IS "
                                            "NULL"))
                     .toInt(),
                 2);
        addTenant(QStringLiteral("ليلى ناصر"), QStringLiteral("852"));
        QCOMPARE(m_tenants->add(QStringLiteral("نسخة"), QStringLiteral("852"), QString(), QString(),
                                QString()),
                 -1);
        QCOMPARE(m_fixture->count(QStringLiteral("tenants")), 3);
    }

    // The balance belongs to invoicing and payments; editing a tenant must not reset it.
    void updateLeavesBalanceAndNotes()
    {
        const int id = addTenant(QStringLiteral("خالد يوسف"), QStringLiteral("401"));
        db()->execNonQuery(QStringLiteral("UPDATE tenants SET balance=750.5, notes=? WHERE id=?"),
                           {QStringLiteral("يدفع نقداً"), id});
        QSignalSpy changed(m_tenants.get(), &TenantModel::dataChanged);
        QVERIFY(m_tenants->update(id, QStringLiteral("خالد يوسف عمر"), QStringLiteral("409"),
                                  QString(), QString(), QStringLiteral("جنين")));
        QCOMPARE(changed.count(), 1);
        const QVariantMap stored = m_tenants->getById(id);
        QCOMPARE(stored.value(QStringLiteral("full_name")).toString(),
                 QStringLiteral("خالد يوسف عمر"));
        QCOMPARE(stored.value(QStringLiteral("balance")).toDouble(), 750.5);
        QCOMPARE(stored.value(QStringLiteral("notes")).toString(), QStringLiteral("يدفع نقداً"));
    }

    void removeFollowsContractsAndReferences()
    {
        const int free = addTenant(QStringLiteral("أمل حسن"), QStringLiteral("402"));
        const int bound = addTenant(QStringLiteral("خالد يوسف"), QStringLiteral("401"));
        const int contract =
            addContract(addUnit(QStringLiteral("A")), bound, QStringLiteral("2024-01-01"),
                        QStringLiteral("2024-12-31"));

        QSignalSpy changed(m_tenants.get(), &TenantModel::dataChanged);
        QSignalSpy errors(db(), &Database::databaseError);
        const QString before = tableSnapshot(db());
        QVERIFY(!m_tenants->remove(bound));
        QCOMPARE(errors.count(), 0); // refused by the check, not by the database
        QCOMPARE(tableSnapshot(db()), before);

        // Once terminated, the contract no longer blocks the check, but it is
        // still the tenant's history and the foreign key keeps the tenant.
        QVERIFY(m_contracts->terminate(contract));
        QVERIFY(!m_tenants->remove(bound));
        QCOMPARE(errors.count(), 1);
        QVERIFY(!m_tenants->getById(bound).isEmpty());
        QCOMPARE(changed.count(), 0);

        QVERIFY(m_tenants->remove(free));
        QCOMPARE(changed.count(), 1);
        QVERIFY(m_tenants->getById(free).isEmpty());
    }

    // The tenants page and the contracts dialog read these instead of
    // running SQL of their own.
    void searchCountsActiveContractsAndContractsListByTenant()
    {
        const int bound = addTenant(QStringLiteral("خالد يوسف"), QStringLiteral("401"));
        const int free = addTenant(QStringLiteral("خالدة سمير"), QStringLiteral("402"));
        const int first = addContract(addUnit(QStringLiteral("A")), bound,
                                      QStringLiteral("2023-01-01"), QStringLiteral("2023-12-31"));
        addContract(addUnit(QStringLiteral("B")), bound, QStringLiteral("2024-01-01"),
                    QStringLiteral("2024-12-31"));
        QVERIFY(m_contracts->terminate(first));

        QMap<int, int> active;
        for (const QVariant& row : m_tenants->search(QStringLiteral("خالد")))
            active[row.toMap().value(QStringLiteral("id")).toInt()] =
                row.toMap().value(QStringLiteral("active_contracts")).toInt();
        QCOMPARE(active, (QMap<int, int>{{bound, 1}, {free, 0}}));

        const QVariantList mine = m_contracts->getByTenant(bound);
        QCOMPARE(mine.size(), 2);
        QCOMPARE(mine.first().toMap().value(QStringLiteral("start_date")).toString(),
                 QStringLiteral("2024-01-01"));
        QCOMPARE(mine.first().toMap().value(QStringLiteral("unit_number")).toString(),
                 QStringLiteral("B"));
        QVERIFY(m_contracts->getByTenant(free).isEmpty());
    }

    void statementListsInvoicesAndPaymentsByDate()
    {
        const int id = addTenant(QStringLiteral("خالد يوسف"), QStringLiteral("401"));
        const int other = addTenant(QStringLiteral("أمل حسن"), QStringLiteral("402"));
        addInvoice(id, QStringLiteral("INV-202403-0001"), 1200,
                   QStringLiteral("2024-03-01 09:30:00"), QStringLiteral("pending"));
        addInvoice(id, QStringLiteral("INV-202402-0001"), 1000,
                   QStringLiteral("2024-02-01 09:30:00"), QStringLiteral("void"));
        addInvoice(other, QStringLiteral("INV-202403-0002"), 555,
                   QStringLiteral("2024-03-01 09:30:00"), QStringLiteral("pending"));
        // Paid on the day of the March invoice: a bare date sorts before that day's timestamp.
        addPayment(id, 400, QStringLiteral("2024-03-01"), QStringLiteral("REC-7"));
        addPayment(id, 250, QStringLiteral("2024-02-15"), QStringLiteral("REC-5"));
        addPayment(other, 555, QStringLiteral("2024-03-02"), QStringLiteral("REC-8"));

        QStringList lines;
        for (const QVariant& line : m_tenants->getStatement(id)) {
            const QVariantMap m = line.toMap();
            lines << QStringList{m.value(QStringLiteral("type")).toString(),
                                 m.value(QStringLiteral("ref")).toString(),
                                 m.value(QStringLiteral("debit")).toString(),
                                 m.value(QStringLiteral("credit")).toString(),
                                 m.value(QStringLiteral("description")).toString()}
                         .join(QLatin1Char('|'));
        }
        // The voided invoice still shows its full total as a debit.
        QCOMPARE(lines, (QStringList{QStringLiteral("invoice|INV-202402-0001|1000|0|"),
                                     QStringLiteral("payment|REC-5|0|250|دفعة REC-5"),
                                     QStringLiteral("payment|REC-7|0|400|دفعة REC-7"),
                                     QStringLiteral("invoice|INV-202403-0001|1200|0|")}));
        QVERIFY(m_tenants->getStatement(999).isEmpty());
    }

private:
    Database* db() const { return m_fixture->db(); }

    int addTenant(const QString& name, const QString& idNumber)
    {
        const int id = m_tenants->add(name, idNumber, QString(), QString(), QString());
        [&] { QVERIFY(id > 0); }();
        return id;
    }

    int addUnit(const QString& number)
    {
        PropertyModel properties(db());
        UnitModel units(db());
        if (m_property < 1)
            m_property = properties.add(QStringLiteral("برج النخيل"), QStringLiteral("residential"),
                                        QString(), QString(), QString());
        const int id = units.add(m_property, number, 1, 100, 3, 1000, 12000, 0, 1);
        [&] { QVERIFY(id > 0); }();
        return id;
    }

    int addContract(int unit, int tenant, const QString& start, const QString& end)
    {
        const int id =
            m_contracts->add(unit, tenant, start, end, 1000, QStringLiteral("monthly"), 0, 1);
        [&] { QVERIFY(id > 0); }();
        return id;
    }

    void addInvoice(int tenant, const QString& number, double total, const QString& createdAt,
                    const QString& status)
    {
        QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, "
                                                "total_amount, status, created_at) VALUES "
                                                "(?,?,?,?,?)"),
                                 {number, tenant, total, status, createdAt}) > 0);
    }

    void addPayment(int tenant, double amount, const QString& date, const QString& reference)
    {
        QVERIFY(db()->execInsert(
                    QStringLiteral("INSERT INTO payments (tenant_id, amount, "
                                   "payment_date, reference, notes) VALUES "
                                   "(?,?,?,?,?)"),
                    {tenant, amount, date, reference, QStringLiteral("دفعة ") + reference}) > 0);
    }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<TenantModel> m_tenants;
    std::unique_ptr<ContractModel> m_contracts;
    int m_property = 0;
};

QTEST_GUILESS_MAIN(TestTenantModel)
#include "tst_tenantmodel.moc"
