#include "OfficeGenerator.h"
#include "PgCluster.h"
#include "TestDatabase.h"

#include "admin/OfficeMove.h"
#include "core/Database.h"

#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

std::unique_ptr<Database> openServer(const DatabaseSettings& settings)
{
    auto db = std::make_unique<Database>();
    if (!db->initialize(settings))
        qWarning() << "server failed to open:" << db->initErrorText();
    return db;
}

qint64 count(Database* db, const QString& table)
{
    return db->scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toLongLong();
}

// Sum of one money column per currency, in cents, read the same way on
// either engine.
QMap<qint64, qint64> centsByCurrency(Database* db, const QString& table, const QString& column)
{
    QMap<qint64, qint64> sums;
    const QVariantList rows = db->execQuery(QStringLiteral("SELECT currency_id, SUM(") + column +
                                            QStringLiteral(") AS s FROM ") + table +
                                            QStringLiteral(" GROUP BY currency_id"));
    for (const QVariant& row : rows) {
        const QVariantMap map = row.toMap();
        sums.insert(map.value(QStringLiteral("currency_id")).toLongLong(),
                    qRound64(map.value(QStringLiteral("s")).toDouble() * 100));
    }
    return sums;
}

// The lists' kept totals, a line per list, day and currency holding rows:
// the count and each sum in cents.
QStringList keptTotals(Database* db)
{
    QStringList lines;
    const QVariantList rows = db->execQuery(
        QStringLiteral("SELECT list, day, currency_id, row_count, c0, r0, c1, r1, c2, r2 FROM "
                       "list_totals WHERE row_count<>0 ORDER BY list, day, currency_id"));
    for (const QVariant& row : rows) {
        const QVariantMap map = row.toMap();
        QStringList parts{map.value(QStringLiteral("list")).toString(),
                          map.value(QStringLiteral("day")).toString(),
                          map.value(QStringLiteral("currency_id")).toString(),
                          map.value(QStringLiteral("row_count")).toString()};
        for (const char* sum : {"0", "1", "2"})
            parts << QString::number(
                qRound64(map.value(QLatin1Char('c') + QLatin1String(sum)).toDouble() +
                         map.value(QLatin1Char('r') + QLatin1String(sum)).toDouble() * 100));
        lines << parts.join(QLatin1Char('|'));
    }
    return lines;
}

} // namespace

