#include "PgCluster.h"
#include "TestDatabase.h"

#include "core/ChangeFeed.h"
#include "core/Database.h"
#include "core/Reasons.h"
#include "core/ServerLink.h"
#include "core/TransactionGuard.h"
#include "rental/TenantModel.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::unique_ptr<Database> openDesk(const DatabaseSettings& settings)
{
    auto db = std::make_unique<Database>();
    if (!db->initialize(settings))
        qWarning() << "desk failed to open:" << db->initErrorText();
    return db;
}

// -1 when the count cannot be read at all.
int tenantsNamed(Database* db, const QString& name)
{
    const QVariant count =
        db->scalar(QStringLiteral("SELECT COUNT(*) FROM tenants WHERE full_name=?"), {name});
    return count.isValid() ? count.toInt() : -1;
}

} // namespace

// A desk whose server goes away: it says so, refuses every write whole with
// the reason, keeps trying with longer and longer pauses, and once the
// server is back listens again and reloads its pages.
class TestServerLink : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PgCluster> m_cluster;
    DatabaseSettings m_settings;
    QString m_admin = QStringLiteral("serverlink_admin");

    // Run on the server's own maintenance database, as its administrator
    // would: the desks' database is never named from input.
    bool admin(const QString& sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_admin));
        if (query.exec(sql))
            return true;
        qWarning() << sql << query.lastError().text();
        return false;
    }

    // Cuts every session on the desks' database; with `keepOut` new ones are
    // turned away too until letIn().
    bool cut(bool keepOut)
    {
        return (!keepOut || admin(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS false")
                                      .arg(m_settings.database))) &&
               admin(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                    "WHERE datname = '%1'")
                         .arg(m_settings.database));
    }
    bool letIn()
    {
        return admin(
            QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS true").arg(m_settings.database));
    }

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>();
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->errorText()));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_admin);
        db.setHostName(m_cluster->host());
        db.setPort(m_cluster->port());
        db.setDatabaseName(QStringLiteral("postgres"));
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    }

    void init() { m_settings = m_cluster->newDatabase(); }

    void cleanupTestCase()
    {
        QSqlDatabase::database(m_admin).close();
        QSqlDatabase::removeDatabase(m_admin);
        m_cluster.reset();
    }

    void lostServerRefusesWritesUntilItIsBack()
    {
        auto here = openDesk(m_settings);
        ChangeFeed feed(here.get());
        int reloads = 0;
        feed.follow({QStringLiteral("tenants")}, this, [&reloads] { ++reloads; });
        QVERIFY(feed.subscribe());
        ServerLink link(here.get(), &feed);
        link.setTimings(100, 50, 400);
        QSignalSpy back(&link, &ServerLink::reconnected);
        TenantModel tenants(here.get());
        QVERIFY(link.reachable());
        QVERIFY(link.message().isEmpty());

        QVERIFY(cut(true));
        // Found out by the idle check, without a write.
        QTRY_VERIFY_WITH_TIMEOUT(!link.reachable(), 3000);
        QCOMPARE(link.message(), Reasons::serverReconnecting());
        QVERIFY(here->serverLost());

        // Every write is refused with the reason, before reaching the server.
        QCOMPARE(tenants.add(QStringLiteral("سلمى حداد"), {}, {}, {}, {}), -1);
        QCOMPARE(tenants.lastError(), Reasons::serverUnreachable());
        {
            TransactionGuard tx(here.get());
            QVERIFY(!tx.isActive());
        }
        QCOMPARE(here->transactionDepth(), 0);

        // The pauses between attempts grow, to the longest.
        QTRY_COMPARE_WITH_TIMEOUT(link.retryDelayMs(), 400, 5000);
        QVERIFY(!link.reachable());
        QCOMPARE(back.count(), 0);

        QVERIFY(letIn());
        QTRY_VERIFY_WITH_TIMEOUT(link.reachable(), 5000);
        QCOMPARE(back.count(), 1);
        QVERIFY(link.message().isEmpty());
        QCOMPARE(reloads, 1);
        QVERIFY(feed.isListening());

        // Writes go through again, and the other desks are heard again.
        QVERIFY(tenants.add(QStringLiteral("سلمى حداد"), {}, {}, {}, {}) > 0);
        QCOMPARE(tenantsNamed(here.get(), QStringLiteral("سلمى حداد")), 1);
        auto there = openDesk(m_settings);
        QVERIFY(there->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                  {QStringLiteral("وليد عمر")}) > 0);
        QTRY_COMPARE_WITH_TIMEOUT(reloads, 2, 2000);
    }

    void regressionWriteCutHalfwayLeavesNothing()
    {
        auto here = openDesk(m_settings);
        ChangeFeed feed(here.get());
        ServerLink link(here.get(), &feed);
        link.setTimings(60000, 50, 400);
        QSignalSpy back(&link, &ServerLink::reconnected);
        TenantModel tenants(here.get());
        {
            TransactionGuard tx(here.get());
            QVERIFY(tx.isActive());
            QVERIFY(here->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                     {QStringLiteral("نصف كتابة")}) > 0);
            QVERIFY(cut(false));
            // The rest of the write meets the broken connection.
            QCOMPARE(here->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                      {QStringLiteral("نصف كتابة")}),
                     -1);
            QVERIFY(here->serverLost());
            QVERIFY(!tx.commit());
        }
        QCOMPARE(here->transactionDepth(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(back.count(), 1, 5000);
        QVERIFY(link.reachable());
        QVERIFY(!here->serverLost());
        QCOMPARE(tenantsNamed(here.get(), QStringLiteral("نصف كتابة")), 0);
        // Nothing of the old session's lock is left to block the next write.
        TransactionGuard next(here.get());
        QVERIFY(next.isActive());
        QVERIFY(tenants.add(QStringLiteral("بعد العودة"), {}, {}, {}, {}) > 0);
        QVERIFY(next.commit());
        QCOMPARE(tenantsNamed(here.get(), QStringLiteral("بعد العودة")), 1);
    }

    void regressionRefusedStatementIsNotALostServer()
    {
        // A statement the server refuses leaves the connection working: it
        // must not stop the desk's writes as if the server had gone.
        auto here = openDesk(m_settings);
        ChangeFeed feed(here.get());
        ServerLink link(here.get(), &feed);
        QVERIFY(!here->execNonQuery(QStringLiteral("UPDATE no_such_table SET x = ?"), {1}));
        QVERIFY(here->execQuery(QStringLiteral("SELECT no_such_column FROM tenants")).isEmpty());
        SqlReader::Rows rows;
        QVERIFY(!here->readRows(QStringLiteral("SELECT * FROM tenants WHERE id = 'x'"), {}, rows));
        QTest::qWait(50);
        QVERIFY(!here->serverLost());
        QVERIFY(link.reachable());
        QVERIFY(here->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                 {QStringLiteral("رفض ثم قبول")}) > 0);
        QCOMPARE(tenantsNamed(here.get(), QStringLiteral("رفض ثم قبول")), 1);
    }

    void regressionSilentServerDoesNotHoldTheCaller()
    {
        // A host that takes the connection and then says nothing, as a
        // server behind a dead link does until the connect timeout.
        // Nothing accepts: the system completes the connection and keeps it
        // waiting in the queue.
        const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(silent >= 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        QVERIFY(::bind(silent, reinterpret_cast<sockaddr*>(&address), length) == 0);
        QVERIFY(::listen(silent, 4) == 0);
        QVERIFY(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length) == 0);
        DatabaseSettings settings = m_settings;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = ntohs(address.sin_port);
        QList<bool> answers;
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&ticks] { ++ticks; });
        tick.start(20);
        QElapsedTimer clock;
        clock.start();
        const std::unique_ptr<QThread> thread =
            ServerLink::probe(settings, this, [&answers](bool answered) { answers << answered; });
        QVERIFY2(clock.elapsed() < 50, qPrintable(QString::number(clock.elapsed())));
        // The caller's thread keeps turning while the trial waits.
        QTest::qWait(400);
        QVERIFY(answers.isEmpty());
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QVERIFY(thread->isRunning());
        // The host hangs up: the trial ends and says the server is not there.
        ::close(silent);
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 15000);
        QCOMPARE(answers.first(), false);
        QVERIFY(thread->wait(5000));

        // The real server answers the same trial.
        const std::unique_ptr<QThread> good =
            ServerLink::probe(m_settings, this, [&answers](bool answered) { answers << answered; });
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 2, 15000);
        QCOMPARE(answers.last(), true);
        QVERIFY(good->wait(5000));
    }

    void keptWritesArePreparedOnceAndNotCarriedOverALostSession()
    {
        auto here = openDesk(m_settings);
        ChangeFeed feed(here.get());
        ServerLink link(here.get(), &feed);
        link.setTimings(60000, 50, 400);
        QSignalSpy back(&link, &ServerLink::reconnected);
        const QString insert = QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)");
        const QString rename = QStringLiteral("UPDATE tenants SET full_name=? WHERE id=?");
        const auto preparedInserts = [&here] {
            return here
                ->scalar(QStringLiteral("SELECT COUNT(*) FROM pg_prepared_statements WHERE "
                                        "statement LIKE 'PREPARE%INSERT INTO tenants%'"))
                .toInt();
        };
        const int first = here->execInsert(insert, {QStringLiteral("هدى يوسف")});
        const int second = here->execInsert(insert, {QStringLiteral("رامي خليل")});
        QVERIFY(first > 0 && second > first);
        // The second write ran the statement the first one prepared.
        QCOMPARE(preparedInserts(), 1);
        QCOMPARE(tenantsNamed(here.get(), QStringLiteral("رامي خليل")), 1);

        // Refused once (a name is required), the statement still writes
        // the next values it is given.
        QVERIFY(!here->execNonQuery(rename, {QVariant(), first}));
        QVERIFY(here->execNonQuery(rename, {QStringLiteral("هدى يوسف الخطيب"), first}));
        QCOMPARE(tenantsNamed(here.get(), QStringLiteral("هدى يوسف الخطيب")), 1);

        // A rolled-back write leaves nothing but its statement, which the
        // next write uses.
        {
            TransactionGuard tx(here.get());
            QVERIFY(tx.isActive());
            QVERIFY(here->execInsert(insert, {QStringLiteral("لن يبقى")}) > 0);
        }
        QVERIFY(here->execInsert(insert, {QStringLiteral("بعد التراجع")}) > 0);
        QCOMPARE(tenantsNamed(here.get(), QStringLiteral("لن يبقى")), 0);
        QCOMPARE(tenantsNamed(here.get(), QStringLiteral("بعد التراجع")), 1);

        // The new session after a loss prepares its statements afresh.
        QVERIFY(cut(false));
        QCOMPARE(here->execInsert(insert, {QStringLiteral("في الانقطاع")}), -1);
        QTRY_COMPARE_WITH_TIMEOUT(back.count(), 1, 5000);
        QVERIFY(here->execInsert(insert, {QStringLiteral("جلسة جديدة")}) > 0);
        QCOMPARE(tenantsNamed(here.get(), QStringLiteral("جلسة جديدة")), 1);
        QCOMPARE(preparedInserts(), 1);
    }

    void sqliteFileIsAlwaysReachable()
    {
        TestDatabase file;
        ChangeFeed feed(file.db());
        ServerLink link(file.db(), &feed);
        QVERIFY(file.db()->checkServer());
        QVERIFY(file.db()->reconnect());
        QVERIFY(link.reachable());
        QVERIFY(link.message().isEmpty());
        QVERIFY(!file.db()->serverLost());
    }
};

QTEST_GUILESS_MAIN(TestServerLink)
#include "tst_serverlink.moc"
