#include "TestDatabase.h"

#include "core/Database.h"
#include "core/StartFailure.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class TestStartFailure : public QObject
{
    Q_OBJECT

private slots:
    // Regression: seeding a file whose users were emptied met the currencies
    // already there and stopped the start as if the folder were unwritable;
    // on a server no administrator came back at all, so no one could sign in.
    void emptiedUsersTableStartsAndSeedsWithoutDuplicates()
    {
        TestDatabase fixture;
        QVERIFY(fixture.isOpen());
        Database* db = fixture.db();
        QVERIFY(db->execNonQuery(QStringLiteral("UPDATE currencies SET is_primary = 0")));
        QVERIFY(db->execNonQuery(QStringLiteral("UPDATE currencies SET is_primary = 1 WHERE "
                                                "code = 'USD'")));
        QVERIFY(db->execNonQuery(QStringLiteral("DELETE FROM accounts WHERE code = '4300'")));
        QVERIFY(db->execNonQuery(QStringLiteral("DELETE FROM services WHERE name = ?"),
                                 {QStringLiteral("حراسة")}));
        QVERIFY(db->execNonQuery(QStringLiteral("DELETE FROM users")));

        QVERIFY2(fixture.reopen(), qPrintable(fixture.db()->initErrorText()));
        QCOMPARE(fixture.count(QStringLiteral("users")), 1);
        QCOMPARE(fixture.value(QStringLiteral("SELECT username FROM users")).toString(),
                 QStringLiteral("admin"));
        QCOMPARE(fixture.count(QStringLiteral("currencies")), 3);
        // The seeded chart and the ledger's bank and cheque accounts.
        QCOMPARE(fixture.count(QStringLiteral("accounts")), 16);
        QCOMPARE(fixture.count(QStringLiteral("services")), 5);
        // The office's own choice of primary currency stands.
        QCOMPARE(
            fixture.value(QStringLiteral("SELECT COUNT(*) FROM currencies WHERE is_primary = 1"))
                .toInt(),
            1);
        QCOMPARE(fixture.value(QStringLiteral("SELECT code FROM currencies WHERE is_primary = 1"))
                     .toString(),
                 QStringLiteral("USD"));
        // The re-added sub-account hangs under its parent by code.
        QCOMPARE(fixture
                     .value(QStringLiteral("SELECT p.code FROM accounts a JOIN accounts p ON "
                                           "p.id = a.parent_id WHERE a.code = '4300'"))
                     .toString(),
                 QStringLiteral("4000"));
        QVERIFY(fixture.reopen());
        QCOMPARE(fixture.count(QStringLiteral("services")), 5);
    }

    void heldWriteLockIsNamedAsSuch()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        // Another program has the file (still in rollback-journal mode, as an
        // older version left it) and keeps it locked.
        const QString name = QStringLiteral("other_program");
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QSqlQuery query(other);
            QVERIFY(query.exec(QStringLiteral("CREATE TABLE notes (id INTEGER)")));
            QVERIFY(query.exec(QStringLiteral("BEGIN EXCLUSIVE")));

            Database db;
            QVERIFY(!db.initialize(path));
            QCOMPARE(StartFailure::causeOf(db), StartFailure::Cause::Locked);
            const QString message = StartFailure::message(db, dir.path());
            QVERIFY2(message.contains(QStringLiteral("مقفل من برنامج آخر")), qPrintable(message));
            QVERIFY(!message.contains(QStringLiteral("ممتلئ")));
            QVERIFY(!message.contains(QStringLiteral("صلاحيات")));

            QVERIFY(query.exec(QStringLiteral("COMMIT")));
            query.finish();
            other.close();
        }
        QSqlDatabase::removeDatabase(name);
        // Once the other program lets go the books open.
        Database db;
        QVERIFY2(db.initialize(path), qPrintable(db.initErrorText()));
        QCOMPARE(StartFailure::causeOf(db), StartFailure::Cause::None);
    }

    void otherCausesAreNamed_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("cause");
        QTest::addColumn<QString>("words");
        QTest::newRow("text file in place of the database")
            << QByteArray(8192, 'x') << static_cast<int>(StartFailure::Cause::Damaged)
            << QStringLiteral("تالف");
    }
    void otherCausesAreNamed()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, cause);
        QFETCH(QString, words);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sakanova.db"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        Database db;
        QVERIFY(!db.initialize(path));
        QCOMPARE(static_cast<int>(StartFailure::causeOf(db)), cause);
        QVERIFY(StartFailure::message(db, dir.path()).contains(words));
        // The file is the office's, even if damaged: it is not removed.
        QVERIFY(QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestStartFailure)
#include "tst_startfailure.moc"
