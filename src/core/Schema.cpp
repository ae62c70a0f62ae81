#include "core/Schema.h"

#include "core/PasswordHash.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <utility>

const QStringList& Schema::tableStatements()
{
    static const QStringList statements = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS audit_logs ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "user_id INTEGER, "
                       "action TEXT NOT NULL, "
                       "table_name TEXT, "
                       "record_id INTEGER, "
                       "details TEXT, "
                       "created_at TEXT DEFAULT (datetime('now')))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS users ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "username TEXT UNIQUE NOT NULL, "
                       "password_hash TEXT NOT NULL, "
                       "full_name TEXT, "
                       "role TEXT DEFAULT 'user', "
                       "active INTEGER DEFAULT 1, "
                       "created_at TEXT DEFAULT (datetime('now')))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS currencies ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "code TEXT UNIQUE NOT NULL, "
                       "name_ar TEXT NOT NULL, "
                       "symbol TEXT NOT NULL, "
                       "is_primary INTEGER DEFAULT 0, "
                       "created_at TEXT DEFAULT (datetime('now')))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS exchange_rates ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "from_currency_id INTEGER NOT NULL, "
                       "to_currency_id INTEGER NOT NULL, "
                       "rate REAL NOT NULL, "
                       "date TEXT NOT NULL, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "FOREIGN KEY (from_currency_id) REFERENCES currencies(id), "
                       "FOREIGN KEY (to_currency_id) REFERENCES currencies(id), "
                       "UNIQUE(from_currency_id, to_currency_id, date))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS properties ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "name TEXT NOT NULL, "
                       "type TEXT NOT NULL DEFAULT 'residential', "
                       "address TEXT, "
                       "city TEXT, "
                       "description TEXT, "
                       "total_units INTEGER DEFAULT 0, "
                       "status TEXT DEFAULT 'active', "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "updated_at TEXT DEFAULT (datetime('now')))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS units ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "property_id INTEGER NOT NULL, "
                       "unit_number TEXT NOT NULL, "
                       "floor INTEGER, "
                       "area REAL, "
                       "rooms INTEGER, "
                       "rent_monthly REAL DEFAULT 0, "
                       "rent_yearly REAL DEFAULT 0, "
                       "sale_price REAL DEFAULT 0, "
                       "status TEXT DEFAULT 'available', "
                       "buyer_id INTEGER, "
                       "sale_price_actual REAL, "
                       "sale_date TEXT, "
                       "currency_id INTEGER, "
                       "description TEXT, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "FOREIGN KEY (property_id) REFERENCES properties(id), "
                       "FOREIGN KEY (buyer_id) REFERENCES buyers(id), "
                       "FOREIGN KEY (currency_id) REFERENCES currencies(id), "
                       "UNIQUE(property_id, unit_number))"),
        QStringLiteral("ALTER TABLE units ADD COLUMN buyer_id INTEGER"),
        QStringLiteral("ALTER TABLE units ADD COLUMN sale_price_actual REAL"),
        QStringLiteral("ALTER TABLE units ADD COLUMN sale_date TEXT"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS tenants ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "full_name TEXT NOT NULL, "
                       "id_number TEXT UNIQUE, "
                       "phone TEXT, "
                       "email TEXT, "
                       "address TEXT, "
                       "notes TEXT, "
                       "balance REAL DEFAULT 0, "
                       "created_at TEXT DEFAULT (datetime('now')))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS buyers ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "full_name TEXT NOT NULL, "
                       "id_number TEXT UNIQUE, "
                       "phone TEXT, "
                       "email TEXT, "
                       "address TEXT, "
                       "notes TEXT, "
                       "balance REAL DEFAULT 0, "
                       "created_at TEXT DEFAULT (datetime('now')))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS contracts ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "unit_id INTEGER NOT NULL, "
                       "tenant_id INTEGER NOT NULL, "
                       "start_date TEXT NOT NULL, "
                       "end_date TEXT NOT NULL, "
                       "rent_amount REAL NOT NULL, "
                       "payment_frequency TEXT DEFAULT 'monthly', "
                       "deposit REAL DEFAULT 0, "
                       "status TEXT DEFAULT 'active', "
                       "notes TEXT, "
                       "currency_id INTEGER, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "FOREIGN KEY (unit_id) REFERENCES units(id), "
                       "FOREIGN KEY (tenant_id) REFERENCES tenants(id), "
                       "FOREIGN KEY (currency_id) REFERENCES currencies(id))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS services ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "name TEXT NOT NULL, "
                       "type TEXT DEFAULT 'fixed', "
                       "rate REAL DEFAULT 0, "
                       "unit_of_measure TEXT, "
                       "description TEXT)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS usage_records ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "unit_id INTEGER NOT NULL, "
                       "service_id INTEGER NOT NULL, "
                       "period TEXT NOT NULL, "
                       "previous_reading REAL DEFAULT 0, "
                       "current_reading REAL DEFAULT 0, "
                       "consumption REAL DEFAULT 0, "
                       "cost REAL DEFAULT 0, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "FOREIGN KEY (unit_id) REFERENCES units(id), "
                       "FOREIGN KEY (service_id) REFERENCES services(id), "
                       "UNIQUE(unit_id, service_id, period))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS invoices ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "invoice_number TEXT UNIQUE NOT NULL, "
                       "tenant_id INTEGER, "
                       "unit_id INTEGER, "
                       "contract_id INTEGER, "
                       "period TEXT, "
                       "total_amount REAL DEFAULT 0, "
                       "paid_amount REAL DEFAULT 0, "
                       "balance REAL DEFAULT 0, "
                       "status TEXT DEFAULT 'pending', "
                       "currency_id INTEGER, "
                       "due_date TEXT, "
                       "notes TEXT, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "FOREIGN KEY (tenant_id) REFERENCES tenants(id), "
                       "FOREIGN KEY (unit_id) REFERENCES units(id), "
                       "FOREIGN KEY (contract_id) REFERENCES contracts(id), "
                       "FOREIGN KEY (currency_id) REFERENCES currencies(id))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS invoice_items ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "invoice_id INTEGER NOT NULL, "
                       "description TEXT NOT NULL, "
                       "type TEXT DEFAULT 'rent', "
                       "quantity REAL DEFAULT 1, "
                       "unit_price REAL DEFAULT 0, "
                       "total REAL DEFAULT 0, "
                       "FOREIGN KEY (invoice_id) REFERENCES invoices(id))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS payments ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "invoice_id INTEGER, "
                       "tenant_id INTEGER, "
                       "buyer_id INTEGER, "
                       "unit_id INTEGER, "
                       "amount REAL NOT NULL, "
                       "payment_method TEXT DEFAULT 'cash', "
                       "payment_date TEXT NOT NULL, "
                       "reference TEXT, "
                       "currency_id INTEGER, "
                       "cost_center_id INTEGER, "
                       "notes TEXT, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "FOREIGN KEY (invoice_id) REFERENCES invoices(id), "
                       "FOREIGN KEY (tenant_id) REFERENCES tenants(id), "
                       "FOREIGN KEY (buyer_id) REFERENCES buyers(id), "
                       "FOREIGN KEY (unit_id) REFERENCES units(id), "
                       "FOREIGN KEY (currency_id) REFERENCES currencies(id), "
                       "FOREIGN KEY (cost_center_id) REFERENCES cost_centers(id))"),
        QStringLiteral("ALTER TABLE payments ADD COLUMN buyer_id INTEGER"),
        QStringLiteral("ALTER TABLE payments ADD COLUMN unit_id INTEGER"),
        QStringLiteral("ALTER TABLE payments ADD COLUMN cost_center_id INTEGER"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS installments ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "buyer_id INTEGER NOT NULL, "
                       "unit_id INTEGER NOT NULL, "
                       "total_price REAL NOT NULL, "
                       "down_payment REAL DEFAULT 0, "
                       "installment_amount REAL NOT NULL, "
                       "due_date TEXT NOT NULL, "
                       "paid_amount REAL DEFAULT 0, "
                       "status TEXT DEFAULT 'pending', "
                       "cheque_number TEXT, "
                       "bank_name TEXT, "
                       "currency_id INTEGER, "
                       "notes TEXT, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "FOREIGN KEY (buyer_id) REFERENCES buyers(id), "
                       "FOREIGN KEY (unit_id) REFERENCES units(id), "
                       "FOREIGN KEY (currency_id) REFERENCES currencies(id))"),
        QStringLiteral("ALTER TABLE installments ADD COLUMN cheque_number TEXT"),
        QStringLiteral("ALTER TABLE installments ADD COLUMN bank_name TEXT"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS cheques ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "cheque_number TEXT NOT NULL, "
                       "type TEXT DEFAULT 'received', "
                       "amount REAL NOT NULL, "
                       "bank_name TEXT, "
                       "issue_date TEXT, "
                       "due_date TEXT, "
                       "payer_name TEXT, "
                       "payee_name TEXT, "
                       "status TEXT DEFAULT 'pending', "
                       "tenant_id INTEGER, "
                       "buyer_id INTEGER, "
                       "currency_id INTEGER, "
                       "notes TEXT, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "FOREIGN KEY (tenant_id) REFERENCES tenants(id), "
                       "FOREIGN KEY (buyer_id) REFERENCES buyers(id), "
                       "FOREIGN KEY (currency_id) REFERENCES currencies(id))"),
        QStringLiteral("ALTER TABLE cheques ADD COLUMN buyer_id INTEGER"),
        QStringLiteral("ALTER TABLE cheques ADD COLUMN tenant_id INTEGER"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS expenses ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "property_id INTEGER, "
                       "unit_id INTEGER, "
                       "category TEXT NOT NULL, "
                       "description TEXT, "
                       "amount REAL NOT NULL, "
                       "expense_date TEXT NOT NULL, "
                       "vendor TEXT, "
                       "maintenance_id INTEGER, "
                       "currency_id INTEGER, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "FOREIGN KEY (property_id) REFERENCES properties(id), "
                       "FOREIGN KEY (unit_id) REFERENCES units(id), "
                       "FOREIGN KEY (currency_id) REFERENCES currencies(id))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS maintenance_requests ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "unit_id INTEGER NOT NULL, "
                       "property_id INTEGER, "
                       "title TEXT NOT NULL, "
                       "description TEXT, "
                       "priority TEXT DEFAULT 'medium', "
                       "status TEXT DEFAULT 'new', "
                       "cost REAL DEFAULT 0, "
                       "assigned_to TEXT, "
                       "request_date TEXT DEFAULT (date('now')), "
                       "completed_date TEXT, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "FOREIGN KEY (unit_id) REFERENCES units(id), "
                       "FOREIGN KEY (property_id) REFERENCES properties(id))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS accounts ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "code TEXT UNIQUE NOT NULL, "
                       "name_ar TEXT NOT NULL, "
                       "type TEXT NOT NULL, "
                       "parent_id INTEGER, "
                       "balance REAL DEFAULT 0, "
                       "is_system INTEGER DEFAULT 0, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "FOREIGN KEY (parent_id) REFERENCES accounts(id))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS journal_entries ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "entry_date TEXT NOT NULL, "
                       "description TEXT, "
                       "reference_type TEXT, "
                       "reference_id INTEGER, "
                       "created_at TEXT DEFAULT (datetime('now')))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS journal_lines ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "entry_id INTEGER NOT NULL, "
                       "account_id INTEGER NOT NULL, "
                       "debit REAL DEFAULT 0, "
                       "credit REAL DEFAULT 0, "
                       "description TEXT, "
                       "cost_center_id INTEGER, "
                       "FOREIGN KEY (entry_id) REFERENCES journal_entries(id), "
                       "FOREIGN KEY (account_id) REFERENCES accounts(id))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS cost_centers ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "name TEXT NOT NULL, "
                       "type TEXT DEFAULT 'project', "
                       "property_id INTEGER, "
                       "unit_id INTEGER, "
                       "parent_id INTEGER, "
                       "FOREIGN KEY (property_id) REFERENCES properties(id), "
                       "FOREIGN KEY (unit_id) REFERENCES units(id), "
                       "FOREIGN KEY (parent_id) REFERENCES cost_centers(id))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS app_log ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "action TEXT NOT NULL, "
                       "details TEXT, "
                       "user_id INTEGER, "
                       "created_at TEXT DEFAULT (datetime('now')))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS settings ("
                       "key TEXT PRIMARY KEY, "
                       "value TEXT)"),
        QStringLiteral("ALTER TABLE journal_entries ADD COLUMN project_id INTEGER;"),
        QStringLiteral("ALTER TABLE journal_entries ADD COLUMN cost_center_id INTEGER;"),
        QStringLiteral("ALTER TABLE journal_entries ADD COLUMN contractor_id INTEGER;"),
        QStringLiteral("ALTER TABLE expenses ADD COLUMN project_id INTEGER;"),
        QStringLiteral("ALTER TABLE expenses ADD COLUMN contractor_id INTEGER;"),
        QStringLiteral("ALTER TABLE expenses ADD COLUMN cost_center_id INTEGER;"),
        QStringLiteral("ALTER TABLE expenses ADD COLUMN work_category TEXT;"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS contractors ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "name TEXT NOT NULL, "
                       "phone TEXT, "
                       "email TEXT, "
                       "trade TEXT, "
                       "balance REAL DEFAULT 0, "
                       "created_at TEXT DEFAULT (datetime('now')))"),
        QStringLiteral("ALTER TABLE units ADD COLUMN buyer_id INTEGER;"),
        QStringLiteral("ALTER TABLE units ADD COLUMN sale_price_actual REAL;"),
        QStringLiteral("ALTER TABLE units ADD COLUMN sale_date TEXT;"),
        // The reference a person typed for a manual journal entry (a voucher
        // or invoice number), kept beside the entry.
        QStringLiteral("ALTER TABLE journal_entries ADD COLUMN reference TEXT;"),
    };
    return statements;
}

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
        {QStringLiteral("audit_logs_search"),
         QStringLiteral("audit_logs"),
         {QStringLiteral("action"), QStringLiteral("table_name"), QStringLiteral("details")}},
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

