#include "RentalRows.h"
#include "TableSnapshot.h"
#include "TestDatabase.h"

#include "rental/ContractModel.h"
#include "rental/PropertyModel.h"
#include "rental/TenantModel.h"
#include "rental/UnitModel.h"

#include <QDate>
#include <QSignalSpy>
#include <QTest>

class TestContractModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_units = std::make_unique<UnitModel>(db());
        m_contracts = std::make_unique<ContractModel>(db());
        PropertyModel properties(db());
        TenantModel tenants(db());
        m_property = properties.add(QStringLiteral("برج النخيل"), QStringLiteral("residential"),
                                    QString(), QString(), QString());
        m_unit = addUnit(QStringLiteral("12"));
        m_tenant = tenants.add(QStringLiteral("خالد يوسف"), QStringLiteral("401"), QString(),
                               QString(), QString());
        m_otherTenant = tenants.add(QStringLiteral("أمل حسن"), QStringLiteral("402"), QString(),
                                    QString(), QString());
        QVERIFY(m_property > 0 && m_unit > 0 && m_tenant > 0 && m_otherTenant > 0);
    }
    void cleanup()
    {
        m_contracts.reset();
        m_units.reset();
        m_fixture.reset();
    }

    void addStoresContractAndRentsUnit()
    {
        QSignalSpy changed(m_contracts.get(), &ContractModel::dataChanged);
        const int id = m_contracts->add(m_unit, m_tenant, QStringLiteral("2024-01-01"),
                                        QStringLiteral("2024-12-31"), 1800,
                                        QStringLiteral("monthly"), 3600, 2);
        QVERIFY(id > 0);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(unitStatus(), QStringLiteral("rented"));

        const QVariantMap stored = m_contracts->getById(id);
        QCOMPARE(stored.value(QStringLiteral("status")).toString(), QStringLiteral("active"));
        QCOMPARE(stored.value(QStringLiteral("rent_amount")).toDouble(), 1800.0);
        QCOMPARE(stored.value(QStringLiteral("deposit")).toDouble(), 3600.0);
        QCOMPARE(stored.value(QStringLiteral("currency_id")).toInt(), 2);
        QCOMPARE(stored.value(QStringLiteral("payment_frequency")).toString(),
                 QStringLiteral("monthly"));
        QCOMPARE(stored.value(QStringLiteral("tenant_name")).toString(),
                 QStringLiteral("خالد يوسف"));
        QCOMPARE(stored.value(QStringLiteral("unit_number")).toString(), QStringLiteral("12"));
        QCOMPARE(stored.value(QStringLiteral("property_name")).toString(),
                 QStringLiteral("برج النخيل"));
        QVERIFY(m_contracts->getById(999).isEmpty());
    }

    void overlapBoundaries_data()
    {
        // Against an active contract running 2024-01-01 .. 2024-12-31.
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("overlaps");
        QTest::newRow("starts on the last day")
            << QStringLiteral("2024-12-31") << QStringLiteral("2025-06-30") << true;
        QTest::newRow("starts the day after")
            << QStringLiteral("2025-01-01") << QStringLiteral("2025-06-30") << false;
        QTest::newRow("ends on the first day")
            << QStringLiteral("2023-06-01") << QStringLiteral("2024-01-01") << true;
        QTest::newRow("ends the day before")
            << QStringLiteral("2023-06-01") << QStringLiteral("2023-12-31") << false;
        QTest::newRow("inside") << QStringLiteral("2024-03-01") << QStringLiteral("2024-03-31")
                                << true;
        QTest::newRow("encloses") << QStringLiteral("2023-01-01") << QStringLiteral("2025-12-31")
                                  << true;
        QTest::newRow("same period")
            << QStringLiteral("2024-01-01") << QStringLiteral("2024-12-31") << true;
        QTest::newRow("single day inside")
            << QStringLiteral("2024-07-15") << QStringLiteral("2024-07-15") << true;
    }

    void overlapBoundaries()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(bool, overlaps);
        const int existing =
            addContract(QStringLiteral("2024-01-01"), QStringLiteral("2024-12-31"));
        QCOMPARE(m_contracts->hasOverlap(m_unit, start, end), overlaps);
        // Excluding the contract itself, as an edit of it would, finds nothing.
        QVERIFY(!m_contracts->hasOverlap(m_unit, start, end, existing));
        // Another unit is never affected.
        QVERIFY(!m_contracts->hasOverlap(addUnit(QStringLiteral("13")), start, end));

        const int id = m_contracts->add(m_unit, m_otherTenant, start, end, 900,
                                        QStringLiteral("monthly"), 0, 1);
        QCOMPARE(id == -1, overlaps);
        QCOMPARE(m_fixture->count(QStringLiteral("contracts")), overlaps ? 1 : 2);
    }

    void terminatedContractDoesNotBlock()
    {
        const int old = addContract(QStringLiteral("2024-01-01"), QStringLiteral("2024-12-31"));
        QVERIFY(m_contracts->terminate(old));
        QVERIFY(!m_contracts->hasOverlap(m_unit, QStringLiteral("2024-01-01"),
                                         QStringLiteral("2024-12-31")));
        QVERIFY(addContract(QStringLiteral("2024-01-01"), QStringLiteral("2024-12-31")) > 0);
        QCOMPARE(unitStatus(), QStringLiteral("rented"));
    }

    void refusedAddLeavesEveryTableUnchanged_data()
    {
        // "let" is the unit under contract for 2024; "free" and "sold" are
        // units without contracts, so only the rule under test can refuse.
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        const auto row = [](const char* name, const char* unit, const QString& start,
                            const QString& end) {
            QTest::newRow(name) << QString::fromLatin1(unit) << start << end;
        };
        row("overlap", "let", QStringLiteral("2024-06-01"), QStringLiteral("2025-05-31"));
        row("sold unit", "sold", QStringLiteral("2026-01-01"), QStringLiteral("2026-12-31"));
        row("end before start", "free", QStringLiteral("2026-12-31"), QStringLiteral("2026-01-01"));
        row("no such day", "free", QStringLiteral("2026-02-30"), QStringLiteral("2026-12-31"));
        row("slashes", "free", QStringLiteral("2026/01/01"), QStringLiteral("2026/12/31"));
        row("no leading zeros", "free", QStringLiteral("2026-1-1"), QStringLiteral("2026-12-31"));
        row("day first", "free", QStringLiteral("01-01-2026"), QStringLiteral("31-12-2026"));
        row("empty end", "free", QStringLiteral("2026-01-01"), QStringLiteral(""));
        row("time appended", "free", QStringLiteral("2026-01-01"),
            QStringLiteral("2026-12-31 12:00"));
        row("arabic digits", "free", QStringLiteral("٢٠٢٦-٠١-٠١"), QStringLiteral("2026-12-31"));
    }

    void refusedAddLeavesEveryTableUnchanged()
    {
        QFETCH(QString, unit);
        QFETCH(QString, start);
        QFETCH(QString, end);
        addContract(QStringLiteral("2024-01-01"), QStringLiteral("2024-12-31"));
        const int target = unit == QLatin1String("let") ? m_unit : addUnit(QStringLiteral("13"));
        if (unit == QLatin1String("sold")) {
            const int buyer =
                db()->execInsert(QStringLiteral("INSERT INTO buyers (full_name) VALUES (?)"),
                                 {QStringLiteral("سامي")});
            QVERIFY(m_units->markAsSold(target, buyer, 300000, QStringLiteral("2025-01-15")));
        }
        const QString before = tableSnapshot(db());

        QSignalSpy changed(m_contracts.get(), &ContractModel::dataChanged);
        QCOMPARE(m_contracts->add(target, m_otherTenant, start, end, 900, QStringLiteral("monthly"),
                                  0, 1),
                 -1);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(tableSnapshot(db()), before);
        QCOMPARE(db()->transactionDepth(), 0);
    }

    void addRefusesMissingUnitOrTenant()
    {
        const QString before = tableSnapshot(db());
        QVERIFY(m_contracts->add(999, m_tenant, QStringLiteral("2024-01-01"),
                                 QStringLiteral("2024-12-31"), 900, QStringLiteral("monthly"), 0,
                                 1) < 1);
        QVERIFY(m_contracts->add(m_unit, 999, QStringLiteral("2024-01-01"),
                                 QStringLiteral("2024-12-31"), 900, QStringLiteral("monthly"), 0,
                                 1) < 1);
        QCOMPARE(tableSnapshot(db()), before);
        QCOMPARE(unitStatus(), QStringLiteral("available"));
    }

    // The unit used to stay "available" under an active contract when its
    // update failed, since the contract was committed regardless.
    void failedUnitUpdateRollsBackContract()
    {
        blockUnitUpdates();
        const QString before = tableSnapshot(db());
        QCOMPARE(m_contracts->add(m_unit, m_tenant, QStringLiteral("2024-01-01"),
                                  QStringLiteral("2024-12-31"), 900, QStringLiteral("monthly"), 0,
                                  1),
                 -1);
        QCOMPARE(tableSnapshot(db()), before);
        QCOMPARE(db()->transactionDepth(), 0);
    }

    void terminateFreesUnitOnlyAfterLastActiveContract()
    {
        const int current = addContract(QStringLiteral("2024-01-01"), QStringLiteral("2024-12-31"));
        const int next = addContract(QStringLiteral("2025-01-01"), QStringLiteral("2025-12-31"));
        QSignalSpy changed(m_contracts.get(), &ContractModel::dataChanged);

        QVERIFY(m_contracts->terminate(current));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(contractStatus(current), QStringLiteral("terminated"));
        QCOMPARE(contractStatus(next), QStringLiteral("active"));
        QCOMPARE(unitStatus(), QStringLiteral("rented"));

        QVERIFY(m_contracts->terminate(next));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(unitStatus(), QStringLiteral("available"));
    }

    void terminateTwiceWritesNothing()
    {
        const int first = addContract(QStringLiteral("2024-01-01"), QStringLiteral("2024-12-31"));
        QVERIFY(m_contracts->terminate(first));
        // The unit is let again; a second terminate of the old contract must
        // not free it.
        addContract(QStringLiteral("2025-01-01"), QStringLiteral("2025-12-31"));
        const QString before = tableSnapshot(db());

        QSignalSpy changed(m_contracts.get(), &ContractModel::dataChanged);
        QVERIFY(!m_contracts->terminate(first));
        QVERIFY(!m_contracts->terminate(999));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(tableSnapshot(db()), before);
        QCOMPARE(unitStatus(), QStringLiteral("rented"));
        QCOMPARE(db()->transactionDepth(), 0);
    }

    void terminateKeepsASoldUnitSold()
    {
        const int contract =
            addContract(QStringLiteral("2024-01-01"), QStringLiteral("2024-12-31"));
        const int buyer = db()->execInsert(
            QStringLiteral("INSERT INTO buyers (full_name) VALUES (?)"), {QStringLiteral("سامي")});
        QVERIFY(m_units->markAsSold(m_unit, buyer, 300000, QStringLiteral("2024-06-01")));
        QVERIFY(m_contracts->terminate(contract));
        QCOMPARE(contractStatus(contract), QStringLiteral("terminated"));
        QCOMPARE(unitStatus(), QStringLiteral("sold"));
    }

    void failedUnitUpdateRollsBackTermination()
    {
        const int contract =
            addContract(QStringLiteral("2024-01-01"), QStringLiteral("2024-12-31"));
        blockUnitUpdates();
        const QString before = tableSnapshot(db());
        QVERIFY(!m_contracts->terminate(contract));
        QCOMPARE(tableSnapshot(db()), before);
        QCOMPARE(contractStatus(contract), QStringLiteral("active"));
    }

    void expiringListsActiveContractsBySoonestEnd()
    {
        const QDate today = QDate::currentDate();
        const auto iso = [](const QDate& date) {
            return date.toString(QStringLiteral("yyyy-MM-dd"));
        };
        // Margins of several days keep the UTC clock of the query out of play.
        const int soon = addContract(iso(today.addDays(-100)), iso(today.addDays(10)));
        const int lastYear = addContract(iso(today.addYears(-2)), iso(today.addYears(-1)),
                                         addUnit(QStringLiteral("13")));
        addContract(iso(today.addDays(-100)), iso(today.addDays(60)),
                    addUnit(QStringLiteral("14")));
        const int terminated = addContract(iso(today.addDays(-100)), iso(today.addDays(5)),
                                           addUnit(QStringLiteral("15")));
        QVERIFY(m_contracts->terminate(terminated));

        const QVariantList expiring = m_contracts->getExpiring(30);
        QCOMPARE(expiring.size(), 2);
        QCOMPARE(expiring.at(0).toMap().value(QStringLiteral("id")).toInt(), lastYear);
        QCOMPARE(expiring.at(1).toMap().value(QStringLiteral("id")).toInt(), soon);
        QCOMPARE(expiring.at(1).toMap().value(QStringLiteral("tenant_name")).toString(),
                 QStringLiteral("خالد يوسف"));
        QCOMPARE(m_contracts->getExpiring(90).size(), 3);
        QCOMPARE(m_contracts->getAll().size(), 4);
    }

