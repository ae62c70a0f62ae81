#include "rental/TenantModel.h"

#include "core/Database.h"
#include "core/SqlValue.h"

TenantModel::TenantModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{}

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
    const int id = m_db->execInsert(
        QStringLiteral(
            "INSERT INTO tenants (full_name,id_number,phone,email,address) VALUES (?,?,?,?,?)"),
        {name, SqlValue::blankAsNull(idNum), phone, email, addr});
    if (id > 0)
        emit dataChanged();
    return id;
}

bool TenantModel::update(int id, const QString& name, const QString& idNum, const QString& phone,
                         const QString& email, const QString& addr)
{
    const bool ok = m_db->execNonQuery(
        QStringLiteral(
            "UPDATE tenants SET full_name=?,id_number=?,phone=?,email=?,address=? WHERE id=?"),
        {name, SqlValue::blankAsNull(idNum), phone, email, addr, id});
    if (ok)
        emit dataChanged();
    return ok;
}

bool TenantModel::remove(int id)
{
    const QVariantList active = m_db->execQuery(
        QStringLiteral("SELECT COUNT(*) as c FROM contracts WHERE tenant_id=? AND status='active'"),
        {id});
    if (!active.isEmpty() && active.first().toMap().value(QStringLiteral("c")).toInt() > 0)
        return false;
    if (!m_db->execNonQuery(QStringLiteral("DELETE FROM tenants WHERE id=?"), {id}))
        return false;
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
    return m_db->execQuery(QStringLiteral("SELECT * FROM tenants WHERE full_name LIKE ? OR phone "
                                          "LIKE ? OR id_number LIKE ?"),
                           {pattern, pattern, pattern});
}
