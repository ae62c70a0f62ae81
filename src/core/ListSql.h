#pragma once

#include "core/SqlListModel.h"

// Pieces of SQL that several lists' definitions share: the names shown
// beside a row, searches on such a name through a sub-select on the base
// table, and the property filter.
namespace ListSql {

// "(SELECT <name> FROM <table> WHERE id=<key>) as <alias>". A list's names
// are looked up for the page's rows alone rather than joined: the server
// spent longer planning a page's joins than reading the page.
QString nameOf(const QString& key, const QString& table, const QString& name, const QString& alias);
// The unit's number and its property's name, as unit_number and
// property_name: what most lists show of a row's unit.
QString unitNames(const QString& unitKey);

// "<column> IN (SELECT id FROM <table> WHERE <name> LIKE ?)"
QString nameSearch(const QString& column, const QString& table, const QString& name);
// "<unitColumn> IN (units whose property's name matches)"
QString propertyNameSearch(const QString& unitColumn);
// "<unitColumn> IN (SELECT id FROM units WHERE property_id = ?)"
QString unitsOfProperty(const QString& unitColumn);
// "<column> IN (SELECT id FROM invoices WHERE invoice_number LIKE ?)", read
// through the invoices' text index: half a million invoice numbers are no
// small table to scan. Without the index each row checks its own invoice.
SqlListModel::TextSearch invoiceNumberSearch(const QString& column);

} // namespace ListSql
