#include "core/DatabaseSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTimeZone>

bool DatabaseSettings::readPassword(QString* password, QString* error) const
{
    password->clear();
    if (passwordFile.isEmpty())
        return true;
    QFile file(passwordFile);
    const QFileInfo info(file);
    if (!info.exists() || !info.isFile()) {
        *error = QStringLiteral("password file %1 not found").arg(passwordFile);
        return false;
    }
    // A password anyone on the computer can read is no secret: refuse the
    // file rather than use it.
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (file.permissions() & others) {
        *error = QStringLiteral("password file %1 may be read by others; allow its owner only "
                                "(chmod 600)")
                     .arg(passwordFile);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("password file %1 cannot be read: %2")
                     .arg(passwordFile, file.errorString());
        return false;
    }
    const QByteArray firstLine = file.readLine();
    *password = QString::fromUtf8(firstLine).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    return true;
}

QString DatabaseSettings::fileIn(const QString& dataDir)
{
    return dataDir + QStringLiteral("/database.ini");
}

DatabaseSettings DatabaseSettings::load(const QString& dataDir)
{
    DatabaseSettings settings = sqliteFile(dataDir + QStringLiteral("/sakanova.db"));
    const QString file = fileIn(dataDir);
    if (!QFileInfo::exists(file))
        return settings;
    const QSettings ini(file, QSettings::IniFormat);
    if (ini.value(QStringLiteral("engine")).toString() != QLatin1String("postgresql"))
        return settings;
    settings.engine = Engine::PostgreSQL;
    settings.host = ini.value(QStringLiteral("server/host")).toString();
    settings.port = ini.value(QStringLiteral("server/port"), 5432).toInt();
    settings.database = ini.value(QStringLiteral("server/database")).toString();
    settings.user = ini.value(QStringLiteral("server/user")).toString();
    settings.passwordFile = ini.value(QStringLiteral("server/passwordFile")).toString();
    settings.sslMode = ini.value(QStringLiteral("server/sslmode"), settings.sslMode).toString();
    return settings;
}

bool DatabaseSettings::save(const QString& dataDir, QString* error) const
{
    QSettings ini(fileIn(dataDir), QSettings::IniFormat);
    ini.clear();
    ini.setValue(QStringLiteral("engine"), engine == Engine::PostgreSQL
                                               ? QStringLiteral("postgresql")
                                               : QStringLiteral("sqlite"));
    if (engine == Engine::PostgreSQL) {
        ini.setValue(QStringLiteral("server/host"), host);
        ini.setValue(QStringLiteral("server/port"), port);
        ini.setValue(QStringLiteral("server/database"), database);
        ini.setValue(QStringLiteral("server/user"), user);
        ini.setValue(QStringLiteral("server/passwordFile"), passwordFile);
        ini.setValue(QStringLiteral("server/sslmode"), sslMode);
    }
    ini.sync();
    if (ini.status() != QSettings::NoError) {
        *error = QStringLiteral("%1 cannot be written").arg(fileIn(dataDir));
        return false;
    }
    return true;
}

bool DatabaseSettings::writePassword(const QString& file, const QString& password, QString* error)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(file, out.errorString());
        return false;
    }
    // Owner-only before the first byte goes in, so the password is never
    // in a file others could open.
    if (!out.setPermissions(QFile::ReadOwner | QFile::WriteOwner)) {
        out.cancelWriting();
        *error = QStringLiteral("%1: cannot restrict its permissions").arg(file);
        return false;
    }
    out.write(password.toUtf8() + '\n');
    if (!out.commit()) {
        *error = QStringLiteral("%1 cannot be written: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

bool DatabaseSettings::hostIsLocal() const
{
    static const QStringList loopback = {QStringLiteral("localhost"), QStringLiteral("127.0.0.1"),
                                         QStringLiteral("::1")};
    return host.isEmpty() || host.startsWith(QLatin1Char('/')) ||
           loopback.contains(host.trimmed().toLower());
}

QString DatabaseSettings::problem() const
{
    if (engine != Engine::PostgreSQL)
        return {};
    if (database.trimmed().isEmpty())
        return QStringLiteral("اكتب اسم قاعدة البيانات على الخادم");
    if (user.trimmed().isEmpty())
        return QStringLiteral("اكتب اسم مستخدم الخادم");
    if (port < 1 || port > 65535)
        return QStringLiteral("رقم المنفذ يجب أن يكون بين 1 و65535");
    static const QStringList known = {QStringLiteral("disable"), QStringLiteral("prefer"),
                                      QStringLiteral("require"), QStringLiteral("verify-ca"),
                                      QStringLiteral("verify-full")};
    if (!known.contains(sslMode))
        return QStringLiteral("طريقة التشفير غير معروفة: %1").arg(sslMode);
    // Passwords and the office's figures cross the network only encrypted.
    static const QStringList encrypted = {QStringLiteral("require"), QStringLiteral("verify-ca"),
                                          QStringLiteral("verify-full")};
    if (!hostIsLocal() && !encrypted.contains(sslMode))
        return QStringLiteral("الخادم على حاسوب آخر: يجب أن يكون الاتصال مشفراً (TLS)");
    return {};
}

QString DatabaseSettings::connectOptions() const
{
    // The program's own name in the server's list of sessions; a dead
    // server is given up on after ten seconds rather than waited for, and
    // a network that stops carrying a statement's answer after fifteen.
    // An office's books stay in the server's memory, where a row looked up
    // by its key costs about what the next row of a scan does; the server's
    // default cost, meant for spinning disks, had it scan a small table
    // once for every row of a page instead (1.8 against 1.3 ms for a page
    // of payments).
    QString options = QStringLiteral("application_name=sakanova;connect_timeout=10;"
                                     "keepalives_idle=10;keepalives_interval=5;"
                                     "keepalives_count=3;tcp_user_timeout=15000;"
                                     "options=-crandom_page_cost=1.1");
    if (!sslMode.isEmpty())
        options += QStringLiteral(";sslmode=") + sslMode;
    return options;
}

bool DatabaseSettings::openConnection(const QString& name, QString* error) const
{
    if (engine == Engine::SQLite) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            *error = db.lastError().text();
            return false;
        }
        return true;
    }
    QString password;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    if (!db.isValid()) {
        *error = QStringLiteral("the PostgreSQL driver (QPSQL) is not installed");
        return false;
    }
    if (!readPassword(&password, error))
        return false;
    db.setHostName(host);
    db.setPort(port);
    db.setDatabaseName(database);
    db.setUserName(user);
    if (!password.isEmpty())
        db.setPassword(password);
    db.setConnectOptions(connectOptions());
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    useLocalTimeZone(db);
    return true;
}

bool DatabaseSettings::useLocalTimeZone(QSqlDatabase& db)
{
    const QString zone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    if (zone.isEmpty())
        return false;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT set_config('TimeZone', ?, false)"));
    query.addBindValue(zone);
    return query.exec();
}
