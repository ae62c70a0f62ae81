#include "core/Money.h"

#include <cmath>
#include <limits>

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
    return toMinor(amount, 2);
}

int Money::clampDecimals(int decimals)
{
    return decimals >= 0 && decimals <= 3 ? decimals : 2;
}

qint64 Money::toMinor(double amount, int decimals)
{
    if (std::isnan(amount))
        return 0;
    static constexpr double scales[] = {1.0, 10.0, 100.0, 1000.0};
    // 2^62 minor units is far beyond any sane amount and leaves room for sums.
    constexpr double bound = 4611686018427387904.0;
    const double cents = amount * scales[clampDecimals(decimals)];
    if (cents >= bound)
        return static_cast<qint64>(bound);
    if (cents <= -bound)
        return -static_cast<qint64>(bound);
    // A typed half (12.345 is stored as 12.344999…) is a few units in the
    // last place short of it after scaling; it is rounded up as the clerk
    // expects, not down by binary noise.
    return std::llround(cents + cents * 8 * std::numeric_limits<double>::epsilon());
}

double Money::roundToCents(double amount)
{
    return roundTo(amount, 2);
}

double Money::roundTo(double amount, int decimals)
{
    static constexpr double scales[] = {1.0, 10.0, 100.0, 1000.0};
    // + 0.0 turns a rounded -0 into 0.
    return static_cast<double>(toMinor(amount, decimals)) / scales[clampDecimals(decimals)] + 0.0;
}
