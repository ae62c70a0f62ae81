#pragma once

#include "rental/InvoiceDraft.h"

#include <QList>

class Database;

// Writes many invoices at once, inside the caller's transaction: the
// invoices in the order given (numbered in that order), then their lines,
// then their tenants' balances, each table in one statement fed with the
// whole batch. The rows written are the ones writing the invoices one by one
// would give, ids and amounts alike.
class InvoiceBatch
{
public:
    // True when every invoice was written. On false nothing of the batch is
    // kept (it runs in its own savepoint), so the caller can write the
    // invoices one at a time, numbered afresh, and leave out a bad one. A
    // failure is not announced: the one-by-one writing says which failed.
    static bool write(Database* db, const QList<InvoiceDraft>& drafts);
};
