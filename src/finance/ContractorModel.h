#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// What the office owes its contractors and pays them: balances per
// currency, payments in cash, by bank or by an issued cheque (which enters
// the cheque register), the statement of one contractor, and removing a
// contractor that was never billed or paid.
class ContractorModel : public BackendObject
{
    Q_OBJECT

public:
    explicit ContractorModel(Database* db, QObject* parent = nullptr);

    // Every contractor with `balances`: its balance rows per currency.
    Q_INVOKABLE QVariantList getAll();
    Q_INVOKABLE QVariantList getBalances(int contractorId);
    // `cheque` (method "cheque" only): cheque_number, bank_name, due_date
    // (the payment date when blank). The new payment's id, or -1.
    Q_INVOKABLE int pay(int contractorId, double amount, int currencyId, const QString& date,
                        const QString& method, const QString& reference, const QString& notes,
                        const QVariantMap& cheque = QVariantMap());
    Q_INVOKABLE QVariantList getPayments(int contractorId);
    // Bills owed and payments, oldest first, each with the running balance
    // of its currency: date, kind ("bill" / "payment" / "returned", a
    // payment's cheque the bank returned), description,
    // reference, currency_id, amount, balance.
    Q_INVOKABLE QVariantList getStatement(int contractorId);
    Q_INVOKABLE bool removeContractor(int id);

signals:
    void dataChanged();

private:
    int insertCheque(int contractorId, int paymentId, double amount, int currencyId,
                     const QString& date, const QVariantMap& cheque);

    Database* m_db;
};
