#include "core/Schema.h"

#include "core/SchemaStep.h"

using SchemaStep::fail;

namespace {

// What is owed to contractors, bill by bill in each contractor's order, for
// the cash calendar's running settlement; made once the column is there.
bool owedIndex(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_owed ON "
                                   "expenses(contractor_id, currency_id, expense_date, amount) "
                                   "WHERE is_owed=1")))
        return fail(query, error);
    return true;
}

} // namespace

bool Schema::migrateExpenses(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT 1 FROM pragma_table_info('expenses') WHERE "
                                   "name='is_owed'")))
        return fail(query, error);
    if (query.next())
        return owedIndex(db, error);
    query.finish();

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
    return owedIndex(db, error);
}
