#include "core/LedgerHistory.h"

#include "core/CurrencyRates.h"
#include "core/Database.h"
#include "core/DoneOnce.h"
#include "core/LedgerTotals.h"
#include "core/Reasons.h"
#include "core/Schema.h"
#include "core/SqlDialect.h"
#include "core/TransactionGuard.h"

#include <QHash>
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
    // When set, fills temp.ledger_shares with what the lines and totals
    // read (bound like them), so it is worked out once for both.
    QString shares;
    QStringList lines;
    // Statements adding the lines of the step's primary-currency entries to
    // the ledger's totals, read from the same source as the lines (bound
    // like them); the other currencies' lines are counted afterwards.
    QStringList totals;
};

namespace {

using Engine = DatabaseSettings::Engine;

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
                       const QString& date, const QString& description, const QString& currency,
                       Engine engine = Engine::SQLite)
{
    return QStringLiteral("INSERT INTO journal_entries (entry_date,description,reference_type,"
                          "reference_id,currency_id) SELECT COALESCE(?,%1,%8), %2, '%3', "
                          "x.id, COALESCE(%4,%5) FROM %6 x WHERE x.id BETWEEN ? AND ? AND (%7) "
                          "AND NOT EXISTS (SELECT 1 FROM journal_entries p WHERE "
                          "p.reference_type='%3' AND p.reference_id=x.id) ORDER BY x.id")
        .arg(date, description, type, currency, kPrimaryCurrency, table, where,
             SqlDialect::today(engine));
}

// The day of an invoice's creation stamp, before its due day.
QString invoiceDates(Engine engine)
{
    return engine == Engine::PostgreSQL ? QStringLiteral("substr(x.created_at,1,10),x.due_date")
                                        : QStringLiteral("date(x.created_at),x.due_date");
}

// The table an invoice posting keeps its shares in for the posting's
// statements: a connection's own, on either engine.
QString sharesTable(Engine engine)
{
    return engine == Engine::PostgreSQL ? QStringLiteral("pg_temp.ledger_shares")
                                        : QStringLiteral("temp.ledger_shares");
}

// The primary-currency amount of `amount` in an entry of currency `currency`:
// the amount itself in the primary currency; other currencies are converted
// afterwards at their day's rate (CurrencyRates::fillJournal).
QString primaryOf(const QString& amount, const QString& currency)
{
    return QStringLiteral("CASE WHEN %1=%2 THEN %3 END").arg(currency, kPrimaryCurrency, amount);
}

const QString kLineColumns = QStringLiteral(
    "INSERT INTO journal_lines (entry_id,account_id,debit,credit,description,debit_primary,"
    "credit_primary) ");

// A two-line entry: `amount` from the credit account to the debit account;
// its lines and its totals statement.
QPair<QString, QString> twoLines(const QString& type, const QString& table, const QString& amount,
                                 const QString& debitAccount, const QString& creditAccount,
                                 Engine engine)
{
    // As for the invoices, SQLite is kept off the reference index.
    const QString with =
        QStringLiteral("WITH r AS MATERIALIZED (SELECT je.id AS eid, je.description AS d, "
                       "je.currency_id AS cu, substr(je.entry_date,1,10) AS m, %1 AS da, %2 AS "
                       "ca, %3 AS a FROM journal_entries je JOIN %4 x ON x.id=je.reference_id "
                       "WHERE je.id>? AND %6je.reference_type='%5') ")
            .arg(debitAccount, creditAccount, amount, table, type,
                 engine == Engine::PostgreSQL ? QString() : QStringLiteral("+"));
    // The server's triggers count the lines as they are written.
    if (engine == Engine::PostgreSQL)
        return {with + kLineColumns +
                    QStringLiteral("SELECT eid, da, a, 0, d, %1, %2 FROM r UNION ALL SELECT eid, "
                                   "ca, 0, a, d, %2, %1 FROM r")
                        .arg(primaryOf(QStringLiteral("a"), QStringLiteral("cu")),
                             primaryOf(QStringLiteral("0"), QStringLiteral("cu"))),
                QString()};
    const QString lines =
        with + kLineColumns +
        QStringLiteral("SELECT eid, da, a, 0, d, %1, %2 FROM r UNION ALL SELECT eid, ca, 0, a, "
                       "d, %2, %1 FROM r")
            .arg(primaryOf(QStringLiteral("a"), QStringLiteral("cu")),
                 primaryOf(QStringLiteral("0"), QStringLiteral("cu")));
    const QString totals = LedgerTotals::addConvertedSql(
        with + QStringLiteral(", g AS (SELECT cu, m, da, ca, COUNT(*) AS n, SUM(a) AS a, SUM(%2) "
                              "AS w FROM r WHERE cu=%1 GROUP BY cu, m, da, ca) ")
                   .arg(kPrimaryCurrency,
                        LedgerTotals::weightedSql(QStringLiteral("eid"), QStringLiteral("a"))),
        QStringLiteral("SELECT da AS account_id, cu AS currency_id, m AS day, n, a AS debit, 0 "
                       "AS credit, w AS weighted FROM g UNION ALL SELECT ca, cu, m, n, 0, a, -w "
                       "FROM g"));
    return {lines, totals};
}

