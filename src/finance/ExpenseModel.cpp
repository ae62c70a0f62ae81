#include "finance/ExpenseModel.h"

#include "core/Database.h"
#include "core/LedgerPosting.h"
#include "core/Names.h"
#include "core/Permissions.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "finance/ContractorBalance.h"
#include "finance/ExpenseRules.h"

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
    // The older call: an expense naming a contractor is owed to it.
    return addExpense({{QStringLiteral("property_id"), propId},
                       {QStringLiteral("unit_id"), unitId},
                       {QStringLiteral("contractor_id"), contractorId},
                       {QStringLiteral("category"), cat},
                       {QStringLiteral("work_category"), workCat},
                       {QStringLiteral("description"), desc},
                       {QStringLiteral("amount"), amount},
                       {QStringLiteral("expense_date"), date},
                       {QStringLiteral("currency_id"), currId},
                       {QStringLiteral("is_owed"), contractorId > 0}});
}

int ExpenseModel::addExpense(const QVariantMap& map)
{
    clearError();
    ExpenseFields f = ExpenseFields::fromMap(map);
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    if (const QString why = ExpenseRules::check(m_db, f); !why.isEmpty())
        return refuseId(why);

    // The project of an expense is its property.
    const int id = m_db->execInsert(
        QStringLiteral("INSERT INTO expenses (property_id,unit_id,contractor_id,category,"
                       "work_category,description,amount,expense_date,currency_id,project_id,"
                       "cost_center_id,is_owed,reference) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        {SqlValue::idOrNull(f.propertyId), SqlValue::idOrNull(f.unitId),
         SqlValue::idOrNull(f.contractorId), f.category, f.workCategory, f.description, f.amount,
         f.date, f.currencyId, SqlValue::idOrNull(f.propertyId),
         costCenterFor(f.propertyId, f.unitId), f.owed ? 1 : 0,
         SqlValue::blankAsNull(f.reference)});
    if (id < 1)
        return refuseDatabaseId();
    QString reason;
    if (ExpenseRules::post(m_db, id, f, &reason) < 1)
        return refuseId(reason);
    if (!settleContractors(f.contractorId, 0))
        return -1;
    if (!tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

bool ExpenseModel::updateExpense(int id, const QVariantMap& map)
{
    clearError();
    ExpenseFields f = ExpenseFields::fromMap(map);
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    const QVariantMap before = getExpense(id);
    if (before.isEmpty())
        return refuseMissing();
    if (const QString why = ExpenseRules::check(m_db, f); !why.isEmpty())
        return refuse(why);

    // The entry as it stood is taken back on the day it was dated, and the
    // corrected one posted with the expense's new date: a month's expenses in
    // the ledger are then the expenses the month lists, as every report
    // reads them (taken back today, a corrected January bill counted twice
    // in January).
    LedgerPosting posting(m_db);
    const QString booked = before.value(QStringLiteral("expense_date")).toString();
    if (posting.reverse(QStringLiteral("expense"), id, QStringLiteral("expense_reversal"), booked,
                        QStringLiteral("تصحيح مصروف")) < 0)
        return refuse(posting.reason());
    if (!m_db->execNonQuery(
            QStringLiteral("UPDATE expenses SET property_id=?, unit_id=?, contractor_id=?, "
                           "category=?, work_category=?, description=?, amount=?, "
                           "expense_date=?, currency_id=?, project_id=?, cost_center_id=?, "
                           "is_owed=?, reference=? WHERE id=?"),
            {SqlValue::idOrNull(f.propertyId), SqlValue::idOrNull(f.unitId),
             SqlValue::idOrNull(f.contractorId), f.category, f.workCategory, f.description,
             f.amount, f.date, f.currencyId, SqlValue::idOrNull(f.propertyId),
             costCenterFor(f.propertyId, f.unitId), f.owed ? 1 : 0,
             SqlValue::blankAsNull(f.reference), id}))
        return refuseDatabase();
    // A completed request shows what its repair cost.
    const QVariant request = before.value(QStringLiteral("maintenance_id"));
    if (!request.isNull() &&
        !m_db->execNonQuery(QStringLiteral("UPDATE maintenance_requests SET cost=? WHERE id=?"),
                            {f.amount, request}))
        return refuseDatabase();
    QString reason;
    if (ExpenseRules::post(m_db, id, f, &reason) < 1)
        return refuse(reason);
    if (!settleContractors(before.value(QStringLiteral("contractor_id")).toInt(), f.contractorId))
        return false;
    if (!tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

bool ExpenseModel::removeExpense(int id)
{
    clearError();
    // Its reversal changes the books of the month it was in.
    if (!Permissions::allowed(Permissions::Action::RemoveMoneyRecord))
        return refuse(Permissions::refusal());
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    const QVariantMap before = getExpense(id);
    if (before.isEmpty())
        return refuseMissing();
    // The request stays completed with its cost; its expense goes with it.
    if (!before.value(QStringLiteral("maintenance_id")).isNull())
        return refuse(Reasons::expenseOfMaintenance());
    LedgerPosting posting(m_db);
    // Taken back on its own day, so the month it was in no longer counts it.
    if (posting.reverse(QStringLiteral("expense"), id, QStringLiteral("expense_reversal"),
                        before.value(QStringLiteral("expense_date")).toString(),
                        QStringLiteral("حذف مصروف")) < 0)
        return refuse(posting.reason());
    if (!m_db->execNonQuery(QStringLiteral("DELETE FROM expenses WHERE id=?"), {id}))
        return refuseRemoval();
    if (!settleContractors(before.value(QStringLiteral("contractor_id")).toInt(), 0))
        return false;
    if (!tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

QVariantMap ExpenseModel::getExpense(int id)
{
    return SqlValue::firstRow(
        m_db->execQuery(QStringLiteral("SELECT e.*, p.name as property_name, u.unit_number, "
                                       "c.name as contractor_name FROM expenses e LEFT JOIN "
                                       "properties p ON e.property_id=p.id LEFT JOIN units u ON "
                                       "e.unit_id=u.id LEFT JOIN contractors c ON "
                                       "e.contractor_id=c.id WHERE e.id=?"),
                        {id}));
}

QStringList ExpenseModel::categories()
{
    QStringList result = {QStringLiteral("صيانة"),       QStringLiteral("كهرباء"),
                          QStringLiteral("مياه"),        QStringLiteral("تنظيف"),
                          QStringLiteral("ضرائب ورسوم"), QStringLiteral("رواتب"),
                          QStringLiteral("مواد بناء"),   QStringLiteral("أخرى")};
    const QVariantList used = m_db->execQuery(QStringLiteral(
        "SELECT DISTINCT category FROM expenses WHERE category<>'' ORDER BY category LIMIT 200"));
    for (const QVariant& value : used) {
        const QString category = value.toMap().value(QStringLiteral("category")).toString();
        if (!result.contains(category))
            result.append(category);
    }
    return result;
}

QVariantList ExpenseModel::totalsByCurrency(const QVariantMap& filters, const QString& search)
{
    QString where = QStringLiteral("1=1");
    QVariantList params;
    const QString idFilters[] = {QStringLiteral("property_id"), QStringLiteral("unit_id"),
                                 QStringLiteral("contractor_id"), QStringLiteral("currency_id")};
    for (const QString& key : idFilters) {
        const int id = filters.value(key).toInt();
        if (id > 0) {
            // The key is one of the fixed column names above, never typed text.
            where += QStringLiteral(" AND e.") + key + QStringLiteral("=?");
            params << id;
        }
    }
    const QString category = filters.value(QStringLiteral("category")).toString();
    if (!category.isEmpty()) {
        where += QStringLiteral(" AND e.category=?");
        params << category;
    }
    const QString from = filters.value(QStringLiteral("date_from")).toString();
    if (SqlValue::isIsoDate(from)) {
        where += QStringLiteral(" AND e.expense_date>=?");
        params << from;
    }
    const QString to = filters.value(QStringLiteral("date_to")).toString();
    if (SqlValue::isIsoDate(to)) {
        where += QStringLiteral(" AND e.expense_date<=?");
        params << to;
    }
    const QString text = search.trimmed();
    if (!text.isEmpty()) {
        const auto holds = [this](const char* column) {
            return SqlDialect::holds(m_db->engine(), QLatin1String(column), QStringLiteral("?"));
        };
        where += QStringLiteral(" AND (%1 OR %2 OR %3 OR %4 OR e.property_id IN (SELECT id FROM "
                                "properties WHERE %5) OR e.contractor_id IN (SELECT id FROM "
                                "contractors WHERE %6))")
                     .arg(holds("COALESCE(e.description,'')"), holds("COALESCE(e.category,'')"),
                          holds("COALESCE(e.vendor,'')"), holds("COALESCE(e.reference,'')"),
                          holds("name"), holds("name"));
        for (int i = 0; i < 6; ++i)
            params << text;
    }
    // Grouped first by the stored currency, in the order of its covering
    // index (no sort of every expense); rows without one join the primary's.
    return m_db->execQuery(
        QStringLiteral("SELECT COALESCE(cid,%1) AS currency_id, "
                       "ROUND(SUM(t),3) AS total, SUM(n) AS count FROM "
                       "(SELECT e.currency_id AS cid, SUM(e.amount) AS t, "
                       "COUNT(*) AS n FROM expenses e WHERE ")
                .arg(ContractorBalance::primaryCurrency()) +
            where + QStringLiteral(" GROUP BY e.currency_id) AS c GROUP BY 1 ORDER BY 1"),
        params);
}

bool ExpenseModel::settleContractors(int first, int second)
{
    ContractorBalance balances(m_db);
    for (const int contractor : {first, second}) {
        if (contractor <= 0)
            continue;
        if (balances.overpaid(contractor))
            return refuse(Reasons::billsBelowPayments());
        if (!balances.syncStored(contractor))
            return refuseDatabase();
    }
    return true;
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

QVariantList ExpenseModel::propertyChoices()
{
    return m_db->execQuery(
        QStringLiteral("SELECT id, name FROM properties ORDER BY created_at DESC, id DESC"));
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
