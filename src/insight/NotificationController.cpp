#include "insight/NotificationController.h"

#include "core/Database.h"
#include "core/Money.h"
#include "insight/InsightDates.h"

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
// Tenant invoices still open after their due day, like an overdue instalment.
const QString kOverdueInvoices = QStringLiteral(
    "FROM invoices i JOIN tenants t ON i.tenant_id = t.id LEFT JOIN currencies cur ON "
    "cur.id = i.currency_id WHERE i.due_date < ? AND (i.status < 'paid' OR (i.status > 'paid' "
    "AND i.status < 'void') OR i.status > 'void') AND i.balance >= 0.005");
const QString kChequesDue =
    QStringLiteral("FROM cheques WHERE due_date <= ? AND status = 'pending'");
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
    alert.insert(QStringLiteral("amount"),
                 Money::roundToCents(row.value(QLatin1String(openColumn)).toDouble()));
    alert.insert(QStringLiteral("currency_id"), row.value(QStringLiteral("currency_id")));
    alert.insert(QStringLiteral("due_date"), row.value(QStringLiteral("due_date")));
    return alert;
}

// A column's text as the alert shows it: names, numbers and dates as stored.
QString text(const QVariantMap& row, const char* column)
{
    return row.value(QLatin1String(column)).toString();
}

// An amount to the cent without trailing zeros (7500.0 is "7500", 2500.50
// is "2500.5"), and never in exponent form: a plain variant-to-text
// conversion writes 100000 as "1e+05".
QString amount(const QVariantMap& row, const char* column)
{
    QString text =
        QString::number(Money::roundToCents(row.value(QLatin1String(column)).toDouble()), 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

} // namespace

NotificationController::NotificationController(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{}

QVariantList NotificationController::getActiveAlerts()
{
    const AlertDays days;
    QVariantList alerts;

    const QVariantList due = m_db->execQuery(
        QStringLiteral("SELECT i.installment_amount, i.installment_amount-i.paid_amount as open, "
                       "i.currency_id, i.due_date, cur.symbol, b.full_name as buyer_name, "
                       "u.unit_number ") +
            kDueInstallments + QStringLiteral(" ORDER BY i.due_date DESC, i.id"),
        {days.today, days.yesterday});
    for (const QVariant& value : due) {
        const QVariantMap row = value.toMap();
        alerts.append(
            owed(alert(QStringLiteral("payment_due"),
                       QStringLiteral("دفعة مستحقة (اليوم/أمس): ") + text(row, "buyer_name"),
                       QStringLiteral("الوحدة: ") + text(row, "unit_number") +
                           QStringLiteral(" - المبلغ: ") + amount(row, "installment_amount") +
                           QLatin1Char(' ') + text(row, "symbol"),
                       QStringLiteral("high")),
                 row, "open"));
    }

    // Strictly before yesterday: an installment due yesterday is alerted above.
    const QVariantList overdue =
        m_db->execQuery(QStringLiteral("SELECT i.due_date, i.installment_amount-i.paid_amount as "
                                       "open, i.currency_id, b.full_name as buyer_name ") +
                            kOverdueInstallments + QStringLiteral(" ORDER BY i.due_date, i.id"),
                        {days.yesterday});
    for (const QVariant& value : overdue) {
        const QVariantMap row = value.toMap();
        alerts.append(owed(alert(QStringLiteral("overdue"),
                                 QStringLiteral("قسط متأخر جداً: ") + text(row, "buyer_name"),
                                 QStringLiteral("استحق في: ") + text(row, "due_date"),
                                 QStringLiteral("critical")),
                           row, "open"));
    }

    const QVariantList invoices = m_db->execQuery(
        QStringLiteral("SELECT i.invoice_number, i.balance, i.currency_id, i.due_date, "
                       "cur.symbol, t.full_name as tenant_name ") +
            kOverdueInvoices + QStringLiteral(" ORDER BY i.due_date, i.id"),
        {days.today});
    for (const QVariant& value : invoices) {
        const QVariantMap row = value.toMap();
        alerts.append(owed(alert(QStringLiteral("overdue_invoice"),
                                 QStringLiteral("فاتورة متأخرة: ") + text(row, "tenant_name"),
                                 QStringLiteral("الفاتورة: ") + text(row, "invoice_number") +
                                     QStringLiteral(" - المتبقي: ") + amount(row, "balance") +
                                     QLatin1Char(' ') + text(row, "symbol") +
                                     QStringLiteral(" - استحقت في: ") + text(row, "due_date"),
                                 QStringLiteral("critical")),
                           row, "balance"));
    }

    const QVariantList cheques =
        m_db->execQuery(QStringLiteral("SELECT cheque_number, amount ") + kChequesDue +
                            QStringLiteral(" ORDER BY due_date, id"),
                        {days.inAWeek});
    for (const QVariant& value : cheques) {
        const QVariantMap row = value.toMap();
        alerts.append(alert(QStringLiteral("cheque"), QStringLiteral("شيك مستحق خلال أسبوع"),
                            QStringLiteral("رقم: ") + text(row, "cheque_number") +
                                QStringLiteral(" - مبلغ: ") + amount(row, "amount"),
                            QStringLiteral("medium")));
    }

    const QVariantList contracts =
        m_db->execQuery(QStringLiteral("SELECT c.end_date, t.full_name as tenant_name ") +
                            kContractsEnding + QStringLiteral(" ORDER BY c.end_date, c.id"),
                        {days.inAMonth});
    for (const QVariant& value : contracts) {
        const QVariantMap row = value.toMap();
        alerts.append(alert(QStringLiteral("contract"),
                            QStringLiteral("عقد ينتهي قريباً: ") + text(row, "tenant_name"),
                            QStringLiteral("تاريخ الانتهاء: ") + text(row, "end_date"),
                            QStringLiteral("low")));
    }
    return alerts;
}

int NotificationController::getAlertCount()
{
    // Counted in SQL over the very conditions of getActiveAlerts, without
    // building every alert of a large office.
    const AlertDays days;
    const auto count = [this](const QString& from, const QVariantList& params) {
        return m_db->scalar(QStringLiteral("SELECT COUNT(*) ") + from, params).toInt();
    };
    return count(kDueInstallments, {days.today, days.yesterday}) +
           count(kOverdueInstallments, {days.yesterday}) + count(kOverdueInvoices, {days.today}) +
           count(kChequesDue, {days.inAWeek}) + count(kContractsEnding, {days.inAMonth});
}

void NotificationController::markAsRead(int alertId)
{
    Q_UNUSED(alertId)
}
