#include "rental/InvoiceModel.h"

#include "core/Database.h"
#include "core/LedgerHistory.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Permissions.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "rental/InvoiceBatch.h"
#include "rental/InvoiceNumbers.h"
#include "rental/RentRun.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <limits>

namespace {

const QString kInsertItem = QStringLiteral(
    "INSERT INTO invoice_items (invoice_id,description,type,quantity,unit_price,total) "
    "VALUES (?,?,?,?,?,?)");

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

QVariantList InvoiceModel::getPayments(int invoiceId)
{
    return m_db->execQuery(
        QStringLiteral("SELECT id, amount, payment_method, payment_date, reference, currency_id "
                       "FROM payments WHERE invoice_id=? ORDER BY payment_date, id"),
        {invoiceId});
}

// The statements that write an invoice, prepared once and reused for every
// invoice of a run.
struct InvoiceModel::Writer
{
    explicit Writer(Database* db)
        : db(db)
        , rentInvoice(db->connection())
        , otherInvoice(db->connection())
        , item(db->connection())
        , balance(db->connection())
        , mark(db->connection())
        , keep(db->connection())
        , undo(db->connection())
    {
        const auto engine = db->engine();
        ok = rentInvoice.prepare(SqlDialect::returningId(
                 engine, QStringLiteral(
                             "INSERT INTO invoices (invoice_number,tenant_id,unit_id,contract_id,"
                             "period,total_amount,balance,status,currency_id,due_date) "
                             "VALUES (?,?,?,?,?,?,?,?,?,?)"))) &&
             otherInvoice.prepare(SqlDialect::returningId(
                 engine,
                 QStringLiteral("INSERT INTO invoices (invoice_number,tenant_id,unit_id,period,"
                                "total_amount,balance,status,currency_id,due_date) "
                                "VALUES (?,?,?,?,?,?,?,?,?)"))) &&
             item.prepare(kInsertItem) &&
             balance.prepare(QStringLiteral("UPDATE tenants SET balance=balance+? WHERE id=?"));
        // The server cannot prepare savepoint commands; they are sent as text.
        if (!db->isPostgres()) {
            ok = ok && mark.prepare(QStringLiteral("SAVEPOINT invoice")) &&
                 keep.prepare(QStringLiteral("RELEASE invoice")) &&
                 undo.prepare(QStringLiteral("ROLLBACK TO invoice"));
        }
        if (!ok) {
            for (const QSqlQuery* query :
                 {&rentInvoice, &otherInvoice, &item, &balance, &mark, &keep, &undo}) {
                if (query->lastError().isValid()) {
                    reportFailure(*query);
                    break;
                }
            }
        }
    }

    bool run(QSqlQuery& query, const QVariantList& values)
    {
        for (int i = 0; i < values.size(); ++i)
            query.bindValue(i, values.at(i));
        if (query.exec())
            return true;
        reportFailure(query);
        return false;
    }

    // One of the savepoint commands (mark, keep or undo).
    bool runSavepoint(QSqlQuery& query)
    {
        if (!db->isPostgres())
            return run(query, {});
        if (query.exec(&query == &mark   ? QStringLiteral("SAVEPOINT invoice")
                       : &query == &keep ? QStringLiteral("RELEASE invoice")
                                         : QStringLiteral("ROLLBACK TO invoice")))
            return true;
        reportFailure(query);
        return false;
    }

    // The id of the invoice `insert` has just written: the row it handed
    // back on the server, the connection's last rowid in a file.
    static int insertedId(QSqlQuery& insert)
    {
        const QVariant id = insert.isSelect() ? (insert.next() ? insert.value(0) : QVariant())
                                              : insert.lastInsertId();
        return id.isValid() ? id.toInt() : -1;
    }

    void reportFailure(const QSqlQuery& query) { emit db->databaseError(query.lastError().text()); }

