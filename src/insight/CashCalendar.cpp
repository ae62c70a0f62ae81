#include "insight/CashCalendar.h"

#include "core/Database.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "insight/InsightDates.h"

#include <QMap>

#include <algorithm>

namespace {

struct DayMoney
{
    qint64 in = 0;
    qint64 out = 0;
    QVariantList lines;
};

// Amounts are added as whole mills, exact for every currency: a dinar keeps
// its third decimal and a shekel amount is first rounded to its cent.
double fromMills(qint64 mills)
{
    return static_cast<double>(mills) / 1000.0;
}

qint64 toMills(double amount, int decimals)
{
    static constexpr qint64 scales[] = {1000, 100, 10, 1};
    return Money::toMinor(amount, decimals) * scales[Money::clampDecimals(decimals)];
}

} // namespace

const QList<CashCalendar::Source>& CashCalendar::sources()
{
    static const QList<Source> list = {
        {QStringLiteral("in"), QStringLiteral("invoices"), QStringLiteral("فواتير المستأجرين"),
         // Written as the open-invoice condition the index of owed
         // invoices is kept under, so only those are read.
         QStringLiteral("SELECT currency_id AS cur, due_date AS day, SUM(balance) AS amount FROM "
                        "invoices WHERE (status < 'paid' OR (status > 'paid' AND status < 'void') "
                        "OR status > 'void') AND balance>0 AND due_date BETWEEN ? AND ? GROUP BY "
                        "cur, day")},
        {QStringLiteral("in"), QStringLiteral("installments"), QStringLiteral("أقساط المشترين"),
         QStringLiteral("SELECT currency_id AS cur, due_date AS day, "
                        "SUM(installment_amount-paid_amount) AS amount FROM installments WHERE "
                        "status!='paid' AND installment_amount-paid_amount>0.004 AND due_date "
                        "BETWEEN ? AND ? GROUP BY cur, day")},
        {QStringLiteral("in"), QStringLiteral("received_cheques"), QStringLiteral("شيكات واردة"),
         QStringLiteral("SELECT currency_id AS cur, due_date AS day, SUM(amount) AS amount FROM "
                        "cheques WHERE type='received' AND status='pending' AND due_date BETWEEN "
                        "? AND ? GROUP BY cur, day")},
        {QStringLiteral("out"), QStringLiteral("issued_cheques"), QStringLiteral("شيكات صادرة"),
         QStringLiteral("SELECT currency_id AS cur, due_date AS day, SUM(amount) AS amount FROM "
                        "cheques WHERE type='issued' AND status='pending' AND due_date BETWEEN ? "
                        "AND ? GROUP BY cur, day")},
        // A contractor's payments settle its bills oldest first; what is
        // left of a bill is due from the bill's day. A payment by a cheque
        // the bank returned paid nothing.
        {QStringLiteral("out"), QStringLiteral("contractor_bills"),
         QStringLiteral("مستحقات المقاولين"),
         QStringLiteral(
             "WITH b AS (SELECT contractor_id AS who, COALESCE(currency_id,%1) AS k, "
             "expense_date AS day, amount, SUM(amount) OVER (PARTITION BY contractor_id, "
             "COALESCE(currency_id,%1) ORDER BY expense_date, id) AS upto FROM expenses WHERE "
             "is_owed=1 AND contractor_id IS NOT NULL), p AS (SELECT contractor_id AS who, "
             "COALESCE(currency_id,%1) AS k, SUM(amount) AS paid FROM contractor_payments cp "
             "WHERE cp.id NOT IN (SELECT contractor_payment_id FROM cheques WHERE "
             "status='bounced' AND contractor_payment_id IS NOT NULL) GROUP BY who, k) SELECT b.k "
             "AS cur, b.day AS day, "
             "SUM(MIN(b.amount, b.upto-COALESCE(p.paid,0))) AS amount FROM b LEFT JOIN p ON "
             "p.who=b.who AND p.k=b.k WHERE b.upto-COALESCE(p.paid,0)>0.004 AND b.day BETWEEN ? "
             "AND ? GROUP BY cur, day")
             .arg(QStringLiteral("(SELECT id FROM currencies ORDER BY is_primary DESC, id LIMIT "
                                 "1)"))},
    };
    return list;
}

CashCalendar::CashCalendar(Database* db, QObject* parent)
    : BackendObject(parent)
    , m_db(db)
{
    watchDatabase(m_db);
}

