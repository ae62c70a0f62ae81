#include "core/ChangeFeed.h"

#include "core/Database.h"
#include "core/PgSchema.h"

#include <QMetaObject>
#include <QSqlQuery>

namespace {

// How often the driver is asked for announcements that came in while a
// statement of ours was running; reading them costs no round trip.
constexpr int kPollMs = 500;

// Announced in place of a table's name when every table changed.
const QString kEverything = QStringLiteral("*");
// Announced when a desk begins to restore a backup; no table is so named.
const QString kRestoreStarted = QStringLiteral("*restore");

} // namespace

ChangeFeed::ChangeFeed(Database* db, QObject* parent)
    : QObject(parent)
    , m_db(db)
{
    m_gather.setSingleShot(true);
    m_gather.setInterval(kGatherMs);
    connect(&m_gather, &QTimer::timeout, this, &ChangeFeed::deliver);
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &ChangeFeed::poll);
    m_restoreCheck.setInterval(kRestoreCheckMs);
    connect(&m_restoreCheck, &QTimer::timeout, this, &ChangeFeed::checkRestore);
}

QString ChangeFeed::channel()
{
    return QStringLiteral("sakanova_changes");
}

QStringList ChangeFeed::serverStatements()
{
    // One trigger per table, once per statement: a transaction that writes
    // a thousand rows of a table announces it once, and the server sends
    // the same name once per transaction, at its commit (none at a
    // rollback). The log and the failed sign-ins are nobody's page.
    return {
        QStringLiteral("CREATE OR REPLACE FUNCTION sakanova_announce_change() RETURNS trigger "
                       "LANGUAGE plpgsql AS $$ BEGIN "
                       "PERFORM pg_notify('sakanova_changes', TG_TABLE_NAME); "
                       "RETURN NULL; END $$"),
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION sakanova_announce_all_tables() RETURNS void "
            "LANGUAGE plpgsql AS $$ DECLARE t text; BEGIN "
            "FOR t IN SELECT c.relname FROM pg_class c "
            "JOIN pg_namespace n ON n.oid = c.relnamespace "
            "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p') "
            "AND c.relname NOT IN ('schema_migrations', 'app_log', 'login_failures') "
            "AND NOT EXISTS (SELECT 1 FROM pg_trigger g WHERE g.tgrelid = c.oid "
            "AND g.tgname = 'sakanova_announce') LOOP "
            "EXECUTE format('CREATE TRIGGER sakanova_announce AFTER INSERT OR UPDATE OR DELETE "
            "OR TRUNCATE ON %I FOR EACH STATEMENT EXECUTE FUNCTION sakanova_announce_change()', "
            "t); END LOOP; END $$"),
        QStringLiteral("SELECT sakanova_announce_all_tables()"),
    };
}

void ChangeFeed::follow(const QStringList& tables, QObject* context, std::function<void()> refresh)
{
    m_followers.append(
        {QSet<QString>(tables.cbegin(), tables.cend()), context, std::move(refresh)});
}

bool ChangeFeed::subscribe()
{
    m_listening = false;
    m_poll.stop();
    if (!m_db->isPostgres() || m_db->serverLost())
        return false;
    QSqlDriver* driver = m_db->connection().driver();
    if (!driver)
        return false;
    if (m_driver != driver) {
        if (m_driver)
            disconnect(m_driver, nullptr, this, nullptr);
        m_driver = driver;
        connect(driver,
                qOverload<const QString&, QSqlDriver::NotificationSource, const QVariant&>(
                    &QSqlDriver::notification),
                this, &ChangeFeed::received);
    }
    // A reopened connection has forgotten what the old one listened to.
    if (driver->subscribedToNotifications().contains(channel()))
        driver->unsubscribeFromNotification(channel());
    m_listening = driver->subscribeToNotification(channel());
    if (m_listening) {
        m_poll.start();
        // A restore that began before this desk listened was announced to
        // the others only.
        checkRestore();
    }
    return m_listening;
}

