#include "FakeDesktop.h"
#include "ShellHarness.h"
#include "ShotSaver.h"

#include "admin/AuthController.h"
#include "core/ChangeFeed.h"
#include "core/Database.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The users and settings pages driven through the window on the real
// back-end objects, with a fake desktop for pickers and the restart. Any QML
// warning fails the test.
class TstAdminPages : public QObject
{
    Q_OBJECT

    std::unique_ptr<ShellHarness> h;
    FakeDesktop* desktop = nullptr; // owned by the back end
    QTemporaryDir folders;

    QQuickItem* need(const QString& name, QQuickItem* within = nullptr)
    {
        return h->waitVisible(name, within);
    }

    // The open dialog of that name (several pages own a confirm dialog).
    QObject* findDialog(const QString& name) { return h->shownPageDialog(name); }

    // Scrolls the page that holds `item` until the item is on screen.
    QQuickItem* reveal(QQuickItem* item)
    {
        if (!item)
            return nullptr;
        QQuickItem* flick = item->parentItem();
        while (flick && !flick->inherits("QQuickFlickable"))
            flick = flick->parentItem();
        if (!flick)
            return item;
        for (int round = 0; round < 3; ++round) {
            QTest::qWait(50); // lets pending layouts place the item
            const qreal top = flick->mapToScene(QPointF(0, 0)).y();
            const qreal itemTop = item->mapToScene(QPointF(0, 0)).y();
            const qreal wanted = top + 20;
            const qreal maxY =
                qMax<qreal>(0, flick->property("contentHeight").toReal() - flick->height());
            flick->setProperty(
                "contentY",
                qBound<qreal>(0, flick->property("contentY").toReal() + itemTop - wanted, maxY));
        }
        QTest::qWait(50);
        return item;
    }

    void start()
    {
        ShellHarness::problems().clear();
        h = std::make_unique<ShellHarness>();
        auto fake = std::make_unique<FakeDesktop>(folders.path());
        QDir().mkpath(fake->documentsFolder());
        QDir().mkpath(fake->exportFolder());
        desktop = fake.get();
        h->useDesktop(std::move(fake));
        QVERIFY(h->startSignedIn());
        if (ShotSaver::theme() == QLatin1String("light"))
            QMetaObject::invokeMethod(h->backend(QStringLiteral("settingsManager")), "setThemeMode",
                                      Q_ARG(QString, QStringLiteral("light")));
    }

    // Signs out and in again through the login page, as a person would.
    bool stageIs(const QString& stage)
    {
        return QTest::qWaitFor([&] {
            QQuickItem* stack = h->find(QStringLiteral("stackView"));
            auto* current = stack ? stack->property("currentItem").value<QObject*>() : nullptr;
            return current && current->objectName() == stage && !stack->property("busy").toBool();
        });
    }

    // The side bar's sign-out button, back to the login page.
    bool signOut()
    {
        return h->click(h->find(QStringLiteral("logoutButton"))) &&
               stageIs(QStringLiteral("loginPage"));
    }

    bool signInAs(const QString& user, const QString& password)
    {
        QQuickItem* button = nullptr;
        if (!stageIs(QStringLiteral("loginPage")) ||
            !(button = h->find(QStringLiteral("loginButton"))))
            return false;
        if (!h->typeInto(h->find(QStringLiteral("usernameField")), user) ||
            !h->typeInto(h->find(QStringLiteral("passwordField")), password) || !h->click(button))
            return false;
        return stageIs(QStringLiteral("mainApp"));
    }

private slots:
    void initTestCase() { ShellHarness::installMessageHandler(); }

    void cleanup()
    {
        h.reset();
        QVERIFY2(ShellHarness::problems().isEmpty(),
                 qPrintable(ShellHarness::problems().join(QLatin1Char('\n'))));
    }

