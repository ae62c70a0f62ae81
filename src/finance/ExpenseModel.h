#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

class Database;

// Money spent on properties and units, and the register of contractors and
// suppliers. An expense is paid at once (from cash) or owed to its
// contractor; correcting or removing one posts the reversal of its entry.
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
    // Each property's id and name, newest first, for the page's filter:
    // without the occupancy and rent figures the property cards read.
    Q_INVOKABLE QVariantList propertyChoices();
    Q_INVOKABLE int addContractor(const QString& name, const QString& phone, const QString& trade);
    Q_INVOKABLE QVariantList getContractorExpenses(int contractorId);

    // `fields` keys as the table's columns: property_id, unit_id,
    // contractor_id, category, work_category, description, amount,
    // expense_date, currency_id, is_owed, reference.
    Q_INVOKABLE int addExpense(const QVariantMap& fields);
    Q_INVOKABLE bool updateExpense(int id, const QVariantMap& fields);
    Q_INVOKABLE bool removeExpense(int id);
    Q_INVOKABLE QVariantMap getExpense(int id);
    // The categories offered when typing an expense: the usual ones, then
    // those already used.
    Q_INVOKABLE QStringList categories();
    // Sums of the expenses matching the expenses list's filters (property_id,
    // unit_id, category, contractor_id, currency_id, date_from, date_to) and
    // search text, one row per currency: currency_id, total, count.
    Q_INVOKABLE QVariantList totalsByCurrency(const QVariantMap& filters,
                                              const QString& search = QString());

signals:
    void dataChanged();

private:
    QVariant costCenterFor(int propId, int unitId);
    // After a change of the owed bills of these contractors: refused when
    // one of them would be paid more than its bills; stored balances follow.
    bool settleContractors(int first, int second);

    Database* m_db;
};
