#pragma once

#include "core/BackendObject.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

class Database;

// Currencies for the pickers, the primary currency, symbols, the latest table
// of exchange rates and recording a currency's rate on a day. Rates are kept
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

    // Records that one unit of `currencyId` is worth `rate` primary units
    // from `date` (yyyy-MM-dd) on. Earlier days keep their rates; a second
    // rate on the same day replaces the first. Journal lines of that
    // currency waiting for a rate on or after `date` are converted with it.
    Q_INVOKABLE bool recordRate(int currencyId, const QString& date, double rate);
    // The currency's rates towards the primary one, latest first (date,
    // rate), at most `limit`.
    Q_INVOKABLE QVariantList rateHistory(int currencyId, int limit = 12);
    // {date, rate} of the last rate on or before `date`; empty when none.
    Q_INVOKABLE QVariantMap rateOn(int currencyId, const QString& date);
    // Currencies used by entries or active contracts that cannot be
    // converted for all of them: {id, code, name_ar, first_date, text}, where
    // first_date is the earliest day without a rate.
    Q_INVOKABLE QVariantList missingRates();

signals:
    void dataChanged();

private:
    Database* m_db;
};
