#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The audit trail of every record a signed-in user writes. Temporary
// triggers on the connection (never stored in the file, so a backup carries
// no trigger of ours and a restored file is checked as it is) add one
// audit_logs row per insert, update and delete, with the acting user, the
// table, the row and what changed: the new values of an insert, the old
// ones of a delete, old → new of each changed column of an update. The row
// is written by the statement itself, so it commits or rolls back with it.
//
// The same triggers refuse every write while the signed-in user still has
// to replace the default password (kPasswordChangeRequired), except the
// change of the password itself.
namespace AuditTrail {

// The text a refused write reports while the password must be changed.
inline constexpr const char* kPasswordChangeRequired = "password change required";

// Installs the triggers on `db` (once per connection) and records who acts:
// `userId` above 0, or nobody. False with `error` set when a statement fails.
bool setActingUser(QSqlDatabase& db, int userId, bool passwordChangePending, QString* error);

// The same on a PostgreSQL server (AuditTrailServer.cpp), where the
// triggers are stored with the tables and the acting user is a setting of
// the session. Called by setActingUser() on a server connection.
bool setActingUserOnServer(QSqlDatabase& db, int userId, bool passwordChangePending,
                           QString* error);

// The tables whose writes are audited: every table of the file except the
// trail itself, logs, caches, search indexes and the journal's lines (their
// entry is the event's record, and events are audited on their own rows).
QStringList auditedTables(QSqlDatabase& db);

} // namespace AuditTrail
