#include "FakeDesktop.h"
#include "TableSnapshot.h"
#include "TestDatabase.h"

#include "admin/BackupFile.h"
#include "admin/BackupManager.h"
#include "core/Reasons.h"
#include "rental/TenantModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Runs `work` on a connection of its own to `path` (a file the test crafts).
bool onFile(const QString& path, const std::function<bool(QSqlQuery&)>& work)
{
    bool ok = false;
    const QString name = QStringLiteral("restore_test_writer");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            ok = work(query);
            if (!ok)
                qWarning("%s", qPrintable(query.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool run(QSqlQuery& query, const QStringList& statements)
{
    for (const QString& statement : statements) {
        if (!query.exec(statement))
            return false;
    }
    return true;
}

} // namespace

class TestRestoreCheck : public QObject
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
        // Forty tenants and forty units, so a broken index has rows to hide.
        QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"),
                                 {QStringLiteral("برج الياسمين")}) == 1);
        for (int i = 1; i <= 40; ++i) {
            QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                     {QStringLiteral("مستأجر %1").arg(i)}) > 0);
            QVERIFY(db()->execInsert(
                        QStringLiteral("INSERT INTO units (property_id, "
                                       "unit_number, status) VALUES (1, ?, ?)"),
                        {QStringLiteral("A-%1").arg(i),
                         i % 2 ? QStringLiteral("available") : QStringLiteral("rented")}) > 0);
        }
        QVERIFY(m_manager->createBackup());
        m_backup = m_manager->listBackups().first();
    }
    void cleanup()
    {
        m_manager.reset();
        m_fixture.reset();
        m_desktop.reset();
    }

    void backupCarriesAChecksumAndRestoresWithoutANotice()
    {
        QCOMPARE(BackupFile::recordedChecksum(m_backup), BackupFile::checksumOf(m_backup));
        QCOMPARE(BackupFile::checksumOf(m_backup).size(), 64);
        const QString backedUp = tableSnapshot(db());
        QVERIFY(db()->execNonQuery(QStringLiteral("DELETE FROM units WHERE id > 10")));

        QVERIFY2(m_manager->restoreBackup(m_backup), qPrintable(m_manager->lastError()));
        QCOMPARE(m_manager->restoreNotice(), QString());
        QCOMPARE(tableSnapshot(db()), backedUp);
        // Nothing of SQLite's is left beside the chosen backup.
        QVERIFY(!QFileInfo::exists(m_backup + QStringLiteral("-wal")));
        QVERIFY(!QFileInfo::exists(m_backup + QStringLiteral("-shm")));

        // Until the restart a write is refused with the reason that says so.
        TenantModel tenants(db());
        QCOMPARE(tenants.add(QStringLiteral("بعد الاستعادة"), QString(), QString(), QString(),
                             QString()),
                 -1);
        QCOMPARE(tenants.lastError(), Reasons::restartFirst());

        m_manager.reset();
        QVERIFY(m_fixture->reopen());
        QCOMPARE(tableSnapshot(db()), backedUp);
    }

    void hostileFileIsRefusedAndTheLiveFileStaysByteIdentical_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("changedSinceMade");
        QTest::newRow("tenants table with other columns") << "other-columns" << false;
        QTest::newRow("index rewritten to another column") << "rewritten-index" << false;
        QTest::newRow("trigger that makes users admin") << "trigger" << false;
        QTest::newRow("program trigger with another body") << "altered-trigger" << false;
        QTest::newRow("a view") << "view" << false;
        QTest::newRow("a table of another program") << "foreign-table" << false;
        QTest::newRow("one byte of a name changed") << "bit-flip" << true;
        QTest::newRow("backup written to after it was made") << "log-beside" << true;
    }
    void hostileFileIsRefusedAndTheLiveFileStaysByteIdentical()
    {
        QFETCH(QString, kind);
        QFETCH(bool, changedSinceMade);
        const QString chosen = craft(kind);
        QVERIFY(!chosen.isEmpty());
        const QByteArray chosenBytes = readFile(chosen);
        const QString live = m_fixture->filePath();
        const QByteArray liveBytes = readFile(live);
        const QByteArray liveLog = readFile(live + QStringLiteral("-wal"));
        const QStringList backups = m_manager->listBackups();

        QSignalSpy errors(m_manager.get(), &BackupManager::backupError);
        QVERIFY(!m_manager->restoreBackup(chosen));
        QCOMPARE(errors.count(), 1);
        QVERIFY2(
            errors.first().first().toString().startsWith(QStringLiteral("Backup file rejected: ")),
            qPrintable(errors.first().first().toString()));
        QCOMPARE(m_manager->lastError().contains(QStringLiteral("بصمتها")), changedSinceMade);
        QVERIFY(!m_manager->restartRequired());

        QCOMPARE(readFile(live), liveBytes);
        QCOMPARE(readFile(live + QStringLiteral("-wal")), liveLog);
        QCOMPARE(readFile(chosen), chosenBytes);
        QVERIFY(!QFileInfo::exists(chosen + QStringLiteral("-shm")));
        QCOMPARE(m_manager->listBackups(), backups);
        // No scratch folder is left behind.
        QCOMPARE(QDir(m_fixture->dir()).entryList({QStringLiteral("restore-check-*")}, QDir::Dirs),
                 QStringList());
        QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"),
                                 {QStringLiteral("ما زالت الكتابة ممكنة")}) > 0);
    }

    // Without the checksum the flipped byte would pass every other check:
    // the checksum is what catches it.
    void changedByteWithoutChecksumIsRestoredWithANotice()
    {
        const QString chosen = craft(QStringLiteral("bit-flip"));
        QVERIFY(QFile::remove(BackupFile::checksumFileFor(chosen)));
        QVERIFY2(m_manager->restoreBackup(chosen), qPrintable(m_manager->lastError()));
        QVERIFY(m_manager->restoreNotice().contains(QStringLiteral("بصمة")));
    }

    void rowsInALogBesideAForeignFileAreRestored()
    {
        // A file from elsewhere whose last 500 rows are still in its log.
        const QString source = m_outside.filePath(QStringLiteral("office.db"));
        QVERIFY(QFile::copy(m_backup, source));
        const QString writer = QStringLiteral("restore_test_log_writer");
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), writer);
            other.setDatabaseName(source);
            QVERIFY(other.open());
            QSqlQuery query(other);
            QVERIFY(run(query,
                        {QStringLiteral("PRAGMA journal_mode=WAL"),
                         QStringLiteral("PRAGMA wal_autocheckpoint=0"), QStringLiteral("BEGIN")}));
            for (int i = 1; i <= 500; ++i) {
                query.prepare(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"));
                query.addBindValue(QStringLiteral("نزيل السجل %1").arg(i));
                QVERIFY(query.exec());
            }
            QVERIFY(query.exec(QStringLiteral("COMMIT")));
            // Copied while the rows are only in the log.
            QVERIFY(QFile::copy(source, m_outside.filePath(QStringLiteral("chosen.db"))));
            QVERIFY(QFile::copy(source + QStringLiteral("-wal"),
                                m_outside.filePath(QStringLiteral("chosen.db-wal"))));
            query.finish();
            other.close();
        }
        QSqlDatabase::removeDatabase(writer);
        const QString chosen = m_outside.filePath(QStringLiteral("chosen.db"));
        const QByteArray log = readFile(chosen + QStringLiteral("-wal"));
        QVERIFY(log.size() > 0);

        QVERIFY2(m_manager->restoreBackup(chosen), qPrintable(m_manager->lastError()));
        QVERIFY(!m_manager->restoreNotice().isEmpty());
        QCOMPARE(readFile(chosen + QStringLiteral("-wal")), log);
        QVERIFY(!QFileInfo::exists(chosen + QStringLiteral("-shm")));
        QVERIFY(!QFileInfo::exists(m_fixture->filePath() + QStringLiteral("-wal")) ||
                QFileInfo(m_fixture->filePath() + QStringLiteral("-wal")).size() == 0);

        m_manager.reset();
        QVERIFY(m_fixture->reopen());
        QCOMPARE(m_fixture->count(QStringLiteral("tenants")), 540);
        QCOMPARE(m_fixture
                     ->value(QStringLiteral("SELECT COUNT(*) FROM tenants WHERE full_name = ?"),
                             {QStringLiteral("نزيل السجل 500")})
                     .toInt(),
                 1);
    }