QVariantMap CashCalendar::upcoming(int days)
{
    const int span = std::clamp(days, 1, 366);
    return between(InsightDates::isoDay(0), InsightDates::isoDay(span - 1));
}

QVariantMap CashCalendar::between(const QString& from, const QString& to)
{
    clearError();
    if (!SqlValue::isIsoDate(from) || !SqlValue::isIsoDate(to)) {
        refuse(Reasons::invalidDate());
        return {};
    }
    if (to < from) {
        refuse(Reasons::endBeforeStart());
        return {};
    }
    const int primary = m_db->scalar(QStringLiteral("SELECT id FROM currencies ORDER BY "
                                                    "is_primary DESC, id LIMIT 1"))
                            .toInt();
    // currency -> day -> money, both kept in order; what fell due before
    // `from` and is still open is kept apart, per currency.
    QMap<int, QMap<QString, DayMoney>> book;
    QMap<int, DayMoney> overdue;
    const MinorUnits minorUnits(m_db);
    for (const Source& source : sources()) {
        const bool in = source.direction == QLatin1String("in");
        const auto line = [&](qint64 mills) {
            return QVariantMap{{QStringLiteral("kind"), source.kind},
                               {QStringLiteral("label"), source.label},
                               {QStringLiteral("direction"), source.direction},
                               {QStringLiteral("amount"), fromMills(mills)}};
        };
        // One read from the earliest day: what fell due before `from` is
        // overdue, one line per currency for the source however many days
        // it spans; the rest is listed by day. Columns cur, day, amount.
        QMap<int, qint64> late;
        m_db->forEachRow(
            source.sql, {QStringLiteral("0001-01-01"), to}, [&](QVector<QVariant>& row) {
                const int currency = row.at(0).isNull() ? primary : row.at(0).toInt();
                const qint64 mills = toMills(row.at(2).toDouble(), minorUnits.decimals(currency));
                if (mills == 0)
                    return;
                const QString day = row.at(1).toString();
                if (day < from) {
                    late[currency] += mills;
                    return;
                }
                DayMoney& money = book[currency][day];
                (in ? money.in : money.out) += mills;
                money.lines << line(mills);
            });
        for (auto it = late.cbegin(); it != late.cend(); ++it) {
            if (it.value() == 0)
                continue;
            book[it.key()]; // a currency with overdue money only is listed too
            DayMoney& money = overdue[it.key()];
            (in ? money.in : money.out) += it.value();
            money.lines << line(it.value());
        }
    }

    QVariantList currencies;
    for (auto c = book.constBegin(); c != book.constEnd(); ++c) {
        const QVariantMap names = SqlValue::firstRow(m_db->execQuery(
            QStringLiteral("SELECT code, symbol FROM currencies WHERE id=?"), {c.key()}));
        qint64 in = 0;
        qint64 out = 0;
        QVariantList days;
        for (auto d = c.value().constBegin(); d != c.value().constEnd(); ++d) {
            in += d.value().in;
            out += d.value().out;
            days << QVariantMap{{QStringLiteral("date"), d.key()},
                                {QStringLiteral("in"), fromMills(d.value().in)},
                                {QStringLiteral("out"), fromMills(d.value().out)},
                                {QStringLiteral("net"), fromMills(d.value().in - d.value().out)},
                                {QStringLiteral("lines"), d.value().lines}};
        }
        const DayMoney late = overdue.value(c.key());
        currencies << QVariantMap{
            {QStringLiteral("currency_id"), c.key()},
            {QStringLiteral("overdue"),
             QVariantMap{{QStringLiteral("in"), fromMills(late.in)},
                         {QStringLiteral("out"), fromMills(late.out)},
                         {QStringLiteral("net"), fromMills(late.in - late.out)},
                         {QStringLiteral("lines"), late.lines}}},
            {QStringLiteral("code"), names.value(QStringLiteral("code"))},
            {QStringLiteral("symbol"), names.value(QStringLiteral("symbol"))},
            {QStringLiteral("in"), fromMills(in)},
            {QStringLiteral("out"), fromMills(out)},
            {QStringLiteral("net"), fromMills(in - out)},
            {QStringLiteral("days"), days}};
    }
    return {{QStringLiteral("from"), from},
            {QStringLiteral("to"), to},
            {QStringLiteral("currencies"), currencies}};
}
