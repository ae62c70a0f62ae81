#include "admin/AuditList.h"

#include "core/ListSql.h"
#include "core/ListTotals.h"

using Definition = SqlListModel::Definition;
using namespace ListSql;

Definition AuditList::audit()
{
    Definition d;
    d.columns = QStringLiteral("a.*, u.username");
    d.from = QStringLiteral("FROM audit_logs a LEFT JOIN users u ON a.user_id = u.id");
    d.baseTable = QStringLiteral("audit_logs a");
    d.key = QStringLiteral("a.id");
    d.textSearches = {SqlListModel::indexedText(
        QStringLiteral("audit_logs_search"), QStringLiteral("audit_logs"), QStringLiteral("a.id"),
        {QStringLiteral("a.action"), QStringLiteral("a.table_name"), QStringLiteral("a.details")})};
    d.searchConditions = {nameSearch(QStringLiteral("a.user_id"), QStringLiteral("users"),
                                     QStringLiteral("username"))};
    d.filterColumns = {{QStringLiteral("user_id"), QStringLiteral("a.user_id")},
                       {QStringLiteral("action"), QStringLiteral("a.action")},
                       {QStringLiteral("table_name"), QStringLiteral("a.table_name")},
                       {QStringLiteral("record_id"), QStringLiteral("a.record_id")}};
    d.dateColumn = QStringLiteral("a.created_at");
    d.sortColumns = {{QStringLiteral("created_at"), QStringLiteral("a.created_at")}};
    d.defaultSort = QStringLiteral("created_at");
    d.keptTotals = ListTotals::kAudit;
    return d;
}
