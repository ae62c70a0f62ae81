#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

class Database;

// One expense as a clerk types it, the checks it must pass before it is
// written, and the journal entry it posts.
struct ExpenseFields
{
    int propertyId = 0;
    int unitId = 0;
    int contractorId = 0;
    QString category;
    QString workCategory;
    QString description;
    double amount = 0;
    QString date;
    int currencyId = 0;
    // Owed to the contractor (account 2100) instead of paid from cash.
    bool owed = false;
    QString reference;

    // Keys as the expenses table names its columns; `amount` and the ids
    // may come as numbers or as text.
    static ExpenseFields fromMap(const QVariantMap& map);
};

namespace ExpenseRules {

// Why the expense cannot be written (an Arabic reason), or an empty text.
// Reads the database: the currency, property, unit and contractor must
// exist and the unit must belong to the property. An expense for a unit
// without a property takes the unit's property.
QString check(Database* db, ExpenseFields& fields);
// Posts the entry of expense `id`: maintenance or operating costs against
// cash, or against payables when owed. -1 with `reason` set on failure.
int post(Database* db, int id, const ExpenseFields& fields, QString* reason);
// The expense account of a category: "صيانة" is maintenance (5100).
QString accountOf(const QString& category);

} // namespace ExpenseRules