    void adminAddsAndRemovesUserPlainUserCannot()
    {
        start();
        QVERIFY(h->showPage(10));
        QVERIFY(h->click(need(QStringLiteral("addUserButton"))));
        QVERIFY(h->settled(QStringLiteral("userAddDialog"), true));
        QQuickItem* d = h->dialogContent(QStringLiteral("userAddDialog"));
        QVERIFY(h->typeInto(h->find(QStringLiteral("newUserName"), d), QStringLiteral("sara")));
        QVERIFY(h->typeInto(h->find(QStringLiteral("newUserPassword"), d),
                            QStringLiteral("ورد-12-جوري")));
        ShotSaver::saveShot(h->window(), QStringLiteral("user-add-dialog"));
        QVERIFY(h->click(h->find(QStringLiteral("newUserSave"), d)));
        QVERIFY(h->settled(QStringLiteral("userAddDialog"), false));
        QCOMPARE(h->database()
                     .value(QStringLiteral("SELECT role FROM users WHERE username='sara'"))
                     .toString(),
                 QStringLiteral("user"));

        // A name already taken is said under the field; nothing is added.
        QVERIFY(h->click(need(QStringLiteral("addUserButton"))));
        QVERIFY(h->settled(QStringLiteral("userAddDialog"), true));
        QVERIFY(h->typeInto(h->find(QStringLiteral("newUserName"), d), QStringLiteral("sara")));
        QVERIFY(h->typeInto(h->find(QStringLiteral("newUserPassword"), d), QStringLiteral("x")));
        QVERIFY(h->click(h->find(QStringLiteral("newUserSave"), d)));
        QTRY_VERIFY(
            !h->find(QStringLiteral("mtextfieldError"), h->find(QStringLiteral("newUserName"), d))
                 ->property("text")
                 .toString()
                 .isEmpty());
        QCOMPARE(h->database().count(QStringLiteral("users")), 2);
        QMetaObject::invokeMethod(findDialog(QStringLiteral("userAddDialog")), "close");
        QVERIFY(h->settled(QStringLiteral("userAddDialog"), false));

        // The built-in admin has no delete button; sara has one.
        QQuickItem* adminRow = need(QStringLiteral("userRow_admin"));
        ShotSaver::saveShot(h->window(), QStringLiteral("users-page"));
        QVERIFY(!h->find(QStringLiteral("removeUserButton"), adminRow)->isVisible());
        QVERIFY(h->click(
            h->find(QStringLiteral("removeUserButton"), need(QStringLiteral("userRow_sara")))));
        QVERIFY(h->settled(QStringLiteral("confirmDialog"), true));
        QVERIFY(h->click(h->find(QStringLiteral("confirmButton"),
                                 h->dialogContent(QStringLiteral("confirmDialog")))));
        QVERIFY(h->settled(QStringLiteral("confirmDialog"), false));
        QCOMPARE(h->database().count(QStringLiteral("users")), 1);
        QTRY_VERIFY(!h->find(QStringLiteral("userRow_sara")));

        // A plain user sees neither the add nor any delete button.
        auto* auth = qobject_cast<AuthController*>(h->backend(QStringLiteral("authCtrl")));
        QVERIFY(auth->registerUser(QStringLiteral("omar"), QStringLiteral("نخيل-باسقة"),
                                   QStringLiteral("user")));
        QVERIFY(signOut());
        QVERIFY(signInAs(QStringLiteral("omar"), QStringLiteral("نخيل-باسقة")));
        QVERIFY(h->showPage(10));
        QTRY_VERIFY(!h->find(QStringLiteral("addUserButton"))->isVisible());
        QTRY_VERIFY(h->find(QStringLiteral("userRow_omar")));
        for (QQuickItem* button : h->findAll(QStringLiteral("removeUserButton")))
            QVERIFY(!button->isVisible());
        for (QQuickItem* button : h->findAll(QStringLiteral("resetPasswordButton")))
            QVERIFY(!button->isVisible());
    }

