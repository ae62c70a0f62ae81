#include "core/LedgerTotals.h"

#include "core/Database.h"
#include "core/SchemaStep.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QString kTable = QStringLiteral("CREATE TABLE IF NOT EXISTS ledger_day_totals ("
                                      "account_id INTEGER NOT NULL, "
                                      "currency_id INTEGER NOT NULL, "
                                      "day TEXT NOT NULL, "
                                      "lines INTEGER NOT NULL DEFAULT 0, "
                                      "debit REAL NOT NULL DEFAULT 0, "
                                      "credit REAL NOT NULL DEFAULT 0, "
                                      "debit_primary REAL NOT NULL DEFAULT 0, "
                                      "credit_primary REAL NOT NULL DEFAULT 0, "
                                      "open_lines INTEGER NOT NULL DEFAULT 0, "
                                      "open_debit REAL NOT NULL DEFAULT 0, "
                                      "open_credit REAL NOT NULL DEFAULT 0, "
                                      "weighted INTEGER NOT NULL DEFAULT 0, "
                                      "PRIMARY KEY (account_id, currency_id, day)) WITHOUT ROWID");

// A row here (only ever inside a bulk posting's transaction) sets the
// triggers aside; the bulk posting adds its lines in one grouped pass.
const QString kPausedTable =
    QStringLiteral("CREATE TABLE IF NOT EXISTS ledger_totals_paused (id INTEGER PRIMARY KEY)");
const QString kUnlessPaused =
    QStringLiteral(" WHEN NOT EXISTS (SELECT 1 FROM ledger_totals_paused) BEGIN ");

const QString kColumns =
    QStringLiteral("INSERT INTO ledger_day_totals (account_id,currency_id,day,lines,debit,credit,"
                   "debit_primary,credit_primary,open_lines,open_debit,open_credit,weighted) ");

// A file counted before the entry-weighted sums were kept gains the column;
// the count that follows fills it.
const QString kWeightedColumn =
    QStringLiteral("ALTER TABLE ledger_day_totals ADD COLUMN weighted INTEGER NOT NULL DEFAULT 0");

// Sums go back to exactly 0 once a day holds no line, so removing what was
// added leaves no binary noise behind.
const QString kMerge = QStringLiteral(
    " ON CONFLICT (account_id,currency_id,day) DO UPDATE SET lines=lines+excluded.lines, "
    "debit=CASE WHEN lines+excluded.lines=0 THEN 0.0 ELSE debit+excluded.debit END, "
    "credit=CASE WHEN lines+excluded.lines=0 THEN 0.0 ELSE credit+excluded.credit END, "
    "debit_primary=CASE WHEN lines+excluded.lines=0 THEN 0.0 ELSE "
    "debit_primary+excluded.debit_primary END, "
    "credit_primary=CASE WHEN lines+excluded.lines=0 THEN 0.0 ELSE "
    "credit_primary+excluded.credit_primary END, open_lines=open_lines+excluded.open_lines, "
    "open_debit=CASE WHEN open_lines+excluded.open_lines=0 THEN 0.0 ELSE "
    "open_debit+excluded.open_debit END, "
    "open_credit=CASE WHEN open_lines+excluded.open_lines=0 THEN 0.0 ELSE "
    "open_credit+excluded.open_credit END, weighted=weighted+excluded.weighted;");

// An entry that names no currency is in the first primary currency, as the
// ledger's reports read it.
QString currencyKey(const QString& entry)
{
    return QStringLiteral("COALESCE(%1.currency_id,(SELECT id FROM currencies ORDER BY "
                          "is_primary DESC, id LIMIT 1))")
        .arg(entry);
}

// The values one line `l` of entry `e` adds (sign "") or takes away ("-"),
// summed when `grouped`. The server counts a condition as 1 or 0 through
// CASE, keeps the mills of large amounts in 64 bits and names the totals'
// own columns in the merge.
QString lineValues(const QString& l, const QString& e, const QString& sign, bool grouped,
                   bool server = false)
{
    const QString agg = grouped ? QStringLiteral("SUM") : QString();
    const QString count = grouped ? QStringLiteral("COUNT(*)") : QStringLiteral("1");
    const QString open = QStringLiteral("(%1.debit_primary IS NULL)").arg(l);
    const QString net = QStringLiteral("COALESCE(%1.debit,0)-COALESCE(%1.credit,0)").arg(l);
    return QStringLiteral(
               "%1.account_id, %2, substr(%3.entry_date,1,10), %4%5, "
               "%4%6(COALESCE(%1.debit,0)), %4%6(COALESCE(%1.credit,0)), "
               "%4%6(COALESCE(%1.debit_primary,0)), %4%6(COALESCE(%1.credit_primary,0)), "
               "%4%6(%7), %4%6(CASE WHEN %8 THEN COALESCE(%1.debit,0) ELSE 0 END), "
               "%4%6(CASE WHEN %8 THEN COALESCE(%1.credit,0) ELSE 0 END), %4%6(%9)")
        .arg(l, currencyKey(e), e, sign, count, agg,
             server ? QStringLiteral("CASE WHEN %1 THEN 1 ELSE 0 END").arg(open) : open, open,
             server ? QStringLiteral("%1.entry_id*CAST(round((%2)*1000) AS BIGINT)").arg(l, net)
                    : LedgerTotals::weightedSql(l + QStringLiteral(".entry_id"), net));
}

