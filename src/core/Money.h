#pragma once

#include <QtGlobal>

// Amounts are stored as doubles; sums and differences of them carry binary
// rounding noise (1234.56 - 66.67 is 1167.8899999999999). Comparisons that
// decide whether money is owed are made in whole cents instead.
class Money
{
public:
    static qint64 toCents(double amount);
    static double roundToCents(double amount);
};
