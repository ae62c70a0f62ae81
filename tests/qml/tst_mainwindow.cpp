#include "ShotSaver.h"
#include "TestDatabase.h"

#include "admin/AuthController.h"
#include "app/AppContext.h"
#include "app/AppSetup.h"
#include "core/DatabaseSettings.h"

#include <QColor>
#include <QDate>
#include <QFile>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlError>
#include <QQmlIncubator>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQuickTest/quicktest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

// Everything QML reports at warning level or above while a test runs.
QStringList g_problems;
QtMessageHandler g_previousHandler = nullptr;

void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg)
        g_problems << QStringLiteral("[%1] %2").arg(QString::fromLatin1(context.category), message);
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

const QStringList kPageObjects = {
    QStringLiteral("dashboardPage"),   QStringLiteral("propertiesPage"),
    QStringLiteral("tenantsPage"),     QStringLiteral("buyersPage"),
    QStringLiteral("accountingPage"),  QStringLiteral("paymentsPage"),
    QStringLiteral("chequesPage"),     QStringLiteral("invoicesPage"),
    QStringLiteral("maintenancePage"), QStringLiteral("reportsPage"),
    QStringLiteral("usersPage"),       QStringLiteral("settingsPage"),
    QStringLiteral("expensesPage"),
};

const QStringList kTopBarTitles = {
    QStringLiteral("لوحة التحكم"),
    QStringLiteral("العقارات والمشاريع"),
    QStringLiteral("المستأجرون"),
    QStringLiteral("المشترون والمبيعات"),
    QStringLiteral("المحاسبة ومراكز التكلفة"),
    QStringLiteral("المدفوعات"),
    QStringLiteral("الشيكات"),
    QStringLiteral("الفواتير"),
    QStringLiteral("الصيانة"),
    QStringLiteral("التقارير"),
    QStringLiteral("المستخدمون"),
    QStringLiteral("الإعدادات"),
    QStringLiteral("المصروفات"),
};

class ParentingIncubator : public QQmlIncubator
{
public:
    explicit ParentingIncubator(QQuickItem* parent)
        : QQmlIncubator(Synchronous)
        , m_parent(parent)
    {}

protected:
    void setInitialState(QObject* object) override
    {
        if (auto* item = qobject_cast<QQuickItem*>(object)) {
            item->setParent(m_parent);
            item->setParentItem(m_parent);
        }
    }

private:
    QQuickItem* m_parent;
};

} // namespace