LedgerHistory::Step twoLineStep(const QString& entries, const QPair<QString, QString>& lines)
{
    if (lines.second.isEmpty())
        return {entries, QString(), {lines.first}, {}};
    return {entries, QString(), {lines.first}, {lines.second}};
}

// Rent and the rest of an invoice; `open` is what the posting moves. Each
// invoice's shares are worked out once, into temp.ledger_shares (eid, d,
// cu, m, o, ro): its rent lines are summed by one lookup per invoice. Its
// lines (receivables, rent, the rest) come from the shares joined with
// k 1..3.
QString invoiceShares(const QString& type, const QString& open, Engine engine = Engine::SQLite)
{
    // SQLite is told to read the new entries through their id (the unary
    // plus keeps it off the reference index); the server chooses itself.
    const bool server = engine == Engine::PostgreSQL;
    return QStringLiteral(
               "INSERT INTO %3 (eid,d,cu,m,o,ro) SELECT je.id, je.description, "
               "je.currency_id, substr(je.entry_date,1,10), %1, (SELECT CASE WHEN rent>=t THEN "
               "o ELSE %4 END FROM (SELECT x.total_amount AS t, %1 AS o, "
               "%5 AS rent FROM invoice_items it "
               "WHERE it.invoice_id=x.id AND it.type='rent') AS r) FROM journal_entries je JOIN "
               "invoices x ON x.id=je.reference_id WHERE je.id>? AND %6je.reference_type='%2' "
               "ORDER BY je.id")
        .arg(open, type, sharesTable(engine),
             server ? QStringLiteral("LEAST(o, ROUND(o*rent/t,2))")
                    : QStringLiteral("MIN(o, ROUND(o*rent/t,2))"),
             server ? QStringLiteral("LEAST(x.total_amount, COALESCE(SUM(it.total),0))")
                    : QStringLiteral("MIN(x.total_amount, COALESCE(SUM(it.total),0))"),
             server ? QString() : QStringLiteral("+"));
}

const QString kLineNumbers = QStringLiteral("WITH k(k) AS (VALUES (1),(2),(3)) ");

// The step of `invoiceShares`: `debit` and `credit` are the amounts of
// line k, `account` its account; lines of 0 are left out. `count` is which
// of no, nro, nrest (entries with o, ro, o-ro above 0) counts line k, and
// `weighted` its debit - credit as the entry-weighted sums wo, wro, wrest.
LedgerHistory::Step invoiceLines(const QString& entries, const QString& shares,
                                 const QString& account, const QString& count, const QString& debit,
                                 const QString& credit, const QString& weighted,
                                 Engine engine = Engine::SQLite)
{
    const auto w = [](const char* amount) {
        return LedgerTotals::weightedSql(QStringLiteral("eid"), QLatin1String(amount));
    };
    // Line k of every entry, then line k+1 of every entry.
    const QString lines = kLineNumbers + kLineColumns +
                          QStringLiteral("SELECT eid, %1, %2, %3, d, %4, %5 FROM k CROSS JOIN "
                                         "%6 s WHERE s.eid>? AND (%2)+(%3)>0")
                              .arg(account, debit, credit, primaryOf(debit, QStringLiteral("cu")),
                                   primaryOf(credit, QStringLiteral("cu")), sharesTable(engine));
    // The server's triggers count the lines as they are written.
    if (engine == Engine::PostgreSQL)
        return {entries, shares, {lines}, {}};
    // The totals are summed per currency and day first; the amounts of a
    // line are linear in o and ro, so they apply to the sums as they are.
    const QString totals = LedgerTotals::addConvertedSql(
        kLineNumbers +
            QStringLiteral(", g AS (SELECT cu, m, SUM(o>0) AS no, SUM(ro>0) AS nro, "
                           "SUM(o-ro>0) AS nrest, SUM(o) AS o, SUM(ro) AS ro, SUM(%2) AS wo, "
                           "SUM(%3) AS wro, SUM(%4) AS wrest FROM temp.ledger_shares WHERE eid>? "
                           "AND cu=%1 GROUP BY cu, m) ")
                .arg(kPrimaryCurrency, w("o"), w("ro"), w("o-ro")),
        QStringLiteral("SELECT %1 AS account_id, cu AS currency_id, m AS day, %2 AS n, %3 AS "
                       "debit, %4 AS credit, %5 AS weighted FROM g, k WHERE %2>0")
            .arg(account, count, debit, credit, weighted));
    return {entries, shares, {lines}, {totals}};
}

