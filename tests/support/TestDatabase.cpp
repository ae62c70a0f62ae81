#include "TestDatabase.h"

#include "PgCluster.h"

#include "admin/OfficeMove.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStandardPaths>

namespace {

// One server for the whole test process, given back when the application
// object goes (a cluster the process started itself is stopped then).
PgCluster* sharedCluster()
{
    static PgCluster* cluster = nullptr;
    if (!cluster) {
        cluster = new PgCluster();
        qAddPostRoutine([] {
            delete cluster;
            cluster = nullptr;
        });
    }
    return cluster;
}

} // namespace

DatabaseSettings::Engine TestDatabase::engineFromEnvironment()
{
    return qEnvironmentVariable("SAKANOVA_TEST_ENGINE") == QLatin1String("postgres")
               ? DatabaseSettings::Engine::PostgreSQL
               : DatabaseSettings::Engine::SQLite;
}

TestDatabase::TestDatabase()
    : TestDatabase(engineFromEnvironment())
{}

TestDatabase::TestDatabase(DatabaseSettings::Engine engine)
{
    QStandardPaths::setTestModeEnabled(true);
    if (engine == DatabaseSettings::Engine::PostgreSQL) {
        PgCluster* cluster = sharedCluster();
        m_settings = cluster->newDatabase();
        if (m_settings.engine != DatabaseSettings::Engine::PostgreSQL) {
            qWarning("no PostgreSQL database for the test: %s", qPrintable(cluster->errorText()));
            m_db = std::make_unique<Database>();
            return;
        }
    } else {
        m_settings = DatabaseSettings::sqliteFile(filePath());
    }
    reopen();
}

TestDatabase::~TestDatabase() = default;

QString TestDatabase::filePath() const
{
    return m_dir.filePath(QStringLiteral("sakanova.db"));
}

bool TestDatabase::reopen()
{
    m_db.reset();
    m_db = std::make_unique<Database>();
    m_opened = m_db->initialize(m_settings);
    return m_opened;
}

bool TestDatabase::replaceWith(const QString& file)
{
    if (m_settings.engine != DatabaseSettings::Engine::SQLite) {
        // A fresh server database, with the file's office moved to it.
        m_db.reset();
        m_settings = sharedCluster()->newDatabase();
        if (m_settings.engine != DatabaseSettings::Engine::PostgreSQL || !reopen())
            return false;
        const QString reason = OfficeMove::run(file, m_db.get());
        if (!reason.isEmpty())
            qWarning("the office could not be moved to the server: %s", qPrintable(reason));
        return reason.isEmpty();
    }
    m_db.reset();
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(filePath() + QLatin1String(suffix));
    if (!QFile::copy(file, filePath()))
        return false;
    return reopen();
}

QVariant TestDatabase::value(const QString& sql, const QVariantList& params) const
{
    QSqlQuery query(m_db->connection());
    query.prepare(sql);
    for (const QVariant& p : params)
        query.addBindValue(p);
    if (query.exec() && query.next())
        return query.value(0);
    return {};
}

int TestDatabase::count(const QString& table) const
{
    return value(QStringLiteral("SELECT COUNT(*) FROM ") + table).toInt();
}

QString TestDatabase::typeOf(const QString& expression) const
{
    if (m_settings.engine != DatabaseSettings::Engine::PostgreSQL)
        return QStringLiteral("typeof(%1)").arg(expression);
    return QStringLiteral(
               "CASE WHEN (%1) IS NULL THEN 'null' ELSE CASE CAST(pg_typeof(%1) AS text) "
               "WHEN 'text' THEN 'text' WHEN 'character varying' THEN 'text' "
               "WHEN 'bigint' THEN 'integer' WHEN 'integer' THEN 'integer' "
               "WHEN 'smallint' THEN 'integer' WHEN 'boolean' THEN 'integer' "
               "WHEN 'numeric' THEN 'real' WHEN 'double precision' THEN 'real' "
               "WHEN 'real' THEN 'real' WHEN 'bytea' THEN 'blob' "
               "ELSE CAST(pg_typeof(%1) AS text) END END")
        .arg(expression);
}

bool TestDatabase::hasColumn(const QString& table, const QString& column) const
{
    if (m_settings.engine == DatabaseSettings::Engine::PostgreSQL)
        return value(QStringLiteral("SELECT COUNT(*) FROM information_schema.columns WHERE "
                                    "table_schema=current_schema() AND table_name=? AND "
                                    "column_name=?"),
                     {table, column})
                   .toInt() > 0;
    return value(QStringLiteral("SELECT COUNT(*) FROM pragma_table_info(?) WHERE name=?"),
                 {table, column})
               .toInt() > 0;
}

bool TestDatabase::writeLegacyFile(const QString& path, const QStringList& statements)
{
    const QString name = QStringLiteral("legacy");
    bool ok = true;
    {
        QSqlDatabase legacy = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        legacy.setDatabaseName(path);
        ok = legacy.open();
        QSqlQuery query(legacy);
        for (const QString& statement : statements) {
            if (!ok)
                break;
            ok = query.exec(statement);
            if (!ok)
                qWarning("legacy statement failed: %s", qPrintable(statement));
        }
        query.finish();
        legacy.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

sqlite3* TestDatabase::sqliteHandle() const
{
    const QVariant handle = m_db ? m_db->connection().driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}
