#include "core/MoneyTotals.h"

#include "core/SchemaStep.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

const QString MoneyTotals::kPayments = QStringLiteral("payments");
const QString MoneyTotals::kExpenses = QStringLiteral("expenses");
const QString MoneyTotals::kPropertyPayments = QStringLiteral("property_payments");
const QString MoneyTotals::kPropertyExpenses = QStringLiteral("property_expenses");
const QString MoneyTotals::kDayPayments = QStringLiteral("day_payments");
const QString MoneyTotals::kPropertyDayPayments = QStringLiteral("property_day_payments");

namespace {

// A missing currency is kept under -1: key columns cannot hold NULL.
const QString kTable = QStringLiteral("CREATE TABLE IF NOT EXISTS money_totals ("
                                      "kind TEXT NOT NULL, "
                                      "owner_id INTEGER NOT NULL, "
                                      "currency_id INTEGER NOT NULL, "
                                      "row_count INTEGER NOT NULL DEFAULT 0, "
                                      "cents INTEGER NOT NULL DEFAULT 0, "
                                      "rest REAL NOT NULL DEFAULT 0, "
                                      "PRIMARY KEY (kind, owner_id, currency_id)) WITHOUT ROWID");

// The comparison of properties reads the days of the currencies other than
// the primary one, a few among every property's days.
const QString kByCurrency = QStringLiteral(
    "CREATE INDEX IF NOT EXISTS money_totals_currency ON money_totals (kind, currency_id)");

const QString kInsert = QStringLiteral(
    "INSERT INTO money_totals (kind, owner_id, currency_id, row_count, cents, rest) ");

// The remainder returns to exactly 0 once a total holds no rows, so adding
// and removing amounts that are not whole cents leaves no trace behind.
const QString kMerge = QStringLiteral(
    " ON CONFLICT (kind, owner_id, currency_id) DO UPDATE SET "
    "row_count=row_count+excluded.row_count, cents=cents+excluded.cents, "
    "rest=CASE WHEN row_count+excluded.row_count=0 THEN 0.0 ELSE rest+excluded.rest END;");

QString currencyKey(const QString& row)
{
    return QStringLiteral("IFNULL(") + row + QStringLiteral(".currency_id,-1)");
}

// Adds (sign "") or takes away (sign "-") one row's amount, when `condition` holds.
QString oneRow(const QString& kind, const QString& owner, const QString& row, const QString& sign,
               const QString& from, const QString& condition)
{
    const QString amount = row + QStringLiteral(".amount");
    return kInsert + QStringLiteral("SELECT '") + kind + QStringLiteral("', ") + owner +
           QStringLiteral(", ") + currencyKey(row) + QStringLiteral(", ") + sign +
           QStringLiteral("1, ") + sign + MoneyTotals::centsOf(amount) + QStringLiteral(", ") +
           sign + MoneyTotals::restOf(amount) + from + QStringLiteral(" WHERE ") + condition +
           kMerge;
}

// Adds or takes away the payments `from` finds (alias p), grouped per
// `owner` and currency.
QString somePayments(const QString& kind, const QString& owner, const QString& sign,
                     const QString& from)
{
    return kInsert + QStringLiteral("SELECT '") + kind + QStringLiteral("', ") + owner +
           QStringLiteral(", ") + currencyKey(QStringLiteral("p")) + QStringLiteral(", ") + sign +
           QStringLiteral("COUNT(*), ") + sign + QStringLiteral("SUM(") +
           MoneyTotals::centsOf(QStringLiteral("p.amount")) + QStringLiteral("), ") + sign +
           QStringLiteral("SUM(") + MoneyTotals::restOf(QStringLiteral("p.amount")) +
           QStringLiteral(") ") + from + QStringLiteral(" GROUP BY ") + owner +
           QStringLiteral(", ") + currencyKey(QStringLiteral("p")) + kMerge;
}

// The key of a property's day: property id * 10^8 + yyyymmdd, NULL for a
// payment on no day.
QString propertyDay(const QString& property, const QString& date)
{
    return property + QStringLiteral("*") + QString::number(MoneyTotals::kDayStride) +
           QStringLiteral("+") + MoneyTotals::dayOf(date);
}

// The same payments of one property, once as a whole and once per day.
QString somePropertyPayments(const QString& property, const QString& sign, const QString& from)
{
    const QString date = QStringLiteral("p.payment_date");
    return somePayments(MoneyTotals::kPropertyPayments, property, sign, from) +
           somePayments(MoneyTotals::kPropertyDayPayments, propertyDay(property, date), sign,
                        from + QStringLiteral(" AND ") + MoneyTotals::dayOf(date) +
                            QStringLiteral(" IS NOT NULL"));
}

// A payment counts everywhere, on its day, and for the property of its
// invoice's unit, as a whole and on its day.
QString payment(const QString& row, const QString& sign)
{
    const QString date = row + QStringLiteral(".payment_date");
    const QString day = MoneyTotals::dayOf(date);
    return oneRow(MoneyTotals::kPayments, QStringLiteral("0"), row, sign, QString(),
                  QStringLiteral("1")) +
           oneRow(MoneyTotals::kDayPayments, day, row, sign, QString(),
                  day + QStringLiteral(" IS NOT NULL")) +
           oneRow(MoneyTotals::kPropertyPayments, QStringLiteral("u.property_id"), row, sign,
                  QStringLiteral(" FROM invoices i JOIN units u ON u.id=i.unit_id"),
                  QStringLiteral("i.id=") + row +
                      QStringLiteral(".invoice_id AND u.property_id IS NOT NULL")) +
           oneRow(MoneyTotals::kPropertyDayPayments,
                  propertyDay(QStringLiteral("u.property_id"), date), row, sign,
                  QStringLiteral(" FROM invoices i JOIN units u ON u.id=i.unit_id"),
                  QStringLiteral("i.id=") + row +
                      QStringLiteral(".invoice_id AND u.property_id IS NOT NULL AND ") + day +
                      QStringLiteral(" IS NOT NULL"));
}

// The payments of one invoice, for the property of its unit.
QString invoice(const QString& row, const QString& sign)
{
    return somePropertyPayments(QStringLiteral("u.property_id"), sign,
                                QStringLiteral("FROM units u JOIN payments p ON p.invoice_id=") +
                                    row + QStringLiteral(".id WHERE u.id=") + row +
                                    QStringLiteral(".unit_id AND u.property_id IS NOT NULL"));
}

// The payments of every invoice of one unit, for the unit's property.
QString unit(const QString& row, const QString& sign)
{
    return somePropertyPayments(
        row + QStringLiteral(".property_id"), sign,
        QStringLiteral("FROM invoices i JOIN payments p ON p.invoice_id=i.id "
                       "WHERE i.unit_id=") +
            row + QStringLiteral(".id AND ") + row + QStringLiteral(".property_id IS NOT NULL"));
}

QString expense(const QString& row, const QString& sign)
{
    return oneRow(MoneyTotals::kExpenses, QStringLiteral("0"), row, sign, QString(),
                  QStringLiteral("1")) +
           oneRow(MoneyTotals::kPropertyExpenses, row + QStringLiteral(".property_id"), row, sign,
                  QString(), row + QStringLiteral(".property_id IS NOT NULL"));
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
    const QString plus;
    const QString minus = QStringLiteral("-");
    const QString OLD = QStringLiteral("OLD");
    const QString NEW = QStringLiteral("NEW");
    const QStringList paymentColumns = {QStringLiteral("amount"), QStringLiteral("currency_id"),
                                        QStringLiteral("invoice_id"),
                                        QStringLiteral("payment_date")};
    const QStringList invoiceColumns = {QStringLiteral("id"), QStringLiteral("unit_id")};
    const QStringList unitColumns = {QStringLiteral("id"), QStringLiteral("property_id")};
    const QStringList expenseColumns = {QStringLiteral("amount"), QStringLiteral("currency_id"),
                                        QStringLiteral("property_id")};
    const auto onUpdate = [](const QStringList& columns, const QString& table) {
        return QStringLiteral("AFTER UPDATE OF ") + columns.join(QStringLiteral(", ")) +
               QStringLiteral(" ON ") + table + QStringLiteral(" WHEN ") + changed(columns);
    };
    return {
        {QStringLiteral("money_totals_payment_added"), QStringLiteral("AFTER INSERT ON payments"),
         payment(NEW, plus)},
        {QStringLiteral("money_totals_payment_removed"), QStringLiteral("AFTER DELETE ON payments"),
         payment(OLD, minus)},
        {QStringLiteral("money_totals_payment_changed"),
         onUpdate(paymentColumns, QStringLiteral("payments")),
         payment(OLD, minus) + payment(NEW, plus)},
        {QStringLiteral("money_totals_invoice_added"), QStringLiteral("AFTER INSERT ON invoices"),
         invoice(NEW, plus)},
        {QStringLiteral("money_totals_invoice_removed"), QStringLiteral("AFTER DELETE ON invoices"),
         invoice(OLD, minus)},
        {QStringLiteral("money_totals_invoice_moved"),
         onUpdate(invoiceColumns, QStringLiteral("invoices")),
         invoice(OLD, minus) + invoice(NEW, plus)},
        {QStringLiteral("money_totals_unit_added"), QStringLiteral("AFTER INSERT ON units"),
         unit(NEW, plus)},
        {QStringLiteral("money_totals_unit_removed"), QStringLiteral("AFTER DELETE ON units"),
         unit(OLD, minus)},
        {QStringLiteral("money_totals_unit_moved"), onUpdate(unitColumns, QStringLiteral("units")),
         unit(OLD, minus) + unit(NEW, plus)},
        {QStringLiteral("money_totals_expense_added"), QStringLiteral("AFTER INSERT ON expenses"),
         expense(NEW, plus)},
        {QStringLiteral("money_totals_expense_removed"), QStringLiteral("AFTER DELETE ON expenses"),
         expense(OLD, minus)},
        {QStringLiteral("money_totals_expense_changed"),
         onUpdate(expenseColumns, QStringLiteral("expenses")),
         expense(OLD, minus) + expense(NEW, plus)},
    };
}

// The statement creating a trigger, as the file keeps it.
QString definition(const Trigger& trigger)
{
    return QStringLiteral("CREATE TRIGGER ") + trigger.name + QLatin1Char(' ') + trigger.event +
           QStringLiteral(" BEGIN ") + trigger.body + QStringLiteral(" END");
}

using SchemaStep::fail;

} // namespace

