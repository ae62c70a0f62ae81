#include "core/OfficeFigures.h"

#include "core/ConvertedTotal.h"
#include "core/Database.h"
#include "core/ListTotals.h"
#include "core/Money.h"
#include "core/MoneyTotals.h"
#include "core/OpenInvoices.h"
#include "core/SqlDialect.h"
#include "core/SqlValue.h"

#include <QMap>

namespace {

const QString kIso = QStringLiteral("yyyy-MM-dd");

// The currency of a row, rows without one being the primary's.
QString currencyOf(const QString& column)
{
    return QStringLiteral("COALESCE(") + column + QStringLiteral(",") +
           ConvertedTotal::primaryIdSql() + QStringLiteral(")");
}

// c and d of a grouped sum: the primary currency's rows make one group
// whatever their day.
QString groupColumns(const QString& currencyColumn, const QString& dayColumn)
{
    const QString c = currencyOf(currencyColumn);
    return c + QStringLiteral(" as c, CASE WHEN ") + c + QStringLiteral("=") +
           ConvertedTotal::primaryIdSql() + QStringLiteral(" THEN '' ELSE ") + dayColumn +
           QStringLiteral(" END as d");
}

} // namespace

OfficeFigures::OfficeFigures(Database* db, const QDate& today)
    : m_db(db)
    , m_today(today)
    , m_rates(db)
{}

QString OfficeFigures::todayIso() const
{
    return m_today.toString(kIso);
}

QVariantMap OfficeFigures::occupancy(int propertyId)
{
    const QVariantMap row = SqlValue::firstRow(m_db->execQuery(
        QStringLiteral("SELECT COUNT(*) FILTER (WHERE status='rented') as rented, "
                       "COUNT(*) FILTER (WHERE status<>'sold') as not_sold FROM units WHERE ?=0 OR "
                       "property_id=?"),
        {propertyId, propertyId}));
    const qint64 rented = row.value(QStringLiteral("rented")).toLongLong();
    const qint64 notSold = row.value(QStringLiteral("not_sold")).toLongLong();
    return {{QStringLiteral("rented"), rented},
            {QStringLiteral("notSold"), notSold},
            {QStringLiteral("percent"), occupancyPercent(rented, notSold)}};
}

double OfficeFigures::occupancyPercent(qint64 rented, qint64 notSold)
{
    return notSold > 0 ? static_cast<double>(rented) / static_cast<double>(notSold) * 100.0 : 0.0;
}

QVariantList OfficeFigures::paymentDays(const QDate& from, const QDate& to)
{
    const auto key = [](const QDate& day) {
        return day.year() * 10000 + day.month() * 100 + day.day();
    };
    return m_db->execQuery(
        QStringLiteral(
            "SELECT owner_id / 100 as m, NULLIF(currency_id,-1) as c, "
            "CAST(owner_id / 10000 AS TEXT) || '-' || substr(CAST(100 + owner_id / 100 % 100 "
            "AS TEXT), 2) || '-' || substr(CAST(100 + owner_id % 100 AS TEXT), 2) as d, "
            " cents/100.0+rest as t FROM money_totals WHERE "
            "kind=? AND row_count>0 AND owner_id >= ? AND owner_id <= ?"),
        {MoneyTotals::kDayPayments, key(from), key(to)});
}

QVariantMap OfficeFigures::collected(const QString& from, const QString& to)
{
    const QDate first = QDate::fromString(from, kIso);
    const QDate last = QDate::fromString(to, kIso);
    ConvertedTotal total(&m_rates);
    if (first.isValid() && last.isValid()) {
        // Read from the day totals the triggers keep: a few rows a day
        // instead of every payment of the span.
        total.addRows(paymentDays(first, last));
        return total.toMap();
    }
    total.addRows(m_db->execQuery(
        QStringLiteral("SELECT ") +
            groupColumns(QStringLiteral("currency_id"), QStringLiteral("payment_date")) +
            QStringLiteral(", SUM(amount) as t FROM payments WHERE payment_date >= ? AND "
                           "payment_date <= ? GROUP BY c, d"),
        {from, to}));
    return total.toMap();
}

