#include "TestDatabase.h"

#include "core/CurrencyRates.h"
#include "core/LedgerPosting.h"
#include "core/Reasons.h"
#include "finance/CurrencyModel.h"

#include <QDate>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kShekel = 1;
constexpr int kDollar = 2;
constexpr int kDinar = 3;

LedgerPosting::Entry receipt(const QString& date, int currency, double amount)
{
    LedgerPosting::Entry entry;
    entry.date = date;
    entry.description = QStringLiteral("دفعة إيجار من سارة خليل");
    entry.referenceType = QStringLiteral("payment");
    entry.referenceId = 1;
    entry.currencyId = currency;
    entry.lines = {{QStringLiteral("1100"), 0, amount, 0, {}},
                   {QStringLiteral("1200"), 0, 0, amount, {}}};
    return entry;
}

} // namespace

class TestCurrencyRates : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        m_model = std::make_unique<CurrencyModel>(m_t->db());
        QVERIFY(m_model->recordRate(kDollar, QStringLiteral("2026-03-01"), 3.60));
        QVERIFY(m_model->recordRate(kDollar, QStringLiteral("2026-03-20"), 3.75));
        QVERIFY(m_model->recordRate(kDinar, QStringLiteral("2026-02-15"), 5.10));
    }
    void cleanup()
    {
        m_model.reset();
        m_t.reset();
    }

    void rateIsTheLastOnOrBeforeTheDay_data()
    {
        QTest::addColumn<int>("currency");
        QTest::addColumn<QString>("date");
        QTest::addColumn<double>("rate");
        QTest::newRow("between two rates: the earlier")
            << kDollar << QStringLiteral("2026-03-10") << 3.60;
        QTest::newRow("on the day of a rate") << kDollar << QStringLiteral("2026-03-20") << 3.75;
        QTest::newRow("long after the last") << kDollar << QStringLiteral("2027-01-05") << 3.75;
        QTest::newRow("a time of day is ignored")
            << kDollar << QStringLiteral("2026-03-19 23:59:00") << 3.60;
        QTest::newRow("dinar's one rate") << kDinar << QStringLiteral("2026-03-10") << 5.10;
        QTest::newRow("primary is one") << kShekel << QStringLiteral("1999-01-01") << 1.0;
        QTest::newRow("before the first: none") << kDollar << QStringLiteral("2026-02-28") << 0.0;
        QTest::newRow("unknown currency: none") << 42 << QStringLiteral("2026-03-10") << 0.0;
    }
    void rateIsTheLastOnOrBeforeTheDay()
    {
        QFETCH(int, currency);
        QFETCH(QString, date);
        QFETCH(double, rate);
        CurrencyRates rates(m_t->db());
        QCOMPARE(rates.rateOn(currency, date), rate);
    }

    void rowBeforeTheFirstRateIsRefusedWithItsReason()
    {
        CurrencyRates rates(m_t->db());
        double out = -1;
        QVERIFY(!rates.toPrimary(40, kDollar, QStringLiteral("2026-02-27"), &out));
        QCOMPARE(out, -1.0);
        QCOMPARE(rates.reason(), Reasons::noRate(QStringLiteral("USD"), "2026-02-27"));
        QVERIFY(rates.reason().contains(QStringLiteral("USD")));
        QVERIFY(rates.reason().contains(QStringLiteral("2026-02-27")));
        QVERIFY(rates.toPrimary(40, kDollar, QStringLiteral("2026-03-02"), &out));
        QCOMPARE(out, 144.0);
        QVERIFY(rates.reason().isEmpty());
    }

    void primaryRateInTheCurrencyIsReadInverted()
    {
        m_t->db()->execNonQuery(
            QStringLiteral("INSERT INTO exchange_rates (from_currency_id,to_currency_id,rate,date) "
                           "VALUES (1,3,0.2,'2026-01-01')"));
        CurrencyRates rates(m_t->db());
        QCOMPARE(rates.rateOn(kDinar, QStringLiteral("2026-01-10")), 5.0);
        // A direct rate covering the day is preferred.
        QCOMPARE(rates.rateOn(kDinar, QStringLiteral("2026-02-20")), 5.10);
    }

    void recordRateRefusesBadInputAndKeepsHistory_data()
    {
        QTest::addColumn<int>("currency");
        QTest::addColumn<QString>("date");
        QTest::addColumn<double>("rate");
        QTest::newRow("zero") << kDollar << QStringLiteral("2026-04-01") << 0.0;
        QTest::newRow("negative") << kDollar << QStringLiteral("2026-04-01") << -3.7;
        QTest::newRow("no such day") << kDollar << QStringLiteral("2026-02-30") << 3.7;
        QTest::newRow("the primary itself") << kShekel << QStringLiteral("2026-04-01") << 2.0;
        QTest::newRow("unknown currency") << 42 << QStringLiteral("2026-04-01") << 3.7;
    }
    void recordRateRefusesBadInputAndKeepsHistory()
    {
        QFETCH(int, currency);
        QFETCH(QString, date);
        QFETCH(double, rate);
        QVERIFY(!m_model->recordRate(currency, date, rate));
        QVERIFY(!m_model->lastError().isEmpty());
        QCOMPARE(m_t->count(QStringLiteral("exchange_rates")), 3);
        const QVariantList history = m_model->rateHistory(kDollar);
        QCOMPARE(history.size(), 2);
        QCOMPARE(history.first().toMap().value("date").toString(), "2026-03-20");
        QCOMPARE(history.last().toMap().value("rate").toDouble(), 3.60);
    }

    void postingKeepsThePrimaryAmountAtTheEntryDate()
    {
        LedgerPosting posting(m_t->db());
        // At 3.75 the three debits round to 124.99 + 124.99 + 125.03 =
        // 375.01 against a credit of 375.00: the sides must be evened out.
        LedgerPosting::Entry entry = receipt(QStringLiteral("2026-03-20"), kDollar, 100);
        entry.lines = {{QStringLiteral("1100"), 0, 33.33, 0, {}},
                       {QStringLiteral("1110"), 0, 33.33, 0, {}},
                       {QStringLiteral("1300"), 0, 33.34, 0, {}},
                       {QStringLiteral("1200"), 0, 0, 100, {}}};
        const int id = posting.post(entry);
        QVERIFY2(id > 0, qPrintable(posting.reason()));
        const QVariantList lines = m_t->db()->execQuery(
            QStringLiteral("SELECT debit, debit_primary, credit_primary FROM journal_lines WHERE "
                           "entry_id=? ORDER BY id"),
            {id});
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(0).toMap().value("debit").toDouble(), 33.33);
        QCOMPARE(lines.at(3).toMap().value("credit_primary").toDouble(), 375.0);
        QCOMPARE(m_t->value(QStringLiteral("SELECT ROUND(SUM(debit_primary)-SUM(credit_primary),"
                                           "2) FROM journal_lines WHERE entry_id=?"),
                            {id})
                     .toDouble(),
                 0.0);
        for (const QVariant& line : lines) {
            const double debit = line.toMap().value("debit").toDouble();
            const double primary = line.toMap().value("debit_primary").toDouble();
            QVERIFY(qAbs(primary - debit * 3.75) <= 0.02);
        }

        const int shekels = posting.post(receipt(QStringLiteral("2026-03-10"), kShekel, 250));
        QCOMPARE(m_t->value(QStringLiteral("SELECT debit_primary FROM journal_lines WHERE "
                                           "entry_id=? AND debit>0"),
                            {shekels})
                     .toDouble(),
                 250.0);
    }

    void reversalTakesBackThePrimaryAmountPostedWhateverTheRateNow()
    {
        LedgerPosting posting(m_t->db());
        QVERIFY(posting.post(receipt(QStringLiteral("2026-03-10"), kDollar, 40)) > 0);
        QVERIFY(m_model->recordRate(kDollar, QStringLiteral("2026-03-25"), 3.90));
        QVERIFY(posting.reverse(QStringLiteral("payment"), 1, QStringLiteral("payment_void"),
                                QStringLiteral("2026-03-28"),
                                QStringLiteral("إلغاء دفعة سارة خليل")) > 0);
        QCOMPARE(m_t->value(QStringLiteral("SELECT ROUND(SUM(debit_primary-credit_primary),2) "
                                           "FROM journal_lines jl JOIN accounts a ON "
                                           "a.id=jl.account_id WHERE a.code='1100'"))
                     .toDouble(),
                 0.0);
    }

    void lineWithoutRateWaitsAndIsFilledByAnEarlierRate()
    {
        LedgerPosting posting(m_t->db());
        const int early = posting.post(receipt(QStringLiteral("2026-01-10"), kDollar, 40));
        QVERIFY(early > 0);
        const QString primary =
            QStringLiteral("SELECT debit_primary FROM journal_lines WHERE entry_id=? AND debit>0");
        QVERIFY(m_t->value(primary, {early}).isNull());
        const QVariantList missing = m_model->missingRates();
        QCOMPARE(missing.size(), 1);
        QCOMPARE(missing.first().toMap().value("code").toString(), "USD");
        QCOMPARE(missing.first().toMap().value("first_date").toString(), "2026-01-10");
        QVERIFY(missing.first().toMap().value("text").toString().contains("2026-01-10"));

        // A rate recorded today does not reach back to January.
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QVERIFY(m_model->recordRate(kDollar, today, 3.95));
        QVERIFY(m_t->value(primary, {early}).isNull());
        QVERIFY(m_model->recordRate(kDollar, QStringLiteral("2026-01-01"), 3.50));
        QCOMPARE(m_t->value(primary, {early}).toDouble(), 140.0);
        QVERIFY(m_model->missingRates().isEmpty());
    }

    void rateRecordedTodayLeavesEarlierConvertedAmountsAsTheyWere()
    {
        LedgerPosting posting(m_t->db());
        const int march = posting.post(receipt(QStringLiteral("2026-03-22"), kDollar, 100));
        const QString sum = QStringLiteral("SELECT SUM(debit_primary) FROM journal_lines");
        QCOMPARE(m_t->value(sum).toDouble(), 375.0);
        QVERIFY(march > 0);
        QVERIFY(m_model->recordRate(kDollar, QDate::currentDate().toString(Qt::ISODate), 4.2));
        QVERIFY(m_model->recordRate(kDollar, QStringLiteral("2026-03-21"), 3.0));
        QCOMPARE(m_t->value(sum).toDouble(), 375.0);
    }

    void olderFilesStandInRatesCountAsNoRate()
    {
        // This case opens files of its own on the one connection.
        m_model.reset();
        m_t.reset();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        QVERIFY(TestDatabase::writeLegacyFile(
            path,
            {QStringLiteral("CREATE TABLE currencies (id INTEGER PRIMARY KEY AUTOINCREMENT, code "
                            "TEXT UNIQUE NOT NULL, name_ar TEXT NOT NULL, symbol TEXT NOT NULL, "
                            "is_primary INTEGER DEFAULT 0, created_at TEXT)"),
             QStringLiteral("INSERT INTO currencies (code,name_ar,symbol,is_primary) VALUES "
                            "('ILS','شيكل','₪',1),('USD','دولار','$',0),('JOD','دينار أردني',"
                            "'د.ا',0)"),
             QStringLiteral("CREATE TABLE exchange_rates (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                            "from_currency_id INTEGER NOT NULL, to_currency_id INTEGER NOT NULL, "
                            "rate REAL NOT NULL, date TEXT NOT NULL, created_at TEXT, "
                            "UNIQUE(from_currency_id, to_currency_id, date))"),
             QStringLiteral("INSERT INTO exchange_rates (from_currency_id,to_currency_id,rate,"
                            "date) VALUES (2,1,1.0,'2025-06-01'),(3,1,5.05,'2025-06-01')")}));
        {
            Database database;
            QVERIFY(database.initialize(path));
            CurrencyRates rates(&database);
            QCOMPARE(rates.rateOn(kDollar, QStringLiteral("2025-07-01")), 0.0);
            QCOMPARE(rates.rateOn(kDinar, QStringLiteral("2025-07-01")), 5.05);
            // The stand-in row is kept, and a 1.0 a clerk records from now
            // on is a rate.
            CurrencyModel model(&database);
            QVERIFY(model.recordRate(kDollar, QStringLiteral("2025-08-01"), 1.0));
        }
        // A second start marks nothing again.
        Database database;
        QVERIFY(database.initialize(path));
        CurrencyRates rates(&database);
        QCOMPARE(rates.rateOn(kDollar, QStringLiteral("2025-07-01")), 0.0);
        QCOMPARE(rates.rateOn(kDollar, QStringLiteral("2025-08-02")), 1.0);
        QCOMPARE(database.scalar(QStringLiteral("SELECT COUNT(*) FROM exchange_rates")).toInt(), 3);
    }

private:
    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<CurrencyModel> m_model;
};

QTEST_GUILESS_MAIN(TestCurrencyRates)
#include "tst_currencyrates.moc"
