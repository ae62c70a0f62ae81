#include "app/AppMain.h"
#include "app/AppSetup.h"
#include "app/InstanceLock.h"
#include "core/Database.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include <csignal>

// The run after a restore, across real processes: this test starts a copy of
// its own executable that plays the application through AppMain::run (the
// entry routine's own code), restores a backup and restarts; the copy that
// the restart starts reports what it found. The data folder is a temporary
// one, chosen through XDG_DATA_HOME as the application chooses it.
namespace {

const char* const playRole = "--play-the-application";

// Generous: two windows load one after the other on a busy machine.
constexpr int runTimeout = 120000;

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text.toUtf8());
}

// A back-end object of the application's window, once the window is up.
QObject* published(const char* name)
{
    const QWindowList windows = QGuiApplication::topLevelWindows();
    for (QWindow* window : windows) {
        if (QQmlEngine* engine = qmlEngine(qobject_cast<QQuickWindow*>(window)))
            return engine->rootContext()->contextProperty(QLatin1String(name)).value<QObject*>();
    }
    return nullptr;
}

// Runs `act` once, as soon as the window and its back end exist.
void whenLoaded(std::function<void()> act)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)] {
        if (!published("backupManager"))
            return;
        timer->stop();
        timer->deleteLater();
        act();
    });
    timer->start();
}

QStringList propertyNames()
{
    QVariantList rows;
    QMetaObject::invokeMethod(published("propertyModel"), "getAll",
                              Q_RETURN_ARG(QVariantList, rows));
    QStringList names;
    for (const QVariant& row : std::as_const(rows))
        names << row.toMap().value(QStringLiteral("name")).toString();
    return names;
}

// The application as the office runs it. The first copy (no "old.pid" in the
// work folder yet) restores work/backup.db and asks for the restart; the
// copy started by that restart, with the same arguments, writes what it
// found to work/new.result as its last act.
int playTheApplication(int argc, char* argv[])
{
    QApplication app(argc, argv);
    AppSetup::apply();
    const QString work = QString::fromLocal8Bit(argv[2]);
    const QString dataDir = AppMain::dataDirectory();
    const QString pid = QString::number(QCoreApplication::applicationPid());

    if (!QFile::exists(work + QStringLiteral("/old.pid"))) {
        writeFile(work + QStringLiteral("/old.pid"), pid);
        whenLoaded([work] {
            QObject* backups = published("backupManager");
            bool restored = false;
            bool restarting = false;
            QMetaObject::invokeMethod(backups, "restoreBackup", Q_RETURN_ARG(bool, restored),
                                      Q_ARG(QString, work + QStringLiteral("/backup.db")));
            if (restored)
                QMetaObject::invokeMethod(backups, "restartNow", Q_RETURN_ARG(bool, restarting));
            writeFile(work + QStringLiteral("/old.result"),
                      restarting ? QStringLiteral("restarting")
                                 : backups->property("lastError").toString());
            if (!restarting)
                QCoreApplication::exit(3);
        });
        return AppMain::run(dataDir);
    }

    writeFile(work + QStringLiteral("/new.pid"), pid);
    QStringList report{QStringLiteral("pid=") + pid};
    // Before this copy opens anything: the books are the checked copy of
    // the backup (written afresh from the connection that checked it, so not
    // the same bytes), whole, with nothing waiting in a write-ahead log.
    const QString books = dataDir + QStringLiteral("/sakanova.db");
    const QByteArray restored = readFile(books);
    const bool untouched = restored.startsWith("SQLite format 3") &&
                           readFile(books + QStringLiteral("-wal")).isEmpty();
    report << QStringLiteral("untouched=%1").arg(untouched);
    whenLoaded([&report, dataDir] {
        report << QStringLiteral("lock=%1").arg(InstanceLock(dataDir).holderPid())
               << QStringLiteral("properties=") + propertyNames().join(QLatin1Char('|'))
               << QStringLiteral("restartRequired=%1")
                      .arg(published("backupManager")->property("restartRequired").toBool());
        QCoreApplication::quit();
    });
    const int exitCode = AppMain::run(dataDir);
    report << QStringLiteral("exit=%1").arg(exitCode);
    writeFile(work + QStringLiteral("/new.result"), report.join(QLatin1Char('\n')));
    return exitCode;
}

} // namespace

