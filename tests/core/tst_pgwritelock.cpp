#include "PgCluster.h"

#include "core/Database.h"
#include "core/TransactionGuard.h"

#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

// A desk of its own: a connection opened on, and used only from, its thread.
std::unique_ptr<Database> openDesk(const DatabaseSettings& settings)
{
    auto db = std::make_unique<Database>();
    if (!db->initialize(settings))
        qWarning() << "desk failed to open:" << db->initErrorText();
    return db;
}

QString setting(Database* db, const QString& key)
{
    return db->scalar(QStringLiteral("SELECT value FROM settings WHERE key=?"), {key}).toString();
}

bool putSetting(Database* db, const QString& key, const QString& value)
{
    return db->execNonQuery(QStringLiteral("INSERT INTO settings (key, value) VALUES (?, ?) ON "
                                           "CONFLICT (key) DO UPDATE SET value=excluded.value"),
                            {key, value});
}

} // namespace

// Writes from several desks on one server take turns, as the SQLite file's
// BEGIN IMMEDIATE makes them: what a write checks still holds when it writes.
class TestPgWriteLock : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PgCluster> m_cluster;

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>();
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->errorText()));
    }

    void cleanupTestCase() { m_cluster.reset(); }

    void secondDeskWaitsUntilTheFirstCommits()
    {
        const DatabaseSettings settings = m_cluster->newDatabase();
        auto first = openDesk(settings);
        QVERIFY(first->connection().isOpen());

        std::atomic<bool> ready{false};
        std::atomic<bool> go{false};
        std::atomic<bool> done{false};
        QString seen;
        bool secondCommitted = false;
        std::thread second([&] {
            auto desk = openDesk(settings);
            ready = true;
            while (!go)
                std::this_thread::yield();
            TransactionGuard guard(desk.get());
            seen = setting(desk.get(), QStringLiteral("holder"));
            secondCommitted =
                guard.isActive() &&
                putSetting(desk.get(), QStringLiteral("holder"), QStringLiteral("الثاني")) &&
                guard.commit();
            done = true;
        });
        // However the checks below end, the second desk is let go and waited for.
        struct Joiner
        {
            std::thread& thread;
            std::atomic<bool>& go;
            ~Joiner()
            {
                go = true;
                if (thread.joinable())
                    thread.join();
            }
        } joiner{second, go};
        QTRY_VERIFY_WITH_TIMEOUT(ready, 60000);

        {
            TransactionGuard guard(first.get());
            QVERIFY(guard.isActive());
            QVERIFY(putSetting(first.get(), QStringLiteral("holder"), QStringLiteral("الأول")));
            go = true;
            // The second desk is queued on the lock, not writing beside us.
            QTRY_VERIFY_WITH_TIMEOUT(
                first->scalar(
                         QStringLiteral("SELECT COUNT(*) FROM pg_locks WHERE "
                                        "locktype='advisory' AND NOT granted AND database=(SELECT "
                                        "oid FROM pg_database WHERE datname=current_database())"))
                        .toInt() == 1,
                60000);
            QVERIFY(!done);
            QVERIFY(guard.commit());
        }
        second.join();
        QVERIFY(secondCommitted);
        // It read only after the first desk's write was committed.
        QCOMPARE(seen, QStringLiteral("الأول"));
        QCOMPARE(setting(first.get(), QStringLiteral("holder")), QStringLiteral("الثاني"));
    }

    void checkThenWriteLosesNoUpdateAcrossDesks()
    {
        const DatabaseSettings settings = m_cluster->newDatabase();
        auto main = openDesk(settings);
        QVERIFY(putSetting(main.get(), QStringLiteral("counter"), QStringLiteral("0")));
        const int rounds = 40;
        std::atomic<int> failures{0};
        const auto desk = [&] {
            auto db = openDesk(settings);
            for (int i = 0; i < rounds; ++i) {
                TransactionGuard guard(db.get());
                // Read, then write what was read plus one: without the lock
                // two desks read the same value and one increment is lost.
                const int value = setting(db.get(), QStringLiteral("counter")).toInt();
                std::this_thread::yield();
                if (!guard.isActive() ||
                    !db->execNonQuery(QStringLiteral("UPDATE settings SET value=? WHERE key=?"),
                                      {QString::number(value + 1), QStringLiteral("counter")}) ||
                    !guard.commit())
                    ++failures;
            }
        };
        std::thread a(desk);
        std::thread b(desk);
        a.join();
        b.join();
        QCOMPARE(failures.load(), 0);
        QCOMPARE(setting(main.get(), QStringLiteral("counter")).toInt(), 2 * rounds);
    }

    void innerGuardUndoesOnlyItsOwnWrite()
    {
        auto db = openDesk(m_cluster->newDatabase());
        {
            TransactionGuard outer(db.get());
            QVERIFY(outer.isActive());
            QVERIFY(putSetting(db.get(), QStringLiteral("outer"), QStringLiteral("يبقى")));
            {
                TransactionGuard inner(db.get());
                QVERIFY(inner.isActive());
                QCOMPARE(db->transactionDepth(), 2);
                QVERIFY(putSetting(db.get(), QStringLiteral("inner"), QStringLiteral("يزول")));
            }
            QVERIFY(outer.commit());
        }
        QCOMPARE(db->transactionDepth(), 0);
        QCOMPARE(setting(db.get(), QStringLiteral("outer")), QStringLiteral("يبقى"));
        QVERIFY(
            db->scalar(QStringLiteral("SELECT COUNT(*) FROM settings WHERE key='inner'")).toInt() ==
            0);
        // The lock went with the transaction: nothing is left held.
        QCOMPARE(
            db->scalar(QStringLiteral("SELECT COUNT(*) FROM pg_locks WHERE locktype='advisory' "
                                      "AND pid=pg_backend_pid()"))
                .toInt(),
            0);
    }
};

QTEST_GUILESS_MAIN(TestPgWriteLock)
#include "tst_pgwritelock.moc"
