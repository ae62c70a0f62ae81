#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// Maintenance requests raised for units. Completing one records its cost on
// the request and books it as an expense of the unit and its property.
class MaintenanceModel : public BackendObject
{
    Q_OBJECT

public:
    explicit MaintenanceModel(Database* db, QObject* parent = nullptr);

    Q_INVOKABLE QVariantList getAll();
    Q_INVOKABLE int add(int unitId, int propertyId, const QString& title, const QString& desc,
                        const QString& priority);
    Q_INVOKABLE bool updateStatus(int id, const QString& status);
    Q_INVOKABLE bool complete(int id, double cost);
    // Completion naming who did the work: the cost is paid now from cash,
    // or, when `owed`, owed to the contractor (its balance rises).
    Q_INVOKABLE bool completeWith(int id, double cost, int contractorId, bool owed);
    Q_INVOKABLE QVariantList getByStatus(const QString& status);
    Q_INVOKABLE int getCount(const QString& status = QString());

signals:
    void dataChanged();

private:
    QVariantMap request(int id);

    Database* m_db;
};
