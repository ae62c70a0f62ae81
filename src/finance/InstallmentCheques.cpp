// The instalment operations that involve cheques: collecting by cheque,
// replacing a bounced cheque, and registering the cheque numbers that older
// files kept on their instalments only.
#include "finance/InstallmentModel.h"

#include "core/ChequeRegister.h"
#include "core/Database.h"
#include "core/DoneOnce.h"
#include "core/LedgerPosting.h"
#include "core/MinorUnits.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"
#include "core/TransactionGuard.h"

#include <QHash>

namespace {

const QString kRegisteredKey = QStringLiteral("sale_cheques_registered");

} // namespace

int InstallmentModel::payByCheque(int id, double amount, const QString& chequeNumber,
                                  const QString& bank, const QString& dueDate)
{
    clearError();
    Collection how;
    how.method = QStringLiteral("cheque");
    how.chequeNumber = chequeNumber;
    how.bank = bank;
    how.dueDate = dueDate;
    const int paymentId = collect(id, amount, how);
    if (paymentId < 1)
        return -1;
    emit dataChanged();
    return paymentId;
}

int InstallmentModel::replaceBounced(int chequeId, const QString& method,
                                     const QString& chequeNumber, const QString& bank,
                                     const QString& dueDate)
{
    clearError();
    if (method != QLatin1String("cash") && method != QLatin1String("cheque"))
        return refuseId(Reasons::unknownMethod());
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    QString reason;
    const QVariantMap bounced = ChequeRegister::replaceable(m_db, chequeId, &reason);
    if (bounced.isEmpty())
        return refuseId(reason);
    const int installment = bounced.value(QStringLiteral("installment_id")).toInt();
    if (installment < 1)
        return refuseId(Reasons::chequeNotLinked());
    Collection how;
    how.method = method;
    how.chequeNumber = chequeNumber;
    how.bank = bank;
    how.dueDate = dueDate;
    const int paymentId =
        collect(installment, bounced.value(QStringLiteral("amount")).toDouble(), how);
    if (paymentId < 1)
        return -1;
    if (!ChequeRegister::markReplaced(m_db, chequeId, paymentId, &reason))
        return refuseId(reason);
    if (!tx.commit())
        return refuseDatabaseId();
    emit dataChanged();
    return paymentId;
}

int InstallmentModel::registerListedCheques()
{
    clearError();
    if (DoneOnce::isDone(m_db, kRegisteredKey))
        return 0;
    TransactionGuard tx(m_db);
    if (!tx.isActive())
        return refuseDatabaseId();
    // The cheque was handed over with the sale, so an open instalment is
    // collected by it on the day of the sale (or of the instalment's entry).
    // The server keeps created_at as the same text; its day is the first ten
    // characters.
    const QString createdDay = m_db->isPostgres() ? QStringLiteral("substr(i.created_at,1,10)")
                                                  : QStringLiteral("date(i.created_at)");
    const QVariantList rows = m_db->execQuery(
        QStringLiteral(
            "SELECT i.id, i.buyer_id, i.unit_id, i.installment_amount, i.paid_amount, i.due_date, "
            "i.cheque_number, i.bank_name, i.currency_id, b.full_name, COALESCE(u.sale_date, "
            "%1, %2) as taken FROM installments i LEFT JOIN buyers b ON b.id=i.buyer_id LEFT "
            "JOIN units u ON u.id=i.unit_id WHERE TRIM(COALESCE(i.cheque_number,''))<>'' AND NOT "
            "EXISTS (SELECT 1 FROM cheques c WHERE c.installment_id=i.id) ORDER BY i.id")
            .arg(createdDay, SqlDialect::today(m_db->engine())));
    // Known once for every cheque: the accounts, the currencies' decimals,
    // each unit's cost centre.
    LedgerPosting posting(m_db);
    const MinorUnits minorUnits(m_db);
    QHash<int, QVariant> costCenters;
    int written = 0;
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const int id = row.value(QStringLiteral("id")).toInt();
        const double open = row.value(QStringLiteral("installment_amount")).toDouble() -
                            row.value(QStringLiteral("paid_amount")).toDouble();
        QString due = row.value(QStringLiteral("due_date")).toString();
        if (!SqlValue::isIsoDate(due))
            due = row.value(QStringLiteral("taken")).toString();
        if (open > 0.004) {
            Collection how;
            how.method = QStringLiteral("cheque");
            how.date = row.value(QStringLiteral("taken")).toString();
            how.chequeNumber = row.value(QStringLiteral("cheque_number")).toString();
            how.bank = row.value(QStringLiteral("bank_name")).toString();
            how.dueDate = due;
            how.audit = false;
            how.posting = &posting;
            how.minorUnits = &minorUnits;
            const int unit = row.value(QStringLiteral("unit_id")).toInt();
            auto known = costCenters.constFind(unit);
            if (known == costCenters.constEnd())
                known = costCenters.insert(unit, unitCostCenter(unit));
            how.costCenter = known.value();
            if (collect(id, open, how) < 1)
                return -1;
        } else {
            // Collected before, in cash: the cheque was cashed, and the
            // collection's posting already holds its money.
            ChequeRegister::Received cheque;
            cheque.number = row.value(QStringLiteral("cheque_number")).toString();
            cheque.bank = row.value(QStringLiteral("bank_name")).toString();
            cheque.dueDate = due;
            cheque.payer = row.value(QStringLiteral("full_name")).toString();
            cheque.amount = row.value(QStringLiteral("installment_amount")).toDouble();
            cheque.currencyId = row.value(QStringLiteral("currency_id")).toInt();
            cheque.buyerId = row.value(QStringLiteral("buyer_id")).toInt();
            cheque.installmentId = id;
            cheque.status = QStringLiteral("paid");
            if (ChequeRegister::record(m_db, cheque) < 1)
                return refuseDatabaseId();
        }
        ++written;
    }
    if (!DoneOnce::markDone(m_db, kRegisteredKey) || !tx.commit())
        return refuseDatabaseId();
    if (written > 0)
        emit dataChanged();
    return written;
}
