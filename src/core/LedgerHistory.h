#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class Database;

// Postings written for many events at once, in a few set-based statements:
// the invoices of a rent or service run, and the past events of a file
// written before the ledger was posted. Like LedgerPosting it writes inside
// the caller's transaction, never updates or deletes a journal row, and
// skips an event that already has its posting, so running it twice posts
// nothing new.
class LedgerHistory
{
public:
    // (step done, steps in all), called after each kind of event.
    using Progress = std::function<void(int, int)>;

    // Posts every invoice with id in [fromId, toId] that has no posting yet:
    // receivables against rent (rent lines) and services (other lines),
    // dated with its day of issue.
    static bool postInvoices(Database* db, int fromId, int toId, QString* reason);
    // Posts the void of invoice `invoiceId`: what was still open leaves
    // receivables and the revenue accounts in the shares of its lines. An
    // empty `date` dates it with the invoice's day of issue.
    static bool postVoid(Database* db, int invoiceId, const QString& date, QString* reason);

    // True once the past events of the file have been posted.
    static bool isDone(Database* db);
    // Posts every past event that has no posting, each dated with its own
    // day, in one transaction, then marks the file done. Nothing happens on
    // a file already marked. False (nothing written) with `reason` on failure.
    static bool postPastEvents(Database* db, const Progress& progress, QString* reason);

    // The statements of one kind of event (LedgerHistory.cpp).
    struct Step;

private:
    // `balances`: move the account balances by the step's lines at once.
    static bool run(Database* db, const Step& step, const QString& entryDate, int fromId, int toId,
                    QString* reason, bool balances = true);
    // Posts `step` for ids [fromId, toId] with the totals' triggers set aside.
    static bool postBatch(Database* db, const Step& step, const QString& entryDate, int fromId,
                          int toId, QString* reason);
    // Runs the past events' steps in turn, telling `progress` after each.
    static bool runPastEvents(Database* db, const QList<Step>& steps, const Progress& progress,
                              QString* reason);
    static bool accountsPresent(Database* db, const QStringList& codes, QString* reason);
    // postPastEvents on a server, whose triggers keep the totals.
    static bool postPastEventsOnServer(Database* db, const Progress& progress, QString* reason);
};
