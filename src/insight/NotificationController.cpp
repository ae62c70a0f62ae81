#include "insight/NotificationController.h"

#include "core/Database.h"
#include "insight/InsightDates.h"

namespace {

// Each kind of alert is one FROM ... WHERE text, shared by the list and the
// count so the two can never disagree.
const QString kDueInstallments = QStringLiteral(
    "FROM installments i JOIN buyers b ON i.buyer_id = b.id JOIN units u ON i.unit_id = u.id "
    "WHERE (i.due_date = ? OR i.due_date = ?) AND i.status != 'paid'");
const QString kOverdueInstallments =
    QStringLiteral("FROM installments i JOIN buyers b ON i.buyer_id = b.id WHERE i.due_date < ? "
                   "AND i.status != 'paid'");
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

// A column's text as the alert shows it: doubles in their shortest exact
// form (7500.0 is "7500"), dates as stored.
QString text(const QVariantMap& row, const char* column)
{
    return row.value(QLatin1String(column)).toString();
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

    const QVariantList due =
        m_db->execQuery(QStringLiteral("SELECT i.*, b.full_name as buyer_name, u.unit_number ") +
                            kDueInstallments + QStringLiteral(" ORDER BY i.due_date DESC, i.id"),
                        {days.today, days.yesterday});
    for (const QVariant& value : due) {
        const QVariantMap row = value.toMap();
        alerts.append(alert(QStringLiteral("payment_due"),
                            QStringLiteral("دفعة مستحقة (اليوم/أمس): ") + text(row, "buyer_name"),
                            QStringLiteral("الوحدة: ") + text(row, "unit_number") +
                                QStringLiteral(" - المبلغ: ") + text(row, "installment_amount") +
                                QStringLiteral(" ₪"),
                            QStringLiteral("high")));
    }

    // Strictly before yesterday: an installment due yesterday is alerted above.
    const QVariantList overdue =
        m_db->execQuery(QStringLiteral("SELECT i.*, b.full_name as buyer_name ") +
                            kOverdueInstallments + QStringLiteral(" ORDER BY i.due_date, i.id"),
                        {days.yesterday});
    for (const QVariant& value : overdue) {
        const QVariantMap row = value.toMap();
        alerts.append(alert(
            QStringLiteral("overdue"), QStringLiteral("قسط متأخر جداً: ") + text(row, "buyer_name"),
            QStringLiteral("استحق في: ") + text(row, "due_date"), QStringLiteral("critical")));
    }

    const QVariantList cheques = m_db->execQuery(QStringLiteral("SELECT * ") + kChequesDue +
                                                     QStringLiteral(" ORDER BY due_date, id"),
                                                 {days.inAWeek});
    for (const QVariant& value : cheques) {
        const QVariantMap row = value.toMap();
        alerts.append(alert(QStringLiteral("cheque"), QStringLiteral("شيك مستحق خلال أسبوع"),
                            QStringLiteral("رقم: ") + text(row, "cheque_number") +
                                QStringLiteral(" - مبلغ: ") + text(row, "amount"),
                            QStringLiteral("medium")));
    }

    const QVariantList contracts =
        m_db->execQuery(QStringLiteral("SELECT c.*, t.full_name as tenant_name ") +
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
           count(kOverdueInstallments, {days.yesterday}) + count(kChequesDue, {days.inAWeek}) +
           count(kContractsEnding, {days.inAMonth});
}

void NotificationController::markAsRead(int alertId)
{
    Q_UNUSED(alertId)
}
