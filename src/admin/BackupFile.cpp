#include "admin/BackupFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <atomic>

namespace {

const char* const stampFormat = "yyyy-MM-dd_HH-mm-ss";

// Tables every version of the program has had; a file without them is some
// other application's database.
const char* const requiredTables[] = {"users",   "settings",  "properties", "units",
                                      "tenants", "contracts", "invoices",   "payments"};

QString inspect(QSqlDatabase& db)
{
    if (!db.open())
        return QStringLiteral("cannot be opened: ") + db.lastError().text();

    QSqlQuery query(db);
    // The full check: the quick one does not compare indexes with their
    // tables, and a rewritten index then hides rows from every search.
    if (!query.exec(QStringLiteral("PRAGMA integrity_check")))
        return QStringLiteral("not a database: ") + query.lastError().text();
    QStringList findings;
    while (query.next())
        findings << query.value(0).toString();
    if (findings != QStringList{QStringLiteral("ok")})
        return QStringLiteral("damaged: ") + findings.join(QStringLiteral("; ")).left(200);

    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'")))
        return QStringLiteral("tables cannot be read: ") + query.lastError().text();
    QStringList tables;
    while (query.next())
        tables << query.value(0).toString();
    QStringList missing;
    for (const char* table : requiredTables) {
        if (!tables.contains(QLatin1String(table)))
            missing << QLatin1String(table);
    }
    if (!missing.isEmpty())
        return QStringLiteral("not a Sakanova database (missing ") +
               missing.join(QStringLiteral(", ")) + QLatin1Char(')');
    return {};
}

} // namespace

QString BackupFile::nameFor(const QDateTime& time, const QString& suffix)
{
    return QStringLiteral("sakanova_") + time.toString(QLatin1String(stampFormat)) + suffix;
}

QString BackupFile::preRestoreNameFor(const QDateTime& time, const QString& suffix)
{
    return QStringLiteral("sakanova_pre-restore_") + time.toString(QLatin1String(stampFormat)) +
           suffix;
}

QDateTime BackupFile::stampOf(const QString& fileName)
{
    static const QRegularExpression pattern(
        QStringLiteral("^sakanova_(\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2})\\.(db|dump)$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return {};
    return QDateTime::fromString(match.captured(1), QLatin1String(stampFormat));
}

QString BackupFile::checksumFileFor(const QString& path)
{
    return path + QStringLiteral(".sha256");
}

QString BackupFile::checksumOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

bool BackupFile::writeChecksum(const QString& path)
{
    const QString sum = checksumOf(path);
    if (sum.isEmpty())
        return false;
    QFile file(checksumFileFor(path));
    const QByteArray line = sum.toLatin1() + "  " + QFileInfo(path).fileName().toUtf8() + '\n';
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(line) == line.size() &&
        file.flush())
        return true;
    file.close();
    QFile::remove(checksumFileFor(path));
    return false;
}

QString BackupFile::recordedChecksum(const QString& path)
{
    QFile file(checksumFileFor(path));
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("-");
    // The first word; a file that says nothing is a checksum that matches nothing.
    const QByteArray word = file.read(256).trimmed().split(' ').value(0).toLower();
    return word.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(word);
}

QString BackupFile::problem(QSqlDatabase& db)
{
    return inspect(db);
}

QString BackupFile::problem(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("not a file");
    // SQLite takes an empty file for an empty database that passes every check.
    if (info.size() == 0)
        return QStringLiteral("empty file");

    static std::atomic<int> checks{0};
    const QString name = QStringLiteral("sakanova_file_check_%1").arg(++checks);
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        result = inspect(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}
