#pragma once

#include "core/SqlListModel.h"

// How the audit list reads its rows (filters and sorts as documented in
// core/SqlListModel.h).
class AuditList
{
public:
    static SqlListModel::Definition audit();
};
