#pragma once

#include <QString>

// When a contract's rent falls due. A contract is billed on the first period
// of each cycle of its payment frequency, counted from the month it starts,
// for the rent of the months of that cycle that lie within the contract.
// The contract's rent amount is the rent of one month.
class RentSchedule
{
public:
    // Months in one cycle of the frequency as stored on the contract; 0 when
    // the text names no known frequency (such a contract is billed monthly).
    // An empty frequency is the column's default, monthly.
    static int monthsPerCycle(const QString& frequency);
    // How the contracts page names the frequency; an unknown one says that it
    // is billed monthly.
    static QString label(const QString& frequency);

    // Months billed for `period` ("yyyy-MM") on a contract running from
    // `startDate` to `endDate` (inclusive "yyyy-MM-dd"): 0 when the period
    // lies outside the contract or is not the first of a cycle, else the
    // months of the cycle up to the contract's last month.
    static int monthsBilled(const QString& frequency, const QString& startDate,
                            const QString& endDate, const QString& period);

    // The rent line's description for a cycle of `months` months.
    static QString rentDescription(int months);

private:
    // Month index (year * 12 + month - 1) of the "yyyy-MM" text at the start
    // of `text`, or -1 when it is not one.
    static int monthIndex(const QString& text);
};
