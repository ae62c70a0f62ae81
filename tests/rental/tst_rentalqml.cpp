#include "QmlBackend.h"

#include <QTest>

// The rental objects as the properties and tenants pages reach them: through
// the published context properties, with QML's own argument conversion.
class TestRentalQml : public QObject
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

    void pagesFlowFromPropertyToTerminatedContract()
    {
        const int property =
            evaluate(QStringLiteral("propertyModel.add('برج النخيل', 'residential', 'شارع "
                                    "يافا', 'نابلس', '')"))
                .toInt();
        QVERIFY(property > 0);
        // The units dialog passes its text fields converted to numbers.
        const int unit = evaluate(QStringLiteral("unitModel.add(%1, '12', parseInt('3'), "
                                                 "Number('95.5'), 3, 1500, 1500 * 12, 0, 1)")
                                      .arg(property))
                             .toInt();
        QVERIFY(unit > 0);
        const int tenant = evaluate(QStringLiteral("tenantModel.add('خالد يوسف', '401', "
                                                   "'0599123456', '', '')"))
                               .toInt();
        QVERIFY(tenant > 0);

        const QString add = QStringLiteral(
            "contractModel.add(%1, %2, '2024-01-01', '2024-12-31', 1500, 'monthly', 0, 1)");
        const int contract = evaluate(add.arg(unit).arg(tenant)).toInt();
        QVERIFY(contract > 0);
        QCOMPARE(evaluate(add.arg(unit).arg(tenant)).toInt(), -1);

        // Both forms of the overlap check are callable.
        QCOMPARE(evaluate(QStringLiteral("contractModel.hasOverlap(%1, '2024-06-01', "
                                         "'2024-06-30')")
                              .arg(unit))
                     .toBool(),
                 true);
        QCOMPARE(evaluate(QStringLiteral("contractModel.hasOverlap(%1, '2024-06-01', "
                                         "'2024-06-30', %2)")
                              .arg(unit)
                              .arg(contract))
                     .toBool(),
                 false);
        QCOMPARE(evaluate(QStringLiteral("propertyModel.getAll()[0].monthly_revenue")).toDouble(),
                 1500.0);
        QCOMPARE(evaluate(QStringLiteral("unitModel.getAvailable().length")).toInt(), 0);

        QCOMPARE(evaluate(QStringLiteral("contractModel.terminate(%1)").arg(contract)).toBool(),
                 true);
        QCOMPARE(evaluate(QStringLiteral("tenantModel.getAll()[0].active_contracts")).toInt(), 0);
        QCOMPARE(evaluate(QStringLiteral("unitModel.getAvailable()[0].unit_number")).toString(),
                 QStringLiteral("12"));
    }

private:
    QVariant evaluate(const QString& script) { return m_qml->evaluate(script); }

    std::unique_ptr<QmlBackend> m_qml;
};

QTEST_MAIN(TestRentalQml)
#include "tst_rentalqml.moc"
