#include "TestDatabase.h"

#include "admin/AuthController.h"
#include "admin/LoginThrottle.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestSignInRules : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        QVERIFY(m_fixture->isOpen());
    }
    void cleanup() { m_fixture.reset(); }

    void newPasswordsNeedEightCharacters_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("two characters") << QStringLiteral("ab") << false;
        QTest::newRow("seven Arabic letters") << QStringLiteral("كلمةسري") << false;
        QTest::newRow("seven inside blanks") << QStringLiteral("  1234567  ") << false;
        QTest::newRow("eight characters") << QStringLiteral("12345678") << true;
        QTest::newRow("Arabic phrase") << QStringLiteral("بيت-الزيتون") << true;
    }
    void newPasswordsNeedEightCharacters()
    {
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        AuthController auth(m_fixture->db());
        QVERIFY(auth.login(QStringLiteral("admin"), QStringLiteral("vexil")));
        // The administrator's own new password first: until then every other
        // write waits for it.
        QCOMPARE(auth.changePassword(QStringLiteral("vexil"), password), accepted);
        QCOMPARE(auth.defaultPasswordInUse(), !accepted);
        QCOMPARE(auth.registerUser(QStringLiteral("سارة"), password, QStringLiteral("user")),
                 accepted);
        QCOMPARE(auth.lastError().isEmpty(), accepted);
        QCOMPARE(m_fixture->count(QStringLiteral("users")), accepted ? 2 : 1);
        QCOMPARE(auth.resetPassword(QStringLiteral("سارة"), password), accepted);
    }

    void firstSignInWithTheDefaultMustChangeIt()
    {
        AuthController auth(m_fixture->db());
        QVERIFY(auth.defaultPasswordInUse());
        QVERIFY(!auth.mustChangePassword());
        QVERIFY(auth.login(QStringLiteral("admin"), QStringLiteral("vexil")));
        QVERIFY(auth.mustChangePassword());

        QSignalSpy changed(&auth, &AuthController::authChanged);
        QVERIFY(auth.changePassword(QStringLiteral("vexil"), QStringLiteral("زيتون-وزعتر")));
        QVERIFY(!auth.mustChangePassword());
        QVERIFY(!auth.defaultPasswordInUse());
        QCOMPARE(changed.count(), 1);
        auth.logout();

        // Never again after the change, not even after a restart.
        QVERIFY(m_fixture->reopen());
        AuthController restarted(m_fixture->db());
        QVERIFY(!restarted.defaultPasswordInUse());
        QVERIFY(!restarted.login(QStringLiteral("admin"), QStringLiteral("vexil")));
        QVERIFY(restarted.login(QStringLiteral("admin"), QStringLiteral("زيتون-وزعتر")));
        QVERIFY(!restarted.mustChangePassword());
    }

    // Regression: a restart of the program gave five fresh guesses.
    void failedSignInsCountAcrossRestarts()
    {
        qint64 now = 50'000'000;
        {
            AuthController auth(m_fixture->db());
            auth.loginThrottle().setClock([&now] { return now; });
            for (int i = 0; i < LoginThrottle::kFreeAttempts; ++i)
                QVERIFY(!auth.login(QStringLiteral("admin"), QStringLiteral("تخمين")));
            QCOMPARE(auth.loginWaitSeconds(), 30);
        }
        QVERIFY(m_fixture->reopen());
        AuthController restarted(m_fixture->db());
        restarted.loginThrottle().setClock([&now] { return now; });
        QVERIFY(!restarted.login(QStringLiteral("admin"), QStringLiteral("vexil")));
        QCOMPARE(restarted.loginWaitSeconds(), 30);
        now += 30'000;
        QVERIFY(restarted.login(QStringLiteral("admin"), QStringLiteral("vexil")));
        QCOMPARE(m_fixture->count(QStringLiteral("login_failures")), 0);
    }

private:
    std::unique_ptr<TestDatabase> m_fixture;
};

QTEST_GUILESS_MAIN(TestSignInRules)
#include "tst_signinrules.moc"
