#pragma once

#include <QString>

class QSqlDatabase;

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
    // TLS on the server connection, as libpq names it: "disable", "prefer",
    // "require", "verify-ca" or "verify-full". A server on another computer
    // is reached with "require" or stronger only (see problem()).
    QString sslMode = QStringLiteral("prefer");

    static DatabaseSettings sqliteFile(const QString& path)
    {
        DatabaseSettings settings;
        settings.path = path;
        return settings;
    }

    // The file in the data folder that says where this computer opens its
    // books; each desk keeps its own.
    static QString fileIn(const QString& dataDir);
    // What that file says; without one (or with an unknown engine) the
    // books are the SQLite file sakanova.db in the data folder.
    static DatabaseSettings load(const QString& dataDir);
    // Writes these settings for the next start; false with the reason.
    bool save(const QString& dataDir, QString* error) const;
    // Writes `password` to `file` so that only its owner may read it.
    static bool writePassword(const QString& file, const QString& password, QString* error);

    // True when the server is this computer: no host, a loopback name or
    // address, or the folder of a Unix socket.
    bool hostIsLocal() const;
    // Why these server settings cannot be used, in Arabic; empty when they
    // can (always empty for the SQLite file).
    QString problem() const;
    // The QPSQL connection options for these settings.
    QString connectOptions() const;
    // A second connection to the same books under `name`, for work on
    // another thread (an export, a connection test): the file opened
    // read-only, or the server with these settings. Opened; false with the
    // reason in `error`. The caller removes the connection afterwards.
    bool openConnection(const QString& name, QString* error) const;
    // Sets a server session's time zone to this computer's, so that the
    // server works out a row's local day as the file does. A zone the server
    // does not know leaves its own (the answer is false).
    static bool useLocalTimeZone(QSqlDatabase& db);

    // Reads the password file into `password`; false with the reason in
    // `error` when it cannot be read or others may read it too.
    bool readPassword(QString* password, QString* error) const;
};
