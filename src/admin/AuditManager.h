#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>

class Database;

// Appends rows to the audit trail and reads back the newest ones with the
// acting user's name. Callers decide what is audited.
class AuditManager : public BackendObject
{
    Q_OBJECT

public:
    explicit AuditManager(Database* db, QObject* parent = nullptr);

    Q_INVOKABLE void log(int userId, const QString& action,
                         const QString& table = QStringLiteral(""), int recordId = 0,
                         const QString& details = QStringLiteral(""));
    // Newest first; a negative limit returns every row.
    Q_INVOKABLE QVariantList getLogs(int limit = 100);

private:
    Database* m_db;
};
