#include "core/LedgerHistory.h"

#include "core/CurrencyRates.h"
#include "core/Database.h"
#include "core/DoneOnce.h"
#include "core/LedgerHistorySteps.h"
#include "core/LedgerTotals.h"
#include "core/Reasons.h"
#include "core/Schema.h"
#include "core/SqlDialect.h"
#include "core/TransactionGuard.h"

#include <QHash>
#include <QVariant>

#include <functional>
#include <limits>

namespace {

using Engine = DatabaseSettings::Engine;
using namespace LedgerHistorySteps;

const QStringList kInvoiceAccounts = {QStringLiteral("1200"), QStringLiteral("4100"),
                                      QStringLiteral("4200")};
// Every account the past events post to.
const QStringList kPastEventAccounts = {
    QStringLiteral("1100"), QStringLiteral("1110"), QStringLiteral("1200"), QStringLiteral("1300"),
    QStringLiteral("2100"), QStringLiteral("2200"), QStringLiteral("4100"), QStringLiteral("4200"),
    QStringLiteral("4300"), QStringLiteral("5100"), QStringLiteral("5200")};

bool failed(QString* reason)
{
    if (reason)
        *reason = Reasons::database();
    return false;
}

int lastEntryId(Database* db)
{
    return db->scalar(QStringLiteral("SELECT COALESCE(MAX(id),0) FROM journal_entries")).toInt();
}

// Debit minus credit per account, as the ledger's totals hold it.
QVariantList netPerAccount(Database* db)
{
    return db->execQuery(QStringLiteral("SELECT account_id, SUM(debit-credit) AS net FROM "
                                        "ledger_day_totals GROUP BY account_id"));
}

// Moves each account's running balance by what its totals gained since
// `before` (netPerAccount).
bool moveBalances(Database* db, const QVariantList& before)
{
    QHash<int, double> was;
    for (const QVariant& value : before) {
        const QVariantMap row = value.toMap();
        was.insert(row.value(QStringLiteral("account_id")).toInt(),
                   row.value(QStringLiteral("net")).toDouble());
    }
    for (const QVariant& value : netPerAccount(db)) {
        const QVariantMap row = value.toMap();
        const int account = row.value(QStringLiteral("account_id")).toInt();
        const double moved = row.value(QStringLiteral("net")).toDouble() - was.value(account);
        if (moved == 0.0)
            continue;
        if (!db->execNonQuery(QStringLiteral("UPDATE accounts SET balance=balance+? WHERE id=?"),
                              {moved, account}))
            return false;
    }
    return true;
}

// Moves each account's running balance by the lines written after `mark`.
// Runs `post` with the server's line triggers set aside, and then counts
// the day totals of every entry it wrote in one statement. Counted line by
// line, each day's total was rewritten once per line, and a server takes
// longer for each rewrite of one row within one transaction: a rent run of
// thousands of contracts spent most of its time there.
bool countedAfter(Database* db, const std::function<bool()>& post, QString* reason)
{
    const int mark = lastEntryId(db);
    if (!LedgerTotals::pause(db))
        return failed(reason);
    if (!post())
        return false;
    return (LedgerTotals::addEntriesAfter(db, mark, false) && LedgerTotals::resume(db)) ||
           failed(reason);
}

bool applyBalances(Database* db, int mark)
{
    const QVariantList sums = db->execQuery(
        // Read through the entry index: the new lines are the last few of a
        // long table. (Grouping by the account index would read them all.)
        db->isPostgres()
            ? QStringLiteral("SELECT account_id, SUM(debit-credit) as net FROM journal_lines "
                             "WHERE entry_id>? GROUP BY account_id")
            : QStringLiteral("SELECT account_id, SUM(debit-credit) as net FROM journal_lines "
                             "WHERE entry_id>? GROUP BY +account_id"),
        {mark});
    for (const QVariant& value : sums) {
        const QVariantMap row = value.toMap();
        if (!db->execNonQuery(
                QStringLiteral("UPDATE accounts SET balance=balance+? WHERE id=?"),
                {row.value(QStringLiteral("net")), row.value(QStringLiteral("account_id"))}))
            return false;
    }
    return true;
}

} // namespace

bool LedgerHistory::accountsPresent(Database* db, const QStringList& codes, QString* reason)
{
    for (const QString& code : codes) {
        if (!db->scalar(QStringLiteral("SELECT 1 FROM accounts WHERE code=?"), {code}).isValid()) {
            if (reason)
                *reason = Reasons::unknownAccount(code);
            return false;
        }
    }
    return true;
}

