#pragma once

#include <QtGlobal>

// Amounts are stored as doubles; sums and differences of them carry binary
// rounding noise (1234.56 - 66.67 is 1167.8899999999999). Comparisons that
// decide whether money is owed are made in whole cents instead.
//
// Every amount entering the back end is checked first: finite and below
// kLimit in size, so that cents always fit in 64 bits with room for sums.
class Money
{
public:
    static constexpr double kLimit = 1e12;

    // Finite and |amount| < kLimit.
    static bool isSane(double amount);
    // Sane and above zero: what a payment, a price or a rent must be.
    static bool isPositive(double amount);
    // Sane and not below zero: areas, optional prices, a cost of nothing.
    static bool isNonNegative(double amount);

    // Whole cents. Values that are not sane saturate (NaN gives 0) instead
    // of overflowing, so a comparison made on them cannot wrap around.
    static qint64 toCents(double amount);
    static double roundToCents(double amount);

    // The same in a currency's minor unit: `decimals` places (0 to 3; two
    // for most currencies, three for the Jordanian dinar).
    static qint64 toMinor(double amount, int decimals);
    static double roundTo(double amount, int decimals);
    // Decimals outside 0..3 are read as 2, so a damaged row cannot make an
    // amount lose its cents or overflow.
    static int clampDecimals(int decimals);
};