    void ownPasswordChangeHidesDefaultHintAndAdminResetsOthers()
    {
        start();
        auto* auth = qobject_cast<AuthController*>(h->backend(QStringLiteral("authCtrl")));
        QVERIFY(auth->registerUser(QStringLiteral("sara"), QStringLiteral("ورد-الجوري"),
                                   QStringLiteral("user")));
        QVERIFY(!auth->defaultPasswordInUse());
        QVERIFY(h->showPage(10));
        QVERIFY(h->click(need(QStringLiteral("changeOwnPasswordButton"))));
        QVERIFY(h->settled(QStringLiteral("passwordChangeDialog"), true));
        QQuickItem* d = h->dialogContent(QStringLiteral("passwordChangeDialog"));

        // A wrong current password is refused inside the dialog.
        QVERIFY(
            h->typeInto(h->find(QStringLiteral("currentPassword"), d), QStringLiteral("wrong")));
        QVERIFY(
            h->typeInto(h->find(QStringLiteral("newPassword"), d), QStringLiteral("قلعة-9-حصينة")));
        QVERIFY(h->typeInto(h->find(QStringLiteral("repeatPassword"), d),
                            QStringLiteral("قلعة-9-حصينة")));
        QVERIFY(h->click(h->find(QStringLiteral("passwordChangeSave"), d)));
        QTRY_VERIFY(
            !h->find(QStringLiteral("errorBanner"), d)->property("text").toString().isEmpty());
        ShotSaver::saveShot(h->window(), QStringLiteral("password-change-dialog"));
        QVERIFY(!auth->defaultPasswordInUse());

        // The two new ones must match.
        QVERIFY(h->typeInto(h->find(QStringLiteral("currentPassword"), d),
                            ShellHarness::newAdminPassword()));
        QVERIFY(h->typeInto(h->find(QStringLiteral("repeatPassword"), d),
                            QStringLiteral("قلعة-8-حصينة")));
        QVERIFY(h->click(h->find(QStringLiteral("passwordChangeSave"), d)));
        QVERIFY(findDialog(QStringLiteral("passwordChangeDialog"))->property("visible").toBool());
        QVERIFY(!auth->defaultPasswordInUse());

        QVERIFY(h->typeInto(h->find(QStringLiteral("repeatPassword"), d),
                            QStringLiteral("قلعة-9-حصينة")));
        QVERIFY(h->click(h->find(QStringLiteral("passwordChangeSave"), d)));
        QVERIFY(h->settled(QStringLiteral("passwordChangeDialog"), false));
        QVERIFY(!auth->defaultPasswordInUse());

        // The admin resets sara's password from her row.
        QVERIFY(h->click(
            h->find(QStringLiteral("resetPasswordButton"), need(QStringLiteral("userRow_sara")))));
        QVERIFY(h->settled(QStringLiteral("passwordResetDialog"), true));
        QQuickItem* r = h->dialogContent(QStringLiteral("passwordResetDialog"));
        QVERIFY(h->typeInto(h->find(QStringLiteral("resetPassword"), r),
                            QStringLiteral("سوسن-الحلوة")));
        QVERIFY(h->typeInto(h->find(QStringLiteral("resetPasswordRepeat"), r),
                            QStringLiteral("سوسن-الحلوة")));
        ShotSaver::saveShot(h->window(), QStringLiteral("password-reset-dialog"));
        QQuickItem* save = h->find(QStringLiteral("resetPasswordSave"), r);
        QVERIFY(h->click(save));
        // The hashing runs off the window's thread: the button says so and
        // takes no second press until the answer comes.
        QCOMPARE(save->property("text").toString(), QStringLiteral("جارٍ الحفظ…"));
        QVERIFY(!save->isEnabled());
        QVERIFY(h->settled(QStringLiteral("passwordResetDialog"), false));

        // Back at the login page the default-password hint is gone.
        QVERIFY(signOut());
        QQuickItem* hint = h->find(QStringLiteral("loginHint"));
        QVERIFY(hint && !hint->isVisible());
        QVERIFY(signInAs(QStringLiteral("sara"), QStringLiteral("سوسن-الحلوة")));
    }

    void settingsWarnOfACurrencyUsedWithoutARate()
    {
        start();
        h->database().db()->execNonQuery(
            QStringLiteral("INSERT INTO journal_entries (entry_date, description, currency_id) "
                           "VALUES ('2026-02-03', 'دفعة بالدينار', 3)"));
        QVERIFY(h->showPage(11));
        QQuickItem* warning = reveal(need(QStringLiteral("missingRate_JOD")));
        QVERIFY(warning->property("text").toString().contains(QStringLiteral("2026-02-03")));
        QVERIFY(!h->find(QStringLiteral("missingRate_USD")));
        QQuickItem* jod = reveal(need(QStringLiteral("rateRow_JOD")));
        QVERIFY(h->typeInto(h->find(QStringLiteral("rateDateField"), jod),
                            QStringLiteral("2026-02-01")));
        QVERIFY(h->typeInto(h->find(QStringLiteral("rateField"), jod), QStringLiteral("5.08")));
        QVERIFY(h->click(h->find(QStringLiteral("rateUpdateButton"), jod)));
        QTRY_VERIFY(!h->find(QStringLiteral("missingRate_JOD")) ||
                    !h->find(QStringLiteral("missingRate_JOD"))->isVisible());
    }