bool LedgerHistory::run(Database* db, const Step& step, const QString& entryDate, int fromId,
                        int toId, QString* reason, bool balances)
{
    const int mark = lastEntryId(db);
    const bool server = db->isPostgres();
    const QString shares = sharesTable(db->engine());
    bool ok = db->execNonQuery(
        step.entries, {entryDate.isEmpty() ? QVariant() : QVariant(entryDate), fromId, toId});
    if (!step.shares.isEmpty()) {
        ok = ok &&
             db->execNonQuery(
                 server ? QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ledger_shares (eid "
                                         "BIGINT PRIMARY KEY, d TEXT, cu BIGINT, m TEXT, o "
                                         "NUMERIC, ro NUMERIC)")
                        : QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ledger_shares (eid "
                                         "INTEGER PRIMARY KEY, d TEXT, cu INTEGER, m TEXT, o "
                                         "REAL, ro REAL)")) &&
             db->execNonQuery(QStringLiteral("DELETE FROM ") + shares) &&
             db->execNonQuery(step.shares, {mark});
    }
    for (const QString& lines : step.lines)
        ok = ok && db->execNonQuery(lines, {mark});
    for (const QString& totals : step.totals)
        ok = ok && db->execNonQuery(totals, {mark});
    if (!step.shares.isEmpty())
        ok = ok && db->execNonQuery(QStringLiteral("DELETE FROM ") + shares);
    // Lines in another currency are counted by the totals' own pass; this
    // needs the journal's indexes, which a history run builds at its end.
    // The server's triggers have counted every line already.
    ok = ok && (!balances || ((server || LedgerTotals::addEntriesAfter(db, mark, true)) &&
                              applyBalances(db, mark)));
    if (!ok && reason)
        *reason = Reasons::database();
    return ok;
}

bool LedgerHistory::postBatch(Database* db, const Step& step, const QString& entryDate, int fromId,
                              int toId, QString* reason)
{
    if (!accountsPresent(db, kInvoiceAccounts, reason))
        return false;
    // On the server the triggers count one invoice's lines as they are
    // written.
    if (db->isPostgres() && fromId == toId)
        return run(db, step, entryDate, fromId, toId, reason);
    if (db->isPostgres())
        return countedAfter(
            db, [&] { return run(db, step, entryDate, fromId, toId, reason); }, reason);
    if (!LedgerTotals::pause(db))
        return failed(reason);
    return run(db, step, entryDate, fromId, toId, reason) &&
           (LedgerTotals::resume(db) || failed(reason));
}

bool LedgerHistory::postInvoices(Database* db, int fromId, int toId, QString* reason)
{
    static const Step file = invoiceStep();
    static const Step server = invoiceStep(Engine::PostgreSQL);
    return postBatch(db, db->isPostgres() ? server : file, QString(), fromId, toId, reason);
}

bool LedgerHistory::postVoid(Database* db, int invoiceId, const QString& date, QString* reason)
{
    static const Step file = voidStep();
    static const Step server = voidStep(Engine::PostgreSQL);
    return postBatch(db, db->isPostgres() ? server : file, date, invoiceId, invoiceId, reason);
}

bool LedgerHistory::runPastEvents(Database* db, const QList<Step>& steps, const Progress& progress,
                                  QString* reason)
{
    // The last step of the progress is what follows the kinds of event.
    const int total = steps.size() + 1;
    int done = 0;
    for (const Step& step : steps) {
        if (!run(db, step, QString(), 1, std::numeric_limits<int>::max(), reason, false))
            return false;
        if (progress)
            progress(++done, total);
    }
    return true;
}

bool LedgerHistory::isDone(Database* db)
{
    return DoneOnce::isDone(db, Schema::ledgerHistoryKey());
}

