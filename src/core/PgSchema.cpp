#include "core/PgSchema.h"

#include "core/ChangeFeed.h"
#include "core/LedgerDayBalance.h"
#include "core/LedgerTotals.h"
#include "core/ListTotals.h"
#include "core/Schema.h"
#include "core/SqlDialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace {

using Engine = DatabaseSettings::Engine;

QStringList tables()
{
    QStringList statements;
    for (QString statement : PgSchema::tableStatements()) {
        statement.replace(QStringLiteral("%NOW%"), SqlDialect::now(Engine::PostgreSQL));
        statement.replace(QStringLiteral("%TODAY%"), SqlDialect::today(Engine::PostgreSQL));
        statements << statement;
    }
    return statements;
}

// The plain indexes are written in SQL both engines read; those made by the
// SQLite file's later steps are listed here.
QStringList indexes()
{
    QStringList statements = Schema::indexStatements();
    statements << QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cheques_installment ON "
                                 "cheques(installment_id)")
               << QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cheques_payment ON "
                                 "cheques(payment_id)")
               << QStringLiteral("CREATE INDEX IF NOT EXISTS idx_journal_reference ON "
                                 "journal_entries(reference_type, reference_id)")
               << QStringLiteral("CREATE INDEX IF NOT EXISTS idx_journal_currency_date ON "
                                 "journal_entries(currency_id, entry_date)")
               << QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_owed ON "
                                 "expenses(contractor_id, id, currency_id, amount, is_owed) "
                                 "WHERE is_owed=1")
               << QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_owed_by_day ON "
                                 "expenses(contractor_id, currency_id, expense_date, amount) "
                                 "WHERE is_owed=1");
    return statements;
}

// The long lists search their text with LIKE '%...%'; trigram indexes serve
// that on the server (the database's ctype must know Arabic letters for it).
QStringList searchIndexes()
{
    QStringList statements{QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm")};
    for (const Schema::SearchIndex& index : Schema::searchIndexes()) {
        QStringList columns;
        for (const QString& column : index.columns)
            columns << column + QStringLiteral(" gin_trgm_ops");
        statements << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 USING gin (%3)")
                          .arg(index.name, index.table, columns.join(QStringLiteral(", ")));
    }
    return statements;
}

// The text the other lists search, for the trigram indexes to serve: each
// list's own columns as one index, which the server reads as one for the
// OR of their ILIKEs. Only the indexes a server of an earlier version lacks;
// the text search indexes of the long lists come first.
QStringList listSearchIndexes()
{
    QStringList statements = searchIndexes();
    const QList<QPair<QString, QString>> more = {
        {QStringLiteral("expenses_text ON expenses"),
         QStringLiteral("description gin_trgm_ops, vendor gin_trgm_ops, category gin_trgm_ops")},
        {QStringLiteral("maintenance_text ON maintenance_requests"),
         QStringLiteral("title gin_trgm_ops, description gin_trgm_ops, assigned_to gin_trgm_ops")},
        {QStringLiteral("installments_text ON installments"),
         QStringLiteral("cheque_number gin_trgm_ops, bank_name gin_trgm_ops")},
        {QStringLiteral("contracts_text ON contracts"), QStringLiteral("notes gin_trgm_ops")},
    };
    for (const auto& index : more)
        statements << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 USING gin (%2)")
                          .arg(index.first, index.second);
    return statements;
}

// The day a payment counts on, read as the file's strftime() reads it: any
// month of 01-12 has days 01-31, so "2024-02-30" is a February day there
// and must be one here too, or the month totals of the two engines differ.
// The payments the first reading left out are counted on their days now.
QStringList paymentDayStatements()
{
    return {
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION money_totals_day(d TEXT) RETURNS BIGINT LANGUAGE plpgsql "
            "IMMUTABLE AS $$ DECLARE m INT; dd INT; BEGIN "
            "IF d IS NULL OR d !~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}' THEN RETURN NULL; END IF; "
            "m := CAST(substr(d, 6, 2) AS INT); dd := CAST(substr(d, 9, 2) AS INT); "
            "IF m < 1 OR m > 12 OR dd < 1 OR dd > 31 THEN RETURN NULL; END IF; "
            "RETURN CAST(substr(d, 1, 4) || substr(d, 6, 2) || substr(d, 9, 2) AS BIGINT); "
            "END $$"),
        QStringLiteral(
            "DO $$ DECLARE p RECORD; BEGIN "
            "FOR p IN SELECT payment_date, currency_id, amount FROM payments WHERE "
            "money_totals_day(payment_date) IS NOT NULL AND "
            "(substr(payment_date, 9, 2) > '28' OR substr(payment_date, 1, 4) = '0000') LOOP "
            "BEGIN PERFORM CAST(substr(p.payment_date, 1, 10) AS date); "
            "EXCEPTION WHEN others THEN PERFORM money_totals_add('day_payments', "
            "money_totals_day(p.payment_date), p.currency_id, 1, p.amount); END; "
            "END LOOP; END $$"),
    };
}