    void clerksSettingsPageHidesTheAdministratorsControls()
    {
        start();
        QVERIFY(h->showPage(11));
        for (const char* name : {"currencySection", "companySection", "dataSection",
                                 "restoreButton", "changeBackupPathButton"})
            QVERIFY2(need(QLatin1String(name)), name);

        auto* auth = qobject_cast<AuthController*>(h->backend(QStringLiteral("authCtrl")));
        QVERIFY(auth->registerUser(QStringLiteral("omar"), QStringLiteral("نخيل-باسقة"),
                                   QStringLiteral("user")));
        QVERIFY(signOut());
        QVERIFY(signInAs(QStringLiteral("omar"), QStringLiteral("نخيل-باسقة")));
        QVERIFY(h->showPage(11));
        QTRY_VERIFY(need(QStringLiteral("backupNowButton"))->isVisible());
        for (const char* name : {"currencySection", "companySection", "dataSection",
                                 "restoreButton", "changeBackupPathButton"}) {
            QQuickItem* item = h->find(QLatin1String(name));
            QVERIFY2(item && !item->isVisible(), name);
        }
    }

    // While another desk restores a backup, this desk's window says so, and
    // stops saying so when the restoring desk announces the end.
    void anotherDesksRestoreIsShownUntilItsEnd()
    {
        if (!TestDatabase::onPostgres())
            QSKIP("only desks sharing a server see each other's restores");
        start();
        Database otherDesk;
        QVERIFY(otherDesk.initialize(h->database().db()->settings()));
        QQuickItem* banner = h->find(QStringLiteral("restoreBanner"));
        QVERIFY(banner && !banner->isVisible());
        QVERIFY(ChangeFeed::announceRestoreStarted(&otherDesk));
        QTRY_VERIFY_WITH_TIMEOUT(banner->isVisible(), 3000);
        QVERIFY(banner->property("text").toString().contains(QStringLiteral("من جهاز آخر")));
        ShotSaver::saveShot(h->window(), QStringLiteral("restore-on-another-desk"));
        QVERIFY(ChangeFeed::announceRestoreEnded(&otherDesk));
        QTRY_VERIFY_WITH_TIMEOUT(!banner->isVisible(), 3000);
    }

    void administratorReadsTheTrailClerkHasNone()
    {
        start();
        auto* tenants = h->backend(QStringLiteral("tenantModel"));
        int id = -1;
        QMetaObject::invokeMethod(tenants, "add", Q_RETURN_ARG(int, id),
                                  Q_ARG(QString, QStringLiteral("ريم الخطيب")), Q_ARG(QString, {}),
                                  Q_ARG(QString, QStringLiteral("0599111222")), Q_ARG(QString, {}),
                                  Q_ARG(QString, {}));
        QVERIFY(id > 0);
        QVERIFY(h->showPage(10));
        QVERIFY(h->click(need(QStringLiteral("usersTab_1"))));
        QQuickItem* view = need(QStringLiteral("auditView"));
        QQuickItem* summary = nullptr;
        QTRY_VERIFY((summary = h->find(QStringLiteral("auditSummary"), view)));
        QTRY_COMPARE(summary->property("text").toString(),
                     QStringLiteral("إضافة · مستأجر #%1").arg(id));
        QCOMPARE(h->find(QStringLiteral("auditUser"), view)->property("text").toString(),
                 QStringLiteral("admin"));
        ShotSaver::saveShot(h->window(), QStringLiteral("audit-trail"));

        // Narrowed to another kind of record, the tenant's row goes.
        QVERIFY(h->choose(need(QStringLiteral("auditKind"), view), 2));
        QTRY_VERIFY(!h->find(QStringLiteral("auditSummary"), view) ||
                    h->find(QStringLiteral("auditSummary"), view)->property("text").toString() !=
                        QStringLiteral("إضافة · مستأجر #%1").arg(id));
        QVERIFY(h->click(need(QStringLiteral("usersTab_0"))));

        auto* auth = qobject_cast<AuthController*>(h->backend(QStringLiteral("authCtrl")));
        QVERIFY(auth->registerUser(QStringLiteral("omar"), QStringLiteral("نخيل-باسقة"),
                                   QStringLiteral("user")));
        QVERIFY(signOut());
        QVERIFY(signInAs(QStringLiteral("omar"), QStringLiteral("نخيل-باسقة")));
        QVERIFY(h->showPage(10));
        QVERIFY(need(QStringLiteral("userList")));
        QQuickItem* tabs = h->find(QStringLiteral("usersTabs"));
        QVERIFY(tabs && !tabs->isVisible());
        QVERIFY(!h->find(QStringLiteral("auditView")));
    }

