#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// Rental contracts between a tenant and a unit. A new contract marks its unit
// rented; terminating the last active contract on a unit frees it again.
class ContractModel : public BackendObject
{
    Q_OBJECT

public:
    explicit ContractModel(Database* db, QObject* parent = nullptr);

    Q_INVOKABLE QVariantList getAll();
    Q_INVOKABLE QVariantMap getById(int id);
    // One tenant's contracts, newest start first.
    Q_INVOKABLE QVariantList getByTenant(int tenantId);
    // -1 with nothing written for a sold or missing unit, dates that are not
    // "yyyy-MM-dd", an end before the start, a rent that is not positive, a
    // negative deposit, or a period that overlaps another active contract on
    // the unit.
    Q_INVOKABLE int add(int unitId, int tenantId, const QString& start, const QString& end,
                        double rent, const QString& freq, double deposit, int currId);
    // False for a missing or already terminated contract.
    Q_INVOKABLE bool terminate(int id);
    // Active contracts ending within `days` days from today, including those already past.
    Q_INVOKABLE QVariantList getExpiring(int days);
    // Both ends of a period are inclusive, so sharing a single day overlaps.
    Q_INVOKABLE bool hasOverlap(int unitId, const QString& start, const QString& end,
                                int excludeId = -1);
    // How a stored payment frequency reads on the contracts page; an unknown
    // one says that the contract is billed monthly.
    Q_INVOKABLE QString frequencyLabel(const QString& frequency) const;

signals:
    void dataChanged();

private:
    Database* m_db;
};
