#pragma once

#include "core/BackendObject.h"

#include <QString>
#include <QVariantList>

class Database;

// Meter readings of the metered services, per property and period: one row
// per unit and metered service, the previous reading taken from the last
// period read, the consumption and its cost at the service's rate. Saved
// readings are what the rent run bills as the unit's metered lines.
class MeterReadingModel : public BackendObject
{
    Q_OBJECT

public:
    explicit MeterReadingModel(Database* db, QObject* parent = nullptr);

    // One row per unit of the property and metered service, in unit and
    // service order: unit_id, unit_number, service_id, service_name, rate,
    // unit_of_measure, previous_reading, current_reading (null until read),
    // saved and meter_change (the saved reading was taken on a new meter).
    Q_INVOKABLE QVariantList getSheet(int propertyId, const QString& period);

    // Saves the readings typed for `period`; each row a map of unit_id,
    // service_id, current_reading and meter_change. Rows without a current
    // reading are left out. All or nothing: a reading below the previous one
    // without a meter change, a unit already billed for the period, or an
    // unknown service refuses the whole sheet. Returns how many were saved,
    // or -1 with a reason.
    Q_INVOKABLE int saveReadings(const QString& period, const QVariantList& rows);

    // How many readings are saved for `period` (every property).
    Q_INVOKABLE int savedCount(const QString& period);

    // The consumption between two readings; a changed meter starts at zero.
    static double consumption(double previous, double current, bool meterChange);
    // The consumption's cost at the rate, to the cent.
    static double cost(double consumption, double rate);

signals:
    void dataChanged();

private:
    // The current reading of the last period before `period`, or 0.
    double lastReading(int unitId, int serviceId, const QString& period);

    Database* m_db;
};