bool LedgerHistory::postPastEvents(Database* db, const Progress& progress, QString* reason)
{
    if (isDone(db))
        return true;
    if (db->isPostgres())
        return postPastEventsOnServer(db, progress, reason);
    // Every row the run writes names an entry it has just written and an
    // account checked below, so the per-row key checks are left out for the
    // run (the setting only changes outside a transaction; it is back on
    // before this returns).
    struct KeyChecksOff
    {
        Database* db;
        bool off;
        explicit KeyChecksOff(Database* d)
            : db(d)
            , off(d->transactionDepth() == 0)
        {
            if (off)
                db->execNonQuery(QStringLiteral("PRAGMA foreign_keys=OFF"));
        }
        ~KeyChecksOff()
        {
            if (off)
                db->execNonQuery(QStringLiteral("PRAGMA foreign_keys=ON"));
        }
    } keyChecks(db);
    TransactionGuard tx(db);
    if (!tx.isActive()) {
        if (reason)
            *reason = Reasons::database();
        return false;
    }
    if (!accountsPresent(db, kPastEventAccounts, reason))
        return false;
    // Years of events are a million rows or more. The journal's own indexes
    // are built once at the end, by sorting, instead of row by row; the
    // triggers that keep the ledger's totals are set aside, each kind of
    // event adds its totals from its own rows, and the accounts' balances
    // move once, by what the totals gained. A failure rolls all of it back,
    // the dropped indexes included. Two stay: the steps look each event's
    // entry up by its reference, and the journal list's kept count looks up
    // each new line's entry's other lines (without that index each line
    // would read every line before it).
    const QVariantList indexes = db->execQuery(QStringLiteral(
        "SELECT name, sql FROM sqlite_master WHERE type='index' AND sql IS NOT NULL AND "
        "tbl_name IN ('journal_entries','journal_lines') AND name NOT IN "
        "('idx_journal_reference','idx_journal_lines_entry')"));
    for (const QVariant& index : indexes) {
        if (!db->execNonQuery(QStringLiteral("DROP INDEX ") +
                              index.toMap().value(QStringLiteral("name")).toString()))
            return failed(reason);
    }
    // A larger page cache for the run only: the new rows' pages stay in
    // memory until the indexes are built.
    struct CacheForRun
    {
        Database* db;
        explicit CacheForRun(Database* d)
            : db(d)
        {
            db->execNonQuery(QStringLiteral("PRAGMA cache_size=-262144"));
        }
        ~CacheForRun()
        {
            db->execNonQuery(QStringLiteral("PRAGMA cache_size=-%1").arg(Database::kPageCacheKb));
        }
    } cache(db);
    const int mark = lastEntryId(db);
    const QVariantList before = netPerAccount(db);
    if (!LedgerTotals::pause(db))
        return failed(reason);
    static const QList<Step> steps = pastEventSteps();
    if (!runPastEvents(db, steps, progress, reason))
        return false;
    for (const QVariant& index : indexes) {
        if (!db->execNonQuery(index.toMap().value(QStringLiteral("sql")).toString()))
            return failed(reason);
    }
    // Entries in another currency: their lines join the totals unconverted,
    // and then take their day's rate where one is known (the triggers move
    // what was converted).
    if (!LedgerTotals::addEntriesAfter(db, mark, true) || !LedgerTotals::resume(db) ||
        !CurrencyRates::fillJournal(db) || !moveBalances(db, before))
        return failed(reason);
    if (!DoneOnce::markDone(db, Schema::ledgerHistoryKey()) || !tx.commit()) {
        if (reason)
            *reason = Reasons::database();
        return false;
    }
    if (progress)
        progress(steps.size() + 1, steps.size() + 1);
    return true;
}

bool LedgerHistory::postPastEventsOnServer(Database* db, const Progress& progress, QString* reason)
{
    // The desks of an office may start together: the write lock makes them
    // take turns, and the one that comes second finds the work done.
    TransactionGuard tx(db);
    if (!tx.isActive())
        return failed(reason);
    if (isDone(db))
        return true;
    if (!accountsPresent(db, kPastEventAccounts, reason))
        return false;
    // The totals are counted once, after every kind of event is posted;
    // the balances move once, by what the totals gained, as on a file.
    const QVariantList before = netPerAccount(db);
    static const QList<Step> steps = pastEventSteps(Engine::PostgreSQL);
    if (!countedAfter(
            db, [&] { return runPastEvents(db, steps, progress, reason); }, reason))
        return false;
    if (!CurrencyRates::fillJournal(db) || !moveBalances(db, before))
        return failed(reason);
    if (!DoneOnce::markDone(db, Schema::ledgerHistoryKey()) || !tx.commit())
        return failed(reason);
    if (progress)
        progress(steps.size() + 1, steps.size() + 1);
    return true;
}
