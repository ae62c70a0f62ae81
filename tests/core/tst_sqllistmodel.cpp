#include "QmlBackend.h"
#include "TestDatabase.h"

#include "OfficeGenerator.h"

#include "admin/AuditList.h"
#include "admin/AuditManager.h"
#include "admin/OfficeMove.h"
#include "core/Money.h"
#include "core/Schema.h"
#include "core/SqlListModel.h"
#include "finance/AccountModel.h"
#include "finance/ChequeModel.h"
#include "finance/ExpenseModel.h"
#include "finance/FinanceLists.h"
#include "finance/InstallmentModel.h"
#include "rental/ContractModel.h"
#include "rental/InvoiceModel.h"
#include "rental/MaintenanceModel.h"
#include "rental/PaymentModel.h"
#include "rental/RentalLists.h"

#include <QDate>
#include <QDateTime>
#include <QQmlContext>
#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

Q_DECLARE_METATYPE(std::function<QVariantList(Database*, int)>)

namespace {

// The list's order: NULL below every value on SQLite and above every value
// on a server, numbers by value, text by its characters.
int compareValues(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull()) {
        if (a.isNull() == b.isNull())
            return 0;
        const int nullBelow = TestDatabase::onPostgres() ? 1 : -1;
        return a.isNull() ? nullBelow : -nullBelow;
    }
    // The server's ids come back unsigned.
    const auto numeric = [](const QVariant& v) {
        return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong ||
               v.typeId() == QMetaType::Int || v.typeId() == QMetaType::ULongLong ||
               v.typeId() == QMetaType::UInt;
    };
    if (numeric(a) && numeric(b))
        return a.toDouble() < b.toDouble() ? -1 : (a.toDouble() > b.toDouble() ? 1 : 0);
    return a.toString().compare(b.toString());
}

// Loads the whole list the way a view scrolling to its end does.
void scrollToEnd(SqlListModel& list)
{
    while (list.canFetchMore(QModelIndex()))
        list.fetchMore(QModelIndex());
}

QList<int> listIds(const SqlListModel& list)
{
    QList<int> ids;
    for (int row = 0; row < list.count(); ++row)
        ids << list.get(row).value(QStringLiteral("id")).toInt();
    return ids;
}

QList<int> rowIds(const QVariantList& rows)
{
    QList<int> ids;
    for (const QVariant& row : rows)
        ids << row.toMap().value(QStringLiteral("id")).toInt();
    return ids;
}

QList<int> sorted(QList<int> ids)
{
    std::sort(ids.begin(), ids.end());
    return ids;
}

SqlListModel::Definition definitionNamed(const QString& name)
{
    if (name == QLatin1String("invoices"))
        return RentalLists::invoices();
    if (name == QLatin1String("payments"))
        return RentalLists::payments();
    if (name == QLatin1String("expenses"))
        return FinanceLists::expenses();
    if (name == QLatin1String("cheques"))
        return FinanceLists::cheques();
    if (name == QLatin1String("maintenance"))
        return RentalLists::maintenance();
    if (name == QLatin1String("contracts"))
        return RentalLists::contracts();
    if (name == QLatin1String("installments"))
        return FinanceLists::installments();
    if (name == QLatin1String("journal"))
        return FinanceLists::journal(TestDatabase::engineFromEnvironment());
    return AuditList::audit();
}

} // namespace

class TestSqlListModel : public QObject
{
    Q_OBJECT

private slots:
    // One generated office for the whole case: the checks compare against
    // the live tables, so rows added by one test do not upset the others.
    void initTestCase()
    {
        // The office is generated in a file; a server gets it moved there.
        auto file = std::make_unique<TestDatabase>(DatabaseSettings::Engine::SQLite);
        OfficeGenerator office(file->db()->connection(), OfficeGenerator::smallOffice(), 7,
                               QDate::currentDate());
        QVERIFY2(office.run(), qPrintable(office.error()));
        if (TestDatabase::onPostgres()) {
            file->close();
            m_fixture = std::make_unique<TestDatabase>();
            QVERIFY(m_fixture->replaceWith(file->filePath()));
            m_file = std::move(file);
        } else {
            m_fixture = std::move(file);
        }
    }
    void cleanupTestCase()
    {
        m_fixture.reset();
        m_file.reset();
    }

