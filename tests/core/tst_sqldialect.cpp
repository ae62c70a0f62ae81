#include "PgCluster.h"
#include "TestDatabase.h"

#include "core/Database.h"
#include "core/SqlDialect.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <QtTest>

#include <ctime>
#include <memory>

using Engine = DatabaseSettings::Engine;

// Each engine-specific spelling must give the same answer on both engines.
class TestSqlDialect : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PgCluster> m_cluster;
    std::unique_ptr<TestDatabase> m_file;
    std::unique_ptr<Database> m_server;

    QList<Database*> engines() const { return {m_file->db(), m_server.get()}; }
    static QString name(Database* db) { return db->isPostgres() ? "PostgreSQL" : "SQLite"; }

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>();
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->errorText()));
        m_file = std::make_unique<TestDatabase>(DatabaseSettings::Engine::SQLite);
        QVERIFY(m_file->isOpen());
        m_server = std::make_unique<Database>();
        QVERIFY2(m_server->initialize(m_cluster->newDatabase()),
                 qPrintable(m_server->initErrorText()));
    }

    void cleanupTestCase()
    {
        m_server.reset();
        m_cluster.reset();
    }

    void addDays_data()
    {
        QTest::addColumn<QString>("day");
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("expected");
        QTest::newRow("into the next month") << "2026-01-30" << 3 << "2026-02-02";
        QTest::newRow("leap day") << "2028-02-28" << 1 << "2028-02-29";
        QTest::newRow("no leap day") << "2026-02-28" << 1 << "2026-03-01";
        QTest::newRow("back over the new year") << "2027-01-02" << -5 << "2026-12-28";
        QTest::newRow("the same day") << "2026-07-15" << 0 << "2026-07-15";
        QTest::newRow("a year of days") << "2026-03-01" << 365 << "2027-03-01";
    }

    void addDays()
    {
        QFETCH(QString, day);
        QFETCH(int, days);
        QFETCH(QString, expected);
        for (Database* db : engines()) {
            const QString sql =
                QStringLiteral("SELECT ") + SqlDialect::addDays(db->engine(), "?", "?");
            QCOMPARE(db->scalar(sql, {day, days}).toString() + " " + name(db),
                     expected + " " + name(db));
        }
    }

    void holds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<bool>("expected");
        QTest::newRow("Arabic inside a name") << "شركة البناء الحديث"
                                              << "البناء" << true;
        QTest::newRow("Arabic absent") << "شركة البناء الحديث"
                                       << "الدهان" << false;
        QTest::newRow("case counts") << "Cement Ltd"
                                     << "cement" << false;
        QTest::newRow("percent is no wildcard") << "خصم 10%"
                                                << "1%" << false;
        QTest::newRow("underscore is no wildcard") << "INV_7"
                                                   << "INV-" << false;
        QTest::newRow("percent found as itself") << "خصم 10%"
                                                 << "0%" << true;
    }

    void holds()
    {
        QFETCH(QString, text);
        QFETCH(QString, needle);
        QFETCH(bool, expected);
        for (Database* db : engines()) {
            const QString sql = QStringLiteral("SELECT CASE WHEN %1 THEN 1 ELSE 0 END")
                                    .arg(SqlDialect::holds(db->engine(), "CAST(? AS TEXT)", "?"));
            QCOMPARE(db->scalar(sql, {text, needle}).toInt() == 1 ? name(db) : QString(),
                     expected ? name(db) : QString());
        }
    }

    void greatestPicksTheLargerAmount()
    {
        // What a reopened cheque leaves paid: never below nothing.
        for (Database* db : engines()) {
            const QString larger =
                SqlDialect::greatest(db->engine(), "0", "ROUND(CAST(? AS NUMERIC) - 120.5, 2)");
            const QVariantList rows = db->execQuery(
                QStringLiteral("SELECT %1 AS low, %1 AS high").arg(larger), {100.25, 130.75});
            QCOMPARE(rows.size(), 1);
            const QVariantMap row = rows.first().toMap();
            QCOMPARE(row.value("low").toDouble(), 0.0);
            QCOMPARE(row.value("high").toDouble(), 10.25);
        }
    }

    // A stored UTC moment reads as the desk's own day: near midnight either
    // side, the day Qt gives for the same moment in local time.
    void localDayOfAStoredMoment_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("just after midnight UTC") << "2024-03-01 00:30:00";
        QTest::newRow("just before midnight UTC") << "2024-02-29 23:30:00";
        QTest::newRow("midday, end of year") << "2025-12-31 12:00:00";
    }
    void localDayOfAStoredMoment()
    {
        QFETCH(QString, stored);
        QDateTime moment = QDateTime::fromString(stored, "yyyy-MM-dd HH:mm:ss");
        moment.setTimeZone(QTimeZone::utc());
        const QString expected = moment.toLocalTime().date().toString(Qt::ISODate);
        for (Database* db : engines()) {
            const QVariantList rows = db->execQuery(
                QStringLiteral("SELECT %1 AS d FROM (SELECT CAST(? AS TEXT) AS created_at) AS x")
                    .arg(SqlDialect::localDay(db->engine(), "x.created_at")),
                {stored});
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.first().toMap().value("d").toString(), expected);
        }
    }

    // A server left in its own zone (often UTC) put a payment written at
    // 00:30 in Amman on the day before; each session takes the desk's zone.
    void regressionServerSessionTakesTheDesksTimeZone()
    {
        const QByteArray before = qgetenv("TZ");
        qputenv("TZ", "Asia/Amman");
        tzset();
        Database desk;
        const bool opened = desk.initialize(m_cluster->newDatabase());
        const QVariantList rows =
            opened ? desk.execQuery(QStringLiteral("SELECT current_setting('TimeZone') AS zone, "
                                                   "%1 AS d FROM (SELECT CAST(? AS TEXT) AS "
                                                   "created_at) AS x")
                                        .arg(SqlDialect::localDay(desk.engine(), "x.created_at")),
                                    {QStringLiteral("2026-03-01 22:30:00")})
                   : QVariantList();
        if (before.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", before);
        tzset();
        QVERIFY2(opened, qPrintable(desk.initErrorText()));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().toMap().value("zone").toString(), QStringLiteral("Asia/Amman"));
        QCOMPARE(rows.first().toMap().value("d").toString(), QStringLiteral("2026-03-02"));
    }

    // The leading join keeps the ON condition's meaning on both engines:
    // only matching pairs, an unmatched row on either side dropped.
    void leadingJoinKeepsOnlyMatchingRows()
    {
        for (Database* db : engines()) {
            const QVariantList rows = db->execQuery(
                QStringLiteral("SELECT a.n AS n, b.name AS name FROM (SELECT 1 AS n UNION ALL "
                               "SELECT 2 UNION ALL SELECT 3) AS a %1 (SELECT 2 AS n, 'شقة' AS "
                               "name UNION ALL SELECT 3, 'مخزن' UNION ALL SELECT 4, 'مكتب') AS b "
                               "ON b.n=a.n ORDER BY a.n")
                    .arg(SqlDialect::leadingJoin(db->engine())));
            QStringList seen;
            for (const QVariant& row : rows)
                seen << row.toMap().value("n").toString() + ":" +
                            row.toMap().value("name").toString();
            QCOMPARE(seen, (QStringList{"2:شقة", "3:مخزن"}));
        }
    }

    void nowAndTodayAreUtcText()
    {
        const QRegularExpression moment(
            QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$"));
        for (Database* db : engines()) {
            const QVariantList rows = db->execQuery(
                QStringLiteral("SELECT %1 AS now, %2 AS today")
                    .arg(SqlDialect::now(db->engine()), SqlDialect::today(db->engine())));
            QCOMPARE(rows.size(), 1);
            const QString now = rows.first().toMap().value("now").toString();
            const QString today = rows.first().toMap().value("today").toString();
            QVERIFY2(moment.match(now).hasMatch(), qPrintable(name(db) + ": " + now));
            QCOMPARE(today, now.left(10));
            QDateTime stored = QDateTime::fromString(now, "yyyy-MM-dd HH:mm:ss");
            QVERIFY(stored.isValid());
            stored.setTimeZone(QTimeZone::utc());
            // The same moment as the clock here, give or take a minute (the
            // server's is its transaction's start): UTC on both, not local.
            QVERIFY2(qAbs(stored.secsTo(QDateTime::currentDateTimeUtc())) < 60,
                     qPrintable(name(db) + ": " + now));
        }
    }

    void stringAggJoinsArabicText()
    {
        for (Database* db : engines()) {
            const QString sql = QStringLiteral("SELECT %1 FROM (SELECT 'شقة' AS v UNION ALL SELECT "
                                               "'مكتب' UNION ALL SELECT 'محل') AS t")
                                    .arg(SqlDialect::stringAgg(db->engine(), "v", "، "));
            QStringList parts = db->scalar(sql).toString().split(QStringLiteral("، "));
            parts.sort();
            QCOMPARE(parts, (QStringList{"شقة", "محل", "مكتب"}));
            const QString numbers = QStringLiteral("SELECT %1 FROM (SELECT 7 AS n) AS t")
                                        .arg(SqlDialect::stringAgg(db->engine(), "n", "'"));
            QCOMPARE(db->scalar(numbers).toString(), QStringLiteral("7"));
        }
    }

    void upsertReplacesAndInsertOrIgnoreKeeps()
    {
        for (Database* db : engines()) {
            const QString key = QStringLiteral("dialect_") + name(db);
            const QString upsert =
                SqlDialect::upsert(db->engine(), "settings", {"key", "value"}, {"key"});
            QVERIFY(db->execNonQuery(upsert, {key, QStringLiteral("الأولى")}));
            QVERIFY(db->execNonQuery(upsert, {key, QStringLiteral("الثانية")}));
            const QString ignore =
                SqlDialect::insertOrIgnore(db->engine(), "settings", {"key", "value"});
            QVERIFY(db->execNonQuery(ignore, {key, QStringLiteral("الثالثة")}));
            QCOMPARE(db->scalar("SELECT value FROM settings WHERE key=?", {key}).toString(),
                     QStringLiteral("الثانية"));
            QCOMPARE(db->scalar("SELECT COUNT(*) FROM settings WHERE key=?", {key}).toInt(), 1);
        }
    }

    void returningIdGivesTheNewRow()
    {
        for (Database* db : engines()) {
            const QString insert = SqlDialect::returningId(
                db->engine(), QStringLiteral("INSERT INTO services (name) VALUES (?);"));
            const int id = db->execInsert(insert, {QStringLiteral("كهرباء")});
            QVERIFY2(id > 0, qPrintable(name(db)));
            QCOMPARE(db->scalar("SELECT name FROM services WHERE id=?", {id}).toString(),
                     QStringLiteral("كهرباء"));
        }
    }
};

QTEST_GUILESS_MAIN(TestSqlDialect)
#include "tst_sqldialect.moc"
