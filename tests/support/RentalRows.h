#pragma once

#include "core/Database.h"

#include <QString>

// Plain rows for tests of invoices, payments, maintenance and expenses, written
// straight into the tables so those tests do not depend on the property, unit,
// tenant and contract models. Each returns the new id, or -1.
namespace RentalRows {

inline int property(Database* db, const QString& name)
{
    return db->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"), {name});
}

inline int unit(Database* db, int propertyId, const QString& number)
{
    return db->execInsert(
        QStringLiteral("INSERT INTO units (property_id, unit_number, status) VALUES (?, ?, ?)"),
        {propertyId, number, QStringLiteral("rented")});
}

inline int unitCostCenter(Database* db, int propertyId, int unitId)
{
    return db->execInsert(QStringLiteral("INSERT INTO cost_centers (name, type, property_id, "
                                         "unit_id) VALUES (?, 'unit', ?, ?)"),
                          {QStringLiteral("شقة / وحدة %1").arg(unitId), propertyId, unitId});
}

inline int projectCostCenter(Database* db, int propertyId)
{
    return db->execInsert(QStringLiteral("INSERT INTO cost_centers (name, type, property_id) "
                                         "VALUES (?, 'project', ?)"),
                          {QStringLiteral("مشروع"), propertyId});
}

inline int tenant(Database* db, const QString& name)
{
    return db->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"), {name});
}

inline int contract(Database* db, int unitId, int tenantId, double rent,
                    const QString& status = QStringLiteral("active"), int currencyId = 1)
{
    return db->execInsert(
        QStringLiteral("INSERT INTO contracts (unit_id, tenant_id, start_date, end_date, "
                       "rent_amount, status, currency_id) VALUES (?, ?, ?, ?, ?, ?, ?)"),
        {unitId, tenantId, QStringLiteral("2024-01-01"), QStringLiteral("2030-12-31"), rent, status,
         currencyId});
}

inline int usage(Database* db, int unitId, int serviceId, const QString& period, double consumption,
                 double cost)
{
    return db->execInsert(QStringLiteral("INSERT INTO usage_records (unit_id, service_id, period, "
                                         "consumption, cost) VALUES (?, ?, ?, ?, ?)"),
                          {unitId, serviceId, period, consumption, cost});
}

inline int contractor(Database* db, const QString& name)
{
    return db->execInsert(QStringLiteral("INSERT INTO contractors (name) VALUES (?)"), {name});
}

// Makes every later statement matching `when` on `table` fail, as a full disk
// or a broken constraint would; used to check that writes roll back whole.
// Triggers take no bound parameters, so callers pass literal test text only.
// `when` reads NEW as the row written; "1" is every row.
inline bool failOn(Database* db, const QString& event, const QString& table,
                   const QString& when = QStringLiteral("1"))
{
    if (!db->isPostgres())
        return db->execNonQuery(QStringLiteral("CREATE TRIGGER fail_%1_%2 BEFORE %1 ON %2 WHEN %3 "
                                               "BEGIN SELECT RAISE(ABORT, 'forced failure'); END")
                                    .arg(event, table, when));
    return db->execNonQuery(
               QStringLiteral("CREATE OR REPLACE FUNCTION fail_forced() RETURNS trigger LANGUAGE "
                              "plpgsql AS $$ BEGIN RAISE EXCEPTION 'forced failure'; END $$")) &&
           db->execNonQuery(
               QStringLiteral("CREATE TRIGGER fail_%1_%2 BEFORE %1 ON %2 FOR EACH "
                              "ROW WHEN (%3) EXECUTE FUNCTION fail_forced()")
                   .arg(event, table, when == QLatin1String("1") ? QStringLiteral("true") : when));
}

} // namespace RentalRows