QString MoneyTotals::centsOf(const QString& amount, DatabaseSettings::Engine engine)
{
    return QStringLiteral("CAST(round(") + amount +
           (engine == DatabaseSettings::Engine::PostgreSQL ? QStringLiteral("*100) AS BIGINT)")
                                                           : QStringLiteral("*100) AS INTEGER)"));
}

QString MoneyTotals::dayOf(const QString& date)
{
    // The day a report of the year asks for: the date reads as a day of
    // that year (strftime) and, as text, lies between its first day and the
    // next year's. Anything else (a malformed date) is on no day.
    const QString year = QStringLiteral("strftime('%Y', ") + date + QStringLiteral(")");
    return QStringLiteral("CASE WHEN ") + date + QStringLiteral(" >= ") + year +
           QStringLiteral("||'-01-01' AND ") + date + QStringLiteral(" < (") + year +
           QStringLiteral("+1)||'-01-01' THEN CAST(strftime('%Y%m%d', ") + date +
           QStringLiteral(") AS INTEGER) END");
}

QString MoneyTotals::restOf(const QString& amount, DatabaseSettings::Engine engine)
{
    return QStringLiteral("(") + amount + QStringLiteral("-") + centsOf(amount, engine) +
           QStringLiteral("/100.0)");
}

const QStringList& MoneyTotals::triggerNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const Trigger& trigger : triggers())
            list << trigger.name;
        return list;
    }();
    return names;
}

