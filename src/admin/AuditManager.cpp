#include "admin/AuditManager.h"

#include "core/Database.h"
#include "core/Reasons.h"

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
    // created_at has whole seconds; the id keeps rows of the same second
    // newest first as well.
    return m_db->execQuery(QStringLiteral("SELECT a.*, u.username FROM audit_logs a LEFT JOIN "
                                          "users u ON a.user_id = u.id ORDER BY a.created_at "
                                          "DESC, a.id DESC LIMIT ?"),
                           {limit});
}
