#include "rental/RentSchedule.h"

#include <QtGlobal>

int RentSchedule::monthsPerCycle(const QString& frequency)
{
    const QString key = frequency.trimmed().toLower();
    if (key.isEmpty() || key == QLatin1String("monthly"))
        return 1;
    if (key == QLatin1String("quarterly"))
        return 3;
    if (key == QLatin1String("semi-annual") || key == QLatin1String("semi_annual") ||
        key == QLatin1String("semiannual"))
        return 6;
    if (key == QLatin1String("yearly") || key == QLatin1String("annual"))
        return 12;
    return 0;
}

QString RentSchedule::label(const QString& frequency)
{
    switch (monthsPerCycle(frequency)) {
    case 1:
        return QStringLiteral("شهري");
    case 3:
        return QStringLiteral("ربع سنوي");
    case 6:
        return QStringLiteral("نصف سنوي");
    case 12:
        return QStringLiteral("سنوي");
    default:
        return QStringLiteral("دورية غير معروفة - تُفوتر شهرياً");
    }
}

int RentSchedule::monthIndex(const QString& text)
{
    if (text.size() < 7 || text.at(4) != QLatin1Char('-'))
        return -1;
    bool yearOk = false;
    bool monthOk = false;
    const int year = text.left(4).toInt(&yearOk);
    const int month = text.mid(5, 2).toInt(&monthOk);
    if (!yearOk || !monthOk || month < 1 || month > 12)
        return -1;
    return year * 12 + month - 1;
}

int RentSchedule::monthsBilled(const QString& frequency, const QString& startDate,
                               const QString& endDate, const QString& period)
{
    const int current = monthIndex(period);
    const int first = monthIndex(startDate);
    const int last = monthIndex(endDate);
    if (current < 0 || first < 0 || last < 0 || current < first || current > last)
        return 0;
    const int cycle = qMax(1, monthsPerCycle(frequency));
    if ((current - first) % cycle != 0)
        return 0;
    return qMin(cycle, last - current + 1);
}

QString RentSchedule::rentDescription(int months)
{
    switch (months) {
    case 1:
        return QStringLiteral("إيجار شهري");
    case 3:
        return QStringLiteral("إيجار ربع سنوي");
    case 6:
        return QStringLiteral("إيجار نصف سنوي");
    case 12:
        return QStringLiteral("إيجار سنوي");
    default:
        return QStringLiteral("إيجار %1 أشهر").arg(months);
    }
}
