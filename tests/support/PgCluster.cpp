#include "PgCluster.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString clusterScript()
{
    return QStringLiteral(SAKANOVA_SOURCE_DIR "/tools/pg-cluster.sh");
}

int serial()
{
    static int next = 0;
    return ++next;
}

} // namespace

PgCluster::PgCluster()
{
    const QString sharedHost = qEnvironmentVariable("SAKANOVA_TEST_PGHOST");
    const int sharedPort = qEnvironmentVariableIntValue("SAKANOVA_TEST_PGPORT");
    if (!sharedHost.isEmpty() && sharedPort > 0) {
        m_host = sharedHost;
        m_port = sharedPort;
    } else {
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder for the cluster");
            return;
        }
        QProcess start;
        start.start(QStringLiteral("bash"),
                    {clusterScript(), QStringLiteral("start"), m_dir.path()});
        m_own = true;
        if (!start.waitForFinished(120000) || start.exitStatus() != QProcess::NormalExit ||
            start.exitCode() != 0) {
            m_error = QStringLiteral("the cluster did not start: ") +
                      QString::fromLocal8Bit(start.readAllStandardError());
            return;
        }
        m_host = m_dir.path();
        for (const QString& line :
             QString::fromLocal8Bit(start.readAllStandardOutput()).split('\n')) {
            if (line.startsWith(QLatin1String("PGPORT=")))
                m_port = line.mid(7).toInt();
        }
    }
    m_adminConnection = QStringLiteral("pgcluster_admin_%1_%2")
                            .arg(QCoreApplication::applicationPid())
                            .arg(serial());
    QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_adminConnection);
    admin.setHostName(m_host);
    admin.setPort(m_port);
    admin.setDatabaseName(QStringLiteral("postgres"));
    if (!admin.open()) {
        m_error = QStringLiteral("cannot reach the server: ") + admin.lastError().text();
        return;
    }
    m_running = true;
}

PgCluster::~PgCluster()
{
    if (!m_adminConnection.isEmpty()) {
        {
            QSqlDatabase admin = QSqlDatabase::database(m_adminConnection, false);
            if (admin.isOpen()) {
                QSqlQuery query(admin);
                for (const QString& name : m_databases)
                    query.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
            }
            admin.close();
        }
        QSqlDatabase::removeDatabase(m_adminConnection);
    }
    if (m_own) {
        QProcess stop;
        stop.start(QStringLiteral("bash"), {clusterScript(), QStringLiteral("stop"), m_dir.path()});
        stop.waitForFinished(60000);
    }
}

bool PgCluster::run(const QString& sql)
{
    QSqlQuery query(QSqlDatabase::database(m_adminConnection, false));
    if (query.exec(sql))
        return true;
    m_error = query.lastError().text();
    return false;
}

DatabaseSettings PgCluster::newDatabase()
{
    DatabaseSettings settings;
    if (!m_running)
        return settings;
    // Names made here from the process id and a counter, never from input.
    const QString name =
        QStringLiteral("sakanova_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(serial());
    if (!run(QStringLiteral("CREATE DATABASE %1").arg(name)))
        return settings;
    m_databases << name;
    settings.engine = DatabaseSettings::Engine::PostgreSQL;
    settings.host = m_host;
    settings.port = m_port;
    settings.database = name;
    return settings;
}
