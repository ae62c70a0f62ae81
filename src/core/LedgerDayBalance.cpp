#include "core/LedgerDayBalance.h"

#include "core/Database.h"
#include "core/SchemaStep.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QString kTable = QStringLiteral("CREATE TABLE IF NOT EXISTS ledger_day_balance ("
                                      "currency_id INTEGER NOT NULL, "
                                      "day TEXT NOT NULL, "
                                      "accounts INTEGER NOT NULL DEFAULT 0, "
                                      "net REAL NOT NULL DEFAULT 0, "
                                      "weighted INTEGER NOT NULL DEFAULT 0, "
                                      "PRIMARY KEY (currency_id, day)) WITHOUT ROWID");
const QString kServerTable = QStringLiteral("CREATE TABLE IF NOT EXISTS ledger_day_balance ("
                                            "currency_id BIGINT NOT NULL, "
                                            "day TEXT NOT NULL, "
                                            "accounts BIGINT NOT NULL DEFAULT 0, "
                                            "net NUMERIC NOT NULL DEFAULT 0, "
                                            "weighted BIGINT NOT NULL DEFAULT 0, "
                                            "PRIMARY KEY (currency_id, day))");
// The condition the index holds its rows under; a read names it word for
// word, or SQLite would not use the index.
const QString kOut = QStringLiteral("(ABS(net) > 0.005 OR weighted <> 0)");
const QString kIndex =
    QStringLiteral("CREATE INDEX IF NOT EXISTS ledger_day_balance_out ON ledger_day_balance "
                   "(day) WHERE ") +
    kOut;

// Adds (sign "") or takes away ("-") one day-totals row `row`. A day that no
// longer holds any account's row goes back to exactly 0, so the binary noise
// of adding and taking away never makes it look out of balance. The server
// names the kept row's own columns: a bare one would be as much the excluded
// row's.
QString change(const QString& row, const QString& sign, bool server = false)
{
    const QString own = server ? QStringLiteral("ledger_day_balance.") : QString();
    return QStringLiteral("INSERT INTO ledger_day_balance (currency_id, day, accounts, net, "
                          "weighted) VALUES (%1.currency_id, %1.day, %4, %2(%1.debit-%1.credit), "
                          "%2%1.weighted) ON CONFLICT (currency_id, day) DO UPDATE SET "
                          "accounts=%3accounts+excluded.accounts, net=CASE WHEN "
                          "%3accounts+excluded.accounts=0 THEN 0 ELSE %3net+excluded.net END, "
                          "weighted=%3weighted+excluded.weighted;")
        .arg(row, sign, own, sign + QStringLiteral("1"));
}

// On the server, a day total that changed on its own day and currency (every
// line posted: the totals are kept per account, currency and day) moves the
// day's row once, by the difference.
const QString kServerMoved = QStringLiteral(
    "INSERT INTO ledger_day_balance (currency_id, day, accounts, net, weighted) VALUES "
    "(new.currency_id, new.day, 0, (new.debit-new.credit)-(old.debit-old.credit), "
    "new.weighted-old.weighted) ON CONFLICT (currency_id, day) DO UPDATE SET "
    "net=ledger_day_balance.net+excluded.net, "
    "weighted=ledger_day_balance.weighted+excluded.weighted;");

struct Trigger
{
    QString name;
    QString sql;
};

const QList<Trigger>& triggers()
{
    static const QList<Trigger> all = {
        {QStringLiteral("ledger_day_balance_insert"),
         QStringLiteral("CREATE TRIGGER ledger_day_balance_insert AFTER INSERT ON "
                        "ledger_day_totals BEGIN ") +
             change(QStringLiteral("new"), QString()) + QStringLiteral(" END")},
        {QStringLiteral("ledger_day_balance_delete"),
         QStringLiteral("CREATE TRIGGER ledger_day_balance_delete AFTER DELETE ON "
                        "ledger_day_totals BEGIN ") +
             change(QStringLiteral("old"), QStringLiteral("-")) + QStringLiteral(" END")},
        {QStringLiteral("ledger_day_balance_update"),
         QStringLiteral("CREATE TRIGGER ledger_day_balance_update AFTER UPDATE ON "
                        "ledger_day_totals BEGIN ") +
             change(QStringLiteral("old"), QStringLiteral("-")) +
             change(QStringLiteral("new"), QString()) + QStringLiteral(" END")},
    };
    return all;
}

