#include "FakeDesktop.h"
#include "PgCluster.h"

#include "admin/BackupFile.h"
#include "admin/BackupManager.h"
#include "admin/RestoreReadLimit.h"
#include "admin/ServerBackup.h"
#include "core/ChangeFeed.h"
#include "core/Database.h"
#include "core/Reasons.h"
#include "core/TransactionGuard.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

qint64 tenants(Database* db)
{
    return db->scalar(QStringLiteral("SELECT COUNT(*) FROM tenants")).toLongLong();
}

bool addTenant(Database* db, const QString& name)
{
    return db->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"), {name}) > 0;
}

} // namespace

// Backups of books on a server: pg_dump's archive, checked when made and
// before a restore, and put back with pg_restore.
class TestServerBackup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PgCluster> m_cluster;
    QTemporaryDir m_dataDir;
    QTemporaryDir m_outside;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<BackupManager> m_manager;

    QString backupFolder() const { return m_dataDir.path() + QStringLiteral("/backups"); }

    QString makeBackup()
    {
        QSignalSpy created(m_manager.get(), &BackupManager::backupCreated);
        if (!m_manager->createBackup()) {
            qWarning() << m_manager->lastError();
            return {};
        }
        return created.isEmpty() ? QString() : created.first().first().toString();
    }

    // A restore on the server, started and waited for as the settings page
    // does: the call returns at once with the work under way, and the end
    // comes with restoreFinished. Empty when it went well, else the reason.
    QString restore(const QString& path)
    {
        QSignalSpy finished(m_manager.get(), &BackupManager::restoreFinished);
        QElapsedTimer clock;
        clock.start();
        if (!m_manager->restoreBackup(path))
            return QStringLiteral("refused: ") + m_manager->lastError();
        if (clock.elapsed() > 50)
            return QStringLiteral("held the caller %1 ms").arg(clock.elapsed());
        if (!m_manager->backupRunning() || !m_manager->restoreRunning())
            return QStringLiteral("not shown as running");
        if (!finished.wait(60000))
            return QStringLiteral("never finished");
        if (m_manager->backupRunning() || m_manager->restoreRunning())
            return QStringLiteral("still shown as running");
        const bool ok = finished.first().at(0).toBool();
        const QString message = finished.first().at(1).toString();
        if (ok != message.isEmpty())
            return QStringLiteral("the end's message does not match its result");
        return ok ? QString() : message;
    }

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<PgCluster>();
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->errorText()));
    }

    void init()
    {
        m_db = std::make_unique<Database>();
        QVERIFY2(m_db->initialize(m_cluster->newDatabase()), qPrintable(m_db->initErrorText()));
        m_desktop = std::make_unique<FakeDesktop>(m_outside.path());
        m_manager = std::make_unique<BackupManager>(m_dataDir.path(), m_db.get(), m_desktop.get());
        m_manager->setBackupPath(backupFolder());
    }

    void cleanup()
    {
        m_manager.reset();
        m_db.reset();
        m_desktop.reset();
        QDir(backupFolder()).removeRecursively();
    }

    void cleanupTestCase() { m_cluster.reset(); }

    void backupThenRestoreBringsTheRowsBack()
    {
        QVERIFY(addTenant(m_db.get(), QStringLiteral("سعاد الحربي")));
        QVERIFY(addTenant(m_db.get(), QStringLiteral("ماجد العتيبي")));
        const QString backup = makeBackup();
        QVERIFY(!backup.isEmpty());
        QVERIFY(backup.endsWith(QStringLiteral(".dump")));
        QVERIFY(BackupFile::stampOf(QFileInfo(backup).fileName()).isValid());
        QCOMPARE(BackupFile::recordedChecksum(backup), BackupFile::checksumOf(backup));
        QCOMPARE(m_manager->listBackups(), QStringList{backup});

        // What happens after the backup is undone by the restore.
        QVERIFY(addTenant(m_db.get(), QStringLiteral("بعد النسخة")));
        QVERIFY(m_db->execNonQuery(QStringLiteral("DELETE FROM tenants WHERE full_name=?"),
                                   {QStringLiteral("سعاد الحربي")}));
        // Another desk has a page on the tenants and one on the settings.
        Database otherDesk;
        QVERIFY(otherDesk.initialize(m_db->settings()));
        ChangeFeed feed(&otherDesk);
        QVERIFY(feed.subscribe());
        QObject pages;
        QStringList refreshed;
        feed.follow({QStringLiteral("tenants")}, &pages, [&] { refreshed << "tenants"; });
        feed.follow({QStringLiteral("settings")}, &pages, [&] { refreshed << "settings"; });
        QTest::qWait(3 * ChangeFeed::kGatherMs);
        refreshed.clear();

        QSignalSpy restored(m_manager.get(), &BackupManager::backupRestored);
        QStringList stages;
        connect(m_manager.get(), &BackupManager::backupProgressChanged, this, [this, &stages] {
            if (!m_manager->backupStage().isEmpty() && !stages.contains(m_manager->backupStage()))
                stages << m_manager->backupStage();
        });
        QCOMPARE(restore(backup), QString());
        QCOMPARE(restored.count(), 1);
        QVERIFY(m_manager->restartRequired());
        QCOMPARE(m_manager->backupProgress(), 1.0);
        // Each step was named to the page as it began.
        QCOMPARE(stages.size(), 3);
        // Every page of the other desk reloads the restored books.
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 2, 2000);
        QCOMPARE(refreshed, (QStringList{"tenants", "settings"}));
        // A second restore waits for the restart.
        QVERIFY(!m_manager->restoreBackup(backup));
        QVERIFY(!m_manager->backupRunning());
        QCOMPARE(tenants(m_db.get()), 2);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM tenants WHERE full_name=?"),
                              {QStringLiteral("سعاد الحربي")})
                     .toInt(),
                 1);
        // The books as they were before the restore are kept beside the
        // backups, and are a whole backup themselves.
        const QStringList kept =
            QDir(backupFolder()).entryList({QStringLiteral("sakanova_pre-restore_*.dump")});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(ServerBackup::problem(backupFolder() + QLatin1Char('/') + kept.first()),
                 QString());
    }

    void damagedBackupIsRefusedAndChangesNothing_data()
    {
        QTest::addColumn<bool>("keepChecksum");
        QTest::newRow("checksum no longer matches") << true;
        QTest::newRow("no checksum, data block damaged") << false;
    }

    void damagedBackupIsRefusedAndChangesNothing()
    {
        QFETCH(bool, keepChecksum);
        for (int i = 0; i < 50; ++i)
            QVERIFY(addTenant(m_db.get(), QStringLiteral("مستأجر %1").arg(i)));
        const QString backup = makeBackup();
        QVERIFY(!backup.isEmpty());
        if (!keepChecksum)
            QVERIFY(QFile::remove(BackupFile::checksumFileFor(backup)));
        // Bytes in the last data block are overwritten.
        QFile file(backup);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 size = file.size();
        QVERIFY(file.seek(size - 200));
        QVERIFY(file.write(QByteArray(120, '\x5a')) == 120);
        file.close();

        QVERIFY(addTenant(m_db.get(), QStringLiteral("بعد النسخة")));
        QSignalSpy errors(m_manager.get(), &BackupManager::backupError);
        QSignalSpy restored(m_manager.get(), &BackupManager::backupRestored);
        const QString refusal = restore(backup);
        QVERIFY(!refusal.isEmpty());
        QCOMPARE(refusal, m_manager->lastError());
        QCOMPARE(restored.count(), 0);
        QCOMPARE(errors.count(), 1);
        QVERIFY(
            errors.first().first().toString().startsWith(QStringLiteral("Backup file rejected")));
        QVERIFY(!m_manager->restartRequired());
        QCOMPARE(tenants(m_db.get()), 51);
    }

    void fileThatIsNoDumpIsRefused()
    {
        const QString path =
            m_outside.path() + QStringLiteral("/sakanova_2026-01-01_10-00-00.dump");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("SQLite format 3\0 not a dump");
        file.close();
        QVERIFY(!ServerBackup::problem(path).isEmpty());
        Database otherDesk;
        QVERIFY(otherDesk.initialize(m_db->settings()));
        ChangeFeed feed(&otherDesk);
        QVERIFY(feed.subscribe());
        QSignalSpy told(&feed, &ChangeFeed::restoreElsewhereChanged);
        const QString refusal = restore(path);
        QVERIFY(!refusal.isEmpty());
        QCOMPARE(refusal, m_manager->lastError());
        QVERIFY(!m_manager->restartRequired());
        QCOMPARE(m_manager->backupProgress(), 0.0);
        // The other desk was told of the restore, and of its end although
        // it failed.
        QTRY_COMPARE_WITH_TIMEOUT(told.count(), 2, 3000);
        QVERIFY(!feed.restoreElsewhere());
    }

    // pg_restore holds every table it replaces until it commits. The
    // window's reads used to wait for it, the window frozen for the whole
    // restore; now they are refused as "busy" at once, and read as before
    // when it is over.
    void regressionPageReadsWaitedForARestore_data()
    {
        QTest::addColumn<bool>("otherDesk");
        QTest::newRow("the restoring desk") << false;
        QTest::newRow("another desk, told by the change feed") << true;
    }
    void regressionPageReadsWaitedForARestore()
    {
        QFETCH(bool, otherDesk);
        QVERIFY(addTenant(m_db.get(), QStringLiteral("سعاد الحربي")));
        const QString backup = makeBackup();
        QVERIFY(!backup.isEmpty());
        // The desk whose window reads: this one, or another with its own
        // books' connection, backups and change feed.
        Database other;
        ChangeFeed feed(&other);
        QTemporaryDir otherData;
        std::unique_ptr<BackupManager> otherBackups;
        Database* desk = m_db.get();
        BackupManager* deskBackups = m_manager.get();
        if (otherDesk) {
            QVERIFY(other.initialize(m_db->settings()));
            QVERIFY(feed.subscribe());
            otherBackups =
                std::make_unique<BackupManager>(otherData.path(), &other, m_desktop.get());
            desk = &other;
            deskBackups = otherBackups.get();
        }
        RestoreReadLimit limit(desk, deskBackups);
        limit.followFeed(&feed);
        QVERIFY(!limit.limited());

        // Another session holds the tenants as pg_restore does, for five
        // seconds: the restore waits behind it, so it is still running
        // while the window reads, and a read that waits would take that long.
        const DatabaseSettings server = m_db->settings();
        QProcess holder;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PGHOST"), server.host);
        environment.insert(QStringLiteral("PGPORT"), QString::number(server.port));
        environment.insert(QStringLiteral("PGDATABASE"), server.database);
        environment.insert(QStringLiteral("PGUSER"), server.user);
        environment.insert(QStringLiteral("PGAPPNAME"), QStringLiteral("restore lock holder"));
        holder.setProcessEnvironment(environment);
        holder.start(QStringLiteral("psql"),
                     {QStringLiteral("-q"), QStringLiteral("-c"),
                      QStringLiteral("BEGIN; LOCK TABLE tenants IN ACCESS EXCLUSIVE MODE; "
                                     "SELECT pg_sleep(5); COMMIT;")});
        QVERIFY(holder.waitForStarted());
        const QString heldLocks = QStringLiteral(
            "SELECT COUNT(*) FROM pg_locks l JOIN pg_stat_activity a ON a.pid = l.pid "
            "WHERE a.application_name = 'restore lock holder' AND l.granted "
            "AND l.mode = 'AccessExclusiveLock'");
        QTRY_VERIFY(m_db->scalar(heldLocks).toInt() > 0);

        QSignalSpy finished(m_manager.get(), &BackupManager::restoreFinished);
        QVERIFY(m_manager->restoreBackup(backup));
        QVERIFY(m_manager->restoreRunning());
        QTRY_VERIFY_WITH_TIMEOUT(limit.limited(), 2000);
        QCOMPARE(feed.restoreElsewhere(), otherDesk);
        QSignalSpy errors(desk, &Database::databaseError);
        QElapsedTimer clock;
        clock.start();
        const QVariant count = desk->scalar(QStringLiteral("SELECT COUNT(*) FROM tenants"));
        const qint64 held = clock.elapsed();
        QVERIFY2(held < 1000, qPrintable(QStringLiteral("the read waited %1 ms").arg(held)));
        QVERIFY(!count.isValid());
        QCOMPARE(errors.count(), 1);
        QCOMPARE(Reasons::database(errors.first().first().toString()), Reasons::databaseLocked());
        // A table no one holds reads as ever.
        QCOMPARE(desk->scalar(QStringLiteral("SELECT COUNT(*) FROM currencies")).toInt() > 0, true);
        // A save is refused as busy at once too, not after the five seconds
        // a write waits for another desk.
        clock.restart();
        {
            TransactionGuard guard(desk);
            QVERIFY(guard.isActive());
            QVERIFY(!addTenant(desk, QStringLiteral("أثناء الاستعادة")));
        }
        const qint64 saving = clock.elapsed();
        QVERIFY2(saving < 1000, qPrintable(QStringLiteral("the save waited %1 ms").arg(saving)));
        QCOMPARE(errors.count(), 2);
        QCOMPARE(Reasons::database(errors.last().first().toString()), Reasons::databaseLocked());

        QVERIFY(finished.wait(60000));
        QVERIFY2(finished.first().at(0).toBool(), qPrintable(finished.first().at(1).toString()));
        QVERIFY(holder.state() == QProcess::NotRunning || holder.waitForFinished(10000));
        QCOMPARE(holder.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!limit.limited(), 3000);
        QCOMPARE(desk->scalar(QStringLiteral("SELECT current_setting('lock_timeout')")).toString(),
                 QStringLiteral("0"));
        QCOMPARE(tenants(desk), 1);
    }

    // One restore at a time across the desks; and a desk told of a restore
    // whose desk then stopped without a word (its program closed) is not
    // held for good: the restore's lock went with that desk's session.
    void restoringDeskThatStopsWithoutAWordReleasesTheOthers()
    {
        QVERIFY(addTenant(m_db.get(), QStringLiteral("سعاد الحربي")));
        const QString backup = makeBackup();
        QVERIFY(!backup.isEmpty());
        Database otherDesk;
        QVERIFY(otherDesk.initialize(m_db->settings()));
        ChangeFeed feed(&otherDesk);
        QVERIFY(feed.subscribe());
        {
            Database restoring;
            QVERIFY(restoring.initialize(m_db->settings()));
            QVERIFY(ChangeFeed::announceRestoreStarted(&restoring));
            QTRY_VERIFY_WITH_TIMEOUT(feed.restoreElsewhere(), 2000);
            // A desk that listens only now is told as well, and a reload of
            // everything (as after a lost connection) does not forget it;
            // the restoring desk's own lock does not hold it.
            ChangeFeed late(&otherDesk);
            QVERIFY(late.subscribe());
            QVERIFY(late.restoreElsewhere());
            late.refreshAll();
            QVERIFY(late.restoreElsewhere());
            ChangeFeed own(&restoring);
            QVERIFY(own.subscribe());
            QVERIFY(!own.restoreElsewhere());
            // Meanwhile no other restore begins, on any desk.
            QVERIFY(!m_manager->restoreBackup(backup));
            QVERIFY(!m_manager->backupRunning());
            QVERIFY(m_manager->lastError().contains(QStringLiteral("من جهاز آخر")));
            // Still held after a check or two.
            QTest::qWait(ChangeFeed::kRestoreCheckMs + 500);
            QVERIFY(feed.restoreElsewhere());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!feed.restoreElsewhere(), 3 * ChangeFeed::kRestoreCheckMs);
        // The lock is free again: this desk restores.
        QCOMPARE(restore(backup), QString());
        QCOMPARE(tenants(m_db.get()), 1);
    }

    void backupOnItsThreadFinishes()
    {
        QVERIFY(addTenant(m_db.get(), QStringLiteral("نورة")));
        QSignalSpy finished(m_manager.get(), &BackupManager::backupFinished);
        QVERIFY(m_manager->startBackup());
        QVERIFY(m_manager->backupRunning());
        QVERIFY(finished.wait(60000));
        QVERIFY2(finished.first().at(0).toBool(), qPrintable(finished.first().at(1).toString()));
        QCOMPARE(ServerBackup::problem(finished.first().at(1).toString()), QString());
        // A backup made today: the daily one is not due again.
        QVERIFY(!m_manager->backupIfDue());
    }
};

QTEST_GUILESS_MAIN(TestServerBackup)
#include "tst_serverbackup.moc"
