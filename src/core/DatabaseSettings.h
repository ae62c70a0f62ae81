#pragma once

#include <QString>

// Where the office's records live: one SQLite file on this computer (the
// default), or a PostgreSQL server that several desks share.
struct DatabaseSettings
{
    enum class Engine
    {
        SQLite,
        PostgreSQL
    };

    Engine engine = Engine::SQLite;
    // SQLite: the database file.
    QString path;
    // PostgreSQL: a host name, or the folder of the server's Unix socket.
    QString host;
    int port = 5432;
    QString database;
    QString user;
    // A file holding the password on its first line; it must be readable by
    // its owner only. Empty: no password (a local socket, or ~/.pgpass).
    QString passwordFile;

    static DatabaseSettings sqliteFile(const QString& path)
    {
        DatabaseSettings settings;
        settings.path = path;
        return settings;
    }

    // Reads the password file into `password`; false with the reason in
    // `error` when it cannot be read or others may read it too.
    bool readPassword(QString* password, QString* error) const;
};