LedgerHistory::Step invoiceStep(Engine engine = Engine::SQLite)
{
    const QString type = QStringLiteral("invoice");
    return invoiceLines(entryStatement(type, QStringLiteral("invoices"),
                                       QStringLiteral("x.total_amount>0"), invoiceDates(engine),
                                       QStringLiteral("'فاتورة ' || COALESCE(x.invoice_number,'')"),
                                       QStringLiteral("x.currency_id"), engine),
                        invoiceShares(type, QStringLiteral("x.total_amount"), engine),
                        QStringLiteral("CASE k WHEN 1 THEN %1 WHEN 2 THEN %2 ELSE %3 END")
                            .arg(account("1200"), account("4100"), account("4200")),
                        QStringLiteral("CASE k WHEN 1 THEN no WHEN 2 THEN nro ELSE nrest END"),
                        QStringLiteral("CASE k WHEN 1 THEN o ELSE 0 END"),
                        QStringLiteral("CASE k WHEN 1 THEN 0 WHEN 2 THEN ro ELSE o-ro END"),
                        QStringLiteral("CASE k WHEN 1 THEN wo WHEN 2 THEN -wro ELSE -wrest END"),
                        engine);
}

LedgerHistory::Step voidStep(Engine engine = Engine::SQLite)
{
    const QString type = QStringLiteral("invoice_void");
    const QString open = QStringLiteral("(x.total_amount-COALESCE(x.paid_amount,0))");
    return invoiceLines(
        entryStatement(type, QStringLiteral("invoices"),
                       QStringLiteral("x.status='void' AND ") + open + QStringLiteral(">0.004"),
                       invoiceDates(engine),
                       QStringLiteral("'إلغاء فاتورة ' || COALESCE(x.invoice_number,'')"),
                       QStringLiteral("x.currency_id"), engine),
        invoiceShares(type, open, engine),
        QStringLiteral("CASE k WHEN 1 THEN %1 WHEN 2 THEN %2 ELSE %3 END")
            .arg(account("4100"), account("4200"), account("1200")),
        QStringLiteral("CASE k WHEN 1 THEN nro WHEN 2 THEN nrest ELSE no END"),
        QStringLiteral("CASE k WHEN 1 THEN ro WHEN 2 THEN o-ro ELSE 0 END"),
        QStringLiteral("CASE k WHEN 3 THEN o ELSE 0 END"),
        QStringLiteral("CASE k WHEN 1 THEN wro WHEN 2 THEN wrest ELSE -wo END"), engine);
}

