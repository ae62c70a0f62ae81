#include "core/Money.h"
#include "core/SqlValue.h"

#include <QTest>

#include <limits>

class TestMoney : public QObject
{
    Q_OBJECT

private slots:
    void saneAmounts_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<bool>("sane");
        QTest::addColumn<bool>("positive");
        QTest::newRow("ordinary") << 1234.56 << true << true;
        QTest::newRow("zero") << 0.0 << true << false;
        QTest::newRow("negative") << -5.0 << true << false;
        QTest::newRow("just below the bound") << 999999999999.99 << true << true;
        QTest::newRow("the bound") << 1e12 << false << false;
        QTest::newRow("1e17") << 1e17 << false << false;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << false << false;
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << false << false;
    }
    void saneAmounts()
    {
        QFETCH(double, amount);
        QTEST(Money::isSane(amount), "sane");
        QTEST(Money::isPositive(amount), "positive");
    }

    // 1e17 used to overflow into a small number of cents and slip past the
    // over-payment check.
    void regressionHugeAmountsDoNotWrapToFewCents()
    {
        QVERIFY(Money::toCents(1e17) > Money::toCents(999999999999.99));
        QVERIFY(Money::toCents(1e300) > 0);
        QVERIFY(Money::toCents(-1e300) < 0);
        QVERIFY(Money::toCents(std::numeric_limits<double>::infinity()) > 0);
        QCOMPARE(Money::toCents(std::numeric_limits<double>::quiet_NaN()), 0);
        QCOMPARE(Money::toCents(999999999999.99), Q_INT64_C(99999999999999));
    }

    void periods_data()
    {
        QTest::addColumn<QString>("period");
        QTest::addColumn<bool>("valid");
        QTest::newRow("a month") << "2025-02" << true;
        QTest::newRow("month 13") << "2025-13" << false;
        QTest::newRow("a full date") << "2025-02-01" << false;
        QTest::newRow("one digit") << "2025-2" << false;
        QTest::newRow("text") << "شباط" << false;
        QTest::newRow("empty") << "" << false;
    }
    void periods()
    {
        QFETCH(QString, period);
        QTEST(SqlValue::isIsoPeriod(period), "valid");
    }
};

QTEST_GUILESS_MAIN(TestMoney)
#include "tst_money.moc"
