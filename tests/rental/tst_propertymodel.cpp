#include "TableSnapshot.h"
#include "TestDatabase.h"

#include "rental/ContractModel.h"
#include "rental/PropertyModel.h"
#include "rental/TenantModel.h"
#include "rental/UnitModel.h"

#include <QSignalSpy>
#include <QTest>

class TestPropertyModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_properties = std::make_unique<PropertyModel>(db());
        m_units = std::make_unique<UnitModel>(db());
    }
    void cleanup()
    {
        m_units.reset();
        m_properties.reset();
        m_fixture.reset();
    }

    void newPropertyIsListedFirstWithItsProjectCostCentre()
    {
        const int older =
            m_properties->add(QStringLiteral("عمارة الزيتون"), QStringLiteral("commercial"),
                              QString(), QString(), QString());
        db()->execNonQuery(QStringLiteral("UPDATE properties SET created_at='2020-01-01 08:00:00' "
                                          "WHERE id=?"),
                           {older});
        QSignalSpy changed(m_properties.get(), &PropertyModel::dataChanged);
        const int id = m_properties->add(QStringLiteral("برج النخيل"),
                                         QStringLiteral("residential"), QStringLiteral("شارع يافا"),
                                         QStringLiteral("نابلس"), QStringLiteral("سبعة طوابق"));
        QVERIFY(id > older);
        QCOMPARE(changed.count(), 1);

        const QVariantList all = m_properties->getAll();
        QCOMPARE(all.size(), 2);
        const QVariantMap first = all.first().toMap();
        QCOMPARE(first.value(QStringLiteral("id")).toInt(), id);
        QCOMPARE(first.value(QStringLiteral("city")).toString(), QStringLiteral("نابلس"));
        for (const char* key : {"total_units", "rented_units", "sold_units", "monthly_revenue"})
            QCOMPARE(first.value(QLatin1String(key)).toDouble(), 0.0);

        const QVariantList centres =
            db()->execQuery(QStringLiteral("SELECT * FROM cost_centers WHERE property_id=?"), {id});
        QCOMPARE(centres.size(), 1);
        const QVariantMap project = centres.first().toMap();
        QCOMPARE(project.value(QStringLiteral("type")).toString(), QStringLiteral("project"));
        QCOMPARE(project.value(QStringLiteral("name")).toString(), QStringLiteral("برج النخيل"));
        QVERIFY(project.value(QStringLiteral("unit_id")).isNull());
        QVERIFY(project.value(QStringLiteral("parent_id")).isNull());
    }

    void listCountsUnitsOccupancyAndContractedRent()
    {
        const int id = addProperty(QStringLiteral("برج النخيل"));
        const int first = addUnit(id, QStringLiteral("101"), 1000);
        const int second = addUnit(id, QStringLiteral("102"), 1500);
        const int sold = addUnit(id, QStringLiteral("103"), 900);
        addUnit(id, QStringLiteral("104"), 800);
        QVERIFY(m_units->markAsSold(sold, addBuyer(), 250000, QStringLiteral("2024-05-01")));

        TenantModel tenants(db());
        ContractModel contracts(db());
        const int tenant = tenants.add(QStringLiteral("خالد يوسف"), QStringLiteral("401234567"),
                                       QString(), QString(), QString());
        // The card's monthly figure is the contracted rent of active
        // contracts, not the rent asked on the units (1,000 + 1,500).
        QVERIFY(contracts.add(first, tenant, QStringLiteral("2024-01-01"),
                              QStringLiteral("2024-12-31"), 700, QStringLiteral("monthly"), 0,
                              1) > 0);
        QVERIFY(contracts.add(second, tenant, QStringLiteral("2024-01-01"),
                              QStringLiteral("2024-12-31"), 700, QStringLiteral("monthly"), 0,
                              1) > 0);
        QCOMPARE(row(id).value(QStringLiteral("monthly_revenue")).toDouble(), 1400.0);
        QCOMPARE(row(id).value(QStringLiteral("total_units")).toInt(), 4);
        // Rented of the units not sold: 2 of 3.
        QCOMPARE(row(id).value(QStringLiteral("occupancy")).toDouble(), 200.0 / 3.0);
        QCOMPARE(row(id).value(QStringLiteral("rented_units")).toInt(), 2);
        QCOMPARE(row(id).value(QStringLiteral("sold_units")).toInt(), 1);

        // A second active contract on the same unit counts its rent again; a
        // terminated one does not count at all.
        const int later =
            contracts.add(first, tenant, QStringLiteral("2025-01-01"), QStringLiteral("2025-12-31"),
                          700, QStringLiteral("monthly"), 0, 1);
        QVERIFY(later > 0);
        QCOMPARE(row(id).value(QStringLiteral("monthly_revenue")).toDouble(), 2100.0);
        QVERIFY(contracts.terminate(later));
        QCOMPARE(row(id).value(QStringLiteral("monthly_revenue")).toDouble(), 1400.0);
    }

    void removeRefusedWhileAUnitIsTaken_data()
    {
        QTest::addColumn<QString>("status");
        QTest::newRow("rented") << QStringLiteral("rented");
        QTest::newRow("sold") << QStringLiteral("sold");
        QTest::newRow("other text") << QStringLiteral("صيانة");
    }

    void removeRefusedWhileAUnitIsTaken()
    {
        QFETCH(QString, status);
        const int id = addProperty(QStringLiteral("برج النخيل"));
        const int unit = addUnit(id, QStringLiteral("A1"), 1000);
        // Written straight to the row: older versions stored any status text.
        QVERIFY(db()->execNonQuery("UPDATE units SET status=? WHERE id=?", {status, unit}));
        const QString before = tableSnapshot(db());

        QSignalSpy changed(m_properties.get(), &PropertyModel::dataChanged);
        QSignalSpy errors(db(), &Database::databaseError);
        QVERIFY(!m_properties->remove(id));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(tableSnapshot(db()), before);
    }

    // Every property made by add has a project cost centre, which used to make
    // the delete fail on its foreign key.
    void removeDeletesPropertyWithItsCostCentres()
    {
        const int kept = addProperty(QStringLiteral("عمارة الزيتون"));
        addUnit(kept, QStringLiteral("1"), 500, 2);
        const int id = addProperty(QStringLiteral("برج النخيل"));
        // A unit removed earlier leaves its floor row behind; it goes with the property.
        const int unit = addUnit(id, QStringLiteral("12"), 1000, 3);
        QVERIFY(m_units->remove(unit));
        QCOMPARE(costCentres(id), 2);
        const int keptCentres = costCentres(kept);

        QSignalSpy changed(m_properties.get(), &PropertyModel::dataChanged);
        QVERIFY(m_properties->remove(id));
        QCOMPARE(changed.count(), 1);
        QVERIFY(m_properties->getById(id).isEmpty());
        QCOMPARE(costCentres(id), 0);
        QCOMPARE(costCentres(kept), keptCentres);
        QCOMPARE(m_fixture->count(QStringLiteral("properties")), 1);
    }

    void removeRolledBackWhileRowsStillReferToIt_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::newRow("available unit") << QStringLiteral("unit");
        QTest::newRow("expense") << QStringLiteral("expense");
        QTest::newRow("payment on the project cost centre") << QStringLiteral("payment");
    }

    void removeRolledBackWhileRowsStillReferToIt()
    {
        QFETCH(QString, reference);
        const int id = addProperty(QStringLiteral("برج النخيل"));
        if (reference == QLatin1String("unit")) {
            addUnit(id, QStringLiteral("7"), 1000, 2);
        } else if (reference == QLatin1String("expense")) {
            QVERIFY(db()->execInsert(
                        QStringLiteral("INSERT INTO expenses (property_id, category, "
                                       "amount, expense_date) VALUES (?,?,?,?)"),
                        {id, QStringLiteral("صيانة"), 120.0, QStringLiteral("2024-03-01")}) > 0);
        } else {
            const QVariant project = m_fixture->value(
                QStringLiteral("SELECT id FROM cost_centers WHERE property_id=?"), {id});
            QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO payments (amount, payment_date, "
                                                    "cost_center_id) VALUES (?,?,?)"),
                                     {500.0, QStringLiteral("2024-03-01"), project}) > 0);
        }
        const QString before = tableSnapshot(db());

        QSignalSpy changed(m_properties.get(), &PropertyModel::dataChanged);
        QVERIFY(!m_properties->remove(id));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(tableSnapshot(db()), before);
        QCOMPARE(db()->transactionDepth(), 0);
        QVERIFY(costCentres(id) > 0);
    }

    void statsCountUnitsIncomeAndExpenses()
    {
        const QVariantMap none = m_properties->getStats(999);
        QCOMPARE(none.size(), 6);
        for (const QVariant& value : none)
            QCOMPARE(value.toDouble(), 0.0);

        const int id = addProperty(QStringLiteral("برج النخيل"));
        const int other = addProperty(QStringLiteral("عمارة الزيتون"));
        const int rented = addUnit(id, QStringLiteral("1"), 1000);
        addUnit(id, QStringLiteral("2"), 1000);
        const int sold = addUnit(id, QStringLiteral("3"), 1000);
        const int elsewhere = addUnit(other, QStringLiteral("1"), 1000);
        m_units->updateStatus(rented, QStringLiteral("rented"));
        m_units->updateStatus(sold, QStringLiteral("sold"));

        const int tenant = db()->execInsert(
            QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"), {QStringLiteral("ليلى")});
        const int invoice = addInvoice(QStringLiteral("INV-1"), tenant, rented);
        const int foreign = addInvoice(QStringLiteral("INV-2"), tenant, elsewhere);
        addPayment(invoice, 300);
        addPayment(invoice, 200);
        addPayment(foreign, 999);
        addPayment(QVariant(), 5000); // a buyer's payment, tied to no invoice
        db()->execInsert(QStringLiteral("INSERT INTO expenses (property_id, category, amount, "
                                        "expense_date) VALUES (?,?,?,?)"),
                         {id, QStringLiteral("كهرباء"), 150.0, QStringLiteral("2024-02-01")});

        const QVariantMap stats = m_properties->getStats(id);
        QCOMPARE(stats.value(QStringLiteral("total_units")).toInt(), 3);
        QCOMPARE(stats.value(QStringLiteral("rented")).toInt(), 1);
        QCOMPARE(stats.value(QStringLiteral("available")).toInt(), 1);
        QCOMPARE(stats.value(QStringLiteral("sold")).toInt(), 1);
        QCOMPARE(stats.value(QStringLiteral("total_income")).toDouble(), 500.0);
        QCOMPARE(stats.value(QStringLiteral("total_expenses")).toDouble(), 150.0);
    }

private:
    Database* db() const { return m_fixture->db(); }

    int addProperty(const QString& name)
    {
        const int id =
            m_properties->add(name, QStringLiteral("residential"), QString(), QString(), QString());
        [&] { QVERIFY(id > 0); }();
        return id;
    }

    int addUnit(int property, const QString& number, double rent, int floor = 1)
    {
        const int id = m_units->add(property, number, floor, 90, 3, rent, rent * 12, 0, 1);
        [&] { QVERIFY(id > 0); }();
        return id;
    }

    int addBuyer()
    {
        return db()->execInsert(QStringLiteral("INSERT INTO buyers (full_name) VALUES (?)"),
                                {QStringLiteral("سامي")});
    }

    int addInvoice(const QString& number, int tenant, int unit)
    {
        return db()->execInsert(QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, "
                                               "unit_id, total_amount) VALUES (?,?,?,1000)"),
                                {number, tenant, unit});
    }

    void addPayment(const QVariant& invoice, double amount)
    {
        db()->execInsert(QStringLiteral("INSERT INTO payments (invoice_id, amount, payment_date) "
                                        "VALUES (?,?,'2024-03-01')"),
                         {invoice, amount});
    }

    QVariantMap row(int id)
    {
        for (const QVariant& property : m_properties->getAll()) {
            if (property.toMap().value(QStringLiteral("id")).toInt() == id)
                return property.toMap();
        }
        return {};
    }

    int costCentres(int property) const
    {
        return m_fixture
            ->value(QStringLiteral("SELECT COUNT(*) FROM cost_centers WHERE property_id=?"),
                    {property})
            .toInt();
    }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<PropertyModel> m_properties;
    std::unique_ptr<UnitModel> m_units;
};

QTEST_GUILESS_MAIN(TestPropertyModel)
#include "tst_propertymodel.moc"
