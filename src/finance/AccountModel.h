#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// A small double-entry ledger: the chart of accounts, journal entries made of
// debit and credit lines, a running balance per account (debit minus credit,
// whatever the type) and the profit-and-loss and balance-sheet figures.
class AccountModel : public BackendObject
{
    Q_OBJECT

public:
    explicit AccountModel(Database* db, QObject* parent = nullptr);

    Q_INVOKABLE QVariantList getAll();
    Q_INVOKABLE int add(const QString& code, const QString& name, const QString& type,
                        int parentId);
    // Entries with their lines as text, newest first; the date range applies
    // only when both bounds are given.
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

signals:
    void dataChanged();

private:
    Database* m_db;
};
