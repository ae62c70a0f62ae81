#include "insight/StatementPrints.h"

#include "core/Database.h"
#include "insight/DateRange.h"
#include "insight/PrintHtml.h"
#include "insight/PrintMoney.h"
#include "insight/StatementReports.h"

#include <QDate>
#include <QHash>
#include <QVariantMap>

using namespace PrintHtml;

namespace {

QStringList personLines(const QVariantMap& person)
{
    QStringList lines{QStringLiteral("تاريخ الكشف: ") +
                      isolate(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")))};
    if (!value(person, "id_number").isEmpty())
        lines << QStringLiteral("رقم الهوية: ") + isolate(value(person, "id_number"));
    if (!value(person, "phone").isEmpty())
        lines << QStringLiteral("الهاتف: ") + isolate(value(person, "phone"));
    return lines;
}

QString nameBox(const QString& label, const QString& name)
{
    return QStringLiteral("<p style='font-size:12pt'>") + esc(label) + QStringLiteral(": <b>") +
           text(name) + QStringLiteral("</b></p>");
}

QString installmentStatus(const QVariantMap& row)
{
    const QString status = value(row, "status");
    if (status == QLatin1String("paid"))
        return QStringLiteral("مدفوع");
    if (status == QLatin1String("partial"))
        return QStringLiteral("مدفوع جزئياً");
    return QStringLiteral("معلق");
}

} // namespace

StatementPrints::StatementPrints(Database* db)
    : m_db(db)
{}

Paper StatementPrints::tenant(int tenantId) const
{
    const QVariantMap tenant = m_db->getById(QStringLiteral("tenants"), tenantId);
    if (tenant.isEmpty())
        return {};
    const PrintMoney money(m_db);
    const QVariantList rows = StatementReports(m_db).tenantStatement(tenantId, DateRange());

    QHash<int, double> running;
    PrintMoney::Sums debit, credit, balance;
    QList<QStringList> cells;
    for (const QVariant& item : rows) {
        const QVariantMap r = item.toMap();
        const int currency = money.shownId(r.value(QStringLiteral("currency_id")));
        const double in = amountOf(r, "debit");
        const double out = amountOf(r, "credit");
        running[currency] += in - out;
        debit.add(currency, in);
        credit.add(currency, out);
        balance.add(currency, in - out);
        cells << QStringList{td(isolate(value(r, "date")), true),
                             td(esc(value(r, "type")), true),
                             cell(value(r, "ref")),
                             td(in > 0 ? money.format(in, currency) : QStringLiteral("-"), true),
                             td(out > 0 ? money.format(out, currency) : QStringLiteral("-"), true),
                             td(money.format(running.value(currency), currency), true)};
    }

    Paper paper;
    paper.title = QStringLiteral("كشف حساب مستأجر");
    paper.fileStem = QStringLiteral("كشف_حساب_") + value(tenant, "full_name");
    paper.meta = personLines(tenant);
    paper.signatures = true;
    paper.body = nameBox(QStringLiteral("اسم المستأجر"), value(tenant, "full_name")) +
                 figures({{QStringLiteral("إجمالي المطلوبات"), debit.format(money)},
                          {QStringLiteral("إجمالي المدفوعات"), credit.format(money)},
                          {QStringLiteral("الرصيد المتبقي"), balance.format(money)}});
    paper.body +=
        cells.isEmpty()
            ? QStringLiteral("<p>لا توجد فواتير أو دفعات لهذا المستأجر</p>")
            : table({QStringLiteral("التاريخ"), QStringLiteral("النوع"), QStringLiteral("المرجع"),
                     QStringLiteral("مدين"), QStringLiteral("دائن"), QStringLiteral("الرصيد")},
                    cells);
    return paper;
}

Paper StatementPrints::buyer(int buyerId) const
{
    const QVariantMap buyer = m_db->getById(QStringLiteral("buyers"), buyerId);
    if (buyer.isEmpty())
        return {};
    const PrintMoney money(m_db);
    const QVariantList rows = StatementReports(m_db).buyerStatement(buyerId, DateRange());

    // One sale per unit: its price and down payment travel on each of its
    // instalments.
    QList<int> unitOrder;
    QHash<int, QVariantMap> sales;
    QHash<int, int> counts;
    PrintMoney::Sums price, down, amount, paid, remaining;
    QList<QStringList> cells;
    for (const QVariant& item : rows) {
        const QVariantMap r = item.toMap();
        const int unit = r.value(QStringLiteral("unit_id")).toInt();
        const int currency = money.shownId(r.value(QStringLiteral("currency_id")));
        if (!sales.contains(unit)) {
            unitOrder << unit;
            sales.insert(unit, r);
            price.add(currency, amountOf(r, "total_price"));
            down.add(currency, amountOf(r, "down_payment"));
        }
        counts[unit] += 1;
        amount.add(currency, amountOf(r, "installment_amount"));
        paid.add(currency, amountOf(r, "paid_amount"));
        remaining.add(currency, amountOf(r, "remaining_amount"));
        QString cheque = value(r, "cheque_number");
        if (!cheque.isEmpty() && !value(r, "bank_name").isEmpty())
            cheque += QStringLiteral(" - ") + value(r, "bank_name");
        cells << QStringList{td(isolate(value(r, "due_date")), true),
                             cell(QStringLiteral("قسط وحدة ") + value(r, "unit_number") +
                                  QStringLiteral(" (") + value(r, "property_name") +
                                  QStringLiteral(")")),
                             cheque.isEmpty() ? td(QStringLiteral("-"), true) : cell(cheque),
                             td(money.format(amountOf(r, "installment_amount"), currency), true),
                             td(money.format(amountOf(r, "paid_amount"), currency), true),
                             td(money.format(amountOf(r, "remaining_amount"), currency), true),
                             td(esc(installmentStatus(r)), true)};
    }

    QList<QStringList> saleCells;
    for (int unit : std::as_const(unitOrder)) {
        const QVariantMap s = sales.value(unit);
        const int currency = money.shownId(s.value(QStringLiteral("currency_id")));
        saleCells << QStringList{
            cell(value(s, "property_name") + QStringLiteral(" - وحدة ") + value(s, "unit_number")),
            td(money.format(amountOf(s, "total_price"), currency), true),
            td(money.format(amountOf(s, "down_payment"), currency), true),
            td(money.format(amountOf(s, "total_price") - amountOf(s, "down_payment"), currency),
               true),
            td(isolate(QString::number(counts.value(unit))), true)};
    }

    Paper paper;
    paper.title = QStringLiteral("كشف حساب مشتري");
    paper.fileStem = QStringLiteral("كشف_حساب_") + value(buyer, "full_name");
    paper.meta = personLines(buyer);
    paper.signatures = true;
    paper.landscape = true;
    paper.body = nameBox(QStringLiteral("اسم المشتري"), value(buyer, "full_name"));
    if (cells.isEmpty()) {
        paper.body += QStringLiteral("<p>لا توجد أقساط لهذا المشتري</p>");
        return paper;
    }
    paper.body += figures({{QStringLiteral("سعر البيع"), price.format(money)},
                           {QStringLiteral("الدفعة الأولى (مقدم)"), down.format(money)},
                           {QStringLiteral("إجمالي قيمة الأقساط"), amount.format(money)},
                           {QStringLiteral("إجمالي المسدد من الأقساط"), paid.format(money)},
                           {QStringLiteral("المتبقي الكلي"), remaining.format(money)}});
    paper.body += QStringLiteral("<h3>بيانات البيع</h3>") +
                  table({QStringLiteral("الوحدة"), QStringLiteral("سعر البيع"),
                         QStringLiteral("الدفعة الأولى"), QStringLiteral("المبلغ المقسط"),
                         QStringLiteral("عدد الأقساط")},
                        saleCells);
    paper.body +=
        QStringLiteral("<h3>جدول الأقساط</h3>") +
        table({QStringLiteral("تاريخ الاستحقاق"), QStringLiteral("البيان"), QStringLiteral("الشيك"),
               QStringLiteral("قيمة القسط"), QStringLiteral("المدفوع"), QStringLiteral("المتبقي"),
               QStringLiteral("الحالة")},
              cells);
    return paper;
}
