#include "insight/ReportPrints.h"

#include "core/ConvertedTotal.h"
#include "core/CurrencyRates.h"
#include "core/Database.h"
#include "insight/AnalysisReports.h"
#include "insight/DateRange.h"
#include "insight/InsightDates.h"
#include "insight/PrintHtml.h"
#include "insight/PrintMoney.h"
#include "insight/ProfitabilityReports.h"
#include "insight/StatementReports.h"

#include <QDate>
#include <QRegularExpression>
#include <QVariantMap>

using namespace PrintHtml;

namespace {

QString periodLine(const DateRange& range)
{
    if (!range.applies())
        return QStringLiteral("الفترة: كل الفترات");
    return QStringLiteral("الفترة: من ") + isolate(range.from()) + QStringLiteral(" إلى ") +
           isolate(range.to());
}

QString printedOn()
{
    return QStringLiteral("تاريخ الطباعة: ") +
           isolate(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
}

// One converted total ({total, byCurrency, missing}) added to another: the
// primary totals and each currency's amount, and the rates either waits for.
void addConverted(QVariantMap& into, const QVariantMap& total)
{
    into[QStringLiteral("total")] = into.value(QStringLiteral("total")).toDouble() +
                                    total.value(QStringLiteral("total")).toDouble();
    QVariantList byCurrency = into.value(QStringLiteral("byCurrency")).toList();
    for (const QVariant& value : total.value(QStringLiteral("byCurrency")).toList()) {
        const QVariantMap row = value.toMap();
        bool found = false;
        for (QVariant& mine : byCurrency) {
            QVariantMap kept = mine.toMap();
            if (kept.value(QStringLiteral("currency_id")) !=
                row.value(QStringLiteral("currency_id")))
                continue;
            kept[QStringLiteral("total")] = kept.value(QStringLiteral("total")).toDouble() +
                                            row.value(QStringLiteral("total")).toDouble();
            mine = kept;
            found = true;
        }
        if (!found)
            byCurrency.append(row);
    }
    into[QStringLiteral("byCurrency")] = byCurrency;
    QStringList missing = into.value(QStringLiteral("missing")).toStringList();
    for (const QString& reason : total.value(QStringLiteral("missing")).toStringList()) {
        if (!missing.contains(reason))
            missing.append(reason);
    }
    into[QStringLiteral("missing")] = missing;
}

// Rows of one currency each ({currency, day, amount}) as a converted total.
struct RowTotal
{
    explicit RowTotal(const CurrencyRates* rates)
        : sum(rates)
    {}
    ConvertedTotal sum;
    bool any = false;
    void add(int currency, const QString& day, double amount)
    {
        sum.add(currency, day, amount);
        any = true;
    }
};

// A total row under a table: its label on the right over the first cells.
QString totalRow(const QString& label, int span, const QStringList& tail)
{
    QStringList cells{QStringLiteral("<td colspan='%1'>").arg(span) + esc(label) +
                      QStringLiteral("</td>")};
    cells += tail;
    return row(cells).replace(QStringLiteral("<tr>"), QStringLiteral("<tr class='total'>"));
}

QString unitStatus(const QString& status)
{
    if (status == QLatin1String("available"))
        return QStringLiteral("متاحة");
    if (status == QLatin1String("rented"))
        return QStringLiteral("مؤجرة");
    if (status == QLatin1String("sold"))
        return QStringLiteral("مباعة");
    return status;
}

QString chequeStatus(const QString& status)
{
    if (status == QLatin1String("paid"))
        return QStringLiteral("تم الصرف");
    if (status == QLatin1String("pending"))
        return QStringLiteral("معلق");
    return QStringLiteral("مرتجع");
}

// The analysis is written in a little Markdown: headings, bold spans and
// emoji, which the paper's fonts do not have.
QString markdownLine(QString line)
{
    static const QRegularExpression emoji(
        QStringLiteral("[\\x{2600}-\\x{27BF}\\x{2B00}-\\x{2BFF}\\x{FE0F}\\x{1F000}-\\x{1FAFF}]"));
    static const QRegularExpression bold(QStringLiteral("\\*\\*(.+?)\\*\\*"));
    line.remove(emoji);
    line = line.trimmed();
    bool heading = false;
    while (line.startsWith(QLatin1Char('#'))) {
        heading = true;
        line.remove(0, 1);
    }
    if (line.startsWith(QLatin1String("- ")) || line.startsWith(QLatin1String("* ")))
        line = QStringLiteral("• ") + line.mid(2);
    line = line.trimmed();
    // Bold spans are escaped piece by piece, so their markers stay literal
    // text for esc() and become tags only here.
    QString html;
    qsizetype done = 0;
    auto it = bold.globalMatch(line);
    while (it.hasNext()) {
        const auto match = it.next();
        html += text(line.mid(done, match.capturedStart() - done));
        html += QStringLiteral("<b>") + text(match.captured(1)) + QStringLiteral("</b>");
        done = match.capturedEnd();
    }
    html += text(line.mid(done));
    if (heading)
        return QStringLiteral("<h3>") + html + QStringLiteral("</h3>");
    return html.isEmpty() ? QString() : QStringLiteral("<p>") + html + QStringLiteral("</p>");
}

} // namespace

ReportPrints::ReportPrints(Database* db)
    : m_db(db)
{}

QString ReportPrints::title(int tab)
{
    static const QStringList titles{
        QStringLiteral("الذكاء الاصطناعي"), QStringLiteral("الملخص المالي"),
        QStringLiteral("أداء المشاريع"),    QStringLiteral("حالة الوحدات"),
        QStringLiteral("الأقساط المتأخرة"), QStringLiteral("تقرير الشيكات")};
    return titles.value(tab);
}

Paper ReportPrints::paper(int tab, const DateRange& range) const
{
    Paper paper;
    switch (tab) {
    case Analysis:
        paper = analysis();
        break;
    case Financial:
        paper = financial(range);
        break;
    case Projects:
        paper = projects(range);
        break;
    case Units:
        paper = units();
        break;
    case Overdue:
        paper = overdue();
        break;
    case Cheques:
        paper = cheques(range);
        break;
    default:
        return {};
    }
    paper.title = title(tab);
    paper.fileStem = paper.title;
    paper.meta.append(printedOn());
    return paper;
}

Paper ReportPrints::analysis() const
{
    const QVariantMap analysis = AnalysisReports(m_db).smartAnalysis();
    Paper paper;
    for (const QString& line : value(analysis, "text").split(QLatin1Char('\n')))
        paper.body += markdownLine(line);
    paper.body += figures(
        {{QStringLiteral("مؤشر الإشغال"),
          isolate(QString::number(amountOf(analysis, "occupancy"), 'f', 1) + QLatin1Char('%'))}});
    return paper;
}

Paper ReportPrints::financial(const DateRange& range) const
{
    ProfitabilityReports reports(m_db);
    const QVariantMap summary = reports.profitLoss(range);
    const QVariantMap balance = reports.balanceSheet();
    const PrintMoney money(m_db);
    // In the primary currency, each currency's own amount under it.
    const auto figure = [&](const QVariantMap& map, const char* key) {
        const QVariantMap detail =
            map.value(QString::fromLatin1(key) + QStringLiteral("_detail")).toMap();
        return detail.isEmpty() ? money.format(amountOf(map, key), money.primaryId())
                                : money.converted(detail);
    };
    Paper paper;
    paper.meta << periodLine(range);
    paper.body =
        QStringLiteral("<h3>الأداء المالي للفترة</h3>") +
        figures({{QStringLiteral("إجمالي الإيرادات"), figure(summary, "revenue")},
                 {QStringLiteral("إجمالي المصروفات"), figure(summary, "expenses")},
                 {QStringLiteral("صافي الربح"), figure(summary, "net_profit")}}) +
        QStringLiteral("<h3>الميزانية العمومية والمديونيات</h3>") +
        figures({{QStringLiteral("مستحقات الإيجار"), figure(balance, "receivables")},
                 {QStringLiteral("مستحقات الأقساط"), figure(balance, "installment_receivables")},
                 {QStringLiteral("إجمالي الأصول"), figure(balance, "total_assets")},
                 {QStringLiteral("النقد في الصندوق والبنك"), figure(balance, "cash")}});
    return paper;
}

Paper ReportPrints::projects(const DateRange& range) const
{
    ProfitabilityReports reports(m_db);
    const PrintMoney money(m_db);
    const QVariantList properties =
        m_db->execQuery(QStringLiteral("SELECT id, name FROM properties ORDER BY name, id"));
    QList<QStringList> rows;
    // Each figure converted to the primary currency, with its currencies.
    QVariantMap sales, expenses, profit;
    const auto detail = [](const QVariantMap& f, const char* key) {
        return f.value(QString::fromLatin1(key) + QStringLiteral("_detail")).toMap();
    };
    for (const QVariant& item : properties) {
        const QVariantMap property = item.toMap();
        const QVariantMap f =
            reports.projectFinancials(property.value(QStringLiteral("id")).toInt(), range);
        addConverted(sales, detail(f, "total_revenue"));
        addConverted(expenses, detail(f, "total_expenses"));
        addConverted(profit, detail(f, "expected_profit"));
        rows << QStringList{cell(value(property, "name")),
                            td(isolate(QStringLiteral("%1 / %2")
                                           .arg(f.value(QStringLiteral("sold_units")).toInt())
                                           .arg(f.value(QStringLiteral("total_units")).toInt())),
                               true),
                            td(money.converted(detail(f, "total_revenue")), true),
                            td(money.converted(detail(f, "total_collected")), true),
                            td(money.converted(detail(f, "total_expenses")), true),
                            td(money.converted(detail(f, "expected_profit")), true)};
    }
    Paper paper;
    paper.meta << periodLine(range);
    paper.landscape = true;
    QString html = table({QStringLiteral("المشروع"), QStringLiteral("المباع / الكل"),
                          QStringLiteral("قيمة المبيعات"), QStringLiteral("المحصل"),
                          QStringLiteral("المصروفات"), QStringLiteral("الربح المتوقع")},
                         rows);
    const QString totals =
        totalRow(QStringLiteral("الإجمالي"), 2,
                 {td(money.converted(sales), true), td(QString()),
                  td(money.converted(expenses), true), td(money.converted(profit), true)});
    html.replace(QStringLiteral("</tbody></table>"), totals + QStringLiteral("</tbody></table>"));
    paper.body = rows.isEmpty() ? QStringLiteral("<p>لا توجد عقارات بعد</p>") : html;
    return paper;
}

Paper ReportPrints::units() const
{
    const QVariantList units = ProfitabilityReports(m_db).unitsOverview();
    const PrintMoney money(m_db);
    QList<QStringList> rows;
    int available = 0, rented = 0, sold = 0;
    for (const QVariant& item : units) {
        const QVariantMap unit = item.toMap();
        const QString status = value(unit, "status");
        available += status == QLatin1String("available");
        rented += status == QLatin1String("rented");
        sold += status == QLatin1String("sold");
        const QVariant currency = unit.value(QStringLiteral("currency_id"));
        const auto price = [&](const char* key) {
            return amountOf(unit, key) > 0 ? money.format(amountOf(unit, key), currency)
                                           : QStringLiteral("-");
        };
        rows << QStringList{
            cell(value(unit, "property_name")),
            td(isolate(value(unit, "unit_number")), true),
            td(amountOf(unit, "area") > 0
                   ? isolate(QString::number(amountOf(unit, "area")) + QStringLiteral(" م²"))
                   : QStringLiteral("-"),
               true),
            td(price("sale_price"), true),
            td(price("rent_monthly"), true),
            td(esc(unitStatus(status)), true)};
    }
    Paper paper;
    paper.meta << QStringLiteral("عدد الوحدات: %1 — متاحة: %2، مؤجرة: %3، مباعة: %4")
                      .arg(units.size())
                      .arg(available)
                      .arg(rented)
                      .arg(sold);
    paper.body = rows.isEmpty()
                     ? QStringLiteral("<p>لا توجد وحدات بعد</p>")
                     : table({QStringLiteral("العقار"), QStringLiteral("الوحدة"),
                              QStringLiteral("المساحة"), QStringLiteral("سعر البيع"),
                              QStringLiteral("الإيجار الشهري"), QStringLiteral("الحالة")},
                             rows);
    return paper;
}

Paper ReportPrints::overdue() const
{
    const QVariantList overdue = StatementReports(m_db).overdueInstallments();
    const PrintMoney money(m_db);
    QList<QStringList> rows;
    // The total in the primary currency, each instalment at the rate
    // of its due date.
    const CurrencyRates rates(m_db);
    RowTotal converted(&rates);
    const QDate today = QDate::fromString(InsightDates::isoDay(), Qt::ISODate);
    for (const QVariant& item : overdue) {
        const QVariantMap r = item.toMap();
        const int currency = money.shownId(r.value(QStringLiteral("currency_id")));
        const double left = amountOf(r, "installment_amount") - amountOf(r, "paid_amount");
        converted.add(currency, value(r, "due_date"), left);
        const QDate due = QDate::fromString(value(r, "due_date"), Qt::ISODate);
        rows << QStringList{
            cell(value(r, "buyer_name")),
            cell(value(r, "property_name")),
            td(isolate(value(r, "unit_number")), true),
            td(isolate(value(r, "due_date")), true),
            td(isolate(QString::number(due.isValid() ? due.daysTo(today) : 0)), true),
            td(money.format(amountOf(r, "installment_amount"), currency), true),
            td(money.format(amountOf(r, "paid_amount"), currency), true),
            td(money.format(left, currency), true)};
    }
    Paper paper;
    paper.landscape = true;
    paper.meta << QStringLiteral("عدد الأقساط المتأخرة: %1").arg(overdue.size());
    QString html =
        table({QStringLiteral("المشتري"), QStringLiteral("العقار"), QStringLiteral("الوحدة"),
               QStringLiteral("تاريخ الاستحقاق"), QStringLiteral("أيام التأخير"),
               QStringLiteral("قيمة القسط"), QStringLiteral("المدفوع"), QStringLiteral("المتبقي")},
              rows);
    html.replace(QStringLiteral("</tbody></table>"),
                 totalRow(QStringLiteral("إجمالي المتأخر"), 7,
                          {td(money.converted(converted.sum.toMap()), true)}) +
                     QStringLiteral("</tbody></table>"));
    paper.body = rows.isEmpty() ? QStringLiteral("<p>لا توجد أقساط متأخرة</p>") : html;
    return paper;
}

Paper ReportPrints::cheques(const DateRange& range) const
{
    const QVariantList cheques = StatementReports(m_db).chequeReport(QString(), range);
    const PrintMoney money(m_db);
    QList<QStringList> rows;
    // Each kind in the primary currency, a cheque at its due date's rate, and
    // per currency.
    const CurrencyRates rates(m_db);
    RowTotal receivedTotal(&rates), issuedTotal(&rates);
    for (const QVariant& item : cheques) {
        const QVariantMap c = item.toMap();
        const int currency = money.shownId(c.value(QStringLiteral("currency_id")));
        const bool isIssued = value(c, "type") == QLatin1String("issued");
        (isIssued ? issuedTotal : receivedTotal)
            .add(currency, value(c, "due_date"), amountOf(c, "amount"));
        const QString party = isIssued ? value(c, "payee_name") : value(c, "payer_name");
        rows << QStringList{td(isolate(value(c, "cheque_number")), true),
                            td(isIssued ? QStringLiteral("صادر") : QStringLiteral("وارد"), true),
                            cell(value(c, "bank_name")),
                            cell(party),
                            td(isolate(value(c, "due_date")), true),
                            td(money.format(amountOf(c, "amount"), currency), true),
                            td(esc(chequeStatus(value(c, "status"))), true)};
    }
    Paper paper;
    paper.landscape = true;
    paper.meta << periodLine(range) << QStringLiteral("عدد الشيكات: %1").arg(cheques.size());
    QString html =
        table({QStringLiteral("رقم الشيك"), QStringLiteral("النوع"), QStringLiteral("البنك"),
               QStringLiteral("الساحب / المستفيد"), QStringLiteral("تاريخ الاستحقاق"),
               QStringLiteral("المبلغ"), QStringLiteral("الحالة")},
              rows);
    QString totals;
    if (receivedTotal.any)
        totals += totalRow(QStringLiteral("إجمالي الشيكات الواردة"), 5,
                           {td(money.converted(receivedTotal.sum.toMap()), true), td(QString())});
    if (issuedTotal.any)
        totals += totalRow(QStringLiteral("إجمالي الشيكات الصادرة"), 5,
                           {td(money.converted(issuedTotal.sum.toMap()), true), td(QString())});
    html.replace(QStringLiteral("</tbody></table>"), totals + QStringLiteral("</tbody></table>"));
    paper.body = rows.isEmpty() ? QStringLiteral("<p>لا توجد شيكات في هذه الفترة</p>") : html;
    return paper;
}
