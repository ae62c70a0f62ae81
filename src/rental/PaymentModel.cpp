#include "rental/PaymentModel.h"

#include "core/ChequeRegister.h"
#include "core/Database.h"
#include "core/LedgerPosting.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"
#include "rental/RentalLists.h"

namespace {

// Both payment lists show a payment's unit and property: its own unit for
// buyer payments, else the unit of the invoice it pays.
const QString kUnitAndProperty =
    QStringLiteral("COALESCE(payUnit.unit_number, invUnit.unit_number) as unit_number, "
                   "COALESCE(payProperty.name, invProperty.name) as property_name ");
const QString kLookups = QStringLiteral(
    "LEFT JOIN tenants t ON p.tenant_id=t.id "
    "LEFT JOIN buyers b ON p.buyer_id=b.id LEFT JOIN invoices i ON p.invoice_id=i.id "
    "LEFT JOIN units invUnit ON i.unit_id=invUnit.id "
    "LEFT JOIN properties invProperty ON invUnit.property_id=invProperty.id "
    "LEFT JOIN units payUnit ON p.unit_id=payUnit.id "
    "LEFT JOIN properties payProperty ON payUnit.property_id=payProperty.id ");
const QString kJoins = QStringLiteral("FROM payments p ") + kLookups;

} // namespace