QString Schema::defaultAdminPassword()
{
    return QStringLiteral("vexil");
}

namespace {

// Keeps the first failure of a schema step for the caller.
bool fail(const QSqlQuery& query, QSqlError* error)
{
    if (error)
        *error = query.lastError();
    return false;
}

bool insideTransaction(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    return connection && !sqlite3_get_autocommit(connection);
}

} // namespace

bool Schema::createTables(QSqlDatabase& db, QSqlError* error)
{
    // Statements that add a column which already exists fail with a
    // duplicate-column error; that is the expected outcome and is ignored.
    // Any other failure (a full disk, a read-only file) stops the step.
    QSqlQuery query(db);
    for (const QString& statement : tableStatements()) {
        if (query.exec(statement))
            continue;
        const bool addsColumn = statement.startsWith(QLatin1String("ALTER TABLE"));
        if (!addsColumn ||
            !query.lastError().databaseText().contains(QLatin1String("duplicate column name")))
            return fail(query, error);
    }
    return true;
}

bool Schema::migrateUsersTable(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    bool hasPassword = false;
    bool hasPasswordHash = false;
    if (!query.exec(QStringLiteral("PRAGMA table_info(users)")))
        return fail(query, error);
    while (query.next()) {
        const QString column = query.value(1).toString();
        hasPassword = hasPassword || column == QLatin1String("password");
        hasPasswordHash = hasPasswordHash || column == QLatin1String("password_hash");
    }
    if (!hasPasswordHash &&
        !query.exec(QStringLiteral("ALTER TABLE users ADD COLUMN password_hash TEXT")))
        return fail(query, error);
    if (hasPassword &&
        !query.exec(QStringLiteral("UPDATE users SET password_hash = password "
                                   "WHERE (password_hash IS NULL OR password_hash = '') "
                                   "AND password IS NOT NULL AND password != ''")))
        return fail(query, error);
    return true;
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

bool Schema::seedDefaultData(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM users")) || !query.next())
        return fail(query, error);
    if (query.value(0).toInt() > 0)
        return true;
    query.finish();

    // All seed rows or none: a half-seeded file would never be seeded again,
    // because the next start finds the administrator and stops here.
    if (!db.transaction()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    const auto abandon = [&]() {
        const bool failed = fail(query, error);
        query.finish();
        db.rollback();
        return failed;
    };

    const QString adminHash = PasswordHash::hash(defaultAdminPassword());
    query.prepare(QStringLiteral(
        "INSERT INTO users (username, password_hash, full_name, role) VALUES (?, ?, ?, ?)"));
    query.addBindValue(QStringLiteral("admin"));
    query.addBindValue(adminHash);
    query.addBindValue(QStringLiteral("مدير عام"));
    query.addBindValue(QStringLiteral("admin"));
    if (adminHash.isEmpty() || !query.exec())
        return abandon();

    struct Currency
    {
        const char* code;
        const char* name;
        const char* symbol;
        int primary;
    };
    const Currency currencies[] = {
        {"ILS", "شيكل", "₪", 1},
        {"USD", "دولار", "$", 0},
        {"JOD", "دينار أردني", "د.ا", 0},
    };
    // The users table alone decides seeding, so a file whose users were
    // emptied still has these rows: a row already present is kept as it is,
    // and a second currency is never made primary.
    query.prepare(QStringLiteral(
        "INSERT OR IGNORE INTO currencies (code, name_ar, symbol, is_primary) SELECT ?, ?, ?, "
        "CASE WHEN ? = 1 AND NOT EXISTS (SELECT 1 FROM currencies WHERE is_primary = 1) "
        "THEN 1 ELSE 0 END"));
    for (const Currency& c : currencies) {
        query.addBindValue(QString::fromUtf8(c.code));
        query.addBindValue(QString::fromUtf8(c.name));
        query.addBindValue(QString::fromUtf8(c.symbol));
        query.addBindValue(c.primary);
        if (!query.exec())
            return abandon();
    }

    // Sub-accounts name their parent by the id it receives in an empty table.
    struct Account
    {
        const char* code;
        const char* name;
        const char* type;
        int parentId;
    };
    const Account accounts[] = {
        {"1000", "الأصول", "asset", 0},
        {"1100", "النقدية", "asset", 1},
        {"1200", "الذمم المدينة", "asset", 1},
        {"2000", "الخصوم", "liability", 0},
        {"2100", "الذمم الدائنة", "liability", 4},
        {"3000", "حقوق الملكية", "equity", 0},
        {"4000", "الإيرادات", "revenue", 0},
        {"4100", "إيرادات الإيجار", "revenue", 7},
        {"4200", "إيرادات الخدمات", "revenue", 7},
        {"4300", "إيرادات المبيعات", "revenue", 7},
        {"5000", "المصروفات", "expense", 0},
        {"5100", "مصروفات الصيانة", "expense", 11},
        {"5200", "مصروفات تشغيلية", "expense", 11},
    };
    // A parent is found by its code, which is the same row in an empty
    // table and the right one in a file that already has accounts.
    for (const Account& a : accounts) {
        if (a.parentId == 0) {
            query.prepare(QStringLiteral("INSERT OR IGNORE INTO accounts (code, name_ar, type, "
                                         "is_system) VALUES (?, ?, ?, ?)"));
        } else {
            query.prepare(QStringLiteral(
                "INSERT OR IGNORE INTO accounts (code, name_ar, type, parent_id, is_system) "
                "VALUES (?, ?, ?, (SELECT id FROM accounts WHERE code = ?), ?)"));
        }
        query.addBindValue(QString::fromUtf8(a.code));
        query.addBindValue(QString::fromUtf8(a.name));
        query.addBindValue(QString::fromUtf8(a.type));
        if (a.parentId != 0)
            query.addBindValue(QString::fromUtf8(accounts[a.parentId - 1].code));
        query.addBindValue(1);
        if (!query.exec())
            return abandon();
    }

    struct Service
    {
        const char* name;
        const char* type;
        double rate;
        const char* unitOfMeasure;
    };
    const Service services[] = {
        {"مياه", "usage", 5.0, "متر مكعب"}, {"كهرباء", "usage", 0.5, "كيلوواط"},
        {"تنظيف", "fixed", 100, "شهري"},    {"مصعد", "fixed", 50, "شهري"},
        {"حراسة", "fixed", 75, "شهري"},
    };
    query.prepare(
        QStringLiteral("INSERT INTO services (name, type, rate, unit_of_measure) SELECT ?, ?, ?, ? "
                       "WHERE NOT EXISTS (SELECT 1 FROM services WHERE name = ?)"));
    for (const Service& s : services) {
        query.addBindValue(QString::fromUtf8(s.name));
        query.addBindValue(QString::fromUtf8(s.type));
        query.addBindValue(s.rate);
        query.addBindValue(QString::fromUtf8(s.unitOfMeasure));
        query.addBindValue(QString::fromUtf8(s.name));
        if (!query.exec())
            return abandon();
    }

    if (!db.commit()) {
        if (error)
            *error = db.lastError();
        db.rollback();
        return false;
    }
    return true;
}
