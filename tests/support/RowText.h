#pragma once

#include "TestDatabase.h"

#include <QMetaType>
#include <QStringList>

// The first row of `sql` as "a|b|c", for checking several stored columns at
// once. Numbers are written the same whatever the engine hands back (250000,
// 700.5), so one expected text holds on a file and on a server.
inline QString rowText(const TestDatabase& db, const QString& sql, const QVariantList& params = {})
{
    SqlReader::Rows rows;
    QString error;
    if (!db.db()->readRows(sql, params, rows, &error))
        return QStringLiteral("<failed: %1>").arg(error);
    if (rows.rows.isEmpty())
        return QStringLiteral("<no row>");
    QStringList out;
    for (const QVariant& value : rows.rows.first()) {
        switch (value.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            out << QString::number(value.toDouble(), 'g', 15);
            break;
        default:
            out << (value.isNull() ? QStringLiteral("<null>") : value.toString());
        }
    }
    return out.join(QLatin1Char('|'));
}
