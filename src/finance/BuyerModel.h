#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>

class Database;

// The register of buyers: people who buy units against a down payment and
// instalments. A buyer's balance is kept by InstallmentModel; here it is
// only shown.
class BuyerModel : public BackendObject
{
    Q_OBJECT

public:
    explicit BuyerModel(Database* db, QObject* parent = nullptr);

    // Every buyer by name, with the number of their instalments.
    Q_INVOKABLE QVariantList getAll();
    // What the buyer still owes in instalments, per currency:
    // [{currency_id, total}].
    Q_INVOKABLE QVariantList balances(int id);
    Q_INVOKABLE int add(const QString& name, const QString& idNum, const QString& phone,
                        const QString& email, const QString& addr);
    Q_INVOKABLE bool update(int id, const QString& name, const QString& idNum, const QString& phone,
                            const QString& email, const QString& addr);
    // The buyer's instalments with unit number and property name, by due date.
    Q_INVOKABLE QVariantList getStatement(int id);

signals:
    void dataChanged();

private:
    Database* m_db;
};
