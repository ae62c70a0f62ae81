// Tenant payments by cheque that older versions recorded without a register
// row: each gains its row once, at the first start after the upgrade.
#include "finance/ChequeModel.h"

#include "core/Database.h"
#include "core/DoneOnce.h"
#include "core/LedgerPosting.h"
#include "core/Money.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"

#include <QDate>
#include <QHash>

#include <cmath>

namespace {

const QString kRegisteredKey = QStringLiteral("payment_cheques_registered");

// A tenant's payment by cheque, with its number, that has no register row.
const QString kUnregistered = QStringLiteral(
    "p.payment_method='cheque' AND p.buyer_id IS NULL AND p.amount>0 AND "
    "TRIM(COALESCE(p.reference,''))<>'' AND NOT EXISTS (SELECT 1 FROM cheques c WHERE "
    "c.payment_id=p.id)");

} // namespace

int ChequeModel::registerPaymentCheques()
{
    clearError();
    if (DoneOnce::isDone(m_db, kRegisteredKey))
        return 0;
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    // The payment's posting put the money among the cheques under
    // collection; the reference is the cheque number the clerk typed.
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT p.id, p.tenant_id, p.amount, TRIM(p.reference) AS number, "
                       "p.currency_id FROM payments p WHERE ") +
        kUnregistered + QStringLiteral(" ORDER BY p.id"));
    // Cheques typed into the register by hand, still pending or cashed,
    // read once: looked up per payment, an office with a long history read
    // the whole register again for each of its cheque payments.
    struct Typed
    {
        int id = 0;
        int tenantId = 0;
        QString status;
        QString dueDate;
        bool taken = false;
    };
    QHash<QString, QList<Typed>> typedCheques;
    const auto key = [](const QString& number, double amount) {
        return number + QLatin1Char('|') + QString::number(std::llround(amount * 100));
    };
    for (const QVariant& value : m_db->execQuery(
             QStringLiteral("SELECT id, TRIM(cheque_number) AS number, amount, tenant_id, status, "
                            "due_date FROM cheques WHERE type='received' AND payment_id IS NULL "
                            "AND installment_id IS NULL AND status IN ('pending','paid') "
                            "ORDER BY id"))) {
        const QVariantMap row = value.toMap();
        typedCheques[key(row.value(QStringLiteral("number")).toString(),
                         row.value(QStringLiteral("amount")).toDouble())]
            .append({row.value(QStringLiteral("id")).toInt(),
                     row.value(QStringLiteral("tenant_id")).toInt(),
                     row.value(QStringLiteral("status")).toString(),
                     row.value(QStringLiteral("due_date")).toString()});
    }
    const auto takeTyped = [&](const QString& number, double amount, int tenantId) -> Typed {
        auto found = typedCheques.find(key(number, amount));
        if (found == typedCheques.end())
            return {};
        for (Typed& typed : *found) {
            if (!typed.taken && (typed.tenantId == 0 || typed.tenantId == tenantId)) {
                typed.taken = true;
                return typed;
            }
        }
        return {};
    };

    int written = 0;
    LedgerPosting posting(m_db);
    for (const QVariant& value : rows) {
        const QVariantMap payment = value.toMap();
        const int paymentId = payment.value(QStringLiteral("id")).toInt();
        const int tenantId = payment.value(QStringLiteral("tenant_id")).toInt();
        const double amount = payment.value(QStringLiteral("amount")).toDouble();
        const QString number = payment.value(QStringLiteral("number")).toString();
        // The same cheque typed into the register by hand becomes this
        // payment's row instead of a second one.
        const Typed typed = takeTyped(number, amount, tenantId);
        if (typed.id > 0) {
            const int chequeId = typed.id;
            if (!m_db->execNonQuery(QStringLiteral("UPDATE cheques SET payment_id=?, "
                                                   "tenant_id=? WHERE id=?"),
                                    {paymentId, SqlValue::idOrNull(tenantId), chequeId}))
                return refuseDatabaseId();
            // Cashed while outside the books: its cashing is posted now,
            // unless an older start posted it already.
            const bool cashed = typed.status == QLatin1String("paid");
            if (cashed && m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM journal_entries "
                                                      "WHERE reference_type='cheque_cleared' "
                                                      "AND reference_id=?"),
                                       {chequeId})
                                  .toInt() == 0) {
                QString day = typed.dueDate;
                if (!SqlValue::isIsoDate(day))
                    day = QDate::currentDate().toString(Qt::ISODate);
                LedgerPosting::Entry entry;
                entry.date = day;
                entry.referenceType = QStringLiteral("cheque_cleared");
                entry.referenceId = chequeId;
                entry.currencyId = payment.value(QStringLiteral("currency_id")).toInt();
                entry.description = QStringLiteral("تحصيل شيك ") + number;
                entry.lines = {{QStringLiteral("1100"), 0, amount, 0, {}},
                               {QStringLiteral("1300"), 0, 0, amount, {}}};
                if (posting.post(entry) < 1)
                    return refuseId(posting.reason());
            }
        }
        ++written;
    }
    // The rest gain their rows in one statement, due on the payment's day,
    // from the payer's name: row by row, a server rewrote the register's
    // kept totals once per cheque, and slower each time within the one
    // transaction (a large office's back-fill took minutes).
    if (!m_db->execNonQuery(
            QStringLiteral("INSERT INTO cheques (cheque_number,type,amount,bank_name,issue_date,"
                           "due_date,payer_name,payee_name,status,currency_id,buyer_id,tenant_id,"
                           "installment_id,payment_id,notes) SELECT TRIM(p.reference), "
                           "'received', p.amount, '', %1, p.payment_date, "
                           "COALESCE(t.full_name,''), '', 'pending', p.currency_id, NULL, "
                           "p.tenant_id, NULL, p.id, '' FROM payments p LEFT JOIN tenants t ON "
                           "t.id=p.tenant_id WHERE %2 ORDER BY p.id")
                .arg(SqlDialect::today(m_db->engine()), kUnregistered)))
        return refuseDatabaseId();
    if (!DoneOnce::markDone(m_db, kRegisteredKey) || !tx.commit())
        return refuseDatabaseId();
    if (written > 0)
        emit dataChanged();
    return written;
}
