#include "finance/ExpenseRules.h"

#include "core/Database.h"
#include "core/LedgerPosting.h"
#include "core/MinorUnits.h"
#include "core/Money.h"
#include "core/Reasons.h"
#include "core/SqlValue.h"

namespace {

// Category, description, reference: what a person types, bounded so a
// pasted page cannot be stored as one.
constexpr int kTextLimit = 500;

int idOf(const QVariant& value)
{
    bool ok = false;
    const int id = value.toInt(&ok);
    return ok ? id : 0;
}

bool exists(Database* db, const QString& sql, int id)
{
    return !db->execQuery(sql, {id}).isEmpty();
}

} // namespace

ExpenseFields ExpenseFields::fromMap(const QVariantMap& map)
{
    ExpenseFields f;
    f.propertyId = idOf(map.value(QStringLiteral("property_id")));
    f.unitId = idOf(map.value(QStringLiteral("unit_id")));
    f.contractorId = idOf(map.value(QStringLiteral("contractor_id")));
    f.category = map.value(QStringLiteral("category")).toString().trimmed();
    f.workCategory = map.value(QStringLiteral("work_category")).toString().trimmed();
    f.description = map.value(QStringLiteral("description")).toString().trimmed();
    bool ok = false;
    const double amount = map.value(QStringLiteral("amount")).toDouble(&ok);
    f.amount = ok ? amount : -1;
    f.date = map.value(QStringLiteral("expense_date")).toString().trimmed();
    f.currencyId = idOf(map.value(QStringLiteral("currency_id")));
    f.owed = map.value(QStringLiteral("is_owed")).toBool();
    f.reference = map.value(QStringLiteral("reference")).toString().trimmed();
    return f;
}

namespace ExpenseRules {

QString check(Database* db, ExpenseFields& f)
{
    if (!Money::isPositive(f.amount))
        return Reasons::invalidAmount();
    if (f.category.isEmpty())
        return Reasons::requiredField(QStringLiteral("الفئة"));
    if (f.category.size() > kTextLimit)
        return Reasons::tooLong(QStringLiteral("الفئة"), kTextLimit);
    if (f.description.size() > kTextLimit)
        return Reasons::tooLong(QStringLiteral("الوصف"), kTextLimit);
    if (f.reference.size() > kTextLimit)
        return Reasons::tooLong(QStringLiteral("المرجع"), kTextLimit);
    if (f.workCategory.size() > kTextLimit)
        return Reasons::tooLong(QStringLiteral("بند العمل"), kTextLimit);
    if (!SqlValue::isIsoDate(f.date))
        return Reasons::invalidDate();
    if (f.currencyId <= 0 ||
        !exists(db, QStringLiteral("SELECT id FROM currencies WHERE id=?"), f.currencyId))
        return Reasons::unknownCurrency();
    // Kept in the currency's minor unit: cents, or mills for the dinar.
    f.amount = MinorUnits::roundFor(db, f.currencyId, f.amount);
    if (!Money::isPositive(f.amount))
        return Reasons::invalidAmount();
    if (f.propertyId > 0 &&
        !exists(db, QStringLiteral("SELECT id FROM properties WHERE id=?"), f.propertyId))
        return Reasons::missingReference();
    if (f.unitId > 0) {
        const QVariant owner =
            db->scalar(QStringLiteral("SELECT property_id FROM units WHERE id=?"), {f.unitId});
        if (!owner.isValid() || owner.isNull())
            return Reasons::missingReference();
        if (f.propertyId <= 0)
            f.propertyId = owner.toInt();
        else if (owner.toInt() != f.propertyId)
            return Reasons::unitOfOtherProperty();
    }
    if (f.contractorId > 0 &&
        !exists(db, QStringLiteral("SELECT id FROM contractors WHERE id=?"), f.contractorId))
        return Reasons::unknownContractor();
    if (f.owed && f.contractorId <= 0)
        return Reasons::owedNeedsContractor();
    return {};
}

QString accountOf(const QString& category)
{
    return category == QStringLiteral("صيانة") ? QStringLiteral("5100") : QStringLiteral("5200");
}

int post(Database* db, int id, const ExpenseFields& f, QString* reason)
{
    LedgerPosting posting(db);
    LedgerPosting::Entry entry;
    entry.date = f.date;
    entry.description = f.description.isEmpty() ? f.category : f.description;
    entry.referenceType = QStringLiteral("expense");
    entry.referenceId = id;
    entry.currencyId = f.currencyId;
    entry.reference = f.reference;
    entry.lines = {{accountOf(f.category), 0, f.amount, 0, {}},
                   {f.owed ? QStringLiteral("2100") : QStringLiteral("1100"), 0, 0, f.amount, {}}};
    const int entryId = posting.post(entry);
    if (entryId < 1 && reason)
        *reason = posting.reason();
    return entryId;
}

} // namespace ExpenseRules
