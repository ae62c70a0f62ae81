#include "finance/ExpenseModel.h"

#include "core/Database.h"
#include "core/LedgerPosting.h"
#include "core/Money.h"
#include "core/Names.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"

ExpenseModel::ExpenseModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantList ExpenseModel::getAll()
{
    return m_db->execQuery(QStringLiteral(
        "SELECT e.*, p.name as property_name, u.unit_number, c.name as contractor_name "
        "FROM expenses e LEFT JOIN properties p ON e.property_id=p.id "
        "LEFT JOIN units u ON e.unit_id=u.id LEFT JOIN contractors c ON e.contractor_id=c.id "
        "ORDER BY e.expense_date DESC"));
}

QVariant ExpenseModel::costCenterFor(int propId, int unitId)
{
    // The unit's own cost centre, or the property's project centre for an
    // expense of the whole property; NULL when there is none.
    const QVariantList rows =
        unitId > 0
            ? m_db->execQuery(
                  QStringLiteral("SELECT id FROM cost_centers WHERE unit_id=? ORDER BY id LIMIT 1"),
                  {unitId})
            : m_db->execQuery(QStringLiteral("SELECT id FROM cost_centers WHERE property_id=? AND "
                                             "type='project' ORDER BY id LIMIT 1"),
                              {propId});
    return SqlValue::firstRow(rows).value(QStringLiteral("id"));
}

int ExpenseModel::add(int propId, int unitId, int contractorId, const QString& cat,
                      const QString& workCat, const QString& desc, double amount,
                      const QString& date, int currId)
{
    clearError();
    if (!Money::isPositive(amount))
        return refuseId(Reasons::invalidAmount());
    if (cat.trimmed().isEmpty())
        return refuseId(Reasons::requiredField(QStringLiteral("الفئة")));
    if (!SqlValue::isIsoDate(date))
        return refuseId(Reasons::invalidDate());

    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    // contractor_id has no foreign key: an unknown contractor would be stored
    // and its balance raise would reach no row.
    if (contractorId > 0 &&
        m_db->execQuery(QStringLiteral("SELECT id FROM contractors WHERE id=?"), {contractorId})
            .isEmpty())
        return refuseMissingId();

    // The project of an expense is its property.
    const int id = m_db->execInsert(
        QStringLiteral("INSERT INTO expenses (property_id,unit_id,contractor_id,category,"
                       "work_category,description,amount,expense_date,currency_id,project_id,"
                       "cost_center_id) VALUES (?,?,?,?,?,?,?,?,?,?,?)"),
        {propId, SqlValue::idOrNull(unitId), SqlValue::idOrNull(contractorId), cat, workCat, desc,
         amount, date, currId, propId, costCenterFor(propId, unitId)});
    if (id < 1)
        return refuseDatabaseId();
    if (contractorId > 0 &&
        !m_db->execNonQuery(QStringLiteral("UPDATE contractors SET balance=balance+? WHERE id=?"),
                            {amount, contractorId}))
        return refuseDatabaseId();
    // Maintenance against operating costs; paid now from cash, or owed to
    // the contractor.
    LedgerPosting posting(m_db);
    LedgerPosting::Entry entry;
    entry.date = date;
    entry.description = desc.trimmed().isEmpty() ? cat : desc;
    entry.referenceType = QStringLiteral("expense");
    entry.referenceId = id;
    entry.currencyId = currId;
    entry.lines = {
        {cat == QStringLiteral("صيانة") ? QStringLiteral("5100") : QStringLiteral("5200"),
         0,
         amount,
         0,
         {}},
        {contractorId > 0 ? QStringLiteral("2100") : QStringLiteral("1100"), 0, 0, amount, {}}};
    if (posting.post(entry) < 1)
        return refuseId(posting.reason());
    if (!tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

QVariantList ExpenseModel::getByProperty(int propId)
{
    return m_db->execQuery(
        QStringLiteral("SELECT * FROM expenses WHERE property_id=? ORDER BY expense_date DESC"),
        {propId});
}

double ExpenseModel::getTotal(int propId)
{
    // Only a negative id means every property; 0 sums expenses of property 0.
    const QVariantList rows =
        propId < 0
            ? m_db->execQuery(QStringLiteral("SELECT COALESCE(SUM(amount),0) as t FROM expenses"))
            : m_db->execQuery(QStringLiteral("SELECT COALESCE(SUM(amount),0) as t FROM expenses "
                                             "WHERE property_id=?"),
                              {propId});
    return rows.isEmpty() ? 0.0 : rows.first().toMap().value(QStringLiteral("t")).toDouble();
}

QVariantList ExpenseModel::getContractors()
{
    return m_db->execQuery(QStringLiteral("SELECT * FROM contractors ORDER BY name"));
}

int ExpenseModel::addContractor(const QString& name, const QString& phone, const QString& trade)
{
    clearError();
    if (const QString why = Names::problem(name); !why.isEmpty())
        return refuseId(why);
    const int id = m_db->execInsert(
        QStringLiteral("INSERT INTO contractors (name,phone,trade) VALUES (?,?,?)"),
        {name, phone, trade});
    if (id < 1)
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

QVariantList ExpenseModel::getContractorExpenses(int contractorId)
{
    return m_db->execQuery(
        QStringLiteral("SELECT e.*, p.name as property_name FROM expenses e "
                       "LEFT JOIN properties p ON e.property_id=p.id WHERE e.contractor_id=? "
                       "ORDER BY e.expense_date DESC"),
        {contractorId});
}
