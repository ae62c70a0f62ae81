#include "insight/StatementReports.h"

#include "core/ConvertedTotal.h"
#include "core/CurrencyRates.h"
#include "core/Database.h"
#include "core/Money.h"
#include "core/MoneyTotals.h"
#include "core/SqlDialect.h"
#include "insight/DateRange.h"
#include "insight/InsightDates.h"

#include <QHash>
#include <QSet>

#include <algorithm>

StatementReports::StatementReports(Database* db)
    : m_db(db)
{}

const QString& StatementReports::overdueInstallmentsFrom()
{
    static const QString from = QStringLiteral(
        "FROM installments i JOIN buyers b ON i.buyer_id=b.id JOIN units u ON i.unit_id=u.id "
        "JOIN properties p ON u.property_id=p.id WHERE i.status!='paid' AND i.due_date < ?");
    return from;
}

QVariantList StatementReports::tenantStatement(int tenantId, const DateRange& range)
{
    // Invoices are dated by the local day of their creation stamp (stored in
    // UTC), so an invoice of a range's last day is inside the range and sits
    // beside that day's payments. A voided invoice leaves the tenant's
    // balance only with its open part; what had been paid on it stays owed
    // against its payments, so it is listed with that amount. That keeps the
    // closing balance of the full statement equal to the tenant's balance.
    // Each row carries its currency so amounts are shown with their own symbol.
    QVariantList params = {tenantId, tenantId, tenantId};
    const QString rangeClause = range.clause(QStringLiteral("date"), params);
    const QString createdDay = SqlDialect::localDay(m_db->engine(), QStringLiteral("i.created_at"));
    return m_db->execQuery(
        QStringLiteral(
            "SELECT type, date, ref, debit, credit, currency_id FROM ("
            "SELECT 'فاتورة' as type, %1 as date, "
            "i.invoice_number as ref, i.total_amount as debit, 0 as credit, i.currency_id, "
            "0 as kind, i.id as seq FROM invoices i WHERE i.tenant_id=? AND i.status!='void' "
            "UNION ALL SELECT 'فاتورة ملغاة' as type, %1 as date, "
            "i.invoice_number as ref, i.paid_amount as debit, 0 as credit, i.currency_id, 0 as "
            "kind, "
            "i.id as seq "
            "FROM invoices i WHERE i.tenant_id=? AND i.status='void' AND i.paid_amount >= 0.005 "
            "UNION ALL SELECT 'دفعة' as type, p.payment_date as date, p.reference as ref, "
            "0 as debit, p.amount as credit, p.currency_id, 1 as kind, p.id as seq FROM payments p "
            "WHERE "
            "p.tenant_id=? ) t WHERE 1=1")
                .arg(createdDay) +
            rangeClause + QStringLiteral(" ORDER BY date, kind, seq"),
        params);
}

QVariantList StatementReports::buyerStatement(int buyerId, const DateRange& range)
{
    QVariantList params = {buyerId};
    const QString rangeClause =
        range.clause(SqlDialect::unindexed(m_db->engine(), QStringLiteral("i.due_date")), params);
    QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT i.*, u.unit_number, p.name as property_name FROM installments i "
                       "JOIN units u ON i.unit_id=u.id JOIN properties p ON u.property_id=p.id "
                       "WHERE i.buyer_id=?") +
            rangeClause + QStringLiteral(" ORDER BY i.due_date, i.id"),
        params);
    for (QVariant& value : rows) {
        QVariantMap row = value.toMap();
        // Whole cents, so a fully collected installment shows 0 rather than
        // the noise of a double subtraction.
        row.insert(QStringLiteral("remaining_amount"),
                   Money::roundToCents(row.value(QStringLiteral("installment_amount")).toDouble() -
                                       row.value(QStringLiteral("paid_amount")).toDouble()));
        value = row;
    }
    return rows;
}

QVariantList StatementReports::contractorStatement(int contractorId, const DateRange& range)
{
    QVariantList params = {contractorId};
    const QString rangeClause = range.clause(
        SqlDialect::unindexed(m_db->engine(), QStringLiteral("e.expense_date")), params);
    return m_db->execQuery(
        QStringLiteral("SELECT e.*, p.name as property_name, u.unit_number FROM expenses e LEFT "
                       "JOIN properties p ON e.property_id=p.id LEFT JOIN units u ON "
                       "e.unit_id=u.id WHERE e.contractor_id=?") +
            rangeClause + QStringLiteral(" ORDER BY e.expense_date DESC, e.id DESC"),
        params);
}

QString StatementReports::chequeConditions(const QString& status, const DateRange& range,
                                           QVariantList& params)
{
    QString where = QStringLiteral(" WHERE 1=1 ");
    if (!status.isEmpty()) {
        where += QStringLiteral(" AND c.status=? ");
        params << status;
    }
    return where + range.clause(QStringLiteral("c.due_date"), params);
}

QVariantList StatementReports::chequeReport(const QString& status, const DateRange& range,
                                            int limit)
{
    QVariantList params;
    QString sql = QStringLiteral("SELECT c.*, cur.symbol as currency_symbol FROM cheques c LEFT "
                                 "JOIN currencies cur ON c.currency_id=cur.id") +
                  chequeConditions(status, range, params) +
                  QStringLiteral(" ORDER BY c.due_date, c.id");
    if (limit >= 0) {
        sql += QStringLiteral(" LIMIT ?");
        params << limit;
    }
    return m_db->execQuery(sql, params);
}

