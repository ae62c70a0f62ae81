#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// The register of tenants. The running balance on each tenant row belongs to
// invoicing and payments; this class never writes it.
class TenantModel : public BackendObject
{
    Q_OBJECT

public:
    explicit TenantModel(Database* db, QObject* parent = nullptr);

    // Ordered by name, each with its number of active contracts.
    Q_INVOKABLE QVariantList getAll();
    // What the tenant owes, per currency: [{currency_id, total}] (the
    // statement's closing balance of each currency).
    Q_INVOKABLE QVariantList balances(int id);
    Q_INVOKABLE QVariantMap getById(int id);
    Q_INVOKABLE int add(const QString& name, const QString& idNum, const QString& phone,
                        const QString& email, const QString& addr);
    Q_INVOKABLE bool update(int id, const QString& name, const QString& idNum, const QString& phone,
                            const QString& email, const QString& addr);
    // Refused while the tenant has an active contract; any other row still
    // naming the tenant makes the delete fail.
    Q_INVOKABLE bool remove(int id);
    // Invoices (debit, full total) and payments (credit) in date order, without a running balance.
    Q_INVOKABLE QVariantList getStatement(int id);
    Q_INVOKABLE QVariantList search(const QString& q);

signals:
    void dataChanged();

private:
    Database* m_db;
};
