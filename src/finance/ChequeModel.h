#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// The register of paper cheques received and issued. A cheque starts
// "pending" and is later cashed ("paid") or returned ("bounced"); each change
// posts its entry. A received cheque given for an invoice or an instalment
// settled it when received; its bounce opens it again (see ChequeRegister),
// until a replacement (by the payment and instalment models) settles it anew.
// An issued cheque paid a contractor; its bounce makes the contractor owed
// again. A cheque added here without what it pays (a guarantee cheque, say)
// is kept for follow-up only and posts nothing.
class ChequeModel : public BackendObject
{
    Q_OBJECT

public:
    explicit ChequeModel(Database* db, QObject* parent = nullptr);

    Q_INVOKABLE QVariantList getAll();
    // New cheque id, or -1 for a blank number, an amount or rate that is not
    // positive, a type other than "received"/"issued", a due date that is not
    // a real "yyyy-MM-dd", or a failed insert.
    Q_INVOKABLE int add(const QString& num, const QString& type, double amount, const QString& bank,
                        const QString& dueDate, const QString& payerPayee, int currId,
                        double exchangeRate, int buyerId = 0, int tenantId = 0);
    // Any status to any other, each change posting its entry (corrections
    // included); clear() and bounce() are the everyday actions.
    Q_INVOKABLE bool updateStatus(int id, const QString& status);
    // A pending cheque cashed: received ones move from cheques under
    // collection to cash, issued ones leave cash.
    Q_INVOKABLE bool clear(int id);
    // A pending cheque returned by the bank: for a received one receivables
    // come back and what it paid is open again; for an issued one the
    // contractor is owed again.
    Q_INVOKABLE bool bounce(int id);
    // Bounced received cheques of the same payer (the tenant or buyer of
    // cheque `id`, or its payer's name when it names neither).
    Q_INVOKABLE int payerBounces(int id);
    // Per type ("received" or "issued") and status, as getStatusTotals, each
    // sum rounded to its currency's decimals.
    Q_INVOKABLE QVariantMap getTotals(const QString& type, const QString& status);
    // The same for every type and status at once, in one read:
    // {received: {pending: {count, sums}, paid: ..., bounced: ...}, issued: ...}.
    Q_INVOKABLE QVariantMap getRegisterTotals();
    Q_INVOKABLE QVariantList getByType(const QString& type);
    Q_INVOKABLE QVariantList getByStatus(const QString& status);
    // How many cheques have `status` and their amounts summed per currency,
    // worked out by SQL: {count, sums: [{currency_id, total}]}, currencies in
    // the order of their earliest due date (currency_id 0 where none is set).
    Q_INVOKABLE QVariantMap getStatusTotals(const QString& status);
    Q_INVOKABLE QVariantList getPending();
    // Pending cheques whose due date is still ahead.
    Q_INVOKABLE QVariantList getPostDated();
    // Once per file: tenant payments by cheque recorded without a register
    // row gain one (pending, due on the payment's day), or take over the
    // same cheque typed into the register by hand. How many were written;
    // 0 on every later call, -1 on failure.
    int registerPaymentCheques();

signals:
    void dataChanged();

private:
    // Posts the change of a cheque from status `from` to `to`; false (with
    // the reason kept) when the posting was refused.
    bool post(int id, const QVariantMap& cheque, const QString& from, const QString& to);
    // Moves what the cheque paid along with its status.
    bool followDebt(const QVariantMap& cheque, const QString& from, const QString& to);

    Database* m_db;
};
