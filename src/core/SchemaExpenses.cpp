#include "core/Schema.h"

#include "core/SchemaStep.h"

using SchemaStep::fail;

namespace {

// Only the bills owed to contractors, made once the column they name is
// there: for what each is owed (the reconciliation), and bill by bill in
// each contractor's order by day (the cash calendar's running settlement).
bool indexOwedBills(QSqlQuery& query, QSqlError* error)
{
    return (query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_owed ON "
                                      "expenses(contractor_id, id, currency_id, amount, is_owed) "
                                      "WHERE is_owed=1")) &&
            query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_owed_by_day ON "
                                      "expenses(contractor_id, currency_id, expense_date, amount) "
                                      "WHERE is_owed=1"))) ||
           fail(query, error);
}

} // namespace

bool Schema::migrateExpenses(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT 1 FROM pragma_table_info('expenses') WHERE "
                                   "name='is_owed'")))
        return fail(query, error);
    const bool migrated = query.next();
    query.finish();
    if (migrated)
        return indexOwedBills(query, error);

    // Until bills could be paid on the spot, every expense naming a
    // contractor was owed to it (its balance and account 2100 rose by it).
    // The column and that marking come in one go, so a file stopped halfway
    // is marked at its next start.
    const bool ownTransaction = !SchemaStep::insideTransaction(db);
    if (ownTransaction && !query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(query, error);
    const QString statements[] = {
        QStringLiteral("ALTER TABLE expenses ADD COLUMN is_owed INTEGER DEFAULT 0"),
        QStringLiteral("UPDATE expenses SET is_owed=1 WHERE contractor_id IS NOT NULL"),
    };
    for (const QString& statement : statements) {
        if (!query.exec(statement)) {
            const bool failed = fail(query, error);
            if (ownTransaction)
                QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            return failed;
        }
    }
    if (ownTransaction && !query.exec(QStringLiteral("COMMIT")))
        return fail(query, error);
    return indexOwedBills(query, error);
}
