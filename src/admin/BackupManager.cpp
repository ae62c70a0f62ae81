#include "admin/BackupManager.h"

#include "admin/BackupCopy.h"
#include "admin/BackupFile.h"
#include "admin/ServerBackup.h"
#include "core/Database.h"
#include "core/Desktop.h"
#include "core/Permissions.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr int dayInMs = 24 * 60 * 60 * 1000;
constexpr qint64 dayInSeconds = 24 * 60 * 60;

} // namespace

BackupManager::BackupManager(const QString& dataDirectory, Database* db, Desktop* desktop,
                             QObject* parent)
    : BackendObject(parent)
    , m_dataDir(dataDirectory)
    , m_db(db)
    , m_desktop(desktop)
    , m_timer(new QTimer(this))
{
    QSettings prefs(preferencesFile(), QSettings::IniFormat);
    m_backupFolder =
        prefs.value(QStringLiteral("backup/path"), m_dataDir + QStringLiteral("/backups"))
            .toString();
    QDir().mkpath(m_backupFolder);

    m_timer->setInterval(dayInMs);
    connect(m_timer, &QTimer::timeout, this, &BackupManager::startBackup);
    if (autoBackup())
        m_timer->start();

    connect(&m_export, &ExportRun::runningChanged, this, &BackupManager::exportRunningChanged);
    connect(&m_export, &ExportRun::progressChanged, this, &BackupManager::exportProgressChanged);
    connect(&m_export, &ExportRun::finished, this, [this](const ExportRun::Result& result) {
        clearError();
        const bool ok = finishExport(result);
        emit exportFinished(ok, ok ? result.target : lastError());
    });
}

BackupManager::~BackupManager()
{
    if (m_worker)
        m_worker->wait();
}

QString BackupManager::databaseFile() const
{
    return m_dataDir + QStringLiteral("/sakanova.db");
}

QString BackupManager::preferencesFile() const
{
    return m_dataDir + QStringLiteral("/settings.ini");
}

bool BackupManager::autoBackup() const
{
    return QSettings(preferencesFile(), QSettings::IniFormat)
        .value(QStringLiteral("backup/auto"), true)
        .toBool();
}

void BackupManager::setAutoBackup(bool enabled)
{
    clearError();
    if (!Permissions::allowed(Permissions::Action::BackupSettings))
        return void(refuse(Permissions::refusal()));
    const bool was = autoBackup();
    QSettings(preferencesFile(), QSettings::IniFormat)
        .setValue(QStringLiteral("backup/auto"), enabled);
    if (enabled)
        m_timer->start();
    else
        m_timer->stop();
    if (was != enabled)
        emit autoBackupChanged();
}

void BackupManager::setBackupPath(const QString& path)
{
    clearError();
    if (!Permissions::allowed(Permissions::Action::BackupSettings))
        return void(refuse(Permissions::refusal()));
    if (path.isEmpty())
        return;
    m_backupFolder = path;
    QDir().mkpath(m_backupFolder);
    QSettings(preferencesFile(), QSettings::IniFormat)
        .setValue(QStringLiteral("backup/path"), path);
    emit backupPathChanged();
}

bool BackupManager::fail(const QString& error, const QString& reason)
{
    emit backupError(error);
    return refuse(reason);
}

bool BackupManager::onServer() const
{
    return m_db && m_db->isPostgres();
}

QString BackupManager::backupSuffix() const
{
    return onServer() ? ServerBackup::suffix() : QStringLiteral(".db");
}

QString BackupManager::writeCopy(const QString& target)
{
    if (!m_db || !m_db->connection().isOpen())
        return QStringLiteral("Database not connected");
    if (onServer())
        return ServerBackup::write(m_db->settings(), target);
    return BackupCopy::write(databaseFile(), target);
}

QString BackupManager::nextBackupName()
{
    if (m_running) {
        refuse(QStringLiteral("يجري إنشاء نسخة احتياطية الآن؛ انتظر حتى تنتهي"));
        return {};
    }
    if (!onServer() && !QFileInfo::exists(databaseFile())) {
        fail(QStringLiteral("Database file not found"),
             QStringLiteral("ملف قاعدة البيانات غير موجود"));
        return {};
    }
    QDir().mkpath(m_backupFolder);
    const QString target = m_backupFolder + QLatin1Char('/') +
                           BackupFile::nameFor(QDateTime::currentDateTime(), backupSuffix());
    if (QFileInfo::exists(target)) {
        fail(QStringLiteral("Failed to create backup"),
             QStringLiteral("توجد نسخة احتياطية بالاسم نفسه؛ أعد المحاولة بعد ثانية"));
        return {};
    }
    return target;
}