// Loads the real main document against the real back-end objects on a
// temporary database, the way the entry routine wires them, and drives it with
// mouse clicks and key presses. Any QML warning or database error fails the test.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        AppSetup::apply();
        g_previousHandler = qInstallMessageHandler(recordMessage);
    }

    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }

    void init() { g_problems.clear(); }

    void cleanup()
    {
        m_engine.reset(); // QML goes first, as in the application
        m_backend.reset();
        m_db.reset();
        QVERIFY2(g_problems.isEmpty(), qPrintable(g_problems.join(QLatin1Char('\n'))));
    }

    void signInVisitsEveryPageInBothThemes()
    {
        start();
        signIn();
        QCOMPARE(currentStage(), QStringLiteral("mainApp"));

        for (const QString& mode : {QStringLiteral("light"), QStringLiteral("dark")}) {
            click(item(QStringLiteral("themeSegment_") + mode));
            QCOMPARE(settings()->property("themeMode").toString(), mode);
            QCOMPARE(
                m_db->value(QStringLiteral("SELECT value FROM settings WHERE key='theme_mode'"))
                    .toString(),
                mode);

            for (int i = 0; i < kPageObjects.size(); ++i) {
                QObject* menu = item(QStringLiteral("sideBarMenu"));
                QVariant position;
                QVERIFY(QMetaObject::invokeMethod(item(QStringLiteral("sideBar")), "positionOf",
                                                  Q_RETURN_ARG(QVariant, position),
                                                  Q_ARG(QVariant, i)));
                QMetaObject::invokeMethod(menu, "positionViewAtIndex", Q_ARG(int, position.toInt()),
                                          Q_ARG(int, 4 /* ListView.Contain */));
                click(item(QStringLiteral("menuEntry_%1").arg(i)));

                QCOMPARE(item(QStringLiteral("pageStack"))->property("currentIndex").toInt(), i);
                QCOMPARE(item(QStringLiteral("topBarTitle"))->property("text").toString(),
                         kTopBarTitles.at(i));
                QQuickItem* page = item(kPageObjects.at(i));
                QVERIFY(page->isVisible());
                QVERIFY(page->width() > 600 && page->height() > 500);
                auto* header = findItem(page, QStringLiteral("pageHeaderTitle"));
                QVERIFY(header);
                QVERIFY(!header->property("text").toString().isEmpty());
                QVERIFY(header->isVisible());
            }
        }
    }

    // The default password is hinted at until it is changed, which the first
    // sign-in with it must do; nothing is ever filled in.
    void defaultPasswordIsHintedOnlyUntilTheFirstSignInChangesIt()
    {
        start();
        QCOMPARE(fieldText(QStringLiteral("usernameField")), QString());
        QCOMPARE(fieldText(QStringLiteral("passwordField")), QString());
        QVERIFY(item(QStringLiteral("loginHint"))->isVisible());
        QVERIFY(!item(QStringLiteral("newPasswordField"))->isVisible());

        typeInto(QStringLiteral("usernameField"), QStringLiteral("admin"));
        typeInto(QStringLiteral("passwordField"), QStringLiteral("vexil"));
        click(item(QStringLiteral("loginButton")));
        waitForPasswordCheck();
        // Signed in, but the office stays closed until a new password is set.
        QCOMPARE(currentStage(), QStringLiteral("loginPage"));
        QVERIFY(item(QStringLiteral("newPasswordField"))->isVisible());
        QVERIFY(!item(QStringLiteral("passwordField"))->isVisible());
        typeInto(QStringLiteral("newPasswordField"), QStringLiteral("قصيرة"));
        typeInto(QStringLiteral("repeatPasswordField"), QStringLiteral("قصيرة"));
        click(item(QStringLiteral("loginButton")));
        QCOMPARE(currentStage(), QStringLiteral("loginPage"));
        QVERIFY(item(QStringLiteral("loginError"))->isVisible());
        QVERIFY(auth()->property("defaultPasswordInUse").toBool());
        typeInto(QStringLiteral("newPasswordField"), QStringLiteral("كلمة-سر-جديدة"));
        typeInto(QStringLiteral("repeatPasswordField"), QStringLiteral("كلمة-سر-جديدة"));
        click(item(QStringLiteral("loginButton")));
        waitForStage(QStringLiteral("mainApp"));
        QVERIFY(!auth()->property("defaultPasswordInUse").toBool());

        click(item(QStringLiteral("logoutButton")));
        waitForStage(QStringLiteral("loginPage"));
        QCOMPARE(fieldText(QStringLiteral("usernameField")), QString());
        QCOMPARE(fieldText(QStringLiteral("passwordField")), QString());
        QVERIFY(!item(QStringLiteral("loginHint"))->isVisible());
        QVERIFY(!item(QStringLiteral("loginError"))->isVisible());

        typeInto(QStringLiteral("usernameField"), QStringLiteral("admin"));
        typeInto(QStringLiteral("passwordField"), QStringLiteral("كلمة-سر-جديدة"));
        QTest::keyClick(m_window, Qt::Key_Return);
        waitForStage(QStringLiteral("mainApp"));
    }

    // The version line sits below the login card and stays clear of it even
    // in the smallest window the user can make.
    void loginPageShowsProgramVersionBelowCard()
    {
        start();
        QQuickItem* version = item(QStringLiteral("versionLabel"));
        QCOMPARE(version->property("text").toString(),
                 QStringLiteral("الإصدار ") + QStringLiteral(SAKANOVA_PROJECT_VERSION));
        QVERIFY(version->isVisible());

        for (const QSize& size : {QSize(1280, 800), m_window->minimumSize()}) {
            m_window->resize(size);
            QTRY_COMPARE(item(QStringLiteral("loginPage"))->size(), QSizeF(size));
            QQuickItem* cardItem = item(QStringLiteral("loginCard"));
            const QRectF card =
                cardItem->mapRectToScene(QRectF(0, 0, cardItem->width(), cardItem->height()));
            const QRectF label =
                version->mapRectToScene(QRectF(0, 0, version->width(), version->height()));
            QVERIFY2(label.top() >= card.bottom(),
                     qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
            QVERIFY(label.bottom() <= size.height());
        }
    }

    // Regression: at 800 px the last entries ("المستخدمون", "الإعدادات") sat
    // below the fold of the side bar. Every entry is in view down to 720 px
    // and the smallest window.
    void sideBarShowsEveryEntryOnShortScreens()
    {
        start();
        signIn();
        for (const QSize& size : {QSize(1280, 800), QSize(1280, 720), m_window->minimumSize()}) {
            m_window->resize(size);
            QQuickItem* menu = item(QStringLiteral("sideBarMenu"));
            const int entries = menu->property("count").toInt();
            QVERIFY(entries >= 12);
            QTRY_VERIFY2(menu->property("contentHeight").toReal() <= menu->height() + 0.5,
                         qPrintable(QStringLiteral("%1 px").arg(size.height())));
            QQuickItem* last = item(QStringLiteral("menuEntry_%1").arg(entries - 1));
            const QRectF shown =
                last->mapRectToItem(menu, QRectF(0, 0, last->width(), last->height()));
            QVERIFY(shown.bottom() <= menu->height() + 0.5);
            QVERIFY(last->height() >= 32);
        }
    }

    void logoutReturnsToLoginAndSignInShowsShellAgain()
    {
        start();
        signIn();
        click(item(QStringLiteral("menuEntry_3")));
        click(item(QStringLiteral("logoutButton")));
        waitForStage(QStringLiteral("loginPage"));
        QCOMPARE(auth()->property("isLoggedIn").toBool(), false);
        QCOMPARE(m_db->value(QStringLiteral("SELECT COUNT(*) FROM app_log WHERE action='logout'"))
                     .toInt(),
                 1);
        QCOMPARE(fieldText(QStringLiteral("passwordField")), QString());

        signIn();
        // A fresh shell: it opens on the dashboard again.
        QCOMPARE(item(QStringLiteral("pageStack"))->property("currentIndex").toInt(), 0);
        QCOMPARE(item(QStringLiteral("sideBar"))->property("currentIndex").toInt(), 0);
        QCOMPARE(item(QStringLiteral("userName"))->property("text").toString(),
                 QStringLiteral("مدير عام"));
    }

    void failedLoginKeepsFieldsAndShowsError()
    {
        start();
        QQuickItem* error = item(QStringLiteral("loginError"));
        QVERIFY(!error->isVisible());

        typeInto(QStringLiteral("usernameField"), QStringLiteral("مستخدم"));
        typeInto(QStringLiteral("passwordField"), QStringLiteral("خطأ"));
        click(item(QStringLiteral("loginButton")));
        waitForPasswordCheck();

        QCOMPARE(currentStage(), QStringLiteral("loginPage"));
        QVERIFY(error->isVisible());
        QCOMPARE(error->property("text").toString(),
                 QStringLiteral("اسم المستخدم أو كلمة المرور غير صحيحة"));
        QCOMPARE(fieldText(QStringLiteral("usernameField")), QStringLiteral("مستخدم"));
        QCOMPARE(fieldText(QStringLiteral("passwordField")), QStringLiteral("خطأ"));
        // The password stays hidden as dots until the eye is toggled.
        QObject* passwordInput =
            item(QStringLiteral("passwordField"))->property("input").value<QObject*>();
        QCOMPARE(passwordInput->property("echoMode").toInt(), 2 /* TextInput.Password */);
        click(item(QStringLiteral("passwordEye")));
        QCOMPARE(passwordInput->property("echoMode").toInt(), 0 /* TextInput.Normal */);

        typeInto(QStringLiteral("usernameField"), QStringLiteral("admin"));
        typeInto(QStringLiteral("passwordField"), QStringLiteral("vexil"));
        signIn();
    }

    void repeatedFailuresShowCountdownWithoutBlocking()
    {
        start();
        auto* controller = qobject_cast<AuthController*>(auth());
        QVERIFY(controller);
        qint64 now = 0;
        controller->loginThrottle().setClock([&now] { return now; });
        QQuickItem* wait = item(QStringLiteral("loginWait"));
        QQuickItem* button = item(QStringLiteral("loginButton"));

        typeInto(QStringLiteral("usernameField"), QStringLiteral("admin"));
        typeInto(QStringLiteral("passwordField"), QStringLiteral("تخمين"));
        for (int i = 0; i < LoginThrottle::kFreeAttempts; ++i) {
            QVERIFY(!wait->isVisible());
            click(button);
            waitForPasswordCheck();
        }
        QCOMPARE(currentStage(), QStringLiteral("loginPage"));
        QVERIFY(wait->isVisible());
        QVERIFY(!item(QStringLiteral("loginError"))->isVisible());
        QCOMPARE(wait->property("text").toString(),
                 QStringLiteral("محاولات دخول خاطئة كثيرة. حاول مرة أخرى بعد 30 ثانية"));
        QVERIFY(!button->isEnabled());

        // The window keeps running: the countdown moves on its own.
        now += 20000;
        QTRY_COMPARE(wait->property("text").toString(),
                     QStringLiteral("محاولات دخول خاطئة كثيرة. حاول مرة أخرى بعد 10 ثوانٍ"));

        // Another name may be tried at once.
        typeInto(QStringLiteral("usernameField"), QStringLiteral("سامي"));
        QVERIFY(!wait->isVisible());
        QVERIFY(button->isEnabled());
        typeInto(QStringLiteral("usernameField"), QStringLiteral("admin"));
        QVERIFY(wait->isVisible());

        now += 10000;
        QTRY_VERIFY(!wait->isVisible());
        QVERIFY(button->isEnabled());
        typeInto(QStringLiteral("passwordField"), QStringLiteral("vexil"));
        signIn();
    }

    void roleLinesFollowTheSignedInUser()
    {
        start();
        signIn();
        QCOMPARE(item(QStringLiteral("userRole"))->property("text").toString(),
                 QStringLiteral("مدير النظام"));
        QCOMPARE(item(QStringLiteral("roleText"))->property("text").toString(),
                 QStringLiteral("صلاحية مدير"));

        // Stored names are shown as typed, never as markup.
        const QString name = QStringLiteral("<b>سامي</b>");
        bool added = false;
        QMetaObject::invokeMethod(auth(), "registerUser", Q_RETURN_ARG(bool, added),
                                  Q_ARG(QString, name), Q_ARG(QString, QStringLiteral("pw-123456")),
                                  Q_ARG(QString, QStringLiteral("user")));
        QVERIFY(added);
        click(item(QStringLiteral("logoutButton")));
        waitForStage(QStringLiteral("loginPage"));
        typeInto(QStringLiteral("usernameField"), name);
        typeInto(QStringLiteral("passwordField"), QStringLiteral("pw-123456"));
        click(item(QStringLiteral("loginButton")));
        waitForStage(QStringLiteral("mainApp"));

        QQuickItem* userName = item(QStringLiteral("userName"));
        QCOMPARE(userName->property("text").toString(), name);
        QCOMPARE(userName->property("textFormat").toInt(), 0 /* Text.PlainText */);
        QCOMPARE(item(QStringLiteral("userInitial"))->property("text").toString(),
                 QStringLiteral("<"));
        QCOMPARE(item(QStringLiteral("userRole"))->property("text").toString(),
                 QStringLiteral("مستخدم"));
        QCOMPARE(item(QStringLiteral("roleText"))->property("text").toString(),
                 QStringLiteral("صلاحية مستخدم"));
    }

    void firstRunSetupStoresCurrency_data()
    {
        QTest::addColumn<QString>("clickedRow");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing checked") << QString() << QStringLiteral("ILS");
        QTest::newRow("dollar row") << QStringLiteral("USD") << QStringLiteral("USD");
        QTest::newRow("dinar row") << QStringLiteral("JOD") << QStringLiteral("JOD");
    }

    void firstRunSetupStoresCurrency()
    {
        QFETCH(QString, clickedRow);
        QFETCH(QString, expected);

        // No primary currency yet: this is a first run.
        start([](TestDatabase& db) {
            db.db()->execNonQuery(QStringLiteral("UPDATE currencies SET is_primary=0"));
        });
        QVERIFY(settings()->property("isFirstRun").toBool());
        signIn(QStringLiteral("setupPage"));
        typeInto(QStringLiteral("setupCompanyName"), QStringLiteral("مكتب الريحان"));

        QQuickItem* shekel = item(QStringLiteral("currencyRadio_ILS"));
        QVERIFY(shekel->property("checked").toBool());
        if (clickedRow.isEmpty()) {
            for (const char* code : {"ILS", "USD", "JOD"})
                item(QStringLiteral("currencyRadio_") + QLatin1String(code))
                    ->setProperty("checked", false);
        } else {
            click(item(QStringLiteral("currencyRow_") + clickedRow));
            QVERIFY(!shekel->property("checked").toBool());
        }
        click(item(QStringLiteral("setupStartButton")));
        waitForStage(QStringLiteral("mainApp"));

        QCOMPARE(m_db->value(QStringLiteral("SELECT code FROM currencies WHERE is_primary=1"))
                     .toString(),
                 expected);
        QCOMPARE(m_db->value(QStringLiteral("SELECT COUNT(*) FROM currencies WHERE is_primary=1"))
                     .toInt(),
                 1);
        QCOMPARE(settings()->property("isFirstRun").toBool(), false);
    }

    void newOfficeIsSetUpOnceAtItsFirstStart()
    {
        // A new file as the program creates it, before anything is stored.
        start([](TestDatabase& db) {
            db.db()->execNonQuery(
                QStringLiteral("UPDATE settings SET value='pending' WHERE key='setup_state'"));
        });
        QVERIFY(settings()->property("isFirstRun").toBool());
        signIn(QStringLiteral("setupPage"));
        QVERIFY(!auth()->property("defaultPasswordInUse").toBool());
        if (ShotSaver::theme() == QLatin1String("light"))
            QMetaObject::invokeMethod(settings(), "setThemeMode",
                                      Q_ARG(QString, QStringLiteral("light")));
        ShotSaver::saveShot(m_window, QStringLiteral("setup-page"));

        // The company name is asked for; nothing is stored without it.
        click(item(QStringLiteral("setupStartButton")));
        QCOMPARE(currentStage(), QStringLiteral("setupPage"));
        QVERIFY(
            !item(QStringLiteral("setupCompanyName"))->property("errorText").toString().isEmpty());
        QVERIFY(settings()->property("companyName").toString().isEmpty());

        typeInto(QStringLiteral("setupCompanyName"), QStringLiteral("مكتب النخيل للعقارات"));
        typeInto(QStringLiteral("setupCompanyPhone"), QStringLiteral("059-7654321"));
        typeInto(QStringLiteral("setupCompanyEmail"), QStringLiteral("info@nakheel.ps"));
        // The dollar becomes primary: its own rate row goes, the shekel's shows.
        click(item(QStringLiteral("currencyRow_USD")));
        QTRY_VERIFY(!item(QStringLiteral("setupRateRow_USD"))->isVisible());
        QVERIFY(item(QStringLiteral("setupRateRow_ILS"))->isVisible());
        typeInto(QStringLiteral("setupRate_ILS"), QStringLiteral("٠٫٢٧"));
        typeInto(QStringLiteral("setupRate_JOD"), QStringLiteral("1.41"));
        click(item(QStringLiteral("setupStartButton")));
        waitForStage(QStringLiteral("mainApp"));

        QCOMPARE(settings()->property("companyName").toString(),
                 QStringLiteral("مكتب النخيل للعقارات"));
        QCOMPARE(settings()->property("companyPhone").toString(), QStringLiteral("059-7654321"));
        QCOMPARE(settings()->property("companyEmail").toString(),
                 QStringLiteral("info@nakheel.ps"));
        QCOMPARE(m_db->value(QStringLiteral("SELECT code FROM currencies WHERE is_primary=1"))
                     .toString(),
                 QStringLiteral("USD"));
        // Today's rates, each towards the new primary currency.
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        for (const auto& [code, rate] : {std::pair{"ILS", 0.27}, std::pair{"JOD", 1.41}}) {
            QCOMPARE(m_db->value(QStringLiteral(
                                     "SELECT r.rate FROM exchange_rates r JOIN currencies f ON "
                                     "f.id=r.from_currency_id JOIN currencies t ON "
                                     "t.id=r.to_currency_id WHERE f.code=? AND t.code='USD' AND "
                                     "r.date=?"),
                                 {QString::fromLatin1(code), today})
                         .toDouble(),
                     rate);
        }

        // The next start signs in with the new password straight to the shell.
        restart();
        QVERIFY(!settings()->property("isFirstRun").toBool());
        signIn();
        QVERIFY(!findItem(m_window->contentItem(), QStringLiteral("setupPage")));
    }

    // A desk joining a shared server names it in the first-run setup: the
    // choice is refused without TLS to another computer, the connection test
    // says why it failed, and the saved choice (password in a file only its
    // owner reads) waits for the next start.
    void firstRunSetupChoosesTheSharedServer()
    {
        start([](TestDatabase& db) {
            db.db()->execNonQuery(
                QStringLiteral("UPDATE settings SET value='pending' WHERE key='setup_state'"));
        });
        signIn(QStringLiteral("setupPage"));
        const QString iniFile = m_db->dir() + QStringLiteral("/database.ini");
        const QString passwordFile = m_db->dir() + QStringLiteral("/server-password");
        QVERIFY(!item(QStringLiteral("serverFields"))->isVisible());
        QVERIFY(item(QStringLiteral("setupCompanyName"))->isVisible());

        click(item(QStringLiteral("engineServer")));
        QTRY_VERIFY(item(QStringLiteral("serverFields"))->isVisible());
        // The office's profile belongs to the server's office, not to this desk.
        QVERIFY(!item(QStringLiteral("setupCompanyName"))->isVisible());

        // Nothing listens on port 1: the test answers in Arabic, off the window.
        typeInto(QStringLiteral("serverHost"), QStringLiteral("127.0.0.1"));
        typeInto(QStringLiteral("serverPort"), QStringLiteral("1"));
        typeInto(QStringLiteral("serverDatabase"), QStringLiteral("sakanova"));
        typeInto(QStringLiteral("serverUser"), QStringLiteral("clerk"));
        click(item(QStringLiteral("testConnectionButton")));
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("serverMessage"))
                                     ->property("text")
                                     .toString()
                                     .contains(QStringLiteral("لا يستجيب")),
                                 15000);

        // Another computer without TLS is refused and nothing is written.
        typeInto(QStringLiteral("serverHost"), QStringLiteral("books.office.lan"));
        typeInto(QStringLiteral("serverPort"), QStringLiteral("5432"));
        typeInto(QStringLiteral("serverPassword"), QStringLiteral("سرّ المكتب 7"));
        click(item(QStringLiteral("setupStartButton")));
        QTRY_VERIFY(item(QStringLiteral("serverMessage"))
                        ->property("text")
                        .toString()
                        .contains(QStringLiteral("مشفراً")));
        QVERIFY(!QFile::exists(iniFile));
        QVERIFY(!QFile::exists(passwordFile));

        item(QStringLiteral("serverTls"))->setProperty("currentIndex", 1);
        if (ShotSaver::theme() == QLatin1String("light"))
            QMetaObject::invokeMethod(settings(), "setThemeMode",
                                      Q_ARG(QString, QStringLiteral("light")));
        ShotSaver::saveShot(m_window, QStringLiteral("setup-server"));
        click(item(QStringLiteral("setupStartButton")));
        QTRY_VERIFY(item(QStringLiteral("setupServerSaved"))->isVisible());
        QCOMPARE(currentStage(), QStringLiteral("setupPage"));

        const DatabaseSettings saved = DatabaseSettings::load(m_db->dir());
        QCOMPARE(saved.engine, DatabaseSettings::Engine::PostgreSQL);
        QCOMPARE(saved.host, QStringLiteral("books.office.lan"));
        QCOMPARE(saved.port, 5432);
        QCOMPARE(saved.database, QStringLiteral("sakanova"));
        QCOMPARE(saved.user, QStringLiteral("clerk"));
        QCOMPARE(saved.sslMode, QStringLiteral("require"));
        QCOMPARE(saved.passwordFile, passwordFile);
        QString password;
        QString error;
        QVERIFY2(saved.readPassword(&password, &error), qPrintable(error));
        QCOMPARE(password, QStringLiteral("سرّ المكتب 7"));
        // This desk's file is untouched: its own setup is still to come.
        QVERIFY(settings()->property("isFirstRun").toBool());
    }

    void completedFirstRunGoesStraightToShell()
    {
        // The seeded database already has its primary currency.
        start();
        QVERIFY(!settings()->property("isFirstRun").toBool());
        // The user name field has the keyboard; Return moves on and at the
        // end signs in, then sets the new password the first sign-in asks for.
        auto* user = item(QStringLiteral("usernameField"))->property("input").value<QQuickItem*>();
        QTRY_VERIFY(user->hasActiveFocus());
        typeInto(QStringLiteral("usernameField"), QStringLiteral("admin"));
        QTest::keyClick(m_window, Qt::Key_Return);
        auto* password =
            item(QStringLiteral("passwordField"))->property("input").value<QQuickItem*>();
        QTRY_VERIFY(password->hasActiveFocus());
        typeInto(QStringLiteral("passwordField"), QStringLiteral("vexil"));
        QTest::keyClick(m_window, Qt::Key_Return);
        auto* fresh =
            item(QStringLiteral("newPasswordField"))->property("input").value<QQuickItem*>();
        QTRY_VERIFY(fresh->hasActiveFocus());
        typeInto(QStringLiteral("newPasswordField"), QStringLiteral("Nakheel-Office-2024"));
        typeInto(QStringLiteral("repeatPasswordField"), QStringLiteral("Nakheel-Office-2024"));
        QTest::keyClick(m_window, Qt::Key_Return);
        waitForStage(QStringLiteral("mainApp"));
        QVERIFY(!findItem(m_window->contentItem(), QStringLiteral("setupPage")));

        // The top bar names today in Arabic, with Latin digits.
        static const char* const days[] = {"الاثنين", "الثلاثاء", "الأربعاء", "الخميس",
                                           "الجمعة",  "السبت",    "الأحد"};
        const QDate today = QDate::currentDate();
        QCOMPARE(item(QStringLiteral("todayText"))->property("text").toString(),
                 QString::fromUtf8(days[today.dayOfWeek() - 1]) + QLatin1Char(' ') +
                     today.toString(QStringLiteral("dd/MM/yyyy")));
    }

    void storedThemeModeSelectsPalette_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("dark");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("unknown word") << QStringLiteral("sepia") << true;
        QTest::newRow("dark") << QStringLiteral("dark") << true;
        QTest::newRow("light") << QStringLiteral("light") << false;
    }

    void storedThemeModeSelectsPalette()
    {
        QFETCH(QString, stored);
        QFETCH(bool, dark);
        start([stored](TestDatabase& db) {
            db.db()->execNonQuery(
                QStringLiteral("INSERT INTO settings (key, value) VALUES ('theme_mode', ?) "
                               "ON CONFLICT (key) DO UPDATE SET value=excluded.value"),
                {stored});
        });
        QObject* theme = m_window->property("appTheme").value<QObject*>();
        QVERIFY(theme);
        QCOMPARE(theme->property("dark").toBool(), dark);
        const QColor expected(dark ? "#08111f" : "#f4f7fb");
        QCOMPARE(theme->property("bgPrimary").value<QColor>(), expected);
        QCOMPARE(m_window->color(), expected);
        QCOMPARE(theme->property("textPrimary").value<QColor>(),
                 QColor(dark ? "#f8fbff" : "#132033"));
    }

    void switchingThemeRecoloursOpenShell()
    {
        start();
        signIn();
        QQuickItem* topBar = item(QStringLiteral("topBar"));
        QQuickItem* sideBar = item(QStringLiteral("sideBar"));
        QQuickItem* darkSegment = item(QStringLiteral("themeSegment_dark"));
        QQuickItem* lightSegment = item(QStringLiteral("themeSegment_light"));
        QCOMPARE(topBar->property("color").value<QColor>(), QColor("#101a2c"));
        QCOMPARE(sideBar->property("color").value<QColor>(), QColor("#09111d"));
        QCOMPARE(darkSegment->property("active").toBool(), true);

        click(lightSegment);
        QCOMPARE(topBar->property("color").value<QColor>(), QColor("#ffffff"));
        QCOMPARE(sideBar->property("color").value<QColor>(), QColor("#e8eef6"));
        QCOMPARE(m_window->color(), QColor("#f4f7fb"));
        QCOMPARE(item(QStringLiteral("topBarTitle"))->property("color").value<QColor>(),
                 QColor("#132033"));
        QVERIFY(lightSegment->property("active").toBool());
        QVERIFY(!darkSegment->property("active").toBool());
        QTRY_COMPARE(lightSegment->property("color").value<QColor>(), QColor("#c79a36"));

        // What is drawn changes too, not only the properties.
        const QImage shot = m_window->grabWindow();
        const QPointF inTopBar = topBar->mapToScene(QPointF(topBar->width() * 0.4, 8));
        QCOMPARE(QColor(shot.pixel(inTopBar.toPoint())), QColor("#ffffff"));

        click(darkSegment);
        QCOMPARE(topBar->property("color").value<QColor>(), QColor("#101a2c"));
        QCOMPARE(settings()->property("themeMode").toString(), QStringLiteral("dark"));
    }

    void textFieldLabelLine()
    {
        start();
        QQuickItem* bare = create(QStringLiteral("MTextField { width: 300; label: \"\" }"));
        QQuickItem* bareLabel = findItem(bare, QStringLiteral("mtextfieldLabel"));
        QQuickItem* bareInput = findItem(bare, QStringLiteral("mtextfieldInput"));
        QVERIFY(!bareLabel->isVisible());
        QCOMPARE(bareInput->y(), 0.0);
        QCOMPARE(bare->height(), 42.0);

        QQuickItem* labelled =
            create(QStringLiteral("MTextField { width: 300; label: \"الاسم\" }"));
        QQuickItem* label = findItem(labelled, QStringLiteral("mtextfieldLabel"));
        QQuickItem* input = findItem(labelled, QStringLiteral("mtextfieldInput"));
        QVERIFY(label->isVisible());
        QCOMPARE(input->y(), label->height() + 6);
        QCOMPARE(input->width(), 300.0);
    }

    void outlinedButtonHasNoFill()
    {
        start();
        // Both buttons sit on a plain backdrop so the pixels behind them are known.
        QQuickItem* backdrop = create(QStringLiteral(
            "Rectangle { x: 100; y: 250; width: 600; height: 120; color: \"#336699\"\n"
            "  property alias outlined: outlinedButton; property alias filled: filledButton\n"
            "  MButton { id: outlinedButton; x: 40; y: 40; width: 160; text: \"حفظ\";"
            " outline: true; btnColor: \"#dc2626\" }\n"
            "  MButton { id: filledButton; x: 340; y: 40; width: 160; text: \"حفظ\";"
            " btnColor: \"#dc2626\" } }"));
        auto* outlined = backdrop->property("outlined").value<QQuickItem*>();
        auto* filled = backdrop->property("filled").value<QQuickItem*>();

        auto* outlinedLabel = findItem(outlined, QStringLiteral("mbuttonLabel"));
        auto* outlinedBg = findItem(outlined, QStringLiteral("mbuttonBackground"));
        QCOMPARE(outlinedLabel->property("color").value<QColor>(), QColor("#dc2626"));
        QObject* border = outlinedBg->property("border").value<QObject*>();
        QCOMPARE(border->property("width").toReal(), 1.5);
        QCOMPARE(border->property("color").value<QColor>(), QColor("#dc2626"));
        auto* filledLabel = findItem(filled, QStringLiteral("mbuttonLabel"));
        QCOMPARE(filledLabel->property("color").value<QColor>(), QColor("#08111f"));

        // Sample the drawn pixels just inside the left edge, clear of the label:
        // the outlined button shows the backdrop, the filled one is red, and the
        // outline itself is red.
        const QImage shot = m_window->grabWindow();
        auto pixel = [&](QQuickItem* button, QPointF at) {
            return QColor(shot.pixel(button->mapToScene(at).toPoint()));
        };
        QCOMPARE(pixel(outlined, QPointF(8, 20)), QColor("#336699"));
        const QColor fill = pixel(filled, QPointF(8, 20));
        QVERIFY2(fill.red() > 180 && fill.green() < 80 && fill.blue() < 80,
                 qPrintable(fill.name()));
        const QColor edge = pixel(outlined, QPointF(outlined->width() / 2, 0.5));
        QVERIFY2(edge.red() > 150 && edge.blue() < 120, qPrintable(edge.name()));
    }

    void analyticsBarsScaleAgainstMaxValue()
    {
        start();
        QQuickItem* chart = create(
            QStringLiteral("AnalyticsWidget { x: 100; y: 100; width: 400; maxValue: 100; data: ["
                           "{ label: \"يناير\", value: 150, color: \"#c79a36\" },"
                           "{ label: \"فبراير\", value: 0, color: \"#16a34a\" },"
                           "{ label: \"مارس\", value: 50, color: \"#d97706\" },"
                           "{ label: \"أبريل\", value: 12500, color: \"#dc2626\" } ] }"));
        QQuickItem* area = findItem(chart, QStringLiteral("analyticsChartArea"));
        QVERIFY(area);
        QVERIFY(area->height() > 100);

        QList<QQuickItem*> bars = findItems(area, QStringLiteral("analyticsBar"));
        const QList<QQuickItem*> values = findItems(area, QStringLiteral("analyticsBarValue"));
        QCOMPARE(bars.size(), 4);
        std::sort(bars.begin(), bars.end(), [](QQuickItem* a, QQuickItem* b) {
            return a->mapToScene({}).x() > b->mapToScene({}).x();
        });

        QTRY_COMPARE(bars.at(0)->height(), area->height() * 1.5);
        QVERIFY(bars.at(0)->height() > area->height());
        QCOMPARE(bars.at(1)->height(), 0.0);
        QTRY_COMPARE(bars.at(2)->height(), area->height() * 0.5);
        // First entry rightmost, bars 20 apart and 30 wide.
        QCOMPARE(bars.at(0)->mapToScene({}).x() - bars.at(1)->mapToScene({}).x(), 50.0);
        QCOMPARE(bars.at(0)->width(), 30.0);

        QStringList shown;
        for (QQuickItem* v : values)
            shown << v->property("text").toString();
        QVERIFY2(shown.contains(QStringLiteral("12,500")), qPrintable(shown.join(u' ')));
    }

    // Regression: a large office's captions (eight digits and more) ran into
    // their neighbours; they are shortened to fit.
    void analyticsCaptionsKeepToTheirBars()
    {
        start();
        QQuickItem* chart = create(
            QStringLiteral("AnalyticsWidget { x: 100; y: 100; width: 400; maxValue: 13000000; "
                           "data: [{ label: \"برج النخيل\", value: 12578814 },"
                           "{ label: \"عمارة الكرمل\", value: 11931386 },"
                           "{ label: \"مجمع السلام\", value: 845000 },"
                           "{ label: \"برج القدس\", value: 1200 }] }"));
        QList<QQuickItem*> values = findItems(chart, QStringLiteral("analyticsBarValue"));
        QCOMPARE(values.size(), 4);
        QVERIFY(QQuickTest::qWaitForPolish(chart->window()));
        std::sort(values.begin(), values.end(), [](QQuickItem* a, QQuickItem* b) {
            return a->mapToScene({}).x() > b->mapToScene({}).x();
        });
        QStringList shown;
        for (QQuickItem* v : values)
            shown << v->property("text").toString();
        QVERIFY2(!shown.contains(QString()), qPrintable(shown.join(u' ')));
        for (int i = 1; i < values.size(); ++i) {
            const QRectF right = values.at(i - 1)->mapRectToScene(
                QRectF(0, 0, values.at(i - 1)->implicitWidth(), 1));
            const QRectF left =
                values.at(i)->mapRectToScene(QRectF(0, 0, values.at(i)->implicitWidth(), 1));
            QVERIFY2(left.right() < right.left(), qPrintable(shown.join(u' ')));
        }
    }

    // Regression: a tenant owing in two currencies had both sums in one
    // line, cut short at the left, the shekels unreadable. One currency per
    // line, shrunk together to fit the card.
    void statsCardFitsOneCurrencyPerLine_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("lines");
        QTest::newRow("two currencies") << QStringLiteral("1,234,567.70 ₪\n164,556.00 $") << 2;
        QTest::newRow("three currencies with a subtitle")
            << QStringLiteral("1,234,567.70 ₪\n164,556.00 $\n12,500.000 د.ا") << 3;
    }
    void statsCardFitsOneCurrencyPerLine()
    {
        QFETCH(QString, value);
        QFETCH(int, lines);
        start();
        QQuickItem* card =
            create(QStringLiteral("StatsCard { width: 250; title: \"الرصيد المتبقي\"; "
                                  "icon: \"⚖️\" }"));
        card->setProperty("value", value);
        if (lines == 3)
            card->setProperty("subtitle", QStringLiteral("مجموع الفواتير"));
        QVERIFY(QQuickTest::qWaitForPolish(card->window()));
        QQuickItem* shown = findItem(card, QStringLiteral("statsCardValue"));
        QVERIFY(shown);
        QCOMPARE(shown->property("lineCount").toInt(), lines);
        QVERIFY(!shown->property("truncated").toBool());
        QVERIFY(shown->property("contentWidth").toReal() <= shown->width() + 0.5);
        QVERIFY(shown->property("contentHeight").toReal() <= shown->height() + 0.5);
        QVERIFY(shown->mapToItem(card, QPointF(0, shown->height())).y() <= card->height());
    }

    void dialogPlacesContentAndCloses()
    {
        start();
        QQuickItem* host =
            create(QStringLiteral("Item { property alias dialog: dlg\n"
                                  "  MDialog { id: dlg; title: \"عقود المستأجر - <i>x</i>\"\n"
                                  "    Column { objectName: \"dialogChild\"; width: 300\n"
                                  "      MTextField { width: 300; label: \"الاسم\" }\n"
                                  "      MButton { text: \"حفظ\"; outline: true } } } }"));
        QObject* dialog = host->property("dialog").value<QObject*>();
        QMetaObject::invokeMethod(dialog, "open");
        QTRY_COMPARE(dialog->property("opened").toBool(), true);

        QQuickItem* child = item(QStringLiteral("dialogChild"));
        QVERIFY(child);
        QCOMPARE(child->parentItem()->objectName(), QStringLiteral("mdialogContent"));
        QQuickItem* header = item(QStringLiteral("mdialogHeader"));
        QCOMPARE(child->mapToItem(header, QPointF()).y(), 56.0 + 25);
        auto* title = item(QStringLiteral("mdialogTitle"));
        QCOMPARE(title->property("textFormat").toInt(), 0 /* Text.PlainText */);

        // Centred on the window.
        const QPointF centre = header->mapToScene(QPointF(header->width() / 2, 0));
        QVERIFY(qAbs(centre.x() - m_window->width() / 2.0) < 2);

        // Closing takes the content out of the window; the components inside
        // must not lose their theme then (cleanup() fails on any warning).
        click(item(QStringLiteral("mdialogClose")));
        QTRY_COMPARE(dialog->property("visible").toBool(), false);
        QMetaObject::invokeMethod(dialog, "open");
        QTRY_COMPARE(dialog->property("opened").toBool(), true);
        QMetaObject::invokeMethod(dialog, "close");
        QTRY_COMPARE(dialog->property("visible").toBool(), false);
    }

