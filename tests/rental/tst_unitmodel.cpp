#include "TableSnapshot.h"
#include "TestDatabase.h"

#include "rental/PropertyModel.h"
#include "rental/UnitModel.h"

#include <QSignalSpy>
#include <QTest>

class TestUnitModel : public QObject
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

    void addBuildsUnitUnderFloorUnderProject()
    {
        const int property = addProperty(QStringLiteral("برج النخيل"));
        const int project = projectOf(property);
        QSignalSpy changed(m_units.get(), &UnitModel::dataChanged);
        const int unit =
            m_units->add(property, QStringLiteral("12"), 3, 120.5, 4, 1800, 21600, 350000, 2);
        QVERIFY(unit > 0);
        QCOMPARE(changed.count(), 1);

        const QVariantMap stored = m_units->getById(unit);
        QCOMPARE(stored.value(QStringLiteral("status")).toString(), QStringLiteral("available"));
        QCOMPARE(stored.value(QStringLiteral("property_name")).toString(),
                 QStringLiteral("برج النخيل"));
        QCOMPARE(stored.value(QStringLiteral("currency_id")).toInt(), 2);
        QCOMPARE(stored.value(QStringLiteral("area")).toDouble(), 120.5);

        const QVariantMap floor = centre(QStringLiteral("name=?"), {QStringLiteral("الطابق 3")});
        QCOMPARE(floor.value(QStringLiteral("type")).toString(), QStringLiteral("floor"));
        QCOMPARE(floor.value(QStringLiteral("property_id")).toInt(), property);
        QCOMPARE(floor.value(QStringLiteral("parent_id")).toInt(), project);
        QVERIFY(floor.value(QStringLiteral("unit_id")).isNull());

        const QVariantMap own = centre(QStringLiteral("unit_id=?"), {unit});
        QCOMPARE(own.value(QStringLiteral("name")).toString(), QStringLiteral("شقة / وحدة 12"));
        QCOMPARE(own.value(QStringLiteral("type")).toString(), QStringLiteral("unit"));
        QCOMPARE(own.value(QStringLiteral("property_id")).toInt(), property);
        QCOMPARE(own.value(QStringLiteral("parent_id")), floor.value(QStringLiteral("id")));
        QCOMPARE(centresOf(property), 3);
    }

    void unitsShareTheirFloorRow()
    {
        const int property = addProperty(QStringLiteral("برج النخيل"));
        const int other = addProperty(QStringLiteral("عمارة الزيتون"));
        const int a = addUnit(property, QStringLiteral("31"), 3);
        const int b = addUnit(property, QStringLiteral("32"), 3);
        const int c = addUnit(property, QStringLiteral("41"), 4);
        // The same floor number in another property gets that property's own row.
        const int d = addUnit(other, QStringLiteral("31"), 3);

        QCOMPARE(parentOf(a), parentOf(b));
        QVERIFY(parentOf(c) != parentOf(a));
        QVERIFY(parentOf(d) != parentOf(a));
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT COUNT(*) FROM cost_centers WHERE type='floor' "
                                            "AND property_id=?"),
                             {property})
                     .toInt(),
                 2);
        QCOMPARE(centresOf(property), 1 + 2 + 3);
    }

    void groundAndBasementUnitsHangUnderTheProject_data()
    {
        QTest::addColumn<int>("floor");
        QTest::newRow("ground floor") << 0;
        QTest::newRow("basement") << -1;
    }

    void groundAndBasementUnitsHangUnderTheProject()
    {
        QFETCH(int, floor);
        const int property = addProperty(QStringLiteral("برج النخيل"));
        const int unit = addUnit(property, QStringLiteral("G1"), floor);
        QCOMPARE(parentOf(unit), projectOf(property));
        QCOMPARE(centresOf(property), 2);
    }

    void missingProjectRowIsCreatedFirst()
    {
        // Imported properties come without any cost centre.
        const int property =
            db()->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"),
                             {QStringLiteral("مجمع الريحان")});
        const int unit = addUnit(property, QStringLiteral("5"), 2);

        const QVariantMap project =
            centre(QStringLiteral("property_id=? AND type='project'"), {property});
        QCOMPARE(project.value(QStringLiteral("name")).toString(), QStringLiteral("مجمع الريحان"));
        const QVariantMap floor =
            centre(QStringLiteral("property_id=? AND type='floor'"), {property});
        QCOMPARE(floor.value(QStringLiteral("parent_id")), project.value(QStringLiteral("id")));
        QCOMPARE(parentOf(unit), floor.value(QStringLiteral("id")).toInt());

        // The next unit finds that project row instead of making another.
        addUnit(property, QStringLiteral("6"), 0);
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT COUNT(*) FROM cost_centers WHERE "
                                            "property_id=? AND type='project'"),
                             {property})
                     .toInt(),
                 1);
    }

    void failedInsertLeavesNothing_data()
    {
        QTest::addColumn<bool>("missingProperty");
        QTest::newRow("duplicate number in the property") << false;
        QTest::newRow("property that does not exist") << true;
    }

    void failedInsertLeavesNothing()
    {
        QFETCH(bool, missingProperty);
        const int property = addProperty(QStringLiteral("برج النخيل"));
        addUnit(property, QStringLiteral("12"), 3);
        const QString before = tableSnapshot(db());

        QSignalSpy changed(m_units.get(), &UnitModel::dataChanged);
        const int result = m_units->add(missingProperty ? 999 : property, QStringLiteral("12"), 4,
                                        100, 3, 1000, 12000, 0, 1);
        QVERIFY(result < 1);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(tableSnapshot(db()), before);
        QCOMPARE(db()->transactionDepth(), 0);

        // The same number in another property is fine.
        const int other = addProperty(QStringLiteral("عمارة الزيتون"));
        QVERIFY(m_units->add(other, QStringLiteral("12"), 3, 100, 3, 1000, 12000, 0, 1) > 0);
    }

    void removeRefusedUnlessAvailable_data()
    {
        QTest::addColumn<QVariant>("status");
        QTest::newRow("rented") << QVariant(QStringLiteral("rented"));
        QTest::newRow("sold") << QVariant(QStringLiteral("sold"));
        QTest::newRow("capitalised") << QVariant(QStringLiteral("Available"));
        QTest::newRow("no status") << QVariant();
    }

    void removeRefusedUnlessAvailable()
    {
        QFETCH(QVariant, status);
        const int unit = addUnit(addProperty(QStringLiteral("برج النخيل")), QStringLiteral("1"), 1);
        db()->execNonQuery(QStringLiteral("UPDATE units SET status=? WHERE id=?"), {status, unit});
        const QString before = tableSnapshot(db());

        QSignalSpy changed(m_units.get(), &UnitModel::dataChanged);
        QVERIFY(!m_units->remove(unit));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(tableSnapshot(db()), before);
    }

    // Units made by add own a cost centre, which used to make every delete
    // fail on its foreign key.
    void removeDeletesUnitAndItsCostCentre()
    {
        const int property = addProperty(QStringLiteral("برج النخيل"));
        const int unit = addUnit(property, QStringLiteral("31"), 3);
        const int neighbour = addUnit(property, QStringLiteral("32"), 3);
        const int floor = parentOf(unit);

        QSignalSpy changed(m_units.get(), &UnitModel::dataChanged);
        QVERIFY(m_units->remove(unit));
        QCOMPARE(changed.count(), 1);
        QVERIFY(m_units->getById(unit).isEmpty());
        QVERIFY(centre(QStringLiteral("unit_id=?"), {unit}).isEmpty());
        // The floor and project rows stay for the rest of the property.
        QCOMPARE(parentOf(neighbour), floor);
        QCOMPARE(centresOf(property), 3);

        // The last unit on a floor leaves the floor row in place too.
        QVERIFY(m_units->remove(neighbour));
        QCOMPARE(centresOf(property), 2);
        QVERIFY(!centre(QStringLiteral("id=?"), {floor}).isEmpty());
    }

    void removeRolledBackWhileRowsStillReferToIt_data()
    {
        // Each statement binds, in order, the values named in "binds".
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("binds");
        QTest::newRow("terminated contract")
            << QStringLiteral("INSERT INTO contracts (unit_id, tenant_id, start_date, end_date, "
                              "rent_amount, status) VALUES (?, ?, '2023-01-01', '2023-12-31', "
                              "900, 'terminated')")
            << QStringList{QStringLiteral("unit"), QStringLiteral("tenant")};
        QTest::newRow("invoice") << QStringLiteral("INSERT INTO invoices (invoice_number, unit_id, "
                                                   "tenant_id) VALUES ('INV-1', ?, ?)")
                                 << QStringList{QStringLiteral("unit"), QStringLiteral("tenant")};
        QTest::newRow("maintenance request")
            << QStringLiteral(
                   "INSERT INTO maintenance_requests (unit_id, title) VALUES (?, 'تسريب مياه')")
            << QStringList{QStringLiteral("unit")};
        QTest::newRow("expense") << QStringLiteral("INSERT INTO expenses (unit_id, category, "
                                                   "amount, expense_date) VALUES (?, 'دهان', "
                                                   "300, '2024-01-10')")
                                 << QStringList{QStringLiteral("unit")};
        QTest::newRow("payment on the unit's cost centre")
            << QStringLiteral("INSERT INTO payments (amount, payment_date, cost_center_id) VALUES "
                              "(100, '2024-01-10', ?)")
            << QStringList{QStringLiteral("centre")};
    }

    void removeRolledBackWhileRowsStillReferToIt()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, binds);
        const int property = addProperty(QStringLiteral("برج النخيل"));
        const int unit = addUnit(property, QStringLiteral("7"), 2);
        QVariantMap values;
        values.insert(QStringLiteral("unit"), unit);
        values.insert(QStringLiteral("tenant"),
                      db()->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                       {QStringLiteral("ليلى")}));
        values.insert(QStringLiteral("centre"),
                      centre(QStringLiteral("unit_id=?"), {unit}).value(QStringLiteral("id")));
        QVariantList params;
        for (const QString& name : binds)
            params << values.value(name);
        QVERIFY(db()->execInsert(sql, params) > 0);
        const QString before = tableSnapshot(db());

        QSignalSpy changed(m_units.get(), &UnitModel::dataChanged);
        QVERIFY(!m_units->remove(unit));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(tableSnapshot(db()), before);
        QCOMPARE(db()->transactionDepth(), 0);
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

    int addUnit(int property, const QString& number, int floor)
    {
        const int id = m_units->add(property, number, floor, 100, 3, 1000, 12000, 0, 1);
        [&] { QVERIFY(id > 0); }();
        return id;
    }

    QVariantMap centre(const QString& where, const QVariantList& params)
    {
        const QVariantList rows =
            db()->execQuery(QStringLiteral("SELECT * FROM cost_centers WHERE ") + where, params);
        return rows.size() == 1 ? rows.first().toMap() : QVariantMap();
    }

    int projectOf(int property)
    {
        return centre(QStringLiteral("property_id=? AND type='project'"), {property})
            .value(QStringLiteral("id"))
            .toInt();
    }

    int parentOf(int unit)
    {
        return centre(QStringLiteral("unit_id=?"), {unit})
            .value(QStringLiteral("parent_id"))
            .toInt();
    }

    int centresOf(int property) const
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

QTEST_GUILESS_MAIN(TestUnitModel)
#include "tst_unitmodel.moc"
