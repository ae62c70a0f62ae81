#pragma once

#include "insight/Paper.h"

#include <QList>

class Database;

// The papers handed to a tenant or a buyer: an invoice with its lines and
// what is still owed on it, and a payment receipt ("سند قبض") with the
// amount in words and what the payer still owes afterwards.
class PaperPrints
{
public:
    explicit PaperPrints(Database* db);

    // An empty paper (no title) when the record does not exist.
    Paper invoice(int invoiceId) const;
    // Several invoices on one paper, each starting on a new page (a rent
    // run). Ids of missing invoices are skipped.
    Paper invoices(const QList<int>& invoiceIds) const;
    Paper receipt(int paymentId) const;
    // The rent invoices of `period` ("yyyy-MM") that are not void, in
    // number order: what the rent runs of that month wrote.
    QList<int> rentInvoiceIds(const QString& period) const;

private:
    QString invoiceBody(const QVariantMap& invoice) const;
    // What `tenantId` or `buyerId` still owes, per currency.
    QString stillOwed(int tenantId, int buyerId) const;

    Database* m_db;
};
