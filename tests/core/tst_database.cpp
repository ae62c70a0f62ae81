#include "TestDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <csignal>
#include <thread>

#include <sys/resource.h>

namespace {

// Lowers this process's file size limit for one scope: writes past it fail
// as on a full disk ("database or disk is full"), even for root.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_saved.rlim_max};
        m_applied = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        ::signal(SIGXFSZ, m_handler);
    }
    bool applied() const { return m_applied; }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
    bool m_applied = false;
};

// Open descriptors of this process on `path` (the file itself, not -wal/-shm).
int openDescriptorsOn(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    int open = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target)
            ++open;
    }
    return open;
}

} // namespace

class TestDatabaseAccess : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<TestDatabase>(); }
    void cleanup() { m_fixture.reset(); }

    void opensAndEnforcesForeignKeys()
    {
        QVERIFY(m_fixture->isOpen());
        QSignalSpy errors(db(), &Database::databaseError);
        QCOMPARE(db()->execInsert(QStringLiteral("INSERT INTO units (property_id, unit_number, "
                                                 "currency_id) VALUES (999, 'A1', 1)")),
                 -1);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(m_fixture->count(QStringLiteral("units")), 0);
        if (TestDatabase::onPostgres())
            return;
        QCOMPARE(m_fixture->value(QStringLiteral("PRAGMA foreign_keys")).toInt(), 1);
        QCOMPARE(m_fixture->value(QStringLiteral("PRAGMA journal_mode")).toString(),
                 QStringLiteral("wal"));
    }

    void laterColumnWinsOnSameName()
    {
        const QVariantList rows = db()->execQuery(QStringLiteral("SELECT 1 AS a, 2 AS a"));
        QCOMPARE(rows.size(), 1);
        const QVariantMap row = rows.first().toMap();
        QCOMPARE(row.size(), 1);
        QCOMPARE(row.value(QStringLiteral("a")).toInt(), 2);
    }

    void nullColumnIsPresentAsNullValue()
    {
        const int id =
            db()->execInsert(QStringLiteral("INSERT INTO tenants (full_name, phone) VALUES (?, ?)"),
                             {QStringLiteral("سارة خليل"), QVariant()});
        QVERIFY(id > 0);
        const QVariantMap row = db()->getById(QStringLiteral("tenants"), id);
        QVERIFY(row.contains(QStringLiteral("phone")));
        QVERIFY(row.value(QStringLiteral("phone")).isNull());
        QCOMPARE(row.value(QStringLiteral("full_name")).toString(), QStringLiteral("سارة خليل"));
    }

    void rowsKeepQueryOrderAndTypes()
    {
        const QVariantList rows = db()->execQuery(
            QStringLiteral("SELECT code, is_primary FROM currencies ORDER BY code DESC"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0).toMap().value(QStringLiteral("code")).toString(),
                 QStringLiteral("USD"));
        QCOMPARE(rows.at(2).toMap().value(QStringLiteral("code")).toString(),
                 QStringLiteral("ILS"));
        QCOMPARE(rows.at(2).toMap().value(QStringLiteral("is_primary")).toInt(), 1);
    }

    void bindCountMismatchFails()
    {
        QSignalSpy errors(db(), &Database::databaseError);
        const QString sql = QStringLiteral("SELECT * FROM users WHERE username = ? AND role = ?");
        QVERIFY(db()->execQuery(sql, {QStringLiteral("admin")}).isEmpty());
        QCOMPARE(errors.count(), 1);
        QVERIFY(!errors.first().first().toString().isEmpty());
        QVERIFY(!db()->execNonQuery(sql, {QStringLiteral("admin")}));
        QCOMPARE(errors.count(), 2);
        // The connection stays usable after a failure.
        QCOMPARE(db()->execQuery(sql, {QStringLiteral("admin"), QStringLiteral("admin")}).size(),
                 1);
    }

    void insertReturnsNewIdOrMinusOne()
    {
        QSignalSpy errors(db(), &Database::databaseError);
        const QString sql =
            QStringLiteral("INSERT INTO properties (name, type) VALUES (?, 'residential')");
        QCOMPARE(db()->execInsert(sql, {QStringLiteral("برج النخيل")}), 1);
        QCOMPARE(db()->execInsert(sql, {QStringLiteral("عمارة الزيتون")}), 2);
        QCOMPARE(errors.count(), 0);

        const int duplicate =
            db()->execInsert(QStringLiteral("INSERT INTO currencies (code, name_ar, symbol) "
                                            "VALUES ('USD', 'دولار', '$')"));
        QCOMPARE(duplicate, -1);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(m_fixture->count(QStringLiteral("currencies")), 3);
    }

    void getByIdMissingRowOrTable()
    {
        QSignalSpy errors(db(), &Database::databaseError);
        QVERIFY(db()->getById(QStringLiteral("units"), 999).isEmpty());
        QVERIFY(db()->getById(QStringLiteral("no_such_table"), 1).isEmpty());
        QCOMPARE(errors.count(), 0);
        QCOMPARE(
            db()->getById(QStringLiteral("currencies"), 1).value(QStringLiteral("code")).toString(),
            QStringLiteral("ILS"));
    }

    void getByIdRefusesNonIdentifiers_data()
    {
        QTest::addColumn<QString>("table");
        QTest::newRow("statement after the name")
            << QStringLiteral("users; DROP TABLE currencies; --");
        QTest::newRow("always-true condition") << QStringLiteral("users WHERE 1=1 OR id");
        QTest::newRow("union") << QStringLiteral("users UNION SELECT * FROM users");
        QTest::newRow("quoted") << QStringLiteral("\"users\"");
        QTest::newRow("blank padded") << QStringLiteral(" users");
        QTest::newRow("empty") << QString();
        QTest::newRow("arabic letters") << QStringLiteral("المستخدمون");
    }

    void getByIdRefusesNonIdentifiers()
    {
        QFETCH(QString, table);
        QSignalSpy errors(db(), &Database::databaseError);
        QVERIFY(db()->getById(table, 1).isEmpty());
        QCOMPARE(errors.count(), 0);
        QCOMPARE(m_fixture->count(QStringLiteral("currencies")), 3);
    }

    void deletingReferencedRowFails()
    {
        const int property = db()->execInsert(
            QStringLiteral("INSERT INTO properties (name) VALUES (?)"), {QStringLiteral("برج")});
        QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO units (property_id, unit_number, "
                                                "currency_id) VALUES (?, 'A1', 2)"),
                                 {property}) > 0);
        QSignalSpy errors(db(), &Database::databaseError);
        QVERIFY(!db()->execNonQuery(QStringLiteral("DELETE FROM currencies WHERE id = 2")));
        QVERIFY(
            !db()->execNonQuery(QStringLiteral("DELETE FROM properties WHERE id = ?"), {property}));
        QCOMPARE(errors.count(), 2);
        QCOMPARE(m_fixture->count(QStringLiteral("currencies")), 3);
        QCOMPARE(m_fixture->count(QStringLiteral("properties")), 1);
    }

    void initializeFailsForUnopenableFile()
    {
        if (TestDatabase::onPostgres())
            QSKIP("about the SQLite file itself; a server's own tests cover its side");
        m_fixture.reset();
        QTemporaryDir dir;
        Database db;
        QSignalSpy errors(&db, &Database::databaseError);
        QVERIFY(!db.initialize(dir.filePath(QStringLiteral("missing/sub/dir/sakanova.db"))));
        QCOMPARE(errors.count(), 1);
    }

    // Root ignores file permissions and no small full file system can be
    // mounted here, so the failing writes come from a file size limit: every
    // write past it fails (an I/O error rather than "disk full", but the same
    // path through the schema steps and the clean-up).
    void initializeFailsWhenSchemaCannotBeWritten()
    {
        if (TestDatabase::onPostgres())
            QSKIP("about the SQLite file itself; a server's own tests cover its side");
        m_fixture.reset();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        Database db;
        QSignalSpy errors(&db, &Database::databaseError);
        {
            FileSizeLimit limit(64 * 1024);
            QVERIFY(limit.applied());
            QVERIFY(!db.initialize(path));
        }
        QCOMPARE(errors.count(), 1);
        QVERIFY(!db.initErrorText().isEmpty());
        // Neither an empty nor a half-written file is left for the next start.
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            QVERIFY2(!QFileInfo::exists(path + QLatin1String(suffix)), suffix);

        QVERIFY(db.initialize(path));
        QCOMPARE(db.scalar(QStringLiteral("SELECT COUNT(*) FROM currencies")).toInt(), 3);
    }

    // A file that is there but cannot be used is the user's, not ours: the
    // failed start reports it and leaves it alone.
    void initializeKeepsExistingFileItCannotUse()
    {
        if (TestDatabase::onPostgres())
            QSKIP("about the SQLite file itself; a server's own tests cover its side");
        m_fixture.reset();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray content(8192, 'x');
        file.write(content);
        file.close();

        Database db;
        QVERIFY(!db.initialize(path));
        QVERIFY(!db.initFailedOnFullDisk());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }

    void commitsReachDiskAndWaitForOtherWriters()
    {
        if (TestDatabase::onPostgres())
            QSKIP("about the SQLite file itself; a server's own tests cover its side");
        QCOMPARE(m_fixture->value(QStringLiteral("PRAGMA synchronous")).toInt(), 2 /* FULL */);
        QCOMPARE(m_fixture->value(QStringLiteral("PRAGMA journal_mode")).toString(),
                 QStringLiteral("wal"));

        // Another connection holds the write lock for a moment; a write on
        // ours waits for it instead of failing with "database is locked".
        QSemaphore locked;
        const QString path = m_fixture->filePath();
        std::thread other([&locked, path] {
            const QString name = QStringLiteral("other-writer");
            {
                QSqlDatabase conn = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                conn.setDatabaseName(path);
                conn.open();
                QSqlQuery query(conn);
                query.exec(QStringLiteral("BEGIN IMMEDIATE"));
                query.exec(QStringLiteral("INSERT INTO properties (name) VALUES ('برج الأمل')"));
                locked.release();
                QThread::msleep(400);
                query.exec(QStringLiteral("COMMIT"));
            }
            QSqlDatabase::removeDatabase(name);
        });
        locked.acquire();
        QElapsedTimer waited;
        waited.start();
        const int id = db()->execInsert(
            QStringLiteral("INSERT INTO properties (name) VALUES ('عمارة النور')"));
        const qint64 elapsed = waited.elapsed();
        other.join();
        QVERIFY2(id > 0, "the write gave up while the other connection held the lock");
        QVERIFY2(elapsed >= 300, qPrintable(QString::number(elapsed)));
        QCOMPARE(m_fixture->count(QStringLiteral("properties")), 2);
    }

    // Reads keep their prepared statements; the connection still closes for a
    // restore (no descriptor left on the file) and reads again once reopened.
    void closeReleasesTheFileAfterReads()
    {
        if (TestDatabase::onPostgres())
            QSKIP("about the SQLite file itself; a server's own tests cover its side");
        const QString path = m_fixture->filePath();
        QCOMPARE(db()->execQuery(QStringLiteral("SELECT * FROM currencies")).size(), 3);
        QCOMPARE(db()->scalar(QStringLiteral("SELECT COUNT(*) FROM users")).toInt(), 1);
        QVERIFY(!db()->getById(QStringLiteral("currencies"), 1).isEmpty());
        QCOMPARE(openDescriptorsOn(path), 1);

        QVERIFY(db()->checkpointAndClose());
        QCOMPARE(openDescriptorsOn(path), 0);
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("-wal")));
        QVERIFY(db()->execQuery(QStringLiteral("SELECT * FROM currencies")).isEmpty());

        QVERIFY(db()->reopen(true));
        QCOMPARE(db()->execQuery(QStringLiteral("SELECT * FROM currencies")).size(), 3);
        QVERIFY(db()->reopen(false));
        QVERIFY(db()->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"),
                                 {QStringLiteral("برج السلام")}) > 0);
        QCOMPARE(db()->scalar(QStringLiteral("SELECT name FROM properties")).toString(),
                 QStringLiteral("برج السلام"));
        QCOMPARE(openDescriptorsOn(path), 1);
    }

    void getByIdNeverReturnsAccounts()
    {
        const int adminId =
            m_fixture->value(QStringLiteral("SELECT id FROM users WHERE username='admin'")).toInt();
        QVERIFY(adminId > 0);
        QVERIFY(db()->getById(QStringLiteral("users"), adminId).isEmpty());
        QVERIFY(db()->getById(QStringLiteral("USERS"), adminId).isEmpty());
        QVERIFY(!db()->getById(QStringLiteral("currencies"), 1).isEmpty());
    }

private:
    Database* db() const { return m_fixture->db(); }
    std::unique_ptr<TestDatabase> m_fixture;
};

QTEST_GUILESS_MAIN(TestDatabaseAccess)
#include "tst_database.moc"
