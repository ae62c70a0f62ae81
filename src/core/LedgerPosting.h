#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

class CurrencyRates;
class Database;

// Writes the journal entry of one business event: one balanced entry with
// its lines, and the running balance of every account it touches. It never
// opens a transaction of its own; the caller holds a TransactionGuard around
// the event and its entry, so both are kept or neither is. A refused posting
// writes nothing and says why in reason(); the caller then refuses the event
// and its guard rolls back what the event had written.
//
// Entries are never edited or deleted: an event is undone by posting the
// mirror of its lines (reverse()).
//
// Each line also keeps its amount in the primary currency at the rate of
// the entry's date. A day without a rate leaves it empty (the event is still
// posted); it is filled once a rate covering that day is recorded, and the
// figures that need it meanwhile say which rate is missing.
class LedgerPosting
{
public:
    struct Line
    {
        QString accountCode;
        // When above 0, the account by id instead of by code.
        int accountId = 0;
        double debit = 0;
        double credit = 0;
        // Empty: the entry's description.
        QString description;
    };

    struct Entry
    {
        QString date; // yyyy-MM-dd
        QString description;
        QString referenceType; // the event: "payment", "invoice_void", ...
        int referenceId = 0;   // the row the event wrote or changed
        // The event's currency; 0 for the primary currency. Amounts stay in it.
        int currencyId = 0;
        // The voucher or document number a person typed, if any.
        QString reference;
        QList<Line> lines;
    };

    explicit LedgerPosting(Database* db);

    // The new entry's id, or -1 (nothing written) when a line names an
    // unknown account, an amount is negative, not finite or absurd, the
    // lines are empty or do not balance to the cent, or a write failed.
    int post(const Entry& entry);
    // Posts, as an entry of `reversalType` naming the same row, the mirror
    // of what the entries of (`referenceType`, `referenceId`) still hold per
    // account; one entry per currency those entries were kept in (the last
    // one's id is returned). 0 when they hold nothing (never posted, or
    // already reversed).
    int reverse(const QString& referenceType, int referenceId, const QString& reversalType,
                const QString& date, const QString& description);

    // The account id of `code`, or 0 when the chart has no such account.
    int accountId(const QString& code);
    QString reason() const { return m_reason; }

private:
    // A line's debit and credit in the primary currency; null when unknown.
    struct Primary
    {
        QVariant debit;
        QVariant credit;
    };
    int refuse(const QString& reason);
    int write(const Entry& entry, const QList<Primary>& given);
    // The lines converted at the entry's date, the sides kept equal to the
    // cent; nulls when the currency has no rate on that day.
    QList<Primary> converted(const Entry& entry);
    // Adds each line's debit less credit to its account's kept balance.
    bool moveBalances(const QList<Line>& lines, const QList<int>& accounts);
    // Keeps the ids of the lines' account codes not yet known.
    void learnAccounts(const QList<Line>& lines);
    // `id` when the chart holds it, else 0.
    int knownAccount(int id);

    Database* m_db;
    QHash<QString, int> m_accounts;
    std::shared_ptr<CurrencyRates> m_rates;
    QString m_reason;
};
