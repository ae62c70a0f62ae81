#pragma once

#include "core/DatabaseSettings.h"

#include <QString>

#include <functional>

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

    // The steps of a checked restore, in order.
    enum class Stage
    {
        Checking,    // the chosen dump's checksum and every data block
        KeepingCopy, // what the server holds now, dumped beside the backups
        Restoring,   // pg_restore
    };
    enum class Failure
    {
        None,
        ChangedSinceMade, // the dump no longer matches its recorded checksum
        Unfit,            // not a whole dump of this program's books
        NotKept,          // the server's current books could not be kept first
        NotRestored,      // pg_restore failed; the server keeps what it had
    };
    struct Restored
    {
        Failure failure = Failure::None;
        QString error; // the English diagnostic, empty when it went well
        bool hadChecksum = false;
    };
    // The whole restore of the dump at `path`, as a desk does it: the dump
    // is checked, the server's current books are dumped to `keep`, then the
    // dump is restored. Takes as long as the books are large; `stage` is
    // told as each step begins. Meant for a thread of its own.
    static Restored restoreChecked(const DatabaseSettings& server, const QString& path,
                                   const QString& keep, const std::function<void(Stage)>& stage);
};
