#include "core/ListTotals.h"

#include "core/MoneyTotals.h"
#include "core/SchemaStep.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

const QString ListTotals::kInvoices = QStringLiteral("invoices");
const QString ListTotals::kPayments = QStringLiteral("payments");
const QString ListTotals::kJournal = QStringLiteral("journal");
const QString ListTotals::kPendingCheques = QStringLiteral("pending_cheques");
const QString ListTotals::kCheques = QStringLiteral("cheques");
const QString ListTotals::kChequesDue = QStringLiteral("cheques_due");
const QString ListTotals::kOpenInvoices = QStringLiteral("open_invoices");

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

const QList<ListTotals::Kept>& kept()
{
    // The invoice's day is the local day it was written on, the payment's
    // its payment date: the days the lists convert them at.
    static const QList<ListTotals::Kept> all = {
        {ListTotals::kInvoices,
         QStringLiteral("invoices"),
         QStringLiteral("date(R.created_at,'localtime')"),
         QStringLiteral("created_at"),
         QStringLiteral("currency_id"),
         {QStringLiteral("total_amount"), QStringLiteral("paid_amount"), QStringLiteral("balance")},
         QString(),
         {QStringLiteral("status")},
         QStringLiteral("R.status"),
         QStringLiteral("status")},
        {ListTotals::kPayments,
         QStringLiteral("payments"),
         QStringLiteral("R.payment_date"),
         QStringLiteral("payment_date"),
         QStringLiteral("currency_id"),
         {QStringLiteral("amount")},
         QString(),
         {},
         QString(),
         QString()},
        // Only entries with lines are listed.
        {ListTotals::kJournal,
         QStringLiteral("journal_entries"),
         QStringLiteral("R.entry_date"),
         QStringLiteral("entry_date"),
         QString(),
         {},
         QStringLiteral("EXISTS (SELECT 1 FROM journal_lines WHERE entry_id=R.id)"),
         {},
         QString(),
         QString()},
        {ListTotals::kPendingCheques,
         QStringLiteral("cheques"),
         QStringLiteral("''"),
         QString(),
         QStringLiteral("currency_id"),
         {QStringLiteral("amount")},
         QStringLiteral("R.type='received' AND R.status='pending' AND (R.payment_id IS NOT NULL "
                        "OR R.installment_id IS NOT NULL)"),
         {QStringLiteral("type"), QStringLiteral("status"), QStringLiteral("payment_id"),
          QStringLiteral("installment_id")},
         QString(),
         QString()},
        {ListTotals::kCheques,
         QStringLiteral("cheques"),
         QStringLiteral("''"),
         QString(),
         QStringLiteral("currency_id"),
         {QStringLiteral("amount")},
         QString(),
         {QStringLiteral("status")},
         QStringLiteral("R.status"),
         QStringLiteral("status")},
        // A cheque without a due day is never due.
        {ListTotals::kChequesDue,
         QStringLiteral("cheques"),
         QStringLiteral("R.due_date"),
         QStringLiteral("due_date"),
         QStringLiteral("currency_id"),
         {QStringLiteral("amount")},
         QStringLiteral("R.status='pending' AND R.due_date IS NOT NULL"),
         {QStringLiteral("status"), QStringLiteral("type")},
         QStringLiteral("R.type"),
         QStringLiteral("type")},
        {ListTotals::kOpenInvoices,
         QStringLiteral("invoices"),
         QStringLiteral("R.due_date"),
         QStringLiteral("due_date"),
         QStringLiteral("currency_id"),
         {QStringLiteral("balance")},
         QStringLiteral("(R.status < 'paid' OR (R.status > 'paid' AND R.status < 'void') OR "
                        "R.status > 'void') AND R.balance >= 0.005 AND R.due_date IS NOT NULL"),
         {QStringLiteral("status")},
         QString(),
         QString()},
    };
    return all;
}

QString on(QString expression, const QString& row)
{
    return expression.replace(QStringLiteral("R."), row + QLatin1Char('.'));
}

