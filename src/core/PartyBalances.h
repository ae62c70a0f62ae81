#pragma once

#include <QVariantList>

class Database;

// What one party owes, kept apart per currency: a tenant who owes 1,500 ₪
// and 40 $ owes exactly that. Each answer is [{currency_id, total}], the
// primary currency first, currencies that come to nothing left out. The
// single stored `balance` column stays for the callers that read it.
class PartyBalances
{
public:
    // The tenant's statement, summed: invoices (a void one for what had been
    // paid on it) less every payment of the tenant, per currency.
    static QVariantList tenant(Database* db, int tenantId);
    // The buyer's unpaid instalments, per currency.
    static QVariantList buyer(Database* db, int buyerId);

    // The same sums for many tenants or buyers at once, for a list's rows:
    // rows of (owner id, currency id, total), each owner's primary currency
    // first. The owners fill the "%1" of "WITH owners(id) AS (VALUES %1)",
    // one "(?)" each.
    static QString tenantsSql();
    static QString buyersSql();
    // [{c, total}] rows as the answer above gives them: rounded to the mill,
    // those that come to nothing left out, as [{currency_id, total}].
    static QVariantList owed(const QVariantList& rows);
};
