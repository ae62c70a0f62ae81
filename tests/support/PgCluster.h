#pragma once

#include "core/DatabaseSettings.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A PostgreSQL server for the tests. When SAKANOVA_TEST_PGHOST and
// SAKANOVA_TEST_PGPORT name one (tools/test.sh --postgres starts it) that one
// is used; otherwise a throw-away cluster is started in a temporary folder
// with tools/pg-cluster.sh and stopped again at the end. Each test takes a
// fresh database of its own from it, dropped again at the end.
class PgCluster
{
public:
    PgCluster();
    ~PgCluster();

    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    // False when no server could be started or reached; errorText() says why.
    bool isRunning() const { return m_running; }
    QString errorText() const { return m_error; }
    QString host() const { return m_host; }
    int port() const { return m_port; }

    // A new, empty database on the server and the settings that open it;
    // the engine stays SQLite (and the error is in errorText()) on failure.
    DatabaseSettings newDatabase();

private:
    bool run(const QString& sql);

    QTemporaryDir m_dir;
    QString m_host;
    int m_port = 0;
    bool m_own = false;
    bool m_running = false;
    QString m_error;
    QString m_adminConnection;
    QStringList m_databases;
};