private:
    Database* db() const { return m_fixture->db(); }

    // A copy of the good backup, changed as `kind` says. Files changed after
    // the backup was made lose its checksum, as a crafted file would.
    QString craft(const QString& kind)
    {
        const QString path = m_outside.filePath(kind + QStringLiteral(".db"));
        for (const QString& old :
             {path, BackupFile::checksumFileFor(path), path + QStringLiteral("-wal")})
            QFile::remove(old);
        if (!QFile::copy(m_backup, path))
            return {};
        if (kind == QLatin1String("bit-flip")) {
            QByteArray bytes = readFile(path);
            // "مستأجر 17" becomes "مستأجر 16": still a sound row.
            const QByteArray name = QStringLiteral("مستأجر 17").toUtf8();
            const int at = bytes.indexOf(name);
            if (at < 0)
                return {};
            const int digit = at + name.size() - 1;
            bytes[digit] = static_cast<char>(bytes[digit] ^ 0x01);
            return writeFile(path, bytes) && QFile::copy(BackupFile::checksumFileFor(m_backup),
                                                         BackupFile::checksumFileFor(path))
                       ? path
                       : QString();
        }
        if (kind == QLatin1String("log-beside")) {
            QFile::copy(BackupFile::checksumFileFor(m_backup), BackupFile::checksumFileFor(path));
            return writeFile(path + QStringLiteral("-wal"), QByteArray(4096, 'x')) ? path
                                                                                   : QString();
        }
        QStringList statements;
        if (kind == QLatin1String("other-columns")) {
            statements = {QStringLiteral("DROP TABLE tenants"),
                          QStringLiteral("CREATE TABLE tenants (id INTEGER PRIMARY KEY, name "
                                         "TEXT, mobile TEXT)"),
                          QStringLiteral("INSERT INTO tenants (name) VALUES ('سامي')")};
        } else if (kind == QLatin1String("rewritten-index")) {
            statements = {QStringLiteral("PRAGMA writable_schema=ON"),
                          QStringLiteral("UPDATE sqlite_master SET sql='CREATE INDEX "
                                         "idx_units_status ON units(unit_number)' WHERE "
                                         "name='idx_units_status'")};
        } else if (kind == QLatin1String("trigger")) {
            statements = {QStringLiteral(
                "CREATE TRIGGER promote AFTER INSERT ON tenants BEGIN UPDATE users SET "
                "role='admin'; DELETE FROM invoices; END")};
        } else if (kind == QLatin1String("altered-trigger")) {
            statements = {QStringLiteral("DROP TRIGGER invoices_search_insert"),
                          QStringLiteral("CREATE TRIGGER invoices_search_insert AFTER INSERT ON "
                                         "invoices BEGIN UPDATE users SET role='admin'; END")};
        } else if (kind == QLatin1String("view")) {
            statements = {QStringLiteral("CREATE VIEW secrets AS SELECT username, password_hash "
                                         "FROM users")};
        } else if (kind == QLatin1String("foreign-table")) {
            statements = {QStringLiteral("CREATE TABLE notes (id INTEGER, body TEXT)")};
        }
        if (statements.isEmpty() ||
            !onFile(path, [&](QSqlQuery& query) { return run(query, statements); }))
            return {};
        if (kind == QLatin1String("rewritten-index")) {
            // The damage is one the quick check does not see.
            bool quickOk = false;
            onFile(path, [&](QSqlQuery& query) {
                quickOk = query.exec(QStringLiteral("PRAGMA quick_check")) && query.next() &&
                          query.value(0).toString() == QLatin1String("ok");
                return true;
            });
            if (!quickOk)
                return {};
        }
        return path;
    }

    QTemporaryDir m_outside;
    std::unique_ptr<TestDatabase> m_fixture;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<BackupManager> m_manager;
    QString m_backup;
};

QTEST_MAIN(TestRestoreCheck)
#include "tst_restorecheck.moc"