bool BackupManager::createBackup()
{
    clearError();
    const QString target = nextBackupName();
    if (target.isEmpty())
        return false;
    const QString error = writeCopy(target);
    if (!error.isEmpty())
        return fail(error, QStringLiteral("تعذر إنشاء نسخة احتياطية سليمة في مجلد النسخ"));

    emit backupCreated(target);
    prune();
    return true;
}

bool BackupManager::startBackup()
{
    clearError();
    if (m_restartRequired)
        return refuse(QStringLiteral("تمت استعادة نسخة احتياطية؛ أعد تشغيل البرنامج أولاً"));
    const QString target = nextBackupName();
    if (target.isEmpty())
        return false;
    if (!m_db || !m_db->connection().isOpen())
        return fail(QStringLiteral("Database not connected"),
                    QStringLiteral("قاعدة البيانات غير متصلة"));

    if (m_worker)
        m_worker->wait(); // the last one has already told its result
    m_running = true;
    m_progress = 0;
    m_stage = QStringLiteral("جارٍ نسخ قاعدة البيانات…");
    emit backupRunningChanged();
    emit backupProgressChanged();

    if (onServer()) {
        // pg_dump tells no progress: the stage says what is going on.
        m_stage = QStringLiteral("جارٍ نسخ قاعدة البيانات من الخادم والتحقق منها…");
        emit backupProgressChanged();
        const DatabaseSettings server = m_db->settings();
        m_worker.reset(QThread::create([this, server, target] {
            const QString error = ServerBackup::write(server, target);
            QMetaObject::invokeMethod(
                this, [this, target, error] { finishBackup(target, error); }, Qt::QueuedConnection);
        }));
        m_worker->start();
        return true;
    }
    const QString source = databaseFile();
    m_worker.reset(QThread::create([this, source, target] {
        const QString error =
            BackupCopy::write(source, target, [this](BackupCopy::Stage stage, double share) {
                QMetaObject::invokeMethod(
                    this,
                    [this, stage, share] {
                        if (!m_running)
                            return;
                        // Copying is most of the work; the check reads the
                        // copy once more.
                        m_progress =
                            stage == BackupCopy::Stage::Copying ? 0.8 * share : 0.8 + 0.2 * share;
                        m_stage = stage == BackupCopy::Stage::Copying
                                      ? QStringLiteral("جارٍ نسخ قاعدة البيانات…")
                                      : QStringLiteral("جارٍ التحقق من سلامة النسخة…");
                        emit backupProgressChanged();
                    },
                    Qt::QueuedConnection);
            });
        QMetaObject::invokeMethod(
            this, [this, target, error] { finishBackup(target, error); }, Qt::QueuedConnection);
    }));
    m_worker->start();
    return true;
}

void BackupManager::finishBackup(const QString& target, const QString& error)
{
    m_running = false;
    m_progress = error.isEmpty() ? 1.0 : 0.0;
    m_stage.clear();
    clearError();
    if (error.isEmpty()) {
        emit backupCreated(target);
        prune();
    } else {
        fail(error, QStringLiteral("تعذر إنشاء نسخة احتياطية سليمة في مجلد النسخ"));
    }
    emit backupProgressChanged();
    emit backupRunningChanged();
    emit backupFinished(error.isEmpty(), error.isEmpty() ? target : lastError());
}

