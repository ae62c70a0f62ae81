#include "FakeDesktop.h"
#include "TestDatabase.h"

#include "admin/BackupFile.h"
#include "admin/BackupManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

int countIn(const QString& path, const QString& sql)
{
    int result = -1;
    const QString name = QStringLiteral("backup_thread_reader");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql) && query.next())
                result = query.value(0).toInt();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace

// The backup the settings page and the daily timer start: copied and checked
// on its own thread, one at a time, with its result told by signal.
class TestBackupThread : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        QVERIFY(m_fixture->isOpen());
        m_desktop = std::make_unique<FakeDesktop>(m_outside.path());
        m_manager =
            std::make_unique<BackupManager>(m_fixture->dir(), m_fixture->db(), m_desktop.get());
    }
    void cleanup()
    {
        m_manager.reset();
        m_fixture.reset();
        m_desktop.reset();
    }

    void startedBackupEndsWithACheckedCopyOfEveryCommittedRow()
    {
        for (const QString& name : {QStringLiteral("سامر خليل"), QStringLiteral("هدى منصور"),
                                    QStringLiteral("أحمد يوسف")})
            QVERIFY(addTenant(name) > 0);
        QSignalSpy created(m_manager.get(), &BackupManager::backupCreated);
        QSignalSpy finished(m_manager.get(), &BackupManager::backupFinished);
        QSignalSpy progress(m_manager.get(), &BackupManager::backupProgressChanged);

        QVERIFY2(m_manager->startBackup(), qPrintable(m_manager->lastError()));
        // The call only starts the work: the result comes later, by signal.
        QVERIFY(m_manager->backupRunning());
        QCOMPARE(finished.count(), 0);
        QTRY_COMPARE(finished.count(), 1);

        QVERIFY(!m_manager->backupRunning());
        QCOMPARE(finished.first().at(0).toBool(), true);
        const QString path = finished.first().at(1).toString();
        QCOMPARE(created.count(), 1);
        QCOMPARE(created.first().first().toString(), path);
        QCOMPARE(m_manager->backupProgress(), 1.0);
        QVERIFY(progress.count() >= 2);
        // The copy holds the rows, passed its check and has its checksum.
        QCOMPARE(countIn(path, QStringLiteral("SELECT COUNT(*) FROM tenants WHERE full_name IN "
                                              "('سامر خليل','هدى منصور','أحمد يوسف')")),
                 3);
        QCOMPARE(BackupFile::problem(path), QString());
        QCOMPARE(BackupFile::recordedChecksum(path), BackupFile::checksumOf(path));
        QCOMPARE(m_manager->listBackups(), QStringList{path});
    }

    void secondBackupIsRefusedWhileOneRuns()
    {
        QSignalSpy finished(m_manager.get(), &BackupManager::backupFinished);
        QVERIFY(m_manager->startBackup());
        QVERIFY(!m_manager->startBackup());
        QVERIFY(!m_manager->lastError().isEmpty());
        // Neither the same-thread call nor a restore may meet the copy half-way.
        QVERIFY(!m_manager->createBackup());
        QVERIFY(!m_manager->restoreBackup(m_fixture->filePath()));
        QVERIFY(m_manager->lastError().contains(QStringLiteral("نسخة احتياطية")));

        QTRY_COMPARE(finished.count(), 1);
        QTest::qWait(50);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(QDir(backupFolder()).entryList({QStringLiteral("*.db")}, QDir::Files).size(), 1);
        // Once it has ended the next one may start (a second later, for its name).
        QTest::qWait(1100);
        QVERIFY2(m_manager->startBackup(), qPrintable(m_manager->lastError()));
        QTRY_COMPARE(finished.count(), 2);
        QVERIFY(finished.at(1).at(0).toBool());
    }

    void windowGoesOnWritingWhileTheCopyRuns()
    {
        QSignalSpy finished(m_manager.get(), &BackupManager::backupFinished);
        QVERIFY(m_manager->startBackup());
        // The copy reads through its own connection: the window's writes
        // are neither refused nor lost.
        for (int i = 1; i <= 30; ++i)
            QVERIFY(addTenant(QStringLiteral("مستأجر أثناء النسخ %1").arg(i)) > 0);
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(finished.first().at(0).toBool());
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT COUNT(*) FROM tenants WHERE full_name "
                                            "LIKE 'مستأجر أثناء النسخ %'"))
                     .toInt(),
                 30);
        const int copied =
            countIn(finished.first().at(1).toString(),
                    QStringLiteral("SELECT COUNT(*) FROM tenants WHERE full_name LIKE "
                                   "'مستأجر أثناء النسخ %'"));
        QVERIFY2(copied >= 0 && copied <= 30, qPrintable(QString::number(copied)));
    }

    void failedCopyIsReportedAsAFailureAndLeavesNoFile()
    {
        // A file where the backup folder should be: the copy cannot be written.
        const QString blocker = m_outside.filePath(QStringLiteral("not-a-folder"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
        file.close();
        m_manager->setBackupPath(blocker + QStringLiteral("/backups"));

        QSignalSpy finished(m_manager.get(), &BackupManager::backupFinished);
        QSignalSpy created(m_manager.get(), &BackupManager::backupCreated);
        QSignalSpy errors(m_manager.get(), &BackupManager::backupError);
        if (m_manager->startBackup()) {
            QTRY_COMPARE(finished.count(), 1);
            QCOMPARE(finished.first().at(0).toBool(), false);
            QVERIFY(!finished.first().at(1).toString().isEmpty());
            QCOMPARE(finished.first().at(1).toString(), m_manager->lastError());
        }
        QVERIFY(!m_manager->lastError().isEmpty());
        QCOMPARE(created.count(), 0);
        QCOMPARE(errors.count(), 1);
        QVERIFY(!m_manager->backupRunning());
        QVERIFY(m_manager->listBackups().isEmpty());
    }

    void automaticBackupRunsOffTheCallersThread()
    {
        QSignalSpy finished(m_manager.get(), &BackupManager::backupFinished);
        QVERIFY(m_manager->backupIfDue());
        QVERIFY(m_manager->backupRunning());
        QCOMPARE(finished.count(), 0);
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(finished.first().at(0).toBool());
        // The one just made is less than a day old.
        QVERIFY(!m_manager->backupIfDue());
    }

    void closingWhileACopyRunsWaitsForIt()
    {
        QVERIFY(m_manager->startBackup());
        m_manager.reset();
        // The thread has ended with the manager; its copy is whole or gone.
        const QStringList copies =
            QDir(backupFolder()).entryList({QStringLiteral("*.db")}, QDir::Files);
        for (const QString& copy : copies)
            QCOMPARE(BackupFile::problem(backupFolder() + QLatin1Char('/') + copy), QString());
    }

private:
    QString backupFolder() const { return m_fixture->dir() + QStringLiteral("/backups"); }
    int addTenant(const QString& name)
    {
        return m_fixture->db()->execInsert(
            QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"), {name});
    }

    QTemporaryDir m_outside;
    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<BackupManager> m_manager;
};

QTEST_GUILESS_MAIN(TestBackupThread)
#include "tst_backupthread.moc"
