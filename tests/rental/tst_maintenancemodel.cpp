#include "RentalRows.h"
#include "TestDatabase.h"

#include "core/TransactionGuard.h"
#include "rental/MaintenanceModel.h"

#include <QDate>
#include <QSignalSpy>
#include <QTest>

class TestMaintenanceModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_model = std::make_unique<MaintenanceModel>(db());
        m_property = RentalRows::property(db(), QStringLiteral("برج الأمل"));
        m_unit = RentalRows::unit(db(), m_property, QStringLiteral("12"));
        QVERIFY(m_property > 0 && m_unit > 0);
    }
    void cleanup()
    {
        m_model.reset();
        m_fixture.reset();
    }

    void newRequestIsListedAndCounted()
    {
        QSignalSpy changed(m_model.get(), &MaintenanceModel::dataChanged);
        const int id =
            m_model->add(m_unit, m_property, QStringLiteral("تسريب مياه في المطبخ"),
                         QStringLiteral("الحنفية تسرب منذ يومين"), QStringLiteral("high"));
        QVERIFY(id > 0);
        QCOMPARE(changed.count(), 1);

        const QVariantMap row = db()->getById(QStringLiteral("maintenance_requests"), id);
        QCOMPARE(row.value("status").toString(), QStringLiteral("new"));
        QCOMPARE(row.value("priority").toString(), QStringLiteral("high"));
        QCOMPARE(row.value("property_id").toInt(), m_property);
        QCOMPARE(row.value("cost").toDouble(), 0.0);
        QVERIFY(row.value("completed_date").isNull());

        const QVariantList fresh = m_model->getByStatus(QStringLiteral("new"));
        QCOMPARE(fresh.size(), 1);
        QCOMPARE(fresh.first().toMap().value("unit_number").toString(), QStringLiteral("12"));
        QCOMPARE(fresh.first().toMap().value("property_name").toString(),
                 QStringLiteral("برج الأمل"));
        QVERIFY(m_model->getByStatus(QStringLiteral("completed")).isEmpty());
        QCOMPARE(m_model->getAll().size(), 1);
        QCOMPARE(m_model->getCount(), 1);
        QCOMPARE(m_model->getCount(QStringLiteral("new")), 1);
        QCOMPARE(m_model->getCount(QStringLiteral("in_progress")), 0);
    }

    void addWithoutTitleFails()
    {
        QSignalSpy changed(m_model.get(), &MaintenanceModel::dataChanged);
        QCOMPARE(m_model->add(m_unit, m_property, QString(), QStringLiteral("وصف"),
                              QStringLiteral("low")),
                 -1);
        QCOMPARE(
            m_model->add(9999, m_property, QStringLiteral("عطل"), QString(), QStringLiteral("low")),
            -1);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_model->getCount(), 0);
    }

    void listShowsTheUnitsProperty()
    {
        // The list goes by the unit's property, not the one passed in.
        const int other = RentalRows::property(db(), QStringLiteral("عمارة السلام"));
        QVERIFY(m_model->add(m_unit, other, QStringLiteral("طلاء"), QString(),
                             QStringLiteral("low")) > 0);
        QCOMPARE(m_model->getAll().first().toMap().value("property_name").toString(),
                 QStringLiteral("برج الأمل"));
    }

    void updateStatusMovesRequest()
    {
        const int id = request();
        QSignalSpy changed(m_model.get(), &MaintenanceModel::dataChanged);
        QVERIFY(m_model->updateStatus(id, QStringLiteral("in_progress")));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_model->getByStatus(QStringLiteral("in_progress")).size(), 1);
        QCOMPARE(m_model->getCount(QStringLiteral("new")), 0);

        // Completing is complete()'s job, which books the cost.
        QVERIFY(!m_model->updateStatus(id, QStringLiteral("completed")));
        QVERIFY(!m_model->updateStatus(9999, QStringLiteral("in_progress")));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(status(id), QStringLiteral("in_progress"));
    }

    void completionBooksExactlyOneExpense_data()
    {
        QTest::addColumn<double>("cost");
        QTest::newRow("with a cost") << 250.0;
        QTest::newRow("free of charge") << 0.0;
    }

    void completionBooksExactlyOneExpense()
    {
        QFETCH(double, cost);
        const int id = request();
        QSignalSpy changed(m_model.get(), &MaintenanceModel::dataChanged);

        QVERIFY(m_model->complete(id, cost));
        QCOMPARE(changed.count(), 1);
        const QVariantMap done = db()->getById(QStringLiteral("maintenance_requests"), id);
        QCOMPARE(done.value("status").toString(), QStringLiteral("completed"));
        QCOMPARE(done.value("cost").toDouble(), cost);
        // completed_date is the database's (UTC) date.
        QCOMPARE(done.value("completed_date").toString(),
                 m_fixture->value("SELECT date('now')").toString());

        QCOMPARE(m_fixture->count("expenses"), 1);
        const QVariantMap expense = db()->execQuery("SELECT * FROM expenses").first().toMap();
        QCOMPARE(expense.value("category").toString(), QStringLiteral("صيانة"));
        QCOMPARE(expense.value("description").toString(), QStringLiteral("كسر في زجاج النافذة"));
        QCOMPARE(expense.value("amount").toDouble(), cost);
        QCOMPARE(expense.value("maintenance_id").toInt(), id);
        QCOMPARE(expense.value("property_id").toInt(), m_property);
        QCOMPARE(expense.value("unit_id").toInt(), m_unit);
        QCOMPARE(expense.value("expense_date").toString(),
                 QDate::currentDate().toString(Qt::ISODate));
        QVERIFY(expense.value("contractor_id").isNull());
        QVERIFY(expense.value("currency_id").isNull());
        QVERIFY(expense.value("cost_center_id").isNull());

        // Completing again books nothing and keeps the first cost; nor can the
        // request be reopened to be completed (and booked) a second time.
        QVERIFY(!m_model->complete(id, 999));
        QVERIFY(!m_model->updateStatus(id, QStringLiteral("in_progress")));
        QCOMPARE(status(id), QStringLiteral("completed"));
        QCOMPARE(m_fixture->count("expenses"), 1);
        QCOMPARE(db()->getById(QStringLiteral("maintenance_requests"), id).value("cost").toDouble(),
                 cost);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_model->getCount(QStringLiteral("completed")), 1);
    }

    void completionRefusedWritesNothing_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<double>("cost");
        QTest::newRow("no such request") << false << 100.0;
        QTest::newRow("negative cost") << true << -100.0;
    }

    void completionRefusedWritesNothing()
    {
        QFETCH(bool, exists);
        QFETCH(double, cost);
        const int id = exists ? request() : 9999;
        QSignalSpy changed(m_model.get(), &MaintenanceModel::dataChanged);
        QVERIFY(!m_model->complete(id, cost));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_fixture->count("expenses"), 0);
        QCOMPARE(m_model->getCount(QStringLiteral("completed")), 0);
    }

    void failedExpenseRollsBackCompletion()
    {
        const int id = request();
        QVERIFY(RentalRows::failOn(db(), "INSERT", "expenses"));
        QSignalSpy changed(m_model.get(), &MaintenanceModel::dataChanged);

        QVERIFY(!m_model->complete(id, 250));
        QCOMPARE(changed.count(), 0);
        const QVariantMap row = db()->getById(QStringLiteral("maintenance_requests"), id);
        QCOMPARE(row.value("status").toString(), QStringLiteral("new"));
        QCOMPARE(row.value("cost").toDouble(), 0.0);
        QVERIFY(row.value("completed_date").isNull());
        QCOMPARE(db()->transactionDepth(), 0);
    }

    void completionInsideOuterTransactionFollowsIt()
    {
        const int id = request();
        {
            TransactionGuard outer(db());
            QVERIFY(m_model->complete(id, 80));
            QCOMPARE(m_fixture->count("expenses"), 1);
            // not committed: the completion and its expense go together
        }
        QCOMPARE(status(id), QStringLiteral("new"));
        QCOMPARE(m_fixture->count("expenses"), 0);
        QVERIFY(m_model->complete(id, 80));
        QCOMPARE(m_fixture->count("expenses"), 1);
    }

private:
    Database* db() const { return m_fixture->db(); }
    int request()
    {
        const int id = m_model->add(m_unit, m_property, QStringLiteral("كسر في زجاج النافذة"),
                                    QString(), QStringLiteral("medium"));
        return id;
    }
    QString status(int id) const
    {
        return m_fixture->value("SELECT status FROM maintenance_requests WHERE id=?", {id})
            .toString();
    }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<MaintenanceModel> m_model;
    int m_property = 0;
    int m_unit = 0;
};

QTEST_GUILESS_MAIN(TestMaintenanceModel)
#include "tst_maintenancemodel.moc"
