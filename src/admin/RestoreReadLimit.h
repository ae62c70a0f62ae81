#pragma once

#include <QObject>

class BackupManager;
class ChangeFeed;
class Database;

// While a restore runs on the server, pg_restore holds every table it
// replaces until it commits, and a read of the window's session would wait
// for it, the window frozen meanwhile. For that time the session gives up
// on a lock it cannot have at once: the read is refused as "busy" (the
// reason the pages show for a locked database) and the page tries again
// when it next reads. The session's own setting comes back at the end.
// The same holds while another desk restores, as its change feed tells.
class RestoreReadLimit : public QObject
{
    Q_OBJECT

public:
    // How long a statement of the window's session waits for a lock while a
    // restore runs: short of the window's own 50 ms (the SET says the same).
    static constexpr int waitMs = 40;

    RestoreReadLimit(Database* windowDb, BackupManager* backups, QObject* parent = nullptr);

    // Also limits the reads while `feed` tells of another desk's restore.
    void followFeed(ChangeFeed* feed);

    bool limited() const { return m_limited; }

private:
    void follow();

    Database* m_db;
    BackupManager* m_backups;
    ChangeFeed* m_feed = nullptr;
    bool m_limited = false;
};