QVariantList StatementReports::chequeTotals(const QString& status, const DateRange& range)
{
    // Received and issued cheques apart (a cheque of no known kind counts as
    // received), per stored currency, in the order the report's rows first
    // show each: by the earliest due day, and on a shared day by the
    // earliest cheque of it.
    QVariantList params;
    const QString where = chequeConditions(status, range, params);
    const QString kind =
        QStringLiteral("CASE WHEN c.type='issued' THEN 'issued' ELSE 'received' END");
    QVariantList groups = m_db->execQuery(
        QStringLiteral("SELECT ") + kind +
            QStringLiteral(" as kind, c.currency_id, COUNT(*) as count, COALESCE(SUM(c.amount),0) "
                           "as total, MIN(c.due_date) as first_day FROM cheques c") +
            where + QStringLiteral(" GROUP BY 1, 2"),
        params);

    // Groups of one kind whose first day is shared are told apart by the
    // first cheque of that day.
    QHash<QString, int> perDay;
    for (const QVariant& value : groups) {
        const QVariantMap g = value.toMap();
        ++perDay[g.value(QStringLiteral("kind")).toString() + QLatin1Char('|') +
                 g.value(QStringLiteral("first_day")).toString()];
    }
    QHash<QString, qlonglong> firstId;
    const auto key = [](const QVariantMap& g) {
        return g.value(QStringLiteral("kind")).toString() + QLatin1Char('|') +
               (g.value(QStringLiteral("currency_id")).isNull()
                    ? QString()
                    : g.value(QStringLiteral("currency_id")).toString());
    };
    QSet<QString> daysRead;
    for (const QVariant& value : groups) {
        const QVariantMap g = value.toMap();
        const QString day = g.value(QStringLiteral("first_day")).toString();
        if (day.isEmpty() || daysRead.contains(day) ||
            perDay.value(g.value(QStringLiteral("kind")).toString() + QLatin1Char('|') + day) < 2)
            continue;
        daysRead.insert(day);
        QVariantList dayParams = params;
        dayParams << day;
        for (const QVariant& first : m_db->execQuery(
                 QStringLiteral("SELECT ") + kind +
                     QStringLiteral(" as kind, c.currency_id, MIN(c.id) as first_id FROM "
                                    "cheques c") +
                     where + QStringLiteral(" AND c.due_date=? GROUP BY 1, 2"),
                 dayParams))
            firstId.insert(key(first.toMap()) + QLatin1Char('|') + day,
                           first.toMap().value(QStringLiteral("first_id")).toLongLong());
    }
    std::stable_sort(groups.begin(), groups.end(), [&](const QVariant& a, const QVariant& b) {
        const QVariantMap left = a.toMap();
        const QVariantMap right = b.toMap();
        const QString l = left.value(QStringLiteral("first_day")).toString();
        const QString r = right.value(QStringLiteral("first_day")).toString();
        if (l != r)
            return l < r;
        return firstId.value(key(left) + QLatin1Char('|') + l) <
               firstId.value(key(right) + QLatin1Char('|') + r);
    });
    return groups;
}

QVariantList StatementReports::overdueInstallments()
{
    return m_db->execQuery(QStringLiteral("SELECT i.*, b.full_name as buyer_name, u.unit_number, "
                                          "p.name as property_name ") +
                               overdueInstallmentsFrom() +
                               QStringLiteral(" ORDER BY i.due_date, i.id"),
                           {InsightDates::isoDay()});
}

QVariantList StatementReports::monthlyReport(const QString& year)
{
    // The days come from the totals the triggers keep per day and currency,
    // which count a payment on the day this report would find it on. Each
    // month is converted to the primary currency day by day, at each day's
    // rate, with its currencies beside it.
    bool numeric = false;
    const int first = year.toInt(&numeric);
    if (!numeric || year.size() != 4 || first < 1000)
        return {};
    const CurrencyRates rates(m_db);
    const QVariantList days = m_db->execQuery(
        QStringLiteral("SELECT owner_id / 100 % 100 as month, NULLIF(currency_id,-1) as c, "
                       "CAST(owner_id / 10000 AS TEXT) || '-' || substr(CAST(100 + owner_id / "
                       "100 % 100 AS TEXT), 2) || '-' || substr(CAST(100 + owner_id % 100 AS "
                       "TEXT), 2) as d, cents/100.0+rest as t FROM money_totals WHERE "
                       "kind=? AND row_count>0 AND owner_id >= ? AND owner_id <= ?"),
        {MoneyTotals::kDayPayments, first * 10000 + 101, first * 10000 + 1231});
    const QHash<qlonglong, ConvertedTotal> months =
        ConvertedTotal::perOwner(days, QStringLiteral("month"), &rates);
    QVariantList rows;
    for (int month = 1; month <= 12; ++month) {
        const auto it = months.constFind(month);
        if (it == months.cend())
            continue;
        rows.append(QVariantMap{{QStringLiteral("month"), QString::asprintf("%02d", month)},
                                {QStringLiteral("revenue"), it->primary()},
                                {QStringLiteral("revenue_detail"), it->toMap()}});
    }
    return rows;
}
