#include "TestDatabase.h"

#include "core/PasswordHash.h"
#include "core/Schema.h"
#include "core/SqlListModel.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>

namespace {

QStringList columnsOf(const TestDatabase& fixture, const QString& table)
{
    QStringList names;
    for (const QVariant& row :
         fixture.db()->execQuery(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {table}))
        names << row.toMap().value(QStringLiteral("name")).toString();
    return names;
}

// Everything that describes the schema and the seeded rows, to compare two starts.
QString snapshot(const TestDatabase& fixture)
{
    QStringList parts;
    for (const QVariant& row : fixture.db()->execQuery(
             QStringLiteral("SELECT type, name, sql FROM sqlite_master ORDER BY name")))
        parts << row.toMap().value(QStringLiteral("sql")).toString();
    for (const QString& table :
         {QStringLiteral("users"), QStringLiteral("currencies"), QStringLiteral("accounts"),
          QStringLiteral("services"), QStringLiteral("settings")})
        parts << table + QLatin1Char('=') + QString::number(fixture.count(table));
    return parts.join(QLatin1Char('\n'));
}

} // namespace

class TestSchema : public QObject
{
    Q_OBJECT

private slots:
    void freshDatabaseHasEverything()
    {
        TestDatabase fixture;
        QCOMPARE(fixture.count(QStringLiteral("users")), 1);
        QCOMPARE(fixture.count(QStringLiteral("currencies")), 3);
        // The first chart of 13 and the bank, cheques-under-collection and
        // issued-cheques accounts the ledger postings need.
        QCOMPARE(fixture.count(QStringLiteral("accounts")), 16);
        QCOMPARE(fixture.count(QStringLiteral("services")), 5);
        // Only the mark that past events still wait to be posted and the
        // one that a new office has its first-run setup ahead.
        QCOMPARE(fixture.count(QStringLiteral("settings")), 2);
        QCOMPARE(fixture.value(QStringLiteral("SELECT value FROM settings WHERE key='setup_state'"))
                     .toString(),
                 QStringLiteral("pending"));
        QCOMPARE(fixture
                     .value(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type='table' "
                                           "AND name NOT LIKE 'sqlite_%'"))
                     .toInt(),
                 52); // 27 tables, 5 text indexes with 3 tables of their own each, their marks,
                      // the ledger's day totals and their pause mark, the ledger's balance
                      // per day, the lists' day totals
        QCOMPARE(fixture
                     .value(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type='index' "
                                           "AND name LIKE 'idx_%'"))
                     .toInt(),
                 68); // with the cheques' links to instalments and payments, the open
                      // invoices and owed bills the reconciliation sums, the
                      // currency-and-day and owed-money indexes of the reports, and the
                      // narrow ones the cheques, expenses and settings pages read on opening, and
                      // the journal of one kind of event by day, and a tenant's payments
                      // with the columns their list sums, and the cost centres by unit and
                      // by property
        QCOMPARE(Schema::tableStatements().size(), 60);
    }

    void migrationColumnsComeLast()
    {
        TestDatabase fixture;
        const QStringList expenses = columnsOf(fixture, QStringLiteral("expenses"));
        QCOMPARE(expenses.size(), 17);
        QCOMPARE(expenses.mid(11), (QStringList{"project_id", "contractor_id", "cost_center_id",
                                                "work_category", "reference", "is_owed"}));
        const QStringList journal = columnsOf(fixture, QStringLiteral("journal_entries"));
        QCOMPARE(journal.size(), 11);
        QCOMPARE(journal.mid(6), (QStringList{"project_id", "cost_center_id", "contractor_id",
                                              "reference", "currency_id"}));
        QCOMPARE(columnsOf(fixture, QStringLiteral("units")).size(), 16);
        QCOMPARE(columnsOf(fixture, QStringLiteral("payments")).size(), 13);
        QCOMPARE(columnsOf(fixture, QStringLiteral("usage_records")).last(),
                 QStringLiteral("meter_change"));
    }

    void seedRowsAreExact()
    {
        TestDatabase fixture;
        const QVariantMap admin = fixture.db()
                                      ->execQuery(QStringLiteral("SELECT * FROM users WHERE id=1"))
                                      .value(0)
                                      .toMap();
        QCOMPARE(admin.value(QStringLiteral("username")).toString(), QStringLiteral("admin"));
        QCOMPARE(admin.value(QStringLiteral("full_name")).toString(), QStringLiteral("مدير عام"));
        QCOMPARE(admin.value(QStringLiteral("role")).toString(), QStringLiteral("admin"));
        QCOMPARE(admin.value(QStringLiteral("active")).toInt(), 1);
        // Stored as a hash, never as the password itself.
        const QString stored = admin.value(QStringLiteral("password_hash")).toString();
        QVERIFY(PasswordHash::isHash(stored));
        QVERIFY(PasswordHash::verify(stored, Schema::defaultAdminPassword()));

        const QVariantMap jod = fixture.db()->getById(QStringLiteral("currencies"), 3);
        QCOMPARE(jod.value(QStringLiteral("code")).toString(), QStringLiteral("JOD"));
        QCOMPARE(jod.value(QStringLiteral("symbol")).toString(), QStringLiteral("د.ا"));
        QCOMPARE(fixture.value(QStringLiteral("SELECT code FROM currencies WHERE is_primary=1"))
                     .toString(),
                 QStringLiteral("ILS"));

        // Sub-accounts hang under the right parents.
        QCOMPARE(fixture
                     .value(QStringLiteral("SELECT p.code FROM accounts a JOIN accounts p ON "
                                           "p.id = a.parent_id WHERE a.code = '5200'"))
                     .toString(),
                 QStringLiteral("5000"));
        QCOMPARE(fixture.value(QStringLiteral("SELECT COUNT(*) FROM accounts WHERE is_system=1"))
                     .toInt(),
                 16);
        QCOMPARE(fixture.value(QStringLiteral("SELECT rate FROM services WHERE name = 'كهرباء'"))
                     .toDouble(),
                 0.5);
    }

    void secondStartChangesNothing()
    {
        TestDatabase fixture;
        const QString before = snapshot(fixture);
        QVERIFY(fixture.reopen());
        QCOMPARE(snapshot(fixture), before);
    }

    void legacyPasswordColumnIsCopied()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        QVERIFY(TestDatabase::writeLegacyFile(
            path, {QStringLiteral("CREATE TABLE users (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                  "username TEXT UNIQUE NOT NULL, password TEXT, full_name "
                                  "TEXT, role TEXT DEFAULT 'user', active INTEGER DEFAULT "
                                  "1, created_at TEXT)"),
                   QStringLiteral("INSERT INTO users (username, password, role) VALUES "
                                  "('admin', 'old-secret', 'admin')"),
                   QStringLiteral("INSERT INTO users (username, password) VALUES "
                                  "('sara', '')")}));
        Database db;
        QVERIFY(db.initialize(path));
        const QVariantList rows =
            db.execQuery(QStringLiteral("SELECT username, password_hash FROM users ORDER BY id"));
        QCOMPARE(rows.size(), 2); // not seeded again
        QCOMPARE(rows.at(0).toMap().value(QStringLiteral("password_hash")).toString(),
                 QStringLiteral("old-secret"));
        QVERIFY(rows.at(1).toMap().value(QStringLiteral("password_hash")).toString().isEmpty());
    }

    void olderTablesGainNewColumns()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        QVERIFY(TestDatabase::writeLegacyFile(
            path, {QStringLiteral("CREATE TABLE users (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                  "username TEXT UNIQUE NOT NULL, password_hash TEXT NOT NULL)"),
                   QStringLiteral("INSERT INTO users (username, password_hash) VALUES ('u', 'x')"),
                   QStringLiteral("CREATE TABLE units (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                  "property_id INTEGER NOT NULL, unit_number TEXT NOT NULL)"),
                   QStringLiteral("CREATE TABLE cheques (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                  "cheque_number TEXT NOT NULL, amount REAL NOT NULL)")}));
        Database db;
        QVERIFY2(db.initialize(path), qPrintable(db.initErrorText()));
        QSqlQuery query(db.connection());
        QVERIFY(
            query.exec(QStringLiteral("SELECT buyer_id, sale_price_actual, sale_date FROM units")));
        QVERIFY(query.exec(QStringLiteral("SELECT buyer_id, tenant_id FROM cheques")));
        // Seeding depends on users alone: a file with users gets no currencies.
        QVERIFY(query.exec(QStringLiteral("SELECT COUNT(*) FROM currencies")) && query.next());
        QCOMPARE(query.value(0).toInt(), 0);
    }

    // A file from before the list indexes: the start-up adds every index,
    // gives the planner statistics and keeps every row as it was.
    void olderDatabaseGainsIndexesAndKeepsRows()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        QStringList legacy = {
            QStringLiteral("CREATE TABLE users (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                           "username TEXT UNIQUE NOT NULL, password_hash TEXT NOT NULL)"),
            QStringLiteral("INSERT INTO users (username, password_hash) VALUES ('u', 'x')"),
            QStringLiteral("CREATE TABLE audit_logs (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                           "user_id INTEGER, action TEXT NOT NULL, table_name TEXT, record_id "
                           "INTEGER, details TEXT, created_at TEXT DEFAULT (datetime('now')))"),
            QStringLiteral("CREATE TABLE invoice_items (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                           "invoice_id INTEGER NOT NULL, description TEXT NOT NULL, type TEXT "
                           "DEFAULT 'rent', quantity REAL DEFAULT 1, unit_price REAL DEFAULT 0, "
                           "total REAL DEFAULT 0)"),
            // Large enough a file for the planner statistics to be worth writing.
            QStringLiteral("CREATE TABLE settings (key TEXT PRIMARY KEY, value TEXT)"),
            QStringLiteral("INSERT INTO settings VALUES ('company_logo', zeroblob(9000000))")};
        for (int i = 1; i <= 300; ++i) {
            legacy << QStringLiteral("INSERT INTO audit_logs (action, details, created_at) VALUES "
                                     "('login', 'دخول %1', '2023-01-01 10:00:%2')")
                          .arg(i)
                          .arg(i % 60, 2, 10, QLatin1Char('0'));
            legacy << QStringLiteral("INSERT INTO invoice_items (invoice_id, description, total) "
                                     "VALUES (%1, 'إيجار شهري', %2.5)")
                          .arg(i / 2 + 1)
                          .arg(i);
        }
        QVERIFY(TestDatabase::writeLegacyFile(path, legacy));

        Database db;
        QVERIFY(db.initialize(path));
        QStringList missing;
        for (const QString& statement : Schema::indexStatements()) {
            const QString name = statement.section(QLatin1Char(' '), 5, 5);
            if (db.scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type='index' "
                                         "AND name=?"),
                          {name})
                    .toInt() != 1)
                missing << name;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));
        QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_stat1 WHERE "
                                          "idx='idx_audit_created'"))
                     .toInt(),
                 1);
        QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM audit_logs")).toInt(), 300);
        QCOMPARE(db.scalar(QStringLiteral("SELECT LENGTH(value) FROM settings")).toInt(), 9000000);
        QCOMPARE(db.scalar(QStringLiteral("SELECT details FROM audit_logs WHERE id=77")).toString(),
                 QStringLiteral("دخول 77"));
        QCOMPARE(db.scalar(QStringLiteral("SELECT SUM(total) FROM invoice_items")).toDouble(),
                 300 * 301 / 2 + 150.0);
        // The list reads now go through the new indexes.
        const QVariantList plan = db.execQuery(
            QStringLiteral("EXPLAIN QUERY PLAN SELECT * FROM invoice_items WHERE invoice_id=?"),
            {3});
        QVERIFY(plan.value(0)
                    .toMap()
                    .value(QStringLiteral("detail"))
                    .toString()
                    .contains(QStringLiteral("idx_invoice_items_invoice")));
    }

    // A file from before the text indexes: the start-up builds each one from
    // the rows already there, and later writes keep it in step.
    void olderDatabaseGainsFilledSearchIndexes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        QStringList legacy{QStringLiteral("BEGIN")}; // one commit: the file is written at once
        for (const QString& statement : Schema::tableStatements()) {
            if (statement.startsWith(QLatin1String("CREATE TABLE")))
                legacy << statement;
        }
        legacy << QStringLiteral("INSERT INTO users (username, password_hash) VALUES ('u', 'x')");
        for (int i = 1; i <= 300; ++i) {
            legacy << QStringLiteral("INSERT INTO invoices (invoice_number, period) VALUES "
                                     "('INV-2023%1-%2', '2023-%1')")
                          .arg(i % 12 + 1, 2, 10, QLatin1Char('0'))
                          .arg(i, 4, 10, QLatin1Char('0'));
            legacy << QStringLiteral("INSERT INTO payments (amount, payment_date, reference, "
                                     "notes) VALUES (%1, '2023-05-01', 'REC-%1', 'دفعة رقم %1')")
                          .arg(i);
            legacy << QStringLiteral("INSERT INTO audit_logs (action, table_name, details) VALUES "
                                     "('update', 'tenants', 'عملية %1')")
                          .arg(i);
            legacy << QStringLiteral("INSERT INTO cheques (cheque_number, type, amount, bank_name, "
                                     "payer_name) VALUES ('CHQ-%1', 'received', %1, '%2', "
                                     "'سامر العلي %1')")
                          .arg(i)
                          .arg(i % 3 == 0 ? QStringLiteral("البنك العربي")
                                          : QStringLiteral("بنك فلسطين"));
        }
        legacy << QStringLiteral("COMMIT");
        QVERIFY(TestDatabase::writeLegacyFile(path, legacy));

        Database db;
        QVERIFY2(db.initialize(path), qPrintable(db.initErrorText()));
        const auto ids = [&db](const QString& sql, const QVariantList& values) {
            QList<int> found;
            for (const QVariant& row : db.execQuery(sql, values))
                found << row.toMap().first().toInt();
            return found;
        };
        // Texts a LIKE scan over the index's columns finds, and the index
        // finds the very same rows.
        const QHash<QString, QString> probes = {
            {QStringLiteral("-0042"), QStringLiteral("invoices_search")},
            {QStringLiteral("2023-07"), QStringLiteral("invoices_search")},
            {QStringLiteral("رقم 17"), QStringLiteral("payments_search")},
            {QStringLiteral("rec-29"), QStringLiteral("payments_search")},
            {QStringLiteral("عملية 25"), QStringLiteral("audit_logs_search")},
            {QStringLiteral("البنك العربي"), QStringLiteral("cheques_search")},
            {QStringLiteral("العلي 12"), QStringLiteral("cheques_search")},
            {QStringLiteral("chq-7"), QStringLiteral("cheques_search")},
        };
        for (auto probe = probes.cbegin(); probe != probes.cend(); ++probe) {
            const auto index =
                std::find_if(Schema::searchIndexes().cbegin(), Schema::searchIndexes().cend(),
                             [&](const Schema::SearchIndex& candidate) {
                                 return candidate.name == probe.value();
                             });
            QVERIFY(index != Schema::searchIndexes().cend());
            QStringList likes;
            QVariantList patterns;
            for (const QString& column : index->columns) {
                likes << column + QStringLiteral(" LIKE ?");
                patterns << QLatin1Char('%') + probe.key() + QLatin1Char('%');
            }
            const QList<int> scanned =
                ids(QStringLiteral("SELECT id FROM %1 WHERE %2 ORDER BY id")
                        .arg(index->table, likes.join(QStringLiteral(" OR "))),
                    patterns);
            QVERIFY2(!scanned.isEmpty(), qPrintable(probe.key()));
            QCOMPARE(ids(QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH ? ORDER BY rowid")
                             .arg(index->name),
                         {SqlListModel::trigramQuery(probe.key())}),
                     scanned);
        }
        QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM payments")).toInt(), 300);
        QCOMPARE(db.scalar(QStringLiteral("SELECT notes FROM payments WHERE id=77")).toString(),
                 QStringLiteral("دفعة رقم 77"));

        // Written after the start: scanned until the next start indexes it.
        QVERIFY(db.execNonQuery(QStringLiteral("INSERT INTO payments (amount, payment_date, "
                                               "reference) VALUES (1, '2024-01-01', 'حوالة ٩٩')")));
        const auto indexedTransfer = [&] {
            return ids(QStringLiteral("SELECT rowid FROM payments_search WHERE payments_search "
                                      "MATCH ?"),
                       {SqlListModel::trigramQuery(QStringLiteral("حوالة ٩٩"))});
        };
        QCOMPARE(indexedTransfer(), QList<int>{});
        QSqlDatabase connection = db.connection();
        QVERIFY(Schema::createSearchIndexes(connection)); // as the next start does
        QCOMPARE(indexedTransfer(), QList<int>{301});
        QCOMPARE(db.scalar(QStringLiteral("SELECT indexed_to FROM search_index_marks WHERE "
                                          "index_name = 'payments_search'"))
                     .toInt(),
                 301);
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
