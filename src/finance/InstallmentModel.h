#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <optional>

class Database;
class LedgerPosting;
class MinorUnits;

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
    // Collects `amount` by a cheque due on `dueDate`: the instalment is
    // settled at once, the money sits in cheques under collection and the
    // cheque joins the register, pending. The payment's id, or -1.
    Q_INVOKABLE int payByCheque(int id, double amount, const QString& chequeNumber,
                                const QString& bank, const QString& dueDate);
    // Settles again the instalment the bounced cheque `chequeId` had paid:
    // by cash ("cash") or by a new cheque ("cheque" with its number, bank
    // and due date). The new payment's id, or -1.
    Q_INVOKABLE int replaceBounced(int chequeId, const QString& method, const QString& chequeNumber,
                                   const QString& bank, const QString& dueDate);
    // Files written before sale cheques joined the register: every
    // instalment that carries a cheque number gains its register row, once.
    // An instalment still open is collected by that cheque; one already
    // paid gets a cashed row. The number of rows written, or -1.
    int registerListedCheques();
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
    struct Collection
    {
        QString method = QStringLiteral("cash");
        QString date; // empty: today, by the database clock
        QString chequeNumber;
        QString bank;
        QString dueDate;
        bool audit = true;
        // What a sale's cheques share, known once for all of them: the
        // posting service with its accounts, the currencies' decimals and
        // the unit's cost centre (read per collection when not given).
        LedgerPosting* posting = nullptr;
        const MinorUnits* minorUnits = nullptr;
        std::optional<QVariant> costCenter;
    };
    // The payment id, or -1 with the reason kept; inside the caller's
    // transaction when there is one.
    int collect(int id, double amount, const Collection& how);
    bool postReceipt(LedgerPosting& posting, int paymentId, const QString& date, double amount,
                     int currencyId, const QString& description,
                     const QString& account = QStringLiteral("1100"));
    bool writeAudit(const QString& action, const QString& table, int recordId,
                    const QString& details);

    Database* m_db;
};
