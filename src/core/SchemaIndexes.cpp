#include "core/Schema.h"

#include "core/SchemaStep.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <utility>

using SchemaStep::fail;
using SchemaStep::insideTransaction;

// Indexes, and the trigram text indexes of the long lists.
const QStringList& Schema::indexStatements()
{
    static const QStringList statements = {
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_units_property ON units(property_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_units_status ON units(status)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_contracts_unit ON contracts(unit_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_contracts_tenant ON contracts(tenant_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_contracts_status ON contracts(status)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_invoices_tenant ON invoices(tenant_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_invoices_status ON invoices(status)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_payments_invoice ON payments(invoice_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_payments_tenant ON payments(tenant_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_payments_buyer ON payments(buyer_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_payments_unit ON payments(unit_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_payments_date ON payments(payment_date)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_property ON expenses(property_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cheques_status ON cheques(status)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_maintenance_status ON maintenance_requests(status)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_journal_date ON journal_entries(entry_date)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_installments_buyer ON installments(buyer_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_installments_due ON installments(due_date)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_installments_status ON installments(status)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_exchange_date ON exchange_rates(date)"),
        // A sale, an expense and a unit's removal find the unit's cost centre.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cost_centers_unit ON cost_centers(unit_id)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_cost_centers_property ON cost_centers(property_id)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_expenses_contractor ON expenses(contractor_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_date ON expenses(expense_date)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cheques_due ON cheques(due_date)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cheques_type ON cheques(type)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_invoices_period ON invoices(tenant_id, period)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_units_buyer ON units(buyer_id)"),
        // What the long lists, statements and the rent run filter and sort on.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_contracts_tenant_status ON "
                       "contracts(tenant_id, status)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_contracts_created ON contracts(created_at)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_invoice_items_invoice ON "
                       "invoice_items(invoice_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_invoices_created ON invoices(created_at)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_invoices_unit ON invoices(unit_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_audit_created ON audit_logs(created_at)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_payments_tenant_date ON payments(tenant_id, "
                       "payment_date)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_maintenance_created ON "
                       "maintenance_requests(created_at)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_maintenance_unit ON maintenance_requests(unit_id)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_journal_lines_entry ON journal_lines(entry_id)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_journal_lines_account ON journal_lines(account_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_usage_period ON usage_records(period)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_units_property_status ON units(property_id, status)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_installments_unit ON installments(unit_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cheques_tenant ON cheques(tenant_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cheques_buyer ON cheques(buyer_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_unit ON expenses(unit_id)"),
        // A list filtered on its usual key and read in its default order.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_invoices_status_created ON "
                       "invoices(status, created_at)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_cheques_status_due ON cheques(status, due_date)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_maintenance_status_created ON "
                       "maintenance_requests(status, created_at)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_property_date ON "
                       "expenses(property_id, expense_date)"),
        // Narrow copies of the columns the reports add up, so a sum reads the
        // index instead of the wide rows. Each keeps the row order of the
        // read it serves (stored order, date then id, status then id): money
        // is summed as doubles, and a different order could move a total in
        // its last digit.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_payments_sums ON payments(id, invoice_id, "
                       "amount, currency_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_payments_date_sums ON "
                       "payments(payment_date, id, amount, currency_id)"),
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS idx_invoices_status_sums ON invoices(status, id, "
            "balance, currency_id, due_date)"),
        // The audit list's search for a user name looks rows up by user.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_audit_user ON audit_logs(user_id)"),
        // Only the invoices still open, a small part of a long history: what
        // tenants owe is summed from these, per currency in id order.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_invoices_open ON invoices(currency_id, id, "
                       "balance, status) WHERE balance<>0 AND COALESCE(status,'')<>'void'"),
        // The property comparison reads the money kept in currencies other
        // than the primary one day by day, to convert each day at its rate.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_payments_currency_day ON "
                       "payments(currency_id, payment_date, invoice_id, amount)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_currency_day ON "
                       "expenses(currency_id, expense_date, property_id, amount)"),
        // The journal shown for one kind of event (expenses, say) walks that
        // kind's entries newest first and stops at the end of the screen,
        // instead of sorting every entry of the kind.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_journal_type_date ON "
                       "journal_entries(reference_type, entry_date)"),
        // The invoices still owed, by due day: the alerts read the first few
        // overdue ones and count them, the figures add up what is open. A
        // query uses it when its WHERE holds this very condition.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_invoices_open_due ON invoices(due_date, "
                       "currency_id, balance, created_at, tenant_id) WHERE status < 'paid' OR "
                       "(status > 'paid' AND status < 'void') OR status > 'void'"),
        // What the cheques and expenses pages add up when they open: the
        // register's totals by type, status and currency, the expenses' by
        // currency, and the categories in use.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cheques_totals ON cheques(type, status, "
                       "currency_id, due_date, amount)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_currency_sums ON "
                       "expenses(currency_id, amount)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_expenses_category ON expenses(category)"),
        // A tenant's payments with the columns the payments list adds up: a
        // search for a family name finds the payments of hundreds of tenants,
        // counted and summed from this index without visiting the table.
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_payments_tenant_sums ON "
                       "payments(tenant_id, payment_date, currency_id, amount)"),
        // This month's billed and collected sums (the dashboard's collection
        // rate) read from the index alone: through the tenant and period
        // index a large office's month took every invoice's row, 15 ms. The
        // server has had it under this name since its migration 9.
        QStringLiteral("CREATE INDEX IF NOT EXISTS invoices_period_sums ON invoices (period, "
                       "status, currency_id, total_amount, paid_amount)"),
    };
    return statements;
}

const QList<Schema::SearchIndex>& Schema::searchIndexes()
{
    static const QList<SearchIndex> indexes = {
        {QStringLiteral("invoices_search"),
         QStringLiteral("invoices"),
         {QStringLiteral("invoice_number"), QStringLiteral("period")}},
        {QStringLiteral("payments_search"),
         QStringLiteral("payments"),
         {QStringLiteral("reference"), QStringLiteral("notes")}},
        {QStringLiteral("journal_search"),
         QStringLiteral("journal_entries"),
         {QStringLiteral("description"), QStringLiteral("reference_type"),
          QStringLiteral("reference")}},
        {QStringLiteral("audit_logs_search"),
         QStringLiteral("audit_logs"),
         {QStringLiteral("action"), QStringLiteral("table_name"), QStringLiteral("details")}},
        // A bank's name is on most cheques: a search for it counts
        // thousands of rows, which the index finds without reading the rest.
        {QStringLiteral("cheques_search"),
         QStringLiteral("cheques"),
         {QStringLiteral("cheque_number"), QStringLiteral("bank_name"),
          QStringLiteral("payer_name"), QStringLiteral("payee_name")}},
    };
    return indexes;
}

QString Schema::searchIndexMark(const QString& indexName)
{
    return QStringLiteral("(SELECT indexed_to FROM search_index_marks WHERE index_name = '%1')")
        .arg(indexName);
}

QStringList Schema::searchIndexStatements(const SearchIndex& index)
{
    const QString columns = index.columns.join(QStringLiteral(", "));
    const QString mark = searchIndexMark(index.name);
    const auto values = [&index](const QString& row) {
        QStringList list{row + QStringLiteral(".id")};
        for (const QString& column : index.columns)
            list << row + QLatin1Char('.') + column;
        return list.join(QStringLiteral(", "));
    };
    const QString addNew = QStringLiteral("INSERT INTO %1(rowid, %2) VALUES (%3); ")
                               .arg(index.name, columns, values(QStringLiteral("new")));
    // An index without its own copy of the text forgets a row by being told
    // the values it was given.
    const QString dropOld = QStringLiteral("INSERT INTO %1(%1, rowid, %2) VALUES ('delete', %3); ")
                                .arg(index.name, columns, values(QStringLiteral("old")));
    // detail='none' keeps only which rows hold a run of three letters, not
    // where: about a quarter of the size, and the rows found are checked
    // with LIKE anyway.
    return {
        QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS %1 USING fts5(%2, content='%3', "
                       "content_rowid='id', tokenize='trigram', detail='none', columnsize=0)")
            .arg(index.name, columns, index.table),
        QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_insert AFTER INSERT ON %2 WHEN new.id <= ")
                .arg(index.name, index.table) +
            mark + QStringLiteral(" BEGIN ") + addNew + QStringLiteral("END"),
        QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_delete AFTER DELETE ON %2 WHEN old.id <= ")
                .arg(index.name, index.table) +
            mark + QStringLiteral(" BEGIN ") + dropOld + QStringLiteral("END"),
        // Only writes to the indexed columns touch the index; a payment that
        // changes an invoice's balance does not.
        QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_update AFTER UPDATE OF %3 ON %2 WHEN "
                       "old.id <= ")
                .arg(index.name, index.table, columns) +
            mark + QStringLiteral(" BEGIN ") + dropOld + addNew + QStringLiteral("END"),
    };
}

