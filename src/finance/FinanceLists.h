#pragma once

#include "core/DatabaseSettings.h"
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
    // Its rows carry each entry's lines joined in one text, which the two
    // engines spell differently.
    static SqlListModel::Definition journal(DatabaseSettings::Engine engine);
    static SqlListModel::Definition buyers();
};
