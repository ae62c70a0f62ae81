#pragma once

#include <QDate>
#include <QString>

// The one notion of "today" for every figure, alert and report. Stored dates
// are local calendar dates, so the reference day comes from the local clock
// and is bound into the queries; SQLite's date('now') is UTC and would name
// yesterday or tomorrow for part of the day.
class InsightDates
{
public:
    static QDate today();
    // today() plus `days` (negative for the past), as "yyyy-MM-dd".
    static QString isoDay(int days = 0);
    // The first day of the month `monthsBack` months before the current one.
    static QDate monthStart(int monthsBack = 0);
    static QString iso(const QDate& date);
    // "yyyy-MM", the form of invoice periods.
    static QString period(const QDate& date);
};
