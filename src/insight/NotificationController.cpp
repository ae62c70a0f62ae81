#include "insight/NotificationController.h"

#include "core/Database.h"
#include "core/Money.h"
#include "core/OpenInvoices.h"
#include "core/Reasons.h"
#include "insight/DueCheques.h"
#include "insight/DueInvoices.h"
#include "insight/InsightDates.h"

#include <QLocale>

namespace {

// Each kind of alert is one FROM ... WHERE text, shared by the list and the
// count so the two can never disagree. The lists read only the columns an
// alert shows: an office with many overdue installments gets many alerts.
const QString kDueInstallments = QStringLiteral(
    "FROM installments i JOIN buyers b ON i.buyer_id = b.id JOIN units u ON i.unit_id = u.id "
    "LEFT JOIN currencies cur ON cur.id = i.currency_id "
    "WHERE (i.due_date = ? OR i.due_date = ?) AND i.status != 'paid'");
const QString kOverdueInstallments =
    QStringLiteral("FROM installments i JOIN buyers b ON i.buyer_id = b.id WHERE i.due_date < ? "
                   "AND i.status != 'paid'");
const QString kChequesDue = QStringLiteral(
    "FROM cheques c LEFT JOIN currencies cur ON cur.id = c.currency_id WHERE c.due_date <= ? AND "
    "c.status = 'pending'");
// A bounced received cheque stays alerted until a payment replaces it.
const QString kChequesBounced = QStringLiteral(
    "FROM cheques c LEFT JOIN currencies cur ON cur.id = c.currency_id WHERE c.status = "
    "'bounced' AND c.type = 'received' AND c.replaced_by_payment_id IS NULL");
// Invoices still open after their due day, like an overdue instalment: the
// very invoices of the overdue receivables, so the alerts add up to that
// figure. The left join keeps the invoices (read through their open index in
// due order) as the outer loop, and an invoice whose tenant is unknown (an
// old import) is alerted too.
const QString kOverdueInvoices =
    QStringLiteral("FROM invoices i LEFT JOIN tenants t ON i.tenant_id = t.id LEFT JOIN "
                   "currencies cur ON cur.id = i.currency_id WHERE i.due_date < ? AND ") +
    OpenInvoices::owing(QStringLiteral("i"));
const QString kContractsEnding =
    QStringLiteral("FROM contracts c JOIN tenants t ON c.tenant_id = t.id WHERE c.end_date <= ? "
                   "AND c.status = 'active'");

struct AlertDays
{
    QString today = InsightDates::isoDay(0);
    QString yesterday = InsightDates::isoDay(-1);
    QString inAWeek = InsightDates::isoDay(7);
    QString inAMonth = InsightDates::isoDay(30);
};

QVariantMap alert(const QString& type, const QString& title, const QString& detail,
                  const QString& severity)
{
    return {{QStringLiteral("type"), type},
            {QStringLiteral("title"), title},
            {QStringLiteral("detail"), detail},
            {QStringLiteral("severity"), severity}};
}

// An alert about money still owed: what is open, in its own currency, and
// the day it fell due, so a page (or a check) can total the alerts.
QVariantMap owed(QVariantMap alert, const QVariantMap& row, const char* openColumn)
{
    // To the mill, so a dinar amount keeps its third decimal.
    alert.insert(QStringLiteral("amount"),
                 Money::roundTo(row.value(QLatin1String(openColumn)).toDouble(), 3));
    alert.insert(QStringLiteral("currency_id"), row.value(QStringLiteral("currency_id")));
    alert.insert(QStringLiteral("due_date"), row.value(QStringLiteral("due_date")));
    return alert;
}

// A column's text as the alert shows it: names, numbers and dates as stored.
QString text(const QVariantMap& row, const char* column)
{
    return row.value(QLatin1String(column)).toString();
}

// "12,500.00 $": grouped, in the row's own currency's decimals and symbol.
QString money(const QVariantMap& row, const char* column = "amount")
{
    const QVariant places = row.value(QStringLiteral("decimals"));
    const int decimals = Money::clampDecimals(places.isNull() ? 2 : places.toInt());
    const double value = Money::roundTo(row.value(QLatin1String(column)).toDouble(), decimals);
    QString number = QLocale(QLocale::English).toString(value, 'f', decimals);
    const QString symbol = row.value(QStringLiteral("symbol")).toString();
    return Reasons::isolated(symbol.isEmpty() ? number : number + QChar(0x00A0) + symbol);
}

// Who the cheque is from (received) or to (issued), number, amount, bank and
// due day.
QString chequeDetail(const QVariantMap& row)
{
    QString detail = QStringLiteral("رقم: ") + Reasons::isolated(text(row, "cheque_number")) +
                     QStringLiteral(" - المبلغ: ") + money(row);
    const QString bank = text(row, "bank_name").trimmed();
    if (!bank.isEmpty())
        detail += QStringLiteral(" - البنك: ") + bank;
    return detail + QStringLiteral(" - الاستحقاق: ") + Reasons::isolated(text(row, "due_date"));
}

// The buyer an instalment alert is about, so its follow-up opens that
// buyer's instalments.
void withBuyer(QVariant& alertValue, const QVariantMap& row)
{
    QVariantMap map = alertValue.toMap();
    map.insert(QStringLiteral("buyer_id"), row.value(QStringLiteral("buyer_id")));
    map.insert(QStringLiteral("buyer_name"), row.value(QStringLiteral("buyer_name")));
    alertValue = map;
}

QString party(const QVariantMap& row)
{
    const QString name = text(row, "type") == QLatin1String("issued") ? text(row, "payee_name")
                                                                      : text(row, "payer_name");
    return name.trimmed().isEmpty() ? QStringLiteral("غير محدد") : name.trimmed();
}

} // namespace

