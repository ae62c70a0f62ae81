#include "PgCluster.h"
#include "TestDatabase.h"

#include "core/Database.h"
#include "core/LedgerTotals.h"

#include <QtTest>

namespace {

// One journal's history, written alike to either engine: entries in three
// currencies and in none, a line moved to another entry and account, an
// entry moved to another day and currency, a removed line, lines with no
// primary amount yet and one above what 32 bits hold in mills.
const char* const kJournal[] = {
    "INSERT INTO journal_entries (id, entry_date, description, currency_id) VALUES (11, "
    "'2026-03-01', 'قبض إيجار شقة أ-1', 2)",
    "INSERT INTO journal_entries (id, entry_date, description) VALUES (12, '2026-03-01 "
    "09:15:00', 'بيع شقة ب-7')",
    "INSERT INTO journal_entries (id, entry_date, description, currency_id) VALUES (13, "
    "'2026-03-02', 'صيانة المصعد', 3)",
    "INSERT INTO journal_lines (id, entry_id, account_id, debit, credit, debit_primary, "
    "credit_primary) VALUES (101, 11, 2, 100.10, 0, 365.37, 0)",
    "INSERT INTO journal_lines (id, entry_id, account_id, debit, credit, debit_primary, "
    "credit_primary) VALUES (102, 11, 8, 0, 100.10, 0, 365.37)",
    "INSERT INTO journal_lines (id, entry_id, account_id, debit, credit, debit_primary, "
    "credit_primary) VALUES (103, 12, 2, 2500000.55, 0, 2500000.55, 0)",
    "INSERT INTO journal_lines (id, entry_id, account_id, debit, credit, debit_primary, "
    "credit_primary) VALUES (104, 12, 10, 0, 2500000.55, 0, 2500000.55)",
    "INSERT INTO journal_lines (id, entry_id, account_id, debit, credit) VALUES (105, 13, 12, "
    "0.125, 0)",
    "INSERT INTO journal_lines (id, entry_id, account_id, debit, credit) VALUES (106, 13, 2, 0, "
    "0.125)",
    // A correction on both sides, one line at a time.
    "UPDATE journal_lines SET debit=120.10, debit_primary=438.37 WHERE id=101",
    "UPDATE journal_lines SET credit=120.10, credit_primary=438.37 WHERE id=102",
    "UPDATE journal_lines SET account_id=3 WHERE id=106",
    "UPDATE journal_lines SET entry_id=11 WHERE id=105",
    "UPDATE journal_entries SET entry_date='2026-03-05' WHERE id=12",
    "UPDATE journal_entries SET currency_id=1 WHERE id=13",
    "UPDATE journal_entries SET description='قبض إيجار آذار' WHERE id=11",
    "UPDATE journal_lines SET description='لا يغير المجاميع' WHERE id=103",
    "DELETE FROM journal_lines WHERE id=104",
};

// Written while the triggers are set aside, then added in one pass.
const char* const kBulk[] = {
    "INSERT INTO journal_entries (id, entry_date, currency_id) VALUES (14, '2026-03-07', 1)",
    "INSERT INTO journal_entries (id, entry_date, currency_id) VALUES (15, '2026-03-07', 2)",
    "INSERT INTO journal_lines (id, entry_id, account_id, debit, credit, debit_primary, "
    "credit_primary) VALUES (107, 14, 2, 75.5, 0, 75.5, 0)",
    "INSERT INTO journal_lines (id, entry_id, account_id, debit, credit, debit_primary, "
    "credit_primary) VALUES (108, 14, 12, 0, 75.5, 0, 75.5)",
    "INSERT INTO journal_lines (id, entry_id, account_id, debit, credit) VALUES (109, 15, 2, "
    "40, 0)",
    "INSERT INTO journal_lines (id, entry_id, account_id, debit, credit) VALUES (110, 15, 8, 0, "
    "40)",
};

const char* const kColumns[] = {"lines",         "debit",          "credit",
                                "debit_primary", "credit_primary", "open_lines",
                                "open_debit",    "open_credit",    "weighted"};

// Every kept row, keyed by account/currency/day, its figures in column order.
QMap<QString, QList<double>> dayTotals(Database* db)
{
    QMap<QString, QList<double>> totals;
    for (const QVariant& value : db->execQuery(QStringLiteral(
             "SELECT * FROM ledger_day_totals WHERE lines <> 0 OR open_lines <> 0"))) {
        const QVariantMap row = value.toMap();
        QList<double> figures;
        for (const char* column : kColumns)
            figures << row.value(QLatin1String(column)).toDouble();
        totals.insert(row.value("account_id").toString() + QLatin1Char('/') +
                          row.value("currency_id").toString() + QLatin1Char('/') +
                          row.value("day").toString(),
                      figures);
    }
    return totals;
}

QString describe(const QList<double>& figures)
{
    QStringList text;
    for (double figure : figures)
        text << QString::number(figure, 'f', 4);
    return text.join(QLatin1Char(' '));
}

} // namespace

