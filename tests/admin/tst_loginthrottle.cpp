#include "admin/LoginThrottle.h"

#include <QTest>

class TestLoginThrottle : public QObject
{
    Q_OBJECT

private slots:
    void waitGrowsAfterFifthFailureUpToCap()
    {
        qint64 now = 1000;
        LoginThrottle throttle;
        throttle.setClock([&now] { return now; });
        const QString name = QStringLiteral("سامي");

        for (int i = 1; i < LoginThrottle::kFreeAttempts; ++i) {
            throttle.recordFailure(name);
            QCOMPARE(throttle.waitFor(name), 0);
        }
        const QList<qint64> expectedSeconds = {30, 60, 120, 240, 480, 900, 900};
        for (const qint64 seconds : expectedSeconds) {
            throttle.recordFailure(name);
            QCOMPARE(throttle.waitFor(name), seconds * 1000);
            now += seconds * 1000 - 1;
            QCOMPARE(throttle.waitFor(name), 1);
            now += 1;
            QCOMPARE(throttle.waitFor(name), 0);
        }
    }

    void namesAreCountedApartAndSuccessForgets()
    {
        qint64 now = 0;
        LoginThrottle throttle;
        throttle.setClock([&now] { return now; });
        const QString sami = QStringLiteral("سامي");
        const QString admin = QStringLiteral("admin");

        for (int i = 0; i < LoginThrottle::kFreeAttempts; ++i)
            throttle.recordFailure(sami);
        QVERIFY(throttle.waitFor(sami) > 0);
        QCOMPARE(throttle.waitFor(admin), 0);
        // Names are compared exactly, as sign-in compares them.
        QCOMPARE(throttle.waitFor(QStringLiteral("سامي ")), 0);

        for (int i = 0; i < LoginThrottle::kFreeAttempts - 1; ++i)
            throttle.recordFailure(admin);
        throttle.recordSuccess(admin);
        throttle.recordFailure(admin);
        QCOMPARE(throttle.waitFor(admin), 0);

        throttle.recordSuccess(sami);
        QCOMPARE(throttle.waitFor(sami), 0);
    }
};

QTEST_GUILESS_MAIN(TestLoginThrottle)
#include "tst_loginthrottle.moc"
