#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// The register of paper cheques received and issued. A cheque starts
// "pending" and later has its status changed (cashed or returned).
class ChequeModel : public BackendObject
{
    Q_OBJECT

public:
    explicit ChequeModel(Database* db, QObject* parent = nullptr);

    Q_INVOKABLE QVariantList getAll();
    // New cheque id, or -1 for a blank number, an amount or rate that is not
    // positive, a type other than "received"/"issued", a due date that is not
    // a real "yyyy-MM-dd", or a failed insert.
    Q_INVOKABLE int add(const QString& num, const QString& type, double amount, const QString& bank,
                        const QString& dueDate, const QString& payerPayee, int currId,
                        double exchangeRate, int buyerId = 0, int tenantId = 0);
    Q_INVOKABLE bool updateStatus(int id, const QString& status);
    Q_INVOKABLE QVariantList getByType(const QString& type);
    Q_INVOKABLE QVariantList getByStatus(const QString& status);
    // How many cheques have `status` and their amounts summed per currency,
    // worked out by SQL: {count, sums: [{currency_id, total}]}, currencies in
    // the order of their earliest due date (currency_id 0 where none is set).
    Q_INVOKABLE QVariantMap getStatusTotals(const QString& status);
    Q_INVOKABLE QVariantList getPending();
    // Pending cheques whose due date is still ahead.
    Q_INVOKABLE QVariantList getPostDated();

signals:
    void dataChanged();

private:
    // Posts the change of a cheque from status `from` to `to`; false (with
    // the reason kept) when the posting was refused.
    bool post(int id, const QVariantMap& cheque, const QString& from, const QString& to);

    Database* m_db;
};
