#include "core/ListTotals.h"

#include "core/MoneyTotals.h"
#include "core/SchemaStep.h"
#include "core/SqlDialect.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QString kTable = QStringLiteral("CREATE TABLE IF NOT EXISTS list_totals ("
                                      "list TEXT NOT NULL, "
                                      "day TEXT NOT NULL, "
                                      "currency_id INTEGER NOT NULL, "
                                      "row_count INTEGER NOT NULL DEFAULT 0, "
                                      "c0 INTEGER NOT NULL DEFAULT 0, r0 REAL NOT NULL DEFAULT 0, "
                                      "c1 INTEGER NOT NULL DEFAULT 0, r1 REAL NOT NULL DEFAULT 0, "
                                      "c2 INTEGER NOT NULL DEFAULT 0, r2 REAL NOT NULL DEFAULT 0, "
                                      "PRIMARY KEY (list, day, currency_id)) WITHOUT ROWID");

const QString kInsert = QStringLiteral(
    "INSERT INTO list_totals (list, day, currency_id, row_count, c0, r0, c1, r1, c2, r2) ");

// A remainder goes back to exactly 0 once its day holds no rows.
const QString kMerge =
    QStringLiteral(" ON CONFLICT (list, day, currency_id) DO UPDATE SET "
                   "row_count=row_count+excluded.row_count, "
                   "c0=c0+excluded.c0, c1=c1+excluded.c1, c2=c2+excluded.c2, "
                   "r0=CASE WHEN row_count+excluded.row_count=0 THEN 0.0 ELSE r0+excluded.r0 END, "
                   "r1=CASE WHEN row_count+excluded.row_count=0 THEN 0.0 ELSE r1+excluded.r1 END, "
                   "r2=CASE WHEN row_count+excluded.row_count=0 THEN 0.0 ELSE r2+excluded.r2 END;");

// The lists a server began to keep after it had counted the others, or
// has kept otherwise since, each in a migration of its own: the first count
// leaves them out, so each is counted once, by its own migration.
bool keptLater(const ListTotals::Kept& k)
{
    return k.list == ListTotals::kExpenses || k.list == ListTotals::kJournal ||
           k.list == ListTotals::kChequeRegister || k.list == ListTotals::kAudit;
}

using Engine = DatabaseSettings::Engine;

QString on(QString expression, const QString& row)
{
    return expression.replace(QStringLiteral("R."), row + QLatin1Char('.'));
}

// The few spellings the server writes otherwise: COALESCE for IFNULL, IS
// DISTINCT FROM for IS NOT, cents in 64 bits and the day in its own SQL.
QString orElse(bool server)
{
    return server ? QStringLiteral("COALESCE(") : QStringLiteral("IFNULL(");
}

QString isNot(bool server)
{
    return server ? QStringLiteral(" IS DISTINCT FROM ") : QStringLiteral(" IS NOT ");
}

QString dayOf(const ListTotals::Kept& k, bool server)
{
    return server && !k.serverDay.isEmpty() ? k.serverDay : k.day;
}

// The list_totals key of a row: the list's name, and its split value.
QString keyOf(const ListTotals::Kept& k, const QString& row, bool server)
{
    const QString name = QLatin1Char('\'') + k.list + QLatin1Char('\'');
    if (k.split.isEmpty())
        return name;
    return QStringLiteral("'") + k.list + QStringLiteral(":' || ") + orElse(server) +
           on(k.split, row) + QStringLiteral(",'')");
}

