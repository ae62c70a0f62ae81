#include "TestDatabase.h"
#include "core/Schema.h"

#include "admin/SettingsManager.h"

#include <QDate>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

class TestSettingsManager : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<TestDatabase>(); }
    void cleanup() { m_fixture.reset(); }

    void seededDatabaseStartsWithDefaults()
    {
        SettingsManager settings(db());
        // A new file: its office has its setup ahead.
        QVERIFY(settings.isFirstRun());
        QCOMPARE(settings.primaryCurrency(), QStringLiteral("ILS"));
        QCOMPARE(settings.themeMode(), QStringLiteral("dark"));
        QVERIFY(settings.companyName().isEmpty());
        QVERIFY(settings.companyEmail().isEmpty());

        const QVariantList currencies = settings.getCurrencies();
        QCOMPARE(currencies.size(), 3);
        QCOMPARE(currencies.first().toMap().value(QStringLiteral("code")).toString(),
                 QStringLiteral("ILS"));
    }

    void themeModeIsNormalised_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("expected");
        QTest::newRow("capitals with blanks")
            << QStringLiteral("  LIGHT ") << QStringLiteral("light");
        QTest::newRow("light") << QStringLiteral("light") << QStringLiteral("light");
        QTest::newRow("other word") << QStringLiteral("blue") << QStringLiteral("dark");
        QTest::newRow("arabic word") << QStringLiteral("نهاري") << QStringLiteral("dark");
        QTest::newRow("empty") << QString() << QStringLiteral("dark");
    }

    void themeModeIsNormalised()
    {
        QFETCH(QString, mode);
        QFETCH(QString, expected);
        // Start from light so that every row is a change or a repeat of dark.
        m_fixture->db()->execNonQuery(
            QStringLiteral("INSERT INTO settings (key, value) VALUES ('theme_mode', 'light')"));
        SettingsManager settings(db());
        QCOMPARE(settings.themeMode(), QStringLiteral("light"));
        QSignalSpy changed(&settings, &SettingsManager::settingsChanged);

        settings.setThemeMode(mode);
        QCOMPARE(settings.themeMode(), expected);
        QCOMPARE(changed.count(), expected == QLatin1String("light") ? 0 : 1);
        QCOMPARE(storedTheme(), expected);
        QCOMPARE(SettingsManager(db()).themeMode(), expected);
    }

    void repeatingThemeWritesNothing()
    {
        SettingsManager settings(db());
        QSignalSpy changed(&settings, &SettingsManager::settingsChanged);
        settings.setThemeMode(QStringLiteral("Dark"));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(settingRows(), 0);
    }

    void emptyStoredThemeReadsDark()
    {
        db()->execNonQuery(
            QStringLiteral("INSERT INTO settings (key, value) VALUES ('theme_mode', '')"));
        QCOMPARE(SettingsManager(db()).themeMode(), QStringLiteral("dark"));
    }

    void companyProfileReadsBackAtOnce()
    {
        SettingsManager settings(db());
        QSignalSpy changed(&settings, &SettingsManager::settingsChanged);
        settings.updateCompanyProfile(QStringLiteral("شركة سكن للعقارات"),
                                      QStringLiteral("059-1234567"), QStringLiteral("رام الله"),
                                      QStringLiteral("info@sakan.ps"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(settings.companyName(), QStringLiteral("شركة سكن للعقارات"));
        QCOMPARE(settings.companyPhone(), QStringLiteral("059-1234567"));
        QCOMPARE(settings.companyAddress(), QStringLiteral("رام الله"));
        QCOMPARE(settings.companyEmail(), QStringLiteral("info@sakan.ps"));

        // A second update replaces the rows instead of adding to them.
        settings.updateCompanyProfile(QStringLiteral("سكن"), QString(), QStringLiteral("نابلس"),
                                      QString());
        QCOMPARE(settingRows(), 4);
        QCOMPARE(settings.companyName(), QStringLiteral("سكن"));
        QVERIFY(settings.companyPhone().isEmpty());
        QCOMPARE(SettingsManager(db()).companyAddress(), QStringLiteral("نابلس"));
    }

    void exchangeRateLookups()
    {
        SettingsManager settings(db());
        QCOMPARE(settings.getExchangeRate(2, 2), 1.0);
        QCOMPARE(settings.getExchangeRate(2, 1), 1.0);

        const QDate today = QDate::currentDate();
        addRate(2, 1, 3.6, today.addDays(-30));
        addRate(2, 1, 3.7, today.addDays(-2));
        addRate(2, 1, 3.5, today.addDays(-10));
        QCOMPARE(settings.getExchangeRate(2, 1), 3.7);
        QCOMPARE(settings.convertAmount(100, 2, 1), 370.0);
        // Only the stated direction counts; the reverse is not derived.
        QCOMPARE(settings.getExchangeRate(1, 2), 1.0);
        QCOMPARE(settings.convertAmount(100, 1, 2), 100.0);
    }

    void updateExchangeRateReplacesSameDay()
    {
        SettingsManager settings(db());
        QSignalSpy changed(&settings, &SettingsManager::settingsChanged);
        QVERIFY(settings.updateExchangeRate(3, 1, 5.1));
        QVERIFY(settings.updateExchangeRate(3, 1, 5.2));
        QCOMPARE(m_fixture->count(QStringLiteral("exchange_rates")), 1);
        QCOMPARE(m_fixture->value(QStringLiteral("SELECT date FROM exchange_rates")).toString(),
                 QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        QCOMPARE(settings.getExchangeRate(3, 1), 5.2);
        QCOMPARE(changed.count(), 0);
    }

    void updateExchangeRateRefusesBadInput_data()
    {
        QTest::addColumn<int>("fromId");
        QTest::addColumn<double>("rate");
        QTest::newRow("zero rate") << 2 << 0.0;
        QTest::newRow("negative rate") << 2 << -3.7;
        QTest::newRow("not a number") << 2 << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("infinite") << 2 << std::numeric_limits<double>::infinity();
        QTest::newRow("unknown currency") << 99 << 3.7;
    }

    void updateExchangeRateRefusesBadInput()
    {
        QFETCH(int, fromId);
        QFETCH(double, rate);
        SettingsManager settings(db());
        QVERIFY(!settings.updateExchangeRate(fromId, 1, rate));
        QCOMPARE(m_fixture->count(QStringLiteral("exchange_rates")), 0);
    }

    void primaryCurrencyMovesAndPersists()
    {
        SettingsManager settings(db());
        QSignalSpy changed(&settings, &SettingsManager::settingsChanged);
        settings.setPrimaryCurrency(QStringLiteral("USD"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(settings.primaryCurrency(), QStringLiteral("USD"));
        QCOMPARE(primaryCodes(), QStringList{QStringLiteral("USD")});

        QVERIFY(m_fixture->reopen());
        SettingsManager restarted(db());
        QCOMPARE(restarted.primaryCurrency(), QStringLiteral("USD"));
    }

    void unknownPrimaryCurrencyChangesNothing()
    {
        SettingsManager settings(db());
        QSignalSpy changed(&settings, &SettingsManager::settingsChanged);
        settings.setPrimaryCurrency(QStringLiteral("EUR"));
        settings.setPrimaryCurrency(QString());
        QCOMPARE(changed.count(), 0);
        QCOMPARE(settings.primaryCurrency(), QStringLiteral("ILS"));
        QCOMPARE(primaryCodes(), QStringList{QStringLiteral("ILS")});
        QCOMPARE(SettingsManager(db()).primaryCurrency(), QStringLiteral("ILS"));
    }

    void firstRunUntilSetupCompletes()
    {
        db()->execNonQuery(QStringLiteral("UPDATE currencies SET is_primary=0"));
        SettingsManager settings(db());
        QVERIFY(settings.isFirstRun());
        QVERIFY(settings.primaryCurrency().isEmpty());

        QSignalSpy changed(&settings, &SettingsManager::settingsChanged);
        // The setup cannot end without a primary currency.
        QVERIFY(!settings.completeSetup());
        QVERIFY(!settings.lastError().isEmpty());
        QVERIFY(settings.isFirstRun());
        settings.setPrimaryCurrency(QStringLiteral("JOD"));
        QVERIFY(settings.isFirstRun());
        QVERIFY(settings.completeSetup());
        QVERIFY(!settings.isFirstRun());
        QCOMPARE(changed.count(), 2);

        QVERIFY(m_fixture->reopen());
        SettingsManager restarted(db());
        QVERIFY(!restarted.isFirstRun());
        QCOMPARE(restarted.primaryCurrency(), QStringLiteral("JOD"));
    }

    void newOfficeIsAskedOnceUntilItsSetupEnds()
    {
        SettingsManager settings(db());
        QVERIFY(settings.isFirstRun());
        QVERIFY(m_fixture->reopen());
        QVERIFY(SettingsManager(db()).isFirstRun());

        SettingsManager again(db());
        QVERIFY(again.completeSetup());
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT value FROM settings WHERE "
                                            "key='setup_state'"))
                     .toString(),
                 QStringLiteral("done"));
        QVERIFY(m_fixture->reopen());
        QVERIFY(!SettingsManager(db()).isFirstRun());
    }

    void officeKeepingRecordsIsNeverAsked_data()
    {
        QTest::addColumn<QString>("record");
        QTest::newRow("a property") << QStringLiteral(
            "INSERT INTO properties (name, type) VALUES ('عمارة الزيتون', 'residential')");
        QTest::newRow("a tenant") << QStringLiteral(
            "INSERT INTO tenants (full_name) VALUES ('سامي الخطيب')");
        QTest::newRow("a buyer") << QStringLiteral(
            "INSERT INTO buyers (full_name) VALUES ('ليلى منصور')");
    }

    // A generated office or a restored backup carries the new-file mark of
    // the day it was made; its records say it is past the setup.
    void officeKeepingRecordsIsNeverAsked()
    {
        QFETCH(QString, record);
        QVERIFY(db()->execNonQuery(record));
        QVERIFY(!SettingsManager(db()).isFirstRun());
    }

    void upgradedFileIsNeverAsked()
    {
        if (TestDatabase::onPostgres())
            QSKIP("an older version's office is a SQLite file, upgraded where it lies");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("older.db"));
        QVERIFY(TestDatabase::writeLegacyFile(
            path,
            {QStringLiteral("CREATE TABLE users (id INTEGER PRIMARY KEY AUTOINCREMENT, username "
                            "TEXT UNIQUE NOT NULL, password_hash TEXT NOT NULL, full_name TEXT, "
                            "role TEXT DEFAULT 'user', active INTEGER DEFAULT 1, created_at TEXT)"),
             QStringLiteral("INSERT INTO users (username, password_hash, role) VALUES ('admin', "
                            "'x', 'admin')"),
             QStringLiteral("CREATE TABLE currencies (id INTEGER PRIMARY KEY AUTOINCREMENT, code "
                            "TEXT UNIQUE NOT NULL, name_ar TEXT NOT NULL, symbol TEXT NOT NULL, "
                            "is_primary INTEGER DEFAULT 0, created_at TEXT)"),
             QStringLiteral("INSERT INTO currencies (code, name_ar, symbol, is_primary) VALUES "
                            "('JOD', 'دينار أردني', 'د.ا', 1)")}));
        QVERIFY(m_fixture->replaceWith(path));
        SettingsManager settings(db());
        QVERIFY(!settings.isFirstRun());
        QCOMPARE(settings.primaryCurrency(), QStringLiteral("JOD"));
        QVERIFY(!m_fixture
                     ->value(QStringLiteral("SELECT value FROM settings WHERE "
                                            "key='setup_state'"))
                     .isValid());
    }

private:
    Database* db() const { return m_fixture->db(); }

    // Rows the settings manager wrote: every row but the ledger's own mark.
    int settingRows() const
    {
        return m_fixture
            ->value(QStringLiteral("SELECT COUNT(*) FROM settings WHERE key != ? AND "
                                   "key != 'setup_state'"),
                    {Schema::ledgerHistoryKey()})
            .toInt();
    }

    QString storedTheme() const
    {
        return m_fixture->value(QStringLiteral("SELECT value FROM settings WHERE key='theme_mode'"))
            .toString();
    }

    QStringList primaryCodes() const
    {
        QStringList codes;
        for (const QVariant& row :
             db()->execQuery(QStringLiteral("SELECT code FROM currencies WHERE is_primary=1")))
            codes << row.toMap().value(QStringLiteral("code")).toString();
        return codes;
    }

    void addRate(int fromId, int toId, double rate, const QDate& date)
    {
        QVERIFY(db()->execNonQuery(QStringLiteral("INSERT INTO exchange_rates (from_currency_id, "
                                                  "to_currency_id, rate, date) VALUES (?,?,?,?)"),
                                   {fromId, toId, rate, date.toString(Qt::ISODate)}));
    }

    std::unique_ptr<TestDatabase> m_fixture;
};

QTEST_GUILESS_MAIN(TestSettingsManager)
#include "tst_settingsmanager.moc"
