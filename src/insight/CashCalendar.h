#pragma once

#include "core/BackendObject.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QVector>

#include <functional>

class Database;

// What is due in and out over the coming days, per currency and day by day:
// in, what tenants and buyers owe (open invoices and instalments) and the
// received cheques waiting to be cashed; out, the cheques the office has
// written and what it owes its contractors. What fell due earlier and is
// still open is shown apart, as overdue. Amounts of different currencies are
// never added together.
class CashCalendar : public BackendObject
{
    Q_OBJECT

public:
    using RowHandler = std::function<void(QVector<QVariant>&)>;
    // One kind of money due. `sql` gives the columns cur (currency id, NULL
    // for the primary currency), day ("yyyy-MM-dd") and amount for the days
    // between its two bound bounds; a kind that SQL alone cannot give
    // quickly gives the same rows through `read` instead. A new kind is one
    // more entry in sources().
    struct Source
    {
        QString direction; // "in" or "out"
        QString kind;
        QString label; // Arabic
        QString sql;
        std::function<bool(Database*, const QVariantList& bounds, const RowHandler&)> read;
    };
    static const QList<Source>& sources();

    explicit CashCalendar(Database* db, QObject* parent = nullptr);

    // The next `days` days starting today (1 to 366).
    Q_INVOKABLE QVariantMap upcoming(int days);
    // From `from` to `to`, both "yyyy-MM-dd" and included: {from, to,
    // currencies: [{currency_id, code, symbol, in, out, net, days: [{date,
    // in, out, net, lines: [{kind, label, direction, amount}]}], overdue:
    // {in, out, net, lines}}]}, the currencies by id and the days in order;
    // a day without money is left out. `overdue` holds what fell due before
    // `from` and is still open; in, out and net cover the days only. Empty
    // with a reason when the dates are not real.
    Q_INVOKABLE QVariantMap between(const QString& from, const QString& to);

private:
    Database* m_db;
};