NotificationController::NotificationController(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{}

QVariantList NotificationController::getActiveAlerts(int perKind)
{
    const AlertDays days;
    QVariantList alerts;
    // SQLite reads a negative limit as none, the server a NULL one.
    const QString limit = QStringLiteral(" LIMIT ?");
    const QVariant most = perKind >= 0         ? QVariant(perKind)
                          : m_db->isPostgres() ? QVariant(QMetaType(QMetaType::Int))
                                               : QVariant(-1);

    const QVariantList due = m_db->execQuery(
        QStringLiteral(
            "SELECT i.installment_amount, i.installment_amount-i.paid_amount as open, "
            "i.currency_id, i.due_date, cur.symbol, cur.decimals, i.buyer_id, b.full_name as "
            "buyer_name, "
            "u.unit_number ") +
            kDueInstallments + QStringLiteral(" ORDER BY i.due_date DESC, i.id") + limit,
        {days.today, days.yesterday, most});
    for (const QVariant& value : due) {
        const QVariantMap row = value.toMap();
        alerts.append(
            owed(alert(QStringLiteral("payment_due"),
                       QStringLiteral("دفعة مستحقة (اليوم/أمس): ") + text(row, "buyer_name"),
                       QStringLiteral("الوحدة: ") + Reasons::isolated(text(row, "unit_number")) +
                           QStringLiteral(" - المبلغ: ") + money(row, "installment_amount"),
                       QStringLiteral("high")),
                 row, "open"));
        withBuyer(alerts.last(), row);
    }

    // Strictly before yesterday: an installment due yesterday is alerted above.
    const QVariantList overdue = m_db->execQuery(
        QStringLiteral("SELECT i.due_date, i.installment_amount-i.paid_amount as "
                       "open, i.currency_id, i.buyer_id, b.full_name as buyer_name ") +
            kOverdueInstallments + QStringLiteral(" ORDER BY i.due_date, i.id") + limit,
        {days.yesterday, most});
    for (const QVariant& value : overdue) {
        const QVariantMap row = value.toMap();
        alerts.append(
            owed(alert(QStringLiteral("overdue"),
                       QStringLiteral("قسط متأخر جداً: ") + text(row, "buyer_name"),
                       QStringLiteral("استحق في: ") + Reasons::isolated(text(row, "due_date")),
                       QStringLiteral("critical")),
                 row, "open"));
        withBuyer(alerts.last(), row);
    }

    const QVariantList invoices = m_db->execQuery(
        QStringLiteral("SELECT i.invoice_number, i.balance, i.currency_id, i.due_date, "
                       "cur.symbol, cur.decimals, t.full_name as tenant_name ") +
            kOverdueInvoices + QStringLiteral(" ORDER BY i.due_date, i.id") + limit,
        {days.today, most});
    for (const QVariant& value : invoices) {
        const QVariantMap row = value.toMap();
        const QString tenant = text(row, "tenant_name");
        alerts.append(owed(
            alert(QStringLiteral("overdue_invoice"),
                  tenant.isEmpty() ? QStringLiteral("فاتورة متأخرة")
                                   : QStringLiteral("فاتورة متأخرة: ") + tenant,
                  QStringLiteral("الفاتورة: ") + Reasons::isolated(text(row, "invoice_number")) +
                      QStringLiteral(" - المتبقي: ") + money(row, "balance") +
                      QStringLiteral(" - استحقت في: ") + Reasons::isolated(text(row, "due_date")),
                  QStringLiteral("critical")),
            row, "balance"));
    }

    const QString chequeColumns =
        QStringLiteral("SELECT c.id, c.type, c.cheque_number, c.amount, c.bank_name, c.due_date, "
                       "c.payer_name, c.payee_name, cur.symbol, cur.decimals ");
    const QVariantList cheques = m_db->execQuery(
        chequeColumns + kChequesDue + QStringLiteral(" ORDER BY c.due_date, c.id") + limit,
        {days.inAWeek, most});
    for (const QVariant& value : cheques) {
        const QVariantMap row = value.toMap();
        const bool issued = text(row, "type") == QLatin1String("issued");
        alerts.append(alert(QStringLiteral("cheque"),
                            (issued ? QStringLiteral("شيك صادر مستحق خلال أسبوع إلى: ")
                                    : QStringLiteral("شيك مستحق خلال أسبوع من: ")) +
                                party(row),
                            chequeDetail(row), QStringLiteral("medium")));
    }

    const QVariantList bounced = m_db->execQuery(
        chequeColumns + kChequesBounced + QStringLiteral(" ORDER BY c.due_date, c.id") + limit,
        {most});
    for (const QVariant& value : bounced) {
        const QVariantMap row = value.toMap();
        QVariantMap bounce = alert(QStringLiteral("cheque_bounced"),
                                   QStringLiteral("شيك مرتجع لم يُستبدل بعد: ") + party(row),
                                   chequeDetail(row), QStringLiteral("high"));
        bounce.insert(QStringLiteral("cheque_id"), row.value(QStringLiteral("id")));
        alerts.append(bounce);
    }

    const QVariantList contracts =
        m_db->execQuery(QStringLiteral("SELECT c.end_date, t.full_name as tenant_name ") +
                            kContractsEnding + QStringLiteral(" ORDER BY c.end_date, c.id") + limit,
                        {days.inAMonth, most});
    for (const QVariant& value : contracts) {
        const QVariantMap row = value.toMap();
        alerts.append(
            alert(QStringLiteral("contract"),
                  QStringLiteral("عقد ينتهي قريباً: ") + text(row, "tenant_name"),
                  QStringLiteral("تاريخ الانتهاء: ") + Reasons::isolated(text(row, "end_date")),
                  QStringLiteral("low")));
    }
    return alerts;
}

int NotificationController::getAlertCount()
{
    // Counted in SQL over the very conditions of getActiveAlerts, without
    // building every alert of a large office; the overdue invoices and the
    // cheques due, which a large office has a great many of, from the open
    // invoices and pending cheques kept per day.
    const AlertDays days;
    const auto count = [this](const QString& from, const QVariantList& params) {
        return m_db->scalar(QStringLiteral("SELECT COUNT(*) ") + from, params).toInt();
    };
    return count(kDueInstallments, {days.today, days.yesterday}) +
           count(kOverdueInstallments, {days.yesterday}) +
           int(DueInvoices::countDueBefore(m_db, days.today)) +
           int(DueCheques::countUpTo(m_db, days.inAWeek)) + count(kChequesBounced, {}) +
           count(kContractsEnding, {days.inAMonth});
}

void NotificationController::markAsRead(int alertId)
{
    Q_UNUSED(alertId)
}