// The lists' kept day totals, counted from the rows already stored; the
// new table announces its changes as every other does.
QStringList listTotalsStatements()
{
    return ListTotals::serverStatements() +
           QStringList{QStringLiteral("SELECT sakanova_announce_all_tables()")};
}

// What the file's indexes give it for free: SQLite keeps each row's id at
// the end of every index, the server does not.
// - An account's ledger page is read in entry order (day, then entry) from
//   either end of its days; a rent run's day holds thousands of entries,
//   and its last page is the one opened first.
// - The ledger's day totals are read by day alone: the lines of a page's
//   days, a trial balance over a range. The day of a row never changes, so
//   the totals' constant updates stay in place.
QStringList ledgerByDayStatements()
{
    return {QStringLiteral("CREATE INDEX IF NOT EXISTS journal_entries_in_order ON "
                           "journal_entries (entry_date, id)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS ledger_day_totals_by_day ON "
                           "ledger_day_totals (day)")};
}

// The cash calendar's reads of what is owed:
// - a contractor's owed bills in the order its payments settle them, read
//   from the index alone (the file's index keeps the id for free);
// - the open invoices whose balance is under half a cent, which the kept
//   open balances per due day left out until migration 23.
QStringList owedReadsStatements()
{
    return {
        QStringLiteral("CREATE INDEX IF NOT EXISTS expenses_owed_in_order ON expenses "
                       "(contractor_id, currency_id, expense_date, id, amount) WHERE is_owed=1"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS invoices_open_under_half_cent ON invoices "
                       "(due_date, currency_id, balance) WHERE (status < 'paid' OR (status > "
                       "'paid' AND status < 'void') OR status > 'void') AND balance > 0 AND "
                       "balance < 0.005")};
}

// Where the server would visit a row of the table per entry, or sort
// entries the file's indexes give in order (they keep the id for free):
// - The invoice list is read newest first, then by id among invoices
//   written in the same second: a rent run writes thousands at once, and
//   with the time alone indexed the server sorts all of them for each page.
// - A property's card sums the payments on its units' invoices and its
//   expenses from the indexes alone, instead of visiting a row of the
//   table for each invoice, payment and expense.
// - The contracts about to end are found by their end day in the index:
//   checked row by row, the server works out the last day again for each
//   active contract.
QStringList screenReadsStatements()
{
    return {QStringLiteral("CREATE INDEX IF NOT EXISTS invoices_created_in_order ON invoices "
                           "(created_at, id)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS invoices_of_unit ON invoices (unit_id, id)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS payments_of_invoice ON payments "
                           "(invoice_id) INCLUDE (amount)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS expenses_of_property ON expenses "
                           "(property_id) INCLUDE (amount)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS contracts_by_status_end ON contracts "
                           "(status, end_date)")};
}

bool fail(const QSqlQuery& query, QSqlError* error)
{
    if (error)
        *error = query.lastError();
    return false;
}

} // namespace

