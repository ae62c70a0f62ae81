#pragma once

#include "core/BackendObject.h"
#include "rental/InvoiceDraft.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

class Database;
class InvoiceNumbers;
class TransactionGuard;

// Tenant invoices: numbering per month of issue, the rent run (each contract
// on its own schedule, once per period, with the unit's metered lines), free and service invoices,
// paid amounts and voiding. Every invoice raises its tenant's balance by its total; voiding lowers
// it by what was still open.
class InvoiceModel : public BackendObject
{
    Q_OBJECT

public:
    explicit InvoiceModel(Database* db, QObject* parent = nullptr);

    Q_INVOKABLE QVariantList getAll();
    Q_INVOKABLE QVariantMap getById(int id);
    Q_INVOKABLE QVariantList getItems(int invoiceId);
    Q_INVOKABLE QVariantList getByTenant(int tenantId);
    // The payments recorded against one invoice, oldest first.
    Q_INVOKABLE QVariantList getPayments(int invoiceId);
    Q_INVOKABLE int createInvoice(int tenantId, int unitId, const QString& period,
                                  const QVariantList& items, int currencyId);
    // The number of rent invoices written; 0 when every active contract is
    // already billed for the period, outside its dates or between two due
    // months with no readings; -1 with a reason when the run failed.
    Q_INVOKABLE int generateAllRent(const QString& period);
    Q_INVOKABLE int generateServiceInvoice(const QVariantList& tenantIds,
                                           const QString& serviceName, double amount,
                                           const QString& period, int currencyId);
    Q_INVOKABLE int generatePropertyServiceInvoice(int propertyId, const QString& serviceName,
                                                   double amount, const QString& period,
                                                   int currencyId);
    Q_INVOKABLE bool updatePaidAmount(int id, double amount);
    Q_INVOKABLE bool voidInvoice(int id);

signals:
    void dataChanged();

private:
    using Draft = InvoiceDraft;

    struct Writer;
    class InvoiceSavepoint;
    // Writes the invoice, its lines and the tenant's balance all-or-nothing,
    // inside the caller's transaction (refused outside one).
    // Returns the new id, or -1 when any statement failed (nothing is kept).
    int writeInvoice(InvoiceNumbers& numbers, Writer& writer, const Draft& draft);
    // Ends a bulk run: commits what was written and returns how many, or
    // refuses when nothing could be written because every invoice failed;
    // posts the invoices written after `lastBefore`.
    int finishRun(TransactionGuard& run, int count, int failed, int lastBefore);
    int lastInvoiceId();

    Database* m_db;
};