private:
    Database* db() const { return m_fixture->db(); }

    int addUnit(const QString& number)
    {
        const int id = m_units->add(m_property, number, 1, 100, 3, 1000, 12000, 0, 1);
        [&] { QVERIFY(id > 0); }();
        return id;
    }

    int addContract(const QString& start, const QString& end, int unit = 0)
    {
        const int id = m_contracts->add(unit > 0 ? unit : m_unit, m_tenant, start, end, 1000,
                                        QStringLiteral("monthly"), 0, 1);
        [&] { QVERIFY(id > 0); }();
        return id;
    }

    void blockUnitUpdates()
    {
        QVERIFY(RentalRows::failOn(db(), QStringLiteral("UPDATE"), QStringLiteral("units")));
    }

    QString unitStatus() const
    {
        return m_fixture->value(QStringLiteral("SELECT status FROM units WHERE id=?"), {m_unit})
            .toString();
    }

    QString contractStatus(int id) const
    {
        return m_fixture->value(QStringLiteral("SELECT status FROM contracts WHERE id=?"), {id})
            .toString();
    }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<UnitModel> m_units;
    std::unique_ptr<ContractModel> m_contracts;
    int m_property = 0;
    int m_unit = 0;
    int m_tenant = 0;
    int m_otherTenant = 0;
};

QTEST_GUILESS_MAIN(TestContractModel)
#include "tst_contractmodel.moc"