bool Schema::createIndexes(QSqlDatabase& db, QSqlError* error)
{
    // An older file may lack a column that an index names; the index is only
    // a speed-up and is left out. Any other failure stops the step.
    QSqlQuery query(db);
    for (const QString& statement : indexStatements()) {
        if (!query.exec(statement) &&
            !query.lastError().databaseText().startsWith(QLatin1String("no such column")))
            return fail(query, error);
    }
    // Without statistics the planner can pick a poor index on a large file
    // (a status index instead of tenant and status, say). When a file of some
    // size has an index without statistics, as after an upgrade, it gets a
    // sampled ANALYZE: a few hundred rows per index, milliseconds even on a
    // large office. Small files do well without and skip the write.
    const bool large = query.exec(QStringLiteral("PRAGMA page_count")) && query.next() &&
                       query.value(0).toLongLong() > 2000;
    query.finish();
    bool unmeasured = false;
    if (large) {
        query.exec(QStringLiteral("PRAGMA analysis_limit=400"));
        unmeasured =
            !query.exec(QStringLiteral(
                "SELECT 1 FROM sqlite_master m WHERE m.type='index' AND m.name LIKE 'idx_%' AND "
                "NOT EXISTS (SELECT 1 FROM sqlite_stat1 s WHERE s.idx=m.name) LIMIT 1")) ||
            query.next();
        query.finish();
    }
    if (unmeasured)
        query.exec(QStringLiteral("ANALYZE"));
    // Statistics only guide the planner; a file that cannot take them still
    // works, so their failures do not stop the start.
    query.exec(QStringLiteral("PRAGMA optimize"));
    return true;
}

