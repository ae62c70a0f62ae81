#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

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
        QCOMPARE(first.size(), 4);
        QCOMPARE(first.at(0), QString(43, QLatin1Char('-')));
        QVERIFY(first.at(1).startsWith(QStringLiteral("App started at ")));
        QVERIFY2(first.at(1).endsWith(QStringLiteral(", version " SAKANOVA_PROJECT_VERSION)),
                 qPrintable(first.at(1)));
        QCOMPARE(first.at(2), QStringLiteral("QML root loaded successfully"));
        QCOMPARE(first.at(3), QStringLiteral("App exited with code: 0"));

        runUntilLoadedThenTerminate(home.path());
        const QStringList second = logLines(dataDir);
        QCOMPARE(second.size(), 8);
        QCOMPARE(second.mid(0, 4), first);
        QCOMPARE(second.at(4), QString(43, QLatin1Char('-')));
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
