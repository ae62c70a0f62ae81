#pragma once

#include "core/SqlListModel.h"

// How the rental lists read their rows: the same columns as the matching
// model's list call, with the filters, searches and sorts documented in
// core/SqlListModel.h. Joined names are searched through sub-selects on the
// base table, so the count and totals read one table only.
class RentalLists
{
public:
    static SqlListModel::Definition invoices();
    static SqlListModel::Definition payments();
    static SqlListModel::Definition maintenance();
    static SqlListModel::Definition contracts();
    static SqlListModel::Definition tenants();
};
