#include "admin/BackupManager.h"

#include "admin/BackupCopy.h"
#include "admin/BackupFile.h"
#include "admin/RestoreCheck.h"
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

// The database file and the files SQLite keeps beside it in write-ahead-log
// mode; a restore moves all of them together.
const QStringList& databaseFileSuffixes()
{
    static const QStringList suffixes{QString(), QStringLiteral("-wal"), QStringLiteral("-shm")};
    return suffixes;
}

QString holdingName(const QString& databaseFile, const QString& suffix)
{
    return databaseFile + QStringLiteral(".tmp") + suffix;
}

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

bool BackupManager::restoreBackup(const QString& backupFile)
{
    clearError();
    if (!Permissions::allowed(Permissions::Action::RestoreBackup))
        return refuse(Permissions::refusal());
    if (backupFile.isEmpty())
        return refuse(QStringLiteral("لم يتم اختيار ملف نسخة احتياطية"));
    if (m_running)
        return refuse(QStringLiteral("يجري إنشاء نسخة احتياطية الآن؛ انتظر حتى تنتهي ثم أعد "
                                     "المحاولة"));
    if (m_restartRequired)
        return fail(QStringLiteral("Restart required before another restore"),
                    QStringLiteral("تمت استعادة نسخة احتياطية؛ أعد تشغيل البرنامج أولاً"));

    if (onServer())
        return restoreOnServer(backupFile);

    const QString live = databaseFile();
    if (QFileInfo(backupFile).canonicalFilePath() == QFileInfo(live).canonicalFilePath())
        return fail(QStringLiteral("The chosen file is the database itself"),
                    QStringLiteral("الملف المختار هو قاعدة البيانات الحالية نفسها"));

    // The chosen file is checked, and made ready, as a copy in a scratch
    // folder beside the database; the copy is what goes in.
    RestoreCheck check(backupFile, m_dataDir);
    switch (check.run()) {
    case RestoreCheck::Outcome::Fit:
        break;
    case RestoreCheck::Outcome::ChangedSinceMade:
        return fail(QStringLiteral("Backup file rejected: ") + check.problem(),
                    QStringLiteral("النسخة الاحتياطية تغيّرت بعد إنشائها فلا تطابق بصمتها؛ قد "
                                   "تكون تالفة، لذلك لم تُستعد ولم يتغير شيء"));
    case RestoreCheck::Outcome::Unfit:
        return fail(QStringLiteral("Backup file rejected: ") + check.problem(),
                    QStringLiteral("الملف المختار ليس نسخة احتياطية سليمة من ساكانوفا يمكن "
                                   "فتحها؛ لم يتغير شيء"));
    }
    const QString candidate = check.candidate();
    const QString candidateSum = BackupFile::checksumOf(candidate);

    // The database about to be replaced is kept beside the backups first;
    // the restore never deletes it.
    QDir().mkpath(m_backupFolder);
    const QString keep = m_backupFolder + QLatin1Char('/') +
                         BackupFile::preRestoreNameFor(QDateTime::currentDateTime());
    const QString keepError =
        QFileInfo::exists(keep) ? QStringLiteral("name exists") : writeCopy(keep);
    if (!keepError.isEmpty())
        return fail(QStringLiteral("Failed to keep a copy of the current database: ") + keepError,
                    QStringLiteral("تعذر حفظ نسخة من قاعدة البيانات الحالية قبل الاستعادة؛ لم "
                                   "يتغير شيء"));

    // With the log folded in and the connection closed, nothing of the old
    // file can replay onto the new one or be written into it later.
    if (!m_db->checkpointAndClose())
        return fail(QStringLiteral("Failed to move database"),
                    QStringLiteral("تعذر إغلاق قاعدة البيانات الحالية؛ لم يتغير شيء"));

    QStringList moved;
    for (const QString& suffix : databaseFileSuffixes()) {
        const QString from = live + suffix;
        const QString to = holdingName(live, suffix);
        QFile::remove(to);
        if (!QFileInfo::exists(from))
            continue;
        if (!QFile::rename(from, to))
            return putBack(moved, false, QStringLiteral("Failed to move database"),
                           QStringLiteral("تعذر نقل قاعدة البيانات الحالية؛ لم يتغير شيء"));
        moved << suffix;
    }

    const QString restoreReason =
        QStringLiteral("تعذر وضع النسخة الاحتياطية مكان قاعدة البيانات؛ أعيدت قاعدة البيانات "
                       "السابقة كما كانت");
    if (candidateSum.isEmpty() || !QFile::copy(candidate, live))
        return putBack(moved, true, QStringLiteral("Failed to restore backup"), restoreReason);
    // A copy keeps the source's permissions; a read-only backup must still
    // give a database the program can write to after the restart.
    QFile::setPermissions(live, QFile::permissions(live) | QFileDevice::ReadOwner |
                                    QFileDevice::WriteOwner);
    if (BackupFile::checksumOf(live) != candidateSum)
        return putBack(moved, true, QStringLiteral("Failed to restore backup"), restoreReason);

    for (const QString& suffix : std::as_const(moved))
        QFile::remove(holdingName(live, suffix));

    // Until the program starts again its pages keep reading, from the
    // restored file, but nothing is written.
    m_db->reopen(true);
    m_restoreNotice =
        check.hadChecksum()
            ? QString()
            : QStringLiteral("تنبيه: الملف المستعاد ليس من نسخ ساكانوفا الموقّعة ببصمة تحقّق، "
                             "فلا يمكن التأكد من أنه لم يتغير؛ فُحصت بنيته وسلامته قبل "
                             "الاستعادة.");
    emit restoreNoticeChanged();
    m_restartRequired = true;
    emit restartRequiredChanged();
    emit backupRestored();
    return true;
}

