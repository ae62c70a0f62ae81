#include "RentalRows.h"
#include "TestDatabase.h"

#include "finance/ExpenseModel.h"

#include <QSignalSpy>
#include <QTest>

#include <limits>

class TestExpenseModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        m_model = std::make_unique<ExpenseModel>(db());
        m_property = RentalRows::property(db(), QStringLiteral("مشروع الريحان"));
        m_unit = RentalRows::unit(db(), m_property, QStringLiteral("B4"));
        m_projectCentre = RentalRows::projectCostCenter(db(), m_property);
        m_unitCentre = RentalRows::unitCostCenter(db(), m_property, m_unit);
        m_contractor =
            m_model->addContractor(QStringLiteral("شركة البناء الحديث"),
                                   QStringLiteral("0599123456"), QStringLiteral("كهرباء"));
        QVERIFY(m_property > 0 && m_unit > 0 && m_unitCentre > 0 && m_contractor > 0);
    }
    void cleanup()
    {
        m_model.reset();
        m_fixture.reset();
    }

    void expenseStoresEveryColumn()
    {
        QSignalSpy changed(m_model.get(), &ExpenseModel::dataChanged);
        const int id =
            m_model->add(m_property, m_unit, m_contractor, QStringLiteral("تشطيب"),
                         QStringLiteral("أعمال كهربائية"), QStringLiteral("تمديدات الطابق الثاني"),
                         1800, QStringLiteral("2024-03-15"), 2);
        QVERIFY(id > 0);
        QCOMPARE(changed.count(), 1);

        const QVariantMap row = db()->getById(QStringLiteral("expenses"), id);
        QCOMPARE(row.value("property_id").toInt(), m_property);
        QCOMPARE(row.value("unit_id").toInt(), m_unit);
        QCOMPARE(row.value("contractor_id").toInt(), m_contractor);
        QCOMPARE(row.value("category").toString(), QStringLiteral("تشطيب"));
        QCOMPARE(row.value("work_category").toString(), QStringLiteral("أعمال كهربائية"));
        QCOMPARE(row.value("description").toString(), QStringLiteral("تمديدات الطابق الثاني"));
        QCOMPARE(row.value("amount").toDouble(), 1800.0);
        QCOMPARE(row.value("expense_date").toString(), QStringLiteral("2024-03-15"));
        QCOMPARE(row.value("currency_id").toInt(), 2);
        QCOMPARE(row.value("project_id").toInt(), m_property);
        QCOMPARE(row.value("cost_center_id").toInt(), m_unitCentre);
        QVERIFY(row.value("maintenance_id").isNull());
        QCOMPARE(contractorBalance(m_contractor), 1800.0);

        const QVariantMap listed = m_model->getAll().first().toMap();
        QCOMPARE(listed.value("property_name").toString(), QStringLiteral("مشروع الريحان"));
        QCOMPARE(listed.value("unit_number").toString(), QStringLiteral("B4"));
        QCOMPARE(listed.value("contractor_name").toString(), QStringLiteral("شركة البناء الحديث"));
    }

    void expenseWithoutUnitOrContractor()
    {
        const int id =
            m_model->add(m_property, 0, 0, QStringLiteral("رسوم"), QString(),
                         QStringLiteral("رخصة بناء"), 400, QStringLiteral("2024-03-01"), 1);
        QVERIFY(id > 0);
        const QVariantMap row = db()->getById(QStringLiteral("expenses"), id);
        QVERIFY(row.value("unit_id").isNull());
        QVERIFY(row.value("contractor_id").isNull());
        // A whole-property expense belongs to the property's project centre.
        QCOMPARE(row.value("cost_center_id").toInt(), m_projectCentre);
        QCOMPARE(contractorBalance(m_contractor), 0.0);
        QVERIFY(m_model->getContractorExpenses(m_contractor).isEmpty());
    }

    void contractorBalancesAddUp()
    {
        const int other = m_model->addContractor(QStringLiteral("أبو سامي للسباكة"), QString(),
                                                 QStringLiteral("سباكة"));
        QVERIFY(m_model->add(m_property, m_unit, m_contractor, QStringLiteral("مقاولات"), QString(),
                             QStringLiteral("دفعة أولى"), 500, QStringLiteral("2024-01-10"),
                             1) > 0);
        QVERIFY(m_model->add(m_property, 0, m_contractor, QStringLiteral("مقاولات"), QString(),
                             QStringLiteral("دفعة ثانية"), 250, QStringLiteral("2024-02-10"),
                             1) > 0);
        QVERIFY(m_model->add(m_property, 0, other, QStringLiteral("مقاولات"), QString(),
                             QStringLiteral("سباكة الحمامات"), 90, QStringLiteral("2024-02-01"),
                             1) > 0);
        QCOMPARE(contractorBalance(m_contractor), 750.0);
        QCOMPARE(contractorBalance(other), 90.0);

        const QVariantList own = m_model->getContractorExpenses(m_contractor);
        QCOMPARE(own.size(), 2);
        QCOMPARE(own.first().toMap().value("description").toString(), QStringLiteral("دفعة ثانية"));
        QCOMPARE(own.first().toMap().value("property_name").toString(),
                 QStringLiteral("مشروع الريحان"));
        QCOMPARE(m_model->getTotal(m_property), 840.0);
    }

    void refusedExpenseWritesNothing_data()
    {
        QTest::addColumn<int>("property");
        QTest::addColumn<int>("contractor");
        QTest::addColumn<QString>("category");
        QTest::addColumn<double>("amount");
        QTest::addColumn<int>("currency");
        const QString cat = QStringLiteral("صيانة");
        QTest::newRow("zero amount") << 0 << 0 << cat << 0.0 << 1;
        QTest::newRow("negative amount") << 0 << 0 << cat << -75.0 << 1;
        QTest::newRow("amount not a number")
            << 0 << 0 << cat << std::numeric_limits<double>::quiet_NaN() << 1;
        QTest::newRow("empty category") << 0 << 0 << QString() << 75.0 << 1;
        QTest::newRow("blank category") << 0 << 0 << QStringLiteral("  ") << 75.0 << 1;
        QTest::newRow("unknown property") << 9999 << 0 << cat << 75.0 << 1;
        QTest::newRow("unknown currency") << 0 << 0 << cat << 75.0 << 99;
        QTest::newRow("unknown contractor") << 0 << 9999 << cat << 75.0 << 1;
    }

    void refusedExpenseWritesNothing()
    {
        QFETCH(int, property);
        QFETCH(int, contractor);
        QFETCH(QString, category);
        QFETCH(double, amount);
        QFETCH(int, currency);
        QSignalSpy changed(m_model.get(), &ExpenseModel::dataChanged);

        QVERIFY(m_model->add(property ? property : m_property, m_unit,
                             contractor ? contractor : m_contractor, category, QString(),
                             QStringLiteral("وصف"), amount, QStringLiteral("2024-03-01"),
                             currency) < 1);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_fixture->count("expenses"), 0);
        QCOMPARE(contractorBalance(m_contractor), 0.0);
    }

    void failedBalanceUpdateRollsBackExpense()
    {
        QVERIFY(RentalRows::failOn(db(), "UPDATE", "contractors"));
        QSignalSpy changed(m_model.get(), &ExpenseModel::dataChanged);
        QVERIFY(m_model->add(m_property, m_unit, m_contractor, QStringLiteral("مقاولات"), QString(),
                             QString(), 500, QStringLiteral("2024-03-01"), 1) < 1);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(m_fixture->count("expenses"), 0);
        QCOMPARE(contractorBalance(m_contractor), 0.0);
        QCOMPARE(db()->transactionDepth(), 0);
    }

    void totalsPerPropertyOrAll()
    {
        const int other = RentalRows::property(db(), QStringLiteral("عمارة السلام"));
        const int empty = RentalRows::property(db(), QStringLiteral("أرض فارغة"));
        QVERIFY(m_model->add(m_property, 0, 0, QStringLiteral("رسوم"), QString(), QString(), 120.5,
                             QStringLiteral("2024-03-01"), 1) > 0);
        QVERIFY(m_model->add(other, 0, 0, QStringLiteral("رسوم"), QString(), QString(), 79.5,
                             QStringLiteral("2024-04-01"), 1) > 0);

        QCOMPARE(m_model->getTotal(), 200.0);
        QCOMPARE(m_model->getTotal(m_property), 120.5);
        QCOMPARE(m_model->getTotal(empty), 0.0);
        QCOMPARE(m_model->getTotal(0), 0.0); // property 0, not every property
        QCOMPARE(m_model->getByProperty(other).size(), 1);

        // Newest expense date first.
        const QVariantList all = m_model->getAll();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all.first().toMap().value("expense_date").toString(),
                 QStringLiteral("2024-04-01"));
    }

    // The page's footer: one line per currency, an expense without a
    // currency counted with the primary's, under the page's filters.
    void totalsByCurrencyKeepEachCurrencyApart()
    {
        const int other = RentalRows::property(db(), QStringLiteral("عمارة السلام"));
        const int usd =
            m_fixture->value(QStringLiteral("SELECT id FROM currencies WHERE code='USD'")).toInt();
        QVERIFY(m_model->add(m_property, 0, 0, QStringLiteral("رسوم"), QString(), QString(), 120.5,
                             QStringLiteral("2024-03-01"), 1) > 0);
        QVERIFY(m_model->add(other, 0, 0, QStringLiteral("رسوم"), QString(), QString(), 79.5,
                             QStringLiteral("2024-04-01"), 1) > 0);
        QVERIFY(m_model->add(other, 0, 0, QStringLiteral("رسوم"), QString(), QString(), 40.25,
                             QStringLiteral("2024-04-02"), usd) > 0);
        const int bare = m_model->add(m_property, 0, 0, QStringLiteral("رسوم"), QString(),
                                      QString(), 10, QStringLiteral("2024-04-03"), 1);
        QVERIFY(db()->execNonQuery(
            QStringLiteral("UPDATE expenses SET currency_id=NULL WHERE id=?"), {bare}));

        const auto lines = [](const QVariantList& rows) {
            QStringList out;
            for (const QVariant& row : rows) {
                const QVariantMap map = row.toMap();
                out << QStringLiteral("%1:%2:%3")
                           .arg(map.value(QStringLiteral("currency_id")).toInt())
                           .arg(map.value(QStringLiteral("total")).toDouble())
                           .arg(map.value(QStringLiteral("count")).toInt());
            }
            return out;
        };
        QCOMPARE(lines(m_model->totalsByCurrency({}, QString())),
                 (QStringList{QStringLiteral("1:210:3"), QStringLiteral("%1:40.25:1").arg(usd)}));
        QCOMPARE(
            lines(m_model->totalsByCurrency({{QStringLiteral("property_id"), other}}, QString())),
            (QStringList{QStringLiteral("1:79.5:1"), QStringLiteral("%1:40.25:1").arg(usd)}));
        QCOMPARE(lines(m_model->totalsByCurrency(
                     {{QStringLiteral("date_to"), QStringLiteral("2024-03-31")}},
                     QStringLiteral("الريحان"))),
                 QStringList{QStringLiteral("1:120.5:1")});
        // The filter's choices: every property, newest first.
        QCOMPARE(m_model->propertyChoices().size(), 2);
    }

    void contractorRegister()
    {
        QSignalSpy changed(m_model.get(), &ExpenseModel::dataChanged);
        const int id = m_model->addContractor(QStringLiteral("أحمد للدهانات"),
                                              QStringLiteral("0598000111"), QStringLiteral("دهان"));
        QVERIFY(id > 0);
        QCOMPARE(changed.count(), 1);
        const QVariantMap row = db()->getById(QStringLiteral("contractors"), id);
        QCOMPARE(row.value("phone").toString(), QStringLiteral("0598000111"));
        QCOMPARE(row.value("trade").toString(), QStringLiteral("دهان"));
        QVERIFY(row.value("email").isNull());
        QCOMPARE(row.value("balance").toDouble(), 0.0);

        QCOMPARE(m_model->addContractor(QStringLiteral(" "), QString(), QString()), -1);
        QCOMPARE(changed.count(), 1);

        const QVariantList list = m_model->getContractors();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.first().toMap().value("name").toString(), QStringLiteral("أحمد للدهانات"));
    }

private:
    Database* db() const { return m_fixture->db(); }
    double contractorBalance(int id) const
    {
        return m_fixture->value("SELECT balance FROM contractors WHERE id=?", {id}).toDouble();
    }

    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<ExpenseModel> m_model;
    int m_property = 0;
    int m_unit = 0;
    int m_projectCentre = 0;
    int m_unitCentre = 0;
    int m_contractor = 0;
};

QTEST_GUILESS_MAIN(TestExpenseModel)
#include "tst_expensemodel.moc"