    Database* db;
    QSqlQuery rentInvoice;
    QSqlQuery otherInvoice;
    QSqlQuery item;
    QSqlQuery balance;
    // Each invoice of a run in its own savepoint, so a failed one is undone
    // alone; prepared once, as the run's invoices are many.
    QSqlQuery mark;
    QSqlQuery keep;
    QSqlQuery undo;
    bool ok = false;
};

// The savepoint of one invoice inside the caller's transaction: released by
// keep(), else rolled back when it goes out of scope.
class InvoiceModel::InvoiceSavepoint
{
public:
    explicit InvoiceSavepoint(Writer& writer)
        : m_writer(writer)
        , m_open(writer.runSavepoint(writer.mark))
    {}
    ~InvoiceSavepoint()
    {
        if (m_open) {
            m_writer.runSavepoint(m_writer.undo);
            m_writer.runSavepoint(m_writer.keep);
        }
    }
    bool isOpen() const { return m_open; }
    bool keep()
    {
        if (!m_open || !m_writer.runSavepoint(m_writer.keep))
            return false;
        m_open = false;
        return true;
    }

private:
    Writer& m_writer;
    bool m_open;
};

int InvoiceModel::writeInvoice(InvoiceNumbers& numbers, Writer& writer, const Draft& draft)
{
    if (!writer.ok || m_db->transactionDepth() < 1)
        return -1;
    InvoiceSavepoint tx(writer);
    if (!tx.isOpen())
        return -1;

    const QString number = numbers.next();
    const QString status = QStringLiteral("pending");
    QSqlQuery& insert = draft.contractId.isValid() ? writer.rentInvoice : writer.otherInvoice;
    const bool inserted =
        draft.contractId.isValid()
            ? writer.run(insert,
                         {number, draft.tenantId, draft.unitId, draft.contractId, draft.period,
                          draft.total, draft.total, status, draft.currencyId, draft.dueDate()})
            : writer.run(insert, {number, draft.tenantId, draft.unitId, draft.period, draft.total,
                                  draft.total, status, draft.currencyId, draft.dueDate()});
    const int id = inserted ? Writer::insertedId(insert) : -1;
    if (id < 1)
        return -1;

    // A line or balance that cannot be written takes the whole invoice with
    // it: a committed invoice always matches its lines and the tenant balance.
    for (const QVariantList& line : draft.lines) {
        if (!writer.run(writer.item, QVariantList{id} + line))
            return -1;
    }
    if (!writer.run(writer.balance, {draft.total, draft.tenantId}))
        return -1;
    if (!tx.keep())
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
    const MinorUnits units(m_db);
    for (const QVariant& value : items) {
        const QVariantMap item = value.toMap();
        // The invoice total is the sum of the lines' totals as given; a
        // missing or non-numeric total counts 0 towards it. A line total that
        // is negative, not finite or absurd would bend the tenant's balance.
        // Each line is kept in the currency's minor unit, so the total is
        // exactly the sum of the lines printed.
        double lineTotal = item.value(QStringLiteral("total")).toDouble();
        if (!Money::isNonNegative(lineTotal))
            return refuseId(Reasons::invalidAmount());
        lineTotal = units.round(currencyId, lineTotal);
        draft.total = units.round(currencyId, draft.total + lineTotal);
        const QString type = item.value(QStringLiteral("type")).toString();
        const QVariant quantity = item.value(QStringLiteral("quantity"));
        draft.lines.append(QVariantList{item.value(QStringLiteral("description")),
                                        type.isEmpty() ? QStringLiteral("service") : type,
                                        quantity.toDouble() > 0 ? quantity : QVariant(1),
                                        item.value(QStringLiteral("unit_price")), lineTotal});
    }
    // An invoice without lines (total 0) is allowed; a sum past the bound is not.
    if (!Money::isNonNegative(draft.total))
        return refuseId(Reasons::invalidAmount());

    // A free invoice (water, a repair recharge) may join the period's rent
    // and other charges: only rent is limited, once per contract and period.
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    InvoiceNumbers numbers(m_db);
    Writer writer(m_db);
    const int id = writeInvoice(numbers, writer, draft);
    if (id < 1)
        return refuseDatabaseId();
    QString reason;
    if (!LedgerHistory::postInvoices(m_db, id, id, &reason))
        return refuseId(reason);
    if (!tx.commit())
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
    // commit. A run that could not start or read its contracts is a
    // failure, never "nothing to bill".
    TransactionGuard run(m_db);
    if (!run.isActive())
        return refuseDatabaseId();
    QList<Draft> drafts;
    if (!RentRun::drafts(m_db, period, drafts))
        return refuseDatabaseId();
    const int lastBefore = lastInvoiceId();
    // All at once, in a few statements. When any invoice cannot be written
    // the batch leaves nothing behind, and the run writes them one by one,
    // each in its own savepoint, so the failed one is undone alone and the
    // run goes on with the next contract.
    if (InvoiceBatch::write(m_db, drafts))
        return finishRun(run, drafts.size(), 0, lastBefore);
    InvoiceNumbers numbers(m_db);
    Writer writer(m_db);
    int count = 0;
    int failed = 0;
    for (const Draft& draft : drafts) {
        if (writeInvoice(numbers, writer, draft) > 0)
            ++count;
        else
            ++failed;
    }
    return finishRun(run, count, failed, lastBefore);
}

int InvoiceModel::lastInvoiceId()
{
    return m_db->scalar(QStringLiteral("SELECT COALESCE(MAX(id),0) FROM invoices")).toInt();
}

int InvoiceModel::finishRun(TransactionGuard& run, int count, int failed, int lastBefore)
{
    if (count == 0) {
        // Nothing written: only failures make the empty run a refusal.
        if (failed > 0)
            return refuseDatabaseId();
        return 0;
    }
    // The run's invoices are posted together, in a few statements; a run
    // whose postings cannot be written is not kept.
    QString reason;
    if (!LedgerHistory::postInvoices(m_db, lastBefore + 1, std::numeric_limits<int>::max(),
                                     &reason))
        return refuseId(reason);
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
    // Kept in the currency's minor unit: cents, or mills for the dinar.
    amount = MinorUnits::roundFor(m_db, currencyId, amount);
    if (!Money::isPositive(amount))
        return refuseId(Reasons::invalidAmount());
    if (!SqlValue::isIsoPeriod(period))
        return refuseId(Reasons::invalidPeriod());
    // Nobody to invoice is no failure, but the page says why nothing came out.
    if (tenantIds.isEmpty()) {
        refuse(Reasons::noTenantsToInvoice());
        return 0;
    }

    TransactionGuard run(m_db);
    if (!run.isActive())
        return refuseDatabaseId();

    InvoiceNumbers numbers(m_db);
    Writer writer(m_db);
    const int lastBefore = lastInvoiceId();
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
        if (writeInvoice(numbers, writer, draft) > 0)
            ++count;
        else
            ++failed;
    }

