#include "core/LedgerHistorySteps.h"

#include "core/LedgerTotals.h"
#include "core/SqlDialect.h"

#include <QPair>

namespace LedgerHistorySteps {

QString sharesTable(Engine engine)
{
    return engine == Engine::PostgreSQL ? QStringLiteral("pg_temp.ledger_shares")
                                        : QStringLiteral("temp.ledger_shares");
}

namespace {

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

} // namespace

LedgerHistory::Step invoiceStep(Engine engine)
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

LedgerHistory::Step voidStep(Engine engine)
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

QList<LedgerHistory::Step> pastEventSteps(Engine engine)
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

} // namespace LedgerHistorySteps