PaymentModel::PaymentModel(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantList PaymentModel::getAll()
{
    // A payment's unit is its own (buyer payments) or else its invoice's.
    return m_db->execQuery(
        QStringLiteral("SELECT p.*, t.full_name as tenant_name, b.full_name as buyer_name, "
                       "i.invoice_number, ") +
        kUnitAndProperty + kJoins + QStringLiteral("ORDER BY p.payment_date DESC"));
}

int PaymentModel::add(int invoiceId, int tenantId, double amount, const QString& method,
                      const QString& date, const QString& ref, int currId)
{
    clearError();
    return record(invoiceId, tenantId, amount, method, date, ref, currId, {ref, QString(), date});
}

int PaymentModel::addCheque(int invoiceId, int tenantId, double amount, const QString& date,
                            const QString& chequeNumber, const QString& bank,
                            const QString& dueDate, int currId)
{
    clearError();
    return record(invoiceId, tenantId, amount, QStringLiteral("cheque"), date, chequeNumber, currId,
                  {chequeNumber, bank, dueDate});
}

int PaymentModel::replaceBounced(int chequeId, const QString& method, const QString& date,
                                 const QString& chequeNumber, const QString& bank,
                                 const QString& dueDate)
{
    clearError();
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    QString reason;
    const QVariantMap bounced = ChequeRegister::replaceable(m_db, chequeId, &reason);
    if (bounced.isEmpty())
        return refuseId(reason);
    const QVariantMap paid = SqlValue::firstRow(m_db->execQuery(
        QStringLiteral("SELECT invoice_id, tenant_id, currency_id FROM payments WHERE id=? AND "
                       "invoice_id IS NOT NULL"),
        {bounced.value(QStringLiteral("payment_id"))}));
    if (paid.isEmpty())
        return refuseId(Reasons::chequeNotLinked());
    const bool byCheque = method == QLatin1String("cheque");
    const QString ref = byCheque ? chequeNumber
                                 : QStringLiteral("بدل شيك مرتجع ") +
                                       bounced.value(QStringLiteral("cheque_number")).toString();
    const int id =
        record(paid.value(QStringLiteral("invoice_id")).toInt(),
               paid.value(QStringLiteral("tenant_id")).toInt(),
               bounced.value(QStringLiteral("amount")).toDouble(), method, date, ref,
               paid.value(QStringLiteral("currency_id")).toInt(), {chequeNumber, bank, dueDate});
    if (id < 1)
        return -1;
    if (!ChequeRegister::markReplaced(m_db, chequeId, id, &reason))
        return refuseId(reason);
    if (!tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

int PaymentModel::record(int invoiceId, int tenantId, double amount, const QString& method,
                         const QString& date, const QString& ref, int currId, const Cheque& cheque)
{
    if (!Money::isPositive(amount))
        return refuseId(Reasons::invalidAmount());
    // Kept in the currency's minor unit: cents, or mills for the dinar.
    amount = MinorUnits::roundFor(m_db, currId, amount);
    if (!Money::isPositive(amount))
        return refuseId(Reasons::invalidAmount());
    if (method != QLatin1String("cash") && method != QLatin1String("bank") &&
        method != QLatin1String("cheque"))
        return refuseId(Reasons::unknownMethod());
    if (!SqlValue::isIsoDate(date))
        return refuseId(Reasons::invalidDate());
    const bool byCheque = method == QLatin1String("cheque");
    if (byCheque && cheque.number.trimmed().isEmpty())
        return refuseId(Reasons::requiredField(QStringLiteral("رقم الشيك")));
    if (byCheque && !SqlValue::isIsoDate(cheque.dueDate))
        return refuseId(Reasons::invalidDate());

    // The invoice is read under the write lock: two payments racing for the
    // same open balance see each other, so the invoice is never over-paid.
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();

    if (invoiceId > 0) {
        const QVariantList rows = m_db->execQuery(
            QStringLiteral("SELECT balance, status, tenant_id FROM invoices WHERE id=?"),
            {invoiceId});
        if (rows.isEmpty())
            return refuseMissingId();
        const QVariantMap invoice = rows.first().toMap();
        if (invoice.value(QStringLiteral("status")).toString() == QLatin1String("void"))
            return refuseId(Reasons::invoiceVoid());
        // The payment lowers the balance of the tenant passed in, so it
        // must be the tenant the invoice was issued to.
        if (invoice.value(QStringLiteral("tenant_id")).toInt() != tenantId)
            return refuseId(Reasons::invoiceOtherTenant());
        if (Money::toMinor(amount, 3) >
            Money::toMinor(invoice.value(QStringLiteral("balance")).toDouble(), 3))
            return refuseId(Reasons::amountAboveBalance());
    }

    // Without an invoice the column stays NULL: a stored 0 would name no
    // invoice and fail the foreign key.
    const QVariant invoiceValue = SqlValue::idOrNull(invoiceId);
    // Kept statements: payments are the office's most frequent write.
    const int id = m_db->execKept(
        QStringLiteral("INSERT INTO payments (invoice_id,tenant_id,amount,payment_method,"
                       "payment_date,reference,currency_id) VALUES (?,?,?,?,?,?,?)"),
        {invoiceValue, tenantId, amount, method, date, ref, currId});
    if (id < 1)
        return refuseDatabaseId();

    if (invoiceId > 0) {
        // In the CASE, balance is still the value before this update. Results
        // are kept to the third decimal (a dinar's mills; cents stay cents)
        // so that paying the exact open balance settles the invoice instead
        // of leaving binary noise behind.
        if (m_db->execKept(
                QStringLiteral("UPDATE invoices SET paid_amount=ROUND(paid_amount+?,3), "
                               "balance=ROUND(balance-?,3), status=CASE WHEN ROUND(balance-?,3)<=0 "
                               "THEN 'paid' ELSE 'partial' END WHERE id=?"),
                {amount, amount, amount, invoiceId}) < 0)
            return refuseDatabaseId();
        if (m_db->execKept(
                QStringLiteral("UPDATE tenants SET balance=ROUND(balance-?,3) WHERE id=?"),
                {amount, tenantId}) < 0)
            return refuseDatabaseId();
    }

    // Cash, a bank account, or cheques under collection until the cheque
    // clears; what the tenant owes falls by the amount.
    LedgerPosting posting(m_db);
    LedgerPosting::Entry entry;
    entry.date = date;
    entry.description = QStringLiteral("دفعة ") + ref;
    entry.referenceType = QStringLiteral("payment");
    entry.referenceId = id;
    entry.currencyId = currId;
    const QString received = method == QLatin1String("bank")     ? QStringLiteral("1110")
                             : method == QLatin1String("cheque") ? QStringLiteral("1300")
                                                                 : QStringLiteral("1100");
    entry.lines = {{received, 0, amount, 0, {}}, {QStringLiteral("1200"), 0, 0, amount, {}}};
    if (posting.post(entry) < 1)
        return refuseId(posting.reason());

    // The cheque waits in the register until it is cashed or returned.
    if (byCheque) {
        ChequeRegister::Received received;
        received.number = cheque.number;
        received.bank = cheque.bank;
        received.dueDate = cheque.dueDate;
        received.payer =
            m_db->scalar(QStringLiteral("SELECT full_name FROM tenants WHERE id=?"), {tenantId})
                .toString();
        received.amount = amount;
        received.currencyId = currId;
        received.tenantId = tenantId;
        received.paymentId = id;
        if (ChequeRegister::record(m_db, received) < 1)
            return refuseDatabaseId();
    }

    if (!tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return id;
}

QVariantList PaymentModel::getByTenant(int tenantId)
{
    return m_db->execQuery(
        QStringLiteral("SELECT * FROM payments WHERE tenant_id=? ORDER BY payment_date DESC"),
        {tenantId});
}

QVariantList PaymentModel::getRecent(int limit)
{
    // The latest payments are picked first and only their names are looked
    // up, as the payments list looks them up for its screen: the seven
    // joins around them cost a server more to plan than to read. Of one
    // day, the later entered comes first.
    return m_db->execQuery(QStringLiteral("SELECT ") + RentalLists::payments().columns +
                               QStringLiteral(" FROM (SELECT * FROM payments ORDER BY "
                                              "payment_date DESC, id DESC LIMIT ?) p ORDER BY "
                                              "p.payment_date DESC, p.id DESC"),
                           {limit});
}
