#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariant>
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

    // One line a person reads: "تعديل · عقد #12".
    Q_INVOKABLE QString summary(const QString& action, const QString& table,
                                const QVariant& recordId) const;
    // What a row says changed, one {field, before, after} per column: the
    // values an insert set (after), a removal took (before), or an update
    // moved. A row written in words gives them as one line with no field.
    Q_INVOKABLE QVariantList changes(const QString& action, const QString& details) const;

private:
    Database* m_db;
};
