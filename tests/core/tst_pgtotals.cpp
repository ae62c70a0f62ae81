#include "PgCluster.h"
#include "TestDatabase.h"

#include "core/Database.h"

#include <QtTest>

#include <memory>

namespace {

// The same office history, written to either engine. Ids are given, so the
// totals' owners match on both.
const char* const kHistory[] = {
    "INSERT INTO currencies (id, code, name_ar, symbol, decimals) VALUES (90, 'XTS', 'دينار "
    "تجريبي', 'د.ت', 3)",
    "INSERT INTO properties (id, name) VALUES (501, 'عمارة النخيل')",
    "INSERT INTO properties (id, name) VALUES (502, 'برج الياسمين')",
    "INSERT INTO units (id, property_id, unit_number) VALUES (601, 501, 'أ-1')",
    "INSERT INTO units (id, property_id, unit_number) VALUES (602, 502, 'ب-7')",
    "INSERT INTO tenants (id, full_name) VALUES (801, 'ليلى منصور')",
    "INSERT INTO invoices (id, invoice_number, tenant_id, unit_id, currency_id) VALUES (701, "
    "'INV-701', 801, 601, 90)",
    "INSERT INTO invoices (id, invoice_number, tenant_id, unit_id) VALUES (702, 'INV-702', 801, "
    "602)",
    "INSERT INTO payments (id, invoice_id, amount, payment_date, currency_id) VALUES (901, 701, "
    "100.10, '2026-03-01', 90)",
    "INSERT INTO payments (id, invoice_id, amount, payment_date, currency_id) VALUES (902, 701, "
    "0.125, '2026-03-01', 90)",
    "INSERT INTO payments (id, invoice_id, amount, payment_date) VALUES (903, 702, 250, "
    "'2026-03-15 10:30:00')",
    "INSERT INTO payments (id, amount, payment_date) VALUES (904, 40, 'not a day')",
    "INSERT INTO payments (id, invoice_id, amount, payment_date) VALUES (905, 702, 19.99, "
    "'2026-04-02')",
    // A correction, a payment moved to another day, one removed.
    "UPDATE payments SET amount=120.10 WHERE id=901",
    "UPDATE payments SET payment_date='2026-03-02' WHERE id=902",
    "UPDATE payments SET notes='لا يغير المجاميع' WHERE id=903",
    "DELETE FROM payments WHERE id=905",
    // The invoice moves to the other unit, then that unit to the first property.
    "UPDATE invoices SET unit_id=602 WHERE id=701",
    "UPDATE units SET property_id=501 WHERE id=602",
    "INSERT INTO expenses (id, property_id, category, amount, expense_date, currency_id) VALUES "
    "(1001, 501, 'صيانة', 75.5, '2026-03-03', 90)",
    "INSERT INTO expenses (id, category, amount, expense_date) VALUES (1002, 'مكتب', 12.25, "
    "'2026-03-04')",
    "UPDATE expenses SET property_id=502 WHERE id=1001",
    "INSERT INTO expenses (id, property_id, category, amount, expense_date) VALUES (1003, 502, "
    "'كهرباء', 30, '2026-03-05')",
    "DELETE FROM expenses WHERE id=1003",
};

struct Total
{
    QString key;
    qint64 rows;
    qint64 cents;
    double rest;
};

QList<Total> totals(Database* db)
{
    QList<Total> list;
    const QVariantList rows = db->execQuery(
        QStringLiteral("SELECT kind, owner_id, currency_id, row_count, cents, rest FROM "
                       "money_totals WHERE row_count <> 0 OR cents <> 0 OR rest <> 0 "
                       "ORDER BY kind, owner_id, currency_id"));
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        list.append({row.value("kind").toString() + QLatin1Char('/') +
                         row.value("owner_id").toString() + QLatin1Char('/') +
                         row.value("currency_id").toString(),
                     row.value("row_count").toLongLong(), row.value("cents").toLongLong(),
                     row.value("rest").toDouble()});
    }
    return list;
}

} // namespace

// The server's triggers keep the same running totals as the file's.
class TestPgTotals : public QObject
{
    Q_OBJECT

private slots:
    void serverKeepsTheSameMoneyTotalsAsTheFile()
    {
        PgCluster cluster;
        QVERIFY2(cluster.isRunning(), qPrintable(cluster.errorText()));
        TestDatabase file(DatabaseSettings::Engine::SQLite);
        QVERIFY(file.isOpen());
        Database server;
        QVERIFY2(server.initialize(cluster.newDatabase()), qPrintable(server.initErrorText()));
        for (Database* db : {file.db(), &server}) {
            for (const char* statement : kHistory)
                QVERIFY2(db->execNonQuery(QString::fromUtf8(statement)), statement);
        }

        const QList<Total> onFile = totals(file.db());
        const QList<Total> onServer = totals(&server);
        QVERIFY(onFile.size() >= 8);
        QCOMPARE(onServer.size(), onFile.size());
        for (int i = 0; i < onFile.size(); ++i) {
            const Total& a = onFile.at(i);
            const Total& b = onServer.at(i);
            QCOMPARE(b.key, a.key);
            QCOMPARE(b.rows, a.rows);
            QCOMPARE(b.cents, a.cents);
            QVERIFY2(qAbs(a.rest - b.rest) < 1e-9,
                     qPrintable(a.key + QStringLiteral(": %1 against %2").arg(a.rest).arg(b.rest)));
        }
        // The removed expense and payment left no row count behind.
        QCOMPARE(server
                     .scalar(QStringLiteral("SELECT cents FROM money_totals WHERE "
                                            "kind='property_expenses' AND owner_id=502 AND "
                                            "currency_id=-1"))
                     .toLongLong(),
                 0);
    }
};

QTEST_GUILESS_MAIN(TestPgTotals)
#include "tst_pgtotals.moc"
