#include "core/AuditTrail.h"

#include "core/PgSchema.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

// The audit trail on a PostgreSQL server. The triggers are stored with the
// tables there (one function serves every table, reading the row as JSON),
// and the acting user is a setting of the session: a session that never
// named one (another program, the migrations) writes no audit rows, as a
// SQLite connection without the temporary triggers does.
namespace AuditTrail {

namespace {

const QString kFunction = QStringLiteral(
    "CREATE OR REPLACE FUNCTION audit_row() RETURNS trigger LANGUAGE plpgsql AS $$ "
    "DECLARE acting TEXT := current_setting('sakanova.acting_user', true); "
    "locked BOOLEAN := COALESCE(current_setting('sakanova.must_change', true), '0') = '1'; "
    "secret TEXT[] := CASE WHEN TG_TABLE_NAME = 'users' THEN ARRAY['password_hash'] "
    "ELSE ARRAY[]::TEXT[] END; "
    "derived TEXT[] := CASE WHEN TG_TABLE_NAME IN ('accounts', 'tenants', 'buyers', "
    "'contractors') THEN ARRAY['updated_at', 'balance'] ELSE ARRAY['updated_at'] END; "
    "o JSONB; n JSONB; changes JSONB := '{}'; k TEXT; "
    "BEGIN "
    "IF acting IS NULL THEN RETURN NULL; END IF; "
    "IF TG_OP <> 'INSERT' THEN o := to_jsonb(OLD); END IF; "
    "IF TG_OP <> 'DELETE' THEN n := to_jsonb(NEW); END IF; "
    // Journal entries are the events' own postings, audited on the event;
    // an entry typed by hand is an event of its own.
    "IF TG_TABLE_NAME = 'journal_entries' AND TG_OP <> 'UPDATE' AND "
    "COALESCE(COALESCE(n, o)->>'reference_type', '') <> 'manual' THEN RETURN NULL; END IF; "
    "IF TG_OP = 'UPDATE' THEN "
    "FOR k IN SELECT jsonb_object_keys(n) LOOP "
    "IF NOT (k = ANY(derived)) AND (o->k) IS DISTINCT FROM (n->k) THEN "
    "changes := changes || jsonb_build_object(k, CASE WHEN k = ANY(secret) THEN "
    "to_jsonb(CAST('changed' AS TEXT)) ELSE jsonb_build_array(o->k, n->k) END); "
    "END IF; END LOOP; "
    "IF changes = '{}' THEN RETURN NULL; END IF; "
    "END IF; "
    // The one write allowed while the password must be replaced: the
    // user's own row, for the new password.
    "IF locked AND NOT (TG_TABLE_NAME = 'users' AND TG_OP = 'UPDATE' AND "
    "(n->>'id') = acting) THEN RAISE EXCEPTION 'password change required'; END IF; "
    "INSERT INTO audit_logs (user_id, action, table_name, record_id, details) VALUES ("
    "CAST(NULLIF(acting, '') AS BIGINT), lower(TG_OP), TG_TABLE_NAME, "
    "CAST(COALESCE(n, o)->>'id' AS BIGINT), CAST(CASE WHEN TG_OP = 'UPDATE' THEN changes "
    "ELSE jsonb_strip_nulls(COALESCE(n, o) - secret) END AS TEXT)); "
    "RETURN NULL; END $$");

bool run(QSqlQuery& query, const QString& sql, QString* error)
{
    if (query.exec(sql))
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

QStringList serverTables(QSqlDatabase& db)
{
    static const QSet<QString> kept = {
        QStringLiteral("audit_logs"),           QStringLiteral("app_log"),
        QStringLiteral("login_failures"),       QStringLiteral("money_totals"),
        QStringLiteral("journal_lines"),        QStringLiteral("ledger_day_totals"),
        QStringLiteral("ledger_totals_paused"), QStringLiteral("schema_migrations"),
        QStringLiteral("list_totals"),          QStringLiteral("ledger_day_balance"),
    };
    QStringList tables;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT table_name FROM information_schema.tables WHERE "
                                   "table_schema = current_schema() AND table_type = 'BASE "
                                   "TABLE' ORDER BY table_name")))
        return tables;
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (!kept.contains(name))
            tables << name;
    }
    return tables;
}

// True when the function is the one above and every audited table has its
// trigger, so a sign-in writes nothing to the schema.
bool serverInstalled(QSqlDatabase& db, const QStringList& tables)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "SELECT (SELECT COUNT(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
            "WHERE c.relnamespace = CAST(current_schema() AS regnamespace) AND t.tgname LIKE "
            "'audit\\_%' AND NOT t.tgisinternal), (SELECT prosrc FROM pg_proc WHERE proname = "
            "'audit_row' AND pronamespace = CAST(current_schema() AS regnamespace))")) ||
        !query.next())
        return false;
    const QString body = kFunction.mid(kFunction.indexOf(QLatin1String("$$")) + 2);
    return query.value(0).toInt() == tables.size() &&
           query.value(1).toString() == body.left(body.lastIndexOf(QLatin1String("$$")));
}

} // namespace

bool setActingUserOnServer(QSqlDatabase& db, int userId, bool passwordChangePending, QString* error)
{
    const QStringList tables = serverTables(db);
    QSqlQuery query(db);
    if (!serverInstalled(db, tables)) {
        // Two desks signing in at once make the triggers one after the other.
        const auto rollBack = [&] {
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            return false;
        };
        if (!run(query, QStringLiteral("BEGIN"), error))
            return false;
        query.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
        query.addBindValue(PgSchema::kWriteLock);
        if (!query.exec()) {
            if (error)
                *error = query.lastError().text();
            return rollBack();
        }
        if (!run(query, kFunction, error))
            return rollBack();
        for (const QString& table : tables) {
            // Names read from the catalogue, quoted as identifiers.
            const QString quoted =
                QLatin1Char('"') +
                QString(table).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
            const QString trigger =
                QLatin1Char('"') + QStringLiteral("audit_") +
                QString(table).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
            if (!run(query,
                     QStringLiteral("CREATE OR REPLACE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE "
                                    "ON %2 FOR EACH ROW EXECUTE FUNCTION audit_row()")
                         .arg(trigger, quoted),
                     error))
                return rollBack();
        }
        if (!run(query, QStringLiteral("COMMIT"), error))
            return rollBack();
    }
    query.prepare(QStringLiteral("SELECT set_config('sakanova.acting_user', ?, false), "
                                 "set_config('sakanova.must_change', ?, false)"));
    query.addBindValue(userId > 0 ? QString::number(userId) : QString(QLatin1String("")));
    query.addBindValue(passwordChangePending ? QStringLiteral("1") : QStringLiteral("0"));
    if (query.exec())
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

} // namespace AuditTrail
