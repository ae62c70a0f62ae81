#pragma once

#include <QString>

class Database;

// Hands out invoice numbers for the month of issue: "INV-" + "yyyyMM" + "-" +
// a sequence of at least four digits, one above the month's highest. The
// highest sequence is read once per month of issue and then counted on in
// memory, so a run that issues thousands of invoices does not re-read the
// month's invoices for each one. A number is used up only by confirm(): when
// its invoice is rolled back, next() hands the same number out again.
class InvoiceNumbers
{
public:
    explicit InvoiceNumbers(Database* db);

    QString next();
    void confirm();

    static QString format(const QString& prefix, qint64 sequence);

private:
    Database* m_db;
    QString m_prefix;
    qint64 m_next = 0;
    bool m_known = false; // m_next has been read for m_prefix
};