QMap<int, QVariantMap> OfficeFigures::collectedByMonth(const QDate& from, const QDate& to)
{
    QMap<int, QVariantMap> months;
    const QHash<qlonglong, ConvertedTotal> totals =
        ConvertedTotal::perOwner(paymentDays(from, to), QStringLiteral("m"), &m_rates);
    for (auto it = totals.cbegin(); it != totals.cend(); ++it)
        months.insert(static_cast<int>(it.key()), it->toMap());
    return months;
}

QVariantMap OfficeFigures::collectedThisMonth()
{
    const QDate first(m_today.year(), m_today.month(), 1);
    return collected(first.toString(kIso), first.addMonths(1).addDays(-1).toString(kIso));
}

QVariantMap OfficeFigures::contractedMonthlyRent(int propertyId)
{
    ConvertedTotal total(&m_rates);
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT ") + currencyOf(QStringLiteral("c.currency_id")) +
            QStringLiteral(" as c, SUM(c.rent_amount) as t FROM contracts c JOIN units u ON "
                           "u.id=c.unit_id WHERE c.status='active' AND (?=0 OR u.property_id=?) "
                           "GROUP BY 1"),
        {propertyId, propertyId});
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        total.add(row.value(QStringLiteral("c")).toInt(), todayIso(),
                  row.value(QStringLiteral("t")).toDouble());
    }
    return total.toMap();
}

QHash<int, QVariantMap> OfficeFigures::contractedMonthlyRentByProperty()
{
    QHash<int, ConvertedTotal> totals;
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT u.property_id as pid, ") +
        currencyOf(QStringLiteral("c.currency_id")) +
        QStringLiteral(" as c, SUM(c.rent_amount) as t FROM contracts c JOIN units u ON "
                       "u.id=c.unit_id WHERE c.status='active' GROUP BY 1, 2"));
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const int property = row.value(QStringLiteral("pid")).toInt();
        auto it = totals.find(property);
        if (it == totals.end())
            it = totals.insert(property, ConvertedTotal(&m_rates));
        it->add(row.value(QStringLiteral("c")).toInt(), todayIso(),
                row.value(QStringLiteral("t")).toDouble());
    }
    QHash<int, QVariantMap> maps;
    for (auto it = totals.cbegin(); it != totals.cend(); ++it)
        maps.insert(it.key(), it.value().toMap());
    return maps;
}

QVariantMap OfficeFigures::overdueReceivables(bool fromRows)
{
    // What is still open of each, converted at the rate of its due day; the
    // same grouped reads count them.
    ConvertedTotal total(&m_rates);
    qint64 count = 0;
    const auto add = [&](const QVariantList& rows) {
        total.addRows(rows);
        for (const QVariant& row : rows)
            count += row.toMap().value(QStringLiteral("n")).toLongLong();
    };
    if (!fromRows) {
        // A large office has tens of thousands of open invoices, a few
        // hundred due days.
        const QString c = QStringLiteral("CASE WHEN currency_id=-1 THEN ") +
                          ConvertedTotal::primaryIdSql() + QStringLiteral(" ELSE currency_id END");
        add(m_db->execQuery(QStringLiteral("SELECT ") + c + QStringLiteral(" as c, CASE WHEN ") +
                                c + QStringLiteral("=") + ConvertedTotal::primaryIdSql() +
                                QStringLiteral(" THEN '' ELSE day END as d, SUM(c0)/100.0+SUM(r0) "
                                               "as t, SUM(row_count) as n FROM list_totals WHERE "
                                               "list=? AND day < ? AND row_count<>0 GROUP BY c, d"),
                            {ListTotals::kOpenInvoices, todayIso()}));
    } else {
        add(m_db->execQuery(
            QStringLiteral("SELECT ") +
                groupColumns(QStringLiteral("currency_id"), QStringLiteral("due_date")) +
                QStringLiteral(", SUM(balance) as t, COUNT(*) as n FROM invoices WHERE ") +
                OpenInvoices::owing() + QStringLiteral(" AND due_date < ? GROUP BY c, d"),
            {todayIso()}));
    }
    add(m_db->execQuery(
        QStringLiteral("SELECT ") +
            groupColumns(QStringLiteral("currency_id"), QStringLiteral("due_date")) +
            QStringLiteral(", SUM(installment_amount-paid_amount) as t, COUNT(*) as n FROM "
                           "installments WHERE status!='paid' AND due_date < ? GROUP BY c, d"),
        {todayIso()}));
    QVariantMap map = total.toMap();
    map.insert(QStringLiteral("count"), count);
    return map;
}

