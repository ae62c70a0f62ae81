#include "insight/PaperPrints.h"

#include "core/Database.h"
#include "insight/ArabicWords.h"
#include "insight/PrintHtml.h"
#include "insight/PrintMoney.h"

#include <QDate>
#include <QDateTime>
#include <QVariantMap>

using namespace PrintHtml;

namespace {

// The local day of a creation stamp stored in UTC.
QString localDay(const QString& stamp)
{
    QDateTime at = QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!at.isValid())
        return stamp.left(10);
    at.setTimeSpec(Qt::UTC);
    return at.toLocalTime().date().toString(QStringLiteral("yyyy-MM-dd"));
}

QString invoiceStatus(const QString& status)
{
    if (status == QLatin1String("paid"))
        return QStringLiteral("مدفوعة");
    if (status == QLatin1String("partial"))
        return QStringLiteral("مدفوعة جزئياً");
    if (status == QLatin1String("void"))
        return QStringLiteral("ملغاة");
    return QStringLiteral("غير مدفوعة");
}

QString method(const QString& method)
{
    if (method == QLatin1String("bank"))
        return QStringLiteral("تحويل بنكي");
    if (method == QLatin1String("cheque"))
        return QStringLiteral("شيك");
    return QStringLiteral("نقداً");
}

QString quantity(double amount)
{
    return QString::number(amount, 'g', 10);
}

const char* const kInvoiceSql =
    "SELECT i.*, t.full_name as tenant_name, t.phone as tenant_phone, u.unit_number, p.name as "
    "property_name FROM invoices i LEFT JOIN tenants t ON i.tenant_id=t.id LEFT JOIN units u ON "
    "i.unit_id=u.id LEFT JOIN properties p ON u.property_id=p.id WHERE i.id=?";

} // namespace

PaperPrints::PaperPrints(Database* db)
    : m_db(db)
{}

QString PaperPrints::stillOwed(int tenantId, int buyerId) const
{
    const PrintMoney money(m_db);
    const QVariantList rows =
        tenantId > 0
            ? m_db->execQuery(QStringLiteral("SELECT currency_id, SUM(total_amount-paid_amount) as "
                                             "t FROM invoices WHERE tenant_id=? AND status NOT IN "
                                             "('paid','void') GROUP BY currency_id"),
                              {tenantId})
            : m_db->execQuery(QStringLiteral("SELECT currency_id, SUM(installment_amount-"
                                             "paid_amount) as t FROM installments WHERE buyer_id=? "
                                             "AND status!='paid' GROUP BY currency_id"),
                              {buyerId});
    PrintMoney::Sums sums;
    for (const QVariant& item : rows) {
        const QVariantMap row = item.toMap();
        sums.add(money.shownId(row.value(QStringLiteral("currency_id"))), amountOf(row, "t"));
    }
    return sums.format(money);
}