bool BackupManager::restoreOnServer(const QString& backupFile)
{
    // What the server holds now is kept beside the backups first.
    QDir().mkpath(m_backupFolder);
    const QString keep =
        m_backupFolder + QLatin1Char('/') +
        BackupFile::preRestoreNameFor(QDateTime::currentDateTime(), ServerBackup::suffix());
    if (m_worker)
        m_worker->wait(); // the last one has already told its result
    m_running = true;
    m_restoring = true;
    m_progress = 0;
    m_stage = QStringLiteral("جارٍ التحقق من النسخة المختارة…");
    emit backupRunningChanged();
    emit backupProgressChanged();
    const DatabaseSettings server = m_db->settings();
    m_worker.reset(QThread::create([this, server, backupFile, keep] {
        const ServerBackup::Restored result = ServerBackup::restoreChecked(
            server, backupFile, keep, [this](ServerBackup::Stage stage) {
                QMetaObject::invokeMethod(
                    this,
                    [this, stage] {
                        // pg_dump and pg_restore tell no progress of their
                        // own: each step is a third of the way.
                        static const QString stages[] = {
                            QStringLiteral("جارٍ التحقق من النسخة المختارة…"),
                            QStringLiteral("جارٍ حفظ نسخة مما على الخادم الآن…"),
                            QStringLiteral("جارٍ استعادة النسخة على الخادم…")};
                        m_progress = static_cast<int>(stage) / 3.0;
                        m_stage = stages[static_cast<int>(stage)];
                        emit backupProgressChanged();
                    },
                    Qt::QueuedConnection);
            });
        QMetaObject::invokeMethod(
            this, [this, result] { finishRestore(result); }, Qt::QueuedConnection);
    }));
    m_worker->start();
    return true;
}

void BackupManager::finishRestore(const ServerBackup::Restored& result)
{
    m_running = false;
    m_restoring = false;
    m_progress = result.error.isEmpty() ? 1.0 : 0.0;
    m_stage.clear();
    clearError();
    switch (result.failure) {
    case ServerBackup::Failure::None:
        m_restoreNotice =
            result.hadChecksum
                ? QString()
                : QStringLiteral("تنبيه: الملف المستعاد ليس من نسخ ساكانوفا الموقّعة ببصمة "
                                 "تحقّق، فلا يمكن التأكد من أنه لم يتغير؛ فُحصت بنيته "
                                 "وسلامته قبل الاستعادة.");
        emit restoreNoticeChanged();
        m_restartRequired = true;
        emit restartRequiredChanged();
        emit backupRestored();
        break;
    case ServerBackup::Failure::ChangedSinceMade:
        fail(result.error, QStringLiteral("النسخة الاحتياطية تغيّرت بعد إنشائها فلا تطابق "
                                          "بصمتها؛ قد تكون تالفة، لذلك لم تُستعد ولم يتغير شيء"));
        break;
    case ServerBackup::Failure::Unfit:
        fail(result.error, QStringLiteral("الملف المختار ليس نسخة احتياطية سليمة من ساكانوفا "
                                          "يمكن استعادتها على الخادم؛ لم يتغير شيء"));
        break;
    case ServerBackup::Failure::NotKept:
        fail(result.error, QStringLiteral("تعذر حفظ نسخة من قاعدة البيانات الحالية قبل "
                                          "الاستعادة؛ لم يتغير شيء"));
        break;
    case ServerBackup::Failure::NotRestored:
        fail(result.error, QStringLiteral("تعذرت استعادة النسخة على الخادم؛ بقي الخادم كما كان"));
        break;
    }
    emit backupProgressChanged();
    emit backupRunningChanged();
    emit restoreFinished(result.error.isEmpty(), result.error.isEmpty() ? QString() : lastError());
}

bool BackupManager::putBack(const QStringList& moved, bool placed, const QString& error,
                            const QString& reason)
{
    const QString live = databaseFile();
    // Once the copy has started, every file at the database's names belongs
    // to the failed attempt.
    if (placed) {
        for (const QString& suffix : databaseFileSuffixes())
            QFile::remove(live + suffix);
    }
    for (const QString& suffix : databaseFileSuffixes()) {
        if (moved.contains(suffix) && !QFile::rename(holdingName(live, suffix), live + suffix))
            qCritical("Could not put %s back in place", qPrintable(live + suffix));
    }
    m_db->reopen(false);
    return fail(error, reason);
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

// --- Restart after a restore ---

bool BackupManager::restartNow()
{
    clearError();
    if (!m_restartRequired)
        return refuse(QStringLiteral("لا توجد نسخة مستعادة بانتظار إعادة التشغيل"));
    m_desktop->restartApplication();
    return true;
}
