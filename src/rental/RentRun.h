#pragma once

#include "rental/InvoiceDraft.h"

#include <QList>
#include <QString>

class Database;

// What the rent run of a period bills: one invoice per active contract whose
// dates take in the period and that has no live rent invoice for it yet,
// with the rent of its cycle when the period starts one (RentSchedule) and
// the period's meter readings of its unit. A contract between two due
// months with no readings gets none.
class RentRun
{
public:
    // The invoices in contract id order (the order their numbers follow).
    // False when the contracts or readings could not be read.
    static bool drafts(Database* db, const QString& period, QList<InvoiceDraft>& out);
};
