#include "insight/InsightDates.h"

namespace {
const QString kIsoFormat = QStringLiteral("yyyy-MM-dd");
} // namespace

QDate InsightDates::today()
{
    return QDate::currentDate();
}

QString InsightDates::isoDay(int days)
{
    return iso(today().addDays(days));
}

QDate InsightDates::monthStart(int monthsBack)
{
    const QDate now = today();
    return QDate(now.year(), now.month(), 1).addMonths(-monthsBack);
}

QString InsightDates::iso(const QDate& date)
{
    return date.toString(kIsoFormat);
}

QString InsightDates::period(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM"));
}