private:
    using Prepare = std::function<void(TestDatabase&)>;

    // Builds the back end on a fresh database (after `prepare` has shaped the
    // stored data) and loads the main document, as the entry routine does.
    void start(const Prepare& prepare = {})
    {
        m_adminPassword = QStringLiteral("vexil");
        m_db = std::make_unique<TestDatabase>();
        QVERIFY(m_db->isOpen());
        connect(m_db->db(), &Database::databaseError, this,
                [](const QString& error) { g_problems << QStringLiteral("[database] ") + error; });
        // An office past its first-run setup, unless `prepare` makes it new again.
        QVERIFY(m_db->db()->execNonQuery(
            QStringLiteral("UPDATE settings SET value='done' WHERE key='setup_state'")));
        if (prepare)
            prepare(*m_db);
        launch();
    }

    // Closes the window and the back end and starts them again on the same
    // file, as the next start of the application does.
    void restart()
    {
        m_engine.reset();
        m_backend.reset();
        QVERIFY(m_db->reopen());
        launch();
    }

    void launch()
    {
        m_backend = std::make_unique<AppContext>(m_db->db(), m_db->dir());
        m_engine = std::make_unique<QQmlApplicationEngine>();
        m_backend->publish(m_engine->rootContext());
        connect(m_engine.get(), &QQmlEngine::warnings, this, [](const QList<QQmlError>& errors) {
            for (const QQmlError& e : errors)
                g_problems << QStringLiteral("[engine] ") + e.toString();
        });
        m_engine->load(QUrl(QStringLiteral("qrc:/qml/main.qml")));
        QCOMPARE(m_engine->rootObjects().size(), 1);
        m_window = qobject_cast<QQuickWindow*>(m_engine->rootObjects().constFirst());
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QCOMPARE(m_window->size(), QSize(1280, 800));
        waitForStage(QStringLiteral("loginPage"));
    }

    // A sign-in's password is checked off the window's thread: waits for
    // its answer.
    void waitForPasswordCheck() { QTRY_VERIFY(!auth()->property("checkingPassword").toBool()); }

    QObject* auth() const
    {
        return m_engine->rootContext()
            ->contextProperty(QStringLiteral("authCtrl"))
            .value<QObject*>();
    }

    QObject* settings() const
    {
        return m_engine->rootContext()
            ->contextProperty(QStringLiteral("settingsManager"))
            .value<QObject*>();
    }

    // Walks the visual tree: delegates of views and repeaters are not QObject
    // children of anything findChild() would search.
    static QQuickItem* findItem(QQuickItem* from, const QString& name)
    {
        if (from->objectName() == name)
            return from;
        const QList<QQuickItem*> children = from->childItems();
        for (QQuickItem* child : children) {
            if (QQuickItem* found = findItem(child, name))
                return found;
        }
        return nullptr;
    }

    static QList<QQuickItem*> findItems(QQuickItem* from, const QString& name)
    {
        QList<QQuickItem*> found;
        if (from->objectName() == name)
            found << from;
        const QList<QQuickItem*> children = from->childItems();
        for (QQuickItem* child : children)
            found << findItems(child, name);
        return found;
    }

    // The named item; a missing one fails the test and yields an invisible
    // stand-in, so the caller's next check stops it without a crash.
    QQuickItem* item(const QString& name)
    {
        if (QQuickItem* found = findItem(m_window->contentItem(), name))
            return found;
        QTest::qFail(qPrintable(QStringLiteral("no item named ") + name), __FILE__, __LINE__);
        m_missing = std::make_unique<QQuickItem>();
        m_missing->setVisible(false);
        return m_missing.get();
    }

    QString currentStage()
    {
        QObject* current =
            item(QStringLiteral("stackView"))->property("currentItem").value<QObject*>();
        return current ? current->objectName() : QString();
    }

    void waitForStage(const QString& stage)
    {
        QQuickItem* stack = item(QStringLiteral("stackView"));
        QTRY_COMPARE(currentStage(), stage);
        QTRY_VERIFY(!stack->property("busy").toBool());
    }

    QString fieldText(const QString& field) { return item(field)->property("text").toString(); }

    // Signs in with what the fields hold, the administrator's name and
    // password filling empty ones; a first sign-in with the default password
    // chooses the new one the page asks for. Waits for the next stage.
    void signIn(const QString& expectedStage = QStringLiteral("mainApp"))
    {
        if (fieldText(QStringLiteral("usernameField")).isEmpty())
            typeInto(QStringLiteral("usernameField"), QStringLiteral("admin"));
        if (fieldText(QStringLiteral("passwordField")).isEmpty())
            typeInto(QStringLiteral("passwordField"), m_adminPassword);
        click(item(QStringLiteral("loginButton")));
        waitForPasswordCheck();
        if (item(QStringLiteral("newPasswordField"))->isVisible()) {
            m_adminPassword = QStringLiteral("Nakheel-Office-2024");
            typeInto(QStringLiteral("newPasswordField"), m_adminPassword);
            typeInto(QStringLiteral("repeatPasswordField"), m_adminPassword);
            click(item(QStringLiteral("loginButton")));
        }
        waitForStage(expectedStage);
    }

    // Focuses a login field by clicking it, clears it and types `text`.
    void typeInto(const QString& field, const QString& text)
    {
        auto* input = item(field)->property("input").value<QQuickItem*>();
        QVERIFY(input);
        click(input);
        QTRY_VERIFY(input->hasActiveFocus());
        QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(m_window, Qt::Key_Delete);
        // keyClicks() only handles Latin-1; send each character with its text.
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, m_window, Qt::Key_unknown, QString(ch),
                                Qt::NoModifier);
        QCOMPARE(input->property("text").toString(), text);
    }

    void click(QQuickItem* target)
    {
        QVERIFY(target);
        QVERIFY2(target->isVisible(), qPrintable(target->objectName()));
        const QPointF centre =
            target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
        QVERIFY2(QRectF(QPointF(), m_window->size()).contains(centre),
                 qPrintable(target->objectName()));
        QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }

    // Instantiates a snippet that uses the shared components inside the
    // window, so they read the theme as the pages do.
    QQuickItem* create(const QString& body)
    {
        QQmlComponent component(m_engine.get());
        component.setData(QByteArrayLiteral("import QtQuick\nimport QtQuick.Controls\n"
                                            "import \"qrc:/qml/components\"\n") +
                              body.toUtf8(),
                          QUrl(QStringLiteral("qrc:/qml/harness_snippet.qml")));
        if (component.isError())
            qFatal("%s", qPrintable(component.errorString()));
        // Parented before its bindings first run, as createObject(parent) does
        // in QML.
        ParentingIncubator incubator(m_window->property("contentItem").value<QQuickItem*>());
        component.create(incubator, m_engine->rootContext());
        auto* created = qobject_cast<QQuickItem*>(incubator.object());
        if (!created)
            qFatal("snippet failed: %s", qPrintable(component.errorString()));
        created->setZ(100);
        return created;
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<AppContext> m_backend;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    // The administrator's password as the sign-ins of the test left it.
    QString m_adminPassword = QStringLiteral("vexil");
    QQuickWindow* m_window = nullptr;
    std::unique_ptr<QQuickItem> m_missing;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
