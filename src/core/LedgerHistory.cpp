#include "core/LedgerHistory.h"

#include "core/Database.h"
#include "core/Reasons.h"
#include "core/Schema.h"
#include "core/TransactionGuard.h"

#include <QVariant>

#include <limits>

// One kind of event: the statement that writes an entry for every row of
// the kind without one, and the statements that write the lines of the
// entries written since a mark. Entry statements bind the date that
// overrides the event's own (NULL for none) and the id range; line
// statements bind the mark.
struct LedgerHistory::Step
{
    QString entries;
    QStringList lines;
};

namespace {

const QStringList kInvoiceAccounts = {QStringLiteral("1200"), QStringLiteral("4100"),
                                      QStringLiteral("4200")};

const QString kPrimaryCurrency =
    QStringLiteral("(SELECT id FROM currencies ORDER BY is_primary DESC, id LIMIT 1)");

QString account(const char* code)
{
    return QStringLiteral("(SELECT id FROM accounts WHERE code='%1')").arg(QLatin1String(code));
}

// The entry statement of one kind: `table` read as x, rows matching `where`.
QString entryStatement(const QString& type, const QString& table, const QString& where,
                       const QString& date, const QString& description, const QString& currency)
{
    return QStringLiteral("INSERT INTO journal_entries (entry_date,description,reference_type,"
                          "reference_id,currency_id) SELECT COALESCE(?,%1,date('now')), %2, '%3', "
                          "x.id, COALESCE(%4,%5) FROM %6 x WHERE x.id BETWEEN ? AND ? AND (%7) "
                          "AND NOT EXISTS (SELECT 1 FROM journal_entries p WHERE "
                          "p.reference_type='%3' AND p.reference_id=x.id) ORDER BY x.id")
        .arg(date, description, type, currency, kPrimaryCurrency, table, where);
}

// A two-line entry: `amount` from the credit account to the debit account.
QString twoLines(const QString& type, const QString& table, const QString& amount,
                 const QString& debitAccount, const QString& creditAccount)
{
    return QStringLiteral("WITH r AS (SELECT je.id AS eid, je.description AS d, %1 AS da, %2 AS "
                          "ca, %3 AS a FROM journal_entries je JOIN %4 x ON x.id=je.reference_id "
                          "WHERE je.id>? AND +je.reference_type='%5') INSERT INTO journal_lines "
                          "(entry_id,account_id,debit,credit,description) SELECT eid, da, a, 0, d "
                          "FROM r UNION ALL SELECT eid, ca, 0, a, d FROM r")
        .arg(debitAccount, creditAccount, amount, table, type);
}

// Rent and the rest of an invoice; `open` is what the posting moves.
QString invoiceShares(const QString& type, const QString& open)
{
    return QStringLiteral(
               "WITH r AS (SELECT je.id AS eid, je.description AS d, x.total_amount AS t, %1 AS o, "
               "MIN(x.total_amount, COALESCE((SELECT SUM(it.total) FROM invoice_items it WHERE "
               "it.invoice_id=x.id AND it.type='rent'),0)) AS rent FROM journal_entries je JOIN "
               "invoices x ON x.id=je.reference_id WHERE je.id>? AND +je.reference_type='%2'), "
               "s AS (SELECT eid, d, o, CASE WHEN rent>=t THEN o ELSE MIN(o, ROUND(o*rent/t,2)) "
               "END AS ro FROM r) ")
        .arg(open, type);
}

LedgerHistory::Step invoiceStep()
{
    const QString type = QStringLiteral("invoice");
    return {entryStatement(type, QStringLiteral("invoices"), QStringLiteral("x.total_amount>0"),
                           QStringLiteral("date(x.created_at),x.due_date"),
                           QStringLiteral("'فاتورة ' || COALESCE(x.invoice_number,'')"),
                           QStringLiteral("x.currency_id")),
            {invoiceShares(type, QStringLiteral("x.total_amount")) +
             QStringLiteral("INSERT INTO journal_lines (entry_id,account_id,debit,credit,"
                            "description) SELECT eid, %1, o, 0, d FROM s UNION ALL SELECT eid, "
                            "%2, 0, ro, d FROM s WHERE ro>0 UNION ALL SELECT eid, %3, 0, o-ro, d "
                            "FROM s WHERE o-ro>0")
                 .arg(account("1200"), account("4100"), account("4200"))}};
}

LedgerHistory::Step voidStep()
{
    const QString type = QStringLiteral("invoice_void");
    const QString open = QStringLiteral("(x.total_amount-COALESCE(x.paid_amount,0))");
    return {entryStatement(type, QStringLiteral("invoices"),
                           QStringLiteral("x.status='void' AND ") + open + QStringLiteral(">0.004"),
                           QStringLiteral("date(x.created_at),x.due_date"),
                           QStringLiteral("'إلغاء فاتورة ' || COALESCE(x.invoice_number,'')"),
                           QStringLiteral("x.currency_id")),
            {invoiceShares(type, open) +
             QStringLiteral("INSERT INTO journal_lines (entry_id,account_id,debit,credit,"
                            "description) SELECT eid, %1, ro, 0, d FROM s WHERE ro>0 UNION ALL "
                            "SELECT eid, %2, o-ro, 0, d FROM s WHERE o-ro>0 UNION ALL SELECT eid, "
                            "%3, 0, o, d FROM s")
                 .arg(account("4100"), account("4200"), account("1200"))}};
}

QList<LedgerHistory::Step> pastEventSteps()
{
    const QString sale = QStringLiteral("sale");
    const QString price = QStringLiteral(
        "(CASE WHEN x.sale_price_actual>0 THEN x.sale_price_actual ELSE x.sale_price END)");
    const QString payment = QStringLiteral("payment");
    const QString expense = QStringLiteral("expense");
    const QString cleared = QStringLiteral("cheque_cleared");
    const QString bounced = QStringLiteral("cheque_bounced");
    const QString returned = QStringLiteral("issued_cheque_bounced");
    const QString issued = QStringLiteral("x.type='issued'");
    return {
        invoiceStep(),
        voidStep(),
        {entryStatement(sale, QStringLiteral("units"),
                        QStringLiteral("x.status='sold' AND ") + price + QStringLiteral(">0"),
                        QStringLiteral("x.sale_date,date(x.created_at)"),
                        QStringLiteral("'بيع الوحدة ' || COALESCE(x.unit_number,'')"),
                        QStringLiteral("(SELECT currency_id FROM installments WHERE unit_id=x.id "
                                       "ORDER BY id LIMIT 1),(SELECT currency_id FROM payments "
                                       "WHERE unit_id=x.id AND buyer_id IS NOT NULL ORDER BY id "
                                       "LIMIT 1),x.currency_id")),
         {twoLines(sale, QStringLiteral("units"), price, account("1200"), account("4300"))}},
        {entryStatement(payment, QStringLiteral("payments"), QStringLiteral("x.amount>0"),
                        QStringLiteral("x.payment_date"),
                        QStringLiteral("COALESCE(NULLIF(x.notes,''),'دفعة ' || "
                                       "COALESCE(x.reference,''))"),
                        QStringLiteral("x.currency_id")),
         {twoLines(payment, QStringLiteral("payments"), QStringLiteral("x.amount"),
                   QStringLiteral("CASE x.payment_method WHEN 'bank' THEN %1 WHEN 'cheque' THEN "
                                  "%2 ELSE %3 END")
                       .arg(account("1110"), account("1300"), account("1100")),
                   account("1200"))}},
        {entryStatement(expense, QStringLiteral("expenses"), QStringLiteral("x.amount>0"),
                        QStringLiteral("x.expense_date"),
                        QStringLiteral("COALESCE(NULLIF(x.description,''),x.category)"),
                        QStringLiteral("x.currency_id")),
         {twoLines(expense, QStringLiteral("expenses"), QStringLiteral("x.amount"),
                   QStringLiteral("CASE WHEN x.maintenance_id IS NOT NULL OR x.category='صيانة' "
                                  "THEN %1 ELSE %2 END")
                       .arg(account("5100"), account("5200")),
                   QStringLiteral("CASE WHEN x.is_owed=1 THEN %1 ELSE %2 END")
                       .arg(account("2100"), account("1100")))}},
        // Only cheques that pay a debt the books know move money; one kept
        // for follow-up only posts nothing, as it would today.
        {entryStatement(cleared, QStringLiteral("cheques"),
                        QStringLiteral("x.status='paid' AND x.amount>0 AND ((x.type='received' "
                                       "AND (x.payment_id IS NOT NULL OR x.installment_id IS NOT "
                                       "NULL)) OR (x.type='issued' AND x.contractor_payment_id IS "
                                       "NOT NULL))"),
                        QStringLiteral("x.due_date,x.issue_date"),
                        QStringLiteral("'تحصيل شيك ' || COALESCE(x.cheque_number,'')"),
                        QStringLiteral("x.currency_id")),
         {twoLines(cleared, QStringLiteral("cheques"), QStringLiteral("x.amount"),
                   QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END")
                       .arg(issued, account("2200"), account("1100")),
                   QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END")
                       .arg(issued, account("1100"), account("1300")))}},
        {entryStatement(bounced, QStringLiteral("cheques"),
                        QStringLiteral("x.status='bounced' AND x.amount>0 AND x.type='received' "
                                       "AND (x.payment_id IS NOT NULL OR x.installment_id IS NOT "
                                       "NULL)"),
                        QStringLiteral("x.due_date,x.issue_date"),
                        QStringLiteral("'شيك مرتجع ' || COALESCE(x.cheque_number,'')"),
                        QStringLiteral("x.currency_id")),
         {twoLines(bounced, QStringLiteral("cheques"), QStringLiteral("x.amount"), account("1200"),
                   account("1300"))}},
        {entryStatement(returned, QStringLiteral("cheques"),
                        QStringLiteral("x.status='bounced' AND x.amount>0 AND x.type='issued' AND "
                                       "x.contractor_payment_id IS NOT NULL"),
                        QStringLiteral("x.due_date,x.issue_date"),
                        QStringLiteral("'شيك صادر مرتجع ' || COALESCE(x.cheque_number,'')"),
                        QStringLiteral("x.currency_id")),
         {twoLines(returned, QStringLiteral("cheques"), QStringLiteral("x.amount"), account("2200"),
                   account("2100"))}},
    };
}

bool failed(QString* reason)
{
    if (reason)
        *reason = Reasons::database();
    return false;
}

int lastEntryId(Database* db)
{
    return db->scalar(QStringLiteral("SELECT COALESCE(MAX(id),0) FROM journal_entries")).toInt();
}

// Moves each account's running balance by the lines written after `mark`.
bool applyBalances(Database* db, int mark)
{
    const QVariantList sums = db->execQuery(
        // Read through the entry index: the new lines are the last few of a
        // long table. (Grouping by the account index would read them all.)
        QStringLiteral("SELECT account_id, SUM(debit-credit) as net FROM journal_lines WHERE "
                       "entry_id>? GROUP BY +account_id"),
        {mark});
    for (const QVariant& value : sums) {
        const QVariantMap row = value.toMap();
        if (!db->execNonQuery(
                QStringLiteral("UPDATE accounts SET balance=balance+? WHERE id=?"),
                {row.value(QStringLiteral("net")), row.value(QStringLiteral("account_id"))}))
            return false;
    }
    return true;
}

} // namespace

