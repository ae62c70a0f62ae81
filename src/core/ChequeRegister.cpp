#include "core/ChequeRegister.h"

#include "core/Database.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"

namespace {

bool fail(QString* reason, const QString& why)
{
    if (reason)
        *reason = why;
    return false;
}

// The invoice and tenant of the payment a cheque was given for; empty when
// the cheque pays no invoice.
QVariantMap invoiceOf(Database* db, const QVariantMap& cheque)
{
    const int payment = cheque.value(QStringLiteral("payment_id")).toInt();
    if (payment < 1)
        return {};
    return SqlValue::firstRow(db->execQuery(
        QStringLiteral("SELECT p.invoice_id, p.tenant_id, i.balance, i.status, i.currency_id "
                       "FROM payments p "
                       "JOIN invoices i ON i.id=p.invoice_id WHERE p.id=?"),
        {payment}));
}

// The decimals an invoice's money is kept in (three for the dinar): its
// balance is rounded to them, never to cents.
int decimalsOf(Database* db, const QVariantMap& invoice)
{
    return MinorUnits(db).decimals(invoice.value(QStringLiteral("currency_id")));
}

int instalmentDecimals(Database* db, int installment)
{
    return MinorUnits(db).decimals(db->scalar(
        QStringLiteral("SELECT currency_id FROM installments WHERE id=?"), {installment}));
}

} // namespace

int ChequeRegister::record(Database* db, const Received& cheque)
{
    return db->execInsert(
        QStringLiteral("INSERT INTO cheques (cheque_number,type,amount,bank_name,issue_date,"
                       "due_date,payer_name,payee_name,status,currency_id,buyer_id,tenant_id,"
                       "installment_id,payment_id,notes) VALUES (?,'received',?,?,%1,?,?,"
                       "'',?,?,?,?,?,?,'')")
            .arg(SqlDialect::today(db->engine())),
        {cheque.number.trimmed(), cheque.amount, SqlValue::textOrEmpty(cheque.bank.trimmed()),
         cheque.dueDate, SqlValue::textOrEmpty(cheque.payer), cheque.status,
         SqlValue::idOrNull(cheque.currencyId), SqlValue::idOrNull(cheque.buyerId),
         SqlValue::idOrNull(cheque.tenantId), SqlValue::idOrNull(cheque.installmentId),
         SqlValue::idOrNull(cheque.paymentId)});
}

bool ChequeRegister::reopen(Database* db, const QVariantMap& cheque)
{
    const double amount = cheque.value(QStringLiteral("amount")).toDouble();
    const int installment = cheque.value(QStringLiteral("installment_id")).toInt();
    if (installment > 0) {
        const int places = instalmentDecimals(db, installment);
        // Back to pending when nothing else was paid on it, else partial.
        return db->execNonQuery(
                   QStringLiteral("UPDATE installments SET paid_amount=%1, status=CASE WHEN "
                                  "ROUND(paid_amount-?,?)<=0 THEN 'pending' ELSE 'partial' END "
                                  "WHERE id=?")
                       .arg(SqlDialect::greatest(db->engine(), QStringLiteral("0"),
                                                 QStringLiteral("ROUND(paid_amount-?,?)"))),
                   {amount, places, amount, places, installment}) &&
               db->execNonQuery(
                   QStringLiteral("UPDATE buyers SET balance=ROUND(balance+?,?) WHERE id=(SELECT "
                                  "buyer_id FROM installments WHERE id=?)"),
                   {amount, places, installment});
    }
    const QVariantMap invoice = invoiceOf(db, cheque);
    if (invoice.isEmpty())
        return true;
    const int places = decimalsOf(db, invoice);
    return db->execNonQuery(
               QStringLiteral("UPDATE invoices SET paid_amount=%1, balance=ROUND(balance+?,?), "
                              "status=CASE WHEN status='void' THEN 'void' WHEN "
                              "ROUND(paid_amount-?,?)<=0 THEN 'pending' ELSE 'partial' END "
                              "WHERE id=?")
                   .arg(SqlDialect::greatest(db->engine(), QStringLiteral("0"),
                                             QStringLiteral("ROUND(paid_amount-?,?)"))),
               {amount, places, amount, places, amount, places,
                invoice.value(QStringLiteral("invoice_id"))}) &&
           db->execNonQuery(QStringLiteral("UPDATE tenants SET balance=ROUND(balance+?,?) WHERE "
                                           "id=?"),
                            {amount, places, invoice.value(QStringLiteral("tenant_id"))});
}

