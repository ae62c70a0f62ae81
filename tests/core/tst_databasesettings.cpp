#include "core/DatabaseSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Where a desk opens its books, kept in its data folder, and the password
// file the program writes and reads.
class TestDatabaseSettings : public QObject
{
    Q_OBJECT

private slots:
    void noFileMeansThisComputersFile()
    {
        QTemporaryDir dir;
        const DatabaseSettings settings = DatabaseSettings::load(dir.path());
        QCOMPARE(settings.engine, DatabaseSettings::Engine::SQLite);
        QCOMPARE(settings.path, dir.path() + QStringLiteral("/sakanova.db"));
    }

    void serverSettingsRoundTrip()
    {
        QTemporaryDir dir;
        DatabaseSettings server;
        server.engine = DatabaseSettings::Engine::PostgreSQL;
        server.host = QStringLiteral("books.office.lan");
        server.port = 5433;
        server.database = QStringLiteral("مكتب_الرياض");
        server.user = QStringLiteral("clerk");
        server.passwordFile = dir.path() + QStringLiteral("/server-password");
        server.sslMode = QStringLiteral("verify-full");
        QString error;
        QVERIFY2(server.save(dir.path(), &error), qPrintable(error));

        const DatabaseSettings read = DatabaseSettings::load(dir.path());
        QCOMPARE(read.engine, DatabaseSettings::Engine::PostgreSQL);
        QCOMPARE(read.host, server.host);
        QCOMPARE(read.port, 5433);
        QCOMPARE(read.database, server.database);
        QCOMPARE(read.user, server.user);
        QCOMPARE(read.passwordFile, server.passwordFile);
        QCOMPARE(read.sslMode, QStringLiteral("verify-full"));
        QVERIFY(read.connectOptions().contains(QStringLiteral("sslmode=verify-full")));

        // Back to this computer: the server's fields are gone from the file.
        QVERIFY(DatabaseSettings::sqliteFile(QString()).save(dir.path(), &error));
        const DatabaseSettings local = DatabaseSettings::load(dir.path());
        QCOMPARE(local.engine, DatabaseSettings::Engine::SQLite);
        QVERIFY(local.host.isEmpty());
        QCOMPARE(local.path, dir.path() + QStringLiteral("/sakanova.db"));
    }

    void passwordFileIsOwnersOnly()
    {
        QTemporaryDir dir;
        const QString file = dir.path() + QStringLiteral("/server-password");
        QString error;
        QVERIFY2(DatabaseSettings::writePassword(file, QStringLiteral("كلمة:سر 1"), &error),
                 qPrintable(error));
        QCOMPARE(QFile::permissions(file) & ~(QFile::ReadUser | QFile::WriteUser),
                 QFile::ReadOwner | QFile::WriteOwner);

        DatabaseSettings server;
        server.engine = DatabaseSettings::Engine::PostgreSQL;
        server.passwordFile = file;
        QString password;
        QVERIFY2(server.readPassword(&password, &error), qPrintable(error));
        QCOMPARE(password, QStringLiteral("كلمة:سر 1"));

        // Writing again keeps the file private.
        QVERIFY(DatabaseSettings::writePassword(file, QStringLiteral("ثانية"), &error));
        QVERIFY(server.readPassword(&password, &error));
        QCOMPARE(password, QStringLiteral("ثانية"));
    }

    void passwordFileOthersMayReadIsRefused_data()
    {
        QTest::addColumn<int>("permissions");
        QTest::newRow("world-readable")
            << int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QTest::newRow("group-readable")
            << int(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    }

    void passwordFileOthersMayReadIsRefused()
    {
        QFETCH(int, permissions);
        QTemporaryDir dir;
        const QString file = dir.path() + QStringLiteral("/server-password");
        QString error;
        QVERIFY(DatabaseSettings::writePassword(file, QStringLiteral("secret"), &error));
        QVERIFY(QFile::setPermissions(file, QFile::Permissions(permissions)));
        DatabaseSettings server;
        server.engine = DatabaseSettings::Engine::PostgreSQL;
        server.passwordFile = file;
        QString password = QStringLiteral("left over");
        QVERIFY(!server.readPassword(&password, &error));
        QVERIFY(password.isEmpty());
        QVERIFY(error.contains(QStringLiteral("chmod 600")));
    }

    void problems_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("sslMode");
        QTest::addColumn<QString>("database");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("problem"); // a word of it; empty: fine

        QTest::newRow("remote without TLS") << "192.168.1.20"
                                            << "prefer"
                                            << "office" << 5432 << "مشفراً";
        QTest::newRow("remote, TLS off") << "books.office.lan"
                                         << "disable"
                                         << "office" << 5432 << "مشفراً";
        QTest::newRow("remote with TLS") << "books.office.lan"
                                         << "require"
                                         << "office" << 5432 << "";
        QTest::newRow("socket folder") << "/var/run/postgresql"
                                       << "disable"
                                       << "office" << 5432 << "";
        QTest::newRow("loopback") << "127.0.0.1"
                                  << "prefer"
                                  << "office" << 5432 << "";
        QTest::newRow("localhost") << "LocalHost"
                                   << "disable"
                                   << "office" << 5432 << "";
        QTest::newRow("no database") << ""
                                     << "prefer"
                                     << " " << 5432 << "اسم قاعدة البيانات";
        QTest::newRow("port out of range") << ""
                                           << "prefer"
                                           << "office" << 70000 << "المنفذ";
        QTest::newRow("unknown TLS mode") << ""
                                          << "maybe"
                                          << "office" << 5432 << "التشفير";
    }

    void problems()
    {
        QFETCH(QString, host);
        QFETCH(QString, sslMode);
        QFETCH(QString, database);
        QFETCH(int, port);
        QFETCH(QString, problem);
        DatabaseSettings server;
        server.engine = DatabaseSettings::Engine::PostgreSQL;
        server.host = host;
        server.sslMode = sslMode;
        server.database = database;
        server.user = QStringLiteral("clerk");
        server.port = port;
        if (problem.isEmpty())
            QCOMPARE(server.problem(), QString());
        else
            QVERIFY2(server.problem().contains(problem), qPrintable(server.problem()));
    }
};

QTEST_GUILESS_MAIN(TestDatabaseSettings)
#include "tst_databasesettings.moc"
