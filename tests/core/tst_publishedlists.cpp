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

private:
    std::unique_ptr<QmlBackend> m_backend;
    std::unique_ptr<TestDatabase> m_file;
};

QTEST_GUILESS_MAIN(TestPublishedLists)
#include "tst_publishedlists.moc"