bool LedgerHistory::accountsPresent(Database* db, const QStringList& codes, QString* reason)
{
    for (const QString& code : codes) {
        if (!db->scalar(QStringLiteral("SELECT 1 FROM accounts WHERE code=?"), {code}).isValid()) {
            if (reason)
                *reason = Reasons::unknownAccount(code);
            return false;
        }
    }
    return true;
}

bool LedgerHistory::run(Database* db, const Step& step, const QString& entryDate, int fromId,
                        int toId, QString* reason, bool balances)
{
    const int mark = lastEntryId(db);
    bool ok = db->execNonQuery(
        step.entries, {entryDate.isEmpty() ? QVariant() : QVariant(entryDate), fromId, toId});
    for (const QString& lines : step.lines)
        ok = ok && db->execNonQuery(lines, {mark});
    ok = ok && (!balances || applyBalances(db, mark));
    if (!ok && reason)
        *reason = Reasons::database();
    return ok;
}

bool LedgerHistory::postInvoices(Database* db, int fromId, int toId, QString* reason)
{
    if (!accountsPresent(db, kInvoiceAccounts, reason))
        return false;
    static const Step step = invoiceStep();
    return run(db, step, QString(), fromId, toId, reason);
}

bool LedgerHistory::postVoid(Database* db, int invoiceId, const QString& date, QString* reason)
{
    if (!accountsPresent(db, kInvoiceAccounts, reason))
        return false;
    static const Step step = voidStep();
    return run(db, step, date, invoiceId, invoiceId, reason);
}