// The list_totals key of a row: the list's name, and its split value.
QString keyOf(const ListTotals::Kept& k, const QString& row)
{
    const QString name = QLatin1Char('\'') + k.list + QLatin1Char('\'');
    if (k.split.isEmpty())
        return name;
    return QStringLiteral("'") + k.list + QStringLiteral(":' || IFNULL(") + on(k.split, row) +
           QStringLiteral(",'')");
}

// The select list of one row's (or, with `grouped`, a group's) figures.
QString figures(const ListTotals::Kept& k, const QString& row, const QString& sign, bool grouped)
{
    QStringList values{keyOf(k, row),
                       QStringLiteral("IFNULL(") + on(k.day, row) + QStringLiteral(",'')"),
                       k.currency.isEmpty() ? QStringLiteral("-1")
                                            : QStringLiteral("IFNULL(") + row + QLatin1Char('.') +
                                                  k.currency + QStringLiteral(",-1)"),
                       sign + (grouped ? QStringLiteral("COUNT(*)") : QStringLiteral("1"))};
    for (int i = 0; i < 3; ++i) {
        if (i >= k.sums.size()) {
            values << QStringLiteral("0") << QStringLiteral("0.0");
            continue;
        }
        const QString amount = row + QLatin1Char('.') + k.sums.at(i);
        const QString cents = MoneyTotals::centsOf(amount);
        const QString rest = MoneyTotals::restOf(amount);
        values << sign + (grouped ? QStringLiteral("SUM(") + cents + QLatin1Char(')') : cents)
               << sign + (grouped ? QStringLiteral("SUM(") + rest + QLatin1Char(')') : rest);
    }
    return values.join(QStringLiteral(", "));
}