// The server's PL/pgSQL triggers keep the same ledger day totals as the
// file's triggers, for the same journal.
class TestPgLedgerTotals : public QObject
{
    Q_OBJECT

private slots:
    void serverKeepsTheSameDayTotalsAsTheFile()
    {
        PgCluster cluster;
        QVERIFY2(cluster.isRunning(), qPrintable(cluster.errorText()));
        TestDatabase file(DatabaseSettings::Engine::SQLite);
        QVERIFY(file.isOpen());
        Database server;
        QVERIFY2(server.initialize(cluster.newDatabase()), qPrintable(server.initErrorText()));
        for (Database* db : {file.db(), &server}) {
            for (const char* statement : kJournal)
                QVERIFY2(db->execNonQuery(QString::fromUtf8(statement)), statement);
            QVERIFY(LedgerTotals::pause(db));
            for (const char* statement : kBulk)
                QVERIFY2(db->execNonQuery(QString::fromUtf8(statement)), statement);
            QVERIFY(LedgerTotals::addEntriesAfter(db, 13, false));
            QVERIFY(LedgerTotals::resume(db));
            // Set going again, the triggers count the next line once.
            QVERIFY(db->execNonQuery(QStringLiteral(
                "INSERT INTO journal_lines (id, entry_id, account_id, debit, credit, "
                "debit_primary, credit_primary) VALUES (111, 14, 3, 1.25, 0, 1.25, 0)")));
        }

        const auto onFile = dayTotals(file.db());
        const auto onServer = dayTotals(&server);
        QVERIFY(onFile.size() >= 8);
        QCOMPARE(onServer.keys(), onFile.keys());
        for (auto it = onFile.cbegin(); it != onFile.cend(); ++it) {
            const QList<double> other = onServer.value(it.key());
            bool same = other.size() == it.value().size();
            for (int i = 0; same && i < other.size(); ++i)
                same = qAbs(other.at(i) - it.value().at(i)) < 1e-6;
            QVERIFY2(same,
                     qPrintable(it.key() + QStringLiteral("\n file:   ") + describe(it.value()) +
                                QStringLiteral("\n server: ") + describe(other)));
        }

        // The sale's debit, left alone by the removal of its credit line:
        // 2,500,000.55 in mills times entry 12 is past 32 bits.
        QCOMPARE(server
                     .scalar(QStringLiteral("SELECT weighted FROM ledger_day_totals WHERE "
                                            "account_id=2 AND currency_id=1 AND "
                                            "day='2026-03-05'"))
                     .toLongLong(),
                 Q_INT64_C(12) * Q_INT64_C(2500000550));
        // The moved entry left nothing on its first day.
        QCOMPARE(server
                     .scalar(QStringLiteral("SELECT COUNT(*) FROM ledger_day_totals WHERE "
                                            "day='2026-03-01' AND currency_id=1 AND lines<>0"))
                     .toInt(),
                 0);
        // Whole-history sums read from the rows agree on both engines.
        const QVariantList fileSums = LedgerTotals::sums(file.db(), {}, {});
        const QVariantList serverSums = LedgerTotals::sums(&server, {}, {});
        QCOMPARE(serverSums.size(), fileSums.size());
        for (int i = 0; i < fileSums.size(); ++i) {
            const QVariantMap a = fileSums.at(i).toMap();
            const QVariantMap b = serverSums.at(i).toMap();
            QCOMPARE(b.value("account_id").toInt(), a.value("account_id").toInt());
            QCOMPARE(b.value("lines").toInt(), a.value("lines").toInt());
            QVERIFY(qAbs(b.value("debit").toDouble() - a.value("debit").toDouble()) < 1e-6);
        }
    }

    void serverCountsLinesWrittenBeforeItsTriggers()
    {
        // A database that already has lines (brought over from a file) is
        // counted once when the triggers are made.
        PgCluster cluster;
        QVERIFY2(cluster.isRunning(), qPrintable(cluster.errorText()));
        Database server;
        QVERIFY2(server.initialize(cluster.newDatabase()), qPrintable(server.initErrorText()));
        for (const char* statement : kJournal)
            QVERIFY2(server.execNonQuery(QString::fromUtf8(statement)), statement);
        const auto kept = dayTotals(&server);
        QVERIFY(!kept.isEmpty());
        QVERIFY(server.execNonQuery(QStringLiteral("DELETE FROM ledger_day_totals")));
        for (const QString& statement : LedgerTotals::serverStatements()) {
            if (!statement.startsWith(QLatin1String("CREATE")))
                QVERIFY2(server.execNonQuery(statement), qPrintable(statement));
        }
        QCOMPARE(dayTotals(&server), kept);
    }
};

QTEST_GUILESS_MAIN(TestPgLedgerTotals)
#include "tst_pgledgertotals.moc"
