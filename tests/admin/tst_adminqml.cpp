#include "TestDatabase.h"

#include "core/AppContext.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QTest>

// The administration objects as the pages reach them: through the context
// properties that AppContext publishes, with QML's own argument handling.
class TestAdminQml : public QObject
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

    void bindingsFollowSignInAndTheme()
    {
        QQmlComponent component(m_engine.get());
        component.setData("import QtQml 2.15\n"
                          "QtObject {\n"
                          "  property bool signedIn: authCtrl.isLoggedIn\n"
                          "  property int userId: authCtrl.currentUserId\n"
                          "  property bool hint: authCtrl.defaultPasswordInUse\n"
                          "  property string role: authCtrl.currentRole\n"
                          "  property string theme: settingsManager.themeMode\n"
                          "  property string company: settingsManager.companyName\n"
                          "}\n",
                          QUrl());
        std::unique_ptr<QObject> page(component.create());
        QVERIFY2(page, qPrintable(component.errorString()));
        QCOMPARE(page->property("signedIn").toBool(), false);
        QCOMPARE(page->property("userId").toInt(), -1);
        QCOMPARE(page->property("hint").toBool(), true);
        QCOMPARE(page->property("theme").toString(), QStringLiteral("dark"));

        QCOMPARE(evaluate(QStringLiteral("authCtrl.login(' admin ', 'vexil')")).toBool(), true);
        QCOMPARE(page->property("signedIn").toBool(), true);
        QCOMPARE(page->property("userId").toInt(), 1);
        QCOMPARE(page->property("role").toString(), QStringLiteral("admin"));

        evaluate(QStringLiteral("settingsManager.setThemeMode('LIGHT')"));
        evaluate(QStringLiteral(
            "settingsManager.updateCompanyProfile('سكن العقارية', '02-2961234', 'البيرة', '')"));
        QCOMPARE(page->property("theme").toString(), QStringLiteral("light"));
        QCOMPARE(page->property("company").toString(), QStringLiteral("سكن العقارية"));

        evaluate(QStringLiteral("authCtrl.logout()"));
        QCOMPARE(page->property("signedIn").toBool(), false);
        QCOMPARE(page->property("userId").toInt(), -1);
    }

    void auditCallsWithOmittedArguments()
    {
        evaluate(QStringLiteral("authCtrl.login('admin', 'vexil')"));
        evaluate(QStringLiteral("auditMgr.log(authCtrl.currentUserId, 'تسجيل دخول')"));
        evaluate(QStringLiteral("auditMgr.log(authCtrl.currentUserId, 'إضافة', 'tenants', 7)"));

        QCOMPARE(evaluate(QStringLiteral("auditMgr.getLogs().length")).toInt(), 2);
        QCOMPARE(evaluate(QStringLiteral("auditMgr.getLogs(1)[0].record_id")).toInt(), 7);
        QCOMPARE(evaluate(QStringLiteral("auditMgr.getLogs(1)[0].username")).toString(),
                 QStringLiteral("admin"));
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT COUNT(*) FROM audit_logs WHERE table_name = '' "
                                            "AND details = '' AND record_id = 0"))
                     .toInt(),
                 1);
    }

    void usersPageCalls()
    {
        QCOMPARE(evaluate(QStringLiteral("authCtrl.registerUser('سارة', 'ورد', 'user')")).toBool(),
                 false);
        evaluate(QStringLiteral("authCtrl.login('admin', 'vexil')"));
        QCOMPARE(evaluate(QStringLiteral("authCtrl.registerUser('سارة', 'ورد', 'user')")).toBool(),
                 true);
        QCOMPARE(evaluate(QStringLiteral("authCtrl.getUsers().length")).toInt(), 2);
        QCOMPARE(evaluate(QStringLiteral("authCtrl.getUsers()[0].last_login === null ? 'none' : "
                                         "'set'"))
                     .toString(),
                 QStringLiteral("set"));
        QCOMPARE(evaluate(QStringLiteral("authCtrl.removeUser('سارة')")).toBool(), true);
        QCOMPARE(m_fixture->count(QStringLiteral("users")), 1);
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

QTEST_MAIN(TestAdminQml)
#include "tst_adminqml.moc"
