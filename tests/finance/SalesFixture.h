#pragma once

#include "TestDatabase.h"

#include <QSqlQuery>
#include <QSqlRecord>

// Plain-SQL set-up of what a sale needs: a property, a unit with its cost
// centres (a project row first, so the unit's own row is not id 1) and a buyer.
namespace SalesFixture {

inline int addUnit(TestDatabase& t, const QString& number, const QString& status = "available")
{
    Database* db = t.db();
    const int property = db->execInsert("INSERT INTO properties (name) VALUES (?)",
                                        {QStringLiteral("برج الياسمين ") + number});
    const int unit = db->execInsert("INSERT INTO units (property_id, unit_number, status, "
                                    "currency_id) VALUES (?,?,?,1)",
                                    {property, number, status});
    db->execInsert("INSERT INTO cost_centers (name, type, property_id) VALUES ('مشروع', "
                   "'project', ?)",
                   {property});
    for (int i = 0; i < 2; ++i)
        db->execInsert("INSERT INTO cost_centers (name, type, property_id, unit_id) VALUES "
                       "(?, 'unit', ?, ?)",
                       {number, property, unit});
    return unit;
}

inline int unitCostCenter(TestDatabase& t, int unit)
{
    return t.value("SELECT MIN(id) FROM cost_centers WHERE unit_id=?", {unit}).toInt();
}

inline int addBuyer(TestDatabase& t, const QString& name, double balance = 0)
{
    return t.db()->execInsert("INSERT INTO buyers (full_name, balance) VALUES (?,?)",
                              {name, balance});
}

// The first row of `sql` as "a|b|c" (reals with two decimals), for compact checks on stored rows.
inline QString row(TestDatabase& t, const QString& sql, const QVariantList& params = {})
{
    QSqlQuery query(t.db()->connection());
    query.prepare(sql);
    for (const QVariant& p : params)
        query.addBindValue(p);
    if (!query.exec() || !query.next())
        return QStringLiteral("<no row>");
    QStringList values;
    for (int i = 0; i < query.record().count(); ++i) {
        const QVariant v = query.value(i);
        values << (v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'f', 2)
                                                   : v.toString());
    }
    return values.join('|');
}

// Every row of the tables a sale or a collection touches, as one text.
inline QString snapshot(TestDatabase& t)
{
    QString out;
    for (const char* table : {"units", "payments", "installments", "buyers", "audit_logs"}) {
        for (const QVariant& row :
             t.db()->execQuery(QStringLiteral("SELECT * FROM %1 ORDER BY id").arg(table)))
            for (const auto& [key, value] : row.toMap().asKeyValueRange())
                out += key + '=' + value.toString() + ';';
        out += '\n';
    }
    return out;
}

} // namespace SalesFixture
