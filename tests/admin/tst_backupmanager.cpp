#include "FakeDesktop.h"
#include "TableSnapshot.h"
#include "TestDatabase.h"

#include "admin/BackupManager.h"

#include <QDateTime>
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

const char* const stampFormat = "yyyy-MM-dd_HH-mm-ss";

// Rows counted in a file other than the open database, read-only.
int countIn(const QString& path, const QString& sql)
{
    int result = -1;
    const QString name = QStringLiteral("backup_test_reader");
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

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestBackupManager : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<TestDatabase>();
        QVERIFY(m_fixture->isOpen());
        m_desktop = std::make_unique<FakeDesktop>(m_outside.path());
        makeManager();
    }
    void cleanup()
    {
        m_manager.reset();
        m_fixture.reset();
        m_desktop.reset();
    }

    void backupTakenWhileRowsSitInTheLogContainsThem()
    {
        for (int i = 1; i <= 20; ++i)
            addTenant(QStringLiteral("مستأجر رقم %1").arg(i));
        const QString wal = m_fixture->filePath() + QStringLiteral("-wal");
        QVERIFY2(QFileInfo(wal).size() > 0, "the new rows should still be in the log");

        // A plain copy of the database file does not hold them.
        const QString plain = m_outside.filePath(QStringLiteral("plain.db"));
        QVERIFY(QFile::copy(m_fixture->filePath(), plain));
        QVERIFY(countIn(plain, QStringLiteral("SELECT COUNT(*) FROM tenants")) != 20);

        QSignalSpy created(m_manager.get(), &BackupManager::backupCreated);
        QVERIFY(m_manager->createBackup());
        QCOMPARE(m_manager->lastError(), QString());
        QCOMPARE(created.count(), 1);
        const QString path = created.first().first().toString();
        QCOMPARE(QFileInfo(path).absolutePath(), backupFolder());
        QVERIFY(
            QDateTime::fromString(QFileInfo(path).fileName().mid(9, 19), QLatin1String(stampFormat))
                .isValid());
        QVERIFY(QFileInfo(path).fileName().startsWith(QStringLiteral("sakanova_")));
        QCOMPARE(countIn(path, QStringLiteral("SELECT COUNT(*) FROM tenants")), 20);
        QCOMPARE(countIn(path, QStringLiteral("SELECT COUNT(*) FROM tenants WHERE "
                                              "full_name='مستأجر رقم 17'")),
                 1);
        QCOMPARE(m_manager->listBackups(), QStringList{path});
    }

    void backupRefusedWhenItsNameIsTaken()
    {
        // The names of this second and the next are both taken, so the call
        // meets one of them whenever it runs.
        const QDateTime now = QDateTime::currentDateTime();
        QStringList taken;
        for (int s = 0; s <= 1; ++s) {
            taken << backupFolder() + QStringLiteral("/sakanova_") +
                         now.addSecs(s).toString(QLatin1String(stampFormat)) +
                         QStringLiteral(".db");
            QVERIFY(writeFile(taken.last(), "earlier backup"));
        }
        QSignalSpy errors(m_manager.get(), &BackupManager::backupError);
        QVERIFY(!m_manager->createBackup());
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().toString(), QStringLiteral("Failed to create backup"));
        QVERIFY(!m_manager->lastError().isEmpty());
        for (const QString& path : std::as_const(taken))
            QCOMPARE(readFile(path), QByteArray("earlier backup"));
    }

    void backupWithoutDatabaseFileIsRefused()
    {
        QTemporaryDir elsewhere;
        BackupManager manager(elsewhere.path(), m_fixture->db(), m_desktop.get());
        QSignalSpy errors(&manager, &BackupManager::backupError);
        QVERIFY(!manager.createBackup());
        QCOMPARE(errors.first().first().toString(), QStringLiteral("Database file not found"));
        QCOMPARE(manager.lastError(), QStringLiteral("ملف قاعدة البيانات غير موجود"));
    }

    void restoreThenRestartShowsExactlyTheBackedUpRows()
    {
        const int kept = addTenant(QStringLiteral("سامي الخطيب"));
        QVERIFY(m_manager->createBackup());
        const QString backup = m_manager->listBackups().first();
        const QString backedUp = tableSnapshot(m_fixture->db());

        addTenant(QStringLiteral("ليلى حداد"));
        QVERIFY(m_fixture->db()->execNonQuery(
            QStringLiteral("UPDATE tenants SET phone='0599000000' WHERE id=?"), {kept}));
        QVERIFY(tableSnapshot(m_fixture->db()) != backedUp);

        QSignalSpy restored(m_manager.get(), &BackupManager::backupRestored);
        QSignalSpy restart(m_manager.get(), &BackupManager::restartRequiredChanged);
        QVERIFY(m_manager->restoreBackup(backup));
        QCOMPARE(m_manager->lastError(), QString());
        QCOMPARE(restored.count(), 1);
        QCOMPARE(restart.count(), 1);
        QVERIFY(m_manager->restartRequired());

        // Until the restart the pages read the restored rows and nothing is written.
        QCOMPARE(tableSnapshot(m_fixture->db()), backedUp);
        QCOMPARE(m_fixture->db()->execInsert(
                     QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                     {QStringLiteral("بعد الاستعادة")}),
                 -1);
        QVERIFY(!m_manager->restoreBackup(backup));
        QVERIFY(!QFileInfo::exists(m_fixture->filePath() + QStringLiteral(".tmp")));
        // The daily backup still works from the read-only connection.
        QTest::qWait(1100);
        QVERIFY2(m_manager->createBackup(), qPrintable(m_manager->lastError()));

        // The replaced database is kept, with the rows made after the backup.
        const QStringList kept_ =
            QDir(backupFolder()).entryList({QStringLiteral("sakanova_pre-restore_*.db")});
        QCOMPARE(kept_.size(), 1);
        QCOMPARE(QDir(backupFolder()).entryList({QStringLiteral("sakanova_2*.db")}).size(), 2);
        const QString preRestore = backupFolder() + QLatin1Char('/') + kept_.first();
        QCOMPARE(countIn(preRestore, QStringLiteral("SELECT COUNT(*) FROM tenants")), 2);
        QCOMPARE(countIn(preRestore, QStringLiteral("SELECT COUNT(*) FROM tenants WHERE "
                                                    "phone='0599000000'")),
                 1);

        m_manager.reset();
        QVERIFY(m_fixture->reopen());
        QCOMPARE(tableSnapshot(m_fixture->db()), backedUp);
        QVERIFY(addTenant(QStringLiteral("بعد إعادة التشغيل")) > 0);
    }

    void restoreOfUnfitFileIsRefusedAndChangesNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("empty file") << "empty";
        QTest::newRow("text file renamed to .db") << "text";
        QTest::newRow("truncated backup") << "truncated";
        QTest::newRow("another program's database") << "foreign";
        QTest::newRow("file that does not exist") << "missing";
        QTest::newRow("the live database itself") << "live";
    }
    void restoreOfUnfitFileIsRefusedAndChangesNothing()
    {
        QFETCH(QString, kind);
        addTenant(QStringLiteral("منى العلي"));
        const QString chosen = unfitFile(kind);
        QVERIFY(!chosen.isEmpty());
        const QString before = tableSnapshot(m_fixture->db());
        const QStringList backupsBefore = m_manager->listBackups();

        QSignalSpy errors(m_manager.get(), &BackupManager::backupError);
        QSignalSpy restored(m_manager.get(), &BackupManager::backupRestored);
        QVERIFY(!m_manager->restoreBackup(chosen));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(restored.count(), 0);
        QVERIFY(!m_manager->lastError().isEmpty());
        QVERIFY(!m_manager->restartRequired());

        QCOMPARE(tableSnapshot(m_fixture->db()), before);
        QCOMPARE(m_manager->listBackups(), backupsBefore);
        QVERIFY(addTenant(QStringLiteral("ما زالت الكتابة ممكنة")) > 0);
        m_manager.reset();
        QVERIFY(m_fixture->reopen());
        QCOMPARE(m_fixture->count(QStringLiteral("tenants")), 2);
    }

    void restoreRefusedWhenTheCurrentDatabaseCannotBeKept()
    {
        QVERIFY(m_manager->createBackup());
        const QString backup = m_manager->listBackups().first();
        addTenant(QStringLiteral("رامي يوسف"));
        const QString before = tableSnapshot(m_fixture->db());

        // A file where the backup folder should be: no copy can be kept there.
        const QString blocker = m_outside.filePath(QStringLiteral("blocked"));
        QVERIFY(writeFile(blocker, "x"));
        m_manager->setBackupPath(blocker + QStringLiteral("/backups"));

        QSignalSpy errors(m_manager.get(), &BackupManager::backupError);
        QVERIFY(!m_manager->restoreBackup(backup));
        QCOMPARE(errors.count(), 1);
        QVERIFY(errors.first().first().toString().startsWith(
            QStringLiteral("Failed to keep a copy of the current database")));
        QCOMPARE(tableSnapshot(m_fixture->db()), before);
        QVERIFY(addTenant(QStringLiteral("كتابة بعد الرفض")) > 0);
    }

    void pruningLeavesFilesThatAreNotItsBackupsAlone()
    {
        // The backup folder is the data directory: the live database, an
        // unrelated file and a kept pre-restore copy share it with 31 backups.
        m_manager->setBackupPath(m_fixture->dir());
        const QDateTime now = QDateTime::currentDateTime();
        QStringList old;
        for (int day = 31; day >= 1; --day) {
            old << m_fixture->dir() + QStringLiteral("/sakanova_") +
                       now.addDays(-day).toString(QLatin1String(stampFormat)) +
                       QStringLiteral(".db");
            QVERIFY(writeFile(old.last(), "old backup"));
        }
        const QString unrelated = m_fixture->dir() + QStringLiteral("/accounts_2019.db");
        const QString preRestore =
            m_fixture->dir() + QStringLiteral("/sakanova_pre-restore_2020-01-01_10-00-00.db");
        QVERIFY(writeFile(unrelated, "someone else's"));
        QVERIFY(writeFile(preRestore, "kept by a restore"));
        // The unrelated file is the oldest in the folder.
        QFile file(unrelated);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(now.addYears(-3), QFileDevice::FileModificationTime));
        file.close();

        QVERIFY(m_manager->createBackup());

        QVERIFY(QFileInfo::exists(m_fixture->filePath()));
        QCOMPARE(readFile(unrelated), QByteArray("someone else's"));
        QCOMPARE(readFile(preRestore), QByteArray("kept by a restore"));
        // 31 old + 1 new: the two oldest go.
        QVERIFY(!QFileInfo::exists(old.at(0)));
        QVERIFY(!QFileInfo::exists(old.at(1)));
        for (int i = 2; i < old.size(); ++i)
            QVERIFY2(QFileInfo::exists(old.at(i)), qPrintable(old.at(i)));
        const QStringList own =
            QDir(m_fixture->dir()).entryList({QStringLiteral("sakanova_2*.db")}, QDir::Files);
        QCOMPARE(own.size(), BackupManager::kept);

        // Listing still shows every "*.db", newest first.
        const QStringList listed = m_manager->listBackups();
        QCOMPARE(listed.size(), BackupManager::kept + 3);
        QVERIFY(listed.contains(unrelated));
        QCOMPARE(listed.last(), unrelated);
    }

    void startUpBackupOnlyWhenTheNewestIsADayOld_data()
    {
        QTest::addColumn<int>("newestHoursAgo"); // 0: no backup yet
        QTest::addColumn<bool>("autoOn");
        QTest::addColumn<bool>("made");
        QTest::newRow("first start") << 0 << true << true;
        QTest::newRow("newest two days old") << 48 << true << true;
        QTest::newRow("newest made this morning") << 3 << true << false;
        QTest::newRow("automatic backups switched off") << 48 << false << false;
    }
    void startUpBackupOnlyWhenTheNewestIsADayOld()
    {
        QFETCH(int, newestHoursAgo);
        QFETCH(bool, autoOn);
        QFETCH(bool, made);
        if (newestHoursAgo > 0) {
            const QDateTime when = QDateTime::currentDateTime().addSecs(-3600 * newestHoursAgo);
            QVERIFY(writeFile(backupFolder() + QStringLiteral("/sakanova_") +
                                  when.toString(QLatin1String(stampFormat)) + QStringLiteral(".db"),
                              "earlier"));
        }
        m_manager->setAutoBackup(autoOn);
        const int before = static_cast<int>(m_manager->listBackups().size());
        QSignalSpy created(m_manager.get(), &BackupManager::backupCreated);
        QCOMPARE(m_manager->backupIfDue(), made);
        QTRY_VERIFY(!m_manager->backupRunning());
        QCOMPARE(created.count(), made ? 1 : 0);
        QCOMPARE(m_manager->listBackups().size(), before + (made ? 1 : 0));
    }

    void preferencesPersistAcrossStarts()
    {
        QSignalSpy pathChanged(m_manager.get(), &BackupManager::backupPathChanged);
        const QString original = m_manager->backupPath();
        QCOMPARE(original, m_fixture->dir() + QStringLiteral("/backups"));
        m_manager->setBackupPath(QString());
        QCOMPARE(m_manager->backupPath(), original);
        QCOMPARE(pathChanged.count(), 0);

        const QString chosen = m_outside.filePath(QStringLiteral("نسخ المكتب"));
        m_manager->setBackupPath(chosen);
        QCOMPARE(pathChanged.count(), 1);
        QVERIFY(QFileInfo(chosen).isDir());
        QSignalSpy autoChanged(m_manager.get(), &BackupManager::autoBackupChanged);
        QVERIFY(m_manager->autoBackup());
        m_manager->setAutoBackup(false);
        QCOMPARE(autoChanged.count(), 1);

        makeManager();
        QCOMPARE(m_manager->backupPath(), chosen);
        QVERIFY(!m_manager->autoBackup());
        QVERIFY(m_manager->createBackup());
        QCOMPARE(QFileInfo(m_manager->listBackups().first()).absolutePath(), chosen);
    }

    void pickersGoThroughTheDesktop()
    {
        m_desktop->folderAnswer = m_outside.filePath(QStringLiteral("picked"));
        m_desktop->fileAnswer = m_outside.filePath(QStringLiteral("picked.db"));
        QCOMPARE(m_manager->browseBackupPath(), m_desktop->folderAnswer);
        QCOMPARE(m_manager->browseRestoreFile(), m_desktop->fileAnswer);
        QCOMPARE(m_desktop->calls,
                 (QStringList{QStringLiteral("chooseFolder|Select Backup Folder|") + backupFolder(),
                              QStringLiteral("chooseFileToOpen|Select Database Backup|") +
                                  backupFolder() + QStringLiteral("|Database files (*.db)")}));
        // Choosing does not move the folder; the caller assigns it.
        QCOMPARE(m_manager->backupPath(), backupFolder());
    }

    void exportWritesAllTwelveTablesWithFormulasDefused()
    {
        addTenant(QStringLiteral("الخطيب, سامي"));
        QVERIFY(
            m_fixture->db()->execInsert(
                QStringLiteral("INSERT INTO tenants (full_name, phone, balance) VALUES (?,?,?)"),
                {QStringLiteral("=HYPERLINK(\"http://x\")"), QStringLiteral("+970599"), -50.5}) >
            0);

        QSignalSpy created(m_manager.get(), &BackupManager::exportCreated);
        QVERIFY(m_manager->exportAllToCSV());
        QCOMPARE(created.count(), 1);
        const QString folder = created.first().first().toString();
        QCOMPARE(QFileInfo(folder).absolutePath(), m_desktop->exportFolder());
        QVERIFY(QFileInfo(folder).fileName().startsWith(QStringLiteral("Sakanova_Export_")));
        QCOMPARE(m_desktop->opened, QStringList{folder});
        QCOMPARE(QDir(folder).entryList({QStringLiteral("*.csv")}).size(), 19);

        const QByteArray bytes = readFile(folder + QStringLiteral("/tenants.csv"));
        QVERIFY(bytes.startsWith("\xEF\xBB\xBFid,"));
        const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("id,full_name,id_number,phone,email,address,"
                                               "notes,balance,created_at"));
        QVERIFY(lines.at(1).startsWith(QStringLiteral("1,\"الخطيب, سامي\",,,,,,0.00,")));
        QVERIFY2(lines.at(2).startsWith(QStringLiteral(
                     "2,\"'=HYPERLINK(\"\"http://x\"\")\",,\"=\"\"+970599\"\"\",,,,-50.50,")),
                 qPrintable(lines.at(2)));
    }

    void exportNamesTheTablesItCouldNotWrite()
    {
        QVERIFY(m_fixture->db()->execNonQuery(QStringLiteral("DROP TABLE cheques")));
        QSignalSpy errors(m_manager.get(), &BackupManager::backupError);
        QVERIFY(!m_manager->exportAllToCSV());
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().toString(), QStringLiteral("Failed to export: cheques"));
        QVERIFY(m_manager->lastError().contains(QStringLiteral("cheques")));
        // What could be written is there, and the folder is shown.
        QCOMPARE(m_desktop->opened.size(), 1);
        QDir folder(m_desktop->opened.first());
        QVERIFY(QFileInfo(folder.filePath(QStringLiteral("installments.csv"))).size() > 0);
        QCOMPARE(QFileInfo(folder.filePath(QStringLiteral("cheques.csv"))).size(), 0);
    }

    void exportRunsOnItsOwnThreadOneAtATime()
    {
        addTenant(QStringLiteral("الخطيب, سامي"));
        QSignalSpy finished(m_manager.get(), &BackupManager::exportFinished);
        QVERIFY(m_manager->startExport(QStringLiteral("csv")));
        QVERIFY(m_manager->exportRunning());
        QVERIFY(!m_manager->startExport(QStringLiteral("xlsx")));
        QVERIFY(m_manager->lastError().contains(QStringLiteral("يجري تصدير آخر")));
        QVERIFY(finished.wait(30000));
        QVERIFY(!m_manager->exportRunning());
        QCOMPARE(finished.first().at(0).toBool(), true);
        const QString folder = finished.first().at(1).toString();
        QCOMPARE(m_desktop->opened, QStringList{folder});
        QCOMPARE(QDir(folder).entryList({QStringLiteral("*.csv")}).size(), 19);
        QVERIFY(readFile(folder + QStringLiteral("/tenants.csv")).contains("\"الخطيب, سامي\""));

        // A table that cannot be read is named, and the rest is written.
        QVERIFY(m_fixture->db()->execNonQuery(QStringLiteral("DROP TABLE cheques")));
        finished.clear();
        QVERIFY(m_manager->startExport(QStringLiteral("xlsx")));
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.first().at(0).toBool(), false);
        QCOMPARE(finished.first().at(1).toString(),
                 QStringLiteral("تعذرت كتابة ملف Excel؛ لم يُنشأ أي ملف"));
        QCOMPARE(QDir(m_desktop->exportFolder()).entryList({QStringLiteral("*.xlsx")}).size(), 0);
    }

    void exportRefusedWhenItsFolderCannotBeMade()
    {
        const QString blocker = m_outside.filePath(QStringLiteral("not-a-folder"));
        QVERIFY(writeFile(blocker, "x"));
        m_desktop->setExportFolder(blocker);
        QSignalSpy errors(m_manager.get(), &BackupManager::backupError);
        QVERIFY(!m_manager->exportAllToCSV());
        QCOMPARE(errors.first().first().toString(),
                 QStringLiteral("Failed to create export folder"));
        QVERIFY(m_desktop->opened.isEmpty());
    }

