#include "insight/DueCheques.h"

#include "core/Database.h"
#include "core/ListTotals.h"

namespace {

// The day bounds and type as SQL and values, on `dayColumn`.
QString bounds(const QString& dayColumn, const QString& from, const QString& to,
               QVariantList& params)
{
    QString sql;
    if (!from.isEmpty()) {
        sql += QStringLiteral(" AND ") + dayColumn + QStringLiteral(" >= ?");
        params << from;
    }
    sql += QStringLiteral(" AND ") + dayColumn + QStringLiteral(" <= ?");
    params << to;
    return sql;
}

} // namespace

bool DueCheques::forEachDay(Database* db, const QString& type, const QString& from,
                            const QString& to, const RowHandler& onRow)
{
    const ListTotals::Kept* kept = ListTotals::find(ListTotals::kChequesDue);
    const QVariant oneType = type.isEmpty() ? QVariant() : QVariant(type);
    QVariantList params = ListTotals::listValues(*kept, oneType);
    // One type is one kept row per currency and day already: added up
    // again, a server hashes years of days into groups of one.
    const QString select =
        oneType.isValid()
            ? QStringLiteral("SELECT NULLIF(currency_id,-1) AS cur, day, c0/100.0+r0 AS amount, "
                             "row_count AS n FROM list_totals WHERE ")
            : QStringLiteral("SELECT NULLIF(currency_id,-1) AS cur, day, SUM(c0)/100.0+SUM(r0) "
                             "AS amount, SUM(row_count) AS n FROM list_totals WHERE ");
    const QString sql =
        select + ListTotals::listCondition(*kept, oneType.isValid()) +
        bounds(QStringLiteral("day"), from, to, params) + QStringLiteral(" AND row_count<>0") +
        (oneType.isValid() ? QString() : QStringLiteral(" GROUP BY currency_id, day"));
    return db->forEachRow(sql, params, onRow);
}

bool DueCheques::forEachDayScanned(Database* db, const QString& type, const QString& from,
                                   const QString& to, const RowHandler& onRow)
{
    QVariantList params;
    QString sql = QStringLiteral("SELECT currency_id AS cur, due_date AS day, SUM(amount) AS "
                                 "amount, COUNT(*) AS n FROM cheques WHERE status='pending'");
    if (!type.isEmpty()) {
        sql += QStringLiteral(" AND type=?");
        params << type;
    }
    sql += bounds(QStringLiteral("due_date"), from, to, params) +
           QStringLiteral(" GROUP BY currency_id, due_date");
    return db->forEachRow(sql, params, onRow);
}

qint64 DueCheques::countUpTo(Database* db, const QString& to)
{
    qint64 count = 0;
    forEachDay(db, QString(), QString(), to,
               [&count](QVector<QVariant>& row) { count += row.at(3).toLongLong(); });
    return count;
}
