#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

class Database;

// The long reads the pages ask the report reader for, by name, each with
// the arguments its page passes. Every one goes through the same function
// the page used to call directly (the dashboard's, the reports', the
// ledger's), on whichever connection it is given, so the figures are the
// same wherever they are read.
//
//   dashboard      (alertsPerKind)      stats, occupancy, collections, recentPayments,
//                                       recentMaint, insights, alerts, alertCount
//   analysis       ()                   analysis (the generated text), comparison
//   financial      (from, to)           summary (profit and loss), balance (balance sheet)
//   overdue        ()                   overdue instalments
//   units          ()                   every unit as the units tab shows it
//   cheques        (status, from, to)   the cheque report
//   calendar       (days)               the cash calendar of the next `days` days
//   trialBalance   (from, to)           the trial balance
//   reconcile      ()                   where the books differ from their records
//   accountLedger  (account, offset, limit)  one page of an account's ledger
class ReportCalls
{
public:
    static QStringList names();
    static bool known(const QString& call);
    // The result of `call`; an invalid variant with the reason in `error`
    // when it is refused (an unknown call, a bad date, a missing account).
    static QVariant run(Database* db, const QString& call, const QVariantList& args,
                        QString* error);
};
