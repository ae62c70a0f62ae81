#include "TestDatabase.h"

#include "admin/AuthController.h"
#include "core/PasswordHash.h"
#include "core/Schema.h"

#include <sodium.h>

#include <algorithm>
#include <limits>

#include <time.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

namespace {

const QString kWrongCredentials = QStringLiteral("اسم المستخدم أو كلمة المرور غير صحيحة");
const QString kAccountDisabled = QStringLiteral("الحساب معطل");

QString defaultPassword()
{
    return Schema::defaultAdminPassword();
}

// The database file and its write-ahead log, as they lie on disk.
QByteArray filesOnDisk(const QString& dbPath)
{
    QByteArray bytes;
    for (const QString& path : {dbPath, dbPath + QStringLiteral("-wal")}) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes += file.readAll();
    }
    return bytes;
}

QStringList* g_messages = nullptr;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (g_messages)
        g_messages->append(message);
}

} // namespace

class TestAuthController : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<TestDatabase>(); }
    void cleanup() { m_fixture.reset(); }

    void freshDatabaseAdminSignsIn()
    {
        AuthController auth(db());
        QVERIFY(!auth.isLoggedIn());
        QCOMPARE(auth.currentUserId(), -1);
        QVERIFY(auth.defaultPasswordInUse());
        QSignalSpy changed(&auth, &AuthController::authChanged);
        QSignalSpy failed(&auth, &AuthController::loginFailed);

        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        QVERIFY(auth.isLoggedIn());
        QCOMPARE(auth.currentUser(), QStringLiteral("مدير عام"));
        QCOMPARE(auth.currentRole(), QStringLiteral("admin"));
        QCOMPARE(auth.currentUserId(), adminId());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(failed.count(), 0);

        const QVariantList logins = db()->execQuery(
            QStringLiteral("SELECT details, user_id FROM app_log WHERE action='login'"));
        QCOMPARE(logins.size(), 1);
        QCOMPARE(logins.first().toMap().value(QStringLiteral("details")).toString(),
                 QStringLiteral("تسجيل دخول: admin"));
        QCOMPARE(logins.first().toMap().value(QStringLiteral("user_id")).toInt(), adminId());
    }

    void loginChecksNameAndPassword_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("blanks around both")
            << QStringLiteral("  admin\t") << QStringLiteral(" vexil  ") << true;
        QTest::newRow("capitalised user name")
            << QStringLiteral("Admin") << defaultPassword() << false;
        QTest::newRow("capitalised password")
            << QStringLiteral("admin") << QStringLiteral("VEXIL") << false;
        QTest::newRow("wrong password")
            << QStringLiteral("admin") << QStringLiteral("كلمة خاطئة") << false;
        QTest::newRow("unknown user") << QStringLiteral("سامي") << defaultPassword() << false;
        QTest::newRow("empty password") << QStringLiteral("admin") << QString() << false;
        // The stored value itself must not work as a password.
        QTest::newRow("stored hash as password")
            << QStringLiteral("admin") << QStringLiteral("*") << false;
    }

    void loginChecksNameAndPassword()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        if (password == QLatin1String("*"))
            password = storedPassword(QStringLiteral("admin"));

        AuthController auth(db());
        QSignalSpy failed(&auth, &AuthController::loginFailed);
        QCOMPARE(auth.login(username, password), accepted);
        QCOMPARE(auth.isLoggedIn(), accepted);
        QCOMPARE(m_fixture->count(QStringLiteral("app_log")), accepted ? 1 : 0);
        if (accepted) {
            QCOMPARE(failed.count(), 0);
        } else {
            QCOMPARE(failed.count(), 1);
            QCOMPARE(failed.first().first().toString(), kWrongCredentials);
            QCOMPARE(auth.currentUserId(), -1);
        }

        // The login page's way: the password is checked on another thread and
        // the answer is the same, told when the check is done.
        AuthController page(db());
        QSignalSpy finished(&page, &AuthController::loginFinished);
        QSignalSpy pageFailed(&page, &AuthController::loginFailed);
        page.startLogin(username, password);
        QVERIFY(page.checkingPassword());
        QVERIFY(!page.isLoggedIn());
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first().toBool(), accepted);
        QVERIFY(!page.checkingPassword());
        QCOMPARE(page.isLoggedIn(), accepted);
        QCOMPARE(pageFailed.count(), accepted ? 0 : 1);
        QCOMPARE(m_fixture->count(QStringLiteral("app_log")), accepted ? 2 : 0);
    }

    void inactiveReasonOnlyAfterRightPassword()
    {
        addUser(QStringLiteral("sara"), QStringLiteral("ورد-2024"), QStringLiteral("user"), 0);
        AuthController auth(db());
        QSignalSpy failed(&auth, &AuthController::loginFailed);

        QVERIFY(!auth.login(QStringLiteral("sara"), QStringLiteral("خطأ")));
        QCOMPARE(failed.last().first().toString(), kWrongCredentials);
        QVERIFY(!auth.login(QStringLiteral("sara"), QStringLiteral("ورد-2024")));
        QCOMPARE(failed.last().first().toString(), kAccountDisabled);
        QVERIFY(!auth.isLoggedIn());
        QCOMPARE(m_fixture->count(QStringLiteral("app_log")), 0);
    }

    void failedLoginKeepsSignedInUser()
    {
        AuthController auth(db());
        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        QSignalSpy changed(&auth, &AuthController::authChanged);
        QVERIFY(!auth.login(QStringLiteral("admin"), QStringLiteral("nope")));
        QVERIFY(auth.isLoggedIn());
        QCOMPARE(auth.currentRole(), QStringLiteral("admin"));
        QCOMPARE(changed.count(), 0);
    }

    void logoutWritesRowEvenWhenSignedOut()
    {
        AuthController auth(db());
        QSignalSpy changed(&auth, &AuthController::authChanged);
        auth.logout();
        QCOMPARE(changed.count(), 1);

        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        auth.logout();
        QCOMPARE(changed.count(), 3);
        QVERIFY(!auth.isLoggedIn());
        QVERIFY(auth.currentUser().isEmpty());
        QVERIFY(auth.currentRole().isEmpty());
        QCOMPARE(auth.currentUserId(), -1);

        const QVariantList rows = db()->execQuery(QStringLiteral(
            "SELECT details, user_id FROM app_log WHERE action='logout' ORDER BY id"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).toMap().value(QStringLiteral("details")).toString(),
                 QStringLiteral("تسجيل خروج: "));
        QCOMPARE(rows.at(0).toMap().value(QStringLiteral("user_id")).toInt(), -1);
        QCOMPARE(rows.at(1).toMap().value(QStringLiteral("details")).toString(),
                 QStringLiteral("تسجيل خروج: admin"));
        QCOMPARE(rows.at(1).toMap().value(QStringLiteral("user_id")).toInt(), adminId());
    }

    void plainTextPasswordsAreHashedAtStart()
    {
        // What the migration leaves: old passwords copied as they were.
        addUser(QStringLiteral("sara"), QString(), QStringLiteral("user"));
        db()->execNonQuery(QStringLiteral("UPDATE users SET password_hash=? WHERE username=?"),
                           {QStringLiteral("ورد-2024"), QStringLiteral("sara")});
        db()->execNonQuery(QStringLiteral("UPDATE users SET password_hash=? WHERE username=?"),
                           {defaultPassword(), QStringLiteral("admin")});
        const QVariant secureDelete = m_fixture->value(QStringLiteral("PRAGMA secure_delete"));

        AuthController auth(db());
        for (const QString& name : {QStringLiteral("sara"), QStringLiteral("admin")})
            QVERIFY2(PasswordHash::isHash(storedPassword(name)), qPrintable(name));
        QVERIFY(auth.defaultPasswordInUse());
        QVERIFY(auth.login(QStringLiteral("sara"), QStringLiteral("ورد-2024")));
        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        // The connection setting is put back once the old values are gone.
        QCOMPARE(m_fixture->value(QStringLiteral("PRAGMA secure_delete")), secureDelete);
    }

    void legacyPasswordsLeaveNoTraceInFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        const QString secret = QStringLiteral("qamar-sirri-77");
        QVERIFY(TestDatabase::writeLegacyFile(
            path, {QStringLiteral("CREATE TABLE users (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                  "username TEXT UNIQUE NOT NULL, password TEXT NOT NULL, "
                                  "full_name TEXT, role TEXT DEFAULT 'user', active INTEGER "
                                  "DEFAULT 1, created_at TEXT)"),
                   QStringLiteral("INSERT INTO users (username, password, role) VALUES "
                                  "('admin', 'vexil', 'admin')"),
                   QStringLiteral("INSERT INTO users (username, password) VALUES ('sara', '") +
                       secret + QStringLiteral("')")}));
        Database database;
        QVERIFY(database.initialize(path));
        QVERIFY(filesOnDisk(path).contains(secret.toUtf8()));

        AuthController auth(&database);
        QVERIFY(auth.defaultPasswordInUse());
        const QByteArray bytes = filesOnDisk(path);
        QVERIFY(!bytes.contains(secret.toUtf8()));
        QVERIFY(!bytes.contains(defaultPassword().toUtf8()));
        QCOMPARE(database.scalar(QStringLiteral("SELECT COUNT(*) FROM users WHERE password != ''"))
                     .toInt(),
                 0);
        QVERIFY(auth.login(QStringLiteral("sara"), secret));
    }

    void legacyAdminWithoutPasswordGetsDefault()
    {
        // An old row with an empty password is not copied by the migration,
        // so its password_hash column starts out NULL.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        QVERIFY(TestDatabase::writeLegacyFile(
            path, {QStringLiteral("CREATE TABLE users (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                  "username TEXT UNIQUE NOT NULL, password TEXT, full_name "
                                  "TEXT, role TEXT DEFAULT 'user', active INTEGER DEFAULT 0, "
                                  "created_at TEXT)"),
                   QStringLiteral("INSERT INTO users (username, password, full_name, role) "
                                  "VALUES ('admin', '', 'مدير عام', 'admin')")}));
        Database database;
        QVERIFY(database.initialize(path));
        QVERIFY(database.scalar(QStringLiteral("SELECT password_hash FROM users")).isNull());

        AuthController auth(&database);
        QVERIFY(auth.defaultPasswordInUse());
        QCOMPARE(database.scalar(QStringLiteral("SELECT active FROM users")).toInt(), 1);
        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
    }

    void defaultPasswordNeverReachesDisk()
    {
        {
            AuthController auth(db());
            QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        }
        QVERIFY(PasswordHash::isHash(storedPassword(QStringLiteral("admin"))));
        QVERIFY(!filesOnDisk(m_fixture->filePath()).contains(defaultPassword().toUtf8()));
    }

    void changedAdminPasswordSurvivesRestart()
    {
        const QString chosen = QStringLiteral("نخيل-2031");
        {
            AuthController auth(db());
            QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
            QSignalSpy changed(&auth, &AuthController::authChanged);
            QVERIFY(auth.changePassword(defaultPassword(), chosen));
            QVERIFY(!auth.defaultPasswordInUse());
            QCOMPARE(changed.count(), 1);
        }
        QVERIFY(m_fixture->reopen());
        AuthController restarted(db());
        QVERIFY(!restarted.defaultPasswordInUse());
        QVERIFY(!restarted.login(QStringLiteral("admin"), defaultPassword()));
        QVERIFY(restarted.login(QStringLiteral("admin"), chosen));

        // The default is too short to be chosen again, so the hint stays away.
        QVERIFY(!restarted.changePassword(chosen, defaultPassword()));
        QVERIFY(!restarted.defaultPasswordInUse());
    }

    // The login page's hint is remembered from an earlier start; a hash
    // written since by any other way (another copy, an older version) is
    // checked again, so a stale verdict never shows the wrong hint.
    void startHintFollowsAHashWrittenSince_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("written");
        QTest::newRow("default, then a chosen one")
            << defaultPassword() << QStringLiteral("نخيل-2031-بحر");
        QTest::newRow("chosen, then the default again")
            << QStringLiteral("نخيل-2031-بحر") << defaultPassword();
        QTest::newRow("chosen, then another chosen one")
            << QStringLiteral("نخيل-2031-بحر") << QStringLiteral("زيتون-الجبل-44");
    }

    void startHintFollowsAHashWrittenSince()
    {
        QFETCH(QString, first);
        QFETCH(QString, written);
        const auto store = [this](const QString& password) {
            return db()->execNonQuery(
                QStringLiteral("UPDATE users SET password_hash=? WHERE username='admin'"),
                {PasswordHash::hash(password)});
        };
        QVERIFY(store(first));
        {
            AuthController start(db());
            QCOMPARE(start.defaultPasswordInUse(), first == defaultPassword());
        }
        QVERIFY(store(written));
        QVERIFY(m_fixture->reopen());
        for (int start = 0; start < 2; ++start) {
            AuthController restarted(db());
            QCOMPARE(restarted.defaultPasswordInUse(), written == defaultPassword());
            QVERIFY(restarted.login(QStringLiteral("admin"), written));
        }
        // What is remembered holds no copy of the hash.
        QCOMPARE(
            m_fixture
                ->value(QStringLiteral("SELECT COUNT(*) FROM settings WHERE instr(value, ?) > 0"),
                        {storedPassword(QStringLiteral("admin"))})
                .toInt(),
            0);
    }

    void adminAccountRepairedAtStart_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("defaultRestored");
        QTest::newRow("row deleted")
            << QStringLiteral("DELETE FROM users WHERE username='admin'") << true;
        QTest::newRow("empty password")
            << QStringLiteral("UPDATE users SET password_hash='' WHERE username='admin'") << true;
        QTest::newRow("deactivated, chosen password")
            << QStringLiteral("UPDATE users SET active=0, password_hash=? WHERE username='admin'")
            << false;
    }

    void adminAccountRepairedAtStart()
    {
        QFETCH(QString, damage);
        QFETCH(bool, defaultRestored);
        const QString chosen = QStringLiteral("زيتون-99");
        QVariantList params;
        if (damage.contains(QLatin1Char('?')))
            params << PasswordHash::hash(chosen);
        QVERIFY(db()->execNonQuery(damage, params));

        AuthController auth(db());
        QCOMPARE(m_fixture->value(QStringLiteral("SELECT active FROM users WHERE username='admin'"))
                     .toInt(),
                 1);
        QCOMPARE(auth.defaultPasswordInUse(), defaultRestored);
        QVERIFY(auth.login(QStringLiteral("admin"), defaultRestored ? defaultPassword() : chosen));
        QCOMPARE(auth.currentUser(), QStringLiteral("مدير عام"));
        QCOMPARE(auth.currentRole(), QStringLiteral("admin"));
    }

    void changePasswordRefusals()
    {
        AuthController auth(db());
        QVERIFY(!auth.changePassword(defaultPassword(), QStringLiteral("جديد")));

        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        const QString before = storedPassword(QStringLiteral("admin"));
        QVERIFY(!auth.changePassword(QStringLiteral("vexi"), QStringLiteral("جديد")));
        QVERIFY(!auth.changePassword(defaultPassword(), QStringLiteral("   ")));
        QCOMPARE(storedPassword(QStringLiteral("admin")), before);
        QVERIFY(auth.defaultPasswordInUse());
    }

    void passwordChangesOffTheWindow_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("accepted");

        const QString fresh = QStringLiteral("قلعة-9-حصينة");
        QTest::newRow("own password") << "change"
                                      << "admin" << defaultPassword() << fresh << true << true;
        // Known only after the hashing thread has checked it.
        QTest::newRow("own password, wrong current")
            << "change"
            << "admin" << QStringLiteral("vexi1") << fresh << true << false;
        QTest::newRow("own password too short")
            << "change"
            << "admin" << defaultPassword() << QStringLiteral("قصيرة") << false << false;
        QTest::newRow("new account")
            << "register"
            << "ليلى" << QString() << QStringLiteral(" قمر-5-منير ") << true << true;
        QTest::newRow("name already taken") << "register"
                                            << "sara" << QString() << fresh << false << false;
        QTest::newRow("another's password")
            << "reset"
            << "sara" << QString() << QStringLiteral("سوسن-الحلوة") << true << true;
        QTest::newRow("unknown account") << "reset"
                                         << "nobody" << QString() << fresh << false << false;
    }

    // The dialogs' way: the hashing runs on another thread, the answer comes
    // through passwordSaved, and what is stored is what the direct call stores.
    void passwordChangesOffTheWindow()
    {
        QFETCH(QString, kind);
        QFETCH(QString, account);
        QFETCH(QString, current);
        QFETCH(QString, replacement);
        QFETCH(bool, started);
        QFETCH(bool, accepted);

        addUser(QStringLiteral("sara"), QStringLiteral("ورد-الجوري"), QStringLiteral("user"));
        AuthController auth(db());
        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        // Past the first sign-in: until then every other write is held.
        if (kind != QLatin1String("change"))
            QVERIFY(auth.changePassword(defaultPassword(), QStringLiteral("Nakheel-Office-2024")));
        const QString before = storedPassword(account);

        QSignalSpy saved(&auth, &AuthController::passwordSaved);
        const auto start = [&] {
            if (kind == QLatin1String("change"))
                return auth.startChangePassword(current, replacement);
            if (kind == QLatin1String("register"))
                return auth.startRegisterUser(account, replacement, QStringLiteral("user"));
            return auth.startResetPassword(account, replacement);
        };
        QCOMPARE(start(), started);
        QCOMPARE(auth.checkingPassword(), started);
        if (started) {
            QCOMPARE(storedPassword(account), before);
            // One at a time: a second press while hashing is refused.
            QVERIFY(!start());
            QVERIFY(!auth.lastError().isEmpty());
            QVERIFY(saved.wait(10000));
            QCOMPARE(saved.first().first().toBool(), accepted);
        }
        QTest::qWait(50);
        QCOMPARE(saved.count(), started ? 1 : 0);
        QVERIFY(!auth.checkingPassword());
        QCOMPARE(auth.lastError().isEmpty(), accepted);

        if (!accepted) {
            QCOMPARE(storedPassword(account), before);
            return;
        }
        QVERIFY(PasswordHash::verify(storedPassword(account), replacement.trimmed()));
        QCOMPARE(auth.defaultPasswordInUse(), false);
        AuthController other(db());
        QVERIFY(other.login(account, replacement));
    }

    void changedPasswordWithBlanksStillSignsIn()
    {
        addUser(QStringLiteral("sara"), QStringLiteral("ورد"), QStringLiteral("user"));
        AuthController auth(db());
        QVERIFY(auth.login(QStringLiteral("sara"), QStringLiteral("ورد")));
        QVERIFY(auth.changePassword(QStringLiteral("ورد"), QStringLiteral(" ياسمين الشام ")));
        // Changing a user's password leaves the admin hint alone.
        QVERIFY(auth.defaultPasswordInUse());
        auth.logout();
        QVERIFY(auth.login(QStringLiteral("sara"), QStringLiteral(" ياسمين الشام ")));
    }

    void accountManagementNeedsAdmin()
    {
        addUser(QStringLiteral("sara"), QStringLiteral("ورد"), QStringLiteral("user"));
        AuthController auth(db());
        QVERIFY(!auth.registerUser(QStringLiteral("omar"), QStringLiteral("x1"),
                                   QStringLiteral("user")));
        QVERIFY(!auth.removeUser(QStringLiteral("sara")));

        QVERIFY(auth.login(QStringLiteral("sara"), QStringLiteral("ورد")));
        QVERIFY(!auth.registerUser(QStringLiteral("omar"), QStringLiteral("x1"),
                                   QStringLiteral("admin")));
        QVERIFY(!auth.removeUser(QStringLiteral("sara")));
        QCOMPARE(m_fixture->count(QStringLiteral("users")), 2);
    }

    void adminResetsAnotherUsersPassword()
    {
        addUser(QStringLiteral("sara"), QStringLiteral("ورد"), QStringLiteral("user"));
        addUser(QStringLiteral("omar"), QStringLiteral("نخيل"), QStringLiteral("admin"));
        AuthController auth(db());
        // Nobody signed in, or a plain user: refused with a reason, nothing stored.
        const QString before = storedPassword(QStringLiteral("sara"));
        const QString omarBefore = storedPassword(QStringLiteral("omar"));
        QVERIFY(!auth.resetPassword(QStringLiteral("sara"), QStringLiteral("جديد")));
        QVERIFY(!auth.lastError().isEmpty());
        QVERIFY(auth.login(QStringLiteral("sara"), QStringLiteral("ورد")));
        QVERIFY(!auth.resetPassword(QStringLiteral("omar"), QStringLiteral("جديد")));
        QCOMPARE(storedPassword(QStringLiteral("omar")), omarBefore);
        auth.logout();

        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        // Past the first sign-in: until then every other write is held.
        QVERIFY(auth.changePassword(defaultPassword(), QStringLiteral("Nakheel-Office-2024")));
        // Their own password goes through changePassword, which asks for the current one.
        QVERIFY(!auth.resetPassword(QStringLiteral("admin"), QStringLiteral("جديد")));
        QVERIFY(!auth.resetPassword(QStringLiteral("sara"), QStringLiteral("  ")));
        QVERIFY(!auth.resetPassword(QStringLiteral("nobody"), QStringLiteral("جديد")));
        QCOMPARE(storedPassword(QStringLiteral("sara")), before);

        QVERIFY(auth.resetPassword(QStringLiteral("sara"), QStringLiteral(" سوسن-الحلوة ")));
        QVERIFY(auth.lastError().isEmpty());
        auth.logout();
        QVERIFY(!auth.login(QStringLiteral("sara"), QStringLiteral("ورد")));
        QVERIFY(auth.login(QStringLiteral("sara"), QStringLiteral("سوسن-الحلوة")));
    }

    void resettingAdminPasswordHidesDefaultHint()
    {
        addUser(QStringLiteral("omar"), QStringLiteral("نخيل"), QStringLiteral("admin"));
        AuthController auth(db());
        QVERIFY(auth.defaultPasswordInUse());
        QVERIFY(auth.login(QStringLiteral("omar"), QStringLiteral("نخيل")));
        QSignalSpy changed(&auth, &AuthController::authChanged);
        QVERIFY(auth.resetPassword(QStringLiteral("admin"), QStringLiteral("قلعة-9-حصينة")));
        QVERIFY(!auth.defaultPasswordInUse());
        QCOMPARE(changed.count(), 1);
        // Still hidden at the next start.
        AuthController restarted(db());
        QVERIFY(!restarted.defaultPasswordInUse());
    }

    void registerUserStoresHashedAccount()
    {
        AuthController auth(db());
        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        // Past the first sign-in: until then every other write is held.
        QVERIFY(auth.changePassword(defaultPassword(), QStringLiteral("Nakheel-Office-2024")));
        QVERIFY(auth.registerUser(QStringLiteral(" ليلى "), QStringLiteral(" قمر-5-منير "),
                                  QStringLiteral("user")));

        const QVariantList rows = db()->execQuery(
            QStringLiteral(
                "SELECT username, full_name, role, active, password_hash FROM users WHERE id > ?"),
            {adminId()});
        QCOMPARE(rows.size(), 1);
        const QVariantMap row = rows.first().toMap();
        QCOMPARE(row.value(QStringLiteral("username")).toString(), QStringLiteral("ليلى"));
        QCOMPARE(row.value(QStringLiteral("full_name")).toString(), QStringLiteral("ليلى"));
        QCOMPARE(row.value(QStringLiteral("role")).toString(), QStringLiteral("user"));
        QCOMPARE(row.value(QStringLiteral("active")).toInt(), 1);
        QVERIFY(PasswordHash::isHash(row.value(QStringLiteral("password_hash")).toString()));

        QVERIFY(auth.login(QStringLiteral("ليلى"), QStringLiteral("قمر-5-منير")));
        QCOMPARE(auth.currentUser(), QStringLiteral("ليلى"));
        QCOMPARE(auth.currentRole(), QStringLiteral("user"));
    }

    void registerUserRefusesBadInput()
    {
        struct Case
        {
            const char* label;
            QString username;
            QString password;
            QString role;
        };
        // One signed-in session for every case: each sign-in costs a hash check.
        const Case cases[] = {
            {"blank name", QStringLiteral("   "), QStringLiteral("x1"), QStringLiteral("user")},
            {"empty password", QStringLiteral("omar"), QString(), QStringLiteral("user")},
            {"blank password", QStringLiteral("omar"), QStringLiteral("  "),
             QStringLiteral("user")},
            {"unknown role", QStringLiteral("omar"), QStringLiteral("x1"),
             QStringLiteral("manager")},
            {"role in capitals", QStringLiteral("omar"), QStringLiteral("x1"),
             QStringLiteral("Admin")},
            {"existing name", QStringLiteral("admin"), QStringLiteral("x1-long-enough"),
             QStringLiteral("admin")},
            {"seven-character password", QStringLiteral("omar"), QStringLiteral("1234567"),
             QStringLiteral("user")},
            {"short password padded with blanks", QStringLiteral("omar"),
             QStringLiteral("   1234567   "), QStringLiteral("user")},
        };
        AuthController auth(db());
        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        for (const Case& c : cases) {
            QVERIFY2(!auth.registerUser(c.username, c.password, c.role), c.label);
            QVERIFY2(m_fixture->count(QStringLiteral("users")) == 1, c.label);
        }
        QVERIFY(auth.defaultPasswordInUse());
        QVERIFY(PasswordHash::verify(storedPassword(QStringLiteral("admin")), defaultPassword()));
    }

    void removeUserProtectsOnlyAdmin()
    {
        addUser(QStringLiteral("Admin"), QStringLiteral("x1"), QStringLiteral("admin"));
        AuthController auth(db());
        QVERIFY(auth.login(QStringLiteral("Admin"), QStringLiteral("x1")));
        QVERIFY(!auth.removeUser(QStringLiteral("admin")));
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT COUNT(*) FROM users WHERE "
                                            "username='admin'"))
                     .toInt(),
                 1);
        // Removing one's own account is allowed and keeps the session.
        QVERIFY(auth.removeUser(QStringLiteral("Admin")));
        QCOMPARE(m_fixture->count(QStringLiteral("users")), 1);
        QVERIFY(auth.isLoggedIn());
    }

    void removingMissingUserIsRefused()
    {
        AuthController auth(db());
        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        // Past the first sign-in: until then every other write is held.
        QVERIFY(auth.changePassword(defaultPassword(), QStringLiteral("Nakheel-Office-2024")));
        QVERIFY(!auth.removeUser(QStringLiteral("nobody")));
        QCOMPARE(auth.lastError(), QStringLiteral("المستخدم غير موجود"));
        QCOMPARE(m_fixture->count(QStringLiteral("users")), 1);

        addUser(QStringLiteral("سامي"), QStringLiteral("x1"), QStringLiteral("user"));
        QVERIFY(auth.removeUser(QStringLiteral("سامي")));
        QVERIFY(auth.lastError().isEmpty());
        QVERIFY(!auth.removeUser(QStringLiteral("سامي")));
        QCOMPARE(m_fixture->count(QStringLiteral("users")), 1);
    }

    // An unknown name must cost as much as a wrong password, or timing tells
    // which names exist. The work is measured as this thread's CPU time, the
    // least of a few tries, so other processes on a busy machine do not
    // decide the outcome.
    void unknownNameTakesAsLongAsWrongPassword()
    {
        addUser(QStringLiteral("sara"), QStringLiteral("ورد-2024"), QStringLiteral("user"));
        AuthController auth(db());
        const auto cpuNow = [] {
            timespec t{};
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
        };
        qint64 unknown = std::numeric_limits<qint64>::max();
        qint64 wrong = std::numeric_limits<qint64>::max();
        for (int i = 0; i < 3; ++i) {
            qint64 start = cpuNow();
            QVERIFY(!auth.login(QStringLiteral("ghost-%1").arg(i), QStringLiteral("guess")));
            unknown = std::min(unknown, cpuNow() - start);
            start = cpuNow();
            QVERIFY(!auth.login(QStringLiteral("sara"), QStringLiteral("guess")));
            wrong = std::min(wrong, cpuNow() - start);
        }
        const QString times = QStringLiteral("unknown %1 ms, wrong password %2 ms")
                                  .arg(unknown / 1e6)
                                  .arg(wrong / 1e6);
        QVERIFY2(unknown * 2 > wrong, qPrintable(times));
        QVERIFY2(wrong * 2 > unknown, qPrintable(times));
    }

    void repeatedFailuresMakeTheNameWait()
    {
        qint64 now = 0;
        AuthController auth(db());
        auth.loginThrottle().setClock([&now] { return now; });
        QSignalSpy failed(&auth, &AuthController::loginFailed);
        QSignalSpy waitChanged(&auth, &AuthController::loginWaitChanged);

        for (int i = 0; i < LoginThrottle::kFreeAttempts; ++i) {
            QCOMPARE(auth.loginWaitSeconds(), 0);
            QVERIFY(!auth.login(QStringLiteral("admin"), QStringLiteral("تخمين")));
            QCOMPARE(auth.lastError(), kWrongCredentials);
        }
        QCOMPARE(auth.loginWaitSeconds(), 30);
        QCOMPARE(auth.loginWaitMessage(),
                 QStringLiteral("محاولات دخول خاطئة كثيرة. حاول مرة أخرى بعد 30 ثانية"));
        QVERIFY(waitChanged.count() >= 1);

        // While waiting even the right password is refused, without a check.
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!auth.login(QStringLiteral(" admin "), defaultPassword()));
        QVERIFY2(timer.elapsed() < 20, "the password was verified during the wait");
        QCOMPARE(failed.last().first().toString(), auth.loginWaitMessage());
        QCOMPARE(auth.lastError(), auth.loginWaitMessage());
        QVERIFY(!auth.isLoggedIn());

        // Another name is not held up, and the page's countdown follows the
        // name last tried.
        addUser(QStringLiteral("sara"), QStringLiteral("ورد-2024"), QStringLiteral("user"));
        QVERIFY(auth.login(QStringLiteral("sara"), QStringLiteral("ورد-2024")));
        QCOMPARE(auth.loginWaitSeconds(), 0);
        auth.logout();

        // The page counts down without anyone pressing a key.
        QVERIFY(!auth.login(QStringLiteral("admin"), defaultPassword()));
        now += 28500;
        QTRY_COMPARE_WITH_TIMEOUT(auth.loginWaitSeconds(), 2, 3000);
        QCOMPARE(auth.loginWaitMessage(),
                 QStringLiteral("محاولات دخول خاطئة كثيرة. حاول مرة أخرى بعد ثانيتين"));
        now += 1500;
        QTRY_COMPARE_WITH_TIMEOUT(auth.loginWaitSeconds(), 0, 3000);
        QVERIFY(auth.loginWaitMessage().isEmpty());

        // One more failure after the wait doubles it; a success clears it all.
        QVERIFY(!auth.login(QStringLiteral("admin"), QStringLiteral("تخمين")));
        QCOMPARE(auth.loginWaitSeconds(), 60);
        QCOMPARE(auth.loginWaitMessage(),
                 QStringLiteral("محاولات دخول خاطئة كثيرة. حاول مرة أخرى بعد 60 ثانية"));
        now += 60000;
        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));
        QVERIFY(auth.lastError().isEmpty());
        auth.logout();
        for (int i = 0; i < LoginThrottle::kFreeAttempts - 1; ++i)
            QVERIFY(!auth.login(QStringLiteral("admin"), QStringLiteral("تخمين")));
        QCOMPARE(auth.loginWaitSeconds(), 0);
    }

    void unknownNamesWaitToo()
    {
        qint64 now = 0;
        AuthController auth(db());
        auth.loginThrottle().setClock([&now] { return now; });
        for (int i = 0; i < LoginThrottle::kFreeAttempts; ++i)
            QVERIFY(!auth.login(QStringLiteral("مجهول"), QStringLiteral("x")));
        QCOMPARE(auth.loginWaitSeconds(), 30);
    }

    void waitMessageCountsInArabic_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("wait");
        QTest::newRow("one second") << 1 << QStringLiteral("ثانية واحدة");
        QTest::newRow("ten seconds") << 10 << QStringLiteral("10 ثوانٍ");
        QTest::newRow("sixty seconds") << 60 << QStringLiteral("60 ثانية");
        QTest::newRow("just over a minute") << 61 << QStringLiteral("دقيقتين");
        QTest::newRow("four minutes") << 240 << QStringLiteral("4 دقائق");
        QTest::newRow("fifteen minutes") << 900 << QStringLiteral("15 دقيقة");
    }

    void waitMessageCountsInArabic()
    {
        QFETCH(int, seconds);
        QFETCH(QString, wait);
        QCOMPARE(AuthController::waitMessage(seconds),
                 QStringLiteral("محاولات دخول خاطئة كثيرة. حاول مرة أخرى بعد ") + wait);
    }

    void lastLoginFollowsUserIdNotNameText()
    {
        addUser(QStringLiteral("ad"), QStringLiteral("x1"), QStringLiteral("user"));
        AuthController auth(db());
        QVERIFY(auth.login(QStringLiteral("admin"), defaultPassword()));

        const QVariantList users = auth.getUsers();
        QCOMPARE(users.size(), 2);
        for (const QVariant& item : users) {
            const QVariantMap user = item.toMap();
            QVERIFY(!user.contains(QStringLiteral("password_hash")));
            const bool isAdmin = user.value(QStringLiteral("username")) == QLatin1String("admin");
            QCOMPARE(user.value(QStringLiteral("last_login")).isNull(), !isAdmin);
        }
    }

    void weakHashIsRenewedOnLogin_data()
    {
        QTest::addColumn<qulonglong>("opsLimit");
        QTest::addColumn<qulonglong>("memLimit");
        QTest::newRow("cheapest limits")
            << qulonglong(crypto_pwhash_OPSLIMIT_MIN) << qulonglong(crypto_pwhash_MEMLIMIT_MIN);
        // What earlier versions wrote: the 64 MiB these stack on a sign-in go.
        QTest::newRow("earlier 64 MiB limits") << qulonglong(crypto_pwhash_OPSLIMIT_INTERACTIVE)
                                               << qulonglong(crypto_pwhash_MEMLIMIT_INTERACTIVE);
    }

    void weakHashIsRenewedOnLogin()
    {
        QFETCH(qulonglong, opsLimit);
        QFETCH(qulonglong, memLimit);
        const QByteArray password = QByteArrayLiteral("ward-2020");
        char weak[crypto_pwhash_STRBYTES];
        QCOMPARE(crypto_pwhash_str(weak, password.constData(), password.size(), opsLimit,
                                   size_t(memLimit)),
                 0);
        addUser(QStringLiteral("sara"), QString(), QStringLiteral("user"));
        db()->execNonQuery(QStringLiteral("UPDATE users SET password_hash=? WHERE username=?"),
                           {QString::fromLatin1(weak), QStringLiteral("sara")});
        QVERIFY(PasswordHash::needsRehash(QString::fromLatin1(weak)));

        AuthController auth(db());
        QVERIFY(auth.login(QStringLiteral("sara"), QString::fromLatin1(password)));
        const QString renewed = storedPassword(QStringLiteral("sara"));
        QVERIFY(renewed.contains(QLatin1String("$m=47104,t=3,p=1$")));
        QVERIFY(!PasswordHash::needsRehash(renewed));
        QVERIFY(PasswordHash::verify(renewed, QString::fromLatin1(password)));
    }

    void noSecretInDebugOutput()
    {
        const QString userSecret = QStringLiteral("qamar-sirri-77");
        const QString newSecret = QStringLiteral("layl-jadid-31");
        addUser(QStringLiteral("sara"), QString(), QStringLiteral("user"));
        db()->execNonQuery(QStringLiteral("UPDATE users SET password_hash=? WHERE username=?"),
                           {userSecret, QStringLiteral("sara")});
        db()->execNonQuery(QStringLiteral("UPDATE users SET password_hash='' WHERE "
                                          "username='admin'"));

        QStringList messages;
        g_messages = &messages;
        const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
        {
            AuthController auth(db());
            auth.login(QStringLiteral("sara"), QStringLiteral("wrong-guess-1"));
            auth.login(QStringLiteral("sara"), userSecret);
            auth.changePassword(userSecret, newSecret);
            auth.login(QStringLiteral("admin"), defaultPassword());
            auth.registerUser(QStringLiteral("omar"), newSecret, QStringLiteral("user"));
            auth.logout();
        }
        qInstallMessageHandler(previous);
        g_messages = nullptr;

        const QString all = messages.join(QLatin1Char('\n'));
        QVERIFY2(all.contains(QLatin1String("Login attempt - username:")), qPrintable(all));
        QVERIFY(all.contains(QLatin1String("Admin user found, id:")));
        const QStringList secrets = {defaultPassword(), userSecret, newSecret,
                                     QStringLiteral("wrong-guess-1"), QStringLiteral("$argon2")};
        for (const QString& secret : secrets) {
            QVERIFY2(!all.contains(secret, Qt::CaseInsensitive), qPrintable(secret));
            QVERIFY2(
                !all.contains(QString::fromLatin1(secret.toUtf8().toHex()), Qt::CaseInsensitive),
                qPrintable(secret));
        }
    }

private:
    Database* db() const { return m_fixture->db(); }

    int adminId() const
    {
        return m_fixture->value(QStringLiteral("SELECT id FROM users WHERE username='admin'"))
            .toInt();
    }

    QString storedPassword(const QString& username) const
    {
        return m_fixture
            ->value(QStringLiteral("SELECT password_hash FROM users WHERE username=?"), {username})
            .toString();
    }

    // Adds an account directly, without going through an administrator's session.
    void addUser(const QString& username, const QString& password, const QString& role,
                 int active = 1)
    {
        QVERIFY(
            db()->execInsert(
                QStringLiteral("INSERT INTO users (username, password_hash, "
                               "full_name, role, active) VALUES (?,?,?,?,?)"),
                {username, password.isEmpty() ? QStringLiteral("-") : PasswordHash::hash(password),
                 username, role, active}) > 0);
    }

    std::unique_ptr<TestDatabase> m_fixture;
};

QTEST_GUILESS_MAIN(TestAuthController)
#include "tst_authcontroller.moc"