// The merge on the server, where a bare column of the totals would be as
// much the excluded row's.
QString serverMerge()
{
    static const QRegularExpression ownColumn(
        QStringLiteral("(?<![.\\w])(lines|debit|credit|debit_primary|credit_primary|open_lines|"
                       "open_debit|open_credit|weighted)\\+excluded\\."));
    QString merge = kMerge;
    merge.replace(ownColumn, QStringLiteral("ledger_day_totals.\\1+excluded."));
    return merge;
}

QString oneLine(const QString& row, const QString& sign, bool server = false)
{
    return kColumns + QStringLiteral("SELECT ") +
           lineValues(row, QStringLiteral("e"), sign, false, server) +
           QStringLiteral(" FROM journal_entries e WHERE e.id=%1.entry_id").arg(row) +
           (server ? serverMerge() : kMerge);
}

// The lines of entry `row` as it was or is (moved with its date or currency).
QString entryLines(const QString& row, const QString& sign, bool server = false)
{
    return kColumns + QStringLiteral("SELECT ") +
           lineValues(QStringLiteral("l"), row, sign, true, server) +
           QStringLiteral(" FROM journal_lines l WHERE l.entry_id=%1.id GROUP BY l.account_id")
               .arg(row) +
           (server ? serverMerge() : kMerge);
}

struct Trigger
{
    QString name;
    QString sql;
};

const QList<Trigger>& triggers()
{
    static const QList<Trigger> all = {
        {QStringLiteral("ledger_totals_line_insert"),
         QStringLiteral("CREATE TRIGGER ledger_totals_line_insert AFTER INSERT ON journal_lines") +
             kUnlessPaused + oneLine(QStringLiteral("new"), QString()) + QStringLiteral(" END")},
        {QStringLiteral("ledger_totals_line_delete"),
         QStringLiteral("CREATE TRIGGER ledger_totals_line_delete AFTER DELETE ON journal_lines") +
             kUnlessPaused + oneLine(QStringLiteral("old"), QStringLiteral("-")) +
             QStringLiteral(" END")},
        {QStringLiteral("ledger_totals_line_update"),
         QStringLiteral("CREATE TRIGGER ledger_totals_line_update AFTER UPDATE OF entry_id, "
                        "account_id, debit, credit, debit_primary, credit_primary ON "
                        "journal_lines") +
             kUnlessPaused + oneLine(QStringLiteral("old"), QStringLiteral("-")) +
             oneLine(QStringLiteral("new"), QString()) + QStringLiteral(" END")},
        {QStringLiteral("ledger_totals_entry_update"),
         QStringLiteral("CREATE TRIGGER ledger_totals_entry_update AFTER UPDATE OF entry_date, "
                        "currency_id ON journal_entries") +
             kUnlessPaused + entryLines(QStringLiteral("old"), QStringLiteral("-")) +
             entryLines(QStringLiteral("new"), QString()) + QStringLiteral(" END")},
    };
    return all;
}

QString recount(const QString& where, bool server = false)
{
    return kColumns + QStringLiteral("SELECT ") +
           lineValues(QStringLiteral("l"), QStringLiteral("e"), QString(), true, server) +
           QStringLiteral(" FROM journal_entries e JOIN journal_lines l ON l.entry_id=e.id "
                          "WHERE ") +
           where + QStringLiteral(" GROUP BY 1, 2, 3") + (server ? serverMerge() : kMerge);
}

using SchemaStep::fail;

} // namespace

const QStringList& LedgerTotals::triggerNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const Trigger& trigger : triggers())
            list << trigger.name;
        return list;
    }();
    return names;
}

bool LedgerTotals::ensure(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM sqlite_master WHERE "
                                   "type='table' AND name='ledger_day_totals'), (SELECT COUNT(*) "
                                   "FROM pragma_table_info('ledger_day_totals') WHERE "
                                   "name='weighted')")) ||
        !query.next())
        return fail(query, error);
    const bool table = query.value(0).toInt() == 1;
    const bool weighted = query.value(1).toInt() == 1;
    bool complete = table && weighted;
    query.finish();
    SchemaStep::Triggers written;
    for (const Trigger& trigger : triggers())
        written.append({trigger.name, trigger.sql});
    if (complete && !SchemaStep::triggersAsWritten(db, written, &complete, error))
        return false;
    if (complete)
        return true;

    // The count and the triggers that keep it go in together, so no line
    // can be written in between and be missed or counted twice.
    QStringList statements = {kTable, kPausedTable};
    if (table && !weighted)
        statements << kWeightedColumn;
    statements << QStringLiteral("DELETE FROM ledger_totals_paused")
               << QStringLiteral("DELETE FROM ledger_day_totals");
    statements << SchemaStep::triggersAnew(written) << recount(QStringLiteral("1"));
    return SchemaStep::runTogether(db, statements, error);
}