private:
    void makeManager()
    {
        m_manager.reset();
        m_manager =
            std::make_unique<BackupManager>(m_fixture->dir(), m_fixture->db(), m_desktop.get());
    }
    Database* db() const { return m_fixture->db(); }
    QString backupFolder() const { return m_fixture->dir() + QStringLiteral("/backups"); }

    int addTenant(const QString& name)
    {
        return db()->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                {name});
    }

    QString unfitFile(const QString& kind)
    {
        const QString path = m_outside.filePath(kind + QStringLiteral(".db"));
        if (kind == QLatin1String("empty"))
            return writeFile(path, {}) ? path : QString();
        if (kind == QLatin1String("text"))
            return writeFile(path, "full_name,phone\nسامي,0599\n") ? path : QString();
        if (kind == QLatin1String("missing"))
            return path;
        if (kind == QLatin1String("live"))
            return m_fixture->filePath();
        if (kind == QLatin1String("foreign")) {
            return TestDatabase::writeLegacyFile(
                       path, {QStringLiteral("CREATE TABLE notes (id INTEGER, body TEXT)"),
                              QStringLiteral("INSERT INTO notes VALUES (1, 'x')")})
                       ? path
                       : QString();
        }
        // Truncated: the first half of a real backup.
        if (!m_manager->createBackup())
            return {};
        const QString backup = m_manager->listBackups().first();
        const QByteArray bytes = readFile(backup);
        QFile::remove(backup);
        return writeFile(path, bytes.left(bytes.size() / 2)) ? path : QString();
    }

    QTemporaryDir m_outside;
    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<BackupManager> m_manager;
};

QTEST_MAIN(TestBackupManager)
#include "tst_backupmanager.moc"