    void themeRateAndCompanyProfileAreSaved()
    {
        start();
        QVERIFY(h->showPage(11));
        QObject* settings = h->backend(QStringLiteral("settingsManager"));
        QQuickItem* lightCard = reveal(need(QStringLiteral("themeCard_light")));
        QVERIFY(h->click(lightCard));
        QCOMPARE(settings->property("themeMode").toString(), QStringLiteral("light"));
        QCOMPARE(h->database()
                     .value(QStringLiteral("SELECT value FROM settings WHERE key='theme_mode'"))
                     .toString(),
                 QStringLiteral("light"));

        QQuickItem* usd = reveal(need(QStringLiteral("rateRow_USD")));
        QVERIFY(usd);
        QVERIFY(!h->find(QStringLiteral("rateRow_ILS")) ||
                !h->find(QStringLiteral("rateRow_ILS"))->isVisible());
        // A rate that is not a number is stopped under the field.
        QVERIFY(h->typeInto(h->find(QStringLiteral("rateField"), usd), QStringLiteral("abc")));
        QVERIFY(h->click(h->find(QStringLiteral("rateUpdateButton"), usd)));
        QCOMPARE(h->database().count(QStringLiteral("exchange_rates")), 0);
        QVERIFY(h->typeInto(h->find(QStringLiteral("rateField"), usd), QStringLiteral("٣٫٦٥")));
        QVERIFY(h->click(h->find(QStringLiteral("rateUpdateButton"), usd)));
        QCOMPARE(h->database()
                     .value(QStringLiteral("SELECT rate FROM exchange_rates WHERE "
                                           "from_currency_id=2 AND to_currency_id=1"))
                     .toDouble(),
                 3.65);
        // An earlier day adds to the history instead of replacing today's rate.
        QVERIFY(h->typeInto(h->find(QStringLiteral("rateDateField"), usd),
                            QStringLiteral("2026-01-05")));
        QVERIFY(h->typeInto(h->find(QStringLiteral("rateField"), usd), QStringLiteral("3.52")));
        QVERIFY(h->click(h->find(QStringLiteral("rateUpdateButton"), usd)));
        QCOMPARE(h->database().count(QStringLiteral("exchange_rates")), 2);
        QTRY_VERIFY(h->find(QStringLiteral("rateHistory"), usd)
                        ->property("text")
                        .toString()
                        .contains(QStringLiteral("2026-01-05: 3.5200")));

        QVERIFY(h->typeInto(reveal(need(QStringLiteral("companyNameField"))),
                            QStringLiteral("شركة البيت الآمن")));
        QVERIFY(h->typeInto(reveal(need(QStringLiteral("companyPhoneField"))),
                            QStringLiteral("059-1234567")));
        QVERIFY(h->click(reveal(need(QStringLiteral("saveCompanyButton")))));
        ShotSaver::saveShot(h->window(), QStringLiteral("settings-page"));
        QCOMPARE(settings->property("companyName").toString(), QStringLiteral("شركة البيت الآمن"));
        QCOMPARE(reveal(need(QStringLiteral("companyMessage")))->property("text").toString(),
                 QStringLiteral("تم حفظ بيانات الشركة"));
    }

