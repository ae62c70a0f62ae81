#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>

// Runs the real executable on a temporary data directory.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstAndSecondRunAppendBlocks()
    {
        QTemporaryDir home;
        const QString dataDir = home.filePath(QStringLiteral("data/Sakanova/Sakanova"));

        runUntilLoadedThenTerminate(home.path());
        QVERIFY(QFile::exists(dataDir + QStringLiteral("/sakanova.db")));
        const QStringList first = logLines(dataDir);
        QCOMPARE(first.size(), 5);
        QCOMPARE(first.at(0), QString(43, QLatin1Char('-')));
        QVERIFY(first.at(1).startsWith(QStringLiteral("App started at ")));
        QVERIFY2(first.at(1).endsWith(QStringLiteral(", version " SAKANOVA_PROJECT_VERSION)),
                 qPrintable(first.at(1)));
        QCOMPARE(first.at(2), QStringLiteral("QML root loaded successfully"));
        // At exit, the longest time the window's thread went without
        // waiting for events.
        QVERIFY2(first.at(3).contains(QRegularExpression(
                     QStringLiteral("^Longest time the window's thread was held: \\d+ ms "
                                    "\\(\\d+ s after start\\)$"))),
                 qPrintable(first.at(3)));
        QCOMPARE(first.at(4), QStringLiteral("App exited with code: 0"));

        runUntilLoadedThenTerminate(home.path());
        const QStringList second = logLines(dataDir);
        QCOMPARE(second.size(), 10);
        QCOMPARE(second.mid(0, 5), first);
        QCOMPARE(second.at(5), QString(43, QLatin1Char('-')));
        QCOMPARE(second.last(), QStringLiteral("App exited with code: 0"));
    }

    void unwritableDataDirectoryExitsWithoutLog()
    {
        QTemporaryDir home;
        // A regular file where the data directory's parent should be: nothing
        // can be created beneath it, whatever the user's rights.
        const QString blocker = home.filePath(QStringLiteral("data"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        QProcess process;
        process.setProcessEnvironment(environment(home.path()));
        process.start(QStringLiteral(SAKANOVA_EXECUTABLE), {});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(static_cast<qint8>(process.exitCode()), qint8(-1));
        QVERIFY(process.readAllStandardError().contains("Failed to initialize database!"));
        QVERIFY(!QFile::exists(blocker + QStringLiteral("/Sakanova/Sakanova/app.log")));
    }

    void secondInstanceOnSameFolderIsRefused()
    {
        QTemporaryDir home;
        const QString dataDir = home.filePath(QStringLiteral("data/Sakanova/Sakanova"));
        QProcess first;
        first.setProcessEnvironment(environment(home.path()));
        first.start(QStringLiteral(SAKANOVA_EXECUTABLE), {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            logLines(dataDir).contains(QStringLiteral("QML root loaded successfully")), 30000);
        const QStringList logBefore = logLines(dataDir);

        QProcess second;
        second.setProcessEnvironment(environment(home.path()));
        second.start(QStringLiteral(SAKANOVA_EXECUTABLE), {});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(static_cast<qint8>(second.exitCode()), qint8(-1));
        const QString errors = QString::fromUtf8(second.readAllStandardError());
        QVERIFY2(errors.contains(QStringLiteral("ساكانوفا يعمل بالفعل على مجلد البيانات هذا")),
                 qPrintable(errors));
        QVERIFY(errors.contains(QString::number(first.processId())));
        // The refused copy neither logged a run nor touched the books.
        QCOMPARE(logLines(dataDir), logBefore);
        QCOMPARE(first.state(), QProcess::Running);

        ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitCode(), 0);
    }

    // A file size limit makes every write past it fail, as a full disk or a
    // read-only file would; unlike permissions it also stops root. The lock
    // file is small enough to be written, so the database is what fails.
    void unwritableDatabaseRefusesStartAndLeavesNoFile()
    {
        QTemporaryDir home;
        const QString dataDir = home.filePath(QStringLiteral("data/Sakanova/Sakanova"));
        QProcess process;
        process.setProcessEnvironment(environment(home.path()));
        process.setChildProcessModifier([] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{64 * 1024, 64 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        process.start(QStringLiteral(SAKANOVA_EXECUTABLE), {});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(static_cast<qint8>(process.exitCode()), qint8(-1));
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(errors.contains(QStringLiteral("Failed to initialize database!")),
                 qPrintable(errors));
        QVERIFY2(errors.contains(QStringLiteral("لا يمكن الكتابة في مجلد البيانات")),
                 qPrintable(errors));
        QVERIFY(QDir(dataDir).exists());
        for (const char* name : {"sakanova.db", "sakanova.db-wal", "sakanova.db-shm", "app.log"})
            QVERIFY2(!QFile::exists(dataDir + QLatin1Char('/') + QLatin1String(name)), name);

        // With room again the next start builds a complete database.
        runUntilLoadedThenTerminate(home.path());
        QVERIFY(QFileInfo(dataDir + QStringLiteral("/sakanova.db")).size() > 0);
    }

private:
    static QProcessEnvironment environment(const QString& home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    static QStringList logLines(const QString& dataDir)
    {
        QFile log(dataDir + QStringLiteral("/app.log"));
        if (!log.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    void runUntilLoadedThenTerminate(const QString& home)
    {
        const QString dataDir = home + QStringLiteral("/data/Sakanova/Sakanova");
        const int linesBefore = static_cast<int>(logLines(dataDir).size());
        QProcess process;
        process.setProcessEnvironment(environment(home));
        process.start(QStringLiteral(SAKANOVA_EXECUTABLE), {});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(logLines(dataDir)
                                     .mid(linesBefore)
                                     .contains(QStringLiteral("QML root loaded successfully")),
                                 30000);
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
