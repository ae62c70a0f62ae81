#include "RentalRows.h"
#include "SalesFixture.h"
#include "core/Money.h"
#include "core/SqlDialect.h"
#include "finance/InstallmentModel.h"

#include <QDate>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

using namespace SalesFixture;

class TestInstallmentModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_t = std::make_unique<TestDatabase>();
        m_model = std::make_unique<InstallmentModel>(m_t->db());
        m_unit = addUnit(*m_t, "ب-12");
        m_buyer = addBuyer(*m_t, "خالد منصور", 500);
    }
    void cleanup()
    {
        m_model.reset();
        m_t.reset();
    }

    void sellUnitWritesTheWholeSale()
    {
        QSignalSpy changed(m_model.get(), &InstallmentModel::dataChanged);
        QCOMPARE(m_model->sellUnit(m_buyer, m_unit, 100000, 10000, 12, "2025-01-31", 2, "1001",
                                   "بنك فلسطين"),
                 1);
        QCOMPARE(changed.count(), 1);

        QCOMPARE(row("SELECT status, buyer_id, sale_price_actual, sale_date FROM units"),
                 QString("sold|%1|100000.00|2025-01-31").arg(m_buyer));
        // The down payment, then one payment per post-dated cheque.
        QCOMPARE(m_t->count("payments"), 13);
        QCOMPARE(
            row("SELECT amount, payment_date, payment_method, currency_id, cost_center_id, "
                "CASE WHEN invoice_id IS NULL AND tenant_id IS NULL THEN 1 ELSE 0 END, notes FROM "
                "payments ORDER BY id"),
            QString("10000.00|2025-01-31|cash|2|%1|1|دفعة مقدمة / بيع وحدة: ب-12")
                .arg(unitCostCenter(*m_t, m_unit)));

        const QStringList due = {"01-31", "02-28", "03-31", "04-30", "05-31", "06-30",
                                 "07-31", "08-31", "09-30", "10-31", "11-30", "12-31"};
        const QVariantList rows = m_t->db()->execQuery("SELECT id FROM installments ORDER BY id");
        QCOMPARE(rows.size(), 12);
        for (int i = 0; i < 12; ++i)
            QCOMPARE(row("SELECT due_date, installment_amount, cheque_number, bank_name, "
                         "total_price, down_payment, status, paid_amount, currency_id FROM "
                         "installments WHERE id=?",
                         rows[i].toMap()["id"]),
                     QString("2025-%1|7500.00|%2|بنك فلسطين|100000.00|10000.00|paid|7500.00|2")
                         .arg(due[i])
                         .arg(1001 + i));
        // The cheques settle the schedule while they wait to be cashed.
        QCOMPARE(m_t->value("SELECT balance FROM buyers WHERE id=?", {m_buyer}).toDouble(), 500.0);
        QCOMPARE(m_t->value("SELECT COUNT(*) FROM cheques WHERE status='pending' AND "
                            "type='received' AND currency_id=2")
                     .toInt(),
                 12);
        QCOMPARE(row("SELECT action, table_name, record_id, CASE WHEN user_id IS NULL THEN 1 ELSE "
                     "0 END, details FROM "
                     "audit_logs"),
                 QString("بيع وحدة|units|%1|1|تم بيع الوحدة ب-12 بمبلغ 100000 (دفعة: 10000, "
                         "شيكات: 12)")
                     .arg(m_unit));
        QCOMPARE(m_model->sellUnit(m_buyer, m_unit, 100000, 0, 1, "2025-01-31", 1), -1);
    }

    void scheduleAmounts_data()
    {
        QTest::addColumn<double>("total");
        QTest::addColumn<double>("down");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<double>>("amounts");
        QTest::addColumn<int>("payments");
        QTest::newRow("rounding on the last")
            << 1000.0 << 0.0 << 3 << QList<double>{333.33, 333.33, 333.34} << 0;
        QTest::newRow("cash sale, one of the remainder")
            << 5000.0 << 2000.0 << 0 << QList<double>{3000} << 1;
        QTest::newRow("paid in full") << 5000.0 << 5000.0 << 12 << QList<double>{} << 1;
        QTest::newRow("regression: 32-bit cents overflow")
            << 90000000.0 << 0.0 << 2 << QList<double>{45000000, 45000000} << 0;
    }
    void scheduleAmounts()
    {
        QFETCH(double, total);
        QFETCH(double, down);
        QFETCH(int, count);
        QFETCH(QList<double>, amounts);
        QCOMPARE(m_model->sellUnit(m_buyer, m_unit, total, down, count, "2025-03-15", 1), 1);
        const QVariantList rows = m_t->db()->execQuery("SELECT * FROM installments ORDER BY id");
        QCOMPARE(rows.size(), amounts.size());
        for (int i = 0; i < rows.size(); ++i) {
            QVERIFY(qAbs(rows[i].toMap()["installment_amount"].toDouble() - amounts[i]) < 1e-9);
            QCOMPARE(rows[i].toMap()["due_date"].toString(),
                     QDate(2025, 3 + i, 15).toString(Qt::ISODate));
        }
        QTEST(m_t->count("payments"), "payments");
        QVERIFY(qAbs(m_t->value("SELECT balance FROM buyers WHERE id=?", {m_buyer}).toDouble() -
                     (500 + total - down)) < 1e-6);
    }

    // A schedule once stored 16666.82000000018: the last instalment took
    // the double remainder instead of counting in cents.
    void regressionScheduleInWholeCentsAddsUpExactly_data()
    {
        QTest::addColumn<double>("total");
        QTest::addColumn<double>("down");
        QTest::addColumn<int>("count");
        QTest::newRow("million over seven") << 1000000.0 << 0.0 << 7;
        QTest::newRow("down payment with fils") << 250000.0 << 16666.18 << 14;
        QTest::newRow("price typed with a third decimal") << 100000.005 << 0.0 << 3;
    }
    void regressionScheduleInWholeCentsAddsUpExactly()
    {
        QFETCH(double, total);
        QFETCH(double, down);
        QFETCH(int, count);
        QCOMPARE(m_model->sellUnit(m_buyer, m_unit, total, down, count, "2025-03-15", 1), 1);
        const QVariantList rows =
            m_t->db()->execQuery("SELECT installment_amount FROM installments ORDER BY id");
        QCOMPARE(rows.size(), count);
        qint64 sum = 0;
        for (const QVariant& row : rows) {
            const double amount = row.toMap()["installment_amount"].toDouble();
            // Stored as a cent amount: its shortest text has at most two
            // decimals (16666.82000000018 had fourteen).
            const QString text = QString::number(amount, 'f', QLocale::FloatingPointShortest);
            QVERIFY2(!text.contains('.') || text.section('.', 1).size() <= 2, qPrintable(text));
            sum += Money::toCents(amount);
        }
        QCOMPARE(sum, Money::toCents(total) - Money::toCents(down));
        const double last = rows.last().toMap()["installment_amount"].toDouble();
        const double first = rows.first().toMap()["installment_amount"].toDouble();
        QVERIFY(Money::toCents(last) - Money::toCents(first) < count);
    }

    void auditFormatsAmountsInSixDigits()
    {
        QCOMPARE(m_model->sellUnit(m_buyer, m_unit, 1250000, 1234.567, 0, "2025-03-15", 1), 1);
        QCOMPARE(m_t->value("SELECT details FROM audit_logs").toString(),
                 "تم بيع الوحدة ب-12 بمبلغ 1.25e+06 (دفعة: 1234.57, شيكات: 0)");
    }

    void chequeNumbering_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("counted up") << "1001" << QStringList{"1001", "1002", "1003"};
        QTest::newRow("leading zeros dropped") << "001001" << QStringList{"1001", "1002", "1003"};
        QTest::newRow("not a number") << "A-77" << QStringList{"A-77", "", ""};
        QTest::newRow("zero") << "0" << QStringList{"0", "", ""};
        QTest::newRow("none") << "" << QStringList{"", "", ""};
    }
    void chequeNumbering()
    {
        QFETCH(QString, start);
        QFETCH(QStringList, numbers);
        QCOMPARE(m_model->sellUnit(m_buyer, m_unit, 3000, 0, 3, "2025-01-01", 1, start), 1);
        const QVariantList rows = m_t->db()->execQuery(
            QStringLiteral("SELECT cheque_number, %1 AS t, %2 AS b FROM installments ORDER BY id")
                .arg(m_t->typeOf("cheque_number"), m_t->typeOf("bank_name")));
        QCOMPARE(rows.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(rows[i].toMap()["cheque_number"].toString(), numbers[i]);
            QCOMPARE(rows[i].toMap()["t"].toString(), "text"); // empty text, never NULL
            QCOMPARE(rows[i].toMap()["b"].toString(), "text");
        }
    }

    void refusedSaleWritesNothing_data()
    {
        QTest::addColumn<int>("unitShift");
        QTest::addColumn<int>("buyerShift");
        QTest::addColumn<int>("currency");
        QTest::addColumn<double>("total");
        QTest::addColumn<double>("down");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("cheque");
        const QString d = "2025-01-31";
        QTest::newRow("unit missing") << 99 << 0 << 1 << 1000.0 << 0.0 << d << "";
        QTest::newRow("unit already sold") << -1 << 0 << 1 << 1000.0 << 0.0 << d << "";
        QTest::newRow("buyer missing") << 0 << 99 << 1 << 1000.0 << 0.0 << d << "";
        QTest::newRow("currency missing") << 0 << 0 << 9 << 1000.0 << 0.0 << d << "";
        QTest::newRow("total zero") << 0 << 0 << 1 << 0.0 << 0.0 << d << "";
        QTest::newRow("total negative") << 0 << 0 << 1 << -500.0 << -600.0 << d << "";
        QTest::newRow("down negative") << 0 << 0 << 1 << 1000.0 << -1.0 << d << "";
        QTest::newRow("down above total") << 0 << 0 << 1 << 1000.0 << 1000.5 << d << "";
        QTest::newRow("date empty") << 0 << 0 << 1 << 1000.0 << 100.0 << ""
                                    << "";
        QTest::newRow("date in another form") << 0 << 0 << 1 << 1000.0 << 100.0 << "31/01/2025"
                                              << "";
        QTest::newRow("date without padding") << 0 << 0 << 1 << 1000.0 << 100.0 << "2025-1-31"
                                              << "";
        QTest::newRow("date that does not exist") << 0 << 0 << 1 << 1000.0 << 100.0 << "2025-02-30"
                                                  << "";
        QTest::newRow("cheque numbers past 64 bits")
            << 0 << 0 << 1 << 1000.0 << 0.0 << d << "9223372036854775807";
    }
    void refusedSaleWritesNothing()
    {
        QFETCH(int, unitShift);
        QFETCH(int, buyerShift);
        QFETCH(int, currency);
        QFETCH(double, total);
        QFETCH(double, down);
        QFETCH(QString, date);
        QFETCH(QString, cheque);
        const int unit = unitShift < 0 ? addUnit(*m_t, "C-3", "sold") : m_unit + unitShift;
        const QString before = snapshot(*m_t);
        QSignalSpy changed(m_model.get(), &InstallmentModel::dataChanged);
        QCOMPARE(
            m_model->sellUnit(m_buyer + buyerShift, unit, total, down, 2, date, currency, cheque),
            -1);
        QCOMPARE(snapshot(*m_t), before);
        QCOMPARE(changed.count(), 0);
    }

    void failureInsideSaleRollsEverythingBack()
    {
        QVERIFY(RentalRows::failOn(m_t->db(), "INSERT", "audit_logs"));
        const QString before = snapshot(*m_t);
        QCOMPARE(m_model->sellUnit(m_buyer, m_unit, 100000, 10000, 12, "2025-01-31", 1, "1"), -1);
        QCOMPARE(snapshot(*m_t), before);
        QCOMPARE(m_t->db()->transactionDepth(), 0);
    }

    void collectionTolerance_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("status");
        QTest::newRow("exact") << 7500.0 << true << "paid";
        QTest::newRow("0.005 below") << 7499.995 << true << "paid";
        QTest::newRow("half") << 3750.0 << true << "partial";
        QTest::newRow("0.02 above") << 7500.02 << false << "pending";
        QTest::newRow("zero") << 0.0 << false << "pending";
        QTest::newRow("negative") << -10.0 << false << "pending";
    }
    void collectionTolerance()
    {
        QFETCH(double, amount);
        QFETCH(bool, accepted);
        QCOMPARE(m_model->sellUnit(m_buyer, m_unit, 15000, 0, 2, "2025-01-31", 3), 1);
        const QString before = snapshot(*m_t);
        QSignalSpy changed(m_model.get(), &InstallmentModel::dataChanged);
        QCOMPARE(m_model->payInstallment(1, amount), accepted);
        QTEST(m_t->value("SELECT status FROM installments WHERE id=1").toString(), "status");
        QCOMPARE(changed.count(), accepted ? 1 : 0);
        if (!accepted) {
            QCOMPARE(snapshot(*m_t), before);
            return;
        }
        QCOMPARE(m_t->value("SELECT paid_amount FROM installments WHERE id=1").toDouble(), amount);
        QCOMPARE(m_t->value("SELECT balance FROM buyers WHERE id=?", {m_buyer}).toDouble(),
                 15500 - amount);
        QCOMPARE(row(QStringLiteral("SELECT amount, CASE WHEN payment_date = %1 THEN 1 ELSE 0 END, "
                                    "payment_method, currency_id, cost_center_id, buyer_id, "
                                    "unit_id, notes FROM payments")
                         .arg(SqlDialect::today(m_t->engine()))),
                 QString("%1|1|cash|3|%2|%3|%4|تحصيل قسط - معرف: 1")
                     .arg(QString::number(amount, 'f', 2))
                     .arg(unitCostCenter(*m_t, m_unit))
                     .arg(m_buyer)
                     .arg(m_unit));
        QCOMPARE(row("SELECT action, table_name, record_id, details FROM audit_logs WHERE id=2"),
                 "تحصيل قسط|installments|1|تم تحصيل مبلغ " + QString::number(amount, 'g', 6));
    }

    void failureInsideCollectionRollsEverythingBack()
    {
        QCOMPARE(m_model->sellUnit(m_buyer, m_unit, 1000, 0, 1, "2025-01-31", 1), 1);
        QVERIFY(RentalRows::failOn(m_t->db(), "INSERT", "audit_logs"));
        const QString before = snapshot(*m_t);
        QVERIFY(!m_model->payInstallment(1, 1000));
        QVERIFY(!m_model->payInstallment(42, 1));
        QCOMPARE(snapshot(*m_t), before);
    }

    void addByHandRaisesBalance()
    {
        sellByHand(m_unit, m_buyer);
        QSignalSpy changed(m_model.get(), &InstallmentModel::dataChanged);
        const int id = m_model->add(m_buyer, m_unit, 0, 0, 1200, "2025-06-01", 1);
        QVERIFY(id > 0);
        QCOMPARE(m_t->value("SELECT balance FROM buyers WHERE id=?", {m_buyer}).toDouble(), 1700.0);
        QCOMPARE(m_t->count("audit_logs"), 0);
        QCOMPARE(m_model->add(999, m_unit, 0, 0, 1200, "2025-06-01", 1), -1);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_t->count("installments"), 1);
    }

    // Regression: an instalment could be put on an unsold unit or on a unit
    // sold to someone else, raising this buyer's balance all the same.
    void instalmentOnAUnitNotTheBuyersIsRefused_data()
    {
        QTest::addColumn<QString>("unitState");
        QTest::newRow("unit still available") << "available";
        QTest::newRow("unit sold to another buyer") << "other-buyer";
        QTest::newRow("unit that does not exist") << "missing";
    }
    void instalmentOnAUnitNotTheBuyersIsRefused()
    {
        QFETCH(QString, unitState);
        int unit = m_unit;
        if (unitState == "other-buyer")
            sellByHand(m_unit, addBuyer(*m_t, "سلمى عيسى", 0));
        else if (unitState == "missing")
            unit = 4242;
        const QString before = snapshot(*m_t);
        QCOMPARE(m_model->add(m_buyer, unit, 0, 0, 1200, "2025-06-01", 1), -1);
        QVERIFY(!m_model->lastError().isEmpty());
        QCOMPARE(snapshot(*m_t), before);
        QCOMPARE(m_t->value("SELECT balance FROM buyers WHERE id=?", {m_buyer}).toDouble(), 500.0);
    }

    void listsJoinAndOrder()
    {
        sellByHand(m_unit, m_buyer);
        const QDate today = QDate::currentDate();
        for (int days : {20, -20, -40})
            m_model->add(m_buyer, m_unit, 0, 0, 100, today.addDays(days).toString(Qt::ISODate), 1);
        QVERIFY(m_model->payInstallment(2, 100)); // the one 20 days ago
        const QVariantList overdue = m_model->getOverdue();
        QCOMPARE(overdue.size(), 1);
        QCOMPARE(overdue[0].toMap()["id"].toInt(), 3);
        QCOMPARE(overdue[0].toMap()["buyer_name"].toString(), "خالد منصور");
        const QVariantList mine = m_model->getByBuyer(m_buyer);
        QCOMPARE(mine.size(), 3);
        QCOMPARE(mine[0].toMap()["id"].toInt(), 3);
        QCOMPARE(mine[2].toMap()["property_name"].toString(), "برج الياسمين ب-12");
        QCOMPARE(m_model->getAll()[1].toMap()["unit_number"].toString(), "ب-12");
        QVERIFY(m_model->getByBuyer(m_buyer + 1).isEmpty());
    }

private:
    QString row(const QString& sql, const QVariant& param = {}) const
    {
        return SalesFixture::row(*m_t, sql, param.isValid() ? QVariantList{param} : QVariantList{});
    }

    // The unit as a finished sale leaves it, without the sale's own rows.
    void sellByHand(int unit, int buyer)
    {
        QVERIFY(m_t->db()->execNonQuery("UPDATE units SET status='sold', buyer_id=? WHERE id=?",
                                        {buyer, unit}));
    }

    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<InstallmentModel> m_model;
    int m_unit = 0;
    int m_buyer = 0;
};

QTEST_GUILESS_MAIN(TestInstallmentModel)
#include "tst_installmentmodel.moc"
