#include "TestDatabase.h"

#include "core/Money.h"
#include "core/MoneyTotals.h"

#include <QMap>
#include <QTest>

#include <cmath>

namespace {

using Figures = QMap<QString, QString>;

QString key(const QVariantMap& row)
{
    const QVariant currency = row.value(QStringLiteral("currency"));
    return row.value(QStringLiteral("kind")).toString() + QLatin1Char('/') +
           row.value(QStringLiteral("owner")).toString() + QLatin1Char('/') +
           (currency.isNull() ? QStringLiteral("none") : currency.toString());
}

// Count and cents of every total, as a direct sum over the stored rows
// gives them.
Figures direct(Database* db)
{
    const QString sql = QStringLiteral(
        "SELECT 'payments' as kind, 0 as owner, currency_id as currency, COUNT(*) as n, "
        "SUM(amount) as t FROM payments GROUP BY currency_id "
        "UNION ALL SELECT 'property_payments', u.property_id, p.currency_id, COUNT(*), "
        "SUM(p.amount) FROM payments p JOIN invoices i ON p.invoice_id=i.id JOIN units u ON "
        "i.unit_id=u.id GROUP BY u.property_id, p.currency_id "
        "UNION ALL SELECT 'expenses', 0, currency_id, COUNT(*), SUM(amount) FROM expenses GROUP "
        "BY currency_id "
        "UNION ALL SELECT 'property_expenses', property_id, currency_id, COUNT(*), SUM(amount) "
        "FROM expenses WHERE property_id IS NOT NULL GROUP BY property_id, currency_id");
    QVariantList rows = db->execQuery(sql);
    if (db->isPostgres()) {
        // The server's day of a payment, grouped as its monthly report reads it.
        rows.append(db->execQuery(QStringLiteral(
            "SELECT 'day_payments' as kind, money_totals_day(payment_date) as owner, currency_id "
            "as currency, COUNT(*) as n, SUM(amount) as t FROM payments WHERE "
            "money_totals_day(payment_date) IS NOT NULL GROUP BY money_totals_day(payment_date), "
            "currency_id")));
        rows.append(db->execQuery(QStringLiteral(
            "SELECT 'property_day_payments' as kind, u.property_id*100000000+"
            "money_totals_day(p.payment_date) as owner, p.currency_id as currency, COUNT(*) as n, "
            "SUM(p.amount) as t FROM payments p JOIN invoices i ON p.invoice_id=i.id JOIN units u "
            "ON i.unit_id=u.id WHERE money_totals_day(p.payment_date) IS NOT NULL GROUP BY "
            "u.property_id, money_totals_day(p.payment_date), p.currency_id")));
    }
    // Days of the years the monthly report picks, grouped as it reads them.
    for (int year = 2022; year <= 2026 && !db->isPostgres(); ++year) {
        const QVariantList months = db->execQuery(
            QStringLiteral("SELECT 'day_payments' as kind, ?||strftime('%m%d', payment_date) as "
                           "owner, currency_id as currency, COUNT(*) as n, SUM(amount) as t "
                           "FROM payments WHERE payment_date >= ? AND payment_date < ? AND "
                           "strftime('%Y', payment_date)=? GROUP BY strftime('%m%d', "
                           "payment_date), currency_id"),
            {QString::number(year), QStringLiteral("%1-01-01").arg(year),
             QStringLiteral("%1-01-01").arg(year + 1), QString::number(year)});
        rows.append(months);
        // And per property on the same days.
        rows.append(db->execQuery(
            QStringLiteral("SELECT 'property_day_payments' as kind, u.property_id||?||"
                           "strftime('%m%d', p.payment_date) as owner, p.currency_id as currency, "
                           "COUNT(*) as n, SUM(p.amount) as t FROM payments p JOIN invoices i ON "
                           "p.invoice_id=i.id JOIN units u ON i.unit_id=u.id WHERE "
                           "p.payment_date >= ? AND p.payment_date < ? AND strftime('%Y', "
                           "p.payment_date)=? GROUP BY u.property_id, strftime('%m%d', "
                           "p.payment_date), p.currency_id"),
            {QString::number(year), QStringLiteral("%1-01-01").arg(year),
             QStringLiteral("%1-01-01").arg(year + 1), QString::number(year)}));
    }
    Figures figures;
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        figures.insert(key(row), row.value(QStringLiteral("n")).toString() + QLatin1Char('/') +
                                     QString::number(Money::toCents(
                                         row.value(QStringLiteral("t")).toDouble())));
    }
    return figures;
}