ConvertedTotal OfficeFigures::receivables()
{
    // What the open invoices still owe, from the totals kept per status and
    // day written (each at the rate of that day): a few thousand rows, not
    // every open invoice. Settled are "paid" and "void"; no status at all is
    // not owing either, but an empty one is, and both are kept under
    // "invoices:", so those few are read from the invoices themselves.
    ConvertedTotal total(&m_rates);
    const QString c = QStringLiteral("CASE WHEN currency_id=-1 THEN ") +
                      ConvertedTotal::primaryIdSql() + QStringLiteral(" ELSE currency_id END");
    const ListTotals::Kept* kept = ListTotals::find(ListTotals::kInvoices);
    const QString prefix = kept->list + QLatin1Char(':');
    QVariantList params = ListTotals::listValues(*kept);
    params << prefix << prefix + QStringLiteral("paid") << prefix + QStringLiteral("void");
    total.addRows(m_db->execQuery(
        QStringLiteral("SELECT ") + c + QStringLiteral(" as c, CASE WHEN ") + c +
            QStringLiteral("=") + ConvertedTotal::primaryIdSql() +
            QStringLiteral(" THEN '' ELSE day END as d, SUM(c2)/100.0+SUM(r2) as t FROM "
                           "list_totals WHERE ") +
            ListTotals::listCondition(*kept, false) +
            QStringLiteral(" AND list NOT IN (?,?,?) AND row_count<>0 GROUP BY c, d"),
        params));
    total.addRows(m_db->execQuery(
        QStringLiteral("SELECT ") +
        groupColumns(QStringLiteral("currency_id"),
                     SqlDialect::localDay(m_db->engine(), QStringLiteral("created_at"))) +
        QStringLiteral(", SUM(balance) as t FROM invoices WHERE status='' GROUP BY c, d")));
    return total;
}

ConvertedTotal OfficeFigures::ledger(const QString& accountWhere, bool creditSide,
                                     const QString& from, const QString& to)
{
    return ledgerPerOwner(QStringLiteral("0"),
                          creditSide ? QStringLiteral("-1") : QStringLiteral("1"), accountWhere,
                          from, to)
        .value(0, ConvertedTotal(&m_rates));
}

QHash<qlonglong, ConvertedTotal>
OfficeFigures::ledgerPerOwner(const QString& owner, const QString& sign,
                              const QString& accountWhere, const QString& from, const QString& to)
{
    // Read from the ledger's day totals. Lines converted when they were
    // posted keep that amount; the others are converted at their day.
    const QString primary = ConvertedTotal::primaryIdSql();
    QString where = QStringLiteral(" FROM ledger_day_totals l JOIN accounts a ON "
                                   "a.id=l.account_id WHERE (") +
                    accountWhere + QStringLiteral(")");
    QVariantList params;
    if (!from.isEmpty()) {
        where += QStringLiteral(" AND l.day >= ?");
        params << from;
    }
    if (!to.isEmpty()) {
        where += QStringLiteral(" AND l.day <= ?");
        params << to;
    }
    // One pass over the day totals. Lines converted when they were posted
    // (and every line in the primary currency) come as one amount per owner
    // and currency, with what they came to in the primary currency; the
    // lines of other currencies not converted yet, per day, to be converted
    // at that day's rate. The first are added up here, exactly enough: a few
    // thousand rows of whole cents.
    const QString openDay = QStringLiteral("CASE WHEN l.open_lines<>0 AND l.currency_id<>%1 "
                                           "THEN l.day ELSE '' END")
                                .arg(primary);
    struct Converted
    {
        long double amount = 0;
        long double inPrimary = 0;
    };
    QHash<qlonglong, QMap<int, Converted>> converted;
    QHash<qlonglong, ConvertedTotal> totals;
    const auto totalOf = [&](qlonglong key) {
        auto total = totals.find(key);
        if (total == totals.end())
            total = totals.insert(key, ConvertedTotal(&m_rates));
        return total;
    };
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT %1 as k, l.currency_id as c, %4 as d, %2*SUM(CASE WHEN "
                       "l.currency_id=%3 THEN l.debit-l.credit ELSE "
                       "(l.debit-l.open_debit)-(l.credit-l.open_credit) END) as t, "
                       "%2*SUM(l.debit_primary-l.credit_primary) as p, "
                       "%2*SUM(l.open_debit-l.open_credit) as o")
                .arg(owner, sign, primary, openDay) +
            where + QStringLiteral(" GROUP BY a.type, l.currency_id, 3"),
        params);
    for (const QVariant& value : rows) {
        const QVariantMap row = value.toMap();
        const qlonglong key = row.value(QStringLiteral("k")).toLongLong();
        const int currency = row.value(QStringLiteral("c")).toInt();
        Converted& sum = converted[key][currency];
        sum.amount += row.value(QStringLiteral("t")).toDouble();
        sum.inPrimary += row.value(QStringLiteral("p")).toDouble();
        const QString day = row.value(QStringLiteral("d")).toString();
        if (!day.isEmpty())
            totalOf(key)->add(currency, day, row.value(QStringLiteral("o")).toDouble());
    }
    for (auto each = converted.cbegin(); each != converted.cend(); ++each) {
        for (auto it = each->cbegin(); it != each->cend(); ++it)
            totalOf(each.key())
                ->add(it.key(), QString(), static_cast<double>(it->amount),
                      static_cast<double>(it->inPrimary));
    }
    return totals;
}

