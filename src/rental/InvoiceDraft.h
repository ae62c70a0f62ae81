#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>

// One invoice about to be written. `contractId` is set only on rent
// invoices; `unitId` is NULL for invoices without a unit.
struct InvoiceDraft
{
    int tenantId = 0;
    QVariant unitId;
    QVariant contractId;
    QString period;
    int currencyId = 0;
    double total = 0;
    // description, type, quantity, unit_price, total of each line, in order
    QList<QVariantList> lines;

    // Every tenant invoice falls due on the 28th of its period.
    QString dueDate() const { return period + QStringLiteral("-28"); }
};
