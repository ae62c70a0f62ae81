#pragma once

#include "core/SqlListModel.h"

// How the finance lists read their rows: the same columns as the matching
// model's list call, with the filters, searches and sorts documented in
// core/SqlListModel.h.
class FinanceLists
{
public:
    static SqlListModel::Definition expenses();
    static SqlListModel::Definition cheques();
    static SqlListModel::Definition installments();
    static SqlListModel::Definition journal();
    static SqlListModel::Definition buyers();
};
