#include "core/PgSchema.h"

#include "core/Schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

// A new database on the server starts with what a new file ends its first
// start with: the seed rows, the accounts the postings need, the mark that
// there is no past to post and the currencies' minor units.
bool PgSchema::seedRows(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    const auto failed = [&] {
        if (error)
            *error = query.lastError();
        return false;
    };
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM users")) || !query.next())
        return failed();
    const bool empty = query.value(0).toLongLong() == 0;
    query.finish();
    if (empty && !Schema::writeSeedRows(db, error))
        return false;
    if (!Schema::addPostingAccounts(query, error))
        return false;
    if (!query.prepare(QStringLiteral(
            "INSERT INTO settings (key, value) SELECT ?, CASE WHEN EXISTS (SELECT 1 FROM "
            "invoices) OR EXISTS (SELECT 1 FROM payments) OR EXISTS (SELECT 1 FROM expenses) "
            "OR EXISTS (SELECT 1 FROM cheques) OR EXISTS (SELECT 1 FROM units) THEN 'pending' "
            "ELSE 'done' END WHERE NOT EXISTS (SELECT 1 FROM settings WHERE key = ?)")))
        return failed();
    query.addBindValue(Schema::ledgerHistoryKey());
    query.addBindValue(Schema::ledgerHistoryKey());
    if (!query.exec() || !query.exec(Schema::threeDecimalCurrenciesSql()))
        return failed();
    return true;
}
