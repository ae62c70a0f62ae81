#include "QmlBackend.h"

#include <QQmlComponent>
#include <QTest>

// The administration objects as the pages reach them: through the context
// properties that AppContext publishes, with QML's own argument handling.
class TestAdminQml : public QObject
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

    void bindingsFollowSignInAndTheme()
    {
        QQmlComponent component(m_qml->engine());
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
        // Every other write waits for the first sign-in's new password.
        QVERIFY(evaluate(QStringLiteral("authCtrl.changePassword('vexil', 'Nakheel-Office-2024')"))
                    .toBool());
        QCOMPARE(page->property("hint").toBool(), false);

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
        QCOMPARE(m_qml->database()
                     .value(QStringLiteral("SELECT COUNT(*) FROM audit_logs WHERE table_name = '' "
                                           "AND details = '' AND record_id = 0"))
                     .toInt(),
                 1);
    }

    void usersPageCalls()
    {
        QCOMPARE(evaluate(QStringLiteral("authCtrl.registerUser('سارة', 'ورد-الجوري', 'user')"))
                     .toBool(),
                 false);
        evaluate(QStringLiteral("authCtrl.login('admin', 'vexil')"));
        // Held while the default password is in use, allowed once it is changed.
        QCOMPARE(evaluate(QStringLiteral("authCtrl.registerUser('سارة', 'ورد-الجوري', 'user')"))
                     .toBool(),
                 false);
        QVERIFY(evaluate(QStringLiteral("authCtrl.changePassword('vexil', 'Nakheel-Office-2024')"))
                    .toBool());
        QCOMPARE(evaluate(QStringLiteral("authCtrl.registerUser('سارة', 'ورد-الجوري', 'user')"))
                     .toBool(),
                 true);
        QCOMPARE(evaluate(QStringLiteral("authCtrl.getUsers().length")).toInt(), 2);
        QCOMPARE(evaluate(QStringLiteral("authCtrl.getUsers()[0].last_login === null ? 'none' : "
                                         "'set'"))
                     .toString(),
                 QStringLiteral("set"));
        QCOMPARE(evaluate(QStringLiteral("authCtrl.removeUser('سارة')")).toBool(), true);
        QCOMPARE(m_qml->database().count(QStringLiteral("users")), 1);
    }

    // Regression: the connection itself was published, so any page could
    // read password hashes or make itself administrator with one statement.
    void pagesCannotRunSql()
    {
        QCOMPARE(evaluate(QStringLiteral("typeof database")).toString(),
                 QStringLiteral("undefined"));
        QCOMPARE(evaluate(QStringLiteral("typeof authCtrl.getUsers()[0].password_hash")).toString(),
                 QStringLiteral("undefined"));
    }

private:
    QVariant evaluate(const QString& script) { return m_qml->evaluate(script); }

    std::unique_ptr<QmlBackend> m_qml;
};

QTEST_MAIN(TestAdminQml)
#include "tst_adminqml.moc"