const QList<PgSchema::Migration>& PgSchema::migrations()
{
    static const QList<Migration> list = {
        {1, QStringLiteral("tables"), tables(), {}},
        {2, QStringLiteral("indexes"), indexes(), {}},
        {3, QStringLiteral("text search"), searchIndexes(), {}},
        {4, QStringLiteral("money totals"), PgSchema::totalsStatements(), {}},
        {5, QStringLiteral("first rows"), {}, &PgSchema::seedRows},
        {6, QStringLiteral("ledger totals"), LedgerTotals::serverStatements(), {}},
        {7, QStringLiteral("change notices"), ChangeFeed::serverStatements(), {}},
        {8, QStringLiteral("payment days as the file reads them"), paymentDayStatements(), {}},
        // The server has no skip scan: the months' billed and collected
        // sums (the dashboard's collection rate) read this year's invoices
        // by period from the index alone. The file has since made the same
        // index under the same name (a server made anew has it from step 2).
        {9,
         QStringLiteral("invoice sums by period"),
         {QStringLiteral("CREATE INDEX IF NOT EXISTS invoices_period_sums ON invoices "
                         "(period, status, currency_id, total_amount, paid_amount)")},
         {}},
        {10, QStringLiteral("list totals"), listTotalsStatements(), {}},
        {11, QStringLiteral("list search indexes"), listSearchIndexes(), {}},
        // The report pages. The server reads these from the index alone
        // where it would otherwise visit a row of the table per entry: the
        // buyers' payments by unit (a few among every tenant's), this
        // range's expenses by day for every project at once, and the unit
        // of the invoice each payment in another currency was made on (the
        // property comparison).
        {12,
         QStringLiteral("report pages from the index"),
         {QStringLiteral("CREATE INDEX IF NOT EXISTS payments_buyer_sums ON payments (unit_id, "
                         "payment_date) INCLUDE (currency_id, amount, notes) WHERE buyer_id IS "
                         "NOT NULL"),
          QStringLiteral("CREATE INDEX IF NOT EXISTS expenses_day_sums ON expenses (expense_date) "
                         "INCLUDE (property_id, currency_id, amount)"),
          QStringLiteral("CREATE INDEX IF NOT EXISTS invoices_unit_of ON invoices (id) INCLUDE "
                         "(unit_id)")},
         {}},
        {13, QStringLiteral("ledger reads by day"), ledgerByDayStatements(), {}},
        {15, QStringLiteral("owed money by due day"), owedReadsStatements(), {}},
        {16,
         QStringLiteral("expense list totals"),
         ListTotals::serverStatements(ListTotals::kExpenses),
         {}},
        // A tenant's payments are counted and summed from the index alone
        // (a few hundred rows, each on its own table page, took a parallel
        // plan on a large office), and the journal of one kind of event is
        // walked newest first. The file needs no such tenant index (its
        // rows are read in one go), so it is not named idx_.
        {17,
         QStringLiteral("filtered payment and journal lists"),
         {QStringLiteral("CREATE INDEX IF NOT EXISTS payments_tenant_sums ON payments "
                         "(tenant_id, payment_date) INCLUDE (currency_id, amount)"),
          QStringLiteral("CREATE INDEX IF NOT EXISTS idx_journal_type_date ON "
                         "journal_entries(reference_type, entry_date)"),
          QStringLiteral("ANALYZE payments"), QStringLiteral("ANALYZE journal_entries")},
         {}},
        {18,
         QStringLiteral("screens read in order and from the index"),
         screenReadsStatements(),
         {}},
        {19,
         QStringLiteral("payments per property and day"),
         PgSchema::propertyDayStatements(),
         {}},
        // The journal's entries kept per kind as well, so the journal of
        // one kind is counted from its days.
        {20,
         QStringLiteral("journal list totals"),
         ListTotals::serverStatementsAnew(ListTotals::kJournal) +
             QStringList{QStringLiteral("ANALYZE list_totals")},
         {}},
        // A search for a family name finds the payments of hundreds of
        // tenants: with the row id beside the summed columns the found rows
        // are read from the index alone. It serves the tenant's filter as
        // the index it replaces did, and bears the file's name for it.
        {21,
         QStringLiteral("payments list search from the index"),
         {QStringLiteral("CREATE INDEX IF NOT EXISTS idx_payments_tenant_sums ON payments "
                         "(tenant_id, payment_date) INCLUDE (currency_id, amount, id)"),
          QStringLiteral("DROP INDEX IF EXISTS payments_tenant_sums"),
          QStringLiteral("ANALYZE payments")},
         {}},
        // An invoice owing a few fils of a dinar is open like any other: the
        // kept open balances count it now, so the calendar's own read of
        // the balances under half a cent and its index are no longer needed.
        {23,
         QStringLiteral("open invoices owing from half a mill"),
         ListTotals::serverStatementsAnew(ListTotals::kOpenInvoices) +
             QStringList{QStringLiteral("DROP INDEX IF EXISTS invoices_open_under_half_cent")},
         {}},
        // The cheques page's boxes, per type and status, from a few kept
        // rows rather than a sum over every cheque.
        {25,
         QStringLiteral("cheque register list totals"),
         ListTotals::serverStatements(ListTotals::kChequeRegister) +
             QStringList{QStringLiteral("ANALYZE list_totals")},
         {}},
        // A rent run writes thousands of invoices in one second: the
        // invoices of one status, newest first, are read in the order of
        // this index to the screen's last row, where (status, created_at)
        // left every invoice of that second to be joined and sorted by id.
        // The file's index holds the row id already.
        {26,
         QStringLiteral("invoices of one status in order"),
         {QStringLiteral("CREATE INDEX IF NOT EXISTS invoices_status_in_order ON invoices "
                         "(status, created_at, id)"),
          QStringLiteral("ANALYZE invoices")},
         {}},
        {27,
         QStringLiteral("audit list count"),
         ListTotals::serverStatements(ListTotals::kAudit) +
             QStringList{QStringLiteral("ANALYZE list_totals")},
         {}},
        {28,
         QStringLiteral("list totals counted once per statement"),
         ListTotals::serverStatementTriggers(),
         {}},
        // Each instalment of a sale looked its unit's cost centre up by
        // reading every centre: 0.14 ms a time on a large office.
        {29,
         QStringLiteral("cost centres by unit and property"),
         {QStringLiteral(
              "CREATE INDEX IF NOT EXISTS idx_cost_centers_unit ON cost_centers(unit_id)"),
          QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cost_centers_property ON "
                         "cost_centers(property_id)"),
          QStringLiteral("ANALYZE cost_centers")},
         {}},
        // The reconciliation's days out of balance, a look-up in the few
        // kept rows that are rather than a grouped pass over every
        // account's day (30 ms on a large office). The batch postings count
        // their day totals once, so a rent run changes each day's row once
        // per account. The new table announces its changes as every other
        // does.
        {30,
         QStringLiteral("ledger balance per day"),
         LedgerDayBalance::serverStatements() +
             QStringList{QStringLiteral("SELECT sakanova_announce_all_tables()")},
         {}},
    };
    return list;
}

