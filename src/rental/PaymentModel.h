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
    Q_INVOKABLE int add(int invoiceId, int tenantId, double amount, const QString& method,
                        const QString& date, const QString& ref, int currId);
    Q_INVOKABLE QVariantList getByTenant(int tenantId);
    Q_INVOKABLE QVariantList getRecent(int limit = 10);

signals:
    void dataChanged();

private:
    Database* m_db;
};
