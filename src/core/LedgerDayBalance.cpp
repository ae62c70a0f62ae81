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
// The condition the index holds its rows under; a read names it word for
// word, or SQLite would not use the index.
const QString kOut = QStringLiteral("(ABS(net) > 0.005 OR weighted <> 0)");
const QString kIndex =
    QStringLiteral("CREATE INDEX IF NOT EXISTS ledger_day_balance_out ON ledger_day_balance "
                   "(day) WHERE ") +
    kOut;

// Adds (sign "") or takes away ("-") one day-totals row `row`. A day that no
// longer holds any account's row goes back to exactly 0, so the binary noise
// of adding and taking away never makes it look out of balance.
QString change(const QString& row, const QString& sign)
{
    return QStringLiteral("INSERT INTO ledger_day_balance (currency_id, day, accounts, net, "
                          "weighted) VALUES (%1.currency_id, %1.day, %3, %2(%1.debit-%1.credit), "
                          "%2%1.weighted) ON CONFLICT (currency_id, day) DO UPDATE SET "
                          "accounts=accounts+excluded.accounts, net=CASE WHEN "
                          "accounts+excluded.accounts=0 THEN 0 ELSE net+excluded.net END, "
                          "weighted=weighted+excluded.weighted;")
        .arg(row, sign, sign + QStringLiteral("1"));
}

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

QStringList LedgerDayBalance::outOfBalanceDays(Database* db, int limit)
{
    if (db->isPostgres())
        return outOfBalanceDaysScanned(db, limit);
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