// The select list of one row's (or, with `grouped`, a group's) figures.
QString figures(const ListTotals::Kept& k, const QString& row, const QString& sign, bool grouped,
                bool server)
{
    const Engine engine = server ? Engine::PostgreSQL : Engine::SQLite;
    QStringList values{keyOf(k, row, server),
                       orElse(server) + on(dayOf(k, server), row) + QStringLiteral(",'')"),
                       k.currency.isEmpty() ? QStringLiteral("-1")
                                            : orElse(server) + row + QLatin1Char('.') + k.currency +
                                                  QStringLiteral(",-1)"),
                       sign + (grouped ? QStringLiteral("COUNT(*)") : QStringLiteral("1"))};
    for (int i = 0; i < 3; ++i) {
        if (i >= k.sums.size()) {
            values << QStringLiteral("0") << QStringLiteral("0.0");
            continue;
        }
        const QString amount = row + QLatin1Char('.') + k.sums.at(i);
        const QString cents = MoneyTotals::centsOf(amount, engine);
        const QString rest = MoneyTotals::restOf(amount, engine);
        values << sign + (grouped ? QStringLiteral("SUM(") + cents + QLatin1Char(')') : cents)
               << sign + (grouped ? QStringLiteral("SUM(") + rest + QLatin1Char(')') : rest);
    }
    return values.join(QStringLiteral(", "));
}

// The merge as the server takes it: there a bare column of list_totals
// would be as much the excluded row's.
QString merge(bool server)
{
    if (!server)
        return kMerge;
    static const QRegularExpression ownColumn(
        QStringLiteral("(?<![.\\w])(row_count|c0|c1|c2|r0|r1|r2)\\+excluded\\."));
    QString text = kMerge;
    text.replace(ownColumn, QStringLiteral("list_totals.\\1+excluded."));
    return text;
}

// Adds (sign "") or takes away (sign "-") the row `row` of `k`'s table when
// it counts.
QString oneRow(const ListTotals::Kept& k, const QString& row, const QString& sign, bool server)
{
    return kInsert + QStringLiteral("SELECT ") + figures(k, row, sign, false, server) +
           (k.condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + on(k.condition, row)) +
           merge(server);
}

struct Trigger
{
    QString name;
    QString event; // INSERT, DELETE or UPDATE OF ...
    QString table;
    QString when; // the trigger runs only when this holds, or empty
    QString body;
    // On the server the trigger runs before the row is written, when each
    // row of a statement must see the rows before it only (see below).
    bool before;
    // On the server, the name the statement's rows go by when the trigger
    // runs once per statement (`body` reads them all), or empty.
    QString rows = QString();
};

// The statement-level triggers' names for the rows a statement added or
// removed. Run once per row, a trigger rewrote its day's totals once per
// row, and a server takes longer for each rewrite of one row within one
// transaction: a rent run of thousands of invoices spent most of its
// time there.
const QString kAddedRows = QStringLiteral("added_rows");
const QString kRemovedRows = QStringLiteral("removed_rows");

// Adds (sign "") or takes away (sign "-") the rows of `from` that count
// for `k`, grouped by key, day and currency.
QString groupedRows(const ListTotals::Kept& k, const QString& from, const QString& sign,
                    bool server)
{
    return kInsert + QStringLiteral("SELECT ") +
           figures(k, QStringLiteral("R"), sign, true, server) + QStringLiteral(" FROM ") + from +
           QStringLiteral(" R") +
           (k.condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + k.condition) +
           QStringLiteral(" GROUP BY 1, 2, 3");
}

// The same for the rows a server's statement wrote, named `rows`.
QString statementRows(const ListTotals::Kept& k, const QString& rows, const QString& sign)
{
    return groupedRows(k, rows, sign, true) + merge(true);
}

QString changed(const QStringList& columns, bool server)
{
    QStringList tests;
    for (const QString& column : columns)
        tests << QStringLiteral("OLD.") + column + isNot(server) + QStringLiteral("NEW.") + column;
    return tests.join(QStringLiteral(" OR "));
}

