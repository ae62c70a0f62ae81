#include "insight/DueInvoices.h"

#include "core/Database.h"
#include "core/ListTotals.h"

namespace {

// An invoice is open unless paid or void; written as the condition the
// open invoices' index and kept totals are kept under, so only those are
// read.
const QString kOpen =
    QStringLiteral("(status < 'paid' OR (status > 'paid' AND status < 'void') OR status > 'void')");

} // namespace

bool DueInvoices::forEachDay(Database* db, const QString& from, const QString& to,
                             const RowHandler& onRow)
{
    if (!db->isPostgres())
        return forEachDayScanned(db, from, to, onRow);
    // The kept totals count balances of half a cent and more; a smaller one
    // (a few fils of a dinar) is still owed and comes from its own index.
    // Added up in one statement, the day's amount is the exact sum the
    // invoices give.
    const ListTotals::Kept* kept = ListTotals::find(ListTotals::kOpenInvoices);
    QVariantList params = ListTotals::listValues(*kept, QVariant());
    params << from << to << from << to;
    const QString sql =
        QStringLiteral("SELECT cur, day, SUM(amount) AS amount FROM (SELECT "
                       "NULLIF(currency_id,-1) AS cur, day, c0/100.0+r0 AS amount FROM list_totals "
                       "WHERE ") +
        ListTotals::listCondition(*kept, false) +
        QStringLiteral(" AND day BETWEEN ? AND ? AND row_count<>0 UNION ALL SELECT currency_id, "
                       "due_date COLLATE \"C\", balance FROM invoices WHERE ") +
        kOpen +
        QStringLiteral(" AND balance>0 AND balance<0.005 AND due_date BETWEEN ? AND ?) AS owed "
                       "GROUP BY cur, day");
    return db->forEachRow(sql, params, onRow);
}

bool DueInvoices::forEachDayScanned(Database* db, const QString& from, const QString& to,
                                    const RowHandler& onRow)
{
    return db->forEachRow(QStringLiteral("SELECT currency_id AS cur, due_date AS day, "
                                         "SUM(balance) AS amount FROM invoices WHERE ") +
                              kOpen +
                              QStringLiteral(" AND balance>0 AND due_date BETWEEN ? AND ? GROUP "
                                             "BY cur, day"),
                          {from, to}, onRow);
}
