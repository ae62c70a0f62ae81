#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QVariantList>
#include <QVariantMap>

class Database;

// The figures of the home page: headline counts and sums, the latest
// payments and maintenance requests, contracts nearing their end, occupancy,
// collection and the monthly collections chart. Reads only; every figure is
// computed afresh on each call, with today taken from the local clock.
class DashboardController : public BackendObject
{
    Q_OBJECT

public:
    explicit DashboardController(Database* db, QObject* parent = nullptr);

    // monthlyRevenue is the money collected this month (collectedThisMonth
    // holds it with its per-currency breakdown); contractedMonthlyRent is
    // what active contracts bill a month. Both in the primary currency.
    Q_INVOKABLE QVariantMap getStats();
    Q_INVOKABLE QVariantList getRecentPayments(int limit = 5);
    Q_INVOKABLE QVariantList getRecentMaintenance(int limit = 3);
    Q_INVOKABLE QVariantList getExpiringContracts(int days = 30);
    Q_INVOKABLE double getOccupancyRate();
    Q_INVOKABLE double getCollectionRate();
    Q_INVOKABLE double getMonthlyRevenue();
    // Tenant and buyer payments of each of the last `months` months,
    // oldest first, months without payments included as 0; detail holds
    // the month's converted total with its per-currency amounts.
    Q_INVOKABLE QVariantList getMonthlyCollections(int months = 6);

private:
    int count(const QString& sql);

    Database* m_db;
};