QList<Trigger> triggersOf(const ListTotals::Kept& k, bool server)
{
    const QString added = QStringLiteral("INSERT");
    const QString removed = QStringLiteral("DELETE");
    QList<Trigger> list;
    const QString prefix = QStringLiteral("list_totals_") + k.list;
    if (k.list == ListTotals::kJournal) {
        // An entry counts from its first line to its last: the entry is
        // written before its lines and its lines go before it. The file
        // runs a row's trigger before the statement's next row; the
        // server runs its AFTER triggers once the whole statement is
        // done, so there they run BEFORE each row, which then sees the
        // statement's earlier rows and not its own (excluded by id).
        const QString entry = QStringLiteral("je");
        const QString from =
            QStringLiteral(" FROM journal_entries je WHERE je.id=%1.entry_id AND NOT EXISTS "
                           "(SELECT 1 FROM journal_lines WHERE entry_id=%1.entry_id AND "
                           "id") +
            isNot(server) + QStringLiteral("%1.id)");
        const auto lineRow = [&](const QString& row, const QString& sign) {
            return kInsert + QStringLiteral("SELECT ") + figures(k, entry, sign, false, server) +
                   from.arg(row) + merge(server);
        };
        const QString lines = QStringLiteral("journal_lines");
        if (server) {
            // After the statement: the entries all of whose lines it added
            // come in (as many lines now as it added), those left with none
            // go. Each entry and its lines are looked up by key, one by
            // one: joined, the server read the whole journal to find a
            // rent run's few thousand entries.
            const QString entries = QStringLiteral(
                " FROM (SELECT entry_id, COUNT(*) AS n FROM %1 GROUP BY entry_id) a CROSS JOIN "
                "LATERAL (SELECT * FROM journal_entries x WHERE x.id=a.entry_id LIMIT 1) je "
                "WHERE (SELECT COUNT(*) FROM journal_lines l WHERE l.entry_id=a.entry_id)=%2 "
                "GROUP BY 1, 2, 3");
            const auto entriesOf = [&](const QString& rows, const QString& sign,
                                       const QString& linesLeft) {
                return kInsert + QStringLiteral("SELECT ") + figures(k, entry, sign, true, true) +
                       entries.arg(rows, linesLeft) + merge(true);
            };
            list << Trigger{prefix + QStringLiteral("_line_added"),
                            added,
                            lines,
                            QString(),
                            entriesOf(kAddedRows, QString(), QStringLiteral("a.n")),
                            false,
                            kAddedRows};
            list << Trigger{prefix + QStringLiteral("_line_removed"),
                            removed,
                            lines,
                            QString(),
                            entriesOf(kRemovedRows, QStringLiteral("-"), QStringLiteral("0")),
                            false,
                            kRemovedRows};
        } else {
            list << Trigger{prefix + QStringLiteral("_line_added"),    added, lines, QString(),
                            lineRow(QStringLiteral("NEW"), QString()), true};
            list << Trigger{prefix + QStringLiteral("_line_removed"),
                            removed,
                            lines,
                            QString(),
                            lineRow(QStringLiteral("OLD"), QStringLiteral("-")),
                            true};
        }
        // A line moved to another entry: off the old one, onto the new.
        list << Trigger{prefix + QStringLiteral("_line_moved"),
                        QStringLiteral("UPDATE OF entry_id"),
                        lines,
                        QStringLiteral("OLD.entry_id") + isNot(server) +
                            QStringLiteral("NEW.entry_id"),
                        lineRow(QStringLiteral("OLD"), QStringLiteral("-")) +
                            lineRow(QStringLiteral("NEW"), QString()),
                        true};
    } else if (server) {
        list << Trigger{prefix + QStringLiteral("_added"),       added, k.table,   QString(),
                        statementRows(k, kAddedRows, QString()), false, kAddedRows};
    } else {
        list << Trigger{prefix + QStringLiteral("_added"),
                        added,
                        k.table,
                        QString(),
                        oneRow(k, QStringLiteral("NEW"), QString(), server),
                        false};
    }
    QStringList columns = k.sums;
    if (!k.dayColumn.isEmpty())
        columns << k.dayColumn;
    columns << k.conditionColumns;
    if (!k.currency.isEmpty())
        columns << k.currency;
    columns.removeDuplicates();
    if (server)
        list << Trigger{prefix + QStringLiteral("_removed"),
                        removed,
                        k.table,
                        QString(),
                        statementRows(k, kRemovedRows, QStringLiteral("-")),
                        false,
                        kRemovedRows};
    else
        list << Trigger{prefix + QStringLiteral("_removed"),
                        removed,
                        k.table,
                        QString(),
                        oneRow(k, QStringLiteral("OLD"), QStringLiteral("-"), server),
                        false};
    // A row counted whatever it holds stays under its one key.
    if (columns.isEmpty())
        return list;
    // A row changed in what it is counted by (for a journal entry: redated
    // or made another kind) comes off its old key and onto the new.
    list << Trigger{prefix + QStringLiteral("_changed"),
                    QStringLiteral("UPDATE OF ") + columns.join(QStringLiteral(", ")),
                    k.table,
                    changed(columns, server),
                    oneRow(k, QStringLiteral("OLD"), QStringLiteral("-"), server) +
                        oneRow(k, QStringLiteral("NEW"), QString(), server),
                    false};
    return list;
}