const QStringList& LedgerTotals::serverStatements()
{
    // The same rows as the file's triggers keep, from the same statements;
    // a line moves its old values out and its new ones in.
    static const QStringList statements = {
        QStringLiteral("CREATE FUNCTION ledger_totals_line() RETURNS trigger LANGUAGE plpgsql AS "
                       "$$ BEGIN IF EXISTS (SELECT 1 FROM ledger_totals_paused) THEN RETURN "
                       "NULL; END IF; IF TG_OP <> 'INSERT' THEN ") +
            oneLine(QStringLiteral("old"), QStringLiteral("-"), true) +
            QStringLiteral(" END IF; IF TG_OP <> 'DELETE' THEN ") +
            oneLine(QStringLiteral("new"), QString(), true) +
            QStringLiteral(" END IF; RETURN NULL; END $$"),
        QStringLiteral("CREATE FUNCTION ledger_totals_entry() RETURNS trigger LANGUAGE plpgsql AS "
                       "$$ BEGIN IF EXISTS (SELECT 1 FROM ledger_totals_paused) THEN RETURN "
                       "NULL; END IF; ") +
            entryLines(QStringLiteral("old"), QStringLiteral("-"), true) +
            entryLines(QStringLiteral("new"), QString(), true) +
            QStringLiteral(" RETURN NULL; END $$"),
        QStringLiteral("CREATE TRIGGER ledger_totals_line_added AFTER INSERT OR DELETE ON "
                       "journal_lines FOR EACH ROW EXECUTE FUNCTION ledger_totals_line()"),
        QStringLiteral("CREATE TRIGGER ledger_totals_line_changed AFTER UPDATE OF entry_id, "
                       "account_id, debit, credit, debit_primary, credit_primary ON journal_lines "
                       "FOR EACH ROW EXECUTE FUNCTION ledger_totals_line()"),
        QStringLiteral("CREATE TRIGGER ledger_totals_entry_moved AFTER UPDATE OF entry_date, "
                       "currency_id ON journal_entries FOR EACH ROW EXECUTE FUNCTION "
                       "ledger_totals_entry()"),
        // A database that already holds lines is counted once.
        QStringLiteral("DELETE FROM ledger_day_totals"),
        recount(QStringLiteral("true"), true),
    };
    return statements;
}

bool LedgerTotals::pause(Database* db)
{
    return db->execNonQuery(QStringLiteral("INSERT INTO ledger_totals_paused (id) VALUES (1) "
                                           "ON CONFLICT DO NOTHING"));
}

bool LedgerTotals::resume(Database* db)
{
    return db->execNonQuery(QStringLiteral("DELETE FROM ledger_totals_paused"));
}

bool LedgerTotals::addEntriesAfter(Database* db, int entryMark, bool otherCurrenciesOnly)
{
    return db->execNonQuery(
        recount(QStringLiteral("e.id>?") +
                    (otherCurrenciesOnly
                         ? QStringLiteral(" AND ") + currencyKey(QStringLiteral("e")) +
                               QStringLiteral("<>(SELECT id FROM currencies ORDER BY is_primary "
                                              "DESC, id LIMIT 1)")
                         : QString()),
                db->isPostgres()),
        {entryMark});
}

QString LedgerTotals::weightedSql(const QString& entryId, const QString& net)
{
    return QStringLiteral("%1*CAST(round((%2)*1000) AS INTEGER)").arg(entryId, net);
}

QString LedgerTotals::addConvertedSql(const QString& with, const QString& rows)
{
    return with + kColumns +
           QStringLiteral("SELECT account_id, currency_id, day, SUM(n), SUM(debit), "
                          "SUM(credit), SUM(debit), SUM(credit), 0, 0, 0, SUM(weighted) FROM (") +
           rows + QStringLiteral(") WHERE 1 GROUP BY 1, 2, 3") + kMerge;
}

QVariantList LedgerTotals::sums(Database* db, const QString& from, const QString& to,
                                const QString& accountWhere)
{
    QString sql = QStringLiteral(
        "SELECT account_id, currency_id, SUM(lines) AS lines, SUM(debit) AS debit, SUM(credit) "
        "AS credit FROM ledger_day_totals WHERE lines<>0");
    QVariantList params;
    if (!from.isEmpty()) {
        sql += QStringLiteral(" AND day>=?");
        params << from;
    }
    if (!to.isEmpty()) {
        sql += QStringLiteral(" AND day<=?");
        params << to;
    }
    if (!accountWhere.isEmpty())
        sql += QStringLiteral(" AND account_id IN (SELECT id FROM accounts WHERE ") + accountWhere +
               QLatin1Char(')');
    sql += QStringLiteral(" GROUP BY account_id, currency_id ORDER BY account_id, currency_id");
    return db->execQuery(sql, params);
}
