#include "InsightRows.h"
#include "TestDatabase.h"
#include "core/Reasons.h"
#include "insight/DashboardController.h"

#include <QTest>

using namespace InsightRows;

class TestDashboardController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useLocalDayApartFromUtc()); }
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        m_ctrl = std::make_unique<DashboardController>(m_t->db());
        m_property = InsightRows::property(db(), QStringLiteral("برج الياسمين"));
    }
    void cleanup()
    {
        m_ctrl.reset();
        m_t.reset();
    }

    void statsCountTenantsNotContracts()
    {
        const int khaled = tenant(db(), QStringLiteral("خالد يوسف"));
        const int sara = tenant(db(), QStringLiteral("سارة أحمد"));
        const int omar = tenant(db(), QStringLiteral("عمر سليم"));
        contract(db(), unit(db(), m_property, "1"), khaled, day(100));
        contract(db(), unit(db(), m_property, "2"), khaled, day(100));
        contract(db(), unit(db(), m_property, "3"), sara, day(100));
        contract(db(), unit(db(), m_property, "4"), omar, day(100), "terminated");
        db()->execInsert("INSERT INTO maintenance_requests (unit_id, title, status) VALUES "
                         "(1, 'تسريب مياه', 'new'), (1, 'مصعد', 'in_progress'), (1, 'باب', "
                         "'completed')");

        const QVariantMap stats = m_ctrl->getStats();
        QCOMPARE(stats["totalProperties"].toInt(), 1);
        QCOMPARE(stats["activeTenants"].toInt(), 2);
        QCOMPARE(stats["pendingMaintenance"].toInt(), 2);
    }

    void revenueGrowth_data()
    {
        QTest::addColumn<double>("lastMonth");
        QTest::addColumn<double>("thisMonth");
        QTest::addColumn<double>("growth");
        QTest::newRow("nothing last month") << 0.0 << 1500.0 << 0.0;
        QTest::newRow("up by half") << 1000.0 << 1500.0 << 50.0;
        QTest::newRow("down by half") << 1000.0 << 500.0 << -50.0;
    }
    void revenueGrowth()
    {
        QFETCH(double, lastMonth);
        QFETCH(double, thisMonth);
        QFETCH(double, growth);
        if (lastMonth > 0)
            payment(db(), lastMonth, dayOfMonth(1, 28));
        // Tenant and buyer payments alike, the one dated today by the local clock included.
        payment(db(), thisMonth - 100, dayOfMonth(0, 1), 1, tenant(db(), "خالد"));
        payment(db(), 100, day(), 1, QVariant(), buyer(db(), "منى"));
        payment(db(), 999, dayOfMonth(2), 1);

        const QVariantMap stats = m_ctrl->getStats();
        QCOMPARE(stats["monthlyRevenue"].toDouble(), thisMonth);
        QCOMPARE(m_ctrl->getMonthlyRevenue(), thisMonth);
        QCOMPARE(stats["revenueGrowth"].toDouble(), growth);
        QCOMPARE(stats["mixedCurrencies"].toBool(), false);
    }

    // Once added raw (1,300) and flagged as mixed; now each payment is
    // converted at its day's rate, with the dollars kept in the breakdown.
    void statsConvertRevenueInSeveralCurrencies()
    {
        payment(db(), 1000, day(), 1);
        payment(db(), 300, day(), 2);
        QVariantMap collected = m_ctrl->getStats()["collectedThisMonth"].toMap();
        QCOMPARE(collected["total"].toDouble(), 1000.0);
        QCOMPARE(collected["complete"].toBool(), false);
        QCOMPARE(collected["missing"].toStringList(), QStringList{Reasons::noRate("USD", day())});

        db()->execNonQuery("INSERT INTO exchange_rates (from_currency_id, to_currency_id, rate, "
                           "date) VALUES (2, 1, 3.6, ?)",
                           {day(-400)});
        const QVariantMap stats = m_ctrl->getStats();
        QCOMPARE(stats["monthlyRevenue"].toDouble(), 2080.0);
        QCOMPARE(stats["mixedCurrencies"].toBool(), false);
        collected = stats["collectedThisMonth"].toMap();
        QCOMPARE(collected["complete"].toBool(), true);
        QCOMPARE(collected["byCurrency"].toList().size(), 2);
        QCOMPARE(collected["byCurrency"].toList().last().toMap()["total"].toDouble(), 300.0);
    }

    void occupancyCountsOnlyRentedUnits()
    {
        QCOMPARE(m_ctrl->getOccupancyRate(), 0.0);
        unit(db(), m_property, "1", "rented");
        unit(db(), m_property, "2", "sold");
        unit(db(), m_property, "3", "available");
        unit(db(), m_property, "4", "available");
        // Rented of the units not sold: 1 of 3.
        QCOMPARE(m_ctrl->getOccupancyRate(), 100.0 / 3.0);
    }

    void collectionRateCoversThisPeriodOn()
    {
        QCOMPARE(m_ctrl->getCollectionRate(), 0.0);
        const int t = tenant(db(), "خالد");
        invoice(db(), "INV-1", t, QVariant(), period(), 1500, 500, "partial");
        invoice(db(), "INV-2", t, QVariant(), period(-1), 500, 0);
        invoice(db(), "INV-3", t, QVariant(), period(1), 3000, 3000, "paid");
        QCOMPARE(m_ctrl->getCollectionRate(), 25.0);
    }

    void regressionCollectionRateCountedVoidInvoices()
    {
        const int t = tenant(db(), "خالد");
        invoice(db(), "INV-1", t, QVariant(), period(), 2000, 500, "partial");
        invoice(db(), "INV-2", t, QVariant(), period(), 2000, 0, "void");
        QCOMPARE(m_ctrl->getCollectionRate(), 25.0);
    }

    void recentPaymentsNameBuyerAndUnit()
    {
        const int u = unit(db(), m_property, "ب-12", "sold");
        const int rented = unit(db(), m_property, "أ-3", "rented");
        const int t = tenant(db(), "خالد يوسف");
        const int inv = invoice(db(), "INV-1", t, rented, period(), 900, 0);
        payment(db(), 900, day(-1), 1, t, QVariant(), QVariant(), inv);
        payment(db(), 5000, day(), 1, QVariant(), buyer(db(), "منى حداد"), u);
        for (int i = 2; i <= 6; ++i)
            payment(db(), i, day(-i), 1, t);

        const QVariantList rows = m_ctrl->getRecentPayments();
        QCOMPARE(rows.size(), 5);
        const QVariantMap sale = rows[0].toMap();
        QCOMPARE(sale["buyer_name"].toString(), QStringLiteral("منى حداد"));
        QCOMPARE(sale["payer_name"].toString(), QStringLiteral("منى حداد"));
        QCOMPARE(sale["unit_number"].toString(), QStringLiteral("ب-12"));
        QCOMPARE(sale["property_name"].toString(), QStringLiteral("برج الياسمين"));
        const QVariantMap rent = rows[1].toMap();
        QCOMPARE(rent["tenant_name"].toString(), QStringLiteral("خالد يوسف"));
        QCOMPARE(rent["unit_number"].toString(), QStringLiteral("أ-3"));
        QCOMPARE(m_ctrl->getRecentPayments(2).size(), 2);
    }

    void recentMaintenanceNewestFirst()
    {
        const int u = unit(db(), m_property, "1");
        for (int i = 1; i <= 4; ++i)
            db()->execInsert("INSERT INTO maintenance_requests (unit_id, property_id, title, "
                             "created_at) VALUES (?,?,?,?)",
                             {u, m_property, QStringLiteral("طلب %1").arg(i),
                              QStringLiteral("2025-01-0%1 10:00:00").arg(i)});
        const QVariantList rows = m_ctrl->getRecentMaintenance();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].toMap()["title"].toString(), QStringLiteral("طلب 4"));
        QCOMPARE(rows[0].toMap()["property_name"].toString(), QStringLiteral("برج الياسمين"));
    }

    void expiringContractsUpToTheLocalDay()
    {
        const int t = tenant(db(), "خالد");
        contract(db(), unit(db(), m_property, "1"), t, day(-10));
        contract(db(), unit(db(), m_property, "2"), t, day(30));
        contract(db(), unit(db(), m_property, "3"), t, day(31));
        contract(db(), unit(db(), m_property, "4"), t, day(5), "terminated");
        const QVariantList rows = m_ctrl->getExpiringContracts();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].toMap()["end_date"].toString(), day(-10));
        QCOMPARE(rows[1].toMap()["end_date"].toString(), day(30));
        QCOMPARE(rows[1].toMap()["tenant_name"].toString(), QStringLiteral("خالد"));
    }

    void regressionTodayWasTheUtcDay()
    {
        // The local date is a day away from UTC's here: "today" must be the local one.
        const int t = tenant(db(), "خالد");
        contract(db(), unit(db(), m_property, "1"), t, day(0));
        contract(db(), unit(db(), m_property, "2"), t, day(1));
        const QVariantList rows = m_ctrl->getExpiringContracts(0);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].toMap()["end_date"].toString(), day(0));
    }

    void monthlyCollectionsIncludeEmptyMonths()
    {
        db()->execNonQuery("INSERT INTO exchange_rates (from_currency_id, to_currency_id, rate, "
                           "date) VALUES (2, 1, 1.5, ?)",
                           {day(-400)});
        payment(db(), 1000, dayOfMonth(0, 1), 1, tenant(db(), "خالد"));
        payment(db(), 250.5, day(), 1, QVariant(), buyer(db(), "منى"));
        payment(db(), 700, dayOfMonth(2), 2);
        payment(db(), 300, dayOfMonth(2), 1);
        payment(db(), 99, dayOfMonth(6), 1);
        payment(db(), 77, dayOfMonth(-1), 1);

        const QVariantList months = m_ctrl->getMonthlyCollections();
        QCOMPARE(months.size(), 6);
        const QStringList names = {"يناير", "فبراير", "مارس",   "أبريل",  "مايو",   "يونيو",
                                   "يوليو", "أغسطس",  "سبتمبر", "أكتوبر", "نوفمبر", "ديسمبر"};
        for (int i = 0; i < 6; ++i) {
            const QVariantMap entry = months[i].toMap();
            const QDate month = QDate::currentDate().addMonths(i - 5);
            QCOMPARE(entry["month"].toString(), month.toString("yyyy-MM"));
            QCOMPARE(entry["label"].toString(), names[month.month() - 1]);
            // 700 $ at 1.5 beside 300 ₪ in the fourth month.
            const double expected = i == 5 ? 1250.5 : i == 3 ? 1350 : 0;
            QCOMPARE(entry["total"].toDouble(), expected);
            QCOMPARE(entry["mixedCurrencies"].toBool(), false);
            QCOMPARE(entry["complete"].toBool(), true);
        }
        QCOMPARE(m_ctrl->getMonthlyCollections(1).size(), 1);
        QCOMPARE(m_ctrl->getMonthlyCollections(0).size(), 0);
    }

private:
    Database* db() const { return m_t->db(); }

    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<DashboardController> m_ctrl;
    int m_property = 0;
};

QTEST_MAIN(TestDashboardController)
#include "tst_dashboardcontroller.moc"
