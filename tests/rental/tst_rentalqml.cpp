#include "TestDatabase.h"

#include "core/AppContext.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QTest>

// The rental objects as the properties and tenants pages reach them: through
// the published context properties, with QML's own argument conversion.
class TestRentalQml : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_backend = std::make_unique<AppContext>(m_fixture->db(), m_fixture->dir());
        m_engine = std::make_unique<QQmlEngine>();
        m_backend->publish(m_engine->rootContext());
    }

    void cleanup()
    {
        QVERIFY2(m_scriptErrors.isEmpty(), qPrintable(m_scriptErrors.join(QLatin1Char('\n'))));
        m_scriptErrors.clear();
        m_engine.reset();
        m_backend.reset();
        m_fixture.reset();
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
    QVariant evaluate(const QString& script)
    {
        QQmlExpression expression(m_engine->rootContext(), nullptr, script);
        const QVariant result = expression.evaluate();
        if (expression.hasError())
            m_scriptErrors << script + QStringLiteral(": ") + expression.error().toString();
        return result;
    }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<AppContext> m_backend;
    std::unique_ptr<QQmlEngine> m_engine;
    QStringList m_scriptErrors;
};

QTEST_MAIN(TestRentalQml)
#include "tst_rentalqml.moc"
