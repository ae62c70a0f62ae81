// Restoring a backup: on a file, the checked copy replaces the database
// files and the program restarts; on a server, pg_restore on the backup
// thread. Both keep the books as they were when anything fails.
#include "admin/BackupManager.h"

#include "admin/BackupFile.h"
#include "admin/RestoreCheck.h"
#include "admin/ServerBackup.h"
#include "core/ChangeFeed.h"
#include "core/Database.h"
#include "core/Desktop.h"
#include "core/Permissions.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <utility>

namespace {

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
    // One restore at a time across the desks; the lock is held, and the
    // other desks know the tables are held, until finishRestore.
    if (!ChangeFeed::announceRestoreStarted(m_db))
        return fail(QStringLiteral("Another desk is restoring a backup"),
                    QStringLiteral("تجري استعادة نسخة احتياطية على الخادم من جهاز آخر؛ أعد "
                                   "المحاولة بعد انتهائها"));
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
        // The other desks' pages show the books as they were before; the
        // restore itself announces nothing (its rows are copied in before
        // the tables' triggers are made): the end below tells them. This
        // desk restarts.
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
    // The other desks stop treating the books as held, and read them once
    // more (after a failed restore nothing changed).
    if (!ChangeFeed::announceRestoreEnded(m_db))
        qWarning("The other desks were not told the restore is over");
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

// --- Restart after a restore ---

bool BackupManager::restartNow()
{
    clearError();
    if (!m_restartRequired)
        return refuse(QStringLiteral("لا توجد نسخة مستعادة بانتظار إعادة التشغيل"));
    m_desktop->restartApplication();
    return true;
}
