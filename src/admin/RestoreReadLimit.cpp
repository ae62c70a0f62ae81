#include "admin/RestoreReadLimit.h"

#include "admin/BackupManager.h"
#include "core/ChangeFeed.h"
#include "core/Database.h"

RestoreReadLimit::RestoreReadLimit(Database* windowDb, BackupManager* backups, QObject* parent)
    : QObject(parent)
    , m_db(windowDb)
    , m_backups(backups)
{
    // Told before the restore's thread starts, so the limit is in place
    // before pg_restore takes its first lock.
    connect(m_backups, &BackupManager::backupRunningChanged, this, &RestoreReadLimit::follow);
    follow();
}

void RestoreReadLimit::followFeed(ChangeFeed* feed)
{
    m_feed = feed;
    connect(feed, &ChangeFeed::restoreElsewhereChanged, this, &RestoreReadLimit::follow);
    follow();
}

void RestoreReadLimit::follow()
{
    const bool wanted = m_db && m_db->isPostgres() &&
                        (m_backups->restoreRunning() || (m_feed && m_feed->restoreElsewhere()));
    if (wanted == m_limited)
        return;
    // Session settings, not per transaction: a write's own transaction sets
    // its own wait (Database::writeWaitMs), made as short below.
    const bool done = wanted ? m_db->execNonQuery(QStringLiteral("SET lock_timeout = '40ms'"))
                             : m_db->execNonQuery(QStringLiteral("RESET lock_timeout"));
    if (!done)
        return;
    m_limited = wanted;
    // A save meets the same tables: it is refused as busy at once too.
    m_db->setWriteWaitMs(wanted ? waitMs : Database::kWriteWaitMs);
}
