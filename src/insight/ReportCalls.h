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
//   analysisText   ()                   the generated analysis and the occupancy
//   comparison     ()                   income and expenses per property
//   financial      (from, to)           summary (profit and loss), balance (balance sheet)
//   projects       (from, to)           every property with its project figures
//   costCentres    (property)           one project's cost centres
//   overdue        ()                   overdue instalments
//   units          ()                   every unit as the units tab shows it
//   cheques        (status, from, to)   rows: the cheque report's first kChequeRows rows,
//                                       totals: what all its rows add up to
//   calendar       (days)               the cash calendar of the next `days` days
//   trialBalance   (from, to)           the trial balance
//   reconcile      ()                   where the books differ from their records
//   accountLedger  (account, offset, limit)  one page of an account's ledger
class ReportCalls
{
public:
    // How many of the cheque report's rows its tab shows.
    static constexpr int kChequeRows = 200;

    static QStringList names();
    static bool known(const QString& call);
    // The result of `call`; an invalid variant with the reason in `error`
    // when it is refused (an unknown call, a bad date, a missing account).
    static QVariant run(Database* db, const QString& call, const QVariantList& args,
                        QString* error);
};