    // Small pages force many page boundaries; every row must come exactly
    // once, in the list's order, whichever way it is sorted.
    void pagingReturnsEveryRowOnceInOrder_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("sortColumn");
        QTest::addColumn<bool>("descending");
        QTest::newRow("invoices, newest first") << "invoices"
                                                << "invoices"
                                                << "created_at" << true;
        QTest::newRow("invoices by period, oldest first") << "invoices"
                                                          << "invoices"
                                                          << "period" << false;
        QTest::newRow("payments by amount") << "payments"
                                            << "payments"
                                            << "amount" << true;
        QTest::newRow("expenses by category") << "expenses"
                                              << "expenses"
                                              << "category" << false;
        QTest::newRow("cheques by due date") << "cheques"
                                             << "cheques"
                                             << "due_date" << true;
        QTest::newRow("maintenance by priority") << "maintenance"
                                                 << "maintenance_requests"
                                                 << "priority" << false;
        QTest::newRow("contracts by end date") << "contracts"
                                               << "contracts"
                                               << "end_date" << true;
        QTest::newRow("instalments by due date") << "installments"
                                                 << "installments"
                                                 << "due_date" << false;
        QTest::newRow("journal by date") << "journal"
                                         << "journal_entries"
                                         << "entry_date" << true;
        QTest::newRow("audit trail") << "audit"
                                     << "audit_logs"
                                     << "created_at" << true;
    }
    void pagingReturnsEveryRowOnceInOrder()
    {
        QFETCH(QString, list);
        QFETCH(QString, table);
        QFETCH(QString, sortColumn);
        QFETCH(bool, descending);

        SqlListModel model(db(), definitionNamed(list));
        model.setPageSize(7);
        model.setSortColumn(sortColumn);
        model.setSortDescending(descending);
        model.reload();
        QCOMPARE(model.count(), 7);
        scrollToEnd(model);

        const QList<int> ids = listIds(model);
        QCOMPARE(model.count(), m_fixture->count(table));
        QCOMPARE(QSet<int>(ids.begin(), ids.end()).size(), ids.size());
        QCOMPARE(model.totalCount(), ids.size());
        // Sort value, then id, both in the chosen direction.
        const int sign = descending ? -1 : 1;
        for (int row = 1; row < model.count(); ++row) {
            const QVariantMap before = model.get(row - 1);
            const QVariantMap after = model.get(row);
            int order = compareValues(before.value(sortColumn), after.value(sortColumn));
            if (order == 0)
                order = compareValues(before.value(QStringLiteral("id")),
                                      after.value(QStringLiteral("id")));
            QVERIFY2(order * sign < 0, qPrintable(QStringLiteral("row %1: %2 then %3")
                                                      .arg(row)
                                                      .arg(before.value(sortColumn).toString(),
                                                           after.value(sortColumn).toString())));
        }
    }

    // Rows without a sort value (NULL) sit at one end and are not skipped
    // when a page boundary falls among them.
    void rowsWithoutSortValueAreNotSkipped()
    {
        const int tenant = m_fixture->value(QStringLiteral("SELECT MIN(id) FROM tenants")).toInt();
        for (int i = 0; i < 5; ++i)
            QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO invoices (invoice_number, "
                                                    "tenant_id, total_amount) VALUES (?, ?, 10)"),
                                     {QStringLiteral("بلا-تاريخ-%1").arg(i), tenant}) > 0);
        for (const bool descending : {true, false}) {
            SqlListModel model(db(), RentalLists::invoices());
            model.setPageSize(3);
            model.setSortColumn(QStringLiteral("due_date"));
            model.setSortDescending(descending);
            model.reload();
            scrollToEnd(model);
            const QList<int> ids = listIds(model);
            QCOMPARE(ids.size(), m_fixture->count(QStringLiteral("invoices")));
            QCOMPARE(QSet<int>(ids.begin(), ids.end()).size(), ids.size());
            // SQLite counts NULL below every value, a server above.
            const int edge = descending != TestDatabase::onPostgres() ? model.count() - 1 : 0;
            QVERIFY(model.get(edge).value(QStringLiteral("due_date")).isNull());
        }
    }

    void rowWrittenBetweenFetchesNeitherRepeatsNorHidesRows()
    {
        SqlListModel model(db(), RentalLists::payments());
        model.setPageSize(10);
        model.reload();
        const QList<int> before =
            rowIds(PaymentModel(db()).getAll()); // every payment before the writes
        const int tenant = m_fixture->value(QStringLiteral("SELECT MIN(id) FROM tenants")).toInt();
        const QString insert = QStringLiteral("INSERT INTO payments (tenant_id, amount, "
                                              "payment_date, reference) VALUES (?, 50, ?, ?)");
        // One sorts above the loaded page, one below everything.
        const int newest =
            db()->execInsert(insert, {tenant, QDate::currentDate().addDays(1).toString(Qt::ISODate),
                                      QStringLiteral("أحدث")});
        const int oldest = db()->execInsert(
            insert, {tenant, QStringLiteral("2000-01-01"), QStringLiteral("أقدم")});
        QVERIFY(newest > 0 && oldest > 0);
        scrollToEnd(model);

        const QList<int> ids = listIds(model);
        QCOMPARE(QSet<int>(ids.begin(), ids.end()).size(), ids.size());
        QVERIFY(!ids.contains(newest)); // above what was loaded: shown after a refresh
        QCOMPARE(ids.last(), oldest);
        QCOMPARE(sorted(ids.mid(0, ids.size() - 1)), sorted(before));

        model.refresh();
        QCOMPARE(model.get(0).value(QStringLiteral("id")).toInt(), newest);
        QCOMPARE(model.count(), ids.size() + 1);
    }

    // A narrow search remembers the rows it found (on a server its pages read
    // them by key); a refresh searches again, so a row written since shows
    // and a row that no longer matches leaves.
    void regressionRefreshedSearchFindsRowsWrittenSince()
    {
        SqlListModel model(db(), RentalLists::payments());
        model.setPageSize(10);
        const int tenant = m_fixture->value(QStringLiteral("SELECT MIN(id) FROM tenants")).toInt();
        const QString insert = QStringLiteral("INSERT INTO payments (tenant_id, amount, "
                                              "payment_date, reference) VALUES (?, 50, ?, ?)");
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        const int first = db()->execInsert(insert, {tenant, today, QStringLiteral("سند-زيتون-1")});
        QVERIFY(first > 0);
        model.setSearchText(QStringLiteral("زيتون"));
        QCOMPARE(listIds(model), QList<int>{first});

        const int second = db()->execInsert(insert, {tenant, today, QStringLiteral("سند-زيتون-2")});
        QVERIFY(db()->execNonQuery(QStringLiteral("UPDATE payments SET reference=? WHERE id=?"),
                                   {QStringLiteral("سند-نخيل-1"), first}));
        model.refresh();
        QCOMPARE(listIds(model), QList<int>{second});
    }

    // The paged lists show the same rows as the model calls the pages used
    // so far, with counts and sums from SQL.
    void filtersMatchTheUnpagedCalls_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QVariantMap>("filters");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<std::function<QVariantList(Database*, int)>>("unpaged");

        using Rows = std::function<QVariantList(Database*, int)>;
        QTest::newRow("invoices of a tenant")
            << "invoices" << QVariantMap{{"tenant_id", -1}} << "total_amount"
            << Rows([](Database* db, int id) { return InvoiceModel(db).getByTenant(id); });
        QTest::newRow("payments of a tenant")
            << "payments" << QVariantMap{{"tenant_id", -1}} << "amount"
            << Rows([](Database* db, int id) { return PaymentModel(db).getByTenant(id); });
        QTest::newRow("new maintenance")
            << "maintenance" << QVariantMap{{"status", "new"}} << "cost"
            << Rows([](Database* db, int) {
                   return MaintenanceModel(db).getByStatus(QStringLiteral("new"));
               });
        QTest::newRow("pending cheques")
            << "cheques" << QVariantMap{{"status", "pending"}, {"unknown_key", "x"}} << "amount"
            << Rows([](Database* db, int) {
                   return ChequeModel(db).getByStatus(QStringLiteral("pending"));
               });
        QTest::newRow("expenses of a property")
            << "expenses" << QVariantMap{{"property_id", 1}, {"category", ""}} << "amount"
            << Rows([](Database* db, int) { return ExpenseModel(db).getByProperty(1); });
        QTest::newRow("instalments of a buyer")
            << "installments" << QVariantMap{{"buyer_id", 2}} << "installment_amount"
            << Rows([](Database* db, int) { return InstallmentModel(db).getByBuyer(2); });
        QTest::newRow("whole journal")
            << "journal" << QVariantMap{{"contractor_id", 0}} << QString()
            << Rows([](Database* db, int) { return AccountModel(db).getJournalEntries(); });
        QTest::newRow("whole audit trail, same order")
            << "audit" << QVariantMap() << QString()
            << Rows([](Database* db, int) { return AuditManager(db).getLogs(-1); });
    }
    void filtersMatchTheUnpagedCalls()
    {
        QFETCH(QString, list);
        QFETCH(QVariantMap, filters);
        QFETCH(QString, amount);
        QFETCH(std::function<QVariantList(Database*, int)>, unpaged);

        // -1 stands for the busiest tenant of the generated office.
        const int tenant = m_fixture
                               ->value(QStringLiteral("SELECT tenant_id FROM invoices GROUP BY "
                                                      "tenant_id ORDER BY COUNT(*) DESC LIMIT 1"))
                               .toInt();
        for (auto it = filters.begin(); it != filters.end(); ++it) {
            if (it.value() == -1)
                it.value() = tenant;
        }
        const QVariantList expected = unpaged(db(), tenant);
        QVERIFY(!expected.isEmpty());

        SqlListModel model(db(), definitionNamed(list));
        model.setPageSize(5);
        model.setFilters(filters);
        QCOMPARE(model.totalCount(), expected.size());
        scrollToEnd(model);
        if (list == QLatin1String("audit"))
            QCOMPARE(listIds(model), rowIds(expected));
        else
            QCOMPARE(sorted(listIds(model)), sorted(rowIds(expected)));

        if (!amount.isEmpty()) {
            double sum = 0;
            for (const QVariant& row : expected)
                sum += row.toMap().value(amount).toDouble();
            QVERIFY(qAbs(model.totals().value(amount).toDouble() - sum) < 0.005);
        }
        // The roles carry the unpaged call's columns.
        const QVariantMap first = model.get(0);
        for (const QString& column : expected.first().toMap().keys())
            QVERIFY2(first.contains(column), qPrintable(column));
        // Each journal entry shows the same lines, each with its account's
        // name (in whatever order the engine gathers them).
        if (list == QLatin1String("journal")) {
            const auto lines = [](const QVariantMap& row) {
                QStringList parts = row.value(QStringLiteral("lines")).toString().split(',');
                parts.sort();
                return parts;
            };
            QHash<int, QStringList> unpagedLines;
            for (const QVariant& row : expected)
                unpagedLines.insert(row.toMap().value(QStringLiteral("id")).toInt(),
                                    lines(row.toMap()));
            for (int row = 0; row < model.count(); ++row) {
                const QVariantMap shown = model.get(row);
                QCOMPARE(lines(shown), unpagedLines.value(shown.value("id").toInt()));
            }
        }
    }

    void searchMatchesTheRowsContainingTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("tenant family name") << QStringLiteral("النجار");
        QTest::newRow("unit number") << QStringLiteral("101");
        QTest::newRow("property name") << QStringLiteral("برج");
        QTest::newRow("percent sign is plain text") << QStringLiteral("%");
        QTest::newRow("underscore is plain text") << QStringLiteral("_");
    }
    void searchMatchesTheRowsContainingTheText()
    {
        QFETCH(QString, text);
        QList<int> expected;
        for (const QVariant& value : ContractModel(db()).getAll()) {
            const QVariantMap row = value.toMap();
            for (const char* column : {"tenant_name", "unit_number", "property_name", "notes"}) {
                if (row.value(QLatin1String(column)).toString().contains(text)) {
                    expected << row.value(QStringLiteral("id")).toInt();
                    break;
                }
            }
        }
        SqlListModel model(db(), RentalLists::contracts());
        model.setPageSize(4);
        model.setSearchText(text);
        scrollToEnd(model);
        QCOMPARE(sorted(listIds(model)), sorted(expected));
        QCOMPARE(model.totalCount(), expected.size());
    }

    // The long lists answer a search of three letters or more from their
    // text indexes and shorter ones by scanning; either way the rows are the
    // ones holding the text (Latin letters in any case, Arabic as typed).
    void indexedSearchGivesTheRowsOfTheTextScan_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("indexed");
        const QString month = QDate::currentDate().addMonths(-3).toString(QStringLiteral("yyyyMM"));
        QTest::newRow("invoice number part")
            << "invoices" << month + QStringLiteral("-000") << true;
        QTest::newRow("invoice number in lower case")
            << "invoices" << QStringLiteral("inv-") + month << true;
        QTest::newRow("two characters scan") << "invoices" << QStringLiteral("12") << false;
        QTest::newRow("tenant name on invoices") << "invoices" << QStringLiteral("النجار") << true;
        QTest::newRow("Arabic note") << "payments" << QStringLiteral("دفعة أولى") << true;
        QTest::newRow("tenant name on payments") << "payments" << QStringLiteral("النجار") << true;
        QTest::newRow("invoice number of a payment")
            << "payments" << QStringLiteral("INV-") + month << true;
        QTest::newRow("reference in lower case") << "payments" << QStringLiteral("rec-1") << true;
        QTest::newRow("one Arabic letter scans") << "payments" << QStringLiteral("ق") << false;
        QTest::newRow("Arabic details with a digit")
            << "audit" << QStringLiteral("عملية 1") << true;
        QTest::newRow("action in capitals") << "audit" << QStringLiteral("UPDATE") << true;
        QTest::newRow("user name") << "audit" << QStringLiteral("dmi") << true;
        QTest::newRow("text found nowhere") << "audit" << QStringLiteral("لا يوجد") << true;
    }
    void indexedSearchGivesTheRowsOfTheTextScan()
    {
        QFETCH(QString, list);
        QFETCH(QString, text);
        QFETCH(bool, indexed);

        QVariantList rows;
        QStringList columns;
        if (list == QLatin1String("invoices")) {
            rows = InvoiceModel(db()).getAll();
            columns = {"invoice_number", "period", "tenant_name", "unit_number", "property_name"};
        } else if (list == QLatin1String("payments")) {
            rows = PaymentModel(db()).getAll();
            columns = {"reference", "notes", "tenant_name", "buyer_name", "invoice_number"};
        } else {
            rows = AuditManager(db()).getLogs(-1);
            columns = {"action", "table_name", "details", "username"};
        }
        QList<int> expected;
        for (const QVariant& value : std::as_const(rows)) {
            const QVariantMap row = value.toMap();
            for (const QString& column : std::as_const(columns)) {
                if (row.value(column).toString().contains(text, Qt::CaseInsensitive)) {
                    expected << row.value(QStringLiteral("id")).toInt();
                    break;
                }
            }
        }
        if (text != QStringLiteral("لا يوجد"))
            QVERIFY2(!expected.isEmpty(), "the generated office should hold the text");

        SqlListModel model(db(), definitionNamed(list));
        model.setPageSize(7);
        model.setSearchText(text);
        // A server's trigram indexes serve the plain ILIKE search itself.
        QCOMPARE(model.firstPageStatement().sql.contains(QStringLiteral(" MATCH ")),
                 indexed && !TestDatabase::onPostgres());
        // The server folds the rows' case only for a text that has any: its
        // ILIKE is several times slower than LIKE on Arabic text.
        const bool hasCase = text.toLower() != text.toUpper();
        const QString searched = model.scannedTotalsStatement().sql;
        const bool folds = hasCase && TestDatabase::onPostgres();
        QCOMPARE(searched.contains(QStringLiteral(" ILIKE ")), folds);
        QCOMPARE(searched.contains(QStringLiteral(" LIKE ")), !folds);
        scrollToEnd(model);
        QCOMPARE(sorted(listIds(model)), sorted(expected));
        QCOMPARE(model.totalCount(), expected.size());
    }

    // Every list's search read the quick way (a text index on the file; on a
    // server each part's ids gathered through its own index, a narrow
    // search's rows put in order apart from the table, a broad one walked in
    // order) gives the rows, their order and the footer of one plain scan.
    void quickSearchGivesTheRowsOrderAndFooterOfThePlainScan_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sortColumn");
        QTest::addColumn<bool>("descending");
        const QString month = QDate::currentDate().addMonths(-3).toString(QStringLiteral("yyyyMM"));
        QTest::newRow("cheques of a bank")
            << "cheques" << QStringLiteral("البنك العربي") << "due_date" << true;
        QTest::newRow("cheques of a family by amount")
            << "cheques" << QStringLiteral("العلي") << "amount" << false;
        QTest::newRow("cheque numbers, two digits scan")
            << "cheques" << QStringLiteral("00") << "due_date" << true;
        QTest::newRow("cheque numbers")
            << "cheques" << QStringLiteral("50001") << "due_date" << true;
        QTest::newRow("expenses of a category")
            << "expenses" << QStringLiteral("كهرباء") << "expense_date" << true;
        QTest::newRow("maintenance of the lift")
            << "maintenance" << QStringLiteral("المصعد") << "created_at" << true;
        QTest::newRow("instalments of a bank")
            << "installments" << QStringLiteral("بنك القدس") << "due_date" << false;
        QTest::newRow("contracts of a first name")
            << "contracts" << QStringLiteral("محمد") << "created_at" << true;
        QTest::newRow("payments of a family")
            << "payments" << QStringLiteral("العلي") << "payment_date" << true;
        QTest::newRow("payments of a family by amount")
            << "payments" << QStringLiteral("العلي") << "amount" << false;
        QTest::newRow("invoices of a month, narrow")
            << "invoices" << QStringLiteral("INV-") + month + QStringLiteral("-000") << "created_at"
            << true;
        QTest::newRow("invoices by balance")
            << "invoices" << QStringLiteral("العلي") << "balance" << false;
        QTest::newRow("journal entries of upkeep")
            << "journal" << QStringLiteral("صيانة") << "entry_date" << true;
        QTest::newRow("audit rows, narrow")
            << "audit" << QStringLiteral("عملية 1") << "created_at" << true;
    }
    void quickSearchGivesTheRowsOrderAndFooterOfThePlainScan()
    {
        QFETCH(QString, list);
        QFETCH(QString, text);
        QFETCH(QString, sortColumn);
        QFETCH(bool, descending);
        const bool server = TestDatabase::onPostgres();
        if (!server) {
            // Indexed up to the last row, so the index itself answers.
            QSqlDatabase connection = db()->connection();
            QVERIFY(Schema::catchUpSearchIndexes(connection));
        }

        const SqlListModel::Definition d = definitionNamed(list);
        QStringList any;
        for (const SqlListModel::TextSearch& search : d.textSearches)
            any << search.scan;
        any << d.searchConditions;
        QString where = QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
        if (!d.baseWhere.isEmpty())
            where = d.baseWhere + QStringLiteral(" AND ") + where;
        if (server)
            where.replace(QStringLiteral(" LIKE ?"), QStringLiteral(" ILIKE ?"));
        const QVariantList patterns(where.count(QLatin1Char('?')),
                                    QLatin1Char('%') + text + QLatin1Char('%'));
        const QString direction = descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC");
        const QList<int> expected = rowIds(
            db()->execQuery(QStringLiteral("SELECT ") + d.key + QStringLiteral(" AS id FROM ") +
                                d.baseTable + QStringLiteral(" WHERE ") + where +
                                QStringLiteral(" ORDER BY ") + d.sortColumns.value(sortColumn) +
                                direction + QStringLiteral(", ") + d.key + direction,
                            patterns));
        QVERIFY2(expected.size() > 1, "the generated office should hold the text");
        QStringList names = d.totalColumns.keys();
        names.sort();

        SqlListModel model(db(), d);
        model.setPageSize(40);
        model.setSortColumn(sortColumn);
        model.setSortDescending(descending);
        model.setSearchText(text);
        scrollToEnd(model);
        QCOMPARE(listIds(model), expected);
        QCOMPARE(model.totalCount(), expected.size());
        const QVariantMap footer = model.totals();
        for (int i = 0; i < names.size(); ++i) {
            const QString sql = QStringLiteral("SELECT SUM(") + d.totalColumns.value(names.at(i)) +
                                QStringLiteral(") FROM ") + d.baseTable +
                                QStringLiteral(" WHERE ") + where;
            QCOMPARE(Money::toCents(footer.value(names.at(i)).toDouble()),
                     Money::toCents(db()->scalar(sql, patterns).toDouble()));
        }
    }

    // A search gathers its rows once and sums them from a copy holding only
    // the columns the footer reads. Searching a tenant's full name finds
    // the very rows the tenant's filter does, which are summed straight
    // from the table: count, sums, mixed currencies and the converted total
    // (other currencies per day, the invoices' day worked out from their
    // time) must all agree.
    void searchFooterFromFoundRowsEqualsTheFilteredScan_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("sinceMonths");
        QTest::newRow("payments of a tenant paying in two currencies") << "payments"
                                                                       << "payments" << 0;
        QTest::newRow("invoices of a tenant billed in two currencies") << "invoices"
                                                                       << "invoices" << 0;
        QTest::newRow("a tenant's payments of the last year") << "payments"
                                                              << "payments" << 12;
    }
    void searchFooterFromFoundRowsEqualsTheFilteredScan()
    {
        QFETCH(QString, list);
        QFETCH(QString, table);
        QFETCH(int, sinceMonths);
        if (!TestDatabase::onPostgres()) {
            QSqlDatabase connection = db()->connection();
            QVERIFY(Schema::catchUpSearchIndexes(connection));
        }
        // A tenant whose name no other tenant or buyer shares, with rows in
        // a currency other than the primary one.
        const QVariantList found = db()->execQuery(
            QStringLiteral("SELECT t.id, t.full_name FROM tenants t WHERE EXISTS (SELECT 1 FROM ") +
            table +
            QStringLiteral(" r WHERE r.tenant_id=t.id AND r.currency_id IN (SELECT id FROM "
                           "currencies WHERE is_primary=0)) AND (SELECT COUNT(*) FROM tenants o "
                           "WHERE o.full_name LIKE '%' || t.full_name || '%')=1 AND NOT EXISTS "
                           "(SELECT 1 FROM buyers b WHERE b.full_name LIKE '%' || t.full_name || "
                           "'%') ORDER BY t.id LIMIT 1"));
        QVERIFY2(!found.isEmpty(), "the generated office should bill a tenant in two currencies");
        const QVariantMap tenant = found.first().toMap();

        // A date bound as well is a value of its own before each part's.
        QVariantMap since;
        QString sinceSql = QStringLiteral("''");
        if (sinceMonths > 0) {
            const QString from = QDate::currentDate().addMonths(-sinceMonths).toString(Qt::ISODate);
            since.insert(QStringLiteral("date_from"), from);
            sinceSql = QLatin1Char('\'') + from + QLatin1Char('\'');
        }
        SqlListModel searched(db(), definitionNamed(list));
        searched.setSearchText(tenant.value(QStringLiteral("full_name")).toString());
        searched.setFilters(since);
        SqlListModel filtered(db(), definitionNamed(list));
        since.insert(QStringLiteral("tenant_id"), tenant.value(QStringLiteral("id")));
        filtered.setFilters(since);
        const QString dateColumn = definitionNamed(list).dateColumn.section(QLatin1Char('.'), 1);
        const int rows = db()->scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table +
                                          QStringLiteral(" WHERE tenant_id=? AND ") + dateColumn +
                                          QStringLiteral(" >= ") + sinceSql,
                                      {tenant.value(QStringLiteral("id"))})
                             .toInt();
        QVERIFY(rows > 1);
        QCOMPARE(filtered.totalCount(), rows);
        QCOMPARE(searched.totalCount(), rows);
        const QVariantMap footer = searched.totals();
        QVERIFY(footer.contains(QStringLiteral("converted")));
        QCOMPARE(footer, filtered.totals());
    }

    // A payment can be found by several parts of a search at once (its
    // tenant's name, its buyer's, its own notes, its invoice's number), or
    // by one part while another has nothing to test (no tenant, no notes):
    // the count and footer take each found payment once, whichever parts
    // found it, and every other filter still holds for each part.
    void searchCountsAPaymentFoundSeveralWaysOnce_data()
    {
        QTest::addColumn<QString>("dateFrom");
        QTest::addColumn<QList<int>>("kept"); // which of the payments below are listed
        QTest::newRow("no other filter") << QString() << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("from a date leaving out the oldest")
            << QStringLiteral("2025-03-01") << QList<int>{1, 2, 3, 4};
        QTest::newRow("from a date after them all") << QStringLiteral("2025-08-01") << QList<int>{};
    }
    void searchCountsAPaymentFoundSeveralWaysOnce()
    {
        QFETCH(QString, dateFrom);
        QFETCH(QList<int>, kept);
        const QString text = QStringLiteral("زيتونة");
        const QVariant other =
            db()->scalar(QStringLiteral("SELECT MIN(id) FROM currencies WHERE is_primary=0"));
        const QVariant primary =
            db()->scalar(QStringLiteral("SELECT MIN(id) FROM currencies WHERE is_primary=1"));
        QVERIFY(other.toInt() > 0 && primary.toInt() > 0);
        const QString tag = QString::number(QDateTime::currentMSecsSinceEpoch());
        QVERIFY(db()->execNonQuery(
            QStringLiteral("INSERT INTO tenants (full_name, id_number) VALUES (?, ?)"),
            {QStringLiteral("سليم آل زيتونة"), QStringLiteral("T-") + tag}));
        const QVariant tenant = db()->scalar(QStringLiteral("SELECT MAX(id) FROM tenants"));
        QVERIFY(db()->execNonQuery(
            QStringLiteral("INSERT INTO buyers (full_name, id_number) VALUES (?, ?)"),
            {QStringLiteral("ربى زيتونة"), QStringLiteral("B-") + tag}));
        const QVariant buyer = db()->scalar(QStringLiteral("SELECT MAX(id) FROM buyers"));
        QVERIFY(db()->execNonQuery(QStringLiteral("INSERT INTO invoices (invoice_number, period, "
                                                  "total_amount, balance) VALUES (?, '2025-04', "
                                                  "10, 10)"),
                                   {QStringLiteral("زيتونة-") + tag}));
        const QVariant invoice = db()->scalar(QStringLiteral("SELECT MAX(id) FROM invoices"));
        const QVariant none{QMetaType::fromType<int>()};
        const QVariant noText{QMetaType::fromType<QString>()};
        struct Paid
        {
            QVariant tenant, buyer, invoice;
            double amount;
            QString day;
            QVariant reference, notes, currency;
        };
        const QList<Paid> payments = {
            // the tenant's name and the notes
            {tenant, none, none, 100.25, QStringLiteral("2025-01-10"), noText,
             QStringLiteral("دفعة عائلة زيتونة"), primary},
            // the tenant's name alone, in the other currency, no notes
            {tenant, none, none, 200.5, QStringLiteral("2025-04-02"), noText, noText, other},
            // the buyer's name and the reference, no tenant
            {none, buyer, none, 300, QStringLiteral("2025-05-03"), QStringLiteral("زيتونة-7"),
             noText, primary},
            // the notes alone: no tenant, no buyer, no invoice
            {none, none, none, 40.75, QStringLiteral("2025-06-04"), noText,
             QStringLiteral("زيتونة"), other},
            // the tenant's name and the invoice's number
            {tenant, none, invoice, 9.1, QStringLiteral("2025-07-05"), noText, noText, primary},
        };
        for (const Paid& paid : payments)
            QVERIFY(db()->execNonQuery(
                QStringLiteral("INSERT INTO payments (tenant_id, buyer_id, invoice_id, amount, "
                               "payment_date, reference, notes, currency_id) VALUES (?, ?, ?, "
                               "?, ?, ?, ?, ?)"),
                {paid.tenant, paid.buyer, paid.invoice, paid.amount, paid.day, paid.reference,
                 paid.notes, paid.currency}));
        const int last = db()->scalar(QStringLiteral("SELECT MAX(id) FROM payments")).toInt();
        const int first = last - int(payments.size()) + 1;
        const auto removed = qScopeGuard([&] {
            db()->execNonQuery(QStringLiteral("DELETE FROM payments WHERE id >= ?"), {first});
        });
        if (!TestDatabase::onPostgres()) {
            // Both ways a file reads a text: from its index and past its mark.
            QSqlDatabase connection = db()->connection();
            QVERIFY(Schema::catchUpSearchIndexes(connection));
        }

        QList<int> expected;
        double total = 0;
        double inOther = 0;
        QSet<int> currencies;
        for (int i : kept) {
            expected << first + i;
            total += payments.at(i).amount;
            currencies << payments.at(i).currency.toInt();
            if (payments.at(i).currency == other)
                inOther += payments.at(i).amount;
        }
        SqlListModel model(db(), RentalLists::payments());
        model.setSortColumn(QStringLiteral("payment_date"));
        model.setSortDescending(false);
        if (!dateFrom.isEmpty())
            model.setFilters({{QStringLiteral("date_from"), dateFrom}});
        model.setSearchText(text);
        scrollToEnd(model);
        QCOMPARE(listIds(model), expected);
        QCOMPARE(model.totalCount(), int(expected.size()));
        const QVariantMap footer = model.totals();
        QCOMPARE(Money::toCents(footer.value(QStringLiteral("amount")).toDouble()),
                 Money::toCents(total));
        QCOMPARE(footer.value(QStringLiteral("mixedCurrencies")).toBool(), currencies.size() > 1);
        double converted = 0;
        for (const QVariant& part : footer.value(QStringLiteral("converted"))
                                        .toMap()
                                        .value(QStringLiteral("byCurrency"))
                                        .toList()) {
            const QVariantMap amount = part.toMap();
            if (amount.value(QStringLiteral("currency_id")).toInt() == other.toInt())
                converted += amount.value(QStringLiteral("total")).toDouble();
        }
        QCOMPARE(Money::toCents(converted), Money::toCents(inOther));
        if (!TestDatabase::onPostgres()) {
            // The tenants' payments are read from the index holding the
            // footer's columns, not looked up in the table one by one.
            const SqlListModel::Statement totals = model.totalsStatement();
            QStringList plan;
            for (const QVariant& step :
                 db()->execQuery(QStringLiteral("EXPLAIN QUERY PLAN ") + totals.sql, totals.params))
                plan << step.toMap().value(QStringLiteral("detail")).toString();
            const auto fromIndex = [](const QString& step) {
                return step.startsWith(QStringLiteral(
                    "SEARCH p USING COVERING INDEX idx_payments_tenant_sums (tenant_id=?"));
            };
            QVERIFY2(std::any_of(plan.cbegin(), plan.cend(), fromIndex),
                     qPrintable(plan.join(QLatin1Char('\n'))));
        }
    }

    // A row written after the text index was last brought up to date is
    // found through the scanned tail; once indexed, the triggers keep the
    // index in step with its edits and its deletion. The index itself is
    // asked too, as the list's LIKE check would hide a row the index kept
    // by mistake.
    void rowsWrittenAfterIndexingAreFoundByTheirCurrentText_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("insert");
        QTest::addColumn<QString>("column");
        QTest::newRow("invoice")
            << "invoices"
            << "invoices_search"
            << "INSERT INTO invoices (invoice_number, period, total_amount, balance) VALUES (?, "
               "'2020-01', 10, 10)"
            << "invoice_number";
        QTest::newRow("payment") << "payments"
                                 << "payments_search"
                                 << "INSERT INTO payments (amount, payment_date, reference) "
                                    "VALUES (5, '2026-02-01', ?)"
                                 << "reference";
        QTest::newRow("audit row") << "audit"
                                   << "audit_logs_search"
                                   << "INSERT INTO audit_logs (action, details) VALUES ('note', ?)"
                                   << "details";
    }
    void rowsWrittenAfterIndexingAreFoundByTheirCurrentText()
    {
        QFETCH(QString, list);
        QFETCH(QString, index);
        QFETCH(QString, insert);
        QFETCH(QString, column);
        const QString table = list == QLatin1String("audit") ? QStringLiteral("audit_logs") : list;
        // A quote and non-Latin capitals: the index query must quote the
        // one, and LIKE leaves the others in their case.
        const QString first = QStringLiteral("شيك \"ÉTÉ\" ٤٥");
        const QString second = QStringLiteral("حوالة بنكية ٧٧");

        // A file's text index is a table of its own, brought up to date from
        // a mark; a server's trigram indexes are kept by the server itself,
        // so there only the listed rows are asked.
        const bool server = TestDatabase::onPostgres();
        const auto indexed = [&](const QString& text) {
            QList<int> ids;
            if (server)
                return ids;
            for (const QVariant& row :
                 db()->execQuery(QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH ?").arg(index),
                                 {SqlListModel::trigramQuery(text)}))
                ids << row.toMap().value(QStringLiteral("rowid")).toInt();
            return ids;
        };
        const auto listed = [&](const QString& text) {
            SqlListModel model(db(), definitionNamed(list));
            model.setSearchText(text);
            scrollToEnd(model);
            return listIds(model);
        };

        QVERIFY(db()->execNonQuery(insert, {first}));
        const int id = db()->scalar(QStringLiteral("SELECT MAX(id) FROM ") + table).toInt();
        QCOMPARE(indexed(first), QList<int>{}); // past the mark
        // SQLite's LIKE folds Latin letters only, a server's ILIKE every
        // alphabet's.
        const QList<int> folded = server ? QList<int>{id} : QList<int>{};
        QCOMPARE(listed(QStringLiteral("\"ÉTÉ\"")), QList<int>{id});
        QCOMPARE(listed(QStringLiteral("\"été\"")), folded);

        if (!server) {
            QSqlDatabase connection = db()->connection();
            QVERIFY(Schema::catchUpSearchIndexes(connection));
            QCOMPARE(indexed(first), QList<int>{id});
        }
        QCOMPARE(listed(QStringLiteral("\"ÉTÉ\"")), QList<int>{id});
        QCOMPARE(listed(QStringLiteral("\"été\"")), folded);

        QVERIFY(db()->execNonQuery(
            QStringLiteral("UPDATE %1 SET %2 = ? WHERE id = ?").arg(table, column), {second, id}));
        QCOMPARE(indexed(first), QList<int>{});
        QCOMPARE(indexed(second), server ? QList<int>{} : QList<int>{id});
        QCOMPARE(listed(second), QList<int>{id});
        QCOMPARE(listed(QStringLiteral("ÉTÉ")), QList<int>{});

        QVERIFY(db()->execNonQuery(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(table), {id}));
        QCOMPARE(indexed(second), QList<int>{});
        QCOMPARE(listed(second), QList<int>{});
    }

    // A search finding thousands of rows reads its pages from the next rows
    // in order, and gathers its rows when those hold too few matches. Either
    // way every matching row comes once, in order, ties broken by id.
    void broadSearchPagesThroughEveryRowInOrder_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("newestOthers"); // rows not found, newer than every match
        QTest::addColumn<int>("every");        // one row in `every` is found
        QTest::newRow("found all along the list") << 5000 << 0 << 2;
        QTest::newRow("found only far down the list") << 7000 << 4000 << 1;
    }
    void broadSearchPagesThroughEveryRowInOrder()
    {
        QFETCH(int, rows);
        QFETCH(int, newestOthers);
        QFETCH(int, every);
        const QString text = QStringLiteral("تسوية حساب");
        // Two rows to each minute, so pages also break inside equal times.
        if (TestDatabase::onPostgres()) {
            QVERIFY(db()->execNonQuery(
                QStringLiteral("INSERT INTO audit_logs (action, details, created_at) SELECT "
                               "'bulk', CASE WHEN i > ? AND i % ? = 0 THEN 'تسوية حساب ' ELSE "
                               "'قيد عادي ' END || i, to_char(timezone('UTC', now()) + interval "
                               "'1 day' - (i / 2) * interval '1 minute', 'YYYY-MM-DD HH24:MI:SS') "
                               "FROM generate_series(1, ?) AS n(i)"),
                {newestOthers, every, rows}));
        } else {
            QVERIFY(db()->execNonQuery(
                QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < ?) INSERT INTO audit_logs (action, details, created_at) "
                               "SELECT 'bulk', CASE WHEN i > ? AND i % ? = 0 THEN 'تسوية حساب ' "
                               "ELSE 'قيد عادي ' END || i, datetime('now', '+1 day', '-' || (i / "
                               "2) || ' minutes') FROM n"),
                {rows, newestOthers, every}));
            QSqlDatabase connection = db()->connection();
            QVERIFY(Schema::catchUpSearchIndexes(connection));
        }
        const QList<int> expected = rowIds(db()->execQuery(
            QStringLiteral("SELECT id FROM audit_logs WHERE details LIKE ? ORDER BY created_at "
                           "DESC, id DESC"),
            {QLatin1Char('%') + text + QLatin1Char('%')}));
        QVERIFY(expected.size() >= 2500);

        SqlListModel model(db(), AuditList::audit());
        model.setPageSize(300);
        model.setSearchText(text);
        // Its first page walks the list in order checking each row's own
        // text, gathering no candidates from the index.
        QVERIFY(!model.firstPageStatement().sql.contains(QStringLiteral(" MATCH ")));
        scrollToEnd(model);
        const QList<int> listed = listIds(model);
        const int total = model.totalCount();
        QVERIFY(db()->execNonQuery(QStringLiteral("DELETE FROM audit_logs WHERE action='bulk'")));
        QCOMPARE(listed.size(), expected.size());
        QCOMPARE(listed, expected);
        QCOMPARE(total, expected.size());
    }

    // A page takes each row's values over as it is read; on a server the
    // next row was then written into the emptied row and the read crashed.
    void regressionRowsTakenOverWhileReadDoNotEmptyTheNext()
    {
        QList<QVector<QVariant>> taken;
        QString error;
        QVERIFY2(db()->forEachRow(
                     QStringLiteral("SELECT id, full_name FROM tenants ORDER BY id "
                                    "LIMIT 3"),
                     {}, [&](QVector<QVariant>& row) { taken.append(std::move(row)); }, &error),
                 qPrintable(error));
        QCOMPARE(taken.size(), 3);
        for (const QVector<QVariant>& row : std::as_const(taken)) {
            QCOMPARE(row.size(), 2);
            QVERIFY(row.at(0).toInt() > 0);
            QVERIFY(!row.at(1).toString().isEmpty());
        }
    }

    void unknownSortColumnKeepsTheDefaultOrder()
    {
        SqlListModel model(db(), AuditList::audit());
        model.setSortColumn(QStringLiteral("id; DROP TABLE audit_logs"));
        QCOMPARE(model.sortColumn(), QStringLiteral("created_at"));
        model.reload();
        QCOMPARE(model.count(), 100);
        QCOMPARE(model.get(0).value(QStringLiteral("id")).toInt(),
                 rowIds(AuditManager(db()).getLogs(1)).value(0));
    }

    // Published lists follow the models' writes and keep what the view had
    // loaded, without resetting it.
    void publishedListRefreshesAfterAWriteKeepingItsRows()
    {
        m_fixture.reset(); // one default connection at a time; this test comes last
        QmlBackend backend;
        Database* database = backend.database().db();
        if (TestDatabase::onPostgres()) {
            // The generated file's office, moved to the server the pages read.
            QVERIFY(m_file);
            QCOMPARE(OfficeMove::run(m_file->filePath(), database), QString());
        } else {
            OfficeGenerator office(database->connection(), OfficeGenerator::smallOffice(), 3,
                                   QDate::currentDate());
            QVERIFY(office.run());
        }
        auto* list =
            qobject_cast<SqlListModel*>(backend.engine()
                                            ->rootContext()
                                            ->contextProperty(QStringLiteral("paymentList"))
                                            .value<QObject*>());
        QVERIFY(list);
        list->setPageSize(20);
        QCOMPARE(list->count(), 20);
        list->fetchMore(QModelIndex());
        QCOMPARE(list->count(), 40);
        // The published lists count on the reader's thread.
        QTRY_VERIFY(!list->totalsPending());
        const double before = list->totals().value(QStringLiteral("amount")).toDouble();

        const QVariantMap invoice =
            database
                ->execQuery(
                    QStringLiteral("SELECT id, tenant_id FROM invoices WHERE status='pending' "
                                   "ORDER BY id DESC LIMIT 1"))
                .value(0)
                .toMap();
        const int formerLast = list->get(39).value(QStringLiteral("id")).toInt();
        const int formerSecondLast = list->get(38).value(QStringLiteral("id")).toInt();
        QSignalSpy resets(list, &QAbstractItemModel::modelReset);
        const QVariant id = backend.evaluate(
            QStringLiteral("paymentModel.add(%1, %2, 12.5, 'cash', '%3', 'REC-TEST', 1)")
                .arg(invoice.value(QStringLiteral("id")).toInt())
                .arg(invoice.value(QStringLiteral("tenant_id")).toInt())
                .arg(QDate::currentDate().addDays(2).toString(Qt::ISODate)));
        QVERIFY2(id.toInt() > 0, qPrintable(backend.takeErrors().join(QLatin1Char('\n'))));
        QCOMPARE(resets.count(), 0);
        // Still 40 rows loaded, shifted by the new one at the top.
        QCOMPARE(list->count(), 40);
        QCOMPARE(list->get(39).value(QStringLiteral("id")).toInt(), formerSecondLast);
        list->fetchMore(QModelIndex());
        QCOMPARE(list->get(40).value(QStringLiteral("id")).toInt(), formerLast);
        QCOMPARE(list->get(0).value(QStringLiteral("id")).toInt(), id.toInt());
        QCOMPARE(list->get(0).value(QStringLiteral("reference")).toString(),
                 QStringLiteral("REC-TEST"));
        QTRY_VERIFY(!list->totalsPending());
        QVERIFY(qAbs(list->totals().value(QStringLiteral("amount")).toDouble() - before - 12.5) <
                0.005);
    }

private:
    Database* db() const { return m_fixture->db(); }
    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<TestDatabase> m_file; // the generated office, on a server
};

QTEST_GUILESS_MAIN(TestSqlListModel)
#include "tst_sqllistmodel.moc"
