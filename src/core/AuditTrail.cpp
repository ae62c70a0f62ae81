#include "core/AuditTrail.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace AuditTrail {

namespace {

// Columns a write keeps in step by itself (running balances, timestamps):
// an update that only moves them is not a change anyone made.
bool derivedColumn(const QString& table, const QString& column)
{
    if (column == QLatin1String("updated_at"))
        return true;
    static const QSet<QString> balances = {QStringLiteral("accounts"), QStringLiteral("tenants"),
                                           QStringLiteral("buyers"), QStringLiteral("contractors")};
    return column == QLatin1String("balance") && balances.contains(table);
}

// A secret is never copied into the trail; a change to it is named only.
bool secretColumn(const QString& table, const QString& column)
{
    return table == QLatin1String("users") && column == QLatin1String("password_hash");
}

QString quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QString literal(const QString& text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

QStringList columnsOf(QSqlDatabase& db, const QString& table)
{
    QStringList columns;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?)")))
        return columns;
    query.addBindValue(table);
    if (!query.exec())
        return columns;
    while (query.next())
        columns << query.value(0).toString();
    return columns;
}

// json_object takes at most 127 arguments: wide rows are built in pieces
// and merged. json_patch also drops the keys whose value is NULL, which
// keeps the stored text to what is set or what changed.
QString jsonOf(const QStringList& pairs)
{
    constexpr int kPairsPerCall = 50;
    QString json = QStringLiteral("'{}'");
    for (int i = 0; i < pairs.size(); i += kPairsPerCall)
        json = QStringLiteral("json_patch(%1, json_object(%2))")
                   .arg(json, pairs.mid(i, kPairsPerCall).join(QStringLiteral(", ")));
    return json;
}

// Names, for one row version ("new" or "old"), every column and its value.
QString valuesOf(const QString& table, const QStringList& columns, const QString& row)
{
    QStringList pairs;
    for (const QString& column : columns) {
        if (!secretColumn(table, column))
            pairs << literal(column) + QStringLiteral(", ") + row + QLatin1Char('.') +
                         quoted(column);
    }
    return jsonOf(pairs);
}

QString changesOf(const QString& table, const QStringList& columns)
{
    QStringList pairs;
    for (const QString& column : columns) {
        if (derivedColumn(table, column))
            continue;
        const QString differs = QStringLiteral("old.%1 IS NOT new.%1").arg(quoted(column));
        const QString value =
            secretColumn(table, column)
                ? QStringLiteral("'changed'")
                : QStringLiteral("json_array(old.%1, new.%1)").arg(quoted(column));
        pairs << literal(column) + QStringLiteral(", CASE WHEN ") + differs +
                     QStringLiteral(" THEN ") + value + QStringLiteral(" END");
    }
    return jsonOf(pairs);
}

QString changedCondition(const QString& table, const QStringList& columns)
{
    QStringList differs;
    for (const QString& column : columns) {
        if (!derivedColumn(table, column))
            differs << QStringLiteral("old.%1 IS NOT new.%1").arg(quoted(column));
    }
    return differs.isEmpty() ? QStringLiteral("0") : differs.join(QStringLiteral(" OR "));
}

QStringList triggerStatements(const QString& table, const QStringList& columns)
{
    const QString lock = QStringLiteral("SELECT RAISE(ABORT, '%1') WHERE (SELECT must_change FROM "
                                        "temp.acting_user) = 1; ")
                             .arg(QLatin1String(kPasswordChangeRequired));
    // The one write allowed meanwhile: the user's own row, for the new password.
    const QString updateLock =
        table == QLatin1String("users")
            ? QStringLiteral("SELECT RAISE(ABORT, '%1') WHERE (SELECT must_change FROM "
                             "temp.acting_user) = 1 AND new.id IS NOT (SELECT user_id FROM "
                             "temp.acting_user); ")
                  .arg(QLatin1String(kPasswordChangeRequired))
            : lock;
    // Journal entries are the events' own postings, audited on the event;
    // an entry typed by hand is an event of its own.
    const QString onlyManual = table == QLatin1String("journal_entries")
                                   ? QStringLiteral(" WHEN new.reference_type = 'manual'")
                                   : QString();
    const QString onlyManualOld = table == QLatin1String("journal_entries")
                                      ? QStringLiteral(" WHEN old.reference_type = 'manual'")
                                      : QString();
    const QString insertRow = QStringLiteral(
        "INSERT INTO audit_logs (user_id, action, table_name, record_id, details) VALUES ("
        "(SELECT user_id FROM temp.acting_user), '%1', %2, %3, %4); ");
    const QString name = quoted(QStringLiteral("audit_") + table);
    const QString target = QStringLiteral("main.") + quoted(table);
    return {
        QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS %1 AFTER INSERT ON %2%3 BEGIN %4%5END")
            .arg(name.chopped(1) + QStringLiteral("_insert\""), target, onlyManual, lock,
                 insertRow.arg(QStringLiteral("insert"), literal(table),
                               QStringLiteral("new.rowid"),
                               valuesOf(table, columns, QStringLiteral("new")))),
        QStringLiteral(
            "CREATE TEMP TRIGGER IF NOT EXISTS %1 AFTER UPDATE ON %2 WHEN %3 BEGIN %4%5END")
            .arg(name.chopped(1) + QStringLiteral("_update\""), target,
                 changedCondition(table, columns), updateLock,
                 insertRow.arg(QStringLiteral("update"), literal(table),
                               QStringLiteral("new.rowid"), changesOf(table, columns))),
        QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS %1 AFTER DELETE ON %2%3 BEGIN %4%5END")
            .arg(name.chopped(1) + QStringLiteral("_delete\""), target, onlyManualOld, lock,
                 insertRow.arg(QStringLiteral("delete"), literal(table),
                               QStringLiteral("old.rowid"),
                               valuesOf(table, columns, QStringLiteral("old")))),
    };
}

bool run(QSqlDatabase& db, const QString& sql, const QVariantList& values, QString* error)
{
    QSqlQuery query(db);
    if (query.prepare(sql)) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (query.exec())
            return true;
    }
    if (error)
        *error = query.lastError().text();
    return false;
}

