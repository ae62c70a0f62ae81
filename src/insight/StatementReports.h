#pragma once

#include <QString>
#include <QVariantList>

class Database;
class DateRange;

// The list reports: tenant, buyer and contractor statements, the cheque
// report, overdue installments and payments by month. Ranges arrive checked.
class StatementReports
{
public:
    explicit StatementReports(Database* db);

    QVariantList tenantStatement(int tenantId, const DateRange& range);
    QVariantList buyerStatement(int buyerId, const DateRange& range);
    QVariantList contractorStatement(int contractorId, const DateRange& range);
    // Due date first; only the first `limit` rows when it is not negative.
    QVariantList chequeReport(const QString& status, const DateRange& range, int limit = -1);
    // What the cheque report's rows add up to: [{kind ("received" or
    // "issued"), currency_id (as stored), count, total, first_day}], in the
    // order the rows first show each kind and currency.
    QVariantList chequeTotals(const QString& status, const DateRange& range);
    QVariantList overdueInstallments();
    QVariantList monthlyReport(const QString& year);

    // FROM ... WHERE of the overdue installments, with today as its one
    // parameter; the generated analysis counts the same rows.
    static const QString& overdueInstallmentsFrom();

private:
    // " WHERE ..." of the cheques (alias c) the report lists.
    static QString chequeConditions(const QString& status, const DateRange& range,
                                    QVariantList& params);

    Database* m_db;
};
