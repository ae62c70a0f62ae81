#include "rental/InvoiceModel.h"

#include "core/Database.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "rental/InvoiceNumbers.h"

namespace {

const QString kInsertItem = QStringLiteral(
    "INSERT INTO invoice_items (invoice_id,description,type,quantity,unit_price,total) "
    "VALUES (?,?,?,?,?,?)");

QString dueDate(const QString& period)
{
    return period + QStringLiteral("-28");
}

} // namespace

InvoiceModel::InvoiceModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantList InvoiceModel::getAll()
{
    return m_db->execQuery(QStringLiteral(
        "SELECT i.*, t.full_name as tenant_name, u.unit_number, p.name as property_name "
        "FROM invoices i LEFT JOIN tenants t ON i.tenant_id=t.id "
        "LEFT JOIN units u ON i.unit_id=u.id LEFT JOIN properties p ON u.property_id=p.id "
        "ORDER BY i.created_at DESC"));
}

QVariantMap InvoiceModel::getById(int id)
{
    const QVariantList rows =
        m_db->execQuery(QStringLiteral("SELECT i.*, t.full_name as tenant_name FROM invoices i "
                                       "LEFT JOIN tenants t ON i.tenant_id=t.id WHERE i.id=?"),
                        {id});
    return SqlValue::firstRow(rows);
}

QVariantList InvoiceModel::getItems(int invoiceId)
{
    return m_db->execQuery(QStringLiteral("SELECT * FROM invoice_items WHERE invoice_id=?"),
                           {invoiceId});
}

QVariantList InvoiceModel::getByTenant(int tenantId)
{
    return m_db->execQuery(
        QStringLiteral("SELECT * FROM invoices WHERE tenant_id=? ORDER BY created_at DESC"),
        {tenantId});
}

bool InvoiceModel::hasLiveInvoice(int tenantId, const QString& period)
{
    return !m_db->execQuery(QStringLiteral("SELECT id FROM invoices WHERE tenant_id=? AND "
                                           "period=? AND status!='void'"),
                            {tenantId, period})
                .isEmpty();
}

int InvoiceModel::writeInvoice(InvoiceNumbers& numbers, const Draft& draft)
{
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return -1;

    const QString number = numbers.next();
    int id = -1;
    if (draft.contractId.isValid()) {
        id = m_db->execInsert(
            QStringLiteral("INSERT INTO invoices (invoice_number,tenant_id,unit_id,contract_id,"
                           "period,total_amount,balance,status,currency_id,due_date) "
                           "VALUES (?,?,?,?,?,?,?,?,?,?)"),
            {number, draft.tenantId, draft.unitId, draft.contractId, draft.period, draft.total,
             draft.total, QStringLiteral("pending"), draft.currencyId, dueDate(draft.period)});
    } else {
        id = m_db->execInsert(
            QStringLiteral("INSERT INTO invoices (invoice_number,tenant_id,unit_id,period,"
                           "total_amount,balance,status,currency_id,due_date) "
                           "VALUES (?,?,?,?,?,?,?,?,?)"),
            {number, draft.tenantId, draft.unitId, draft.period, draft.total, draft.total,
             QStringLiteral("pending"), draft.currencyId, dueDate(draft.period)});
    }
    if (id < 1)
        return -1;

    // A line or balance that cannot be written takes the whole invoice with
    // it: a committed invoice always matches its lines and the tenant balance.
    for (const QVariantList& line : draft.lines) {
        if (m_db->execInsert(kInsertItem, QVariantList{id} + line) < 1)
            return -1;
    }
    if (!m_db->execNonQuery(QStringLiteral("UPDATE tenants SET balance=balance+? WHERE id=?"),
                            {draft.total, draft.tenantId}))
        return -1;
    if (!tx.commit())
        return -1;
    numbers.confirm();
    return id;
}

