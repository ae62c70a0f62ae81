#pragma once

#include <QString>
#include <QVariantMap>

class Database;

// The register rows of received cheques and what a cheque's fate does to
// the debt it paid. Writes inside the caller's transaction, like
// LedgerPosting: a cheque given for an invoice or an instalment settles it
// when it is received (the money sits in cheques under collection); a bounce
// opens it again and puts the amount back on the payer's balance; taking a
// bounce back settles it once more.
class ChequeRegister
{
public:
    struct Received
    {
        QString number;
        QString bank;
        QString dueDate; // yyyy-MM-dd
        QString payer;
        double amount = 0;
        int currencyId = 0;
        int tenantId = 0;
        int buyerId = 0;
        int installmentId = 0;
        int paymentId = 0;
        // "pending" for a cheque still to be cashed.
        QString status = QStringLiteral("pending");
    };

    // The new row's id, or -1 when the insert failed.
    static int record(Database* db, const Received& cheque);
    // `cheque` holds the row's columns (amount, installment_id, payment_id).
    // False when a write failed; a cheque that pays nothing changes nothing.
    static bool reopen(Database* db, const QVariantMap& cheque);
    // The reverse of reopen(). False with `reason` when the debt is no
    // longer open for the whole amount (paid meanwhile in another way).
    static bool settleAgain(Database* db, const QVariantMap& cheque, QString* reason);
    // Marks bounced cheque `chequeId` as replaced by `paymentId`. False
    // with `reason` when it is not bounced, already replaced or missing.
    static bool markReplaced(Database* db, int chequeId, int paymentId, QString* reason);
    // The bounced cheque `chequeId` that may still be replaced: its row, or
    // an empty map with `reason`.
    static QVariantMap replaceable(Database* db, int chequeId, QString* reason);
};
