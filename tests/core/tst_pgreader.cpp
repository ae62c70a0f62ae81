#include "PgCluster.h"

#include "core/Database.h"
#include "core/PgReader.h"
#include "core/TransactionGuard.h"

#include <QDate>
#include <QSignalSpy>
#include <QSqlDriver>
#include <QtTest>

#include <libpq-fe.h>

#include <memory>

// Reads on the server through libpq's kept statements: the values the pages
// get, the parameters they send, and what a kept statement does when the
// connection's state around it changes.
class TestPgReader : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PgCluster> m_cluster;
    std::unique_ptr<Database> m_db;

    PGconn* handle() const
    {
        const QVariant h = m_db->connection().driver()->handle();
        return *static_cast<PGconn* const*>(h.constData());
    }

    // How many statements the session has prepared under the reader's names.
    int keptOnServer() const
    {
        return m_db
            ->scalar(QStringLiteral("SELECT COUNT(*) FROM pg_prepared_statements "
                                    "WHERE name LIKE 'sakanova_read_%'"))
            .toInt();
    }

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>();
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->errorText()));
        m_db = std::make_unique<Database>();
        QVERIFY2(m_db->initialize(m_cluster->newDatabase()), qPrintable(m_db->initErrorText()));
        QVERIFY(m_db->execNonQuery(QStringLiteral(
            "CREATE TABLE reader_rows (id SERIAL PRIMARY KEY, name TEXT, amount NUMERIC, "
            "small SMALLINT, big BIGINT, ratio DOUBLE PRECISION, done BOOLEAN, day DATE)")));
        QVERIFY(m_db->execNonQuery(
            QStringLiteral("INSERT INTO reader_rows (name, amount, small, big, ratio, done, day) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?)"),
            {QStringLiteral("شقة الطابق الثالث"), 1250.75, 3, qlonglong(9000000000LL), 0.125, true,
             QStringLiteral("2026-03-01")}));
        QVERIFY(m_db->execNonQuery(
            QStringLiteral("INSERT INTO reader_rows (name, amount, small, big, ratio, done, day) "
                           "VALUES (NULL, NULL, NULL, NULL, NULL, false, NULL)")));
    }

    void cleanupTestCase()
    {
        m_db.reset();
        m_cluster.reset();
    }

    void numbered_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");
        QTest::newRow("markers in order") << "SELECT a FROM t WHERE b=? AND c>?"
                                          << "SELECT a FROM t WHERE b=$1 AND c>$2";
        QTest::newRow("a mark inside a string stays") << "SELECT '?' || name FROM t WHERE id=?"
                                                      << "SELECT '?' || name FROM t WHERE id=$1";
        QTest::newRow("a doubled quote inside a string") << "SELECT 'it''s ?' WHERE x=?"
                                                         << "SELECT 'it''s ?' WHERE x=$1";
        QTest::newRow("a quoted name") << "SELECT \"a?b\" FROM t WHERE id=?"
                                       << "SELECT \"a?b\" FROM t WHERE id=$1";
        QTest::newRow("a backslash string") << "SELECT E'\\'?' WHERE a=?"
                                            << "SELECT E'\\'?' WHERE a=$1";
        QTest::newRow("comments") << "SELECT 1 -- why?\nWHERE a=? /* or ? */ AND b=?"
                                  << "SELECT 1 -- why?\nWHERE a=$1 /* or ? */ AND b=$2";
        QTest::newRow("Arabic text before a mark") << "SELECT 'دفعة؟' WHERE a=?"
                                                   << "SELECT 'دفعة؟' WHERE a=$1";
    }

    void numbered()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromUtf8(PgReader::numbered(sql)), expected);
    }

    void isRead_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("read");
        QTest::newRow("select") << "  select 1" << true;
        QTest::newRow("with a select") << "WITH x AS (SELECT 1) SELECT * FROM x" << true;
        QTest::newRow("with an update")
            << "WITH x AS (UPDATE t SET a=1 RETURNING id) SELECT * FROM x" << false;
        QTest::newRow("insert") << "INSERT INTO t VALUES (1)" << false;
        QTest::newRow("set") << "SET TimeZone TO 'UTC'" << false;
    }

    void isRead()
    {
        QFETCH(QString, sql);
        QFETCH(bool, read);
        QCOMPARE(PgReader::isRead(sql), read);
    }

    // Every column type the pages read gives what the QtSql path gave, but
    // booleans and bigints, which come back as the file gives them.
    void valuesMatchQtSql()
    {
        const QString sql = QStringLiteral(
            "SELECT id, name, amount, small, big, ratio, done, day, COUNT(*) OVER () AS n "
            "FROM reader_rows ORDER BY id");
        const QVariantList kept = m_db->execQuery(sql);
        m_db->keepServerReads(false);
        const QVariantList qtSql = m_db->execQuery(sql);
        m_db->keepServerReads(true);
        QCOMPARE(kept.size(), 2);
        QCOMPARE(qtSql.size(), 2);
        for (int row = 0; row < 2; ++row) {
            const QVariantMap a = kept.at(row).toMap();
            const QVariantMap b = qtSql.at(row).toMap();
            QCOMPARE(a.keys(), b.keys());
            for (const QString& column : a.keys()) {
                const QByteArray where = QStringLiteral("row %1, %2").arg(row).arg(column).toUtf8();
                QVERIFY2(a.value(column).isNull() == b.value(column).isNull(), where.constData());
                if (column == QLatin1String("done"))
                    continue;
                // QtSql gives a bigint that is not negative as qulonglong;
                // the reader gives qlonglong, as the file gives integers.
                if (column == QLatin1String("big") || column == QLatin1String("n")) {
                    QVERIFY2(a.value(column).isNull() ||
                                 a.value(column).typeId() == QMetaType::LongLong,
                             where.constData());
                    QVERIFY2(a.value(column).toLongLong() == b.value(column).toLongLong(),
                             where.constData());
                    continue;
                }
                QVERIFY2(
                    a.value(column).typeId() == b.value(column).typeId(),
                    (where + " " + a.value(column).typeName() + " " + b.value(column).typeName())
                        .constData());
                QVERIFY2(a.value(column) == b.value(column), where.constData());
            }
        }
        const QVariantMap first = kept.first().toMap();
        QCOMPARE(first.value("name").toString(), QStringLiteral("شقة الطابق الثالث"));
        QCOMPARE(first.value("amount").toDouble(), 1250.75);
        QCOMPARE(first.value("big").toLongLong(), 9000000000LL);
        QCOMPARE(first.value("day").toDate(), QDate(2026, 3, 1));
        QCOMPARE(first.value("done"), QVariant(qlonglong(1)));
        QCOMPARE(kept.last().toMap().value("done"), QVariant(qlonglong(0)));
        QCOMPARE(first.value("n").typeId(), QMetaType::LongLong);
    }

    void parameters_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariantList>("params");
        QTest::addColumn<int>("expectedId");
        QTest::newRow("Arabic text") << "SELECT id FROM reader_rows WHERE name = ?"
                                     << QVariantList{QStringLiteral("شقة الطابق الثالث")} << 1;
        QTest::newRow("Arabic inside ILIKE") << "SELECT id FROM reader_rows WHERE name ILIKE ?"
                                             << QVariantList{QStringLiteral("%الطابق%")} << 1;
        QTest::newRow("a fraction")
            << "SELECT id FROM reader_rows WHERE amount = ?" << QVariantList{1250.75} << 1;
        QTest::newRow("a boolean to a boolean column")
            << "SELECT id FROM reader_rows WHERE done = ?" << QVariantList{false} << 2;
        QTest::newRow("a boolean to an integer")
            << "SELECT id FROM reader_rows WHERE small = ? + 2" << QVariantList{true} << 1;
        QTest::newRow("a null")
            << "SELECT id FROM reader_rows WHERE name IS NOT DISTINCT FROM CAST(? AS TEXT)"
            << QVariantList{QVariant(QMetaType::fromType<QString>())} << 2;
        QTest::newRow("a date") << "SELECT id FROM reader_rows WHERE day = ?"
                                << QVariantList{QDate(2026, 3, 1)} << 1;
        QTest::newRow("a big number") << "SELECT id FROM reader_rows WHERE big = ?"
                                      << QVariantList{qlonglong(9000000000LL)} << 1;
    }

    void parameters()
    {
        QFETCH(QString, sql);
        QFETCH(QVariantList, params);
        QFETCH(int, expectedId);
        QCOMPARE(m_db->scalar(sql, params).toInt(), expectedId);
    }

    void statementKeptAndReused()
    {
        PgReader reader;
        reader.attach(handle());
        const QString sql = QStringLiteral("SELECT name FROM reader_rows WHERE id = ?");
        QVariant value;
        QCOMPARE(reader.readValue(sql, {1}, value), SqlReader::Status::Done);
        QCOMPARE(value.toString(), QStringLiteral("شقة الطابق الثالث"));
        QCOMPARE(reader.readValue(sql, {2}, value), SqlReader::Status::Done);
        QVERIFY(value.isNull());
        QCOMPARE(reader.keptStatements(), 1);
        // Once more through the window's connection: one statement on the
        // server for the text, however often it runs.
        const int before = keptOnServer();
        for (int i = 0; i < 3; ++i)
            m_db->scalar(QStringLiteral("SELECT small FROM reader_rows WHERE id = ?"), {1});
        QCOMPARE(keptOnServer(), before + 1);
    }

    void errorReported()
    {
        PgReader reader;
        reader.attach(handle());
        QVariantList rows;
        QCOMPARE(
            reader.readMaps(QStringLiteral("SELECT no_such_column FROM reader_rows"), {}, rows),
            SqlReader::Status::Failed);
        QVERIFY2(reader.errorText().contains(QLatin1String("42703")),
                 qPrintable(reader.errorText()));
        QVERIFY(rows.isEmpty());
        // Through the database it is announced, and the connection reads on.
        QSignalSpy errors(m_db.get(), &Database::databaseError);
        QVERIFY(
            m_db->execQuery(QStringLiteral("SELECT no_such_column FROM reader_rows")).isEmpty());
        QCOMPARE(errors.count(), 1);
        QVERIFY(!m_db->serverLost());
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM reader_rows")).toInt(), 2);
        // A statement that writes is left to QtSql.
        QCOMPARE(reader.readMaps(QStringLiteral("DELETE FROM reader_rows"), {}, rows),
                 SqlReader::Status::NotARead);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM reader_rows")).toInt(), 2);
    }

    void readsSeeTheOpenTransaction()
    {
        const QString sql = QStringLiteral("SELECT COUNT(*) FROM reader_rows WHERE name = ?");
        const QString name = QStringLiteral("مستودع الميناء");
        {
            TransactionGuard tx(m_db.get());
            QVERIFY(m_db->execNonQuery(QStringLiteral("INSERT INTO reader_rows (name) VALUES (?)"),
                                       {name}));
            QCOMPARE(m_db->scalar(sql, {name}).toInt(), 1);
            SqlReader::Rows rows;
            QVERIFY(m_db->readRows(
                QStringLiteral("SELECT id, name FROM reader_rows WHERE name = ?"), {name}, rows));
            QCOMPARE(rows.rows.size(), 1);
            QCOMPARE(rows.columns, QStringList({"id", "name"}));
            // Left without commit: rolled back.
        }
        // The statement prepared inside the rolled-back transaction is kept.
        QCOMPARE(m_db->scalar(sql, {name}).toInt(), 0);
    }

    // A kept statement whose table changed shape since it was prepared is
    // prepared again instead of failing every later read.
    void regressionKeptStatementAfterTableChange()
    {
        const QString sql = QStringLiteral("SELECT * FROM reader_rows WHERE id = ?");
        QCOMPARE(m_db->execQuery(sql, {1}).first().toMap().size(), 8);
        QVERIFY(m_db->execNonQuery(
            QStringLiteral("ALTER TABLE reader_rows ADD COLUMN note TEXT DEFAULT 'ملاحظة'")));
        const QVariantList rows = m_db->execQuery(sql, {1});
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().toMap().value("note").toString(), QStringLiteral("ملاحظة"));
        QVERIFY(m_db->execNonQuery(QStringLiteral("ALTER TABLE reader_rows DROP COLUMN note")));
    }

    // Opening the connection again forgets the statements kept on the old
    // one, which the server dropped with it.
    void keptStatementsAfterReconnect()
    {
        const QString sql = QStringLiteral("SELECT name FROM reader_rows WHERE id = ?");
        QCOMPARE(m_db->scalar(sql, {1}).toString(), QStringLiteral("شقة الطابق الثالث"));
        QVERIFY(m_db->reconnect());
        QCOMPARE(m_db->scalar(sql, {1}).toString(), QStringLiteral("شقة الطابق الثالث"));
    }
};

QTEST_GUILESS_MAIN(TestPgReader)
#include "tst_pgreader.moc"
