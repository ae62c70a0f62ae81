#include "rental/RentRun.h"

#include "core/Database.h"
#include "core/MinorUnits.h"
#include "rental/RentSchedule.h"

#include <QHash>
#include <QSet>
#include <QVector>

#include <functional>

namespace {

using Row = QVector<QVariant>;

// Runs a read, giving each row to `onRow`; a failure is announced like any
// other of the database's.
bool read(Database* db, const QString& sql, const QVariantList& params,
          const std::function<void(const Row&)>& onRow)
{
    QString error;
    if (db->forEachRow(
            sql, params, [&](Row& row) { onRow(row); }, &error))
        return true;
    emit db->databaseError(error);
    return false;
}

} // namespace

bool RentRun::drafts(Database* db, const QString& period, QList<InvoiceDraft>& out)
{
    out.clear();
    // Rent is billed once per contract and period: the contracts that already
    // have a live rent invoice for it, and the period's readings per unit in
    // service order, each read once for the whole run.
    QSet<int> billed;
    QHash<int, QList<QVariantList>> readings;
    const bool readOk =
        read(db,
             QStringLiteral("SELECT DISTINCT contract_id FROM invoices WHERE period=? AND "
                            "contract_id IS NOT NULL AND status!='void'"),
             {period}, [&](const Row& row) { billed.insert(row.at(0).toInt()); }) &&
        read(db,
             QStringLiteral("SELECT ur.unit_id, ur.consumption, ur.cost, s.name FROM usage_records "
                            "ur JOIN services s ON ur.service_id=s.id WHERE ur.period=? "
                            "ORDER BY ur.unit_id, ur.service_id"),
             {period}, [&](const Row& row) {
                 const double consumption = row.at(1).toDouble();
                 const double cost = row.at(2).toDouble();
                 // Below one unit of measure the line shows the cost itself as
                 // its price rather than a per-unit figure inflated by a tiny
                 // reading; the line total is the cost either way.
                 const double unitPrice = consumption > 1 ? cost / consumption : cost;
                 readings[row.at(0).toInt()].append(QVariantList{row.at(3), QStringLiteral("usage"),
                                                                 consumption, unitPrice, cost});
             });
    if (!readOk)
        return false;

    // A rent of several months is rounded in its currency's minor unit.
    const MinorUnits units(db);
    // Contracts in id order, which is also the order the invoice numbers
    // follow: only those whose dates take in the period.
    return read(
        db,
        QStringLiteral("SELECT id, tenant_id, unit_id, currency_id, rent_amount, start_date, "
                       "end_date, payment_frequency FROM contracts WHERE status='active' AND "
                       "substr(start_date,1,7)<=? AND substr(end_date,1,7)>=? ORDER BY id"),
        {period, period}, [&](const Row& contract) {
            const int contractId = contract.at(0).toInt();
            if (billed.contains(contractId))
                return;
            const int months =
                RentSchedule::monthsBilled(contract.at(7).toString(), contract.at(5).toString(),
                                           contract.at(6).toString(), period);
            const int unitId = contract.at(2).toInt();
            const QList<QVariantList> metered = readings.value(unitId);
            // Between two due dates of a longer cycle only the month's
            // readings are billed; with none there is nothing to bill.
            if (months < 1 && metered.isEmpty())
                return;

            InvoiceDraft draft;
            draft.tenantId = contract.at(1).toInt();
            draft.unitId = unitId;
            draft.contractId = contractId;
            draft.period = period;
            draft.currencyId = contract.at(3).toInt();
            if (months > 0) {
                const double monthlyRent = contract.at(4).toDouble();
                const double rent =
                    months == 1 ? monthlyRent : units.round(draft.currencyId, monthlyRent * months);
                draft.lines.append(QVariantList{RentSchedule::rentDescription(months),
                                                QStringLiteral("rent"), months, monthlyRent, rent});
                draft.total = rent;
            }
            for (const QVariantList& line : metered) {
                draft.lines.append(line);
                draft.total += line.at(4).toDouble();
            }
            out.append(draft);
        });
}
