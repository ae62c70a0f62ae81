#include "core/Permissions.h"

#include <QHash>

namespace Permissions {

namespace {

QString g_role;

const QHash<QString, Action>& actionNames()
{
    static const QHash<QString, Action> names = {
        {QStringLiteral("dailyWork"), Action::DailyWork},
        {QStringLiteral("restoreBackup"), Action::RestoreBackup},
        {QStringLiteral("backupSettings"), Action::BackupSettings},
        {QStringLiteral("exportAll"), Action::ExportAll},
        {QStringLiteral("exchangeRates"), Action::ExchangeRates},
        {QStringLiteral("currencies"), Action::Currencies},
        {QStringLiteral("companyProfile"), Action::CompanyProfile},
        {QStringLiteral("manageUsers"), Action::ManageUsers},
        {QStringLiteral("manageAccounts"), Action::ManageAccounts},
        {QStringLiteral("voidInvoice"), Action::VoidInvoice},
        {QStringLiteral("removeMoneyRecord"), Action::RemoveMoneyRecord},
    };
    return names;
}

} // namespace

bool allows(const QString& role, Action action)
{
    if (role == QLatin1String("admin"))
        return true;
    if (role == QLatin1String("user"))
        return action == Action::DailyWork;
    return false;
}

bool allows(const QString& role, const QString& actionName)
{
    const auto it = actionNames().constFind(actionName);
    return it != actionNames().cend() && allows(role, it.value());
}

void setCurrentRole(const QString& role)
{
    g_role = role;
}

QString currentRole()
{
    return g_role;
}

bool allowed(Action action)
{
    return g_role.isEmpty() || allows(g_role, action);
}

QString refusal()
{
    return QStringLiteral("هذه العملية من صلاحية مدير النظام فقط");
}

} // namespace Permissions
