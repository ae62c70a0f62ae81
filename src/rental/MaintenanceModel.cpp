#include "rental/MaintenanceModel.h"

#include "core/Database.h"
#include "core/LedgerPosting.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "finance/ContractorBalance.h"

#include <QDate>

namespace {

const QLatin1String kCompleted("completed");

} // namespace

MaintenanceModel::MaintenanceModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

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
    clearError();
    if (title.trimmed().isEmpty())
        return refuseId(Reasons::requiredField(QStringLiteral("العنوان")));
    // A blank priority takes the column's default.
    const QString level = priority.trimmed().isEmpty() ? QStringLiteral("medium") : priority;
    if (level != QLatin1String("low") && level != QLatin1String("medium") &&
        level != QLatin1String("high"))
        return refuseId(Reasons::unknownPriority());
    const int id = m_db->execInsert(
        QStringLiteral("INSERT INTO maintenance_requests (unit_id,property_id,title,description,"
                       "priority) VALUES (?,?,?,?,?)"),
        {unitId, propertyId, title, desc, level});
    if (id < 1)
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

bool MaintenanceModel::updateStatus(int id, const QString& status)
{
    // Completion goes through complete(), which books the cost; a request
    // marked completed here could never be completed with its cost. A
    // completed request is final: reopening it would let its cost be booked
    // a second time (a new job is a new request).
    clearError();
    if (status == kCompleted)
        return refuse(Reasons::completeThroughCost());
    if (status != QLatin1String("new") && status != QLatin1String("in_progress"))
        return refuse(Reasons::unknownStatus());
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    const QVariantMap existing = request(id);
    if (existing.isEmpty())
        return refuseMissing();
    if (existing.value(QStringLiteral("status")).toString() == kCompleted)
        return refuse(Reasons::requestCompleted());
    if (!m_db->execNonQuery(QStringLiteral("UPDATE maintenance_requests SET status=? WHERE id=?"),
                            {status, id}) ||
        !tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

bool MaintenanceModel::complete(int id, double cost)
{
    return completeWith(id, cost, 0, false);
}

bool MaintenanceModel::completeWith(int id, double cost, int contractorId, bool owed)
{
    clearError();
    if (!Money::isNonNegative(cost))
        return refuse(Reasons::invalidAmount());
    // The expense is written in the primary currency, in its minor unit.
    cost = MinorUnits::roundFor(m_db, QVariant(), cost);
    if (owed && contractorId <= 0)
        return refuse(Reasons::owedNeedsContractor());
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    if (contractorId > 0 &&
        m_db->execQuery(QStringLiteral("SELECT id FROM contractors WHERE id=?"), {contractorId})
            .isEmpty())
        return refuse(Reasons::unknownContractor());
    // Completing twice must not book the cost twice.
    const QVariantMap existing = request(id);
    if (existing.isEmpty())
        return refuseMissing();
    if (existing.value(QStringLiteral("status")).toString() == kCompleted)
        return refuse(Reasons::requestCompleted());

    if (!m_db->execNonQuery(QStringLiteral("UPDATE maintenance_requests SET status='completed', "
                                           "cost=?, completed_date=%1 WHERE id=?")
                                .arg(SqlDialect::today(m_db->engine())),
                            {cost, id}))
        return refuseDatabase();

    const QVariantMap done = request(id);
    if (done.isEmpty())
        return refuseDatabase();
    // The expense is booked whatever the cost, 0 included, so that every
    // completed request shows in the expenses register.
    const int expenseId = m_db->execInsert(
        QStringLiteral("INSERT INTO expenses (property_id,unit_id,category,description,amount,"
                       "expense_date,maintenance_id,contractor_id,is_owed) VALUES "
                       "(?,?,?,?,?,?,?,?,?)"),
        {done.value(QStringLiteral("property_id")), done.value(QStringLiteral("unit_id")),
         QStringLiteral("صيانة"), done.value(QStringLiteral("title")), cost,
         QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")), id,
         SqlValue::idOrNull(contractorId), owed ? 1 : 0});
    if (expenseId < 1)
        return refuseDatabase();
    // The repair is paid from cash or owed to the contractor; a request
    // completed at no cost posts nothing.
    if (Money::toMinor(cost, 3) > 0) {
        LedgerPosting posting(m_db);
        LedgerPosting::Entry entry;
        entry.date = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
        entry.description = done.value(QStringLiteral("title")).toString();
        entry.referenceType = QStringLiteral("expense");
        entry.referenceId = expenseId;
        entry.lines = {{QStringLiteral("5100"), 0, cost, 0, {}},
                       {owed ? QStringLiteral("2100") : QStringLiteral("1100"), 0, 0, cost, {}}};
        if (posting.post(entry) < 1)
            return refuse(posting.reason());
    }
    if (contractorId > 0) {
        if (!m_db->execNonQuery(
                QStringLiteral("UPDATE maintenance_requests SET assigned_to=(SELECT name FROM "
                               "contractors WHERE id=?) WHERE id=?"),
                {contractorId, id}) ||
            !ContractorBalance(m_db).syncStored(contractorId))
            return refuseDatabase();
    }
    if (!tx.commit())
        return refuseDatabase();
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
