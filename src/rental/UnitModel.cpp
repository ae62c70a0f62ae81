#include "rental/UnitModel.h"

#include "core/Database.h"
#include "core/LedgerPosting.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"

namespace {

const QLatin1String kSold("sold");

// The figures typed for a unit: a label, a room count and an area, rents and
// a sale price that may be 0 (not offered) but never negative or absurd.
QString figuresProblem(const QString& number, double area, int rooms, double rentMonthly,
                       double rentYearly, double salePrice)
{
    if (number.trimmed().isEmpty())
        return Reasons::requiredField(QStringLiteral("رقم الوحدة"));
    if (rooms < 0 || !Money::isNonNegative(area))
        return Reasons::invalidNumber();
    if (!Money::isNonNegative(rentMonthly) || !Money::isNonNegative(rentYearly) ||
        !Money::isNonNegative(salePrice))
        return Reasons::invalidAmount();
    return QString();
}

} // namespace

UnitModel::UnitModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariant UnitModel::status(int id)
{
    return m_db->scalar(QStringLiteral("SELECT COALESCE(status,'') FROM units WHERE id=?"), {id});
}

QVariantList UnitModel::getByProperty(int propertyId)
{
    return m_db->execQuery(
        QStringLiteral("SELECT u.*, p.name as property_name FROM units u JOIN properties p ON "
                       "u.property_id=p.id WHERE u.property_id=? ORDER BY u.unit_number"),
        {propertyId});
}

QVariantList UnitModel::getAll()
{
    return m_db->execQuery(
        QStringLiteral("SELECT u.*, p.name as property_name FROM units u JOIN properties p ON "
                       "u.property_id=p.id ORDER BY p.name, u.unit_number"));
}

QVariantMap UnitModel::getById(int id)
{
    return SqlValue::firstRow(
        m_db->execQuery(QStringLiteral("SELECT u.*, p.name as property_name FROM units u JOIN "
                                       "properties p ON u.property_id=p.id WHERE u.id=?"),
                        {id}));
}

