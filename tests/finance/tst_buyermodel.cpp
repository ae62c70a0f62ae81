#include "SalesFixture.h"
#include "finance/BuyerModel.h"

#include <QSignalSpy>
#include <QTest>

class TestBuyerModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        m_model = std::make_unique<BuyerModel>(m_t->db());
    }
    void cleanup()
    {
        m_model.reset();
        m_t.reset();
    }

    void listsByNameWithInstallmentCount()
    {
        QSignalSpy changed(m_model.get(), &BuyerModel::dataChanged);
        const int rami = m_model->add("رامي عودة", "401", "0599", "r@x.ps", "نابلس");
        const int amal = m_model->add("أمل حداد", "402", "", "", "");
        QVERIFY(rami > 0 && amal > 0);
        QCOMPARE(changed.count(), 2);
        const int unit = SalesFixture::addUnit(*m_t, "ب-3");
        for (const char* due : {"2025-05-01", "2025-04-01"})
            m_t->db()->execInsert("INSERT INTO installments (buyer_id, unit_id, total_price, "
                                  "installment_amount, due_date) VALUES (?,?,1000,500,?)",
                                  {rami, unit, due});
        const QVariantList all = m_model->getAll();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[0].toMap()["full_name"].toString(), "أمل حداد");
        QCOMPARE(all[0].toMap()["installment_count"].toInt(), 0);
        QCOMPARE(all[1].toMap()["installment_count"].toInt(), 2);
        QCOMPARE(all[1].toMap()["address"].toString(), "نابلس");

        const QVariantList statement = m_model->getStatement(rami);
        QCOMPARE(statement.size(), 2);
        QCOMPARE(statement[0].toMap()["due_date"].toString(), "2025-04-01");
        QCOMPARE(statement[0].toMap()["unit_number"].toString(), "ب-3");
        QCOMPARE(statement[0].toMap()["property_name"].toString(), "برج الياسمين ب-3");
        QVERIFY(m_model->getStatement(amal).isEmpty());
    }

    void duplicateIdNumberIsRefused()
    {
        const int first = m_model->add("سامي ناصر", "900", "", "", "");
        QSignalSpy changed(m_model.get(), &BuyerModel::dataChanged);
        QCOMPARE(m_model->add("سامي آخر", "900", "", "", ""), -1);
        QVERIFY(
            !m_model->update(m_model->add("ليلى", "901", "", "", ""), "ليلى", "900", "", "", ""));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM buyers WHERE id_number='900'").toInt(), 1);
        QCOMPARE(m_t->db()->getById("buyers", first)["full_name"].toString(), "سامي ناصر");
    }

    void regressionBuyersWithoutIdNumberAreNotDuplicates()
    {
        QVERIFY(m_model->add("هالة", "", "", "", "") > 0);
        QVERIFY(m_model->add("منى", "  ", "", "", "") > 0);
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM buyers WHERE id_number IS NULL").toInt(), 2);
    }

    void updateKeepsBalance()
    {
        const int id = SalesFixture::addBuyer(*m_t, "نور", 1250.5);
        QSignalSpy changed(m_model.get(), &BuyerModel::dataChanged);
        QVERIFY(m_model->update(id, "نور الهدى", "777", "0598", "n@x.ps", "رام الله"));
        QCOMPARE(changed.count(), 1);
        const QVariantMap row = m_t->db()->getById("buyers", id);
        QCOMPARE(row["full_name"].toString(), "نور الهدى");
        QCOMPARE(row["email"].toString(), "n@x.ps");
        QCOMPARE(row["balance"].toDouble(), 1250.5);
        // A buyer that does not exist is not "updated".
        QVERIFY(!m_model->update(999, "لا أحد", "1", "", "", ""));
        QVERIFY(!m_model->lastError().isEmpty());
        QCOMPARE(changed.count(), 1);
    }

private:
    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<BuyerModel> m_model;
};

QTEST_GUILESS_MAIN(TestBuyerModel)
#include "tst_buyermodel.moc"
