#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QVariantList>

class Database;

// The dashboard's alerts: installments due today or yesterday, installments
// overdue by more than a day, tenant invoices still open after their due
// day, pending cheques due within a week and active contracts ending within
// thirty days. Alerts about money owed carry amount, currency_id and
// due_date, so their total can be checked against the overdue figure. Nothing is stored; every call
// recomputes from the tables with the local clock's dates.
class NotificationController : public BackendObject
{
    Q_OBJECT

public:
    explicit NotificationController(Database* db, QObject* parent = nullptr);

    // Every alert, or at most `perKind` of each kind (the first ones in each
    // kind's order): a large office has tens of thousands of overdue
    // invoices, and a page shows a screenful while getAlertCount tells all.
    Q_INVOKABLE QVariantList getActiveAlerts(int perKind = -1);
    Q_INVOKABLE int getAlertCount();
    // Alerts keep no read state: an alert stays while its condition holds.
    Q_INVOKABLE void markAsRead(int alertId);

private:
    Database* m_db;
};