bool installed(QSqlDatabase& db)
{
    QSqlQuery query(db);
    return query.exec(QStringLiteral(
               "SELECT 1 FROM temp.sqlite_master WHERE type='table' AND name='acting_user'")) &&
           query.next();
}

bool install(QSqlDatabase& db, QString* error)
{
    // The table that marks the connection as done comes last, so a failed
    // install is tried again in full next time.
    for (const QString& table : auditedTables(db)) {
        for (const QString& statement : triggerStatements(table, columnsOf(db, table))) {
            if (!run(db, statement, {}, error))
                return false;
        }
    }
    return run(db,
               QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS acting_user ("
                              "user_id INTEGER, must_change INTEGER NOT NULL DEFAULT 0)"),
               {}, error) &&
           run(db, QStringLiteral("INSERT INTO temp.acting_user (user_id) VALUES (NULL)"), {},
               error);
}

} // namespace

QStringList auditedTables(QSqlDatabase& db)
{
    static const QSet<QString> kept = {
        QStringLiteral("audit_logs"),         QStringLiteral("app_log"),
        QStringLiteral("login_failures"),     QStringLiteral("money_totals"),
        QStringLiteral("search_index_marks"), QStringLiteral("journal_lines"),
        QStringLiteral("ledger_day_totals"),  QStringLiteral("ledger_totals_paused"),
        QStringLiteral("list_totals"),        QStringLiteral("ledger_day_balance"),
    };
    QStringList tables;
    QStringList virtualTables;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT name, sql FROM main.sqlite_master WHERE type='table' "
                                   "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name")))
        return tables;
    QStringList all;
    while (query.next()) {
        const QString name = query.value(0).toString();
        all << name;
        if (query.value(1).toString().startsWith(QLatin1String("CREATE VIRTUAL"),
                                                 Qt::CaseInsensitive))
            virtualTables << name;
    }
    for (const QString& name : all) {
        if (kept.contains(name) || virtualTables.contains(name))
            continue;
        // A search index keeps its words in tables named after it.
        bool shadow = false;
        for (const QString& index : virtualTables)
            shadow = shadow || name.startsWith(index + QLatin1Char('_'));
        if (!shadow)
            tables << name;
    }
    return tables;
}

bool setActingUser(QSqlDatabase& db, int userId, bool passwordChangePending, QString* error)
{
    if (db.driverName() == QLatin1String("QPSQL"))
        return setActingUserOnServer(db, userId, passwordChangePending, error);
    if (!installed(db) && !install(db, error))
        return false;
    return run(db, QStringLiteral("UPDATE temp.acting_user SET user_id = ?, must_change = ?"),
               {userId > 0 ? QVariant(userId) : QVariant(), passwordChangePending ? 1 : 0}, error);
}

} // namespace AuditTrail
