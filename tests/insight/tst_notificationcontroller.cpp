#include "InsightRows.h"
#include "TestDatabase.h"
#include "insight/NotificationController.h"

#include <QTest>

using namespace InsightRows;

class TestNotificationController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useLocalDayApartFromUtc()); }
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        m_ctrl = std::make_unique<NotificationController>(m_t->db());
        m_property = InsightRows::property(db(), QStringLiteral("برج الياسمين"));
        m_unit = unit(db(), m_property, QStringLiteral("ب-12"), QStringLiteral("sold"));
        m_buyer = buyer(db(), QStringLiteral("منى حداد"));
    }
    void cleanup()
    {
        m_ctrl.reset();
        m_t.reset();
    }

    void installmentAlertsByLocalDueDay()
    {
        installment(db(), m_buyer, m_unit, 7500, day(0));
        installment(db(), m_buyer, m_unit, 2500.5, day(-1), 1000, "partial");
        installment(db(), m_buyer, m_unit, 3000, day(-2));
        installment(db(), m_buyer, m_unit, 3000, day(-3), 3000, "paid");
        installment(db(), m_buyer, m_unit, 3000, day(1));

        const QVariantList alerts = m_ctrl->getActiveAlerts();
        QCOMPARE(alerts.size(), 3);
        const QVariantMap today = alerts[0].toMap();
        QCOMPARE(today["type"].toString(), QStringLiteral("payment_due"));
        QCOMPARE(today["title"].toString(), QStringLiteral("دفعة مستحقة (اليوم/أمس): منى حداد"));
        QCOMPARE(today["detail"].toString(), QStringLiteral("الوحدة: ب-12 - المبلغ: 7500 ₪"));
        QCOMPARE(today["severity"].toString(), QStringLiteral("high"));
        QCOMPARE(alerts[1].toMap()["detail"].toString(),
                 QStringLiteral("الوحدة: ب-12 - المبلغ: 2500.5 ₪"));
        const QVariantMap overdue = alerts[2].toMap();
        QCOMPARE(overdue["type"].toString(), QStringLiteral("overdue"));
        QCOMPARE(overdue["title"].toString(), QStringLiteral("قسط متأخر جداً: منى حداد"));
        QCOMPARE(overdue["detail"].toString(), QStringLiteral("استحق في: ") + day(-2));
        QCOMPARE(overdue["severity"].toString(), QStringLiteral("critical"));
    }

    void chequesDueWithinAWeek()
    {
        cheque(db(), "1001", 1200, day(7));
        cheque(db(), "1002", 1200, day(8));
        cheque(db(), "1003", 500, day(-40));
        cheque(db(), "1004", 500, day(1), "paid");
        cheque(db(), "1005", 500, day(1), "bounced");

        const QVariantList alerts = m_ctrl->getActiveAlerts();
        QCOMPARE(alerts.size(), 2);
        QCOMPARE(alerts[0].toMap()["detail"].toString(), QStringLiteral("رقم: 1003 - مبلغ: 500"));
        const QVariantMap week = alerts[1].toMap();
        QCOMPARE(week["type"].toString(), QStringLiteral("cheque"));
        QCOMPARE(week["title"].toString(), QStringLiteral("شيك مستحق خلال أسبوع"));
        QCOMPARE(week["detail"].toString(), QStringLiteral("رقم: 1001 - مبلغ: 1200"));
        QCOMPARE(week["severity"].toString(), QStringLiteral("medium"));
    }

    void activeContractsEndingWithinAMonth()
    {
        const int t = tenant(db(), QStringLiteral("خالد يوسف"));
        contract(db(), m_unit, t, day(30));
        contract(db(), m_unit, t, day(31));
        contract(db(), m_unit, t, day(3), "terminated");

        const QVariantList alerts = m_ctrl->getActiveAlerts();
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(alerts[0].toMap(),
                 QVariantMap({{"type", "contract"},
                              {"title", QStringLiteral("عقد ينتهي قريباً: خالد يوسف")},
                              {"detail", QStringLiteral("تاريخ الانتهاء: ") + day(30)},
                              {"severity", "low"}}));
    }

    void countMatchesTheListAndReadingChangesNothing()
    {
        QCOMPARE(m_ctrl->getAlertCount(), 0);
        installment(db(), m_buyer, m_unit, 100, day(0));
        installment(db(), m_buyer, m_unit, 100, day(-5));
        installment(db(), m_buyer, m_unit, 100, day(-6));
        cheque(db(), "1", 10, day(2));
        contract(db(), m_unit, tenant(db(), "خالد"), day(1));

        const int count = m_ctrl->getActiveAlerts().size();
        QCOMPARE(count, 5);
        QCOMPARE(m_ctrl->getAlertCount(), count);
        m_ctrl->markAsRead(1);
        QCOMPARE(m_ctrl->getAlertCount(), count);
        QCOMPARE(m_ctrl->getActiveAlerts().size(), count);
    }

private:
    Database* db() const { return m_t->db(); }

    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<NotificationController> m_ctrl;
    int m_property = 0;
    int m_unit = 0;
    int m_buyer = 0;
};

QTEST_MAIN(TestNotificationController)
#include "tst_notificationcontroller.moc"