namespace {

// The server's count: whole cents in 64 bits and the exact rest below a
// cent, as its triggers add them; a payment's day as money_totals_day()
// gives it.
QStringList serverRecount()
{
    const QString cents = QStringLiteral("CAST(round(%1*100) AS BIGINT)");
    const auto grouped = [&cents](const QString& kind, const QString& owner, const QString& from,
                                  const QString& amount, const QString& currency) {
        const QString currencyKey = QStringLiteral("COALESCE(%1,-1)").arg(currency);
        const QString groups =
            owner == QLatin1String("0") ? currencyKey : owner + QStringLiteral(", ") + currencyKey;
        return kInsert +
               QStringLiteral("SELECT '%1', %2, %3, COUNT(*), SUM(%4), SUM(%5-%4/100.0) %6 "
                              "GROUP BY %7")
                   .arg(kind, owner, currencyKey, cents.arg(amount), amount, from, groups);
    };
    return {
        QStringLiteral("DELETE FROM money_totals"),
        grouped(MoneyTotals::kPayments, QStringLiteral("0"), QStringLiteral("FROM payments"),
                QStringLiteral("amount"), QStringLiteral("currency_id")),
        grouped(MoneyTotals::kPropertyPayments, QStringLiteral("u.property_id"),
                QStringLiteral("FROM payments p JOIN invoices i ON i.id=p.invoice_id JOIN units "
                               "u ON u.id=i.unit_id WHERE u.property_id IS NOT NULL"),
                QStringLiteral("p.amount"), QStringLiteral("p.currency_id")),
        kInsert + QStringLiteral("SELECT '%1', k, cur, SUM(n), SUM(c), SUM(r) FROM (SELECT "
                                 "money_totals_day(payment_date) AS k, COALESCE(currency_id,-1) "
                                 "AS cur, COUNT(*) AS n, SUM(%2) AS c, SUM(amount-%2/100.0) AS r "
                                 "FROM payments GROUP BY payment_date, COALESCE(currency_id,-1)) "
                                 "AS days WHERE k IS NOT NULL GROUP BY k, cur")
                      .arg(MoneyTotals::kDayPayments, cents.arg(QStringLiteral("amount"))),
        grouped(MoneyTotals::kPropertyDayPayments,
                QStringLiteral("u.property_id*%1+money_totals_day(p.payment_date)")
                    .arg(MoneyTotals::kDayStride),
                QStringLiteral("FROM payments p JOIN invoices i ON i.id=p.invoice_id JOIN units "
                               "u ON u.id=i.unit_id WHERE u.property_id IS NOT NULL AND "
                               "money_totals_day(p.payment_date) IS NOT NULL"),
                QStringLiteral("p.amount"), QStringLiteral("p.currency_id")),
        grouped(MoneyTotals::kExpenses, QStringLiteral("0"), QStringLiteral("FROM expenses"),
                QStringLiteral("amount"), QStringLiteral("currency_id")),
        grouped(MoneyTotals::kPropertyExpenses, QStringLiteral("property_id"),
                QStringLiteral("FROM expenses WHERE property_id IS NOT NULL"),
                QStringLiteral("amount"), QStringLiteral("currency_id")),
    };
}

} // namespace