QString PaperPrints::invoiceBody(const QVariantMap& invoice) const
{
    const PrintMoney money(m_db);
    const QVariant currency = invoice.value(QStringLiteral("currency_id"));
    const QVariantList items = m_db->execQuery(
        QStringLiteral("SELECT description, quantity, unit_price, total FROM invoice_items WHERE "
                       "invoice_id=? ORDER BY id"),
        {invoice.value(QStringLiteral("id"))});
    QList<QStringList> lines;
    int n = 0;
    for (const QVariant& item : items) {
        const QVariantMap line = item.toMap();
        lines << QStringList{td(isolate(QString::number(++n)), true),
                             cell(value(line, "description")),
                             td(isolate(quantity(amountOf(line, "quantity"))), true),
                             td(money.format(amountOf(line, "unit_price"), currency), true),
                             td(money.format(amountOf(line, "total"), currency), true)};
    }
    const double total = amountOf(invoice, "total_amount");
    const double paid = amountOf(invoice, "paid_amount");
    const bool isVoid = value(invoice, "status") == QLatin1String("void");

    QString unit;
    if (!value(invoice, "property_name").isEmpty())
        unit = text(value(invoice, "property_name")) + QStringLiteral(" - وحدة ") +
               isolate(value(invoice, "unit_number"));
    QList<QPair<QString, QString>> parties{
        {QStringLiteral("المستأجر"), text(value(invoice, "tenant_name"))}};
    if (!unit.isEmpty())
        parties << qMakePair(QStringLiteral("الوحدة"), unit);
    if (!value(invoice, "period").isEmpty())
        parties << qMakePair(QStringLiteral("الفترة"), isolate(value(invoice, "period")));

    QString html = figures(parties);
    html += table({QStringLiteral("#"), QStringLiteral("البيان"), QStringLiteral("الكمية"),
                   QStringLiteral("سعر الوحدة"), QStringLiteral("المجموع")},
                  lines);
    html +=
        figures({{QStringLiteral("إجمالي الفاتورة"), money.format(total, currency)},
                 {QStringLiteral("المدفوع"), money.format(paid, currency)},
                 {QStringLiteral("المتبقي على الفاتورة"),
                  isVoid ? QStringLiteral("ملغاة") : money.format(total - paid, currency)},
                 {QStringLiteral("حالة الفاتورة"), esc(invoiceStatus(value(invoice, "status")))}});
    html += QStringLiteral("<p class='words'>المبلغ: ") +
            esc(ArabicWords::amount(total, money.name(currency), money.decimals(currency))) +
            QStringLiteral("</p>");
    if (!value(invoice, "notes").isEmpty())
        html +=
            QStringLiteral("<p>ملاحظات: ") + text(value(invoice, "notes")) + QStringLiteral("</p>");
    return html;
}

Paper PaperPrints::invoice(int invoiceId) const
{
    const QVariantList found = m_db->execQuery(QLatin1String(kInvoiceSql), {invoiceId});
    if (found.isEmpty())
        return {};
    const QVariantMap invoice = found.first().toMap();
    Paper paper;
    paper.title = QStringLiteral("فاتورة");
    paper.fileStem = QStringLiteral("فاتورة_") + value(invoice, "invoice_number");
    paper.meta << QStringLiteral("رقم الفاتورة: ") + isolate(value(invoice, "invoice_number"))
               << QStringLiteral("تاريخ الإصدار: ") +
                      isolate(localDay(value(invoice, "created_at")));
    if (!value(invoice, "due_date").isEmpty())
        paper.meta << QStringLiteral("تاريخ الاستحقاق: ") + isolate(value(invoice, "due_date"));
    paper.body = invoiceBody(invoice);
    paper.signatures = true;
    return paper;
}

Paper PaperPrints::invoices(const QList<int>& invoiceIds) const
{
    Paper paper;
    QStringList bodies;
    for (int id : invoiceIds) {
        const Paper one = invoice(id);
        if (one.title.isEmpty())
            continue;
        // Each invoice carries its own number and dates at its head.
        QString body = QStringLiteral("<h2>") + esc(one.title) + QStringLiteral("</h2>");
        for (const QString& line : one.meta)
            body += QStringLiteral("<p class='muted'>") + line + QStringLiteral("</p>");
        bodies << body + one.body;
    }
    if (bodies.isEmpty())
        return {};
    paper.title = QStringLiteral("فواتير الإيجار");
    paper.fileStem = QStringLiteral("فواتير");
    paper.meta << QStringLiteral("عدد الفواتير: %1").arg(bodies.size());
    paper.body = bodies.join(QStringLiteral("<p style='page-break-after:always'>&nbsp;</p>"));
    return paper;
}

QList<int> PaperPrints::rentInvoiceIds(const QString& period) const
{
    QList<int> ids;
    const QVariantList rows = m_db->execQuery(
        QStringLiteral("SELECT id FROM invoices WHERE period=? AND contract_id IS NOT NULL AND "
                       "status!='void' ORDER BY invoice_number"),
        {period});
    for (const QVariant& row : rows)
        ids << row.toMap().value(QStringLiteral("id")).toInt();
    return ids;
}

