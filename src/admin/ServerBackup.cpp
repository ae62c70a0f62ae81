#include "admin/ServerBackup.h"

#include "admin/BackupFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

namespace {

// The tables every backup of this program's books holds.
const QStringList& requiredTables()
{
    static const QStringList tables = {
        QStringLiteral("schema_migrations"),
        QStringLiteral("settings"),
        QStringLiteral("users"),
        QStringLiteral("currencies"),
        QStringLiteral("properties"),
        QStringLiteral("tenants"),
        QStringLiteral("invoices"),
        QStringLiteral("payments"),
        QStringLiteral("journal_entries"),
        QStringLiteral("journal_lines"),
    };
    return tables;
}

// The PostgreSQL client program `name`: on the path (Debian's wrapper picks
// the version that suits the server), else the newest installed one.
QString tool(const QString& name)
{
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty())
        return onPath;
    QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& version : std::as_const(versions)) {
        const QString path = QStringLiteral("/usr/lib/postgresql/%1/bin/%2").arg(version, name);
        if (QFile::exists(path))
            return path;
    }
    return {};
}

// Runs a client program against `server` (or none), the password handed
// over in its environment, never on its command line. Empty when it
// exited with 0; otherwise what it said.
QString runTool(const QString& name, const QStringList& arguments, const DatabaseSettings* server,
                QByteArray* output = nullptr)
{
    const QString program = tool(name);
    if (program.isEmpty())
        return name + QStringLiteral(" is not installed (Debian package postgresql-client)");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (server) {
        QString password;
        QString error;
        if (!server->readPassword(&password, &error))
            return error;
        environment.insert(QStringLiteral("PGHOST"), server->host);
        environment.insert(QStringLiteral("PGPORT"), QString::number(server->port));
        environment.insert(QStringLiteral("PGDATABASE"), server->database);
        environment.insert(QStringLiteral("PGUSER"), server->user);
        environment.insert(QStringLiteral("PGSSLMODE"), server->sslMode);
        environment.insert(QStringLiteral("PGCONNECT_TIMEOUT"), QStringLiteral("10"));
        environment.insert(QStringLiteral("PGAPPNAME"), QStringLiteral("sakanova"));
        if (!password.isEmpty())
            environment.insert(QStringLiteral("PGPASSWORD"), password);
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!output)
        process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted())
        return name + QStringLiteral(" could not start: ") + process.errorString();
    if (output) {
        while (process.state() == QProcess::Running) {
            process.waitForReadyRead(1000);
            output->append(process.readAllStandardOutput());
        }
    }
    process.waitForFinished(-1);
    if (output)
        output->append(process.readAllStandardOutput());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return name + QStringLiteral(" failed: ") +
               QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return {};
}

} // namespace

QString ServerBackup::write(const DatabaseSettings& server, const QString& target)
{
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    QString error = runTool(QStringLiteral("pg_dump"),
                            {QStringLiteral("--format=custom"), QStringLiteral("--no-owner"),
                             QStringLiteral("--no-privileges"), QStringLiteral("--file"), part},
                            &server);
    if (error.isEmpty())
        error = problem(part);
    if (error.isEmpty() && !QFile::rename(part, target))
        error = QStringLiteral("cannot name the backup ") + target;
    if (error.isEmpty() && !BackupFile::writeChecksum(target))
        error = QStringLiteral("cannot write the checksum of ") + target;
    if (!error.isEmpty()) {
        QFile::remove(part);
        QFile::remove(target);
        QFile::remove(BackupFile::checksumFileFor(target));
    }
    return error;
}

QString ServerBackup::problem(const QString& path)
{
    if (!QFile::exists(path))
        return QStringLiteral("file not found");
    QByteArray contents;
    QString error =
        runTool(QStringLiteral("pg_restore"), {QStringLiteral("--list"), path}, nullptr, &contents);
    if (!error.isEmpty())
        return QStringLiteral("not a readable dump: ") + error;
    // Table entries read "<id>; <oid> <oid> TABLE <schema> <name> <owner>",
    // their rows "... TABLE DATA <schema> <name> <owner>".
    const QString list = QString::fromUtf8(contents);
    for (const QString& table : requiredTables()) {
        const QRegularExpression entry(QStringLiteral("\\sTABLE DATA \\S+ %1\\s").arg(table));
        if (!list.contains(entry))
            return QStringLiteral("the dump holds no table ") + table;
    }
    // Every data block is read and unpacked once: a damaged block fails
    // here, not half-way through a restore.
    error = runTool(QStringLiteral("pg_restore"),
                    {QStringLiteral("--file"), QProcess::nullDevice(), path}, nullptr);
    if (!error.isEmpty())
        return QStringLiteral("the dump does not read back whole: ") + error;
    return {};
}

QString ServerBackup::restore(const DatabaseSettings& server, const QString& path)
{
    return runTool(QStringLiteral("pg_restore"),
                   {QStringLiteral("--clean"), QStringLiteral("--if-exists"),
                    QStringLiteral("--single-transaction"), QStringLiteral("--exit-on-error"),
                    QStringLiteral("--no-owner"), QStringLiteral("--no-privileges"),
                    QStringLiteral("--dbname"), server.database, path},
                   &server);
}

ServerBackup::Restored ServerBackup::restoreChecked(const DatabaseSettings& server,
                                                    const QString& path, const QString& keep,
                                                    const std::function<void(Stage)>& stage)
{
    Restored result;
    const auto failWith = [&result](Failure failure, const QString& error) {
        result.failure = failure;
        result.error = error;
        return result;
    };
    stage(Stage::Checking);
    const QString recorded = BackupFile::recordedChecksum(path);
    result.hadChecksum = !recorded.isEmpty();
    if (result.hadChecksum && recorded != BackupFile::checksumOf(path))
        return failWith(Failure::ChangedSinceMade,
                        QStringLiteral("Backup file rejected: checksum differs"));
    const QString unfit = problem(path);
    if (!unfit.isEmpty())
        return failWith(Failure::Unfit, QStringLiteral("Backup file rejected: ") + unfit);
    stage(Stage::KeepingCopy);
    const QString notKept =
        QFile::exists(keep) ? QStringLiteral("name exists") : write(server, keep);
    if (!notKept.isEmpty())
        return failWith(Failure::NotKept,
                        QStringLiteral("Failed to keep a copy of the current database: ") +
                            notKept);
    stage(Stage::Restoring);
    const QString notRestored = restore(server, path);
    if (!notRestored.isEmpty())
        return failWith(Failure::NotRestored,
                        QStringLiteral("Failed to restore backup: ") + notRestored);
    return result;
}