// The same from the kept totals; a total left with a count other than 0
// shows, even a negative one.
Figures kept(Database* db)
{
    Figures figures;
    for (const QVariant& value : db->execQuery(QStringLiteral(
             "SELECT kind, owner_id as owner, NULLIF(currency_id,-1) as currency, row_count as "
             "n, cents/100.0+rest as t FROM money_totals WHERE row_count<>0"))) {
        const QVariantMap row = value.toMap();
        figures.insert(key(row), row.value(QStringLiteral("n")).toString() + QLatin1Char('/') +
                                     QString::number(Money::toCents(
                                         row.value(QStringLiteral("t")).toDouble())));
    }
    return figures;
}

QString keptRows(Database* db)
{
    QStringList rows;
    for (const QVariant& value : db->execQuery(
             QStringLiteral("SELECT kind, owner_id, currency_id, row_count, cents, rest FROM "
                            "money_totals WHERE row_count<>0 ORDER BY kind, owner_id, "
                            "currency_id"))) {
        const QVariantMap row = value.toMap();
        rows << QStringLiteral("%1/%2/%3: %4 %5 %6")
                    .arg(row.value(QStringLiteral("kind")).toString(),
                         row.value(QStringLiteral("owner_id")).toString(),
                         row.value(QStringLiteral("currency_id")).toString(),
                         row.value(QStringLiteral("row_count")).toString(),
                         row.value(QStringLiteral("cents")).toString())
                    .arg(std::round(row.value(QStringLiteral("rest")).toDouble() * 1e9) / 1e9 + 0.0,
                         0, 'f', 9);
    }
    return rows.join(QLatin1Char('\n'));
}

// Two properties, three units, invoices on them (and one without a unit),
// payments in three currencies and none, a payment without an invoice, and
// expenses with and without a property. Ids are those of an empty file.
bool addOffice(Database* db)
{
    const QStringList statements = {
        QStringLiteral("INSERT INTO properties (id, name) VALUES (1, 'برج النخيل'), "
                       "(2, 'مجمع الياسمين')"),
        QStringLiteral("INSERT INTO units (id, property_id, unit_number) VALUES (1, 1, 'A1'), "
                       "(2, 1, 'A2'), (3, 2, 'B1')"),
        QStringLiteral("INSERT INTO invoices (id, invoice_number, unit_id) VALUES (1, 'INV-1', 1), "
                       "(2, 'INV-2', 2), (3, 'INV-3', 3), (4, 'INV-4', NULL)"),
        QStringLiteral(
            "INSERT INTO payments (invoice_id, amount, payment_date, currency_id) VALUES "
            "(1, 100.1, '2024-03-01', 1), (1, 0.2, '2024-03-02', 1), (2, 50, '2024-03-03', 2), "
            "(3, 12.345, '2024-04-01', 3), (3, 70, '2024-04-02', NULL), "
            "(NULL, 30, '2024-04-03', 1), (4, 15, '2024-04-04', 1), "
            // Dates a hand-edited file may hold: a day past the month's end,
            // one SQLite cannot read at all, one with a time of day.
            "(2, 7.5, '2024-02-30', 1), (2, 3.25, '2024-3-5', 1), (1, 9, '2023-12-31 23:59', 2)"),
        QStringLiteral("INSERT INTO expenses (property_id, category, amount, expense_date, "
                       "currency_id) VALUES (1, 'صيانة', 200, '2024-03-01', 1), "
                       "(2, 'كهرباء', 0.3, '2024-03-02', 2), (NULL, 'مكتب', 40, '2024-03-03', 1)"),
    };
    for (const QString& statement : statements)
        if (!db->execNonQuery(statement))
            return false;
    return true;
}

// Every stored row of the tables the totals are made from.
QString sourceRows(Database* db)
{
    QStringList rows;
    for (const QString& table : {QStringLiteral("payments"), QStringLiteral("invoices"),
                                 QStringLiteral("units"), QStringLiteral("expenses")}) {
        for (const QVariant& row : db->execQuery(QStringLiteral("SELECT * FROM ") + table +
                                                 QStringLiteral(" ORDER BY id"))) {
            QStringList values;
            for (const QVariant& value : row.toMap())
                values << value.toString();
            rows << table + QLatin1Char(':') + values.join(QLatin1Char('|'));
        }
    }
    return rows.join(QLatin1Char('\n'));
}

const QString keysOff = QStringLiteral("PRAGMA foreign_keys=OFF");
const QString keysOn = QStringLiteral("PRAGMA foreign_keys=ON");

} // namespace

