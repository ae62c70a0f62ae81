#pragma once

#include "insight/Paper.h"

class Database;

// The tenant's and the buyer's printed statements, read from the books: a
// tenant's invoices and payments with a running balance per currency; a
// buyer's sales (price, down payment, what was left to instalments) and
// every instalment with what was paid and what remains. Rows are named by
// what a reader knows them by (invoice number, unit, cheque), never by an
// internal id.
class StatementPrints
{
public:
    explicit StatementPrints(Database* db);

    // An empty paper (no title) when the tenant or buyer does not exist.
    Paper tenant(int tenantId) const;
    Paper buyer(int buyerId) const;

private:
    Database* m_db;
};