int PgSchema::currentVersion(QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT to_regclass('schema_migrations') IS NOT NULL")) ||
        !query.next())
        return -1;
    if (!query.value(0).toBool())
        return 0;
    if (!query.exec(QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_migrations")) ||
        !query.next())
        return -1;
    return query.value(0).toInt();
}

bool PgSchema::bringUpToDate(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    const auto rollBack = [&] {
        const bool failed = fail(query, error);
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return failed;
    };
    // Another desk starting at the same moment waits on the lock and then
    // finds the migrations done.
    if (!query.exec(QStringLiteral("BEGIN")))
        return fail(query, error);
    query.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
    query.addBindValue(kWriteLock);
    if (!query.exec() ||
        !query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_migrations ("
                                   "version BIGINT PRIMARY KEY, "
                                   "description TEXT NOT NULL, "
                                   "applied_at TEXT NOT NULL DEFAULT ") +
                    SqlDialect::now(Engine::PostgreSQL) + QStringLiteral(")")) ||
        !query.exec(QStringLiteral("COMMIT")))
        return rollBack();

    for (const Migration& migration : migrations()) {
        if (!query.exec(QStringLiteral("BEGIN")))
            return fail(query, error);
        query.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(?), EXISTS (SELECT 1 FROM "
                                     "schema_migrations WHERE version=?)"));
        query.addBindValue(kWriteLock);
        query.addBindValue(migration.version);
        if (!query.exec() || !query.next())
            return rollBack();
        const bool done = query.value(1).toBool();
        query.finish();
        if (!done) {
            for (const QString& statement : migration.statements) {
                if (!query.exec(statement))
                    return rollBack();
            }
            if (migration.step && !migration.step(db, error)) {
                QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
                return false;
            }
            query.prepare(QStringLiteral(
                "INSERT INTO schema_migrations (version, description) VALUES (?, ?)"));
            query.addBindValue(migration.version);
            query.addBindValue(migration.description);
            if (!query.exec())
                return rollBack();
        }
        if (!query.exec(QStringLiteral("COMMIT")))
            return rollBack();
    }
    // An office whose users were all removed gets its first administrator
    // back at the next start, as a file does, or no one could sign in again.
    if (!query.exec(QStringLiteral("BEGIN")))
        return fail(query, error);
    query.prepare(
        QStringLiteral("SELECT pg_advisory_xact_lock(?), NOT EXISTS (SELECT 1 FROM users)"));
    query.addBindValue(kWriteLock);
    if (!query.exec() || !query.next())
        return rollBack();
    const bool noUsers = query.value(1).toBool();
    query.finish();
    if (noUsers && !seedRows(db, error)) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    if (!query.exec(QStringLiteral("COMMIT")))
        return rollBack();
    return true;
}
