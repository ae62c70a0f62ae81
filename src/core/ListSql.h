#pragma once

#include "core/SqlListModel.h"

// Pieces of SQL that several lists' definitions share: searches on a joined
// name through a sub-select on the base table, and the property filter.
namespace ListSql {

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