class TestAppMain : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    qint64 m_newPid = 0;

    QString dataDir() const { return m_home.filePath(QStringLiteral("data/Sakanova/Sakanova")); }
    QString work() const { return m_home.filePath(QStringLiteral("work")); }

    static bool writeOffice(const QString& path, const QString& propertyName)
    {
        Database db;
        return db.initialize(path) &&
               db.execInsert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"),
                             {propertyName}) > 0 &&
               db.checkpointAndClose();
    }

    static bool running(qint64 pid) { return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0; }

    QMap<QString, QString> newReport() const
    {
        QMap<QString, QString> fields;
        const QStringList lines =
            QString::fromUtf8(readFile(work() + QStringLiteral("/new.result")))
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& line : lines)
            fields.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
        return fields;
    }

private slots:
    void cleanup()
    {
        // A copy left running by a failed check would hold the folder.
        if (running(m_newPid))
            ::kill(static_cast<pid_t>(m_newPid), SIGKILL);
    }

    void restoreThenRestartOpensTheBackupInANewProcess()
    {
        QVERIFY(m_home.isValid());
        QVERIFY(QDir().mkpath(dataDir()));
        QVERIFY(QDir().mkpath(work()));
        QVERIFY(writeOffice(dataDir() + QStringLiteral("/sakanova.db"),
                            QStringLiteral("برج قبل الاستعادة")));
        QVERIFY(writeOffice(work() + QStringLiteral("/backup.db"), QStringLiteral("برج النسخة")));

        QProcess old;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        old.setProcessEnvironment(env);
        // Files, not pipes: the restarted copy inherits them and may outlive
        // the first one.
        old.setStandardOutputFile(work() + QStringLiteral("/out.txt"));
        old.setStandardErrorFile(work() + QStringLiteral("/out.txt"), QIODevice::Append);
        old.start(QCoreApplication::applicationFilePath(), {QLatin1String(playRole), work()});
        QVERIFY(old.waitForStarted(runTimeout));
        const bool oldEnded = old.waitForFinished(runTimeout);
        if (!oldEnded)
            old.kill();
        const QByteArray output = readFile(work() + QStringLiteral("/out.txt"));
        QVERIFY2(oldEnded, output.constData());

        // The first copy restored, asked for the restart and quit by itself.
        QCOMPARE(QString::fromUtf8(readFile(work() + QStringLiteral("/old.result"))),
                 QStringLiteral("restarting"));
        QCOMPARE(old.exitStatus(), QProcess::NormalExit);
        QCOMPARE(old.exitCode(), 0);

        // A second copy started on the same folder and ran to its end.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(work() + QStringLiteral("/new.result")), runTimeout);
        m_newPid = readFile(work() + QStringLiteral("/new.pid")).toLongLong();
        const QMap<QString, QString> report = newReport();
        QVERIFY2(!report.isEmpty(), readFile(work() + QStringLiteral("/out.txt")).constData());
        QVERIFY(m_newPid > 0);
        QVERIFY(m_newPid != old.processId());
        QCOMPARE(report.value(QStringLiteral("pid")).toLongLong(), m_newPid);
        // It took the lock, found the books exactly as restored and shows
        // the backup's records, with no restart pending any more.
        QCOMPARE(report.value(QStringLiteral("lock")).toLongLong(), m_newPid);
        QCOMPARE(report.value(QStringLiteral("untouched")), QStringLiteral("1"));
        QCOMPARE(report.value(QStringLiteral("properties")), QStringLiteral("برج النسخة"));
        QCOMPARE(report.value(QStringLiteral("restartRequired")), QStringLiteral("0"));
        QCOMPARE(report.value(QStringLiteral("exit")), QStringLiteral("0"));
        QTRY_VERIFY_WITH_TIMEOUT(!running(m_newPid), runTimeout);

        // Restored once: one kept copy of the replaced books, and the second
        // copy asked for no further start.
        QCOMPARE(QDir(dataDir() + QStringLiteral("/backups"))
                     .entryList({QStringLiteral("sakanova_pre-restore_*.db")})
                     .size(),
                 1);
        QVERIFY(!QFile::exists(dataDir() + QLatin1Char('/') + InstanceLock::fileName()));
        QFile log(dataDir() + QStringLiteral("/app.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString runs = QString::fromUtf8(log.readAll());
        QCOMPARE(runs.count(QStringLiteral("QML root loaded successfully")), 2);
        QCOMPARE(runs.count(QStringLiteral("App exited with code: 0")), 2);
    }
};

int main(int argc, char* argv[])
{
    if (argc > 2 && qstrcmp(argv[1], playRole) == 0)
        return playTheApplication(argc, argv);
    QApplication app(argc, argv);
    TestAppMain test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_appmain.moc"
