#include "insight/CashCalendar.h"

#include "core/Database.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"
#include "insight/DueCheques.h"
#include "insight/DueInvoices.h"
#include "insight/InsightDates.h"

#include <QHash>
#include <QMap>
#include <QPair>

#include <algorithm>
#include <tuple>
#include <vector>

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

// The primary currency, which a row naming no currency is kept in.
const QString kPrimaryCurrency =
    QStringLiteral("(SELECT id FROM currencies ORDER BY is_primary DESC, id LIMIT 1)");

// What is left owing of each contractor's bills once its payments have
// settled them oldest first (by day, then in the order entered), per
// currency: the rows cur, day, amount of the bills dated between the two
// bounds that are not settled. A payment by a cheque the bank returned paid
// nothing. Worked out here in whole mills over rows read through the owed
// bills' index: a running sum in SQL sorts every owed bill of the office.
bool contractorBillsDue(Database* db, const QVariantList& bounds,
                        const CashCalendar::RowHandler& onRow)
{
    const QString from = bounds.value(0).toString();
    const QString to = bounds.value(1).toString();
    using Account = QPair<qlonglong, qlonglong>; // contractor, currency
    QHash<Account, qint64> paid;
    const bool paidRead = db->forEachRow(
        QStringLiteral("SELECT contractor_id, COALESCE(currency_id,") + kPrimaryCurrency +
            QStringLiteral("), SUM(amount) FROM contractor_payments cp WHERE cp.id NOT IN "
                           "(SELECT contractor_payment_id FROM cheques WHERE status='bounced' AND "
                           "contractor_payment_id IS NOT NULL) GROUP BY 1, 2"),
        {}, [&](QVector<QVariant>& row) {
            paid[{row.at(0).toLongLong(), row.at(1).toLongLong()}] =
                Money::toMinor(row.at(2).toDouble(), 3);
        });
    struct Bill
    {
        qlonglong contractor;
        qlonglong currency;
        QString day;
        qlonglong id;
        qint64 mills;
    };
    std::vector<Bill> bills;
    // In the order of the owed bills' index by day, which SQLite then reads
    // instead of looking up each bill's day. A server would sort them all
    // first; they are sorted here either way.
    const QString billsOrder =
        db->isPostgres() ? QString()
                         : QStringLiteral(" ORDER BY contractor_id, currency_id, expense_date");
    const bool billsRead = db->forEachRow(
        QStringLiteral("SELECT contractor_id, COALESCE(currency_id,") + kPrimaryCurrency +
            QStringLiteral("), expense_date, id, amount FROM expenses WHERE is_owed=1 AND "
                           "contractor_id IS NOT NULL") +
            billsOrder,
        {}, [&](QVector<QVariant>& row) {
            bills.push_back({row.at(0).toLongLong(), row.at(1).toLongLong(), row.at(2).toString(),
                             row.at(3).toLongLong(), Money::toMinor(row.at(4).toDouble(), 3)});
        });
    if (!paidRead || !billsRead)
        return false;
    std::sort(bills.begin(), bills.end(), [](const Bill& a, const Bill& b) {
        return std::tie(a.contractor, a.currency, a.day, a.id) <
               std::tie(b.contractor, b.currency, b.day, b.id);
    });
    // currency -> day -> mills still owed
    QMap<qlonglong, QMap<QString, qint64>> due;
    qint64 upTo = 0;
    for (size_t i = 0; i < bills.size(); ++i) {
        const Bill& bill = bills[i];
        if (i == 0 || bill.contractor != bills[i - 1].contractor ||
            bill.currency != bills[i - 1].currency)
            upTo = 0;
        upTo += bill.mills;
        const qint64 left = upTo - paid.value({bill.contractor, bill.currency});
        // Less than half a cent left is settled.
        if (left <= 4 || bill.day < from || bill.day > to)
            continue;
        due[bill.currency][bill.day] += std::min(bill.mills, left);
    }
    for (auto c = due.cbegin(); c != due.cend(); ++c) {
        for (auto d = c->cbegin(); d != c->cend(); ++d) {
            QVector<QVariant> row{c.key(), d.key(), fromMills(d.value())};
            onRow(row);
        }
    }
    return true;
}

constexpr char kReceived[] = "received";
constexpr char kIssued[] = "issued";

// The pending cheques of one type due between the two bounds, per currency
// and day.
template <const char* type>
bool chequesDue(Database* db, const QVariantList& bounds, const CashCalendar::RowHandler& onRow)
{
    return DueCheques::forEachDay(db, QLatin1String(type), bounds.value(0).toString(),
                                  bounds.value(1).toString(), onRow);
}

bool invoicesDue(Database* db, const QVariantList& bounds, const CashCalendar::RowHandler& onRow)
{
    return DueInvoices::forEachDay(db, bounds.value(0).toString(), bounds.value(1).toString(),
                                   onRow);
}

} // namespace

const QList<CashCalendar::Source>& CashCalendar::sources()
{
    static const QList<Source> list = {
        // Open invoices as a server keeps them per due day: years of
        // unpaid rent are many thousands of invoices.
        {QStringLiteral("in"), QStringLiteral("invoices"), QStringLiteral("فواتير المستأجرين"),
         QString(), invoicesDue},
        {QStringLiteral("in"), QStringLiteral("installments"), QStringLiteral("أقساط المشترين"),
         QStringLiteral("SELECT currency_id AS cur, due_date AS day, "
                        "SUM(installment_amount-paid_amount) AS amount FROM installments WHERE "
                        "status!='paid' AND installment_amount-paid_amount>0.004 AND due_date "
                        "BETWEEN ? AND ? GROUP BY cur, day"),
         nullptr},
        // Pending cheques as kept per due day: a large register holds
        // many years of them.
        {QStringLiteral("in"), QStringLiteral("received_cheques"), QStringLiteral("شيكات واردة"),
         QString(), chequesDue<kReceived>},
        {QStringLiteral("out"), QStringLiteral("issued_cheques"), QStringLiteral("شيكات صادرة"),
         QString(), chequesDue<kIssued>},
        // A contractor's payments settle its bills oldest first; what is
        // left of a bill is due from the bill's day.
        {QStringLiteral("out"), QStringLiteral("contractor_bills"),
         QStringLiteral("مستحقات المقاولين"), QString(), contractorBillsDue},
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
        const QVariantList bounds{QStringLiteral("0001-01-01"), to};
        const RowHandler take = [&](QVector<QVariant>& row) {
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
        };
        if (source.read)
            source.read(m_db, bounds, take);
        else
            m_db->forEachRow(source.sql, bounds, take);
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
