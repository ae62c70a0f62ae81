#include "TestDatabase.h"
#include "core/SqlDialect.h"
#include "finance/ChequeModel.h"

#include <QDate>
#include <QSignalSpy>
#include <QTest>

class TestChequeModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        m_model = std::make_unique<ChequeModel>(m_t->db());
    }
    void cleanup()
    {
        m_model.reset();
        m_t.reset();
    }

    void storesCounterpartyAndRate_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("payer");
        QTest::addColumn<QString>("payee");
        QTest::addColumn<QString>("notes");
        QTest::newRow("received") << "received" << 1.0 << "يوسف"
                                  << ""
                                  << "exchange_rate=1";
        QTest::newRow("issued") << "issued" << 3.65 << ""
                                << "يوسف"
                                << "exchange_rate=3.65";
        QTest::newRow("rate with many digits") << "issued" << 3.6543219 << ""
                                               << "يوسف"
                                               << "exchange_rate=3.65432";
    }
    void storesCounterpartyAndRate()
    {
        QFETCH(QString, type);
        QFETCH(double, rate);
        QSignalSpy changed(m_model.get(), &ChequeModel::dataChanged);
        const int id = m_model->add("5501", type, 2500, "بنك القدس", "2025-09-01", "يوسف", 2, rate);
        QVERIFY(id > 0);
        QCOMPARE(changed.count(), 1);
        const QVariantMap row = m_t->db()->getById("cheques", id);
        QTEST(row["payer_name"].toString(), "payer");
        QTEST(row["payee_name"].toString(), "payee");
        QVERIFY(!row["payer_name"].isNull() && !row["payee_name"].isNull());
        QTEST(row["notes"].toString(), "notes");
        QCOMPARE(row["status"].toString(), "pending");
        QCOMPARE(row["issue_date"].toString(), today());
        QCOMPARE(row["amount"].toDouble(), 2500.0);
        QVERIFY(row["buyer_id"].isNull() && row["tenant_id"].isNull());
    }

    void linksBuyerAndTenantOnlyWhenGiven()
    {
        const int buyer = m_t->db()->execInsert("INSERT INTO buyers (full_name) VALUES ('مها')");
        const int tenant = m_t->db()->execInsert("INSERT INTO tenants (full_name) VALUES ('علي')");
        const int a =
            m_model->add("1", "received", 10, "", "2025-01-01", "مها", 1, 1, buyer, tenant);
        const int b = m_model->add("2", "received", 10, "", "2025-01-01", "مها", 1, 1, -3, 0);
        QCOMPARE(m_t->db()->getById("cheques", a)["buyer_id"].toInt(), buyer);
        QCOMPARE(m_t->db()->getById("cheques", a)["tenant_id"].toInt(), tenant);
        QVERIFY(m_t->db()->getById("cheques", b)["buyer_id"].isNull());
    }

    void refusesBlankNumberAndNonPositiveAmount_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<double>("amount");
        QTest::newRow("empty number") << "" << 100.0;
        QTest::newRow("blank number") << "   " << 100.0;
        QTest::newRow("zero amount") << "77" << 0.0;
        QTest::newRow("negative amount") << "77" << -5.0;
    }
    void refusesBlankNumberAndNonPositiveAmount()
    {
        QFETCH(QString, number);
        QFETCH(double, amount);
        QSignalSpy changed(m_model.get(), &ChequeModel::dataChanged);
        QCOMPARE(m_model->add(number, "issued", amount, "", "2025-01-01", "شركة", 1, 1), -1);
        QCOMPARE(m_t->count("cheques"), 0);
        QCOMPARE(changed.count(), 0);
    }

    void listsByStatusTypeAndDate()
    {
        const QString today = this->today();
        const QDate day = QDate::fromString(today, Qt::ISODate);
        const QString later = day.addDays(30).toString(Qt::ISODate);
        const QString earlier = day.addDays(-30).toString(Qt::ISODate);
        const int dueToday = m_model->add("1", "received", 100, "", today, "أ", 3, 1);
        const int dueLater = m_model->add("2", "issued", 200, "", later, "ب", 1, 1);
        const int dueEarlier = m_model->add("3", "received", 300, "", earlier, "ج", 2, 1);
        QVERIFY(m_model->updateStatus(dueEarlier, "bounced"));

        auto ids = [](const QVariantList& rows) {
            QList<int> out;
            for (const QVariant& r : rows)
                out << r.toMap()["id"].toInt();
            return out;
        };
        QCOMPARE(ids(m_model->getPending()), (QList<int>{dueToday, dueLater}));
        QCOMPARE(ids(m_model->getPostDated()), QList<int>{dueLater});
        QCOMPARE(ids(m_model->getByStatus("bounced")), QList<int>{dueEarlier});
        QCOMPARE(ids(m_model->getByType("received")), (QList<int>{dueToday, dueEarlier}));
        const QVariantList all = m_model->getAll();
        QCOMPARE(ids(all), (QList<int>{dueLater, dueToday, dueEarlier}));
        QCOMPARE(all[2].toMap()["currency_code"].toString(), "USD");
        QCOMPARE(all[1].toMap()["currency_symbol"].toString(), "د.ا");
    }

    // The cheques page's status boxes: counted and summed per currency by
    // SQL, matching what the rows of that status add up to.
    void statusTotalsMatchTheRows()
    {
        const QDate day = QDate::currentDate();
        const QString later = day.addDays(10).toString(Qt::ISODate);
        const QString earlier = day.addDays(-10).toString(Qt::ISODate);
        m_model->add("11", "received", 150.5, "بنك فلسطين", later, "سامي الحداد", 1, 1);
        m_model->add("12", "received", 300, "بنك القدس", earlier, "ليلى خوري", 2, 1);
        m_model->add("13", "issued", 49.5, "", earlier, "شركة النور", 1, 1);
        const int bounced = m_model->add("14", "received", 999, "", later, "أ", 1, 1);
        QVERIFY(m_model->updateStatus(bounced, "bounced"));

        const QVariantMap pending = m_model->getStatusTotals("pending");
        QCOMPARE(pending.value("count").toInt(), m_model->getByStatus("pending").size());
        QCOMPARE(pending.value("count").toInt(), 3);
        const QVariantList sums = pending.value("sums").toList();
        QCOMPARE(sums.size(), 2);
        // Currency 2's cheque and currency 1's issued one share the earliest
        // due date; currency 1 holds 150.5 + 49.5, currency 2 holds 300.
        QMap<int, double> byCurrency;
        for (const QVariant& s : sums)
            byCurrency.insert(s.toMap()["currency_id"].toInt(), s.toMap()["total"].toDouble());
        QCOMPARE(byCurrency.value(1), 200.0);
        QCOMPARE(byCurrency.value(2), 300.0);

        const QVariantMap none = m_model->getStatusTotals("paid");
        QCOMPARE(none.value("count").toInt(), 0);
        QVERIFY(none.value("sums").toList().isEmpty());
        QCOMPARE(m_model->getStatusTotals("bounced").value("count").toInt(), 1);
    }

private:
    // Today's date as the database gives it, as the model stores it.
    QString today() const
    {
        return m_t->value(QStringLiteral("SELECT ") + SqlDialect::today(m_t->engine())).toString();
    }
    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<ChequeModel> m_model;
};

QTEST_GUILESS_MAIN(TestChequeModel)
#include "tst_chequemodel.moc"