const QString kRecount = QStringLiteral(
    "INSERT INTO ledger_day_balance (currency_id, day, accounts, net, weighted) SELECT "
    "currency_id, day, COUNT(*), SUM(debit-credit), SUM(weighted) FROM ledger_day_totals GROUP BY "
    "currency_id, day");

using SchemaStep::fail;

} // namespace

const QStringList& LedgerDayBalance::triggerNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const Trigger& trigger : triggers())
            list << trigger.name;
        return list;
    }();
    return names;
}

bool LedgerDayBalance::ensure(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type='table' AND "
                                   "name='ledger_day_balance'")) ||
        !query.next())
        return fail(query, error);
    bool complete = query.value(0).toInt() == 1;
    query.finish();
    SchemaStep::Triggers written;
    for (const Trigger& trigger : triggers())
        written.append({trigger.name, trigger.sql});
    if (complete && !SchemaStep::triggersAsWritten(db, written, &complete, error))
        return false;
    if (complete)
        return SchemaStep::runTogether(db, {kIndex}, error);

    // The count and the triggers that keep it go in together, so no day
    // total can change in between and be missed or counted twice.
    QStringList statements = {kTable, kIndex, QStringLiteral("DELETE FROM ledger_day_balance")};
    statements << SchemaStep::triggersAnew(written) << kRecount;
    return SchemaStep::runTogether(db, statements, error);
}

const QStringList& LedgerDayBalance::serverStatements()
{
    static const QStringList statements = {
        kServerTable,
        kIndex,
        QStringLiteral("CREATE OR REPLACE FUNCTION ledger_day_balance() RETURNS trigger LANGUAGE "
                       "plpgsql AS $$ BEGIN IF TG_OP = 'UPDATE' AND old.currency_id = "
                       "new.currency_id AND old.day = new.day THEN ") +
            kServerMoved + QStringLiteral(" RETURN NULL; END IF; IF TG_OP <> 'INSERT' THEN ") +
            change(QStringLiteral("old"), QStringLiteral("-"), true) +
            QStringLiteral(" END IF; IF TG_OP <> 'DELETE' THEN ") +
            change(QStringLiteral("new"), QString(), true) +
            QStringLiteral(" END IF; RETURN NULL; END $$"),
        QStringLiteral("DROP TRIGGER IF EXISTS ledger_day_balance_kept ON ledger_day_totals"),
        QStringLiteral("CREATE TRIGGER ledger_day_balance_kept AFTER INSERT OR UPDATE OR DELETE "
                       "ON ledger_day_totals FOR EACH ROW EXECUTE FUNCTION ledger_day_balance()"),
    };
    // A database that already holds lines is counted once.
    static const QStringList all = statements + recountStatements();
    return all;
}

QStringList LedgerDayBalance::recountStatements()
{
    return {QStringLiteral("DELETE FROM ledger_day_balance"), kRecount};
}

QStringList LedgerDayBalance::outOfBalanceDays(Database* db, int limit)
{
    QStringList days;
    for (const QVariant& row :
         db->execQuery(QStringLiteral("SELECT DISTINCT day FROM ledger_day_balance WHERE ") + kOut +
                           QStringLiteral(" ORDER BY day LIMIT ?"),
                       {limit}))
        days << row.toMap().value(QStringLiteral("day")).toString();
    return days;
}

QStringList LedgerDayBalance::outOfBalanceDaysScanned(Database* db, int limit)
{
    QStringList days;
    for (const QVariant& row : db->execQuery(
             QStringLiteral("SELECT DISTINCT day FROM (SELECT day FROM ledger_day_totals GROUP BY "
                            "currency_id, day HAVING ABS(SUM(debit-credit)) > ? OR "
                            "SUM(weighted) <> 0) AS out_of_balance ORDER BY day LIMIT ?"),
             {kTolerance, limit}))
        days << row.toMap().value(QStringLiteral("day")).toString();
    return days;
}
