#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// The register of properties (buildings or projects). Adding a property also
// opens its project cost centre, the root of the property's cost-centre tree
// that UnitModel grows with floor and unit rows.
class PropertyModel : public BackendObject
{
    Q_OBJECT

public:
    explicit PropertyModel(Database* db, QObject* parent = nullptr);

    // Newest first, with live unit counts and the monthly revenue of active contracts.
    Q_INVOKABLE QVariantList getAll();
    Q_INVOKABLE QVariantMap getById(int id);
    Q_INVOKABLE int add(const QString& name, const QString& type, const QString& address,
                        const QString& city, const QString& description);
    Q_INVOKABLE bool update(int id, const QString& name, const QString& type,
                            const QString& address, const QString& city,
                            const QString& description);
    // Refused while any unit is not available. Otherwise the property and its
    // cost centres go together, or nothing goes when another row still uses them.
    Q_INVOKABLE bool remove(int id);
    Q_INVOKABLE QVariantMap getStats(int id);
    Q_INVOKABLE QVariantList search(const QString& query);

signals:
    void dataChanged();

private:
    Database* m_db;
};