bool LedgerHistory::isDone(Database* db)
{
    return db->scalar(QStringLiteral("SELECT value FROM settings WHERE key=?"),
                      {Schema::ledgerHistoryKey()})
               .toString() == QLatin1String("done");
}

bool LedgerHistory::postPastEvents(Database* db, const Progress& progress, QString* reason)
{
    if (isDone(db))
        return true;
    TransactionGuard tx(db);
    if (!tx.isActive()) {
        if (reason)
            *reason = Reasons::database();
        return false;
    }
    if (!accountsPresent(db,
                         {QStringLiteral("1100"), QStringLiteral("1110"), QStringLiteral("1200"),
                          QStringLiteral("1300"), QStringLiteral("2100"), QStringLiteral("2200"),
                          QStringLiteral("4100"), QStringLiteral("4200"), QStringLiteral("4300"),
                          QStringLiteral("5100"), QStringLiteral("5200")},
                         reason))
        return false;
    // Years of events are a million rows or more. The journal's own indexes
    // are built once at the end, by sorting, instead of row by row, and the
    // balances are moved once; a failure rolls all of it back, the dropped
    // indexes included.
    const QVariantList indexes = db->execQuery(QStringLiteral(
        "SELECT name, sql FROM sqlite_master WHERE type='index' AND sql IS NOT NULL AND "
        "tbl_name IN ('journal_entries','journal_lines') AND name != 'idx_journal_reference'"));
    for (const QVariant& index : indexes) {
        if (!db->execNonQuery(QStringLiteral("DROP INDEX ") +
                              index.toMap().value(QStringLiteral("name")).toString()))
            return failed(reason);
    }
    // A larger page cache for the run only: the new rows' pages stay in
    // memory until the indexes are built.
    struct CacheForRun
    {
        Database* db;
        explicit CacheForRun(Database* d)
            : db(d)
        {
            db->execNonQuery(QStringLiteral("PRAGMA cache_size=-262144"));
        }
        ~CacheForRun()
        {
            db->execNonQuery(QStringLiteral("PRAGMA cache_size=-%1").arg(Database::kPageCacheKb));
        }
    } cache(db);
    const int mark = lastEntryId(db);
    static const QList<Step> steps = pastEventSteps();
    const int total = steps.size() + 1;
    int done = 0;
    for (const Step& step : steps) {
        if (!run(db, step, QString(), 1, std::numeric_limits<int>::max(), reason, false))
            return false;
        if (progress)
            progress(++done, total);
    }
    // Summed before the line indexes return: one pass over the table.
    if (!applyBalances(db, mark))
        return failed(reason);
    for (const QVariant& index : indexes) {
        if (!db->execNonQuery(index.toMap().value(QStringLiteral("sql")).toString()))
            return failed(reason);
    }
    if (!db->execNonQuery(QStringLiteral("INSERT OR REPLACE INTO settings (key, value) VALUES "
                                         "(?, 'done')"),
                          {Schema::ledgerHistoryKey()}) ||
        !tx.commit()) {
        if (reason)
            *reason = Reasons::database();
        return false;
    }
    if (progress)
        progress(total, total);
    return true;
}