QVariantMap OfficeFigures::cash()
{
    return ledger(QStringLiteral("code='1100' OR parent_id=(SELECT id FROM accounts WHERE "
                                 "code='1100')"),
                  false, QString(), QString())
        .toMap();
}

QVariantMap OfficeFigures::periodResults(const QString& from, const QString& to)
{
    // Both in one pass over the day totals: revenue (1) credit less debit,
    // expenses (2) debit less credit.
    const QHash<qlonglong, ConvertedTotal> results =
        ledgerPerOwner(QStringLiteral("CASE WHEN a.type='revenue' THEN 1 ELSE 2 END"),
                       QStringLiteral("CASE WHEN a.type='revenue' THEN -1 ELSE 1 END"),
                       QStringLiteral("a.type='revenue' OR a.type='expense'"), from, to);
    const QVariantMap revenue = results.value(1, ConvertedTotal(&m_rates)).toMap();
    const QVariantMap expenses = results.value(2, ConvertedTotal(&m_rates)).toMap();
    // Net profit is the difference of the two converted totals, and its
    // breakdown the difference of theirs, currency by currency.
    QMap<int, double> sums;
    const auto addEach = [&sums](const QVariantMap& total, double sign) {
        for (const QVariant& value : total.value(QStringLiteral("byCurrency")).toList()) {
            const QVariantMap row = value.toMap();
            sums[row.value(QStringLiteral("currency_id")).toInt()] +=
                sign * row.value(QStringLiteral("total")).toDouble();
        }
    };
    addEach(revenue, 1);
    addEach(expenses, -1);
    QVariantList byCurrency;
    const int primary = m_rates.primaryId();
    for (auto it = sums.cbegin(); it != sums.cend(); ++it) {
        const QVariantMap row = {{QStringLiteral("currency_id"), it.key()},
                                 {QStringLiteral("total"), Money::roundTo(it.value(), 3)}};
        if (it.key() == primary)
            byCurrency.prepend(row);
        else
            byCurrency.append(row);
    }
    QStringList missing = revenue.value(QStringLiteral("missing")).toStringList();
    for (const QString& reason : expenses.value(QStringLiteral("missing")).toStringList()) {
        if (!missing.contains(reason))
            missing.append(reason);
    }
    const QVariantMap net = {
        {QStringLiteral("total"),
         Money::roundToCents(revenue.value(QStringLiteral("total")).toDouble() -
                             expenses.value(QStringLiteral("total")).toDouble())},
        {QStringLiteral("byCurrency"), byCurrency},
        {QStringLiteral("complete"), missing.isEmpty()},
        {QStringLiteral("missing"), missing}};
    return {{QStringLiteral("revenue"), revenue},
            {QStringLiteral("expenses"), expenses},
            {QStringLiteral("net_profit"), net}};
}