    void exportBackupRestoreAndRestart()
    {
        start();
        QVERIFY(h->showPage(11));
        QVERIFY(h->click(reveal(need(QStringLiteral("exportCsvButton")))));
        QTRY_VERIFY(reveal(need(QStringLiteral("exportMessage")))
                        ->property("text")
                        .toString()
                        .startsWith(QStringLiteral("تم التصدير بنجاح")));
        QVERIFY(
            !QDir(desktop->exportFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
        // The workbook, the first choice.
        QVERIFY(h->click(reveal(need(QStringLiteral("exportXlsxButton")))));
        QTRY_VERIFY(reveal(need(QStringLiteral("exportMessage")))
                        ->property("text")
                        .toString()
                        .startsWith(QStringLiteral("تم التصدير بنجاح إلى ملف Excel")));
        QCOMPARE(QDir(desktop->exportFolder()).entryList({QStringLiteral("*.xlsx")}).size(), 1);

        QObject* backup = h->backend(QStringLiteral("backupManager"));
        QSignalSpy backupDone(backup, SIGNAL(backupFinished(bool, QString)));
        QVERIFY(h->click(reveal(need(QStringLiteral("backupNowButton")))));
        // The copy and its check end on their own thread; the page says so
        // where the button is, once they have.
        QTRY_COMPARE(backupDone.count(), 1);
        QTRY_VERIFY(reveal(need(QStringLiteral("backupMessage")))
                        ->property("text")
                        .toString()
                        .startsWith(QStringLiteral("✅ تم إنشاء النسخة بنجاح وتم التحقق منها: ") +
                                    backupDone.first().at(1).toString()));
        QVERIFY(h->find(QStringLiteral("backupProgress")));
        QVERIFY(!h->find(QStringLiteral("backupProgress"))->isVisible());
        QVERIFY(need(QStringLiteral("backupNowButton"))->isEnabled());
        QStringList copies;
        QMetaObject::invokeMethod(backup, "listBackups", Q_RETURN_ARG(QStringList, copies));
        QCOMPARE(copies.size(), 1);

        // A tenant added after the backup is gone once the backup is restored
        // and the program restarted; until then nothing is written.
        h->database().db()->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                       {QStringLiteral("بعد النسخة")});
        desktop->fileAnswer = copies.first();
        QVERIFY(h->click(reveal(need(QStringLiteral("restoreButton")))));
        QVERIFY(h->settled(QStringLiteral("confirmDialog"), true));
        ShotSaver::saveShot(h->window(), QStringLiteral("restore-confirm"));
        QSignalSpy restoreDone(backup, SIGNAL(restoreFinished(bool, QString)));
        QVERIFY(h->click(h->find(QStringLiteral("confirmButton"),
                                 h->dialogContent(QStringLiteral("confirmDialog")))));
        QVERIFY(h->settled(QStringLiteral("confirmDialog"), false));
        if (h->database().engine() == DatabaseSettings::Engine::PostgreSQL) {
            // On a server the checks, the copy kept and pg_restore go on off
            // the window's thread, the page showing how far they are.
            QVERIFY(backup->property("restoreRunning").toBool());
            QVERIFY(reveal(need(QStringLiteral("backupProgress")))->isVisible());
            QVERIFY(!need(QStringLiteral("restoreButton"))->isEnabled());
            QTRY_COMPARE_WITH_TIMEOUT(restoreDone.count(), 1, 60000);
            QVERIFY2(restoreDone.first().at(0).toBool(),
                     qPrintable(restoreDone.first().at(1).toString()));
            QVERIFY(!h->find(QStringLiteral("backupProgress"))->isVisible());
        }
        QVERIFY(backup->property("restartRequired").toBool());
        QVERIFY(reveal(need(QStringLiteral("restoreMessage"))));
        QVERIFY(!reveal(need(QStringLiteral("backupNowButton")))->isEnabled());
        QCOMPARE(desktop->restarts, 0);
        ShotSaver::saveShot(h->window(), QStringLiteral("settings-restored"));
        QVERIFY(h->click(reveal(need(QStringLiteral("restartNowButton")))));
        QCOMPARE(desktop->restarts, 1);
        QCOMPARE(h->database()
                     .value(QStringLiteral("SELECT COUNT(*) FROM tenants WHERE full_name=?"),
                            {QStringLiteral("بعد النسخة")})
                     .toInt(),
                 0);
    }

    void cancelledPickersChangeNothing()
    {
        start();
        QVERIFY(h->showPage(11));
        const QString before =
            reveal(need(QStringLiteral("backupPathLine")))->property("text").toString();
        QVERIFY(h->click(reveal(need(QStringLiteral("changeBackupPathButton")))));
        QVERIFY(h->click(reveal(need(QStringLiteral("restoreButton")))));
        QCOMPARE(reveal(need(QStringLiteral("backupPathLine")))->property("text").toString(),
                 before);
        QCOMPARE(findDialog(QStringLiteral("confirmDialog"))->property("visible").toBool(), false);
        QVERIFY(!h->find(QStringLiteral("backupMessage"))->isVisible());
    }
};

QTEST_MAIN(TstAdminPages)
#include "tst_adminpages.moc"
