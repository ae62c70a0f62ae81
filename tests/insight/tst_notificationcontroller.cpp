#include "InsightRows.h"
#include "TestDatabase.h"
#include "insight/NotificationController.h"

#include <QMap>
#include <QTest>

using namespace InsightRows;

// Inside an Arabic line a number, date or code is wrapped in an isolate.
static QString isolated(const QString& text)
{
    return QChar(0x2068) + text + QChar(0x2069);
}

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
        // Numbers, dates and amounts keep their own order inside the Arabic
        // line, and amounts are written as everywhere else ("7,500.00 ₪").
        QCOMPARE(today["detail"].toString(), QStringLiteral("الوحدة: ") + isolated("ب-12") +
                                                 QStringLiteral(" - المبلغ: ") +
                                                 isolated("7,500.00\u00a0₪"));
        QCOMPARE(today["severity"].toString(), QStringLiteral("high"));
        QCOMPARE(alerts[1].toMap()["detail"].toString(),
                 QStringLiteral("الوحدة: ") + isolated("ب-12") + QStringLiteral(" - المبلغ: ") +
                     isolated("2,500.50\u00a0₪"));
        const QVariantMap overdue = alerts[2].toMap();
        QCOMPARE(overdue["type"].toString(), QStringLiteral("overdue"));
        QCOMPARE(overdue["title"].toString(), QStringLiteral("قسط متأخر جداً: منى حداد"));
        QCOMPARE(overdue["detail"].toString(), QStringLiteral("استحق في: ") + isolated(day(-2)));
        QCOMPARE(overdue["severity"].toString(), QStringLiteral("critical"));
    }

    // Each alert names the payer, the amount in the cheque's own currency
    // (never in exponent form) and the bank; a bounced cheque stays alerted
    // until it is replaced.
    void chequesDueWithinAWeekRegressionAmountInExponentForm()
    {
        cheque(db(), "1001", 1200, day(7));
        cheque(db(), "1002", 1200, day(8));
        cheque(db(), "1003", 500, day(-40));
        cheque(db(), "1004", 500, day(1), "paid");
        const int bounced = cheque(db(), "1005", 500, day(1), "bounced");
        const int big = cheque(db(), "1006", 100000, day(6));
        QVERIFY(
            db()->execNonQuery("UPDATE cheques SET payer_name=?, bank_name=?, currency_id=2 "
                               "WHERE id=?",
                               {QStringLiteral("سامي الحداد"), QStringLiteral("بنك القدس"), big}));

        QVariantList alerts = m_ctrl->getActiveAlerts();
        QCOMPARE(alerts.size(), 4);
        QCOMPARE(alerts[0].toMap()["detail"].toString(),
                 QStringLiteral("رقم: ") + isolated("1003") + QStringLiteral(" - المبلغ: ") +
                     isolated(QStringLiteral("500.00\u00a0₪")) + QStringLiteral(" - الاستحقاق: ") +
                     isolated(day(-40)));
        QCOMPARE(alerts[0].toMap()["title"].toString(),
                 QStringLiteral("شيك مستحق خلال أسبوع من: غير محدد"));
        QCOMPARE(alerts[1].toMap()["title"].toString(),
                 QStringLiteral("شيك مستحق خلال أسبوع من: سامي الحداد"));
        QCOMPARE(alerts[1].toMap()["detail"].toString(),
                 QStringLiteral("رقم: ") + isolated("1006") + QStringLiteral(" - المبلغ: ") +
                     isolated(QStringLiteral("100,000.00\u00a0$")) +
                     QStringLiteral(" - البنك: بنك القدس - الاستحقاق: ") + isolated(day(6)));
        const QVariantMap week = alerts[2].toMap();
        QCOMPARE(week["type"].toString(), QStringLiteral("cheque"));
        QCOMPARE(week["severity"].toString(), QStringLiteral("medium"));
        QVERIFY(week["detail"].toString().startsWith(QStringLiteral("رقم: ") + isolated("1001")));
        const QVariantMap bounce = alerts[3].toMap();
        QCOMPARE(bounce["type"].toString(), QStringLiteral("cheque_bounced"));
        QCOMPARE(bounce["severity"].toString(), QStringLiteral("high"));
        QCOMPARE(bounce["cheque_id"].toInt(), bounced);
        QCOMPARE(m_ctrl->getAlertCount(), 4);

        // Replaced: the bounce is no longer alerted.
        const int payment = db()->execInsert(
            "INSERT INTO payments (amount, payment_date) VALUES (500, ?)", {day(0)});
        QVERIFY(db()->execNonQuery("UPDATE cheques SET replaced_by_payment_id=? WHERE id=?",
                                   {payment, bounced}));
        alerts = m_ctrl->getActiveAlerts();
        QCOMPARE(alerts.size(), 3);
        QCOMPARE(m_ctrl->getAlertCount(), 3);
    }

    void overdueInstalmentAlertNamesItsBuyer()
    {
        installment(db(), m_buyer, m_unit, 3000, day(-9));
        const QVariantMap overdue = m_ctrl->getActiveAlerts().value(0).toMap();
        QCOMPARE(overdue["type"].toString(), QStringLiteral("overdue"));
        QCOMPARE(overdue["buyer_id"].toInt(), m_buyer);
        QCOMPARE(overdue["buyer_name"].toString(), QStringLiteral("منى حداد"));
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
                              {"detail", QStringLiteral("تاريخ الانتهاء: ") + isolated(day(30))},
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

    // The count of overdue invoices is read from the open balances kept per
    // due day, the list from the invoices: an invoice of no known tenant (an
    // old import) is owed all the same, in both and in the overdue figure.
    void regressionOverdueInvoiceOfNoTenantWasNeverAlerted()
    {
        const int tenant = InsightRows::tenant(db(), QStringLiteral("سامي الخطيب"));
        invoice(db(), "INV-1", tenant, m_unit, period(1), 250, 100, "partial", day(-3));
        invoice(db(), "INV-2", tenant, m_unit, period(0), 250, 0, "pending", day(2));
        invoice(db(), "INV-3", tenant, m_unit, period(2), 250, 250, "paid", day(-40));
        const int orphan =
            invoice(db(), "INV-4", tenant, QVariant(), period(3), 80, 0, "pending", day(-70));
        QVERIFY(db()->execNonQuery(QStringLiteral("UPDATE invoices SET tenant_id=NULL WHERE id=?"),
                                   {orphan}));

        QStringList overdue;
        for (const QVariant& value : m_ctrl->getActiveAlerts()) {
            const QVariantMap alert = value.toMap();
            if (alert.value("type") == QLatin1String("overdue_invoice"))
                overdue << alert.value("title").toString() + QLatin1Char('|') +
                               QString::number(alert.value("amount").toDouble());
        }
        QCOMPARE(overdue, (QStringList{QStringLiteral("فاتورة متأخرة|80"),
                                       QStringLiteral("فاتورة متأخرة: سامي الخطيب|150")}));
        QCOMPARE(m_ctrl->getAlertCount(), m_ctrl->getActiveAlerts().size());
        QCOMPARE(m_ctrl->getAlertCount(), 2);
    }

    // The dashboard asks for the first few of each kind: a kind with many
    // alerts must not crowd out the others, and what is listed is the head
    // of each kind's full list in its order.
    void firstFewOfEachKindKeepEveryKind()
    {
        for (int i = 0; i < 5; ++i)
            installment(db(), m_buyer, m_unit, 100 + i, day(-10 - i));
        cheque(db(), "2001", 10, day(2));
        cheque(db(), "2002", 20, day(3));
        cheque(db(), "2003", 30, day(4));
        contract(db(), m_unit, tenant(db(), QStringLiteral("خالد يوسف")), day(5));

        const QVariantList all = m_ctrl->getActiveAlerts();
        QCOMPARE(all.size(), 9);
        const QVariantList few = m_ctrl->getActiveAlerts(2);
        QMap<QString, QVariantList> allByKind;
        QMap<QString, QVariantList> fewByKind;
        for (const QVariant& a : all)
            allByKind[a.toMap().value("type").toString()] << a;
        for (const QVariant& a : few)
            fewByKind[a.toMap().value("type").toString()] << a;
        QCOMPARE(fewByKind.keys(), allByKind.keys());
        for (auto it = allByKind.cbegin(); it != allByKind.cend(); ++it)
            QCOMPARE(fewByKind.value(it.key()), it.value().mid(0, 2));
        QCOMPARE(few.size(), 5);
        QCOMPARE(m_ctrl->getActiveAlerts(0).size(), 0);
        QCOMPARE(m_ctrl->getAlertCount(), 9);
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
