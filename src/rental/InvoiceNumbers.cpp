#include "rental/InvoiceNumbers.h"

#include "core/Database.h"

#include <QDate>

InvoiceNumbers::InvoiceNumbers(Database* db)
    : m_db(db)
{}

QString InvoiceNumbers::format(const QString& prefix, qint64 sequence)
{
    // At least four digits; longer sequences stay whole.
    return prefix + QStringLiteral("%1").arg(sequence, 4, 10, QLatin1Char('0'));
}

QString InvoiceNumbers::next()
{
    // The month is that of issue (local clock), not the billing period; it
    // is taken afresh each time so a run crossing midnight at a month's end
    // starts the new month's numbering.
    const QString prefix = QStringLiteral("INV-") +
                           QDate::currentDate().toString(QStringLiteral("yyyyMM")) +
                           QLatin1Char('-');
    if (prefix != m_prefix || !m_known) {
        m_prefix = prefix;
        m_known = false;
        // A range on invoice_number (prefix up to prefix with its final '-'
        // raised to '.') reads only the month's rows through the unique index,
        // where a LIKE pattern would read every invoice ever issued. Voided
        // invoices keep their numbers and count too.
        QString upper = prefix;
        upper[upper.size() - 1] = QLatin1Char('.');
        const QVariantList rows = m_db->execQuery(
            QStringLiteral("SELECT MAX(CAST(SUBSTR(invoice_number, LENGTH(?)+1) AS INTEGER)) as mx "
                           "FROM invoices WHERE invoice_number >= ? AND invoice_number < ?"),
            {prefix, prefix, upper});
        if (rows.isEmpty())
            return format(prefix, 1); // failed read: not remembered, retried next time
        const QVariant mx = rows.first().toMap().value(QStringLiteral("mx"));
        m_next = mx.isNull() ? 1 : mx.toLongLong() + 1;
        m_known = true;
    }
    return format(m_prefix, m_next);
}

void InvoiceNumbers::confirm()
{
    if (m_known)
        ++m_next;
}
