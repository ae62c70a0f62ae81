#include "PgCluster.h"
#include "TestDatabase.h"

#include "admin/LoginThrottle.h"
#include "core/Database.h"
#include "core/ListTotals.h"
#include "core/PasswordHash.h"
#include "core/PgSchema.h"
#include "core/Schema.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

struct Column
{
    QString name;
    QString family; // integer, text, real
    bool notNull = false;

    bool operator==(const Column& other) const
    {
        return name == other.name && family == other.family && notNull == other.notNull;
    }
};

QString describe(const QList<Column>& columns)
{
    QStringList parts;
    for (const Column& c : columns)
        parts << c.name + QLatin1Char(' ') + c.family +
                     (c.notNull ? QStringLiteral(" NN") : QString());
    return parts.join(QStringLiteral(", "));
}

QString sqliteFamily(const QString& declared)
{
    const QString type = declared.toUpper();
    if (type.contains(QLatin1String("INT")))
        return QStringLiteral("integer");
    if (type.contains(QLatin1String("REAL")))
        return QStringLiteral("real");
    return QStringLiteral("text");
}

QString pgFamily(const QString& type)
{
    if (type == QLatin1String("bigint"))
        return QStringLiteral("integer");
    if (type == QLatin1String("numeric") || type == QLatin1String("double precision"))
        return QStringLiteral("real");
    return type == QLatin1String("text") ? QStringLiteral("text") : type;
}

// The tables each engine keeps for itself, which the other has no use for:
// SQLite's id counters and text-search tables, the server's migration list.
bool engineOwn(const QString& table)
{
    if (table.startsWith(QLatin1String("sqlite_")) ||
        table == QLatin1String("search_index_marks") || table == QLatin1String("schema_migrations"))
        return true;
    for (const Schema::SearchIndex& index : Schema::searchIndexes()) {
        if (table.startsWith(index.name))
            return true;
    }
    return false;
}

QMap<QString, QList<Column>> sqliteTables(Database* db)
{
    QMap<QString, QList<Column>> tables;
    QSqlQuery query(db->connection());
    query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"));
    QStringList names;
    while (query.next())
        names << query.value(0).toString();
    for (const QString& name : names) {
        if (engineOwn(name))
            continue;
        query.exec(QStringLiteral("SELECT name, type, \"notnull\", pk FROM pragma_table_info('%1') "
                                  "ORDER BY cid")
                       .arg(name));
        while (query.next()) {
            // A primary key is never empty on the server; SQLite lets an
            // INTEGER PRIMARY KEY be given as NULL (it then picks the id).
            const bool key = query.value(3).toInt() > 0;
            tables[name].append({query.value(0).toString(), sqliteFamily(query.value(1).toString()),
                                 query.value(2).toInt() == 1 || key});
        }
    }
    return tables;
}

QMap<QString, QList<Column>> serverTables(Database* db)
{
    QMap<QString, QList<Column>> tables;
    QSqlQuery query(db->connection());
    query.exec(QStringLiteral("SELECT table_name, column_name, data_type, is_nullable FROM "
                              "information_schema.columns WHERE table_schema=current_schema() "
                              "ORDER BY table_name, ordinal_position"));
    while (query.next()) {
        const QString table = query.value(0).toString();
        if (!engineOwn(table))
            tables[table].append({query.value(1).toString(), pgFamily(query.value(2).toString()),
                                  query.value(3).toString() == QLatin1String("NO")});
    }
    return tables;
}

QStringList indexNames(Database* db, const QString& sql)
{
    QStringList names;
    QSqlQuery query(db->connection());
    query.exec(sql);
    while (query.next())
        names << query.value(0).toString();
    names.sort();
    return names;
}

// The version of the migration described so, whatever its place in the list.
int versionOf(const QString& description)
{
    for (const PgSchema::Migration& migration : PgSchema::migrations())
        if (migration.description == description)
            return migration.version;
    return -1;
}

} // namespace

class TestPgSchema : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PgCluster> m_cluster;

    std::unique_ptr<Database> openServer(const DatabaseSettings& settings)
    {
        auto db = std::make_unique<Database>();
        if (!db->initialize(settings))
            qWarning() << "open failed:" << db->initErrorText();
        return db;
    }

