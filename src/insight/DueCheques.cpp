#include "insight/DueCheques.h"

#include "core/Database.h"
#include "core/ListTotals.h"

#include <QHash>
#include <QPair>

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
    // again, a server hashes years of days into groups of one. Every type
    // is a row per type, currency and day; those are added up here, as a
    // server adding them up in SQL takes ten times as long as reading them.
    const QString where = ListTotals::listCondition(*kept, oneType.isValid()) +
                          bounds(QStringLiteral("day"), from, to, params) +
                          QStringLiteral(" AND row_count<>0");
    if (oneType.isValid())
        return db->forEachRow(
            QStringLiteral("SELECT NULLIF(currency_id,-1) AS cur, day, c0/100.0+r0 AS amount, "
                           "row_count AS n FROM list_totals WHERE ") +
                where,
            params, onRow);

    struct Day
    {
        QVariant currency;
        QString day;
        qint64 cents = 0;
        double rest = 0;
        qint64 count = 0;
    };
    QHash<QPair<qint64, QString>, Day> days;
    const bool read = db->forEachRow(
        QStringLiteral("SELECT currency_id, day, c0, r0, row_count FROM list_totals WHERE ") +
            where,
        params, [&days](QVector<QVariant>& row) {
            const qint64 currency = row.at(0).toLongLong();
            const QPair<qint64, QString> key{currency, row.at(1).toString()};
            auto sum = days.find(key);
            if (sum == days.end()) {
                Day day;
                day.currency = currency == -1 ? QVariant() : QVariant(currency);
                day.day = key.second;
                sum = days.insert(key, day);
            }
            sum->cents += row.at(2).toLongLong();
            sum->rest += row.at(3).toDouble();
            sum->count += row.at(4).toLongLong();
        });
    if (!read)
        return false;
    for (const Day& sum : std::as_const(days)) {
        QVector<QVariant> row{sum.currency, sum.day, double(sum.cents) / 100.0 + sum.rest,
                              sum.count};
        onRow(row);
    }
    return true;
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
    const ListTotals::Kept* kept = ListTotals::find(ListTotals::kChequesDue);
    QVariantList params = ListTotals::listValues(*kept, QVariant());
    const QString sql =
        QStringLiteral("SELECT COALESCE(SUM(row_count),0) FROM list_totals WHERE ") +
        ListTotals::listCondition(*kept, false) +
        bounds(QStringLiteral("day"), QString(), to, params) + QStringLiteral(" AND row_count<>0");
    return db->scalar(sql, params).toLongLong();
}