// An office's SQLite file moved to a PostgreSQL server whole, or not at all.
class TestOfficeMove : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PgCluster> m_cluster;

    // A small generated office in a fresh file.
    static bool fillOffice(TestDatabase& office)
    {
        OfficeGenerator generator(office.db()->connection(), OfficeGenerator::smallOffice(), 11,
                                  QDate(2026, 3, 15));
        if (!generator.run()) {
            qWarning() << generator.error();
            return false;
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>();
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->errorText()));
    }

    void cleanupTestCase() { m_cluster.reset(); }

    void movedOfficeHasEveryRowAndTotal()
    {
        TestDatabase office(DatabaseSettings::Engine::SQLite);
        QVERIFY(fillOffice(office));
        auto server = openServer(m_cluster->newDatabase());
        QVERIFY(server->connection().isOpen());
        QVERIFY(!OfficeMove::holdsOffice(server.get()));

        QList<int> steps;
        const QString reason = OfficeMove::run(office.filePath(), server.get(),
                                               [&](int done, int total, const QString&) {
                                                   steps << done;
                                                   QVERIFY(done <= total);
                                               });
        QVERIFY2(reason.isEmpty(), qPrintable(reason));
        QVERIFY(steps.size() > 10);
        QVERIFY(OfficeMove::holdsOffice(server.get()));

        // Every table both sides have holds the same number of rows.
        QSqlQuery tables(server->connection());
        QVERIFY(tables.exec(
            QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = "
                           "current_schema() AND table_type = 'BASE TABLE' AND table_name <> "
                           "'schema_migrations'")));
        int compared = 0;
        while (tables.next()) {
            const QString table = tables.value(0).toString();
            // The lists' kept totals are counted afresh (compared below): the
            // file keeps rows for days no longer holding any.
            if (table == QLatin1String("list_totals") ||
                !office.db()
                     ->scalar(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name=?"), {table})
                     .isValid())
                continue;
            QCOMPARE(count(server.get(), table), count(office.db(), table));
            ++compared;
        }
        QVERIFY(compared >= 25);
        QVERIFY(count(server.get(), QStringLiteral("invoices")) > 100);

        const QList<QPair<QString, QString>> money = {
            {QStringLiteral("payments"), QStringLiteral("amount")},
            {QStringLiteral("invoices"), QStringLiteral("total_amount")},
            {QStringLiteral("invoices"), QStringLiteral("balance")},
            {QStringLiteral("expenses"), QStringLiteral("amount")},
            {QStringLiteral("cheques"), QStringLiteral("amount")},
        };
        for (const auto& [table, column] : money)
            QCOMPARE(centsByCurrency(server.get(), table, column),
                     centsByCurrency(office.db(), table, column));

        // The server counted the lists' kept totals from the moved rows:
        // the same counts and sums per list, day and currency as the file's.
        const QStringList keptOnFile = keptTotals(office.db());
        QVERIFY(keptOnFile.size() > 20);
        QCOMPARE(keptTotals(server.get()), keptOnFile);

        // Ids are kept, and the server numbers new rows after them.
        const QString name = QStringLiteral("مستأجر بعد النقل");
        QCOMPARE(
            server->scalar(QStringLiteral("SELECT full_name FROM tenants WHERE id=?"), {1}),
            office.db()->scalar(QStringLiteral("SELECT full_name FROM tenants WHERE id=?"), {1}));
        const int id = server->execInsert(
            QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"), {name});
        QCOMPARE(id,
                 office.db()->scalar(QStringLiteral("SELECT MAX(id) FROM tenants")).toInt() + 1);
        // The running totals came across as the file kept them, not twice.
        QCOMPARE(count(server.get(), QStringLiteral("money_totals")),
                 count(office.db(), QStringLiteral("money_totals")));
        QCOMPARE(server->scalar(QStringLiteral("SELECT SUM(cents) FROM money_totals")).toLongLong(),
                 office.db()
                     ->scalar(QStringLiteral("SELECT SUM(cents) FROM money_totals"))
                     .toLongLong());
    }

    // The move once left the server with no statistics of the moved tables,
    // so every read was planned on guesses until the background worker
    // happened to read them.
    void regressionMovedTablesHadNoStatistics()
    {
        TestDatabase office(DatabaseSettings::Engine::SQLite);
        QVERIFY(fillOffice(office));
        auto server = openServer(m_cluster->newDatabase());
        const QString reason = OfficeMove::run(office.filePath(), server.get());
        QVERIFY2(reason.isEmpty(), qPrintable(reason));

        // The planner's row count of each moved table is its true count (a
        // small table is read whole), and its columns have statistics.
        for (const char* table :
             {"invoices", "payments", "journal_lines", "cheques", "tenants", "list_totals"}) {
            const QString name = QLatin1String(table);
            QVERIFY(count(server.get(), name) > 0);
            QCOMPARE(server
                         ->scalar(QStringLiteral("SELECT CAST(reltuples AS BIGINT) FROM pg_class "
                                                 "WHERE oid = to_regclass(?)"),
                                  {name})
                         .toLongLong(),
                     count(server.get(), name));
            QVERIFY2(server->scalar(QStringLiteral("SELECT COUNT(*) FROM pg_stats WHERE "
                                                   "schemaname = current_schema() AND "
                                                   "tablename = ?"),
                                    {name})
                             .toInt() > 0,
                     table);
        }
    }

    void serverHoldingAnOfficeIsRefused()
    {
        TestDatabase office(DatabaseSettings::Engine::SQLite);
        QVERIFY(fillOffice(office));
        auto server = openServer(m_cluster->newDatabase());
        QVERIFY(server->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"),
                                   {QStringLiteral("برج النخيل")}) > 0);
        const qint64 usersBefore = count(server.get(), QStringLiteral("users"));

        const QString reason = OfficeMove::run(office.filePath(), server.get());
        QVERIFY(reason.contains(QStringLiteral("يحمل بيانات مكتب")));
        QCOMPARE(count(server.get(), QStringLiteral("properties")), 1);
        QCOMPARE(count(server.get(), QStringLiteral("tenants")), 0);
        QCOMPARE(count(server.get(), QStringLiteral("users")), usersBefore);
    }

    // A row the server cannot take, met after many tables were copied,
    // leaves the server as it was.
    void failureHalfwayLeavesServerEmpty()
    {
        TestDatabase office(DatabaseSettings::Engine::SQLite);
        QVERIFY(fillOffice(office));
        // The file takes any text in a money column; the server does not.
        QVERIFY(office.db()->execNonQuery(
            QStringLiteral("UPDATE payments SET amount='ألف' WHERE id=(SELECT MAX(id) FROM "
                           "payments)")));
        auto server = openServer(m_cluster->newDatabase());
        const qint64 usersBefore = count(server.get(), QStringLiteral("users"));
        const qint64 currenciesBefore = count(server.get(), QStringLiteral("currencies"));

        int tablesCopied = 0;
        const QString reason =
            OfficeMove::run(office.filePath(), server.get(),
                            [&](int done, int, const QString&) { tablesCopied = done; });
        QVERIFY(reason.contains(QStringLiteral("payments")));
        QVERIFY(tablesCopied > 3);
        for (const char* table : {"properties", "units", "tenants", "invoices", "payments",
                                  "journal_lines", "money_totals"})
            QCOMPARE(count(server.get(), QLatin1String(table)), 0);
        QCOMPARE(count(server.get(), QStringLiteral("users")), usersBefore);
        QCOMPARE(count(server.get(), QStringLiteral("currencies")), currenciesBefore);
        // The server's triggers are on again: a payment still counts.
        QVERIFY(server
                    ->scalar(QStringLiteral("SELECT COUNT(*) FROM pg_trigger WHERE NOT "
                                            "tgisinternal AND tgenabled = 'D'"))
                    .toInt() == 0);
    }
};

QTEST_GUILESS_MAIN(TestOfficeMove)
#include "tst_officemove.moc"