int InvoiceModel::createInvoice(int tenantId, int unitId, const QString& period,
                                const QVariantList& items, int currencyId)
{
    clearError();
    if (!SqlValue::isIsoPeriod(period))
        return refuseId(Reasons::invalidPeriod());

    Draft draft;
    draft.tenantId = tenantId;
    draft.unitId = SqlValue::idOrNull(unitId);
    draft.period = period;
    draft.currencyId = currencyId;
    for (const QVariant& value : items) {
        const QVariantMap item = value.toMap();
        // The invoice total is the sum of the lines' totals as given; a
        // missing or non-numeric total counts 0 towards it. A line total that
        // is negative, not finite or absurd would bend the tenant's balance.
        const double lineTotal = item.value(QStringLiteral("total")).toDouble();
        if (!Money::isNonNegative(lineTotal))
            return refuseId(Reasons::invalidAmount());
        draft.total += lineTotal;
        const QString type = item.value(QStringLiteral("type")).toString();
        const QVariant quantity = item.value(QStringLiteral("quantity"));
        draft.lines.append(QVariantList{item.value(QStringLiteral("description")),
                                        type.isEmpty() ? QStringLiteral("service") : type,
                                        quantity.toDouble() > 0 ? quantity : QVariant(1),
                                        item.value(QStringLiteral("unit_price")),
                                        item.value(QStringLiteral("total"))});
    }
    // An invoice without lines (total 0) is allowed; a sum past the bound is not.
    if (!Money::isNonNegative(draft.total))
        return refuseId(Reasons::invalidAmount());

    // The period's check and the invoice share the write lock, so a second
    // invoice for the same period cannot be written in between.
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    if (hasLiveInvoice(tenantId, period))
        return refuseId(Reasons::invoiceExists());
    if (databaseFailed())
        return refuseDatabaseId();
    InvoiceNumbers numbers(m_db);
    const int id = writeInvoice(numbers, draft);
    if (id < 1 || !tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

int InvoiceModel::generateAllRent(const QString& period)
{
    clearError();
    if (!SqlValue::isIsoPeriod(period))
        return refuseId(Reasons::invalidPeriod());

    // The run shares one transaction so that thousands of invoices cost one
    // commit; each invoice still sits in its own savepoint, so a failed one is
    // undone alone and the run goes on with the next contract. A run that
    // could not start or read its contracts is a failure, never "nothing to bill".
    TransactionGuard run(m_db);
    if (!run.isActive())
        return refuseDatabaseId();
    const QVariantList contracts =
        m_db->execQuery(QStringLiteral("SELECT * FROM contracts WHERE status='active'"));
    if (databaseFailed())
        return refuseDatabaseId();

    InvoiceNumbers numbers(m_db);
    int count = 0;
    int failed = 0;
    for (const QVariant& value : contracts) {
        const QVariantMap contract = value.toMap();
        const int tenantId = contract.value(QStringLiteral("tenant_id")).toInt();
        const int unitId = contract.value(QStringLiteral("unit_id")).toInt();
        const double rent = contract.value(QStringLiteral("rent_amount")).toDouble();
        if (hasLiveInvoice(tenantId, period))
            continue;

        Draft draft;
        draft.tenantId = tenantId;
        draft.unitId = unitId;
        draft.contractId = contract.value(QStringLiteral("id")).toInt();
        draft.period = period;
        draft.currencyId = contract.value(QStringLiteral("currency_id")).toInt();
        draft.lines.append(
            QVariantList{QStringLiteral("إيجار شهري"), QStringLiteral("rent"), 1, rent, rent});
        draft.total = rent;

        const QVariantList usage = m_db->execQuery(
            QStringLiteral("SELECT ur.*, s.name FROM usage_records ur JOIN services s ON "
                           "ur.service_id=s.id WHERE ur.unit_id=? AND ur.period=?"),
            {unitId, period});
        for (const QVariant& usageValue : usage) {
            const QVariantMap reading = usageValue.toMap();
            const double consumption = reading.value(QStringLiteral("consumption")).toDouble();
            const double cost = reading.value(QStringLiteral("cost")).toDouble();
            // Below one unit of measure the line shows the cost itself as
            // its price rather than a per-unit figure inflated by a tiny
            // reading; the line total is the cost either way.
            const double unitPrice = consumption > 1 ? cost / consumption : cost;
            draft.lines.append(QVariantList{reading.value(QStringLiteral("name")),
                                            QStringLiteral("usage"), consumption, unitPrice, cost});
            draft.total += cost;
        }

        if (writeInvoice(numbers, draft) > 0)
            ++count;
        else
            ++failed;
    }

    return finishRun(run, count, failed);
}

int InvoiceModel::finishRun(TransactionGuard& run, int count, int failed)
{
    if (count == 0) {
        // Nothing written: only failures make the empty run a refusal.
        if (failed > 0)
            return refuseDatabaseId();
        return 0;
    }
    if (!run.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return count;
}

int InvoiceModel::generateServiceInvoice(const QVariantList& tenantIds, const QString& serviceName,
                                         double amount, const QString& period, int currencyId)
{
    clearError();
    if (serviceName.trimmed().isEmpty())
        return refuseId(Reasons::requiredField(QStringLiteral("الخدمة")));
    if (!Money::isPositive(amount))
        return refuseId(Reasons::invalidAmount());
    if (!SqlValue::isIsoPeriod(period))
        return refuseId(Reasons::invalidPeriod());

    TransactionGuard run(m_db);
    if (!run.isActive())
        return refuseDatabaseId();

    InvoiceNumbers numbers(m_db);
    int count = 0;
    int failed = 0;
    for (const QVariant& value : tenantIds) {
        const int tenantId = value.toInt();
        const QVariantList contract = m_db->execQuery(
            QStringLiteral(
                "SELECT unit_id FROM contracts WHERE tenant_id=? AND status='active' LIMIT 1"),
            {tenantId});
        const int unitId = contract.isEmpty()
                               ? 0
                               : contract.first().toMap().value(QStringLiteral("unit_id")).toInt();

        Draft draft;
        draft.tenantId = tenantId;
        draft.unitId = SqlValue::idOrNull(unitId);
        draft.period = period;
        draft.currencyId = currencyId;
        draft.total = amount;
        draft.lines.append(QVariantList{serviceName, QStringLiteral("service"), 1, amount, amount});
        if (writeInvoice(numbers, draft) > 0)
            ++count;
        else
            ++failed;
    }

    return finishRun(run, count, failed);
}

int InvoiceModel::generatePropertyServiceInvoice(int propertyId, const QString& serviceName,
                                                 double amount, const QString& period,
                                                 int currencyId)
{
    clearError();
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT DISTINCT c.tenant_id FROM contracts c JOIN units u ON "
                       "c.unit_id=u.id WHERE u.property_id=? AND c.status='active'"),
        {propertyId});
    if (databaseFailed())
        return refuseDatabaseId();
    QVariantList tenantIds;
    for (const QVariant& row : rows)
        tenantIds.append(row.toMap().value(QStringLiteral("tenant_id")));
    return generateServiceInvoice(tenantIds, serviceName, amount, period, currencyId);
}

bool InvoiceModel::updatePaidAmount(int id, double amount)
{
    clearError();
    // A void invoice stays void with nothing open, and a paid amount is never
    // negative; neither may be overwritten here.
    if (!Money::isNonNegative(amount))
        return refuse(Reasons::invalidAmount());
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT status, total_amount FROM invoices WHERE id=?"), {id});
    if (rows.isEmpty())
        return refuseMissing();
    const QVariantMap invoice = rows.first().toMap();
    if (invoice.value(QStringLiteral("status")).toString() == QLatin1String("void"))
        return refuse(Reasons::invoiceVoid());
    // More than the total would leave a negative balance on a "paid" invoice.
    if (Money::toCents(amount) >
        Money::toCents(invoice.value(QStringLiteral("total_amount")).toDouble()))
        return refuse(Reasons::amountAboveBalance());

    if (!m_db->execNonQuery(
            QStringLiteral("UPDATE invoices SET paid_amount=?, balance=total_amount-?, "
                           "status=CASE WHEN ?>=total_amount THEN 'paid' ELSE 'partial' END "
                           "WHERE id=?"),
            {amount, amount, amount, id}) ||
        !tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}

bool InvoiceModel::voidInvoice(int id)
{
    clearError();
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabase();
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT tenant_id, balance, status FROM invoices WHERE id=?"), {id});
    if (rows.isEmpty())
        return refuseMissing();
    const QVariantMap invoice = rows.first().toMap();
    if (invoice.value(QStringLiteral("status")).toString() == QLatin1String("void"))
        return refuse(Reasons::invoiceVoid());

    // Only the open part leaves the tenant's balance; what was paid stays paid.
    if (!m_db->execNonQuery(
            QStringLiteral("UPDATE invoices SET status='void', balance=0 WHERE id=?"), {id}) ||
        !m_db->execNonQuery(QStringLiteral("UPDATE tenants SET balance=balance-? WHERE id=?"),
                            {invoice.value(QStringLiteral("balance")),
                             invoice.value(QStringLiteral("tenant_id"))}) ||
        !tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}
