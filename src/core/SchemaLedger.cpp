#include "core/Schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

bool failed(const QSqlQuery& query, QSqlError* error)
{
    if (error)
        *error = query.lastError();
    return false;
}

} // namespace

const QString& Schema::ledgerHistoryKey()
{
    static const QString key = QStringLiteral("ledger_history_posted");
    return key;
}

bool Schema::migrateLedger(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    // Every entry is kept in the currency of the event it records. Entries
    // written before the column existed were typed in the primary currency.
    if (!query.exec(QStringLiteral("ALTER TABLE journal_entries ADD COLUMN currency_id INTEGER "
                                   "REFERENCES currencies(id)")) &&
        !query.lastError().databaseText().contains(QLatin1String("duplicate column name")))
        return failed(query, error);
    const QString statements[] = {
        QStringLiteral("UPDATE journal_entries SET currency_id=(SELECT id FROM currencies "
                       "ORDER BY is_primary DESC, id LIMIT 1) WHERE currency_id IS NULL"),
        // Postings are found by the event they record.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_journal_reference ON "
                       "journal_entries(reference_type, reference_id)"),
        // The first day each currency is used on (the rates the settings
        // page asks for) is read from the front of the index.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_journal_currency_date ON "
                       "journal_entries(currency_id, entry_date)"),
    };
    for (const QString& statement : statements) {
        if (!query.exec(statement))
            return failed(query, error);
    }

    if (!addPostingAccounts(query, error))
        return false;

    // The mark that the postings of past events have been written. A file
    // without it gains them once (see LedgerHistory); a file without any
    // event yet (a new one) has nothing to catch up on.
    if (!query.prepare(QStringLiteral(
            "INSERT OR IGNORE INTO settings (key, value) SELECT ?, CASE WHEN EXISTS (SELECT 1 "
            "FROM invoices) OR EXISTS (SELECT 1 FROM payments) OR EXISTS (SELECT 1 FROM "
            "expenses) OR EXISTS (SELECT 1 FROM cheques) OR EXISTS (SELECT 1 FROM units) THEN "
            "'pending' ELSE 'done' END")))
        return failed(query, error);
    query.addBindValue(ledgerHistoryKey());
    if (!query.exec())
        return failed(query, error);
    return true;
}

bool Schema::addPostingAccounts(QSqlQuery& query, QSqlError* error)
{
    // Existing codes and ids stay; a code already present (added by hand)
    // is left as it is.
    struct Account
    {
        const char* code;
        const char* name;
        const char* type;
        const char* parentCode;
    };
    const Account accounts[] = {
        {"1110", "البنك", "asset", "1100"},
        {"1300", "شيكات برسم التحصيل", "asset", "1000"},
        {"2200", "شيكات صادرة", "liability", "2000"},
    };
    if (!query.prepare(QStringLiteral(
            "INSERT INTO accounts (code, name_ar, type, parent_id, is_system) SELECT ?, ?, ?, "
            "(SELECT id FROM accounts WHERE code=?), 1 WHERE NOT EXISTS (SELECT 1 FROM accounts "
            "WHERE code=?)")))
        return failed(query, error);
    for (const Account& a : accounts) {
        const QString code = QString::fromUtf8(a.code);
        query.addBindValue(code);
        query.addBindValue(QString::fromUtf8(a.name));
        query.addBindValue(QString::fromUtf8(a.type));
        query.addBindValue(QString::fromUtf8(a.parentCode));
        query.addBindValue(code);
        if (!query.exec())
            return failed(query, error);
    }
    return true;
}
