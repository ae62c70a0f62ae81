#include "FakeDesktop.h"
#include "TableSnapshot.h"
#include "TestDatabase.h"

#include "admin/AuthController.h"
#include "admin/BackupManager.h"
#include "admin/SettingsManager.h"
#include "core/PasswordHash.h"
#include "core/Permissions.h"
#include "finance/AccountModel.h"
#include "finance/CurrencyModel.h"
#include "rental/InvoiceModel.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// The role × action table, tried against the back end itself: a clerk's
// call is refused with the reason and leaves every table as it was.
class TestPermissions : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        m_auth.reset();
        m_fixture.reset();
        m_desktop.reset();
        QCOMPARE(Permissions::currentRole(), QString());
    }

    void tableOfRolesAndActions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("role");
        QTest::addColumn<bool>("allowed");
        const char* const adminOnly[] = {"restoreBackup",    "backupSettings", "exportAll",
                                         "exchangeRates",    "currencies",     "companyProfile",
                                         "manageUsers",      "manageAccounts", "voidInvoice",
                                         "removeMoneyRecord"};
        for (const char* action : adminOnly) {
            QTest::addRow("%s by a clerk", action) << action << "user" << false;
            QTest::addRow("%s by an administrator", action) << action << "admin" << true;
        }
        QTest::newRow("daily work by a clerk") << "dailyWork"
                                               << "user" << true;
        QTest::newRow("unknown action") << "dropTables"
                                        << "admin" << false;
        QTest::newRow("unknown role") << "dailyWork"
                                      << "manager" << false;
    }
    void tableOfRolesAndActions()
    {
        QFETCH(QString, action);
        QFETCH(QString, role);
        QFETCH(bool, allowed);
        QCOMPARE(Permissions::allows(role, action), allowed);
    }

    void clerksWritesAreRefusedInTheBackEnd_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("restore a backup") << "restore";
        QTest::newRow("move the backup folder") << "backupPath";
        QTest::newRow("switch off automatic backups") << "autoBackup";
        QTest::newRow("export every table") << "export";
        QTest::newRow("change an exchange rate in settings") << "settingsRate";
        QTest::newRow("change an exchange rate") << "rate";
        QTest::newRow("change the primary currency") << "primary";
        QTest::newRow("edit the company profile") << "profile";
        QTest::newRow("add an account") << "account";
        QTest::newRow("void an invoice") << "void";
        QTest::newRow("add a user") << "user";
    }
    void clerksWritesAreRefusedInTheBackEnd()
    {
        QFETCH(QString, action);
        prepare();
        BackupManager backups(m_fixture->dir(), db(), m_desktop.get());
        SettingsManager settings(db());
        CurrencyModel currencies(db());
        AccountModel accounts(db());
        InvoiceModel invoices(db());
        QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                 {QStringLiteral("منى العلي")}) == 1);
        QVERIFY(db()->execInsert(
                    QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, period, "
                                   "total_amount, balance, status) VALUES "
                                   "('INV-1', 1, '2024-05', 100, 100, 'pending')")) == 1);
        QVERIFY(backups.createBackup());
        const QString backup = backups.listBackups().first();

        const auto attempt = [&]() -> QString {
            if (action == QLatin1String("restore"))
                return backups.restoreBackup(backup) ? QString() : backups.lastError();
            if (action == QLatin1String("backupPath")) {
                backups.setBackupPath(m_outside.filePath(QStringLiteral("elsewhere")));
                return backups.lastError();
            }
            if (action == QLatin1String("autoBackup")) {
                backups.setAutoBackup(false);
                return backups.lastError();
            }
            if (action == QLatin1String("export"))
                return backups.exportAllToCSV() ? QString() : backups.lastError();
            if (action == QLatin1String("settingsRate"))
                return settings.updateExchangeRate(2, 1, 3.7) ? QString() : settings.lastError();
            if (action == QLatin1String("rate"))
                return currencies.setRate(2, 1, 3.7) ? QString() : currencies.lastError();
            if (action == QLatin1String("primary")) {
                settings.setPrimaryCurrency(QStringLiteral("USD"));
                return settings.lastError();
            }
            if (action == QLatin1String("profile")) {
                settings.updateCompanyProfile(QStringLiteral("مكتب آخر"), QString(), QString(),
                                              QString());
                return settings.lastError();
            }
            if (action == QLatin1String("account"))
                return accounts.add(QStringLiteral("1400"), QStringLiteral("سلف"),
                                    QStringLiteral("asset"), 1) > 0
                           ? QString()
                           : accounts.lastError();
            if (action == QLatin1String("void"))
                return invoices.voidInvoice(1) ? QString() : invoices.lastError();
            return m_auth->registerUser(QStringLiteral("عمر"), QStringLiteral("كلمة-مرور-عمر"),
                                        QStringLiteral("admin"))
                       ? QString()
                       : m_auth->lastError();
        };

        QVERIFY(m_auth->login(QStringLiteral("سارة"), QStringLiteral("موظفة-الاستقبال")));
        const QString before = tableSnapshot(db());
        const QString backupFolder = backups.backupPath();
        const QString refused = attempt();
        QVERIFY2(!refused.isEmpty(), "a clerk's call went through");
        if (action != QLatin1String("user"))
            QCOMPARE(refused, Permissions::refusal());
        QCOMPARE(tableSnapshot(db()), before);
        QCOMPARE(backups.backupPath(), backupFolder);
        QVERIFY(backups.autoBackup());
        QVERIFY(!backups.restartRequired());
        QVERIFY(m_desktop->opened.isEmpty());

        // The same call by an administrator goes through.
        m_auth->logout();
        QVERIFY(m_auth->login(QStringLiteral("admin"), QStringLiteral("مدير-المكتب-2024")));
        QCOMPARE(attempt(), QString());
    }

private:
    // A fresh office with a clerk account.
    void prepare()
    {
        m_fixture = std::make_unique<TestDatabase>();
        QVERIFY(m_fixture->isOpen());
        m_desktop = std::make_unique<FakeDesktop>(m_outside.path());
        // The account row as registering writes it; its hash is made once.
        static const QString clerkHash = PasswordHash::hash(QStringLiteral("موظفة-الاستقبال"));
        QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO users (username, password_hash, "
                                                "full_name, role) VALUES (?, ?, ?, 'user')"),
                                 {QStringLiteral("سارة"), clerkHash, QStringLiteral("سارة")}) > 0);
        // An administrator past the first sign-in: the default password
        // would hold every write until it is changed.
        static const QString adminHash = PasswordHash::hash(QStringLiteral("مدير-المكتب-2024"));
        QVERIFY(db()->execNonQuery(
            QStringLiteral("UPDATE users SET password_hash=? WHERE username='admin'"),
            {adminHash}));
        m_auth = std::make_unique<AuthController>(db());
    }
    Database* db() const { return m_fixture->db(); }

    QTemporaryDir m_outside;
    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<AuthController> m_auth;
};

QTEST_MAIN(TestPermissions)
#include "tst_permissions.moc"
