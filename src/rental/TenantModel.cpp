#include "rental/TenantModel.h"

#include "core/Database.h"
#include "core/Names.h"
#include "core/PartyBalances.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"

TenantModel::TenantModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantList TenantModel::getAll()
{
    // Active contracts are counted once for all tenants, not once per tenant.
    return m_db->execQuery(QStringLiteral(
        "SELECT t.*, COALESCE(ac.n, 0) as active_contracts FROM tenants t LEFT JOIN "
        "(SELECT tenant_id, COUNT(*) as n FROM contracts WHERE status='active' GROUP BY "
        "tenant_id) ac ON ac.tenant_id=t.id ORDER BY t.full_name"));
}

QVariantMap TenantModel::getById(int id)
{
    const QVariantList rows =
        m_db->execQuery(QStringLiteral("SELECT * FROM tenants WHERE id=?"), {id});
    return SqlValue::firstRow(rows);
}

int TenantModel::add(const QString& name, const QString& idNum, const QString& phone,
                     const QString& email, const QString& addr)
{
    clearError();
    if (const QString why = Names::problem(name); !why.isEmpty())
        return refuseId(why);
    const int id = m_db->execInsert(
        QStringLiteral(
            "INSERT INTO tenants (full_name,id_number,phone,email,address) VALUES (?,?,?,?,?)"),
        {name, SqlValue::blankAsNull(idNum), phone, email, addr});
    if (id < 1)
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

bool TenantModel::update(int id, const QString& name, const QString& idNum, const QString& phone,
                         const QString& email, const QString& addr)
{
    clearError();
    if (const QString why = Names::problem(name); !why.isEmpty())
        return refuse(why);
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    if (!m_db->scalar(QStringLiteral("SELECT 1 FROM tenants WHERE id=?"), {id}).isValid())
        return refuseMissing();
    if (!m_db->execNonQuery(
            QStringLiteral(
                "UPDATE tenants SET full_name=?,id_number=?,phone=?,email=?,address=? WHERE id=?"),
            {name, SqlValue::blankAsNull(idNum), phone, email, addr, id}) ||
        !tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

bool TenantModel::remove(int id)
{
    clearError();
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    if (!m_db->scalar(QStringLiteral("SELECT 1 FROM tenants WHERE id=?"), {id}).isValid())
        return refuseMissing();
    const QVariant active = m_db->scalar(
        QStringLiteral("SELECT COUNT(*) FROM contracts WHERE tenant_id=? AND status='active'"),
        {id});
    if (!active.isValid())
        return refuseDatabase();
    if (active.toInt() > 0)
        return refuse(Reasons::tenantHasContracts());
    if (!m_db->execNonQuery(QStringLiteral("DELETE FROM tenants WHERE id=?"), {id}))
        return refuseRemoval();
    if (!tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

QVariantList TenantModel::getStatement(int id)
{
    // Invoices are dated by their creation timestamp, payments by their bare
    // payment date, so a payment sorts before an invoice of the same day.
    return m_db->execQuery(
        QStringLiteral(
            "SELECT 'invoice' as type, i.created_at as date, i.invoice_number as ref, "
            "i.total_amount as debit, 0 as credit, i.notes as description FROM invoices i "
            "WHERE i.tenant_id=? UNION ALL SELECT 'payment' as type, p.payment_date as date, "
            "p.reference as ref, 0 as debit, p.amount as credit, p.notes as description "
            "FROM payments p WHERE p.tenant_id=? ORDER BY date"),
        {id, id});
}

QVariantList TenantModel::search(const QString& q)
{
    const QString pattern = QLatin1Char('%') + q + QLatin1Char('%');
    // With the same active-contract count as the full list.
    return m_db->execQuery(
        QStringLiteral("SELECT t.*, (SELECT COUNT(*) FROM contracts c WHERE c.tenant_id = "
                       "t.id AND c.status='active') as active_contracts FROM tenants t "
                       "WHERE t.full_name LIKE ? OR t.phone LIKE ? OR t.id_number LIKE ?"),
        {pattern, pattern, pattern});
}

QVariantList TenantModel::balances(int id)
{
    return PartyBalances::tenant(m_db, id);
}
