#include "TestDatabase.h"
#include "finance/CurrencyModel.h"

#include <QDate>
#include <QSignalSpy>
#include <QTest>

class TestCurrencyModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        m_model = std::make_unique<CurrencyModel>(m_t->db());
    }
    void cleanup()
    {
        m_model.reset();
        m_t.reset();
    }

    void currenciesAndSymbols()
    {
        QCOMPARE(m_model->getAll()[0].toMap()["code"].toString(), "ILS");
        QCOMPARE(m_model->getPrimary()["symbol"].toString(), "₪");
        QCOMPARE(m_model->getSymbol(3), "د.ا");
        QVERIFY(m_model->getSymbol(42).isEmpty());
        m_t->db()->execNonQuery("UPDATE currencies SET is_primary=0");
        QVERIFY(m_model->getPrimary().isEmpty());
    }

    void sameDayRateIsReplaced()
    {
        QSignalSpy changed(m_model.get(), &CurrencyModel::dataChanged);
        QVERIFY(m_model->setRate(2, 1, 3.6));
        QVERIFY(m_model->setRate(2, 1, 3.7));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(m_t->count("exchange_rates"), 1);
        const QVariantMap row = m_model->getExchangeRates()[0].toMap();
        QCOMPARE(row["rate"].toDouble(), 3.7);
        QCOMPARE(row["date"].toString(), QDate::currentDate().toString(Qt::ISODate));
        QCOMPARE(row["from_code"].toString(), "USD");
        QCOMPARE(row["to_name"].toString(), "شيكل");
    }

    void onlyTheLatestDayIsListed()
    {
        const QString yesterday = QDate::currentDate().addDays(-1).toString(Qt::ISODate);
        m_t->db()->execInsert("INSERT INTO exchange_rates (from_currency_id, to_currency_id, "
                              "rate, date) VALUES (3, 1, 5.1, ?)",
                              {yesterday});
        QCOMPARE(m_model->getExchangeRates().size(), 1);
        QVERIFY(m_model->setRate(2, 1, 3.65));
        const QVariantList latest = m_model->getExchangeRates();
        QCOMPARE(latest.size(), 1);
        QCOMPARE(latest[0].toMap()["from_currency_id"].toInt(), 2);
        QCOMPARE(m_t->count("exchange_rates"), 2); // history is kept
    }

    void refusesNonPositiveRate_data()
    {
        QTest::addColumn<double>("rate");
        QTest::newRow("zero") << 0.0;
        QTest::newRow("negative") << -3.6;
    }
    void refusesNonPositiveRate()
    {
        QFETCH(double, rate);
        QVERIFY(m_model->setRate(2, 1, 3.6));
        QSignalSpy changed(m_model.get(), &CurrencyModel::dataChanged);
        QVERIFY(!m_model->setRate(2, 1, rate));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_t->value("SELECT rate FROM exchange_rates").toDouble(), 3.6);
    }

private:
    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<CurrencyModel> m_model;
};

QTEST_GUILESS_MAIN(TestCurrencyModel)
#include "tst_currencymodel.moc"
