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
};
