#include "rental/MeterReadingModel.h"

#include "core/Database.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"

#include <cmath>

MeterReadingModel::MeterReadingModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

double MeterReadingModel::consumption(double previous, double current, bool meterChange)
{
    return meterChange ? current : current - previous;
}

double MeterReadingModel::cost(double consumption, double rate)
{
    return std::round(consumption * rate * 100.0) / 100.0;
}

double MeterReadingModel::lastReading(int unitId, int serviceId, const QString& period)
{
    return m_db
        ->scalar(QStringLiteral("SELECT current_reading FROM usage_records WHERE unit_id=? AND "
                                "service_id=? AND period<? ORDER BY period DESC LIMIT 1"),
                 {unitId, serviceId, period})
        .toDouble();
}

QVariantList MeterReadingModel::getSheet(int propertyId, const QString& period)
{
    if (!SqlValue::isIsoPeriod(period))
        return {};
    const QVariantList rows = m_db->execQuery(
        QStringLiteral(
            "SELECT u.id AS unit_id, u.unit_number, s.id AS service_id, s.name AS service_name, "
            "s.rate, s.unit_of_measure, cur.previous_reading AS saved_previous, "
            "cur.current_reading AS saved_current, cur.id AS reading_id, "
            "cur.meter_change AS saved_meter_change, "
            "(SELECT ur.current_reading FROM usage_records ur WHERE ur.unit_id=u.id AND "
            "ur.service_id=s.id AND ur.period<? ORDER BY ur.period DESC LIMIT 1) AS last_reading "
            "FROM units u CROSS JOIN services s LEFT JOIN usage_records cur ON "
            "cur.unit_id=u.id AND cur.service_id=s.id AND cur.period=? "
            "WHERE u.property_id=? AND s.type='usage' ORDER BY u.unit_number, s.id"),
        {period, period, propertyId});
    QVariantList sheet;
    sheet.reserve(rows.size());
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const bool saved = !row.value(QStringLiteral("reading_id")).isNull();
        QVariantMap line;
        for (const char* key :
             {"unit_id", "unit_number", "service_id", "service_name", "rate", "unit_of_measure"})
            line.insert(QString::fromLatin1(key), row.value(QString::fromLatin1(key)));
        line.insert(QStringLiteral("previous_reading"),
                    saved ? row.value(QStringLiteral("saved_previous")).toDouble()
                          : row.value(QStringLiteral("last_reading")).toDouble());
        line.insert(QStringLiteral("current_reading"),
                    saved ? row.value(QStringLiteral("saved_current")) : QVariant());
        line.insert(QStringLiteral("saved"), saved);
        line.insert(QStringLiteral("meter_change"),
                    saved && row.value(QStringLiteral("saved_meter_change")).toInt() != 0);
        sheet.append(line);
    }
    return sheet;
}

int MeterReadingModel::savedCount(const QString& period)
{
    if (!SqlValue::isIsoPeriod(period))
        return 0;
    return m_db
        ->scalar(QStringLiteral("SELECT COUNT(*) FROM usage_records WHERE period=?"), {period})
        .toInt();
}

int MeterReadingModel::saveReadings(const QString& period, const QVariantList& rows)
{
    clearError();
    if (!SqlValue::isIsoPeriod(period))
        return refuseId(Reasons::invalidPeriod());

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    int saved = 0;
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const QVariant typed = row.value(QStringLiteral("current_reading"));
        if (typed.isNull() || typed.toString().trimmed().isEmpty())
            continue;
        bool numeric = false;
        const double current = typed.toDouble(&numeric);
        if (!numeric || !std::isfinite(current) || current < 0)
            return refuseId(Reasons::invalidNumber());
        const int unitId = row.value(QStringLiteral("unit_id")).toInt();
        const int serviceId = row.value(QStringLiteral("service_id")).toInt();
        const bool meterChange = row.value(QStringLiteral("meter_change")).toBool();

        const QVariantMap service = SqlValue::firstRow(m_db->execQuery(
            QStringLiteral("SELECT rate FROM services WHERE id=? AND type='usage'"), {serviceId}));
        if (service.isEmpty() || m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM units WHERE "
                                                             "id=?"),
                                              {unitId})
                                         .toInt() != 1)
            return databaseFailed() ? refuseDatabaseId() : refuseMissingId();
        // The period's rent invoice carries the readings it found; changing
        // them afterwards would leave the invoice telling another story.
        if (m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM invoices WHERE unit_id=? AND "
                                        "period=? AND contract_id IS NOT NULL AND status!='void'"),
                         {unitId, period})
                .toInt() > 0)
            return refuseId(Reasons::readingsBilled());

        const double previous = meterChange ? 0.0 : lastReading(unitId, serviceId, period);
        if (databaseFailed())
            return refuseDatabaseId();
        if (current < previous)
            return refuseId(Reasons::readingBelowPrevious());
        const double used = consumption(previous, current, meterChange);
        const double charge = cost(used, service.value(QStringLiteral("rate")).toDouble());
        if (!m_db->execNonQuery(
                QStringLiteral("INSERT INTO usage_records (unit_id, service_id, period, "
                               "previous_reading, current_reading, consumption, cost, "
                               "meter_change) VALUES (?,?,?,?,?,?,?,?) ON CONFLICT(unit_id, "
                               "service_id, period) DO UPDATE SET "
                               "previous_reading=excluded.previous_reading, "
                               "current_reading=excluded.current_reading, "
                               "consumption=excluded.consumption, cost=excluded.cost, "
                               "meter_change=excluded.meter_change"),
                {unitId, serviceId, period, previous, current, used, charge, meterChange ? 1 : 0}))
            return refuseDatabaseId();
        ++saved;
    }
    if (saved == 0)
        return 0;
    if (!tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return saved;
}
