#include "PgCluster.h"
#include "TestDatabase.h"

#include "core/ChangeFeed.h"
#include "core/Database.h"
#include "core/TransactionGuard.h"

#include <QtTest>

#include <memory>

namespace {

std::unique_ptr<Database> openDesk(const DatabaseSettings& settings)
{
    auto db = std::make_unique<Database>();
    if (!db->initialize(settings))
        qWarning() << "desk failed to open:" << db->initErrorText();
    return db;
}

int addTenant(Database* db, const QString& name)
{
    return db->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"), {name});
}

// Long enough for an announcement to arrive and its gathering to end.
void settle()
{
    QTest::qWait(3 * ChangeFeed::kGatherMs + 300);
}

} // namespace

// Another desk's committed writes reach the followers of the tables they
// touched, once per gathering; this desk's own writes and anything rolled
// back do not.
class TestChangeFeed : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PgCluster> m_cluster;
    DatabaseSettings m_settings;
    std::unique_ptr<Database> m_here;
    std::unique_ptr<Database> m_there;
    std::unique_ptr<ChangeFeed> m_feed;
    QObject m_context;
    QHash<QString, int> m_calls;

    void followAs(const QString& name, const QStringList& tables)
    {
        m_feed->follow(tables, &m_context, [this, name] { ++m_calls[name]; });
    }

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>();
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->errorText()));
        m_settings = m_cluster->newDatabase();
        m_here = openDesk(m_settings);
        m_there = openDesk(m_settings);
        QVERIFY(m_here->connection().isOpen() && m_there->connection().isOpen());
        m_feed = std::make_unique<ChangeFeed>(m_here.get());
        QVERIFY(m_feed->subscribe());
        followAs(QStringLiteral("tenants"), {QStringLiteral("tenants")});
        followAs(QStringLiteral("invoices"), {QStringLiteral("invoices")});
        followAs(QStringLiteral("people"), {QStringLiteral("tenants"), QStringLiteral("buyers")});
    }

    void init()
    {
        settle();
        m_calls.clear();
    }

    void cleanupTestCase()
    {
        m_feed.reset();
        m_here.reset();
        m_there.reset();
        m_cluster.reset();
    }

    void everyTableOfTheBooksAnnouncesItsChanges()
    {
        // A table added later without its trigger would leave pages stale
        // on the other desks.
        const QVariantList silent = m_here->execQuery(QStringLiteral(
            "SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
            "WHERE n.nspname = current_schema() AND c.relkind = 'r' AND c.relname NOT IN "
            "('schema_migrations', 'app_log', 'login_failures') AND NOT EXISTS (SELECT 1 FROM "
            "pg_trigger g WHERE g.tgrelid = c.oid AND g.tgname = 'sakanova_announce')"));
        QStringList names;
        for (const QVariant& row : silent)
            names << row.toMap().value(QStringLiteral("relname")).toString();
        QVERIFY2(names.isEmpty(), qPrintable(names.join(QLatin1Char(','))));
        QVERIFY(m_here
                    ->scalar(QStringLiteral("SELECT COUNT(*) FROM pg_trigger WHERE tgname = "
                                            "'sakanova_announce'"))
                    .toInt() > 20);
    }

    void committedWriteReachesFollowersOfItsTables_data()
    {
        QTest::addColumn<QString>("insert");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<int>("tenantCalls");
        QTest::addColumn<int>("peopleCalls");
        QTest::newRow("a tenant") << "INSERT INTO tenants (full_name) VALUES (?)"
                                  << QVariantList{QStringLiteral("منى سالم")} << 1 << 1;
        QTest::newRow("a buyer") << "INSERT INTO buyers (full_name) VALUES (?)"
                                 << QVariantList{QStringLiteral("عادل فهد")} << 0 << 1;
        QTest::newRow("a property") << "INSERT INTO properties (name) VALUES (?)"
                                    << QVariantList{QStringLiteral("عمارة النخيل")} << 0 << 0;
    }
    void committedWriteReachesFollowersOfItsTables()
    {
        QFETCH(QString, insert);
        QFETCH(QVariantList, values);
        QFETCH(int, tenantCalls);
        QFETCH(int, peopleCalls);
        QSignalSpy delivered(m_feed.get(), &ChangeFeed::tablesChanged);
        QVERIFY(m_there->execInsert(insert, values) > 0);
        QTRY_COMPARE_WITH_TIMEOUT(delivered.count(), 1, 2000);
        settle();
        QCOMPARE(m_calls.value(QStringLiteral("tenants")), tenantCalls);
        QCOMPARE(m_calls.value(QStringLiteral("people")), peopleCalls);
        QCOMPARE(m_calls.value(QStringLiteral("invoices")), 0);
    }

    void burstOfCommitsRefreshesOncePerGathering()
    {
        QSignalSpy delivered(m_feed.get(), &ChangeFeed::tablesChanged);
        const int commits = 30;
        for (int i = 0; i < commits; ++i) {
            TransactionGuard tx(m_there.get());
            QVERIFY(addTenant(m_there.get(), QStringLiteral("مستأجر %1").arg(i)) > 0);
            QVERIFY(addTenant(m_there.get(), QStringLiteral("شريك %1").arg(i)) > 0);
            QVERIFY(tx.commit());
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_calls.value(QStringLiteral("tenants")) > 0, 2000);
        settle();
        // Sixty rows in thirty commits: a handful of refreshes at most.
        QVERIFY2(m_calls.value(QStringLiteral("tenants")) <= commits / 5,
                 qPrintable(QString::number(m_calls.value(QStringLiteral("tenants")))));
        QCOMPARE(delivered.last().first().toStringList(), QStringList{QStringLiteral("tenants")});
    }

    void ownAndRolledBackWritesAreNotAnnounced()
    {
        // This desk's own write refreshed its pages through its models.
        QVERIFY(addTenant(m_here.get(), QStringLiteral("هنا")) > 0);
        {
            TransactionGuard tx(m_there.get());
            QVERIFY(addTenant(m_there.get(), QStringLiteral("يتراجع")) > 0);
        }
        settle();
        QCOMPARE(m_calls.value(QStringLiteral("tenants")), 0);
        QCOMPARE(m_calls.value(QStringLiteral("people")), 0);
    }

    void followerWhoseContextIsGoneIsSkipped()
    {
        auto context = std::make_unique<QObject>();
        int calls = 0;
        m_feed->follow({QStringLiteral("buyers")}, context.get(), [&calls] { ++calls; });
        context.reset();
        QVERIFY(m_there->execInsert(QStringLiteral("INSERT INTO buyers (full_name) VALUES (?)"),
                                    {QStringLiteral("نور")}) > 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_calls.value(QStringLiteral("people")), 1, 2000);
        QCOMPARE(calls, 0);
    }

    void reloadAfterReconnectReachesEveryFollower()
    {
        m_feed->refreshAll();
        QCOMPARE(m_calls.value(QStringLiteral("tenants")), 1);
        QCOMPARE(m_calls.value(QStringLiteral("invoices")), 1);
        QCOMPARE(m_calls.value(QStringLiteral("people")), 1);
    }

    void sqliteFileHasNoOtherDesks()
    {
        TestDatabase file(DatabaseSettings::Engine::SQLite);
        ChangeFeed feed(file.db());
        QVERIFY(!feed.subscribe());
        QVERIFY(!feed.isListening());
    }
};

QTEST_GUILESS_MAIN(TestChangeFeed)
#include "tst_changefeed.moc"
