#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QStringList>

class Database;
class Desktop;
class QTimer;

// Copies of the database in the backup folder (on request, once a day while
// the program runs, and at start when the newest copy is a day old), putting
// a copy back in place of the database, and the CSV export of the main
// tables. Copies are written from the open connection, so rows still in the
// write-ahead log are in them, and each copy is checked before it counts.
class BackupManager : public BackendObject
{
    Q_OBJECT
    Q_PROPERTY(QString backupPath READ backupPath WRITE setBackupPath NOTIFY backupPathChanged)
    Q_PROPERTY(bool autoBackup READ autoBackup NOTIFY autoBackupChanged)
    // True once a backup has replaced the database: from then on the program
    // only reads, until it is started again.
    Q_PROPERTY(bool restartRequired READ restartRequired NOTIFY restartRequiredChanged)
    // After a restore of a file without this program's checksum (one from
    // elsewhere), the sentence telling the user so; empty otherwise.
    Q_PROPERTY(QString restoreNotice READ restoreNotice NOTIFY restoreNoticeChanged)

public:
    // Regular backups kept in the folder; older ones are pruned.
    static constexpr int kept = 30;

    BackupManager(const QString& dataDirectory, Database* db, Desktop* desktop,
                  QObject* parent = nullptr);

    QString backupPath() const { return m_backupFolder; }
    void setBackupPath(const QString& path);
    bool autoBackup() const;
    bool restartRequired() const { return m_restartRequired; }
    QString restoreNotice() const { return m_restoreNotice; }

    Q_INVOKABLE bool createBackup();
    Q_INVOKABLE bool restoreBackup(const QString& backupFile);
    Q_INVOKABLE bool exportAllToCSV();
    // The same tables as one workbook, "Sakanova_Export_<minute>.xlsx" in the
    // export folder; the desktop opens it.
    Q_INVOKABLE bool exportAllToXlsx();
    // Every "*.db" in the backup folder, newest first.
    Q_INVOKABLE QStringList listBackups();
    Q_INVOKABLE void setAutoBackup(bool enabled);
    Q_INVOKABLE QString browseBackupPath();
    Q_INVOKABLE QString browseRestoreFile();

    // Makes a backup when automatic backups are on and the newest one is
    // older than a day (or there is none). True when one was made.
    bool backupIfDue();

    // --- Restart after a restore ---
    // Closes the program and starts it again on the restored books; only
    // while a restore is waiting for it.
    Q_INVOKABLE bool restartNow();

signals:
    void backupPathChanged();
    void autoBackupChanged();
    void restartRequiredChanged();
    void restoreNoticeChanged();
    void backupCreated(const QString& path);
    void backupRestored();
    void backupError(const QString& error);
    // The folder of a finished CSV export.
    void exportCreated(const QString& folder);

private:
    QString databaseFile() const;
    QString preferencesFile() const;
    // Writes a checked copy of the open database to `target`; on failure the
    // English diagnostic is returned and no file is left behind.
    QString writeCopy(const QString& target);
    void prune();
    bool fail(const QString& error, const QString& reason);
    bool readyToExport(const QString& folder);
    // Undoes a restore that failed half-way: the moved files go back and
    // the connection reopens for writing.
    bool putBack(const QStringList& moved, bool placed, const QString& error,
                 const QString& reason);

    QString m_dataDir;
    Database* m_db;
    Desktop* m_desktop;
    QString m_backupFolder;
    QTimer* m_timer;
    bool m_restartRequired = false;
    QString m_restoreNotice;
};
