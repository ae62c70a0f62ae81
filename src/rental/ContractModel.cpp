#include "rental/ContractModel.h"

#include "core/Database.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "rental/RentSchedule.h"

#include <QDate>

namespace {

QString listQuery(const QString& tail)
{
    return QStringLiteral(
               "SELECT c.*, t.full_name as tenant_name, u.unit_number, p.name as property_name "
               "FROM contracts c JOIN tenants t ON c.tenant_id=t.id JOIN units u ON "
               "c.unit_id=u.id JOIN properties p ON u.property_id=p.id ") +
           tail;
}

} // namespace

ContractModel::ContractModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantList ContractModel::getAll()
{
    return m_db->execQuery(listQuery(QStringLiteral("ORDER BY c.created_at DESC")));
}

QVariantList ContractModel::getByTenant(int tenantId)
{
    return m_db->execQuery(
        listQuery(QStringLiteral("WHERE c.tenant_id=? ORDER BY c.start_date DESC")), {tenantId});
}

QVariantMap ContractModel::getById(int id)
{
    const QVariantList rows = m_db->execQuery(listQuery(QStringLiteral("WHERE c.id=?")), {id});
    return SqlValue::firstRow(rows);
}

int ContractModel::add(int unitId, int tenantId, const QString& start, const QString& end,
                       double rent, const QString& freq, double deposit, int currId)
{
    clearError();
    if (!SqlValue::isIsoDate(start) || !SqlValue::isIsoDate(end))
        return refuseId(Reasons::invalidDate());
    if (end < start)
        return refuseId(Reasons::endBeforeStart());
    if (!Money::isPositive(rent))
        return refuseId(Reasons::invalidAmount());
    if (!Money::isNonNegative(deposit))
        return refuseId(Reasons::invalidAmount());
    // Kept in the currency's minor unit, like every amount stored.
    const MinorUnits units(m_db);
    rent = units.round(currId, rent);
    deposit = units.round(currId, deposit);
    if (!Money::isPositive(rent))
        return refuseId(Reasons::invalidAmount());

    // The unit's status and the overlap are read under the write lock, so a
    // second contract for the same days cannot slip in between.
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    const QVariantList unit =
        m_db->execQuery(QStringLiteral("SELECT status FROM units WHERE id=?"), {unitId});
    if (unit.isEmpty())
        return refuseMissingId();
    if (unit.first().toMap().value(QStringLiteral("status")).toString() == QLatin1String("sold"))
        return refuseId(Reasons::unitSold());
    if (hasOverlap(unitId, start, end, -1))
        return refuseId(Reasons::contractOverlap());
    if (databaseFailed())
        return refuseDatabaseId();

    const int id = m_db->execInsert(
        QStringLiteral("INSERT INTO contracts (unit_id,tenant_id,start_date,end_date,rent_amount,"
                       "payment_frequency,deposit,currency_id) VALUES (?,?,?,?,?,?,?,?)"),
        {unitId, tenantId, start, end, rent, freq, deposit, currId});
    if (id < 1)
        return refuseDatabaseId();
    // An active contract on a unit still shown as available would let the
    // unit be offered again, so the two are kept or dropped together.
    if (!m_db->execNonQuery(QStringLiteral("UPDATE units SET status='rented' WHERE id=?"),
                            {unitId}) ||
        !tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

bool ContractModel::terminate(int id)
{
    clearError();
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    const QVariantList rows =
        m_db->execQuery(QStringLiteral("SELECT unit_id, status FROM contracts WHERE id=?"), {id});
    if (rows.isEmpty())
        return refuseMissing();
    const QVariantMap contract = rows.first().toMap();
    if (contract.value(QStringLiteral("status")).toString() == QLatin1String("terminated"))
        return refuse(Reasons::contractTerminated());
    const QVariant unitId = contract.value(QStringLiteral("unit_id"));

    if (!m_db->execNonQuery(QStringLiteral("UPDATE contracts SET status='terminated' WHERE id=?"),
                            {id}))
        return refuseDatabase();
    const QVariant others = m_db->scalar(
        QStringLiteral("SELECT COUNT(*) FROM contracts WHERE unit_id=? AND status='active'"),
        {unitId});
    if (!others.isValid())
        return refuseDatabase();
    // Only a rented unit goes back to available: a unit sold while it was
    // let must stay sold when its tenant leaves.
    if (others.toInt() == 0 &&
        !m_db->execNonQuery(
            QStringLiteral("UPDATE units SET status='available' WHERE id=? AND status='rented'"),
            {unitId}))
        return refuseDatabase();
    if (!tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

QVariantList ContractModel::getExpiring(int days)
{
    // The limit comes from SQLite's clock, which is UTC.
    return m_db->execQuery(
        listQuery(QStringLiteral("WHERE c.status='active' AND c.end_date <= %1 ORDER BY "
                                 "c.end_date")
                      .arg(SqlDialect::addDays(m_db->engine(), SqlDialect::today(m_db->engine()),
                                               QStringLiteral("?")))),
        {days});
}

bool ContractModel::hasOverlap(int unitId, const QString& start, const QString& end, int excludeId)
{
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT COUNT(*) as c FROM contracts WHERE unit_id=? AND status='active' "
                       "AND id!=? AND start_date<=? AND end_date>=?"),
        {unitId, excludeId, end, start});
    return !rows.isEmpty() && rows.first().toMap().value(QStringLiteral("c")).toInt() > 0;
}

QString ContractModel::frequencyLabel(const QString& frequency) const
{
    return RentSchedule::label(frequency);
}
