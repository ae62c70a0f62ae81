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
    QVariantList chequeReport(const QString& status, const DateRange& range);
    QVariantList overdueInstallments();
    QVariantList monthlyReport(const QString& year);

    // FROM ... WHERE of the overdue installments, with today as its one
    // parameter; the generated analysis counts the same rows.
    static const QString& overdueInstallmentsFrom();

private:
    Database* m_db;
};
