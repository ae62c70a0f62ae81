#pragma once

#include <QDate>
#include <QSqlDatabase>
#include <QString>

#include <cstdint>

// Fills a freshly initialised database with an office's years of work:
// properties and units with their cost centres, tenants and back-to-back
// contracts, a rent invoice per contract month with metered lines, payments,
// maintenance, expenses, unit sales with instalments, cheques, journal
// entries and the audit trail. The same sizes and seed always give the same
// rows. Balances (tenants, buyers, accounts) match the rows written.
class OfficeGenerator
{
public:
    struct Sizes
    {
        int years = 10;
        int properties = 200;
        int units = 5000;
        int tenants = 4000;
        int activeContracts = 4000; // one unit and one tenant each
        int contractsPerUnit = 3;   // over the years, on a rented unit
        int usageLinesPerInvoice = 1;
        int maintenance = 20000;
        int expenses = 50000;
        int contractors = 60;
        int sales = 500;
        int installmentsPerSale = 24;
        int cheques = 20000;
        int journalEntries = 20000;
        int auditRows = 100000;
    };

    static Sizes largeOffice();
    static Sizes smallOffice();

    OfficeGenerator(QSqlDatabase db, Sizes sizes, quint64 seed, QDate today);

    // Writes everything in one transaction; false (with nothing kept) when a
    // statement fails. error() then names it.
    bool run();
    QString error() const { return m_error; }

private:
    struct Impl;
    QSqlDatabase m_db;
    Sizes m_sizes;
    quint64 m_seed;
    QDate m_today;
    QString m_error;
};