int UnitModel::add(int propertyId, const QString& number, int floor, double area, int rooms,
                   double rentMonthly, double rentYearly, double salePrice, int currencyId)
{
    clearError();
    const QString problem = figuresProblem(number, area, rooms, rentMonthly, rentYearly, salePrice);
    if (!problem.isEmpty())
        return refuseId(problem);

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    const int unitId = m_db->execInsert(
        QStringLiteral("INSERT INTO units (property_id,unit_number,floor,area,rooms,rent_monthly,"
                       "rent_yearly,sale_price,currency_id) VALUES (?,?,?,?,?,?,?,?,?)"),
        {propertyId, number, floor, area, rooms, rentMonthly, rentYearly, salePrice, currencyId});
    if (unitId < 1)
        return refuseDatabaseId();

    // The cost-centre rows are bookkeeping aids: a unit whose rows could not
    // all be made is still kept, as reports cope with a missing branch.
    addCostCentres(unitId, propertyId, number, floor);

    if (!tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return unitId;
}

bool UnitModel::addCostCentres(int unitId, int propertyId, const QString& number, int floor)
{
    const int projectId = projectCostCenter(propertyId);
    int parentId = projectId;
    if (floor > 0) {
        const int floorId = floorCostCenter(propertyId, floor, projectId);
        if (floorId >= 1)
            parentId = floorId;
    }
    return m_db->execInsert(
               QStringLiteral("INSERT INTO cost_centers (name, type, property_id, unit_id, "
                              "parent_id) VALUES (?,?,?,?,?)"),
               {QStringLiteral("شقة / وحدة %1").arg(number), QStringLiteral("unit"), propertyId,
                unitId, SqlValue::idOrNull(parentId)}) >= 1;
}

int UnitModel::projectCostCenter(int propertyId)
{
    const QVariantMap project = SqlValue::firstRow(m_db->execQuery(
        QStringLiteral("SELECT id FROM cost_centers WHERE property_id=? AND type='project' "
                       "ORDER BY id LIMIT 1"),
        {propertyId}));
    if (!project.isEmpty())
        return project.value(QStringLiteral("id")).toInt();

    // Properties whose project row could not be made when they were added get it now.
    const QVariantMap property = SqlValue::firstRow(
        m_db->execQuery(QStringLiteral("SELECT name FROM properties WHERE id=?"), {propertyId}));
    if (property.isEmpty())
        return 0;
    return m_db->execInsert(
        QStringLiteral("INSERT INTO cost_centers (name, type, property_id) VALUES (?,?,?)"),
        {property.value(QStringLiteral("name")), QStringLiteral("project"), propertyId});
}

int UnitModel::floorCostCenter(int propertyId, int floor, int projectId)
{
    // The name carries the floor number, so it is also the floor row's key.
    const QString name = QStringLiteral("الطابق %1").arg(floor);
    const QVariantMap existing = SqlValue::firstRow(m_db->execQuery(
        QStringLiteral("SELECT id FROM cost_centers WHERE property_id=? AND unit_id IS NULL AND "
                       "type='floor' AND name=? LIMIT 1"),
        {propertyId, name}));
    if (!existing.isEmpty())
        return existing.value(QStringLiteral("id")).toInt();
    return m_db->execInsert(
        QStringLiteral("INSERT INTO cost_centers (name, type, property_id, "
                       "parent_id) VALUES (?,?,?,?)"),
        {name, QStringLiteral("floor"), propertyId, SqlValue::idOrNull(projectId)});
}

bool UnitModel::update(int id, const QString& number, int floor, double area, int rooms,
                       double rentMonthly, double rentYearly, double salePrice)
{
    clearError();
    const QString problem = figuresProblem(number, area, rooms, rentMonthly, rentYearly, salePrice);
    if (!problem.isEmpty())
        return refuse(problem);

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    if (!status(id).isValid())
        return refuseMissing();
    if (!m_db->execNonQuery(
            QStringLiteral("UPDATE units SET unit_number=?,floor=?,area=?,rooms=?,rent_monthly=?,"
                           "rent_yearly=?,sale_price=? WHERE id=?"),
            {number, floor, area, rooms, rentMonthly, rentYearly, salePrice, id}) ||
        !tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

bool UnitModel::remove(int id)
{
    clearError();
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    const QVariant current = status(id);
    if (!current.isValid())
        return refuseMissing();
    if (current.toString() != QLatin1String("available"))
        return refuse(Reasons::unitNotAvailable());

    // Units made by add always own a cost centre, so the unit can only go
    // with it. Contracts, invoices, payments and the like still pointing at
    // either make a statement fail on its foreign key; the guard undoes all.
    if (!m_db->execNonQuery(QStringLiteral("DELETE FROM cost_centers WHERE unit_id=?"), {id}) ||
        !m_db->execNonQuery(QStringLiteral("DELETE FROM units WHERE id=?"), {id}))
        return refuseRemoval();
    if (!tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

bool UnitModel::updateStatus(int id, const QString& newStatus)
{
    clearError();
    if (newStatus != QLatin1String("available") && newStatus != QLatin1String("rented") &&
        newStatus != kSold)
        return refuse(Reasons::unknownStatus());

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    const QVariant current = status(id);
    if (!current.isValid())
        return refuseMissing();
    // A sale is final here: reopening a sold unit would let it be sold again
    // while its buyer still owes instalments for it.
    if (current.toString() == kSold && newStatus != kSold)
        return refuse(Reasons::soldUnitStatus());
    if (!m_db->execNonQuery(QStringLiteral("UPDATE units SET status=? WHERE id=?"),
                            {newStatus, id}) ||
        !tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

QVariantList UnitModel::getAvailable()
{
    return m_db->execQuery(
        QStringLiteral("SELECT u.*, p.name as property_name FROM units u JOIN properties p ON "
                       "u.property_id=p.id WHERE u.status='available' ORDER BY p.name"));
}

bool UnitModel::markAsSold(int unitId, int buyerId, double price, const QString& date)
{
    clearError();
    if (!Money::isPositive(price))
        return refuse(Reasons::invalidAmount());
    if (!SqlValue::isIsoDate(date))
        return refuse(Reasons::invalidDate());

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    const QVariant current = status(unitId);
    if (!current.isValid())
        return refuseMissing();
    if (current.toString() == kSold)
        return refuse(Reasons::unitSold());
    if (!m_db->scalar(QStringLiteral("SELECT 1 FROM buyers WHERE id=?"), {buyerId}).isValid())
        return refuseMissing();
    if (!m_db->execNonQuery(
            QStringLiteral("UPDATE units SET status='sold', buyer_id=?, sale_price_actual=?, "
                           "sale_date=? WHERE id=?"),
            {buyerId, price, date, unitId}))
        return refuseDatabase();
    // The buyer owes the price from the day of the sale, in the unit's currency.
    LedgerPosting posting(m_db);
    LedgerPosting::Entry sale;
    sale.date = date;
    sale.description =
        QStringLiteral("بيع الوحدة ") +
        m_db->scalar(QStringLiteral("SELECT unit_number FROM units WHERE id=?"), {unitId})
            .toString();
    sale.referenceType = QStringLiteral("sale");
    sale.referenceId = unitId;
    sale.currencyId =
        m_db->scalar(QStringLiteral("SELECT currency_id FROM units WHERE id=?"), {unitId}).toInt();
    sale.lines = {{QStringLiteral("1200"), 0, price, 0, {}},
                  {QStringLiteral("4300"), 0, 0, price, {}}};
    if (posting.post(sale) < 1)
        return refuse(posting.reason());
    if (!tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}
