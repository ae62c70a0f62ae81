#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// The units (apartments, shops) of each property. A unit's status
// ("available", "rented", "sold") is what rental contracts and sales act on.
class UnitModel : public BackendObject
{
    Q_OBJECT

public:
    explicit UnitModel(Database* db, QObject* parent = nullptr);

    Q_INVOKABLE QVariantList getByProperty(int propertyId);
    Q_INVOKABLE QVariantList getAll();
    Q_INVOKABLE QVariantMap getById(int id);
    // Adds the unit with its cost centre, under its floor's cost centre (made
    // on first use) and the property's project cost centre.
    Q_INVOKABLE int add(int propertyId, const QString& number, int floor, double area, int rooms,
                        double rentMonthly, double rentYearly, double salePrice, int currencyId);
    Q_INVOKABLE bool update(int id, const QString& number, int floor, double area, int rooms,
                            double rentMonthly, double rentYearly, double salePrice);
    // Refused unless the unit is available. The unit and its cost centre go
    // together, or nothing goes when another row still uses them.
    Q_INVOKABLE bool remove(int id);
    // A sold unit keeps its status: a sale is undone by no call here.
    Q_INVOKABLE bool updateStatus(int id, const QString& status);
    Q_INVOKABLE QVariantList getAvailable();
    // Refused for a unit already sold, a price that is not positive or a date
    // that is not a real "yyyy-MM-dd".
    Q_INVOKABLE bool markAsSold(int unitId, int buyerId, double price, const QString& date);

    // The unit's own cost centre under its floor's (made on first use) and
    // the property's project cost centre. Runs inside the caller's
    // transaction; units that enter by other ways than add() get theirs here.
    bool addCostCentres(int unitId, int propertyId, const QString& number, int floor);

signals:
    void dataChanged();

private:
    // The unit's status ('' when NULL), or an invalid value when there is no such unit.
    QVariant status(int id);
    int projectCostCenter(int propertyId);
    int floorCostCenter(int propertyId, int floor, int projectId);

    Database* m_db;
};
