#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>

class Database;

// Pending cheques by due day, per currency: what the alerts, the insight
// cards and the cash calendar count and add up. Both engines keep these per
// day as cheques are written (ListTotals::kChequesDue), so a large register
// is read as a few rows a day; forEachDayScanned adds up the cheques
// themselves and gives the same rows.
class DueCheques
{
public:
    using RowHandler = std::function<void(QVector<QVariant>&)>;

    // Rows cur (currency id, NULL when the cheque names none), day, amount
    // (the day's sum) and n (how many), in no set order, for the pending
    // cheques of `type` ("received", "issued"; empty: every type) due on
    // `from` (empty: from the first) up to and including `to`.
    static bool forEachDay(Database* db, const QString& type, const QString& from,
                           const QString& to, const RowHandler& onRow);
    // The same rows added up from the cheques themselves.
    static bool forEachDayScanned(Database* db, const QString& type, const QString& from,
                                  const QString& to, const RowHandler& onRow);
    // How many pending cheques fall due on or before `to`.
    static qint64 countUpTo(Database* db, const QString& to);
};
