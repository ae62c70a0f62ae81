#include "rental/MaintenanceModel.h"

#include "core/Database.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"

#include <QDate>

#include <cmath>

namespace {

const QLatin1String kCompleted("completed");

} // namespace

MaintenanceModel::MaintenanceModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{}

QVariantMap MaintenanceModel::request(int id)
{
    const QVariantList rows =
        m_db->execQuery(QStringLiteral("SELECT * FROM maintenance_requests WHERE id=?"), {id});
    return SqlValue::firstRow(rows);
}

QVariantList MaintenanceModel::getAll()
{
    // The property shown is the unit's, through the join.
    return m_db->execQuery(
        QStringLiteral("SELECT m.*, u.unit_number, p.name as property_name "
                       "FROM maintenance_requests m JOIN units u ON m.unit_id=u.id "
                       "JOIN properties p ON u.property_id=p.id ORDER BY m.created_at DESC"));
}

int MaintenanceModel::add(int unitId, int propertyId, const QString& title, const QString& desc,
                          const QString& priority)
{
    const int id = m_db->execInsert(
        QStringLiteral("INSERT INTO maintenance_requests (unit_id,property_id,title,description,"
                       "priority) VALUES (?,?,?,?,?)"),
        {unitId, propertyId, title, desc, priority});
    if (id < 1)
        return -1;
    emit dataChanged();
    return id;
}

bool MaintenanceModel::updateStatus(int id, const QString& status)
{
    // Completion goes through complete(), which books the cost; a request
    // marked completed here could never be completed with its cost. A
    // completed request is final: reopening it would let its cost be booked
    // a second time (a new job is a new request).
    const QVariantMap existing = request(id);
    if (status == kCompleted || existing.isEmpty() ||
        existing.value(QStringLiteral("status")).toString() == kCompleted)
        return false;
    if (!m_db->execNonQuery(QStringLiteral("UPDATE maintenance_requests SET status=? WHERE id=?"),
                            {status, id}))
        return false;
    emit dataChanged();
    return true;
}

bool MaintenanceModel::complete(int id, double cost)
{
    if (!(cost >= 0) || !std::isfinite(cost))
        return false;
    // Completing twice must not book the cost twice.
    const QVariantMap existing = request(id);
    if (existing.isEmpty() || existing.value(QStringLiteral("status")).toString() == kCompleted)
        return false;

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return false;
    if (!m_db->execNonQuery(QStringLiteral("UPDATE maintenance_requests SET status='completed', "
                                           "cost=?, completed_date=date('now') WHERE id=?"),
                            {cost, id}))
        return false;

    const QVariantMap done = request(id);
    if (done.isEmpty())
        return false;
    // The expense is booked whatever the cost, 0 included, so that every
    // completed request shows in the expenses register.
    const int expenseId = m_db->execInsert(
        QStringLiteral("INSERT INTO expenses (property_id,unit_id,category,description,amount,"
                       "expense_date,maintenance_id) VALUES (?,?,?,?,?,?,?)"),
        {done.value(QStringLiteral("property_id")), done.value(QStringLiteral("unit_id")),
         QStringLiteral("صيانة"), done.value(QStringLiteral("title")), cost,
         QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")), id});
    if (expenseId < 1 || !tx.commit())
        return false;
    emit dataChanged();
    return true;
}

QVariantList MaintenanceModel::getByStatus(const QString& status)
{
    return m_db->execQuery(
        QStringLiteral("SELECT m.*, u.unit_number, p.name as property_name "
                       "FROM maintenance_requests m JOIN units u ON m.unit_id=u.id "
                       "JOIN properties p ON u.property_id=p.id WHERE m.status=? "
                       "ORDER BY m.created_at DESC"),
        {status});
}

int MaintenanceModel::getCount(const QString& status)
{
    const QVariantList rows =
        status.isEmpty()
            ? m_db->execQuery(QStringLiteral("SELECT COUNT(*) as c FROM maintenance_requests"))
            : m_db->execQuery(
                  QStringLiteral("SELECT COUNT(*) as c FROM maintenance_requests WHERE status=?"),
                  {status});
    return rows.isEmpty() ? 0 : rows.first().toMap().value(QStringLiteral("c")).toInt();
}
