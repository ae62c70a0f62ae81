#pragma once

#include <QHash>
#include <QMap>
#include <QPair>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// Reads of the ledger for the accounting page: whether the books agree with
// themselves and with the records they summarise, the trial balance, one
// account's entries with a running balance, and an entry with its lines.
//
// Every figure is kept apart by the currency of its entry. Entries that name
// no currency (and files whose journal has no currency column at all) are in
// the primary currency.
class LedgerReports
{
public:
    explicit LedgerReports(Database* db);

    // What differs, one map per finding; empty when the books agree. Keys:
    // check (what was compared, in Arabic), subject (the entry or account it
    // is about, or empty), currency_id, currency_code, currency_symbol,
    // ledger_label / ledger, records_label / records (the two sides) and
    // difference (ledger - records).
    QVariantList reconcile() const;

    // Per account and currency: debit, credit and balance (debit - credit)
    // of the lines dated in the range (all lines unless both bounds are
    // given). Keys: rows (account_id, code, name_ar, type, currency_id,
    // currency_code, currency_symbol, debit, credit, balance) and totals
    // (one row per currency with debit, credit, balance).
    QVariantMap trialBalance(const QString& from, const QString& to) const;

    // The lines of one account, oldest first, `limit` of them after the
    // first `offset` (the last page when `offset` is negative). Keys: account_id, code, name_ar,
    // type, total (lines of the account), offset, limit, closing (balance per currency) and rows
    // (line_id, entry_id, entry_date, description, reference, source, currency_id, currency_code,
    // currency_symbol, debit, credit, balance: the running balance of the row's currency up to and
    // including it). Empty when there is no such account.
    QVariantMap accountLedger(int accountId, int offset, int limit) const;

    // The entry with its lines: the entry's columns plus source (the event
    // it came from), currency_id, currency_code, currency_symbol,
    // total_debit, total_credit and line_items (account_id, code, name_ar,
    // debit, credit, description). Empty when there is no such entry.
    QVariantMap journalEntry(int entryId) const;
    // Adds source, the currency keys and line_items to rows of entries.
    void describeEntries(QVariantList& entries) const;

private:
    struct Currency
    {
        QString code;
        QString symbol;
    };
    using Sums = QMap<int, double>; // currency id -> amount

    // The currency of an entry in SQL, taking the primary currency's id as
    // its one bound value: the entry's own when the journal keeps one.
    QString entryCurrency() const;
    void loadCurrencies() const;
    void putCurrency(QVariantMap& row, int currencyId) const;
    QVariantList linesOf(int entryId) const;

    // The journal's debit and credit per account and currency (account id
    // -> currency id -> debit, credit), and the accounts (id, code, name_ar,
    // parent_id, kept: the balance each keeps).
    struct Movements
    {
        QHash<int, QMap<int, QPair<double, double>>> byAccount;
        QVariantList accounts;
    };
    Movements movements() const;
    // Debit minus credit per currency over the account `code` and the
    // accounts under it.
    Sums accountSums(const Movements& moved, const QString& code) const;
    // Sums per currency of a query giving columns cur and t.
    Sums sumsOf(const QString& sql, const QVariantList& params) const;
    // A finding per currency where the two sides differ.
    void compare(QVariantList& findings, const QString& check, const QString& ledgerLabel,
                 const Sums& ledger, const QString& recordsLabel, const Sums& records) const;
    QVariantMap finding(const QString& check, const QString& subject, int currencyId,
                        const QString& ledgerLabel, double ledger, const QString& recordsLabel,
                        double records) const;

    Database* m_db;
    mutable int m_primaryId = 0;
    mutable QHash<int, Currency> m_currencies;
};
