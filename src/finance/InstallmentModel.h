#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>

class Database;
class LedgerPosting;

// Sells units to buyers and keeps each buyer's schedule of instalments. A sale
// marks the unit sold, books the down payment, splits the financed remainder
// into monthly instalments (optionally backed by numbered cheques), raises the
// buyer's balance and leaves an audit row, all in one transaction.
class InstallmentModel : public BackendObject
{
    Q_OBJECT

public:
    explicit InstallmentModel(Database* db, QObject* parent = nullptr);

    Q_INVOKABLE QVariantList getAll();
    // 1 when the sale was recorded; -1 when it was refused or failed, in which
    // case nothing has been written. At most 600 instalments.
    Q_INVOKABLE int sellUnit(int buyerId, int unitId, double totalPrice, double downPayment,
                             int numInstallments, const QString& startDate, int currId,
                             const QString& startCheque = QString(),
                             const QString& bankName = QString());
    // Collects `amount` against one instalment; accepts up to 0.01 above what
    // is outstanding.
    Q_INVOKABLE bool payInstallment(int id, double amount);
    // One instalment added by hand; raises the buyer's balance by `amount`.
    Q_INVOKABLE int add(int buyerId, int unitId, double total, double down, double amount,
                        const QString& dueDate, int cid);
    Q_INVOKABLE QVariantList getByBuyer(int buyerId);
    // Unpaid instalments whose due date has passed, oldest first.
    Q_INVOKABLE QVariantList getOverdue();

signals:
    void dataChanged();

private:
    // The unit's own cost centre (lowest id), or a null value that binds as NULL.
    QVariant unitCostCenter(int unitId);
    bool exists(const QString& sql, int id);
    bool postReceipt(LedgerPosting& posting, int paymentId, const QString& date, double amount,
                     int currencyId, const QString& description);
    bool writeAudit(const QString& action, const QString& table, int recordId,
                    const QString& details);

    Database* m_db;
};
