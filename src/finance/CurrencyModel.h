#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// Currencies for the pickers, the primary currency, symbols, the latest table
// of exchange rates and recording today's rate for a pair. Rates are kept
// per day: saving a pair again on the same day replaces that day's rate.
class CurrencyModel : public BackendObject
{
    Q_OBJECT

public:
    explicit CurrencyModel(Database* db, QObject* parent = nullptr);

    // The primary currency first.
    Q_INVOKABLE QVariantList getAll();
    // Empty when no currency is primary.
    Q_INVOKABLE QVariantMap getPrimary();
    // Empty when there is no such currency.
    Q_INVOKABLE QString getSymbol(int id);
    // The rates recorded on the most recent date present, whatever the pair.
    Q_INVOKABLE QVariantList getExchangeRates();
    // One unit of `fromId` is worth `rate` units of `toId`, as of today (local
    // date). False for a rate of 0 or less.
    Q_INVOKABLE bool setRate(int fromId, int toId, double rate);

signals:
    void dataChanged();

private:
    Database* m_db;
};
