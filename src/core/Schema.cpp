#include "core/Schema.h"

#include "core/SchemaStep.h"

#include <QSqlError>
#include <QSqlQuery>

using SchemaStep::fail;

// Tables and the statements that bring an older file up to date.
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
        // The money under collection is kept per currency by triggers that
        // read these; a register written before them still opens.
        QStringLiteral("ALTER TABLE cheques ADD COLUMN type TEXT DEFAULT 'received'"),
        QStringLiteral("ALTER TABLE cheques ADD COLUMN status TEXT DEFAULT 'pending'"),
        QStringLiteral("ALTER TABLE cheques ADD COLUMN currency_id INTEGER"),
        QStringLiteral("ALTER TABLE cheques ADD COLUMN due_date TEXT"),
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
        // What the office pays its contractors; a bill owed to one is an
        // expense marked is_owed (added by migrateExpenses).
        QStringLiteral("CREATE TABLE IF NOT EXISTS contractor_payments ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "contractor_id INTEGER NOT NULL, "
                       "amount REAL NOT NULL, "
                       "currency_id INTEGER NOT NULL, "
                       "payment_date TEXT NOT NULL, "
                       "method TEXT NOT NULL DEFAULT 'cash', "
                       "reference TEXT, "
                       "notes TEXT, "
                       "created_at TEXT DEFAULT (datetime('now')), "
                       "created_by INTEGER, "
                       "FOREIGN KEY (contractor_id) REFERENCES contractors(id), "
                       "FOREIGN KEY (currency_id) REFERENCES currencies(id))"),
        QStringLiteral("ALTER TABLE cheques ADD COLUMN contractor_id INTEGER"),
        QStringLiteral("ALTER TABLE cheques ADD COLUMN contractor_payment_id INTEGER"),
        // The invoice or voucher number a clerk typed for an expense.
        QStringLiteral("ALTER TABLE expenses ADD COLUMN reference TEXT"),
        // A received cheque names what it pays (a buyer's instalment, or the
        // payment it was given for) and, once bounced, the payment that
        // replaced it.
        QStringLiteral("ALTER TABLE cheques ADD COLUMN installment_id INTEGER;"),
        QStringLiteral("ALTER TABLE cheques ADD COLUMN payment_id INTEGER;"),
        QStringLiteral("ALTER TABLE cheques ADD COLUMN replaced_by_payment_id INTEGER;"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cheques_installment ON "
                       "cheques(installment_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS idx_cheques_payment ON cheques(payment_id)"),
        // A reading taken on a new meter counts from zero; the sheet shows it
        // again as such when reopened.
        QStringLiteral("ALTER TABLE usage_records ADD COLUMN meter_change INTEGER DEFAULT 0"),
    };
    return statements;
}

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
