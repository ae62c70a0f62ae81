#include "insight/DueInvoices.h"

#include "core/Database.h"
#include "core/ListTotals.h"
#include "core/OpenInvoices.h"

bool DueInvoices::forEachDay(Database* db, const QString& from, const QString& to,
                             const RowHandler& onRow)
{
    if (!db->isPostgres())
        return forEachDayScanned(db, from, to, onRow);
    const ListTotals::Kept* kept = ListTotals::find(ListTotals::kOpenInvoices);
    QVariantList params = ListTotals::listValues(*kept, QVariant());
    params << from << to;
    return db->forEachRow(
        QStringLiteral("SELECT NULLIF(currency_id,-1) AS cur, day, SUM(c0)/100.0+SUM(r0) AS "
                       "amount FROM list_totals WHERE ") +
            ListTotals::listCondition(*kept, false) +
            QStringLiteral(" AND day BETWEEN ? AND ? AND row_count<>0 GROUP BY cur, day"),
        params, onRow);
}

bool DueInvoices::forEachDayScanned(Database* db, const QString& from, const QString& to,
                                    const RowHandler& onRow)
{
    return db->forEachRow(QStringLiteral("SELECT currency_id AS cur, due_date AS day, "
                                         "SUM(balance) AS amount FROM invoices WHERE ") +
                              OpenInvoices::owing() +
                              QStringLiteral(" AND due_date BETWEEN ? AND ? GROUP BY cur, day"),
                          {from, to}, onRow);
}

qint64 DueInvoices::countDueBefore(Database* db, const QString& day)
{
    const ListTotals::Kept* kept = ListTotals::find(ListTotals::kOpenInvoices);
    QVariantList params = ListTotals::listValues(*kept, QVariant());
    params << day;
    return db
        ->scalar(QStringLiteral("SELECT COALESCE(SUM(row_count),0) FROM list_totals WHERE ") +
                     ListTotals::listCondition(*kept, false) +
                     QStringLiteral(" AND day < ? AND row_count<>0"),
                 params)
        .toLongLong();
}
