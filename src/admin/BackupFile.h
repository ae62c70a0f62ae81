#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

// What the backup folder holds and whether a file is fit to be used as the
// database: the names this program gives its own copies, and a read-only
// check of a copy before anything relies on it.
class BackupFile
{
public:
    // "sakanova_yyyy-MM-dd_HH-mm-ss.db" for the given local time; a server's
    // backups end in ".dump" instead.
    static QString nameFor(const QDateTime& time, const QString& suffix = QStringLiteral(".db"));
    // The copy of the replaced database kept by a restore. Its name differs
    // from the regular backups', so pruning never removes it.
    static QString preRestoreNameFor(const QDateTime& time,
                                     const QString& suffix = QStringLiteral(".db"));
    // The time written in a regular backup's file name; invalid for any
    // other name, which marks files that are not this program's backups.
    static QDateTime stampOf(const QString& fileName);

    // The checksum file written beside a backup when it is made: the
    // SHA-256 of the backup's bytes in hex, as sha256sum writes it.
    static QString checksumFileFor(const QString& path);
    // The SHA-256 of the file's bytes in hex; empty when it cannot be read.
    static QString checksumOf(const QString& path);
    static bool writeChecksum(const QString& path);
    // What the checksum file beside `path` says; empty when there is none.
    static QString recordedChecksum(const QString& path);

    // Empty when `path` is an intact SQLite file holding this program's
    // tables; otherwise a short English description of what is wrong. The
    // file is opened read-only and left unchanged.
    static QString problem(const QString& path);
    // The same check on a connection that is already open.
    static QString problem(QSqlDatabase& db);
};
