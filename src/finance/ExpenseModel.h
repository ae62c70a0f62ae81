#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>

class Database;

// Money spent on properties and units, and the register of contractors and
// suppliers with what is owed to each: every expense naming a contractor
// raises that contractor's balance by its amount.
class ExpenseModel : public BackendObject
{
    Q_OBJECT

public:
    explicit ExpenseModel(Database* db, QObject* parent = nullptr);

    Q_INVOKABLE QVariantList getAll();
    Q_INVOKABLE int add(int propId, int unitId, int contractorId, const QString& cat,
                        const QString& workCat, const QString& desc, double amount,
                        const QString& date, int currId);
    Q_INVOKABLE QVariantList getByProperty(int propId);
    Q_INVOKABLE double getTotal(int propId = -1);
    Q_INVOKABLE QVariantList getContractors();
    Q_INVOKABLE int addContractor(const QString& name, const QString& phone, const QString& trade);
    Q_INVOKABLE QVariantList getContractorExpenses(int contractorId);

signals:
    void dataChanged();

private:
    QVariant costCenterFor(int propId, int unitId);

    Database* m_db;
};