// Adds (sign "") or takes away (sign "-") the row `row` of `k`'s table when
// it counts; `extra` is a further condition on the trigger's row.
QString oneRow(const ListTotals::Kept& k, const QString& row, const QString& sign,
               const QString& extra = QString())
{
    QStringList conditions;
    if (!k.condition.isEmpty())
        conditions << on(k.condition, row);
    if (!extra.isEmpty())
        conditions << extra;
    return kInsert + QStringLiteral("SELECT ") + figures(k, row, sign, false) +
           (conditions.isEmpty()
                ? QString()
                : QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "))) +
           kMerge;
}

struct Trigger
{
    QString name;
    QString event;
    QString body;
};

QString changed(const QStringList& columns)
{
    QStringList tests;
    for (const QString& column : columns)
        tests << QStringLiteral("OLD.") + column + QStringLiteral(" IS NOT NEW.") + column;
    return tests.join(QStringLiteral(" OR "));
}

QList<Trigger> triggers()
{
    QList<Trigger> list;
    for (const ListTotals::Kept& k : kept()) {
        const QString prefix = QStringLiteral("list_totals_") + k.list;
        if (k.list == ListTotals::kJournal) {
            // An entry counts from its first line to its last: the entry is
            // written before its lines and its lines go before it.
            const QString entry = QStringLiteral("je");
            const QString from =
                QStringLiteral(" FROM journal_entries je WHERE je.id=%1.entry_id AND NOT EXISTS "
                               "(SELECT 1 FROM journal_lines WHERE entry_id=%1.entry_id AND "
                               "id IS NOT %1.id)");
            const auto lineRow = [&](const QString& row, const QString& sign) {
                return kInsert + QStringLiteral("SELECT ") + figures(k, entry, sign, false) +
                       from.arg(row) + kMerge;
            };
            list << Trigger{prefix + QStringLiteral("_line_added"),
                            QStringLiteral("AFTER INSERT ON journal_lines"),
                            lineRow(QStringLiteral("NEW"), QString())};
            list << Trigger{prefix + QStringLiteral("_line_removed"),
                            QStringLiteral("AFTER DELETE ON journal_lines"),
                            lineRow(QStringLiteral("OLD"), QStringLiteral("-"))};
            // A line moved to another entry: off the old one, onto the new.
            list << Trigger{prefix + QStringLiteral("_line_moved"),
                            QStringLiteral("AFTER UPDATE OF entry_id ON journal_lines WHEN "
                                           "OLD.entry_id IS NOT NEW.entry_id"),
                            lineRow(QStringLiteral("OLD"), QStringLiteral("-")) +
                                lineRow(QStringLiteral("NEW"), QString())};
            list << Trigger{prefix + QStringLiteral("_removed"),
                            QStringLiteral("AFTER DELETE ON journal_entries"),
                            oneRow(k, QStringLiteral("OLD"), QStringLiteral("-"))};
            list << Trigger{prefix + QStringLiteral("_changed"),
                            QStringLiteral("AFTER UPDATE OF entry_date ON journal_entries WHEN "
                                           "OLD.entry_date IS NOT NEW.entry_date"),
                            oneRow(k, QStringLiteral("OLD"), QStringLiteral("-")) +
                                oneRow(k, QStringLiteral("NEW"), QString())};
            continue;
        }
        QStringList columns = k.sums;
        if (!k.dayColumn.isEmpty())
            columns << k.dayColumn;
        columns << k.conditionColumns;
        if (!k.currency.isEmpty())
            columns << k.currency;
        columns.removeDuplicates();
        list << Trigger{prefix + QStringLiteral("_added"),
                        QStringLiteral("AFTER INSERT ON ") + k.table,
                        oneRow(k, QStringLiteral("NEW"), QString())};
        list << Trigger{prefix + QStringLiteral("_removed"),
                        QStringLiteral("AFTER DELETE ON ") + k.table,
                        oneRow(k, QStringLiteral("OLD"), QStringLiteral("-"))};
        list << Trigger{prefix + QStringLiteral("_changed"),
                        QStringLiteral("AFTER UPDATE OF ") + columns.join(QStringLiteral(", ")) +
                            QStringLiteral(" ON ") + k.table + QStringLiteral(" WHEN ") +
                            changed(columns),
                        oneRow(k, QStringLiteral("OLD"), QStringLiteral("-")) +
                            oneRow(k, QStringLiteral("NEW"), QString())};
    }
    return list;
}

QString definition(const Trigger& trigger)
{
    return QStringLiteral("CREATE TRIGGER ") + trigger.name + QLatin1Char(' ') + trigger.event +
           QStringLiteral(" BEGIN ") + trigger.body + QStringLiteral(" END");
}

using SchemaStep::fail;

} // namespace

const ListTotals::Kept* ListTotals::find(const QString& list)
{
    for (const Kept& k : kept())
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
        for (const Trigger& trigger : triggers())
            list << trigger.name;
        return list;
    }();
    return names;
}

QStringList ListTotals::recountStatements()
{
    QStringList statements{QStringLiteral("DELETE FROM list_totals")};
    for (const Kept& k : kept())
        statements << kInsert + QStringLiteral("SELECT ") +
                          figures(k, QStringLiteral("R"), QString(), true) +
                          QStringLiteral(" FROM ") + k.table + QStringLiteral(" R") +
                          (k.condition.isEmpty() ? QString()
                                                 : QStringLiteral(" WHERE ") + k.condition) +
                          QStringLiteral(" GROUP BY 1, 2, 3");
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
    const QList<Trigger> all = triggers();
    query.prepare(QStringLiteral(
        "SELECT COUNT(*) FROM sqlite_master WHERE type='trigger' AND name=? AND sql=?"));
    for (const Trigger& trigger : all) {
        if (!complete)
            break;
        query.addBindValue(trigger.name);
        query.addBindValue(definition(trigger));
        if (!query.exec() || !query.next())
            return fail(query, error);
        complete = query.value(0).toInt() == 1;
    }
    query.finish();
    if (complete)
        return true;
    QStringList statements = {kTable};
    for (const Trigger& trigger : all) {
        statements << QStringLiteral("DROP TRIGGER IF EXISTS ") + trigger.name;
        statements << definition(trigger);
    }
    statements << recountStatements();
    return SchemaStep::runTogether(db, statements, error);
}