QList<LedgerHistory::Step> pastEventSteps(Engine engine = Engine::SQLite)
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
        invoiceStep(engine),
        voidStep(engine),
        twoLineStep(entryStatement(
                        sale, QStringLiteral("units"),
                        QStringLiteral("x.status='sold' AND ") + price + QStringLiteral(">0"),
                        engine == Engine::PostgreSQL
                            ? QStringLiteral("x.sale_date,substr(x.created_at,1,10)")
                            : QStringLiteral("x.sale_date,date(x.created_at)"),
                        QStringLiteral("'بيع الوحدة ' || COALESCE(x.unit_number,'')"),
                        QStringLiteral("(SELECT currency_id FROM installments WHERE unit_id=x.id "
                                       "ORDER BY id LIMIT 1),(SELECT currency_id FROM payments "
                                       "WHERE unit_id=x.id AND buyer_id IS NOT NULL ORDER BY id "
                                       "LIMIT 1),x.currency_id"),
                        engine),
                    twoLines(sale, QStringLiteral("units"), price, account("1200"), account("4300"),
                             engine)),
        twoLineStep(
            entryStatement(payment, QStringLiteral("payments"), QStringLiteral("x.amount>0"),
                           QStringLiteral("x.payment_date"),
                           QStringLiteral("COALESCE(NULLIF(x.notes,''),'دفعة ' || "
                                          "COALESCE(x.reference,''))"),
                           QStringLiteral("x.currency_id"), engine),
            twoLines(payment, QStringLiteral("payments"), QStringLiteral("x.amount"),
                     QStringLiteral("CASE x.payment_method WHEN 'bank' THEN %1 WHEN 'cheque' THEN "
                                    "%2 ELSE %3 END")
                         .arg(account("1110"), account("1300"), account("1100")),
                     account("1200"), engine)),
        twoLineStep(
            entryStatement(expense, QStringLiteral("expenses"), QStringLiteral("x.amount>0"),
                           QStringLiteral("x.expense_date"),
                           QStringLiteral("COALESCE(NULLIF(x.description,''),x.category)"),
                           QStringLiteral("x.currency_id"), engine),
            twoLines(expense, QStringLiteral("expenses"), QStringLiteral("x.amount"),
                     QStringLiteral("CASE WHEN x.maintenance_id IS NOT NULL OR x.category='صيانة' "
                                    "THEN %1 ELSE %2 END")
                         .arg(account("5100"), account("5200")),
                     QStringLiteral("CASE WHEN x.is_owed=1 THEN %1 ELSE %2 END")
                         .arg(account("2100"), account("1100")),
                     engine)),
        // Only cheques that pay a debt the books know move money; one kept
        // for follow-up only posts nothing, as it would today.
        twoLineStep(
            entryStatement(cleared, QStringLiteral("cheques"),
                           QStringLiteral("x.status='paid' AND x.amount>0 AND ((x.type='received' "
                                          "AND (x.payment_id IS NOT NULL OR "
                                          "x.installment_id IS NOT NULL)) OR "
                                          "(x.type='issued' AND x.contractor_payment_id "
                                          "IS NOT NULL))"),
                           QStringLiteral("x.due_date,x.issue_date"),
                           QStringLiteral("'تحصيل شيك ' || COALESCE(x.cheque_number,'')"),
                           QStringLiteral("x.currency_id"), engine),
            twoLines(cleared, QStringLiteral("cheques"), QStringLiteral("x.amount"),
                     QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END")
                         .arg(issued, account("2200"), account("1100")),
                     QStringLiteral("CASE WHEN %1 THEN %2 ELSE %3 END")
                         .arg(issued, account("1100"), account("1300")),
                     engine)),
        twoLineStep(
            entryStatement(bounced, QStringLiteral("cheques"),
                           QStringLiteral("x.status='bounced' AND x.amount>0 AND x.type='received' "
                                          "AND (x.payment_id IS NOT NULL OR x.installment_id IS "
                                          "NOT NULL)"),
                           QStringLiteral("x.due_date,x.issue_date"),
                           QStringLiteral("'شيك مرتجع ' || COALESCE(x.cheque_number,'')"),
                           QStringLiteral("x.currency_id"), engine),
            twoLines(bounced, QStringLiteral("cheques"), QStringLiteral("x.amount"),
                     account("1200"), account("1300"), engine)),
        twoLineStep(entryStatement(
                        returned, QStringLiteral("cheques"),
                        QStringLiteral("x.status='bounced' AND x.amount>0 AND x.type='issued' AND "
                                       "x.contractor_payment_id IS NOT NULL"),
                        QStringLiteral("x.due_date,x.issue_date"),
                        QStringLiteral("'شيك صادر مرتجع ' || COALESCE(x.cheque_number,'')"),
                        QStringLiteral("x.currency_id"), engine),
                    twoLines(returned, QStringLiteral("cheques"), QStringLiteral("x.amount"),
                             account("2200"), account("2100"), engine)),
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

