#pragma once

#include <QHash>
#include <QString>
#include <QVector>

class Database;

// Exchange rates by date towards the primary currency. The rate of a
// currency on a day is the last one recorded on or before that day; a day
// before its first rate has none, and an amount on it is not converted
// (never a silent 1.0). The primary currency converts at 1.
//
// A rate is read from the rows "one unit of X is worth r primary" and, when a
// day has no such row, from "one primary is worth r X" as 1/r. Rows marked
// as placeholders (the 1.0 older versions wrote for every currency) are no
// rate. The rates are read once, when the object is made (or, asked so, at
// the first rate of a currency other than the primary: a posting in the
// primary currency then reads none): make one per computation so a rate
// recorded meanwhile is seen.
class CurrencyRates
{
public:
    enum class Read
    {
        Now,
        // At the first rate asked for. Not for rates asked while the
        // database streams rows to a callback: the read would wait on it.
        WhenAsked
    };
    explicit CurrencyRates(Database* db, Read rates = Read::Now);

    int primaryId() const { return m_primaryId; }
    // "USD"; empty for an unknown currency.
    QString code(int currencyId) const { return m_codes.value(currencyId); }
    bool isPrimary(int currencyId) const;
    // The decimals the currency's money is kept in (currencies.decimals);
    // an unknown currency is taken as the primary.
    int decimals(int currencyId) const;

    // The rate of `currencyId` on `date` (yyyy-MM-dd), or 0 when it has none.
    double rateOn(int currencyId, const QString& date) const;
    // `amount` in the primary currency, unrounded. False with reason() set
    // when the currency has no rate on that day.
    bool toPrimary(double amount, int currencyId, const QString& date, double* out);
    QString reason() const { return m_reason; }

    // Fills the primary amounts of journal lines written without one (the
    // bulk postings of past events, or a day that had no rate yet) wherever
    // a rate now covers their entry's date. Lines already converted keep
    // their amount. False when the write failed.
    static bool fillJournal(Database* db);
    static const QString& fillJournalSql();

private:
    struct Dated
    {
        QString date;
        double rate = 0;
    };

    Database* m_db;
    int m_primaryId = 0;
    QHash<int, QString> m_codes;
    QHash<int, int> m_decimals;
    void readRates() const;

    // Ascending by date, one rate per day: "X is worth r primary", and
    // 1/r of "one primary is worth r X".
    mutable bool m_ratesRead = false;
    mutable QHash<int, QVector<Dated>> m_rates;
    mutable QHash<int, QVector<Dated>> m_inverse;
    QString m_reason;
};
