#include "core/Money.h"

#include <cmath>

bool Money::isSane(double amount)
{
    return std::isfinite(amount) && std::fabs(amount) < kLimit;
}

bool Money::isPositive(double amount)
{
    return isSane(amount) && amount > 0;
}

bool Money::isNonNegative(double amount)
{
    return isSane(amount) && amount >= 0;
}

qint64 Money::toCents(double amount)
{
    if (std::isnan(amount))
        return 0;
    // 2^62 cents is far beyond any sane amount and leaves room for sums.
    constexpr double bound = 4611686018427387904.0;
    const double cents = amount * 100.0;
    if (cents >= bound)
        return static_cast<qint64>(bound);
    if (cents <= -bound)
        return -static_cast<qint64>(bound);
    return std::llround(cents);
}

double Money::roundToCents(double amount)
{
    return static_cast<double>(toCents(amount)) / 100.0;
}
