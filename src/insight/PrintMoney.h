#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

class Database;

// The currencies as the printed papers show them: each amount with its own
// currency's symbol, a row that names no known currency in the primary one
// (as on screen), and sums kept apart per currency.
class PrintMoney
{
public:
    explicit PrintMoney(Database* db);

    // The currency an amount stored with `currencyId` is shown in.
    int shownId(const QVariant& currencyId) const;
    QString symbol(const QVariant& currencyId) const;
    // The currency's Arabic name ("شيكل"), for amounts written in words.
    QString name(const QVariant& currencyId) const;
    // Two for most currencies, three for the dinar.
    int decimals(const QVariant& currencyId) const;
    int primaryId() const { return m_primary; }
    // An isolated, unbreakable amount with its symbol (PrintHtml::money).
    QString format(double amount, const QVariant& currencyId) const;

    // A total converted to the primary currency (ConvertedTotal::toMap():
    // total, byCurrency, missing), with each currency's own amount beside it
    // when more than the primary one went in, and the rates it waits for.
    QString converted(const QVariantMap& total) const;

    // Sums of one column, one per currency, in the order the currencies
    // first appear.
    class Sums
    {
    public:
        void add(int currencyId, double amount);
        bool isEmpty() const { return m_order.isEmpty(); }
        // "1,200.00 ₪ + 300.00 $", or a zero in the primary currency.
        QString format(const PrintMoney& money) const;

    private:
        QList<int> m_order;
        QHash<int, double> m_sums;
    };

private:
    struct Currency
    {
        QString symbol;
        QString name;
        int decimals = 2;
    };
    QHash<int, Currency> m_currencies;
    int m_primary = 0;
};
