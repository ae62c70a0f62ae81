#include "TestDatabase.h"

#include "admin/LoginThrottle.h"
#include "core/TransactionGuard.h"

#include <QTest>

class TestLoginThrottle : public QObject
{
    Q_OBJECT

private slots:
    void waitGrowsAfterFifthFailureUpToCap()
    {
        qint64 now = 1000;
        TestDatabase fixture;
        LoginThrottle throttle(fixture.db());
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
        TestDatabase fixture;
        LoginThrottle throttle(fixture.db());
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

    // Regression: the counts lived in memory, so closing and starting the
    // program gave five fresh guesses.
    void waitSurvivesARestart()
    {
        TestDatabase fixture;
        qint64 now = 1'000'000;
        const QString name = QStringLiteral("admin");
        {
            LoginThrottle throttle(fixture.db());
            throttle.setClock([&now] { return now; });
            for (int i = 0; i < LoginThrottle::kFreeAttempts; ++i)
                throttle.recordFailure(name);
            QCOMPARE(throttle.waitFor(name), LoginThrottle::kFirstWaitMs);
        }
        QVERIFY(fixture.reopen());
        LoginThrottle restarted(fixture.db());
        restarted.setClock([&now] { return now; });
        now += 1000;
        QCOMPARE(restarted.waitFor(name), LoginThrottle::kFirstWaitMs - 1000);
        // The count goes on from where it was: the next failure doubles the wait.
        now += LoginThrottle::kFirstWaitMs;
        restarted.recordFailure(name);
        QCOMPARE(restarted.waitFor(name), 2 * LoginThrottle::kFirstWaitMs);
    }

    // Regression: failing with 1,000 other names pushed the victim's count out.
    void manyOtherNamesDoNotEraseAVictimsCount()
    {
        TestDatabase fixture;
        qint64 now = 5'000'000;
        LoginThrottle throttle(fixture.db());
        throttle.setClock([&now] { return now; });
        const QString victim = QStringLiteral("مدير المكتب");
        for (int i = 0; i < LoginThrottle::kFreeAttempts - 1; ++i)
            throttle.recordFailure(victim);
        {
            TransactionGuard batch(fixture.db());
            for (int i = 0; i < 1000; ++i)
                throttle.recordFailure(QStringLiteral("guess-%1").arg(i));
            QVERIFY(batch.commit());
        }
        QCOMPARE(fixture.count(QStringLiteral("login_failures")), 1001);
        // One more guess at the victim is the fifth: it must wait now.
        throttle.recordFailure(victim);
        QCOMPARE(throttle.waitFor(victim), LoginThrottle::kFirstWaitMs);
    }

    void fullTableMakesRoomWithoutForgettingAWaitingName()
    {
        TestDatabase fixture;
        qint64 now = 9'000'000'000;
        LoginThrottle throttle(fixture.db());
        throttle.setClock([&now] { return now; });
        const QString victim = QStringLiteral("سامي");
        for (int i = 0; i < LoginThrottle::kFreeAttempts; ++i)
            throttle.recordFailure(victim);
        // The table filled with single failures, half of them two days old.
        TransactionGuard fill(fixture.db());
        for (int i = 1; i < LoginThrottle::kMaxNames; ++i)
            QVERIFY(fixture.db()->execNonQuery(
                QStringLiteral("INSERT INTO login_failures (name, failures, blocked_until, "
                               "last_failure) VALUES (?, 1, 0, ?)"),
                {QStringLiteral("n%1").arg(i),
                 i % 2 ? now - 2 * LoginThrottle::kForgetAfterMs : now - 1000}));
        QVERIFY(fill.commit());
        QCOMPARE(fixture.count(QStringLiteral("login_failures")), LoginThrottle::kMaxNames);

        throttle.recordFailure(QStringLiteral("جديد"));
        QVERIFY(fixture.count(QStringLiteral("login_failures")) <= LoginThrottle::kMaxNames);
        QCOMPARE(fixture
                     .value(QStringLiteral("SELECT failures FROM login_failures WHERE name=?"),
                            {QStringLiteral("جديد")})
                     .toInt(),
                 1);
        // Only the day-old counts went; the recent ones and the victim stay.
        QCOMPARE(fixture
                     .value(QStringLiteral("SELECT COUNT(*) FROM login_failures WHERE "
                                           "last_failure = ?"),
                            {now - 1000})
                     .toInt(),
                 (LoginThrottle::kMaxNames - 1) / 2);
        QCOMPARE(throttle.waitFor(victim), LoginThrottle::kFirstWaitMs);
    }
};

QTEST_GUILESS_MAIN(TestLoginThrottle)
#include "tst_loginthrottle.moc"