    return finishRun(run, count, failed, lastBefore);
}

int InvoiceModel::generatePropertyServiceInvoice(int propertyId, const QString& serviceName,
                                                 double amount, const QString& period,
                                                 int currencyId)
{
    clearError();
    // Like a property without tenants this issues nothing, and says why.
    if (!m_db->scalar(QStringLiteral("SELECT 1 FROM properties WHERE id=?"), {propertyId})
             .isValid()) {
        refuseMissing();
        return databaseFailed() ? -1 : 0;
    }
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
        QStringLiteral("SELECT status, total_amount, currency_id FROM invoices WHERE id=?"), {id});
    if (rows.isEmpty())
        return refuseMissing();
    const QVariantMap invoice = rows.first().toMap();
    amount = MinorUnits::roundFor(m_db, invoice.value(QStringLiteral("currency_id")), amount);
    if (invoice.value(QStringLiteral("status")).toString() == QLatin1String("void"))
        return refuse(Reasons::invoiceVoid());
    // More than the total would leave a negative balance on a "paid" invoice.
    if (Money::toMinor(amount, 3) >
        Money::toMinor(invoice.value(QStringLiteral("total_amount")).toDouble(), 3))
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
    if (!Permissions::allowed(Permissions::Action::VoidInvoice))
        return refuse(Permissions::refusal());
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
    // A cheque still waiting to clear may bounce and reopen what it paid;
    // on a void invoice that debt would have nowhere to go.
    if (m_db->scalar(QStringLiteral("SELECT 1 FROM cheques c JOIN payments p ON c.payment_id = "
                                    "p.id WHERE p.invoice_id = ? AND c.status = 'pending' "
                                    "LIMIT 1"),
                     {id})
            .isValid())
        return refuse(Reasons::invoiceHasPendingCheque());

    // Only the open part leaves the tenant's balance; what was paid stays paid.
    if (!m_db->execNonQuery(
            QStringLiteral("UPDATE invoices SET status='void', balance=0 WHERE id=?"), {id}) ||
        !m_db->execNonQuery(
            QStringLiteral("UPDATE tenants SET balance=balance-? WHERE id=?"),
            {invoice.value(QStringLiteral("balance")), invoice.value(QStringLiteral("tenant_id"))}))
        return refuseDatabase();
    QString reason;
    if (!LedgerHistory::postVoid(m_db, id, QDate::currentDate().toString(Qt::ISODate), &reason))
        return refuse(reason);
    if (!tx.commit())
        return refuseDatabase();
    emit dataChanged();
    return true;
}