class TestMoneyTotals : public QObject
{
    Q_OBJECT

private slots:
    // After any change to the rows the totals depend on, each total equals
    // a direct sum of the stored rows, and counting afresh gives the very
    // same totals.
    void totalsFollowEveryChange_data()
    {
        QTest::addColumn<QStringList>("changes");
        QTest::newRow("as written") << QStringList();
        QTest::newRow("payment added")
            << QStringList{"INSERT INTO payments (invoice_id, amount, payment_date, currency_id) "
                           "VALUES (2, 9.99, '2024-05-01', 1)"};
        QTest::newRow("payment deleted") << QStringList{"DELETE FROM payments WHERE amount=50"};
        QTest::newRow("amounts changed")
            << QStringList{"UPDATE payments SET amount=amount+0.015 WHERE invoice_id=1"};
        QTest::newRow("currency changed and cleared")
            << QStringList{"UPDATE payments SET currency_id=2 WHERE amount=0.2",
                           "UPDATE payments SET currency_id=NULL WHERE amount=12.345"};
        QTest::newRow("payment re-dated")
            << QStringList{"UPDATE payments SET payment_date='2025-01-15' WHERE amount=0.2",
                           "UPDATE payments SET payment_date='2024-06-01' WHERE amount=3.25",
                           "UPDATE payments SET payment_date='حزيران' WHERE amount=100.1"};
        QTest::newRow("payment moved to another invoice")
            << QStringList{"UPDATE payments SET invoice_id=3 WHERE invoice_id=1"};
        QTest::newRow("payment given and taken an invoice")
            << QStringList{"UPDATE payments SET invoice_id=2 WHERE invoice_id IS NULL",
                           "UPDATE payments SET invoice_id=NULL WHERE amount=70"};
        QTest::newRow("invoice moved to another unit") << QStringList{
            "UPDATE invoices SET unit_id=3 WHERE id=1", "UPDATE invoices SET unit_id=1 WHERE id=4"};
        QTest::newRow("invoice loses its unit")
            << QStringList{"UPDATE invoices SET unit_id=NULL WHERE id=3"};
        QTest::newRow("unit moved to another property")
            << QStringList{"UPDATE units SET property_id=2 WHERE id=1"};
        QTest::newRow("invoice deleted with its payments") << QStringList{
            "DELETE FROM payments WHERE invoice_id=2", "DELETE FROM invoices WHERE id=2"};
        // What a hand-edited or restored file may hold: references the keys
        // do not enforce, rows arriving before what they refer to.
        QTest::newRow("invoice deleted under its payments")
            << QStringList{keysOff, "DELETE FROM invoices WHERE id=1", keysOn};
        QTest::newRow("unit deleted under its invoices")
            << QStringList{keysOff, "DELETE FROM units WHERE id=3", keysOn};
        QTest::newRow("unit and invoice renumbered")
            << QStringList{keysOff, "UPDATE units SET id=50 WHERE id=2",
                           "UPDATE invoices SET id=60 WHERE id=3", keysOn};
        QTest::newRow("rows arriving before what they refer to") << QStringList{
            keysOff,
            "INSERT INTO payments (invoice_id, amount, payment_date, currency_id) "
            "VALUES (99, 80.5, '2024-06-01', 2)",
            "INSERT INTO invoices (id, invoice_number, unit_id) VALUES (99, "
            "'INV-99', 98)",
            "INSERT INTO units (id, property_id, unit_number) VALUES (98, 2, 'B9')", keysOn};
        QTest::newRow("expenses added, changed, moved and deleted")
            << QStringList{"INSERT INTO expenses (property_id, category, amount, expense_date, "
                           "currency_id) VALUES (2, 'دهان', 75.25, '2024-05-01', 1)",
                           "UPDATE expenses SET amount=210.5 WHERE amount=200",
                           "UPDATE expenses SET property_id=1 WHERE amount=0.3",
                           "UPDATE expenses SET property_id=NULL, currency_id=NULL WHERE "
                           "amount=75.25",
                           "DELETE FROM expenses WHERE amount=40"};
        QTest::newRow("everything removed")
            << QStringList{"DELETE FROM payments", "DELETE FROM expenses"};
    }
    void totalsFollowEveryChange()
    {
        QFETCH(QStringList, changes);
        TestDatabase fixture;
        if (fixture.db()->isPostgres() && changes.contains(keysOff))
            QSKIP("a file's references unenforced by hand; a server enforces them always");
        Database* db = fixture.db();
        QVERIFY(addOffice(db));
        for (const QString& change : changes)
            QVERIFY2(db->execNonQuery(change), qPrintable(change));

        QCOMPARE(kept(db), direct(db));
        const QString incremental = keptRows(db);
        for (const QString& statement : MoneyTotals::recountStatements(db->engine()))
            QVERIFY(db->execNonQuery(statement));
        QCOMPARE(incremental, keptRows(db));
    }