// Debit minus credit per account, as the ledger's totals hold it.
QVariantList netPerAccount(Database* db)
{
    return db->execQuery(QStringLiteral("SELECT account_id, SUM(debit-credit) AS net FROM "
                                        "ledger_day_totals GROUP BY account_id"));
}

// Moves each account's running balance by what its totals gained since
// `before` (netPerAccount).
bool moveBalances(Database* db, const QVariantList& before)
{
    QHash<int, double> was;
    for (const QVariant& value : before) {
        const QVariantMap row = value.toMap();
        was.insert(row.value(QStringLiteral("account_id")).toInt(),
                   row.value(QStringLiteral("net")).toDouble());
    }
    for (const QVariant& value : netPerAccount(db)) {
        const QVariantMap row = value.toMap();
        const int account = row.value(QStringLiteral("account_id")).toInt();
        const double moved = row.value(QStringLiteral("net")).toDouble() - was.value(account);
        if (moved == 0.0)
            continue;
        if (!db->execNonQuery(QStringLiteral("UPDATE accounts SET balance=balance+? WHERE id=?"),
                              {moved, account}))
            return false;
    }
    return true;
}

// Moves each account's running balance by the lines written after `mark`.
bool applyBalances(Database* db, int mark)
{
    const QVariantList sums = db->execQuery(
        // Read through the entry index: the new lines are the last few of a
        // long table. (Grouping by the account index would read them all.)
        db->isPostgres()
            ? QStringLiteral("SELECT account_id, SUM(debit-credit) as net FROM journal_lines "
                             "WHERE entry_id>? GROUP BY account_id")
            : QStringLiteral("SELECT account_id, SUM(debit-credit) as net FROM journal_lines "
                             "WHERE entry_id>? GROUP BY +account_id"),
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
    const bool server = db->isPostgres();
    const QString shares = sharesTable(db->engine());
    bool ok = db->execNonQuery(
        step.entries, {entryDate.isEmpty() ? QVariant() : QVariant(entryDate), fromId, toId});
    if (!step.shares.isEmpty()) {
        ok = ok &&
             db->execNonQuery(
                 server ? QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ledger_shares (eid "
                                         "BIGINT PRIMARY KEY, d TEXT, cu BIGINT, m TEXT, o "
                                         "NUMERIC, ro NUMERIC)")
                        : QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ledger_shares (eid "
                                         "INTEGER PRIMARY KEY, d TEXT, cu INTEGER, m TEXT, o "
                                         "REAL, ro REAL)")) &&
             db->execNonQuery(QStringLiteral("DELETE FROM ") + shares) &&
             db->execNonQuery(step.shares, {mark});
    }
    for (const QString& lines : step.lines)
        ok = ok && db->execNonQuery(lines, {mark});
    for (const QString& totals : step.totals)
        ok = ok && db->execNonQuery(totals, {mark});
    if (!step.shares.isEmpty())
        ok = ok && db->execNonQuery(QStringLiteral("DELETE FROM ") + shares);
    // Lines in another currency are counted by the totals' own pass; this
    // needs the journal's indexes, which a history run builds at its end.
    // The server's triggers have counted every line already.
    ok = ok && (!balances || ((server || LedgerTotals::addEntriesAfter(db, mark, true)) &&
                              applyBalances(db, mark)));
    if (!ok && reason)
        *reason = Reasons::database();
    return ok;
}

bool LedgerHistory::postBatch(Database* db, const Step& step, const QString& entryDate, int fromId,
                              int toId, QString* reason)
{
    if (!accountsPresent(db, kInvoiceAccounts, reason))
        return false;
    // On the server the triggers keep the totals line by line.
    if (db->isPostgres())
        return run(db, step, entryDate, fromId, toId, reason);
    if (!LedgerTotals::pause(db))
        return failed(reason);
    return run(db, step, entryDate, fromId, toId, reason) &&
           (LedgerTotals::resume(db) || failed(reason));
}

bool LedgerHistory::postInvoices(Database* db, int fromId, int toId, QString* reason)
{
    static const Step file = invoiceStep();
    static const Step server = invoiceStep(Engine::PostgreSQL);
    return postBatch(db, db->isPostgres() ? server : file, QString(), fromId, toId, reason);
}

bool LedgerHistory::postVoid(Database* db, int invoiceId, const QString& date, QString* reason)
{
    static const Step file = voidStep();
    static const Step server = voidStep(Engine::PostgreSQL);
    return postBatch(db, db->isPostgres() ? server : file, date, invoiceId, invoiceId, reason);
}

bool LedgerHistory::isDone(Database* db)
{
    return DoneOnce::isDone(db, Schema::ledgerHistoryKey());
}

bool LedgerHistory::postPastEvents(Database* db, const Progress& progress, QString* reason)
{
    if (isDone(db))
        return true;
    if (db->isPostgres())
        return postPastEventsOnServer(db, progress, reason);
    // Every row the run writes names an entry it has just written and an
    // account checked below, so the per-row key checks are left out for the
    // run (the setting only changes outside a transaction; it is back on
    // before this returns).
    struct KeyChecksOff
    {
        Database* db;
        bool off;
        explicit KeyChecksOff(Database* d)
            : db(d)
            , off(d->transactionDepth() == 0)
        {
            if (off)
                db->execNonQuery(QStringLiteral("PRAGMA foreign_keys=OFF"));
        }
        ~KeyChecksOff()
        {
            if (off)
                db->execNonQuery(QStringLiteral("PRAGMA foreign_keys=ON"));
        }
    } keyChecks(db);
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
    // are built once at the end, by sorting, instead of row by row; the
    // triggers that keep the ledger's totals are set aside, each kind of
    // event adds its totals from its own rows, and the accounts' balances
    // move once, by what the totals gained. A failure rolls all of it back,
    // the dropped indexes included.
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
    const QVariantList before = netPerAccount(db);
    if (!LedgerTotals::pause(db))
        return failed(reason);
    static const QList<Step> steps = pastEventSteps();
    const int total = steps.size() + 1;
    int done = 0;
    for (const Step& step : steps) {
        if (!run(db, step, QString(), 1, std::numeric_limits<int>::max(), reason, false))
            return false;
        if (progress)
            progress(++done, total);
    }
    for (const QVariant& index : indexes) {
        if (!db->execNonQuery(index.toMap().value(QStringLiteral("sql")).toString()))
            return failed(reason);
    }
    // Entries in another currency: their lines join the totals unconverted,
    // and then take their day's rate where one is known (the triggers move
    // what was converted).
    if (!LedgerTotals::addEntriesAfter(db, mark, true) || !LedgerTotals::resume(db) ||
        !CurrencyRates::fillJournal(db) || !moveBalances(db, before))
        return failed(reason);
    if (!DoneOnce::markDone(db, Schema::ledgerHistoryKey()) || !tx.commit()) {
        if (reason)
            *reason = Reasons::database();
        return false;
    }
    if (progress)
        progress(total, total);
    return true;
}

bool LedgerHistory::postPastEventsOnServer(Database* db, const Progress& progress, QString* reason)
{
    // The desks of an office may start together: the write lock makes them
    // take turns, and the one that comes second finds the work done.
    TransactionGuard tx(db);
    if (!tx.isActive())
        return failed(reason);
    if (isDone(db))
        return true;
    if (!accountsPresent(db,
                         {QStringLiteral("1100"), QStringLiteral("1110"), QStringLiteral("1200"),
                          QStringLiteral("1300"), QStringLiteral("2100"), QStringLiteral("2200"),
                          QStringLiteral("4100"), QStringLiteral("4200"), QStringLiteral("4300"),
                          QStringLiteral("5100"), QStringLiteral("5200")},
                         reason))
        return false;
    // The server's triggers keep the totals line by line; the balances move
    // once, by what the totals gained, as on a file.
    const QVariantList before = netPerAccount(db);
    static const QList<Step> steps = pastEventSteps(Engine::PostgreSQL);
    const int total = steps.size() + 1;
    int done = 0;
    for (const Step& step : steps) {
        if (!run(db, step, QString(), 1, std::numeric_limits<int>::max(), reason, false))
            return false;
        if (progress)
            progress(++done, total);
    }
    if (!CurrencyRates::fillJournal(db) || !moveBalances(db, before))
        return failed(reason);
    if (!DoneOnce::markDone(db, Schema::ledgerHistoryKey()) || !tx.commit())
        return failed(reason);
    if (progress)
        progress(total, total);
    return true;
}