QList<Trigger> triggers(bool server)
{
    QList<Trigger> list;
    for (const ListTotals::Kept& k : ListTotals::all())
        list << triggersOf(k, server);
    return list;
}

// Counts `k`'s rows into list_totals, in the engine's own SQL.
QString count(const ListTotals::Kept& k, bool server)
{
    return groupedRows(k, k.table, QString(), server);
}

QString definition(const Trigger& trigger)
{
    return QStringLiteral("CREATE TRIGGER ") + trigger.name + QStringLiteral(" AFTER ") +
           trigger.event + QStringLiteral(" ON ") + trigger.table +
           (trigger.when.isEmpty() ? QString() : QStringLiteral(" WHEN ") + trigger.when) +
           QStringLiteral(" BEGIN ") + trigger.body + QStringLiteral(" END");
}

// The server's function running the trigger's statements, and the trigger.
QStringList serverDefinition(const Trigger& trigger)
{
    const QString row =
        trigger.event == QLatin1String("DELETE") ? QStringLiteral("OLD") : QStringLiteral("NEW");
    return {QStringLiteral("CREATE FUNCTION ") + trigger.name +
                QStringLiteral("() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN ") + trigger.body +
                QStringLiteral(" RETURN ") + (trigger.before ? row : QStringLiteral("NULL")) +
                QStringLiteral("; END $$"),
            QStringLiteral("CREATE TRIGGER ") + trigger.name +
                (trigger.before ? QStringLiteral(" BEFORE ") : QStringLiteral(" AFTER ")) +
                trigger.event + QStringLiteral(" ON ") + trigger.table +
                (trigger.rows.isEmpty()
                     ? QStringLiteral(" FOR EACH ROW")
                     : QStringLiteral(" REFERENCING ") +
                           (trigger.event == QLatin1String("DELETE") ? QStringLiteral("OLD")
                                                                     : QStringLiteral("NEW")) +
                           QStringLiteral(" TABLE AS ") + trigger.rows +
                           QStringLiteral(" FOR EACH STATEMENT")) +
                (trigger.when.isEmpty()
                     ? QString()
                     : QStringLiteral(" WHEN (") + trigger.when + QLatin1Char(')')) +
                QStringLiteral(" EXECUTE FUNCTION ") + trigger.name + QStringLiteral("()")};
}

using SchemaStep::fail;

} // namespace

const ListTotals::Kept* ListTotals::find(const QString& list)
{
    for (const Kept& k : ListTotals::all())
        if (k.list == list)
            return &k;
    return nullptr;
}

QString ListTotals::listCondition(const Kept& k, bool oneValue)
{
    if (k.split.isEmpty())
        return QStringLiteral("list=?");
    // Every "list:..." key and no other: the keys compare byte by byte, and
    // ';' comes right after ':'.
    return oneValue ? QStringLiteral("list=?") : QStringLiteral("list>=? AND list<?");
}

QVariantList ListTotals::listValues(const Kept& k, const QVariant& value)
{
    if (k.split.isEmpty())
        return {k.list};
    if (value.isValid())
        return {k.list + QLatin1Char(':') + value.toString()};
    return {k.list + QLatin1Char(':'), k.list + QLatin1Char(';')};
}

const QStringList& ListTotals::triggerNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const Trigger& trigger : triggers(false))
            list << trigger.name;
        return list;
    }();
    return names;
}

