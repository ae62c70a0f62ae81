#include "admin/AuditManager.h"

#include "core/Database.h"
#include "core/Reasons.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

AuditManager::AuditManager(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

void AuditManager::log(int userId, const QString& action, const QString& table, int recordId,
                       const QString& details)
{
    clearError();
    if (!m_db->execNonQuery(QStringLiteral("INSERT INTO audit_logs (user_id, action, table_name, "
                                           "record_id, details) VALUES (?, ?, ?, ?, ?)"),
                            {userId, action, table, recordId, details}))
        refuseDatabase();
}

QVariantList AuditManager::getLogs(int limit)
{
    // A negative limit is every row: SQLite reads LIMIT -1 so, a server
    // LIMIT NULL (it refuses a negative one).
    // created_at has whole seconds; the id keeps rows of the same second
    // newest first as well.
    return m_db->execQuery(
        QStringLiteral("SELECT a.*, u.username FROM audit_logs a LEFT JOIN "
                       "users u ON a.user_id = u.id ORDER BY a.created_at "
                       "DESC, a.id DESC LIMIT ?"),
        {limit < 0 && m_db->isPostgres() ? QVariant(QMetaType::fromType<int>()) : QVariant(limit)});
}

namespace {

QString actionWord(const QString& action)
{
    static const QHash<QString, QString> words = {
        {QStringLiteral("insert"), QStringLiteral("إضافة")},
        {QStringLiteral("update"), QStringLiteral("تعديل")},
        {QStringLiteral("delete"), QStringLiteral("حذف")},
    };
    return words.value(action, action);
}

QString recordWord(const QString& table)
{
    static const QHash<QString, QString> words = {
        {QStringLiteral("properties"), QStringLiteral("عقار")},
        {QStringLiteral("units"), QStringLiteral("وحدة")},
        {QStringLiteral("tenants"), QStringLiteral("مستأجر")},
        {QStringLiteral("contracts"), QStringLiteral("عقد")},
        {QStringLiteral("invoices"), QStringLiteral("فاتورة")},
        {QStringLiteral("invoice_items"), QStringLiteral("بند فاتورة")},
        {QStringLiteral("payments"), QStringLiteral("دفعة")},
        {QStringLiteral("maintenance_requests"), QStringLiteral("طلب صيانة")},
        {QStringLiteral("expenses"), QStringLiteral("مصروف")},
        {QStringLiteral("contractors"), QStringLiteral("مقاول")},
        {QStringLiteral("contractor_payments"), QStringLiteral("دفعة لمقاول")},
        {QStringLiteral("buyers"), QStringLiteral("مشترٍ")},
        {QStringLiteral("installments"), QStringLiteral("قسط")},
        {QStringLiteral("cheques"), QStringLiteral("شيك")},
        {QStringLiteral("accounts"), QStringLiteral("حساب")},
        {QStringLiteral("journal_entries"), QStringLiteral("قيد يومية")},
        {QStringLiteral("users"), QStringLiteral("مستخدم")},
        {QStringLiteral("currencies"), QStringLiteral("عملة")},
        {QStringLiteral("exchange_rates"), QStringLiteral("سعر صرف")},
        {QStringLiteral("settings"), QStringLiteral("إعداد")},
        {QStringLiteral("services"), QStringLiteral("خدمة")},
        {QStringLiteral("usage_records"), QStringLiteral("قراءة عداد")},
        {QStringLiteral("cost_centers"), QStringLiteral("مركز تكلفة")},
    };
    return words.value(table, table);
}

QString valueText(const QJsonValue& value)
{
    if (value.isNull() || value.isUndefined())
        return QStringLiteral("—");
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 15);
    return value.toVariant().toString();
}

} // namespace

QString AuditManager::summary(const QString& action, const QString& table,
                              const QVariant& recordId) const
{
    QString text = actionWord(action);
    if (!table.isEmpty())
        text += QStringLiteral(" · ") + recordWord(table);
    if (recordId.isValid() && !recordId.isNull() && recordId.toLongLong() > 0)
        text += QStringLiteral(" #") + recordId.toString();
    return text;
}

QVariantList AuditManager::changes(const QString& action, const QString& details) const
{
    QVariantList list;
    const QJsonDocument document = QJsonDocument::fromJson(details.toUtf8());
    if (!document.isObject()) {
        if (!details.isEmpty())
            list << QVariantMap{{QStringLiteral("field"), QString()},
                                {QStringLiteral("before"), QString()},
                                {QStringLiteral("after"), details}};
        return list;
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        QString before;
        QString after;
        if (action == QLatin1String("update") && it.value().isArray()) {
            before = valueText(it.value().toArray().at(0));
            after = valueText(it.value().toArray().at(1));
        } else if (action == QLatin1String("delete")) {
            before = valueText(it.value());
        } else {
            after = valueText(it.value());
        }
        list << QVariantMap{{QStringLiteral("field"), it.key()},
                            {QStringLiteral("before"), before},
                            {QStringLiteral("after"), after}};
    }
    return list;
}
