#pragma once

#include "core/Database.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <ctime>

// Rows written straight into the tables for the insight tests, with dates
// counted from the local today, and a time zone that puts the local date on
// another day than UTC's.
namespace InsightRows {

// Runs the test in a time zone 13 hours away from UTC, on the side that
// makes the local date differ from the UTC date at this hour, so a query
// that takes today from SQLite's UTC clock names the wrong day.
inline bool useLocalDayApartFromUtc()
{
    const int utcHour = QDateTime::currentDateTimeUtc().time().hour();
    // POSIX zones count west of UTC as positive: "-13" is 13 hours ahead.
    qputenv("TZ", utcHour >= 11 ? "LOC-13" : "LOC+13");
    tzset();
    return QDate::currentDate() != QDateTime::currentDateTimeUtc().date();
}

inline QString day(int offset = 0)
{
    return QDate::currentDate().addDays(offset).toString(QStringLiteral("yyyy-MM-dd"));
}

// A day in the month `monthsBack` months ago (the 1st, 10th or 20th).
inline QString dayOfMonth(int monthsBack, int dayNumber = 10)
{
    const QDate today = QDate::currentDate();
    return QDate(today.year(), today.month(), dayNumber)
        .addMonths(-monthsBack)
        .toString(QStringLiteral("yyyy-MM-dd"));
}

inline QString period(int monthsBack = 0)
{
    return QDate::currentDate().addMonths(-monthsBack).toString(QStringLiteral("yyyy-MM"));
}

inline int property(Database* db, const QString& name)
{
    return db->execInsert(QStringLiteral("INSERT INTO properties (name) VALUES (?)"), {name});
}

inline int unit(Database* db, int propertyId, const QString& number,
                const QString& status = QStringLiteral("available"), double salePrice = 0,
                const QVariant& area = QVariant())
{
    return db->execInsert(QStringLiteral("INSERT INTO units (property_id, unit_number, status, "
                                         "sale_price, area, currency_id) VALUES (?,?,?,?,?,1)"),
                          {propertyId, number, status, salePrice, area});
}

inline int tenant(Database* db, const QString& name)
{
    return db->execInsert(QStringLiteral("INSERT INTO tenants (full_name) VALUES (?)"), {name});
}

inline int buyer(Database* db, const QString& name)
{
    return db->execInsert(QStringLiteral("INSERT INTO buyers (full_name) VALUES (?)"), {name});
}

inline int contract(Database* db, int unitId, int tenantId, const QString& endDate,
                    const QString& status = QStringLiteral("active"))
{
    return db->execInsert(
        QStringLiteral("INSERT INTO contracts (unit_id, tenant_id, start_date, end_date, "
                       "rent_amount, status, currency_id) VALUES (?,?,?,?,1000,?,1)"),
        {unitId, tenantId, QStringLiteral("2020-01-01"), endDate, status});
}

inline int payment(Database* db, double amount, const QString& date, int currencyId = 1,
                   const QVariant& tenantId = QVariant(), const QVariant& buyerId = QVariant(),
                   const QVariant& unitId = QVariant(), const QVariant& invoiceId = QVariant(),
                   const QVariant& notes = QVariant())
{
    return db->execInsert(QStringLiteral("INSERT INTO payments (amount, payment_date, "
                                         "currency_id, tenant_id, buyer_id, unit_id, invoice_id, "
                                         "notes) VALUES (?,?,?,?,?,?,?,?)"),
                          {amount, date, currencyId, tenantId, buyerId, unitId, invoiceId, notes});
}

inline int invoice(Database* db, const QString& number, int tenantId, const QVariant& unitId,
                   const QString& period, double total, double paid,
                   const QString& status = QStringLiteral("pending"),
                   const QString& dueDate = QString())
{
    return db->execInsert(
        QStringLiteral("INSERT INTO invoices (invoice_number, tenant_id, unit_id, period, "
                       "total_amount, paid_amount, balance, status, currency_id, due_date) VALUES "
                       "(?,?,?,?,?,?,?,?,1,?)"),
        {number, tenantId, unitId, period, total, paid, total - paid, status,
         dueDate.isEmpty() ? period + QStringLiteral("-28") : dueDate});
}

inline int installment(Database* db, int buyerId, int unitId, double amount, const QString& due,
                       double paid = 0, const QString& status = QStringLiteral("pending"))
{
    return db->execInsert(
        QStringLiteral("INSERT INTO installments (buyer_id, unit_id, total_price, "
                       "installment_amount, due_date, paid_amount, status, currency_id) VALUES "
                       "(?,?,0,?,?,?,?,1)"),
        {buyerId, unitId, amount, due, paid, status});
}

inline int cheque(Database* db, const QString& number, double amount, const QString& due,
                  const QString& status = QStringLiteral("pending"))
{
    return db->execInsert(QStringLiteral("INSERT INTO cheques (cheque_number, amount, due_date, "
                                         "status, currency_id) VALUES (?,?,?,?,1)"),
                          {number, amount, due, status});
}

inline int expense(Database* db, int propertyId, const QVariant& unitId, double amount,
                   const QString& date, int currencyId = 1)
{
    return db->execInsert(QStringLiteral("INSERT INTO expenses (property_id, unit_id, category, "
                                         "amount, expense_date, currency_id) VALUES "
                                         "(?,?,'صيانة',?,?,?)"),
                          {propertyId, unitId, amount, date, currencyId});
}

} // namespace InsightRows