    // Whole-cent amounts are added as integers: the same exact total
    // whatever order they came in, with no remainder.
    void wholeCentsAddUpExactly()
    {
        TestDatabase fixture;
        Database* db = fixture.db();
        for (double amount : {0.3, 0.2, 0.1, 1167.89, 2152.2})
            QVERIFY(db->execNonQuery(QStringLiteral("INSERT INTO payments (amount, payment_date, "
                                                    "currency_id) VALUES (?, '2024-01-01', 1)"),
                                     {amount}));
        QCOMPARE(fixture
                     .value(QStringLiteral("SELECT cents FROM money_totals WHERE "
                                           "kind='payments'"))
                     .toLongLong(),
                 qint64(332069));
        QCOMPARE(fixture
                     .value(QStringLiteral("SELECT rest FROM money_totals WHERE "
                                           "kind='payments'"))
                     .toDouble(),
                 0.0);
    }

    // A file from before the totals gains the table and its triggers at
    // start, counted from the rows it holds, and loses nothing.
    void olderDatabaseIsCountedAtStart()
    {
        if (TestDatabase::onPostgres())
            QSKIP("a file from an older version is counted at its start; a server by its steps");
        TestDatabase fixture;
        Database* db = fixture.db();
        QVERIFY(addOffice(db));
        QVERIFY(db->execNonQuery(QStringLiteral("DROP TABLE money_totals")));
        for (const QString& name : MoneyTotals::triggerNames())
            QVERIFY(db->execNonQuery(QStringLiteral("DROP TRIGGER ") + name));
        // Written while nothing kept the totals.
        QVERIFY(db->execNonQuery(QStringLiteral(
            "INSERT INTO payments (invoice_id, amount, payment_date, currency_id) VALUES "
            "(3, 444.44, '2024-07-01', 2)")));
        const QString before = sourceRows(db);
        const Figures expected = direct(db);

        QVERIFY(fixture.reopen());
        db = fixture.db();
        QCOMPARE(kept(db), expected);
        QCOMPARE(kept(db).value(QStringLiteral("property_payments/2/2")),
                 QStringLiteral("1/44444"));
        QCOMPARE(sourceRows(db), before);
        QCOMPARE(fixture
                     .value(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE "
                                           "type='trigger' AND name LIKE 'money_totals_%'"))
                     .toInt(),
                 int(MoneyTotals::triggerNames().size()));
        // And keeps counting from there.
        QVERIFY(db->execNonQuery(QStringLiteral("DELETE FROM payments WHERE amount=444.44")));
        QCOMPARE(kept(db), direct(db));
    }

    // A complete file is not counted again at every start; one missing a
    // trigger, or holding one written otherwise (by another version), is,
    // since its totals may have missed writes.
    void startCountsOnlyWhenSomethingIsMissing_data()
    {
        QTest::addColumn<QStringList>("damage");
        const QString name = MoneyTotals::triggerNames().constLast();
        QTest::newRow("trigger missing") << QStringList{"DROP TRIGGER " + name};
        QTest::newRow("trigger written otherwise") << QStringList{
            "DROP TRIGGER " + name,
            "CREATE TRIGGER " + name + " AFTER UPDATE OF amount ON expenses BEGIN SELECT 1; END"};
    }
    void startCountsOnlyWhenSomethingIsMissing()
    {
        if (TestDatabase::onPostgres())
            QSKIP("a file from an older version is counted at its start; a server by its steps");
        QFETCH(QStringList, damage);
        TestDatabase fixture;
        QVERIFY(addOffice(fixture.db()));
        const QString marker = QStringLiteral("UPDATE money_totals SET cents=cents+1 WHERE "
                                              "kind='expenses' AND currency_id=2");
        QVERIFY(fixture.db()->execNonQuery(marker));
        QVERIFY(fixture.reopen());
        QVERIFY(kept(fixture.db()) != direct(fixture.db()));

        for (const QString& statement : damage)
            QVERIFY(fixture.db()->execNonQuery(statement));
        QVERIFY(fixture.reopen());
        QCOMPARE(kept(fixture.db()), direct(fixture.db()));
        // The trigger is back as it should be: changes are followed again.
        QVERIFY(fixture.db()->execNonQuery(
            QStringLiteral("UPDATE expenses SET amount=1.5, property_id=2 WHERE amount=200")));
        QCOMPARE(kept(fixture.db()), direct(fixture.db()));
    }
};

QTEST_GUILESS_MAIN(TestMoneyTotals)
#include "tst_moneytotals.moc"
