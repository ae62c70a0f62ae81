#pragma once

#include <QString>

// Who may do what: one table of role against action, read by every write
// that needs more than a clerk's rights. Clerks ("user") record the daily
// work; administrators also restore backups and change backup settings,
// rates, currencies, the company profile, users and the chart of accounts,
// export every table, void invoices and remove records that moved money.
namespace Permissions {

enum class Action
{
    DailyWork,
    RestoreBackup,
    BackupSettings,
    ExportAll,
    ExchangeRates,
    Currencies,
    CompanyProfile,
    ManageUsers,
    ManageAccounts,
    VoidInvoice,
    // Removing or correcting a record that moved money (an expense, say):
    // its reversal changes the books of a closed month.
    RemoveMoneyRecord,
};

bool allows(const QString& role, Action action);
// The action by the name the pages use ("restoreBackup", ...); unknown
// names are never allowed.
bool allows(const QString& role, const QString& actionName);

// The role of the signed-in user, kept by the sign-in controller; empty
// while nobody is signed in (start-up work and the daily backup).
void setCurrentRole(const QString& role);
QString currentRole();
// Whether the signed-in user may do `action`. With nobody signed in the
// program's own work goes ahead: no page is reachable before a sign-in.
bool allowed(Action action);
// The reason a refused action gives.
QString refusal();

} // namespace Permissions