bool ChequeRegister::settleAgain(Database* db, const QVariantMap& cheque, QString* reason)
{
    const double amount = cheque.value(QStringLiteral("amount")).toDouble();
    const int installment = cheque.value(QStringLiteral("installment_id")).toInt();
    if (installment > 0) {
        const int places = instalmentDecimals(db, installment);
        const double open =
            db->scalar(QStringLiteral("SELECT installment_amount-paid_amount FROM installments "
                                      "WHERE id=?"),
                       {installment})
                .toDouble();
        if (Money::toMinor(amount, places) > Money::toMinor(open, places))
            return fail(reason, Reasons::amountAboveBalance());
        if (!db->execNonQuery(
                QStringLiteral("UPDATE installments SET paid_amount=ROUND(paid_amount+?,?), "
                               "status=CASE WHEN ROUND(paid_amount+?,?)>=ROUND(installment_amount,"
                               "?) THEN 'paid' ELSE 'partial' END WHERE id=?"),
                {amount, places, amount, places, places, installment}) ||
            !db->execNonQuery(QStringLiteral("UPDATE buyers SET balance=ROUND(balance-?,?) WHERE "
                                             "id=(SELECT buyer_id FROM installments WHERE id=?)"),
                              {amount, places, installment}))
            return fail(reason, Reasons::database());
        return true;
    }
    const QVariantMap invoice = invoiceOf(db, cheque);
    if (invoice.isEmpty())
        return true;
    const int places = decimalsOf(db, invoice);
    if (Money::toMinor(amount, places) >
        Money::toMinor(invoice.value(QStringLiteral("balance")).toDouble(), places))
        return fail(reason, Reasons::amountAboveBalance());
    if (!db->execNonQuery(
            QStringLiteral("UPDATE invoices SET paid_amount=ROUND(paid_amount+?,?), "
                           "balance=ROUND(balance-?,?), status=CASE WHEN status='void' THEN "
                           "'void' WHEN ROUND(balance-?,?)<=0 THEN 'paid' ELSE 'partial' END "
                           "WHERE id=?"),
            {amount, places, amount, places, amount, places,
             invoice.value(QStringLiteral("invoice_id"))}) ||
        !db->execNonQuery(
            QStringLiteral("UPDATE tenants SET balance=ROUND(balance-?,?) WHERE id=?"),
            {amount, places, invoice.value(QStringLiteral("tenant_id"))}))
        return fail(reason, Reasons::database());
    return true;
}

QVariantMap ChequeRegister::replaceable(Database* db, int chequeId, QString* reason)
{
    const QVariantMap cheque = SqlValue::firstRow(
        db->execQuery(QStringLiteral("SELECT * FROM cheques WHERE id=?"), {chequeId}));
    if (cheque.isEmpty()) {
        fail(reason, Reasons::notFound());
        return {};
    }
    if (cheque.value(QStringLiteral("status")).toString() != QLatin1String("bounced") ||
        cheque.value(QStringLiteral("type")).toString() != QLatin1String("received")) {
        fail(reason, Reasons::chequeNotBounced());
        return {};
    }
    if (cheque.value(QStringLiteral("replaced_by_payment_id")).toInt() > 0) {
        fail(reason, Reasons::chequeReplaced());
        return {};
    }
    return cheque;
}

bool ChequeRegister::markReplaced(Database* db, int chequeId, int paymentId, QString* reason)
{
    if (replaceable(db, chequeId, reason).isEmpty())
        return false;
    if (!db->execNonQuery(QStringLiteral("UPDATE cheques SET replaced_by_payment_id=? WHERE id=?"),
                          {paymentId, chequeId}))
        return fail(reason, Reasons::database());
    return true;
}
