#include "rental/InvoiceBatch.h"

#include "core/Database.h"
#include "core/TransactionGuard.h"
#include "rental/InvoiceNumbers.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>

namespace {

// The batch reaches SQLite as one JSON array bound to one parameter, read
// row by row with json_each. Numbers are written in their shortest exact
// form, so every amount arrives as the same double.
QString json(const QJsonArray& rows)
{
    return QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact));
}

QJsonArray row(const QVariantList& values)
{
    QJsonArray array;
    for (const QVariant& value : values)
        array.append(QJsonValue::fromVariant(value));
    return array;
}

bool run(Database* db, const QString& sql, const QString& rows)
{
    QSqlQuery query(db->connection());
    if (!query.prepare(sql))
        return false;
    query.addBindValue(rows);
    return query.exec();
}

// Element i of the row array `value` (json_each's column).
QString field(int i)
{
    return QStringLiteral("json_extract(value,'$[%1]')").arg(i);
}

} // namespace

bool InvoiceBatch::write(Database* db, const QList<InvoiceDraft>& drafts)
{
    if (drafts.isEmpty())
        return true;
    if (db->transactionDepth() < 1)
        return false;
    // Numbers are handed out in the drafts' order.
    InvoiceNumbers numbers(db);
    QJsonArray invoices;
    QJsonArray items;
    // A tenant's balance takes each of its invoices in turn, as writing them
    // one by one would add them: pass n adds every tenant's n-th invoice.
    QList<QJsonArray> balances;
    QHash<int, int> invoicesOfTenant;
    for (const InvoiceDraft& draft : drafts) {
        const QString number = numbers.next();
        numbers.confirm();
        invoices.append(row({number, draft.tenantId, draft.unitId, draft.contractId, draft.period,
                             draft.total, draft.currencyId, draft.dueDate()}));
        for (const QVariantList& line : draft.lines)
            items.append(row(QVariantList{number} + line));
        const int pass = invoicesOfTenant[draft.tenantId]++;
        if (pass == balances.size())
            balances.append(QJsonArray());
        balances[pass].append(row({draft.tenantId, draft.total}));
    }

    TransactionGuard batch(db);
    bool ok = batch.isActive() &&
              run(db,
                  QStringLiteral("INSERT INTO invoices (invoice_number,tenant_id,unit_id,"
                                 "contract_id,period,total_amount,balance,status,currency_id,"
                                 "due_date) SELECT %1, %2, %3, %4, %5, %6, %6, 'pending', %7, %8 "
                                 "FROM json_each(?) ORDER BY key")
                      .arg(field(0), field(1), field(2), field(3), field(4), field(5), field(6),
                           field(7)),
                  json(invoices)) &&
              run(db,
                  QStringLiteral("INSERT INTO invoice_items (invoice_id,description,type,quantity,"
                                 "unit_price,total) SELECT i.id, %1, %2, %3, %4, %5 FROM "
                                 "json_each(?) j CROSS JOIN invoices i ON i.invoice_number=%6 "
                                 "ORDER BY j.key")
                      .arg(field(1), field(2), field(3), field(4), field(5), field(0)),
                  json(items));
    for (const QJsonArray& pass : balances) {
        ok = ok && run(db,
                       QStringLiteral("UPDATE tenants SET balance=balance+b.amount FROM (SELECT "
                                      "%1 AS tenant_id, %2 AS amount FROM json_each(?)) b WHERE "
                                      "tenants.id=b.tenant_id")
                           .arg(field(0), field(1)),
                       json(pass));
    }
    return ok && batch.commit();
}