bool ChangeFeed::announceRestoreStarted(Database* db)
{
    if (!db->isPostgres())
        return false;
    // Taken before the announcement, so that a desk told of the restore
    // finds the lock held when it asks.
    if (!db->scalar(QStringLiteral("SELECT pg_try_advisory_lock(?)"), {PgSchema::kRestoreLock})
             .toBool())
        return false;
    if (!db->execNonQuery(QStringLiteral("SELECT pg_notify(?, ?)"), {channel(), kRestoreStarted}))
        qWarning("The other desks were not told of the restore");
    return true;
}

bool ChangeFeed::announceRestoreEnded(Database* db)
{
    if (!db->isPostgres())
        return false;
    db->scalar(QStringLiteral("SELECT pg_advisory_unlock(?)"), {PgSchema::kRestoreLock});
    return db->execNonQuery(QStringLiteral("SELECT pg_notify(?, ?)"), {channel(), kEverything});
}

void ChangeFeed::setRestoreElsewhere(bool running)
{
    if (m_restoreElsewhere == running)
        return;
    m_restoreElsewhere = running;
    if (running)
        m_restoreCheck.start();
    else
        m_restoreCheck.stop();
    emit restoreElsewhereChanged();
}

int ChangeFeed::restoreHeldElsewhere(const QSqlDatabase& connection)
{
    // The restoring desk holds the lock in its session: had here in shared
    // mode at once, no other desk is restoring (this session's own lock
    // does not stand in its way). Let go at once.
    QSqlQuery query(connection);
    query.prepare(QStringLiteral("SELECT pg_try_advisory_lock_shared(?)"));
    query.addBindValue(PgSchema::kRestoreLock);
    if (!query.exec() || !query.next())
        return -1;
    const bool had = query.value(0).toBool();
    query.finish();
    if (had) {
        query.prepare(QStringLiteral("SELECT pg_advisory_unlock_shared(?)"));
        query.addBindValue(PgSchema::kRestoreLock);
        query.exec();
    }
    return had ? 0 : 1;
}

void ChangeFeed::checkRestore()
{
    if (!m_db->isPostgres() || m_db->serverLost() || m_db->transactionDepth() > 0)
        return;
    const int held = restoreHeldElsewhere(m_db->connection());
    if (held >= 0)
        setRestoreElsewhere(held == 1);
}

void ChangeFeed::refreshAll()
{
    // A restore ends with everything announced, after its lock is let go;
    // one may have begun or ended while the connection was lost.
    checkRestore();
    m_everything = false;
    m_pending.clear();
    m_gather.stop();
    QStringList all;
    for (const Follower& follower : std::as_const(m_followers))
        all += QStringList(follower.tables.cbegin(), follower.tables.cend());
    for (const Follower& follower : std::as_const(m_followers)) {
        if (follower.context)
            follower.refresh();
    }
    all.removeDuplicates();
    all.sort();
    emit tablesChanged(all);
}

void ChangeFeed::received(const QString& name, QSqlDriver::NotificationSource source,
                          const QVariant& payload)
{
    // This desk's own writes have refreshed its pages already.
    if (name != channel() || source == QSqlDriver::SelfSource)
        return;
    const QString table = payload.toString();
    if (table.isEmpty())
        return;
    // At once, not after a gathering: pg_restore is about to take the tables.
    if (table == kRestoreStarted) {
        setRestoreElsewhere(true);
        return;
    }
    if (table == kEverything)
        m_everything = true;
    else
        m_pending.insert(table);
    // Gathered from the first name on, not from the last, so a steady
    // stream of commits still refreshes the pages every moment.
    if (!m_gather.isActive())
        m_gather.start();
}

void ChangeFeed::deliver()
{
    if (m_everything) {
        refreshAll();
        return;
    }
    const QSet<QString> changed = std::exchange(m_pending, {});
    if (changed.isEmpty())
        return;
    // A follower may add followers or start a write; it works on a copy.
    const QList<Follower> followers = m_followers;
    for (const Follower& follower : followers) {
        if (follower.context && follower.tables.intersects(changed))
            follower.refresh();
    }
    QStringList tables(changed.cbegin(), changed.cend());
    tables.sort();
    emit tablesChanged(tables);
}

void ChangeFeed::poll()
{
    if (!m_driver || m_db->serverLost() || m_db->transactionDepth() > 0)
        return;
    QMetaObject::invokeMethod(m_driver, "_q_handleNotification", Qt::DirectConnection);
}
