#pragma once

#include "core/DatabaseSettings.h"

#include <QString>

// Backups of books kept on a PostgreSQL server: pg_dump's custom format,
// checked before it counts, and put back with pg_restore. The messages are
// short English diagnostics; empty means it went well.
class ServerBackup
{
public:
    // The file name ending of a server backup.
    static QString suffix() { return QStringLiteral(".dump"); }

    // Dumps the server's database to `target` and checks the dump; on
    // failure nothing is left at `target`. The checksum file is written
    // beside it.
    static QString write(const DatabaseSettings& server, const QString& target);
    // Why the dump at `path` is not a whole backup of this program's
    // books: every data block must read back, and the tables must be there.
    static QString problem(const QString& path);
    // Replaces the server's tables with those in the dump, in one
    // transaction: on failure the server keeps what it had.
    static QString restore(const DatabaseSettings& server, const QString& path);
};
