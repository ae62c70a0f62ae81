#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <memory>

class Database;
class LedgerReports;

// A small double-entry ledger: the chart of accounts, journal entries made of
// debit and credit lines, a running balance per account (debit minus credit,
// whatever the type) and the profit-and-loss and balance-sheet figures.
class AccountModel : public BackendObject
{
    Q_OBJECT

public:
    explicit AccountModel(Database* db, QObject* parent = nullptr);
    ~AccountModel() override;

    Q_INVOKABLE QVariantList getAll();
    Q_INVOKABLE int add(const QString& code, const QString& name, const QString& type,
                        int parentId);
    // Entries, newest first; the date range applies only when both bounds
    // are given. Each keeps its lines as text under `lines` for older
    // callers, and as maps under `line_items` (account_id, code, name_ar,
    // debit, credit, description), with source (the event it came from, in
    // Arabic), currency_id, currency_code, currency_symbol, total_debit and
    // total_credit.
    Q_INVOKABLE QVariantList getJournalEntries(const QString& from = QString(),
                                               const QString& to = QString());
    // Each line is a map with account_id, debit, credit and description. The
    // entry, its lines and the balance changes are written together or not at
    // all; -1 when the entry has fewer than two lines, a negative or absurd
    // amount, is unbalanced (by more than 0.01) or any write fails.
    // `reference` is the free text a person typed for the entry (a voucher
    // number, say); it is stored with the entry.
    Q_INVOKABLE int createJournalEntry(const QString& date, const QString& desc,
                                       const QString& refType, int refId, const QVariantList& lines,
                                       const QString& reference = QString());
    Q_INVOKABLE QVariantMap getProfitLoss(const QString& from, const QString& to);
    Q_INVOKABLE QVariantMap getBalanceSheet();

    // One entry with its lines, keyed as a row of getJournalEntries; empty
    // when there is no such entry.
    Q_INVOKABLE QVariantMap getJournalEntry(int entryId);
    // Where the books disagree with themselves or with the records they
    // summarise, one finding per map; empty when they agree. See
    // LedgerReports::reconcile for the keys.
    Q_INVOKABLE QVariantList reconcile();
    // Debit, credit and balance per account and currency, with totals per
    // currency ({rows, totals}); the range applies when both bounds are given.
    Q_INVOKABLE QVariantMap trialBalance(const QString& from = QString(),
                                         const QString& to = QString());
    // A page of one account's lines, oldest first, with the running balance
    // ({account_id, code, name_ar, type, total, offset, limit, closing, rows});
    // a negative offset gives the last page.
    Q_INVOKABLE QVariantMap accountLedger(int accountId, int offset = 0, int limit = 50);

signals:
    void dataChanged();

private:
    Database* m_db;
    std::unique_ptr<LedgerReports> m_reports;
};