private slots:
    void initTestCase()
    {
        // PostgreSQL is one of the program's dependencies (tools/install-deps.sh
        // installs it): a server that cannot start is a failure, not a skip.
        m_cluster = std::make_unique<PgCluster>();
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->errorText()));
    }

    void cleanupTestCase() { m_cluster.reset(); }

    void bothEnginesHoldTheSameTablesAndColumns()
    {
        TestDatabase file(DatabaseSettings::Engine::SQLite);
        QVERIFY(file.isOpen());
        const DatabaseSettings settings = m_cluster->newDatabase();
        QVERIFY2(settings.engine == DatabaseSettings::Engine::PostgreSQL,
                 qPrintable(m_cluster->errorText()));
        auto server = openServer(settings);
        QVERIFY(server->connection().isOpen());
        QVERIFY(server->isPostgres());
        // The sign-in throttle makes its table on the file when first used.
        LoginThrottle throttle(file.db());

        const auto onFile = sqliteTables(file.db());
        const auto onServer = serverTables(server.get());
        QVERIFY(onFile.size() >= 29);
        QCOMPARE(onServer.keys(), onFile.keys());
        for (auto it = onFile.cbegin(); it != onFile.cend(); ++it) {
            const QList<Column> other = onServer.value(it.key());
            QVERIFY2(other == it.value(),
                     qPrintable(it.key() + QStringLiteral("\n file:   ") + describe(it.value()) +
                                QStringLiteral("\n server: ") + describe(other)));
        }

        const QString sqliteIndexes = QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type='index' AND name LIKE 'idx_%'");
        const QString pgIndexes =
            QStringLiteral("SELECT indexname FROM pg_indexes WHERE schemaname=current_schema() AND "
                           "indexname LIKE 'idx_%'");
        const QStringList fileIndexes = indexNames(file.db(), sqliteIndexes);
        QVERIFY(fileIndexes.size() > 50);
        QCOMPARE(indexNames(server.get(), pgIndexes), fileIndexes);
    }

    void serverStartsWithTheFileSeedRows_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("المستخدمون") << QStringLiteral(
            "SELECT username, full_name, role, active FROM users ORDER BY username");
        QTest::newRow("العملات") << QStringLiteral(
            "SELECT code, name_ar, symbol, is_primary, decimals FROM currencies ORDER BY code");
        QTest::newRow("الحسابات") << QStringLiteral(
            "SELECT a.code, a.name_ar, a.type, p.code, a.is_system, a.balance FROM accounts a "
            "LEFT JOIN accounts p ON p.id = a.parent_id ORDER BY a.code");
        QTest::newRow("الخدمات") << QStringLiteral(
            "SELECT name, type, rate, unit_of_measure FROM services ORDER BY name");
        QTest::newRow("الإعدادات")
            << QStringLiteral("SELECT key, value FROM settings ORDER BY key");
    }

    void serverStartsWithTheFileSeedRows()
    {
        QFETCH(QString, sql);
        TestDatabase file(DatabaseSettings::Engine::SQLite);
        QVERIFY(file.isOpen());
        const DatabaseSettings settings = m_cluster->newDatabase();
        auto server = openServer(settings);
        QVERIFY(server->connection().isOpen());
        // A second desk starting on the same database adds nothing.
        auto second = openServer(settings);
        QVERIFY(second->connection().isOpen());

        const auto rows = [&sql](Database* db) {
            QStringList text;
            for (const QVariant& value : db->execQuery(sql)) {
                const QVariantMap row = value.toMap();
                QStringList cells;
                for (auto it = row.cbegin(); it != row.cend(); ++it) {
                    // Numbers as numbers: 5 and 5.0, "1" and 1 are one value.
                    bool isNumber = false;
                    const double number = it.value().toDouble(&isNumber);
                    cells << (it.value().isNull() ? QStringLiteral("NULL")
                              : isNumber          ? QString::number(number)
                                                  : it.value().toString());
                }
                text << cells.join(QLatin1Char('|'));
            }
            return text;
        };
        const QStringList onFile = rows(file.db());
        QVERIFY(!onFile.isEmpty());
        QCOMPARE(rows(server.get()), onFile);
        QCOMPARE(rows(second.get()), onFile);
    }

    void serverAdministratorSignsInOnTheDefaultPassword()
    {
        auto server = openServer(m_cluster->newDatabase());
        QVERIFY(server->connection().isOpen());
        const QString hash =
            server
                ->scalar(QStringLiteral("SELECT password_hash FROM users WHERE username=?"),
                         {QStringLiteral("admin")})
                .toString();
        QVERIFY(PasswordHash::verify(hash, Schema::defaultAdminPassword()));
        QVERIFY(!PasswordHash::verify(hash, QStringLiteral("admin")));
        QCOMPARE(server
                     ->scalar(QStringLiteral("SELECT value FROM settings WHERE "
                                             "key='setup_state'"))
                     .toString(),
                 QStringLiteral("pending"));
        QSqlDatabase connection = server->connection();
        QVERIFY(PgSchema::currentVersion(connection) >= 6);
    }

    void moneyIsExactOnTheServer()
    {
        auto server = openServer(m_cluster->newDatabase());
        QVERIFY(server->connection().isOpen());
        // Three payments of 0.1 are 0.3 exactly, not 0.30000000000000004.
        QVERIFY(server->execNonQuery(
            QStringLiteral("INSERT INTO tenants (full_name) VALUES ('سلمى الخطيب')")));
        for (int i = 0; i < 3; ++i)
            QVERIFY(server->execInsert(
                        QStringLiteral("INSERT INTO payments (tenant_id, amount, "
                                       "payment_date) VALUES (1, 0.1, '2026-03-01')")) > 0);
        QCOMPARE(server->scalar(QStringLiteral("SELECT CAST(SUM(amount) AS TEXT) FROM payments"))
                     .toString(),
                 QStringLiteral("0.3"));
    }

    void migrationsRunOnceAndAreRecorded()
    {
        const DatabaseSettings settings = m_cluster->newDatabase();
        auto first = openServer(settings);
        QVERIFY(first->connection().isOpen());
        QSqlDatabase connection = first->connection();
        const int last = PgSchema::migrations().last().version;
        QCOMPARE(PgSchema::currentVersion(connection), last);
        first->execNonQuery(
            QStringLiteral("INSERT INTO settings (key, value) VALUES ('k', 'قيمة')"));

        // A second start (another desk) finds every migration done and runs
        // none again: the row written in between is still there.
        auto second = openServer(settings);
        QVERIFY(second->connection().isOpen());
        QCOMPARE(second->scalar(QStringLiteral("SELECT COUNT(*) FROM schema_migrations")).toInt(),
                 PgSchema::migrations().size());
        QCOMPARE(
            second->scalar(QStringLiteral("SELECT value FROM settings WHERE key='k'")).toString(),
            QStringLiteral("قيمة"));
    }

    // An office already on a server when the lists' kept totals came gains
    // them counted from its rows, the same rows the triggers keep.
    void existingOfficeGainsItsListTotals()
    {
        const DatabaseSettings settings = m_cluster->newDatabase();
        auto server = openServer(settings);
        QVERIFY(server->connection().isOpen());
        const QStringList rows = {
            QStringLiteral("INSERT INTO invoices (invoice_number, total_amount, paid_amount, "
                           "balance, status, currency_id, due_date, created_at) VALUES "
                           "('ف-1', 1200.5, 200.25, 1000.25, 'partial', 2, '2024-03-05', "
                           "'2024-03-02 21:30:00'), ('ف-2', 99.999, 0, 99.999, 'pending', NULL, "
                           "'2024-02-01', '2024-01-01 08:00:00'), ('ف-3', 50, 50, 0, 'paid', 1, "
                           "NULL, 'ليس وقتًا')"),
            QStringLiteral("INSERT INTO payments (amount, payment_date, currency_id) VALUES "
                           "(300.3, '2024-03-02', 2), (0.005, '2024-03-02', NULL)"),
            QStringLiteral("INSERT INTO cheques (cheque_number, type, amount, status, "
                           "currency_id, due_date, payment_id) VALUES ('ش-1', 'received', "
                           "12.344, 'pending', 3, '2024-03-01', 1), ('ش-2', 'issued', 800, "
                           "'cleared', 1, NULL, NULL)"),
            QStringLiteral("INSERT INTO journal_entries (entry_date, description) VALUES "
                           "('2024-03-02', 'قيد إيجار')"),
            QStringLiteral("INSERT INTO journal_lines (entry_id, account_id, debit, credit) "
                           "SELECT 1, id, 10, 0 FROM accounts ORDER BY id LIMIT 2"),
            QStringLiteral("INSERT INTO journal_entries (entry_date, description, "
                           "reference_type) VALUES ('2024-03-02', 'مصروف صيانة', 'expense')"),
            QStringLiteral("INSERT INTO journal_lines (entry_id, account_id, debit, credit) "
                           "SELECT 2, id, 10, 0 FROM accounts ORDER BY id LIMIT 1"),
            QStringLiteral("INSERT INTO expenses (category, amount, expense_date, currency_id) "
                           "VALUES ('صيانة', 640.125, '2024-03-02', 2), ('رسوم', 19.99, "
                           "'2024-03-02', 2), ('نظافة', 0.004, '2024-02-30', NULL)"),
        };
        for (const QString& sql : rows)
            QVERIFY2(server->execNonQuery(sql), qPrintable(sql));
        const QString keptSql = QStringLiteral(
            "SELECT list || '|' || day || '|' || currency_id || '|' || row_count || '|' || c0 || "
            "'|' || r0 || '|' || c1 || '|' || c2 AS k FROM list_totals WHERE row_count<>0 "
            "ORDER BY list, day, currency_id");
        const auto kept = [&](Database* db) {
            QStringList text;
            for (const QVariant& row : db->execQuery(keptSql))
                text << row.toMap().value(QStringLiteral("k")).toString();
            return text.join(QLatin1Char('\n'));
        };
        const QString written = kept(server.get());
        // Each kept list has rows; the journal entry counts once, an
        // invoice whose time cannot be read counts on no day.
        for (const char* list :
             {"invoices:partial", "invoices:pending", "invoices:paid||1|1|5000|", "payments",
              "journal:|2024-03|-1|1|", "journal:expense|2024-03|-1|1|", "pending_cheques",
              "cheques:pending", "cheques_due:received", "open_invoices",
              "expenses|2024-03-02|2|2|", "cheque_register:received:pending||3|1|1234|"})
            QVERIFY2(written.contains(QLatin1String(list)), list);

        // The server as it was before: no table, no functions, no record,
        // neither of the first kept lists nor of those kept since; each
        // migration counts its own lists once.
        for (const QString& name : ListTotals::triggerNames())
            QVERIFY(server->execNonQuery(QStringLiteral("DROP FUNCTION ") + name +
                                         QStringLiteral("() CASCADE")));
        QVERIFY(server->execNonQuery(QStringLiteral("DROP FUNCTION list_totals_local_day(TEXT)")));
        QVERIFY(server->execNonQuery(QStringLiteral("DROP TABLE list_totals")));
        QStringList listTotals;
        for (const PgSchema::Migration& migration : PgSchema::migrations()) {
            if (migration.description.endsWith(QLatin1String("list totals"))) {
                listTotals << migration.description;
                QVERIFY(server->execNonQuery(
                    QStringLiteral("DELETE FROM schema_migrations WHERE version=?"),
                    {migration.version}));
            }
        }
        QCOMPARE(listTotals.size(), 4);
        server.reset();

        auto later = openServer(settings);
        QVERIFY(later->connection().isOpen());
        QSqlDatabase connection = later->connection();
        QCOMPARE(PgSchema::currentVersion(connection), PgSchema::migrations().last().version);
        QCOMPARE(kept(later.get()), written);

        // A server that kept the journal whole, under the list's name
        // alone: the journal's migration leaves no such row behind and
        // counts the entries per kind, once.
        QVERIFY(later->execNonQuery(
            QStringLiteral("INSERT INTO list_totals (list, day, currency_id, row_count) VALUES "
                           "('journal', '2024-03-02', -1, 2)")));
        QVERIFY(later->execNonQuery(QStringLiteral("DELETE FROM schema_migrations WHERE version=?"),
                                    {versionOf(QStringLiteral("journal list totals"))}));
        later.reset();
        auto upgraded = openServer(settings);
        QVERIFY(upgraded->connection().isOpen());
        QCOMPARE(kept(upgraded.get()), written);
    }

    // An office already on a server when payments came to be kept per
    // property and day gains those days counted from its rows, as the
    // triggers would have kept them, and keeps them from then on.
    void existingOfficeGainsItsPropertyDays()
    {
        const DatabaseSettings settings = m_cluster->newDatabase();
        auto server = openServer(settings);
        QVERIFY(server->connection().isOpen());
        const QStringList rows = {
            QStringLiteral("INSERT INTO properties (id, name) VALUES (1, 'برج النخيل'), "
                           "(2, 'مجمع الياسمين')"),
            QStringLiteral("INSERT INTO units (id, property_id, unit_number) VALUES (1, 1, 'A1'), "
                           "(2, 2, 'B1')"),
            QStringLiteral("INSERT INTO invoices (id, invoice_number, unit_id) VALUES (1, 'ف-1', "
                           "1), (2, 'ف-2', 2)"),
            QStringLiteral("INSERT INTO payments (invoice_id, amount, payment_date, currency_id) "
                           "VALUES (1, 300.3, '2024-03-02', 2), (1, 0.005, '2024-03-02', 2), "
                           "(1, 10, '2024-03-02', NULL), (2, 7.25, '2024-03-03 10:00', 3), "
                           "(2, 4, 'ليس تاريخًا', 2)"),
        };
        for (const QString& sql : rows)
            QVERIFY2(server->execNonQuery(sql), qPrintable(sql));
        const QString keptSql = QStringLiteral(
            "SELECT string_agg(owner_id || '|' || currency_id || '|' || row_count || '|' || "
            "cents || '|' || CAST(round(rest, 9) AS DOUBLE PRECISION), ',' ORDER BY owner_id, "
            "currency_id) FROM money_totals WHERE "
            "kind='property_day_payments' AND row_count<>0");
        const QString written = server->scalar(keptSql).toString();
        QCOMPARE(written, QStringLiteral("120240302|-1|1|1000|0,120240302|2|2|30031|-0.005,"
                                         "220240303|3|1|725|0"));

        // The server as it was before: the days neither kept nor counted.
        QVERIFY(server->execNonQuery(
            QStringLiteral("DELETE FROM money_totals WHERE kind='property_day_payments'")));
        QVERIFY(
            server->execNonQuery(QStringLiteral("DELETE FROM schema_migrations WHERE version=?"),
                                 {versionOf(QStringLiteral("payments per property and day"))}));
        server.reset();

        auto later = openServer(settings);
        QVERIFY(later->connection().isOpen());
        QCOMPARE(later->scalar(keptSql).toString(), written);
        QVERIFY(later->execNonQuery(
            QStringLiteral("UPDATE payments SET payment_date='2024-03-04' WHERE amount=300.3")));
        QCOMPARE(later->scalar(keptSql).toString(),
                 QStringLiteral("120240302|-1|1|1000|0,120240302|2|1|1|-0.005,120240304|2|1|"
                                "30030|0,220240303|3|1|725|0"));
    }

    void regressionFailedMigrationLeavesNothingBehind()
    {
        // A table the first migration makes is already there (made by hand):
        // the migration stops, and none of its other tables stay behind.
        const DatabaseSettings settings = m_cluster->newDatabase();
        const auto raw = [&](const QString& sql) {
            QVariant value;
            {
                QSqlDatabase connection =
                    QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("raw"));
                connection.setHostName(settings.host);
                connection.setPort(settings.port);
                connection.setDatabaseName(settings.database);
                QSqlQuery query(connection.open() ? connection : QSqlDatabase());
                if (query.exec(sql) && query.next())
                    value = query.value(0);
            }
            QSqlDatabase::removeDatabase(QStringLiteral("raw"));
            return value;
        };
        raw(QStringLiteral("CREATE TABLE settings (x TEXT)"));
        Database db;
        QVERIFY(!db.initialize(settings));
        QVERIFY2(db.initErrorText().contains(QLatin1String("settings")),
                 qPrintable(db.initErrorText()));
        QVERIFY(!db.connection().isOpen());
        QCOMPARE(raw(QStringLiteral("SELECT to_regclass('audit_logs') IS NULL")).toBool(), true);
        QCOMPARE(raw(QStringLiteral("SELECT COUNT(*) FROM schema_migrations")).toInt(), 0);
        QCOMPARE(raw(QStringLiteral("SELECT COUNT(*) FROM settings")).toInt(), 0);
    }

    void searchIndexesReadArabic()
    {
        auto server = openServer(m_cluster->newDatabase());
        QVERIFY(server->connection().isOpen());
        // With a "C" ctype the trigram index takes Arabic letters for
        // separators and holds nothing for an Arabic note.
        QVERIFY(server
                    ->scalar(QStringLiteral("SELECT array_length(show_trgm(?), 1)"),
                             {QStringLiteral("إيجار شهر آذار")})
                    .toInt() > 5);
        QVERIFY(server->execNonQuery(
            QStringLiteral("INSERT INTO payments (amount, payment_date, notes) VALUES (?, ?, ?)"),
            {500, QStringLiteral("2026-03-01"), QStringLiteral("دفعة إيجار شهر آذار")}));
        QVERIFY(server->execNonQuery(
            QStringLiteral("INSERT INTO payments (amount, payment_date, notes) VALUES (?, ?, ?)"),
            {70, QStringLiteral("2026-03-02"), QStringLiteral("رسوم صيانة")}));
        QVERIFY(server->execNonQuery(QStringLiteral("SET enable_seqscan = off")));
        const QVariantList plan = server->execQuery(
            QStringLiteral("EXPLAIN SELECT id FROM payments WHERE notes LIKE '%إيجار%'"));
        QStringList lines;
        for (const QVariant& row : plan)
            lines << row.toMap().value(QStringLiteral("QUERY PLAN")).toString();
        QVERIFY2(lines.join('\n').contains(QLatin1String("payments_search")),
                 qPrintable(lines.join('\n')));
        QCOMPARE(server
                     ->scalar(QStringLiteral("SELECT amount FROM payments WHERE notes LIKE ?"),
                              {QStringLiteral("%إيجار%")})
                     .toDouble(),
                 500.0);
    }

    void writesAndReadsGoThroughTheSameCalls()
    {
        auto server = openServer(m_cluster->newDatabase());
        QVERIFY(server->connection().isOpen());
        // New ids come back from the INSERT itself; a table without ids
        // gives 0, a refused row -1.
        const QString addTenant =
            QStringLiteral("INSERT INTO tenants (full_name, phone) VALUES (?, ?)");
        QCOMPARE(
            server->execInsert(addTenant, {QStringLiteral("مريم حداد"), QStringLiteral("0599")}),
            1);
        QCOMPARE(server->execInsert(addTenant, {QStringLiteral("يوسف عودة"), QVariant()}), 2);
        QCOMPARE(
            server->execInsert(QStringLiteral("INSERT INTO settings (key, value) VALUES (?, ?)"),
                               {QStringLiteral("a"), QStringLiteral("b")}),
            0);
        QSignalSpy errors(server.get(), &Database::databaseError);
        QCOMPARE(server->execInsert(addTenant, {QVariant(), QStringLiteral("x")}), -1);
        QCOMPARE(errors.count(), 1);

        QCOMPARE(server->getById(QStringLiteral("tenants"), 2)
                     .value(QStringLiteral("full_name"))
                     .toString(),
                 QStringLiteral("يوسف عودة"));
        SqlReader::Rows rows;
        QString error;
        QVERIFY2(
            server->readRows(QStringLiteral("SELECT id, full_name, phone FROM tenants ORDER BY id"),
                             {}, rows, &error),
            qPrintable(error));
        QCOMPARE(rows.columns, (QStringList{"id", "full_name", "phone"}));
        QCOMPARE(rows.rows.size(), 2);
        QCOMPARE(rows.rows.at(0).at(1).toString(), QStringLiteral("مريم حداد"));
        QVERIFY(rows.rows.at(1).at(2).isNull());
        QStringList names;
        QVERIFY(server->forEachRow(QStringLiteral("SELECT full_name FROM tenants WHERE id > ?"),
                                   {1},
                                   [&](QVector<QVariant>& row) { names << row.at(0).toString(); }));
        QCOMPARE(names, QStringList{QStringLiteral("يوسف عودة")});
        QVERIFY(!server->readRows(QStringLiteral("SELECT nothing FROM tenants"), {}, rows, &error));
        QVERIFY(error.contains(QLatin1String("nothing")));
    }

    void passwordFileOthersCanReadIsRefused()
    {
        DatabaseSettings settings = m_cluster->newDatabase();
        QTemporaryDir dir;
        settings.passwordFile = dir.filePath(QStringLiteral("password"));
        QFile file(settings.passwordFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("secret\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                            QFile::ReadOther);
        Database refused;
        QVERIFY(!refused.initialize(settings));
        QVERIFY(refused.initErrorText().contains(QLatin1String("chmod 600")));

        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QString password;
        QString error;
        QVERIFY(settings.readPassword(&password, &error));
        QCOMPARE(password, QStringLiteral("secret"));
        Database accepted;
        QVERIFY2(accepted.initialize(settings), qPrintable(accepted.initErrorText()));
    }
};

QTEST_GUILESS_MAIN(TestPgSchema)
#include "tst_pgschema.moc"
