#include "core/Money.h"

#include <cmath>

qint64 Money::toCents(double amount)
{
    return std::llround(amount * 100.0);
}

double Money::roundToCents(double amount)
{
    return static_cast<double>(toCents(amount)) / 100.0;
}