bool Schema::createSearchIndexes(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS search_index_marks ("
                                   "index_name TEXT PRIMARY KEY, "
                                   "indexed_to INTEGER NOT NULL)")))
        return fail(query, error);
    for (const SearchIndex& index : searchIndexes()) {
        query.prepare(QStringLiteral("SELECT (SELECT COUNT(*) FROM sqlite_master WHERE name = ?), "
                                     "(SELECT COUNT(*) FROM search_index_marks WHERE "
                                     "index_name = ?)"));
        query.addBindValue(index.name);
        query.addBindValue(index.name);
        if (!query.exec() || !query.next())
            return fail(query, error);
        const bool ready = query.value(0).toInt() > 0 && query.value(1).toInt() > 0;
        query.finish();
        if (ready)
            continue;
        // A file whose table lacks a column keeps scanning that table: a
        // trigger naming a missing column would fail every write to it.
        query.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?)"));
        query.addBindValue(index.table);
        if (!query.exec())
            return fail(query, error);
        QStringList present;
        while (query.next())
            present << query.value(0).toString();
        query.finish();
        if (!std::all_of(index.columns.cbegin(), index.columns.cend(),
                         [&present](const QString& column) { return present.contains(column); }) ||
            !present.contains(QLatin1String("id")))
            continue;

        // A new index starts empty with its mark at 0; the catch-up below
        // then fills it from every row.
        if (!db.transaction()) {
            if (error)
                *error = db.lastError();
            return false;
        }
        QStringList statements = searchIndexStatements(index);
        statements << QStringLiteral("INSERT INTO %1(%1) VALUES ('delete-all')").arg(index.name)
                   << QStringLiteral("INSERT OR REPLACE INTO search_index_marks (index_name, "
                                     "indexed_to) VALUES ('%1', 0)")
                          .arg(index.name);
        bool ok = true;
        for (const QString& statement : std::as_const(statements)) {
            if (!query.exec(statement)) {
                ok = false;
                break;
            }
        }
        if (ok && db.commit())
            continue;
        const QSqlError failed = ok ? db.lastError() : query.lastError();
        query.finish();
        db.rollback();
        // Without FTS5 in the library the lists search by scanning; anything
        // else (a full disk) stops the start like any other schema step.
        if (failed.databaseText().startsWith(QLatin1String("no such module")))
            continue;
        if (error)
            *error = failed;
        return false;
    }
    return catchUpSearchIndexes(db, error);
}

bool Schema::catchUpSearchIndexes(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    for (const SearchIndex& index : searchIndexes()) {
        const QString mark = searchIndexMark(index.name);
        query.prepare(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = ?"));
        query.addBindValue(index.name);
        if (!query.exec() || !query.next())
            return fail(query, error);
        const bool exists = query.value(0).toInt() > 0;
        query.finish();
        if (!exists || !query.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1 WHERE id > %2)")
                                       .arg(index.table, mark)))
            continue;
        const bool behind = query.next() && query.value(0).toBool();
        query.finish();
        if (!behind)
            continue;

        const QString columns = index.columns.join(QStringLiteral(", "));
        // Outside a transaction the catch-up takes the write lock before it
        // reads, so two programs opening the file at once wait for each other
        // instead of one failing on a stale read. A writer already inside a
        // transaction (the generator) nests a savepoint. A mark never goes
        // back, so a row id at or below it always means an indexed row.
        const bool nested = insideTransaction(db);
        if (!query.exec(nested ? QStringLiteral("SAVEPOINT search_catch_up")
                               : QStringLiteral("BEGIN IMMEDIATE")))
            return fail(query, error);
        const bool ok =
            query.exec(
                QStringLiteral("INSERT INTO %1(rowid, %2) SELECT id, %2 FROM %3 WHERE id > %4")
                    .arg(index.name, columns, index.table, mark)) &&
            query.exec(QStringLiteral("UPDATE search_index_marks SET indexed_to = MAX(indexed_to, "
                                      "(SELECT MAX(id) FROM %1)) WHERE index_name = '%2'")
                           .arg(index.table, index.name));
        const QSqlError failed = query.lastError();
        if (ok && query.exec(nested ? QStringLiteral("RELEASE search_catch_up")
                                    : QStringLiteral("COMMIT")))
            continue;
        const QSqlError released = query.lastError();
        if (nested) {
            query.exec(QStringLiteral("ROLLBACK TO search_catch_up"));
            query.exec(QStringLiteral("RELEASE search_catch_up"));
        } else {
            query.exec(QStringLiteral("ROLLBACK"));
        }
        if (error)
            *error = ok ? released : failed;
        return false;
    }
    return true;
}
