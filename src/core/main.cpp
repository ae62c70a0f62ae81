#include "core/AppContext.h"
#include "core/AppLog.h"
#include "core/AppSetup.h"
#include "core/Database.h"
#include "core/TerminationSignals.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QQmlApplicationEngine>
#include <QStandardPaths>

namespace {

// Loads the main document; true when a root object exists afterwards.
bool loadRoot(QQmlApplicationEngine& engine, const QUrl& url)
{
    engine.load(url);
    return !engine.rootObjects().isEmpty();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    AppSetup::apply();

    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDir);

    Database database;
    if (!database.initialize(dataDir + QStringLiteral("/sakanova.db"))) {
        qCritical("Failed to initialize database!");
        return -1;
    }

    TerminationSignals terminationSignals;
    AppContext backend(&database, dataDir);

    QQmlApplicationEngine engine;
    backend.publish(engine.rootContext());

    const QUrl url(QStringLiteral("qrc:/qml/main.qml"));
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &app,
        [] { QCoreApplication::exit(-1); }, Qt::QueuedConnection);

    if (AppLog::open(dataDir)) {
        AppLog::writeLine(QString(43, QLatin1Char('-')));
        AppLog::writeLine(QStringLiteral("App started at ") +
                          QDateTime::currentDateTime().toString(Qt::TextDate));
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
    const int exitCode = QApplication::exec();

    if (AppLog::isOpen()) {
        AppLog::writeLine(QStringLiteral("App exited with code: ") + QString::number(exitCode));
        AppLog::close();
    }
    return exitCode;
}
