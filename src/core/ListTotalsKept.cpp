// The lists whose totals are kept, and what each counts.
#include "core/ListTotals.h"

#include "core/OpenInvoices.h"

const QString ListTotals::kInvoices = QStringLiteral("invoices");
const QString ListTotals::kPayments = QStringLiteral("payments");
const QString ListTotals::kJournal = QStringLiteral("journal");
const QString ListTotals::kPendingCheques = QStringLiteral("pending_cheques");
const QString ListTotals::kCheques = QStringLiteral("cheques");
const QString ListTotals::kChequesDue = QStringLiteral("cheques_due");
const QString ListTotals::kOpenInvoices = QStringLiteral("open_invoices");
const QString ListTotals::kExpenses = QStringLiteral("expenses");
const QString ListTotals::kChequeRegister = QStringLiteral("cheque_register");
const QString ListTotals::kAudit = QStringLiteral("audit");

const QList<ListTotals::Kept>& ListTotals::all()
{
    // The invoice's day is the local day it was written on, the payment's
    // its payment date: the days the lists convert them at.
    static const QList<ListTotals::Kept> lists = {
        {ListTotals::kInvoices,
         QStringLiteral("invoices"),
         QStringLiteral("date(R.created_at,'localtime')"),
         QStringLiteral("created_at"),
         QStringLiteral("currency_id"),
         {QStringLiteral("total_amount"), QStringLiteral("paid_amount"), QStringLiteral("balance")},
         QString(),
         {QStringLiteral("status")},
         QStringLiteral("R.status"),
         QStringLiteral("status"),
         QStringLiteral("list_totals_local_day(R.created_at)")},
        {ListTotals::kPayments,
         QStringLiteral("payments"),
         QStringLiteral("R.payment_date"),
         QStringLiteral("payment_date"),
         QStringLiteral("currency_id"),
         {QStringLiteral("amount")},
         QString(),
         {},
         QString(),
         QString(),
         QString()},
        // Only entries with lines are listed. Kept per kind of entry, so
        // the journal of one kind (expenses, payments...) is counted as
        // fast, and per month: no journal figure is converted at a day, and
        // the whole journal adds up a few hundred rows, not every day of
        // every kind.
        {ListTotals::kJournal,
         QStringLiteral("journal_entries"),
         QStringLiteral("substr(R.entry_date, 1, 7)"),
         QStringLiteral("entry_date"),
         QString(),
         {},
         QStringLiteral("EXISTS (SELECT 1 FROM journal_lines WHERE entry_id=R.id)"),
         {QStringLiteral("reference_type")},
         QStringLiteral("R.reference_type"),
         QStringLiteral("reference_type"),
         QString()},
        {ListTotals::kPendingCheques,
         QStringLiteral("cheques"),
         QStringLiteral("''"),
         QString(),
         QStringLiteral("currency_id"),
         {QStringLiteral("amount")},
         QStringLiteral("R.type='received' AND R.status='pending' AND (R.payment_id IS NOT NULL "
                        "OR R.installment_id IS NOT NULL)"),
         {QStringLiteral("type"), QStringLiteral("status"), QStringLiteral("payment_id"),
          QStringLiteral("installment_id")},
         QString(),
         QString(),
         QString()},
        {ListTotals::kCheques,
         QStringLiteral("cheques"),
         QStringLiteral("''"),
         QString(),
         QStringLiteral("currency_id"),
         {QStringLiteral("amount")},
         QString(),
         {QStringLiteral("status")},
         QStringLiteral("R.status"),
         QStringLiteral("status"),
         QString()},
        // A cheque without a due day is never due.
        {ListTotals::kChequesDue,
         QStringLiteral("cheques"),
         QStringLiteral("R.due_date"),
         QStringLiteral("due_date"),
         QStringLiteral("currency_id"),
         {QStringLiteral("amount")},
         QStringLiteral("R.status='pending' AND R.due_date IS NOT NULL"),
         {QStringLiteral("status"), QStringLiteral("type")},
         QStringLiteral("R.type"),
         QStringLiteral("type"),
         QString()},
        {ListTotals::kOpenInvoices,
         QStringLiteral("invoices"),
         QStringLiteral("R.due_date"),
         QStringLiteral("due_date"),
         QStringLiteral("currency_id"),
         {QStringLiteral("balance")},
         OpenInvoices::owing(QStringLiteral("R")) + QStringLiteral(" AND R.due_date IS NOT NULL"),
         {QStringLiteral("status")},
         QString(),
         QString(),
         QString()},
        // Every cheque per type and status together ("received:pending"):
        // the cheques page's boxes.
        {ListTotals::kChequeRegister,
         QStringLiteral("cheques"),
         QStringLiteral("''"),
         QString(),
         QStringLiteral("currency_id"),
         {QStringLiteral("amount")},
         QString(),
         {QStringLiteral("type"), QStringLiteral("status")},
         QStringLiteral("R.type || ':' || R.status"),
         QString(),
         QString()},
        {ListTotals::kExpenses,
         QStringLiteral("expenses"),
         QStringLiteral("R.expense_date"),
         QStringLiteral("expense_date"),
         QStringLiteral("currency_id"),
         {QStringLiteral("amount")},
         QString(),
         {},
         QString(),
         QString(),
         QString()},
        // The log grows with every write of every desk; counting it whole
        // for its list's footer took a server a few milliseconds per
        // hundred thousand rows.
        {ListTotals::kAudit,
         QStringLiteral("audit_logs"),
         QStringLiteral("''"),
         QString(),
         QString(),
         {},
         QString(),
         {},
         QString(),
         QString(),
         QString()},
    };
    return lists;
}
