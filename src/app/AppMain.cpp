#include "app/AppMain.h"

#include "admin/ServerSetup.h"
#include "app/AppContext.h"
#include "app/AppLog.h"
#include "app/InstanceLock.h"
#include "app/NativeDesktop.h"
#include "app/StartupWork.h"
#include "app/TerminationSignals.h"
#include "app/ThreadHoldMeter.h"
#include "core/Database.h"
#include "core/FreeMemory.h"
#include "core/StartFailure.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QStandardPaths>

namespace {

// Loads the main document; true when a root object exists afterwards.
bool loadRoot(QQmlApplicationEngine& engine, const QUrl& url)
{
    engine.load(url);
    return !engine.rootObjects().isEmpty();
}

// Tells the user why the program cannot start: on standard error, and in a
// message box wherever there is a screen to show one (a desktop user started
// from an icon never sees standard error). Returns the start-up failure code.
int refuseStart(const QString& message)
{
    qCritical("%s", qUtf8Printable(message));
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        QMessageBox::critical(nullptr, QStringLiteral("ساكانوفا"), message);
    return -1;
}

// Asks whether to try the server again after it could not be reached at
// start, naming the reason. False (and the start fails) without a screen to
// ask on or when the user gives up.
bool askToRetry(const DatabaseSettings& server, const QString& reason)
{
    const QString message =
        QStringLiteral("تعذر فتح بيانات المكتب على الخادم %1 (قاعدة البيانات %2):\n%3\n\n"
                       "تأكد من أن الخادم يعمل ومن اتصال الشبكة ثم أعد المحاولة.")
            .arg(server.host.isEmpty() ? QStringLiteral("المحلي") : server.host, server.database,
                 reason);
    qCritical("%s", qUtf8Printable(message));
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    return QMessageBox::critical(nullptr, QStringLiteral("ساكانوفا"), message,
                                 QMessageBox::Retry | QMessageBox::Close,
                                 QMessageBox::Retry) == QMessageBox::Retry;
}

// Opens the books where this computer's settings say; on a server that
// cannot be reached the user may try again. False when they stay closed,
// with the user told why.
bool openBooks(Database& database, const QString& dataDir)
{
    const DatabaseSettings settings = DatabaseSettings::load(dataDir);
    if (settings.engine == DatabaseSettings::Engine::PostgreSQL) {
        qInfo("Opening the books on the server %s:%d/%s", qUtf8Printable(settings.host),
              settings.port, qUtf8Printable(settings.database));
        // First off the window's thread: the schema brought up to date, an
        // office moved from an older file posting its past (long work done
        // once, by whichever desk starts first), and the wait for another
        // desk's restore, each with a window that says so.
        bool prepared = StartupWork(settings).run();
        while (!database.initialize(settings)) {
            if (!askToRetry(settings, ServerSetup::explain(database.initErrorText())))
                return false;
            prepared = false;
        }
        // The server could not be reached then: the same work, now it can.
        if (!prepared)
            StartupWork(settings).run();
        return true;
    }
    // The long part of opening an older or large file is done first, off
    // the window's thread and with a progress window; what follows then
    // finds the file up to date.
    StartupWork(settings.path).run();
    // Posting a long history leaves hundreds of megabytes freed but still
    // held by the allocator; hand them back before the window is built.
    FreeMemory::giveBackFreedHeap();
    if (!database.initialize(settings.path)) {
        qCritical("Failed to initialize database!");
        qCritical("%s", qUtf8Printable(database.initErrorText()));
        refuseStart(StartFailure::message(database, dataDir));
        return false;
    }
    return true;
}

// Opens the books, shows the window and runs until it closes. Everything it
// creates is gone when it returns.
int runApplication(const QString& dataDir)
{
    Database database;
    if (!openBooks(database, dataDir))
        return -1;
    TerminationSignals terminationSignals;
    AppContext backend(&database, dataDir);

    QQmlApplicationEngine engine;
    backend.publish(engine.rootContext());

    const QUrl url(QStringLiteral("qrc:/qml/main.qml"));
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &engine,
        [] { QCoreApplication::exit(-1); }, Qt::QueuedConnection);

    if (AppLog::open(dataDir)) {
        AppLog::writeLine(QString(43, QLatin1Char('-')));
        AppLog::writeLine(QStringLiteral("App started at ") +
                          QDateTime::currentDateTime().toString(Qt::TextDate) +
                          QStringLiteral(", version ") + QCoreApplication::applicationVersion());
        QObject::connect(&engine, &QQmlEngine::warnings, &AppLog::writeQmlErrors);
        if (!loadRoot(engine, url)) {
            AppLog::writeLine(QStringLiteral("CRITICAL: Failed to load QML root objects!"));
            return -1;
        }
        AppLog::writeLine(QStringLiteral("QML root loaded successfully"));
    } else if (!loadRoot(engine, url)) {
        return -1;
    }

    backend.startDeferredWork();
    ThreadHoldMeter holdMeter;
    const int exitCode = QApplication::exec();

    if (AppLog::isOpen()) {
        AppLog::writeLine(holdMeter.summary());
        AppLog::writeLine(QStringLiteral("App exited with code: ") + QString::number(exitCode));
        AppLog::close();
    }
    return exitCode;
}

} // namespace

namespace AppMain {

QString dataDirectory()
{
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDir);
    return dataDir;
}

int run(const QString& dataDir)
{
    // Held until the run ends, before the database is touched, so two
    // copies never write the same books.
    InstanceLock instanceLock(dataDir);
    switch (instanceLock.acquire()) {
    case InstanceLock::Result::Acquired:
        break;
    case InstanceLock::Result::HeldByOther:
        qCritical("Another instance (pid %lld) is using %s", instanceLock.holderPid(),
                  qUtf8Printable(dataDir));
        return refuseStart(QStringLiteral("ساكانوفا يعمل بالفعل على مجلد البيانات هذا. "
                                          "استخدم النافذة المفتوحة أو أغلقها ثم أعد التشغيل."));
    case InstanceLock::Result::Unwritable:
        qCritical("Failed to initialize database!");
        return refuseStart(StartFailure::folderNotWritable(dataDir));
    }

    const int exitCode = runApplication(dataDir);
    // A restart (after a restore) starts the new process only now: the
    // database is closed and the instance lock is free for it.
    if (exitCode == 0 && NativeDesktop::restartRequested()) {
        instanceLock.release();
        if (!QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                     QCoreApplication::arguments().mid(1)))
            qCritical("Could not start the program again after a restore");
    }
    return exitCode;
}

} // namespace AppMain
