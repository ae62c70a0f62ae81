#pragma once

#include "core/SqlListModel.h"

// How each paged list reads its rows: the same columns as the matching
// model's list call, with the filters, searches and sorts documented in
// SqlListModel.h. Joined names are searched through sub-selects on the base
// table, so the count and totals read one table only.
class ListDefinitions
{
public:
    static SqlListModel::Definition invoices();
    static SqlListModel::Definition payments();
    static SqlListModel::Definition expenses();
    static SqlListModel::Definition cheques();
    static SqlListModel::Definition maintenance();
    static SqlListModel::Definition contracts();
    static SqlListModel::Definition installments();
    static SqlListModel::Definition journal();
    static SqlListModel::Definition audit();
};