QStringList MoneyTotals::recountStatements(DatabaseSettings::Engine engine)
{
    if (engine == DatabaseSettings::Engine::PostgreSQL)
        return serverRecount();
    const auto grouped = [](const QString& kind, const QString& owner, const QString& from,
                            const QString& amount, const QString& currency) {
        const QString currencyKey = QStringLiteral("IFNULL(") + currency + QStringLiteral(",-1)");
        // A whole-table total groups by currency alone (GROUP BY 0 would
        // name a result column).
        const QString groups =
            owner == QLatin1String("0") ? currencyKey : owner + QStringLiteral(", ") + currencyKey;
        return kInsert + QStringLiteral("SELECT '") + kind + QStringLiteral("', ") + owner +
               QStringLiteral(", ") + currencyKey + QStringLiteral(", COUNT(*), SUM(") +
               centsOf(amount) + QStringLiteral("), SUM(") + restOf(amount) + QStringLiteral(") ") +
               from + QStringLiteral(" GROUP BY ") + groups;
    };
    return {
        QStringLiteral("DELETE FROM money_totals"),
        grouped(kPayments, QStringLiteral("0"), QStringLiteral("FROM payments WHERE 1"),
                QStringLiteral("amount"), QStringLiteral("currency_id")),
        grouped(kPropertyPayments, QStringLiteral("u.property_id"),
                // Walking the payments once through their narrow index and
                // reaching invoice and unit by key is several times quicker
                // on a large office than the planner's way in from the units.
                QStringLiteral("FROM payments p CROSS JOIN invoices i ON i.id=p.invoice_id CROSS "
                               "JOIN units u ON u.id=i.unit_id WHERE u.property_id IS NOT NULL"),
                QStringLiteral("p.amount"), QStringLiteral("p.currency_id")),
        // Per stored date first, so the day of a date is worked out once
        // per date and currency rather than for every payment.
        kInsert + QStringLiteral("SELECT '") + kDayPayments +
            QStringLiteral("', k, cur, SUM(n), SUM(c), SUM(r) FROM (SELECT ") +
            dayOf(QStringLiteral("d")) +
            QStringLiteral(" as k, cur, n, c, r FROM (SELECT payment_date as d, "
                           "IFNULL(currency_id,-1) as cur, COUNT(*) as n, SUM(") +
            centsOf(QStringLiteral("amount")) + QStringLiteral(") as c, SUM(") +
            restOf(QStringLiteral("amount")) +
            QStringLiteral(") as r FROM payments GROUP BY payment_date, IFNULL(currency_id,-1))) "
                           "WHERE k IS NOT NULL GROUP BY k, cur"),
        grouped(kPropertyDayPayments,
                propertyDay(QStringLiteral("u.property_id"), QStringLiteral("p.payment_date")),
                QStringLiteral("FROM payments p CROSS JOIN invoices i ON i.id=p.invoice_id CROSS "
                               "JOIN units u ON u.id=i.unit_id WHERE u.property_id IS NOT NULL "
                               "AND ") +
                    dayOf(QStringLiteral("p.payment_date")) + QStringLiteral(" IS NOT NULL"),
                QStringLiteral("p.amount"), QStringLiteral("p.currency_id")),
        grouped(kExpenses, QStringLiteral("0"), QStringLiteral("FROM expenses WHERE 1"),
                QStringLiteral("amount"), QStringLiteral("currency_id")),
        grouped(kPropertyExpenses, QStringLiteral("property_id"),
                QStringLiteral("FROM expenses WHERE property_id IS NOT NULL"),
                QStringLiteral("amount"), QStringLiteral("currency_id")),
    };
}

bool MoneyTotals::ensure(QSqlDatabase& db, QSqlError* error)
{
    // Every trigger must be there as this version writes it: one missing or
    // written differently (an older version) means totals to count again.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "SELECT COUNT(*) FROM sqlite_master WHERE type='table' AND name='money_totals'")) ||
        !query.next())
        return fail(query, error);
    bool complete = query.value(0).toInt() == 1;
    query.finish();
    SchemaStep::Triggers written;
    for (const Trigger& trigger : triggers())
        written.append({trigger.name, definition(trigger)});
    if (complete && !SchemaStep::triggersAsWritten(db, written, &complete, error))
        return false;
    if (complete)
        return true;

    // Table, triggers and the count from the stored rows together, so no
    // write can slip in between the count and the triggers that follow it.
    QStringList statements = {kTable, kByCurrency};
    statements << SchemaStep::triggersAnew(written) << recountStatements();
    return SchemaStep::runTogether(db, statements, error);
}
