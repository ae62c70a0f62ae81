#pragma once

#include "admin/ExportRun.h"
#include "admin/ServerBackup.h"
#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class Database;
class Desktop;
class QThread;
class QTimer;

// Copies of the database in the backup folder (on request, once a day while
// the program runs, and at start when the newest copy is a day old), putting
// a copy back in place of the database, and the CSV export of the main
// tables. Copies are one snapshot of every committed row, those still in the
// write-ahead log included, and each copy is checked before it counts.
// startBackup() copies and checks on a thread of its own, one at a time,
// reporting its progress; the window goes on working meanwhile.
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
    // A backup started by startBackup() is being copied or checked.
    Q_PROPERTY(bool backupRunning READ backupRunning NOTIFY backupRunningChanged)
    // How far the running backup is, 0 to 1, and what it is doing, in Arabic.
    Q_PROPERTY(double backupProgress READ backupProgress NOTIFY backupProgressChanged)
    Q_PROPERTY(QString backupStage READ backupStage NOTIFY backupProgressChanged)
    // The running work is a restore on the server rather than a backup.
    Q_PROPERTY(bool restoreRunning READ restoreRunning NOTIFY backupRunningChanged)
    // An export started by startExport() is being written; how far, and what.
    Q_PROPERTY(bool exportRunning READ exportRunning NOTIFY exportRunningChanged)
    Q_PROPERTY(double exportProgress READ exportProgress NOTIFY exportProgressChanged)
    Q_PROPERTY(QString exportStage READ exportStage NOTIFY exportProgressChanged)

public:
    // Regular backups kept in the folder; older ones are pruned.
    static constexpr int kept = 30;

    BackupManager(const QString& dataDirectory, Database* db, Desktop* desktop,
                  QObject* parent = nullptr);
    // Waits for a running backup to end.
    ~BackupManager() override;

    QString backupPath() const { return m_backupFolder; }
    void setBackupPath(const QString& path);
    bool autoBackup() const;
    bool restartRequired() const { return m_restartRequired; }
    QString restoreNotice() const { return m_restoreNotice; }
    bool backupRunning() const { return m_running; }
    bool restoreRunning() const { return m_running && m_restoring; }
    double backupProgress() const { return m_progress; }
    QString backupStage() const { return m_stage; }
    bool exportRunning() const { return m_export.running(); }
    double exportProgress() const { return m_export.progress(); }
    QString exportStage() const { return m_export.stage(); }

    // Starts a backup on its own thread and returns at once; false (with
    // the reason) when it cannot start, also while another is running. Its
    // end is told by backupFinished, after backupCreated or backupError.
    Q_INVOKABLE bool startBackup();
    // The same backup, made before returning (for callers without an event
    // loop to wait in); refused while startBackup's is running.
    bool createBackup();
    // Puts a backup back in place of the books. A file's restore is done
    // when this returns; on a server the checks, the copy kept of what the
    // server holds and pg_restore run on the backup's thread, with its
    // progress, and true only means it started: restoreFinished tells the
    // end, after backupRestored or backupError.
    Q_INVOKABLE bool restoreBackup(const QString& backupFile);
    // The export of exportAllToXlsx ("xlsx") or exportAllToCSV ("csv") on a
    // thread of its own; returns at once, false (with the reason) when it
    // cannot start, also while another runs. Its end is told by
    // exportFinished, after exportCreated or backupError.
    Q_INVOKABLE bool startExport(const QString& format);
    Q_INVOKABLE bool exportAllToCSV();
    // The same tables as one workbook, "Sakanova_Export_<minute>.xlsx" in the
    // export folder; the desktop opens it.
    Q_INVOKABLE bool exportAllToXlsx();
    // Every backup in the backup folder ("*.db", or "*.dump" on a server),
    // newest first.
    Q_INVOKABLE QStringList listBackups();
    Q_INVOKABLE void setAutoBackup(bool enabled);
    Q_INVOKABLE QString browseBackupPath();
    Q_INVOKABLE QString browseRestoreFile();

    // Starts a backup when automatic backups are on and the newest one is
    // older than a day (or there is none). True when one was started.
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
    void backupRunningChanged();
    void backupProgressChanged();
    // The end of a backup started by startBackup(): the copy's path, or the
    // Arabic reason it failed.
    void backupFinished(bool ok, const QString& message);
    // The folder of a finished CSV export.
    // The end of a restore on the server: empty, or the Arabic reason it failed.
    void restoreFinished(bool ok, const QString& message);
    void exportCreated(const QString& folder);
    void exportRunningChanged();
    void exportProgressChanged();
    // The end of an export started by startExport(): the file or folder, or
    // the Arabic reason it failed.
    void exportFinished(bool ok, const QString& message);

private:
    QString databaseFile() const;
    // True when the books are on a PostgreSQL server: backups are pg_dump
    // files then (see ServerBackup).
    bool onServer() const;
    QString backupSuffix() const;
    // The restore of a server's dump, with the same checks as a file's.
    bool restoreOnServer(const QString& backupFile);
    void finishRestore(const ServerBackup::Restored& result);
    QString preferencesFile() const;
    // Writes a checked copy of the open database to `target`; on failure the
    // English diagnostic is returned and no file is left behind.
    QString writeCopy(const QString& target);
    // The name of the next backup, or empty with the refusal made.
    QString nextBackupName();
    void finishBackup(const QString& target, const QString& error);
    void prune();
    bool fail(const QString& error, const QString& reason);
    bool readyToExport(const QString& folder);
    // Where the next export goes: the workbook's file or the CSV folder.
    QString exportTarget(ExportRun::Format format) const;
    // Opens what was written, tells the result, and returns whether it all was.
    bool finishExport(const ExportRun::Result& result);
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
    std::unique_ptr<QThread> m_worker;
    bool m_running = false;
    bool m_restoring = false;
    double m_progress = 0;
    QString m_stage;
    ExportRun m_export;
};
