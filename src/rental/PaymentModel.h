#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>

class Database;

// Money received: tenant payments against their invoices, recorded here, and
// buyer payments written by the sale and installment operations, listed
// together.
class PaymentModel : public BackendObject
{
    Q_OBJECT

public:
    explicit PaymentModel(Database* db, QObject* parent = nullptr);

    Q_INVOKABLE QVariantList getAll();
    // A payment by cheque ("cheque") takes `ref` as the cheque's number and
    // the payment's date as its due date; addCheque() says both.
    Q_INVOKABLE int add(int invoiceId, int tenantId, double amount, const QString& method,
                        const QString& date, const QString& ref, int currId);
    // A payment by a cheque due on `dueDate`: the invoice is settled at once,
    // the money sits in cheques under collection, and the cheque joins the
    // register, pending, linked to this payment.
    Q_INVOKABLE int addCheque(int invoiceId, int tenantId, double amount, const QString& date,
                              const QString& chequeNumber, const QString& bank,
                              const QString& dueDate, int currId);
    // Settles again what the bounced cheque `chequeId` had paid, by cash or
    // a bank transfer ("cash", "bank") or by a new cheque ("cheque" with its
    // number, bank and due date). The new payment's id, or -1.
    Q_INVOKABLE int replaceBounced(int chequeId, const QString& method, const QString& date,
                                   const QString& chequeNumber, const QString& bank,
                                   const QString& dueDate);
    Q_INVOKABLE QVariantList getByTenant(int tenantId);
    Q_INVOKABLE QVariantList getRecent(int limit = 10);

signals:
    void dataChanged();

private:
    struct Cheque
    {
        QString number;
        QString bank;
        QString dueDate;
    };
    int record(int invoiceId, int tenantId, double amount, const QString& method,
               const QString& date, const QString& ref, int currId, const Cheque& cheque);

    Database* m_db;
};
