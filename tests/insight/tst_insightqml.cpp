#include "QmlBackend.h"

#include <QTest>

// The dashboard, alerts and reports as the pages reach them: through their
// published context properties, with the defaults QML leaves out.
class TestInsightQml : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_qml = std::make_unique<QmlBackend>(); }
    void cleanup()
    {
        const QStringList errors = m_qml->takeErrors();
        m_qml.reset();
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
    }

    void controllersArePublished()
    {
        QCOMPARE(evaluate("dashboardCtrl.getStats().totalProperties").toInt(), 0);
        QCOMPARE(evaluate("dashboardCtrl.getRecentPayments().length").toInt(), 0);
        QCOMPARE(evaluate("dashboardCtrl.getMonthlyCollections().length").toInt(), 6);
        QCOMPARE(evaluate("dashboardCtrl.getMonthlyCollections(3)[2].total").toDouble(), 0.0);
        QCOMPARE(evaluate("notifyCtrl.getAlertCount()").toInt(), 0);
        QCOMPARE(evaluate("notifyCtrl.getActiveAlerts().length").toInt(), 0);
        QCOMPARE(evaluate("reportCtrl.getAIInsights()[0].title").toString(),
                 QStringLiteral("تحليل الإشغال"));
        QCOMPARE(evaluate("reportCtrl.getChequeReport().length").toInt(), 0);
        QCOMPARE(evaluate("reportCtrl.getProfitLoss('', '').net_profit").toDouble(), 0.0);
    }

    void refusedBoundReachesThePage()
    {
        const int tenant =
            evaluate("tenantModel.add('خالد يوسف', '401', '0599123456', '', '')").toInt();
        QVERIFY(tenant > 0);
        QCOMPARE(evaluate(QStringLiteral("reportCtrl.getTenantStatement(%1, \"2025-01-01' OR "
                                         "'1'='1\", '2025-12-31').length")
                              .arg(tenant))
                     .toInt(),
                 0);
        QVERIFY(!evaluate("reportCtrl.lastError").toString().isEmpty());
        QCOMPARE(evaluate(QStringLiteral("reportCtrl.getTenantStatement(%1).length").arg(tenant))
                     .toInt(),
                 0);
        QCOMPARE(evaluate("reportCtrl.lastError").toString(), QString());
    }

private:
    QVariant evaluate(const QString& script) { return m_qml->evaluate(script); }

    std::unique_ptr<QmlBackend> m_qml;
};

QTEST_MAIN(TestInsightQml)
#include "tst_insightqml.moc"
