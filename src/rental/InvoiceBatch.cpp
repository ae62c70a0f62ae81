#include "rental/InvoiceBatch.h"

#include "core/Database.h"
#include "core/TransactionGuard.h"
#include "rental/InvoiceNumbers.h"

#include <QHash>
#include <QLocale>
#include <QSqlQuery>

#include <cmath>

namespace {

// The batch reaches the database as one JSON array of rows bound to one
// parameter, read row by row with json_each (SQLite) or json_array_elements
// (the server). The text is written here directly: going
// through QJsonArray cost more than the inserts it fed. Numbers are written
// in their shortest exact form, so every amount arrives as the same double;
// text is escaped as JSON requires and otherwise kept as it is.
class JsonRows
{
public:
    JsonRows() { m_text.reserve(1 << 16); }

    void add(const QVariantList& values)
    {
        m_text += m_rows++ ? ",[" : "[";
        for (int i = 0; i < values.size(); ++i) {
            if (i)
                m_text += ',';
            value(values.at(i));
        }
        m_text += ']';
    }

    QString text() const { return QString::fromUtf8("[" + m_text + "]"); }
    bool isEmpty() const { return m_rows == 0; }

private:
    void value(const QVariant& v)
    {
        if (!v.isValid() || v.isNull()) {
            m_text += "null";
            return;
        }
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            m_text += QByteArray::number(v.toLongLong());
            return;
        case QMetaType::Double: {
            const double d = v.toDouble();
            m_text += std::isfinite(d) ? QByteArray::number(d, 'g', QLocale::FloatingPointShortest)
                                       : QByteArrayLiteral("null");
            return;
        }
        default:
            text(v.toString());
            return;
        }
    }

    void text(const QString& s)
    {
        m_text += '"';
        for (const char c : s.toUtf8()) {
            const auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                m_text += '\\';
                m_text += c;
            } else if (u < 0x20) {
                m_text += "\\u00";
                m_text += "0123456789abcdef"[u >> 4];
                m_text += "0123456789abcdef"[u & 15];
            } else {
                m_text += c;
            }
        }
        m_text += '"';
    }

    QByteArray m_text;
    int m_rows = 0;
};

bool run(Database* db, const QString& sql, const QString& rows)
{
    QSqlQuery query(db->connection());
    if (!query.prepare(sql))
        return false;
    query.addBindValue(rows);
    return query.exec();
}

// The rows of the bound array as a table with the columns `key` (the row's
// place, from 0 or 1) and `value` (the row's own array).
QString jsonRows(const Database* db)
{
    return db->isPostgres()
               ? QStringLiteral("json_array_elements(CAST(? AS json)) WITH ORDINALITY AS "
                                "batch_rows(value, key)")
               : QStringLiteral("json_each(?)");
}

// Element i of the row array `value`. The server hands JSON elements out as
// text, so it casts them to the column's `type`; SQLite keeps JSON's own.
QString field(const Database* db, int i, const char* type)
{
    if (db->isPostgres())
        return QStringLiteral("CAST(value->>%1 AS %2)").arg(i).arg(QLatin1String(type));
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
    JsonRows invoices;
    JsonRows items;
    // A tenant's balance takes each of its invoices in turn, as writing them
    // one by one would add them: pass n adds every tenant's n-th invoice.
    QList<JsonRows> balances;
    QHash<int, int> invoicesOfTenant;
    for (const InvoiceDraft& draft : drafts) {
        const QString number = numbers.next();
        numbers.confirm();
        invoices.add({number, draft.tenantId, draft.unitId, draft.contractId, draft.period,
                      draft.total, draft.currencyId, draft.dueDate()});
        for (const QVariantList& line : draft.lines)
            items.add(QVariantList{number} + line);
        const int pass = invoicesOfTenant[draft.tenantId]++;
        if (pass == balances.size())
            balances.append(JsonRows());
        balances[pass].add({draft.tenantId, draft.total});
    }

    const auto integer = "BIGINT";
    const auto text = "TEXT";
    const auto money = "NUMERIC";
    TransactionGuard batch(db);
    bool ok =
        batch.isActive() &&
        run(db,
            QStringLiteral("INSERT INTO invoices (invoice_number,tenant_id,unit_id,"
                           "contract_id,period,total_amount,balance,status,currency_id,"
                           "due_date) SELECT %1, %2, %3, %4, %5, %6, %6, 'pending', %7, %8 "
                           "FROM %9 ORDER BY key")
                .arg(field(db, 0, text), field(db, 1, integer), field(db, 2, integer),
                     field(db, 3, integer), field(db, 4, text), field(db, 5, money),
                     field(db, 6, integer), field(db, 7, text), jsonRows(db)),
            invoices.text()) &&
        run(db,
            QStringLiteral("INSERT INTO invoice_items (invoice_id,description,type,quantity,"
                           "unit_price,total) SELECT i.id, %1, %2, %3, %4, %5 FROM "
                           "%7 %8 invoices i ON i.invoice_number=%6 "
                           "ORDER BY key")
                .arg(field(db, 1, text), field(db, 2, text), field(db, 3, "DOUBLE PRECISION"),
                     field(db, 4, money), field(db, 5, money), field(db, 0, text), jsonRows(db),
                     // SQLite walks the rows first only when told to
                     db->isPostgres() ? QStringLiteral("JOIN") : QStringLiteral("CROSS JOIN")),
            items.text());
    for (const JsonRows& pass : balances) {
        ok = ok && run(db,
                       QStringLiteral("UPDATE tenants SET balance=balance+b.amount FROM (SELECT "
                                      "%1 AS tenant_id, %2 AS amount FROM %3) b WHERE "
                                      "tenants.id=b.tenant_id")
                           .arg(field(db, 0, integer), field(db, 1, money), jsonRows(db)),
                       pass.text());
    }
    return ok && batch.commit();
}
