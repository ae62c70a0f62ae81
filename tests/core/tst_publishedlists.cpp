#include "QmlBackend.h"
#include "TestDatabase.h"

#include "OfficeGenerator.h"

#include "admin/OfficeMove.h"
#include "core/BalanceListModel.h"
#include "core/SqlListModel.h"

#include <QDate>
#include <QQmlContext>
#include <QRegularExpression>
#include <QTest>

#include <memory>

// Every list the pages show, as the composition root publishes it, opened
// on a generated office: its first screenful, its count and footer (read on
// the list reader's own connection), and a search, filters, a date range and
// another order together. Any statement the database refuses fails the test,
// on SQLite and on a PostgreSQL server alike.
class TestPublishedLists : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_backend = std::make_unique<QmlBackend>();
        Database* database = m_backend->database().db();
        QVERIFY(m_backend->database().isOpen());
        if (TestDatabase::onPostgres()) {
            // The office is generated in a file and moved to the server.
            m_file = std::make_unique<TestDatabase>(DatabaseSettings::Engine::SQLite);
            OfficeGenerator office(m_file->db()->connection(), OfficeGenerator::smallOffice(), 5,
                                   QDate::currentDate());
            QVERIFY2(office.run(), qPrintable(office.error()));
            m_file->close();
            QCOMPARE(OfficeMove::run(m_file->filePath(), database), QString());
        } else {
            OfficeGenerator office(database->connection(), OfficeGenerator::smallOffice(), 5,
                                   QDate::currentDate());
            QVERIFY2(office.run(), qPrintable(office.error()));
        }
    }
    void init()
    {
        // The lists report a refused statement as a warning and show nothing.
        QTest::failOnWarning(
            QRegularExpression(QStringLiteral("list (query|totals|balances) failed")));
    }
    void cleanupTestCase()
    {
        m_backend.reset();
        m_file.reset();
    }

    void everyListReadsItsRowsCountAndFooter_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("countSql");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QVariantMap>("filters");
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QString>("total"); // a footer sum, or empty

        QTest::newRow("invoices") << "invoiceList"
                                  << "SELECT COUNT(*) FROM invoices"
                                  << "INV" << QVariantMap{{"status", "pending"}} << "balance"
                                  << "total_amount";
        QTest::newRow("payments") << "paymentList"
                                  << "SELECT COUNT(*) FROM payments"
                                  << "نقد"
                                  << QVariantMap{{"payment_method", "cash"}, {"payer", "tenant"}}
                                  << "amount"
                                  << "amount";
        QTest::newRow("expenses") << "expenseList"
                                  << "SELECT COUNT(*) FROM expenses"
                                  << "صيانة" << QVariantMap{{"property_id", 1}} << "amount"
                                  << "amount";
        QTest::newRow("cheques") << "chequeList"
                                 << "SELECT COUNT(*) FROM cheques"
                                 << "بنك" << QVariantMap{{"status", "pending"}} << "amount"
                                 << "amount";
        QTest::newRow("maintenance") << "maintenanceList"
                                     << "SELECT COUNT(*) FROM maintenance_requests"
                                     << "تسرب" << QVariantMap{{"property_id", 1}} << "cost"
                                     << "cost";
        QTest::newRow("contracts") << "contractList"
                                   << "SELECT COUNT(*) FROM contracts"
                                   << "برج" << QVariantMap{{"status", "active"}} << "rent_amount"
                                   << "rent_amount";
        QTest::newRow("instalments") << "installmentList"
                                     << "SELECT COUNT(*) FROM installments"
                                     << "10" << QVariantMap{{"status", "pending"}} << "paid_amount"
                                     << "installment_amount";
        QTest::newRow("journal") << "journalList"
                                 << "SELECT COUNT(*) FROM journal_entries je WHERE EXISTS (SELECT "
                                    "1 FROM journal_lines WHERE entry_id=je.id)"
                                 << "قيد" << QVariantMap{{"reference_type", "payment"}}
                                 << "created_at" << QString();
        QTest::newRow("audit trail")
            << "auditList"
            << "SELECT COUNT(*) FROM audit_logs"
            << "upd" << QVariantMap{{"action", "update"}} << "created_at" << QString();
        QTest::newRow("tenants") << "tenantList"
                                 << "SELECT COUNT(*) FROM tenants"
                                 << "ال" << QVariantMap() << "full_name" << QString();
        QTest::newRow("buyers") << "buyerList"
                                << "SELECT COUNT(*) FROM buyers"
                                << "ال" << QVariantMap() << "full_name" << QString();
    }
    void everyListReadsItsRowsCountAndFooter()
    {
        QFETCH(QString, list);
        QFETCH(QString, countSql);
        QFETCH(QString, search);
        QFETCH(QVariantMap, filters);
        QFETCH(QString, sort);
        QFETCH(QString, total);

        auto* model = qobject_cast<SqlListModel*>(
            m_backend->engine()->rootContext()->contextProperty(list).value<QObject*>());
        QVERIFY(model);
        const int stored = m_backend->database().value(countSql).toInt();
        QVERIFY2(stored > 0, "the generated office should fill every list");

        model->reload();
        QCOMPARE(model->count(), qMin(stored, model->pageSize()));
        QTRY_VERIFY(!model->totalsPending());
        QCOMPARE(model->totalCount(), stored);
        if (!total.isEmpty()) {
            QVERIFY(model->totals().contains(total));
            QVERIFY(model->totals().value(total).toDouble() != 0);
        }
        // The people lists read what each row owes on the reader too.
        if (auto* people = qobject_cast<BalanceListModel*>(model)) {
            const QModelIndex first = people->index(0);
            people->data(first, people->roleNames().key(QByteArrayLiteral("balances")));
            QVERIFY(people->balancesPending());
            QTRY_VERIFY(!people->balancesPending());
        }

        // Everything a page can set at once, the date range included.
        QVariantMap narrowed = filters;
        narrowed.insert(QStringLiteral("date_from"), QStringLiteral("2000-01-01"));
        narrowed.insert(QStringLiteral("date_to"),
                        QDate::currentDate().addYears(5).toString(Qt::ISODate));
        model->setSortColumn(sort);
        model->setSortDescending(false);
        model->setFilters(narrowed);
        model->setSearchText(search);
        while (model->canFetchMore(QModelIndex()))
            model->fetchMore(QModelIndex());
        QTRY_VERIFY(!model->totalsPending());
        QCOMPARE(model->totalCount(), model->count());
        QVERIFY(model->count() <= stored);

        model->setSearchText(QString());
        model->setFilters({});
        model->setSortColumn(QString());
        model->setSortDescending(true);
        QTRY_VERIFY(!model->totalsPending());
        QCOMPARE(model->totalCount(), stored);
    }

    // The long lists' first pages, read in their own order, hold the rows
    // and names a plain read with every name joined gives in the same order:
    // the payment list looks its names up row by row, and the server reads
    // the invoice list through its own index, rows written in the same
    // second included.
    void longListsShowTheRowsAndNamesOfThePlainRead_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("plainSql");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("coverageSql"); // the rows this is about exist

        QTest::newRow("payments")
            << "paymentList"
            << "SELECT p.id, t.full_name AS tenant_name, b.full_name AS buyer_name, "
               "i.invoice_number, COALESCE(pu.unit_number, iu.unit_number) AS unit_number, "
               "COALESCE(pp.name, ip.name) AS property_name FROM payments p "
               "LEFT JOIN tenants t ON p.tenant_id=t.id LEFT JOIN buyers b ON p.buyer_id=b.id "
               "LEFT JOIN invoices i ON p.invoice_id=i.id LEFT JOIN units iu ON i.unit_id=iu.id "
               "LEFT JOIN properties ip ON iu.property_id=ip.id "
               "LEFT JOIN units pu ON p.unit_id=pu.id "
               "LEFT JOIN properties pp ON pu.property_id=pp.id "
               "ORDER BY p.payment_date DESC, p.id DESC LIMIT ?"
            << QStringList{"tenant_name", "buyer_name", "invoice_number", "unit_number",
                           "property_name"}
            << QString()
            << "SELECT COUNT(DISTINCT CASE WHEN buyer_id IS NOT NULL THEN 1 WHEN invoice_id IS "
               "NOT NULL THEN 2 ELSE 3 END) FROM payments";
        QTest::newRow("invoices")
            << "invoiceList"
            << "SELECT i.id, t.full_name AS tenant_name, u.unit_number, p.name AS "
               "property_name FROM invoices i LEFT JOIN tenants t ON i.tenant_id=t.id "
               "LEFT JOIN units u ON i.unit_id=u.id LEFT JOIN properties p ON "
               "u.property_id=p.id ORDER BY i.created_at DESC, i.id DESC LIMIT ?"
            << QStringList{"tenant_name", "unit_number", "property_name"}
            // A rent run writes its invoices within one second.
            << "UPDATE invoices SET created_at=(SELECT MAX(created_at) FROM invoices) WHERE "
               "id > (SELECT MAX(id) - 250 FROM invoices)"
            << "SELECT MAX(n) FROM (SELECT COUNT(*) AS n FROM invoices GROUP BY created_at) "
               "AS same_second";
    }
    void longListsShowTheRowsAndNamesOfThePlainRead()
    {
        QFETCH(QString, list);
        QFETCH(QString, plainSql);
        QFETCH(QStringList, names);
        QFETCH(QString, setup);
        QFETCH(QString, coverageSql);

        auto* model = qobject_cast<SqlListModel*>(
            m_backend->engine()->rootContext()->contextProperty(list).value<QObject*>());
        QVERIFY(model);
        Database* db = m_backend->database().db();
        if (!setup.isEmpty())
            QVERIFY(db->execNonQuery(setup));
        // Payments of tenants on invoices, of buyers and on their own; or
        // invoices written in the same second.
        QVERIFY2(db->scalar(coverageSql).toInt() > 1, "the office lacks the rows this reads");

        model->setSearchText(QString());
        model->setFilters({});
        model->setSortColumn(QString());
        model->setSortDescending(true);
        model->reload();
        // Three pages: the first and two read after the last row shown.
        for (int page = 1; page < 3 && model->canFetchMore(QModelIndex()); ++page)
            model->fetchMore(QModelIndex());
        const int shown = model->count();
        QVERIFY(shown > model->pageSize());

        const QVariantList plain = db->execQuery(plainSql, {shown});
        QCOMPARE(plain.size(), shown);
        int named = 0;
        for (int row = 0; row < shown; ++row) {
            const QVariantMap listed = model->get(row);
            const QVariantMap read = plain.at(row).toMap();
            QCOMPARE(listed.value(QStringLiteral("id")).toLongLong(),
                     read.value(QStringLiteral("id")).toLongLong());
            for (const QString& name : names) {
                const QVariant a = listed.value(name);
                const QVariant b = read.value(name);
                QVERIFY2(a.isNull() == b.isNull() && a.toString() == b.toString(),
                         qPrintable(QStringLiteral("row %1, %2: %3 against %4")
                                        .arg(row)
                                        .arg(name, a.toString(), b.toString())));
                named += b.isNull() ? 0 : 1;
            }
        }
        QVERIFY(named > shown);
    }

private:
    std::unique_ptr<QmlBackend> m_backend;
    std::unique_ptr<TestDatabase> m_file;
};

QTEST_GUILESS_MAIN(TestPublishedLists)
#include "tst_publishedlists.moc"
