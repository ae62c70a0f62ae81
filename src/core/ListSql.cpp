#include "core/ListSql.h"

namespace ListSql {

QString nameOf(const QString& key, const QString& table, const QString& name, const QString& alias)
{
    return QStringLiteral("(SELECT ") + name + QStringLiteral(" FROM ") + table +
           QStringLiteral(" WHERE id=") + key + QStringLiteral(") as ") + alias;
}

QString unitNames(const QString& unitKey)
{
    return nameOf(unitKey, QStringLiteral("units"), QStringLiteral("unit_number"),
                  QStringLiteral("unit_number")) +
           QStringLiteral(", (SELECT name FROM properties WHERE id=(SELECT property_id FROM "
                          "units WHERE id=") +
           unitKey + QStringLiteral(")) as property_name");
}

QString nameSearch(const QString& column, const QString& table, const QString& name)
{
    return column + QStringLiteral(" IN (SELECT id FROM ") + table + QStringLiteral(" WHERE ") +
           SqlListModel::like(name) + QLatin1Char(')');
}

QString propertyNameSearch(const QString& unitColumn)
{
    return unitColumn +
           QStringLiteral(" IN (SELECT u.id FROM units u JOIN properties p ON "
                          "u.property_id=p.id WHERE ") +
           SqlListModel::like(QStringLiteral("p.name")) + QLatin1Char(')');
}

QString unitsOfProperty(const QString& unitColumn)
{
    return unitColumn + QStringLiteral(" IN (SELECT id FROM units WHERE property_id = ?)");
}

SqlListModel::TextSearch invoiceNumberSearch(const QString& column)
{
    const SqlListModel::TextSearch number =
        SqlListModel::indexedText(QStringLiteral("invoices_search"), QStringLiteral("invoices"),
                                  QStringLiteral("id"), {QStringLiteral("invoice_number")});
    const QString within = column + QStringLiteral(" IN (SELECT id FROM invoices WHERE %1)");
    // Checked row by row, each row looks up its own invoice: a list read
    // in order stops at a full page instead of first gathering every
    // matching invoice number.
    const QString own = QStringLiteral("EXISTS (SELECT 1 FROM invoices WHERE id=") + column +
                        QStringLiteral(" AND %1)");
    return {number.index, within.arg(number.indexed), own.arg(number.scan)};
}

} // namespace ListSql
