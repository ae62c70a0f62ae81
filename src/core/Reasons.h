#pragma once

#include <QString>

// The Arabic sentences a page shows when the back end refuses or fails a
// write. Kept in one place so the same situation reads the same everywhere.
namespace Reasons {

// `text` (a date, number or Latin code) in a first-strong isolate, so an
// Arabic sentence around it does not reorder its parts.
QString isolated(const QString& text);

// A write the database did not take. `driverText` is the driver's message;
// a locked database and a full disk get their own words. Every variant ends
// by saying that nothing was saved.
QString database(const QString& driverText = QString());
// A delete the database refused: rows still naming the record get their own words.
QString removal(const QString& driverText);
QString databaseLocked();
QString diskFull();
// A write after a backup was restored and before the program was started again.
QString restartFirst();
// A write while the server of a shared office cannot be reached, and what
// the window says meanwhile.
QString serverUnreachable();
QString serverReconnecting();
// Every write but the password change waits while the default password is in use.
QString passwordChangeFirst();

QString invalidAmount();
QString invalidNumber();
QString invalidRate();
QString invalidDate();
QString invalidPeriod();
QString endBeforeStart();
QString blankName();
QString nameTooLong(int limit);
QString unitNotBuyers();
QString noTenantsToInvoice();
QString requiredField(const QString& field);
// A text longer than its column allows.
QString tooLong(const QString& field, int limit);
// A pasted cell, or a whole paste, past what an import takes.
QString cellTooLarge(int limit);
QString pasteTooLarge(int rowLimit, int megabytes);
QString unknownStatus();
QString unknownMethod();
QString unknownPriority();
QString unknownType();
QString notFound();
QString missingReference();

QString propertyInUse();
QString unitNotAvailable();
QString tenantHasContracts();
QString stillReferenced();
QString contractOverlap();
QString contractTerminated();
QString unitSold();
QString soldUnitStatus();
QString amountAboveBalance();
QString downPaymentAbovePrice();
QString invoiceVoid();
QString invoiceOtherTenant();
QString invoiceExists();
QString readingBelowPrevious();
QString readingsBilled();
QString requestCompleted();
QString completeThroughCost();
QString duplicateNumber();
QString tooManyInstallments(int limit);
QString unbalancedEntry();
QString tooFewLines();
// A posting names an account code the chart does not hold.
QString unknownAccount(const QString& code);
QString emptyEntry();
// A cheque action that its present status does not allow.
QString chequeNotPending();
QString chequeNotBounced();
QString chequeReplaced();
QString chequeNotLinked();
// An invoice paid by a cheque still waiting to clear is not voided.
QString invoiceHasPendingCheque();

// Money going out: expenses and what is owed to contractors.
QString unknownCurrency();
QString unitOfOtherProperty();
QString unknownContractor();
QString owedNeedsContractor();
// A payment above what the contractor is owed in its currency; `owed` is
// that balance as the page shows it.
QString paymentAboveOwed(const QString& owed);
QString contractorHasOpenBills();
// A correction or removal of a bill that would leave the contractor paid
// more than its bills.
QString billsBelowPayments();
QString expenseOfMaintenance();

// An amount in `code` dated `date` cannot be converted: no rate on or before that day.
QString noRate(const QString& code, const QString& date);

} // namespace Reasons