void BackupManager::prune()
{
    // Only files named as this program names its backups are counted and
    // removed: the folder may be shared with other files, even the database.
    std::vector<std::pair<QDateTime, QString>> own;
    const QFileInfoList files =
        QDir(m_backupFolder).entryInfoList({QLatin1Char('*') + backupSuffix()}, QDir::Files);
    for (const QFileInfo& file : files) {
        const QDateTime stamp = BackupFile::stampOf(file.fileName());
        if (stamp.isValid())
            own.emplace_back(stamp, file.absoluteFilePath());
    }
    std::sort(own.begin(), own.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (size_t i = kept; i < own.size(); ++i) {
        QFile::remove(own[i].second);
        QFile::remove(BackupFile::checksumFileFor(own[i].second));
    }
}

bool BackupManager::backupIfDue()
{
    if (!autoBackup())
        return false;
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList names =
        QDir(m_backupFolder).entryList({QLatin1Char('*') + backupSuffix()}, QDir::Files);
    for (const QString& name : names) {
        const QDateTime stamp = BackupFile::stampOf(name);
        if (stamp.isValid() && stamp.secsTo(now) < dayInSeconds)
            return false;
    }
    return startBackup();
}

QStringList BackupManager::listBackups()
{
    QStringList paths;
    const QFileInfoList files =
        QDir(m_backupFolder)
            .entryInfoList({QLatin1Char('*') + backupSuffix()}, QDir::Files, QDir::Time);
    for (const QFileInfo& file : files)
        paths << file.absoluteFilePath();
    return paths;
}

// What every export needs before it writes: the right to export, the
// folder it writes to and an open database.
bool BackupManager::readyToExport(const QString& folder)
{
    if (!Permissions::allowed(Permissions::Action::ExportAll))
        return refuse(Permissions::refusal());
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("Failed to create export folder"),
                    QStringLiteral("تعذر إنشاء مجلد التصدير"));
    if (!m_db || !m_db->connection().isOpen())
        return fail(QStringLiteral("Database not connected"),
                    QStringLiteral("قاعدة البيانات غير متصلة"));
    return true;
}

QString BackupManager::exportTarget(ExportRun::Format format) const
{
    const QString stamp = QStringLiteral("/Sakanova_Export_") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm"));
    return m_desktop->exportFolder() + stamp +
           (format == ExportRun::Format::Workbook ? QStringLiteral(".xlsx") : QString());
}

bool BackupManager::finishExport(const ExportRun::Result& result)
{
    if (result.wroteSomething)
        m_desktop->openPath(result.target);
    if (!result.ok) {
        const QString reason = result.failedTables.isEmpty()
                                   ? QStringLiteral("تعذرت كتابة ملف Excel؛ لم يُنشأ أي ملف")
                                   : QStringLiteral("لم يكتمل التصدير؛ تعذرت كتابة الجداول: ") +
                                         result.failedTables.join(QStringLiteral("، "));
        return fail(result.error, reason);
    }
    emit exportCreated(result.target);
    return true;
}

bool BackupManager::startExport(const QString& format)
{
    clearError();
    if (m_export.running())
        return refuse(QStringLiteral("يجري تصدير آخر؛ انتظر حتى ينتهي"));
    const ExportRun::Format kind =
        format == QLatin1String("csv") ? ExportRun::Format::CsvFolder : ExportRun::Format::Workbook;
    const QString target = exportTarget(kind);
    const QString folder =
        kind == ExportRun::Format::CsvFolder ? target : QFileInfo(target).absolutePath();
    if (!readyToExport(folder))
        return false;
    const DatabaseSettings source =
        onServer() ? m_db->settings() : DatabaseSettings::sqliteFile(m_db->path());
    return m_export.start(kind, source, target) ||
           refuse(QStringLiteral("يجري تصدير آخر؛ انتظر حتى ينتهي"));
}

bool BackupManager::exportAllToCSV()
{
    clearError();
    const QString folder = exportTarget(ExportRun::Format::CsvFolder);
    if (!readyToExport(folder))
        return false;
    return finishExport(ExportRun::write(ExportRun::Format::CsvFolder, m_db->connection(), folder));
}

bool BackupManager::exportAllToXlsx()
{
    clearError();
    if (!readyToExport(m_desktop->exportFolder()))
        return false;
    return finishExport(ExportRun::write(ExportRun::Format::Workbook, m_db->connection(),
                                         exportTarget(ExportRun::Format::Workbook)));
}

QString BackupManager::browseBackupPath()
{
    return m_desktop->chooseFolder(QStringLiteral("Select Backup Folder"), m_backupFolder);
}

QString BackupManager::browseRestoreFile()
{
    return m_desktop->chooseFileToOpen(QStringLiteral("Select Database Backup"), m_backupFolder,
                                       onServer() ? QStringLiteral("Server backups (*.dump)")
                                                  : QStringLiteral("Database files (*.db)"));
}