Paper PaperPrints::receipt(int paymentId) const
{
    const QVariantList found = m_db->execQuery(
        QStringLiteral("SELECT p.*, t.full_name as tenant_name, b.full_name as buyer_name, "
                       "i.invoice_number, i.period, i.total_amount as invoice_total, i.paid_amount "
                       "as invoice_paid, i.status as invoice_status, u.unit_number, pr.name as "
                       "property_name FROM payments p LEFT JOIN tenants t ON p.tenant_id=t.id LEFT "
                       "JOIN buyers b ON p.buyer_id=b.id LEFT JOIN invoices i ON p.invoice_id=i.id "
                       "LEFT JOIN units u ON u.id=COALESCE(p.unit_id, i.unit_id) LEFT JOIN "
                       "properties pr ON u.property_id=pr.id WHERE p.id=?"),
        {paymentId});
    if (found.isEmpty())
        return {};
    const QVariantMap payment = found.first().toMap();
    const PrintMoney money(m_db);
    const QVariant currency = payment.value(QStringLiteral("currency_id"));
    const double amount = amountOf(payment, "amount");
    const QString payer = value(payment, "tenant_name").isEmpty() ? value(payment, "buyer_name")
                                                                  : value(payment, "tenant_name");

    QString purpose;
    if (!value(payment, "invoice_number").isEmpty()) {
        purpose = QStringLiteral("دفعة على الفاتورة ") + isolate(value(payment, "invoice_number"));
        if (!value(payment, "period").isEmpty())
            purpose += QStringLiteral(" عن فترة ") + isolate(value(payment, "period"));
    } else if (!value(payment, "buyer_name").isEmpty()) {
        purpose = QStringLiteral("دفعة من ثمن الوحدة");
    }
    if (!value(payment, "unit_number").isEmpty())
        purpose += QStringLiteral(" - ") + text(value(payment, "property_name")) +
                   QStringLiteral(" وحدة ") + isolate(value(payment, "unit_number"));
    QString how = esc(method(value(payment, "payment_method")));
    if (!value(payment, "reference").isEmpty())
        how += QStringLiteral(" - مرجع ") + isolate(value(payment, "reference"));

    QList<QPair<QString, QString>> lines{
        {QStringLiteral("استلمنا من"), text(payer)},
        {QStringLiteral("مبلغ وقدره"), money.format(amount, currency)},
        {QStringLiteral("طريقة الدفع"), how}};
    if (!purpose.isEmpty())
        lines << qMakePair(QStringLiteral("وذلك عن"), purpose);
    if (!value(payment, "invoice_number").isEmpty() &&
        value(payment, "invoice_status") != QLatin1String("void"))
        lines << qMakePair(
            QStringLiteral("المتبقي على الفاتورة"),
            money.format(amountOf(payment, "invoice_total") - amountOf(payment, "invoice_paid"),
                         currency));
    lines << qMakePair(QStringLiteral("إجمالي المستحق على الدافع"),
                       stillOwed(payment.value(QStringLiteral("tenant_id")).toInt(),
                                 payment.value(QStringLiteral("buyer_id")).toInt()));

    Paper paper;
    paper.title = QStringLiteral("سند قبض");
    paper.fileStem = QStringLiteral("سند_قبض_%1").arg(paymentId);
    paper.meta << QStringLiteral("رقم السند: ") +
                      isolate(QStringLiteral("%1").arg(paymentId, 6, 10, QLatin1Char('0')))
               << QStringLiteral("تاريخ الدفع: ") + isolate(value(payment, "payment_date"));
    paper.body = figures(lines) + QStringLiteral("<p class='words'>") +
                 esc(ArabicWords::amount(amount, money.name(currency), money.decimals(currency))) +
                 QStringLiteral("</p>");
    if (!value(payment, "notes").isEmpty())
        paper.body +=
            QStringLiteral("<p>ملاحظات: ") + text(value(payment, "notes")) + QStringLiteral("</p>");
    paper.signatures = true;
    return paper;
}