QStringList ListTotals::recountStatements(DatabaseSettings::Engine engine)
{
    const bool server = engine == Engine::PostgreSQL;
    QStringList statements{QStringLiteral("DELETE FROM list_totals")};
    for (const Kept& k : ListTotals::all())
        statements << count(k, server);
    return statements;
}

bool ListTotals::ensure(QSqlDatabase& db, QSqlError* error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "SELECT COUNT(*) FROM sqlite_master WHERE type='table' AND name='list_totals'")) ||
        !query.next())
        return fail(query, error);
    bool complete = query.value(0).toInt() == 1;
    query.finish();
    SchemaStep::Triggers written;
    for (const Trigger& trigger : triggers(false))
        written.append({trigger.name, definition(trigger)});
    if (complete && !SchemaStep::triggersAsWritten(db, written, &complete, error))
        return false;
    if (complete)
        return true;
    QStringList statements = {kTable};
    statements << SchemaStep::triggersAnew(written) << recountStatements();
    return SchemaStep::runTogether(db, statements, error);
}

const QStringList& ListTotals::serverStatements()
{
    static const QStringList statements = [] {
        // The keys compare byte by byte, as on the file (see listCondition),
        // whatever the database's collation.
        QStringList list{
            QStringLiteral("CREATE TABLE list_totals (list TEXT COLLATE \"C\" NOT NULL, "
                           "day TEXT COLLATE \"C\" NOT NULL, currency_id BIGINT NOT NULL, "
                           "row_count BIGINT NOT NULL DEFAULT 0, "
                           "c0 BIGINT NOT NULL DEFAULT 0, r0 NUMERIC NOT NULL DEFAULT 0, "
                           "c1 BIGINT NOT NULL DEFAULT 0, r1 NUMERIC NOT NULL DEFAULT 0, "
                           "c2 BIGINT NOT NULL DEFAULT 0, r2 NUMERIC NOT NULL DEFAULT 0, "
                           "PRIMARY KEY (list, day, currency_id))")};
        // The local day of a stored UTC time, as the lists tell it; a time
        // the server cannot read is on no day (''), as on the file.
        list << QStringLiteral("CREATE FUNCTION list_totals_local_day(t TEXT) RETURNS TEXT "
                               "LANGUAGE plpgsql STABLE "
                               "AS $$ BEGIN RETURN ") +
                    SqlDialect::localDay(Engine::PostgreSQL, QStringLiteral("t")) +
                    QStringLiteral("; EXCEPTION WHEN others THEN RETURN NULL; END $$");
        for (const Kept& k : ListTotals::all()) {
            if (keptLater(k))
                continue;
            for (const Trigger& trigger : triggersOf(k, true))
                list << serverDefinition(trigger);
            list << count(k, true);
        }
        return list;
    }();
    return statements;
}

QStringList ListTotals::serverStatements(const QString& list)
{
    QStringList statements;
    const Kept* k = find(list);
    if (!k)
        return statements;
    for (const Trigger& trigger : triggersOf(*k, true))
        statements << serverDefinition(trigger);
    statements << count(*k, true);
    return statements;
}

QStringList ListTotals::serverStatementTriggers()
{
    QStringList statements;
    for (const Kept& k : ListTotals::all()) {
        for (const Trigger& trigger : triggersOf(k, true)) {
            if (trigger.rows.isEmpty())
                continue;
            statements << QStringLiteral("DROP FUNCTION IF EXISTS ") + trigger.name +
                              QStringLiteral("() CASCADE")
                       << serverDefinition(trigger);
        }
    }
    return statements;
}

QStringList ListTotals::serverStatementsAnew(const QString& list)
{
    const Kept* k = find(list);
    if (!k)
        return {};
    QStringList statements;
    for (const Trigger& trigger : triggersOf(*k, true))
        statements << QStringLiteral("DROP FUNCTION IF EXISTS ") + trigger.name +
                          QStringLiteral("() CASCADE");
    // Its rows under the list's name alone and under any split value (see
    // listCondition); the name is the program's own.
    statements << QStringLiteral("DELETE FROM list_totals WHERE list='%1' OR (list>='%1:' AND "
                                 "list<'%1;')")
                      .arg(k->list);
    return statements + serverStatements(list);
}
