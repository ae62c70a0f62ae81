#pragma once

#include "insight/Paper.h"

#include <QString>

class Database;
class DateRange;

// The printed form of each tab of the reports page, designed from what the
// tab shows: Arabic headings, the columns a reader needs, every amount with
// its own currency's symbol, totals per currency, and landscape pages where
// the table is wide.
class ReportPrints
{
public:
    enum Tab
    {
        Analysis = 0,
        Financial,
        Projects,
        Units,
        Overdue,
        Cheques,
        TabCount
    };

    explicit ReportPrints(Database* db);

    // The tab's title as its label reads; empty for an unknown tab.
    static QString title(int tab);
    // The paper of `tab` over `range` (the tabs without dates ignore it).
    Paper paper(int tab, const DateRange& range) const;

private:
    Paper analysis() const;
    Paper financial(const DateRange& range) const;
    Paper projects(const DateRange& range) const;
    Paper units() const;
    Paper overdue() const;
    Paper cheques(const DateRange& range) const;

    Database* m_db;
};
