#include "RentalRows.h"
#include "TestDatabase.h"

#include "core/Reasons.h"
#include "rental/InvoiceModel.h"
#include "rental/MeterReadingModel.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// The two metered services every new office starts with.
const int kWater = 1;       // 5 per cubic metre
const int kElectricity = 2; // 0.5 per kilowatt

QVariantMap reading(int unit, int service, const QVariant& current, bool meterChange = false)
{
    return {{QStringLiteral("unit_id"), unit},
            {QStringLiteral("service_id"), service},
            {QStringLiteral("current_reading"), current},
            {QStringLiteral("meter_change"), meterChange}};
}

} // namespace

class TestMeterReadingModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_model = std::make_unique<MeterReadingModel>(db());
        m_property = RentalRows::property(db(), QStringLiteral("عمارة السنديان"));
        m_unitA = RentalRows::unit(db(), m_property, QStringLiteral("A1"));
        m_unitB = RentalRows::unit(db(), m_property, QStringLiteral("B1"));
        QVERIFY(m_property > 0 && m_unitA > 0 && m_unitB > 0);
    }
    void cleanup()
    {
        m_model.reset();
        m_fixture.reset();
    }

    void sheetTakesPreviousReadingFromLastPeriodRead()
    {
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-03"), {reading(m_unitA, kWater, 80)}),
                 1);
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-04"), {reading(m_unitA, kWater, 100)}),
                 1);
        // Another property's unit is not on the sheet.
        const int other = RentalRows::property(db(), QStringLiteral("برج آخر"));
        QVERIFY(RentalRows::unit(db(), other, QStringLiteral("Z9")) > 0);

        const QVariantList sheet = m_model->getSheet(m_property, QStringLiteral("2024-05"));
        QStringList rows;
        for (const QVariant& value : sheet) {
            const QVariantMap row = value.toMap();
            rows << QStringLiteral("%1 %2 %3 %4 %5")
                        .arg(row.value("unit_number").toString(),
                             row.value("service_name").toString())
                        .arg(row.value("previous_reading").toDouble())
                        .arg(row.value("current_reading").isNull() ? QStringLiteral("-")
                                                                   : QStringLiteral("read"))
                        .arg(row.value("rate").toDouble());
        }
        QCOMPARE(rows, (QStringList{"A1 مياه 100 - 5", "A1 كهرباء 0 - 0.5", "B1 مياه 0 - 5",
                                    "B1 كهرباء 0 - 0.5"}));
        // A period already read shows what was saved for it.
        const QVariantMap april =
            m_model->getSheet(m_property, QStringLiteral("2024-04")).first().toMap();
        QCOMPARE(april.value("previous_reading").toDouble(), 80.0);
        QCOMPARE(april.value("current_reading").toDouble(), 100.0);
        QVERIFY(april.value("saved").toBool());
        QVERIFY(m_model->getSheet(m_property, QStringLiteral("أيار")).isEmpty());
    }

    void readingAgainstPrevious_data()
    {
        QTest::addColumn<double>("current");
        QTest::addColumn<bool>("meterChange");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<double>("previous");
        QTest::addColumn<double>("consumption");
        QTest::addColumn<double>("cost");
        QTest::newRow("above the previous") << 130.0 << false << true << 100.0 << 30.0 << 150.0;
        QTest::newRow("same as the previous") << 100.0 << false << true << 100.0 << 0.0 << 0.0;
        QTest::newRow("fractional") << 100.25 << false << true << 100.0 << 0.25 << 1.25;
        QTest::newRow("below the previous refused") << 90.0 << false << false << 0.0 << 0.0 << 0.0;
        QTest::newRow("below the previous with a meter change")
            << 12.0 << true << true << 0.0 << 12.0 << 60.0;
    }

    void readingAgainstPrevious()
    {
        QFETCH(double, current);
        QFETCH(bool, meterChange);
        QFETCH(bool, accepted);
        QFETCH(double, previous);
        QFETCH(double, consumption);
        QFETCH(double, cost);
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-04"), {reading(m_unitA, kWater, 100)}),
                 1);
        QSignalSpy changed(m_model.get(), &MeterReadingModel::dataChanged);

        const int saved = m_model->saveReadings(QStringLiteral("2024-05"),
                                                {reading(m_unitA, kWater, current, meterChange)});
        QCOMPARE(saved, accepted ? 1 : -1);
        QCOMPARE(changed.count(), accepted ? 1 : 0);
        const QVariantList rows = db()->execQuery(
            "SELECT previous_reading, current_reading, consumption, cost FROM usage_records "
            "WHERE period='2024-05'");
        if (!accepted) {
            QCOMPARE(m_model->lastError(), Reasons::readingBelowPrevious());
            QVERIFY(rows.isEmpty());
            return;
        }
        QVERIFY(m_model->lastError().isEmpty());
        QCOMPARE(rows.size(), 1);
        const QVariantMap row = rows.first().toMap();
        QCOMPARE(row.value("previous_reading").toDouble(), previous);
        QCOMPARE(row.value("current_reading").toDouble(), current);
        QCOMPARE(row.value("consumption").toDouble(), consumption);
        QCOMPARE(row.value("cost").toDouble(), cost);
    }

    // Regression: a saved meter change came back as an ordinary reading
    // from zero, so saving the reopened sheet as shown was refused as below
    // the previous reading.
    void savedMeterChangeComesBackAsOne()
    {
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-04"), {reading(m_unitA, kWater, 900)}),
                 1);
        QCOMPARE(
            m_model->saveReadings(QStringLiteral("2024-05"), {reading(m_unitA, kWater, 12, true),
                                                              reading(m_unitA, kElectricity, 300)}),
            2);
        QCOMPARE(m_model->savedCount(QStringLiteral("2024-05")), 2);
        QCOMPARE(m_model->savedCount(QStringLiteral("2024-06")), 0);

        QVariantMap water;
        QVariantMap electricity;
        for (const QVariant& value : m_model->getSheet(m_property, QStringLiteral("2024-05"))) {
            const QVariantMap row = value.toMap();
            if (row.value("unit_id").toInt() != m_unitA)
                continue;
            (row.value("service_id").toInt() == kWater ? water : electricity) = row;
        }
        QCOMPARE(water.value("meter_change").toBool(), true);
        QCOMPARE(water.value("previous_reading").toDouble(), 0.0);
        QCOMPARE(water.value("current_reading").toDouble(), 12.0);
        QCOMPARE(electricity.value("meter_change").toBool(), false);

        // The sheet saved again as it was shown keeps the new meter's count.
        QCOMPARE(m_model->saveReadings(
                     QStringLiteral("2024-05"),
                     {reading(m_unitA, kWater, 12, water.value("meter_change").toBool())}),
                 1);
        const QVariantList saved = m_fixture->db()->execQuery(
            "SELECT consumption, meter_change FROM usage_records WHERE period='2024-05' AND "
            "service_id=1");
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved[0].toMap()["consumption"].toDouble(), 12.0);
        QCOMPARE(saved[0].toMap()["meter_change"].toInt(), 1);
    }

    // One bad row keeps the whole sheet from being saved; a sheet saved again
    // before billing replaces the period's readings.
    void sheetIsSavedWholeOrNotAtAll()
    {
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-04"), {reading(m_unitB, kWater, 50)}),
                 1);
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-05"),
                                       {reading(m_unitA, kWater, 20), reading(m_unitB, kWater, 40),
                                        reading(m_unitA, kElectricity, QString())}),
                 -1);
        QCOMPARE(
            m_fixture->value("SELECT COUNT(*) FROM usage_records WHERE period='2024-05'").toInt(),
            0);
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-05"),
                                       {reading(m_unitA, kWater, 20), reading(m_unitB, kWater, 60),
                                        reading(m_unitA, kElectricity, QString())}),
                 2);
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-05"), {reading(m_unitA, kWater, 25)}),
                 1);
        QStringList consumption;
        for (const QVariant& r : m_fixture->db()->execQuery(
                 "SELECT consumption FROM usage_records WHERE period='2024-05' ORDER BY unit_id"))
            consumption << QString::number(r.toMap()["consumption"].toDouble(), 'f', 1);
        QCOMPARE(consumption.join(','), QStringLiteral("25.0,10.0"));
        // Not a reading, a fixed service, an unknown unit: refused, nothing saved.
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-06"), {reading(m_unitA, kWater, "ب")}),
                 -1);
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-06"), {reading(m_unitA, 3, 10)}), -1);
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-06"), {reading(9999, kWater, 10)}), -1);
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-13"), {reading(m_unitA, kWater, 30)}),
                 -1);
        QCOMPARE(
            m_fixture->value("SELECT COUNT(*) FROM usage_records WHERE period='2024-06'").toInt(),
            0);
    }

    // The rent run bills the saved consumption at its cost; once billed, the
    // period's readings of the unit can no longer change under the invoice.
    void rentRunBillsSavedConsumption()
    {
        const int tenant = RentalRows::tenant(db(), QStringLiteral("هالة يوسف"));
        QVERIFY(RentalRows::contract(db(), m_unitA, tenant, 1000) > 0);
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-04"), {reading(m_unitA, kWater, 100)}),
                 1);
        QCOMPARE(
            m_model->saveReadings(QStringLiteral("2024-05"), {reading(m_unitA, kWater, 130),
                                                              reading(m_unitA, kElectricity, 250)}),
            2);

        InvoiceModel invoices(db());
        QCOMPARE(invoices.generateAllRent(QStringLiteral("2024-05")), 1);
        const QVariantMap invoice = invoices.getByTenant(tenant).first().toMap();
        QCOMPARE(invoice.value("total_amount").toDouble(), 1000 + 150 + 125.0);
        QStringList lines;
        for (const QVariant& value : invoices.getItems(invoice.value("id").toInt())) {
            const QVariantMap line = value.toMap();
            lines << QStringLiteral("%1 %2x%3=%4")
                         .arg(line.value("description").toString())
                         .arg(line.value("quantity").toDouble())
                         .arg(line.value("unit_price").toDouble())
                         .arg(line.value("total").toDouble());
        }
        QCOMPARE(lines,
                 (QStringList{"إيجار شهري 1x1000=1000", "مياه 30x5=150", "كهرباء 250x0.5=125"}));

        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-05"), {reading(m_unitA, kWater, 140)}),
                 -1);
        QCOMPARE(m_model->lastError(), Reasons::readingsBilled());
        // After voiding the invoice the readings may be corrected.
        QVERIFY(invoices.voidInvoice(invoice.value("id").toInt()));
        QCOMPARE(m_model->saveReadings(QStringLiteral("2024-05"), {reading(m_unitA, kWater, 140)}),
                 1);
    }

private:
    Database* db() const { return m_fixture->db(); }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<MeterReadingModel> m_model;
    int m_property = 0;
    int m_unitA = 0;
    int m_unitB = 0;
};

QTEST_GUILESS_MAIN(TestMeterReadingModel)
#include "tst_meterreadingmodel.moc"
